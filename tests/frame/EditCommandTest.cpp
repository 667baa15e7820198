#include "CommandTestSupport.h"

#include "dbconn/Database.h"
#include "frame/Commands.h"

#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>

using namespace cmdtest;
namespace cmd = frame::commands;

namespace {

class EditCommands : public Program {
protected:
    EditCommands() {
        start();
        open(shop);
    }
    datawin::Form1* freeSql() const { return datawin::defaultForm1(false); }
    QString status() const { return freeSql() ? freeSql()->StatusBar1->SimpleText() : QString(); }
};

} // namespace

TEST_F(EditCommands, DeletingTheFirstRowsOrAllRowsShowsWhatIsLeft) {
    g().DbConn->Execute("create table Many (n long)");
    for (int i = 1; i <= 30; ++i)
        g().DbConn->Execute("insert into Many values (" + std::to_string(i) + ")");
    g().CurrentTable = QStringLiteral("Many");

    mdi->edit1_Click(2); // "删除前100条记录" on 30 rows, without a question
    EXPECT_TRUE(services->messages.empty());
    EXPECT_EQ(rowCount(shop, "Many"), 0);
    ASSERT_TRUE(freeSql());
    EXPECT_TRUE(status().startsWith(QStringLiteral("总条数：0")));
    EXPECT_EQ(freeSql()->windowTitle(), QStringLiteral("select * from Many"));

    g().CurrentTable = QStringLiteral("Orders");
    mdi->edit1_Click(1); // "删除当前表全部记录"
    EXPECT_EQ(rowCount(shop, "Orders"), 0);
    EXPECT_TRUE(status().startsWith(QStringLiteral("总条数：0")));

    // The single-row item only explains how.
    services->messages.clear();
    mdi->edit1_Click(0);
    EXPECT_EQ(services->messageTexts(),
              QStringList{QStringLiteral("选择要删除的记录,直接用[DEL]键删除")});
}

TEST_F(EditCommands, TopFiveHundredOfATableWithABlankInItsName) {
    g().DbConn->Execute("create table [Order Lines] (n long)");
    for (int i = 1; i <= 3; ++i)
        g().DbConn->Execute("insert into [Order Lines] values (" + std::to_string(i) + ")");
    g().CurrentTable = QStringLiteral("Order Lines");
    mdi->edit1_Click(3);
    EXPECT_EQ(rowCount(shop, "[Order Lines]"), 0);
}

TEST_F(EditCommands, FreeSqlShowsSelectsReportsFailuresAndCountsChangedRows) {
    g().CurrentTable = QStringLiteral("Orders");
    services->inputAnswers = {QStringLiteral("select * from Orders")};
    mdi->SQ_Click(1);
    ASSERT_EQ(services->inputs.size(), 1u);
    EXPECT_EQ(services->inputs[0].prompt, cmd::SqlPrompt);
    EXPECT_EQ(services->inputs[0].title, cmd::SqlTitle);
    ASSERT_TRUE(freeSql());
    EXPECT_EQ(freeSql()->windowTitle(), QStringLiteral("select * from Orders"));
    EXPECT_TRUE(services->messages.empty());

    services->inputAnswers = {QStringLiteral("select * from Ordres")};
    mdi->SQ_Click(1);
    ASSERT_EQ(services->messages.size(), 1u);
    const QString failure = services->messages[0].prompt;
    EXPECT_TRUE(failure.startsWith(cmd::SqlFailure));
    bool isNumber = false;
    failure.mid(cmd::SqlFailure.size()).section(QLatin1Char('\n'), 0, 0).toInt(&isNumber);
    EXPECT_TRUE(isNumber) << failure.toStdString();

    services->messages.clear();
    services->inputAnswers = {QStringLiteral("update Orders set amount = amount * 2 where id < 3")};
    mdi->SQ_Click(1);
    ASSERT_EQ(services->messages.size(), 1u);
    EXPECT_TRUE(services->messages[0].prompt.contains(QStringLiteral("已影响 2 行")));
    EXPECT_FALSE(services->messages[0].prompt.contains(cmd::SqlFailure));
    auto rs = g().DbConn->Execute("select amount from Orders where id = 2");
    EXPECT_EQ(rs[0].GetValue().toDouble(), 2.5);

    // A new table made by free SQL appears in the chooser.
    services->messages.clear();
    services->inputAnswers = {QStringLiteral("create table Neu (x long)")};
    mdi->SQ_Click(1);
    EXPECT_TRUE(chooserEntries().contains(QStringLiteral("Neu")));

    // An empty answer shows nothing.
    services->messages.clear();
    services->inputAnswers = {QString()};
    mdi->SQ_Click(1);
    EXPECT_TRUE(services->messages.empty());
}

