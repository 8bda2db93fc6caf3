#pragma once
// Helpers shared by the reliability tests: raw SQL against mdb/Para.mdb,
// whole-file snapshots, and the complete "versions" of the settings row that
// the writers produce, so that a stored row can be told apart from a mix.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "shift/class_settings_save.h"
#include "shift/class_time_table.h"
#include "store/store.h"

namespace dg::reliability {

// Runs SQL on the database file directly, bypassing the store.
// With `create`, a missing file is made first.
inline std::string Sql(const std::string& sql, bool create = false) {
    sqlite3* db = nullptr;
    std::string out;
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2("mdb/Para.mdb", &db, flags, nullptr) != SQLITE_OK) {
        out = std::string("open: ") + sqlite3_errmsg(db);
        sqlite3_close(db);
        return out;
    }
    char* err = nullptr;
    auto collect = [](void* sink, int n, char** values, char**) {
        auto& s = *static_cast<std::string*>(sink);
        for (int k = 0; k < n; ++k) {
            if (!s.empty()) s += '|';
            s += values[k] ? values[k] : "NULL";
        }
        return 0;
    };
    if (sqlite3_exec(db, sql.c_str(), collect, &out, &err) != SQLITE_OK)
        out = std::string("error: ") + (err ? err : "");
    sqlite3_free(err);
    sqlite3_close(db);
    return out;
}

inline std::string FileBytes(const char* path = "mdb/Para.mdb") {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The settings a writer stores on its iteration: every field derived from
// (writer, iteration), crews naming both.
inline shift::CheckedSettings Version(int writer, int iteration) {
    shift::CheckedSettings v;
    v.banzhi = static_cast<std::int16_t>(1 + (writer * 3 + iteration) % 4);
    for (int k = 0; k < 4; ++k) {
        v.changeTime[k] = ((writer * 397 + iteration * 13 + k * 101) % 1440) * 60;
        v.crew[k] = "w" + std::to_string(writer) + "i" + std::to_string(iteration) + "k" + std::to_string(k);
    }
    return v;
}

struct StoredRow {
    std::int16_t banzhi = 0;
    std::array<std::int32_t, 4> changeTime{};
    std::array<std::string, 4> crew;
    bool operator==(const StoredRow&) const = default;
};

inline StoredRow AsRow(const shift::CheckedSettings& v) { return {v.banzhi, v.changeTime, v.crew}; }

// The first row of tblClassTime read through the store; nullopt without one.
inline std::optional<StoredRow> FirstRow(long* rowCount = nullptr) {
    store::Connection c(store::kOpenConnectionString);
    store::Recordset rows(c, store::kClassTimeTable);
    if (rowCount) *rowCount = rows.RecordCount();
    if (rows.Eof()) return std::nullopt;
    StoredRow r;
    r.banzhi = rows.Get(store::kColumnBanzhi).AsInt16();
    const char* times[4] = {"Class1", "Class2", "Class3", "Class4"};
    const char* crews[4] = {"B1", "B2", "B3", "B4"};
    for (int k = 0; k < 4; ++k) {
        r.changeTime[k] = rows.Get(times[k]).AsDateTime().seconds;
        const store::Value& crew = rows.Get(crews[k]);
        r.crew[k] = crew.IsNull() ? "" : crew.AsText();
    }
    return r;
}

// Tells whether `row` is exactly the version some (writer, iteration) wrote,
// reading the pair back from the first crew name.
inline ::testing::AssertionResult IsCompleteVersion(const StoredRow& row) {
    int writer = -1, iteration = -1;
    if (std::sscanf(row.crew[0].c_str(), "w%di%dk0", &writer, &iteration) != 2)
        return ::testing::AssertionFailure() << "first crew is no version's: " << row.crew[0];
    if (AsRow(Version(writer, iteration)) != row)
        return ::testing::AssertionFailure() << "fields of more than one save, first crew " << row.crew[0];
    return ::testing::AssertionSuccess();
}

}  // namespace dg::reliability
