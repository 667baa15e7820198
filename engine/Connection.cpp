#include "Connection.h"

#include "ConnectionString.h"
#include "Messages.h"
#include "core/Database.h"

namespace engine {

struct Connection::State_ {
    std::shared_ptr<Database> db;
};

Connection::Connection() : d(std::make_shared<State_>()) {}

void Connection::Open(const std::string& connectionString) {
    if (d->db) msg::raise(msg::BadArgument, {"连接已打开"});
    const ConnectionString cs = ConnectionString::parse(connectionString);
    d->db = Database::open(cs.dataSource(), cs.password());
}

void Connection::Close() {
    if (!d->db) msg::raise(msg::ConnectionClosed);
    d->db.reset();
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

std::shared_ptr<Database> Connection::database() const {
    return d->db;
}

} // namespace engine
