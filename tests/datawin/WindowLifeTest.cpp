// Data windows over their life: a row being typed survives every way of
// closing, a re-used slot shows the table asked for, and a window whose
// database went away says so.

#include "DataWinTest.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTimer>

using datawin::Form1;
using datawin::ShowTable;
using dwtest::g;

namespace {

class Life : public dwtest::DataWin {
public:
    Life() {
        execute("create table Dept (code text(10), title text(20))");
        execute("insert into Dept values ('A', '财务')");
        execute("insert into Dept values ('B', '销售')");
        execute("create table Empty (id long primary key, name text(10))");
        mdi->show();
        QApplication::processEvents();
    }

    Form1* open(const QString& table, int slot) {
        choose(table);
        ShowTable(g().CurrentSql, slot);
        QApplication::processEvents(); // laid out, as the user sees it
        return datawin::tableWindow(slot);
    }
    // Double-click a cell and type, without pressing Enter: the text is
    // still in the cell's editor.
    static void typeInEditor(Form1* form, int row, int column, const QString& text) {
        auto* grid = form->DataGrid1;
        const QModelIndex at = grid->model()->index(row, column);
        grid->setCurrentIndex(at);
        static_cast<QAbstractItemView*>(grid)->edit(at);
        auto* editor = grid->viewport()->findChild<QLineEdit*>();
        ASSERT_NE(editor, nullptr);
        editor->setText(text);
    }
    static QMdiSubWindow* outer(Form1* form) {
        return qobject_cast<QMdiSubWindow*>(form->parentWidget());
    }
    static void settle() {
        QApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

} // namespace

TEST_F(Life, ClosingAWindowWritesTheRowBeingTyped) {
    // Closed with its ✕ while the editor is still open.
    Form1* form = open(QStringLiteral("Orders"), 1);
    ASSERT_NE(form, nullptr);
    typeInEditor(form, 0, 1, QStringLiteral("菠萝"));
    EXPECT_TRUE(outer(form)->close());
    settle();
    EXPECT_EQ(datawin::tableWindow(1), nullptr);
    EXPECT_EQ(fileColumn("item")[0], QStringLiteral("菠萝"));

    // Closed maximised.
    form = open(QStringLiteral("Orders"), 2);
    outer(form)->showMaximized();
    typeInEditor(form, 1, 1, QStringLiteral("芒果"));
    EXPECT_TRUE(outer(form)->close());
    settle();
    EXPECT_EQ(fileColumn("item")[1], QStringLiteral("芒果"));

    // The frame closing, the database closing.
    form = open(QStringLiteral("Orders"), 3);
    typeInEditor(form, 2, 1, QStringLiteral("柠檬"));
    EXPECT_TRUE(mdi->close());
    EXPECT_EQ(fileColumn("item")[2], QStringLiteral("柠檬"));
    form = open(QStringLiteral("Orders"), 4);
    typeInEditor(form, 3, 1, QStringLiteral("石榴"));
    EXPECT_TRUE(dbconn::CloseDatabase());
    EXPECT_EQ(fileColumn("item")[3], QStringLiteral("石榴"));
    EXPECT_TRUE(services->messages.empty()) << services->messageTexts().join('\n').toStdString();
}

TEST_F(Life, RefusedRowAsksAndKeepEditingKeepsWindowAndInput) {
    Form1* form = open(QStringLiteral("Orders"), 1);
    ASSERT_NE(form, nullptr);
    typeInEditor(form, 0, 2, QStringLiteral("三块"));

    // Keep editing: the window stays, the input stays, nothing is written.
    services->msgAnswers = {platform::mb::No, platform::mb::No, platform::mb::No};
    EXPECT_FALSE(outer(form)->close());
    EXPECT_FALSE(mdi->close());
    EXPECT_FALSE(dbconn::CloseDatabase());
    settle();
    ASSERT_EQ(datawin::tableWindow(1), form);
    EXPECT_TRUE(g().DbConn.has_value());
    ASSERT_EQ(services->messages.size(), 3u);
    const auto& asked = services->messages[0];
    EXPECT_EQ(asked.style, platform::mb::YesNo);
    EXPECT_TRUE(asked.prompt.contains(QStringLiteral("Orders")));
    EXPECT_TRUE(asked.prompt.contains(QStringLiteral("数据类型不匹配")))
        << asked.prompt.toStdString();
    EXPECT_EQ(form->DataGrid1->model()->index(0, 2).data().toString(), QStringLiteral("三块"));
    EXPECT_EQ(form->DataGrid1->Row(), 0);
    EXPECT_EQ(fileColumn("amount")[0], QStringLiteral("3.5"));

    // Let it go: the window closes, the file keeps its value.
    services->msgAnswers = {platform::mb::Yes};
    EXPECT_TRUE(outer(form)->close());
    settle();
    EXPECT_EQ(datawin::tableWindow(1), nullptr);
    EXPECT_EQ(fileColumn("amount")[0], QStringLiteral("3.5"));
}

TEST_F(Life, ReusedSlotShowsTheTableAskedFor) {
    Form1* form = open(QStringLiteral("Orders"), 2);
    ASSERT_NE(form, nullptr);
    form->DataGrid1_HeadClick(1); // sorted by item
    const QString sorted = form->sql1;

    // The same table again: brought forward as it is, sort included.
    open(QStringLiteral("Orders"), 2);
    EXPECT_EQ(form->sql1, sorted);

    // The chooser's entries moved: slot 2 now stands for Dept.
    ASSERT_EQ(open(QStringLiteral("Dept"), 2), form);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("数据表 - Dept"));
    EXPECT_EQ(form->StatusBar1->SimpleText(), QStringLiteral(" 总条数：2 表：Dept"));
    EXPECT_EQ(columnTexts(form, 1), (QStringList{QStringLiteral("财务"), QStringLiteral("销售")}));
    EXPECT_EQ(form->sql1, QStringLiteral("select * from Dept"));

