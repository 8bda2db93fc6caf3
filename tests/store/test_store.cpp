#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <fstream>
#include <iterator>
#ifndef _WIN32
#include <unistd.h>
#endif

#include "store/jet_upgrade.h"
#include "store/location.h"
#include "store/paths.h"
#include "store/store.h"
#include "store/table_step.h"
#include "support/jet_writer.h"
#include "support/temp_dir.h"

using namespace dg::store;
namespace fs = std::filesystem;
namespace jet = dg::testsupport::jet;

namespace {

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteFile(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

class StoreTest : public dg::testsupport::TempDirTest {
protected:
    std::vector<std::string> reports;
    FailureReport Reporter() {
        return [this](const std::string& d) { reports.push_back(d); };
    }
    void MakeDatabase() {
        EnsureDatabase(Reporter());
        ASSERT_TRUE(reports.empty());
    }
    void MakeTable() {
        MakeDatabase();
        Connection c(kOpenConnectionString);
        TableDef t("tblTest");
        t.AppendColumn("Name", kTypeText, 10);
        t.AppendColumn("When", kTypeDate, 0);
        t.AppendColumn("Count", kTypeInteger, 0);
        AppendTable(c, t);
    }
};

}  // namespace

TEST(ConnectionTextTest, BothTextsNameTheSameFileAndOtherProvidersAreRefused) {
    EXPECT_EQ(ConnectionText::Parse(kOpenConnectionString).Path(), fs::path("mdb/Para.mdb"));
    EXPECT_EQ(ConnectionText::Parse(kCreateConnectionString).Path(), fs::path("mdb/Para.mdb"));
    EXPECT_EQ(ConnectionText::Parse(kOpenConnectionString).provider, "Microsoft.Jet.OLEDB.4.0");
    EXPECT_THROW(ConnectionText::Parse("Provider=SQLOLEDB;Data Source=x"), StoreError);
    EXPECT_THROW(ConnectionText::Parse("Data Source=x"), StoreError);
    EXPECT_THROW(ConnectionText::Parse("Provider=Microsoft.Jet.OLEDB.4.0"), StoreError);
    EXPECT_THROW(ConnectionText::Parse("Provider=Microsoft.Jet.OLEDB.4.0;garbage"), StoreError);
}

TEST_F(StoreTest, EntryTestsCountFoldersOnlyWhereAsked) {
    EXPECT_FALSE(EntryExists(kFolderName, true));
    fs::create_directories("mdb/Para.mdb");  // a folder where the file should be
    EXPECT_TRUE(EntryExists(kFolderName, true));
    EXPECT_FALSE(EntryExists(kDatabaseEntry, false));
    fs::remove("mdb/Para.mdb");
    WriteFile("mdb/Para.mdb", "");
    EXPECT_TRUE(EntryExists(kDatabaseEntry, false));
}

TEST_F(StoreTest, EnsureDatabaseMakesFolderAndFileInAnEmptyDirectory) {
    EnsureDatabase(Reporter());
    EXPECT_TRUE(reports.empty());
    EXPECT_TRUE(fs::is_directory("mdb"));
    EXPECT_TRUE(fs::is_regular_file("mdb/Para.mdb"));
    EXPECT_GT(fs::file_size("mdb/Para.mdb"), 0u);  // a real database, not zero bytes
    Connection c(kOpenConnectionString);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(c.Handle(), "PRAGMA application_id", -1, &s, nullptr);
    ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(s, 0), kApplicationId);
    sqlite3_finalize(s);
}

TEST_F(StoreTest, EnsureDatabaseCreatesOnlyWhatIsMissing) {
    fs::create_directory("mdb");
    EnsureDatabase(Reporter());
    EXPECT_TRUE(reports.empty());
    EXPECT_TRUE(fs::is_regular_file("mdb/Para.mdb"));

    // Both present, even a file that is no database: nothing is touched.
    WriteFile("mdb/Para.mdb", "not a database at all");
    EnsureDatabase(Reporter());
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(ReadFile("mdb/Para.mdb"), "not a database at all");
}

TEST_F(StoreTest, PlainFileNamedMdbIsReportedOnceAndLeftAlone) {
    WriteFile("mdb", "plain");
    EnsureDatabase(Reporter());
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].rfind("无法创建数据库“mdb\\Para.mdb”（“mdb”是一个文件，不是文件夹）：", 0), 0u) << reports[0];
    EXPECT_NE(reports[0].find("（位置："), std::string::npos) << reports[0];
    EXPECT_EQ(ReadFile("mdb"), "plain");
}

