// The smart search window on real databases: the statements it builds, what
// reaches the free-SQL window, refusals, quotes and wildcards in the
// fragment, free SQL typed into its box, and cancelling a long search.

#include "app/ProgramWiring.h"
#include "datawin/Form1.h"
#include "datawin/TableLoader.h"
#include "dbconn/TestDb.h"
#include "frame/MDI.h"
#include "search/Form4.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <functional>
#include <memory>

using search::Form4;

namespace {

dbconn::Globals& g() {
    return dbconn::globals();
}

QStringList entries(const QComboBox* box) {
    QStringList list;
    for (int i = 0; i < box->count(); ++i)
        list << box->itemText(i);
    return list;
}

class Search : public testdb::Fixture {
public:
    Search() {
        mdi = std::make_unique<frame::MDI>();
        datawin::install();
        search::install();
    }
    ~Search() override {
        delete search::smartSearchWindow();
        mdi.reset();
    }

    void openShop() {
        const QString path = file(QStringLiteral("店.mdb"));
        testdb::createDatabase(
            path, QString(),
            {"create table 客户 (名称 text(50), 电话 text(20))",
             "insert into 客户 values ('张三', '13800001111')",
             "insert into 客户 values ('李四', '13912345678')",
             "insert into 客户 values ('王五', '010-1388')",
             "insert into 客户 values ('O''Neil', '555')",
             "insert into 客户 values ('张''s 店', '777')",
             "create table 商品 (名称 text(50), 备注 text(50))",
             "insert into 商品 values ('50%折扣', '')", "insert into 商品 values ('500 件', '')",
             "insert into 商品 values ('a_b', '*星')", "insert into 商品 values ('axb', 'x星')",
             "insert into 商品 values ('[注]', '#1')", "insert into 商品 values ('注', '91')",
             "insert into 商品 values ('问?', '')", "insert into 商品 values ('问号', '')",
             "create proc 查客户 as select 名称 from 客户"});
        g().DbPath = path;
        dbconn::LoadCatalogue();
    }

    Form4& open() {
        search::ShowSmartSearch();
        Form4* form = search::smartSearchWindow();
        if (!form) throw std::logic_error("the search window did not load");
        return *form;
    }

    // Picks an entry of a combo box as a click on it would.
    static void pick(QComboBox* box, const QString& text) {
        box->setCurrentIndex(box->findText(text));
        box->setEditText(text);
    }

    // The first column of the shared result, as the free-SQL window shows it.
    static QStringList resultColumn() {
        QStringList list;
        if (g().SharedRs.State() == 0) return list;
        for (long r = 0; r < g().SharedRs.RecordCount(); ++r)
            list << QString::fromStdString(g().SharedRs.valueAt(r, 0).toText());
        return list;
    }

    std::unique_ptr<frame::MDI> mdi;
};

} // namespace

TEST_F(Search, LoadingRefusesWithoutDatabaseAndCopiesTheChooser) {
    search::ShowSmartSearch();
    EXPECT_EQ(search::smartSearchWindow(), nullptr);
    EXPECT_EQ(services->messageTexts(), QStringList{QStringLiteral("请先打开MDB数据库文件")});

    openShop();
    Form4& form = open();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Tabelko查询：智能查找数据记录"));
    EXPECT_EQ(entries(form.cb1), entries(mdi->Combo0));
    EXPECT_TRUE(entries(form.cb1).contains(QStringLiteral("查客户(存储过程)")));
    EXPECT_EQ(form.SQLb->toPlainText(), QStringLiteral("请输入标准SQL"));

    // The frame's toolbar button shows the same single window.
    mdi->Toolbar1_ButtonClick(mdi->Button(QStringLiteral("SQL")));
    EXPECT_EQ(search::smartSearchWindow(), &form);
}

