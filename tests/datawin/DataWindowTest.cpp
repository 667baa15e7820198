#include "DataWinTest.h"

#include "engine/base/EngineError.h"
#include "platform/Twips.h"

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

using datawin::Form1;
using datawin::ShowTable;
using dwtest::g;

namespace {

class Loader : public dwtest::DataWin {};

// Fills Numbers with n rows, for the timer's thresholds.
void fillNumbers(dwtest::DataWin& t, int n) {
    t.execute("create table Digits (d long)");
    for (int i = 0; i < 10; ++i)
        t.execute("insert into Digits values (" + std::to_string(i) + ")");
    t.execute("create table Numbers (n long)");
    t.execute(
        "insert into Numbers (n) select a.d + b.d*10 + c.d*100 + e.d*1000 + f.d*10000 from "
        "Digits as a, Digits as b, Digits as c, Digits as e, Digits as f where a.d + b.d*10 + "
        "c.d*100 + e.d*1000 + f.d*10000 < " +
        std::to_string(n));
}

} // namespace

TEST_F(Loader, RefusedCallsShowNothingButStillCloseTheSharedResult) {
    choose("Orders");
    ShowTable(g().CurrentSql, 0);
    Form1* free = datawin::defaultForm1(false);
    ASSERT_NE(free, nullptr);
    ASSERT_EQ(g().SharedRs.State(), 1);
    EXPECT_EQ(free->DataGrid1->model()->rowCount(), 6); // five records and the empty row
    const int windows = childWindows();

    struct Case {
        QString source, table;
    };
    for (const Case& c : {Case{"", "Orders"}, Case{"select * from Orders", ""},
                          Case{"select * from Orders", "请选择数据表"},
                          Case{"select * from Orders", "请选择并打开数据表"}}) {
        ShowTable(g().CurrentSql, 0); // open again, then refuse
        g().CurrentTable = c.table;
        ShowTable(c.source, 3);
        EXPECT_EQ(g().SharedRs.State(), 0) << c.table.toStdString();
        g().CurrentTable = QStringLiteral("Orders");
    }
    EXPECT_EQ(childWindows(), windows);
    EXPECT_EQ(datawin::tableWindow(3), nullptr);
    // The free-SQL window bound to the closed result shows no rows.
    EXPECT_EQ(free->DataGrid1->ApproxCount(), 0);
}

TEST_F(Loader, FreeSqlWindowLoadsItselfThenIsRebound) {
    g().CurrentTable = QStringLiteral("Orders");
    g().CurrentSql = QStringLiteral("select * from Orders where amount > 2");
    const QString source = QStringLiteral("select item from Orders where id < 3");
    ShowTable(source, 0);

    Form1* form = datawin::defaultForm1(false);
    ASSERT_NE(form, nullptr);
    // Its own loading ran first: it copied CurrentSql and opened it.
    EXPECT_EQ(form->sql1, source); // then the loader gave it the statement it shows
    ASSERT_TRUE(form->rs1.has_value());
    EXPECT_EQ(form->rs1->State(), 1);
    EXPECT_EQ(form->rs1->RecordCount(), 3);
    // Then the loader bound it to the shared result.
    ASSERT_TRUE(form->DataGrid1->DataSource().has_value());
    EXPECT_TRUE(form->DataGrid1->DataSource()->sameObject(g().SharedRs));
    EXPECT_EQ(form->DataGrid1->ApproxCount(), 2);
    EXPECT_EQ(form->F.toInt(), 1);
    EXPECT_FALSE(form->Timer1->isActive());
    EXPECT_EQ(form->windowTitle(), source);
    EXPECT_EQ(form->StatusBar1->SimpleText(), QStringLiteral("总条数：2 - 位置：") + path);
    EXPECT_FALSE(form->isHidden());
    EXPECT_FALSE(form->parentWidget()->isHidden());

    // A second statement reuses the window and rebinds it.
    ShowTable(QStringLiteral("select * from Orders"), 0);
    EXPECT_EQ(datawin::defaultForm1(false), form);
    EXPECT_EQ(form->DataGrid1->ApproxCount(), 5);
    EXPECT_EQ(form->StatusBar1->SimpleText(), QStringLiteral("总条数：5 - 位置：") + path);

    // Closing the database unloads it; the next use loads a fresh window.
    dbconn::CloseDatabase();
    EXPECT_EQ(datawin::defaultForm1(false), nullptr);
}