#ifndef _WIN32  // a read-only attribute on a Windows folder does not stop creation in it
TEST_F(StoreTest, ReadOnlyDirectoryIsReportedOnce) {
    if (geteuid() == 0) GTEST_SKIP() << "root ignores directory permissions";
    fs::permissions(".", fs::perms::owner_read | fs::perms::owner_exec);
    EnsureDatabase(Reporter());
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].rfind("无法创建文件夹“mdb”：Permission denied（位置：/", 0), 0u) << reports[0];
    EXPECT_FALSE(fs::exists("mdb"));
}
#endif

TEST_F(StoreTest, FolderCreationFailureIsReportedWithTheFileSystemsDescription) {
    // A folder cannot be created below a plain file.
    EXPECT_THROW(MakeFolder("mdb/sub"), StoreError);
    try {
        MakeFolder("no/such/parent");
    } catch (const StoreError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("无法创建文件夹“no/such/parent”：", 0), 0u) << e.what();
#ifndef _WIN32  // on Windows the system's text is in the user's language
        EXPECT_NE(std::string(e.what()).find("No such file or directory"), std::string::npos) << e.what();
#endif
    }
}

TEST_F(StoreTest, WorkingDirectoryDecidesWhichDatabase) {
    MakeDatabase();
    fs::create_directory("other");
    fs::current_path("other");
    EXPECT_FALSE(EntryExists(kDatabaseEntry, false));
    EnsureDatabase(Reporter());
    EXPECT_TRUE(fs::is_regular_file("mdb/Para.mdb"));
    fs::current_path("..");
}

TEST_F(StoreTest, OpeningNeverCreatesAndRefusesFilesThatAreNotDatabases) {
    EXPECT_THROW(Connection{kOpenConnectionString}, StoreError);
    EXPECT_FALSE(fs::exists("mdb"));

    fs::create_directory("mdb");
    const std::string junk(4096, '\x5a');
    WriteFile("mdb/Para.mdb", junk);
    try {
        Connection c(kOpenConnectionString);
        FAIL() << "a corrupt file opened";
    } catch (const StoreError& e) {
        EXPECT_EQ(
            std::string(e.what()).rfind("无法打开数据库“mdb\\Para.mdb”（该文件不是数据库）：file is not a database", 0),
            0u)
            << e.what();
    }
    EXPECT_EQ(ReadFile("mdb/Para.mdb"), junk);  // byte for byte as it was

    // A zero-length file is an empty database.
    WriteFile("mdb/Para.mdb", "");
    EXPECT_NO_THROW(Connection{kOpenConnectionString});

    fs::remove("mdb/Para.mdb");
    fs::create_directory("mdb/Para.mdb");
    EXPECT_THROW(Connection{kOpenConnectionString}, StoreError);
}

TEST_F(StoreTest, CatalogCreateNeverOverwrites) {
    fs::create_directory("mdb");
    WriteFile("mdb/Para.mdb", "keep me");
    EXPECT_THROW(CatalogCreate(kCreateConnectionString), StoreError);
    EXPECT_EQ(ReadFile("mdb/Para.mdb"), "keep me");
}

TEST_F(StoreTest, TableDefinitionsAndAppend) {
    MakeTable();
    Connection c(kOpenConnectionString);
    TableDef again("tblTest");
    again.AppendColumn("X", kTypeInteger, 0);
    EXPECT_THROW(AppendTable(c, again), StoreError);  // exists
    TableDef bad("tblBad");
    EXPECT_THROW(bad.AppendColumn("X", 5, 0), StoreError);
    bad.AppendColumn("X", kTypeText, 0, "O'Brien");
    EXPECT_THROW(bad.AppendColumn("x", kTypeText, 0), StoreError);
    EXPECT_THROW(bad.AppendColumn("Y", kTypeInteger, 0, "seven"), StoreError);
    AppendTable(c, bad);  // a row that gives no field holds the default, in the file as in the recordset
    Recordset rows(c, "tblBad");
    rows.AddNew();
    rows.Update();
    EXPECT_EQ(rows.Get("X"), Value("O'Brien"));
}

