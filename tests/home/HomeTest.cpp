// The home window's list, its table commands and its launcher buttons.

#include "HomeTestSupport.h"

#include "engine/Catalog.h"

#include <QAction>

using namespace hometest;

namespace {

const char* const shopTables[] = {
    "create table Customers (id long primary key, name text(20))",
    "create table Orders (id long primary key, customer long, amount double)",
    "insert into Customers values (1, '张三')",
    "create proc Big as select * from Orders where amount > 100",
};

class HomeWindow : public Home {
public:
    QString openShop() {
        return openDatabase(QStringLiteral("shop.mdb"),
                            {shopTables[0], shopTables[1], shopTables[2], shopTables[3]});
    }
    QStringList columnsOf(const QString& path, const QString& table) {
        engine::Connection c;
        c.Open(testdb::connectionString(path, QString()));
        engine::Catalog cat;
        cat.SetActiveConnection(c);
        QStringList names;
        auto& t = cat.Tables()[table.toStdString()];
        for (int i = 0; i < t.Columns().Count(); ++i)
            names << QString::fromStdString(t.Columns()[i].Name());
        return names;
    }
};

TEST_F(HomeWindow, CreateRefusesBadNamesThenCreatesTableWithOneTextColumn) {
    const QString path = openShop();
    services->inputAnswers = {QStringLiteral("客户 1"), QStringLiteral("a/b"),
                              QStringLiteral("x]y"), QStringLiteral("客户")};
    for (int i = 0; i < 4; ++i)
        home->CQ_Click(0);

    ASSERT_EQ(services->inputs.size(), 4u);
    EXPECT_EQ(services->inputs[0].prompt, QStringLiteral("请输入新数据表名称"));
    EXPECT_EQ(services->inputs[0].title, QStringLiteral("新建MDB数据表"));
    EXPECT_EQ(services->messageTexts(),
              QStringList(3, QStringLiteral("表名不能包含空格和标点、符号")));
    EXPECT_EQ(g().CurrentSql, QStringLiteral("Create TABLE [客户](说明 text(50) NULL)"));
    EXPECT_EQ(columnsOf(path, QStringLiteral("客户")), QStringList{QStringLiteral("说明")});
    EXPECT_TRUE(chooserEntries().contains(QStringLiteral("客户")));
    EXPECT_EQ(home->Frame1->title(), QStringLiteral("新建数据表"));

    // The next tick lists it and names the frame again.
    home->Timer1_Timer();
    EXPECT_EQ(listRows(), chooserEntries());
    EXPECT_EQ(home->Frame1->title(), QStringLiteral("数据表、存储过程"));
}

TEST_F(HomeWindow, CancelledOrImpossibleCreateChangesNothing) {
    // No database open.
    home->CQ_Click(0);
    home->CQ_Click(1);
    EXPECT_EQ(services->messageTexts(), QStringList(2, QStringLiteral("请先打开MDB文件。")));
    EXPECT_TRUE(services->inputs.empty());

    const QString path = openShop();
    g().CurrentSql = QStringLiteral("before");
    services->inputAnswers = {QString()};
    home->CQ_Click(0);
    EXPECT_EQ(g().CurrentSql, QStringLiteral("before"));
    EXPECT_EQ(services->messages.size(), 2u);
    EXPECT_EQ(home->Frame1->title(), QStringLiteral("Access 操作"));

    // A table that exists already: the engine's reason is shown, the list
    // and the caption stay.
    services->inputAnswers = {QStringLiteral("Orders")};
    home->CQ_Click(0);
    ASSERT_EQ(services->messages.size(), 3u);
    EXPECT_TRUE(
        services->messages.back().prompt.startsWith(QStringLiteral("无法创建数据表“Orders”：")))
        << services->messages.back().prompt.toStdString();
    EXPECT_GT(services->messages.back().prompt.size(), 16);
    EXPECT_EQ(home->Frame1->title(), QStringLiteral("Access 操作"));
    EXPECT_EQ(testdb::schemaNames(path).count(QStringLiteral("Orders")), 1);
}

TEST_F(HomeWindow, RemoveAsksAndDropsTheSelectedEntryWithoutItsSuffix) {
    const QString path = openShop();
    home->Timer1_Timer();
    ASSERT_EQ(listRows(), (QStringList{QStringLiteral("Customers"), QStringLiteral("Orders"),
                                       QStringLiteral("Big(存储过程)")}));

    // Nothing selected.
    home->CQ_Click(1);
    EXPECT_EQ(services->messageTexts(), QStringList{QStringLiteral("未选择表，请重试")});

    // A click on the row selects it and copies it into the chooser.
    home->LV_ItemClick(2);
    EXPECT_EQ(chooser().currentText(), QStringLiteral("Big(存储过程)"));
    EXPECT_EQ(home->SelectedEntry(), QStringLiteral("Big(存储过程)"));

    // No keeps it.
    services->msgAnswers = {platform::mb::No};
    home->CQ_Click(1);
    ASSERT_EQ(services->messages.size(), 2u);
    EXPECT_EQ(services->messages[1].prompt,
              QStringLiteral("Big(存储过程)\n删除所选数据表将无法恢复，是否确定？"));
    EXPECT_EQ(services->messages[1].title, QStringLiteral("是否删除所选数据表？"));
    EXPECT_EQ(services->messages[1].style, platform::mb::YesNo);
    EXPECT_TRUE(testdb::schemaNames(path).contains(QStringLiteral("Big")));

    services->msgAnswers = {platform::mb::Yes};
    home->CQ_Click(1);
    EXPECT_EQ(g().CurrentSql, QStringLiteral("Drop table [Big]"));
    EXPECT_EQ(services->messages.size(), 3u) << services->messageTexts().join('\n').toStdString();
    EXPECT_FALSE(testdb::schemaNames(path).contains(QStringLiteral("Big")));
    EXPECT_EQ(chooserEntries(),
              (QStringList{QStringLiteral("Customers"), QStringLiteral("Orders")}));
    EXPECT_EQ(home->Frame1->title(), QStringLiteral("新建数据表"));

    home->Timer1_Timer();
    EXPECT_EQ(listRows(), chooserEntries());
}

TEST_F(HomeWindow, TimerRebuildsOnlyWhenTheCountsDiffer) {
    // The headers are there before any database is open.
    EXPECT_EQ(home->LV->headerItem()->text(0), QStringLiteral("ICO"));
    EXPECT_EQ(home->LV->headerItem()->text(1), QStringLiteral("数据表"));
    // A file that failed to open leaves the commands off.
    g().DbPath = file(QStringLiteral("missing.mdb"));
    dbconn::OpenConnection();
    home->Timer1_Timer();
    EXPECT_FALSE(mdi->edit(1)->isEnabled());
    EXPECT_EQ(home->Frame1->title(), QStringLiteral("Access 操作"));

    const QString path = file(QStringLiteral("t.mdb"));
    testdb::createDatabase(path);
    g().DbPath = path;
    dbconn::OpenConnection();
    for (int i = 1; i <= 4; ++i)
        chooser().addItem(QStringLiteral("T%1").arg(i));
    home->Timer1_Timer(); // open: the list is named and built
    EXPECT_EQ(home->Frame1->title(), QStringLiteral("数据表、存储过程"));
    ASSERT_EQ(home->LV->topLevelItemCount(), 4);
    EXPECT_EQ(home->LV->headerItem()->text(0), QStringLiteral("ICO"));
    EXPECT_EQ(home->LV->headerItem()->text(1), QStringLiteral("数据表"));
    EXPECT_EQ(home->List0->count(), 4);
    EXPECT_TRUE(mdi->edit(1)->isEnabled());
    EXPECT_TRUE(mdi->edit(17)->isEnabled());
    EXPECT_TRUE(mdi->SQ(4)->isEnabled());

    // Equal counts: the very same rows stay.
    QTreeWidgetItem* first = home->LV->topLevelItem(0);
    chooser().setItemText(0, QStringLiteral("renamed"));
    home->Timer1_Timer();
    EXPECT_EQ(home->LV->topLevelItem(0), first);
    EXPECT_EQ(first->text(1), QStringLiteral("T1"));

    // A fifth entry: rebuilt within one tick, in the chooser's order, with
    // the chooser's text selected.
    chooser().addItem(QStringLiteral("T5"));
    chooser().setCurrentIndex(4);
    home->Timer1_Timer();
    EXPECT_EQ(listRows(), chooserEntries());
    EXPECT_EQ(home->SelectedEntry(), QStringLiteral("T5"));
}

TEST_F(HomeWindow, DoubleClickOpensTheRowInItsSlot) {
    std::vector<std::pair<QString, int>> shown;
    g().hooks.ShowTable = [&](const QString& source, int slot) {
        shown.emplace_back(source, slot);
    };
    openShop();
    home->Timer1_Timer();

    home->LV_DblClick(2);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].second, 3);
    EXPECT_EQ(shown[0].first, QStringLiteral("select * from Big"));
    EXPECT_EQ(g().CurrentSql, QStringLiteral("select * from Big"));
    EXPECT_EQ(g().CurrentTable, QStringLiteral("Big"));
    EXPECT_EQ(chooser().currentText(), QStringLiteral("Big(存储过程)"));

    home->LV_DblClick(0);
    EXPECT_EQ(shown.back(), std::make_pair(QStringLiteral("select * from Customers"), 1));

    // The "数据表" button opens the selected entry the same way.
    home->LV_ItemClick(1);
    home->C_Click(8);
    EXPECT_EQ(shown.back(), std::make_pair(QStringLiteral("select * from Orders"), 2));

    // A loader failure is reported, not thrown through the event loop.
    g().hooks.ShowTable = [](const QString&, int) { throw std::runtime_error("坏了"); };
    home->LV_DblClick(1);
    EXPECT_EQ(services->messageTexts().last(), QStringLiteral("无法打开“Orders”：坏了"));
}

