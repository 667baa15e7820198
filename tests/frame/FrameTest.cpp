#include "dbconn/TestDb.h"
#include "frame/MDI.h"
#include "platform/Twips.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QToolBar>

using dbconn::globals;
using platform::twipsToPixels;

namespace {

class Frame : public testdb::Fixture {
protected:
    Frame() {
        mdi = std::make_unique<frame::MDI>();
        globals().hooks.ShowTable = [this](const QString& source, int slot) {
            loads.emplace_back(source, slot);
        };
    }
    ~Frame() override { mdi.reset(); }

    QStringList entries() const {
        QStringList list;
        for (int i = 0; i < mdi->Combo0->count(); ++i)
            list << mdi->Combo0->itemText(i);
        return list;
    }

    // The commands a database enables, as "menu index" texts.
    QStringList enabledDatabaseCommands() const {
        QStringList on;
        auto check = [&](const frame::MenuArray& a, const char* name,
                         std::initializer_list<int> ix) {
            for (int i : ix)
                if (a(i)->isEnabled())
                    on << QStringLiteral("%1 %2").arg(QLatin1String(name)).arg(i);
        };
        check(mdi->F, "F", {3, 4});
        check(mdi->TOOL, "TOOL", {0, 2, 4});
        check(mdi->SQ, "SQ", {1});
        return on;
    }

    void open(const QString& path) {
        globals().DbPath = path;
        dbconn::LoadCatalogue();
    }

    std::unique_ptr<frame::MDI> mdi;
    std::vector<std::pair<QString, int>> loads;
};

const QStringList AllDatabaseCommands = {"F 3", "F 4", "TOOL 0", "TOOL 2", "TOOL 4", "SQ 1"};

} // namespace

// The captions are the program's texts; a wrong index or caption breaks the
// commands that route by them.
TEST_F(Frame, MenusToolbarAndControlsAsDesigned) {
    EXPECT_EQ(mdi->windowTitle(), QStringLiteral("Tabelko"));
    QStringList top;
    for (QAction* a : mdi->menuBar()->actions())
        top << a->text();
    EXPECT_EQ(top, QStringList({"文件(&F)", "编辑(&E)", "视图(&V)", "工具(&T)", "窗口(&W)",
                                "帮助(&H)", "团队介绍"}));

    auto captions = [](const frame::MenuArray& a) {
        QStringList list;
        for (int i = a.LBound(); i <= a.UBound(); ++i)
            list << QStringLiteral("%1%2%3")
                        .arg(i)
                        .arg(a(i)->isEnabled() ? "" : "!")
                        .arg(a.Caption(i));
        return list.join(QLatin1Char(' '));
    };
    EXPECT_EQ(captions(mdi->F),
              "0新建 1- 2打开 3!保存 4!另存为 5- 6导出数据 7打印数据 8- 9全部关闭");
    EXPECT_EQ(captions(mdi->edit),
              "1!刷新数据 2!重新排序 3- 4!数据添加 5!数据修改 6!数据删除 7!撤销修改 8- "
              "9!新增字段（列） 10!修改字段（列） 11!删除字段（列） 12- 13!新增数据表 "
              "14!修改数据表 15!删除数据表 16- 17!查找数据");
    EXPECT_EQ(captions(mdi->edit1),
              "0删除选择的一条记录 1删除当前表全部记录 2删除前100条记录 3删除前500条记录");
    EXPECT_EQ(captions(mdi->SQ),
              "1!SQL查询 2!智能查询 3- 4!表设计视图 5!字段\\存储过程 6!自定义显示字段 7字体及大小");
    EXPECT_EQ(captions(mdi->TOOL),
              "0!转换当前表并导出TXT 1- 2!压缩与修复数据库 3- 4!设置数据库密码");
    EXPECT_EQ(mdi->edit(6)->menu(), mdi->EditDelete);

    QStringList keys;
    for (QAction* b : mdi->Buttons) {
        keys << b->data().toString();
        EXPECT_FALSE(b->icon().isNull()) << b->data().toString().toStdString();
        EXPECT_TRUE(b->text().isEmpty()); // pictures only, no caption
    }
    EXPECT_EQ(keys, QStringList({"新建", "打开", "保存", "转换", "文字", "压缩", "刷新", "视图",
                                 "SQL", "增加数据", "修改数据", "删除数据", "取消"}));
    EXPECT_EQ(mdi->Button("转换")->toolTip(), QStringLiteral("导出EXCEL\\TXT文档"));
    EXPECT_EQ(mdi->Button("压缩")->toolTip(), QStringLiteral("压缩与修复"));
    int separators = 0;
    for (QAction* a : mdi->Toolbar1->actions())
        separators += a->isSeparator();
    EXPECT_EQ(separators, 3);

    EXPECT_EQ(mdi->Cance->text(), QStringLiteral("撤消修改"));
    EXPECT_EQ(mdi->LIE->text(), QStringLiteral("点击列标排序"));
    EXPECT_EQ(mdi->x->text(), QStringLiteral("升序"));
    EXPECT_EQ(mdi->Text->text(), QStringLiteral("Text1"));
    EXPECT_EQ(mdi->Combo0->currentText(), QStringLiteral("选择数据表"));
    EXPECT_EQ(mdi->Combo0->width(), twipsToPixels(3495));
    EXPECT_EQ(mdi->Cance->x(), twipsToPixels(4560));
}

