#include "TableMeta.h"

#include "engine/Recordset.h"
#include "engine/base/Ascii.h"
#include "engine/base/Messages.h"
#include "engine/sql/JetFunctions.h"
#include "engine/sqlite/SqliteDb.h"

#include <algorithm>

namespace engine {

using sqlite::quoteName;
using sqlite::quoteText;
using sqlite::Statement;

namespace {

// ASCII case folding, as SQLite's NOCASE does; other characters compare as they are.
std::string fold(const std::string& s) {
    return ascii::toLower(s);
}

std::string join(const std::vector<std::string>& items, char sep) {
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i) out += sep;
        out += items[i];
    }
    return out;
}

std::vector<std::string> split(const std::string& s, char sep) {
    std::vector<std::string> out;
    if (s.empty()) return out;
    std::size_t start = 0;
    for (;;) {
        auto pos = s.find(sep, start);
        out.push_back(s.substr(start, pos == std::string::npos ? pos : pos - start));
        if (pos == std::string::npos) break;
        start = pos + 1;
    }
    return out;
}

// A type for a column that SQLite knows but our metadata does not (a file
// made by another SQLite program).
JetType typeFromDeclared(const std::string& declared) {
    std::string d = fold(declared);
    JetType t;
    t.word = declared.empty() ? "Memo" : declared;
    if (d.find("int") != std::string::npos) {
        t.code = adtype::Integer;
        t.size = 4;
    } else if (d.find("char") != std::string::npos || d.find("clob") != std::string::npos ||
               d.find("text") != std::string::npos || d.empty()) {
        t.code = adtype::LongVarWChar;
    } else if (d.find("blob") != std::string::npos) {
        t.code = adtype::LongVarBinary;
    } else if (d.find("real") != std::string::npos || d.find("floa") != std::string::npos ||
               d.find("doub") != std::string::npos) {
        t.code = adtype::Double;
        t.size = 8;
    } else if (d.find("date") != std::string::npos || d.find("time") != std::string::npos) {
        t.code = adtype::Date;
        t.size = 8;
    } else if (d.find("bool") != std::string::npos) {
        t.code = adtype::Boolean;
        t.size = 2;
    } else {
        t.code = adtype::Numeric;
        t.precision = 18;
        t.size = 19;
    }
    return t;
}

} // namespace

bool sameName(const std::string& a, const std::string& b) {
    return fold(a) == fold(b);
}

int TableMeta::columnIndex(const std::string& c) const {
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (sameName(columns[i].name, c)) return static_cast<int>(i);
    return -1;
}

const ColumnMeta* TableMeta::column(const std::string& c) const {
    int i = columnIndex(c);
    return i < 0 ? nullptr : &columns[static_cast<std::size_t>(i)];
}

const KeyMeta* TableMeta::primaryKey() const {
    for (const auto& k : keys)
        if (k.type == KeyMeta::Primary) return &k;
    return nullptr;
}

int TableMeta::keyIndex(const std::string& n) const {
    for (std::size_t i = 0; i < keys.size(); ++i)
        if (sameName(keys[i].name, n)) return static_cast<int>(i);
    return -1;
}

bool TableMeta::hasAutoIncrement() const {
    return std::any_of(columns.begin(), columns.end(),
                       [](const ColumnMeta& c) { return c.type.autoIncrement; });
}