TEST_F(Loader, TableSlotWindowIsCreatedOnceAndBroughtForwardAfterwards) {
    choose("Orders");
    ASSERT_FALSE(mdi->SQ(5)->isEnabled());
    ShowTable(g().CurrentSql, 3);
    Form1* form = datawin::tableWindow(3);
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("数据表 - Orders"));
    EXPECT_EQ(form->StatusBar1->SimpleText(), QStringLiteral(" 总条数：5 表：Orders"));
    EXPECT_EQ(form->DataGrid1->ApproxCount(), 5);
    EXPECT_EQ(form->DataGrid1->Row(), 0); // row 0 current after loading
    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_EQ(form->Timer1->interval(), 33333);
    EXPECT_TRUE(mdi->SQ(5)->isEnabled());
    EXPECT_EQ(mdi->Area->activeSubWindow()->widget(), form);

    // Another user adds a row; choosing the entry again only updates the count.
    execute("insert into Orders (id, item) values (6, '桃')");
    ShowTable(g().CurrentSql, 2);
    ASSERT_NE(datawin::tableWindow(2), form);
    ShowTable(g().CurrentSql, 3);
    EXPECT_EQ(datawin::tableWindow(3), form);
    EXPECT_EQ(form->DataGrid1->ApproxCount(), 5);
    EXPECT_EQ(form->StatusBar1->SimpleText(), QStringLiteral(" 总条数：6 表：Orders"));
    EXPECT_EQ(mdi->Area->activeSubWindow()->widget(), form);
    EXPECT_EQ(childWindows(), 2);

    // A closed window is loaded afresh on its next use.
    mdi->Area->activeSubWindow()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(datawin::tableWindow(3), nullptr);
    ShowTable(g().CurrentSql, 3);
    ASSERT_NE(datawin::tableWindow(3), nullptr);
    EXPECT_EQ(datawin::tableWindow(3)->DataGrid1->ApproxCount(), 6);
}

TEST_F(Loader, LastSlotWorksAndTheNextIsRefusedBeforeAnyWindow) {
    choose("Orders");
    ShowTable(g().CurrentSql, 88);
    ASSERT_NE(datawin::tableWindow(88), nullptr);
    EXPECT_EQ(datawin::tableWindow(88)->StatusBar1->SimpleText(),
              QStringLiteral(" 总条数：5 表：Orders"));

    const int windows = childWindows();
    for (int slot : {89, -1}) {
        try {
            ShowTable(g().CurrentSql, slot);
            ADD_FAILURE() << "slot " << slot << " was accepted";
        } catch (const engine::EngineError& e) {
            EXPECT_EQ(e.number(), 9);
            EXPECT_NE(QString::fromStdString(e.what()).indexOf(QStringLiteral("越界")), -1);
        }
    }
    EXPECT_EQ(childWindows(), windows);
    EXPECT_EQ(datawin::defaultForm1(false), nullptr);
}

TEST_F(Loader, FailuresReachTheCallerWithNoWindowTouched) {
    choose("Orders");
    EXPECT_THROW(ShowTable(QStringLiteral("select * from Ordres"), 1), engine::EngineError);
    EXPECT_EQ(g().SharedRs.State(), 0);

    // An action statement is carried out, then fails on the count.
    EXPECT_THROW(ShowTable(QStringLiteral("update Orders set amount = 0 where id = 1"), 0),
                 engine::EngineError);
    EXPECT_EQ(g().SharedRs.State(), 0);
    EXPECT_EQ(fileColumn("amount").first(), QStringLiteral("0"));
    EXPECT_EQ(childWindows(), 0);

    // Without a connection.
    g().DbConn.reset();
    EXPECT_THROW(ShowTable(g().CurrentSql, 1), engine::EngineError);
    EXPECT_EQ(childWindows(), 0);
}

TEST_F(Loader, ChooserEntriesOpenTheirSlotsAndReportFailures) {
    // Through the frame, as the user picks entries.
    mdi->Combo0->addItem(QStringLiteral("Orders"));
    mdi->Combo0->addItem(QStringLiteral("Missing"));
    mdi->Combo0->setCurrentIndex(0);
    mdi->Combo0_Click();
    ASSERT_NE(datawin::tableWindow(1), nullptr);
    mdi->Combo0->setCurrentIndex(1);
    mdi->Combo0_Click();
    EXPECT_EQ(datawin::tableWindow(2), nullptr);
    ASSERT_EQ(services->messages.size(), 1u);
    EXPECT_NE(services->messages[0].prompt.indexOf(QStringLiteral("Missing")), -1);
}

class Window : public dwtest::DataWin {
protected:
    Form1* open(const QString& table = QStringLiteral("Orders")) {
        choose(table);
        ShowTable(g().CurrentSql, 1);
        return datawin::tableWindow(1);
    }
};

TEST_F(Window, ShortQueryLeavesTheGridEmptyAndTheOwnResultAlone) {
    Form1* form = open();
    ASSERT_NE(form, nullptr);
    form->rs10(QStringLiteral("select * ")); // 9 characters
    EXPECT_FALSE(form->DataGrid1->DataSource().has_value());
    EXPECT_EQ(form->rs1->State(), 1); // untouched, still holding its rows
    EXPECT_EQ(form->rs1->RecordCount(), 5);

    form->rs10(QStringLiteral("select * from Nowhere"));
    EXPECT_FALSE(form->DataGrid1->DataSource().has_value());
    EXPECT_TRUE(services->messages.empty());
}

