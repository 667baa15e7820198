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
#include "engine/schema/TableMeta.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

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

} // namespace engine::jettables
