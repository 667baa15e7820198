// Values stored right or refused, the engine's own tables kept safe, and
// failures told apart by number, on real temporary files.
#include "TestDb.h"

#include "engine/Catalog.h"
#include "engine/JetEngine.h"
#include "engine/Recordset.h"
#include "engine/base/Messages.h"
#include "engine/sqlite/Sqlite3.h"

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <random>
#include <regex>
#include <set>
#include <thread>

#include <sys/wait.h>

using namespace engine;

namespace {

// The number of the failure of f, or 0 when it succeeds.
template <class F> int numberOf(F&& f) {
    try {
        f();
    } catch (const EngineError& e) {
        return e.number();
    }
    return 0;
}

Value scalar(Connection& c, const std::string& sql) {
    Recordset rs = c.Execute(sql);
    return rs[0].GetValue();
}

// A writer killed in the middle of `change` (with a one-page cache, so the
// change has already reached the file) leaves its journal behind.
void killedWriter(const std::string& file, const std::string& change) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        sqlite3* db = nullptr;
        sqlite3_open(file.c_str(), &db);
        const std::string sql = "PRAGMA cache_size=1; BEGIN; " + change + ";";
        sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
}

// Root may write anywhere: while one of these lives the process runs as
// "nobody" (uid 65534), to whom the test's files are read-only. The saved
// user id stays root, so the destructor can return to it.
class RunAsNobody {
public:
    RunAsNobody() {
        if (::geteuid() != 0) return;
        active_ = ::setresgid(65534, 65534, 0) == 0 && ::setresuid(65534, 65534, 0) == 0;
    }
    ~RunAsNobody() {
        if (!active_) return;
        (void)::setresuid(0, 0, 0);
        (void)::setresgid(0, 0, 0);
    }
    RunAsNobody(const RunAsNobody&) = delete;
    RunAsNobody& operator=(const RunAsNobody&) = delete;

private:
    bool active_ = false;
};

// Raw SQLite access to a plain (unencrypted) file, for what the engine must
// cope with but never writes itself.
void rawExec(const std::string& file, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    char* err = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err);
    EXPECT_EQ(rc, SQLITE_OK) << (err ? err : "");
    sqlite3_free(err);
    sqlite3_close(db);
}

} // namespace

// ---- values ---------------------------------------------------------------

