#include "SqliteDb.h"

#include "engine/base/Messages.h"

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
    // The extended code says precisely what happened; the English text only
    // names the table or column involved and stays in the detail.
    int code = rc;
    if (db && (sqlite3_extended_errcode(db) & 0xff) == (rc & 0xff))
        code = sqlite3_extended_errcode(db);
    const int primary = code & 0xff;
    std::string detail = text + " [" + std::to_string(code) + "]";
    if (!context.empty()) detail += "（" + std::string(context) + "）";
    // The file involved, for the texts that name it.
    std::string file(context);
    if (file.empty() && db) {
        const char* f = sqlite3_db_filename(db, "main");
        file = f && *f ? f : "数据库文件";
    }
    // Every branch below ends in `fail`, which never returns.
    struct Fail {
        const std::string& detail;
        [[noreturn]] void operator()(const msg::Message& m,
                                     std::initializer_list<std::string> args = {}) const {
            msg::raiseWithDetail(m, args, detail);
        }
    } const fail{detail};

    // The engine's own functions and triggers fail with a catalogue message
    // as their text: "<number>|<text>".
    if (primary == SQLITE_ERROR || primary == SQLITE_CONSTRAINT) {
        const auto bar = text.find('|');
        if (bar != std::string::npos && bar > 0 && bar < 6 &&
            text.find_first_not_of("0123456789") == bar)
            throw EngineError(std::stoi(text.substr(0, bar)), text.substr(bar + 1), detail);
    }

    switch (primary) {
    case SQLITE_CONSTRAINT:
        switch (code) {
        case SQLITE_CONSTRAINT_NOTNULL:
            fail(msg::Required, {columnPart(afterPrefix(text, "failed: "))});
        case SQLITE_CONSTRAINT_UNIQUE:
        case SQLITE_CONSTRAINT_PRIMARYKEY:
            fail(msg::Duplicate);
        case SQLITE_CONSTRAINT_CHECK: {
            // Our own checks are named "jet:<kind>:<argument>:<column>".
            const std::string check = afterPrefix(text, "failed: ");
            if (check.rfind("jet:", 0) == 0) {
                const auto k1 = check.find(':', 4);
                const auto k2 = k1 == std::string::npos ? k1 : check.find(':', k1 + 1);
                if (k2 != std::string::npos) {
                    const std::string kind = check.substr(4, k1 - 4);
                    const std::string arg = check.substr(k1 + 1, k2 - k1 - 1);
                    const std::string column = check.substr(k2 + 1);
                    if (kind == "len") fail(msg::TooLong, {column, arg});
                    if (kind == "range") fail(msg::OutOfRange, {column, "输入的值"});
                    if (kind == "type" && arg == "date") fail(msg::NotADate, {column, "输入的值"});
                    fail(msg::TypeMismatch, {column, "输入的值"});
                }
            }
            fail(msg::Constraint, {check});
        }
        default:
            break;
        }
        fail(msg::Constraint, {""});
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        fail(msg::DatabaseBusy);
    case SQLITE_READONLY:
        if (code == SQLITE_READONLY_ROLLBACK || code == SQLITE_READONLY_RECOVERY)
            fail(msg::HotJournalReadOnly, {file});
        fail(msg::ReadOnlyFile, {file});
    case SQLITE_CORRUPT:
        fail(msg::Corrupt, {file});
    case SQLITE_NOTADB:
        fail(msg::NotADatabase, {file});
    case SQLITE_FULL:
        fail(msg::DiskFull);
    case SQLITE_NOMEM:
        fail(msg::OutOfMemory);
    case SQLITE_IOERR:
        if (code == SQLITE_IOERR_NOMEM) fail(msg::OutOfMemory);
        fail(msg::IoError);
    case SQLITE_CANTOPEN:
        fail(msg::CannotOpen, {file});
    case SQLITE_TOOBIG:
        fail(msg::TooBig);
    case SQLITE_INTERRUPT:
        fail(msg::Interrupted);
    case SQLITE_ERROR:
        break;
    default:
        fail(msg::EngineFailure, {std::to_string(code)});
    }

    // SQLITE_ERROR has no finer codes: the names involved are read from the
    // text, and whatever is not recognised gets a general Chinese text.
    if (auto name = afterPrefix(text, "no such table: "); !name.empty()) {
        auto dot = name.find('.');
        if (dot != std::string::npos && name.compare(0, dot, "main") == 0)
            name = name.substr(dot + 1);
        fail(msg::UnknownTable, {name});
    }
    if (auto name = afterPrefix(text, "no such column: "); !name.empty())
        fail(msg::UnknownField, {name});
    if (auto name = afterPrefix(text, "has no column named "); !name.empty())
        fail(msg::UnknownField, {name});
    if (auto name = afterPrefix(text, "duplicate column name: "); !name.empty())
        fail(msg::FieldExists, {name});
    if (text.find(" already exists") != std::string::npos) {
        std::string name = afterPrefix(text, "table ");
        if (name.empty()) name = afterPrefix(text, "index ");
        if (name.empty()) name = afterPrefix(text, "view ");
        name = name.substr(0, name.find(" already exists"));
        fail(msg::TableExists, {name});
    }
    if (auto name = afterPrefix(text, "ambiguous column name: "); !name.empty())
        fail(msg::Syntax, {"字段名“" + name + "”不明确，请在前面加上表名"});
    if (text.find("values for") != std::string::npos ||
        text.find("values were supplied") != std::string::npos)
        fail(msg::Syntax, {"插入的值的个数与字段的个数不同"});
    if (auto name = afterPrefix(text, "no such function: "); !name.empty())
        fail(msg::Syntax, {"未知的函数“" + name + "”"});
    if (auto name = afterPrefix(text, "wrong number of arguments to function "); !name.empty())
        fail(msg::Syntax, {"函数“" + name.substr(0, name.find('(')) + "”的参数个数不对"});
    if (text.find("misuse of aggregate") != std::string::npos)
        fail(msg::Syntax, {"汇总函数（Count、Sum 等）用在了不允许的位置"});
    if (text.find("SELECTs to the left and right") != std::string::npos)
        fail(msg::Syntax, {"UNION 两边查询的字段个数不同"});
    if (text.find("too many terms in compound SELECT") != std::string::npos)
        fail(msg::TooComplex, {"UNION 连接的查询太多"});
    if (text.find("tables in a join") != std::string::npos)
        fail(msg::TooComplex, {"一个查询中联接的表太多"});
    if (text.find("parser stack overflow") != std::string::npos ||
        text.find("Expression tree is too large") != std::string::npos ||
        text.find("too many") != std::string::npos)
        fail(msg::TooComplex, {"表达式太长或嵌套太深"});
    if (text.find("unsupported file format") != std::string::npos ||
        text.find("malformed database schema") != std::string::npos)
        fail(msg::Corrupt, {file});
    if (text.rfind("near \"", 0) == 0) {
        const auto end = text.find('"', 6);
        if (end != std::string::npos)
            fail(msg::Syntax, {"在“" + text.substr(6, end - 6) + "”附近"});
    }
    if (text.find("datatype mismatch") != std::string::npos)
        fail(msg::TypeMismatch, {"", "输入的值"});
    if (text.find("incomplete input") != std::string::npos) fail(msg::Syntax, {"语句不完整"});
    if (text.find("unrecognized token") != std::string::npos) fail(msg::Syntax, {"无法识别的符号"});
    fail(msg::Syntax, {"这条语句无法执行"});
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
        sqlite3_bind_double(stmt_, index, v.toDouble());
        break;
    case Value::Kind::Currency: // stored as its exact count of 1/10,000
        sqlite3_bind_int64(stmt_, index, v.currencyScaled());
        break;
    case Value::Kind::Date:
    case Value::Kind::Text:
        bindText(index, v.text());
        break;
    case Value::Kind::Bytes:
        // An empty vector may have no storage, and a blob bound from a null
        // pointer is NULL: a zero-length value stays a value.
        if (v.bytes().empty())
            sqlite3_bind_zeroblob(stmt_, index, 0);
        else
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
