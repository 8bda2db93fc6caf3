#pragma once
// Helpers shared by the access tests: raw SQL for setting up odd rows, and
// reading tblPass back through the store.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "access/pass_table.h"
#include "store/store.h"
#include "tests/support/local_time.h"

namespace dg::accesstest {

inline void Sql(const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2("mdb/Para.mdb", &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    char* err = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err), SQLITE_OK) << (err ? err : "");
    sqlite3_free(err);
    sqlite3_close(db);
}

inline long CountWhere(std::string_view column, const std::string& value) {
    store::Connection c(store::kOpenConnectionString);
    return store::Recordset(c, store::kPassTable, column, store::Value(value)).RecordCount();
}

inline long CountAll() {
    store::Connection c(store::kOpenConnectionString);
    return store::Recordset(c, store::kPassTable).RecordCount();
}

// The first row of a level as the file holds it.
struct PassRow {
    store::DateTime date;
    store::DateTime time;
    std::string password;
};
inline std::optional<PassRow> FirstRow(const std::string& level) {
    store::Connection c(store::kOpenConnectionString);
    store::Recordset rs(c, store::kPassTable, store::kPassColumnLevel, store::Value(level));
    if (rs.RecordCount() == 0) return std::nullopt;
    return PassRow{rs.Get("日期").AsDateTime(), rs.Get("时间").AsDateTime(), rs.Get("登陆密码").AsText()};
}

// Local wall clock as (day, seconds of day), read independently of the code
// under test through mktime's inverse.
inline std::pair<std::int32_t, std::int32_t> LocalNow() {
    const std::time_t now = std::time(nullptr);
    const std::tm t = testsupport::LocalTm(now);
    return {store::DateTime::FromCivil(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday).day,
            t.tm_hour * 3600 + t.tm_min * 60 + t.tm_sec};
}

// The row was stamped between `before` and now: date part only in 日期, time
// of day only (zero date) in 时间.
inline void ExpectStampedSince(const PassRow& row, std::pair<std::int32_t, std::int32_t> before) {
    const auto after = LocalNow();
    EXPECT_EQ(row.date.seconds, 0);
    EXPECT_EQ(row.time.day, 0);
    EXPECT_GE(row.date.day, before.first);
    EXPECT_LE(row.date.day, after.first);
    if (before.first == after.first) {
        EXPECT_GE(row.time.seconds, before.second);
        EXPECT_LE(row.time.seconds, after.second);
    }
}

}  // namespace dg::accesstest
