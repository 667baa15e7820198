#include "TestDb.h"

#include "engine/base/Messages.h"

using namespace engine;

namespace {

// Fills 客户 with n rows quickly in one transaction.
void fillCustomers(Connection& c, int n) {
    c.Execute("CREATE TABLE 客户 (编号 COUNTER PRIMARY KEY, 名称 TEXT(20) NOT NULL, 城市 TEXT(50), "
              "余额 CURRENCY, 生日 DATETIME, 会员 BIT)");
    c.Execute("CREATE TABLE Digits (d LONG)");
    for (int i = 0; i < 10; ++i)
        c.Execute("INSERT INTO Digits VALUES (" + std::to_string(i) + ")");
    // Cross joins of the digits give 0..9999 quickly.
    c.Execute(
        "INSERT INTO 客户 (名称, 城市, 余额, 会员) SELECT '客户' & (a.d + b.d*10 + c.d*100 + "
        "e.d*1000), IIf((a.d mod 2) = 0, '北京', '上海'), a.d * 1.5, a.d > 4 FROM Digits AS a, "
        "Digits AS b, Digits AS c, Digits AS e WHERE a.d + b.d*10 + c.d*100 + e.d*1000 < " +
        std::to_string(n) + " ORDER BY a.d + b.d*10 + c.d*100 + e.d*1000");
}

} // namespace

TEST_F(TempDbTest, KeysetCountMovesAndLazyPages) {
    auto c = create("k.mdb");
    fillCustomers(c, 2500);
    Recordset rs;
    rs.Open("select * from 客户 order by 编号", c, 1, 3, -1);
    EXPECT_EQ(rs.State(), 1);
    EXPECT_EQ(rs.RecordCount(), 2500);
    EXPECT_FALSE(rs.Eof());
    EXPECT_EQ(rs.AbsolutePosition(), 1);
    EXPECT_EQ(rs.GetFields().Count(), 6);
    EXPECT_EQ(rs["名称"].GetValue().text(), "客户0");
    EXPECT_EQ(rs[5].Type(), adtype::Boolean);
    EXPECT_EQ(rs["余额"].Type(), adtype::Currency);

    rs.SetAbsolutePosition(2001);
    EXPECT_EQ(rs["编号"].GetValue().toInt(), 2001);
    rs.MoveLast();
    EXPECT_EQ(rs["名称"].GetValue().text(), "客户2499");
    rs.MoveNext();
    EXPECT_TRUE(rs.Eof());
    EXPECT_THROW(rs.MoveNext(), EngineError);
    rs.MovePrevious();
    EXPECT_EQ(rs.AbsolutePosition(), 2500);

    // Row access for grids, anywhere, in any order.
    EXPECT_EQ(rs.valueAt(1234, 1).text(), "客户1234");
    EXPECT_EQ(rs.valueAt(3, 5).toText(), "False");
    EXPECT_EQ(rs.valueAt(7, 5).toText(), "True");
    EXPECT_EQ(rs.valueAt(3, 3).toText(), "4.5");
    EXPECT_EQ(rs.valueAt(3, 4).toText(), "");
    EXPECT_EQ(rs.valueAt(0, 2).text(), "北京");

    // Walking to the end visits every row once.
    long seen = 0;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
        ++seen;
    EXPECT_EQ(seen, 2500);
    rs.Close();
    EXPECT_EQ(rs.State(), 0);
    EXPECT_THROW(rs.RecordCount(), EngineError);
}