TEST_F(Search, TableColumnAndAllColumnsStatementsFindTheRows) {
    openShop();
    Form4& form = open();
    g().CurrentSql = QStringLiteral("select * from 商品");

    form.Text1->setText(QStringLiteral("张"));
    pick(form.cb1, QStringLiteral("客户"));
    form.cb1_Click();
    const QString all =
        QStringLiteral("select * from [客户] where [名称] like '%%' or [电话] like '%%'");
    EXPECT_EQ(form.SQLb->toPlainText(), all);
    EXPECT_EQ(entries(form.Cb2), (QStringList{"名称", "电话", "全部"}));

    form.C_Click(0);
    const QString zhang =
        QStringLiteral("select * from [客户] where [名称] like '%张%' or [电话] like '%张%'");
    EXPECT_EQ(form.SQLb->toPlainText(), zhang);
    EXPECT_EQ(g().CurrentTable, QStringLiteral("客户"));
    EXPECT_EQ(g().CurrentSql, QStringLiteral("select * from 商品")); // left alone
    EXPECT_EQ(resultColumn(), (QStringList{"张三", "张's 店"}));
    datawin::Form1* free = datawin::defaultForm1(false);
    ASSERT_NE(free, nullptr);
    EXPECT_EQ(free->windowTitle(), zhang);
    EXPECT_TRUE(free->StatusBar1->SimpleText().startsWith(QStringLiteral("总条数：2 - 位置：")));

    // A second fragment replaces the first without choosing the table again.
    form.Text1->setText(QStringLiteral("李"));
    form.C_Click(0);
    EXPECT_EQ(
        form.SQLb->toPlainText(),
        QStringLiteral("select * from [客户] where [名称] like '%李%' or [电话] like '%李%'"));
    EXPECT_EQ(resultColumn(), QStringList{"李四"});

    form.Text1->setText(QStringLiteral("138"));
    pick(form.Cb2, QStringLiteral("电话"));
    form.Cb2_Click();
    EXPECT_EQ(form.SQLb->toPlainText(),
              QStringLiteral("select * from [客户] where [电话] like '%138%'"));
    form.C_Click(0);
    EXPECT_EQ(resultColumn(), (QStringList{"张三", "王五"}));

    pick(form.Cb2, QStringLiteral("全部"));
    form.Cb2_Click();
    EXPECT_EQ(form.SQLb->toPlainText(), all);
    // The all-columns statement still holds the fragment it was built with;
    // the search puts the fragment now typed into it.
    form.C_Click(0);
    EXPECT_EQ(
        form.SQLb->toPlainText(),
        QStringLiteral("select * from [客户] where [名称] like '%138%' or [电话] like '%138%'"));
    EXPECT_EQ(resultColumn(), (QStringList{"张三", "王五"}));

    // Choosing the table again builds with the last search text.
    form.cb1_Click();
    EXPECT_EQ(
        form.SQLb->toPlainText(),
        QStringLiteral("select * from [客户] where [名称] like '%138%' or [电话] like '%138%'"));
    EXPECT_TRUE(services->messages.empty());
}

TEST_F(Search, EmptyInputIsRefusedAndASearchWithoutTableShowsNothing) {
    openShop();
    Form4& form = open();

    pick(form.cb1, QStringLiteral("客户"));
    form.cb1_Click();
    EXPECT_EQ(form.cb1->currentText(), QString());
    EXPECT_EQ(form.Cb2->count(), 0);
    form.Cb2->setEditText(QStringLiteral("电话"));
    form.Cb2_Click();
    EXPECT_EQ(form.Cb2->currentText(), QString());
    form.C_Click(0);
    form.SQLb->clear();
    form.C_Click(1);
    EXPECT_EQ(services->messageTexts(), QStringList(4, QStringLiteral("请输入查询内容")));
    EXPECT_EQ(datawin::defaultForm1(false), nullptr);

    // A fragment but no table chosen: an empty statement, nothing shown.
    services->messages.clear();
    datawin::ShowTable(QStringLiteral("select * from 客户"), 0); // something open before
    g().CurrentTable = QStringLiteral("客户");
    form.Text1->setText(QStringLiteral("张"));
    form.C_Click(0);
    EXPECT_EQ(form.SQLb->toPlainText(), QString());
    EXPECT_EQ(g().SharedRs.State(), 0);
    EXPECT_TRUE(services->messages.empty());
}

