#pragma once

// Row changes on one table of a genuine Jet 4 file, in place: data pages
// (row layout, null mask, fixed and variable parts, compressed Unicode
// text), rows that no longer fit (moved, leaving an overflow pointer so the
// RowId stays), long values (inline, one long-value page, chained), the
// definition's row count and next auto-number, usage maps, deleted rows and
// the reuse of their space. The table's indexes are kept through an
// IndexMaintainer. All changes go through the PageStore's open transaction.
//
// Values are the engine's (what SQLite hands a virtual table), one per
// column of the TableDef; they are converted to the column's type as Jet
// stores it.

#include "engine/jet/JetFile.h"
#include "engine/jet/JetPageStore.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace engine::jet {

class TableWriter {
public:
    TableWriter(std::shared_ptr<PageStore> store, TableDef def);
    ~TableWriter();

    // Empty when rows of this table can be written; otherwise why not.
    std::string unsupportedReason() const;

    // A null autonumber value is given the next number. Failures are
    // EngineError with the engine's texts (msg::Required, msg::TooLong, a
    // duplicate key, ...) and leave the file as it was before the call.
    RowId insert(const std::vector<Value>& values);
    void update(RowId id, const std::vector<Value>& values);
    void remove(RowId id);

    // Each change takes a savepoint of its own, so a failure midway leaves
    // nothing behind. A caller that undoes failed statements itself (the
    // virtual tables, through SQLite's statement savepoints) turns that off.
    void setOwnSavepoints(bool on);

    // Index pages kept parsed between changes and handed to the store only
    // when something needs them there (a savepoint, its release, a commit,
    // an index search), each page once; a rollback drops them. For
    // statements that change many rows.
    void deferIndexWrites(bool on);

    // The autonumber the last insert gave its row, if it gave one.
    std::optional<std::int64_t> lastAutoNumber() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace engine::jet
