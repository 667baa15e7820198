// SELECT translation, checked by running the translated text on real data.

#include "TestDb.h"

#include "engine/base/EngineError.h"

using engine::sql::SelectShape;
using engine::sql::StatementKind;
using engine::sql::translate;

namespace {

class SelectTest : public ::testing::Test {
protected:
    void SetUp() override {
        db.exec("CREATE TABLE 客户 (编号 INTEGER PRIMARY KEY, 名称 TEXT, 城市 TEXT, 余额 REAL, "
                "生日 TEXT, 会员 INTEGER)");
        db.exec("INSERT INTO 客户 VALUES (1, '张三', '北京', 100.5, '1990-05-01 00:00:00', -1),"
                "(2, '李四', '上海', 0, '1985-12-31 00:00:00', 0),"
                "(3, '王五', NULL, 50, NULL, -1),"
                "(4, 'Smith', 'London', 20, '2000-01-15 08:30:00', 0)");
        db.exec(
            "CREATE TABLE 订单 (单号 INTEGER PRIMARY KEY, 客户编号 INTEGER, 金额 REAL, 日期 TEXT)");
        db.exec("INSERT INTO 订单 VALUES (10, 1, 30, '2024-01-05 00:00:00'), (11, 1, 70, "
                "'2024-02-10 00:00:00'), (12, 2, 15, '2024-03-01 00:00:00'), (13, 9, 5, NULL)");
        db.exec("CREATE TABLE [Order Details] (单号 INTEGER, 产品 TEXT, 数量 INTEGER)");
        db.exec(
            "INSERT INTO [Order Details] VALUES (10, '苹果', 3), (10, '梨', 1), (11, '苹果', 7)");
    }
    TestDb db;
};

std::string syntaxErrorOf(const std::string& jet) {
    try {
        translate(jet);
    } catch (const engine::EngineError& e) {
        EXPECT_EQ(e.number(), 3075) << e.what();
        return e.what();
    }
    return "<no error>";
}

} // namespace

TEST_F(SelectTest, BareNamesAndStarSelectReadTheTable) {
    auto t = translate("客户");
    EXPECT_EQ(t.kind, StatementKind::BareName);
    EXPECT_EQ(db.query(t.sqlite).rows.size(), 4u);
    EXPECT_TRUE(t.shape.singleSource);
    EXPECT_EQ(t.shape.sourceName, "客户");

    t = translate("[Order Details]");
    EXPECT_EQ(t.kind, StatementKind::BareName);
    EXPECT_EQ(t.tables, std::vector<std::string>{"Order Details"});
    EXPECT_EQ(db.query(t.sqlite).rows.size(), 3u);

    EXPECT_EQ(db.column("select * from 客户 Order By 编号 Desc"), "4|3|2|1");
    EXPECT_EQ(db.column("SELECT [名称] FROM [客户] WHERE [城市] = '北京';"), "张三");
}

TEST_F(SelectTest, TopAndPercentLimitRows) {
    EXPECT_EQ(db.column("select top 2 * from 客户"), "1|2");
    EXPECT_EQ(db.column("SELECT TOP 2 编号 FROM 客户 ORDER BY 余额 DESC"), "1|3");
    // A percentage of the rows, rounded up: 4 rows * 30% -> 2.
    EXPECT_EQ(db.column("SELECT TOP 30 PERCENT 编号 FROM 客户 ORDER BY 编号"), "1|2");
    EXPECT_EQ(db.column("SELECT TOP 100 PERCENT 编号 FROM 客户"), "1|2|3|4");
    const auto t = translate("select top 100 * from 客户 Order By 名称 Desc");
    EXPECT_EQ(t.shape.limit.rfind("LIMIT", 0), 0u);
    EXPECT_TRUE(t.shape.singleSource);
    EXPECT_EQ(t.shape.orderBy.rfind("ORDER BY", 0), 0u);
}