TEST_F(TempDbTest, CurrencyIsAnExactCount) {
    Connection c = create("cur.mdb");
    c.Execute("CREATE TABLE 订单 (ID COUNTER PRIMARY KEY, 单价 CURRENCY, 数量 SHORT, 折扣 DOUBLE)");
    c.Execute("INSERT INTO 订单 (单价, 数量) VALUES (1234567890123.4567, 1)");
    c.Execute("INSERT INTO 订单 (单价, 数量, 折扣) VALUES (29.19, 10, 0.5)");
    c.Execute("INSERT INTO 订单 (单价, 数量) VALUES (-922337203685477.5807, 0)");
    Recordset rs = c.Execute("SELECT 单价 FROM 订单 ORDER BY ID");
    EXPECT_EQ(rs[0].GetValue().kind(), Value::Kind::Currency);
    EXPECT_EQ(rs[0].GetValue().toText(), "1234567890123.4567");
    rs.MoveLast();
    EXPECT_EQ(rs[0].GetValue().toText(), "-922337203685477.5807");

    // Currency with integers and Currency stays exact and stays Currency.
    Recordset product = c.Execute("SELECT 单价 * 数量 AS 金额, 单价 + 1 AS 加一, 单价 - 单价 AS 零 "
                                  "FROM 订单 WHERE 数量 = 10");
    EXPECT_EQ(product["金额"].GetValue().toText(), "291.9");
    EXPECT_EQ(product["金额"].GetValue().kind(), Value::Kind::Currency);
    EXPECT_EQ(product["加一"].GetValue().toText(), "30.19");
    EXPECT_EQ(product["零"].GetValue().toText(), "0");
    // With a Double it is a Double, as in Jet.
    EXPECT_DOUBLE_EQ(scalar(c, "SELECT 单价 * 折扣 FROM 订单 WHERE 数量 = 10").toDouble(), 14.595);

    // Small amounts add up exactly and compare exactly.
    c.Execute("CREATE TABLE 零钱 (金额 MONEY)");
    for (int i = 0; i < 10; ++i)
        c.Execute("INSERT INTO 零钱 VALUES (0.0001)");
    EXPECT_EQ(scalar(c, "SELECT Sum(金额) FROM 零钱").toText(), "0.001");
    EXPECT_EQ(scalar(c, "SELECT Count(*) FROM 零钱 WHERE 金额 = 0.0001").toInt(), 10);
    EXPECT_EQ(scalar(c, "SELECT Avg(金额) FROM 零钱").toText(), "0.0001");
    c.Execute("UPDATE 零钱 SET 金额 = 金额 * 3");
    EXPECT_EQ(scalar(c, "SELECT Max(金额) FROM 零钱").toText(), "0.0003");
    // Amounts in a saved query and in a subquery come out as amounts.
    c.Execute("CREATE PROCEDURE 合计 AS SELECT Sum(金额) AS s, Sum(金额) * 2 AS d FROM 零钱");
    EXPECT_DOUBLE_EQ(scalar(c, "SELECT d FROM 合计").toDouble(), 0.006);
    EXPECT_EQ(scalar(c, "SELECT Count(*) FROM 零钱 WHERE 金额 IN (SELECT 金额 FROM 零钱)").toInt(),
              10);
    EXPECT_DOUBLE_EQ(scalar(c, "SELECT Max(x.金额) FROM (SELECT 金额 FROM 零钱) AS x").toDouble(),
                     0.0003);
    EXPECT_DOUBLE_EQ(
        scalar(c, "SELECT Max(金额) FROM (SELECT 金额 FROM 零钱 UNION SELECT 0 FROM 零钱)")
            .toDouble(),
        0.0003);

    // Out of range is refused, naming the column; nothing is stored.
    for (const char* sql : {"INSERT INTO 订单 (单价) VALUES (1e15)",
                            "INSERT INTO 订单 (单价) VALUES (922337203685477.5808)",
                            "UPDATE 订单 SET 单价 = 单价 * 10000 WHERE 数量 = 1"}) {
        const std::string text = failure([&] { c.Execute(sql); });
        EXPECT_NE(text.find("溢出"), std::string::npos) << sql << ": " << text;
    }
    EXPECT_EQ(scalar(c, "SELECT Count(*) FROM 订单").toInt(), 3);

    // Written through a recordset: exact text in, exact value out.
    Recordset edit;
    edit.Open("SELECT * FROM 订单", c, cursor::Keyset, lock::Optimistic, -1);
    edit.AddNew();
    edit["单价"].SetValue(Value("922337203685477.5807"));
    edit.Update();
    edit.AddNew();
    edit["单价"].SetValue(Value("922337203685477.5808"));
    EXPECT_EQ(numberOf([&] { edit.Update(); }), msg::OutOfRange.number);
    edit.CancelUpdate();
    EXPECT_EQ(scalar(c, "SELECT Max(单价) FROM 订单").toText(), "922337203685477.5807");

    // A Double too large for Currency refuses the change of type.
    c.Execute("CREATE TABLE 大数 (x DOUBLE)");
    c.Execute("INSERT INTO 大数 VALUES (1e308)");
    EXPECT_EQ(numberOf([&] { c.Execute("ALTER TABLE 大数 ALTER COLUMN x CURRENCY"); }),
              msg::ConvertFailed.number);
    EXPECT_EQ(scalar(c, "SELECT x FROM 大数").toDouble(), 1e308);
}

TEST_F(TempDbTest, CurrencyOfOlderFilesIsReadAndConverted) {
    // Files written before kept Currency as REAL amounts.
    create("old.mdb").Close();
    rawExec(path("old.mdb"),
            "CREATE TABLE 旧 (价 REAL, 名 TEXT);"
            "INSERT INTO 旧 VALUES (12.5, 'a'), (0.1, 'b');"
            "INSERT INTO MSysColumns (TableName, Ordinal, ColumnName, TypeWord, TypeCode, Size) "
            "VALUES ('旧', 1, '价', 'CURRENCY', 6, 8), ('旧', 2, '名', 'TEXT(10)', 202, 10);");
    Connection c = open("old.mdb");
    Value v = scalar(c, "SELECT 价 FROM 旧 WHERE 名 = 'a'");
    EXPECT_EQ(v.kind(), Value::Kind::Currency);
    EXPECT_EQ(v.toText(), "12.5");
    EXPECT_DOUBLE_EQ(scalar(c, "SELECT 价 * 2 FROM 旧 WHERE 名 = 'a'").toDouble(), 25.0);
    c.Execute("INSERT INTO 旧 VALUES (3.25, 'c')");
    EXPECT_EQ(scalar(c, "SELECT Count(*) FROM 旧 WHERE 价 = 3.25").toInt(), 1);

    // A structure change rewrites the table with exact counts.
    c.Execute("ALTER TABLE 旧 ADD COLUMN 数 LONG");
    EXPECT_EQ(scalar(c, "SELECT 价 FROM 旧 WHERE 名 = 'b'").toText(), "0.1");
    EXPECT_EQ(scalar(c, "SELECT 价 * 数 FROM 旧 WHERE 名 = 'c'").kind(), Value::Kind::Null);
    EXPECT_EQ(scalar(c, "SELECT Sum(价) FROM 旧").toText(), "15.85");
}

