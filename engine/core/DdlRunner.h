#pragma once

#include "engine/schema/TableMeta.h"
#include "engine/sql/JetSql.h"

#include <string>
#include <utility>
#include <vector>

struct sqlite3;

namespace engine {

class Database;

// Jet DDL carried out on SQLite, and SELECT INTO, which makes a table.
// SQLite cannot change or drop a column or a constraint in place, so every
// structural change rebuilds the table inside one transaction: a refused
// change leaves table, rows, keys and saved queries exactly as they were.
// Callers check first that the database may be written.
class DdlRunner {
public:
    explicit DdlRunner(Database& db);

    // One statement each, so that std::visit runs a parsed DdlStatement.
    void operator()(const sql::CreateTable& ct);
    void operator()(const sql::DropTable& dt);
    void operator()(const sql::AlterTable& at);
    void operator()(const sql::CreateIndex& ci);
    void operator()(const sql::DropIndex& di);
    void operator()(const sql::CreateProcedure& cp);
    void operator()(const sql::DropProcedure& dp);
    void operator()(const sql::ExecuteProcedure&) {} // run by Database::execute

    // Rebuild with a renamed table or column: used by the catalogue. Saved
    // queries that use the old name are rewritten.
    void renameTable(const std::string& from, const std::string& to);
    void renameColumn(const std::string& table, const std::string& from, const std::string& to);

    // Makes the table named by a SELECT INTO from its result's columns and
    // fills it; `affected` receives the number of rows written.
    void selectInto(const sql::Translation& t, long* affected);

private:
    // How a column of the rebuilt table is filled: from an old column (index),
    // converted when its type changed, or left to its default.
    struct ColumnSource {
        int oldIndex = -1;
        bool convert = false;
    };
    // Every column of the rebuilt table filled from the same column, unchanged.
    static std::vector<ColumnSource> sameColumns(const TableMeta& old);

    // A saved query may not read itself, directly or through other saved
    // queries: it could never be run.
    void refuseSelfReference(const std::string& name, const std::vector<std::string>& tables);
    long rowCount(const std::string& table);
    // Rewrites saved queries after a rename: a table everywhere, a column
    // only where it belongs to `columnOf`.
    void renameInQueries(const std::string& from, const std::string& to,
                         const std::string& columnOf = {});
    void rebuildSameColumns(const TableMeta& old, const TableMeta& meta);
    void rebuild(const TableMeta& old, const TableMeta& newMeta,
                 const std::vector<ColumnSource>& newSources);
    // Copies row by row, converting changed columns as Jet does; a value that
    // cannot be converted refuses the whole change.
    void copyConverting(const TableMeta& old, const TableMeta& meta,
                        const std::vector<ColumnSource>& sources, const std::string& tmp,
                        const std::string& newCols, const std::string& oldCols);
    // A counter added to a table with rows numbers the rows in order.
    void numberNewCounters(const TableMeta& old, const TableMeta& meta,
                           const std::vector<ColumnSource>& sources, const std::string& tmp);

    Database& db_;
    sqlite3* h_;
    std::vector<std::pair<std::string, long long>> pendingNext_;
};

} // namespace engine
