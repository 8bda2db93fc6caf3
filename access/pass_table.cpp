#include "access/pass_table.h"

#include <exception>

#include "store/store.h"
#include "store/table_step.h"

namespace dg::access {
namespace {

// The rows of `level`, bound as a parameter so that any text finds its rows.
store::Recordset QueryLevel(store::Connection& connection, std::string_view level) {
    return store::Recordset(connection, store::kPassTable, store::kPassColumnLevel, store::Value(level));
}

void SetStamp(store::Recordset& rows) {
    const WriteStamp stamp = ReadWriteStamp();
    rows.Set(store::kPassColumnDate, stamp.date);
    rows.Set(store::kPassColumnTime, stamp.time);
}

// Adds the level's row with the default password and writes it at once; it
// becomes the current row.
void AddLevelRow(store::Recordset& rows, std::string_view level) {
    rows.AddNew();
    SetStamp(rows);
    rows.Set(store::kPassColumnLevel, level);
    rows.Set(store::kPassColumnPassword, kDefaultPassword);
    rows.Update();
}

}  // namespace

std::int16_t LevelIndex(std::string_view levelName) {
    if (levelName == kLevelAdmin) return 1;
    if (levelName == kLevelEngineer) return 2;
    return 0;
}

WriteStamp ReadWriteStamp() {
    const store::DateTime now = store::LocalNow();
    return {now.DatePart(), now.TimePart()};
}

void CreatePassTable(const store::FailureReport& report) {
    // Only 管理员 is seeded; the login check adds the row of a level that has none.
    store::CreateTableWithSeed(store::kOpenConnectionString, store::kPassTableSpec, report);
}

bool CheckLevelPassword(std::string_view level, std::string_view password) {
    store::Connection connection(store::kOpenConnectionString);
    store::Recordset rows = QueryLevel(connection, level);
    if (rows.RecordCount() == 0) AddLevelRow(rows, level);
    const store::Value& stored = rows.Get(store::kPassColumnPassword);
    if (stored.IsNull()) return false;
    return stored.AsText() == password;
}

std::optional<store::Value> ReadLevelPassword(std::string_view level) {
    store::Connection connection(store::kOpenConnectionString);
    store::Recordset rows = QueryLevel(connection, level);
    if (rows.RecordCount() == 0) return std::nullopt;
    return rows.Get(store::kPassColumnPassword);
}

bool WriteLevelPassword(std::string_view level, std::string_view password) {
    store::Connection connection(store::kOpenConnectionString);
    store::Recordset rows = QueryLevel(connection, level);
    if (rows.RecordCount() == 0) return false;
    // The first row is the current one; Update writes it by its row id, so
    // a second row of the same level keeps its password.
    SetStamp(rows);
    rows.Set(store::kPassColumnPassword, password);
    rows.Update();
    return true;
}

}  // namespace dg::access
