#include "SqliteDb.h"

#include "engine/Messages.h"

#include <atomic>

namespace engine::sqlite {

namespace {

std::string afterPrefix(const std::string& text, std::string_view prefix) {
    auto pos = text.find(prefix);
    if (pos == std::string::npos) return {};
    return text.substr(pos + prefix.size());
}

// "T.col" -> "col"
std::string columnPart(const std::string& qualified) {
    auto comma = qualified.find(',');
    std::string first = qualified.substr(0, comma);
    auto dot = first.find('.');
    return dot == std::string::npos ? first : first.substr(dot + 1);
}

} // namespace

void raiseFromSqlite(sqlite3* db, int rc, std::string_view context) {
    const std::string text = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    const int primary = rc & 0xff;
    std::string detail = text;
    if (!context.empty()) detail += "（" + std::string(context) + "）";

    if (auto name = afterPrefix(text, "no such table: "); !name.empty()) {
        auto dot = name.find('.');
        if (dot != std::string::npos && name.compare(0, dot, "main") == 0)
            name = name.substr(dot + 1);
        msg::raise(msg::UnknownTable, {name});
    }
    if (auto name = afterPrefix(text, "no such column: "); !name.empty())
        msg::raise(msg::UnknownField, {name});
    if (auto name = afterPrefix(text, "NOT NULL constraint failed: "); !name.empty())
        msg::raise(msg::Required, {columnPart(name)});
    if (text.find("UNIQUE constraint failed") != std::string::npos ||
        text.find("PRIMARY KEY must be unique") != std::string::npos)
        msg::raise(msg::Duplicate);
    if (auto check = afterPrefix(text, "CHECK constraint failed: "); !check.empty()) {
        // Our own checks are named "jet:<kind>:<argument>:<column>".
        if (check.rfind("jet:", 0) == 0) {
            const auto k1 = check.find(':', 4);
            const auto k2 = k1 == std::string::npos ? k1 : check.find(':', k1 + 1);
            if (k2 != std::string::npos) {
                const std::string kind = check.substr(4, k1 - 4);
                const std::string arg = check.substr(k1 + 1, k2 - k1 - 1);
                const std::string column = check.substr(k2 + 1);
                if (kind == "len") msg::raise(msg::TooLong, {column, arg});
                if (kind == "range") msg::raise(msg::OutOfRange, {column, "输入的值"});
                msg::raise(msg::TypeMismatch, {column, "输入的值"});
            }
        }
        msg::raise(msg::Constraint, {check});
    }
    // The usual SQLite complaints, said in Chinese with the names involved.
    if (auto name = afterPrefix(text, "has no column named "); !name.empty())
        msg::raise(msg::UnknownField, {name});
    if (auto name = afterPrefix(text, "ambiguous column name: "); !name.empty())
        msg::raise(msg::Syntax, {"字段名“" + name + "”不明确，请在前面加上表名"});
    if (text.find("values for") != std::string::npos ||
        text.find("values were supplied") != std::string::npos)
        msg::raise(msg::Syntax, {"插入的值的个数与字段的个数不同"});
    if (auto name = afterPrefix(text, "no such function: "); !name.empty())
        msg::raise(msg::Syntax, {"未知的函数“" + name + "”"});
    if (auto name = afterPrefix(text, "wrong number of arguments to function "); !name.empty())
        msg::raise(msg::Syntax, {"函数“" + name.substr(0, name.find('(')) + "”的参数个数不对"});
    if (text.find("misuse of aggregate") != std::string::npos)
        msg::raise(msg::Syntax, {"汇总函数（Count、Sum 等）用在了不允许的位置：" + text});
    if (text.find("SELECTs to the left and right") != std::string::npos)
        msg::raise(msg::Syntax, {"UNION 两边查询的字段个数不同"});
    if (text.rfind("near \"", 0) == 0) {
        const auto end = text.find('"', 6);
        if (end != std::string::npos)
            msg::raise(msg::Syntax, {"在“" + text.substr(6, end - 6) + "”附近"});
    }
    if (text.find("datatype mismatch") != std::string::npos)
        msg::raise(msg::TypeMismatch, {"", "输入的值"});
    if (text.find("syntax error") != std::string::npos || text.find("near \"") == 0 ||
        text.find("incomplete input") != std::string::npos ||
        text.find("unrecognized token") != std::string::npos ||
        text.find("wrong number of arguments") != std::string::npos ||
        text.find("no such function") != std::string::npos ||
        text.find("misuse of aggregate") != std::string::npos ||
        text.find("ambiguous column") != std::string::npos ||
        text.find("SELECTs to the left and right") != std::string::npos)
        msg::raise(msg::Syntax, {detail});
    switch (primary) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        msg::raise(msg::DatabaseBusy, {detail});
    case SQLITE_READONLY:
        msg::raise(msg::ReadOnlyFile, {detail});
    case SQLITE_CORRUPT:
        msg::raise(msg::Corrupt, {detail});
    case SQLITE_NOTADB:
        msg::raise(msg::NotADatabase, {detail});
    case SQLITE_CONSTRAINT:
        msg::raise(msg::Constraint, {detail});
    default:
        break;
    }
    msg::raise(msg::EngineFailure, {detail});
}