TEST_F(Search, QuotesAndWildcardsInTheFragmentAreTextToFind) {
    openShop();
    Form4& form = open();

    form.Text1->setText(QStringLiteral("O'Neil"));
    pick(form.cb1, QStringLiteral("客户"));
    form.cb1_Click();
    form.C_Click(0);
    EXPECT_EQ(form.SQLb->toPlainText(), QStringLiteral("select * from [客户] where [名称] like "
                                                       "'%O''Neil%' or [电话] like '%O''Neil%'"));
    EXPECT_EQ(resultColumn(), QStringList{"O'Neil"});
    // The next search still finds the escaped condition and replaces it.
    form.Text1->setText(QStringLiteral("张's"));
    form.C_Click(0);
    EXPECT_EQ(resultColumn(), QStringList{"张's 店"});
    form.Text1->setText(QStringLiteral("李"));
    form.C_Click(0);
    EXPECT_EQ(resultColumn(), QStringList{"李四"});
    // A single column with a quote.
    form.Text1->setText(QStringLiteral("'"));
    pick(form.Cb2, QStringLiteral("名称"));
    form.Cb2_Click();
    form.C_Click(0);
    EXPECT_EQ(resultColumn(), (QStringList{"O'Neil", "张's 店"}));

    pick(form.cb1, QStringLiteral("商品"));
    form.cb1_Click();
    struct Case {
        const char* fragment;
        QStringList found;
    };
    for (const Case& c : {Case{"50%", {"50%折扣"}}, Case{"_", {"a_b"}}, Case{"*", {"a_b"}},
                          Case{"?", {"问?"}}, Case{"[注", {"[注]"}}, Case{"#", {"[注]"}},
                          Case{"%", {"50%折扣"}}, Case{"a", {"a_b", "axb"}}}) {
        form.Text1->setText(QString::fromUtf8(c.fragment));
        form.C_Click(0);
        EXPECT_EQ(resultColumn(), c.found) << c.fragment;
    }
    EXPECT_EQ(search::LikeFragment(QStringLiteral("O'[5]_%*?#")),
              QStringLiteral("O''[[]5][_][%][*][?][#]"));
    EXPECT_TRUE(services->messages.empty());
}

TEST_F(Search, SavedQueriesAreSearchedByTheirOwnName) {
    openShop();
    Form4& form = open();
    form.Text1->setText(QStringLiteral("四"));
    pick(form.cb1, QStringLiteral("查客户(存储过程)"));
    form.cb1_Click();
    EXPECT_EQ(entries(form.Cb2), (QStringList{"名称", "全部"}));
    form.C_Click(0);
    EXPECT_EQ(g().CurrentTable, QStringLiteral("查客户"));
    EXPECT_EQ(resultColumn(), QStringList{"李四"});

    // An entry that cannot be opened leaves only "全部" and the statement.
    const QString before = form.SearchSql;
    form.cb1->setEditText(QStringLiteral("没有这个表"));
    form.cb1_Click();
    EXPECT_EQ(entries(form.Cb2), QStringList{"全部"});
    EXPECT_EQ(form.SearchSql, before);
    EXPECT_TRUE(services->messages.empty());
}