TEST_F(HomeWindow, LoadingTakesTheCommandLineAndClosingReleasesTheDatabase) {
    const QString path = file(QStringLiteral("my shop.mdb"));
    testdb::createDatabase(path, QString(), {shopTables[0]});
    services->commandLine = path;
    home->Show();
    EXPECT_EQ(g().DbPath, path);
    EXPECT_EQ(home->windowTitle(), path);
    EXPECT_EQ(chooserEntries(), QStringList{QStringLiteral("Customers")});
    EXPECT_TRUE(home->C0->isEnabled());
    ASSERT_TRUE(g().DbConn);
    // Shown in the frame at 500, 320 twips.
    auto* sub = qobject_cast<QMdiSubWindow*>(home->parentWidget());
    ASSERT_TRUE(sub);
    EXPECT_EQ(sub->pos(), QPoint(33, 21));

    home->Timer1_Timer();
    EXPECT_TRUE(mdi->edit(9)->isEnabled());
    home->Unload();
    EXPECT_FALSE(home->Loaded());
    EXPECT_FALSE(g().DbConn);
    EXPECT_EQ(chooser().count(), 0);
    EXPECT_FALSE(mdi->edit(9)->isEnabled());

    // Shown again, it loads again and takes the command line again.
    g().DbPath.clear();
    home->Show();
    EXPECT_EQ(g().DbPath, path);
    EXPECT_EQ(chooser().count(), 1);

    // A command-line file that does not open is reported once.
    home->Unload();
    services->commandLine = file(QStringLiteral("missing.mdb"));
    services->messages.clear();
    home->Show();
    ASSERT_EQ(services->messages.size(), 1u);
    EXPECT_TRUE(services->messages[0].prompt.startsWith(QStringLiteral("无法打开数据库")));
}