std::string quoteName(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::string quoteText(std::string_view text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out += '\'';
        out += c;
    }
    out += '\'';
    return out;
}

Statement::Statement(sqlite3* db, std::string_view sql) : db_(db) {
    const int rc =
        sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
        raiseFromSqlite(db, rc);
    }
    if (!stmt_) msg::raise(msg::Syntax, {"空语句"});
}

Statement::~Statement() {
    sqlite3_finalize(stmt_);
}

Statement::Statement(Statement&& other) noexcept : db_(other.db_), stmt_(other.stmt_) {
    other.stmt_ = nullptr;
}

Statement& Statement::operator=(Statement&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(stmt_);
        db_ = other.db_;
        stmt_ = other.stmt_;
        other.stmt_ = nullptr;
    }
    return *this;
}

void Statement::bind(int index, const Value& v) {
    switch (v.kind()) {
    case Value::Kind::Empty:
    case Value::Kind::Null:
        sqlite3_bind_null(stmt_, index);
        break;
    case Value::Kind::Boolean:
        sqlite3_bind_int64(stmt_, index, v.toBool() ? -1 : 0);
        break;
    case Value::Kind::Integer:
        sqlite3_bind_int64(stmt_, index, v.toInt());
        break;
    case Value::Kind::Double:
    case Value::Kind::Currency:
        sqlite3_bind_double(stmt_, index, v.toDouble());
        break;
    case Value::Kind::Date:
    case Value::Kind::Text:
        bindText(index, v.text());
        break;
    case Value::Kind::Bytes:
        sqlite3_bind_blob(stmt_, index, v.bytes().data(), static_cast<int>(v.bytes().size()),
                          SQLITE_TRANSIENT);
        break;
    }
}

void Statement::bindNull(int index) {
    sqlite3_bind_null(stmt_, index);
}
void Statement::bindInt(int index, std::int64_t v) {
    sqlite3_bind_int64(stmt_, index, v);
}
void Statement::bindText(int index, std::string_view v) {
    sqlite3_bind_text(stmt_, index, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
}
int Statement::parameterCount() const {
    return sqlite3_bind_parameter_count(stmt_);
}

bool Statement::step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    // With prepare_v2 the step's own code is precise; reset gives the same.
    sqlite3_reset(stmt_);
    raiseFromSqlite(db_, rc);
}

void Statement::reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

void Statement::run() {
    while (step()) {
    }
}

int Statement::columnCount() const {
    return sqlite3_column_count(stmt_);
}
std::string Statement::columnName(int i) const {
    const char* n = sqlite3_column_name(stmt_, i);
    return n ? n : "";
}
int Statement::columnType(int i) const {
    return sqlite3_column_type(stmt_, i);
}
std::int64_t Statement::columnInt(int i) const {
    return sqlite3_column_int64(stmt_, i);
}
double Statement::columnDouble(int i) const {
    return sqlite3_column_double(stmt_, i);
}
std::string Statement::columnText(int i) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, i));
    return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, i))) : "";
}

Value Statement::columnValue(int i) const {
    switch (sqlite3_column_type(stmt_, i)) {
    case SQLITE_INTEGER:
        return Value(static_cast<std::int64_t>(sqlite3_column_int64(stmt_, i)));
    case SQLITE_FLOAT:
        return Value(sqlite3_column_double(stmt_, i));
    case SQLITE_TEXT:
        return Value(columnText(i));
    case SQLITE_BLOB: {
        const auto* p = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt_, i));
        const int n = sqlite3_column_bytes(stmt_, i);
        return Value(std::vector<std::uint8_t>(p, p + n));
    }
    default:
        return Value::null();
    }
}

std::string Statement::originTable(int i) const {
    const char* n = sqlite3_column_table_name(stmt_, i);
    return n ? n : "";
}
std::string Statement::originColumn(int i) const {
    const char* n = sqlite3_column_origin_name(stmt_, i);
    return n ? n : "";
}
std::string Statement::declaredType(int i) const {
    const char* n = sqlite3_column_decltype(stmt_, i);
    return n ? n : "";
}

void exec(sqlite3* db, std::string_view sql) {
    char* err = nullptr;
    const std::string text(sql);
    const int rc = sqlite3_exec(db, text.c_str(), nullptr, nullptr, &err);
    sqlite3_free(err);
    if (rc != SQLITE_OK) raiseFromSqlite(db, rc);
}

Transaction::Transaction(sqlite3* db) : db_(db) {
    static std::atomic<unsigned> counter{0};
    name_ = "tk_sp" + std::to_string(++counter);
    exec(db_, "SAVEPOINT " + name_);
}

Transaction::~Transaction() {
    if (done_) return;
    // Roll back and release; errors here cannot be reported from a destructor.
    sqlite3_exec(db_, ("ROLLBACK TO " + name_ + "; RELEASE " + name_).c_str(), nullptr, nullptr,
                 nullptr);
}

void Transaction::commit() {
    exec(db_, "RELEASE " + name_);
    done_ = true;
}

} // namespace engine::sqlite
