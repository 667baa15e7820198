// Jet DDL carried out on SQLite (see DdlRunner.h).

#include "DdlRunner.h"

#include "Convert.h"
#include "Database.h"
#include "engine/base/Messages.h"
#include "engine/sqlite/SqliteDb.h"

#include <algorithm>
#include <random>

namespace engine {

using sqlite::quoteName;
using sqlite::Statement;

namespace {

// Jet names keys it makes up itself "Index_" followed by hex digits.
std::string generatedKeyName(const TableMeta& meta) {
    static std::mt19937 rng{std::random_device{}()};
    for (;;) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "Index_%08X_%04X", static_cast<unsigned>(rng()),
                      static_cast<unsigned>(rng() & 0xFFFF));
        if (meta.keyIndex(buf) < 0) return buf;
    }
}

// The engine's own tables are read-only to statements.
void refuseSystemTable(const std::string& name) {
    if (metadata::isSystemName(name)) msg::raise(msg::SystemTable, {name});
}

// A new table or query may not take a name the engine reserves for itself.
void refuseReservedName(const std::string& name) {
    if (metadata::isSystemName(name)) msg::raise(msg::ReservedName, {name});
}

void checkName(const std::string& name) {
    if (name.empty() || name.size() > 192 || name.find_first_of("[]!`.\"") != std::string::npos ||
        name.front() == ' ')
        msg::raise(msg::BadName, {name});
    for (unsigned char c : name)
        if (c < 0x20) msg::raise(msg::BadName, {name});
}

ColumnMeta columnFrom(const sql::ColumnDef& def) {
    checkName(def.name);
    ColumnMeta c;
    c.name = def.name;
    c.type = resolveType(def.type, def.name);
    c.required = def.notNull;
    c.defaultJet = def.defaultJet;
    if (c.defaultJet) sql::translateExpression(*c.defaultJet); // refuse a bad default now
    return c;
}

KeyMeta keyFrom(const sql::TableConstraint& tc, const TableMeta& meta) {
    KeyMeta k;
    k.name = tc.name.empty() ? generatedKeyName(meta) : tc.name;
    switch (tc.kind) {
    case sql::TableConstraint::Kind::PrimaryKey:
        k.type = KeyMeta::Primary;
        k.unique = true;
        break;
    case sql::TableConstraint::Kind::Unique:
        k.type = KeyMeta::Unique;
        k.unique = true;
        break;
    case sql::TableConstraint::Kind::ForeignKey:
        k.type = KeyMeta::Foreign;
        break;
    }
    if (tc.columns.empty()) msg::raise(msg::Syntax, {"约束“" + k.name + "”没有字段"});
    for (const auto& c : tc.columns) {
        const auto* col = meta.column(c);
        if (!col) msg::raise(msg::UnknownField, {c});
        k.columns.push_back(col->name);
    }
    k.descending.assign(k.columns.size(), false);
    k.refTable = tc.refTable;
    k.refColumns = tc.refColumns;
    return k;
}

// Adds a key, enforcing one primary key per table and unique key names.
void addKey(TableMeta& meta, KeyMeta key) {
    if (key.type == KeyMeta::Primary && meta.primaryKey())
        msg::raise(msg::SecondPrimaryKey, {meta.name});
    if (meta.keyIndex(key.name) >= 0) msg::raise(msg::QueryExists, {key.name});
    meta.keys.push_back(std::move(key));
}

void addColumnKeys(TableMeta& meta, const sql::ColumnDef& def) {
    if (def.primaryKey) {
        sql::TableConstraint tc;
        tc.kind = sql::TableConstraint::Kind::PrimaryKey;
        tc.name = def.constraintName;
        tc.columns = {def.name};
        addKey(meta, keyFrom(tc, meta));
    }
    if (def.unique) {
        sql::TableConstraint tc;
        tc.kind = sql::TableConstraint::Kind::Unique;
        tc.name = def.primaryKey ? std::string() : def.constraintName;
        tc.columns = {def.name};
        addKey(meta, keyFrom(tc, meta));
    }
}

