// Damaged, misplaced, misshapen and locked parameter databases: every path
// that meets one fails with a description (or shows its message) and writes
// nothing where nothing should be written.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "access/clsPassword.h"
#include "access/pass_table.h"
#include "reliability_support.h"
#include "shift/clsShiftClass.h"
#include "support/temp_dir.h"
#include "ui_testing/driver.h"

using namespace dg;
using namespace dg::reliability;
namespace fs = std::filesystem;
namespace uit = dg::ui::testing;

namespace {

class BadFileTest : public testsupport::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        uit::Reset();
    }
    void TearDown() override {
        uit::Reset();
        TempDirTest::TearDown();
    }

    static void MakeDatabase() {
        std::string failure;
        auto report = [&](const std::string& d) { failure += d; };
        store::EnsureDatabase(report);
        shift::CreateClassTimeTable(report);
        access::CreatePassTable(report);
        ASSERT_EQ(failure, "");
    }

    // Runs `step` with OK answers queued for any message box; returns what
    // the operator was told: the messages shown and, when it threw, the
    // StoreError's description.
    static std::string Told(const std::function<void()>& step) {
        uit::Reset();
        for (int k = 0; k < 4; ++k) uit::QueueAnswer(ui::Answer::Ok);
        std::string told;
        try {
            step();
        } catch (const store::StoreError& e) {
            told = std::string("error: ") + e.what();
            EXPECT_STRNE(e.what(), "");
        }
        for (const auto& m : uit::Messages()) told += "\nmessage: " + m.text;
        return told;
    }

    // Every operation that meets the database: the two creations, the
    // settings save, and the password lookups and change. Each must tell the
    // operator something, except the access side's creation, whose table step
    // passes over every failure after the open (the login check that follows
    // reports it).
    static void EveryOperationFailsClearly(const std::string& what) {
        EXPECT_NE(Told([] { shift::clsShiftClass c; }), "") << what;
        Told([] { access::clsPassword c; });
        shift::ShiftSettings settings;
        settings.banzhiText = "unchanged";
        auto saved = shift::WriteClassSettings(Version(0, 0), settings);
        ASSERT_TRUE(saved) << what;
        EXPECT_NE(*saved, "") << what;
        EXPECT_EQ(settings.banzhiText, "unchanged") << what;
        EXPECT_THROW(access::WriteLevelPassword(access::kLevelAdmin, "x"), store::StoreError) << what;
        EXPECT_THROW(access::CheckLevelPassword(access::kLevelAdmin, "579"), store::StoreError) << what;
        EXPECT_THROW(access::ReadLevelPassword(access::kLevelEngineer), store::StoreError) << what;
    }
};

}  // namespace

TEST_F(BadFileTest, CorruptAndTruncatedDatabasesAreRefusedAndLeftAsTheyWere) {
    MakeDatabase();
    const std::string whole = FileBytes();
    ASSERT_GT(whole.size(), 4096u);
    std::string damaged[] = {whole.substr(0, whole.size() / 2),
                             // a sound header over pages of noise
                             whole.substr(0, 100) + std::string(whole.size() - 100, '\x5a')};
    for (const std::string& bytes : damaged) {
        std::ofstream("mdb/Para.mdb", std::ios::binary | std::ios::trunc) << bytes;
        EveryOperationFailsClearly(std::to_string(bytes.size()) + " bytes");
        EXPECT_TRUE(FileBytes() == bytes) << "the damaged file was written to";
    }
}

TEST_F(BadFileTest, AFolderWhereTheFileShouldBeIsReportedAndLeftEmpty) {
    fs::create_directories("mdb/Para.mdb");
    const std::string toldShift = Told([] { shift::clsShiftClass c; });
    EXPECT_NE(toldShift.find("error: "), std::string::npos) << toldShift;
    EXPECT_NE(Told([] { access::clsPassword c; }).find("error: "), std::string::npos);
    EveryOperationFailsClearly("folder");
    EXPECT_TRUE(fs::is_directory("mdb/Para.mdb"));
    EXPECT_TRUE(fs::is_empty("mdb/Para.mdb"));
}

TEST_F(BadFileTest, APlainFileNamedMdbStopsTheAccessSideAndTheSaveToo) {
    std::ofstream("mdb") << "plant notes";
    EXPECT_NE(Told([] { access::clsPassword c; }).find("error: "), std::string::npos);
    EveryOperationFailsClearly("plain file mdb");
    EXPECT_EQ(FileBytes("mdb"), "plant notes");
}

