#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <iterator>

#include "shift/class_time_table.h"
#include "shift/clsShiftClass.h"
#include "shift/errors.h"
#include "shift/frmClass.h"
#include "store/store.h"
#include "support/temp_dir.h"
#include "ui_testing/driver.h"

using namespace dg;
using namespace dg::shift;
namespace fs = std::filesystem;
namespace uit = dg::ui::testing;

namespace {

constexpr std::int32_t At(int h, int m, int s = 0) { return h * 3600 + m * 60 + s; }
ClockReading Clock(int y, int mo, int d, std::int32_t t) { return {t, store::DateTime::FromCivil(y, mo, d).day}; }

void Sql(const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2("mdb/Para.mdb", &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    char* err = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err), SQLITE_OK) << (err ? err : "");
    sqlite3_free(err);
    sqlite3_close(db);
}

long RowCount() {
    store::Connection c(store::kOpenConnectionString);
    return store::Recordset(c, store::kClassTimeTable).RecordCount();
}

const std::string kLoadMessage = "没有获得有效的交接班时间\r\n请重新设置交接班时间！";

class ShiftControllerTest : public testsupport::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        uit::Reset();
    }
    // Runs `make` with one OK answer queued; returns the messages shown.
    template <typename F>
    std::vector<uit::MessageRecord> WithMessages(F&& make) {
        uit::QueueAnswer(ui::Answer::Ok);
        uit::QueueAnswer(ui::Answer::Ok);
        make();
        return uit::Messages();
    }
    std::unique_ptr<clsShiftClass> Recreate() {
        std::unique_ptr<clsShiftClass> c;
        WithMessages([&] { c = std::make_unique<clsShiftClass>(); });
        return c;
    }
};

}  // namespace

TEST_F(ShiftControllerTest, EmptyFolderGetsDatabaseTableAndDefaultRowWithoutTouchingTheToolkit) {
    clsShiftClass controller;
    EXPECT_TRUE(uit::Messages().empty());
    EXPECT_TRUE(fs::is_regular_file("mdb/Para.mdb"));
    const ShiftSettings& s = controller.Settings();
    EXPECT_EQ(s.banzhiText, "4");
    EXPECT_EQ(s.banzhi, 4);
    EXPECT_EQ(s.changeTime, (std::array<std::int32_t, 4>{At(0, 0), At(6, 0), At(12, 0), At(18, 0)}));
    EXPECT_EQ(s.crew, (std::array<std::string, 4>{"甲班", "乙班", "丙班", "丁班"}));
    EXPECT_TRUE(controller.State().latch);
    ASSERT_NE(controller.Dialog(), nullptr);
    EXPECT_FALSE(controller.Dialog()->Loaded());

    // The stored texts: times on the zero date, crews as written.
    store::Connection c(store::kOpenConnectionString);
    store::Recordset rs(c, store::kClassTimeTable);
    EXPECT_EQ(rs.Get("Class2").AsDateTime(), (store::DateTime{0, At(6, 0)}));
}

TEST_F(ShiftControllerTest, TableStepKeepsExistingRowsAndReseedsAnEmptyTable) {
    { clsShiftClass first; }
    Sql("UPDATE tblClassTime SET B1 = '早班'");
    {
        clsShiftClass second;
        EXPECT_EQ(second.Settings().crew[0], "早班");
    }
    EXPECT_EQ(RowCount(), 1);

    Sql("DELETE FROM tblClassTime");
    {
        clsShiftClass third;
        EXPECT_EQ(third.Settings().crew[0], "甲班");
    }
    EXPECT_EQ(RowCount(), 1);

    // Two rows: only the first is read, nothing is added.
    Sql("INSERT INTO tblClassTime (班制, Class1, Class2, Class3, Class4, B1, B2, B3, B4) VALUES (2, "
        "'1899-12-30 08:00:00', '1899-12-30 20:00:00', NULL, NULL, 'x', 'y', NULL, NULL)");
    clsShiftClass fourth;
    EXPECT_EQ(fourth.Settings().banzhi, 4);
    EXPECT_EQ(RowCount(), 2);
}

TEST_F(ShiftControllerTest, LoadDropsSecondsAndDatePartsOfStoredTimes) {
    { clsShiftClass first; }
    Sql("UPDATE tblClassTime SET Class1 = '1899-12-30 06:00:45', Class2 = '2026-12-07 07:30:00'");
    clsShiftClass controller;
    EXPECT_EQ(controller.Settings().changeTime[0], At(6, 0));
    EXPECT_EQ(controller.Settings().changeTime[1], At(7, 30));
    EXPECT_TRUE(uit::Messages().empty());
}

TEST_F(ShiftControllerTest, PartialLoadKeepsFieldsReadBeforeTheFailure) {
    { clsShiftClass first; }
    Sql("UPDATE tblClassTime SET B3 = NULL, Class2 = '1899-12-30 07:00:00'");
    auto controller = Recreate();
    ASSERT_EQ(uit::Messages().size(), 1u);
    const auto& m = uit::Messages()[0];
    EXPECT_EQ(m.text, kLoadMessage);
    EXPECT_EQ(m.title, "交接班时间出错");
    EXPECT_EQ(m.icon, ui::Icon::Critical);
    EXPECT_EQ(m.buttons, ui::Buttons::Ok);
    const ShiftSettings& s = controller->Settings();
    EXPECT_EQ(s.banzhi, 4);
    EXPECT_EQ(s.changeTime[1], At(7, 0));
    EXPECT_EQ(s.crew, (std::array<std::string, 4>{"甲班", "乙班", "", ""}));
}

