#pragma once
// Store operations over the parameter database (SQLite underneath). Every
// operation opens its own Connection and gives it up when it ends. Failures
// throw StoreError carrying the engine's or file system's description.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "store/errors.h"
#include "store/value.h"

struct sqlite3;
struct sqlite3_stmt;

namespace dg::store {

// "Provider=...;Data Source=...[;]" read into its two parts.
struct ConnectionText {
    std::string provider;
    std::string dataSource;  // as written, backslashes included
    // Throws StoreError for a text without a provider or data source, or with
    // a provider that this store does not serve.
    static ConnectionText Parse(std::string_view text);
    std::filesystem::path Path() const;  // dataSource with '\' as separator
};

// The provider named in the connection texts, served by the SQLite engine.
inline constexpr std::string_view kJetProvider = "Microsoft.Jet.OLEDB.4.0";
// Marks a file as Dutygate's parameter database (PRAGMA application_id).
inline constexpr std::int32_t kApplicationId = 0x44477445;  // "DGtE"
// How long a connection waits for another process's lock.
inline constexpr int kBusyTimeoutMs = 5000;

// Creates an empty database at the text's data source. Never overwrites an
// existing entry. Throws StoreError.
void CatalogCreate(std::string_view connectionText);

// An open connection. Opening never creates a file: a missing file, or one
// that is not a database, fails here. A Jet 4 database of an earlier
// installation is upgraded in place first (store/jet_upgrade.h); any other
// Jet database fails before SQLite reads or writes it, with a description.
class Connection {
public:
    // kReadOnly writes nothing: no upgrade (a Jet file fails), no journal.
    enum class Mode { kReadWrite, kReadOnly };
    explicit Connection(std::string_view connectionText, Mode mode = Mode::kReadWrite);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    void Close();
    bool IsOpen() const { return db_ != nullptr; }
    sqlite3* Handle() const;  // throws when closed

private:
    sqlite3* db_ = nullptr;
};

// Column type codes of the table definitions.
enum ColumnType : int { kTypeInteger = 3, kTypeDate = 7, kTypeText = 202 };

struct ColumnDef {
    std::string name;
    int type;
    int size;            // 0: the store's default width (no check)
    Value defaultValue;  // the column's DEFAULT, as stored; null for none
};

class TableDef {
public:
    explicit TableDef(std::string name) : name_(std::move(name)) {}
    // Throws StoreError for a type code other than 3, 7 or 202, a negative
    // size, a name used twice, or a default that does not convert to the
    // column's type or holds a NUL character.
    void AppendColumn(std::string name, int type, int size, Value defaultValue = {});
    const std::string& Name() const { return name_; }
    const std::vector<ColumnDef>& Columns() const { return columns_; }

private:
    std::string name_;
    std::vector<ColumnDef> columns_;
};

// The names of the table's columns in their order; nullopt when the
// database has no table of that name (ASCII case ignored). Throws StoreError.
std::optional<std::vector<std::string>> TableColumns(Connection& connection, std::string_view table);

// Creates the table; fails (StoreError) when a table of that name exists.
void AppendTable(Connection& connection, const TableDef& table);

// Adds to the existing table every column of `table` it lacks (names match
// ignoring ASCII case), in one transaction, with its default, which the rows
// already there then hold. A column added later thus never breaks an older
// file. Throws StoreError; the table is then as it was.
void AddMissingColumns(Connection& connection, const TableDef& table);

// "Delete from <table> where <column> = <value>", the value bound as a
// parameter, in one transaction: every such row goes, or none. Returns the
// number of rows deleted. Throws StoreError.
long DeleteRows(Connection& connection, std::string_view table, std::string_view whereColumn, const Value& equals);

// "Select * from <table> [where <column> = <value>]", the value bound as a
// parameter. The first row returned is the current row.
class Recordset {
public:
    Recordset(Connection& connection, std::string_view table);
    Recordset(Connection& connection, std::string_view table, std::string_view whereColumn, const Value& equals);

    long RecordCount() const { return static_cast<long>(rows_.size()); }
    bool Eof() const { return current_ >= rows_.size(); }

    // Starts a new row; Update() inserts it and makes it the current row.
    // A field not assigned takes its column's default.
    void AddNew();
    // Assigns a field of the new or current row, by column name ignoring
    // ASCII case. A text assigned to a date column must read as a date/time
    // ("hh:mm" gives that time of day on the zero date). Nothing reaches the
    // file before Update().
    void Set(std::string_view column, const Value& value);
    // Writes every field assigned since AddNew() or the last Update(), in one
    // transaction. Throws StoreError (the row in the file is then unchanged).
    void Update();
    // A copy of a field of the current row (or of the row just added), by
    // column name ignoring ASCII case. A copy, because Set(), Update() and
    // AddNew() replace the rows a reference would point into. Throws
    // StoreError without a current row.
    Value Get(std::string_view column) const;
    void Close();

private:
    void Load(sqlite3_stmt* statement);
    void CheckOpen() const;
    std::size_t ColumnIndex(std::string_view column) const;

    Connection* connection_;
    std::string table_;
    std::vector<std::string> columns_;
    std::vector<int> declaredTypes_;
    struct Row {
        std::int64_t rowid;
        std::vector<Value> values;
    };
    std::vector<Row> rows_;
    std::size_t current_ = 0;
    bool adding_ = false;
    Row pending_;
    std::vector<bool> assigned_;
    bool closed_ = false;
};

}  // namespace dg::store
