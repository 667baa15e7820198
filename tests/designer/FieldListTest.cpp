// How both windows list a table's fields and read a clicked line back.
#include "DesignerTestSupport.h"

using namespace designertest;

namespace {

const char* const mixedTable =
    "create table 混合 (ID counter primary key, UserID long not null, 姓名 text(20), "
    "备注 memo, 价 money, 比 NUMERIC(6,2), 标识 GUID, 小 SMALLINT, 原始 LONGBINARY, "
    "是否 bit, 日 time, 字节 byte, 单 single, 双 double, 二 binary)";

class FieldList : public Designer {};

TEST_F(FieldList, BothWindowsListWordsLabelsAndMarks) {
    openDatabase({mixedTable, "create table 无键 (A long, B text(10) not null)"});
    designer::Form2& f2 = structureView(QStringLiteral("混合"));
    const QStringList expected = {
        "ID\tLong\t 自动编号 主键",
        "UserID\tLong\t 必填",
        "姓名\ttext\t",
        "备注\tMemo\t",
        "价\tMoney\t",
        "比\tNumeric\t",
        "标识\ttext\t",
        "小\ttext\t",
        "原始\ttext\t",
        "是否\tBit\t",
        "日\tTime\t",
        "字节\tByte\t",
        "单\tSingle\t",
        "双\tDouble\t",
        "二\tBinary\t",
    };
    EXPECT_EQ(lines(*f2.List1), expected);
    EXPECT_EQ(f2.primaryKeyColumn, QStringLiteral("ID"));
    EXPECT_FALSE(f2.primaryKeyName.isEmpty());
    // An empty marks piece still leaves the trailing TAB: three pieces.
    EXPECT_EQ(f2.List1->item(2)->text().split(QLatin1Char('\t')).size(), 3);

    designer::Form3& f3 = fieldEditor(QStringLiteral("混合"));
    EXPECT_EQ(f3.windowTitle(), QStringLiteral("表：混合"));
    EXPECT_EQ(lines(*f3.List1), expected);
    ASSERT_EQ(f3.LV->topLevelItemCount(), 15);
    EXPECT_EQ(f3.LV->headerItem()->text(0), QStringLiteral("序"));
    EXPECT_EQ(f3.LV->headerItem()->text(3), QStringLiteral("说明"));
    auto row = [&](int i) {
        QStringList cells;
        for (int c = 0; c < 4; ++c)
            cells << f3.LV->topLevelItem(i)->text(c);
        return cells;
    };
    EXPECT_EQ(row(0), (QStringList{"1", "ID", "长整型", " 自动编号 主键"}));
    EXPECT_EQ(row(1), (QStringList{"2", "UserID", "长整型", " 必填"}));
    EXPECT_EQ(row(5), (QStringList{"6", "比", "小数", ""}));
    EXPECT_EQ(row(6), (QStringList{"7", "标识", "文本", ""}));
    EXPECT_EQ(row(9), (QStringList{"10", "是否", "是/否", ""}));

    // A table without a key marks nothing " 主键" and remembers no key.
    selectInHome(QStringLiteral("无键"));
    designer::ShowFieldEditor();
    EXPECT_EQ(f3.windowTitle(), QStringLiteral("表：无键"));
    EXPECT_EQ(lines(*f3.List1), (QStringList{"A\tLong\t", "B\ttext\t 必填"}));
    EXPECT_TRUE(f3.primaryKeyColumn.isEmpty());
    EXPECT_TRUE(f3.primaryKeyName.isEmpty());
}

TEST_F(FieldList, ClickedLinesComeBackIntoTheChangedColumnFrame) {
    openDatabase({mixedTable});
    designer::Form3& f3 = fieldEditor(QStringLiteral("混合"));
    EXPECT_FALSE(f3.C1[1]->isEnabled());
    EXPECT_FALSE(f3.C1[2]->isEnabled());
    EXPECT_TRUE(f3.C1[3]->isEnabled());

    // The auto-number key: "Counter", key ticked, required clear.
    f3.Ck2->setChecked(true);
    f3.LV_Click(0);
    EXPECT_EQ(f3.List1->currentRow(), 0);
    EXPECT_EQ(f3.T1->text(), QStringLiteral("ID"));
    EXPECT_EQ(f3.cb1->currentText(), QStringLiteral("Counter"));
    EXPECT_TRUE(f3.Ck1->isChecked());
    EXPECT_FALSE(f3.Ck2->isChecked());
    EXPECT_TRUE(f3.C1[1]->isEnabled());
    EXPECT_TRUE(f3.C1[2]->isEnabled());

    // A required column: key cleared again, required ticked.
    f3.LV_Click(1);
    EXPECT_EQ(f3.T1->text(), QStringLiteral("UserID"));
    EXPECT_EQ(f3.cb1->currentText(), QStringLiteral("Long"));
    EXPECT_FALSE(f3.Ck1->isChecked());
    EXPECT_TRUE(f3.Ck2->isChecked());

    // Text-like columns, whatever their length or code, come back as
    // Text(50); a numeric column as "Numeric".
    for (int i : {2, 6, 7}) {
        f3.LV_Click(i);
        EXPECT_EQ(f3.cb1->currentText(), QStringLiteral("Text(50)")) << i;
    }
    f3.LV_Click(5);
    EXPECT_EQ(f3.cb1->currentText(), QStringLiteral("Numeric"));

    // A click beside the rows changes nothing.
    f3.LV_Click(99);
    EXPECT_EQ(f3.T1->text(), QStringLiteral("比"));

    // The structure view reads lines the same way.
    designer::Form2& f2 = structureView(QStringLiteral("混合"));
    clickField(f2, QStringLiteral("ID"));
    EXPECT_EQ(f2.cb1->currentText(), QStringLiteral("Counter"));
    EXPECT_TRUE(f2.Ck1->isChecked());
}

} // namespace