void addColumn(TableMeta& meta, ColumnMeta c) {
    if (meta.column(c.name)) msg::raise(msg::FieldExists, {c.name});
    if (c.type.autoIncrement && meta.hasAutoIncrement())
        msg::raise(msg::SecondAutoNumber, {meta.name});
    meta.columns.push_back(std::move(c));
}

bool nameTaken(sqlite3* db, const std::string& name) {
    Statement st(db, "SELECT 1 FROM sqlite_master WHERE type IN ('table','view') AND name=?1 "
                     "COLLATE NOCASE");
    st.bindText(1, name);
    return st.step() || metadata::findQuery(db, name).has_value();
}

// Creates the table, its keys and counter triggers from its description.
void materialize(sqlite3* db, const TableMeta& meta, const std::string& sqliteName) {
    sqlite::exec(db, metadata::createTableSql(meta, sqliteName));
}

void finish(sqlite3* db, const TableMeta& meta) {
    metadata::save(db, meta);
    for (const auto& s : metadata::createIndexSql(meta))
        sqlite::exec(db, s);
    for (const auto& s : metadata::createTriggerSql(meta))
        sqlite::exec(db, s);
}

} // namespace

DdlRunner::DdlRunner(Database& db) : db_(db), h_(db.handle()) {}

std::vector<DdlRunner::ColumnSource> DdlRunner::sameColumns(const TableMeta& old) {
    std::vector<ColumnSource> sources;
    for (std::size_t i = 0; i < old.columns.size(); ++i)
        sources.push_back({static_cast<int>(i), false});
    return sources;
}

void DdlRunner::operator()(const sql::CreateTable& ct) {
    checkName(ct.name);
    refuseReservedName(ct.name);
    if (nameTaken(h_, ct.name)) msg::raise(msg::TableExists, {ct.name});
    if (ct.columns.empty()) msg::raise(msg::Syntax, {"表“" + ct.name + "”至少需要一个字段"});
    TableMeta meta;
    meta.name = ct.name;
    for (const auto& def : ct.columns)
        addColumn(meta, columnFrom(def));
    for (const auto& def : ct.columns)
        addColumnKeys(meta, def);
    for (const auto& tc : ct.constraints)
        addKey(meta, keyFrom(tc, meta));
    sqlite::Transaction tx(h_);
    metadata::ensure(h_);
    materialize(h_, meta, meta.name);
    finish(h_, meta);
    db_.refreshViews();
    tx.commit();
}

void DdlRunner::operator()(const sql::DropTable& dt) {
    auto meta = db_.table(dt.name);
    if (!meta) msg::raise(msg::UnknownTable, {dt.name});
    refuseSystemTable(meta->name);
    sqlite::Transaction tx(h_);
    sqlite::exec(h_, "DROP TABLE " + quoteName(meta->name));
    metadata::remove(h_, meta->name);
    tx.commit();
}

