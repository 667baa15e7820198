// Genuine Jet .mdb files: read by the Jet reader and copied into an
// in-memory SQLite database, where every statement, recordset and catalogue
// call works exactly as on the engine's own files. The file itself is never
// written; the copy is read-only.

#include "Database.h"

#include "engine/Messages.h"
#include "engine/jet/JetFile.h"
#include "engine/sql/JetFunctions.h"
#include "engine/sqlite/SqliteDb.h"

namespace engine {

using sqlite::quoteName;
using sqlite::Statement;

namespace {

std::string typeWord(const jet::ColumnDef& c) {
    switch (c.adoType) {
    case adtype::VarWChar:
    case adtype::WChar:
        return "Text(" + std::to_string(c.size > 0 ? c.size : 255) + ")";
    case adtype::LongVarWChar:
        return "Memo";
    case adtype::Integer:
        return c.autoNumber ? "Counter" : "Long";
    case adtype::BigInt:
        return "BigInt";
    case adtype::SmallInt:
        return "Short";
    case adtype::UnsignedTinyInt:
        return "Byte";
    case adtype::Single:
        return "Single";
    case adtype::Double:
        return "Double";
    case adtype::Currency:
        return "Currency";
    case adtype::Date:
        return "DateTime";
    case adtype::Boolean:
        return "Bit";
    case adtype::VarBinary:
        return "Binary(" + std::to_string(c.size > 0 ? c.size : 255) + ")";
    case adtype::LongVarBinary:
        return "LongBinary";
    case adtype::GUID:
        return "GUID";
    case adtype::Numeric:
        return "Numeric(" + std::to_string(c.precision) + "," + std::to_string(c.scale) + ")";
    default:
        return "Memo";
    }
}

TableMeta metaFor(const jet::TableDef& def) {
    TableMeta meta;
    meta.name = def.name;
    for (const auto& c : def.columns) {
        ColumnMeta col;
        col.name = c.name;
        col.type.word = typeWord(c);
        col.type.code = c.adoType ? c.adoType : adtype::LongVarWChar;
        col.type.size = c.size;
        col.type.precision = c.precision;
        col.type.scale = c.scale;
        // Only a long counter numbers rows here; a generated GUID is just a value.
        col.type.autoIncrement = c.autoNumber && c.adoType == adtype::Integer;
        col.required = c.required;
        meta.columns.push_back(std::move(col));
    }
    for (const auto& ix : def.indexes) {
        KeyMeta k;
        k.name = ix.name;
        k.type = ix.primary   ? KeyMeta::Primary
                 : ix.foreign ? KeyMeta::Foreign
                 : ix.unique  ? KeyMeta::Unique
                              : KeyMeta::Index;
        k.unique = ix.unique || ix.primary;
        k.columns = ix.columns;
        k.descending = ix.descending;
        k.descending.resize(k.columns.size(), false);
        if (k.columns.empty() || meta.keyIndex(k.name) >= 0) continue;
        if (k.type == KeyMeta::Primary && meta.primaryKey()) continue;
        meta.keys.push_back(std::move(k));
    }
    return meta;
}

void importTable(sqlite3* db, const jet::JetFile& file, const jet::TableDef& def) {
    const TableMeta meta = metaFor(def);
    // Created without NOT NULL and type checks: the rows are the file's, as
    // they are, even where an old row breaks a rule added later.
    TableMeta loose = meta;
    for (auto& c : loose.columns)
        c.required = false;
    loose.keys.clear();
    sqlite::exec(db, metadata::createTableSql(loose, meta.name));

    std::string marks;
    for (std::size_t i = 0; i < meta.columns.size(); ++i)
        marks += i ? ",?" : "?";
    Statement ins(db, "INSERT INTO " + quoteName(meta.name) + " VALUES (" + marks + ")");
    file.forEachRow(def.name, [&](const std::vector<Value>& row) {
        ins.reset();
        for (std::size_t i = 0; i < meta.columns.size(); ++i)
            ins.bind(static_cast<int>(i + 1), i < row.size() ? row[i] : Value::null());
        ins.run();
        return true;
    });
    metadata::save(db, meta);
    for (const auto& s : metadata::createIndexSql(meta)) {
        // A key the rows no longer satisfy is kept in the description only.
        try {
            sqlite::exec(db, s);
        } catch (const EngineError&) {
        }
    }
    for (const auto& c : meta.columns) {
        if (!c.type.autoIncrement) continue;
        Statement next(db, "UPDATE MSysColumns SET NextValue = (SELECT coalesce(max(" +
                               quoteName(c.name) + "), 0) + 1 FROM " + quoteName(meta.name) +
                               ") WHERE TableName=?1 AND ColumnName=?2");
        next.bindText(1, meta.name);
        next.bindText(2, c.name);
        next.run();
    }
}

} // namespace

std::shared_ptr<Database> Database::openJet(const std::string& path, const std::string& password) {
    jet::JetFile file = jet::JetFile::open(path, password);
    std::shared_ptr<Database> d(new Database());
    d->path_ = path;
    d->readOnly_ = true;
    d->jetFile_ = true;
    int rc =
        sqlite3_open_v2(":memory:", &d->db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) msg::raiseWithDetail(msg::CannotOpen, {path}, sqlite3_errstr(rc));
    sql::registerJetFunctions(d->db_);
    sqlite::Transaction tx(d->db_);
    metadata::ensure(d->db_);
    for (const auto& entry : file.catalog()) {
        if (entry.kind != jet::ObjectKind::Table || metadata::isSystemName(entry.name)) continue;
        importTable(d->db_, file, file.table(entry.name));
    }
    for (const auto& q : file.queries()) {
        const bool select = q.kind == jet::QueryKind::Select || q.kind == jet::QueryKind::Union;
        if (metadata::findQuery(d->db_, q.name)) continue;
        metadata::saveQuery(d->db_, {q.name, q.sql, select});
    }
    // Saved select queries become views where the translator can read them;
    // the others stay stored and listed by the command-line tool only.
    d->refreshViews();
    // A saved query whose rebuilt text does not run here (a union whose
    // parts the file keeps elsewhere, ...) is not offered as a view.
    for (const auto& q : metadata::queries(d->db_)) {
        if (!q.isSelect) continue;
        try {
            Statement probe(d->db_, "SELECT * FROM " + quoteName(q.name) + " LIMIT 0");
        } catch (const EngineError&) {
            sqlite::exec(d->db_, "DROP VIEW IF EXISTS " + quoteName(q.name));
        }
    }
    tx.commit();
    return d;
}

} // namespace engine
