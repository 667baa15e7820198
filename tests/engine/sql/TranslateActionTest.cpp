// INSERT, UPDATE, DELETE, SELECT INTO, expressions and renames, run on
// real data.

#include "TestDb.h"

#include "engine/base/EngineError.h"

using engine::sql::renameIdentifier;
using engine::sql::StatementKind;
using engine::sql::translate;
using engine::sql::translateExpression;

namespace {

class ActionTest : public ::testing::Test {
protected:
    void SetUp() override {
        db.exec("CREATE TABLE 产品 (编号 INTEGER PRIMARY KEY, 名称 TEXT, 价格 REAL, 库存 INTEGER, "
                "停售 INTEGER DEFAULT 0, 上架 TEXT)");
        db.exec("INSERT INTO 产品 VALUES (1, '苹果', 5, 10, 0, NULL), (2, '梨', 3, 0, 0, NULL), "
                "(3, '桃', 8, 4, 0, NULL)");
        db.exec("CREATE TABLE 调价 (产品号 INTEGER, 新价 REAL)");
        db.exec("INSERT INTO 调价 VALUES (1, 6), (3, 9)");
    }
    void run(const std::string& jet, StatementKind kind) {
        const auto t = translate(jet);
        EXPECT_EQ(t.kind, kind) << jet;
        db.exec(t.sqlite);
    }
    TestDb db;
};

} // namespace

TEST_F(ActionTest, InsertValuesAndSelect) {
    run("insert into 产品 (编号, 名称, 价格, 停售, 上架) VALUES (4, '李''子', 2.5, True, "
        "#12/31/2024#)",
        StatementKind::Insert);
    EXPECT_EQ(db.column("SELECT 名称 & '|' & 停售 & '|' & 上架 FROM 产品 WHERE 编号 = 4"),
              "李'子|-1|2024/12/31");
    run("INSERT INTO 产品 SELECT 编号 + 10, 名称, 价格, 库存, 停售, 上架 FROM 产品 WHERE 编号 < 3",
        StatementKind::Insert);
    EXPECT_EQ(db.column("SELECT 编号 FROM 产品 WHERE 编号 > 10"), "11|12");
    run("INSERT INTO [产品] ([名称]) SELECT 产品号 & '号' FROM 调价;", StatementKind::Insert);
    EXPECT_EQ(db.column("SELECT 名称 FROM 产品 WHERE 名称 LIKE '*号'"), "1号|3号");
    EXPECT_EQ(translate("INSERT INTO 产品 (名称) VALUES ('x')").tables,
              std::vector<std::string>{"产品"});
}

TEST_F(ActionTest, UpdateSingleTableAndJetJoinUpdate) {
    run("UPDATE 产品 SET 价格 = 价格 * 2, 产品.停售 = Yes WHERE 库存 = 0", StatementKind::Update);
    EXPECT_EQ(db.column("SELECT 价格 & ',' & 停售 FROM 产品 ORDER BY 编号"), "5,0|6,-1|8,0");

    run("UPDATE 产品 INNER JOIN 调价 ON 产品.编号 = 调价.产品号 SET 产品.价格 = 调价.新价 WHERE "
        "调价.新价 > 6",
        StatementKind::Update);
    EXPECT_EQ(db.column("SELECT 价格 FROM 产品 ORDER BY 编号"), "5.0|6.0|9.0");

    // The target may be aliased, and the written table is the one of SET.
    run("UPDATE 调价 AS t INNER JOIN 产品 AS p ON p.编号 = t.产品号 SET p.库存 = p.库存 + t.新价",
        StatementKind::Update);
    EXPECT_EQ(db.column("SELECT 库存 FROM 产品 ORDER BY 编号"), "16|0|13");

    // Three tables in Jet's parentheses; the condition reaches the third.
    db.exec("CREATE TABLE 批准 (产品号 INTEGER, 同意 INTEGER)");
    db.exec("INSERT INTO 批准 VALUES (1, -1), (3, 0)");
    run("UPDATE (产品 INNER JOIN 调价 ON 产品.编号 = 调价.产品号) INNER JOIN 批准 ON 批准.产品号 = "
        "调价.产品号 SET 产品.价格 = 调价.新价 * 10 WHERE 批准.同意 = True",
        StatementKind::Update);
    EXPECT_EQ(db.column("SELECT 价格 FROM 产品 ORDER BY 编号"), "60.0|6.0|9.0");

    const auto t =
        translate("UPDATE 产品 INNER JOIN 调价 ON 产品.编号 = 调价.产品号 SET 产品.价格 = 1");
    EXPECT_EQ(t.tables, (std::vector<std::string>{"产品", "调价"}));
    EXPECT_THROW(
        translate("UPDATE 产品 LEFT JOIN 调价 ON 产品.编号 = 调价.产品号 SET 产品.价格 = 1"),
        engine::EngineError);
    EXPECT_THROW(
        translate("UPDATE 产品 INNER JOIN 调价 ON 产品.编号 = 调价.产品号 SET 产品.价格 = 1, "
                  "调价.新价 = 2"),
        engine::EngineError);
}

