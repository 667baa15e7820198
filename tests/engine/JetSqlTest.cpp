// Jet SQL as callers send it and users type it, run on real files.
#include "TestDb.h"

using namespace engine;

namespace {

class JetSqlTest : public TempDbTest {
protected:
    void SetUp() override {
        TempDbTest::SetUp();
        c = create("shop.mdb");
        c.Execute("CREATE TABLE [客户] (编号 COUNTER CONSTRAINT pk PRIMARY KEY, 名称 TEXT(50), "
                  "[城 市] TEXT(20), 电话 TEXT(20))");
        c.Execute("CREATE TABLE 订单 (单号 LONG PRIMARY KEY, 客户编号 LONG, 金额 MONEY, "
                  "日期 DATETIME, 已付 YESNO)");
        c.Execute("CREATE TABLE [Order Details] (单号 LONG, 品名 TEXT(50), 数量 SHORT)");
        c.Execute("INSERT INTO 客户 (名称, [城 市], 电话) VALUES ('张三', '北京', '13800001111')");
        c.Execute("INSERT INTO 客户 (名称, [城 市], 电话) VALUES ('李四', '上海', '13900002222')");
        c.Execute("INSERT INTO 客户 (名称, [城 市], 电话) VALUES ('王五''s shop', '北京', NULL)");
        c.Execute("INSERT INTO 订单 VALUES (1, 1, 100.5, #2024-01-15#, True)");
        c.Execute("INSERT INTO 订单 VALUES (2, 1, 20, #3/2/2024 14:30:00#, False)");
        c.Execute("INSERT INTO 订单 VALUES (3, 2, 300, #2024-02-29#, Yes)");
        c.Execute("INSERT INTO [Order Details] VALUES (1, '苹果', 3)");
        c.Execute("INSERT INTO [Order Details] VALUES (1, '梨', 5)");
        c.Execute("INSERT INTO [Order Details] VALUES (3, '桃', 1)");
    }

    // All rows of a statement as text, one string per row, values joined by '|'.
    std::vector<std::string> rows(const std::string& sql) {
        auto rs = c.Execute(sql);
        std::vector<std::string> out;
        for (long r = 0; r < rs.RecordCount(); ++r) {
            std::string line;
            for (int f = 0; f < rs.GetFields().Count(); ++f)
                line += (f ? "|" : "") + rs.valueAt(r, f).toText();
            out.push_back(line);
        }
        return out;
    }
    std::string one(const std::string& sql) {
        auto r = rows(sql);
        return r.empty() ? "<no rows>" : r.front();
    }

    Connection c;
};

using Rows = std::vector<std::string>;

} // namespace

TEST_F(JetSqlTest, NamesLiteralsAndTop) {
    EXPECT_EQ(rows("select 名称 from 客户 where [城 市] = '北京' order by 编号"),
              (Rows{"张三", "王五's shop"}));
    EXPECT_EQ(one("select [名称] from [客户] where 名称 = 'a[b]c' or 名称 like '王五''s*'"),
              "王五's shop");
    EXPECT_EQ(rows("select top 2 单号 from 订单 order by 金额 desc"), (Rows{"3", "1"}));
    EXPECT_EQ(rows("SELECT TOP 50 PERCENT 单号 FROM 订单 ORDER BY 单号"), (Rows{"1", "2"}));
    EXPECT_EQ(rows("select distinctrow 客户编号 from 订单 where 已付 = True order by 1"),
              (Rows{"1", "2"}));
    EXPECT_EQ(one("select count(*) from 订单 where 日期 between #2024-01-01# and #2024-02-29#"),
              "2");
    EXPECT_EQ(one("select 日期 from 订单 where 单号 = 2"), "2024-03-02 14:30:00");
    EXPECT_EQ(one("select 名称 & '-' & [城 市] & 电话 from 客户 where 编号 = 3"),
              "王五's shop-北京");
    EXPECT_EQ(rows("select 品名 from [Order Details] where 数量 in (1, 5) order by 数量"),
              (Rows{"桃", "梨"}));
    EXPECT_EQ(one("select count(*) from 客户 where 电话 is null"), "1");
    EXPECT_EQ(one("select count(*) from 客户 where not 电话 is null and 电话 like '139%'"), "1");
    EXPECT_EQ(one("select count(*) from 客户 where 电话 like '138????1111'"), "1");
    // Text compares without regard to case, as in Jet.
    EXPECT_EQ(one("select count(*) from 客户 where 名称 = '王五''S SHOP'"), "1");
}