TEST_F(TempDbTest, YesNoDatesAndNumbersAreStoredAsJetStoresThem) {
    Connection c = create("v.mdb");
    c.Execute("CREATE TABLE t (id LONG, b BIT, d DATETIME, s SINGLE, n NUMERIC(10,2))");

    // Every true value is -1.
    c.Execute("INSERT INTO t (id, b) VALUES (1, 1)");
    c.Execute("INSERT INTO t (id, b) VALUES (2, 2)");
    c.Execute("INSERT INTO t (id, b) VALUES (3, 0)");
    EXPECT_EQ(scalar(c, "SELECT Count(*) FROM t WHERE b = True").toInt(), 2);
    EXPECT_EQ(scalar(c, "SELECT Sum(b) FROM t").toInt(), -2);
    EXPECT_EQ(scalar(c, "SELECT Count(*) FROM t WHERE Not b").toInt(), 1);
    c.Execute("UPDATE t SET b = 5 WHERE id = 3");
    EXPECT_EQ(scalar(c, "SELECT b FROM t WHERE id = 3").toInt(), -1);

    // Dates only; text that reads as a date is stored as one.
    EXPECT_EQ(numberOf([&] { c.Execute("INSERT INTO t (id, d) VALUES (4, 'garbage')"); }),
              msg::NotADate.number);
    EXPECT_EQ(numberOf([&] { c.Execute("UPDATE t SET d = 'x' WHERE id = 1"); }),
              msg::NotADate.number);
    c.Execute("INSERT INTO t (id, d) VALUES (5, '2024/1/5')");
    EXPECT_EQ(scalar(c, "SELECT d FROM t WHERE id = 5").toText(), "2024-01-05 00:00:00");
    EXPECT_EQ(scalar(c, "SELECT Count(*) FROM t WHERE d = #2024-01-05#").toInt(), 1);

    // Single's range; Numeric's precision and scale.
    EXPECT_EQ(numberOf([&] { c.Execute("INSERT INTO t (id, s) VALUES (6, 1e39)"); }),
              msg::OutOfRange.number);
    c.Execute("INSERT INTO t (id, n) VALUES (7, 12345678.999)");
    EXPECT_DOUBLE_EQ(scalar(c, "SELECT n FROM t WHERE id = 7").toDouble(), 12345679.0);
    c.Execute("INSERT INTO t (id, n) VALUES (8, 1.235)");
    EXPECT_DOUBLE_EQ(scalar(c, "SELECT n FROM t WHERE id = 8").toDouble(), 1.24);
    for (const char* v : {"1e30", "123456789", "99999999.995"})
        EXPECT_EQ(numberOf([&] {
                      c.Execute(std::string("INSERT INTO t (id, n) VALUES (9, ") + v + ")");
                  }),
                  msg::OutOfRange.number)
            << v;
    EXPECT_EQ(scalar(c, "SELECT Count(*) FROM t WHERE id >= 6").toInt(), 2);

    // The same rules through a recordset.
    Recordset rs;
    rs.Open("SELECT * FROM t", c, cursor::Keyset, lock::Optimistic, -1);
    rs.AddNew();
    rs["s"].SetValue(Value(1e39));
    EXPECT_EQ(numberOf([&] { rs.Update(); }), msg::OutOfRange.number);
    rs.CancelUpdate();
}

TEST_F(TempDbTest, DivisionByZeroIsAFailureEverywhere) {
    Connection c = create("z.mdb");
    c.Execute("CREATE TABLE t (a LONG, b LONG)");
    c.Execute("INSERT INTO t VALUES (1, 0)");
    for (const char* sql :
         {"SELECT a / b FROM t", "SELECT 1 / 0", "SELECT a \\ b FROM t", "SELECT a Mod b FROM t",
          "INSERT INTO t (a) VALUES (5 / 0)", "UPDATE t SET a = a / b"}) {
        try {
            Recordset rs = c.Execute(sql);
            if (rs.State() == 1) rs[0].GetValue();
            ADD_FAILURE() << sql << " succeeded";
        } catch (const EngineError& e) {
            EXPECT_EQ(e.number(), msg::DivisionByZero.number) << sql << ": " << e.what();
            EXPECT_NE(std::string(e.what()).find("除数为零"), std::string::npos);
        }
    }
    EXPECT_EQ(scalar(c, "SELECT a FROM t").toInt(), 1);
    EXPECT_DOUBLE_EQ(scalar(c, "SELECT 7 / 2").toDouble(), 3.5);
}