TEST_F(BadFileTest, AZeroLengthFileIsAnEmptyDatabaseAndGetsItsTables) {
    fs::create_directory("mdb");
    std::ofstream("mdb/Para.mdb").close();
    ASSERT_EQ(fs::file_size("mdb/Para.mdb"), 0u);
    EXPECT_EQ(Told([] {
                  shift::clsShiftClass shiftController;
                  access::clsPassword passwordController;
              }),
              "");
    EXPECT_EQ(Sql("SELECT count(*) FROM tblClassTime"), "1");
    EXPECT_TRUE(access::CheckLevelPassword(access::kLevelAdmin, access::kDefaultPassword));
    EXPECT_EQ(Sql("PRAGMA integrity_check"), "ok");
}

TEST_F(BadFileTest, TablesMissingAColumnGetItOrFailTheWritesAndKeepTheirRows) {
    fs::create_directory("mdb");
    ASSERT_EQ(Sql("CREATE TABLE tblClassTime (班制 INTEGER, Class1 TEXT, Class2 TEXT, Class3 TEXT, Class4 TEXT,"
                  " B1 TEXT, B2 TEXT, B3 TEXT);"
                  "INSERT INTO tblClassTime (班制, Class1, Class2, Class3, Class4, B1, B2, B3)"
                  " VALUES (2, '1899-12-30 08:00:00', '1899-12-30 20:00:00',"
                  " '1899-12-30 00:00:00', '1899-12-30 00:00:00', '甲', '乙', '丙');"
                  "CREATE TABLE tblPass (日期 TEXT, 时间 TEXT, 用户权限 TEXT);"
                  "INSERT INTO tblPass (日期, 时间, 用户权限)"
                  " VALUES ('2026-01-01 00:00:00', '1899-12-30 00:00:00', '管理员');",
                  /*create=*/true),
              "");

    // The shift table step adds the missing crew column with its default;
    // the plant's row is kept and loads.
    uit::Reset();
    shift::clsShiftClass controller;
    EXPECT_TRUE(uit::Messages().empty());
    EXPECT_EQ(controller.Settings().banzhi, 2);
    EXPECT_EQ(controller.Settings().crew[2], "丙");
    EXPECT_EQ(controller.Settings().crew[3], "丁班");

    // tblPass's own step has not run: its password column is missing, and
    // the reads and writes fail without touching the file.
    const std::string before = FileBytes();
    EXPECT_THROW(access::CheckLevelPassword(access::kLevelAdmin, "579"), store::StoreError);
    EXPECT_THROW(access::WriteLevelPassword(access::kLevelAdmin, "x"), store::StoreError);
    EXPECT_TRUE(FileBytes() == before) << "a refused write changed the file";
}

TEST_F(BadFileTest, ASaveAgainstAFileLockedPastTheBusyWaitFailsAndWritesNothing) {
    MakeDatabase();
    const auto rowBefore = FirstRow();
    int toParent[2], toChild[2];
    ASSERT_EQ(pipe(toParent), 0);
    ASSERT_EQ(pipe(toChild), 0);
    std::fflush(nullptr);
    pid_t holder = fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        // Another process holding the write lock until told to let go.
        sqlite3* db = nullptr;
        char ready = 'n';
        if (sqlite3_open_v2("mdb/Para.mdb", &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
            sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK)
            ready = 'y';
        (void)!write(toParent[1], &ready, 1);
        char go;
        (void)!read(toChild[0], &go, 1);
        sqlite3_close(db);
        _exit(0);
    }
    char ready = 0;
    ASSERT_EQ(read(toParent[0], &ready, 1), 1);
    ASSERT_EQ(ready, 'y');
    const std::string bytes = FileBytes();

    shift::ShiftSettings settings;
    const auto started = std::chrono::steady_clock::now();
    auto saved = shift::WriteClassSettings(Version(0, 2), settings);
    const auto waited = std::chrono::steady_clock::now() - started;

    ASSERT_EQ(write(toChild[1], "g", 1), 1);
    int status = 0;
    waitpid(holder, &status, 0);
    ASSERT_TRUE(saved);
    EXPECT_NE(saved->find("locked"), std::string::npos) << *saved;
    EXPECT_GE(waited, std::chrono::milliseconds(store::kBusyTimeoutMs - 500)) << "gave up without the busy wait";
    EXPECT_TRUE(FileBytes() == bytes);
    EXPECT_EQ(FirstRow(), rowBefore);
    for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]}) close(fd);
}
