#include "Connection.h"

#include "ConnectionString.h"
#include "core/Database.h"
#include "engine/base/Messages.h"
#include "sqlite/Sqlite3.h"
#include "sqlite/SqliteDb.h"

namespace engine {

struct Connection::State_ {
    std::shared_ptr<Database> db;
    int transactions = 0; // open BeginTrans levels
    std::function<bool()> progress;

    // SQLite keeps a pointer to `progress`; the registration must not outlive
    // it, and recordsets may keep the database open after this state is gone.
    void clearProgress() {
        if (db && progress) sqlite3_progress_handler(db->handle(), 0, nullptr, nullptr);
        progress = nullptr;
    }
    ~State_() { clearProgress(); }
};

namespace {
std::string savepoint(int level) {
    return "tk_user_trans" + std::to_string(level);
}
} // namespace

Connection::Connection() : d(std::make_shared<State_>()) {}

void Connection::Open(const std::string& connectionString) {
    if (d->db) msg::raise(msg::BadArgument, {"连接已打开"});
    const ConnectionString cs = ConnectionString::parse(connectionString);
    d->db = Database::open(cs.dataSource(), cs.password());
}

void Connection::Close() {
    if (!d->db) msg::raise(msg::ConnectionClosed);
    // Work left in an open transaction is not kept, as with Jet.
    while (d->transactions > 0)
        RollbackTrans();
    d->clearProgress();
    d->db.reset();
}

int Connection::BeginTrans() {
    if (!d->db) msg::raise(msg::ConnectionClosed);
    sqlite::exec(d->db->handle(), "SAVEPOINT " + savepoint(d->transactions + 1));
    return ++d->transactions;
}

void Connection::CommitTrans() {
    if (!d->db) msg::raise(msg::ConnectionClosed);
    if (d->transactions == 0) msg::raise(msg::BadArgument, {"没有已开始的事务"});
    sqlite::exec(d->db->handle(), "RELEASE " + savepoint(d->transactions));
    --d->transactions;
}

void Connection::RollbackTrans() {
    if (!d->db) msg::raise(msg::ConnectionClosed);
    if (d->transactions == 0) msg::raise(msg::BadArgument, {"没有已开始的事务"});
    const std::string name = savepoint(d->transactions);
    --d->transactions;
    sqlite::exec(d->db->handle(), "ROLLBACK TO " + name);
    sqlite::exec(d->db->handle(), "RELEASE " + name);
}

int Connection::State() const {
    return d->db ? 1 : 0;
}

Recordset Connection::Execute(const std::string& sql, long* recordsAffected) {
    if (!d->db) msg::raise(msg::ConnectionClosed);
    return d->db->execute(sql, lock::Optimistic, recordsAffected);
}

Recordset Connection::OpenSchema(int schema) {
    if (!d->db) msg::raise(msg::ConnectionClosed);
    if (schema != 20) msg::raise(msg::BadArgument, {"OpenSchema " + std::to_string(schema)});
    return d->db->schemaTables();
}

std::string Connection::DataSource() const {
    return d->db ? d->db->path() : std::string();
}

void Connection::SetProgressHandler(std::function<bool()> handler, int instructions) {
    if (!d->db) msg::raise(msg::ConnectionClosed);
    d->clearProgress();
    if (!handler) return;
    d->progress = std::move(handler);
    sqlite3_progress_handler(
        d->db->handle(), instructions < 1 ? 1 : instructions,
        [](void* p) -> int {
            // A failure must not unwind through SQLite: it stops the statement.
            try {
                return (*static_cast<std::function<bool()>*>(p))() ? 1 : 0;
            } catch (...) {
                return 1;
            }
        },
        &d->progress);
}

void Connection::CreateDatabase(const std::string& path, const std::string& password) {
    Database::create(path, password);
}

void Connection::SetParameter(const std::string& name, const std::string& value) {
    if (!d->db) msg::raise(msg::ConnectionClosed);
    d->db->setParameter(name, value);
}

void Connection::ClearParameters() {
    if (d->db) d->db->clearParameters();
}

std::vector<std::pair<std::string, std::string>>
Connection::MissingParameters(const std::string& sql) {
    if (!d->db) msg::raise(msg::ConnectionClosed);
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& p : d->db->missingParameters(sql))
        out.emplace_back(p.name, p.typeWord);
    return out;
}

bool Connection::ReadOnly() const {
    return d->db && d->db->readOnly();
}

std::string Connection::ReadOnlyReason() const {
    return d->db ? d->db->readOnlyReason() : std::string();
}

bool Connection::SchemaReadOnly() const {
    return d->db && d->db->schemaReadOnly();
}

std::string Connection::OpenNotice() const {
    if (!d->db || !d->db->recovered()) return {};
    return msg::format(msg::JetChangeUndone, {d->db->path()});
}

std::shared_ptr<Database> Connection::database() const {
    return d->db;
}

} // namespace engine