// ---- the engine's own tables -----------------------------------------------

TEST_F(TempDbTest, MetadataTablesAreReadOnlyToStatements) {
    Connection c = create("m.mdb");
    c.Execute("CREATE TABLE t (id COUNTER PRIMARY KEY, x TEXT(10))");
    c.Execute("CREATE PROCEDURE q AS SELECT * FROM t");
    const Value columns = scalar(c, "SELECT Count(*) FROM MSysColumns"); // reading is fine

    for (const char* sql :
         {"DELETE FROM MSysColumns", "UPDATE MSysColumns SET TypeCode = 202",
          "INSERT INTO MSysKeys (TableName, KeyName, KeyType, Columns) VALUES ('t','k',1,'x')",
          "DELETE FROM MSysQueries", "UPDATE msyscolumns SET NextValue = 1",
          "CREATE INDEX i ON MSysColumns (Size)", "DROP INDEX PrimaryKey ON MSysKeys",
          "DROP TABLE MSysQueries", "ALTER TABLE MSysColumns ADD COLUMN y LONG",
          "SELECT * INTO MSysCopy FROM t"}) {
        const int n = numberOf([&] { c.Execute(sql); });
        EXPECT_TRUE(n == msg::SystemTable.number || n == msg::ReservedName.number)
            << sql << " gave " << n;
    }
    EXPECT_EQ(scalar(c, "SELECT Count(*) FROM MSysColumns").toInt(), columns.toInt());
    EXPECT_EQ(numberOf([&] { c.Execute("CREATE TABLE MSysEvil (a LONG)"); }),
              msg::ReservedName.number);

    // The counter, kept in MSysColumns by the engine, still counts.
    c.Execute("INSERT INTO t (x) VALUES ('a')");
    c.Execute("DELETE FROM t");
    c.Execute("INSERT INTO t (x) VALUES ('b')");
    EXPECT_EQ(scalar(c, "SELECT id FROM t").toInt(), 2);
}

TEST_F(TempDbTest, InternalNamesAndSqliteDialectStayOutOfUsersWay) {
    Connection c = create("n.mdb");
    c.Execute("CREATE TABLE t (a LONG)");
    c.Execute("CREATE TABLE [__tk_rebuild_t] (z LONG)");
    c.Execute("INSERT INTO [__tk_rebuild_t] VALUES (7)");
    c.Execute("ALTER TABLE t ADD COLUMN b TEXT(5)");
    c.Execute("ALTER TABLE t ALTER COLUMN b TEXT(9)");
    EXPECT_EQ(scalar(c, "SELECT z FROM [__tk_rebuild_t]").toInt(), 7);

    // A query may not use itself, directly or through another.
    EXPECT_EQ(numberOf([&] { c.Execute("CREATE PROCEDURE p AS SELECT * FROM p"); }),
              msg::SelfReference.number);
    c.Execute("CREATE PROCEDURE p1 AS SELECT * FROM t");
    c.Execute("CREATE PROCEDURE p2 AS SELECT * FROM p1");
    c.Execute("DROP PROCEDURE p1");
    EXPECT_EQ(numberOf([&] { c.Execute("CREATE PROCEDURE p1 AS SELECT * FROM p2"); }),
              msg::SelfReference.number);

    // SQLite's own dialect is refused; a real field named oid is not.
    c.Execute("INSERT INTO t (a) VALUES (1)");
    EXPECT_NE(numberOf([&] { c.Execute("SELECT 'a' || 'b'"); }), 0);
    EXPECT_EQ(numberOf([&] { c.Execute("SELECT rowid FROM t"); }), msg::UnknownField.number);
    EXPECT_EQ(numberOf([&] { c.Execute("DELETE FROM t WHERE oid = 1"); }),
              msg::UnknownField.number);
    EXPECT_EQ(numberOf([&] { c.Execute("SELECT * FROM sqlite_master"); }),
              msg::UnknownTable.number);
    c.Execute("CREATE TABLE k (oid LONG)");
    c.Execute("INSERT INTO k VALUES (42)");
    EXPECT_EQ(scalar(c, "SELECT oid FROM k").toInt(), 42);
    EXPECT_EQ(scalar(c, "SELECT Count(*) FROM t").toInt(), 1);
}

// ---- failures by number -----------------------------------------------------

