#pragma once

#include "Recordset.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace engine {

class Database;

// The engine's connection. Copies refer to the same connection, as object
// references do; recordsets keep the database open while they live, so
// dropping a Connection does not invalidate rows already opened.
class Connection {
public:
    Connection();

    // 2 = server-side, 3 = client-side. Accepted for compatibility; the
    // engine's recordsets always behave as client-side keyset cursors.
    int CursorLocation = 2;

    // Opens the database named by "Data Source" with the password of
    // "Jet OLEDB:Database Password". Throws EngineError.
    void Open(const std::string& connectionString);
    void Close();
    int State() const; // 0 closed, 1 open

    // Carries out a statement. Row-returning statements (and a bare table or
    // query name) give an open Recordset; anything else gives a closed one.
    Recordset Execute(const std::string& sql, long* recordsAffected = nullptr);

    // 20: the tables schema with TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME,
    // TABLE_TYPE ("TABLE", "VIEW", "SYSTEM TABLE"), DESCRIPTION.
    Recordset OpenSchema(int schema);

    std::string DataSource() const;

    // Transactions, as ADO names them. Everything executed between
    // BeginTrans and CommitTrans is kept together; RollbackTrans undoes it,
    // schema changes and saved queries included. Transactions nest: each
    // CommitTrans or RollbackTrans ends the innermost one. Ending one that
    // was not begun is refused.
    int BeginTrans();
    void CommitTrans();
    void RollbackTrans();

    // Long statements: while set, `handler` is called about every
    // `instructions` steps of the database's virtual machine, for every
    // statement on this connection and on recordsets opened over it. When it
    // returns true the running statement stops and fails with an
    // EngineError, leaving the file as it was. An empty handler removes it;
    // closing the connection removes it too. Requires an open connection.
    void SetProgressHandler(std::function<bool()> handler, int instructions = 1000);

    // Parameter queries. A value given for a parameter (by its name as
    // MissingParameters lists it) is kept while the connection is open, so a
    // query run again finds it; ClearParameters forgets them all.
    void SetParameter(const std::string& name, const std::string& value);
    void ClearParameters();
    // The parameters a statement asks for that have no value yet: each
    // name with its declared type ("DateTime", ...; empty when undeclared).
    std::vector<std::pair<std::string, std::string>> MissingParameters(const std::string& sql);

    // Creates a new, empty database file (SQLCipher-encrypted when password
    // is not empty). Refuses an existing path. Throws EngineError.
    static void CreateDatabase(const std::string& path, const std::string& password = {});

    // True for a database opened read-only (a genuine Jet file, a read-only
    // file on disk).
    bool ReadOnly() const;
    // Why it is read-only, as the text a change would fail with (a damaged
    // file, an unfinished change on read-only media, ...); empty when writable.
    std::string ReadOnlyReason() const;

    // True when tables and saved queries cannot be created, changed or
    // dropped: a read-only database, or a genuine Jet file (whose rows can
    // be changed, not its structure).
    bool SchemaReadOnly() const;
    // What the user is to be told once the database is open (an unfinished
    // change that opening undid); empty when there is nothing to say.
    std::string OpenNotice() const;

    // For the engine's own objects (recordsets, catalogue).
    std::shared_ptr<Database> database() const;

private:
    struct State_;
    std::shared_ptr<State_> d;
};

} // namespace engine
