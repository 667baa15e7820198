// Results that must be Jet's: ties of TOP, DISTINCTROW over joins, text
// compared without regard to case wherever it is compared, the order of
// accented and Chinese text, the refusal of ungrouped columns, quantified
// comparisons and Access's own ways of writing derived tables and ALIKE.

#include "TestDb.h"

#include "engine/base/EngineError.h"
#include "engine/base/Messages.h"
#include "engine/sql/JetCollation.h"
#include "engine/sql/JetText.h"

#include <algorithm>
#include <random>

namespace {

class JetResults : public ::testing::Test {
protected:
    void SetUp() override {
        db.exec("CREATE TABLE 成绩 (编号 INTEGER PRIMARY KEY, 姓名 TEXT COLLATE JETTEXT, "
                "分数 INTEGER, 班级 TEXT COLLATE JETTEXT)");
        db.exec("INSERT INTO 成绩 VALUES (1, 'ann', 90, 'A'), (2, 'Bob', 80, 'a'), "
                "(3, 'cid', 70, 'B'), (4, 'Dan', 70, 'b'), (5, 'eve', 70, 'A'), "
                "(6, 'fay', 60, 'C'), (7, 'gus', NULL, 'C')");
        db.exec("CREATE TABLE 客户 (编号 INTEGER PRIMARY KEY, 名称 TEXT COLLATE JETTEXT, 城市 TEXT "
                "COLLATE JETTEXT)");
        db.exec("INSERT INTO 客户 VALUES (1, '张三', '北京'), (2, '张三', '上海'), (3, 'Chai', "
                "'广州'), (4, '李四', '北京')");
        db.exec("CREATE TABLE 订单 (单号 INTEGER PRIMARY KEY, 客户编号 INTEGER, 金额 REAL)");
        db.exec("INSERT INTO 订单 VALUES (10, 1, 30), (11, 1, 70), (12, 2, 15), (13, 2, 5), "
                "(14, 3, 8), (15, 3, 9), (16, 3, 10)");
    }

    int errorNumber(const std::string& jet) {
        try {
            db.jet(jet);
        } catch (const engine::EngineError& e) {
            return e.number();
        }
        return 0;
    }