TEST(MessageCatalogue, EveryTextIsChineseWithDistinctNumbers) {
    std::size_t count = 0;
    const msg::Message* const* all = msg::all(count);
    ASSERT_GT(count, 40u);
    // ASCII words allowed in the texts: names of things the user writes,
    // and the program whose file versions the user knows by its name.
    const std::set<std::string> allowed = {"SQL",   "Jet", "mdb",  "BOF",     "EOF",   "UNION",
                                           "Count", "Sum", "MSys", "sqlite_", "Access"};
    std::set<int> numbers;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string text = all[i]->text;
        EXPECT_TRUE(numbers.insert(all[i]->number).second) << "number used twice: " << text;
        bool cjk = false;
        for (unsigned char ch : text)
            cjk = cjk || ch >= 0xE4;
        EXPECT_TRUE(cjk) << text;
        const std::regex word("[A-Za-z_]{3,}");
        for (auto it = std::sregex_iterator(text.begin(), text.end(), word);
             it != std::sregex_iterator(); ++it)
            EXPECT_TRUE(allowed.count(it->str())) << it->str() << " in " << text;
    }
    // What the password loop and the windows decide by.
    const std::set<int> decided = {msg::WrongPassword.number, msg::PasswordOrDamaged.number,
                                   msg::FileNotFound.number,  msg::Corrupt.number,
                                   msg::DatabaseBusy.number,  msg::NotADatabase.number};
    EXPECT_EQ(decided.size(), 6u);
    EXPECT_NE(std::string(msg::WrongPassword.text).find("密码"), std::string::npos);
    EXPECT_NE(std::string(msg::PasswordOrDamaged.text).find("密码"), std::string::npos);
    for (const auto* m : {&msg::FileNotFound, &msg::Corrupt, &msg::DatabaseBusy, &msg::NotADatabase,
                          &msg::CannotOpen, &msg::EmptyPath})
        EXPECT_EQ(std::string(m->text).find("密码"), std::string::npos) << m->text;

    // Names are printed without raw control bytes.
    const std::string shown = msg::format(msg::UnknownTable, {std::string("a\0b\x1b", 4)});
    EXPECT_NE(shown.find("a\\0b\\x1B"), std::string::npos) << shown;
    for (char ch : shown)
        EXPECT_FALSE(static_cast<unsigned char>(ch) < 0x20);
}

TEST_F(TempDbTest, OpenFailuresAreToldApartByNumber) {
    EXPECT_EQ(numberOf([&] { open("missing 密码.mdb"); }), msg::FileNotFound.number);

    // Random bytes in whole pages: with a password, it might be either.
    {
        std::ofstream out(path("noise.mdb"), std::ios::binary);
        std::mt19937 rng(7);
        for (int i = 0; i < 8192; ++i)
            out.put(static_cast<char>(rng()));
    }
    try {
        open("noise.mdb", "pw");
        ADD_FAILURE();
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number(), msg::PasswordOrDamaged.number);
        EXPECT_NE(std::string(e.what()).find("损坏"), std::string::npos);
    }

    // A plain file with a damaged header is damaged, not password-protected.
    create("bad.mdb").Execute("CREATE TABLE t (a LONG)");
    {
        std::fstream f(path("bad.mdb"), std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(16);
        const std::string junk(80, '\xEE');
        f.write(junk.data(), static_cast<std::streamsize>(junk.size()));
    }
    try {
        open("bad.mdb", "whatever");
        ADD_FAILURE();
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number(), msg::Corrupt.number) << e.what();
        EXPECT_EQ(std::string(e.what()).find("malformed"), std::string::npos);
        EXPECT_EQ(std::string(e.what()).find("密码"), std::string::npos);
        EXPECT_FALSE(e.detail().empty());
    }

    // An encrypted file with the right password opens; a wrong one says so.
    create("enc.mdb", "right").Close();
    EXPECT_EQ(numberOf([&] { open("enc.mdb", "wrong"); }), msg::PasswordOrDamaged.number);
    EXPECT_EQ(numberOf([&] { open("enc.mdb", "right"); }), 0);
}

TEST_F(TempDbTest, SqliteFailuresComeInChinese) {
    Connection c = create("e.mdb");
    c.Execute("CREATE TABLE t (a LONG)");
    std::string unions = "SELECT 1 FROM t";
    for (int i = 0; i < 600; ++i)
        unions += " UNION SELECT " + std::to_string(i) + " FROM t";
    std::string joins = "SELECT * FROM t AS t0";
    for (int i = 1; i < 70; ++i)
        joins += ", t AS t" + std::to_string(i);
    const std::regex english("[a-z]{4,}");
    for (const std::string& sql : {unions, joins, std::string("SELECT * FROM 无此表"),
                                   std::string("SELECT 无此列 FROM t")}) {
        try {
            Recordset rs = c.Execute(sql);
            (void)rs.RecordCount();
        } catch (const EngineError& e) {
            const std::string text = e.what();
            EXPECT_FALSE(std::regex_search(text, english)) << text;
            continue;
        }
        ADD_FAILURE() << sql.substr(0, 60);
    }
}

