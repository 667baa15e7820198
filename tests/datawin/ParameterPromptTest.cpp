// A parameter query opened in a data window asks for each value by name.
#include "DataWinTest.h"

using datawin::ShowTable;
using dwtest::g;

namespace {

class ParameterPrompt : public dwtest::DataWin {};

TEST_F(ParameterPrompt, EachParameterIsAskedByNameAndCancelOpensNothing) {
    execute("create proc 大单 as PARAMETERS [最少金额] Double; SELECT * FROM Orders WHERE amount "
            "> [最少金额] AND item <> [除外]");
    auto& s = services;
    choose(QStringLiteral("大单"));
    s->inputAnswers = {QStringLiteral("3"), QStringLiteral("葡萄")};
    ShowTable(g().CurrentSql, 1);
    ASSERT_EQ(s->inputs.size(), 2u);
    EXPECT_EQ(s->inputs[0].prompt, QStringLiteral("最少金额"));
    EXPECT_EQ(s->inputs[0].title, QStringLiteral("输入参数值"));
    EXPECT_EQ(s->inputs[1].prompt, QStringLiteral("除外"));
    EXPECT_EQ(g().SharedRs.RecordCount(), 2); // 3.5 and 7

    // Values given once are kept; another query asks only for its own.
    choose(QStringLiteral("Orders"));
    s->inputAnswers = {QString()}; // Cancel
    g().CurrentSql = QStringLiteral("select * from Orders where amount < [上限]");
    ShowTable(g().CurrentSql, 2);
    EXPECT_EQ(s->inputs.size(), 3u);
    EXPECT_EQ(g().SharedRs.State(), 0);
}

} // namespace
