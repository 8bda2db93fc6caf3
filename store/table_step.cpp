#include "store/table_step.h"

#include <optional>

namespace dg::store {
namespace {

void AddSeedRow(Recordset& rows, const TableSpec& spec) {
    const DateTime now = LocalNow();
    rows.AddNew();
    for (const auto& column : spec.columns) {
        switch (column.seed.kind) {
            case Seed::Kind::kNone: break;
            case Seed::Kind::kWriteDate: rows.Set(column.name, now.DatePart()); break;
            case Seed::Kind::kWriteTime: rows.Set(column.name, now.TimePart()); break;
            default: rows.Set(column.name, SeedValue(column));
        }
    }
    rows.Update();
}

}  // namespace

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
        // The table exists already: its rows stay as they are, and the
        // columns an older file lacks are added with their defaults.
        try {
            AddMissingColumns(*connection, table);
        } catch (const std::exception&) {
            // Left as it was: the table's users report what they miss.
        }
    }
    try {
        Recordset rows(*connection, tableName);
        if (rows.RecordCount() == 0) seed(rows);
    } catch (const std::exception&) {
        // An unseeded table still works: its users add the rows they miss.
    }
}

void CreateTableWithSeed(std::string_view connectionText, const TableSpec& spec, const FailureReport& report) {
    const auto defineColumns = [&spec](TableDef& table) { table = Definition(spec); };
    const auto seed = [&spec](Recordset& rows) { AddSeedRow(rows, spec); };
    CreateTableWithSeed(connectionText, spec.name, defineColumns, seed, report);
}

}  // namespace dg::store