TEST_F(SelectTest, ShapeRebuildsTheSameRows) {
    const auto t =
        translate("SELECT 名称, 余额 * 2 AS 双倍 FROM 客户 AS k WHERE k.余额 > 10 ORDER BY 名称");
    ASSERT_TRUE(t.shape.singleSource);
    EXPECT_EQ(t.shape.sourceName, "客户");
    EXPECT_EQ(t.shape.sourceRef, "\"k\"");
    const std::string rebuilt = "SELECT " + t.shape.sourceRef + ".rowid, " + t.shape.selectList +
                                " " + t.shape.fromClause + " " + t.shape.orderBy;
    EXPECT_EQ(db.query(rebuilt).rows,
              db.query("SELECT 编号, 名称, 余额 * 2 FROM 客户 WHERE 余额 > 10 ORDER BY 名称").rows);

    for (const char* notSingle : {"SELECT DISTINCT 城市 FROM 客户", "SELECT Count(*) FROM 客户",
                                  "SELECT 城市 FROM 客户 GROUP BY 城市", "SELECT * FROM 客户, 订单",
                                  "SELECT * FROM 客户 INNER JOIN 订单 ON 客户.编号 = 订单.客户编号",
                                  "SELECT 名称 FROM 客户 UNION SELECT 产品 FROM [Order Details]",
                                  "SELECT * FROM (SELECT * FROM 客户) AS q"})
        EXPECT_FALSE(translate(notSingle).shape.singleSource) << notSingle;
}

TEST_F(SelectTest, ColumnNamesFollowJet) {
    const auto r = db.jet(
        "SELECT 名称, Count(*), 余额 + 1, [余额] AS 钱, Len(名称) FROM 客户 GROUP BY 名称, 余额");
    EXPECT_EQ(r.columns,
              (std::vector<std::string>{"名称", "Expr1000", "Expr1001", "钱", "Expr1002"}));
    const auto j = db.jet("SELECT 订单.单号, d.单号 FROM 订单 INNER JOIN [Order Details] AS d ON "
                          "订单.单号 = d.单号");
    EXPECT_EQ(j.columns, (std::vector<std::string>{"订单.单号", "d.单号"}));
    const auto k = db.jet("SELECT 客户.名称 x, 城市 FROM 客户");
    EXPECT_EQ(k.columns, (std::vector<std::string>{"x", "城市"}));
}

TEST_F(SelectTest, MisspeltFieldIsAnErrorNotAText) {
    // SQLite would read an unknown double-quoted name as a string.
    EXPECT_THROW(db.jet("SELECT 名字 FROM 客户"), std::runtime_error);
    EXPECT_THROW(db.jet("SELECT * FROM 客户 WHERE [名字] = '名字'"), std::runtime_error);
}

TEST_F(SelectTest, JetNestedJoinsAndRightJoin) {
    const char* nested =
        "SELECT 客户.名称, 订单.单号, [Order Details].产品 FROM (客户 INNER JOIN 订单 ON "
        "客户.编号 = 订单.客户编号) INNER JOIN [Order Details] ON 订单.单号 = [Order Details].单号 "
        "ORDER BY [Order Details].数量";
    EXPECT_EQ(db.column(nested, 2), "梨|苹果|苹果");
    const auto t = translate(nested);
    EXPECT_EQ(t.tables, (std::vector<std::string>{"客户", "订单", "Order Details"}));

    EXPECT_EQ(db.column("SELECT 订单.单号, 客户.名称 FROM 客户 LEFT JOIN 订单 ON 客户.编号 = "
                        "订单.客户编号 ORDER BY 客户.编号, 订单.单号"),
              "10|11|12|<null>|<null>");
    // RIGHT JOIN keeps every order, also the one without a customer, and
    // SELECT * keeps Jet's column order (客户 first).
    const auto r = db.jet(
        "SELECT * FROM 客户 RIGHT JOIN 订单 ON 客户.编号 = 订单.客户编号 ORDER BY 订单.单号");
    ASSERT_EQ(r.rows.size(), 4u);
    EXPECT_EQ(r.columns[0], "编号");
    EXPECT_EQ(r.columns[6], "单号");
    EXPECT_EQ(r.rows[3][0], "<null>");
    EXPECT_EQ(r.rows[3][6], "13");
    // A right join over a parenthesised group.
    EXPECT_EQ(db.column("SELECT o.单号 FROM (客户 AS c INNER JOIN [Order Details] AS d ON c.编号 = "
                        "d.数量) RIGHT JOIN 订单 AS o ON o.单号 = d.单号 ORDER BY o.单号"),
              "10|10|11|12|13");
    EXPECT_EQ(
        db.column("SELECT a.名称 FROM 客户 a, 订单 b WHERE a.编号 = b.客户编号 AND b.金额 > 20"),
        "张三|张三");
}