TEST_F(Window, HeaderClicksFlipTheDirectionAcrossColumns) {
    Form1* form = open();
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(mdi->x->text(), QStringLiteral("升序"));

    form->DataGrid1_HeadClick(2); // amount
    EXPECT_EQ(form->sql1, QStringLiteral("select * from Orders Order By amount Desc"));
    EXPECT_EQ(mdi->x->text(), QStringLiteral("降序"));
    EXPECT_EQ(mdi->LIE->text(), QStringLiteral("amount"));
    EXPECT_EQ(columnTexts(form, 1), QStringList({"葡萄", "橙子", "苹果", "梨", "香蕉"}));

    form->DataGrid1_HeadClick(0); // id, the other direction
    EXPECT_EQ(form->sql1, QStringLiteral("select * from Orders  Order By id Asc"));
    EXPECT_EQ(mdi->x->text(), QStringLiteral("升序"));
    EXPECT_EQ(mdi->LIE->text(), QStringLiteral("id"));
    EXPECT_EQ(columnTexts(form, 0), QStringList({"1", "2", "3", "4", "5"}));

    // The sorted text stays: a re-query keeps the order.
    form->DataGrid1_HeadClick(2);
    form->rfs_Click();
    EXPECT_EQ(columnTexts(form, 1).first(), QStringLiteral("葡萄"));
}

TEST_F(Window, QueryHoldingAnOrderClauseIsResortedInAnyLetterCase) {
    Form1* form = open();
    ASSERT_NE(form, nullptr);
    struct Case {
        QString sql, sorted;
    };
    for (const Case& c :
         {Case{"select * from Orders Order By item", "select * from Orders  Order By id Desc"},
          Case{"select * from Orders ORDER  BY item asc", "select * from Orders  Order By id Desc"},
          Case{"select * from Orders where item <> 'order by' order by item",
               "select * from Orders where item <> 'order by'  Order By id Desc"},
          Case{"select * from (select * from Orders order by item) as q",
               "select * from (select * from Orders order by item) as q Order By id Desc"},
          Case{"select [Order By] from Orders",
               "select [Order By] from Orders Order By id Desc"}}) {
        mdi->x->setText(QStringLiteral("升序"));
        form->sql1 = c.sql;
        form->DataGrid1->setDataSource(*form->rs1);
        form->DataGrid1_HeadClick(0);
        EXPECT_EQ(form->sql1, c.sorted);
    }
    // The clause in small letters is replaced, so the re-query shows rows.
    form->rs10(QStringLiteral("select * from Orders"));
    form->sql1 = QStringLiteral("select * from Orders order by item");
    mdi->x->setText(QStringLiteral("升序"));
    form->DataGrid1_HeadClick(0);
    EXPECT_EQ(columnTexts(form, 0), QStringList({"5", "4", "3", "2", "1"}));
}

TEST_F(Window, RowClickStopsTheTimerUntilTheRefreshButton) {
    Form1* form = open();
    ASSERT_NE(form, nullptr);
    ASSERT_TRUE(form->DataGrid1->setRow(2));
    form->DataGrid1->setCurrentIndex(form->DataGrid1->model()->index(2, 1));
    form->DataGrid1_Click();
    EXPECT_EQ(form->T->text(), QStringLiteral("2"));
    EXPECT_FALSE(form->Timer1->isActive());
    EXPECT_EQ(form->StatusBar1->SimpleText(), QStringLiteral("当前行：3 总数：5 当前表：Orders"));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Orders(2,1)"));

    // The timer's tick would re-query; another user adds two rows meanwhile.
    execute("insert into Orders (id, item) values (6, '桃')");
    execute("insert into Orders (id, item) values (7, '李')");
    EXPECT_EQ(form->DataGrid1->ApproxCount(), 5);

    form->rfs_Click();
    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_EQ(form->DataGrid1->ApproxCount(), 7);
    EXPECT_EQ(form->DataGrid1->Row(), 2); // the stored row is current again
    EXPECT_EQ(form->StatusBar1->SimpleText(), QStringLiteral("当前行：3 总数：7 当前表：Orders"));

    // A tick re-queries and keeps the stored row.
    execute("delete from Orders where id = 7");
    form->Timer1_Timer();
    EXPECT_EQ(form->DataGrid1->ApproxCount(), 6);
    EXPECT_EQ(form->DataGrid1->Row(), 2);
}