TEST_F(Frame, LoadShowsHomeAndFitsTheSortBoxesToTheToolbar) {
    int homeShown = 0;
    mdi->Routes.ShowHome = [&] { ++homeShown; };
    mdi->show();
    mdi->MDIForm_Load();

    EXPECT_EQ(homeShown, 1);
    EXPECT_EQ(mdi->LIE->y(), twipsToPixels(10));
    EXPECT_EQ(mdi->x->y(), twipsToPixels(10));
    EXPECT_EQ(mdi->LIE->height(),
              twipsToPixels(platform::pixelsToTwips(mdi->Toolbar1->height()) - 10));
    EXPECT_EQ(mdi->x->height(), twipsToPixels(222));
}

TEST_F(Frame, ResizeKeepsTheChooserAtTheRightEnd) {
    mdi->show();
    mdi->resize(twipsToPixels(9000), 400);
    mdi->MDIForm_Resize();
    EXPECT_EQ(mdi->Combo0->x(), twipsToPixels(5334));

    mdi->resize(twipsToPixels(15000), 400);
    QApplication::processEvents();
    EXPECT_EQ(mdi->Combo0->x(), twipsToPixels(15000 - 3666));
}

TEST_F(Frame, CatalogueListsTablesAndSavedQueriesAndEnablesCommands) {
    testdb::createDatabase(file("shop.mdb"), QString(),
                           {"create table Customers (id counter, name text(50))",
                            "create table Orders (id counter, customer long)",
                            "create proc Big as select * from Customers"});
    mdi->Combo0->setEditText(QStringLiteral("选择数据表"));
    EXPECT_TRUE(enabledDatabaseCommands().isEmpty());

    open(file("shop.mdb"));

    EXPECT_EQ(entries(), QStringList({"Customers", "Orders", "Big(存储过程)"}));
    EXPECT_EQ(mdi->Combo0->currentText(), QString());
    EXPECT_EQ(enabledDatabaseCommands(), AllDatabaseCommands);
    EXPECT_TRUE(services->messages.empty());
    EXPECT_EQ(globals().SysTableName, QStringLiteral("USys_SVZ"));
    EXPECT_EQ(globals().CurrentSql,
              QStringLiteral(
                  "Create TABLE USys_SVZ(SYS_SVZ_ID counter,name text(100),SqlStr Memo NULL)"));
    EXPECT_EQ(testdb::schemaNames(file("shop.mdb")).count(QStringLiteral("USys_SVZ")), 1);

    // A second load: a fresh connection, the same entries, USys_SVZ kept.
    const engine::Connection first = *globals().DbConn;
    globals().CurrentSql = QStringLiteral("unchanged");
    open(file("shop.mdb"));
    EXPECT_EQ(entries(), QStringList({"Customers", "Orders", "Big(存储过程)"}));
    EXPECT_EQ(globals().CurrentSql, QStringLiteral("unchanged"));
    EXPECT_NE(globals().DbConn->database(), nullptr);
    EXPECT_EQ(first.State(), 1); // earlier holders keep their own connection
    EXPECT_EQ(testdb::schemaNames(file("shop.mdb")).count(QStringLiteral("USys_SVZ")), 1);
}

TEST_F(Frame, EmptyDatabaseAnsweredNoStaysUntouched) {
    testdb::createDatabase(file("empty.mdb"));
    services->msgAnswers = {platform::mb::No};

    open(file("empty.mdb"));

    ASSERT_EQ(services->messages.size(), 1u);
    EXPECT_EQ(services->messages[0].prompt, QStringLiteral("该数据库没有表，是否现在创建新表？"));
    EXPECT_EQ(services->messages[0].title, QStringLiteral("新建数据库或空数据库"));
    EXPECT_EQ(services->messages[0].style, platform::mb::YesNo);
    EXPECT_TRUE(enabledDatabaseCommands().isEmpty());
    EXPECT_FALSE(testdb::schemaNames(file("empty.mdb")).contains(QStringLiteral("USys_SVZ")));
}

TEST_F(Frame, DatabaseWithOnlyTheSavedQueryTableCountsAsEmpty) {
    testdb::createDatabase(
        file("sys.mdb"), QString(),
        {"Create TABLE USys_SVZ(SYS_SVZ_ID counter,name text(100),SqlStr Memo NULL)"});
    int newTable = 0;
    globals().hooks.NewTable = [&] { ++newTable; };
    int designLabel = 0;
    globals().hooks.EnableTableDesign = [&] { ++designLabel; };
    services->msgAnswers = {platform::mb::Yes};

    open(file("sys.mdb"));

    EXPECT_EQ(services->messages.size(), 1u);
    EXPECT_TRUE(entries().isEmpty());
    EXPECT_EQ(newTable, 1);
    EXPECT_EQ(designLabel, 1);
    EXPECT_EQ(enabledDatabaseCommands(), AllDatabaseCommands);
}

