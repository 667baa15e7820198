// Crosstab queries and parameter queries, run on real data: the columns a
// pivot gives, the values parameters take, and saved queries that are no
// view read in place.

#include "TestDb.h"

#include "engine/base/EngineError.h"
#include "engine/base/Messages.h"

#include <map>

using engine::sql::TranslateOptions;

namespace {

class CrosstabAndParameters : public ::testing::Test {
protected:
    void SetUp() override {
        db.exec("CREATE TABLE 销售 (编号 INTEGER PRIMARY KEY, 区域 TEXT COLLATE JETTEXT, 季度 "
                "TEXT COLLATE JETTEXT, 金额 REAL, 日期 TEXT)");
        db.exec("INSERT INTO 销售 VALUES (1, '北京', 'Q1', 10, '2024-01-05 00:00:00'), "
                "(2, '北京', 'q1', 5, '2024-02-05 00:00:00'), (3, '北京', 'Q3', 7, "
                "'2024-07-01 00:00:00'), (4, '上海', 'Q2', 4, '2024-04-01 00:00:00'), "
                "(5, '上海', NULL, 1, NULL)");
        options.distinctValues = [this](const std::string& sql) {
            std::vector<std::pair<std::string, std::string>> out;
            for (const auto& row :
                 db.query("SELECT quote(__pivot), __pivot FROM (" + sql + ")").rows)
                out.emplace_back(row[0], row[1]);
            return out;
        };
        options.savedQuery = [this](const std::string& name) -> std::optional<std::string> {
            const auto it = saved.find(name);
            if (it == saved.end()) return std::nullopt;
            return it->second;
        };
    }

    TestDb::Result run(const std::string& jet) {
        return db.query(engine::sql::translate(jet, options).sqlite);
    }
    int errorNumber(const std::string& jet) {
        try {
            run(jet);
        } catch (const engine::EngineError& e) {
            return e.number();
        }
        return 0;
    }

