// The Jet reader against mdbtools, and the store's upgrade of a Jet file in
// place: what it carries over, what it refuses, and what it leaves behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <thread>

#include "store/jet_reader.h"
#include "store/location.h"
#include "store/platform.h"
#include "store/store.h"
#include "support/jet_writer.h"
#include "support/temp_dir.h"
#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

using namespace dg;
namespace fs = std::filesystem;
namespace jw = dg::testsupport::jet;

namespace {

std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
void Write(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }
std::vector<std::string> Files() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator("mdb")) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class JetUpgradeTest : public testsupport::TempDirTest {
protected:
    std::string Plant(const std::string& bytes) {
        fs::create_directory("mdb");
        Write("mdb/Para.mdb", bytes);
        return bytes;
    }
    // Opening fails with a description holding `what`; the folder is as it was.
    void ExpectRefused(const std::string& what) {
        const auto bytes = Read("mdb/Para.mdb");
        const auto before = Files();
        try {
            store::Connection c(store::kOpenConnectionString);
            ADD_FAILURE() << "opened";
        } catch (const store::StoreError& e) {
            EXPECT_EQ(std::string(e.what()).rfind("数据库“mdb\\Para.mdb”是", 0), 0u) << e.what();
            EXPECT_NE(std::string(e.what()).find(what), std::string::npos) << e.what();
        }
        EXPECT_EQ(Read("mdb/Para.mdb"), bytes);
        EXPECT_EQ(Files(), before);
    }
};

}  // namespace

#ifndef _WIN32
namespace {
// A field as mdb-export -Q -T '%Y-%m-%d %H:%M:%S' prints it.
std::string Field(const store::Value& v) {
    if (v.IsNull()) return "";
    if (auto d = std::get_if<store::DateTime>(&v.Raw())) return d->ToStoreText();
    return v.AsText();
}
std::string Field(const jw::Cell& c) {
    if (auto n = std::get_if<std::int64_t>(&c)) return std::to_string(*n);
    if (auto s = std::get_if<std::string>(&c)) return *s;
    if (auto d = std::get_if<double>(&c))
        return store::DateTime{std::int32_t(std::floor(*d)), std::int32_t(std::llround((*d - std::floor(*d)) * 86400))}
            .ToStoreText();
    return "";
}
template <typename Cells>
std::string Line(const Cells& cells) {
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) line += (i ? "\t" : "") + Field(cells[i]);
    return line;
}

std::vector<std::string> Lines(const std::string& command) {
    std::vector<std::string> lines;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return lines;
    std::string text;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
    EXPECT_EQ(pclose(pipe), 0) << command;
    for (std::size_t at = 0, nl; (nl = text.find('\n', at)) != std::string::npos; at = nl + 1)
        lines.push_back(text.substr(at, nl - at));
    return lines;
}

// mdbtools 1.0 prints deleted rows, prints a moved row where it lies (not
// where its pointer stands) and lists tables whose catalog row is deleted:
// the comparison leaves out what the writer deleted, and ignores the order.
void ExpectSameAsMdbtools(const std::string& file, const std::vector<jw::Table>& tables,
                          const std::vector<std::string>& gone) {
    SCOPED_TRACE(file);
    ASSERT_EQ(Lines("mdb-ver '" + file + "'"), std::vector<std::string>{"JET4"});
    const store::jet::Reader reader(Read(file));
    auto listed = Lines("mdb-tables -1 '" + file + "'");
    for (const auto& g : gone) {
        EXPECT_NE(std::find(listed.begin(), listed.end(), g), listed.end());
        listed.erase(std::remove(listed.begin(), listed.end(), g), listed.end());
        EXPECT_FALSE(reader.ReadTable(g));
    }
    EXPECT_EQ(reader.TableNames(), listed);
    for (const auto& name : listed) {
        auto expected = Lines("mdb-export -H -Q -d '\t' -T '%Y-%m-%d %H:%M:%S' '" + file + "' '" + name + "'");
        for (const auto& t : tables)
            for (const auto& r : t.rows)
                if (t.name == name && r.deleted) {
                    const auto at = std::find(expected.begin(), expected.end(), Line(r.cells));
                    ASSERT_NE(at, expected.end()) << "mdbtools no longer prints deleted rows";
                    expected.erase(at);
                }
        std::vector<std::string> actual;
        const auto table = reader.ReadTable(name);
        for (const auto& row : table->rows) actual.push_back(Line(row));
        std::sort(expected.begin(), expected.end());
        std::sort(actual.begin(), actual.end());
        EXPECT_EQ(actual, expected) << name;
    }
}
}  // namespace