TEST_F(StoreTest, RowsAreAddedReadAndUpdatedByColumnNameIgnoringCase) {
    MakeTable();
    Connection c(kOpenConnectionString);
    {
        Recordset rs(c, "tblTest");
        EXPECT_EQ(rs.RecordCount(), 0);
        EXPECT_TRUE(rs.Eof());
        rs.AddNew();
        rs.Set("name", "甲班");
        rs.Set("WHEN", "6:00");
        rs.Set("Count", "4");
        rs.Update();
        EXPECT_EQ(rs.Get("Name").AsText(), "甲班");
    }
    Recordset rs(c, "tblTest");
    ASSERT_EQ(rs.RecordCount(), 1);
    EXPECT_EQ(rs.Get("when").AsDateTime(), (DateTime{0, 6 * 3600}));
    EXPECT_EQ(rs.Get("count").AsInt16(), 4);
    EXPECT_THROW(rs.Get("Nmae"), StoreError);  // a misspelt column fails
    EXPECT_THROW(rs.Set("When", "25:00"), StoreError);
    rs.Set("When", DateTime{46363, 0});
    rs.Update();
    Recordset again(c, "tblTest");
    EXPECT_EQ(again.Get("When").AsDateTime(), (DateTime{46363, 0}));

    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(c.Handle(), "SELECT \"When\" FROM tblTest", -1, &s, nullptr);
    ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)), "2026-12-07 00:00:00");
    sqlite3_finalize(s);
}

TEST_F(StoreTest, WhereValueIsBoundNotPasted) {
    MakeTable();
    Connection c(kOpenConnectionString);
    for (const char* name : {"O'Brien", "a' OR 'a", "plain"}) {
        Recordset rs(c, "tblTest");
        rs.AddNew();
        rs.Set("Name", name);
        rs.Update();
    }
    EXPECT_EQ(Recordset(c, "tblTest", "Name", "O'Brien").RecordCount(), 1);
    EXPECT_EQ(Recordset(c, "tblTest", "Name", "a' OR 'a").RecordCount(), 1);
    EXPECT_EQ(Recordset(c, "tblTest", "Name", "nobody").RecordCount(), 0);
    EXPECT_THROW(Recordset(c, "tblTest", "Nmae", "plain"), StoreError);
    EXPECT_THROW(Recordset(c, "tblMissing"), StoreError);
}

TEST_F(StoreTest, UpdateChangesOnlyTheCurrentRowOfDuplicates) {
    MakeTable();
    Connection c(kOpenConnectionString);
    for (int i = 0; i < 2; ++i) {
        Recordset rs(c, "tblTest");
        rs.AddNew();
        rs.Set("Name", "dup");
        rs.Set("Count", i);
        rs.Update();
    }
    Recordset rs(c, "tblTest", "Name", "dup");
    rs.Set("Count", 99);
    rs.Update();
    Recordset all(c, "tblTest");
    EXPECT_EQ(Recordset(c, "tblTest", "Count", 99).RecordCount(), 1);
    EXPECT_EQ(Recordset(c, "tblTest", "Count", 1).RecordCount(), 1);
}

TEST_F(StoreTest, AFailedUpdateWritesNoFieldAtAll) {
    MakeTable();
    Connection c(kOpenConnectionString);
    {
        Recordset rs(c, "tblTest");
        rs.AddNew();
        rs.Set("Name", "ok");
        rs.Set("Count", 1);
        rs.Update();
    }
    Recordset rs(c, "tblTest");
    rs.Set("Count", 2);
    rs.Set("Name", "eleven char");  // over the width of 10
    try {
        rs.Update();
        ADD_FAILURE() << "an over-long text was written";
    } catch (const StoreError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("无法写入表“tblTest”的记录（数据不符合表的约束）：CHECK constraint", 0),
                  0u)
            << e.what();
    }
    Recordset after(c, "tblTest");
    EXPECT_EQ(after.Get("Count").AsInt16(), 1);
    EXPECT_EQ(after.Get("Name").AsText(), "ok");
    // Ten Chinese characters fit: the width counts characters, not bytes.
    Recordset wide(c, "tblTest");
    wide.Set("Name", "一二三四五六七八九十");
    EXPECT_NO_THROW(wide.Update());
    // A full disk, as the engine tells it when the file may not grow.
    sqlite3_exec(c.Handle(), "PRAGMA max_page_count = 1", nullptr, nullptr, nullptr);
    try {
        for (int i = 0; i < 1000; ++i) wide.AddNew(), wide.Set("Name", "一二三四五六七八九十"), wide.Update();
        ADD_FAILURE() << "the file grew past its limit";
    } catch (const StoreError& e) {
        EXPECT_NE(std::string(e.what()).find("（磁盘已满）：database or disk is full"), std::string::npos) << e.what();
    }
}