    TestDb db;
};

TEST_F(JetResults, TopKeepsEveryRowTiedWithTheLast) {
    // 90, 80, 70, 70, 70, 60, Null: the third row ties with the next two.
    EXPECT_EQ(db.column("SELECT TOP 3 姓名 FROM 成绩 ORDER BY 分数 DESC, 编号"), "ann|Bob|cid");
    EXPECT_EQ(db.column("SELECT TOP 3 编号 FROM 成绩 ORDER BY 分数 DESC"), "1|2|3|4|5");
    EXPECT_EQ(db.column("SELECT TOP 1 编号 FROM 成绩 WHERE 分数 = 70 ORDER BY 分数"), "3|4|5");
    // Ascending, Null sorts first and ties only with Null.
    EXPECT_EQ(db.column("SELECT TOP 2 编号 FROM 成绩 ORDER BY 分数"), "7|6");
    // 7 rows * 40% rounds up to 3, and the third ties with two more.
    EXPECT_EQ(db.column("SELECT TOP 40 PERCENT 编号 FROM 成绩 ORDER BY 分数 DESC"), "1|2|3|4|5");
    // Without ORDER BY there is nothing to tie on; more rows than exist.
    EXPECT_EQ(db.column("SELECT TOP 2 编号 FROM 成绩"), "1|2");
    EXPECT_EQ(db.column("SELECT TOP 50 编号 FROM 成绩 ORDER BY 分数 DESC").size(), 13u);
    // Ties on an aggregate and on a text expression ordered without case.
    // Classes A: 3 rows, B: 2, C: 2.
    EXPECT_EQ(
        db.jet("SELECT TOP 2 班级 FROM 成绩 GROUP BY 班级 ORDER BY Count(*) DESC").rows.size(), 3u);
    EXPECT_EQ(db.column("SELECT TOP 1 编号 FROM 成绩 ORDER BY UCase(班级) & ''"), "1|2|5");
    // A number in ORDER BY is the position of an output field, as Jet
    // documents it ("ORDER BY 3, 1"), with TOP's ties too.
    EXPECT_EQ(db.column("SELECT 姓名, 分数 FROM 成绩 WHERE 分数 < 90 ORDER BY 2, 1 DESC"),
              "fay|eve|Dan|cid|Bob");
    EXPECT_EQ(db.column("SELECT TOP 3 班级, 编号 FROM 成绩 ORDER BY 1 DESC", 1), "6|7|3|4");
    // A position among the fields of * still orders (ties are not added).
    EXPECT_EQ(db.column("SELECT TOP 2 * FROM 成绩 ORDER BY 3 DESC"), "1|2");
    // The recordset's own shape carries the same limit.
    const auto t = engine::sql::translate("SELECT TOP 3 * FROM 成绩 ORDER BY 分数 DESC");
    ASSERT_TRUE(t.shape.singleSource);
    EXPECT_EQ(db.query("SELECT " + t.shape.selectList + " " + t.shape.fromClause + " " +
                       t.shape.orderBy + " " + t.shape.limit)
                  .rows.size(),
              5u);
}

TEST_F(JetResults, DistinctRowGivesOneRowPerRecordOfTheSelectedTables) {
    const std::string join = " FROM 客户 INNER JOIN 订单 ON 客户.编号 = 订单.客户编号";
    EXPECT_EQ(db.column("SELECT 客户.名称" + join).size(),
              std::string("张三|张三|张三|张三|Chai|Chai|Chai").size());
    // Two customers share a name: two rows, where DISTINCT would give one.
    EXPECT_EQ(db.column("SELECT DISTINCTROW 客户.名称" + join + " ORDER BY 客户.编号"),
              "张三|张三|Chai");
    EXPECT_EQ(db.column("SELECT DISTINCT 客户.名称" + join).size(),
              std::string("张三|Chai").size());
    EXPECT_EQ(db.jet("SELECT DISTINCTROW 客户.*" + join).rows.size(), 3u);
    EXPECT_EQ(db.jet("SELECT DISTINCTROW k.名称 FROM 客户 AS k, 订单 AS o WHERE k.编号 = "
                     "o.客户编号 AND o.金额 > 9")
                  .rows.size(),
              3u);
    // Fields of both tables: the rows of the join.
    EXPECT_EQ(db.jet("SELECT DISTINCTROW 客户.名称, 订单.金额" + join).rows.size(), 7u);
    EXPECT_EQ(db.jet("SELECT DISTINCTROW 名称 FROM 客户").rows.size(), 4u);
}

TEST_F(JetResults, TextComparesWithoutCaseWherever) {
    EXPECT_EQ(db.eval("IIf('abc' = 'ABC', 1, 0)"), "1");
    EXPECT_EQ(db.eval("IIf('abc' < 'ABD', 1, 0)"), "1");
    EXPECT_EQ(db.eval("IIf(Left('Chai tea', 4) = 'CHAI', 1, 0)"), "1");
    EXPECT_EQ(db.eval("IIf('b' Between 'A' And 'C', 1, 0)"), "1");
    EXPECT_EQ(db.eval("IIf(LCase('X') In ('x', 'y'), 1, 0)"), "1");
    EXPECT_EQ(db.eval("StrComp('abc', 'ABC')"), "0");
    EXPECT_EQ(db.eval("StrComp('abc', 'ABC', 0)"), "1");
    EXPECT_EQ(db.column("SELECT 姓名 FROM 成绩 WHERE Right(姓名, 1) = 'N' ORDER BY 编号"),
              "ann|Dan");
    EXPECT_EQ(db.column("SELECT 编号 FROM 客户 WHERE Left(名称, 4) = 'CHAI'"), "3");
    // Grouping, DISTINCT and UNION on expressions fold case as on columns.
    EXPECT_EQ(db.jet("SELECT 班级 & '' AS k, Count(*) FROM 成绩 GROUP BY 班级 & ''").rows.size(),
              3u);
    EXPECT_EQ(db.jet("SELECT DISTINCT 班级 & '' FROM 成绩").rows.size(), 3u);
    EXPECT_EQ(db.jet("SELECT 'abc' FROM 客户 UNION SELECT 'ABC' FROM 客户").rows.size(), 1u);
    EXPECT_EQ(db.scalar("SELECT Max(班级 & '') FROM 成绩"), "C");
    EXPECT_EQ(db.scalar("SELECT Count(*) FROM 成绩 WHERE 班级 & '' = 'a'"), "3");
}

TEST_F(JetResults, TextSortsWithBaseLettersAndChineseByPinyin) {
    db.exec("CREATE TABLE 地名 (名 TEXT COLLATE JETTEXT)");
    db.exec("INSERT INTO 地名 VALUES ('Bern'), ('Århus'), ('zürich'), ('Aachen'), ('Zebra'), "
            "('上海'), ('北京'), ('广州'), ('安徽'), ('重庆'), ('10'), ('9 a')");
    EXPECT_EQ(db.column("SELECT 名 FROM 地名 ORDER BY 名"),
              "10|9 a|Aachen|Århus|Bern|Zebra|zürich|安徽|北京|重庆|广州|上海");
    EXPECT_EQ(db.scalar("SELECT Min(名) FROM 地名 WHERE 名 > 'Z'"), "Zebra");
    EXPECT_EQ(db.scalar("SELECT Count(*) FROM 地名 WHERE 名 < 'B'"), "4");
    // An index of the column is kept in the same order.
    db.exec("CREATE INDEX 名序 ON 地名 (名)");
    EXPECT_EQ(db.scalar("SELECT Count(*) FROM 地名 WHERE 名 = 'ÅRHUS'"), "1");
    EXPECT_EQ(db.scalar("SELECT Count(*) FROM 地名 WHERE 名 = 'Arhus'"), "0");
}

TEST(JetCollation, ShortcutAgreesWithTheLibrary) {
    using engine::sql::collation::compare;
    using engine::sql::collation::compareFull;
    const std::vector<std::string> pieces = {"a",  "A",
                                             "b",  "z",
                                             "Z",  "0",
                                             "9",  " ",
                                             "-",  "_",
                                             "é",  "E",
                                             "中", "文",
                                             "\t", "ß",
                                             "Å",  "'",
                                             "~",  "\xcc\x81" /* combining acute */,
                                             "ü",  "1",
                                             "北", "京",
                                             "上", "海",
                                             "重", "长",
                                             "行", "㐀",
                                             "，", "\xef\xb8\x80" /* VS1 */,
                                             "ａ", "\xf0\xa0\x80\x80" /* U+20000 */,
                                             "ー", "ャ"};
    std::mt19937 rng(19);
    auto make = [&] {
        std::string s;
        const int n = static_cast<int>(rng() % 6);
        for (int k = 0; k < n; ++k)
            s += pieces[rng() % pieces.size()];
        return s;
    };
    int checked = 0;
    for (int n = 0; n < 200000; ++n) {
        std::string a = make(), b = make();
        if (rng() % 2) b = a.substr(0, rng() % (a.size() + 1)) + b; // share a start
        const int x = compare(a, b), y = compareFull(a, b);
        ASSERT_EQ(x < 0 ? -1 : x > 0, y < 0 ? -1 : y > 0) << "'" << a << "' vs '" << b << "'";
        ++checked;
    }
    EXPECT_EQ(checked, 200000);

    // Every printable ASCII character, in texts made of nothing else.
    auto ascii = [&] {
        std::string t;
        const int len = static_cast<int>(rng() % 7);
        for (int k = 0; k < len; ++k)
            t += static_cast<char>(rng() % 4 == 0 ? "aAzZ09 -_'"[rng() % 10] : 0x20 + rng() % 95);
        return t;
    };
    for (int n = 0; n < 300000; ++n) {
        std::string a = ascii(), b = ascii();
        if (rng() % 2) b = a.substr(0, rng() % (a.size() + 1)) + b;
        const int x = compare(a, b), y = compareFull(a, b);
        ASSERT_EQ(x < 0 ? -1 : x > 0, y < 0 ? -1 : y > 0) << "'" << a << "' vs '" << b << "'";
    }
    // Chinese characters from anywhere in the ideograph blocks, among ASCII.
    auto han = [&] {
        std::string t;
        const int len = static_cast<int>(rng() % 5);
        for (int k = 0; k < len; ++k) {
            const char32_t cp = rng() % 4 == 0   ? static_cast<char32_t>("09azAZ -_~"[rng() % 10])
                                : rng() % 8 == 0 ? 0x3400 + rng() % 0x19C0
                                                 : 0x4E00 + rng() % 0x5200;
            engine::sql::text::append(t, cp);
        }
        return t;
    };
    for (int n = 0; n < 200000; ++n) {
        std::string a = han(), b = han();
        if (rng() % 2) b = a.substr(0, rng() % (a.size() + 1)) + b;
        const int x = compare(a, b), y = compareFull(a, b);
        ASSERT_EQ(x < 0 ? -1 : x > 0, y < 0 ? -1 : y > 0) << "'" << a << "' vs '" << b << "'";
    }
}

TEST(JetCollation, ChineseCharactersInTheLibrarysOrder) {
    using engine::sql::collation::compare;
    using engine::sql::collation::compareFull;
    // Every unified ideograph sorted with the quick comparison: each
    // neighbour pair, alone and after a shared start, in the library's
    // order (the library's order is transitive, so the whole sequence is).
    std::vector<std::string> chars;
    for (char32_t cp = 0x4E00; cp <= 0x9FFF; ++cp) {
        std::string t;
        engine::sql::text::append(t, cp);
        chars.push_back(std::move(t));
    }
    std::stable_sort(chars.begin(), chars.end(),
                     [&](const std::string& x, const std::string& y) { return compare(x, y) < 0; });
    auto sign = [](int v) { return v < 0 ? -1 : v > 0; };
    for (std::size_t k = 0; k + 1 < chars.size(); ++k) {
        const std::string &x = chars[k], &y = chars[k + 1];
        ASSERT_LE(compareFull(x, y), 0) << x << " before " << y;
        ASSERT_EQ(sign(compare("客户" + x + "1", "客户" + y)),
                  sign(compareFull("客户" + x + "1", "客户" + y)))
            << x << " / " << y;
        ASSERT_EQ(sign(compare(y + "a", x + "B")), sign(compareFull(y + "a", x + "B"))) << y;
    }
    // Texts that differ in a later byte of the character, or where one side
    // is not well-formed, still compare as the library does.
    const std::vector<std::string> pairs = {"丁",         "七", "\xe4\xb8",    "\xe4\xb8\x80\x80",
                                            "丁\xcc\x81", "𠀀", "\xe4\xff\x80"};
    for (const auto& x : pairs)
        for (const auto& y : pairs)
            EXPECT_EQ(sign(compare(x, y)), sign(compareFull(x, y))) << x << " / " << y;
}

TEST_F(JetResults, ColumnsOutsideGroupByAreRefused) {
    const int refused = engine::msg::NotInAggregate.number;
    EXPECT_EQ(errorNumber("SELECT 班级, 姓名, Count(*) FROM 成绩 GROUP BY 班级"), refused);
    EXPECT_EQ(errorNumber("SELECT 姓名, Count(*) FROM 成绩"), refused);
    EXPECT_EQ(errorNumber("SELECT 班级 FROM 成绩 GROUP BY 班级 HAVING 分数 > 1"), refused);
    EXPECT_EQ(errorNumber("SELECT 班级 FROM 成绩 GROUP BY 班级 ORDER BY 姓名"), refused);
    EXPECT_EQ(errorNumber("SELECT * FROM 成绩 GROUP BY 班级"), engine::msg::GroupOnStar.number);
    // What Jet accepts: grouped columns in expressions, aggregates, the
    // grouped expression itself, aliases of aggregates in ORDER BY, and a
    // correlated subquery of its own.
    EXPECT_EQ(errorNumber("SELECT 班级 & '班' AS b, Sum(分数) / Count(*) FROM 成绩 GROUP BY 班级"),
              0);
    EXPECT_EQ(errorNumber("SELECT UCase(班级), Count(*) AS n FROM 成绩 GROUP BY UCase(班级) "
                          "HAVING Count(*) > 1 ORDER BY Count(*) DESC, n"),
              0);
    EXPECT_EQ(errorNumber("SELECT 成绩.班级, Max(分数) FROM 成绩 GROUP BY 班级"), 0);
    EXPECT_EQ(errorNumber("SELECT Count(*), Min(姓名) FROM 成绩"), 0);
    EXPECT_EQ(errorNumber("SELECT 班级, (SELECT Count(*) FROM 客户 WHERE 客户.名称 = 'x') FROM "
                          "成绩 GROUP BY 班级"),
              0);
}

TEST_F(JetResults, QuantifiedComparisons) {
    const std::string sub = "(SELECT 分数 FROM 成绩 WHERE 班级 = 'a')"; // 90, 80, 70
    EXPECT_EQ(db.column("SELECT 编号 FROM 成绩 WHERE 分数 > ALL " + sub), "");
    EXPECT_EQ(db.column("SELECT 编号 FROM 成绩 WHERE 分数 >= ALL " + sub), "1");
    EXPECT_EQ(db.column("SELECT 编号 FROM 成绩 WHERE 分数 < ANY " + sub + " ORDER BY 编号"),
              "2|3|4|5|6");
    EXPECT_EQ(db.column("SELECT 编号 FROM 成绩 WHERE 分数 = SOME " + sub + " ORDER BY 编号"),
              "1|2|3|4|5");
    EXPECT_EQ(db.column("SELECT 编号 FROM 成绩 WHERE 分数 <> ALL " + sub), "6");
    // Over no rows ALL holds and ANY does not.
    const std::string none = "(SELECT 分数 FROM 成绩 WHERE 1 = 0)";
    EXPECT_EQ(db.jet("SELECT 编号 FROM 成绩 WHERE 分数 < ALL " + none).rows.size(), 7u);
    EXPECT_EQ(db.jet("SELECT 编号 FROM 成绩 WHERE 分数 < ANY " + none).rows.size(), 0u);
    EXPECT_EQ(db.column("SELECT 姓名 FROM 成绩 WHERE UCase(姓名) >= ALL (SELECT 姓名 FROM 成绩)"),
              "gus");
}

TEST_F(JetResults, AccessDerivedTablesAndAlike) {
    EXPECT_EQ(db.column("SELECT T.名称 FROM [SELECT 名称, 城市 FROM 客户 WHERE 城市 = '北京']. AS "
                        "T ORDER BY T.名称"),
              "李四|张三");
    EXPECT_EQ(db.scalar("SELECT Count(*) FROM [SELECT DISTINCT 名称 FROM 客户].  AS Q INNER JOIN "
                        "客户 ON Q.名称 = 客户.名称"),
              "4");
    EXPECT_EQ(db.column("SELECT 编号 FROM 成绩 WHERE 姓名 ALIKE 'D%'"), "4");
    EXPECT_EQ(db.column("SELECT 编号 FROM 成绩 WHERE 姓名 ALIKE '_o_'"), "2");
    EXPECT_EQ(db.column("SELECT 编号 FROM 成绩 WHERE 姓名 ALIKE 'D*'"), "");
    EXPECT_EQ(db.eval("IIf('a*b' ALIKE 'A*%', 1, 0)"), "1");
    EXPECT_EQ(db.eval("IIf('axb' NOT ALIKE 'a?b', 1, 0)"), "1");
}

} // namespace
