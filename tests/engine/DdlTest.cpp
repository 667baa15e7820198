// Table structure, the catalogue, saved queries and compaction on real files.
#include "TestDb.h"

#include "engine/Catalog.h"

#include <fstream>

using namespace engine;

namespace {

class DdlTest : public TempDbTest {
protected:
    void SetUp() override {
        TempDbTest::SetUp();
        c = create("d.mdb");
    }
    std::string digest(const std::string& table, const std::string& column) {
        Catalog cat;
        cat.SetActiveConnection(c);
        auto& col = cat.Tables()[table].Columns()[column];
        std::string d;
        for (const auto& p : col.Properties())
            d += p.Name + p.Value.toText();
        return d;
    }
    long count(const std::string& table) {
        return static_cast<long>(
            c.Execute("select count(*) from [" + table + "]").valueAt(0, 0).toInt());
    }
    Connection c;
};

} // namespace

TEST_F(DdlTest, EveryOfferedTypeWordComesBackWithItsCode) {
    const std::vector<std::pair<std::string, int>> words = {{"Text(20)", 202},
                                                            {"Text(50)", 202},
                                                            {"Memo", 203},
                                                            {"Long", 3},
                                                            {"Single", 4},
                                                            {"Double", 5},
                                                            {"Time", 7},
                                                            {"Money", 6},
                                                            {"Counter", 3},
                                                            {"Binary", 204},
                                                            {"Byte", 17},
                                                            {"Bit", 11},
                                                            {"NUMERIC(6,2)", 131},
                                                            {"NUMERIC(6,6)", 131},
                                                            {"Hyperlink", 203},
                                                            {"SMALLINT", 2},
                                                            {"GUID", 72},
                                                            {"LONGBINARY", 205},
                                                            {"CHAR(10)", 130},
                                                            {"DECIMAL(10,3)", 131},
                                                            {"AUTOINCREMENT(100, 5)", 3},
                                                            {"YESNO", 11},
                                                            {"CURRENCY", 6},
                                                            {"DATETIME", 7},
                                                            {"OLEOBJECT", 205},
                                                            {"VARCHAR(30)", 202},
                                                            {"LONGTEXT", 203},
                                                            {"REAL", 4},
                                                            {"FLOAT", 5},
                                                            {"INTEGER", 3},
                                                            {"SHORT", 2},
                                                            {"IMAGE", 205},
                                                            {"LOGICAL", 11},
                                                            {"DATE", 7},
                                                            {"INT", 3}};
    // One table per word: a table holds at most one auto-number column.
    int i = 0;
    for (const auto& [word, code] : words) {
        const std::string t = "T" + std::to_string(++i);
        c.Execute("create table " + t + " (字段 " + word + ")");
        Catalog cat;
        cat.SetActiveConnection(c);
        auto& col = cat.Tables()[t].Columns()["字段"];
        EXPECT_EQ(col.Type(), code) << word;
        const bool counter = word.rfind("Counter", 0) == 0 || word.rfind("AUTOINCREMENT", 0) == 0;
        EXPECT_EQ(col.PropertyValue("Autoincrement").toBool(), counter) << word;
    }
    Catalog cat;
    cat.SetActiveConnection(c);
    EXPECT_EQ(cat.Tables()["T1"].Columns()["字段"].DefinedSize(), 20);
    EXPECT_EQ(cat.Tables()["T13"].Columns()["字段"].Precision(), 6);
    EXPECT_EQ(cat.Tables()["T13"].Columns()["字段"].NumericScale(), 2);
    // Seed and increment of AUTOINCREMENT(100, 5).
    c.Execute("insert into T21 (字段) values (Null)");
    c.Execute("insert into T21 (字段) values (Null)");
    EXPECT_EQ(c.Execute("select max(字段) from T21").valueAt(0, 0).toInt(), 105);
    EXPECT_NE(failure([&] { c.Execute("create table Bad (x Blob)"); }).find("数据类型"),
              std::string::npos);
}