TEST_F(StoreTest, LockedDatabaseFailsAfterTheBusyWaitAndLeavesTheRow) {
    MakeTable();
    Connection c(kOpenConnectionString);
    {
        Recordset rs(c, "tblTest");
        rs.AddNew();
        rs.Set("Count", 1);
        rs.Update();
    }
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open("mdb/Para.mdb", &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_busy_timeout(c.Handle(), 50);  // do not wait the full timeout in a test
    Recordset rs(c, "tblTest");
    rs.Set("Count", 2);
    try {
        rs.Update();
        ADD_FAILURE() << "written under another's lock";
    } catch (const StoreError& e) {
        EXPECT_EQ(
            std::string(e.what()).rfind("无法开始写入表“tblTest”（数据库正被其他程序占用）：database is locked", 0), 0u)
            << e.what();
    }
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(Recordset(c, "tblTest").Get("Count").AsInt16(), 1);
}

TEST_F(StoreTest, JetDatabaseFromAnEarlierInstallationIsRefusedAndLeftAsItWas) {
    fs::create_directory("mdb");
    std::string jet(2048, '\x07');
    jet.replace(0, 20, std::string("\x00\x01\x00\x00Standard Jet DB\x00", 20));
    WriteFile("mdb/Para.mdb", jet);
    const auto stamp = fs::last_write_time("mdb/Para.mdb") - std::chrono::hours(24);
    fs::last_write_time("mdb/Para.mdb", stamp);

    const auto expectJetRefusal = [](const std::string& description) {
        EXPECT_EQ(description.rfind("数据库“mdb\\Para.mdb”是比 Jet 4 新的 Access 数据库", 0), 0u) << description;
        EXPECT_NE(description.find("请先把该文件移到别处：文件头表明该文件是格式比 Jet 4 新的数据库（Access 2007 "
                                   "或更新的版本，版本字节为 7）"),
                  std::string::npos)
            << description;
    };
    for (auto text : {kOpenConnectionString, kCreateConnectionString}) {
        try {
            Connection c(text);
            ADD_FAILURE() << "a Jet file opened";
        } catch (const StoreError& e) {
            expectJetRefusal(e.what());
        }
    }
    EnsureDatabase(Reporter());  // the file is there: nothing to create
    EXPECT_TRUE(reports.empty());
    EXPECT_THROW(CatalogCreate(kCreateConnectionString), StoreError);
    bool seeded = false;
    CreateTableWithSeed(
        kOpenConnectionString, "tblPass", [](TableDef& t) { t.AppendColumn("Name", kTypeText, 0); },
        [&](Recordset&) { seeded = true; }, Reporter());
    ASSERT_EQ(reports.size(), 1u);
    expectJetRefusal(reports[0]);
    EXPECT_FALSE(seeded);

    EXPECT_EQ(ReadFile("mdb/Para.mdb"), jet);
    EXPECT_EQ(fs::last_write_time("mdb/Para.mdb"), stamp);
    // The signature must sit at byte 4: the same text elsewhere is just a bad file.
    WriteFile("mdb/Para.mdb", "Standard Jet DB" + std::string(4096, '\0'));
    try {
        Connection c(kOpenConnectionString);
        ADD_FAILURE() << "a bad file opened";
    } catch (const StoreError& e) {
        EXPECT_NE(std::string(e.what()).find("not a database"), std::string::npos) << e.what();
    }
}

TEST_F(StoreTest, WorkingDirectoryWithChineseNamesHoldsTheDatabase) {
    const fs::path place = fs::path(u8"班组") / u8"一号线";
    EXPECT_EQ(PathFromUtf8("班组\\一号线"), place);
    EXPECT_EQ(Utf8Of(place), "班组" + Utf8Of(fs::path("/").make_preferred()) + "一号线");
    fs::create_directories(place);
    fs::current_path(place);
    EnsureDatabase(Reporter());
    CreateTableWithSeed(
        kOpenConnectionString, "tbl班次",
        [](TableDef& t) {
            t.AppendColumn("班制", kTypeText, 8);
            t.AppendColumn("Count", kTypeInteger, 0);
        },
        [](Recordset& rs) {
            rs.AddNew();
            rs.Set("班制", "四班三倒");
            rs.Update();
        },
        Reporter());
    EXPECT_TRUE(reports.empty()) << reports[0];
    {
        Connection c(kOpenConnectionString);
        Recordset rs(c, "tbl班次", "班制", "四班三倒");
        ASSERT_EQ(rs.RecordCount(), 1);
        rs.Set("Count", 3);
        rs.Update();
    }
    fs::current_path(Dir());
    EXPECT_TRUE(fs::is_regular_file(place / "mdb" / "Para.mdb"));
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(Utf8Of(place / "mdb" / "Para.mdb").c_str(), &db, SQLITE_OPEN_READONLY, nullptr),
              SQLITE_OK);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "SELECT \"Count\" FROM \"tbl班次\"", -1, &s, nullptr);
    ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(s, 0), 3);
    sqlite3_finalize(s);
    sqlite3_close(db);
}

