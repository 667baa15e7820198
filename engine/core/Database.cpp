#include "Database.h"

#include "DdlRunner.h"
#include "JetTables.h"
#include "QuerySources.h"
#include "engine/base/Ascii.h"
#include "engine/base/Messages.h"
#include "engine/sql/JetCollation.h"
#include "engine/sql/JetFunctions.h"
#include "engine/sqlite/SqliteDb.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
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
    // A journal left beside the file means its last change was not finished
    // (a crash, a killed program): SQLite rolls it back on the first read.
    const bool uncleanClose = fs::exists(path + "-journal", ec) || fs::exists(path + "-wal", ec);

    // Opens `file` and reads its schema once, which is where a wrong key, a
    // damaged file and a journal that must be rolled back show.
    auto openAt = [&](const std::string& file, bool write) {
        sqlite3_close_v2(d->db_);
        d->db_ = nullptr;
        const int flags =
            (write ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_FULLMUTEX;
        const int orc = sqlite3_open_v2(file.c_str(), &d->db_, flags, nullptr);
        if (orc != SQLITE_OK) msg::raiseWithDetail(msg::CannotOpen, {path}, sqlite3_errstr(orc));
        sqlite3_extended_result_codes(d->db_, 0);
        // Wait for another program's transaction before calling the file
        // locked, already for the first read.
        sqlite3_busy_timeout(d->db_, 5000);
        if (kind == FileKind::Unknown) {
            // Not a plain SQLite file: it must be one encrypted with the
            // password. A wrong key and a damaged (or random) file cannot be
            // told apart.
            if (password.empty()) msg::raise(msg::PasswordOrDamaged, {path});
            sqlite3_key(d->db_, password.data(), static_cast<int>(password.size()));
            const int prc = probe(d->db_);
            if (prc == SQLITE_NOTADB) msg::raise(msg::PasswordOrDamaged, {path});
            return prc;
        }
        // A file without password opens whatever password is given, as Jet's
        // do. Its header says SQLite, so a failure to read it is damage.
        const int prc = probe(d->db_);
        if (prc == SQLITE_NOTADB || prc == SQLITE_CORRUPT)
            msg::raiseWithDetail(msg::Corrupt, {path}, sqlite3_errmsg(d->db_));
        return prc;
    };
    int rc = openAt(path, writable);
    if (rc == SQLITE_READONLY && !writable &&
        sqlite3_extended_errcode(d->db_) == SQLITE_READONLY_ROLLBACK) {
        // The last change was not finished and the file cannot be written,
        // so SQLite cannot roll the change back in place and will not read
        // past it. The file and its journal are copied to a private folder,
        // rolled back there, and that copy is read: the data as it was
        // before the change, never half of it.
        d->openPrivateCopy();
        rc = openAt(d->privateCopy_, true);
        if (rc == SQLITE_OK) rc = openAt(d->privateCopy_, false);
        d->unfinished_ = true;
    }
    if (rc != SQLITE_OK) sqlite::raiseFromSqlite(d->db_, rc, path);

    // After a change that was not finished, check the file before letting it
    // be written: a damaged file opens read-only and says so. A file closed
    // cleanly is not checked (the check reads every page).
    if (uncleanClose && writable) {
        std::string verdict;
        {
            Statement qc(d->db_, "PRAGMA quick_check(1)");
            try {
                if (qc.step()) verdict = qc.columnText(0);
            } catch (const EngineError& e) {
                verdict = e.detail();
            }
        }
        if (verdict != "ok") {
            d->damaged_ = true;
            d->readOnly_ = true;
        }
    }

    sql::registerJetFunctions(d->db_);
    sqlite3_set_authorizer(d->db_, &Database::authorize, d.get());
    sql::collation::reorderTextIndexes(d->db_);
    return d;
}

