// Genuine Jet files read in place: lookups through the file's indexes give
// the rows a scan gives, a whole table read directly gives what SQLite
// gives, ranges of rowids, Jet's own system tables answer by their names,
// relationships are foreign keys, and damage met during a statement fails
// that statement only.
#include "TestDb.h"
#include "support/SharedFiles.h"

#include "engine/Catalog.h"
#include "engine/Recordset.h"
#include "engine/base/Messages.h"
#include "engine/core/Database.h"
#include "engine/jet/JetFile.h"
#include "engine/sqlite/Sqlite3.h"
#include "engine/sqlite/SqliteDb.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <type_traits>

using namespace engine;

namespace {

class JetInPlaceTest : public TempDbTest {
protected:
    void SetUp() override {
        TempDbTest::SetUp();
        corpus_ = TABELKO_CORPUS_DIR "/jet";
        REQUIRE_SHARED_FILE(corpus_);
    }
    std::string copy(const std::string& name) {
        std::filesystem::copy_file(corpus_ + "/" + name, path(name));
        return name;
    }
    std::vector<char> bytesOf(const std::string& name) {
        std::ifstream in(corpus_ + "/" + name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::string write(const std::string& name, const std::vector<char>& bytes) {
        std::ofstream(path(name), std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return name;
    }
    // The .mdb samples without a password, and the named ACE samples.
    std::vector<std::filesystem::path> samples(std::initializer_list<const char*> ace) const {
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(corpus_))
            if (entry.path().extension() == ".mdb" &&
                entry.path().filename().string().find("password") == std::string::npos)
                files.push_back(entry.path());
        for (const char* name : ace)
            files.push_back(std::filesystem::path(TABELKO_ACE_SAMPLES_DIR) / name);
        return files;
    }
    std::string corpus_;
};

long countOf(Connection& c, const std::string& sql) {
    return static_cast<long>(c.Execute(sql).valueAt(0, 0).toInt());
}

// A value as a Jet SQL literal, for the kinds an index search handles, with
// a key that sorts as the values do.
using Literal = std::pair<std::pair<double, std::string>, std::string>;
std::optional<Literal> literal(const Value& v) {
    switch (v.kind()) {
    case Value::Kind::Integer:
        return Literal{{static_cast<double>(v.toInt()), ""}, std::to_string(v.toInt())};
    case Value::Kind::Date:
        return Literal{{0, v.text()}, "#" + v.text() + "#"};
    default:
        return std::nullopt;
    }
}

// Every row of a result, each value as its kind and its text, in order.
using Rows = std::vector<std::vector<std::string>>;
Rows rowsOf(Connection& c, const std::string& sql) {
    auto rs = c.Execute(sql);
    Rows out;
    for (long i = 0; i < rs.RecordCount(); ++i) {
        std::vector<std::string> row;
        for (const auto& v : rs.rowValues(i))
            row.push_back(std::to_string(static_cast<int>(v.kind())) + ":" + v.toText());
        out.push_back(std::move(row));
    }
    return out;
}

std::vector<std::int64_t> column64(sqlite3* db, const std::string& sql) {
    sqlite::Statement st(db, sql);
    std::vector<std::int64_t> out;
    while (st.step())
        out.push_back(st.columnInt(0));
    return out;
}

// The rowids a statement with one parameter gives, sorted, and the
// virtual machine steps it took (a scan takes some for every row).
template <class T>
std::vector<std::int64_t> rowidsFor(sqlite3* db, const std::string& sql, const T& value,
                                    int& steps) {
    sqlite3_stmt* st = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr), SQLITE_OK) << sql;
    if constexpr (std::is_same_v<T, std::string>)
        sqlite3_bind_text(st, 1, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
    else
        sqlite3_bind_int64(st, 1, value);
    std::vector<std::int64_t> out;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW)
        out.push_back(sqlite3_column_int64(st, 0));
    EXPECT_EQ(rc, SQLITE_DONE) << sql << ": " << sqlite3_errmsg(db);
    steps = sqlite3_stmt_status(st, SQLITE_STMTSTATUS_VM_STEP, 0);
    sqlite3_finalize(st);
    std::sort(out.begin(), out.end());
    return out;
}

std::string asciiCase(std::string s, bool upper) {
    for (char& ch : s)
        if (ch >= 'a' && ch <= 'z' && upper)
            ch = static_cast<char>(ch - 'a' + 'A');
        else if (ch >= 'A' && ch <= 'Z' && !upper)
            ch = static_cast<char>(ch - 'A' + 'a');
    return s;
}

} // namespace

