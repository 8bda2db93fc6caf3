#include "store/store.h"

#include <sqlite3.h>

#include <array>
#include <chrono>
#include <cstring>

#include "base/ascii.h"
#include "base/failure_text.h"
#include "store/jet_upgrade.h"
#include "store/platform.h"

namespace dg::store {
namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// An SQL identifier in double quotes, inner quotes doubled.
std::string QuoteIdentifier(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

// Why the engine failed, in Chinese, where its code says something the
// operator can act on.
const char* Reason(int code) {
    switch (code & 0xFF) {
        case SQLITE_NOTADB: return "该文件不是数据库";
        case SQLITE_CORRUPT: return "数据库文件已损坏";
        case SQLITE_FULL: return "磁盘已满";
        case SQLITE_READONLY: return "数据库文件或其所在的文件夹是只读的";
        case SQLITE_BUSY:
        case SQLITE_LOCKED: return "数据库正被其他程序占用";
        case SQLITE_CANTOPEN: return "文件不存在或无法访问";
        case SQLITE_PERM:
        case SQLITE_AUTH: return "没有访问权限";
        case SQLITE_IOERR: return "读写磁盘时出错";
        case SQLITE_CONSTRAINT: return "数据不符合表的约束";
        case SQLITE_NOMEM: return "内存不足";
        default: return nullptr;
    }
}

// "<sentence>（<reason>）：<engine text>[；<system text>]": what failed, why
// where the code tells, then the engine's own text, and the system's where
// the engine got one from the file system (opening, reading, writing).
std::string EngineFailure(sqlite3* db, int rc, std::string_view sentence) {
    if (db) rc = sqlite3_extended_errcode(db);
    std::string text(sentence);
    if (const char* reason = Reason(rc)) text += std::string("（") + reason + "）";
    std::string detail = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    const int primary = rc & 0xFF;
    if (db && (primary == SQLITE_CANTOPEN || primary == SQLITE_IOERR) && sqlite3_system_errno(db) != 0)
        detail += "；" + platform::SystemErrorText(sqlite3_system_errno(db));
    return FailureText(text, detail);
}

[[noreturn]] void Fail(sqlite3* db, std::string_view sentence) {
    throw StoreError(EngineFailure(db, SQLITE_NOMEM, sentence));
}

// Where a name lies: the database follows the host's working directory.
std::string Place(std::string_view name) { return "（位置：" + platform::FullName(name) + "）"; }

// A plain file where the database's folder belongs (a file named mdb): the
// system only says that the path was not found, or is not a folder, so the
// sentence says what is wrong. Empty when that is not the cause.
std::string FolderIsAFile(std::string_view dataSource) {
    const std::size_t slash = dataSource.find_last_of("\\/");
    if (slash == std::string_view::npos || slash == 0) return {};
    const std::string_view folder = dataSource.substr(0, slash);
    if (platform::KindOf(folder) != platform::EntryKind::kFile) return {};
    return "（" + Quoted(folder) + "是一个文件，不是文件夹）";
}

// Declared SQL type of each column type code. Dates are text; "DATETIME"
// tells them apart from plain text when the table is read back.
const char* DeclaredType(int type) {
    switch (type) {
        case kTypeInteger: return "INTEGER";
        case kTypeDate: return "DATETIME TEXT";
        default: return "TEXT";
    }
}

int TypeCodeOf(const char* declared) {
    if (!declared) return kTypeText;
    const std::string_view d(declared);
    if (d.rfind("DATETIME", 0) == 0) return kTypeDate;
    if (d.find("INT") != std::string_view::npos) return kTypeInteger;
    return kTypeText;
}

class Statement {
public:
    Statement(sqlite3* db, const std::string& sql) : db_(db) {
        if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &stmt_, nullptr) != SQLITE_OK)
            Fail(db, "无法准备数据库语句" + Quoted(sql));
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    sqlite3_stmt* get() const { return stmt_; }

    void Bind(int index, const Value& value) {
        int rc = SQLITE_OK;
        const auto& raw = value.Raw();
        if (value.IsNull()) {
            rc = sqlite3_bind_null(stmt_, index);
        } else if (auto i = std::get_if<std::int64_t>(&raw)) {
            rc = sqlite3_bind_int64(stmt_, index, *i);
        } else if (auto d = std::get_if<double>(&raw)) {
            rc = sqlite3_bind_double(stmt_, index, *d);
        } else if (auto s = std::get_if<std::string>(&raw)) {
            rc = sqlite3_bind_text(stmt_, index, s->data(), static_cast<int>(s->size()), SQLITE_TRANSIENT);
        } else if (auto t = std::get_if<DateTime>(&raw)) {
            const std::string text = t->ToStoreText();
            rc = sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        }
        if (rc != SQLITE_OK) Fail(db_, "无法绑定参数值");
    }

    // Runs a statement that returns no rows; `sentence` says what failed.
    void Run(const std::string& sentence) {
        const int rc = sqlite3_step(stmt_);
        if (rc != SQLITE_DONE && rc != SQLITE_ROW) Fail(db_, sentence);
    }

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

// Runs SQL without parameters or rows; `sentence` says what failed.
void Exec(sqlite3* db, const char* sql, std::string_view sentence) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) Fail(db, sentence);
}