TEST_F(JetUpgradeTest, ReaderAgreesWithMdbtoolsOnEveryTable) {
    for (bool referenceMap : {false, true}) {
        const auto tables = jw::PlantTables(referenceMap);
        Write("plant.mdb", jw::WriteJet4(tables, {"tblGone"}));
        ExpectSameAsMdbtools((Dir() / "plant.mdb").string(), tables, {"tblGone"});
    }
    const fs::path adodb = DG_NODE_ADODB_MDB;  // fetched by scripts/test.sh with npm pack
    const fs::path unreachable = adodb.parent_path().parent_path().parent_path() / "npm-unreachable";
    if (!fs::exists(adodb) && fs::exists(unreachable))
        GTEST_SKIP() << "npm could not be reached, so node-adodb.mdb is missing: " << Read(unreachable);
    ASSERT_TRUE(fs::exists(adodb)) << adodb << " is missing: scripts/test.sh fetches it with 'npm pack node-adodb'";
    ExpectSameAsMdbtools(adodb.string(), {}, {});
    EXPECT_EQ(store::jet::Reader(Read(adodb)).ReadTable("users")->rows[2][1], store::Value("张三"));
}
#endif

TEST_F(JetUpgradeTest, UpgradeCarriesTheRowsAndKeepsTheOldBytesUnderTheNextFreeName) {
    const auto bytes = Plant(jw::WriteJet4(jw::PlantTables(true)));
    Write("mdb/Para.jet.mdb", "an older copy");
    {
        store::Connection c(store::kOpenConnectionString);
        store::Recordset pass(c, "tblPass");
        ASSERT_EQ(pass.RecordCount(), 3);  // the deleted row stays behind, the moved one is first
        EXPECT_EQ(pass.Get("登陆密码"), store::Value("Plant-8x"));
        EXPECT_EQ(pass.Get("日期"), store::Value(store::DateTime{46000, 0}));
        EXPECT_EQ(pass.Get("时间"), store::Value(store::DateTime{0, 6 * 3600}));
        store::Recordset shift(c, "tblclasstime");
        EXPECT_EQ(shift.Get("班制"), store::Value(3));
        EXPECT_EQ(shift.Get("class2"), store::Value(store::DateTime{0, 15 * 3600 + 30 * 60}));
        EXPECT_EQ(shift.Get("B3"), store::Value("Night-3班"));
    }
    EXPECT_EQ(Read("mdb/Para.jet.2.mdb"), bytes);
    EXPECT_EQ(Read("mdb/Para.jet.mdb"), "an older copy");
    EXPECT_EQ(Files(), (std::vector<std::string>{"Para.jet.2.mdb", "Para.jet.mdb", "Para.mdb"}));
}

TEST_F(JetUpgradeTest, OtherAndDamagedJetFilesAreRefusedAndLeftAsTheyWere) {
    const auto good = jw::WriteJet4(jw::PlantTables(false));
    Plant(jw::WriteJet4(jw::PlantTables(false), {}, 0));
    ExpectRefused(
        "Jet 3 数据库（Access 97），只有 Jet 4 数据库能够升级。文件保持原样；如要改用新数据库，请先把该文件移到"
        "别处：文件头表明该文件是 Jet 3 数据库（Access 97，版本字节为 0）");
    Plant(jw::WriteJet4(jw::PlantTables(false), {}, 3));
    ExpectRefused("：文件头表明该文件是格式比 Jet 4 新的数据库（Access 2007 或更新的版本，版本字节为 3）");
    Plant(good.substr(0, good.size() - 4096));
    ExpectRefused("页，但文件只有 " + std::to_string(good.size() / 4096 - 1) + " 页，文件已被截断或损坏");
    Plant(good.substr(0, 4096));
    ExpectRefused("文件保持原样：文件只有 1 页，没有目录表 MSysObjects，文件已被截断或损坏");
    Plant(good.substr(0, 10000));
    ExpectRefused(
        "已损坏或不完整，无法读取，不能升级。文件保持原样：文件长 10000 字节，不是整数个 4096 字节的页，文件已被截断或"
        "损坏");
    std::string encrypted = good;
    encrypted[0x3E] ^= 1;  // a database key of its own
    Plant(encrypted);
    ExpectRefused("是加密的 Jet 数据库，无法读取，不能升级。文件保持原样：数据库已加密");
    std::string corrupt = good;
    corrupt[5 * 4096 + 13] = '\x7F';  // the row count of tblPass's data page
    Plant(corrupt);
    ExpectRefused("：表“tblPass”（定义在第 4 页）：第 5 页记载的行数多于一页所能容纳的行数");
    corrupt = good;
    corrupt[4 * 4096] = '\x01';  // tblPass's definition page
    Plant(corrupt);
    ExpectRefused("：表“tblPass”（定义在第 4 页）：第 4 页不是表定义页（页类型为 1）");
}