    // Its status and caption keep naming Dept whatever is chosen elsewhere.
    open(QStringLiteral("Orders"), 1);
    form->DataGrid1->setRow(1);
    form->DataGrid1_Click();
    EXPECT_EQ(form->StatusBar1->SimpleText(), QStringLiteral("当前行：2 总数：2 当前表：Dept"));
    EXPECT_TRUE(form->windowTitle().startsWith(QStringLiteral("Dept(1,")));
}

TEST_F(Life, WindowOfAClosedOrReplacedDatabaseSaysSo) {
    Form1* orders = open(QStringLiteral("Orders"), 1);
    Form1* dept = open(QStringLiteral("Dept"), 2);
    ASSERT_TRUE(orders && dept);

    // Another file is opened the way the file commands do it.
    const QString other = file(QStringLiteral("other.mdb"));
    testdb::createDatabase(other, QString(), {"create table Orders (id long)"});
    ASSERT_TRUE(dbconn::CloseDatabase());
    g().DbPath = other;
    dbconn::OpenConnection();
    for (Form1* form : {orders, dept}) {
        form->Timer1_Timer();
        EXPECT_TRUE(form->ShowsClosedDatabase());
        EXPECT_TRUE(form->StatusBar1->SimpleText().contains(path))
            << form->StatusBar1->SimpleText().toStdString();
        EXPECT_TRUE(form->StatusBar1->SimpleText().contains(QStringLiteral("已关闭")));
        EXPECT_FALSE(form->Timer1->isActive());
        EXPECT_EQ(form->DataGrid1->model()->rowCount(), 0);
    }

    // Choosing the table again loads it from the open file.
    ASSERT_EQ(open(QStringLiteral("Orders"), 1), orders);
    EXPECT_FALSE(orders->ShowsClosedDatabase());
    EXPECT_EQ(orders->DataGrid1->ApproxCount(), 0);
    EXPECT_EQ(orders->windowTitle(), QStringLiteral("数据表 - Orders"));

    // A switch that skipped the closing step is noticed on the next tick.
    g().DbPath = path;
    dbconn::OpenConnection();
    orders->Timer1_Timer();
    EXPECT_TRUE(orders->ShowsClosedDatabase());
    EXPECT_TRUE(orders->StatusBar1->SimpleText().contains(other));
}

TEST_F(Life, StatusFollowsTheRowsTheGridShows) {
    Form1* form = open(QStringLiteral("Orders"), 1);
    auto* grid = form->DataGrid1;
    auto click = [&grid](int row, int column) {
        const QPoint at = grid->visualRect(grid->model()->index(row, column)).center();
        QMouseEvent press(QEvent::MouseButtonPress, at, grid->viewport()->mapToGlobal(at),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, at, grid->viewport()->mapToGlobal(at),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(grid->viewport(), &press);
        QApplication::sendEvent(grid->viewport(), &release);
    };

    // A refused row keeps the highlight, the status and the caption.
    click(0, 2);
    const QString status = form->StatusBar1->SimpleText();
    const QString caption = form->windowTitle();
    ASSERT_TRUE(grid->model()->setData(grid->model()->index(0, 2), QStringLiteral("三块")));
    click(3, 1);
    ASSERT_EQ(services->messages.size(), 1u);
    EXPECT_EQ(grid->Row(), 0);
    EXPECT_EQ(grid->selectionModel()->selectedIndexes().size(), 1);
    EXPECT_EQ(grid->selectionModel()->selectedIndexes().value(0).row(), 0);
    EXPECT_EQ(form->StatusBar1->SimpleText(), status);
    EXPECT_EQ(form->windowTitle(), caption);
    grid->discardRow();

    // The first row of an empty table, added by clicking the header row.
    Form1* empty = open(QStringLiteral("Empty"), 2);
    grid = empty->DataGrid1;
    click(0, 0);
    EXPECT_EQ(empty->StatusBar1->SimpleText(), QStringLiteral("当前行：1 总数：0 当前表：Empty"));
    ASSERT_TRUE(grid->model()->setData(grid->model()->index(0, 0), QStringLiteral("1")));
    emit grid->horizontalHeader()->sectionClicked(1);
    EXPECT_EQ(grid->ApproxCount(), 1);
    EXPECT_EQ(empty->StatusBar1->SimpleText(), QStringLiteral("当前行：1 总数：1 当前表：Empty"));
}