void Database::create(const std::string& path, const std::string& password) {
    if (path.empty()) msg::raise(msg::EmptyPath);
    std::error_code ec;
    if (fs::exists(path, ec)) msg::raise(msg::DatabaseExists, {path});
    sqlite3* db = nullptr;
    int rc =
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close(db);
        msg::raiseWithDetail(msg::CannotOpen, {path}, sqlite3_errstr(rc));
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
    if (!privateCopy_.empty()) {
        std::error_code ec;
        fs::remove_all(fs::path(privateCopy_).parent_path(), ec);
    }
}

void Database::openPrivateCopy() {
    std::string folder = (fs::temp_directory_path() / "tabelko-unfinished-XXXXXX").string();
    if (!::mkdtemp(folder.data())) msg::raise(msg::HotJournalReadOnly, {path_});
    privateCopy_ = folder + "/copy.mdb";
    std::error_code ec;
    fs::copy_file(path_, privateCopy_, ec);
    if (!ec) fs::copy_file(path_ + "-journal", privateCopy_ + "-journal", ec);
    // The copies keep the originals' permissions; they must be writable to
    // be rolled back.
    for (const std::string& f : {privateCopy_, privateCopy_ + "-journal"})
        if (!ec) fs::permissions(f, fs::perms::owner_read | fs::perms::owner_write, ec);
    if (ec) msg::raiseWithDetail(msg::HotJournalReadOnly, {path_}, ec.message());
}

void Database::requireWritable() const {
    if (unfinished_) msg::raise(msg::UnfinishedReadOnly, {path_});
    if (jetFile_ && !jetWritable()) {
        if (jetRefusalNumber_ != 0) throw EngineError(jetRefusalNumber_, jetRefusalText_);
        msg::raise(msg::JetFileReadOnly, {path_});
    }
    if (damaged_) msg::raise(msg::DamagedReadOnly, {path_});
    if (readOnly_) msg::raise(msg::ReadOnlyFile, {path_});
}

void Database::requireSchemaWritable() const {
    requireWritable();
    if (jetFile_) msg::raise(msg::JetSchemaReadOnly, {path_});
}

bool Database::schemaReadOnly() const {
    try {
        requireSchemaWritable();
    } catch (const EngineError&) {
        return true;
    }
    return false;
}

