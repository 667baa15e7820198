#pragma once

#include "RowSource.h"
#include "engine/KeysetBuild.h"
#include "engine/schema/TableMeta.h"
#include "engine/sql/JetSql.h"
#include "engine/sqlite/SqliteDb.h"

#include <list>
#include <map>
#include <memory>

namespace engine {

class Database;

// A bounded cache of row pages, least recently used evicted first.
class PageCache {
public:
    static constexpr long PageRows = 100;
    static constexpr std::size_t MaxPages = 48;
    using Page = std::vector<std::vector<Value>>;

    const Page* find(long page);
    Page* findForUpdate(long page); // does not count as a use
    const Page& put(long page, Page rows);
    void drop(long page);
    void clear();

private:
    std::list<long> order_; // most recent first
    std::map<long, std::pair<Page, std::list<long>::iterator>> pages_;
};

// While one lives on a thread, keyset recordsets opened there read only their
// first page at open and leave the rest of their keys for later: a grid
// paints the first rows of a sorted million-row result without waiting for
// the whole sort.
class AsyncFetchScope {
public:
    AsyncFetchScope();
    ~AsyncFetchScope();
    AsyncFetchScope(const AsyncFetchScope&) = delete;
    AsyncFetchScope& operator=(const AsyncFetchScope&) = delete;
    static bool active();

private:
    bool was_;
};

// The rows of one table, addressed by rowid. The keys are read once at open
// (a few bytes per row); values are read a page at a time by key, so a
// million-row table opens at once and is read only where it is looked at.
//
// Opened under AsyncFetchScope, only the first page (keys and values) is
// read at open, and the remaining keys come from a KeysetBuild or, when
// anything needs the whole set first (the count, a row past the first page,
// a write), from reading them on the spot. Ties of the sort order are broken
// by rowid, so the first page and the full key list agree.
class KeysetSource : public RowSource {
public:
    // currencyColumns: computed results holding Currency counts (by name).
    KeysetSource(std::shared_ptr<Database> db, TableMeta table, const sql::SelectShape& shape,
                 bool writable, const std::vector<std::string>& currencyColumns = {});
    ~KeysetSource() override;
    const std::vector<FieldInfo>& fields() const override { return fields_; }
    long count() const override {
        completeKeys();
        return static_cast<long>(keys_.size());
    }

    // Rows readable without building the rest of the keyset.
    long readyCount() const { return static_cast<long>(keys_.size()); }
    bool keysComplete() const { return complete_; }
    // The number of rows, counted (once) without reading the keys.
    long expectedCount() const;
    // The build of the remaining keys, or null when they are all known.
    std::shared_ptr<KeysetBuild> keysetBuild();
    // Takes the keys of a finished build of this source. False when the
    // build is stale (cancelled, failed, or the keys were read meanwhile).
    // `firstPageMoved` tells whether the first page's rows differ from what
    // was shown (the table changed between the two reads).
    bool adoptKeyset(KeysetBuild& build, bool* firstPageMoved);
    // Reads the remaining keys now; returns whether the first page moved.
    bool completeKeys() const;
    std::vector<Value> row(long index) override;
    bool rowGone(long index) override;
    bool updatable() const override { return writable_; }
    [[noreturn]] void refuseWrite() const override;
    void update(long index, const std::vector<std::pair<int, Value>>& changes) override;
    long append(const std::vector<std::pair<int, Value>>& values) override;
    void remove(long index) override;

private:
    const PageCache::Page& page(long pageNo);
    // Reads one row again into its cached page, after this recordset wrote it
    // or found it changed; the other cached rows keep the values the caller
    // was shown, so their optimistic checks stay meaningful.
    void refreshRow(long index);
    const ColumnMeta& columnOf(int field) const;
    std::vector<Value> rawRow(long index);
    void readFirstPage(const std::string& sql);
    bool takeKeys(std::vector<std::int64_t> keys) const;

    std::shared_ptr<Database> db_;
    TableMeta table_;
    std::vector<FieldInfo> fields_;
    std::vector<int> columnOfField_; // table column behind each field, or -1
    // All keys, or only the first page's until the set is complete.
    mutable std::vector<std::int64_t> keys_;
    mutable bool complete_ = true;
    std::string keySql_;
    std::string countSql_;
    mutable long expected_ = -1;
    std::shared_ptr<KeysetBuild> build_;
    std::string pageSql_;
    std::unique_ptr<sqlite::Statement> pageStmt_;
    mutable PageCache cache_;
    bool writable_;
};

// Any other result (joins, aggregates, unions, saved queries): read-only,
// read a page at a time.
//
// What stays fixed for the recordset's life is its fields and its count,
// both taken at open. The rows themselves are not held: a page (100 rows) is
// read when first needed by running the statement again with LIMIT/OFFSET,
// and the most recently used pages are kept. A kept page reads the same until
// it is evicted; a page read later shows the tables as they are then, so when
// they change while the recordset is open, rows may repeat or be missed
// across pages, and rows past the end of a result that shrank read as nulls.
// Results with a single source table are keysets (KeysetSource) and have none
// of this.
class QuerySource : public RowSource {
public:
    QuerySource(std::shared_ptr<Database> db, std::string sqliteSql,
                const std::vector<std::string>& currencyColumns = {});
    const std::vector<FieldInfo>& fields() const override { return fields_; }
    long count() const override { return count_; }
    std::vector<Value> row(long index) override;

private:
    std::shared_ptr<Database> db_;
    std::string sql_;
    std::vector<FieldInfo> fields_;
    long count_ = 0;
    std::unique_ptr<sqlite::Statement> pageStmt_;
    PageCache cache_;
};

} // namespace engine