void DdlRunner::operator()(const sql::AlterTable& at) {
    TableMeta old = db_.requireTable(at.table);
    refuseSystemTable(old.name);
    TableMeta meta = old;
    std::vector<ColumnSource> sources = sameColumns(old);

    using A = sql::AlterTable::Action;
    switch (at.action) {
    case A::AddColumn: {
        ColumnMeta c = columnFrom(at.column);
        addColumn(meta, c);
        sources.push_back({-1, false});
        addColumnKeys(meta, at.column);
        if (c.required && !c.defaultJet && rowCount(old.name) > 0)
            msg::raise(msg::Required, {c.name});
        break;
    }
    case A::AlterColumn: {
        const int idx = meta.columnIndex(at.column.name);
        if (idx < 0) msg::raise(msg::UnknownField, {at.column.name});
        ColumnMeta c = columnFrom(at.column);
        c.name = meta.columns[static_cast<std::size_t>(idx)].name;
        if (c.type.autoIncrement &&
            !meta.columns[static_cast<std::size_t>(idx)].type.autoIncrement &&
            meta.hasAutoIncrement())
            msg::raise(msg::SecondAutoNumber, {meta.name});
        meta.columns[static_cast<std::size_t>(idx)] = c;
        sources[static_cast<std::size_t>(idx)].convert = true;
        if (at.column.primaryKey) {
            const KeyMeta* pk = meta.primaryKey();
            if (pk && !(pk->columns.size() == 1 && sameName(pk->columns[0], c.name)))
                msg::raise(msg::SecondPrimaryKey, {meta.name});
            if (!pk) {
                sql::ColumnDef def = at.column;
                def.unique = false;
                addColumnKeys(meta, def);
            }
        }
        if (at.column.unique) {
            sql::ColumnDef def = at.column;
            def.primaryKey = false;
            addColumnKeys(meta, def);
        }
        break;
    }
    case A::DropColumn: {
        const int idx = meta.columnIndex(at.name);
        if (idx < 0) msg::raise(msg::UnknownField, {at.name});
        if (meta.columns.size() == 1) msg::raise(msg::LastColumn, {meta.name});
        const std::string colName = meta.columns[static_cast<std::size_t>(idx)].name;
        for (const auto& k : meta.keys)
            for (const auto& kc : k.columns)
                if (sameName(kc, colName)) msg::raise(msg::ColumnInIndex, {colName, k.name});
        meta.columns.erase(meta.columns.begin() + idx);
        sources.erase(sources.begin() + idx);
        break;
    }
    case A::AddConstraint:
        addKey(meta, keyFrom(at.constraint, meta));
        break;
    case A::DropConstraint: {
        const int k = meta.keyIndex(at.name);
        if (k < 0) msg::raise(msg::UnknownConstraint, {meta.name, at.name});
        meta.keys.erase(meta.keys.begin() + k);
        break;
    }
    }
    rebuild(old, meta, sources);
}

void DdlRunner::operator()(const sql::CreateIndex& ci) {
    TableMeta old = db_.requireTable(ci.table);
    refuseSystemTable(old.name);
    TableMeta meta = old;
    checkName(ci.name);
    KeyMeta k;
    k.name = ci.name;
    k.type = ci.primary ? KeyMeta::Primary : KeyMeta::Index;
    k.unique = ci.unique || ci.primary;
    for (const auto& part : ci.columns) {
        const auto* col = meta.column(part.column);
        if (!col) msg::raise(msg::UnknownField, {part.column});
        k.columns.push_back(col->name);
        k.descending.push_back(part.descending);
    }
    if (ci.disallowNull)
        for (auto& c : meta.columns)
            for (const auto& kc : k.columns)
                if (sameName(kc, c.name)) c.required = true;
    addKey(meta, std::move(k));
    rebuildSameColumns(old, meta);
}

void DdlRunner::operator()(const sql::DropIndex& di) {
    TableMeta old = db_.requireTable(di.table);
    refuseSystemTable(old.name);
    TableMeta meta = old;
    const int k = meta.keyIndex(di.name);
    if (k < 0) msg::raise(msg::UnknownConstraint, {meta.name, di.name});
    meta.keys.erase(meta.keys.begin() + k);
    rebuildSameColumns(old, meta);
}

void DdlRunner::operator()(const sql::CreateProcedure& cp) {
    checkName(cp.name);
    refuseReservedName(cp.name);
    if (nameTaken(h_, cp.name)) msg::raise(msg::QueryExists, {cp.name});
    const auto kind = sql::classify(cp.body);
    const bool isSelect = kind == sql::StatementKind::Select;
    if (kind == sql::StatementKind::Empty || kind == sql::StatementKind::Other ||
        kind == sql::StatementKind::BareName)
        msg::raise(msg::Syntax, {cp.body});
    if (cp.isView && !isSelect)
        msg::raise(msg::Syntax, {"CREATE VIEW 只能保存 SELECT 查询：" + cp.body});
    std::string sqliteSql;
    // A parameter or crosstab query is kept as text only and read in
    // place when it runs: its values and columns come at that time.
    bool asView = isSelect;
    if (isSelect || kind == sql::StatementKind::Insert || kind == sql::StatementKind::Update ||
        kind == sql::StatementKind::Delete || kind == sql::StatementKind::SelectInto) {
        sql::TranslateOptions check;
        check.listMissing = true;
        check.distinctValues = [](const std::string&) {
            return std::vector<std::pair<std::string, std::string>>{};
        };
        // Refuses what cannot be read, and a query that uses itself.
        const sql::Translation t = db_.translate(cp.body, true, std::move(check));
        refuseSelfReference(cp.name, t.tables);
        db_.rejectSqliteDialect(cp.body, t);
        sqliteSql = t.sqlite;
        asView =
            isSelect && t.parameters.empty() && sql::queryKindOf(cp.body).rfind("交叉表", 0) != 0;
        if (asView) db_.checkUserSql(t.sqlite);
    } else {
        sql::parseDdl(cp.body);
    }
    sqlite::Transaction tx(h_);
    metadata::ensure(h_);
    metadata::saveQuery(h_, {cp.name, cp.body, isSelect});
    if (asView) sqlite::exec(h_, "CREATE VIEW " + quoteName(cp.name) + " AS " + sqliteSql);
    tx.commit();
}