std::string Database::readOnlyReason() const {
    try {
        requireWritable();
    } catch (const EngineError& e) {
        return e.what();
    }
    return {};
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
    // A genuine file's own system tables (temp) come first and hide the
    // engine's description of the same name.
    Statement st(db_,
                 "SELECT type, name, sql FROM sqlite_temp_master WHERE type='table' UNION ALL "
                 "SELECT type, name, sql FROM sqlite_master WHERE type IN ('table','view') AND "
                 "name NOT IN (SELECT name FROM sqlite_temp_master)");
    while (st.step()) {
        const std::string type = st.columnText(0), name = st.columnText(1);
        // A genuine file lists its own tables only, not the engine's
        // description of them (MSysColumns, MSysKeys, ...).
        if (jetSource_ && type == "table" && metadata::isSystemName(name) &&
            st.columnText(2).rfind("CREATE VIRTUAL TABLE", 0) != 0)
            continue;
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

bool Database::isPassThroughQuery(const std::string& name) const {
    return passThroughQueries_.count(ascii::toLower(name)) > 0;
}

std::string Database::savedQueryKind(const metadata::SavedQuery& q) const {
    return isPassThroughQuery(q.name) ? "传递查询" : sql::queryKindOf(q.jet);
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
    case sql::StatementKind::BareName: {
        const sql::Translation t = translateHere(jet);
        rejectSqliteDialect(jet, t);
        checkUserSql(t.sqlite);
        return openSelect(t, jet, lockType);
    }
    case sql::StatementKind::SelectInto: {
        requireSchemaWritable();
        const sql::Translation t = translateHere(jet);
        rejectSqliteDialect(jet, t);
        checkUserSql(t.sqlite);
        DdlRunner(*this).selectInto(t, affected);
        return Recordset();
    }
    case sql::StatementKind::Insert:
    case sql::StatementKind::Update:
    case sql::StatementKind::Delete: {
        // A genuine Jet file takes no change at all: that is said first.
        if (jetFile_) requireWritable();
        const sql::Translation t = translateHere(jet);
        rejectSqliteDialect(jet, t);
        checkUserSql(t.sqlite);
        requireWritable();
        const long n = runAction(t);
        if (affected) *affected = n;
        return Recordset();
    }
    case sql::StatementKind::Execute: {
        auto ddl = sql::parseDdl(jet);
        const auto& name = std::get<sql::ExecuteProcedure>(ddl).name;
        auto q = metadata::findQuery(db_, name);
        if (!q) msg::raise(msg::UnknownQuery, {name});
        if (isPassThroughQuery(name)) msg::raise(msg::PassThroughQuery, {q->name});
        ++executeDepth_;
        struct Depth {
            int& d;
            ~Depth() { --d; }
        } guard{executeDepth_};
        return execute(q->jet, lockType, affected);
    }
    case sql::StatementKind::Other:
        // The translator says precisely what it cannot read (a crosstab, ...).
        translate(jet);
        msg::raise(msg::Syntax, {jet});
    default: {
        requireSchemaWritable();
        if (affected) *affected = 0;
        std::visit(DdlRunner(*this), sql::parseDdl(jet));
        return Recordset();
    }
    }
}

namespace {

// Column kinds for the translator, read from the engine's metadata once per
// statement. A saved query's column is known by the table column behind it.
class SchemaOf : public sql::SchemaInfo {
public:
    explicit SchemaOf(sqlite3* db) : db_(db) {}

    sql::ColumnKind columnKind(const std::string& table, const std::string& column) const override {
        const TableMeta* meta = load(table);
        if (meta) {
            const ColumnMeta* c = meta->column(column);
            if (!c) return sql::ColumnKind::Unknown;
            return kindOf(*c);
        }
        // A saved query: the table column its result column comes from.
        try {
            Statement st(db_, "SELECT * FROM " + quoteName(table) + " LIMIT 0");
            for (int i = 0; i < st.columnCount(); ++i) {
                if (!sameName(st.columnName(i), column)) continue;
                const std::string origin = st.originTable(i);
                const TableMeta* m = origin.empty() ? nullptr : load(origin);
                const ColumnMeta* c = m ? m->column(st.originColumn(i)) : nullptr;
                return c ? kindOf(*c) : sql::ColumnKind::Other;
            }
        } catch (const EngineError&) {
        }
        return sql::ColumnKind::Unknown;
    }

    std::vector<std::pair<std::string, sql::ColumnKind>>
    columns(const std::string& table) const override {
        std::vector<std::pair<std::string, sql::ColumnKind>> out;
        if (const TableMeta* meta = load(table))
            for (const auto& c : meta->columns)
                out.emplace_back(c.name, kindOf(c));
        return out;
    }

private:
    static sql::ColumnKind kindOf(const ColumnMeta& c) {
        if (c.type.code == adtype::Currency)
            return c.type.legacyReal ? sql::ColumnKind::Other : sql::ColumnKind::Currency;
        if (isIntegerCode(c.type.code) && c.type.code != adtype::Boolean)
            return sql::ColumnKind::Integer;
        if (isFloatCode(c.type.code)) return sql::ColumnKind::Number;
        return sql::ColumnKind::Other;
    }

    const TableMeta* load(const std::string& table) const {
        const std::string key = ascii::toLower(table);
        auto it = cache_.find(key);
        if (it == cache_.end()) it = cache_.emplace(key, metadata::load(db_, table)).first;
        return it->second ? &*it->second : nullptr;
    }

    sqlite3* db_;
    mutable std::map<std::string, std::optional<TableMeta>> cache_;
};

} // namespace

sql::Translation Database::translate(const std::string& jet, bool forView,
                                     sql::TranslateOptions options) const {
    SchemaOf schema(db_);
    options.schema = &schema;
    options.forView = forView;
    return sql::translate(jet, options);
}

int Database::authorize(void* self, int action, const char* a, const char*, const char*,
                        const char* inner) {
    auto* d = static_cast<Database*>(self);
    // The engine's own statements and its triggers are not guarded.
    if (!d->guard_ || inner) return SQLITE_OK;
    auto refuse = [&](const msg::Message& m, const char* name) {
        d->refusal_ = &m;
        d->refusedName_ = name ? name : "";
        return SQLITE_DENY;
    };
    auto sqliteOwn = [](const char* t) {
        return t && std::string(t).size() >= 7 && sameName(std::string(t).substr(0, 7), "sqlite_");
    };
    switch (action) {
    case SQLITE_INSERT:
    case SQLITE_UPDATE:
    case SQLITE_DELETE:
        if (a && metadata::isSystemName(a)) return refuse(msg::SystemTable, a);
        break;
    case SQLITE_READ:
        // SQLite's schema tables are not Jet's.
        if (sqliteOwn(a)) return refuse(msg::UnknownTable, a);
        break;
    default:
        break;
    }
    return SQLITE_OK;
}

void Database::rejectSqliteDialect(const std::string& jet, const sql::Translation& t) {
    const auto tokens = sql::tokenize(jet);
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const auto& tk = tokens[i];
        if (tk.kind == sql::TokenKind::Operator && tk.text == "||")
            msg::raise(msg::Syntax, {"“||”不是 Jet SQL 的运算符，连接文本请用 &"});
        if (tk.kind != sql::TokenKind::Word && tk.kind != sql::TokenKind::QuotedName) continue;
        if (!sameName(tk.value, "rowid") && !sameName(tk.value, "oid") &&
            !sameName(tk.value, "_rowid_"))
            continue;
        // SQLite's hidden row number, unless a table really has a field so named.
        bool real = false;
        for (const auto& name : t.tables)
            if (auto meta = table(name); meta && meta->column(tk.value)) real = true;
        if (!real) msg::raise(msg::UnknownField, {tk.value});
    }
}