Value ReadColumn(sqlite3_stmt* stmt, int index, int typeCode) {
    switch (sqlite3_column_type(stmt, index)) {
        case SQLITE_NULL: return Value(Null{});
        case SQLITE_INTEGER: return Value(static_cast<std::int64_t>(sqlite3_column_int64(stmt, index)));
        case SQLITE_FLOAT: return Value(sqlite3_column_double(stmt, index));
        default: {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, index));
            std::string s(text ? text : "", static_cast<std::size_t>(sqlite3_column_bytes(stmt, index)));
            if (typeCode == kTypeDate) {
                if (auto dt = DateTime::Parse(s)) return Value(*dt);
            }
            return Value(std::move(s));
        }
    }
}

// The value as the column of that type code stores it.
Value ConvertForColumn(const Value& value, int typeCode) {
    if (value.IsNull()) return value;
    switch (typeCode) {
        case kTypeInteger: return Value(static_cast<std::int64_t>(value.AsInt32()));
        case kTypeDate: return Value(value.AsDateTime());
        default: return Value(value.AsText());
    }
}

// A Jet (Access 97 to 2003) file names its engine at byte 4: "Standard Jet
// DB" and a NUL. The bytes are read through SQLite's own handle of the file:
// opening and closing a second descriptor of it would drop the POSIX locks
// that other connections of this process hold on it.
bool HasJetSignature(sqlite3* db) {
    static constexpr char kSignature[] = "Standard Jet DB";  // 16 bytes with its NUL
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file || !file->pMethods)
        return false;
    std::array<char, 4 + sizeof kSignature> head{};
    // A shorter file reads as SQLITE_IOERR_SHORT_READ: not a Jet file.
    if (file->pMethods->xRead(file, head.data(), static_cast<int>(head.size()), 0) != SQLITE_OK) return false;
    return std::memcmp(head.data() + 4, kSignature, sizeof kSignature) == 0;
}

// Waits for another connection's lock in steps of a millisecond, up to
// kBusyTimeoutMs. SQLite's own timeout backs off to 100 ms between tries, and
// a process that takes the lock again at once can then keep a waiting one out
// for the whole timeout; short steps find the gaps between its transactions.
int WaitForLock(void*, int attempt) {
    thread_local std::chrono::steady_clock::time_point start;
    const auto now = std::chrono::steady_clock::now();
    if (attempt == 0) start = now;
    if (now - start >= std::chrono::milliseconds(kBusyTimeoutMs)) return 0;
    sqlite3_sleep(1);
    return 1;
}

}  // namespace

