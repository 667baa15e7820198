#pragma once

#include "engine/base/Value.h"
#include "engine/sqlite/Sqlite3.h"

#include <string>
#include <string_view>

namespace engine::sqlite {

// Maps an SQLite failure to the engine's EngineError with a Chinese text
// (unknown table, constraint failures, a locked or corrupt file, ...).
[[noreturn]] void raiseFromSqlite(sqlite3* db, int rc, std::string_view context = {});

// Quotes a name for SQLite: "name", with embedded quotes doubled.
std::string quoteName(std::string_view name);
// Quotes a text literal for SQLite: 'text', with embedded quotes doubled.
std::string quoteText(std::string_view text);

// One prepared statement; finalized by its destructor.
class Statement {
public:
    Statement(sqlite3* db, std::string_view sql);
    ~Statement();
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void bind(int index, const Value& v); // 1-based; Value kinds map to SQLite storage
    void bindNull(int index);
    void bindInt(int index, std::int64_t v);
    void bindText(int index, std::string_view v);
    int parameterCount() const;

    bool step(); // true while a row is available; throws on failure
    void reset();
    void run(); // steps to the end

    int columnCount() const;
    std::string columnName(int i) const;
    int columnType(int i) const; // SQLITE_INTEGER, ...
    std::int64_t columnInt(int i) const;
    double columnDouble(int i) const;
    std::string columnText(int i) const;
    // The raw value as SQLite holds it: Integer, Double, Text, Bytes or Null.
    Value columnValue(int i) const;
    std::string originTable(int i) const;
    std::string originColumn(int i) const;
    std::string declaredType(int i) const;

    sqlite3_stmt* handle() const { return stmt_; }

private:
    sqlite3* db_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
};

// Runs SQL without results (may hold several statements).
void exec(sqlite3* db, std::string_view sql);

// A savepoint that rolls back in its destructor unless committed; nests.
class Transaction {
public:
    explicit Transaction(sqlite3* db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();

private:
    sqlite3* db_;
    std::string name_;
    bool done_ = false;
};

} // namespace engine::sqlite