TEST_F(Window, TimerSlowsDownWithTheSharedResultAndNeverSpeedsUpAgain) {
    fillNumbers(*this, 20000);
    Form1* form = open();
    ASSERT_NE(form, nullptr);

    // Loading a 5000-row result into the shared recordset.
    g().SharedRs.Close();
    g().SharedRs.Open("select * from Numbers where n < 5000", *g().DbConn);
    form->Timer1_Timer();
    EXPECT_EQ(form->Timer1->interval(), 9999);
    g().SharedRs.Close();

    g().SharedRs.Open("select * from Numbers", *g().DbConn);
    ASSERT_EQ(g().SharedRs.RecordCount(), 20000);
    form->Timer1_Timer();
    EXPECT_EQ(form->Timer1->interval(), 59999);
    g().SharedRs.Close();

    g().SharedRs.Open("select * from Numbers where n < 5000", *g().DbConn);
    form->Timer1_Timer();
    EXPECT_EQ(form->Timer1->interval(), 59999);
    g().SharedRs.Close();
    form->Timer1_Timer(); // a closed shared result changes nothing
    EXPECT_EQ(form->Timer1->interval(), 59999);
}

TEST_F(Window, PickListBuildsTheNarrowerSelectOrOnlyHidesItself) {
    choose("Orders");
    ShowTable(g().CurrentSql, 0);
    Form1* form = datawin::defaultForm1(false);
    ASSERT_NE(form, nullptr);
    auto showList = [&] {
        form->List1->clear();
        form->List1->addItems({"id", "item", "amount"});
        form->List1->show();
        form->Com->show();
    };

    showList();
    const QString before = g().CurrentSql;
    form->Com_Click();
    EXPECT_FALSE(form->List1->isVisible());
    EXPECT_FALSE(form->Com->isVisible());
    EXPECT_EQ(g().CurrentSql, before);
    EXPECT_EQ(datawin::tableWindow(1), nullptr);

    showList();
    form->List1->item(2)->setSelected(true);
    form->List1->item(1)->setSelected(true);
    form->Com_Click();
    EXPECT_EQ(g().CurrentSql, QStringLiteral("select item,amount from Orders"));
    Form1* one = datawin::tableWindow(1);
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(one->DataGrid1->model()->columnCount(), 2);
    EXPECT_FALSE(form->List1->isVisible());

    // With window 1 already open, it takes the new columns too.
    showList();
    form->List1->item(0)->setSelected(true);
    form->Com_Click();
    EXPECT_EQ(datawin::tableWindow(1), one);
    EXPECT_EQ(one->DataGrid1->model()->columnCount(), 1);
    EXPECT_EQ(one->sql1, QStringLiteral("select id from Orders"));

    // A failure is shown with the engine's reason.
    g().CurrentTable = QStringLiteral("Gone");
    showList();
    form->List1->item(0)->setSelected(true);
    form->Com_Click();
    ASSERT_EQ(services->messages.size(), 1u);
    EXPECT_NE(services->messages[0].prompt.indexOf(QStringLiteral("Gone")), -1);
    EXPECT_FALSE(form->List1->isVisible());
}

TEST_F(Window, FontDialogChangesTheGridFontAndCancelChangesNothing) {
    Form1* form = open();
    ASSERT_NE(form, nullptr);
    const QFont before = form->DataGrid1->font();
    services->fontAnswers.push_back(std::nullopt);
    form->FormatWorl();
    EXPECT_EQ(form->DataGrid1->font(), before);

    QFont big(QStringLiteral("宋体"));
    big.setPointSize(20);
    big.setBold(true);
    services->fontAnswers.push_back(big);
    const int headerBefore = form->DataGrid1->horizontalHeader()->height();
    form->FormatWorl();
    EXPECT_EQ(form->DataGrid1->font().pointSize(), 20);
    EXPECT_TRUE(form->DataGrid1->font().bold());
    EXPECT_GT(form->DataGrid1->horizontalHeader()->height(), headerBefore);
}

TEST_F(Window, ResizingFitsTheGridAndLeavesTheWindowWhereTheUserPutIt) {
    Form1* form = open();
    ASSERT_NE(form, nullptr);
    mdi->show();
    QCoreApplication::processEvents();
    QWidget* outer = form->parentWidget();
    outer->move(40, 300);
    outer->resize(700, 420);
    EXPECT_EQ(outer->pos(), QPoint(40, 300));
    // The status line has room for its whole font, descenders included.
    const QFontMetrics fm(form->StatusBar1->font());
    EXPECT_GE(form->StatusBar1->height(), fm.height() + fm.descent());
    EXPECT_EQ(form->StatusBar1->geometry().bottom(), form->height() - 1);
    EXPECT_EQ(form->DataGrid1->x(), 2);
    EXPECT_EQ(form->DataGrid1->y(), 2);
    EXPECT_EQ(form->DataGrid1->width(), 700 - platform::twipsToPixels(200));
    EXPECT_LE(form->DataGrid1->geometry().bottom(), form->StatusBar1->y());
}