ConnectionText ConnectionText::Parse(std::string_view text) {
    ConnectionText result;
    bool haveProvider = false, haveSource = false;
    while (!text.empty()) {
        const std::size_t semicolon = text.find(';');
        const std::string_view part = text.substr(0, semicolon);
        text = semicolon == std::string_view::npos ? std::string_view{} : text.substr(semicolon + 1);
        if (Trim(part).empty()) continue;
        const std::size_t eq = part.find('=');
        if (eq == std::string_view::npos) throw StoreError(FailureText("连接字符串中有一段没有“=”", part));
        const std::string_view key = Trim(part.substr(0, eq));
        const std::string_view value = Trim(part.substr(eq + 1));
        if (EqualsAsciiNoCase(key, "Provider")) {
            result.provider = value;
            haveProvider = true;
        } else if (EqualsAsciiNoCase(key, "Data Source")) {
            result.dataSource = value;
            haveSource = true;
        }
    }
    if (!haveProvider) throw StoreError(FailureText("连接字符串没有指定提供程序", "Provider"));
    if (!EqualsAsciiNoCase(result.provider, kJetProvider))
        throw StoreError(
            FailureText("找不到提供程序" + Quoted(result.provider), "本组件只提供 " + std::string(kJetProvider)));
    if (!haveSource || result.dataSource.empty())
        throw StoreError(FailureText("连接字符串没有指定数据源", "Data Source"));
    if (result.dataSource.find('\0') != std::string::npos)
        throw StoreError(FailureText("数据源名称中有 NUL 字符", "Data Source"));
    return result;
}

void CatalogCreate(std::string_view connectionText) {
    const ConnectionText parsed = ConnectionText::Parse(connectionText);
    std::string error;
    switch (platform::CreateNewFile(parsed.dataSource, error)) {
        case platform::Creation::kCreated: break;
        case platform::Creation::kExists:
            throw StoreError(FailureText("数据库已经存在", parsed.dataSource + Place(parsed.dataSource)));
        case platform::Creation::kFailed:
            throw StoreError(
                FailureText("无法创建数据库" + Quoted(parsed.dataSource) + FolderIsAFile(parsed.dataSource),
                            error + Place(parsed.dataSource)));
    }
    try {
        Connection connection(connectionText);
        Exec(connection.Handle(), ("PRAGMA application_id = " + std::to_string(kApplicationId)).c_str(),
             "无法写入新数据库" + Quoted(parsed.dataSource));
    } catch (...) {
        platform::RemoveFile(parsed.dataSource);  // leave no half-made file behind
        throw;
    }
}

Connection::Connection(std::string_view connectionText, Mode mode) {
    const ConnectionText parsed = ConnectionText::Parse(connectionText);
    const std::string name = platform::NativeName(parsed.dataSource);
    const int access = mode == Mode::kReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    for (bool upgraded = false;; upgraded = true) {
        // Opening never creates: a missing file fails here. SQLite takes UTF-8
        // names on every platform.
        const int rc = sqlite3_open_v2(name.c_str(), &db_, access | SQLITE_OPEN_NOMUTEX, nullptr);
        if (rc != SQLITE_OK) {
            std::string message = EngineFailure(
                                      db_, rc,
                                      "无法打开数据库" + Quoted(parsed.dataSource) + FolderIsAFile(parsed.dataSource)) +
                                  Place(parsed.dataSource);
            sqlite3_close(db_);
            db_ = nullptr;
            throw StoreError(message);
        }
        // SQLite has opened the file but read nothing yet. A Jet file from an
        // earlier installation is upgraded now, before SQLite reads or writes
        // a byte of it; any other Jet file is refused.
        if (!HasJetSignature(db_)) break;
        Close();
        if (upgraded) throw StoreError(FailureText("数据库升级后仍是 Jet 格式", parsed.dataSource));
        if (mode == Mode::kReadOnly)
            throw StoreError(FailureText("数据库是 Jet 格式，只读打开时不升级", parsed.dataSource));
        UpgradeJetDatabase(parsed);
    }
    try {
        sqlite3_extended_result_codes(db_, 1);
        sqlite3_busy_handler(db_, WaitForLock, nullptr);
        // A double-quoted unknown name must fail, not read as a string literal.
        sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
        sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
        // SQLite opens lazily: read the schema now so that a file that is not a
        // database fails at the open. The statement is finished at once so that
        // no read transaction stays open.
        Statement check(db_, "PRAGMA schema_version");
        if (sqlite3_step(check.get()) != SQLITE_ROW)
            throw StoreError(EngineFailure(db_, SQLITE_ERROR, "无法打开数据库" + Quoted(parsed.dataSource)) +
                             Place(parsed.dataSource));
    } catch (...) {
        Close();
        throw;
    }
}