TEST_F(SelectTest, WhereOperators) {
    EXPECT_EQ(db.column("SELECT 编号 FROM 客户 WHERE 城市 IS NULL"), "3");
    EXPECT_EQ(db.column("SELECT 编号 FROM 客户 WHERE 城市 IS NOT NULL AND NOT 余额 = 0"), "1|4");
    EXPECT_EQ(db.column("SELECT 编号 FROM 客户 WHERE 余额 BETWEEN 20 AND 60"), "3|4");
    EXPECT_EQ(db.column("SELECT 编号 FROM 客户 WHERE 余额 NOT BETWEEN 20 AND 60"), "1|2");
    EXPECT_EQ(db.column("SELECT 编号 FROM 客户 WHERE 城市 IN ('北京', \"上海\")"), "1|2");
    EXPECT_EQ(db.column("SELECT 编号 FROM 客户 WHERE 编号 NOT IN (1, 2)"), "3|4");
    EXPECT_EQ(db.column("SELECT 编号 FROM 客户 WHERE 会员 = True"), "1|3");
    EXPECT_EQ(db.column("SELECT 编号 FROM 客户 WHERE 会员 = No"), "2|4");
    EXPECT_EQ(db.column("SELECT 编号 FROM 客户 WHERE 会员"), "1|3");
    EXPECT_EQ(db.column("SELECT 编号 FROM 客户 WHERE 生日 < #1/1/1991#"), "1|2");
    EXPECT_EQ(db.column("SELECT 编号 FROM 客户 WHERE 生日 = #2000-01-15 8:30#"), "4");
    EXPECT_EQ(
        db.column("SELECT 编号 FROM 客户 WHERE 余额 <> 0 AND (城市 = '北京' OR 城市 = 'London')"),
        "1|4");
    EXPECT_EQ(db.column("SELECT 编号 FROM 客户 WHERE 编号 Mod 2 = 0"), "2|4");
}

TEST_F(SelectTest, LikeWithBothWildcardStyles) {
    EXPECT_EQ(db.column("select * from [客户] where [名称] like '%张%'"), "1");
    EXPECT_EQ(db.column("select * from 客户 where 名称 like '张*'"), "1");
    EXPECT_EQ(db.column("select * from 客户 where 名称 like '?四'"), "2");
    EXPECT_EQ(db.column("select * from 客户 where 名称 like '_五'"), "3");
    EXPECT_EQ(db.column("select * from 客户 where 名称 like 'sm[a-j]th'"), "4");
    EXPECT_EQ(db.column("select * from 客户 where 名称 like '[!s]*'"), "1|2|3");
    EXPECT_EQ(db.column("select * from 客户 where 名称 not like '*i*'"), "1|2|3");
    EXPECT_EQ(db.column("select 单号 from 订单 where 金额 like '#0'"), "10|11");
    // Case does not matter, also for letters outside ASCII.
    db.exec("INSERT INTO 客户 (编号, 名称) VALUES (5, 'ÉCOLE')");
    EXPECT_EQ(db.column("select 编号 from 客户 where 名称 like 'SMITH'"), "4");
    EXPECT_EQ(db.column("select 编号 from 客户 where 名称 like 'éc*'"), "5");
    // A pattern built from a field goes to the same matcher.
    EXPECT_EQ(db.column("select 编号 from 客户 where 'x张三y' like '*' & 名称 & '*'"), "1");
    // The quote inside the literal is not touched.
    db.exec("INSERT INTO 客户 (编号, 名称) VALUES (6, 'O''Brien [x]')");
    EXPECT_EQ(db.column("select 编号 from 客户 where 名称 like 'O''B*'"), "6");
    EXPECT_EQ(db.column("select 编号 from 客户 where 名称 like '*[[]x]'"), "6");
}

