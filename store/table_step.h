#pragma once
// The table creation step that both parameter tables go through.
#include <functional>
#include <string_view>

#include "store/location.h"
#include "store/schema.h"
#include "store/store.h"

namespace dg::store {

// Opens the database with `connectionText` and defines the table's columns
// (`defineColumns`); a failure there goes to `report` and ends the step,
// leaving the database unchanged. From then on every failure is skipped:
// the table is appended (an existing table keeps its rows, and gets the
// columns it lacks with their defaults), and `seed` is called with the
// table's rows when it has none.
void CreateTableWithSeed(std::string_view connectionText, std::string_view tableName,
                         const std::function<void(TableDef&)>& defineColumns,
                         const std::function<void(Recordset&)>& seed, const FailureReport& report);

// The same step for a declared table (store/schema.h): its columns, and its
// seed row added when the table has no rows.
void CreateTableWithSeed(std::string_view connectionText, const TableSpec& spec, const FailureReport& report);

}  // namespace dg::store
