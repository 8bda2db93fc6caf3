#pragma once
// The parameter database's two tables, each declared here once: its name,
// columns, types and seed row. The services' table steps create and seed
// them from these declarations (store/table_step.h), and the Jet upgrade
// carries an earlier installation's rows by the same ones. The store owns
// them because the upgrade runs when a connection opens, before either
// service's table step, and must know both tables then.
#include <span>
#include <string_view>

#include "store/store.h"

namespace dg::store {

// How the Jet upgrade carries a column's value: an earlier installation kept
// a whole date and time where only one part of it is meant.
enum class Carry { kAsIs, kDateOnly, kTimeOnly };

// A column's value in the seed row.
struct Seed {
    enum class Kind { kNone, kText, kInteger, kWriteDate, kWriteTime };
    Kind kind = Kind::kNone;
    // kText; in a date column a time of day, written "hh:mm" when seeded.
    std::string_view text{};
    int integer = 0;  // kInteger
};
constexpr Seed SeedText(std::string_view text) { return {Seed::Kind::kText, text, 0}; }
constexpr Seed SeedInteger(int value) { return {Seed::Kind::kInteger, {}, value}; }
// The date (no time of day) and the time of day (zero date) of the write.
inline constexpr Seed kSeedWriteDate{Seed::Kind::kWriteDate};
inline constexpr Seed kSeedWriteTime{Seed::Kind::kWriteTime};

struct ColumnSpec {
    std::string_view name;
    int type;  // ColumnType
    int size;  // 0: no width check
    Carry carry;
    Seed seed;
};

struct TableSpec {
    std::string_view name;
    std::span<const ColumnSpec> columns;
    // True when the seed row is the table's defaults: each column's seed is
    // its DEFAULT, which the rows already there get when the column is added
    // to an older file, and the rows a Jet upgrade carries from a file that
    // lacks the column. Otherwise the columns have no default.
    bool seedIsDefault;
};

// A column's seed value as stored; null without a constant seed. The write's
// own date and time are no default: a default is one constant for every row,
// and a row that gets it (one already there, one carried) was not written
// then.
Value SeedValue(const ColumnSpec& column);

// The table as the store creates it, each column with its default: what the
// table step and the Jet upgrade both build from.
TableDef Definition(const TableSpec& spec);

// tblPass: one row per user level with its password.
inline constexpr std::string_view kPassTable = "tblPass";
inline constexpr std::string_view kPassColumnDate = "日期";          // date of the last write, no time of day
inline constexpr std::string_view kPassColumnTime = "时间";          // time of day of the last write, zero date
inline constexpr std::string_view kPassColumnLevel = "用户权限";     // level name: the key of every lookup
inline constexpr std::string_view kPassColumnPassword = "登陆密码";  // the level's password, plain text
// The seed row's level, and the password of every row the component creates.
inline constexpr std::string_view kPassSeedLevel = "管理员";
inline constexpr std::string_view kPassSeedPassword = "579";
inline constexpr ColumnSpec kPassColumns[] = {
    {kPassColumnDate, kTypeDate, 0, Carry::kDateOnly, kSeedWriteDate},
    {kPassColumnTime, kTypeDate, 0, Carry::kTimeOnly, kSeedWriteTime},
    {kPassColumnLevel, kTypeText, 0, Carry::kAsIs, SeedText(kPassSeedLevel)},
    {kPassColumnPassword, kTypeText, 0, Carry::kAsIs, SeedText(kPassSeedPassword)},
};
// The seed row is a first user, not defaults for the other rows.
inline constexpr TableSpec kPassTableSpec{kPassTable, kPassColumns, false};

// tblClassTime: the shift settings in one row. Column names match without
// regard to case.
inline constexpr std::string_view kClassTimeTable = "tblClassTime";
inline constexpr std::string_view kColumnBanzhi = "班制";  // shift system
// The change times and the crews of shifts 1 to 4.
inline constexpr const char* kChangeTimeColumns[4] = {"Class1", "Class2", "Class3", "Class4"};
inline constexpr const char* kCrewColumns[4] = {"B1", "B2", "B3", "B4"};
inline constexpr ColumnSpec kClassTimeColumns[] = {
    {kColumnBanzhi, kTypeInteger, 0, Carry::kAsIs, SeedInteger(4)},
    {kChangeTimeColumns[0], kTypeDate, 0, Carry::kTimeOnly, SeedText("00:00")},
    {kChangeTimeColumns[1], kTypeDate, 0, Carry::kTimeOnly, SeedText("6:00")},
    {kChangeTimeColumns[2], kTypeDate, 0, Carry::kTimeOnly, SeedText("12:00")},
    {kChangeTimeColumns[3], kTypeDate, 0, Carry::kTimeOnly, SeedText("18:00")},
    {kCrewColumns[0], kTypeText, 10, Carry::kAsIs, SeedText("甲班")},
    {kCrewColumns[1], kTypeText, 10, Carry::kAsIs, SeedText("乙班")},
    {kCrewColumns[2], kTypeText, 10, Carry::kAsIs, SeedText("丙班")},
    {kCrewColumns[3], kTypeText, 10, Carry::kAsIs, SeedText("丁班")},
};
inline constexpr TableSpec kClassTimeTableSpec{kClassTimeTable, kClassTimeColumns, true};

// Every table of the parameter database, in the order the upgrade carries them.
inline constexpr TableSpec kParameterTables[] = {kPassTableSpec, kClassTimeTableSpec};

}  // namespace dg::store