TEST_F(JetSqlTest, JoinsGroupsUnionsAndSubqueries) {
    EXPECT_EQ(
        rows("SELECT 客户.名称, Sum(订单.金额) AS 合计 FROM 客户 INNER JOIN 订单 ON 客户.编号 = "
             "订单.客户编号 GROUP BY 客户.名称 HAVING Sum(订单.金额) > 100 ORDER BY 客户.名称"),
        (Rows{"李四|300", "张三|120.5"})); // pinyin order: li before zhang
    EXPECT_EQ(
        rows("SELECT 客户.名称, [Order Details].品名 FROM (客户 INNER JOIN 订单 ON 客户.编号 = "
             "订单.客户编号) INNER JOIN [Order Details] ON 订单.单号 = [Order Details].单号 "
             "ORDER BY [Order Details].品名"),
        (Rows{"张三|梨", "张三|苹果", "李四|桃"})); // li, ping, tao
    EXPECT_EQ(
        one("select count(*) from 客户 left join 订单 on 客户.编号 = 订单.客户编号 where 订单.单号 "
            "is null"),
        "1");
    EXPECT_EQ(
        rows("select 名称 from 客户 where 编号 in (select 客户编号 from 订单 where 金额 > 200)"),
        (Rows{"李四"}));
    EXPECT_EQ(
        rows("select 名称 from 客户 where 编号 = 1 union select 品名 from [Order Details] where "
             "数量 = 1"),
        (Rows{"桃", "张三"})); // a union comes sorted: tao, zhang
    EXPECT_EQ(
        one("select max(金额), min(金额), avg(数量) from 订单, [Order Details] where 订单.单号 = "
            "[Order Details].单号"),
        "300|100.5|3");
}

TEST_F(JetSqlTest, FunctionsBehaveAsJetOnes) {
    EXPECT_EQ(one("select Left(名称, 1), Right(电话, 4), Mid(电话, 4, 4), Len(名称), UCase('ab'), "
                  "LCase('CD'), Trim('  x  ') from 客户 where 编号 = 1"),
              "张|1111|0000|2|AB|cd|x");
    EXPECT_EQ(
        one("select IIf(金额 > 50, '大', '小'), Nz(Null, 0), InStr(1, 'abcabc', 'c') from 订单 "
            "where 单号 = 1"),
        "大|0|3");
    EXPECT_EQ(one("select Year(日期), Month(日期), Day(日期) from 订单 where 单号 = 3"),
              "2024|2|29");
    EXPECT_EQ(one("select DateAdd('d', 1, 日期), DateDiff('d', #2024-01-01#, 日期) from 订单 where "
                  "单号 = 3"),
              "2024-03-01 00:00:00|59");
    EXPECT_EQ(one("select Format(日期, 'yyyy-mm-dd'), Val('12abc'), CInt('7'), Abs(-2), Int(2.7), "
                  "Round(2.5) from 订单 where 单号 = 1"),
              "2024-01-15|12|7|2|2|2");
    EXPECT_EQ(one("select First(名称), Last(名称), Count(电话) from 客户"), "张三|王五's shop|2");
}

TEST_F(JetSqlTest, ActionStatements) {
    long n = 0;
    c.Execute("UPDATE 订单 SET 金额 = 金额 * 2 WHERE 已付 = Yes", &n);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(one("select sum(金额) from 订单"), "821");
    c.Execute("INSERT INTO [Order Details] (单号, 品名, 数量) SELECT 单号, '赠品', 1 FROM 订单",
              &n);
    EXPECT_EQ(n, 3);
    c.Execute("SELECT 名称, [城 市] INTO 北京客户 FROM 客户 WHERE [城 市] = '北京'", &n);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(rows("select * from 北京客户 order by 名称"),
              (Rows{"王五's shop|北京", "张三|北京"}));
    c.Execute("DELETE * FROM [Order Details] WHERE 品名 = '赠品'", &n);
    EXPECT_EQ(n, 3);
    c.Execute("delete from 订单", &n);
    EXPECT_EQ(n, 3);
}

TEST_F(JetSqlTest, BadStatementsFailClearlyAndChangeNothing) {
    for (const std::string sql :
         {"select * from 不存在的表", "select nosuch from 客户", "selec * from 客户",
          "select * from 客户 where 名称 = 'unterminated", "select * from [客户",
          "insert into 客户 (名称) values ('a', 'b')", "update 订单 set 金额 = 'abc'",
          "insert into 订单 (单号, 金额) values (1, 5)", "", "   "}) {
        const std::string text = failure([&] { c.Execute(sql); });
        EXPECT_FALSE(text.empty()) << sql;
        EXPECT_EQ(text.find("sqlite"), std::string::npos) << text;
    }
    EXPECT_NE(failure([&] { c.Execute("select * from 不存在的表"); }).find("不存在的表"),
              std::string::npos);
    // SQLite's own complaints come out in Chinese.
    EXPECT_NE(failure([&] { c.Execute("insert into 客户 (名称) values ('a', 'b')"); }).find("个数"),
              std::string::npos);
    EXPECT_NE(failure([&] { c.Execute("insert into 客户 (没有) values ('a')"); }).find("没有"),
              std::string::npos);
    EXPECT_EQ(one("select count(*) from 订单"), "3");
    EXPECT_EQ(one("select sum(金额) from 订单"), "420.5");
}