TEST_F(EditCommands, FreeSqlBeforeAnyTableWasChosenShowsNothing) {
    services->inputAnswers = {QStringLiteral("select * from Orders")};
    mdi->SQ_Click(1);
    EXPECT_TRUE(services->messages.empty());
    EXPECT_FALSE(freeSql());
}

TEST_F(EditCommands, PickListTwiceListsEveryFieldTwice) {
    mdi->Combo0->setCurrentIndex(0);
    ASSERT_EQ(mdi->Combo0->currentText(), QStringLiteral("Orders"));
    mdi->SQ_Click(6);
    mdi->SQ_Click(6);
    datawin::Form1* form = freeSql();
    ASSERT_TRUE(form);
    EXPECT_FALSE(form->List1->isHidden());
    EXPECT_FALSE(form->Com->isHidden());
    QStringList items;
    for (int i = 0; i < form->List1->count(); ++i)
        items << form->List1->item(i)->text();
    EXPECT_EQ(items, QStringList({"id", "item", "amount", "id", "item", "amount"}));
}

TEST_F(EditCommands, RefreshAddUpdateAndCancelWithoutDataSaySo) {
    for (int i : {1, 4, 5, 7})
        mdi->edit_Click(i);
    const QStringList texts = services->messageTexts();
    EXPECT_EQ(texts.size(), 6);
    EXPECT_TRUE(texts.contains(cmd::NoData));
    EXPECT_TRUE(texts.first().contains(QStringLiteral("数据表窗口")));
}

TEST_F(EditCommands, RefreshRereadsTheActiveWindowAndCancelDropsPendingChanges) {
    showInFreeSqlWindow(QStringLiteral("Orders"));
    datawin::Form1* form = freeSql();
    ASSERT_TRUE(form);
    mdi->Area->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(form->parentWidget()));
    g().DbConn->Execute("insert into Orders values (4, '梨', 2)");
    mdi->edit_Click(1);
    EXPECT_TRUE(services->messages.empty());
    EXPECT_EQ(form->DataGrid1->ApproxCount(), 4);

    g().SharedRs.MoveFirst();
    g().SharedRs["item"].SetValue(engine::Value("改"));
    EXPECT_TRUE(g().SharedRs.EditPending());
    mdi->edit_Click(7);
    EXPECT_FALSE(g().SharedRs.EditPending());
    EXPECT_EQ(rowCount(shop, "Orders where item = '改'"), 0);
}

TEST_F(EditCommands, FieldAndTableItemsReachTheDesignerAndTheSearch) {
    QStringList reached;
    mdi->Routes.ShowFieldEditor = [&] { reached << QStringLiteral("4"); };
    mdi->Routes.ShowStructureView = [&] { reached << QStringLiteral("5"); };
    mdi->Routes.ShowSmartSearch = [&] { reached << QStringLiteral("search"); };
    for (int i = 8; i <= 17; ++i)
        if (i != 13 && i != 15) mdi->edit_Click(i);
    mdi->SQ_Click(2);
    mdi->SQ_Click(3);
    EXPECT_EQ(reached, QStringList({"4", "4", "4", "4", "search", "search", "4"}));

    // Without the designer, the design view asks for a table first.
    mdi->Routes.ShowFieldEditor = nullptr;
    mdi->SQ_Click(4);
    EXPECT_EQ(services->messageTexts(), QStringList{cmd::SelectTableFirst});
}

TEST_F(EditCommands, HelpOpensTheShippedPageAndAboutShowsFourLines) {
    mdi->H_Click();
    EXPECT_EQ(services->shellCommands, QStringList{QStringLiteral("explorer ") + programDir +
                                                   QStringLiteral("/帮助/index.html")});
    mdi->td_Click();
    ASSERT_EQ(services->messages.size(), 1u);
    EXPECT_EQ(services->messages[0].prompt.split(QStringLiteral("\r\n")).size(), 4);
}