TEST_F(TempDbTest, LongChainsOfOneOperatorRun) {
    Connection c = create("l.mdb");
    c.Execute("CREATE TABLE t (a LONG, s TEXT(10))");
    c.Execute("INSERT INTO t VALUES (999, 'x')");
    std::string ors = "SELECT Count(*) FROM t WHERE a = 0";
    for (int i = 1; i < 1000; ++i)
        ors += " OR a = " + std::to_string(i);
    EXPECT_EQ(scalar(c, ors).toInt(), 1);
    std::string cat = "SELECT s";
    for (int i = 1; i < 500; ++i)
        cat += " & 'y'";
    EXPECT_EQ(scalar(c, cat + " FROM t").toText().size(), 500u);
    std::string sum = "SELECT 0";
    for (int i = 1; i <= 200; ++i)
        sum += " + " + std::to_string(i);
    EXPECT_EQ(scalar(c, sum).toInt(), 20100);
    c.Execute("CREATE TABLE n (x DOUBLE, y LONG)");
    c.Execute("INSERT INTO n VALUES (0.5, 2)");
    std::string columns = "SELECT x";
    for (int i = 1; i < 150; ++i)
        columns += i % 2 ? " + y" : " - x";
    EXPECT_DOUBLE_EQ(scalar(c, columns + " FROM n").toDouble(), 0.5 + 75 * 2 - 74 * 0.5);
    // + over texts joins them, over a date moves it; both fold left to
    // right, so a text that reads as a number still joins and a date minus
    // a date in the middle turns the rest into arithmetic on days.
    std::string plusText = "SELECT s";
    for (int i = 1; i < 500; ++i)
        plusText += i == 250 ? " + '7'" : " + 'y'";
    const std::string joined = scalar(c, plusText + " FROM t").toText();
    EXPECT_EQ(joined.size(), 500u);
    EXPECT_EQ(joined.substr(249, 3), "y7y");
    c.Execute("CREATE TABLE d (d DATETIME)");
    c.Execute("INSERT INTO d VALUES (#2000-01-01#)");
    std::string plusDate = "SELECT d";
    for (int i = 1; i < 500; ++i)
        plusDate += i % 2 ? " + 1" : " - 0.5";
    EXPECT_EQ(scalar(c, "SELECT Year(" + plusDate.substr(7) + ") & '-' & Month(" +
                            plusDate.substr(7) + ") FROM d")
                  .toText(),
              "2000-5"); // 250 days on minus 124.5
    EXPECT_DOUBLE_EQ(scalar(c, plusDate + " - d + 2 FROM d").toDouble(), 125.5 + 2);
    EXPECT_EQ(numberOf([&] { scalar(c, plusText + " + 1 + 'z' FROM t"); }),
              msg::FunctionTypeMismatch.number);
    std::string ands = "SELECT Count(*) FROM t WHERE a > 0";
    for (int i = 1; i < 1000; ++i)
        ands += " AND a > " + std::to_string(-i);
    EXPECT_EQ(scalar(c, ands).toInt(), 1);
}

// ---- files and processes ------------------------------------------------------

TEST_F(TempDbTest, CompactionKilledMidwayLeavesNoDestination) {
    {
        Connection c = create("big.mdb");
        c.Execute("CREATE TABLE t (id LONG, s TEXT(200))");
        c.Execute("CREATE TABLE t2 (id LONG)");
        c.Execute("INSERT INTO t2 VALUES (1)");
        c.Execute("INSERT INTO t VALUES (1, '" + std::string(150, 'x') + "')");
        for (int i = 0; i < 14; ++i)
            c.Execute("INSERT INTO t SELECT id + 1, s FROM t");
    }
    const long rows = 1L << 14;
    std::mt19937 rng(11);
    int completed = 0, killed = 0;
    for (int round = 0; round < 6; ++round) {
        const std::string dest = path("copy" + std::to_string(round) + ".mdb");
        const pid_t pid = ::fork();
        if (pid == 0) {
            try {
                JetEngine().CompactDatabase("Data Source=" + path("big.mdb"),
                                            "Data Source=" + dest);
            } catch (...) {
                ::_exit(1);
            }
            ::_exit(0);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(rng() % 150000));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (WIFSIGNALED(status)) ++killed;
        if (!std::filesystem::exists(dest)) continue;
        // Present means complete.
        ++completed;
        Connection copy;
        copy.Open("Data Source=" + dest);
        EXPECT_EQ(scalar(copy, "SELECT Count(*) FROM t").toInt(), rows);
        EXPECT_EQ(scalar(copy, "SELECT Count(*) FROM t2").toInt(), 1);
    }
    EXPECT_GT(killed + completed, 0);

    // A failed compaction leaves nothing under the target's name.
    const std::string dest = path("no-such-dir/copy.mdb");
    EXPECT_NE(numberOf([&] {
                  JetEngine().CompactDatabase("Data Source=" + path("big.mdb"),
                                              "Data Source=" + dest);
              }),
              0);
    EXPECT_FALSE(std::filesystem::exists(dest));
}