TEST_F(SelectTest, BracketedWildcardsMatchThemselvesThroughSqliteLike) {
    db.exec("CREATE TABLE 码 (n INTEGER PRIMARY KEY, s TEXT)");
    db.exec("INSERT INTO 码 (s) VALUES ('50%'), ('50'), ('5_0'), ('530'), ('a*b'), ('a?b'), "
            "('axb'), ('x\\y'), ('x\\%y'), ('A#1'), ('[z]'), ('50%off'), ('5%0_'), ('ß%')");
    const std::vector<std::string> patterns = {
        "50[%]", "*[%]*",  "5[_]0", "a[*]b", "a[?]b",    "x\\y", "*\\*",  "x\\[%]y", "A[#]#",
        "[[]z]", "50[%]*", "[%]",   "5_0",   "*[%]?[_]", "%[%]", "a[-]b", "ß[%]"};
    for (const auto& p : patterns) {
        const std::string fast = "SELECT n FROM 码 WHERE s LIKE '" + p + "'";
        // The same pattern built at run time goes to the engine's own matcher.
        const std::string own = "SELECT n FROM 码 WHERE s LIKE '' & '" + p + "'";
        EXPECT_EQ(db.column(fast), db.column(own)) << p;
        EXPECT_EQ(db.column("SELECT n FROM 码 WHERE s NOT LIKE '" + p + "'"),
                  db.column("SELECT n FROM 码 WHERE s NOT LIKE '' & '" + p + "'"))
            << p;
    }
    EXPECT_EQ(db.column("SELECT s FROM 码 WHERE s LIKE '*[%]*' ORDER BY n"),
              "50%|x\\%y|50%off|5%0_|ß%");
    EXPECT_NE(
        engine::sql::translate("SELECT n FROM 码 WHERE s LIKE '*50[%]*'").sqlite.find("ESCAPE"),
        std::string::npos);
}

TEST_F(SelectTest, GroupByHavingAndAggregates) {
    EXPECT_EQ(db.column("SELECT 客户编号, Sum(金额) AS 合计 FROM 订单 GROUP BY 客户编号 HAVING "
                        "Sum(金额) > 10 ORDER BY Sum(金额) DESC",
                        1),
              "100.0|15.0");
    EXPECT_EQ(db.scalar("SELECT Count(*) FROM 客户 WHERE 会员 <> 0"), "2");
    EXPECT_EQ(db.scalar("SELECT First(名称) FROM 客户"), "张三");
    EXPECT_EQ(db.scalar("SELECT Last(名称) FROM 客户"), "Smith");
    EXPECT_EQ(db.scalar("SELECT Avg(金额) FROM 订单 WHERE 客户编号 = 1"), "50.0");
    EXPECT_EQ(db.scalar("SELECT Max(余额) - Min(余额) FROM 客户"), "100.5");
    EXPECT_EQ(db.scalar("SELECT Round(StDev(金额), 4) FROM 订单"), "28.5774");
    EXPECT_EQ(db.scalar("SELECT Count(城市) FROM 客户"), "3");
}