namespace metadata {

bool isSystemName(const std::string& name) {
    const std::string f = fold(name);
    return f.rfind("msys", 0) == 0 || f.rfind("sqlite_", 0) == 0;
}

bool present(sqlite3* db) {
    Statement st(db, "SELECT 1 FROM sqlite_master WHERE type='table' AND name='MSysColumns'");
    return st.step();
}

void ensure(sqlite3* db) {
    if (present(db)) return;
    sqlite::exec(db,
                 "CREATE TABLE IF NOT EXISTS MSysColumns ("
                 "TableName TEXT NOT NULL COLLATE NOCASE, Ordinal INTEGER NOT NULL, "
                 "ColumnName TEXT NOT NULL COLLATE NOCASE, TypeWord TEXT NOT NULL, "
                 "TypeCode INTEGER NOT NULL, Size INTEGER NOT NULL DEFAULT 0, "
                 "Precision INTEGER NOT NULL DEFAULT 0, Scale INTEGER NOT NULL DEFAULT 0, "
                 "IsCounter INTEGER NOT NULL DEFAULT 0, Seed INTEGER NOT NULL DEFAULT 1, "
                 "Increment INTEGER NOT NULL DEFAULT 1, NextValue INTEGER NOT NULL DEFAULT 1, "
                 "Required INTEGER NOT NULL DEFAULT 0, DefaultJet TEXT, "
                 "PRIMARY KEY (TableName, ColumnName));"
                 "CREATE TABLE IF NOT EXISTS MSysKeys ("
                 "TableName TEXT NOT NULL COLLATE NOCASE, KeyName TEXT NOT NULL COLLATE NOCASE, "
                 "KeyType INTEGER NOT NULL, IsUnique INTEGER NOT NULL DEFAULT 0, "
                 "Columns TEXT NOT NULL, Descending TEXT NOT NULL DEFAULT '', "
                 "RefTable TEXT, RefColumns TEXT, PRIMARY KEY (TableName, KeyName));"
                 "CREATE TABLE IF NOT EXISTS MSysQueries ("
                 "Name TEXT NOT NULL PRIMARY KEY COLLATE NOCASE, JetSql TEXT NOT NULL, "
                 "IsSelect INTEGER NOT NULL);");
}

std::optional<std::string> findTable(sqlite3* db, const std::string& name) {
    // A temp table comes first, as SQLite resolves the name (a genuine Jet
    // file's own system tables live there).
    Statement st(db, "SELECT name FROM sqlite_temp_master WHERE type='table' AND name=?1 COLLATE "
                     "NOCASE UNION ALL SELECT name FROM sqlite_master WHERE type='table' AND "
                     "name=?1 COLLATE NOCASE");
    st.bindText(1, name);
    if (st.step()) return st.columnText(0);
    return std::nullopt;
}

std::optional<TableMeta> load(sqlite3* db, const std::string& table) {
    auto real = findTable(db, table);
    if (!real) return std::nullopt;
    TableMeta meta;
    meta.name = *real;
    if (present(db)) {
        Statement st(db, "SELECT ColumnName, TypeWord, TypeCode, Size, Precision, Scale, "
                         "IsCounter, Seed, Increment, Required, DefaultJet FROM MSysColumns "
                         "WHERE TableName=?1 ORDER BY Ordinal");
        st.bindText(1, meta.name);
        while (st.step()) {
            ColumnMeta c;
            c.name = st.columnText(0);
            c.type.word = st.columnText(1);
            c.type.code = static_cast<int>(st.columnInt(2));
            c.type.size = static_cast<long>(st.columnInt(3));
            c.type.precision = static_cast<int>(st.columnInt(4));
            c.type.scale = static_cast<int>(st.columnInt(5));
            c.type.autoIncrement = st.columnInt(6) != 0;
            c.type.seed = st.columnInt(7);
            c.type.increment = st.columnInt(8);
            c.required = st.columnInt(9) != 0;
            if (st.columnType(10) != SQLITE_NULL) c.defaultJet = st.columnText(10);
            meta.columns.push_back(std::move(c));
        }
        // Currency columns of older files hold REAL amounts.
        bool anyCurrency = false;
        for (const auto& c : meta.columns)
            anyCurrency = anyCurrency || c.type.code == adtype::Currency;
        if (anyCurrency) {
            Statement info(db, "PRAGMA table_info(" + quoteName(meta.name) + ")");
            while (info.step()) {
                auto* c = const_cast<ColumnMeta*>(meta.column(info.columnText(1)));
                if (c && c->type.code == adtype::Currency && sameName(info.columnText(2), "REAL"))
                    c->type.legacyReal = true;
            }
        }
        Statement ks(db, "SELECT KeyName, KeyType, IsUnique, Columns, Descending, RefTable, "
                         "RefColumns FROM MSysKeys WHERE TableName=?1 ORDER BY rowid");
        ks.bindText(1, meta.name);
        while (ks.step()) {
            KeyMeta k;
            k.name = ks.columnText(0);
            k.type = static_cast<int>(ks.columnInt(1));
            k.unique = ks.columnInt(2) != 0;
            k.columns = split(ks.columnText(3), '\t');
            for (const auto& d : split(ks.columnText(4), '\t'))
                k.descending.push_back(d == "1");
            k.descending.resize(k.columns.size(), false);
            k.refTable = ks.columnText(5);
            k.refColumns = split(ks.columnText(6), '\t');
            meta.keys.push_back(std::move(k));
        }
    }
    if (meta.columns.empty()) {
        // Not created through the engine: describe it from SQLite's schema.
        Statement st(db, "PRAGMA table_info(" + quoteName(meta.name) + ")");
        std::vector<std::string> pk;
        while (st.step()) {
            ColumnMeta c;
            c.name = st.columnText(1);
            c.type = typeFromDeclared(st.columnText(2));
            c.required = st.columnInt(3) != 0;
            if (st.columnInt(5) > 0) pk.push_back(c.name);
            meta.columns.push_back(std::move(c));
        }
        if (!pk.empty()) {
            KeyMeta k;
            k.name = "PrimaryKey";
            k.type = KeyMeta::Primary;
            k.unique = true;
            k.columns = pk;
            k.descending.assign(pk.size(), false);
            meta.keys.push_back(std::move(k));
        }
    }
    return meta;
}

void remove(sqlite3* db, const std::string& table) {
    if (!present(db)) return;
    for (const char* t : {"MSysColumns", "MSysKeys"}) {
        Statement st(db, std::string("DELETE FROM ") + t + " WHERE TableName=?1");
        st.bindText(1, table);
        st.run();
    }
}

void save(sqlite3* db, const TableMeta& meta) {
    ensure(db);
    // Keep the counters' next values across a rewrite of the description.
    std::vector<std::pair<std::string, long long>> next;
    {
        Statement st(db, "SELECT ColumnName, NextValue FROM MSysColumns WHERE TableName=?1");
        st.bindText(1, meta.name);
        while (st.step())
            next.emplace_back(st.columnText(0), st.columnInt(1));
    }
    remove(db, meta.name);
    Statement ins(db, "INSERT INTO MSysColumns (TableName, Ordinal, ColumnName, TypeWord, "
                      "TypeCode, Size, Precision, Scale, IsCounter, Seed, Increment, "
                      "NextValue, Required, DefaultJet) VALUES "
                      "(?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12,?13,?14)");
    int ordinal = 0;
    for (const auto& c : meta.columns) {
        long long nextValue = c.type.seed;
        for (const auto& [n, v] : next)
            if (sameName(n, c.name)) nextValue = v;
        ins.reset();
        ins.bindText(1, meta.name);
        ins.bindInt(2, ++ordinal);
        ins.bindText(3, c.name);
        ins.bindText(4, c.type.word);
        ins.bindInt(5, c.type.code);
        ins.bindInt(6, c.type.size);
        ins.bindInt(7, c.type.precision);
        ins.bindInt(8, c.type.scale);
        ins.bindInt(9, c.type.autoIncrement ? 1 : 0);
        ins.bindInt(10, c.type.seed);
        ins.bindInt(11, c.type.increment);
        ins.bindInt(12, nextValue);
        ins.bindInt(13, c.required ? 1 : 0);
        if (c.defaultJet) ins.bindText(14, *c.defaultJet);
        ins.run();
    }
    Statement kins(db, "INSERT INTO MSysKeys (TableName, KeyName, KeyType, IsUnique, Columns, "
                       "Descending, RefTable, RefColumns) VALUES (?1,?2,?3,?4,?5,?6,?7,?8)");
    for (const auto& k : meta.keys) {
        std::vector<std::string> desc;
        for (bool d : k.descending)
            desc.push_back(d ? "1" : "0");
        kins.reset();
        kins.bindText(1, meta.name);
        kins.bindText(2, k.name);
        kins.bindInt(3, k.type);
        kins.bindInt(4, k.unique ? 1 : 0);
        kins.bindText(5, join(k.columns, '\t'));
        kins.bindText(6, join(desc, '\t'));
        kins.bindText(7, k.refTable);
        kins.bindText(8, join(k.refColumns, '\t'));
        kins.run();
    }
}

std::string sqliteIndexName(const std::string& table, const std::string& key) {
    return table + "::" + key;
}

std::string createTableSql(const TableMeta& meta, const std::string& sqliteName) {
    std::string sql = "CREATE TABLE " + quoteName(sqliteName) + " (";
    const KeyMeta* pk = meta.primaryKey();
    for (std::size_t i = 0; i < meta.columns.size(); ++i) {
        const auto& c = meta.columns[i];
        if (i) sql += ", ";
        sql += quoteName(c.name) + " " + sqliteAffinity(c.type.code);
        // Jet compares text without regard to case.
        if (isTextCode(c.type.code)) sql += std::string(" COLLATE ") + sql::JetTextCollation;
        bool inPk = false;
        if (pk)
            for (const auto& kc : pk->columns)
                if (sameName(kc, c.name)) inPk = true;
        // Counters are filled by a trigger after the row is inserted, so they
        // cannot be NOT NULL in SQLite's eyes.
        if ((c.required || inPk) && !c.type.autoIncrement) sql += " NOT NULL";
        std::int64_t counts = 0;
        if (c.defaultJet && c.type.code == adtype::Currency && !c.type.legacyReal)
            // Currency is kept as a count of 1/10,000.
            sql += " DEFAULT " +
                   (Value::parseCurrency(*c.defaultJet, counts)
                        ? std::to_string(counts)
                        : "(jet_cscale(" + sql::translateExpression(*c.defaultJet) + "))");
        else if (c.defaultJet)
            sql += " DEFAULT (" + sql::translateExpression(*c.defaultJet) + ")";
        else if (c.type.code == adtype::Boolean)
            sql += " DEFAULT 0";
        const std::string check = typeCheck(c.type, c.name);
        if (!check.empty()) sql += " " + check;
    }
    sql += ")";
    return sql;
}

std::vector<std::string> createIndexSql(const TableMeta& meta) {
    std::vector<std::string> out;
    for (const auto& k : meta.keys) {
        if (k.type == KeyMeta::Foreign || k.columns.empty()) continue;
        const bool unique = k.unique || k.type == KeyMeta::Primary || k.type == KeyMeta::Unique;
        std::string sql = std::string("CREATE ") + (unique ? "UNIQUE " : "") + "INDEX " +
                          quoteName(sqliteIndexName(meta.name, k.name)) + " ON " +
                          quoteName(meta.name) + " (";
        for (std::size_t i = 0; i < k.columns.size(); ++i) {
            if (i) sql += ", ";
            sql += quoteName(k.columns[i]);
            if (i < k.descending.size() && k.descending[i]) sql += " DESC";
        }
        out.push_back(sql + ")");
    }
    return out;
}

std::vector<std::string> createTriggerSql(const TableMeta& meta) {
    std::vector<std::string> out;
    // Values stored in Jet's form whichever way they were written: every
    // true value of a Yes/No column as -1, a date as its canonical text, a
    // Numeric rounded to its scale.
    for (const auto& c : meta.columns) {
        const std::string col = quoteName(c.name);
        std::string when, to;
        if (c.type.code == adtype::Boolean) {
            when = "NEW." + col + " NOT IN (0, -1)";
            to = "-1";
        } else if (c.type.code == adtype::Date) {
            when = "NEW." + col + " IS NOT jet_cdate(NEW." + col + ")";
            to = "jet_cdate(" + col + ")";
        } else if (c.type.code == adtype::Numeric) {
            const std::string r = "round(NEW." + col + ", " + std::to_string(c.type.scale) + ")";
            when = "NEW." + col + " IS NOT " + r;
            to = "round(" + col + ", " + std::to_string(c.type.scale) + ")";
        } else {
            continue;
        }
        const std::string t = quoteName(meta.name);
        const std::string body = " FOR EACH ROW WHEN " + when + " BEGIN UPDATE " + t + " SET " +
                                 col + " = " + to + " WHERE rowid = NEW.rowid; END";
        out.push_back("CREATE TRIGGER " + quoteName(meta.name + "::norm::" + c.name) +
                      " AFTER INSERT ON " + t + body);
        out.push_back("CREATE TRIGGER " + quoteName(meta.name + "::normset::" + c.name) +
                      " AFTER UPDATE OF " + col + " ON " + t + body);
    }
    for (const auto& c : meta.columns) {
        if (!c.type.autoIncrement) continue;
        const std::string t = quoteName(meta.name);
        const std::string col = quoteName(c.name);
        const std::string where =
            " WHERE TableName=" + quoteText(meta.name) + " AND ColumnName=" + quoteText(c.name);
        out.push_back("CREATE TRIGGER " + quoteName(meta.name + "::counter::" + c.name) +
                      " AFTER INSERT ON " + t + " FOR EACH ROW WHEN NEW." + col +
                      " IS NULL BEGIN UPDATE " + t + " SET " + col +
                      " = (SELECT NextValue FROM MSysColumns" + where +
                      ") WHERE rowid = NEW.rowid; UPDATE MSysColumns SET NextValue = NextValue + "
                      "Increment" +
                      where + "; END");
        // A value given explicitly moves the counter past it, as Jet does.
        out.push_back("CREATE TRIGGER " + quoteName(meta.name + "::counterset::" + c.name) +
                      " AFTER INSERT ON " + t + " FOR EACH ROW WHEN NEW." + col +
                      " IS NOT NULL BEGIN UPDATE MSysColumns SET NextValue = CASE WHEN "
                      "Increment > 0 THEN max(NextValue, NEW." +
                      col + " + Increment) ELSE min(NextValue, NEW." + col + " + Increment) END" +
                      where + "; END");
    }
    return out;
}

std::vector<SavedQuery> queries(sqlite3* db) {
    std::vector<SavedQuery> out;
    if (!present(db)) return out;
    Statement st(db, "SELECT Name, JetSql, IsSelect FROM main.MSysQueries ORDER BY Name");
    while (st.step())
        out.push_back({st.columnText(0), st.columnText(1), st.columnInt(2) != 0});
    return out;
}

std::optional<SavedQuery> findQuery(sqlite3* db, const std::string& name) {
    if (!present(db)) return std::nullopt;
    Statement st(db, "SELECT Name, JetSql, IsSelect FROM main.MSysQueries WHERE Name=?1");
    st.bindText(1, name);
    if (st.step()) return SavedQuery{st.columnText(0), st.columnText(1), st.columnInt(2) != 0};
    return std::nullopt;
}

void saveQuery(sqlite3* db, const SavedQuery& q) {
    ensure(db);
    Statement st(
        db, "INSERT OR REPLACE INTO main.MSysQueries (Name, JetSql, IsSelect) VALUES (?1,?2,?3)");
    st.bindText(1, q.name);
    st.bindText(2, q.jet);
    st.bindInt(3, q.isSelect ? 1 : 0);
    st.run();
}

void removeQuery(sqlite3* db, const std::string& name) {
    if (!present(db)) return;
    Statement st(db, "DELETE FROM main.MSysQueries WHERE Name=?1");
    st.bindText(1, name);
    st.run();
}

} // namespace metadata
} // namespace engine