TEST_F(TempDbTest, OpeningWaitsForABusyFile) {
    create("busy.mdb").Execute("CREATE TABLE t (a LONG)");
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(path("busy.mdb").c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE; INSERT INTO t VALUES (1);", nullptr, nullptr,
                           nullptr),
              SQLITE_OK);
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(800));
        sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    });
    Connection c;
    EXPECT_NO_THROW(c.Open("Data Source=" + path("busy.mdb")));
    release.join();
    sqlite3_close(other);
    EXPECT_EQ(scalar(c, "SELECT Count(*) FROM t").toInt(), 1);
}

TEST_F(TempDbTest, DamagedFileAfterAnUnfinishedChangeOpensReadOnly) {
    {
        Connection c = create("d.mdb");
        c.Execute("CREATE TABLE t (id LONG, s TEXT(200))");
        c.Execute("CREATE TABLE other (id LONG)");
        c.Execute("INSERT INTO other VALUES (1)");
        c.Execute("INSERT INTO t VALUES (1, '" + std::string(150, 'x') + "')");
        for (int i = 0; i < 8; ++i)
            c.Execute("INSERT INTO t SELECT id + 1, s FROM t");
    }
    killedWriter(path("d.mdb"), "UPDATE t SET s = 'changed'");
    ASSERT_TRUE(std::filesystem::exists(path("d.mdb-journal")));
    // ... and the file is damaged where the journal cannot mend it: the page
    // of a table the change did not touch.
    int root = 0, pageSize = 0;
    {
        sqlite3* db = nullptr;
        const std::string uri = "file:" + path("d.mdb") + "?immutable=1";
        ASSERT_EQ(
            sqlite3_open_v2(uri.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr),
            SQLITE_OK);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "SELECT rootpage FROM sqlite_master WHERE name = 'other'", -1, &st,
                           nullptr);
        if (sqlite3_step(st) == SQLITE_ROW) root = sqlite3_column_int(st, 0);
        sqlite3_finalize(st);
        sqlite3_prepare_v2(db, "PRAGMA page_size", -1, &st, nullptr);
        if (sqlite3_step(st) == SQLITE_ROW) pageSize = sqlite3_column_int(st, 0);
        sqlite3_finalize(st);
        sqlite3_close(db);
    }
    ASSERT_GT(root, 1);
    ASSERT_GT(pageSize, 0);
    {
        std::fstream f(path("d.mdb"), std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(static_cast<std::streamoff>(root - 1) * pageSize);
        const std::string junk(static_cast<std::size_t>(pageSize), '\xFF');
        f.write(junk.data(), static_cast<std::streamsize>(junk.size()));
    }
    Connection c;
    c.Open("Data Source=" + path("d.mdb"));
    EXPECT_TRUE(c.ReadOnly());
    EXPECT_EQ(numberOf([&] { c.Execute("INSERT INTO other VALUES (2)"); }),
              msg::DamagedReadOnly.number);
}

