#pragma once
// The table tblPass: one row per user level with its password. Its creation
// with the seed row, and the lookups the access dialogs run against it. The
// level name always reaches the database as a bound parameter.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "store/location.h"
#include "store/schema.h"
#include "store/value.h"

namespace dg::access {

// The table and its columns are store/schema.h's (store::kPassTable,
// store::kPassColumnLevel and the others).

inline constexpr std::string_view kLevelAdmin = store::kPassSeedLevel;  // the seed row's level
inline constexpr std::string_view kLevelEngineer = "工程师";
// Given to every row the component creates, and the password in hand when the
// login dialog opens.
inline constexpr std::string_view kDefaultPassword = store::kPassSeedPassword;

// Level index carried by the access events: 1 管理员, 2 工程师, 0 anything else.
std::int16_t LevelIndex(std::string_view levelName);

// The local clock read once: today's date (no time of day) and the time of
// day (on the zero date), as a row's 日期 and 时间 take them.
struct WriteStamp {
    store::DateTime date;
    store::DateTime time;
};
WriteStamp ReadWriteStamp();

// Makes sure tblPass exists and holds at least one row. A failure to open the
// database or to define a column goes to `report` and ends the step; every
// failure from appending the table on is skipped (an existing table is no
// error), and so is a column the table lacks: it is added. An empty table
// gets the row 管理员 / 579.
void CreatePassTable(const store::FailureReport& report);

// The login check: looks up the first row of `level`, adding the level's row
// with the default password first when there is none, and compares its
// password with `password` exactly. A stored null matches nothing. Throws
// store::StoreError when the database cannot be read or the row not added.
bool CheckLevelPassword(std::string_view level, std::string_view password);

// The stored password of the first row of `level`: nullopt when the level has
// no row, a null Value when the row holds no password. Throws StoreError.
std::optional<store::Value> ReadLevelPassword(std::string_view level);

// Writes `password` with a fresh date and time into the first row of `level`
// only (by its row id), in one transaction. Returns false, writing nothing,
// when the level has no row. Throws StoreError when the write fails; the row
// is then unchanged.
bool WriteLevelPassword(std::string_view level, std::string_view password);

}  // namespace dg::access