TEST_F(JetInPlaceTest, IndexedLookupsAndRangesFindWhatAScanFinds) {
    int checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus_)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".mdb" || name.find("password") != std::string::npos)
            continue;
        copy(name);
        auto c = open(name);
        const auto file = jet::JetFile::open(path(name));
        for (const auto& e : file.catalog()) {
            if (e.kind != jet::ObjectKind::Table) continue;
            const jet::TableDef def = file.table(e.name);
            std::vector<std::vector<Value>> rows;
            file.forEachRow(e.name, [&](const std::vector<Value>& r) {
                rows.push_back(r);
                return true;
            });
            const std::string t = "[" + e.name + "]";
            // The whole-table count comes from the definition; it is the rows'.
            EXPECT_EQ(countOf(c, "select count(*) from " + t), static_cast<long>(rows.size()))
                << name << " " << e.name;
            for (const auto& ix : def.indexes) {
                const int col = def.columnIndex(ix.columns[0]);
                const std::string field = t + ".[" + ix.columns[0] + "]";
                std::map<std::pair<double, std::string>, std::pair<std::string, long>> counts;
                for (const auto& r : rows)
                    if (auto lit = literal(r[static_cast<std::size_t>(col)])) {
                        auto& slot = counts[lit->first];
                        slot.first = lit->second;
                        ++slot.second;
                    }
                // Up to 40 values spread over the index, the first and last among them.
                const std::size_t step = std::max<std::size_t>(1, counts.size() / 40);
                std::size_t at = 0;
                for (const auto& [key, value] : counts) {
                    if (at++ % step != 0 && at != counts.size()) continue;
                    EXPECT_EQ(countOf(c, "select count(*) from " + t + " where " + field + " = " +
                                             value.first),
                              value.second)
                        << name << " " << field << " = " << value.first;
                    ++checked;
                }
                if (counts.size() < 3) continue;
                // Between the second value and the last but one, and open ends.
                const auto lo = std::next(counts.begin()), hi = std::prev(counts.end(), 2);
                long between = 0, above = 0, atMost = 0;
                for (auto it = counts.begin(); it != counts.end(); ++it) {
                    const bool afterLo = it->first >= lo->first, upToHi = it->first <= hi->first;
                    if (afterLo && upToHi) between += it->second.second;
                    if (it->first > lo->first) above += it->second.second;
                    if (upToHi) atMost += it->second.second;
                }
                const std::string where = " where " + field;
                EXPECT_EQ(countOf(c, "select count(*) from " + t + where + " between " +
                                         lo->second.first + " and " + hi->second.first),
                          between)
                    << name << field;
                EXPECT_EQ(
                    countOf(c, "select count(*) from " + t + where + " > " + lo->second.first),
                    above)
                    << name << field;
                EXPECT_EQ(
                    countOf(c, "select count(*) from " + t + where + " <= " + hi->second.first),
                    atMost)
                    << name << field;
            }
        }
    }
    EXPECT_GT(checked, 60);

    // A Jet 3 index of two levels (its node page keeps the prefix length
    // in one byte) finds every key's rows as a scan does, and reads only them.
    auto c = open("compIndexTestV1997.mdb");
    sqlite3* db = c.database()->handle();
    const auto keys = column64(db, "SELECT DISTINCT CD_AGENTE FROM Table1");
    ASSERT_GT(keys.size(), 500u);
    for (const std::int64_t k : keys) {
        int viaIndex = 0, viaScan = 0;
        EXPECT_EQ(rowidsFor(db, "SELECT rowid FROM Table1 WHERE CD_AGENTE = ?1", k, viaIndex),
                  rowidsFor(db, "SELECT rowid FROM Table1 WHERE +CD_AGENTE = ?1", k, viaScan))
            << k;
        EXPECT_LT(viaIndex * 10, viaScan) << k;
    }
}