    TestDb db;
    TranslateOptions options;
    std::map<std::string, std::string> saved;
};

std::string joined(const std::vector<std::string>& v) {
    std::string out;
    for (const auto& s : v)
        out += (out.empty() ? "" : "|") + s;
    return out;
}

TEST_F(CrosstabAndParameters, CrosstabColumnsComeFromThePivotValues) {
    const auto r = run("TRANSFORM Sum(金额) AS 合计 SELECT 区域, Count(*) AS 笔数 FROM 销售 GROUP "
                       "BY 区域 ORDER BY 区域 PIVOT 季度");
    // Sorted pivot values, Q1 and q1 one column, Null as "<>".
    const std::string columns = joined(r.columns);
    EXPECT_TRUE(columns == "区域|笔数|<>|Q1|Q2|Q3" || columns == "区域|笔数|<>|q1|Q2|Q3")
        << columns;
    ASSERT_EQ(r.rows.size(), 2u);
    EXPECT_EQ(joined(r.rows[0]), "北京|3|<null>|15.0|<null>|7.0");
    EXPECT_EQ(joined(r.rows[1]), "上海|2|1.0|<null>|4.0|<null>");
    // IN gives the columns and their order, values absent from the data too.
    const auto in = run("TRANSFORM Count(*) SELECT 区域 FROM 销售 GROUP BY 区域 ORDER BY 区域 "
                        "PIVOT 季度 IN ('Q3', 'Q1', 'Q4')");
    EXPECT_EQ(joined(in.columns), "区域|Q3|Q1|Q4");
    EXPECT_EQ(joined(in.rows[0]), "北京|1|2|<null>");
    // A date expression as the pivot, headed in the short date form.
    const auto byMonth = run("TRANSFORM Sum(金额) SELECT 区域 FROM 销售 WHERE 日期 < #2024-03-01# "
                             "GROUP BY 区域 PIVOT DateSerial(Year(日期), Month(日期), 1)");
    EXPECT_EQ(joined(byMonth.columns), "区域|2024/1/1|2024/2/1");
    // A condition on totals kept among the others (as Access saves a
    // crosstab) holds per group.
    const auto big =
        run("TRANSFORM Sum(金额) SELECT 区域 FROM 销售 WHERE (((区域) Is Not Null) And "
            "((Count(*))>2)) GROUP BY 区域 PIVOT 季度 IN ('Q1')");
    ASSERT_EQ(big.rows.size(), 1u);
    EXPECT_EQ(joined(big.rows[0]), "北京|15.0");
    // First and Last in a cell take the rows of that column only, even when
    // the group's first or last row belongs to another one.
    const auto firstLast = run("TRANSFORM First(金额) SELECT 区域, Last(金额) AS 末 FROM 销售 "
                               "GROUP BY 区域 ORDER BY 区域 PIVOT 季度 IN ('Q3', 'Q1')");
    ASSERT_EQ(firstLast.rows.size(), 2u);
    EXPECT_EQ(joined(firstLast.rows[0]), "北京|7.0|7.0|10.0");
    EXPECT_EQ(joined(firstLast.rows[1]), "上海|1.0|<null>|<null>");
    const auto last = run("TRANSFORM Last(金额) SELECT 区域 FROM 销售 GROUP BY 区域 ORDER BY 区域 "
                          "PIVOT 季度 IN ('Q1', 'Q3', 'Q2')");
    EXPECT_EQ(joined(last.rows[0]), "北京|5.0|7.0|<null>");
    EXPECT_EQ(joined(last.rows[1]), "上海|<null>|<null>|4.0");
    // Without the database there is nothing to name the columns by.
    EXPECT_THROW(engine::sql::translate("TRANSFORM Sum(金额) SELECT 区域 FROM 销售 GROUP BY 区域 "
                                        "PIVOT 季度"),
                 engine::EngineError);
    EXPECT_EQ(engine::sql::queryKindOf("TRANSFORM Sum(a) SELECT b FROM T GROUP BY b PIVOT c"),
              "交叉表查询");
}

TEST_F(CrosstabAndParameters, DeclaredAndUndeclaredParametersTakeTheirValues) {
    const std::string q = "PARAMETERS [开始日期] DateTime, [最少] Long; SELECT 编号 FROM 销售 "
                          "WHERE 日期 >= [开始日期] AND 金额 >= [最少] ORDER BY 编号";
    // Listing what the statement asks for, without values.
    options.listMissing = true;
    const auto listed = engine::sql::translate(q, options);
    ASSERT_EQ(listed.missing.size(), 2u);
    EXPECT_EQ(listed.missing[0].name, "开始日期");
    EXPECT_EQ(listed.missing[0].typeWord, "DateTime");
    options.listMissing = false;
    EXPECT_EQ(errorNumber(q), engine::msg::ParameterMissing.number);

    options.parameterValues = {{"开始日期", "2024/2/1"}, {"最少", "4.4"}};
    // From 2/1 on, at least 4 (a Long: 4.4 rounds to 4): rows 2, 3 and 4.
    EXPECT_EQ(joined(run(q).rows.at(0)), "2");
    EXPECT_EQ(run(q).rows.size(), 3u);
    options.parameterValues = {{"开始日期", "不是日期"}, {"最少", "1"}};
    EXPECT_EQ(errorNumber(q), engine::msg::BadParameterValue.number);

    // A form reference is a parameter; so is a name the engine found to be
    // no field. Undeclared values are text, compared as Jet compares text.
    options.parameterValues = {{"Forms!订单!区域", "北京"}, {"季度名", "q1"}};
    options.undeclared = {"季度名"};
    EXPECT_EQ(run("SELECT Count(*) FROM 销售 WHERE 区域 = [Forms]![订单]![区域] AND 季度 = "
                  "[季度名]")
                  .rows[0][0],
              "2");
}

TEST_F(CrosstabAndParameters, SavedQueriesThatAreNoViewsAreReadInPlace) {
    saved["按季度"] = "TRANSFORM Sum(金额) SELECT 区域 FROM 销售 GROUP BY 区域 PIVOT 季度 IN "
                      "('Q1', 'Q2');";
    saved["大额"] = "PARAMETERS [下限] Currency;\nSELECT 编号, 金额 FROM 销售 WHERE 金额 > [下限];";
    saved["改价"] = "UPDATE 销售 SET 金额 = 0";
    const auto all = run("select * from [按季度] order by 区域");
    EXPECT_EQ(joined(all.columns), "区域|Q1|Q2");
    EXPECT_EQ(all.rows.size(), 2u);
    EXPECT_EQ(errorNumber("select * from 大额"), engine::msg::ParameterMissing.number);
    options.parameterValues = {{"下限", "5"}};
    EXPECT_EQ(run("SELECT Count(*) FROM 大额 AS d WHERE d.金额 < 100").rows[0][0], "2");
    EXPECT_EQ(run("大额").rows.size(), 2u);
    EXPECT_EQ(errorNumber("select * from 改价"), engine::msg::NotRowReturning.number);
    EXPECT_EQ(engine::sql::queryKindOf(saved["大额"]), "选择查询（带参数）");
    EXPECT_EQ(engine::sql::queryKindOf(saved["改价"]), "更新查询");
    saved["自己"] = "SELECT * FROM 自己";
    EXPECT_NE(errorNumber("SELECT * FROM 自己"), 0);
}

} // namespace
