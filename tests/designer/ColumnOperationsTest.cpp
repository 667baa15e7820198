// Adding, changing and dropping columns from both windows, on real files,
// with the engine's real refusals.
#include "DesignerTestSupport.h"

using namespace designertest;
using platform::mb::No;
using platform::mb::Yes;

namespace {

const QString SecondCounter =
    QStringLiteral("操作无效：一个表中不允许有两个或两个以上“自动编号Counter”");
const QString SecondKey = QStringLiteral("操作无效：一个表中不允许有两个或两个以上“主键”");

class Columns : public Designer {
protected:
    QStringList add(designer::ColumnDesigner& f, const QString& name, const QString& type,
                    bool key = false) {
        f.T11->setText(name);
        f.Cb2->setEditText(type);
        f.Ck11->setChecked(key);
        clearMessages();
        f.C1_Click(3);
        return messages();
    }
    QStringList change(designer::ColumnDesigner& f, const QString& column, const QString& name,
                       const QString& type) {
        clickField(f, column);
        f.T1->setText(name);
        f.cb1->setEditText(type);
        clearMessages();
        services->msgAnswers = {Yes};
        f.C1_Click(1);
        // What is shown after the question.
        QStringList shown;
        for (const auto& m : services->messages)
            if (m.style == platform::mb::OkOnly) shown << m.prompt;
        return shown;
    }
    // One message with the engine's own text after the designer's words.
    static void expectEngineRefusal(const QStringList& shown, const char* fragment) {
        ASSERT_EQ(shown.size(), 1) << shown.join(QLatin1Char('|')).toStdString();
        EXPECT_TRUE(shown[0].startsWith(designer::NotDone)) << shown[0].toStdString();
        EXPECT_TRUE(shown[0].contains(QString::fromUtf8(fragment))) << shown[0].toStdString();
    }
};

TEST_F(Columns, RefusalsShowTheDesignersMessagesInOrder) {
    openDatabase({"create table 员工 (ID counter primary key, 姓名 text(20), 年龄 long)",
                  "insert into 员工 (姓名, 年龄) values ('张三', 30)"});
    designer::Form2& f = structureView(QStringLiteral("员工"));
    const QStringList before = lines(*f.List1);
    mdi->Combo0->setCurrentIndex(0);

    EXPECT_EQ(add(f, QStringLiteral("编号"), QStringLiteral("Counter")),
              QStringList{SecondCounter});
    EXPECT_EQ(add(f, QStringLiteral("工号"), QStringLiteral("Long"), true), QStringList{SecondKey});
    expectEngineRefusal(add(f, QStringLiteral("年龄"), QStringLiteral("Long")), "已存在");
    expectEngineRefusal(add(f, QStringLiteral("体重"), QStringLiteral("Kilo")), "Kilo");
    // An empty name goes out as typed and is refused.
    expectEngineRefusal(add(f, QString(), QStringLiteral("Text(20)")), "");
    EXPECT_EQ(g().CurrentSql, QStringLiteral("ALTER TABLE [员工] ADD  COLUMN  Text(20)"));
    // A type the data does not allow: the row keeps its value.
    expectEngineRefusal(
        change(f, QStringLiteral("姓名"), QStringLiteral("姓名"), QStringLiteral("Long")), "张三");
    EXPECT_EQ(value(QStringLiteral("select 姓名 from 员工")), QStringLiteral("张三"));

    EXPECT_EQ(lines(*f.List1), before);
    // Column changes re-list the fields only; the catalogue is not reloaded,
    // so the chooser keeps its selection.
    EXPECT_EQ(mdi->Combo0->currentIndex(), 0);

    // A good add is listed at once.
    EXPECT_TRUE(add(f, QStringLiteral("部门"), QStringLiteral("Text(50)")).isEmpty());
    EXPECT_EQ(f.List1->count(), before.size() + 1);
    EXPECT_EQ(f.List1->item(before.size())->text(), QStringLiteral("部门\ttext\t"));
}

TEST_F(Columns, TheKeyBoxSetsAndReleasesThePrimaryKey) {
    openDatabase({"create table T (ID long primary key, A text(10), B long)"});
    designer::Form3& f = fieldEditor(QStringLiteral("T"));
    const QString keyName = f.primaryKeyName;
    ASSERT_FALSE(keyName.isEmpty());

    // The box cleared on another column releases nothing.
    EXPECT_TRUE(
        change(f, QStringLiteral("A"), QStringLiteral("A"), QStringLiteral("Text(50)")).isEmpty());
    EXPECT_EQ(g().CurrentSql, QStringLiteral("ALTER TABLE [T]  Alter COLUMN [A] Text(50)"));
    EXPECT_EQ(f.primaryKeyColumn, QStringLiteral("ID"));

    // The key column keeps its key while the box stays ticked.
    EXPECT_TRUE(
        change(f, QStringLiteral("ID"), QStringLiteral("ID"), QStringLiteral("Double")).isEmpty());
    EXPECT_EQ(f.List1->item(0)->text(), QStringLiteral("ID\tDouble\t 主键"));

    // Cleared on the key column: the change, then the key's release.
    clickField(f, QStringLiteral("ID"));
    ASSERT_TRUE(f.Ck1->isChecked());
    f.Ck1->setChecked(false);
    services->msgAnswers = {Yes};
    clearMessages();
    f.C1_Click(1);
    EXPECT_EQ(messages().size(), 1); // the question only
    EXPECT_EQ(g().CurrentSql, QStringLiteral("alter table [T] Drop constraint ") + keyName);
    EXPECT_TRUE(f.primaryKeyColumn.isEmpty());
    EXPECT_EQ(f.List1->item(0)->text(), QStringLiteral("ID\tDouble\t"));

    // Ticked on a column of a table without a key: that column becomes it.
    clickField(f, QStringLiteral("B"));
    f.Ck1->setChecked(true);
    services->msgAnswers = {Yes};
    f.C1_Click(1);
    EXPECT_EQ(g().CurrentSql,
              QStringLiteral("ALTER TABLE [T]  Alter COLUMN [B] Long primary key "));
    EXPECT_EQ(f.primaryKeyColumn, QStringLiteral("B"));
    EXPECT_EQ(f.LV->topLevelItem(2)->text(3), QStringLiteral(" 主键"));
}

TEST_F(Columns, ChangeAsksFirstAndRenamesThroughTheCatalogue) {
    openDatabase({"create table T (A long, B text(10))", "insert into T values (1, 'x')",
                  "create proc Q as select A from T;"});
    designer::Form2& f = structureView(QStringLiteral("T"));

    // Nothing selected: the message, no question.
    f.C1_Click(1);
    EXPECT_EQ(messages(), QStringList{designer::NoFieldSelected});
    EXPECT_EQ(services->messages[0].style, platform::mb::OkOnly);

    // Answered No: nothing is sent.
    clickField(f, QStringLiteral("A"));
    f.T1->setText(QStringLiteral("甲"));
    services->msgAnswers = {No};
    clearMessages();
    g().CurrentSql.clear();
    f.C1_Click(1);
    ASSERT_EQ(services->messages.size(), 1u);
    EXPECT_EQ(services->messages[0].style, platform::mb::YesNo);
    EXPECT_TRUE(services->messages[0].prompt.startsWith(QStringLiteral("修改字段类型")));
    EXPECT_TRUE(g().CurrentSql.isEmpty());
    EXPECT_EQ(f.List1->item(0)->text(), QStringLiteral("A\tLong\t"));

    // Yes: renamed, the saved query follows the new name.
    EXPECT_TRUE(
        change(f, QStringLiteral("A"), QStringLiteral("甲"), QStringLiteral("Long")).isEmpty());
    EXPECT_EQ(f.List1->item(0)->text(), QStringLiteral("甲\tLong\t"));
    EXPECT_EQ(value(QStringLiteral("select * from Q")), QStringLiteral("1"));

    // A new name that another column has is refused, and that other column
    // is left alone rather than changed in its place.
    expectEngineRefusal(
        change(f, QStringLiteral("甲"), QStringLiteral("B"), QStringLiteral("Long")), "B");
    EXPECT_EQ(lines(*f.List1), (QStringList{"甲\tLong\t", "B\ttext\t"}));
    EXPECT_EQ(value(QStringLiteral("select B from T")), QStringLiteral("x"));

    // The field-list editor asks its own question.
    designer::Form3& f3 = fieldEditor(QStringLiteral("T"));
    f3.LV_Click(1);
    services->msgAnswers = {No};
    clearMessages();
    f3.C1_Click(1);
    EXPECT_TRUE(messages().value(0).startsWith(QStringLiteral("若字段类型")));
}

TEST_F(Columns, DropTakesTheNameInTheBoxAndKeepsTheLastColumn) {
    openDatabase({"create table T (A long, B long, C long)", "create table One (X long)"});
    designer::Form2& f = structureView(QStringLiteral("T"));
    clickField(f, QStringLiteral("A"));
    f.T1->setText(QStringLiteral("C"));
    f.C1_Click(2);
    EXPECT_TRUE(messages().isEmpty());
    EXPECT_EQ(g().CurrentSql, QStringLiteral("alter table [T] drop C"));
    EXPECT_EQ(lines(*f.List1), (QStringList{"A\tLong\t", "B\tLong\t"}));

    select(*f.List0, QStringLiteral("One"));
    f.List0_Click();
    clickField(f, QStringLiteral("X"));
    g().CurrentSql.clear();
    f.C1_Click(2);
    EXPECT_EQ(messages(), QStringList{designer::LastFieldLeft});
    EXPECT_TRUE(g().CurrentSql.isEmpty());
    EXPECT_EQ(lines(*f.List1), QStringList{"X\tLong\t"});
}

} // namespace
