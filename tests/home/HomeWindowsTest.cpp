// The home window among the other windows: the entry acted on is the one
// highlighted, rows being typed survive closing and quitting, the window
// stays normal-sized, and every window carries the program's icon.

#include "HomeTestSupport.h"

#include "datawin/Form1.h"
#include "datawin/TableLoader.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMdiArea>

using namespace hometest;

namespace {

class HomeWindows : public Home {
public:
    HomeWindows() { datawin::install(); }

    QString openCompany() {
        return openDatabase(QStringLiteral("公司.mdb"),
                            {"create table 员工 (id long primary key, name text(20))",
                             "insert into 员工 values (1, '甲')",
                             "create table 部门 (id long, title text(20))",
                             "create table 项目 (id long)"});
    }
    void press(Qt::Key key) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(home->LV, &event);
    }
    // Opens `table` in a data window and types `text` into its second
    // column, first row, without leaving the row.
    datawin::Form1* typeInto(const QString& table, int slot, const QString& text) {
        g().CurrentTable = table;
        g().CurrentSql = QStringLiteral("select * from ") + table;
        datawin::ShowTable(g().CurrentSql, slot);
        datawin::Form1* form = datawin::tableWindow(slot);
        auto* m = form->DataGrid1->model();
        form->DataGrid1->setCurrentIndex(m->index(0, 1));
        m->setData(m->index(0, 1), text);
        return form;
    }
    QString nameInFile(const QString& path) {
        engine::Connection c;
        c.Open(testdb::connectionString(path, QString()));
        auto rs = c.Execute("select name from 员工 where id = 1");
        return QString::fromStdString(rs[0].GetValue().toText());
    }
};

} // namespace

TEST_F(HomeWindows, RemoveAndOpenActOnTheHighlightedEntry) {
    const QString path = openCompany();
    home->Timer1_Timer();
    const QStringList rows = listRows();
    ASSERT_EQ(rows.size(), 3);

    // A click, then the arrow key: the highlighted entry is the selected one.
    home->LV_ItemClick(0);
    press(Qt::Key_Down);
    EXPECT_EQ(home->SelectedEntry(), rows[1]);
    EXPECT_EQ(chooser().currentText(), rows[1]);

    services->msgAnswers = {platform::mb::Yes};
    home->CQ_Click(1);
    ASSERT_EQ(services->messages.size(), 1u);
    EXPECT_EQ(services->messages[0].prompt,
              rows[1] + QStringLiteral("\n删除所选数据表将无法恢复，是否确定？"));
    const QStringList left = testdb::schemaNames(path);
    EXPECT_FALSE(left.contains(rows[1]));
    EXPECT_TRUE(left.contains(rows[0]) && left.contains(rows[2]));

    // End, then the "数据表" button: the last entry opens in its own slot.
    home->Timer1_Timer();
    home->LV_ItemClick(0);
    press(Qt::Key_End);
    home->C_Click(8);
    datawin::Form1* shown = datawin::tableWindow(2);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->windowTitle(), QStringLiteral("数据表 - ") + rows[2]);

    // Moved by the program, too.
    home->LV->setCurrentItem(home->LV->topLevelItem(0));
    EXPECT_EQ(home->SelectedEntry(), rows[0]);
}

TEST_F(HomeWindows, TypedRowsSurviveClosingTheHomeWindowAndQuitting) {
    const QString path = openCompany();
    home->Show();

    // Closing the home window closes the connection: the row goes first,
    // and the data window then says its database is closed.
    datawin::Form1* form = typeInto(QStringLiteral("员工"), 1, QStringLiteral("乙"));
    home->Unload();
    EXPECT_EQ(nameInFile(path), QStringLiteral("乙"));
    EXPECT_TRUE(form->ShowsClosedDatabase());

    // A refused row and "keep editing" keep the home window, the connection
    // and the program.
    home->Show();
    form = typeInto(QStringLiteral("员工"), 1, QStringLiteral("丙"));
    auto* m = form->DataGrid1->model();
    m->setData(m->index(0, 0), QStringLiteral("不是数字"));
    services->msgAnswers = {platform::mb::No, platform::mb::No, platform::mb::No};
    EXPECT_FALSE(home->Unload());
    EXPECT_FALSE(qobject_cast<QMdiSubWindow*>(home->parentWidget())->close());
    home->C_Click(3); // 退出程序
    EXPECT_TRUE(home->Loaded());
    EXPECT_TRUE(g().DbConn && g().DbConn->State() != 0);
    EXPECT_EQ(services->messages.size(), 3u);
    EXPECT_EQ(m->data(m->index(0, 1)).toString(), QStringLiteral("丙"));

    // Letting it go ends the program without writing it.
    services->msgAnswers = {platform::mb::Yes};
    EXPECT_THROW(home->C_Click(3), platform::ProgramEnded);
    EXPECT_EQ(nameInFile(path), QStringLiteral("乙"));
}

