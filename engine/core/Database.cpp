#include "Database.h"

#include "QuerySources.h"
#include "engine/Messages.h"
#include "engine/sql/JetCollation.h"
#include "engine/sql/JetFunctions.h"
#include "engine/sqlite/SqliteDb.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace engine {

using sqlite::quoteName;
using sqlite::Statement;
namespace fs = std::filesystem;

namespace {

enum class FileKind { Missing, Empty, PlainSqlite, Jet, Unknown };

FileKind inspect(const std::string& path, std::uintmax_t& size) {
    std::error_code ec;
    if (!fs::exists(path, ec)) return FileKind::Missing;
    if (fs::is_directory(path, ec)) return FileKind::Unknown;
    size = fs::file_size(path, ec);
    if (ec || size == 0) return FileKind::Empty;
    std::ifstream in(path, std::ios::binary);
    char head[32] = {};
    in.read(head, sizeof head);
    if (std::memcmp(head, "SQLite format 3", 16) == 0) return FileKind::PlainSqlite;
    if (std::memcmp(head + 4, "Standard Jet DB", 15) == 0 ||
        std::memcmp(head + 4, "Standard ACE DB", 15) == 0)
        return FileKind::Jet;
    return FileKind::Unknown;
}

// Reads the schema once, which is where a wrong key shows.
int probe(sqlite3* db) {
    return sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
}

} // namespace

std::shared_ptr<Database> Database::open(const std::string& path, const std::string& password) {
    if (path.empty()) msg::raise(msg::EmptyPath);
    std::uintmax_t size = 0;
    const FileKind kind = inspect(path, size);
    switch (kind) {
    case FileKind::Missing:
        msg::raise(msg::FileNotFound, {path});
    case FileKind::Empty:
        msg::raise(msg::NotADatabase, {path});
    case FileKind::Jet:
        return openJet(path, password);
    default:
        break;
    }
    // An encrypted file has no readable header; its size is whole pages.
    if (kind == FileKind::Unknown && size % 512 != 0) msg::raise(msg::NotADatabase, {path});

    std::shared_ptr<Database> d(new Database());
    d->path_ = path;
    std::error_code ec;
    auto perms = fs::status(path, ec).permissions();
    const bool writable =
        access(path.c_str(), W_OK) == 0 && (perms & fs::perms::owner_write) != fs::perms::none;
    d->readOnly_ = !writable;
    const int flags =
        (writable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_FULLMUTEX;
    int rc = sqlite3_open_v2(path.c_str(), &d->db_, flags, nullptr);
    if (rc != SQLITE_OK) msg::raise(msg::CannotOpen, {path, sqlite3_errstr(rc)});
    sqlite3_extended_result_codes(d->db_, 0);

    if (kind == FileKind::Unknown) {
        // Not a plain SQLite file: it must be one encrypted with the password.
        if (password.empty()) msg::raise(msg::WrongPassword);
        sqlite3_key(d->db_, password.data(), static_cast<int>(password.size()));
        rc = probe(d->db_);
        if (rc == SQLITE_NOTADB) msg::raise(msg::WrongPassword);
    } else {
        // A file without password opens whatever password is given, as Jet's do.
        rc = probe(d->db_);
        if (rc == SQLITE_NOTADB || rc == SQLITE_CORRUPT) msg::raise(msg::NotADatabase, {path});
    }
    if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) msg::raise(msg::DatabaseBusy, {path});
    if (rc != SQLITE_OK) sqlite::raiseFromSqlite(d->db_, rc, path);

    sqlite3_busy_timeout(d->db_, 2000);
    sql::registerJetFunctions(d->db_);
    sql::collation::reorderTextIndexes(d->db_);
    return d;
}

void Database::create(const std::string& path, const std::string& password) {
    if (path.empty()) msg::raise(msg::EmptyPath);
    std::error_code ec;
    if (fs::exists(path, ec)) msg::raise(msg::TableExists, {path});
    sqlite3* db = nullptr;
    int rc =
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close(db);
        msg::raise(msg::CannotOpen, {path, sqlite3_errstr(rc)});
    }
    if (!password.empty()) sqlite3_key(db, password.data(), static_cast<int>(password.size()));
    try {
        metadata::ensure(db);
    } catch (...) {
        sqlite3_close(db);
        fs::remove(path, ec);
        throw;
    }
    sqlite3_close(db);
}

