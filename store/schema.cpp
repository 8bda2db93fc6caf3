#include "store/schema.h"

namespace dg::store {

Value SeedValue(const ColumnSpec& column) {
    switch (column.seed.kind) {
        case Seed::Kind::kText:
            // A date column's literal is a time of day, written "hh:mm" ("6:00" as 06:00).
            if (column.type == kTypeDate) return DateTime::Parse(column.seed.text).value().TimePart();
            return column.seed.text;
        case Seed::Kind::kInteger: return column.seed.integer;
        default: return {};
    }
}

TableDef Definition(const TableSpec& spec) {
    TableDef table{std::string(spec.name)};
    for (const auto& column : spec.columns)
        table.AppendColumn(std::string(column.name), column.type, column.size,
                           spec.seedIsDefault ? SeedValue(column) : Value());
    return table;
}

}  // namespace dg::store