TEST_F(TempDbTest, EditsAreWrittenBackByKey) {
    auto c = create("e.mdb");
    fillCustomers(c, 30);
    Recordset rs;
    rs.Open("select 编号, 名称, 余额 from 客户 where 城市 = '北京' order by 编号 desc", c, 1, 3,
            -1);
    EXPECT_TRUE(rs.Updatable());
    EXPECT_EQ(rs.RecordCount(), 15);
    EXPECT_EQ(rs["编号"].GetValue().toInt(), 29);
    rs["名称"].SetValue(Value("改过的"));
    rs["余额"].SetValue(Value("12.5"));
    rs.MoveNext(); // leaving the record writes it
    auto check = c.Execute("select 名称, 余额 from 客户 where 编号 = 29");
    EXPECT_EQ(check["名称"].GetValue().text(), "改过的");
    EXPECT_EQ(check["余额"].GetValue().toText(), "12.5");

    // AddNew + Update appends a row; the counter fills itself.
    rs.AddNew();
    rs["名称"].SetValue(Value("新客户"));
    rs.Update();
    EXPECT_EQ(rs.RecordCount(), 16);
    EXPECT_EQ(rs["名称"].GetValue().text(), "新客户");
    EXPECT_EQ(rs["编号"].GetValue().toInt(), 31);

    // Delete(1) removes the current row; MoveNext goes on with the next one.
    rs.MoveFirst();
    rs.Delete(1);
    EXPECT_EQ(rs.RecordCount(), 15);
    EXPECT_THROW(rs["名称"].GetValue(), EngineError);
    rs.MoveNext();
    EXPECT_EQ(rs["编号"].GetValue().toInt(), 27);
    EXPECT_EQ(c.Execute("select count(*) from 客户").valueAt(0, 0).toInt(), 30);

    // The bulk delete loop of the program: top 100 of 30 rows deletes all.
    Recordset top;
    top.Open("select top 100 * from 客户", c, 1, 3, -1);
    while (!top.Eof()) {
        top.Delete(1);
        top.MoveNext();
    }
    EXPECT_EQ(c.Execute("select count(*) from 客户").valueAt(0, 0).toInt(), 0);
}

TEST_F(TempDbTest, RefusedEditsKeepTheRowAndSayWhy) {
    auto c = create("r.mdb");
    fillCustomers(c, 5);
    Recordset rs;
    rs.Open("select * from 客户", c, 1, 3, -1);
    const auto tooLong = failure([&] { rs.updateRow(0, {{1, Value(std::string(21, 'x'))}}); });
    EXPECT_NE(tooLong.find("太小"), std::string::npos) << tooLong;
    const auto letter = failure([&] { rs.updateRow(0, {{3, Value("abc")}}); });
    EXPECT_NE(letter.find("数据类型不匹配"), std::string::npos) << letter;
    const auto required = failure([&] { rs.updateRow(0, {{1, Value::null()}}); });
    EXPECT_NE(required.find("不能为空值"), std::string::npos) << required;
    const auto missing = failure([&] { rs.appendRow({{2, Value("广州")}}); });
    EXPECT_NE(missing.find("名称"), std::string::npos) << missing;
    const auto counter = failure([&] { rs[0].SetValue(Value(99)); });
    EXPECT_NE(counter.find("自动编号"), std::string::npos) << counter;
    EXPECT_EQ(rs.valueAt(0, 1).text(), "客户0");
    EXPECT_EQ(c.Execute("select count(*) from 客户").valueAt(0, 0).toInt(), 5);
}

TEST_F(TempDbTest, RowChangedUnderneathIsNotOverwritten) {
    auto c = create("o.mdb");
    fillCustomers(c, 3);
    Recordset mine;
    mine.Open("select * from 客户", c, 1, 3, -1);
    EXPECT_EQ(mine.valueAt(1, 1).text(), "客户1");
    // Someone else changes the row through another connection.
    auto other = open("o.mdb");
    other.Execute("update 客户 set 城市 = '深圳' where 编号 = 2");
    const auto changed = failure([&] { mine.updateRow(1, {{1, Value("我的")}}); });
    EXPECT_NE(changed.find("其他用户"), std::string::npos) << changed;
    EXPECT_EQ(other.Execute("select 名称 from 客户 where 编号 = 2").valueAt(0, 0).text(), "客户1");
    // After reading it again the edit goes through.
    EXPECT_EQ(mine.valueAt(1, 2).text(), "深圳");
    EXPECT_NO_THROW(mine.updateRow(1, {{1, Value("我的")}}));
    EXPECT_EQ(mine.valueAt(1, 1).text(), "我的");
    // Writing one row does not forget what the others looked like.
    other.Execute("update 客户 set 城市 = '厦门' where 编号 = 1");
    EXPECT_NE(failure([&] {
                  mine.updateRow(0, {{1, Value("也是我的")}});
              }).find("其他用户"),
              std::string::npos);

    // A row deleted underneath is refused as deleted, and reads so afterwards.
    other.Execute("delete from 客户 where 编号 = 3");
    EXPECT_NE(failure([&] {
                  mine.updateRow(2, {{1, Value("x")}});
              }).find("删除"),
              std::string::npos);
    EXPECT_TRUE(mine.rowDeleted(2));
}

