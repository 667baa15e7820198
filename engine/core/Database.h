#pragma once

#include "engine/Recordset.h"
#include "engine/base/Messages.h"
#include "engine/schema/TableMeta.h"
#include "engine/sql/JetSql.h"

#include <memory>
#include <optional>
#include <set>
#include <string>

struct sqlite3;

namespace engine::jettables {
class Source;
}

namespace engine {

// One open database file: the SQLite handle with Jet's functions
// registered, and everything that runs statements on it. Shared by the
// connection and every recordset opened on it; closed when the last holder
// lets go.
class Database : public std::enable_shared_from_this<Database> {
public:
    static std::shared_ptr<Database> open(const std::string& path, const std::string& password);
    static void create(const std::string& path, const std::string& password);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    sqlite3* handle() const { return db_; }
    const std::string& path() const { return path_; }
    bool readOnly() const { return readOnly_; }
    bool isJetFile() const { return jetFile_; }
    // True when the file failed the check made after an unfinished change:
    // it is open read-only.
    bool damaged() const { return damaged_; }
    // True when the last change was left unfinished on a file that cannot be
    // written: what is read is a private copy rolled back to before it.
    bool unfinished() const { return unfinished_; }
    // True when opening undid a change a writer left unfinished (a genuine
    // Jet file whose journal was rolled back): the user is told once.
    bool recovered() const { return recovered_; }
    // Why the database is read-only: a catalogue text, empty when writable.
    std::string readOnlyReason() const;
    // Tables and saved queries cannot be created, changed or dropped (a
    // genuine Jet file takes row changes only), or the file is read-only.
    bool schemaReadOnly() const;

    // Runs a Jet statement. Row-returning statements give an open recordset;
    // others a closed one, with the number of rows they changed.
    Recordset execute(const std::string& jet, int lockType, long* affected);
    Recordset schemaTables();

    std::optional<TableMeta> table(const std::string& name) const;
    // Throws msg::UnknownTable when absent.
    TableMeta requireTable(const std::string& name) const;
    // Row changes.
    void requireWritable() const;
    // Creating, changing and dropping tables and saved queries.
    void requireSchemaWritable() const;

    // Translates a Jet statement knowing this database's columns (exact
    // Currency). forView: the text of a saved query.
    sql::Translation translate(const std::string& jet, bool forView = false,
                               sql::TranslateOptions options = {}) const;

    // Prepares SQLite text translated from a user's statement once with the
    // dialect guard on: writes to the engine's metadata tables, SQLite's own
    // tables and the hidden rowid are refused with the engine's texts.
    void checkUserSql(const std::string& sqliteSql);
    // Refuses what only SQLite reads: the || operator, the hidden rowid.
    void rejectSqliteDialect(const std::string& jet, const sql::Translation& t);

    // For a genuine Jet file, count(*) of a whole table (SQLite SQL as the
    // translator writes it) becomes the count its definition records, as
    // Jet answers it; any other statement comes back unchanged.
    std::string countFromDefinition(const std::string& sqliteSql) const;

    // Recreates the views of saved select queries from their Jet text (after
    // a table was renamed, dropped or rebuilt). Queries whose tables are gone
    // stay stored and come back when they can.
    void refreshViews();

    // Renames keep saved queries working: their Jet text is rewritten.
    void renameTable(const std::string& from, const std::string& to);
    void renameColumn(const std::string& table, const std::string& from, const std::string& to);

    // Writes a compacted copy to target, encrypted with password (plain when empty).
    void compactInto(const std::string& target, const std::string& password);

    // Parameter queries: values by parameter name, kept while the database
    // is open so that a query run again finds them.
    void setParameter(const std::string& name, const std::string& value);
    void clearParameters();
    // The parameters a statement asks for that have no value yet.
    std::vector<sql::QueryParameter> missingParameters(const std::string& jet);
    // The kind of a saved query as a user reads it ("选择查询", ...). A
    // genuine file's pass-through queries are told apart here, since their
    // text alone looks like any other statement.
    std::string savedQueryKind(const metadata::SavedQuery& q) const;
    bool isPassThroughQuery(const std::string& name) const;

private:
    Database() = default;
    static std::shared_ptr<Database> openJet(const std::string& path, const std::string& password);
    // Writes a genuine file's tables, with the engine's description and
    // the saved queries, as native tables into the attached schema.
    void copyGenuineInto(const std::string& schema);
    Recordset openSelect(const sql::Translation& t, const std::string& source, int lockType);
    // Translates with this database's saved queries, crosstab columns and
    // parameter values; a name that is no field becomes a parameter.
    sql::Translation translateHere(const std::string& jet, bool listMissing = false);
    std::vector<std::pair<std::string, std::string>> parameterValues_;
    long runAction(const sql::Translation& t);

    sqlite3* db_ = nullptr;
    std::string path_;
    bool readOnly_ = false;
    bool damaged_ = false;
    bool unfinished_ = false;
    // The rolled-back copy read instead of the file (see unfinished());
    // removed with its folder when the database is closed.
    std::string privateCopy_;
    void openPrivateCopy();
    // The dialect guard (see checkUserSql) and what it refused.
    bool guard_ = false;
    const msg::Message* refusal_ = nullptr;
    std::string refusedName_;
    static int authorize(void* self, int action, const char* a, const char* b, const char* db,
                         const char* inner);
    bool jetFile_ = false; // a genuine Jet file, read in place through virtual tables
    std::shared_ptr<jettables::Source> jetSource_;
    // A genuine file whose rows can be changed (its page store is open).
    bool jetWritable() const;
    // Why a genuine file cannot be written (its format, its permissions,
    // another writer); the number is 0 when nothing was refused.
    int jetRefusalNumber_ = 0;
    std::string jetRefusalText_;
    bool recovered_ = false;
    int executeDepth_ = 0;
    // Names (lower case) of the genuine file's pass-through queries: listed,
    // never run here.
    std::set<std::string> passThroughQueries_;
};

} // namespace engine
