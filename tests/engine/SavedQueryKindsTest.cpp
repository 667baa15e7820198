// Parameter and crosstab queries through the connection, on a file of our
// own and on the genuine sample files that hold a saved query of every kind.
#include "TestDb.h"
#include "support/SharedFiles.h"

#include "engine/JetEngine.h"
#include "engine/base/Messages.h"
#include "engine/core/Database.h"
#include "engine/schema/TableMeta.h"
#include "engine/sql/JetSql.h"

#include <cstdlib>
#include <map>

using namespace engine;

namespace {

class SavedQueryKinds : public TempDbTest {
protected:
    int errorNumber(Connection& c, const std::string& sql) {
        try {
            c.Execute(sql);
        } catch (const EngineError& e) {
            return e.number();
        }
        return 0;
    }
    static long count(Recordset rs) { return rs.RecordCount(); }
};

TEST_F(SavedQueryKinds, ParameterQueriesAskAndKeepTheirValues) {
    auto c = create("p.mdb");
    c.Execute("create table 订单 (单号 counter primary key, 客户 text(20), 日期 datetime, 金额 "
              "currency)");
    c.Execute("insert into 订单 (客户, 日期, 金额) values ('张三', #2024-01-05#, 10)");
    c.Execute("insert into 订单 (客户, 日期, 金额) values ('李四', #2024-03-01#, 20)");
    c.Execute("insert into 订单 (客户, 日期, 金额) values ('张三', #2024-06-01#, 30)");
    c.Execute("create proc 期间订单 as PARAMETERS [开始日期] DateTime, [客户名] Text; SELECT 单号 "
              "FROM 订单 WHERE 日期 >= [开始日期] AND 客户 = [客户名]");
    // Kept, but not as a view: its values come when it runs.
    bool view = false;
    for (auto rs = c.OpenSchema(20); !rs.Eof(); rs.MoveNext())
        view = view || rs["TABLE_NAME"].GetValue().text() == "期间订单";
    EXPECT_FALSE(view);
    const auto missing = c.MissingParameters("select * from 期间订单");
    ASSERT_EQ(missing.size(), 2u);
    EXPECT_EQ(missing[0], (std::pair<std::string, std::string>{"开始日期", "DateTime"}));
    EXPECT_EQ(missing[1].first, "客户名");
    EXPECT_EQ(errorNumber(c, "select * from 期间订单"), msg::ParameterMissing.number);

    c.SetParameter("开始日期", "2024/2/1");
    c.SetParameter("客户名", "张三");
    EXPECT_TRUE(c.MissingParameters("select * from 期间订单").empty());
    EXPECT_EQ(count(c.Execute("select * from 期间订单")), 1);
    // A query run again (the data window's refresh) finds the values kept.
    Recordset rs;
    rs.Open("select * from 期间订单", c, 1, 3, -1);
    EXPECT_EQ(rs.RecordCount(), 1);
    rs.Close();
    rs.Open("select * from 期间订单", c, 1, 3, -1);
    EXPECT_EQ(rs.RecordCount(), 1);

    // A name that is no field asks for a value too, a form reference alike.
    const auto undeclared = c.MissingParameters(
        "select * from 订单 where 客户 = [请输入客户] or 单号 = Forms!订单!单号");
    ASSERT_EQ(undeclared.size(), 2u);
    EXPECT_EQ(undeclared[1].first, "Forms!订单!单号");
    EXPECT_EQ(undeclared[0], (std::pair<std::string, std::string>{"请输入客户", ""}));
    c.SetParameter("请输入客户", "李四");
    c.SetParameter("Forms!订单!单号", "1");
    EXPECT_EQ(count(c.Execute("select * from 订单 where 客户 = [请输入客户] or 单号 = "
                              "Forms!订单!单号")),
              2);
    c.ClearParameters();
    EXPECT_EQ(errorNumber(c, "select * from 期间订单"), msg::ParameterMissing.number);
}

TEST_F(SavedQueryKinds, CrosstabsRunAsSavedQueriesAndFreeSql) {
    auto c = create("x.mdb");
    c.Execute("create table 销售 (区域 text(10), 季度 text(2), 金额 double)");
    for (const char* v : {"('北京', 'Q1', 1)", "('北京', 'Q2', 2)", "('上海', 'Q1', 4)"})
        c.Execute(std::string("insert into 销售 values ") + v);
    const std::string q =
        "TRANSFORM Sum(金额) SELECT 区域 FROM 销售 GROUP BY 区域 ORDER BY 区域 PIVOT 季度";
    auto rs = c.Execute(q);
    EXPECT_EQ(rs.RecordCount(), 2);
    ASSERT_EQ(rs.GetFields().Count(), 3);
    EXPECT_EQ(rs.GetFields()[2].Name(), "Q2");
    c.Execute("create proc 季度表 as " + q);
    EXPECT_EQ(count(c.Execute("select * from 季度表")), 2);
    // New pivot values make new columns the next time it runs.
    c.Execute("insert into 销售 values ('上海', 'Q3', 8)");
    EXPECT_EQ(c.Execute("select * from 季度表").GetFields().Count(), 4);
    // Read-only: the cells are computed.
    Recordset r2;
    r2.Open("select * from 季度表", c, 1, 3, -1);
    EXPECT_THROW(r2.AddNew(), EngineError);
}

// The sample files of a genuine Jet engine: every saved query is listed
// with its kind, none is reported missing, and each that returns rows runs.
TEST_F(SavedQueryKinds, EverySavedQueryOfTheSampleFilesIsListed) {
    const char* env = std::getenv("TABELKO_CORPUS");
    const std::string corpus = std::string(env ? env : TABELKO_CORPUS_DIR) + "/jet";
    REQUIRE_SHARED_FILE(corpus + "/queryTestV2000.mdb");
    const std::map<std::string, std::string> kinds = {{"SelectQuery", "选择查询"},
                                                      {"UpdateQuery", "更新查询（带参数）"},
                                                      {"AppendQuery", "追加查询"},
                                                      {"DeleteQuery", "删除查询"},
                                                      {"MakeTableQuery", "生成表查询"},
                                                      {"CrosstabQuery", "交叉表查询"},
                                                      {"UnionQuery", "联合查询"},
                                                      {"PassthroughQuery", "传递查询"},
                                                      {"DataDefinitionQuery", "数据定义查询"}};
    for (const char* file : {"queryTestV1997.mdb", "queryTestV2000.mdb", "queryTestV2003.mdb"}) {
        std::filesystem::copy_file(corpus + "/" + file, path(file));
        auto c = open(file);
        const auto saved = metadata::queries(c.database()->handle());
        ASSERT_EQ(saved.size(), kinds.size()) << file;
        for (const auto& q : saved) {
            ASSERT_TRUE(kinds.count(q.name)) << q.name;
            EXPECT_EQ(c.database()->savedQueryKind(q), kinds.at(q.name)) << file << " " << q.name;
            const int n = errorNumber(c, "select * from [" + q.name + "]");
            EXPECT_NE(n, msg::UnknownTable.number) << file << " " << q.name;
            if (q.name == "SelectQuery" || q.name == "CrosstabQuery") {
                EXPECT_EQ(n, 0) << file;
            }
            if (q.name == "UpdateQuery" || q.name == "AppendQuery" || q.name == "DeleteQuery") {
                EXPECT_EQ(n, msg::NotRowReturning.number) << file << " " << q.name;
            }
        }
        // An action query of a genuine file that cannot be written says why
        // (the copies here keep the samples' read-only permissions).
        c.SetParameter("User Name", "x");
        EXPECT_EQ(errorNumber(c, "EXECUTE UpdateQuery"), std::string(file) == "queryTestV1997.mdb"
                                                             ? msg::JetFormatReadOnly.number
                                                             : msg::ReadOnlyFile.number)
            << file;
        // A pass-through query's text is for its ODBC server ("ALTER TABLE
        // Table4 DROP COLUMN col5" here): never run, not even by name.
        EXPECT_EQ(errorNumber(c, "EXECUTE PassthroughQuery"), msg::PassThroughQuery.number);
        EXPECT_EQ(errorNumber(c, "select * from [PassthroughQuery]"), msg::PassThroughQuery.number);
        c.Close();
        // Nor does a compacted copy, in the engine's own format, take it along
        // as a statement it would run.
        const std::string copy = path(std::string("compacted-") + file);
        JetEngine().CompactDatabase("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path(file),
                                    "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + copy);
        Connection compacted;
        compacted.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + copy);
        EXPECT_FALSE(metadata::findQuery(compacted.database()->handle(), "PassthroughQuery"));
        EXPECT_TRUE(metadata::findQuery(compacted.database()->handle(), "DataDefinitionQuery"));
    }
}

} // namespace
