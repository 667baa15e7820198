// The statements the program's windows build by concatenation, run the way
// the engine runs them: classified, translated and executed on real data.

#include "TestDb.h"

#include "engine/base/EngineError.h"

using engine::sql::classify;
using engine::sql::StatementKind;
using engine::sql::translate;

namespace {

class CallerStatements : public ::testing::Test {
protected:
    void SetUp() override {
        db.exec("CREATE TABLE 客户 (名称 TEXT, 电话 TEXT)");
        db.exec("INSERT INTO 客户 VALUES ('张三', '13800001111'), ('李四', '13912345678'), "
                "('张小', NULL)");
        db.exec("CREATE TABLE USys_SVZ (SYS_SVZ_ID INTEGER PRIMARY KEY, name TEXT, SqlStr TEXT)");
        for (int i = 0; i < 30; ++i)
            db.exec("INSERT INTO USys_SVZ (name) VALUES ('q" + std::to_string(i) + "')");
    }
    TestDb db;
};

} // namespace

TEST_F(CallerStatements, SmartSearchStatements) {
    EXPECT_EQ(db.column("select * from [客户] where [名称] like '%%' or [电话] like '%%'"),
              "张三|李四|张小");
    EXPECT_EQ(db.column("select * from [客户] where [名称] like '%张%' or [电话] like '%张%'"),
              "张三|张小");
    EXPECT_EQ(db.column("select * from [客户] where [电话] like '%138%'"), "张三");
    // The search window runs a table's name as a command to list its fields.
    const auto t = translate("客户");
    EXPECT_EQ(t.kind, StatementKind::BareName);
    EXPECT_EQ(db.query(t.sqlite).columns, (std::vector<std::string>{"名称", "电话"}));
    // A saved query's chooser entry, suffix and all, cannot be opened.
    EXPECT_THROW(translate("Big(存储过程)"), engine::EngineError);
    EXPECT_THROW(translate("select top 1 * from Big(存储过程)"), engine::EngineError);
}

TEST_F(CallerStatements, DataWindowAndRowDeletion) {
    EXPECT_EQ(db.column("select * from 客户 Order By 名称 Desc"), "李四|张小|张三");
    EXPECT_EQ(db.column("select 名称,电话 from 客户 Order By 电话 Asc", 1),
              "<null>|13800001111|13912345678");
    EXPECT_EQ(db.query(translate("select top 100 * from USys_SVZ").sqlite).rows.size(), 30u);
    db.exec(translate("delete * from 客户").sqlite);
    EXPECT_EQ(db.scalar("select Count(*) from 客户"), "0");
}

TEST_F(CallerStatements, SavedQueryStore) {
    EXPECT_EQ(classify("create proc 大客户 as select * from 客户 where 名称 like '张*';"),
              StatementKind::CreateProcedure);
    db.exec(translate("insert into USys_SVZ (name, sqlstr) VALUES ('大客户', 'select * from 客户')")
                .sqlite);
    EXPECT_EQ(db.column("select * from USys_SVZ where name='大客户'", 2), "select * from 客户");
    db.exec(translate("delete from USys_SVZ WHERE Name ='大客户' ").sqlite);
    EXPECT_EQ(db.scalar("select Count(*) from USys_SVZ where name='大客户'"), "0");
    // A quote inside the typed SQL is not doubled by the program: refused, as Jet does.
    EXPECT_THROW(
        translate(
            "insert into USys_SVZ (name, sqlstr) VALUES ('x', 'select * from T where a='b'')"),
        engine::EngineError);
}

TEST_F(CallerStatements, DesignerAndHomeWindowDdlIsClassified) {
    for (const char* s :
         {"Create TABLE [新表](说明 text(50) NULL)", "Drop table [新表]",
          "ALTER TABLE [客户]  Alter COLUMN [电话] Text(20) primary key ",
          "alter table [客户] drop 电话", "ALTER TABLE [客户] ADD  COLUMN 地址 Memo",
          "alter table [客户] Drop constraint PrimaryKey", "DROP PROCEDURE 大客户"}) {
        const StatementKind k = classify(s);
        EXPECT_TRUE(k == StatementKind::CreateTable || k == StatementKind::DropTable ||
                    k == StatementKind::AlterTable || k == StatementKind::DropProcedure)
            << s;
        EXPECT_NO_THROW(engine::sql::parseDdl(s)) << s;
    }
}
