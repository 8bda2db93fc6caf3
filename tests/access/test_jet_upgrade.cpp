// A plant's Jet Para.mdb from an earlier installation, end to end: the first
// creation upgrades it, and both classes work on the plant's own settings.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <iterator>

#include "dialog_fixture.h"
#include "shift/clsShiftClass.h"
#include "support/jet_writer.h"

using namespace dg;
using namespace dg::accesstest;
namespace fs = std::filesystem;

namespace {

std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
std::string Schema() {
    sqlite3* db = nullptr;
    sqlite3_open_v2("mdb/Para.mdb", &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT group_concat(sql, ';') FROM (SELECT sql FROM sqlite_master ORDER BY name)", -1, &st,
                       nullptr);
    std::string out = sqlite3_step(st) == SQLITE_ROW ? reinterpret_cast<const char*>(sqlite3_column_text(st, 0)) : "";
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
}

using JetUpgradeTest = AccessDialogTest;

}  // namespace

TEST_F(JetUpgradeTest, ThePlantsPasswordsAndShiftsHoldAndTheOldFileIsKept) {
    {  // what both table steps make in a new database
        auto fresh = Make();
        shift::clsShiftClass shifts;
    }
    const std::string freshSchema = Schema();
    for (bool referenceMap : {false, true}) {
        SCOPED_TRACE(referenceMap ? "referenced usage maps" : "inline usage maps");
        fs::remove_all("mdb");
        fs::create_directory("mdb");
        const std::string old = testsupport::jet::WriteJet4(testsupport::jet::PlantTables(referenceMap));
        std::ofstream("mdb/Para.mdb", std::ios::binary) << old;
        events.clear();
        uit::Reset();

        auto c = Make();
        EXPECT_EQ(Read("mdb/Para.jet.mdb"), old);
        uit::QueueAnswer(ui::Answer::Ok);  // the default password is no longer the plant's
        uit::Type("txtPassword", "579");
        uit::Click("cmdOK");
        uit::Type("txtPassword", "Plant-8x");
        uit::Click("cmdOK");
        c->ShowDialog();
        EXPECT_EQ(events, (Events{{0, 199}, {1, 199}}));
        EXPECT_EQ(MessageTexts(), std::vector<std::string>{"无效的密码，请重试！"});

        shift::clsShiftClass shifts;
        std::vector<std::string> seen;
        shifts.eventSetClass.Connect([&](std::int16_t b, const std::string& s, const std::string& crew, double d) {
            seen.push_back(std::to_string(b) + " " + s + " " + crew + " " + std::to_string(static_cast<int>(d)));
        });
        const std::int32_t day = store::DateTime::FromCivil(2026, 12, 7).day;
        shifts.ShiftClassAt({15 * 3600 + 30 * 60 + 20, day});
        shifts.ShiftClassAt({20 * 3600, day});  // sets the latch again
        shifts.ShiftClassAt({23 * 3600 + 30 * 60 + 10, day});
        const std::string today = std::to_string(day);
        EXPECT_EQ(seen, (std::vector<std::string>{"3 2 早班 " + today, "3 3 Night-3班 " + today}));
        EXPECT_EQ(Schema(), freshSchema);

        // A second creation of each class changes nothing more.
        const std::string upgraded = Read("mdb/Para.mdb");
        c.reset();
        {
            auto again = Make();
            shift::clsShiftClass shiftsAgain;
        }
        EXPECT_EQ(Read("mdb/Para.mdb"), upgraded);
        EXPECT_FALSE(fs::exists("mdb/Para.jet.2.mdb"));
        EXPECT_EQ(uit::Messages().size(), 1u);
    }
}