TEST_F(StoreTest, TableStepAddsTheColumnsAnOlderFileLacksWithTheirDefaults) {
    MakeDatabase();
    {
        Connection c(kOpenConnectionString);
        for (const TableSpec& spec : kParameterTables) {
            TableDef old{std::string(spec.name)};  // the declaration without every second column
            for (std::size_t k = 0; k < spec.columns.size(); k += 2)
                old.AppendColumn(std::string(spec.columns[k].name), spec.columns[k].type, spec.columns[k].size);
            AppendTable(c, old);
            Recordset rows(c, spec.name);
            rows.AddNew();
            rows.Set(spec.columns[0].name, spec.columns[0].type == kTypeDate ? Value(DateTime{46000, 0}) : Value(3));
            rows.Update();
        }
    }
    for (const TableSpec& spec : kParameterTables) CreateTableWithSeed(kOpenConnectionString, spec, Reporter());
    EXPECT_TRUE(reports.empty()) << reports[0];
    Connection c(kOpenConnectionString);
    Recordset shifts(c, kClassTimeTable);
    ASSERT_EQ(shifts.RecordCount(), 1);  // the plant's row, not a new seed row
    EXPECT_EQ(shifts.Get(kColumnBanzhi), Value(3));
    EXPECT_EQ(FormatHHMM(shifts.Get("Class3").AsDateTime()), "12:00");
    EXPECT_EQ(shifts.Get("b3"), Value("丙班"));
    EXPECT_TRUE(shifts.Get("B4").IsNull());  // a column that was there keeps its value
    // tblPass's seed row is a first user, not defaults: its added columns start empty.
    Recordset pass(c, kPassTable);
    ASSERT_EQ(pass.RecordCount(), 1);
    EXPECT_TRUE(pass.Get(kPassColumnPassword).IsNull());
    EXPECT_TRUE(pass.Get(kPassColumnTime).IsNull());
}

TEST_F(StoreTest, AColumnAddedToADeclarationReachesNewOlderAndJetFilesWithItsDefault) {
    std::vector<ColumnSpec> columns(std::begin(kClassTimeColumns), std::end(kClassTimeColumns));
    columns.push_back({"Remark", kTypeInteger, 0, Carry::kAsIs, SeedInteger(7)});
    const TableSpec tables[] = {kPassTableSpec, {kClassTimeTable, columns, true}};
    for (const std::string file : {"new", "older", "Jet"}) {
        fs::remove_all("mdb");
        fs::create_directory("mdb");
        if (file == "Jet") WriteFile("mdb/Para.mdb", jet::WriteJet4(jet::PlantTables(false)));
        file == "Jet" ? UpgradeJetDatabase(ConnectionText::Parse(kOpenConnectionString), tables) : MakeDatabase();
        if (file == "older") CreateTableWithSeed(kOpenConnectionString, kClassTimeTableSpec, Reporter());
        CreateTableWithSeed(kOpenConnectionString, tables[1], Reporter());
        Connection c(kOpenConnectionString);
        EXPECT_EQ(Recordset(c, kClassTimeTable).Get("Remark"), Value(7)) << file;
    }
    EXPECT_TRUE(reports.empty()) << reports[0];
}
