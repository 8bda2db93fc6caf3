#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "access/pass_table.h"
#include "access_support.h"
#include "shift/class_time_table.h"
#include "store/location.h"
#include "store/store.h"
#include "tests/support/temp_dir.h"

using namespace dg;
using namespace dg::access;
using namespace dg::accesstest;
namespace fs = std::filesystem;

namespace {

class PassTableTest : public testsupport::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        store::EnsureDatabase([](const std::string& d) { FAIL() << d; });
    }
    // CreatePassTable, collecting what it reports.
    std::vector<std::string> Create() {
        std::vector<std::string> reports;
        CreatePassTable([&](const std::string& d) { reports.push_back(d); });
        return reports;
    }
};

}  // namespace

TEST_F(PassTableTest, FreshTableHasTheFourColumnsAndOneSeedRow) {
    const auto before = LocalNow();
    EXPECT_TRUE(Create().empty());
    ASSERT_EQ(CountAll(), 1);
    const auto row = FirstRow("管理员");
    ASSERT_TRUE(row);
    EXPECT_EQ(row->password, "579");
    ExpectStampedSince(*row, before);

    // Columns in order, with their store types.
    std::vector<std::pair<std::string, std::string>> columns;
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2("mdb/Para.mdb", &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA table_info(tblPass)", -1, &st, nullptr), SQLITE_OK);
    while (sqlite3_step(st) == SQLITE_ROW)
        columns.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)),
                             reinterpret_cast<const char*>(sqlite3_column_text(st, 2)));
    sqlite3_finalize(st);
    sqlite3_close(db);
    using C = std::pair<std::string, std::string>;
    EXPECT_EQ(columns, (std::vector<C>{C{"日期", "DATETIME TEXT"}, C{"时间", "DATETIME TEXT"}, C{"用户权限", "TEXT"},
                                       C{"登陆密码", "TEXT"}}))
        << "declared types as the store defines codes 7 and 202";
}

TEST_F(PassTableTest, LaterCreationsKeepRowsAndOnlyReseedAnEmptiedTable) {
    Create();
    Sql("UPDATE tblPass SET 登陆密码 = 'changed'");
    EXPECT_TRUE(Create().empty());
    EXPECT_EQ(CountAll(), 1);
    EXPECT_EQ(FirstRow("管理员")->password, "changed");

    Sql("DELETE FROM tblPass");
    EXPECT_TRUE(Create().empty());
    EXPECT_EQ(CountAll(), 1);
    EXPECT_EQ(FirstRow("管理员")->password, "579");
}

TEST_F(PassTableTest, FailureBeforeTheAppendIsReportedOnceAndEndsTheStep) {
    fs::remove("mdb/Para.mdb");
    std::ofstream("mdb/Para.mdb") << "this is not a database, just some text that is long enough";
    const auto reports = Create();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_FALSE(reports[0].empty());
}

