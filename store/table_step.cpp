#include "store/table_step.h"

#include <optional>

namespace dg::store {
namespace {

// The seed value of a column, as written; null for none and for the write's
// own date and time, which a declaration cannot hold.
Value ConstantSeed(const ColumnSpec& column) {
    switch (column.seed.kind) {
        case Seed::Kind::kText:
            // A date column's literal is a time of day, written "hh:mm" ("6:00" as 06:00).
            if (column.type == kTypeDate) return FormatHHMM(DateTime::Parse(column.seed.text).value());
            return column.seed.text;
        case Seed::Kind::kInteger: return column.seed.integer;
        default: return {};
    }
}

void AddSeedRow(Recordset& rows, const TableSpec& spec) {
    const DateTime now = LocalNow();
    rows.AddNew();
    for (const auto& column : spec.columns) {
        switch (column.seed.kind) {
            case Seed::Kind::kNone: break;
            case Seed::Kind::kWriteDate: rows.Set(column.name, now.DatePart()); break;
            case Seed::Kind::kWriteTime: rows.Set(column.name, now.TimePart()); break;
            default: rows.Set(column.name, ConstantSeed(column));
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
    const auto defineColumns = [&spec](TableDef& table) {
        for (const auto& column : spec.columns)
            table.AppendColumn(std::string(column.name), column.type, column.size,
                               spec.seedIsDefault ? ConstantSeed(column) : Value());
    };
    const auto seed = [&spec](Recordset& rows) { AddSeedRow(rows, spec); };
    CreateTableWithSeed(connectionText, spec.name, defineColumns, seed, report);
}

}  // namespace dg::store