void DdlRunner::operator()(const sql::DropProcedure& dp) {
    auto q = metadata::findQuery(h_, dp.name);
    if (!q) msg::raise(msg::UnknownQuery, {dp.name});
    sqlite::Transaction tx(h_);
    sqlite::exec(h_, "DROP VIEW IF EXISTS " + quoteName(q->name));
    metadata::removeQuery(h_, q->name);
    tx.commit();
}

void DdlRunner::renameTable(const std::string& from, const std::string& to) {
    TableMeta old = db_.requireTable(from);
    refuseSystemTable(old.name);
    checkName(to);
    refuseReservedName(to);
    if (!sameName(from, to) && nameTaken(h_, to)) msg::raise(msg::TableExists, {to});
    TableMeta meta = old;
    meta.name = to;
    std::vector<ColumnSource> sources = sameColumns(old);
    sqlite::Transaction tx(h_);
    renameInQueries(old.name, to);
    rebuild(old, meta, sources);
    tx.commit();
}

void DdlRunner::renameColumn(const std::string& table, const std::string& from,
                             const std::string& to) {
    TableMeta old = db_.requireTable(table);
    refuseSystemTable(old.name);
    const int idx = old.columnIndex(from);
    if (idx < 0) msg::raise(msg::UnknownField, {from});
    checkName(to);
    const std::string oldName = old.columns[static_cast<std::size_t>(idx)].name;
    if (!sameName(oldName, to) && old.column(to)) msg::raise(msg::FieldExists, {to});
    TableMeta meta = old;
    meta.columns[static_cast<std::size_t>(idx)].name = to;
    for (auto& k : meta.keys)
        for (auto& kc : k.columns)
            if (sameName(kc, oldName)) kc = to;
    std::vector<ColumnSource> sources = sameColumns(old);
    sqlite::Transaction tx(h_);
    renameInQueries(oldName, to, old.name);
    rebuild(old, meta, sources);
    tx.commit();
}

void DdlRunner::refuseSelfReference(const std::string& name,
                                    const std::vector<std::string>& tables) {
    std::vector<std::string> pending = tables, seen;
    while (!pending.empty()) {
        const std::string t = pending.back();
        pending.pop_back();
        if (sameName(t, name)) msg::raise(msg::SelfReference, {name});
        bool known = false;
        for (const auto& s : seen)
            if (sameName(s, t)) known = true;
        if (known || seen.size() > 1000) continue;
        seen.push_back(t);
        auto q = metadata::findQuery(h_, t);
        if (!q) continue;
        try {
            for (const auto& u : sql::translate(q->jet).tables)
                pending.push_back(u);
        } catch (const EngineError&) {
        }
    }
}

long DdlRunner::rowCount(const std::string& table) {
    Statement st(h_, "SELECT count(*) FROM " + quoteName(table));
    return st.step() ? static_cast<long>(st.columnInt(0)) : 0;
}

void DdlRunner::renameInQueries(const std::string& from, const std::string& to,
                                const std::string& columnOf) {
    for (auto q : metadata::queries(h_)) {
        std::string renamed = columnOf.empty() ? sql::renameIdentifier(q.jet, from, to)
                                               : sql::renameColumn(q.jet, columnOf, from, to);
        if (renamed != q.jet) {
            q.jet = renamed;
            metadata::saveQuery(h_, q);
        }
    }
}

void DdlRunner::rebuildSameColumns(const TableMeta& old, const TableMeta& meta) {
    rebuild(old, meta, sameColumns(old));
}