TEST_F(PassTableTest, FailuresFromTheAppendOnAreSkippedSilently) {
    // A foreign tblPass with a column the seed row leaves empty: the append
    // fails, our columns are added, the seed row cannot be written; nothing
    // is reported, no row is half-written.
    Sql("CREATE TABLE tblPass (other TEXT NOT NULL)");
    EXPECT_TRUE(Create().empty());
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2("mdb/Para.mdb", &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT count(*) FROM tblPass", -1, &st, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(st, 0), 0);
    sqlite3_finalize(st);
    sqlite3_close(db);
}

TEST_F(PassTableTest, CheckAddsAMissingLevelRowThenComparesExactly) {
    Create();
    const auto before = LocalNow();
    EXPECT_TRUE(CheckLevelPassword("工程师", "579"));
    const auto row = FirstRow("工程师");
    ASSERT_TRUE(row);
    EXPECT_EQ(row->password, "579");
    ExpectStampedSince(*row, before);

    EXPECT_FALSE(CheckLevelPassword("工程师", ""));
    EXPECT_FALSE(CheckLevelPassword("工程师", "579 "));
    Sql("UPDATE tblPass SET 登陆密码 = 'Abc' WHERE 用户权限 = '工程师'");
    EXPECT_FALSE(CheckLevelPassword("工程师", "abc"));
    EXPECT_TRUE(CheckLevelPassword("工程师", "Abc"));
    EXPECT_EQ(CountWhere(store::kPassColumnLevel, "工程师"), 1);
}

TEST_F(PassTableTest, NullPasswordMatchesNothingAndEmptyOnlyEmpty) {
    Create();
    Sql("UPDATE tblPass SET 登陆密码 = NULL");
    EXPECT_FALSE(CheckLevelPassword("管理员", ""));
    EXPECT_FALSE(CheckLevelPassword("管理员", "579"));
    EXPECT_EQ(CountAll(), 1) << "a row with a null password is still the level's row";
    Sql("UPDATE tblPass SET 登陆密码 = ''");
    EXPECT_TRUE(CheckLevelPassword("管理员", ""));
    EXPECT_FALSE(CheckLevelPassword("管理员", "579"));
}

TEST_F(PassTableTest, LevelNamesAreBoundNotPasted) {
    Create();
    const std::string odd = "O'Neil' OR '1'='1";
    EXPECT_TRUE(CheckLevelPassword(odd, "579"));
    EXPECT_EQ(CountWhere(store::kPassColumnLevel, odd), 1);
    EXPECT_TRUE(WriteLevelPassword(odd, "x"));
    EXPECT_EQ(FirstRow(odd)->password, "x");
    EXPECT_EQ(FirstRow("管理员")->password, "579");
}

TEST_F(PassTableTest, WriteChangesOnlyTheFirstRowOfTheLevel) {
    Create();
    Sql("INSERT INTO tblPass (用户权限, 登陆密码) VALUES ('管理员', 'second')");
    const auto before = LocalNow();
    ASSERT_TRUE(WriteLevelPassword("管理员", "new"));
    EXPECT_EQ(CountWhere(store::kPassColumnPassword, "new"), 1);
    EXPECT_EQ(CountWhere(store::kPassColumnPassword, "second"), 1);
    const auto row = FirstRow("管理员");
    EXPECT_EQ(row->password, "new");
    ExpectStampedSince(*row, before);

    EXPECT_FALSE(WriteLevelPassword("工程师", "new")) << "no row: nothing written";
    EXPECT_EQ(CountAll(), 2);
}

#ifdef DG_RESET_PASSWORD
namespace {
// The forgotten-password tool run with `args`: its exit code and output.
std::pair<int, std::string> ResetPassword(const std::string& args) {
    std::string out;
    FILE* pipe = popen((DG_RESET_PASSWORD " " + args + " 2>&1").c_str(), "r");
    for (char buffer[512]; pipe && std::fgets(buffer, sizeof buffer, pipe);) out += buffer;
    const int status = pipe ? pclose(pipe) : -1;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}
std::string ShiftRows() {
    store::Connection c(store::kOpenConnectionString);
    store::Recordset rs(c, store::kClassTimeTable);
    std::string all;
    for (const char* column : {"班制", "Class1", "Class2", "Class3", "Class4", "B1", "B2", "B3", "B4"})
        all += rs.Get(column).AsText() + "|";
    return all;
}
}  // namespace

TEST_F(PassTableTest, ResetPasswordToolDeletesOneLevelsRowsAndKeepsTheShiftSettings) {
    Create();
    shift::CreateClassTimeTable([](const std::string& d) { FAIL() << d; });
    Sql("UPDATE tblClassTime SET B1 = '早班', 班制 = 3");
    ASSERT_TRUE(CheckLevelPassword("工程师", "579"));
    ASSERT_TRUE(WriteLevelPassword("工程师", "lost"));
    Sql("INSERT INTO tblPass (用户权限, 登陆密码) VALUES ('工程师', 'also lost')");
    ASSERT_TRUE(WriteLevelPassword("管理员", "kept"));
    const std::string shiftBefore = ShiftRows();

    auto [code, out] = ResetPassword("工程师 " + Dir().string());
    EXPECT_EQ(code, 0) << out;
    EXPECT_EQ(out.rfind("已删除“工程师”的密码记录（2 行）", 0), 0u) << out;
    EXPECT_EQ(CountWhere(store::kPassColumnLevel, "工程师"), 0);
    EXPECT_EQ(FirstRow("管理员")->password, "kept");
    EXPECT_EQ(ShiftRows(), shiftBefore);
    EXPECT_TRUE(CheckLevelPassword("工程师", "579")) << "the next login check adds the level with the default";

    EXPECT_EQ(ResetPassword("2").first, 0);  // in the working folder itself
    std::tie(code, out) = ResetPassword("2");
    EXPECT_EQ(code, 0) << out;
    EXPECT_EQ(out.rfind("“工程师”没有密码记录，无需删除", 0), 0u) << out;
    EXPECT_EQ(ResetPassword("3").first, 2);
    std::tie(code, out) = ResetPassword("1 mdb");  // a folder without a database: nothing is created
    EXPECT_EQ(code, 1) << out;
    EXPECT_EQ(out.rfind("找不到数据库“mdb\\Para.mdb”", 0), 0u) << out;
    EXPECT_FALSE(fs::exists("mdb/mdb"));
}
#endif
