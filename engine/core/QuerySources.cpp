#include "QuerySources.h"

#include "Convert.h"
#include "Database.h"
#include "engine/base/Ascii.h"
#include "engine/base/Messages.h"

#include <algorithm>
#include <unordered_map>

namespace engine {

using sqlite::quoteName;
using sqlite::Statement;

void KeysetSource::refuseWrite() const {
    // A file that cannot be written says so; otherwise the lock type made it read-only.
    db_->requireWritable();
    msg::raise(msg::ReadOnlyResult);
}

// ---- PageCache -------------------------------------------------------------

const PageCache::Page* PageCache::find(long page) {
    auto it = pages_.find(page);
    if (it == pages_.end()) return nullptr;
    order_.splice(order_.begin(), order_, it->second.second);
    return &it->second.first;
}

const PageCache::Page& PageCache::put(long page, Page rows) {
    if (auto it = pages_.find(page); it != pages_.end()) {
        order_.erase(it->second.second);
        pages_.erase(it);
    }
    while (pages_.size() >= MaxPages && !order_.empty()) {
        pages_.erase(order_.back());
        order_.pop_back();
    }
    order_.push_front(page);
    auto& slot = pages_[page];
    slot = {std::move(rows), order_.begin()};
    return slot.first;
}

PageCache::Page* PageCache::findForUpdate(long page) {
    auto it = pages_.find(page);
    return it == pages_.end() ? nullptr : &it->second.first;
}

void PageCache::drop(long page) {
    auto it = pages_.find(page);
    if (it == pages_.end()) return;
    order_.erase(it->second.second);
    pages_.erase(it);
}

void PageCache::clear() {
    pages_.clear();
    order_.clear();
}

// ---- KeysetSource ----------------------------------------------------------

namespace {

thread_local bool t_asyncFetch = false;

// The result's order with ties broken by rowid, in the direction of the
// last sort term so that an index serving the order still serves it.
std::string orderWithTiebreak(const std::string& orderBy, const std::string& ref) {
    const std::string key = ref + ".rowid";
    if (orderBy.empty()) return "ORDER BY " + key;
    const std::string end =
        ascii::toLower(orderBy.substr(orderBy.size() >= 5 ? orderBy.size() - 5 : 0));
    return orderBy + ", " + key + (end == " desc" ? " DESC" : "");
}

} // namespace

AsyncFetchScope::AsyncFetchScope() : was_(t_asyncFetch) {
    t_asyncFetch = true;
}
AsyncFetchScope::~AsyncFetchScope() {
    t_asyncFetch = was_;
}
bool AsyncFetchScope::active() {
    return t_asyncFetch;
}

KeysetSource::KeysetSource(std::shared_ptr<Database> db, TableMeta table,
                           const sql::SelectShape& shape, bool writable,
                           const std::vector<std::string>& currencyColumns)
    : db_(std::move(db)), table_(std::move(table)), writable_(writable) {
    sqlite3* h = db_->handle();
    const std::string ref = shape.sourceRef.empty() ? quoteName(table_.name) : shape.sourceRef;
    // Deferring the keys needs a connection another thread may share; a TOP
    // result is read whole as before.
    const bool deferred = t_asyncFetch && shape.limit.empty() && sqlite3_db_mutex(h) != nullptr;
    const std::string order = deferred ? orderWithTiebreak(shape.orderBy, ref) : shape.orderBy;
    const std::string tail = shape.fromClause + (order.empty() ? "" : " " + order) +
                             (shape.limit.empty() ? "" : " " + shape.limit);

    // The keys, in the result's order. When ORDER BY names a column alias of
    // the select list, the keys are taken through the full select instead.
    std::unique_ptr<Statement> keys;
    try {
        keySql_ = "SELECT " + ref + ".rowid " + tail;
        keys = std::make_unique<Statement>(h, keySql_);
    } catch (const EngineError&) {
        keySql_ = "SELECT \"__tk_key\" FROM (SELECT " + ref + ".rowid AS \"__tk_key\", " +
                  shape.selectList + " " + tail + ")";
        keys = std::make_unique<Statement>(h, keySql_);
    }
    if (deferred) countSql_ = "SELECT count(*) " + shape.fromClause;
    if (!deferred) {
        while (keys->step())
            keys_.push_back(keys->columnInt(0));
    }
    keys.reset();

    // One statement reads a page of rows by key.
    std::string from = quoteName(table_.name);
    if (ref != quoteName(table_.name)) from += " AS " + ref;
    pageSql_ = "SELECT " + ref + ".rowid, " + shape.selectList + " FROM " + from + " WHERE " + ref +
               ".rowid IN (";
    for (long i = 0; i < PageCache::PageRows; ++i)
        pageSql_ += i ? ",?" : "?";
    pageSql_ += ")";
    pageStmt_ = std::make_unique<Statement>(h, pageSql_);
    for (int i = 1; i < pageStmt_->columnCount(); ++i) {
        FieldInfo f;
        f.name = pageStmt_->columnName(i);
        int col = -1;
        if (sameName(pageStmt_->originTable(i), table_.name))
            col = table_.columnIndex(pageStmt_->originColumn(i));
        columnOfField_.push_back(col);
        if (col >= 0) {
            const auto& c = table_.columns[static_cast<std::size_t>(col)];
            f.type = c.type.code;
            f.definedSize = c.type.size;
            f.autoIncrement = c.type.autoIncrement;
            f.required = c.required;
            f.writable = writable_ && !c.type.autoIncrement;
        } else {
            f.type = adtype::Variant;
            for (const auto& name : currencyColumns)
                if (sameName(name, f.name)) f.type = adtype::Currency;
        }
        fields_.push_back(std::move(f));
    }
    if (deferred)
        readFirstPage("SELECT " + ref + ".rowid, " + shape.selectList + " " + shape.fromClause +
                      " " + order + " LIMIT " + std::to_string(PageCache::PageRows));
}

KeysetSource::~KeysetSource() {
    if (build_) build_->cancel();
}

void KeysetSource::readFirstPage(const std::string& sql) {
    Statement st(db_->handle(), sql);
    const int n = st.columnCount();
    PageCache::Page rows;
    while (st.step()) {
        keys_.push_back(st.columnInt(0));
        std::vector<Value> raw;
        raw.reserve(static_cast<std::size_t>(n));
        raw.emplace_back(true); // present
        for (int i = 1; i < n; ++i)
            raw.push_back(st.columnValue(i));
        rows.push_back(std::move(raw));
    }
    // A result shorter than a page is complete already.
    complete_ = static_cast<long>(rows.size()) < PageCache::PageRows;
    cache_.put(0, std::move(rows));
}

bool KeysetSource::takeKeys(std::vector<std::int64_t> keys) const {
    bool moved = keys.size() < keys_.size();
    for (std::size_t i = 0; !moved && i < keys_.size(); ++i)
        moved = keys[i] != keys_[i];
    if (moved) cache_.clear();
    keys_ = std::move(keys);
    complete_ = true;
    return moved;
}

std::shared_ptr<KeysetBuild> KeysetSource::keysetBuild() {
    if (complete_) return nullptr;
    if (!build_) build_ = std::make_shared<KeysetBuild>(db_, keySql_);
    return build_;
}

bool KeysetSource::adoptKeyset(KeysetBuild& build, bool* firstPageMoved) {
    if (complete_ || &build != build_.get() || !build.complete()) return false;
    const bool moved = takeKeys(build.takeKeys());
    if (firstPageMoved) *firstPageMoved = moved;
    return true;
}

long KeysetSource::expectedCount() const {
    if (complete_) return static_cast<long>(keys_.size());
    if (expected_ < 0) {
        std::unique_ptr<Statement> st;
        try {
            st = std::make_unique<Statement>(db_->handle(), db_->countFromDefinition(countSql_));
        } catch (const EngineError&) {
            // A condition naming a column alias counts through the full select.
            st = std::make_unique<Statement>(db_->handle(),
                                             "SELECT count(*) FROM (" + keySql_ + ")");
        }
        expected_ = st->step() ? static_cast<long>(st->columnInt(0)) : 0;
    }
    return expected_;
}

bool KeysetSource::completeKeys() const {
    if (complete_) return false;
    // A build still running gives way; its result is stale from now on.
    if (build_) build_->cancel();
    Statement st(db_->handle(), keySql_);
    std::vector<std::int64_t> keys;
    while (st.step())
        keys.push_back(st.columnInt(0));
    return takeKeys(std::move(keys));
}

const PageCache::Page& KeysetSource::page(long pageNo) {
    if (const auto* p = cache_.find(pageNo)) return *p;
    const long first = pageNo * PageCache::PageRows;
    const long last = std::min<long>(first + PageCache::PageRows, readyCount());
    pageStmt_->reset();
    for (long i = first; i < last; ++i)
        pageStmt_->bindInt(static_cast<int>(i - first + 1), keys_[static_cast<std::size_t>(i)]);
    std::unordered_map<std::int64_t, std::vector<Value>> byKey;
    const int n = pageStmt_->columnCount();
    while (pageStmt_->step()) {
        std::vector<Value> raw;
        raw.reserve(static_cast<std::size_t>(n));
        raw.emplace_back(true); // present
        for (int i = 1; i < n; ++i)
            raw.push_back(pageStmt_->columnValue(i));
        byKey.emplace(pageStmt_->columnInt(0), std::move(raw));
    }
    pageStmt_->reset();
    PageCache::Page rows;
    rows.reserve(static_cast<std::size_t>(last - first));
    // Where a key comes twice (a damaged genuine file can list one row in
    // two places), the second place gets a copy of the row moved into the first.
    std::unordered_map<std::int64_t, std::size_t> placed;
    for (long i = first; i < last; ++i) {
        const std::int64_t key = keys_[static_cast<std::size_t>(i)];
        if (const auto at = placed.find(key); at != placed.end()) {
            std::vector<Value> again = rows[at->second];
            rows.push_back(std::move(again));
            continue;
        }
        auto it = byKey.find(key);
        if (it != byKey.end()) {
            placed.emplace(key, rows.size());
            rows.push_back(std::move(it->second));
        } else {
            std::vector<Value> gone(static_cast<std::size_t>(n), Value::null());
            gone[0] = Value(false);
            rows.push_back(std::move(gone));
        }
    }
    return cache_.put(pageNo, std::move(rows));
}

std::vector<Value> KeysetSource::rawRow(long index) {
    // A row past the keys known so far waits for the rest of them.
    if (index < 0 || index >= (index < readyCount() ? readyCount() : count()))
        msg::raise(msg::NoCurrentRecord);
    const auto& p = page(index / PageCache::PageRows);
    return p[static_cast<std::size_t>(index % PageCache::PageRows)];
}

std::vector<Value> KeysetSource::row(long index) {
    std::vector<Value> raw = rawRow(index);
    std::vector<Value> out;
    out.reserve(fields_.size());
    for (std::size_t i = 0; i < fields_.size(); ++i)
        out.push_back(fromStorage(raw[i + 1], fields_[i].type));
    return out;
}

bool KeysetSource::rowGone(long index) {
    return !rawRow(index)[0].toBool();
}

const ColumnMeta& KeysetSource::columnOf(int field) const {
    if (field < 0 || field >= static_cast<int>(fields_.size()))
        msg::raise(msg::BadArgument, {std::to_string(field)});
    const int col = columnOfField_[static_cast<std::size_t>(field)];
    if (!writable_) refuseWrite();
    if (col < 0) msg::raise(msg::ReadOnlyResult);
    const auto& c = table_.columns[static_cast<std::size_t>(col)];
    if (c.type.autoIncrement) msg::raise(msg::TypeMismatch, {c.name, "（自动编号字段不能修改）"});
    return c;
}

void KeysetSource::update(long index, const std::vector<std::pair<int, Value>>& changes) {
    if (!writable_) refuseWrite();
    if (changes.empty()) return;
    db_->requireWritable();
    const std::vector<Value> raw = rawRow(index);
    if (!raw[0].toBool()) msg::raise(msg::RowDeleted);

    std::string sql = "UPDATE " + quoteName(table_.name) + " SET ";
    std::vector<Value> binds;
    for (std::size_t i = 0; i < changes.size(); ++i) {
        const ColumnMeta& c = columnOf(changes[i].first);
        if (i) sql += ", ";
        sql += quoteName(c.name) + " = ?";
        binds.push_back(toStorage(changes[i].second, c));
    }
    // Optimistic locking: the row must still hold every value we read.
    sql += " WHERE rowid = ?";
    binds.emplace_back(keys_[static_cast<std::size_t>(index)]);
    for (std::size_t f = 0; f < fields_.size(); ++f) {
        const int col = columnOfField_[f];
        if (col < 0) continue;
        sql += " AND " + quoteName(table_.columns[static_cast<std::size_t>(col)].name) + " IS ?";
        binds.push_back(raw[f + 1]);
    }
    Statement st(db_->handle(), sql);
    for (std::size_t i = 0; i < binds.size(); ++i)
        st.bind(static_cast<int>(i + 1), binds[i]);
    st.run();
    if (sqlite3_changes(db_->handle()) == 0) {
        refreshRow(index);
        Statement exists(db_->handle(),
                         "SELECT 1 FROM " + quoteName(table_.name) + " WHERE rowid = ?");
        exists.bindInt(1, keys_[static_cast<std::size_t>(index)]);
        if (!exists.step()) msg::raise(msg::RowDeleted);
        msg::raise(msg::RowChanged);
    }
    refreshRow(index);
}

void KeysetSource::refreshRow(long index) {
    PageCache::Page* p = cache_.findForUpdate(index / PageCache::PageRows);
    if (!p) return;
    auto& slot = (*p)[static_cast<std::size_t>(index % PageCache::PageRows)];
    pageStmt_->reset();
    pageStmt_->bindInt(1, keys_[static_cast<std::size_t>(index)]);
    const int n = pageStmt_->columnCount();
    if (pageStmt_->step()) {
        slot[0] = Value(true);
        for (int i = 1; i < n; ++i)
            slot[static_cast<std::size_t>(i)] = pageStmt_->columnValue(i);
    } else {
        slot.assign(static_cast<std::size_t>(n), Value::null());
        slot[0] = Value(false);
    }
    pageStmt_->reset();
}

long KeysetSource::append(const std::vector<std::pair<int, Value>>& values) {
    if (!writable_) refuseWrite();
    db_->requireWritable();
    completeKeys(); // the new key goes after all others
    std::vector<bool> given(table_.columns.size(), false);
    std::string names, marks;
    std::vector<Value> binds;
    for (const auto& [field, value] : values) {
        const ColumnMeta& c = columnOf(field);
        const int col = table_.columnIndex(c.name);
        given[static_cast<std::size_t>(col)] = true;
        if (value.isEmpty()) continue;
        if (!names.empty()) {
            names += ", ";
            marks += ", ";
        }
        names += quoteName(c.name);
        marks += "?";
        binds.push_back(toStorage(value, c));
    }
    // Required columns the user left out get Jet's message, not SQLite's.
    for (std::size_t i = 0; i < table_.columns.size(); ++i) {
        const auto& c = table_.columns[i];
        if (c.required && !c.type.autoIncrement && !c.defaultJet && !given[i] &&
            c.type.code != adtype::Boolean)
            msg::raise(msg::Required, {c.name});
    }
    const std::string sql =
        names.empty()
            ? "INSERT INTO " + quoteName(table_.name) + " DEFAULT VALUES"
            : "INSERT INTO " + quoteName(table_.name) + " (" + names + ") VALUES (" + marks + ")";
    Statement st(db_->handle(), sql);
    for (std::size_t i = 0; i < binds.size(); ++i)
        st.bind(static_cast<int>(i + 1), binds[i]);
    st.run();
    keys_.push_back(sqlite3_last_insert_rowid(db_->handle()));
    cache_.drop((count() - 1) / PageCache::PageRows);
    return count() - 1;
}

void KeysetSource::remove(long index) {
    if (!writable_) refuseWrite();
    if (index < 0 || index >= count()) msg::raise(msg::NoCurrentRecord);
    db_->requireWritable();
    Statement st(db_->handle(), "DELETE FROM " + quoteName(table_.name) + " WHERE rowid = ?");
    st.bindInt(1, keys_[static_cast<std::size_t>(index)]);
    st.run();
    keys_.erase(keys_.begin() + index);
    cache_.clear();
}

// ---- QuerySource -----------------------------------------------------------

QuerySource::QuerySource(std::shared_ptr<Database> db, std::string sqliteSql,
                         const std::vector<std::string>& currencyColumns)
    : db_(std::move(db)), sql_(std::move(sqliteSql)) {
    sqlite3* h = db_->handle();
    Statement probe(h, sql_);
    const bool hasRow = probe.step();
    for (int i = 0; i < probe.columnCount(); ++i) {
        FieldInfo f;
        f.name = probe.columnName(i);
        f.type = adtype::Variant;
        const std::string table = probe.originTable(i);
        if (!table.empty()) {
            if (auto meta = db_->table(table)) {
                if (const auto* c = meta->column(probe.originColumn(i))) {
                    f.type = c->type.code;
                    f.definedSize = c->type.size;
                    f.autoIncrement = c->type.autoIncrement;
                    f.required = c->required;
                }
            }
        }
        if (f.type == adtype::Variant)
            for (const auto& name : currencyColumns)
                if (sameName(name, f.name)) f.type = adtype::Currency;
        if (f.type == adtype::Variant && hasRow) f.type = adTypeOfStorage(probe.columnValue(i));
        fields_.push_back(std::move(f));
    }
    Statement counter(h, "SELECT count(*) FROM (" + sql_ + ")");
    if (counter.step()) count_ = static_cast<long>(counter.columnInt(0));
    pageStmt_ = std::make_unique<Statement>(h, "SELECT * FROM (" + sql_ + ") LIMIT ?1 OFFSET ?2");
}

std::vector<Value> QuerySource::row(long index) {
    if (index < 0 || index >= count_) msg::raise(msg::NoCurrentRecord);
    const long pageNo = index / PageCache::PageRows;
    const PageCache::Page* p = cache_.find(pageNo);
    if (!p) {
        pageStmt_->reset();
        pageStmt_->bindInt(1, PageCache::PageRows);
        pageStmt_->bindInt(2, pageNo * PageCache::PageRows);
        PageCache::Page rows;
        const int n = pageStmt_->columnCount();
        while (pageStmt_->step()) {
            std::vector<Value> r;
            for (int i = 0; i < n && i < static_cast<int>(fields_.size()); ++i)
                r.push_back(fromStorage(pageStmt_->columnValue(i),
                                        fields_[static_cast<std::size_t>(i)].type));
            rows.push_back(std::move(r));
        }
        pageStmt_->reset();
        p = &cache_.put(pageNo, std::move(rows));
    }
    const auto offset = static_cast<std::size_t>(index % PageCache::PageRows);
    if (offset >= p->size()) return std::vector<Value>(fields_.size(), Value::null());
    return (*p)[offset];
}

} // namespace engine