TEST_F(HomeWindow, EmptyDatabaseOffersTheFirstTableThroughCreate) {
    const QString path = file(QStringLiteral("empty.mdb"));
    testdb::createDatabase(path);
    services->commandLine = path;
    services->msgAnswers = {platform::mb::Yes};
    services->inputAnswers = {QStringLiteral("客户")};
    home->Show();
    EXPECT_EQ(services->messages.at(0).prompt,
              QStringLiteral("该数据库没有表，是否现在创建新表？"));
    EXPECT_TRUE(testdb::schemaNames(path).contains(QStringLiteral("客户")));
    EXPECT_TRUE(testdb::schemaNames(path).contains(QStringLiteral("USys_SVZ")));
    EXPECT_TRUE(chooserEntries().contains(QStringLiteral("客户")));
}

TEST_F(HomeWindow, LauncherButtonsStartTheRightPrograms) {
    home->C_Click(4);
    home->C_Click(5);
    home->C_Click(1);
    EXPECT_EQ(services->shellCommands,
              (QStringList{QStringLiteral("notepad.exe ") + programDir +
                               QStringLiteral("/注册/经典SQL语句大全.txt"),
                           QStringLiteral("explorer ") + programDir + QStringLiteral("/MDB模板"),
                           QStringLiteral("explorer ") + programDir +
                               QStringLiteral("/帮助/index.html")}));
    EXPECT_TRUE(services->messages.empty());

    services->shellSucceeds = false;
    home->C_Click(4);
    EXPECT_EQ(services->messages.size(), 1u);

    EXPECT_FALSE(home->Frame3->isVisibleTo(home));
    home->C_Click(9);
    EXPECT_TRUE(home->Frame3->isVisibleTo(home));

    EXPECT_THROW(home->C_Click(3), platform::ProgramEnded);
}

} // namespace
