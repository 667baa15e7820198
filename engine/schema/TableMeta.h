#pragma once

#include "JetType.h"

#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace engine {

struct ColumnMeta {
    std::string name;
    JetType type;
    bool required = false;
    std::optional<std::string> defaultJet; // DEFAULT as written in Jet SQL
};

// Keys and indexes of a table. Primary and unique keys are constraints (they
// have constraint names Jet-style, "PrimaryKey", "Index_..."); plain indexes
// come from CREATE INDEX.
struct KeyMeta {
    enum Type { Index = 0, Primary = 1, Unique = 2, Foreign = 3 };
    std::string name;
    int type = Index;
    bool unique = false;
    std::vector<std::string> columns;
    std::vector<bool> descending;
    std::string refTable;
    std::vector<std::string> refColumns;
};

struct TableMeta {
    std::string name;
    std::vector<ColumnMeta> columns;
    std::vector<KeyMeta> keys;

    int columnIndex(const std::string& column) const; // case-insensitive; -1 when absent
    const ColumnMeta* column(const std::string& column) const;
    const KeyMeta* primaryKey() const;
    int keyIndex(const std::string& name) const;
    bool hasAutoIncrement() const;
};

bool sameName(const std::string& a, const std::string& b); // Jet compares names case-insensitively

// The engine's own record of column types and keys, kept in the file in the
// system tables MSysColumns and MSysKeys, so that the catalogue reports
// exactly what was created.
namespace metadata {

inline constexpr const char* ColumnsTable = "MSysColumns";
inline constexpr const char* KeysTable = "MSysKeys";
inline constexpr const char* QueriesTable = "MSysQueries";

bool isSystemName(const std::string& name); // MSys*, sqlite_*

void ensure(sqlite3* db);
bool present(sqlite3* db);
// The table's description; for a table created outside the engine it is
// derived from SQLite's own schema. Empty when no such table exists.
std::optional<TableMeta> load(sqlite3* db, const std::string& table);
void save(sqlite3* db, const TableMeta& meta);
void remove(sqlite3* db, const std::string& table);
// The table's real name as stored (names are matched case-insensitively).
std::optional<std::string> findTable(sqlite3* db, const std::string& name);

// SQL that creates the table as SQLite holds it: typed columns with Jet's
// checks, NOT NULL, defaults; keys as named unique indexes; the counter
// triggers. sqliteName lets a rebuild create it under a temporary name.
std::string createTableSql(const TableMeta& meta, const std::string& sqliteName);
std::vector<std::string> createIndexSql(const TableMeta& meta);
std::vector<std::string> createTriggerSql(const TableMeta& meta);
std::string sqliteIndexName(const std::string& table, const std::string& key);

struct SavedQuery {
    std::string name;
    std::string jet;
    bool isSelect = false;
};
std::vector<SavedQuery> queries(sqlite3* db);
std::optional<SavedQuery> findQuery(sqlite3* db, const std::string& name);
void saveQuery(sqlite3* db, const SavedQuery& q);
void removeQuery(sqlite3* db, const std::string& name);

} // namespace metadata
} // namespace engine