TEST_F(DdlTest, PropertyDigestAndKeysAsTheDesignerReadsThem) {
    c.Execute("create table 员工 (ID counter primary key, 姓名 text(20) not null, 备注 memo)");
    EXPECT_NE(digest("员工", "ID").find("AutoincrementTrue"), std::string::npos);
    EXPECT_NE(digest("员工", "姓名").find("NullableFalse"), std::string::npos);
    EXPECT_NE(digest("员工", "备注").find("NullableTrue"), std::string::npos);
    EXPECT_NE(digest("员工", "备注").find("AutoincrementFalse"), std::string::npos);
    Catalog cat;
    cat.SetActiveConnection(c);
    auto& keys = cat.Tables()["员工"].Keys();
    ASSERT_EQ(keys.Count(), 1);
    EXPECT_EQ(keys[0].Type(), 1);
    EXPECT_EQ(keys[0].Columns(), std::vector<std::string>{"ID"});
    // The generated name can be dropped again.
    c.Execute("alter table [员工] Drop constraint " + keys[0].Name());
    cat.Tables().Refresh();
    EXPECT_EQ(cat.Tables()["员工"].Keys().Count(), 0);
    c.Execute("ALTER TABLE [员工] ADD CONSTRAINT 主 PRIMARY KEY (姓名)");
    cat.Tables().Refresh();
    EXPECT_EQ(cat.Tables()["员工"].Keys()["主"].Columns(), std::vector<std::string>{"姓名"});
}

TEST_F(DdlTest, OneAutoNumberAndOnePrimaryKeyPerTable) {
    c.Execute("create table T (ID counter primary key, a long)");
    c.Execute("insert into T (a) values (1)");
    const auto counter = failure([&] { c.Execute("ALTER TABLE [T] ADD  COLUMN b Counter"); });
    EXPECT_NE(counter.find("自动编号"), std::string::npos) << counter;
    EXPECT_EQ(counter.find("主键"), std::string::npos) << counter;
    const auto key = failure([&] { c.Execute("ALTER TABLE [T] ADD  COLUMN b Long primary key "); });
    EXPECT_NE(key.find("主控键"), std::string::npos) << key;
    EXPECT_EQ(key.find("主键"), std::string::npos) << key;
    EXPECT_NE(failure([&] {
                  c.Execute("ALTER TABLE [T]  Alter COLUMN [a] Long primary key ");
              }).find("主控键"),
              std::string::npos);
    EXPECT_NE(failure([&] { c.Execute("create table U (a counter, b counter)"); }).find("自动编号"),
              std::string::npos);
    EXPECT_NE(failure([&] {
                  c.Execute("create table U (a long primary key, b long primary key)");
              }).find("主控键"),
              std::string::npos);
    const auto exists = failure([&] { c.Execute("Create TABLE [T](说明 text(50) NULL)"); });
    EXPECT_NE(exists.find("已存在"), std::string::npos) << exists;
    EXPECT_NE(failure([&] { c.Execute("ALTER TABLE [T] ADD  COLUMN A Text(20)"); }).find("已存在"),
              std::string::npos);
    // Nothing of the refused changes stuck.
    Catalog cat;
    cat.SetActiveConnection(c);
    EXPECT_EQ(cat.Tables()["T"].Columns().Count(), 2);
    EXPECT_EQ(count("T"), 1);
    EXPECT_FALSE(cat.Tables().find("U"));
}