TEST_F(ActionTest, DeleteFormsOfJet) {
    run("delete * from 产品 where 库存 = 0", StatementKind::Delete);
    EXPECT_EQ(db.column("SELECT 编号 FROM 产品"), "1|3");
    run("DELETE 产品.* FROM 产品 INNER JOIN 调价 ON 产品.编号 = 调价.产品号 WHERE 调价.新价 > 8",
        StatementKind::Delete);
    EXPECT_EQ(db.column("SELECT 编号 FROM 产品"), "1");
    // Rows without a match, through a LEFT JOIN.
    db.exec("INSERT INTO 产品 (编号, 名称) VALUES (7, '枣')");
    run("DELETE 产品.* FROM 产品 LEFT JOIN 调价 ON 产品.编号 = 调价.产品号 WHERE 调价.产品号 IS "
        "NULL",
        StatementKind::Delete);
    EXPECT_EQ(db.column("SELECT 编号 FROM 产品"), "1");
    run("DELETE FROM 产品 AS p WHERE p.编号 = 1", StatementKind::Delete);
    EXPECT_EQ(db.column("SELECT Count(*) FROM 产品"), "0");
    run("DELETE FROM 调价", StatementKind::Delete);
    EXPECT_EQ(db.column("SELECT Count(*) FROM 调价"), "0");
}

TEST_F(ActionTest, SelectIntoReportsTheNewTable) {
    const auto t = translate("SELECT 名称, 价格 * 2 AS 双价 INTO [新 表] FROM 产品 WHERE 编号 < 3");
    EXPECT_EQ(t.kind, StatementKind::SelectInto);
    EXPECT_EQ(t.intoTable, "新 表");
    EXPECT_EQ(t.tables, std::vector<std::string>{"产品"});
    db.exec("CREATE TABLE \"新 表\" AS " + t.sqlite);
    EXPECT_EQ(db.column("SELECT 双价 FROM [新 表]"), "10.0|6.0");
}

TEST(Expressions, DefaultsAndConditions) {
    TestDb db;
    EXPECT_EQ(translateExpression("True"), "-1");
    EXPECT_EQ(db.query("SELECT " + translateExpression("\"abc\"")).rows[0][0], "abc");
    EXPECT_EQ(db.query("SELECT " + translateExpression("#1/2/2024#")).rows[0][0],
              "2024-01-02 00:00:00");
    EXPECT_EQ(db.query("SELECT " + translateExpression("Year(Now()) > 2000")).rows[0][0], "1");
    db.exec("CREATE TABLE t (a INTEGER, b TEXT DEFAULT (" + translateExpression("'x' & 'y'") +
            "))");
    db.exec("INSERT INTO t (a) VALUES (1)");
    EXPECT_EQ(db.query("SELECT b FROM t").rows[0][0], "xy");
    EXPECT_THROW(translateExpression("1 +"), engine::EngineError);
    EXPECT_THROW(translateExpression("1 2"), engine::EngineError);
}

TEST(Rename, ReplacesNamesOnly) {
    EXPECT_EQ(
        renameIdentifier("select 客户.名称, [名称] from 客户 where 名称 = '名称'", "名称", "姓名"),
        "select 客户.[姓名], [姓名] from 客户 where [姓名] = '名称'");
    EXPECT_EQ(renameIdentifier("SELECT * FROM [Order Details] WHERE x = \"order details\"",
                               "ORDER DETAILS", "明细"),
              "SELECT * FROM [明细] WHERE x = \"order details\"");
    // A function of the same name is not a field.
    EXPECT_EQ(renameIdentifier("SELECT Year(Year) FROM T", "Year", "年份"),
              "SELECT Year([年份]) FROM T");
    // Malformed text is left as it is after the point where it breaks.
    EXPECT_EQ(renameIdentifier("SELECT a FROM T WHERE b = 'x", "a", "c"),
              "SELECT [c] FROM T WHERE b = 'x");

    // The renamed query still runs.
    TestDb db;
    db.exec("CREATE TABLE 客户 (姓名 TEXT)");
    db.exec("INSERT INTO 客户 VALUES ('张三')");
    EXPECT_EQ(
        db.scalar(renameIdentifier("SELECT 名称 FROM 客户 WHERE 名称 LIKE '张*'", "名称", "姓名")),
        "张三");
}

TEST(Rename, ColumnOfOneTableOnly) {
    using engine::sql::renameColumn;
    // Queries over another table keep their own field of the same name.
    EXPECT_EQ(renameColumn("SELECT 名称 FROM 产品", "客户", "名称", "姓名"),
              "SELECT 名称 FROM 产品");
    EXPECT_EQ(renameColumn("select * from 客户 where 名称 like '张*'", "客户", "名称", "姓名"),
              "select * from 客户 where [姓名] like '张*'");
    EXPECT_EQ(
        renameColumn("SELECT k.名称, p.名称 AS 名称 FROM 客户 AS k INNER JOIN 产品 p ON k.编号 = "
                     "p.客户, [客户] c2 WHERE [客户].名称 = c2.名称",
                     "客户", "名称", "姓名"),
        "SELECT k.[姓名], p.名称 AS 名称 FROM 客户 AS k INNER JOIN 产品 p ON k.编号 = p.客户, "
        "[客户] c2 WHERE [客户].[姓名] = c2.[姓名]");
    EXPECT_EQ(renameColumn("UPDATE 客户 SET 名称 = 'x'", "客户", "名称", "姓名"),
              "UPDATE 客户 SET [姓名] = 'x'");
    EXPECT_EQ(renameColumn("INSERT INTO 客户 (名称) VALUES ('名称')", "客户", "名称", "姓名"),
              "INSERT INTO 客户 ([姓名]) VALUES ('名称')");

    TestDb db;
    db.exec("CREATE TABLE 客户 (编号 INTEGER, 姓名 TEXT)");
    db.exec("CREATE TABLE 产品 (客户 INTEGER, 名称 TEXT)");
    db.exec("INSERT INTO 客户 VALUES (1, '张三')");
    db.exec("INSERT INTO 产品 VALUES (1, '苹果')");
    EXPECT_EQ(db.column(renameColumn("SELECT k.名称 & p.名称 FROM 客户 AS k INNER JOIN 产品 p ON "
                                     "k.编号 = p.客户",
                                     "客户", "名称", "姓名")),
              "张三苹果");
}