TEST_F(JetUpgradeTest, AFileInUseByTheJetEngineIsLeftAlone) {
    Plant(jw::WriteJet4(jw::PlantTables(false)));
#ifdef _WIN32
    // The engine keeps the database open for writing, shared with others.
    const HANDLE held = CreateFileW(L"mdb\\Para.mdb", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
#else
    // The engine locks byte ranges of its lock file beside the database.
    const int held = open("mdb/Para.ldb", O_RDWR | O_CREAT, 0666);
    struct flock range {};
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;
    range.l_start = 0x10000000;
    range.l_len = 1;
    ASSERT_EQ(fcntl(held, F_OFD_SETLK, &range), 0);
#endif
    ExpectRefused("正被其他程序（Jet 引擎或早期的组件）使用");
#ifdef _WIN32
    CloseHandle(held);
#else
    close(held);
#endif
    store::Connection now(store::kOpenConnectionString);
    EXPECT_TRUE(fs::exists("mdb/Para.jet.mdb"));
}

// Two threads (on Windows the lock is the same as between processes) open a
// Jet file while the upgrade lock is held: both wait, one upgrades.
TEST_F(JetUpgradeTest, OpeningsThatMeetWaitForOneUpgrade) {
    const auto old = Plant(jw::WriteJet4(jw::PlantTables(false)));
    std::string error;
    auto hold = store::platform::UpgradeLock::Acquire("mdb/Para.mdb", 1000, error);
    ASSERT_TRUE(hold) << error;
    int opened[2] = {0, 0};
    std::vector<std::thread> threads;
    for (int& rows : opened)
        threads.emplace_back([&rows] {
            try {
                store::Connection c(store::kOpenConnectionString);
                rows = store::Recordset(c, "tblPass").RecordCount();
            } catch (const std::exception& e) {
                ADD_FAILURE() << e.what();
            }
        });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(Read("mdb/Para.mdb"), old);
    hold.reset();
    for (auto& t : threads) t.join();
    EXPECT_EQ(opened[0] + opened[1], 6);
    EXPECT_EQ(Files(), (std::vector<std::string>{"Para.jet.mdb", "Para.mdb"}));
}

#ifdef _WIN32
// The child's part of the two-process case below: this executable started
// again in the test's folder.
TEST(JetUpgradeChild, OpensTheDatabaseOfItsFolder) {
    if (GetEnvironmentVariableW(L"DG_JET_CHILD", nullptr, 0) == 0) GTEST_SKIP() << "runs only as a child process";
    store::Connection c(store::kOpenConnectionString);
    EXPECT_EQ(store::Recordset(c, "tblPass").RecordCount(), 3);
}

TEST_F(JetUpgradeTest, TwoProcessesOnAJetFileUpgradeItExactlyOnce) {
    const auto old = Plant(jw::WriteJet4(jw::PlantTables(false)));
    std::string error;
    auto hold = store::platform::UpgradeLock::Acquire("mdb/Para.mdb", 1000, error);
    ASSERT_TRUE(hold) << error;
    wchar_t exe[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(nullptr, exe, MAX_PATH), 0u);
    std::wstring command = L"\"" + std::wstring(exe) + L"\" --gtest_filter=JetUpgradeChild.*";
    SetEnvironmentVariableW(L"DG_JET_CHILD", L"1");
    PROCESS_INFORMATION children[2]{};
    for (auto& child : children) {
        STARTUPINFOW start{};
        start.cb = sizeof start;
        EXPECT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, Dir().c_str(), &start,
                                   &child));
    }
    SetEnvironmentVariableW(L"DG_JET_CHILD", nullptr);
    Sleep(1500);  // both children start and wait for the lock meanwhile
    EXPECT_EQ(Read("mdb/Para.mdb"), old);
    hold.reset();
    for (auto& child : children) {
        if (!child.hProcess) continue;
        EXPECT_EQ(WaitForSingleObject(child.hProcess, 60000), WAIT_OBJECT_0);
        DWORD code = 1;
        GetExitCodeProcess(child.hProcess, &code);
        EXPECT_EQ(code, 0u);
        CloseHandle(child.hProcess);
        CloseHandle(child.hThread);
    }
    EXPECT_EQ(Files(), (std::vector<std::string>{"Para.jet.mdb", "Para.mdb"}));
}
#endif