TEST_F(HomeWindows, WizardSwitchWritesTheTypedRowOrLeavesEverythingAsItWas) {
    installTemplates();
    const QString path = openCompany();
    home->Show();
    const int demo = 10;

    // Kept for editing: no copy, the open database stays.
    datawin::Form1* form = typeInto(QStringLiteral("员工"), 1, QStringLiteral("丁"));
    auto* m = form->DataGrid1->model();
    m->setData(m->index(0, 0), QStringLiteral("不是数字"));
    services->msgAnswers = {platform::mb::No};
    home->L_Click(demo);
    EXPECT_EQ(g().DbPath, path);
    EXPECT_FALSE(QFileInfo::exists(programDir + QStringLiteral("/我的MDB/db0.mdb")));
    EXPECT_FALSE(form->ShowsClosedDatabase());

    // Corrected, it is written before the switch; the window then says its
    // database is closed.
    m->setData(m->index(0, 0), QStringLiteral("1"));
    home->L_Click(demo);
    EXPECT_EQ(nameInFile(path), QStringLiteral("丁"));
    EXPECT_TRUE(g().DbPath.endsWith(QStringLiteral("db0.mdb")));
    EXPECT_TRUE(form->ShowsClosedDatabase());
    EXPECT_TRUE(form->StatusBar1->SimpleText().contains(path));
}

TEST_F(HomeWindows, HomeStaysNormalSizedWhenAMaximisedWindowCloses) {
    openCompany();
    mdi->show();
    home->Show();
    datawin::Form1* form = typeInto(QStringLiteral("部门"), 2, QString());
    form->DataGrid1->discardRow();
    auto* sub = qobject_cast<QMdiSubWindow*>(form->parentWidget());
    sub->showMaximized();
    QApplication::processEvents();
    sub->close();
    QApplication::processEvents();
    auto* homeSub = qobject_cast<QMdiSubWindow*>(home->parentWidget());
    EXPECT_FALSE(homeSub->isMaximized());
    EXPECT_EQ(homeSub->pos(), QPoint(33, 21));
}

TEST_F(HomeWindows, ProgramIconOnTheFrameAndItsWindowsAndFailureTextsNameWhatFailed) {
    // The icons the build draws, beside the program.
    const QString icons = programDir + QStringLiteral("/图标");
    QDir().mkpath(icons);
    for (const QString& name : QDir(stageDir() + QStringLiteral("/图标")).entryList(QDir::Files))
        QFile::copy(stageDir() + QStringLiteral("/图标/") + name, icons + QLatin1Char('/') + name);
    home = home::install();
    ASSERT_FALSE(mdi->windowIcon().isNull());
    EXPECT_TRUE(mdi->windowIcon().availableSizes().contains(QSize(32, 32)));
    EXPECT_EQ(home->windowIcon().cacheKey(), mdi->windowIcon().cacheKey());
    openCompany();
    g().CurrentTable = QStringLiteral("项目");
    datawin::ShowTable(QStringLiteral("select * from 项目"), 3);
    ASSERT_NE(datawin::tableWindow(3), nullptr);
    EXPECT_EQ(datawin::tableWindow(3)->parentWidget()->windowIcon().cacheKey(),
              mdi->windowIcon().cacheKey());

    services->shellSucceeds = false;
    home->C_Click(5);
    EXPECT_EQ(services->messageTexts().last(),
              QStringLiteral("无法打开模板文件夹：") + programDir + QStringLiteral("/MDB模板"));
}