Connection::~Connection() { Close(); }

void Connection::Close() {
    if (db_) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
}

sqlite3* Connection::Handle() const {
    if (!db_) throw StoreError("连接已经关闭，不能执行此操作");
    return db_;
}

void TableDef::AppendColumn(std::string name, int type, int size, Value defaultValue) {
    if (type != kTypeInteger && type != kTypeDate && type != kTypeText)
        throw StoreError(FailureText("列" + Quoted(name) + "的类型无效", "类型代码 " + std::to_string(type)));
    if (size < 0) throw StoreError(FailureText("列" + Quoted(name) + "的长度无效", std::to_string(size)));
    if (name.empty()) throw StoreError("列没有名称");
    for (const auto& c : columns_)
        if (EqualsAsciiNoCase(c.name, name)) throw StoreError("列" + Quoted(name) + "已经定义");
    // Converted now, so that a default the column cannot hold fails here and
    // not when the table is made.
    try {
        defaultValue = ConvertForColumn(defaultValue, type);
    } catch (const StoreError& e) {
        throw StoreError(FailureText("列" + Quoted(name) + "的默认值无效", e.what()));
    }
    if (auto text = std::get_if<std::string>(&defaultValue.Raw()); text && text->find('\0') != std::string::npos)
        throw StoreError("列" + Quoted(name) + "的默认值中有 NUL 字符");
    columns_.push_back({std::move(name), type, size, std::move(defaultValue)});
}

namespace {

// A default as an SQL literal: DDL takes no bound parameters. Integers in
// digits; texts and dates in single quotes, inner quotes doubled.
std::string Literal(const Value& value) {
    if (auto i = std::get_if<std::int64_t>(&value.Raw())) return std::to_string(*i);
    const auto* date = std::get_if<DateTime>(&value.Raw());
    std::string out = "'";
    for (char c : date ? date->ToStoreText() : value.AsText()) {
        if (c == '\'') out += '\'';
        out += c;
    }
    return out + "'";
}

// A column as CREATE TABLE and ALTER TABLE ... ADD COLUMN both declare it.
std::string ColumnSql(const ColumnDef& c) {
    std::string sql = QuoteIdentifier(c.name) + " " + DeclaredType(c.type);
    if (!c.defaultValue.IsNull()) sql += " DEFAULT " + Literal(c.defaultValue);
    if (c.type == kTypeText && c.size > 0)
        sql += " CHECK (length(" + QuoteIdentifier(c.name) + ") <= " + std::to_string(c.size) + ")";
    return sql;
}

}  // namespace

std::optional<std::vector<std::string>> TableColumns(Connection& connection, std::string_view table) {
    sqlite3* db = connection.Handle();
    Statement find(db, "SELECT name FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE");
    find.Bind(1, Value(std::string(table)));
    const int rc = sqlite3_step(find.get());
    if (rc == SQLITE_DONE) return std::nullopt;
    if (rc != SQLITE_ROW) Fail(db, "无法读取数据库的表目录");
    const std::string name(reinterpret_cast<const char*>(sqlite3_column_text(find.get(), 0)));
    Statement query(db, "SELECT * FROM " + QuoteIdentifier(name) + " LIMIT 0");
    std::vector<std::string> columns;
    for (int i = 0; i < sqlite3_column_count(query.get()); ++i)
        columns.emplace_back(sqlite3_column_name(query.get(), i));
    return columns;
}

void AppendTable(Connection& connection, const TableDef& table) {
    if (table.Columns().empty()) throw StoreError("表" + Quoted(table.Name()) + "没有列");
    std::string sql = "CREATE TABLE " + QuoteIdentifier(table.Name()) + " (";
    bool first = true;
    for (const auto& c : table.Columns()) {
        if (!first) sql += ", ";
        first = false;
        sql += ColumnSql(c);
    }
    sql += ")";
    Statement create(connection.Handle(), sql);
    create.Run("无法创建表" + Quoted(table.Name()));
}