TEST_F(JetInPlaceTest, JetSystemTablesAnswerByTheirNames) {
    const std::string name = copy("queryTestV2000.mdb");
    const auto file = jet::JetFile::open(path(name));
    long stored = 0;
    file.forEachRow("MSysQueries", [&](const std::vector<Value>&) { return ++stored, true; });
    auto c = open(name);
    EXPECT_EQ(countOf(c, "select count(*) from MSysQueries"), stored);
    EXPECT_EQ(countOf(c, "select count(*) from MSysObjects where Name = 'Table1' and Type = 1"), 1);
    EXPECT_EQ(c.Execute("select * from MSysACEs").State(), 1);
    // The saved queries are still the engine's to run.
    EXPECT_EQ(c.Execute("select * from SelectQuery").State(), 1);
    bool listed = false;
    std::vector<std::string> names;
    for (auto rs = c.OpenSchema(20); !rs.Eof(); rs.MoveNext()) {
        names.push_back(rs["TABLE_NAME"].GetValue().text());
        if (names.back() == "MSysQueries")
            listed = rs["TABLE_TYPE"].GetValue().text() == "SYSTEM TABLE";
    }
    EXPECT_TRUE(listed);
    // Only the file's tables are listed, once each: not the engine's own
    // description of them.
    for (const char* own : {"MSysColumns", "MSysKeys"})
        EXPECT_EQ(std::count(names.begin(), names.end(), own), 0) << own;
    std::sort(names.begin(), names.end());
    EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end());
    Catalog cat;
    cat.SetActiveConnection(c);
    auto& columns = cat.Tables()["MSysQueries"].Columns();
    EXPECT_NO_THROW(columns["Attribute"]);
    EXPECT_NO_THROW(columns["ObjectId"]);
}

TEST_F(JetInPlaceTest, RelationshipsAreForeignKeysOfTheReferringTable) {
    auto c = open(copy("indexTestV2000.mdb"));
    Catalog cat;
    cat.SetActiveConnection(c);
    std::map<std::string, std::string> foreign;
    for (const auto& k : cat.Tables()["Table1"].Keys())
        if (k.Type() == 3) foreign[k.Name()] = k.RelatedTable();
    EXPECT_EQ(foreign, (std::map<std::string, std::string>{{"Table2Table1", "Table2"},
                                                           {"Table3Table1", "Table3"}}));
    for (const auto& k : cat.Tables()["Table2"].Keys())
        EXPECT_NE(k.Type(), 3) << k.Name();
}

