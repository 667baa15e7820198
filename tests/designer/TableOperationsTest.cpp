// Renaming, dropping and creating tables in the structure view, and the
// reload of the catalogue after each.
#include "DesignerTestSupport.h"

using namespace designertest;

namespace {

class Tables : public Designer {};

TEST_F(Tables, CreateAndDropReloadTheCatalogueAndRefuseBadNames) {
    openDatabase({"create table A (x long)", "create table B (y long, z text(10))",
                  "create proc Q as select * from A;"});
    designer::Form2& f = structureView(QStringLiteral("B"));
    EXPECT_EQ(lines(*f.List0), (QStringList{"A", "B"}));
    EXPECT_EQ(lines(*f.List2), QStringList{"Q"});
    EXPECT_EQ(f.T0->text(), QStringLiteral("B"));
    EXPECT_TRUE(f.C0[1]->isEnabled());
    EXPECT_TRUE(f.C0[2]->isEnabled());
    EXPECT_TRUE(f.C1[3]->isEnabled());
    EXPECT_FALSE(f.C1[1]->isEnabled());

    f.T00->setText(QStringLiteral("客户"));
    f.C0_Click(3);
    EXPECT_TRUE(messages().isEmpty());
    EXPECT_EQ(g().CurrentSql, QStringLiteral("Create TABLE [客户](说明 text(50) NULL)"));
    EXPECT_TRUE(lines(*f.List0).contains(QStringLiteral("客户")));
    EXPECT_TRUE(chooserEntries().contains(QStringLiteral("客户")));
    // The home window's list follows at once.
    EXPECT_EQ(home->List0->count(), mdi->Combo0->count());

    // Again: the table exists. The box keeps its text and nothing reloads.
    mdi->Combo0->setCurrentIndex(0);
    f.C0_Click(3);
    EXPECT_EQ(messages(), QStringList{"该表已存在"});
    EXPECT_EQ(f.T00->text(), QStringLiteral("客户"));
    EXPECT_EQ(mdi->Combo0->currentIndex(), 0);

    clearMessages();
    f.T00->clear();
    f.C0_Click(3);
    EXPECT_EQ(messages(), QStringList{"操作无效：你可能填写了不规范的字符"});

    // Drop takes the name in the box: the selected table B, without asking.
    // The field list keeps showing the dropped table's fields.
    clearMessages();
    f.C0_Click(2);
    EXPECT_TRUE(messages().isEmpty());
    EXPECT_FALSE(lines(*f.List0).contains(QStringLiteral("B")));
    EXPECT_EQ(f.List1->count(), 2);
    EXPECT_EQ(f.T0->text(), QStringLiteral("B"));

    // Edited first: the table named there is dropped.
    f.T0->setText(QStringLiteral("客户"));
    f.C0_Click(2);
    EXPECT_EQ(lines(*f.List0), QStringList{"A"});
    f.C0_Click(2);
    EXPECT_EQ(messages(), QStringList{"操作无效：你可能填写了不规范的字符"});
}

TEST_F(Tables, RenameNeedsASelectionAndKeepsSavedQueriesWorking) {
    openDatabase({"create table A (x long)", "insert into A values (7)", "create table B (y long)",
                  "create proc Q as select x from A;"});
    designer::Form2& f = structureView();
    EXPECT_FALSE(f.C0[1]->isEnabled());
    EXPECT_EQ(f.List1->count(), 0);

    f.T0->setText(QStringLiteral("新名"));
    f.C0_Click(1);
    EXPECT_EQ(messages(), QStringList{designer::NoTableSelected});
    EXPECT_EQ(lines(*f.List0), (QStringList{"A", "B"}));

    clearMessages();
    select(*f.List0, QStringLiteral("A"));
    f.List0_Click();
    f.T0->setText(QStringLiteral("甲 表"));
    f.C0_Click(1);
    EXPECT_TRUE(messages().isEmpty());
    EXPECT_TRUE(lines(*f.List0).contains(QStringLiteral("甲 表")));
    EXPECT_EQ(value(QStringLiteral("select * from Q")), QStringLiteral("7"));

    // A name that is taken: the lists are refilled and the refusal is said.
    select(*f.List0, QStringLiteral("B"));
    f.List0_Click();
    f.T0->setText(QStringLiteral("甲 表"));
    f.C0_Click(1);
    ASSERT_EQ(messages().size(), 1);
    EXPECT_TRUE(messages()[0].contains(QStringLiteral("已存在")));
    EXPECT_TRUE(lines(*f.List0).contains(QStringLiteral("B")));
}

} // namespace