TEST_F(DdlTest, AddAlterAndDropColumns) {
    c.Execute("Create TABLE [客户](说明 text(50) NULL)");
    c.Execute("insert into 客户 values ('12')");
    c.Execute("insert into 客户 values ('7.5')");
    c.Execute("create index 说明索引 on 客户 (说明)");
    c.Execute("ALTER TABLE [客户] ADD  COLUMN 编号 Counter");
    EXPECT_EQ(c.Execute("select 编号 from 客户 where 说明 = '7.5'").valueAt(0, 0).toInt(), 2);
    c.Execute("insert into 客户 (说明) values ('3')");
    EXPECT_EQ(c.Execute("select 编号 from 客户 where 说明 = '3'").valueAt(0, 0).toInt(), 3);

    // Text to number where the text is a number.
    c.Execute("ALTER TABLE [客户]  Alter COLUMN [说明] Double");
    EXPECT_EQ(c.Execute("select sum(说明) from 客户").valueAt(0, 0).toDouble(), 22.5);
    Catalog cat;
    cat.SetActiveConnection(c);
    EXPECT_EQ(cat.Tables()["客户"].Columns()["说明"].Type(), 5);
    EXPECT_EQ(cat.Tables()["客户"].Indexes().Count(), 1);

    // A value that does not convert refuses the change and leaves all as it was.
    c.Execute("ALTER TABLE [客户] ADD  COLUMN 名称 Text(20)");
    c.Execute("update 客户 set 名称 = '张三' where 编号 = 1");
    const auto refused =
        failure([&] { c.Execute("ALTER TABLE [客户]  Alter COLUMN [名称] Long"); });
    EXPECT_NE(refused.find("张三"), std::string::npos) << refused;
    cat.Tables().Refresh();
    EXPECT_EQ(cat.Tables()["客户"].Columns()["名称"].Type(), 202);
    EXPECT_EQ(c.Execute("select 名称 from 客户 where 编号 = 1").valueAt(0, 0).text(), "张三");

    c.Execute("alter table [客户] drop 名称");
    c.Execute("alter table [客户] drop column 编号");
    cat.Tables().Refresh();
    EXPECT_EQ(cat.Tables()["客户"].Columns().Count(), 1);
    EXPECT_FALSE(failure([&] { c.Execute("alter table [客户] drop 说明"); }).empty());
    EXPECT_EQ(count("客户"), 3);
    EXPECT_FALSE(failure([&] { c.Execute("alter table [客户] drop 不存在"); }).empty());
}

TEST_F(DdlTest, DefaultsAndRequiredColumns) {
    c.Execute(
        "create table 账户 (号 counter, 名 text(20) not null default '无名', 余额 money default 0, "
        "开户 datetime default #2024-01-01#, 启用 bit, 网址 hyperlink)");
    c.Execute("insert into 账户 (网址) values ('http://例子')");
    EXPECT_EQ(c.Execute("select 名, 余额, 开户, 启用 from 账户").valueAt(0, 0).text(), "无名");
    auto rs = c.Execute("select 名, 余额, 开户, 启用 from 账户");
    EXPECT_EQ(rs.valueAt(0, 1).toText(), "0");
    EXPECT_EQ(rs.valueAt(0, 2).toText(), "2024-01-01 00:00:00");
    EXPECT_EQ(rs.valueAt(0, 3).toText(), "False");
    EXPECT_NE(failure([&] { c.Execute("insert into 账户 (名) values (Null)"); }).find("不能为空值"),
              std::string::npos);
    Catalog cat;
    cat.SetActiveConnection(c);
    EXPECT_TRUE(
        cat.Tables()["账户"].Columns()["网址"].PropertyValue("Jet OLEDB:Hyperlink").toBool());
    EXPECT_EQ(cat.Tables()["账户"].Columns()["名"].PropertyValue("Default").text(), "'无名'");
}

TEST_F(DdlTest, IndexesAndUniqueKeys) {
    c.Execute("create table 库存 (编码 text(10), 名称 text(20), 数量 long, constraint 唯一编码 "
              "unique (编码))");
    c.Execute("insert into 库存 values ('A1', '螺丝', 5)");
    EXPECT_NE(failure([&] { c.Execute("insert into 库存 values ('A1', '螺母', 6)"); }).find("重复"),
              std::string::npos);
    c.Execute("CREATE UNIQUE INDEX 名称索引 ON 库存 (名称 DESC)");
    EXPECT_FALSE(failure([&] { c.Execute("insert into 库存 values ('B2', '螺丝', 1)"); }).empty());
    EXPECT_NE(failure([&] { c.Execute("create index 名称索引 on 库存 (数量)"); }).find("已存在"),
              std::string::npos);
    c.Execute("DROP INDEX 名称索引 ON 库存");
    c.Execute("insert into 库存 values ('B2', '螺丝', 1)");
    c.Execute("alter table 库存 drop constraint 唯一编码");
    c.Execute("insert into 库存 values ('B2', '垫片', 2)");
    EXPECT_EQ(count("库存"), 3);
    // A unique index cannot be made over rows that already repeat; the table stays as it was.
    EXPECT_FALSE(failure([&] { c.Execute("create unique index 重 on 库存 (编码)"); }).empty());
    Catalog cat;
    cat.SetActiveConnection(c);
    EXPECT_EQ(cat.Tables()["库存"].Indexes().Count(), 0);
    EXPECT_EQ(count("库存"), 3);
    EXPECT_NE(failure([&] { c.Execute("drop index 无 on 库存"); }).find("无"), std::string::npos);
}

