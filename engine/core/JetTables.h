#pragma once

// The tables of a genuine Jet file as SQLite virtual tables, read in place:
// a statement reads only the pages it needs, through the reader's bounded
// page cache. A table is made with
//
//   CREATE VIRTUAL TABLE [temp.]"name" USING jetfile(<position in the catalogue>)
//
// Rowids are the rows' places in the file (page << 8 | slot), ascending in
// scan order. Lookups by rowid read one row; equality and ranges on the first
// column of a numeric or date index read the file's index tree.
//
// When the file was opened for writing (a page store is set), INSERT, UPDATE
// and DELETE change the rows in place. SQLite's transaction hooks map to the
// store: its transaction is committed once for all tables of the file when
// SQLite syncs, and SQLite's savepoints (also the one around each statement
// of an explicit transaction) map to the store's, so a failing statement
// undoes only itself.

#include "engine/jet/JetFile.h"
#include "engine/jet/JetPageStore.h"
#include "engine/jet/JetTableReader.h"
#include "engine/schema/TableMeta.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace engine::jettables {

// The engine's description of a genuine table: column types and keys.
TableMeta metaFor(const jet::TableDef& def);

class Source {
public:
    // `store` writes the file's pages; null when the file is read only.
    explicit Source(jet::JetFile file, std::shared_ptr<jet::PageStore> store = nullptr)
        : file_(std::move(file)), store_(std::move(store)) {}
    const jet::JetFile& file() const { return file_; }
    const std::shared_ptr<jet::PageStore>& store() const { return store_; }

    // Registers the module "jetfile" on the connection; the source lives as
    // long as the connection.
    static void install(sqlite3* db, const std::shared_ptr<Source>& source);

    // The row count recorded in the definition of the genuine table that
    // SQLite knows as `name`, when there is one.
    std::optional<std::int64_t> rowCount(const std::string& name) const;

    // SQLite's savepoint numbers and the store's levels they stand for.
    std::map<int, int>& savepoints() { return savepoints_; }

private:
    jet::JetFile file_;
    std::shared_ptr<jet::PageStore> store_;
    std::map<int, int> savepoints_;
};

// A genuine table's rows read straight from the file, without a statement:
// how a keyset over a whole table reads its keys and its pages. The values
// are those a statement reads through the virtual table, as SQLite stores
// them (before the engine's conversion by field type).
class DirectRows {
public:
    // `db` is the connection the table belongs to: reads hold its mutex.
    DirectRows(sqlite3* db, std::shared_ptr<Source> source, jet::TableDef def);
    ~DirectRows();
    DirectRows(const DirectRows&) = delete;
    DirectRows& operator=(const DirectRows&) = delete;

    // Every rowid, in the order a scan meets them.
    std::vector<std::int64_t> rowids() const;
    // The rows whose rowids lie in [first, last], in rowid order: for each,
    // its rowid and the values of `columns` (positions in the table), after
    // `lead` empty values the caller fills in.
    void read(std::int64_t first, std::int64_t last, const std::vector<int>& columns,
              std::size_t lead,
              const std::function<void(std::int64_t, std::vector<Value>&&)>& onRow) const;
    // Lists the table's pages again at the next read (rows added since the
    // first read may lie on pages it did not list).
    void forget();

private:
    sqlite3* db_;
    std::shared_ptr<Source> source_;
    jet::TableDef def_;
    std::vector<int> affinity_;
    mutable std::unique_ptr<jet::TableReader> reader_;
};

// The direct reader of the table SQLite knows as `name` when it is a table
// of the genuine file `source` reads (not a view or one of the engine's own
// tables of that name); null otherwise.
std::unique_ptr<DirectRows> directRows(sqlite3* db, const std::shared_ptr<Source>& source,
                                       const std::string& name);

} // namespace engine::jettables
