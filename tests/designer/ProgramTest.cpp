// The program's windows built as the executable builds them, with the
// designer reached through the view menu and the home window's labels.
#include "DesignerTestSupport.h"
#include "support/SharedFiles.h"

#include "app/ProgramWiring.h"

#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>

#include <cstdlib>
#include <filesystem>

using namespace designertest;

namespace {

class Program : public testdb::Fixture {
protected:
    // Starts the program on the database as a user does: the path on the
    // command line, the frame built and loaded, the home window's first tick.
    void start(const QString& path) {
        services->appPath = file(QStringLiteral("program"));
        services->commandLine = path;
        mdi = std::make_unique<frame::MDI>();
        app::installProgramModules();
        mdi->show();
        mdi->MDIForm_Load();
        home = home::homeWindow();
        ASSERT_NE(home, nullptr);
        home->Timer1_Timer();
    }
    ~Program() override {
        designer::UnloadStructureView();
        delete designer::fieldEditor();
        mdi.reset();
    }
    int homeRow(const QString& entry) const {
        for (int i = 0; i < home->List0->count(); ++i)
            if (home->List0->item(i)->text() == entry) return i;
        return -1;
    }
    bool inFrame(QWidget* w) const {
        for (QMdiSubWindow* s : mdi->Area->subWindowList())
            if (s->widget() == w) return true;
        return false;
    }

    std::unique_ptr<frame::MDI> mdi;
    home::start* home = nullptr;
};

TEST_F(Program, TheViewMenuAndTheHomeLabelsOpenBothDesignerWindows) {
    const QString path = file(QStringLiteral("示范 库.mdb"));
    testdb::createDatabase(path, QString(),
                           {"create table 客户 (ID counter primary key, 名称 text(20))",
                            "create table 订单 (号 long, 金额 money)"});
    start(path);
    ASSERT_EQ(g().DbPath, path);
    QAction* design = mdi->SQ(4);
    QAction* fields = mdi->SQ(5);
    ASSERT_TRUE(design && fields);
    EXPECT_EQ(design->text(), QStringLiteral("表设计视图"));
    EXPECT_TRUE(design->isEnabled());

    // No entry selected in the home window: refused.
    design->trigger();
    EXPECT_EQ(services->messageTexts(), QStringList{"请先打开数据库,并选择数据表"});
    EXPECT_EQ(designer::fieldEditor(), nullptr);

    home->LV_ItemClick(homeRow(QStringLiteral("订单")));
    design->trigger();
    designer::Form3* f3 = designer::fieldEditor();
    ASSERT_NE(f3, nullptr);
    EXPECT_TRUE(f3->isVisible());
    EXPECT_FALSE(inFrame(f3));
    EXPECT_EQ(f3->windowTitle(), QStringLiteral("表：订单"));
    EXPECT_EQ(f3->LV->topLevelItemCount(), 2);

    // The home window's "表设计" label: the same window, now for the newly
    // selected table.
    home->LV_ItemClick(homeRow(QStringLiteral("客户")));
    home->C0_Click();
    EXPECT_EQ(designer::fieldEditor(), f3);
    EXPECT_EQ(f3->windowTitle(), QStringLiteral("表：客户"));

    fields->trigger();
    designer::Form2* f2 = designer::structureView();
    ASSERT_NE(f2, nullptr);
    EXPECT_TRUE(inFrame(f2));
    EXPECT_EQ(f2->windowTitle(), QStringLiteral("数据表字段视图"));
    EXPECT_EQ(lines(*f2->List0), (QStringList{"客户", "订单"}));
    EXPECT_FALSE(f2->ReadOnlyLine->isVisible());
    // "重命名/高级" shows the same window without loading it again.
    f2->List0->addItem(QStringLiteral("标记"));
    home->CP_Click();
    EXPECT_EQ(designer::structureView(), f2);
    EXPECT_EQ(f2->List0->count(), 3);

    // Closing the database closes the structure view only.
    dbconn::CloseDatabase();
    EXPECT_EQ(designer::structureView(), nullptr);
    EXPECT_EQ(designer::fieldEditor(), f3);
    EXPECT_EQ(services->messageTexts().size(), 1);

    // Another file with a table of the same name: the editor still showing
    // the first file's fields changes nothing in it.
    const QString other = file(QStringLiteral("另一个.mdb"));
    testdb::createDatabase(other, QString(), {"create table 客户 (ID long, 名称 text(20))"});
    g().DbPath = other;
    dbconn::LoadCatalogue();
    f3->LV_Click(1);
    f3->C1_Click(2);
    EXPECT_EQ(services->messageTexts().value(1), designer::OtherDatabase);
    engine::Connection check;
    check.Open(testdb::connectionString(other, QString()));
    EXPECT_EQ(check.Execute("select * from 客户").GetFields().Count(), 2);
}

// Its rows can change, its tables and saved queries cannot.
TEST_F(Program, AGenuineJetFileKeepsItsStructure) {
    const std::string sample = std::string(CORPUS_DIR) + "/V2000_no-password.mdb";
    REQUIRE_SHARED_FILE(sample);
    const QString path = file(QStringLiteral("genuine.mdb"));
    ASSERT_TRUE(QFile::copy(QString::fromStdString(sample), path));
    start(path);
    ASSERT_TRUE(g().DbConn);
    EXPECT_FALSE(g().DbConn->ReadOnly());
    EXPECT_TRUE(g().DbConn->SchemaReadOnly());
    ASSERT_GT(home->List0->count(), 0);

    mdi->SQ(5)->trigger();
    designer::Form2* f2 = designer::structureView();
    ASSERT_NE(f2, nullptr);
    EXPECT_FALSE(f2->ReadOnlyLine->isHidden());
    f2->List0->setCurrentRow(0);
    f2->List0_Click();
    EXPECT_GT(f2->List1->count(), 0);
    f2->List1->setCurrentRow(0);
    f2->List1_Click();
    for (int i = 1; i <= 3; ++i) {
        EXPECT_FALSE(f2->C0[i]->isEnabled()) << i;
        EXPECT_FALSE(f2->C1[i]->isEnabled()) << i;
        EXPECT_FALSE(f2->C2[i]->isEnabled()) << i;
    }

    home->LV_ItemClick(0);
    mdi->SQ(4)->trigger();
    designer::Form3* f3 = designer::fieldEditor();
    ASSERT_NE(f3, nullptr);
    f3->LV_Click(0);
    EXPECT_FALSE(f3->C1[1]->isEnabled());
    EXPECT_FALSE(f3->C1[3]->isEnabled());
    EXPECT_FALSE(f3->ReadOnlyLine->isHidden());
}

} // namespace