TEST_F(SelectTest, UnionAndSubqueries) {
    EXPECT_EQ(db.column("SELECT 名称 FROM 客户 WHERE 编号 < 3 UNION SELECT 产品 FROM [Order "
                        "Details] ORDER BY 名称"),
              "张三|李四|梨|苹果");
    EXPECT_EQ(
        db.column("SELECT 产品 FROM [Order Details] UNION ALL SELECT 产品 FROM [Order Details]")
            .size(),
        std::string("苹果|梨|苹果|苹果|梨|苹果").size());
    EXPECT_EQ(db.column("SELECT 名称 FROM 客户 WHERE 编号 IN (SELECT 客户编号 FROM 订单)"),
              "张三|李四");
    EXPECT_EQ(db.column("SELECT 名称 FROM 客户 AS c WHERE NOT EXISTS (SELECT * FROM 订单 WHERE "
                        "订单.客户编号 = c.编号)"),
              "王五|Smith");
    EXPECT_EQ(db.column("SELECT 名称, (SELECT Sum(金额) FROM 订单 WHERE 客户编号 = 客户.编号) FROM "
                        "客户 WHERE 编号 = 1",
                        1),
              "100.0");
    EXPECT_EQ(db.column("SELECT q.n FROM (SELECT 名称 AS n FROM 客户 WHERE 编号 = 2) AS q"),
              "李四");
    EXPECT_EQ(
        db.column(
            "(SELECT 编号 FROM 客户 WHERE 编号 = 1) UNION (SELECT 单号 FROM 订单 WHERE 单号 = 10)"),
        "1|10");
    const auto t = translate("SELECT 名称 FROM 客户 WHERE 编号 IN (SELECT 客户编号 FROM 订单)");
    EXPECT_EQ(t.tables, (std::vector<std::string>{"客户", "订单"}));
}

TEST_F(SelectTest, ExpressionsGiveJetValues) {
    // & treats Null as empty text; + of two texts joins them.
    EXPECT_EQ(db.column("SELECT 名称 & '/' & 城市 FROM 客户 WHERE 编号 IN (1, 3)"),
              "张三/北京|王五/");
    EXPECT_EQ(db.column("SELECT 名称 + 城市 FROM 客户 WHERE 编号 IN (1, 3)"), "张三北京|<null>");
    EXPECT_EQ(db.eval("Null & Null"), "<null>");
    EXPECT_EQ(db.eval("1.5 & 'x'"), "1.5x");
    EXPECT_EQ(db.eval("7 / 2"), "3.5");
    EXPECT_EQ(db.eval("7 \\ 2"), "3");
    EXPECT_EQ(db.eval("2 ^ 10"), "1024.0");
    EXPECT_EQ(db.eval("-2 ^ 2"), "-4.0");
    EXPECT_EQ(db.eval("10 Mod 3"), "1");
    EXPECT_EQ(db.eval("1 + 2 * 3"), "7");
    EXPECT_EQ(db.eval("(1 + 2) * 3"), "9");
    EXPECT_EQ(db.eval("3 > 2"), "-1");
    EXPECT_EQ(db.eval("True"), "-1");
    EXPECT_EQ(db.eval("Not True"), "0");
    EXPECT_EQ(db.eval("#2024-02-28# + 2"), "2024-03-01 00:00:00");
    EXPECT_EQ(db.eval("#3/1/2024# - #2/1/2024#"), "29.0");
    EXPECT_EQ(db.eval("'It''s' & \"a \"\"b\"\"\""), "It'sa \"b\"");
    EXPECT_EQ(db.eval("&H1F + 1"), "32");
    EXPECT_EQ(db.eval("IIf(1 > 2, 'yes', 'no')"), "no");
    EXPECT_EQ(db.eval("IIf(Null, 'yes', 'no')"), "no");
    EXPECT_EQ(db.column("SELECT Nz(城市, '无') FROM 客户 WHERE 编号 = 3"), "无");
    EXPECT_EQ(db.column("SELECT IsNull(城市) FROM 客户 ORDER BY 编号"), "0|0|-1|0");
    EXPECT_EQ(db.eval("Switch(1 = 2, 'a', 2 = 2, 'b')"), "b");
    EXPECT_EQ(db.eval("Choose(2, 'a', 'b', 'c')"), "b");
    EXPECT_EQ(db.eval("UCase(Left$('abc', 2))"), "AB");
    // Conditions used as values are Jet's -1 / 0.
    EXPECT_EQ(db.column("SELECT EXISTS (SELECT * FROM 订单 WHERE 客户编号 = 客户.编号) FROM 客户 "
                        "ORDER BY 编号"),
              "-1|-1|0|0");
    EXPECT_EQ(db.eval("(1 = 1) = True"), "-1");
    EXPECT_EQ(db.eval("'b' Like '[a-c]' And Not 'd' Like '[a-c]'"), "-1");
}

