#pragma once

#include "RowSource.h"
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

// The rows of one table, addressed by rowid. The keys are read once at open
// (a few bytes per row); values are read a page at a time by key, so a
// million-row table opens at once and is read only where it is looked at.
class KeysetSource : public RowSource {
public:
    // currencyColumns: computed results holding Currency counts (by name).
    KeysetSource(std::shared_ptr<Database> db, TableMeta table, const sql::SelectShape& shape,
                 bool writable, const std::vector<std::string>& currencyColumns = {});
    const std::vector<FieldInfo>& fields() const override { return fields_; }
    long count() const override { return static_cast<long>(keys_.size()); }
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

    std::shared_ptr<Database> db_;
    TableMeta table_;
    std::vector<FieldInfo> fields_;
    std::vector<int> columnOfField_; // table column behind each field, or -1
    std::vector<std::int64_t> keys_;
    std::string pageSql_;
    std::unique_ptr<sqlite::Statement> pageStmt_;
    PageCache cache_;
    bool writable_;
};

// Any other result (joins, aggregates, unions, saved queries): read-only,
// read a page at a time.
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