TEST_F(DdlTest, BadNamesAndMissingTablesChangeNothing) {
    c.Execute("create table A (x long)");
    for (const std::string sql :
         {"Create TABLE [](说明 text(50) NULL)", "Create TABLE [a[b](说明 text(50) NULL)",
          "Drop table [不存在]", "ALTER TABLE [A] ADD  COLUMN  Text(20)",
          "create table B (x Wordless(3))", "ALTER TABLE [无] ADD  COLUMN y Long"}) {
        EXPECT_FALSE(failure([&] { c.Execute(sql); }).empty()) << sql;
    }
    Catalog cat;
    cat.SetActiveConnection(c);
    int user = 0;
    for (auto& t : cat.Tables())
        user += t.Type() == "TABLE";
    EXPECT_EQ(user, 1);
    c.Execute("Drop table [A]");
    cat.Tables().Refresh();
    EXPECT_FALSE(cat.Tables().find("A"));
}

TEST_F(DdlTest, RenamesKeepSavedQueriesWorking) {
    c.Execute("create table Orders (id long, amount double)");
    c.Execute("insert into Orders values (1, 2.5)");
    c.Execute("create proc Big as select id, amount from Orders where amount > 1;");
    // A query over another table with a field of the same name is left alone.
    c.Execute("create table Refunds (amount double)");
    c.Execute("create proc Small as select amount from Refunds;");
    Catalog cat;
    cat.SetActiveConnection(c);
    cat.Tables()["Orders"].SetName("订单");
    EXPECT_EQ(c.Execute("select * from Big").RecordCount(), 1);
    cat.Tables().Refresh();
    cat.Tables()["订单"].Columns()["amount"].SetName("金额");
    EXPECT_EQ(c.Execute("select 金额 from Big").valueAt(0, 0).toDouble(), 2.5);
    EXPECT_EQ(c.Execute("select * from 订单").GetFields()[1].Name(), "金额");
    EXPECT_EQ(c.Execute("select amount from Small").State(), 1);
    // A rename onto an existing name is refused.
    c.Execute("create table Other (x long)");
    cat.Tables().Refresh();
    EXPECT_THROW(cat.Tables()["Other"].SetName("订单"), EngineError);

    // Dropping a table a query uses leaves the file usable.
    c.Execute("Drop table [订单]");
    EXPECT_FALSE(failure([&] { c.Execute("select * from Big"); }).empty());
    EXPECT_EQ(c.OpenSchema(20).State(), 1);
    c.Execute("create table 订单 (id long, 金额 double)");
    EXPECT_EQ(c.Execute("select * from Big").RecordCount(), 0);
}

TEST_F(DdlTest, SavedQueriesCreateListOpenAndDrop) {
    c.Execute("create table T (a long)");
    c.Execute("insert into T values (5)");
    c.Execute("create proc Big as select * from T;");
    c.Execute("CREATE PROCEDURE AddOne AS INSERT INTO T VALUES (6)");
    c.Execute("CREATE VIEW V AS SELECT a * 2 AS b FROM T");
    EXPECT_NE(failure([&] { c.Execute("create proc Big as select * from T"); }).find("已存在"),
              std::string::npos);
    EXPECT_FALSE(failure([&] { c.Execute("create proc Bad as selec x"); }).empty());
    c.Execute("EXECUTE AddOne");
    EXPECT_EQ(c.Execute("select * from Big").RecordCount(), 2);
    EXPECT_EQ(c.Execute("select b from V order by b").valueAt(1, 0).toInt(), 12);
    std::vector<std::string> views;
    for (auto rs = c.OpenSchema(20); !rs.Eof(); rs.MoveNext())
        if (rs["TABLE_TYPE"].GetValue().text() == "VIEW")
            views.push_back(rs["TABLE_NAME"].GetValue().text());
    EXPECT_EQ(views, (std::vector<std::string>{"Big", "V"}));
    c.Execute("DROP PROCEDURE Big");
    c.Execute("DROP VIEW V");
    c.Execute("DROP PROCEDURE AddOne");
    EXPECT_FALSE(failure([&] { c.Execute("DROP PROCEDURE Big"); }).empty());
    EXPECT_FALSE(failure([&] { c.Execute("select * from Big"); }).empty());
}

