#include "engine/base/EngineError.h"
#include "engine/sql/JetSql.h"

#include <gtest/gtest.h>

using namespace engine::sql;

namespace {

template <typename T> T as(const std::string& jet) {
    const DdlStatement st = parseDdl(jet);
    EXPECT_TRUE(std::holds_alternative<T>(st)) << jet;
    return std::holds_alternative<T>(st) ? std::get<T>(st) : T{};
}

int errorNumber(const std::string& jet, std::string* text = nullptr) {
    try {
        parseDdl(jet);
    } catch (const engine::EngineError& e) {
        if (text) *text = e.what();
        return e.number();
    }
    return 0;
}

} // namespace

TEST(Ddl, CreateTableAsTheProgramSendsIt) {
    auto ct = as<CreateTable>(
        "Create TABLE USys_SVZ(SYS_SVZ_ID counter,name text(100),SqlStr Memo NULL)");
    EXPECT_EQ(ct.name, "USys_SVZ");
    ASSERT_EQ(ct.columns.size(), 3u);
    EXPECT_EQ(ct.columns[0].name, "SYS_SVZ_ID");
    EXPECT_EQ(ct.columns[0].type.word, "counter");
    EXPECT_EQ(ct.columns[1].type.word, "text");
    EXPECT_EQ(ct.columns[1].type.args, std::vector<long long>{100});
    EXPECT_EQ(ct.columns[1].type.written, "text(100)");
    EXPECT_FALSE(ct.columns[2].notNull);

    ct = as<CreateTable>("Create TABLE [客户](说明 text(50) NULL)");
    EXPECT_EQ(ct.name, "客户");
    EXPECT_EQ(ct.columns[0].name, "说明");
    EXPECT_EQ(ct.columns[0].type.written, "text(50)");
}

TEST(Ddl, TypeWordsArgumentsAndConstraints) {
    const auto ct = as<CreateTable>(
        "CREATE TABLE T (id COUNTER(100, 5) CONSTRAINT pk PRIMARY KEY, 金额 NUMERIC(6,2) NOT NULL "
        "DEFAULT 0, 名称 VARCHAR (20) UNIQUE, 日期 DATETIME DEFAULT Now(), 标志 YESNO DEFAULT True "
        "NOT NULL, 备注 Text WITH COMPRESSION, 客户 LONG REFERENCES 客户 (编号), "
        "CONSTRAINT uq UNIQUE (名称, 日期), FOREIGN KEY (客户) REFERENCES 客户 ON DELETE CASCADE)");
    ASSERT_EQ(ct.columns.size(), 7u);
    EXPECT_EQ(ct.columns[0].type.args, (std::vector<long long>{100, 5}));
    EXPECT_TRUE(ct.columns[0].primaryKey);
    EXPECT_EQ(ct.columns[0].constraintName, "pk");
    EXPECT_EQ(ct.columns[1].type.word, "NUMERIC");
    EXPECT_EQ(ct.columns[1].type.args, (std::vector<long long>{6, 2}));
    EXPECT_TRUE(ct.columns[1].notNull);
    EXPECT_EQ(ct.columns[1].defaultJet.value_or("?"), "0");
    EXPECT_EQ(ct.columns[2].type.written, "VARCHAR (20)");
    EXPECT_TRUE(ct.columns[2].unique);
    EXPECT_EQ(ct.columns[3].defaultJet.value_or("?"), "Now()");
    EXPECT_EQ(ct.columns[4].defaultJet.value_or("?"), "True");
    EXPECT_TRUE(ct.columns[4].notNull);
    EXPECT_FALSE(ct.columns[5].defaultJet.has_value());
    EXPECT_EQ(ct.columns[6].refTable, "客户");
    EXPECT_EQ(ct.columns[6].refColumns, std::vector<std::string>{"编号"});
    ASSERT_EQ(ct.constraints.size(), 2u);
    EXPECT_EQ(ct.constraints[0].kind, TableConstraint::Kind::Unique);
    EXPECT_EQ(ct.constraints[0].name, "uq");
    EXPECT_EQ(ct.constraints[0].columns, (std::vector<std::string>{"名称", "日期"}));
    EXPECT_EQ(ct.constraints[1].kind, TableConstraint::Kind::ForeignKey);
    EXPECT_EQ(ct.constraints[1].refTable, "客户");

    const auto pk = as<CreateTable>(
        "CREATE TABLE T (a Long, b Text(5), CONSTRAINT PrimaryKey PRIMARY KEY (a, b))");
    EXPECT_EQ(pk.constraints[0].kind, TableConstraint::Kind::PrimaryKey);
    EXPECT_EQ(pk.constraints[0].columns, (std::vector<std::string>{"a", "b"}));
    // Defaults keep their text, strings included.
    const auto d =
        as<CreateTable>("CREATE TABLE T (a Text(10) DEFAULT 'x, y', b Long DEFAULT (1 + 2) * 3)");
    EXPECT_EQ(d.columns[0].defaultJet.value_or("?"), "'x, y'");
    EXPECT_EQ(d.columns[1].defaultJet.value_or("?"), "(1 + 2) * 3");
}

