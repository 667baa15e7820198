// Saved queries rebuilt into Jet SQL from their stored parts.

#include "JetTestSupport.h"

#include <map>

using engine::jet::JetFile;
using engine::jet::QueryKind;
using jettest::corpusFile;

namespace {

std::map<std::string, engine::jet::QueryDef> queriesOf(const std::string& file) {
    std::map<std::string, engine::jet::QueryDef> out;
    for (auto& q : JetFile::open(corpusFile(file)).queries())
        out[q.name] = q;
    return out;
}

} // namespace

TEST(JetQueries, EveryKindIsRecognised) {
    JET_REQUIRE_CORPUS("queryTestV2000.mdb");
    for (const char* file : {"queryTestV2000.mdb", "queryTestV2003.mdb", "queryTestV1997.mdb"}) {
        auto q = queriesOf(file);
        ASSERT_EQ(q.size(), 9u) << file;
        EXPECT_EQ(q["SelectQuery"].kind, QueryKind::Select) << file;
        EXPECT_EQ(q["UpdateQuery"].kind, QueryKind::Update) << file;
        EXPECT_EQ(q["AppendQuery"].kind, QueryKind::Append) << file;
        EXPECT_EQ(q["DeleteQuery"].kind, QueryKind::Delete) << file;
        EXPECT_EQ(q["MakeTableQuery"].kind, QueryKind::MakeTable) << file;
        EXPECT_EQ(q["CrosstabQuery"].kind, QueryKind::Crosstab) << file;
        EXPECT_EQ(q["UnionQuery"].kind, QueryKind::Union) << file;
        EXPECT_EQ(q["PassthroughQuery"].kind, QueryKind::PassThrough) << file;
        EXPECT_EQ(q["DataDefinitionQuery"].kind, QueryKind::DataDefinition) << file;
        EXPECT_STREQ(engine::jet::queryKindName(QueryKind::Crosstab), "交叉表查询");
    }
}

TEST(JetQueries, SelectWithDistinctNestedJoinsWhereAndOrder) {
    JET_REQUIRE_CORPUS("queryTestV2000.mdb");
    auto q = queriesOf("queryTestV2000.mdb");
    EXPECT_EQ(q["SelectQuery"].sql,
              "SELECT DISTINCT Table1.*, Table2.col1, Table2.col2, Table3.col3\n"
              "FROM (Table1 LEFT JOIN Table3 ON Table1.col1 = Table3.col1) INNER JOIN Table2 ON "
              "Table3.col1 = Table2.col1 AND Table3.col1 = Table2.col2\n"
              "WHERE (((Table2.col2)=\"foo\" Or (Table2.col2) In (\"buzz\",\"bazz\")))\n"
              "ORDER BY Table2.col1;");
    EXPECT_EQ(q["MakeTableQuery"].sql,
              "SELECT Max(Table2.col1) AS MaxOfcol1, Table2.col2, Table3.col2\n"
              "INTO Table4\n"
              "FROM (Table2 INNER JOIN Table1 ON Table2.col1 = Table1.col2) RIGHT JOIN Table3 ON "
              "Table1.col2 = Table3.col3\n"
              "GROUP BY Table2.col2, Table3.col2\n"
              "HAVING (((Max(Table2.col1))=\"buzz\") AND ((Table2.col2)<>\"blah\"));");
}

TEST(JetQueries, ActionCrosstabAndOtherKinds) {
    JET_REQUIRE_CORPUS("queryTestV2000.mdb");
    auto q = queriesOf("queryTestV2000.mdb");
    EXPECT_EQ(q["UpdateQuery"].sql,
              "PARAMETERS [User Name] Text ( 255 );\n"
              "UPDATE Table1\n"
              "SET Table1.col1 = \"foo\", Table1.col2 = [Table2].[col3], [Table2].[col1] = [User "
              "Name]\n"
              "WHERE ((([Table2].[col1]) Is Not Null));");
    EXPECT_EQ(q["DeleteQuery"].sql, "DELETE Table1.col1, Table1.col2, Table1.col3\n"
                                    "FROM Table1\n"
                                    "WHERE (((Table1.col1)>\"blah\"));");
    EXPECT_EQ(q["AppendQuery"].sql,
              "INSERT INTO Table3 ( col2, col2, col3 )\n"
              "SELECT [Table1].[col2], [Table2].[col2], [Table2].[col3]\n"
              "FROM Table3, Table1 INNER JOIN Table2 ON [Table1].[col1]=[Table2].[col1];");
    const std::string& x = q["CrosstabQuery"].sql;
    EXPECT_EQ(x.substr(0, x.find('\n')), "TRANSFORM Count([Table2].[col2]) AS CountOfcol2");
    EXPECT_NE(x.find("\nGROUP BY Table2_1.col1, [Table2].[col3]\n"), std::string::npos);
    EXPECT_NE(x.find("INNER JOIN Table2 AS Table2_1 ON"), std::string::npos);
    EXPECT_EQ(x.substr(x.rfind('\n') + 1), "PIVOT [Table1].[col1];");
    EXPECT_NE(q["UnionQuery"].sql.find("\nUNION\nSelect Table3.col1"), std::string::npos);
    EXPECT_EQ(q["DataDefinitionQuery"].sql, "CREATE TABLE Table5 (col1 CHAR, col2 CHAR);");
    EXPECT_EQ(q["PassthroughQuery"].sql, "ALTER TABLE Table4 DROP COLUMN col5;");
}

TEST(JetQueries, FileWithoutQueriesHasNone) {
    JET_REQUIRE_CORPUS("testV2000.mdb");
    EXPECT_TRUE(JetFile::open(corpusFile("testV2000.mdb")).queries().empty());
}
