#include "store/jet_upgrade.h"

#include <string>
#include <vector>

#include "base/ascii.h"
#include "base/failure_text.h"
#include "store/jet_reader.h"
#include "store/platform.h"
#include "store/schema.h"

namespace dg::store {
namespace {

Value Carried(const Value& value, Carry part) {
    if (value.IsNull() || part == Carry::kAsIs) return value;
    const DateTime t = value.AsDateTime();
    return Value(part == Carry::kDateOnly ? t.DatePart() : t.TimePart());
}

// "mdb\Para.mdb" as ("mdb\Para", ".mdb").
std::pair<std::string, std::string> SplitExtension(const std::string& name) {
    const std::size_t slash = name.find_last_of("\\/");
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {name, ""};
    return {name.substr(0, dot), name.substr(dot)};
}

std::string TextFor(const std::string& dataSource) {
    return std::string("Provider=") + std::string(kJetProvider) + ";Data Source=" + dataSource + ";";
}

// Builds the new database at `dataSource` from the tables the Jet file holds.
// Each table is made as its declaration says; a column the Jet file lacks is
// left out of the carried rows, which then get its default.
void BuildDatabase(const std::string& dataSource, std::span<const TableSpec> declared,
                   const std::vector<jet::Table>& tables) {
    CatalogCreate(TextFor(dataSource));
    Connection connection(TextFor(dataSource));
    for (const auto& carried : declared) {
        const jet::Table* old = nullptr;
        for (const auto& t : tables)
            if (EqualsAsciiNoCase(t.name, carried.name)) old = &t;
        if (!old) continue;       // the class's own table step makes and seeds it
        std::vector<int> source;  // Jet column of each carried column, -1 for none
        for (const auto& c : carried.columns) {
            int found = -1;
            for (std::size_t i = 0; i < old->columns.size() && found < 0; ++i)
                if (EqualsAsciiNoCase(old->columns[i].name, c.name)) found = static_cast<int>(i);
            source.push_back(found);
        }
        AppendTable(connection, Definition(carried));
        Recordset rows(connection, carried.name);
        for (const auto& row : old->rows) {
            rows.AddNew();
            for (std::size_t k = 0; k < carried.columns.size(); ++k) {
                if (source[k] < 0) continue;
                try {
                    rows.Set(carried.columns[k].name,
                             Carried(row[static_cast<std::size_t>(source[k])], carried.columns[k].carry));
                } catch (const StoreError& e) {
                    throw StoreError(FailureText(
                        "表" + Quoted(carried.name) + "的列" + Quoted(carried.columns[k].name) + "无法转换", e.what()));
                }
            }
            rows.Update();
        }
    }
}

// Refuses every Jet file but a Jet 4 one.
void RequireJet4(const std::string& name, const jet::HeaderInfo& header) {
    if (header.kind != jet::FileKind::kJet4) {
        const std::string found = header.kind == jet::FileKind::kJet3
                                      ? "是早期安装留下的 Jet 3 数据库（Access 97）"
                                      : "是比 Jet 4 新的 Access 数据库（Access 2007 或更新的版本）";
        throw StoreError(FailureText("数据库" + Quoted(name) + found +
                                         "，只有 Jet 4 数据库能够升级。文件保持原样；如要改用新数据库，"
                                         "请先把该文件移到别处",
                                     "文件头表明该文件" + jet::DescribeKind(header)));
    }
}

// Reads the Jet file while the upgrade lock is held. False when it is no Jet
// file any more: another process upgraded it meanwhile.
bool ReadJetFile(const std::string& name, const std::string& stem, std::string& bytes) {
    std::string error;
    switch (platform::ReadUnshared(name, stem + ".ldb", bytes, error)) {
        case platform::ReadResult::kRead: break;
        case platform::ReadResult::kInUse:
            throw StoreError("数据库" + Quoted(name) +
                             "是早期安装留下的 Jet 数据库，正被其他程序（Jet 引擎或早期的组件）使用，无法升级。"
                             "文件没有改动；请关闭该程序后重试。");
        case platform::ReadResult::kFailed:
            throw StoreError(FailureText("无法读取早期安装留下的 Jet 数据库" + Quoted(name), error));
    }
    const jet::HeaderInfo header = jet::ClassifyHeader(bytes);
    if (header.kind == jet::FileKind::kNotJet) return false;
    RequireJet4(name, header);
    return true;
}

std::vector<jet::Table> ReadCarriedTables(const std::string& name, const std::string& bytes,
                                          std::span<const TableSpec> declared) {
    std::vector<jet::Table> tables;
    try {
        const jet::Reader reader(bytes);
        for (const auto& carried : declared)
            if (auto t = reader.ReadTable(carried.name)) tables.push_back(std::move(*t));
    } catch (const jet::JetEncryptedError& e) {
        throw StoreError(
            FailureText("数据库" + Quoted(name) + "是加密的 Jet 数据库，无法读取，不能升级。文件保持原样", e.what()));
    } catch (const jet::JetError& e) {
        throw StoreError(FailureText("数据库" + Quoted(name) +
                                         "是早期安装留下的 Jet 4 数据库，但已损坏或不完整，无法读取，不能升级。"
                                         "文件保持原样",
                                     e.what()));
    }
    return tables;
}

// Builds the new database under a temporary name beside the old file, keeps
// the old bytes under the first free name, then puts the new file in place.
// A failure removes both and leaves the old file as it was. One temporary
// file left by an upgrade that was cut short is ours to replace (the caller
// holds the lock).
void ReplaceWithUpgrade(const std::string& name, const std::string& stem, const std::string& extension,
                        const std::string& bytes, std::span<const TableSpec> declared,
                        const std::vector<jet::Table>& tables) {
    const std::string temporary = name + ".upgrading";
    std::string backup;
    std::string error;
    platform::RemoveFile(temporary);
    try {
        BuildDatabase(temporary, declared, tables);
        if (!platform::FlushFile(temporary, error)) throw StoreError(error);
        for (int n = 1;; ++n) {
            if (n > 1000) throw StoreError("旧文件的备份找不到可用的文件名");
            const std::string candidate = stem + ".jet" + (n > 1 ? "." + std::to_string(n) : "") + extension;
            const auto created = platform::WriteNewFile(candidate, bytes, error);
            if (created == platform::Creation::kExists) continue;
            if (created == platform::Creation::kFailed) throw StoreError(error);
            backup = candidate;
            break;
        }
        std::string check;
        if (!platform::ReadWholeFile(backup, check, error)) throw StoreError(error);
        if (check != bytes) throw StoreError("旧文件的备份" + Quoted(backup) + "与旧文件不一致");
        if (!platform::ReplaceAtomically(temporary, name, error)) throw StoreError(error);
    } catch (const std::exception& e) {
        platform::RemoveFile(temporary);
        if (!backup.empty()) platform::RemoveFile(backup);
        throw StoreError(FailureText("早期安装留下的 Jet 数据库" + Quoted(name) + "升级失败，文件保持原样", e.what()));
    }
}

}  // namespace

void UpgradeJetDatabase(const ConnectionText& source, std::span<const TableSpec> declared) {
    const std::string& name = source.dataSource;
    const auto [stem, extension] = SplitExtension(name);
    std::string error;

    const auto lock = platform::UpgradeLock::Acquire(name, kBusyTimeoutMs, error);
    if (!lock) throw StoreError(FailureText("无法升级早期安装留下的 Jet 数据库" + Quoted(name), error));
    // Replaced while this process waited: upgraded by the one that held the
    // lock. It is not opened here (the upgrading process may be using it).
    if (!lock->StillTheSameFile()) return;

    std::string bytes;
    if (!ReadJetFile(name, stem, bytes)) return;  // another process upgraded it meanwhile
    ReplaceWithUpgrade(name, stem, extension, bytes, declared, ReadCarriedTables(name, bytes, declared));
}

void CheckJetUpgrade(const std::string& name, const std::string& bytes) {
    RequireJet4(name, jet::ClassifyHeader(bytes));
    ReadCarriedTables(name, bytes, kParameterTables);
}

}  // namespace dg::store
