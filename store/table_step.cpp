#include "store/table_step.h"

#include <optional>

namespace dg::store {

void CreateTableWithSeed(std::string_view connectionText, std::string_view tableName,
                         const std::function<void(TableDef&)>& defineColumns,
                         const std::function<void(Recordset&)>& seed, const FailureReport& report) {
    std::optional<Connection> connection;
    TableDef table{std::string(tableName)};
    try {
        connection.emplace(connectionText);
        defineColumns(table);
    } catch (const std::exception& e) {
        if (report) report(e.what());
        return;
    }
    try {
        AppendTable(*connection, table);
    } catch (const std::exception&) {
        // The table exists already: its columns and rows stay as they are.
    }
    try {
        Recordset rows(*connection, tableName);
        if (rows.RecordCount() == 0) seed(rows);
    } catch (const std::exception&) {
        // An unseeded table still works: its users add the rows they miss.
    }
}

}  // namespace dg::store