TEST_F(ShiftControllerTest, OutOfRangeShiftSystemStopsTheLoadAfterItsText) {
    { clsShiftClass first; }
    Sql("UPDATE tblClassTime SET 班制 = 40000");
    auto controller = Recreate();
    ASSERT_EQ(uit::Messages().size(), 1u);
    const ShiftSettings& s = controller->Settings();
    EXPECT_EQ(s.banzhiText, "40000");
    EXPECT_EQ(s.banzhi, 0);
    EXPECT_EQ(s.changeTime[1], 0);
    EXPECT_EQ(s.crew[0], "");
    EXPECT_EQ(controller->ShiftClassAt(Clock(2026, 12, 7, At(6, 0, 20))), kStatusOverflow);
    EXPECT_THROW(controller->ShiftClass(), ShiftError);

    // Text in the shift system column reads as text, then fails as a number.
    Sql("UPDATE tblClassTime SET 班制 = 'vier'");
    uit::Reset();
    auto second = Recreate();
    EXPECT_EQ(uit::Messages().size(), 1u);
    EXPECT_EQ(second->ShiftClassAt(Clock(2026, 12, 7, At(6, 0, 20))), kStatusTypeMismatch);
}

TEST_F(ShiftControllerTest, OddValuesReadAsTheirText) {
    { clsShiftClass first; }
    Sql("UPDATE tblClassTime SET B1 = 17");
    clsShiftClass controller;
    EXPECT_EQ(controller.Settings().crew[0], "17");
}

TEST_F(ShiftControllerTest, MissingTableAtLoadShowsTheMessageAndLoadsNothing) {
    store::EnsureDatabase(nullptr);
    ShiftSettings s;
    uit::QueueAnswer(ui::Answer::Ok);
    EXPECT_FALSE(LoadShiftSettings(s));
    ASSERT_EQ(uit::Messages().size(), 1u);
    EXPECT_EQ(uit::Messages()[0].text, kLoadMessage);
    EXPECT_EQ(s.banzhiText, "");
}

TEST_F(ShiftControllerTest, CorruptDatabaseFailsTheCreationAndIsLeftAsItWas) {
    fs::create_directory("mdb");
    const std::string junk(2048, '\x13');
    std::ofstream("mdb/Para.mdb", std::ios::binary) << junk;
    EXPECT_THROW(clsShiftClass{}, store::StoreError);
    std::ifstream in("mdb/Para.mdb", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), junk);
}

TEST_F(ShiftControllerTest, PlainFileNamedMdbIsReportedThenTheCreationFails) {
    std::ofstream("mdb") << "x";
    uit::QueueAnswer(ui::Answer::Ok);
    EXPECT_THROW(clsShiftClass{}, store::StoreError);
    ASSERT_EQ(uit::Messages().size(), 1u);
    EXPECT_EQ(uit::Messages()[0].title, ui::kDefaultTitle);
    EXPECT_EQ(uit::Messages()[0].icon, ui::Icon::None);
}

TEST_F(ShiftControllerTest, WorkingDirectoryChangedBetweenCreations) {
    { clsShiftClass first; }
    fs::create_directory("plant2");
    fs::current_path("plant2");
    { clsShiftClass second; }
    EXPECT_TRUE(fs::is_regular_file("mdb/Para.mdb"));
    fs::current_path("..");
}

TEST_F(ShiftControllerTest, AnnouncesOnceToEveryHandlerEvenWhenPolledFromInsideTheEvent) {
    clsShiftClass controller;
    struct Seen {
        std::int16_t banzhi;
        std::string shift, crew;
        double date;
    };
    std::vector<Seen> first, second;
    controller.eventSetClass.Connect([&](std::int16_t b, const std::string& s, const std::string& c, double d) {
        first.push_back({b, s, c, d});
        // A host that polls again from inside its handler gets no second announcement.
        EXPECT_EQ(controller.ShiftClassAt(Clock(2026, 12, 7, At(6, 0, 21))), 0);
    });
    controller.eventSetClass.Connect([&](std::int16_t b, const std::string& s, const std::string& c, double d) {
        second.push_back({b, s, c, d});
    });

    EXPECT_EQ(controller.ShiftClassAt(Clock(2026, 12, 7, At(6, 0, 20))), 0);
    EXPECT_EQ(controller.ShiftClassAt(Clock(2026, 12, 7, At(6, 0, 40))), 0);
    ASSERT_EQ(first.size(), 1u);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(first[0].banzhi, 4);
    EXPECT_EQ(first[0].shift, "2");
    EXPECT_EQ(first[0].crew, "乙班");
    EXPECT_EQ(first[0].date, static_cast<double>(store::DateTime::FromCivil(2026, 12, 7).day));

    controller.ShiftClassAt(Clock(2026, 12, 7, At(6, 1, 0)));
    controller.ShiftClassAt(Clock(2026, 12, 8, At(0, 0, 15)));
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[1].shift, "1");
    EXPECT_EQ(first[1].crew, "甲班");
    EXPECT_EQ(first[1].date, static_cast<double>(store::DateTime::FromCivil(2026, 12, 8).day));
}