TEST_F(JetInPlaceTest, DamageMetDuringAStatementFailsThatStatementOnly) {
    std::vector<char> bytes = bytesOf("indexTestV2000.mdb");
    const std::size_t page = 4096;
    const auto file = jet::JetFile::open(corpus_ + "/indexTestV2000.mdb");
    const std::uint32_t tdef = file.table("Table1").tdefPage;
    // Every row offset on Table1's data pages points past the page end.
    for (std::size_t p = 1; p < bytes.size() / page; ++p) {
        char* pg = bytes.data() + p * page;
        std::uint32_t owner = 0;
        std::memcpy(&owner, pg + 4, 4);
        if (pg[0] != 0x01 || owner != tdef) continue;
        const int rows =
            static_cast<unsigned char>(pg[12]) | (static_cast<unsigned char>(pg[13]) << 8);
        for (int r = 0; r < rows; ++r) {
            pg[14 + 2 * r] = static_cast<char>(0xFF);
            pg[14 + 2 * r + 1] = 0x1F;
        }
    }
    auto c = open(write("damaged.mdb", bytes));
    try {
        c.Execute("select * from Table1");
        FAIL() << "a damaged table read";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number(), msg::Corrupt.number) << e.what();
        EXPECT_NE(std::string(e.what()).find("损坏"), std::string::npos) << e.what();
    }
    EXPECT_EQ(c.Execute("select * from Table2").RecordCount(), 3);
    EXPECT_EQ(countOf(c, "select count(*) from Table3"), file.table("Table3").rowCount);

    // Random damage anywhere: opening and reading every table either works
    // or fails with the engine's message; nothing else.
    const std::vector<char> original = bytesOf("queryTestV2000.mdb");
    std::mt19937 rng(20261208);
    for (int round = 0; round < 30; ++round) {
        std::vector<char> m = original;
        for (int i = 0, hits = 1 + static_cast<int>(rng() % 48); i < hits; ++i)
            m[4096 + rng() % (m.size() - 4096)] = static_cast<char>(rng());
        const std::string n = write("random" + std::to_string(round) + ".mdb", m);
        try {
            auto r = open(n);
            for (auto rs = r.OpenSchema(20); !rs.Eof(); rs.MoveNext()) {
                const std::string t = rs["TABLE_NAME"].GetValue().text();
                try {
                    auto all = r.Execute("select * from [" + t + "] where 1 = 1");
                    for (; !all.Eof(); all.MoveNext())
                        for (int f = 0; f < all.GetFields().Count(); ++f)
                            all[f].GetValue();
                } catch (const EngineError& e) {
                    EXPECT_FALSE(std::string(e.what()).empty());
                }
            }
        } catch (const EngineError& e) {
            EXPECT_FALSE(std::string(e.what()).empty());
        }
    }
}

