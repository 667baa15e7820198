#pragma once

// Keeps every index of one table of a genuine Jet 4 file right as its rows
// change: primary keys, unique, ignore-nulls, required, descending and
// compound indexes, keys of every column type (text in the file's sort
// order), page splits and merges, and the definition's per-index counts.
//
// Rows are given as the reader decodes them (JetState::decodeRow with
// complexKeys = true): one Value per column of the TableDef. All changes go
// through the PageStore's open transaction.

#include "engine/jet/JetFile.h"
#include "engine/jet/JetPageStore.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace engine::jet {

class IndexMaintainer {
public:
    IndexMaintainer(std::shared_ptr<PageStore> store, TableDef def);
    ~IndexMaintainer();

    // Empty when every index of the table can be kept right; otherwise why
    // the table must stay read-only (in Chinese, naming the sort order whose
    // text keys cannot be encoded).
    std::string unsupportedReason() const;

    // Throws EngineError (msg::Duplicate, naming the index) when `row` would
    // duplicate a key of a unique index, ignoring the row at `replacing`
    // (an update); checked before anything is changed.
    void checkUnique(const std::vector<Value>& row, std::optional<RowId> replacing) const;
    void add(const std::vector<Value>& row, RowId id);
    void remove(const std::vector<Value>& row, RowId id);

    // Statements that change many rows: with writes deferred, the index
    // pages changed by add and remove stay here, parsed, and go to the store
    // (each page once) when something needs them there: the store's
    // savepoint, release and commit, an index search of the file's readers,
    // another maintainer's change, or flushPages(). A rollback of the store
    // drops them. An exception from add or remove leaves the store's
    // transaction able only to roll back (PageStore::markIncomplete). Off
    // by default: every change reaches the store at once.
    void deferWrites(bool on);
    void flushPages();

    // The table's physical indexes (named indexes with the same columns and
    // flags share one), for checks and tools.
    struct Entry {
        std::vector<std::uint8_t> key;
        RowId row;
    };
    std::size_t indexCount() const;
    std::string indexName(std::size_t index) const; // the first name that uses it
    // Key bytes of `row` in the index; nullopt when the row gets no entry.
    std::optional<std::vector<std::uint8_t>> key(std::size_t index,
                                                 const std::vector<Value>& row) const;
    // The entries the index holds now, in index order (along its leaves).
    std::vector<Entry> entries(std::size_t index) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace engine::jet