TEST_F(TempDbTest, UnfinishedChangeOnReadOnlyMediaOpensAsBeforeTheChange) {
    {
        Connection c = create("u.mdb");
        c.Execute("CREATE TABLE t (id LONG, s TEXT(200))");
        c.Execute("INSERT INTO t VALUES (1, '" + std::string(150, 'x') + "')");
        for (int i = 0; i < 8; ++i)
            c.Execute("INSERT INTO t SELECT id + 1, s FROM t");
    }
    const std::string file = path("u.mdb");
    killedWriter(file, "UPDATE t SET s = 'changed'");
    ASSERT_TRUE(std::filesystem::exists(file + "-journal"));
    // Half of the change is in the file itself: read past the journal, it
    // would show.
    {
        sqlite3* db = nullptr;
        const std::string uri = "file:" + file + "?immutable=1";
        ASSERT_EQ(
            sqlite3_open_v2(uri.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr),
            SQLITE_OK);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "SELECT count(*) FROM t WHERE substr(s, 1) = 'changed'", -1, &st,
                           nullptr);
        ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
        EXPECT_GT(sqlite3_column_int(st, 0), 0);
        sqlite3_finalize(st);
        sqlite3_close(db);
    }
    std::filesystem::permissions(file, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::group_read |
                                           std::filesystem::perms::others_read);
    std::string before;
    {
        std::ifstream in(file, std::ios::binary);
        before.assign(std::istreambuf_iterator<char>(in), {});
    }
    {
        const RunAsNobody nobody;
        Connection c;
        ASSERT_NO_THROW(c.Open("Data Source=" + file));
        EXPECT_TRUE(c.ReadOnly());
        EXPECT_NE(c.ReadOnlyReason().find("上一次修改没有完成"), std::string::npos);
        EXPECT_EQ(scalar(c, "SELECT Count(*) FROM t").toInt(), 256);
        EXPECT_EQ(scalar(c, "SELECT Count(*) FROM t WHERE s = 'changed'").toInt(), 0);
        EXPECT_EQ(numberOf([&] { c.Execute("DELETE FROM t"); }), msg::UnfinishedReadOnly.number);
    }
    // The file and its journal are left as they were, for a writable copy
    // to repair; the private rolled-back copy is gone with the connection.
    std::string after;
    {
        std::ifstream in(file, std::ios::binary);
        after.assign(std::istreambuf_iterator<char>(in), {});
    }
    EXPECT_TRUE(before == after);
    EXPECT_TRUE(std::filesystem::exists(file + "-journal"));
    for (const auto& e :
         std::filesystem::directory_iterator(std::filesystem::temp_directory_path()))
        EXPECT_EQ(e.path().filename().string().rfind("tabelko-unfinished-", 0), std::string::npos);
    // A writable copy rolls the change back by itself.
    std::filesystem::copy_file(file, path("w.mdb"));
    std::filesystem::copy_file(file + "-journal", path("w.mdb-journal"));
    std::filesystem::permissions(path("w.mdb"), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    Connection w = open("w.mdb");
    EXPECT_FALSE(w.ReadOnly());
    EXPECT_EQ(scalar(w, "SELECT Count(*) FROM t WHERE s = 'changed'").toInt(), 0);
}

// A full disk, made as a small memory file system where the test may mount
// one (as root).
TEST_F(TempDbTest, FullDiskRefusesChangesPlainlyAndKeepsTheData) {
    const std::string mountPoint = path("full");
    std::filesystem::create_directories(mountPoint);
    const std::string mount = "mount -t tmpfs -o size=2m tmpfs '" + mountPoint + "' 2>/dev/null";
    if (::geteuid() != 0 || std::system(mount.c_str()) != 0)
        GTEST_SKIP() << "a small file system can only be mounted as root";
    struct Unmount {
        std::string at;
        ~Unmount() { (void)std::system(("umount '" + at + "'").c_str()); }
    } unmount{mountPoint};

    const std::string file = mountPoint + "/f.mdb";
    Connection::CreateDatabase(file);
    Connection c;
    c.Open("Data Source=" + file);
    c.Execute("CREATE TABLE t (id LONG, s TEXT(200))");
    c.Execute("INSERT INTO t VALUES (1, '" + std::string(150, 'x') + "')");
    for (int i = 0; i < 9; ++i)
        c.Execute("INSERT INTO t SELECT id + 1, s FROM t");
    // Fill what is left of the disk.
    {
        std::ofstream filler(mountPoint + "/filler", std::ios::binary);
        const std::string block(4096, 'f');
        while (filler.write(block.data(), static_cast<std::streamsize>(block.size())))
            ;
    }
    EXPECT_EQ(numberOf([&] { c.Execute("INSERT INTO t SELECT id, s FROM t"); }),
              msg::DiskFull.number);
    EXPECT_EQ(numberOf([&] { c.Execute("DELETE FROM t WHERE id > 2"); }), msg::DiskFull.number);
    const std::string text = failure([&] { c.Execute("DELETE FROM t"); });
    EXPECT_NE(text.find("释放"), std::string::npos) << text;
    EXPECT_EQ(scalar(c, "SELECT Count(*) FROM t").toInt(), 512);
    EXPECT_FALSE(std::filesystem::exists(file + "-journal"));

    // With space freed the same deletion runs, and compaction shrinks the file.
    std::filesystem::remove(mountPoint + "/filler");
    c.Execute("DELETE FROM t WHERE id > 2");
    EXPECT_EQ(scalar(c, "SELECT Count(*) FROM t").toInt(), 10); // ids 1 and 2
    c.Close();
    const auto big = std::filesystem::file_size(file);
    JetEngine().CompactDatabase("Data Source=" + file, "Data Source=" + mountPoint + "/g.mdb");
    EXPECT_LT(std::filesystem::file_size(mountPoint + "/g.mdb"), big);
}