Database::~Database() {
    sqlite3_close_v2(db_);
}

void Database::requireWritable() const {
    if (jetFile_) msg::raise(msg::JetFileReadOnly, {path_});
    if (readOnly_) msg::raise(msg::ReadOnlyFile, {path_});
}

std::optional<TableMeta> Database::table(const std::string& name) const {
    return metadata::load(db_, name);
}

TableMeta Database::requireTable(const std::string& name) const {
    auto t = table(name);
    if (!t) msg::raise(msg::UnknownTable, {name});
    return *t;
}

Recordset Database::schemaTables() {
    std::vector<FieldInfo> fields = {
        {"TABLE_CATALOG", adtype::VarWChar, 255}, {"TABLE_SCHEMA", adtype::VarWChar, 255},
        {"TABLE_NAME", adtype::VarWChar, 255},    {"TABLE_TYPE", adtype::VarWChar, 255},
        {"TABLE_GUID", adtype::GUID, 16},         {"DESCRIPTION", adtype::VarWChar, 255},
    };
    struct Row {
        std::string type, name;
    };
    std::vector<Row> rows;
    Statement st(db_, "SELECT type, name FROM sqlite_master WHERE type IN ('table','view')");
    while (st.step()) {
        const std::string type = st.columnText(0), name = st.columnText(1);
        if (type == "table")
            rows.push_back({metadata::isSystemName(name) ? "SYSTEM TABLE" : "TABLE", name});
        else if (!metadata::isSystemName(name))
            rows.push_back({"VIEW", name});
    }
    // Jet lists by type, then by name.
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
        if (a.type != b.type) return a.type < b.type;
        return a.name < b.name;
    });
    std::vector<std::vector<Value>> values;
    for (const auto& r : rows)
        values.push_back({Value::null(), Value::null(), Value(r.name), Value(r.type), Value::null(),
                          Value::null()});
    return Recordset::fromRows(std::move(fields), std::move(values));
}

Recordset Database::execute(const std::string& jet, int lockType, long* affected) {
    if (affected) *affected = 0;
    // EXECUTE of a saved query runs its text; guard against a query that
    // executes itself.
    if (executeDepth_ > 16) msg::raise(msg::Syntax, {"存储过程嵌套调用过深：" + jet});
    const sql::StatementKind kind = sql::classify(jet);
    switch (kind) {
    case sql::StatementKind::Empty:
        msg::raise(msg::Syntax, {"空语句"});
    case sql::StatementKind::Select:
    case sql::StatementKind::BareName:
        return openSelect(translateHere(jet), jet, lockType);
    case sql::StatementKind::SelectInto: {
        requireWritable();
        selectInto(translateHere(jet), affected);
        return Recordset();
    }
    case sql::StatementKind::Insert:
    case sql::StatementKind::Update:
    case sql::StatementKind::Delete: {
        requireWritable();
        const long n = runAction(translateHere(jet));
        if (affected) *affected = n;
        return Recordset();
    }
    case sql::StatementKind::Execute: {
        auto ddl = sql::parseDdl(jet);
        const auto& name = std::get<sql::ExecuteProcedure>(ddl).name;
        auto q = metadata::findQuery(db_, name);
        if (!q) msg::raise(msg::UnknownQuery, {name});
        ++executeDepth_;
        struct Depth {
            int& d;
            ~Depth() { --d; }
        } guard{executeDepth_};
        return execute(q->jet, lockType, affected);
    }
    case sql::StatementKind::Other:
        // The translator says precisely what it cannot read (a crosstab, ...).
        sql::translate(jet);
        msg::raise(msg::Syntax, {jet});
    default: {
        requireWritable();
        runDdl(sql::parseDdl(jet), affected);
        return Recordset();
    }
    }
}

