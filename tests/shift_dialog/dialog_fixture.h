#pragma once
// Each test works in a fresh temporary folder (the parameter database is
// mdb/Para.mdb under the working directory) and reads the stored rows straight
// from the SQLite file.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <array>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "ui/app.h"
#include "ui_testing/driver.h"

namespace dg::shiftdialog {

namespace uitest = dg::ui::testing;

class DialogTest : public testsupport::TempDirTest {
protected:
    void SetUp() override {
        uitest::Reset();
        TempDirTest::SetUp();
    }
    void TearDown() override {
        EXPECT_EQ(uitest::PendingActions(), 0u) << "actions left over";
        for (const auto& error : uitest::DriverErrors()) ADD_FAILURE() << error;
        uitest::Reset();
        ui::ProcessEvents(0);
        TempDirTest::TearDown();
    }

    static void Pump() { EXPECT_TRUE(uitest::RunQueued()) << "queued actions did not run"; }
    static std::string Text(const std::string& control) { return uitest::TextOf(control).value_or("<none>"); }

    static void Sql(const std::string& statement) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open_v2("mdb/Para.mdb", &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, statement.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << statement;
        sqlite3_close(db);
    }

    // Every row of tblClassTime as SQL literals: 4 '1899-12-30 06:00:00' ... '甲班' (NULL for a null).
    static std::vector<std::string> StoredRows() {
        std::vector<std::string> rows;
        sqlite3* db = nullptr;
        sqlite3_stmt* st = nullptr;
        if (sqlite3_open_v2("mdb/Para.mdb", &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
            sqlite3_prepare_v2(db,
                               "SELECT quote(班制)||' '||quote(Class1)||' '||quote(Class2)||' '||quote(Class3)||' '||"
                               "quote(Class4)||' '||quote(B1)||' '||quote(B2)||' '||quote(B3)||' '||quote(B4) "
                               "FROM tblClassTime",
                               -1, &st, nullptr) == SQLITE_OK) {
            while (sqlite3_step(st) == SQLITE_ROW)
                rows.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        }
        sqlite3_finalize(st);
        sqlite3_close(db);
        return rows;
    }
};

// A row in the form StoredRows gives: times "hh:mm", crews as texts.
inline std::string RowText(int banzhi, const std::array<const char*, 4>& times,
                           const std::array<const char*, 4>& crews) {
    std::string row = std::to_string(banzhi);
    for (const char* t : times) row += std::string(" '1899-12-30 ") + t + ":00'";
    for (const char* c : crews) row += std::string(" '") + c + "'";
    return row;
}

// Seconds after midnight of hh:mm.
constexpr std::int32_t At(int hour, int minute) { return hour * 3600 + minute * 60; }

}  // namespace dg::shiftdialog