void AddMissingColumns(Connection& connection, const TableDef& table) {
    sqlite3* db = connection.Handle();
    const std::string name = QuoteIdentifier(table.Name());
    const auto missing = [&] {
        Statement query(db, "SELECT * FROM " + name + " LIMIT 0");
        std::vector<const ColumnDef*> columns;
        for (const auto& c : table.Columns()) {
            bool found = false;
            for (int i = 0; i < sqlite3_column_count(query.get()); ++i)
                found = found || EqualsAsciiNoCase(sqlite3_column_name(query.get(), i), c.name);
            if (!found) columns.push_back(&c);
        }
        return columns;
    };
    if (missing().empty()) return;  // the usual case takes no write lock
    Exec(db, "BEGIN IMMEDIATE", "无法开始写入表" + Quoted(table.Name()));
    try {
        // Asked again under the lock: another process may have added them.
        for (const ColumnDef* c : missing()) {
            // The rows already there read the column's DEFAULT.
            Statement add(db, "ALTER TABLE " + name + " ADD COLUMN " + ColumnSql(*c));
            add.Run("无法给表" + Quoted(table.Name()) + "添加列" + Quoted(c->name));
        }
        Exec(db, "COMMIT", "无法保存对表" + Quoted(table.Name()) + "的修改");
    } catch (...) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

long DeleteRows(Connection& connection, std::string_view table, std::string_view whereColumn, const Value& equals) {
    sqlite3* db = connection.Handle();
    Exec(db, "BEGIN IMMEDIATE", "无法开始写入表" + Quoted(table));
    try {
        Statement remove(db,
                         "DELETE FROM " + QuoteIdentifier(table) + " WHERE " + QuoteIdentifier(whereColumn) + " = ?");
        remove.Bind(1, equals);
        remove.Run("无法删除表" + Quoted(table) + "的记录");
        const long deleted = sqlite3_changes(db);
        Exec(db, "COMMIT", "无法保存对表" + Quoted(table) + "的修改");
        return deleted;
    } catch (...) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

Recordset::Recordset(Connection& connection, std::string_view table) : connection_(&connection), table_(table) {
    Statement query(connection.Handle(), "SELECT _rowid_, * FROM " + QuoteIdentifier(table_));
    Load(query.get());
}

Recordset::Recordset(Connection& connection, std::string_view table, std::string_view whereColumn, const Value& equals)
    : connection_(&connection), table_(table) {
    Statement query(connection.Handle(), "SELECT _rowid_, * FROM " + QuoteIdentifier(table_) + " WHERE " +
                                             QuoteIdentifier(whereColumn) + " = ?");
    query.Bind(1, equals);
    Load(query.get());
}

void Recordset::Load(sqlite3_stmt* stmt) {
    const int count = sqlite3_column_count(stmt);
    for (int i = 1; i < count; ++i) {
        columns_.emplace_back(sqlite3_column_name(stmt, i));
        declaredTypes_.push_back(TypeCodeOf(sqlite3_column_decltype(stmt, i)));
    }
    for (;;) {
        const int rc = sqlite3_step(stmt);
        if (rc == SQLITE_DONE) break;
        if (rc != SQLITE_ROW) Fail(connection_->Handle(), "无法读取表" + Quoted(table_));
        Row row{sqlite3_column_int64(stmt, 0), {}};
        row.values.reserve(columns_.size());
        for (int i = 1; i < count; ++i) row.values.push_back(ReadColumn(stmt, i, declaredTypes_[i - 1]));
        rows_.push_back(std::move(row));
    }
}

std::size_t Recordset::ColumnIndex(std::string_view column) const {
    for (std::size_t i = 0; i < columns_.size(); ++i)
        if (EqualsAsciiNoCase(columns_[i], column)) return i;
    throw StoreError(FailureText("表" + Quoted(table_) + "中没有这一列", column));
}

void Recordset::CheckOpen() const {
    if (closed_) throw StoreError("记录集已经关闭，不能执行此操作");
}

void Recordset::AddNew() {
    CheckOpen();
    adding_ = true;
    pending_ = Row{0, std::vector<Value>(columns_.size(), Value(Null{}))};
    assigned_.assign(columns_.size(), false);
}

void Recordset::Set(std::string_view column, const Value& value) {
    CheckOpen();
    const std::size_t index = ColumnIndex(column);
    if (!adding_) {
        if (Eof()) throw StoreError(FailureText("没有当前记录，无法修改", "BOF 或 EOF 为真"));
        if (assigned_.size() != columns_.size()) {
            pending_ = rows_[current_];
            assigned_.assign(columns_.size(), false);
        }
    }
    pending_.values[index] = ConvertForColumn(value, declaredTypes_[index]);
    assigned_[index] = true;
}

void Recordset::Update() {
    CheckOpen();
    sqlite3* db = connection_->Handle();
    std::vector<std::size_t> fields;
    for (std::size_t i = 0; i < assigned_.size(); ++i)
        if (assigned_[i]) fields.push_back(i);
    if (!adding_ && fields.empty()) return;

    std::string sql;
    if (adding_) {
        if (fields.empty()) {
            sql = "INSERT INTO " + QuoteIdentifier(table_) + " DEFAULT VALUES";
        } else {
            sql = "INSERT INTO " + QuoteIdentifier(table_) + " (";
            std::string marks;
            for (std::size_t n = 0; n < fields.size(); ++n) {
                sql += (n ? ", " : "") + QuoteIdentifier(columns_[fields[n]]);
                marks += n ? ", ?" : "?";
            }
            sql += ") VALUES (" + marks + ")";
        }
    } else {
        sql = "UPDATE " + QuoteIdentifier(table_) + " SET ";
        for (std::size_t n = 0; n < fields.size(); ++n)
            sql += (n ? ", " : "") + QuoteIdentifier(columns_[fields[n]]) + " = ?";
        sql += " WHERE _rowid_ = ?";
    }

    // One transaction: every assigned field lands, or none does.
    Exec(db, "BEGIN IMMEDIATE", "无法开始写入表" + Quoted(table_));
    try {
        Statement write(db, sql);
        int position = 1;
        for (std::size_t index : fields) write.Bind(position++, pending_.values[index]);
        if (!adding_) write.Bind(position, Value(rows_[current_].rowid));
        write.Run("无法写入表" + Quoted(table_) + "的记录");
        if (!adding_ && sqlite3_changes(db) != 1) throw StoreError("找不到要更新的记录：它已被删除");
        const std::int64_t rowid = adding_ ? sqlite3_last_insert_rowid(db) : rows_[current_].rowid;
        if (adding_ && fields.size() < columns_.size()) {
            // The fields not assigned took their columns' defaults: read them as stored.
            Statement back(db, "SELECT * FROM " + QuoteIdentifier(table_) + " WHERE _rowid_ = ?");
            back.Bind(1, Value(rowid));
            if (sqlite3_step(back.get()) != SQLITE_ROW) Fail(db, "无法读取表" + Quoted(table_) + "刚写入的记录");
            for (std::size_t i = 0; i < columns_.size(); ++i)
                if (!assigned_[i]) pending_.values[i] = ReadColumn(back.get(), static_cast<int>(i), declaredTypes_[i]);
        }
        Exec(db, "COMMIT", "无法保存对表" + Quoted(table_) + "的修改");
        pending_.rowid = rowid;
    } catch (...) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    if (adding_) {
        rows_.push_back(std::move(pending_));
        current_ = rows_.size() - 1;
    } else {
        rows_[current_] = std::move(pending_);
    }
    adding_ = false;
    assigned_.clear();
    pending_ = Row{};
}

Value Recordset::Get(std::string_view column) const {
    CheckOpen();
    const std::size_t index = ColumnIndex(column);
    if (adding_ || assigned_.size() == columns_.size()) return pending_.values[index];
    if (Eof()) throw StoreError(FailureText("没有当前记录", "BOF 或 EOF 为真"));
    return rows_[current_].values[index];
}

void Recordset::Close() { closed_ = true; }

}  // namespace dg::store