TEST_F(SelectTest, ErrorsNameWhatIsWrong) {
    EXPECT_NE(syntaxErrorOf("SELECT * FROM").find("表名"), std::string::npos);
    EXPECT_NE(syntaxErrorOf("SELECT * FROM 客户 WHERE").find("表达式"), std::string::npos);
    EXPECT_NE(syntaxErrorOf("SELECT 名称 FROM 客户 WHERE (编号 = 1").find(")"), std::string::npos);
    EXPECT_NE(syntaxErrorOf("SELECT Foo(1) FROM 客户").find("Foo"), std::string::npos);
    EXPECT_NE(syntaxErrorOf("SELECT Left(名称) FROM 客户").find("Left"), std::string::npos);
    EXPECT_NE(syntaxErrorOf("SELECT * FROM 客户 x y").find("y"), std::string::npos);
    EXPECT_NE(syntaxErrorOf("SELECT 'abc FROM 客户").find("引号"), std::string::npos);
    EXPECT_NE(syntaxErrorOf("SELECT * FROM 客户 FULL JOIN 订单 ON 1=1").find("FULL"),
              std::string::npos);
    syntaxErrorOf("SELECT * FROM 客户; SELECT * FROM 订单");
    syntaxErrorOf("CREATE TABLE x (a Long)");
    syntaxErrorOf("SELECT * FROM 客户 WHERE 生日 = #13/13/2024#");
}

TEST(Classify, NamesEveryStatementKind) {
    using engine::sql::classify;
    EXPECT_EQ(classify("  "), StatementKind::Empty);
    EXPECT_EQ(classify(";"), StatementKind::Empty);
    EXPECT_EQ(classify("select * from T"), StatementKind::Select);
    EXPECT_EQ(classify("(select 1) union (select 2)"), StatementKind::Select);
    EXPECT_EQ(classify("SELECT a INTO 新表 FROM T"), StatementKind::SelectInto);
    EXPECT_EQ(classify("SELECT a FROM T WHERE a IN (SELECT b INTO x FROM y)"),
              StatementKind::Select);
    EXPECT_EQ(classify("insert into T values (1)"), StatementKind::Insert);
    EXPECT_EQ(classify("UPDATE T SET a = 1"), StatementKind::Update);
    EXPECT_EQ(classify("delete * from T"), StatementKind::Delete);
    EXPECT_EQ(classify("Create TABLE [客户](说明 text(50) NULL)"), StatementKind::CreateTable);
    EXPECT_EQ(classify("ALTER TABLE [T]  Alter COLUMN [c] Long"), StatementKind::AlterTable);
    EXPECT_EQ(classify("Drop table [T]"), StatementKind::DropTable);
    EXPECT_EQ(classify("CREATE UNIQUE INDEX i ON T (a)"), StatementKind::CreateIndex);
    EXPECT_EQ(classify("DROP INDEX i ON T"), StatementKind::DropIndex);
    EXPECT_EQ(classify("create proc Big as select * from T;"), StatementKind::CreateProcedure);
    EXPECT_EQ(classify("CREATE VIEW v AS SELECT 1"), StatementKind::CreateProcedure);
    EXPECT_EQ(classify("DROP PROCEDURE Big"), StatementKind::DropProcedure);
    EXPECT_EQ(classify("DROP VIEW v"), StatementKind::DropProcedure);
    EXPECT_EQ(classify("EXEC Big"), StatementKind::Execute);
    EXPECT_EQ(classify("客户"), StatementKind::BareName);
    EXPECT_EQ(classify("[Order Details];"), StatementKind::BareName);
    EXPECT_EQ(classify("Big(存储过程)"), StatementKind::Other);
    EXPECT_EQ(classify("TRANSFORM Sum(a) SELECT b FROM T GROUP BY b PIVOT c"),
              StatementKind::Select);
    EXPECT_EQ(classify("PARAMETERS [a] Long; UPDATE T SET b = [a]"), StatementKind::Update);
    // A malformed statement still has a kind, so its error comes from translate.
    EXPECT_EQ(classify("select 'abc from T"), StatementKind::Select);
}