TEST(Ddl, AlterTableFormsOfTheDesigner) {
    auto at = as<AlterTable>("ALTER TABLE [T]  Alter COLUMN [c] Long primary key ");
    EXPECT_EQ(at.table, "T");
    EXPECT_EQ(at.action, AlterTable::Action::AlterColumn);
    EXPECT_EQ(at.column.name, "c");
    EXPECT_EQ(at.column.type.word, "Long");
    EXPECT_TRUE(at.column.primaryKey);

    at = as<AlterTable>("alter table [T] drop c");
    EXPECT_EQ(at.action, AlterTable::Action::DropColumn);
    EXPECT_EQ(at.name, "c");
    at = as<AlterTable>("ALTER TABLE T DROP COLUMN [说 明]");
    EXPECT_EQ(at.name, "说 明");

    at = as<AlterTable>("ALTER TABLE [T] ADD  COLUMN c Text(20) primary key ");
    EXPECT_EQ(at.action, AlterTable::Action::AddColumn);
    EXPECT_EQ(at.column.name, "c");
    EXPECT_EQ(at.column.type.written, "Text(20)");
    EXPECT_TRUE(at.column.primaryKey);
    at = as<AlterTable>("ALTER TABLE T ADD d NUMERIC(6,6)");
    EXPECT_EQ(at.column.name, "d");

    at = as<AlterTable>("alter table [T] Drop constraint PrimaryKey");
    EXPECT_EQ(at.action, AlterTable::Action::DropConstraint);
    EXPECT_EQ(at.name, "PrimaryKey");
    at = as<AlterTable>("ALTER TABLE T ADD CONSTRAINT pk PRIMARY KEY (a)");
    EXPECT_EQ(at.action, AlterTable::Action::AddConstraint);
    EXPECT_EQ(at.constraint.name, "pk");
    EXPECT_EQ(at.constraint.columns, std::vector<std::string>{"a"});

    // The designer's add with an empty name box: refused.
    std::string text;
    EXPECT_EQ(errorNumber("ALTER TABLE [T] ADD  COLUMN  Text(20)", &text), 3075);
    EXPECT_NE(text.find("Text"), std::string::npos);
}

TEST(Ddl, IndexesProceduresViewsAndExecute) {
    const auto ci =
        as<CreateIndex>("CREATE UNIQUE INDEX ix ON [客户] (名称, 日期 DESC) WITH DISALLOW NULL");
    EXPECT_EQ(ci.name, "ix");
    EXPECT_EQ(ci.table, "客户");
    ASSERT_EQ(ci.columns.size(), 2u);
    EXPECT_FALSE(ci.columns[0].descending);
    EXPECT_TRUE(ci.columns[1].descending);
    EXPECT_TRUE(ci.unique);
    EXPECT_TRUE(ci.disallowNull);
    EXPECT_TRUE(as<CreateIndex>("CREATE INDEX p ON T (a) WITH PRIMARY").primary);
    const auto di = as<DropIndex>("DROP INDEX ix ON 客户");
    EXPECT_EQ(di.name, "ix");
    EXPECT_EQ(di.table, "客户");

    auto cp = as<CreateProcedure>("create proc Big as select * from T where a = 'x;y' ;");
    EXPECT_EQ(cp.name, "Big");
    EXPECT_EQ(cp.body, "select * from T where a = 'x;y'");
    EXPECT_FALSE(cp.isView);
    cp = as<CreateProcedure>("CREATE VIEW [大 查询] AS\n  SELECT 1;;");
    EXPECT_TRUE(cp.isView);
    EXPECT_EQ(cp.name, "大 查询");
    EXPECT_EQ(cp.body, "SELECT 1");
    EXPECT_EQ(as<CreateProcedure>("CREATE PROCEDURE p (x Long) AS DELETE FROM T").body,
              "DELETE FROM T");
    EXPECT_EQ(as<DropProcedure>("DROP PROCEDURE Big").name, "Big");
    EXPECT_TRUE(as<DropProcedure>("drop view v").isView);
    EXPECT_EQ(as<DropTable>("Drop table [T]").name, "T");
    EXPECT_EQ(as<ExecuteProcedure>("EXEC Big").name, "Big");
    EXPECT_EQ(as<ExecuteProcedure>("execute [大 查询];").name, "大 查询");
}

TEST(Ddl, BadNamesAndMalformedStatements) {
    std::string text;
    EXPECT_EQ(errorNumber("Create TABLE [](说明 text(50) NULL)", &text), 3125);
    EXPECT_NE(text.find("不是有效的名称"), std::string::npos);
    EXPECT_EQ(errorNumber("Create TABLE [a[b](说明 text(50) NULL)"), 3125);
    EXPECT_EQ(errorNumber("Create TABLE [a.b](说明 text(50) NULL)"), 3125);
    EXPECT_EQ(errorNumber("Create TABLE [ a](说明 text(50) NULL)"), 3125);
    EXPECT_EQ(errorNumber("Create TABLE T([x!y] text(50))"), 3125);
    EXPECT_EQ(errorNumber("Drop table []"), 3125);
    EXPECT_EQ(errorNumber("CREATE TABLE " + std::string(65, 'a') + " (x Long)"), 3125);
    EXPECT_EQ(errorNumber("CREATE TABLE " + std::string(64, 'a') + " (x Long)"), 0);

    EXPECT_EQ(errorNumber("CREATE TABLE T", &text), 3075);
    EXPECT_EQ(errorNumber("CREATE TABLE T ()", &text), 3075);
    EXPECT_EQ(errorNumber("CREATE TABLE T (a)", &text), 3075);
    EXPECT_NE(text.find("“a”"), std::string::npos);
    EXPECT_EQ(errorNumber("CREATE TABLE T (a Text(x))"), 3075);
    EXPECT_EQ(errorNumber("CREATE TABLE T (a Long) extra"), 3075);
    EXPECT_EQ(errorNumber("ALTER TABLE T RENAME a"), 3075);
    EXPECT_EQ(errorNumber("create proc p as"), 3075);
    EXPECT_EQ(errorNumber("EXEC p 1, 2"), 3075);
    EXPECT_EQ(errorNumber("SELECT * FROM T"), 3075);
}
