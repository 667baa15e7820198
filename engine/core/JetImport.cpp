// Genuine Jet .mdb files: each table of the file is a virtual table read in
// place (JetTables.h), in an in-memory SQLite database that holds only the
// engine's description of the tables and the saved queries. Every statement,
// recordset and catalogue call works as on the engine's own files. A Jet 4
// .mdb file that can be written is opened with a page store (JetPageStore.h)
// through which the virtual tables change its rows; its tables and saved
// queries stay as they are.
//
// Jet's own system tables (MSysObjects, MSysQueries, ...) live in the temp
// schema, which SQLite searches first: a statement naming them reads the
// file's, while the engine reads its description through main.

#include "Database.h"
#include "JetTables.h"

#include "engine/base/Ascii.h"
#include "engine/base/Messages.h"
#include "engine/jet/JetFile.h"
#include "engine/jet/JetPageStore.h"
#include "engine/sql/JetFunctions.h"
#include "engine/sqlite/SqliteDb.h"

#include <algorithm>
#include <filesystem>
#include <regex>

#include <stdlib.h>

namespace engine {

using sqlite::quoteName;
using sqlite::Statement;

namespace {

// One relationship of MSysRelationships: the table holding the foreign key,
// its columns, and the table and columns it refers to.
struct Relationship {
    std::string name, table, refTable;
    std::vector<std::pair<std::int64_t, std::pair<std::string, std::string>>> columns;
};

std::vector<Relationship> relationshipsOf(const jet::JetFile& file) {
    std::vector<Relationship> out;
    try {
        const jet::TableDef def = file.table("MSysRelationships");
        const int cName = def.columnIndex("szRelationship"), cObject = def.columnIndex("szObject"),
                  cColumn = def.columnIndex("szColumn"),
                  cRefObject = def.columnIndex("szReferencedObject"),
                  cRefColumn = def.columnIndex("szReferencedColumn"),
                  cOrder = def.columnIndex("icolumn");
        if (cName < 0 || cObject < 0 || cColumn < 0 || cRefObject < 0 || cRefColumn < 0) return out;
        file.forEachRow(def.name, [&](const std::vector<Value>& row) {
            const std::string name = row[cName].toText();
            auto it = std::find_if(out.begin(), out.end(),
                                   [&](const Relationship& r) { return r.name == name; });
            if (it == out.end()) {
                out.push_back({name, row[cObject].toText(), row[cRefObject].toText(), {}});
                it = out.end() - 1;
            }
            const std::int64_t order = cOrder >= 0 ? row[cOrder].toInt() : 0;
            it->columns.push_back({order, {row[cColumn].toText(), row[cRefColumn].toText()}});
            return true;
        });
    } catch (const EngineError&) {
        // No relationships (or a damaged list of them): the tables still open.
    }
    for (auto& r : out)
        std::stable_sort(r.columns.begin(), r.columns.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
    return out;
}

// The table's foreign keys as its relationships describe them: the
// referring table holds the key and names the table it refers to; the
// referred-to table holds none.
void applyRelationships(TableMeta& meta, const std::vector<Relationship>& all) {
    for (const auto& r : all) {
        const bool holder = sameName(r.table, meta.name);
        const int at = meta.keyIndex(r.name);
        if (!holder) {
            // The referred-to side keeps an index of its own for the
            // relationship (named ".rB", ...): not a foreign key of its.
            if (!sameName(r.refTable, meta.name)) continue;
            std::vector<std::string> refColumns;
            for (const auto& [order, cols] : r.columns)
                refColumns.push_back(cols.second);
            std::erase_if(meta.keys, [&](const KeyMeta& k) {
                if (k.type != KeyMeta::Foreign || k.columns.size() != refColumns.size())
                    return false;
                for (std::size_t i = 0; i < refColumns.size(); ++i)
                    if (!sameName(k.columns[i], refColumns[i])) return false;
                return true;
            });
            continue;
        }
        KeyMeta k;
        k.name = r.name;
        k.type = KeyMeta::Foreign;
        for (const auto& [order, cols] : r.columns) {
            k.columns.push_back(cols.first);
            k.refColumns.push_back(cols.second);
        }
        k.descending.assign(k.columns.size(), false);
        k.refTable = r.refTable;
        if (at >= 0 && meta.keys[static_cast<std::size_t>(at)].type == KeyMeta::Foreign)
            meta.keys[static_cast<std::size_t>(at)] = std::move(k);
        else if (at < 0)
            meta.keys.push_back(std::move(k));
    }
}

} // namespace

bool Database::jetWritable() const {
    return jetSource_ && jetSource_->store();
}

std::shared_ptr<Database> Database::openJet(const std::string& path, const std::string& password) {
    namespace fs = std::filesystem;
    std::shared_ptr<Database> d(new Database());
    d->path_ = path;
    d->readOnly_ = true;
    d->jetFile_ = true;

    // A change a writer left unfinished is undone before anything is read.
    // Where the file cannot be written, a private copy is undone and read
    // instead: the data as it was before the change, never half of it.
    std::string readFrom = path;
    try {
        switch (jet::PageStore::rollBackLeftover(path)) {
        case jet::PageStore::Leftover::RolledBack:
            d->recovered_ = true;
            break;
        case jet::PageStore::Leftover::CannotWrite: {
            std::string folder = (fs::temp_directory_path() / "tabelko-unfinished-XXXXXX").string();
            if (!::mkdtemp(folder.data())) msg::raise(msg::HotJournalReadOnly, {path});
            d->privateCopy_ = folder + "/" + fs::path(path).filename().string();
            std::error_code ec;
            fs::copy_file(path, d->privateCopy_, ec);
            if (!ec)
                fs::copy_file(jet::PageStore::journalPath(path),
                              jet::PageStore::journalPath(d->privateCopy_), ec);
            if (!ec)
                fs::permissions(d->privateCopy_, fs::perms::owner_read | fs::perms::owner_write,
                                ec);
            if (ec) msg::raiseWithDetail(msg::HotJournalReadOnly, {path}, ec.message());
            jet::PageStore::rollBackLeftover(d->privateCopy_);
            readFrom = d->privateCopy_;
            d->unfinished_ = true;
            break;
        }
        default:
            break;
        }
    } catch (const EngineError& e) {
        if (e.number() != msg::JetJournalDamaged.number) throw;
        // Read as it is, never written.
        d->jetRefusalNumber_ = e.number();
        d->jetRefusalText_ = e.what();
    }

    jet::JetFile file = jet::JetFile::open(readFrom, password);
    std::shared_ptr<jet::PageStore> store;
    if (!d->unfinished_ && d->jetRefusalNumber_ == 0) {
        try {
            store = jet::PageStore::open(file);
            if (store->recovered()) d->recovered_ = true;
            d->readOnly_ = false;
        } catch (const EngineError& e) {
            d->jetRefusalNumber_ = e.number();
            d->jetRefusalText_ = e.what();
        }
    }
    int rc =
        sqlite3_open_v2(":memory:", &d->db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) msg::raiseWithDetail(msg::CannotOpen, {path}, sqlite3_errstr(rc));
    sql::registerJetFunctions(d->db_);
    d->jetSource_ = std::make_shared<jettables::Source>(file, std::move(store));
    jettables::Source::install(d->db_, d->jetSource_);
    sqlite::Transaction tx(d->db_);
    metadata::ensure(d->db_);
    const auto& catalog = file.catalog();
    const std::vector<Relationship> relationships = relationshipsOf(file);
    for (std::size_t i = 0; i < catalog.size(); ++i) {
        const auto& entry = catalog[i];
        const bool system = metadata::isSystemName(entry.name);
        if (entry.kind == jet::ObjectKind::SystemTable && system) {
            // A system table that cannot be read is left out; the user's
            // tables still open.
            try {
                sqlite::exec(d->db_, "CREATE VIRTUAL TABLE temp." + quoteName(entry.name) +
                                         " USING jetfile(" + std::to_string(i) + ")");
            } catch (const EngineError&) {
            }
            continue;
        }
        if (entry.kind != jet::ObjectKind::Table || system) continue;
        // A table whose definition is damaged is left out; the others open.
        try {
            TableMeta meta = jettables::metaFor(file.table(entry.name));
            applyRelationships(meta, relationships);
            sqlite::exec(d->db_, "CREATE VIRTUAL TABLE " + quoteName(meta.name) +
                                     " USING jetfile(" + std::to_string(i) + ")");
            metadata::save(d->db_, meta);
        } catch (const EngineError&) {
        }
    }
    for (const auto& q : file.queries()) {
        const bool select = q.kind == jet::QueryKind::Select || q.kind == jet::QueryKind::Union;
        if (metadata::findQuery(d->db_, q.name)) continue;
        if (q.kind == jet::QueryKind::PassThrough)
            d->passThroughQueries_.insert(ascii::toLower(q.name));
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

std::string Database::countFromDefinition(const std::string& sqliteSql) const {
    if (!jetSource_) return sqliteSql;
    // count(*) of a whole genuine table, as its definition records it.
    static const std::regex whole(
        R"re(^SELECT count\(\*\)( AS "(?:[^"]|"")*")? FROM ("(?:[^"]|"")*")$)re",
        std::regex::icase);
    std::smatch m;
    if (!std::regex_match(sqliteSql, m, whole)) return sqliteSql;
    std::string name = m[2].str().substr(1, m[2].length() - 2);
    for (std::size_t p = 0; (p = name.find("\"\"", p)) != std::string::npos; ++p)
        name.erase(p, 1);
    // Only a table of the file; a view or the engine's own table counts itself.
    Statement st(db_, "SELECT sql FROM sqlite_master WHERE type='table' AND name=?1");
    st.bindText(1, name);
    if (!st.step() || st.columnText(0).rfind("CREATE VIRTUAL TABLE", 0) != 0) return sqliteSql;
    const auto n = jetSource_->rowCount(name);
    if (!n) return sqliteSql;
    return "SELECT " + std::to_string(*n) + m[1].str();
}

void Database::copyGenuineInto(const std::string& schema) {
    const std::string to = quoteName(schema) + ".";
    // Re-aims "CREATE <what> name ..." at the attached schema.
    auto into = [&](const std::string& sql, const std::string& what) {
        const std::string head = "CREATE " + what + " ";
        return head + to + sql.substr(head.size());
    };
    struct Object {
        std::string type, name, sql;
    };
    std::vector<Object> objects;
    {
        Statement st(db_, "SELECT type, name, sql FROM main.sqlite_master WHERE sql IS NOT NULL "
                          "ORDER BY rowid");
        while (st.step())
            objects.push_back({st.columnText(0), st.columnText(1), st.columnText(2)});
    }
    // The engine's description and saved queries as they are.
    for (const auto& o : objects) {
        if (o.type != "table" || o.sql.rfind("CREATE TABLE ", 0) != 0) continue;
        sqlite::exec(db_, into(o.sql, "TABLE"));
        sqlite::exec(db_, "INSERT INTO " + to + quoteName(o.name) + " SELECT * FROM main." +
                              quoteName(o.name));
    }
    // A pass-through query stays behind: in the engine's own file it would
    // pass for a statement to run here, against the copy's tables.
    for (const auto& name : passThroughQueries_) {
        Statement drop(db_, "DELETE FROM " + to + "MSysQueries WHERE lower(Name) = ?1");
        drop.bindText(1, name);
        drop.run();
    }
    // The file's tables become the engine's own: typed columns, keys, triggers.
    for (const auto& o : objects) {
        if (o.type != "table" || o.sql.rfind("CREATE VIRTUAL TABLE ", 0) != 0) continue;
        const auto meta = table(o.name);
        if (!meta) continue;
        TableMeta loose = *meta;
        for (auto& c : loose.columns)
            c.required = false;
        loose.keys.clear();
        // Created without NOT NULL and type checks: the rows are the file's,
        // as they are, even where an old row breaks a rule added later.
        sqlite::exec(db_, into(metadata::createTableSql(loose, meta->name), "TABLE"));
        sqlite::exec(db_, "INSERT INTO " + to + quoteName(meta->name) + " SELECT * FROM main." +
                              quoteName(meta->name));
        for (const auto& s : metadata::createIndexSql(*meta)) {
            // A key the rows no longer satisfy is kept in the description only.
            try {
                sqlite::exec(db_,
                             into(s, s.rfind("CREATE UNIQUE ", 0) == 0 ? "UNIQUE INDEX" : "INDEX"));
            } catch (const EngineError&) {
            }
        }
        for (const auto& c : meta->columns) {
            if (!c.type.autoIncrement) continue;
            Statement next(db_,
                           "UPDATE " + to + "MSysColumns SET NextValue = (SELECT coalesce(max(" +
                               quoteName(c.name) + "), 0) + 1 FROM " + to + quoteName(meta->name) +
                               ") WHERE TableName=?1 AND ColumnName=?2");
            next.bindText(1, meta->name);
            next.bindText(2, c.name);
            next.run();
        }
    }
    for (const auto& o : objects)
        if (o.type == "view") sqlite::exec(db_, into(o.sql, "VIEW"));
}

} // namespace engine