TEST_F(TempDbTest, JoinsAggregatesAndReadOnlyLocksCannotBeEdited) {
    auto c = create("ro.mdb");
    fillCustomers(c, 10);
    for (const std::string sql :
         {"select 城市, count(*) from 客户 group by 城市", "select distinct 城市 from 客户",
          "select a.名称 from 客户 a inner join 客户 b on a.编号 = b.编号"}) {
        Recordset rs;
        rs.Open(sql, c, 1, 3, -1);
        EXPECT_FALSE(rs.Updatable()) << sql;
        EXPECT_GT(rs.RecordCount(), 0) << sql;
        const auto text = failure([&] { rs[0].SetValue(Value("x")); });
        EXPECT_NE(text.find("只读"), std::string::npos) << sql << ": " << text;
    }
    Recordset locked;
    locked.Open("select * from 客户", c, 1, 1, -1);
    EXPECT_FALSE(locked.Updatable());
    EXPECT_THROW(locked.AddNew(), EngineError);
}

TEST_F(TempDbTest, ActionStatementOpenedAsRecordsetRunsAndStaysClosed) {
    auto c = create("a.mdb");
    fillCustomers(c, 10);
    Recordset rs;
    rs.Open("update 客户 set 城市 = '杭州'", c, 1, 3, -1);
    EXPECT_EQ(rs.State(), 0);
    EXPECT_THROW(rs.RecordCount(), EngineError);
    long affected = 0;
    c.Execute("delete * from 客户 where 城市 = '杭州' and 编号 > 8", &affected);
    EXPECT_EQ(affected, 2);
    // A bare table name gives its rows.
    EXPECT_EQ(c.Execute("客户").RecordCount(), 8);
    EXPECT_EQ(c.Execute("[客户]").RecordCount(), 8);
}

TEST_F(TempDbTest, SchemaListsTablesViewsAndSystemTables) {
    auto c = create("sch.mdb");
    c.Execute("Create TABLE USys_SVZ(SYS_SVZ_ID counter,name text(100),SqlStr Memo NULL)");
    c.Execute("create table Orders (id long)");
    c.Execute("create table Customers (id long)");
    c.Execute("create proc Big as select * from Orders;");
    c.Execute("create proc Purge as delete from Orders;");
    auto rs = c.OpenSchema(20);
    std::vector<std::pair<std::string, std::string>> rows;
    for (; !rs.Eof(); rs.MoveNext())
        rows.emplace_back(rs["TABLE_NAME"].GetValue().text(), rs["TABLE_TYPE"].GetValue().text());
    std::vector<std::pair<std::string, std::string>> user;
    for (const auto& r : rows) {
        if (r.second == "SYSTEM TABLE") {
            EXPECT_TRUE(r.first.rfind("MSys", 0) == 0 || r.first.rfind("sqlite_", 0) == 0)
                << r.first;
        } else {
            user.push_back(r);
        }
    }
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Customers", "TABLE"}, {"Orders", "TABLE"}, {"USys_SVZ", "TABLE"}, {"Big", "VIEW"}};
    EXPECT_EQ(user, expected);
    EXPECT_EQ(c.Execute("select * from Big").State(), 1);
}