TEST_F(Search, FreeSqlShowsRowsReportsRefusalsAndChanges) {
    openShop();
    Form4& form = open();
    form.Text1->setText(QStringLiteral("x"));

    form.SQLb->setPlainText(QStringLiteral("select 电话 from 客户 where 名称 = '李四'"));
    form.C_Click(1);
    EXPECT_EQ(g().CurrentTable, form.SQLb->toPlainText());
    EXPECT_EQ(g().CurrentSql, form.SQLb->toPlainText());
    EXPECT_EQ(resultColumn(), QStringList{"13912345678"});
    EXPECT_EQ(form.LastSearchText, QStringLiteral("x"));

    form.SQLb->setPlainText(QStringLiteral("select * from 客房"));
    form.C_Click(1);
    form.SQLb->setPlainText(QStringLiteral("select 地址 from 客户"));
    form.C_Click(1);
    ASSERT_EQ(services->messages.size(), 2u);
    EXPECT_TRUE(
        services->messages[0].prompt.startsWith(QStringLiteral("SQL语法错误或字段不存在 ")));
    EXPECT_NE(services->messages[0].prompt, QStringLiteral("SQL语法错误或字段不存在 0"));

    // Changes are carried out once and reported by what they did.
    services->messages.clear();
    form.SQLb->setPlainText(QStringLiteral("update 客户 set 电话 = '0' where 名称 like '张*'"));
    form.C_Click(1);
    form.SQLb->setPlainText(QStringLiteral("create table 新表 (a long)"));
    form.C_Click(1);
    EXPECT_EQ(services->messageTexts(),
              (QStringList{"SQL语句已执行，共影响 2 条记录。", "SQL语句已执行。"}));
    engine::Recordset rs = g().DbConn->Execute("select count(*) from 客户 where 电话 = '0'");
    EXPECT_EQ(rs[0].GetValue().toText(), "2");
    EXPECT_EQ(g().DbConn->Execute("select * from 新表").State(), 1);

    // A database closed meanwhile is said so, not shown as a syntax error.
    services->messages.clear();
    g().DbConn.reset();
    form.C_Click(1);
    EXPECT_EQ(services->messageTexts(), QStringList{"请先打开MDB数据库文件"});
}

TEST_F(Search, ALongSearchShowsTheBusyIndicatorAndCanBeCancelled) {
    openShop();
    auto& c = *g().DbConn;
    c.Execute("create table D (d long)");
    for (int i = 0; i < 10; ++i)
        c.Execute("insert into D values (" + std::to_string(i) + ")");
    c.Execute("create table 大表 (n long, t text(20))");
    c.Execute("insert into 大表 (n, t) select a.d + b.d*10 + c.d*100 + e.d*1000, 'x' & a.d "
              "from D as a, D as b, D as c, D as e");
    dbconn::LoadCatalogue();
    Form4& form = open();
    form.BusyDelayMs = 0;
    form.Text1->setText(QStringLiteral("99"));
    pick(form.cb1, QStringLiteral("大表"));
    form.cb1_Click();

    // Timers wait while the statement runs: a data window's re-query must
    // not reach the database in the middle of it.
    int ticks = 0, ticksWhileRunning = -1;
    QTimer tick;
    tick.setInterval(0);
    QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    tick.start();
    bool busyShown = false, runningSeen = false;
    int pumps = 0;
    std::function<void()> whileRunning = [&] {
        // A few rounds of events pass before the user cancels.
        if (++pumps < 5) {
            QMetaObject::invokeMethod(&form, whileRunning, Qt::QueuedConnection);
            return;
        }
        busyShown = form.Busy->isVisible();
        runningSeen = form.Running();
        ticksWhileRunning = ticks;
        form.C_Click(0); // ignored while the search runs
        form.Busy->Cancel->click();
    };
    form.PumpIntervalMs = 0;
    QMetaObject::invokeMethod(&form, whileRunning, Qt::QueuedConnection);
    form.C_Click(0);
    tick.stop();
    EXPECT_TRUE(busyShown);
    EXPECT_TRUE(runningSeen);
    EXPECT_EQ(pumps, 5);
    EXPECT_EQ(ticksWhileRunning, 0);
    EXPECT_FALSE(form.Busy->isVisible());
    EXPECT_FALSE(form.Running());
    EXPECT_EQ(g().SharedRs.State(), 0);
    EXPECT_TRUE(services->messages.empty()); // the user stopped it; nothing to report

    // Not cancelled, the same search runs to its end.
    form.C_Click(0);
    EXPECT_EQ(g().SharedRs.RecordCount(), 280); // the numbers below 10000 that contain 99
    EXPECT_TRUE(services->messages.empty());
}

TEST_F(Search, TheProgramWiringOpensTheWindowFromTheToolbar) {
    app::installProgramModules();
    openShop();
    mdi->Toolbar1_ButtonClick(mdi->Button(QStringLiteral("SQL")));
    ASSERT_NE(search::smartSearchWindow(), nullptr);
    EXPECT_TRUE(search::smartSearchWindow()->isVisible());
}