void DdlRunner::rebuild(const TableMeta& old, const TableMeta& newMeta,
                        const std::vector<ColumnSource>& newSources) {
    // The rebuilt table keeps Currency exactly; REAL amounts of an older
    // file are converted on the way.
    TableMeta meta = newMeta;
    for (auto& c : meta.columns)
        c.type.legacyReal = false;
    std::vector<ColumnSource> sources = newSources;
    for (auto& s : sources)
        if (s.oldIndex >= 0 && old.columns[static_cast<std::size_t>(s.oldIndex)].type.legacyReal)
            s.convert = true;
    sqlite::Transaction tx(h_);
    metadata::ensure(h_);
    // A name no table has: a user's table may be called anything.
    std::string tmp = "__tk_rebuild_" + meta.name;
    for (int n = 2; nameTaken(h_, tmp); ++n)
        tmp = "__tk_rebuild_" + meta.name + "_" + std::to_string(n);
    materialize(h_, meta, tmp);

    bool anyConvert = false;
    std::string newCols, oldCols;
    for (std::size_t i = 0; i < meta.columns.size(); ++i) {
        const auto& s = sources[i];
        if (s.oldIndex < 0) continue;
        anyConvert = anyConvert || s.convert;
        if (!newCols.empty()) {
            newCols += ", ";
            oldCols += ", ";
        }
        newCols += quoteName(meta.columns[i].name);
        oldCols += quoteName(old.columns[static_cast<std::size_t>(s.oldIndex)].name);
    }
    if (!newCols.empty()) {
        if (!anyConvert) {
            sqlite::exec(h_, "INSERT INTO " + quoteName(tmp) + " (rowid, " + newCols +
                                 ") SELECT rowid, " + oldCols + " FROM " + quoteName(old.name));
        } else {
            copyConverting(old, meta, sources, tmp, newCols, oldCols);
        }
    }
    numberNewCounters(old, meta, sources, tmp);
    sqlite::exec(h_, "DROP TABLE " + quoteName(old.name));
    sqlite::exec(h_, "ALTER TABLE " + quoteName(tmp) + " RENAME TO " + quoteName(meta.name));
    if (old.name != meta.name) {
        // Move the description to the new name, keeping the counters' next values.
        for (const char* t : {"MSysColumns", "MSysKeys"}) {
            Statement st(h_, std::string("UPDATE ") + t + " SET TableName=?1 WHERE TableName=?2");
            st.bindText(1, meta.name);
            st.bindText(2, old.name);
            st.run();
        }
    }
    finish(h_, meta);
    db_.refreshViews();
    tx.commit();
}

void DdlRunner::copyConverting(const TableMeta& old, const TableMeta& meta,
                               const std::vector<ColumnSource>& sources, const std::string& tmp,
                               const std::string& newCols, const std::string& oldCols) {
    Statement read(h_, "SELECT rowid, " + oldCols + " FROM " + quoteName(old.name));
    std::string marks = "?";
    std::vector<std::size_t> targets;
    for (std::size_t i = 0; i < meta.columns.size(); ++i)
        if (sources[i].oldIndex >= 0) {
            marks += ",?";
            targets.push_back(i);
        }
    Statement write(h_, "INSERT INTO " + quoteName(tmp) + " (rowid, " + newCols + ") VALUES (" +
                            marks + ")");
    while (read.step()) {
        write.reset();
        write.bindInt(1, read.columnInt(0));
        for (std::size_t j = 0; j < targets.size(); ++j) {
            const auto& target = meta.columns[targets[j]];
            const auto& s = sources[targets[j]];
            Value raw = read.columnValue(static_cast<int>(j + 1));
            if (s.convert) {
                const auto& from = old.columns[static_cast<std::size_t>(s.oldIndex)];
                Value v = fromStorage(raw, from.type.code);
                if (target.type.autoIncrement && v.isNull()) {
                    write.bindNull(static_cast<int>(j + 2));
                    continue;
                }
                try {
                    raw = toStorage(v, target);
                } catch (const EngineError&) {
                    msg::raise(msg::ConvertFailed, {target.name, v.toText(), target.type.word});
                }
            }
            write.bind(static_cast<int>(j + 2), raw);
        }
        write.run();
    }
}