sql::Translation Database::translateHere(const std::string& jet, bool listMissing) {
    sql::TranslateOptions o;
    o.parameterValues = parameterValues_;
    o.listMissing = listMissing;
    o.savedQuery = [this](const std::string& name) -> std::optional<std::string> {
        Statement st(db_, "SELECT 1 FROM sqlite_master WHERE type IN ('table','view') AND name = "
                          "?1 COLLATE NOCASE");
        st.bindText(1, name);
        if (st.step()) return std::nullopt;
        if (auto q = metadata::findQuery(db_, name)) return q->jet;
        return std::nullopt;
    };
    o.distinctValues = [this](const std::string& sql) {
        std::vector<std::pair<std::string, std::string>> out;
        Statement st(db_, "SELECT quote(\"__pivot\"), \"__pivot\" FROM (" + sql + ")");
        while (st.step())
            out.emplace_back(st.columnText(0), st.columnText(1));
        return out;
    };
    // A name SQLite finds to be no column is a parameter, as in Jet.
    for (int round = 0;; ++round) {
        sql::Translation t = sql::translate(jet, o);
        sqlite3_stmt* probe = nullptr;
        const int rc = sqlite3_prepare_v2(db_, t.sqlite.c_str(), -1, &probe, nullptr);
        const std::string err = rc == SQLITE_OK ? std::string() : sqlite3_errmsg(db_);
        sqlite3_finalize(probe);
        const std::string prefix = "no such column: ";
        if (rc == SQLITE_OK || round >= 32 || err.rfind(prefix, 0) != 0) return t;
        const std::string name = err.substr(prefix.size());
        for (const auto& u : o.undeclared)
            if (u == name) return t;
        o.undeclared.push_back(name);
    }
}

void Database::setParameter(const std::string& name, const std::string& value) {
    for (auto& [n, v] : parameterValues_)
        if (n == name) {
            v = value;
            return;
        }
    parameterValues_.emplace_back(name, value);
}

void Database::clearParameters() {
    parameterValues_.clear();
}

std::vector<sql::QueryParameter> Database::missingParameters(const std::string& jet) {
    return translateHere(jet, true).missing;
}

Recordset Database::openSelect(const sql::Translation& t, const std::string& source, int lockType) {
    const bool writable = lockType != lock::ReadOnly && !readOnly_;
    if (t.shape.singleSource) {
        if (auto meta = table(t.shape.sourceName))
            return Recordset::fromSource(std::make_unique<KeysetSource>(shared_from_this(),
                                                                        std::move(*meta), t.shape,
                                                                        writable),
                                         source, writable ? lockType : lock::ReadOnly);
    }
    return Recordset::fromSource(std::make_unique<QuerySource>(shared_from_this(), t.sqlite),
                                 source, lock::ReadOnly);
}

long Database::runAction(const sql::Translation& t) {
    sqlite::Transaction tx(db_);
    Statement st(db_, t.sqlite);
    st.run();
    const long n = sqlite3_changes(db_);
    tx.commit();
    return n;
}

} // namespace engine

namespace engine {

void Database::compactInto(const std::string& target, const std::string& password) {
    // sqlcipher_export writes every table, index, trigger and view afresh
    // into the attached file, which leaves it without free pages; the key
    // given on ATTACH encrypts it (an empty key writes a plain file).
    // ATTACH cannot create a file on a connection opened without the create
    // flag, but it takes an empty existing file as a new database. A
    // genuine Jet file lives in memory, and its copy becomes a native file.
    if (!jetFile_) requireWritable();
    { std::ofstream touch(target, std::ios::binary); }
    sqlite::exec(db_, "ATTACH DATABASE " + sqlite::quoteText(target) + " AS tk_compacted KEY " +
                          sqlite::quoteText(password));
    struct Detach {
        sqlite3* db;
        ~Detach() { sqlite3_exec(db, "DETACH DATABASE tk_compacted", nullptr, nullptr, nullptr); }
    } detach{db_};
    Statement st(db_, "SELECT sqlcipher_export('tk_compacted')");
    st.run();
}

} // namespace engine
