#include "tools/station_check.h"

#include <exception>

#include "base/ascii.h"
#include "base/failure_text.h"
#include "store/jet_reader.h"
#include "store/jet_upgrade.h"
#include "store/location.h"
#include "store/platform.h"
#include "store/schema.h"
#include "store/store.h"

namespace dg::tools {
namespace {

namespace platform = store::platform;

const std::string kFolder(store::kFolderName);
const std::string kDatabase(store::kDatabaseEntry);

std::string Place(const std::string& name) { return "（位置：" + platform::FullName(name) + "）"; }

void Add(std::vector<Finding>& findings, Verdict verdict, std::string chinese, std::string english) {
    findings.push_back({verdict, std::move(chinese), std::move(english)});
}

// The folder "mdb": true when the database can live in it (or it can be made).
bool CheckFolder(const WriteCheck& mayWrite, std::vector<Finding>& findings) {
    switch (platform::KindOf(kFolder)) {
        case platform::EntryKind::kNone:
            if (mayWrite(".", true) == WriteAccess::kNo) {
                Add(findings, Verdict::kProblem,
                    "文件夹" + Quoted(kFolder) + "不存在，而工作文件夹不允许写入，宿主程序无法创建它" + Place(kFolder),
                    "The folder mdb is missing and the working folder is not writable: the host cannot create it.");
                return false;
            }
            Add(findings, Verdict::kNote,
                "文件夹" + Quoted(kFolder) + "和数据库" + Quoted(kDatabase) + "不存在，宿主程序首次创建对象时会创建" +
                    Place(kFolder),
                "The folder mdb and mdb\\Para.mdb are missing; the host creates them when it first creates an "
                "object.");
            return true;
        case platform::EntryKind::kFolder:
            if (mayWrite(kFolder, true) == WriteAccess::kNo) {
                Add(findings, Verdict::kProblem,
                    "文件夹" + Quoted(kFolder) + "不允许写入，数据库无法创建或保存" + Place(kFolder),
                    "The folder mdb is not writable: the database cannot be created or saved.");
                return false;
            }
            Add(findings, Verdict::kOk, "文件夹" + Quoted(kFolder) + "存在，可以写入" + Place(kFolder),
                "The folder mdb exists and is writable.");
            return true;
        default:
            Add(findings, Verdict::kProblem,
                Quoted(kFolder) + "是文件，不是文件夹，数据库" + Quoted(kDatabase) +
                    "无法放在其中；请把该文件移到别处" + Place(kFolder),
                "mdb is a file where the folder should be: the database cannot be made; move the file away.");
            return false;
    }
}

// An existing SQLite file, opened read-only: the tables and the settings row.
bool CheckTables(std::vector<Finding>& findings) {
    try {
        store::Connection connection(store::kOpenConnectionString, store::Connection::Mode::kReadOnly);
        bool whole = true;
        for (const store::TableSpec& spec : store::kParameterTables) {
            const std::string table(spec.name);
            const auto columns = store::TableColumns(connection, spec.name);
            if (!columns) {
                Add(findings, Verdict::kNote, "表" + Quoted(table) + "不存在，宿主程序会创建它并写入默认记录",
                    "Table " + table + " is missing; the host creates it with its default row.");
                whole = false;
                continue;
            }
            std::string missing;
            for (const store::ColumnSpec& c : spec.columns) {
                bool found = false;
                for (const auto& have : *columns) found = found || EqualsAsciiNoCase(have, c.name);
                if (!found) missing += (missing.empty() ? "" : "、") + Quoted(c.name);
            }
            if (!missing.empty()) {
                Add(findings, Verdict::kNote, "表" + Quoted(table) + "缺少列" + missing + "，宿主程序会添加",
                    "Table " + table + " lacks columns that the host adds.");
                whole = false;
            }
            // Reads every row, as the services do; tblPass's passwords are not shown.
            store::Recordset rows(connection, spec.name);
            if (rows.RecordCount() == 0) {
                Add(findings, Verdict::kNote, "表" + Quoted(table) + "没有记录，宿主程序会写入默认记录",
                    "Table " + table + " has no rows; the host writes its default row.");
                whole = false;
            }
        }
        if (whole)
            Add(findings, Verdict::kOk,
                "数据库" + Quoted(kDatabase) + "完好：表“tblPass”和“tblClassTime”及其各列都在，交接班设置可以读取",
                "mdb\\Para.mdb is sound: tblPass and tblClassTime with all their columns, the shift settings "
                "readable.");
        return true;
    } catch (const std::exception& e) {
        Add(findings, Verdict::kProblem, e.what(), "mdb\\Para.mdb cannot be opened or read: it will be refused.");
        return false;
    }
}

}  // namespace

std::string FormatFinding(const Finding& finding) {
    switch (finding.verdict) {
        case Verdict::kOk: return "[正常] " + finding.chinese + " | OK: " + finding.english + "\n";
        case Verdict::kNote: return "[提示] " + finding.chinese + " | Note: " + finding.english + "\n";
        default: return "[问题] " + finding.chinese + " | Problem: " + finding.english + "\n";
    }
}

bool CheckDatabase(const WriteCheck& mayWrite, std::vector<Finding>& findings) {
    const bool folderUsable = CheckFolder(mayWrite, findings);
    if (platform::KindOf(kFolder) != platform::EntryKind::kFolder) return folderUsable;
    switch (platform::KindOf(kDatabase)) {
        case platform::EntryKind::kNone:
            if (folderUsable)
                Add(findings, Verdict::kNote,
                    "数据库" + Quoted(kDatabase) + "不存在，宿主程序首次创建对象时会创建" + Place(kDatabase),
                    "mdb\\Para.mdb is missing; the host creates it when it first creates an object.");
            return folderUsable;
        case platform::EntryKind::kFile: break;
        default:
            Add(findings, Verdict::kProblem, Quoted(kDatabase) + "不是文件，数据库无法创建" + Place(kDatabase),
                "mdb\\Para.mdb is not a file: the database cannot be made.");
            return false;
    }
    bool usable = folderUsable;
    if (mayWrite(kDatabase, false) == WriteAccess::kNo) {
        Add(findings, Verdict::kProblem,
            "数据库" + Quoted(kDatabase) + "是只读的，宿主程序无法保存设置" + Place(kDatabase),
            "mdb\\Para.mdb is read-only: the host cannot save its settings.");
        usable = false;
    }
    std::string bytes, error;
    if (!platform::ReadWholeFile(kDatabase, bytes, error)) {
        Add(findings, Verdict::kProblem, FailureText("无法读取数据库" + Quoted(kDatabase), error),
            "mdb\\Para.mdb cannot be read.");
        return false;
    }
    // A Jet file goes where opening takes it: the upgrade, or its refusal.
    if (store::jet::ClassifyHeader(bytes).kind != store::jet::FileKind::kNotJet) {
        try {
            store::CheckJetUpgrade(kDatabase, bytes);
        } catch (const std::exception& e) {
            Add(findings, Verdict::kProblem, e.what(),
                "mdb\\Para.mdb is an Access file that cannot be upgraded: it will be refused.");
            return false;
        }
        Add(findings, Verdict::kNote,
            "数据库" + Quoted(kDatabase) +
                "是早期安装留下的 Jet 4 数据库，首次打开时会升级为本组件的数据库，旧文件原样保留在旁边" +
                Place(kDatabase),
            "mdb\\Para.mdb is a Jet 4 file of an earlier installation: it is upgraded when first opened, the old "
            "file kept beside it.");
        return usable;
    }
    return CheckTables(findings) && usable;
}

int RunStationCheck(const std::vector<std::string>& arguments, std::string_view program, const Console& console,
                    const WriteCheck& mayWrite, const RegistrationCheck& registration) {
    if (arguments.size() > 1 || (arguments.size() == 1 && (arguments[0].empty() || arguments[0][0] == '-'))) {
        const std::string name(program);
        console.write("用法：" + name +
                          " [工作文件夹]\n"
                          "  检查宿主程序的工作文件夹（默认为当前文件夹）中组件能否使用，每项一行；不做任何改动。\n"
                          "Usage: " +
                          name +
                          " [working folder]\n"
                          "  Checks whether the component can work in the host's working folder (the current one by\n"
                          "  default), one line per finding; changes nothing.\n",
                      true);
        return kExitUsage;
    }
    std::string error;
    if (arguments.size() == 1 && !console.enterFolder(arguments[0], error)) {
        console.write(FailureText("无法进入工作文件夹" + Quoted(arguments[0]), error) + "\n", true);
        return kExitFailed;
    }
    std::string folder = platform::FullName(".");
    if (folder.size() > 2 && folder.back() == '.') folder.resize(folder.size() - 2);  // "<folder>/."
    console.write("工作文件夹：" + folder + " | Working folder: " + folder + "\n", false);
    std::vector<Finding> findings;
    bool ready = true;
    if (registration) ready = registration(findings);
    ready = CheckDatabase(mayWrite, findings) && ready;
    for (const Finding& f : findings) console.write(FormatFinding(f), false);
    console.write(ready ? "结论：宿主程序可以在此使用组件。 | Result: a host can use the component here.\n"
                        : "结论：有问题需要处理，见上面标为“问题”的各行。 | Result: see the lines marked Problem.\n",
                  false);
    return ready ? kExitDone : kExitFailed;
}

}  // namespace dg::tools