TEST_F(DdlTest, CompactionWithEveryPasswordCombination) {
    c.Execute("create table T (id counter primary key, name text(20))");
    c.Execute("insert into T (name) values ('甲')");
    c.Execute("create proc Q as select * from T;");
    c.Close();
    const auto src = [&](const std::string& file, const std::string& pw) {
        return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path(file) +
               ";Jet OLEDB:Database Password= " + pw;
    };
    const auto dst = [&](const std::string& file, const std::string& pw) {
        return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source= " + path(file) +
               ";Jet OLEDB:Database Password= " + pw;
    };
    JetEngine je;
    je.CompactDatabase(src("d.mdb", ""), dst("none.mdb", ""));       // none -> none
    je.CompactDatabase(src("d.mdb", ""), dst("new.mdb", "新"));      // none -> new
    je.CompactDatabase(src("new.mdb", "新"), dst("new2.mdb", "另")); // old -> new
    je.CompactDatabase(src("new2.mdb", "另"), dst("back.mdb", ""));  // old -> none
    EXPECT_NE(
        failure([&] { je.CompactDatabase(src("new.mdb", "错"), dst("x.mdb", "")); }).find("密码"),
        std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(path("x.mdb")));
    EXPECT_NE(
        failure([&] { je.CompactDatabase(src("d.mdb", ""), dst("none.mdb", "")); }).find("已存在"),
        std::string::npos);

    for (const auto& [file, pw] : std::vector<std::pair<std::string, std::string>>{
             {"none.mdb", ""}, {"new.mdb", "新"}, {"new2.mdb", "另"}, {"back.mdb", ""}}) {
        auto db = open(file, pw);
        EXPECT_EQ(db.Execute("select name from Q").valueAt(0, 0).text(), "甲") << file;
        db.Execute("insert into T (name) values ('乙')");
        EXPECT_EQ(db.Execute("select max(id) from T").valueAt(0, 0).toInt(), 2) << file;
        if (!pw.empty()) {
            EXPECT_NE(failure([&] { open(file, ""); }).find("密码"), std::string::npos);
        }
    }
    // The source was not touched.
    EXPECT_EQ(open("d.mdb").Execute("select count(*) from T").valueAt(0, 0).toInt(), 1);
}

TEST_F(DdlTest, TransactionsKeepSavedQueriesAndRowsTogether) {
    c.Execute("create table T (a long)");
    c.Execute("insert into T values (1)");
    auto rows = [&] { return c.Execute("select * from T").RecordCount(); };
    auto views = [&] {
        std::vector<std::string> names;
        for (auto rs = c.OpenSchema(20); !rs.Eof(); rs.MoveNext())
            if (rs["TABLE_TYPE"].GetValue().text() == "VIEW")
                names.push_back(rs["TABLE_NAME"].GetValue().text());
        return names;
    };

    // Undone: a saved query, a row and a rebuild of the table.
    c.BeginTrans();
    c.Execute("create proc Q as select * from T;");
    c.Execute("insert into T values (2)");
    c.Execute("alter table T add column b text(10)");
    c.RollbackTrans();
    EXPECT_TRUE(views().empty());
    EXPECT_EQ(rows(), 1);
    EXPECT_EQ(c.Execute("select * from T").GetFields().Count(), 1);

    // Nested: the inner rollback leaves the outer work, which is kept.
    c.BeginTrans();
    c.Execute("create proc Q as select * from T;");
    c.BeginTrans();
    c.Execute("insert into T values (3)");
    c.RollbackTrans();
    c.CommitTrans();
    EXPECT_EQ(views(), std::vector<std::string>{"Q"});
    EXPECT_EQ(rows(), 1);

    EXPECT_FALSE(failure([&] { c.CommitTrans(); }).empty());
    EXPECT_FALSE(failure([&] { c.RollbackTrans(); }).empty());

    // Work still open when the connection closes is not kept.
    c.BeginTrans();
    c.Execute("insert into T values (4)");
    c.Close();
    c = open("d.mdb");
    EXPECT_EQ(rows(), 1);
}