void DdlRunner::numberNewCounters(const TableMeta& old, const TableMeta& meta,
                                  const std::vector<ColumnSource>& sources,
                                  const std::string& tmp) {
    for (std::size_t i = 0; i < meta.columns.size(); ++i) {
        const auto& c = meta.columns[i];
        const bool wasCounter =
            sources[i].oldIndex >= 0 &&
            old.columns[static_cast<std::size_t>(sources[i].oldIndex)].type.autoIncrement;
        if (!c.type.autoIncrement || wasCounter) continue;
        std::vector<std::int64_t> rows;
        {
            Statement st(h_, "SELECT rowid FROM " + quoteName(tmp) + " WHERE " + quoteName(c.name) +
                                 " IS NULL ORDER BY rowid");
            while (st.step())
                rows.push_back(st.columnInt(0));
        }
        long long next = c.type.seed;
        {
            Statement mx(h_, "SELECT max(" + quoteName(c.name) + ") FROM " + quoteName(tmp));
            if (mx.step() && mx.columnType(0) != SQLITE_NULL)
                next = std::max<long long>(next, mx.columnInt(0) + c.type.increment);
        }
        Statement up(h_, "UPDATE " + quoteName(tmp) + " SET " + quoteName(c.name) +
                             " = ? WHERE rowid = ?");
        for (auto r : rows) {
            up.reset();
            up.bindInt(1, next);
            up.bindInt(2, r);
            up.run();
            next += c.type.increment;
        }
        pendingNext_.emplace_back(c.name, next);
    }
    // metadata::save keeps NextValue by column name; set the new ones after.
    if (!pendingNext_.empty()) {
        metadata::save(h_, meta);
        for (const auto& [col, next] : pendingNext_) {
            Statement st(
                h_, "UPDATE MSysColumns SET NextValue=?1 WHERE TableName=?2 AND ColumnName=?3");
            st.bindInt(1, next);
            st.bindText(2, meta.name);
            st.bindText(3, col);
            st.run();
        }
        pendingNext_.clear();
    }
}

void DdlRunner::selectInto(const sql::Translation& t, long* affected) {
    checkName(t.intoTable);
    refuseReservedName(t.intoTable);
    if (nameTaken(h_, t.intoTable)) msg::raise(msg::TableExists, {t.intoTable});
    TableMeta meta;
    meta.name = t.intoTable;
    {
        Statement probe(h_, t.sqlite);
        const bool hasRow = probe.step();
        for (int i = 0; i < probe.columnCount(); ++i) {
            ColumnMeta c;
            c.name = probe.columnName(i);
            const ColumnMeta* origin = nullptr;
            std::optional<TableMeta> src;
            if (!probe.originTable(i).empty()) {
                src = db_.table(probe.originTable(i));
                if (src) origin = src->column(probe.originColumn(i));
            }
            if (origin) {
                c.type = origin->type;
                c.type.autoIncrement = false; // a made table holds the numbers as Long
                if (origin->type.autoIncrement) c.type.word = "Long";
            } else {
                int code = hasRow ? adTypeOfStorage(probe.columnValue(i)) : adtype::VarWChar;
                if (code == adtype::Variant) code = adtype::VarWChar;
                c.type.code = code == adtype::VarWChar ? adtype::LongVarWChar : code;
                c.type.word = code == adtype::Integer         ? "Long"
                              : code == adtype::Double        ? "Double"
                              : code == adtype::LongVarBinary ? "LongBinary"
                                                              : "Memo";
                c.type.size = code == adtype::Integer ? 4 : code == adtype::Double ? 8 : 0;
            }
            if (meta.column(c.name)) c.name += "_" + std::to_string(i);
            meta.columns.push_back(std::move(c));
        }
    }
    sqlite::Transaction tx(h_);
    metadata::ensure(h_);
    materialize(h_, meta, meta.name);
    Statement ins(h_, "INSERT INTO " + quoteName(meta.name) + " " + t.sqlite);
    ins.run();
    if (affected) *affected = sqlite3_changes(h_);
    finish(h_, meta);
    tx.commit();
}

} // namespace engine