void Database::checkUserSql(const std::string& sqliteSql) {
    guard_ = true;
    refusal_ = nullptr;
    struct Off {
        bool& g;
        ~Off() { g = false; }
    } off{guard_};
    try {
        Statement st(db_, sqliteSql);
    } catch (const EngineError&) {
        if (refusal_) msg::raise(*refusal_, {refusedName_});
        throw;
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
        if (isPassThroughQuery(name)) msg::raise(msg::PassThroughQuery, {name});
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
        sql::Translation t = translate(jet, false, o);
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
            return Recordset::fromSource(
                std::make_unique<KeysetSource>(shared_from_this(), std::move(*meta), t.shape,
                                               writable, t.currencyColumns),
                source, writable ? lockType : lock::ReadOnly);
    }
    return Recordset::fromSource(std::make_unique<QuerySource>(shared_from_this(),
                                                               countFromDefinition(t.sqlite),
                                                               t.currencyColumns),
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

void Database::renameTable(const std::string& from, const std::string& to) {
    requireSchemaWritable();
    DdlRunner(*this).renameTable(from, to);
}

void Database::renameColumn(const std::string& table, const std::string& from,
                            const std::string& to) {
    requireSchemaWritable();
    DdlRunner(*this).renameColumn(table, from, to);
}

void Database::refreshViews() {
    for (const auto& q : metadata::queries(db_)) {
        if (!q.isSelect) continue;
        // Parameter and crosstab queries are kept as text only.
        if (sql::queryKindOf(q.jet).rfind("交叉表", 0) == 0) continue;
        std::string sqliteSql;
        try {
            sql::TranslateOptions check;
            check.listMissing = true;
            const sql::Translation t = translate(q.jet, true, std::move(check));
            if (!t.parameters.empty()) continue;
            sqliteSql = t.sqlite;
        } catch (const EngineError&) {
            continue;
        }
        sqlite::exec(db_, "DROP VIEW IF EXISTS " + quoteName(q.name));
        sqlite::exec(db_, "CREATE VIEW " + quoteName(q.name) + " AS " + sqliteSql);
    }
}

void Database::compactInto(const std::string& target, const std::string& password) {
    // sqlcipher_export writes every table, index, trigger and view afresh
    // into the attached file, which leaves it without free pages; the key
    // given on ATTACH encrypts it (an empty key writes a plain file).
    // ATTACH cannot create a file on a connection opened without the create
    // flag, but it takes an empty existing file as a new database. A
    // genuine Jet file lives in memory, and its copy becomes a native file.
    //
    // All or nothing: the copy is written to a temporary file beside the
    // target, synced, checked, and only then given the target's name. A
    // failed or killed compaction leaves no file under that name.
    if (!jetFile_) requireWritable();
    const fs::path dest(target);
    std::string pattern =
        (dest.has_parent_path() ? dest.parent_path() / ("." + dest.filename().string())
                                : fs::path("." + dest.filename().string()))
            .string() +
        ".compact-XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0) msg::raise(msg::CannotOpen, {target});
    close(fd);
    const std::string tmp = pattern;
    struct Cleanup {
        std::string path;
        bool keep = false;
        ~Cleanup() {
            if (keep) return;
            std::error_code ec;
            fs::remove(path, ec);
            fs::remove(path + "-journal", ec);
        }
    } cleanup{tmp};

    {
        sqlite::exec(db_, "ATTACH DATABASE " + sqlite::quoteText(tmp) + " AS tk_compacted KEY " +
                              sqlite::quoteText(password));
        struct Detach {
            sqlite3* db;
            ~Detach() {
                sqlite3_exec(db, "DETACH DATABASE tk_compacted", nullptr, nullptr, nullptr);
            }
        } detach{db_};
        if (jetSource_) {
            copyGenuineInto("tk_compacted");
        } else {
            Statement st(db_, "SELECT sqlcipher_export('tk_compacted')");
            st.run();
        }
    }

    // The copy must open with its password and pass the integrity check.
    {
        sqlite3* check = nullptr;
        int rc = sqlite3_open_v2(tmp.c_str(), &check, SQLITE_OPEN_READONLY, nullptr);
        std::string verdict;
        if (rc == SQLITE_OK) {
            if (!password.empty())
                sqlite3_key(check, password.data(), static_cast<int>(password.size()));
            sqlite3_stmt* st = nullptr;
            if (sqlite3_prepare_v2(check, "PRAGMA quick_check(1)", -1, &st, nullptr) == SQLITE_OK &&
                sqlite3_step(st) == SQLITE_ROW) {
                const auto* v = sqlite3_column_text(st, 0);
                verdict = v ? reinterpret_cast<const char*>(v) : "";
            }
            sqlite3_finalize(st);
        }
        sqlite3_close(check);
        if (verdict != "ok") msg::raise(msg::CompactFailed, {target, "副本没有通过完整性检查"});
    }
    {
        const int f = ::open(tmp.c_str(), O_RDONLY | O_CLOEXEC);
        if (f < 0 || fsync(f) != 0) {
            if (f >= 0) close(f);
            msg::raise(msg::CompactFailed, {target, "无法把副本写入磁盘"});
        }
        close(f);
    }
    // link() refuses an existing target, so a file that appeared meanwhile
    // is not replaced.
    if (link(tmp.c_str(), target.c_str()) != 0) {
        if (errno == EEXIST) msg::raise(msg::DestinationExists, {target});
        std::error_code ec;
        if (fs::exists(target, ec)) msg::raise(msg::DestinationExists, {target});
        fs::rename(tmp, target, ec); // a file system without hard links
        if (ec) msg::raise(msg::CompactFailed, {target, "无法把副本改为目标文件名"});
        cleanup.keep = true;
    }
    // The new name reaches the disk with its directory.
    const std::string dir = dest.has_parent_path() ? dest.parent_path().string() : ".";
    const int d = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (d >= 0) {
        fsync(d);
        close(d);
    }
}

} // namespace engine