TEST_F(JetInPlaceTest, KeyLookupsAndRowidRangesOverManyPages) {
    // A file written by an independent Jet writer: 客户 has 10,000 rows, so
    // its primary key spans a node page and many leaves.
    const std::string jettool = TABELKO_CORPUS_DIR "/../tools/jettool/jettool";
    REQUIRE_SHARED_FILE(jettool);
    const std::string file = path("big.mdb");
    ASSERT_EQ(std::system((jettool + " create-big '" + file + "' 2000 > /dev/null 2>&1").c_str()),
              0);
    auto c = open("big.mdb");
    const auto jet = jet::JetFile::open(file);
    std::vector<long> keys;
    jet.forEachRow("客户", [&](const std::vector<Value>& r) {
        keys.push_back(static_cast<long>(r[0].toInt()));
        return true;
    });
    ASSERT_EQ(keys.size(), 10000u);
    for (long k : {1L, 2L, 399L, 400L, 401L, 5000L, 9999L, 10000L})
        EXPECT_EQ(c.Execute("select 编号 from 客户 where 编号 = " + std::to_string(k))
                      .valueAt(0, 0)
                      .toInt(),
                  k);
    for (const std::string none : {"0", "10001", "-7", "2.5", "Null"})
        EXPECT_EQ(countOf(c, "select count(*) from 客户 where 编号 = " + none), 0) << none;
    EXPECT_EQ(countOf(c, "select count(*) from 客户 where 编号 between 1234 and 5678"), 4445);
    EXPECT_EQ(countOf(c, "select count(*) from 客户 where 编号 > 9990.5"), 10);
    EXPECT_EQ(countOf(c, "select count(*) from 客户 where 编号 < 3 or 编号 >= 9999"), 4);
    EXPECT_EQ(countOf(c, "select count(*) from 客户 where 编号 >= 100 and 编号 < 100"), 0);
    // The first rows of the whole table come in file order without reading it all.
    Recordset rs;
    rs.Open("select * from T", c, cursor::Keyset, lock::ReadOnly, option::AsyncFetch);
    EXPECT_EQ(rs.rowValues(0)[0].toInt(), 1);
    EXPECT_EQ(rs.expectedCount(), 2000);

    // Ranges of rowids (how a keyset reads a page of a whole table) give the
    // rows between their ends, whatever the ends are.
    sqlite3* db = c.database()->handle();
    const auto ids = column64(db, "SELECT rowid FROM \"T\"");
    ASSERT_EQ(ids.size(), 2000u);
    const std::size_t n = ids.size();
    ASSERT_TRUE(std::is_sorted(ids.begin(), ids.end()));
    auto between = [&](const std::string& lo, const std::string& hi) {
        return column64(db, "SELECT rowid FROM \"T\" WHERE rowid >= " + lo + " AND rowid <= " + hi);
    };
    auto slice = [&](std::size_t from, std::size_t to) {
        return std::vector<std::int64_t>(ids.begin() + static_cast<long>(from),
                                         ids.begin() + static_cast<long>(to));
    };
    const auto s = [](std::int64_t v) { return std::to_string(v); };
    // Exact ends, ends between rows, a range within one page and across many.
    EXPECT_EQ(between(s(ids[0]), s(ids[n - 1])), ids);
    EXPECT_EQ(between(s(ids[10]), s(ids[11])), slice(10, 12));
    EXPECT_EQ(between(s(ids[100] + 1), s(ids[1500] - 1)), slice(101, 1500));
    EXPECT_EQ(between(s(ids[5]) + ".5", s(ids[9]) + ".5"), slice(6, 10));
    // Open ends, strict bounds, and ranges holding nothing.
    EXPECT_EQ(column64(db, "SELECT rowid FROM \"T\" WHERE rowid > " + s(ids[n - 10])),
              slice(n - 9, n));
    EXPECT_EQ(column64(db, "SELECT rowid FROM \"T\" WHERE rowid < " + s(ids[3])), slice(0, 3));
    EXPECT_TRUE(between(s(ids[20]), s(ids[19])).empty());
    EXPECT_TRUE(between("-5", "-1").empty());
    EXPECT_TRUE(between(s(ids[n - 1] + 1), "1e30").empty());
    EXPECT_EQ(between("-1e30", "1e30"), ids);
    // A bound of text compares as SQLite compares it: above every number.
    EXPECT_EQ(between(s(ids[n - 2]), "'x'"), slice(n - 2, n));
    EXPECT_TRUE(between("'x'", "'y'").empty());

    // Text indexes over many pages (names with "·" and Chinese, cities):
    // the rows a scan finds, through the index.
    auto byText = [&](const std::string& field, const std::string& table, const std::string& v,
                      bool indexed) {
        int viaIndex = 0, viaScan = 0;
        const std::string from = "SELECT rowid FROM " + table + " WHERE ";
        const auto found = rowidsFor(db, from + field + " = ?1", v, viaIndex);
        EXPECT_EQ(found, rowidsFor(db, from + "+" + field + " = ?1", v, viaScan)) << v;
        if (indexed) {
            EXPECT_LT(viaIndex * 5, viaScan) << v;
        }
        return found.size();
    };
    std::vector<std::string> names;
    jet.forEachRow("T", [&](const std::vector<Value>& r) {
        if (!r[1].isNullOrEmpty() && names.size() < 400) names.push_back(r[1].toText());
        return true;
    });
    for (std::size_t i = 0; i < names.size(); i += 7) {
        EXPECT_GE(byText("name", "T", names[i], true), 1u) << names[i];
        byText("name", "T", asciiCase(names[i], true), true);
    }
    // LIKE by the literal start of its pattern (ASCII letters in either case).
    auto byLike = [&](const std::string& pattern) {
        int viaIndex = 0, viaScan = 0;
        const std::string from = "SELECT rowid FROM T WHERE ";
        const auto found = rowidsFor(db, from + "name LIKE ?1", pattern, viaIndex);
        EXPECT_EQ(found, rowidsFor(db, from + "+name LIKE ?1", pattern, viaScan)) << pattern;
        return std::make_pair(found.size(), viaIndex * 3 < viaScan);
    };
    for (std::size_t i = 0; i < names.size(); i += 29) {
        const std::string& name = names[i];
        std::size_t cut = name.size() / 2 + 1; // at a character's start
        while ((static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
            --cut;
        const auto [rows, indexed] = byLike(asciiCase(name.substr(0, cut), true) + "%");
        EXPECT_GE(rows, 1u) << name;
        EXPECT_TRUE(indexed) << name;
        if (static_cast<unsigned char>(name[0]) < 0x80 &&
            static_cast<unsigned char>(name[1]) < 0x80) {
            EXPECT_TRUE(byLike(name.substr(0, 1) + "_" + name.substr(2)).second) << name;
        }
    }
    EXPECT_FALSE(byLike("%" + names[0]).second);
    // Cities hold 沈阳 and 重庆, which the collation weighs as words.
    std::set<std::string> cities;
    const auto city = static_cast<std::size_t>(jet.table("客户").columnIndex("城市"));
    jet.forEachRow("客户", [&](const std::vector<Value>& r) {
        if (!r[city].isNullOrEmpty()) cities.insert(r[city].toText());
        return true;
    });
    EXPECT_TRUE(cities.count("沈阳"));
    for (const auto& one : cities)
        EXPECT_GT(byText("城市", "客户", one, true), 0u) << one;
    // A name the keys cannot tell apart from its equals makes the column
    // scanned, rightly; once it is gone the index serves again, and finds
    // rows added since.
    c.Execute("INSERT INTO T (name) VALUES ('\xD9\xA1\xD9\xA2')"); // Arabic-Indic 12
    EXPECT_EQ(byText("name", "T", "12", false), 1u);               // equal for the collation
    EXPECT_EQ(byText("name", "T", "\xD9\xA1\xD9\xA2", false), 1u);
    c.Execute("DELETE FROM T WHERE name = '\xD9\xA1\xD9\xA2'");
    c.Execute("INSERT INTO T (name) VALUES ('新来的·Ann')");
    EXPECT_EQ(byText("name", "T", "新来的·ANN", true), 1u);
    EXPECT_EQ(byText("name", "T", names[0], true), byText("name", "T", names[0], false));
}

TEST_F(JetInPlaceTest, WholeTablesColumnsAloneAndFilteredRowsReadAlike) {
    // A whole table is read straight from the file; a filtered one through
    // SQLite, one column at a time as a statement asks: the values agree,
    // whichever columns are asked for and in whatever order. Jet 3, Jet 4
    // and ACE files (calculated, complex, BigInt and extended date columns).
    const auto files =
        samples({"ace2007.accdb", "ace2010.accdb", "ace2019.accdb", "acecomplex.accdb"});
    int tables = 0;
    for (const auto& source : files) {
        const std::string name = source.filename().string();
        std::filesystem::copy_file(source, path(name));
        auto c = open(name);
        const auto file = jet::JetFile::open(path(name));
        for (const auto& e : file.catalog()) {
            if (e.kind != jet::ObjectKind::Table) continue;
            const jet::TableDef def = file.table(e.name);
            if (def.columns.empty()) continue;
            const std::string t = "[" + e.name + "]";
            const auto whole = rowsOf(c, "select * from " + t);
            EXPECT_EQ(whole, rowsOf(c, "select * from " + t + " where 1 = 1")) << name << t;
            // The columns backwards, through SQLite, against the whole rows.
            std::string list;
            for (auto it = def.columns.rbegin(); it != def.columns.rend(); ++it)
                list += (list.empty() ? "[" : ", [") + it->name + "]";
            const auto backwards = rowsOf(c, "select " + list + " from " + t + " where 1 = 1");
            ASSERT_EQ(backwards.size(), whole.size()) << name << t;
            // One column alone, read directly and through SQLite.
            const std::string last = "[" + def.columns.back().name + "]";
            const auto alone = rowsOf(c, "select " + last + " from " + t);
            EXPECT_EQ(alone, rowsOf(c, "select " + last + " from " + t + " where 1 = 1"))
                << name << t;
            ASSERT_EQ(alone.size(), whole.size());
            for (std::size_t i = 0; i < whole.size(); ++i) {
                auto reversed = backwards[i];
                std::reverse(reversed.begin(), reversed.end());
                EXPECT_EQ(reversed, whole[i]) << name << t << " row " << i;
                ASSERT_EQ(alone[i].size(), 1u);
                EXPECT_EQ(alone[i][0], whole[i].back()) << name << t << " row " << i;
            }
            ++tables;
        }
    }
    EXPECT_GT(tables, 45);
}

TEST_F(JetInPlaceTest, TextEqualityThroughTextIndexesFindsWhatAScanFinds) {
    // Every text index of the samples: values present, in other letter
    // case, with trailing spaces, cut short, and absent ones find through
    // the index exactly the rows a scan (`+col`) finds.
    const auto files = samples({"ace2007.accdb", "ace2010.accdb", "ace2019.accdb"});
    int probes = 0, indexed = 0, descending = 0, compound = 0;
    for (const auto& source : files) {
        const std::string name = source.filename().string();
        std::filesystem::copy_file(source, path(name));
        auto c = open(name);
        sqlite3* db = c.database()->handle();
        const auto file = jet::JetFile::open(path(name));
        for (const auto& e : file.catalog()) {
            if (e.kind != jet::ObjectKind::Table) continue;
            const jet::TableDef def = file.table(e.name);
            std::vector<std::vector<Value>> rows;
            file.forEachRow(e.name, [&](const std::vector<Value>& r) {
                rows.push_back(r);
                return true;
            });
            for (const auto& ix : def.indexes) {
                const int col = def.columnIndex(ix.columns[0]);
                const int type = def.columns[static_cast<std::size_t>(col)].jetType;
                if (type != jet::coltype::Text && type != jet::coltype::Memo) continue;
                descending += !ix.descending.empty() && ix.descending[0];
                compound += ix.columns.size() > 1;
                std::set<std::string> present;
                for (const auto& r : rows)
                    if (!r[static_cast<std::size_t>(col)].isNullOrEmpty())
                        present.insert(r[static_cast<std::size_t>(col)].toText());
                std::vector<std::string> values{"", "没有的值", "zzz"};
                const std::size_t step = std::max<std::size_t>(1, present.size() / 12);
                std::size_t at = 0;
                for (const auto& v : present) {
                    if (at++ % step != 0) continue;
                    values.insert(values.end(), {v, asciiCase(v, true), asciiCase(v, false),
                                                 v + "  ", v.substr(0, v.size() / 2)});
                }
                const std::string t = "\"" + e.name + "\"", f = "\"" + ix.columns[0] + "\"";
                for (const auto& v : values) {
                    int viaIndex = 0, viaScan = 0;
                    const auto found = rowidsFor(
                        db, "SELECT rowid FROM " + t + " WHERE " + f + " = ?1", v, viaIndex);
                    const auto scanned = rowidsFor(
                        db, "SELECT rowid FROM " + t + " WHERE +" + f + " = ?1", v, viaScan);
                    EXPECT_EQ(found, scanned) << name << " " << t << "." << f << " = '" << v << "'";
                    ++probes;
                    indexed += viaIndex < viaScan;
                }
            }
        }
    }
    std::printf("%d probes, %d through an index; %d descending, %d compound text indexes\n", probes,
                indexed, descending, compound);
    EXPECT_GT(indexed, probes / 2);
}