// A table whose name differs from USys_SVZ in letter case is an ordinary
// table; the saved-query table cannot be created beside it, silently.
TEST_F(Frame, CaseVariantOfTheSavedQueryTableIsListed) {
    testdb::createDatabase(file("variant.mdb"), QString(), {"create table usys_svz (id long)"});

    EXPECT_NO_THROW(open(file("variant.mdb")));

    EXPECT_EQ(entries(), QStringList({"usys_svz"}));
    EXPECT_TRUE(services->messages.empty());
    EXPECT_EQ(enabledDatabaseCommands(), AllDatabaseCommands);
}

TEST_F(Frame, ChoosingAnEntryAsksTheLoaderForItsSlot) {
    testdb::createDatabase(file("shop.mdb"), QString(),
                           {"create table Customers (id counter, name text(50))",
                            "create table [Order Details] (id long)",
                            "create proc Big as select * from Customers"});
    open(file("shop.mdb"));
    ASSERT_EQ(entries(), QStringList({"Customers", "Order Details", "Big(存储过程)"}));

    mdi->Combo0->setCurrentIndex(2);
    mdi->Combo0_Click();
    ASSERT_EQ(loads.size(), 1u);
    EXPECT_EQ(loads[0], std::make_pair(QStringLiteral("select * from Big"), 3));
    EXPECT_EQ(globals().CurrentTable, QStringLiteral("Big"));
    EXPECT_EQ(globals().CurrentSql, QStringLiteral("select * from Big"));

    // The name with a blank reaches the engine in brackets and opens.
    globals().hooks.ShowTable = [](const QString& source, int) {
        engine::Recordset rs;
        rs.Open(source.toStdString(), *globals().DbConn);
    };
    mdi->Combo0->setCurrentIndex(1);
    mdi->Combo0_Click();
    EXPECT_EQ(globals().CurrentSql, QStringLiteral("select * from [Order Details]"));
    EXPECT_TRUE(services->messages.empty());

    // A loader failure is shown with its reason instead of escaping.
    testdb::createDatabase(file("other.mdb"));
    mdi->Combo0->setEditText(QStringLiteral("Gone"));
    EXPECT_NO_THROW(mdi->Combo0_Click());
    ASSERT_EQ(services->messages.size(), 1u);
    EXPECT_TRUE(services->messages[0].prompt.startsWith(QStringLiteral("无法打开“Gone”：")));
}

TEST_F(Frame, EntriesPastTheLastSlotUseTheFreeSqlWindow) {
    for (int i = 0; i < 90; ++i)
        mdi->Combo0->addItem(QStringLiteral("T%1").arg(i));
    mdi->Combo0->setCurrentIndex(87);
    mdi->Combo0_Click();
    mdi->Combo0->setCurrentIndex(88);
    mdi->Combo0_Click();
    ASSERT_EQ(loads.size(), 2u);
    EXPECT_EQ(loads[0].second, 88);
    EXPECT_EQ(loads[1].second, 0);
}

TEST_F(Frame, ToolbarRoutesByKeyAndIgnoresFailures) {
    QStringList routed;
    auto record = [&](const char* menu) {
        return
            [&routed, menu](int index) { routed << QStringLiteral("%1 %2").arg(menu).arg(index); };
    };
    mdi->Routes.F = record("F");
    mdi->Routes.SQ = record("SQ");
    mdi->Routes.TOOL = record("TOOL");
    mdi->Routes.edit = [&](int index) {
        routed << QStringLiteral("edit %1").arg(index);
        if (index == 6) return; // the delete submenu's title has no action
    };
    mdi->Routes.ShowSmartSearch = [&] { routed << QStringLiteral("search"); };

    for (const char* key : {"保存", "取消"})
        mdi->Toolbar1_ButtonClick(mdi->Button(key));
    EXPECT_TRUE(routed.isEmpty());

    for (QAction* b : mdi->Buttons)
        mdi->Toolbar1_ButtonClick(b);
    EXPECT_EQ(routed, QStringList({"F 0", "F 2", "TOOL 1", "SQ 6", "TOOL 2", "edit 1", "SQ 3",
                                   "search", "edit 4", "edit 5", "edit 6"}));
    EXPECT_TRUE(services->messages.empty());

    // A failing command stops silently; the end of the program still ends it.
    mdi->Routes.F = [](int) { throw std::runtime_error("boom"); };
    EXPECT_NO_THROW(mdi->Toolbar1_ButtonClick(mdi->Button("新建")));
    mdi->Routes.F = [](int) { platform::services().End(); };
    EXPECT_THROW(mdi->Toolbar1_ButtonClick(mdi->Button("新建")), platform::ProgramEnded);

    // Undo with nothing loaded ignores the closed recordset.
    EXPECT_NO_THROW(mdi->Cance_Click());
}
