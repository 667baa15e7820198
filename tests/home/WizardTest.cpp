// The database wizard: a template click turns a template into the working
// copy 我的MDB/db0.mdb and opens it; the working copy is never replaced
// without the user's consent.

#include "HomeTestSupport.h"

#include "home/ProgramFiles.h"

#include <QFileInfo>

#include <filesystem>
#include <unistd.h>

using namespace hometest;

namespace {

class Wizard : public Home {
public:
    Wizard() {
        installTemplates();
        workingCopy = programDir + QStringLiteral("/我的MDB/db0.mdb");
    }
    static int demoIndex() { return 10; }
    QString workingCopy;
};

TEST_F(Wizard, PanelShowsTheTemplatesInTwoColumns) {
    EXPECT_FALSE(home->Frame3->isVisibleTo(home));
    home->C_Click(9);
    EXPECT_TRUE(home->Frame3->isVisibleTo(home));
    EXPECT_EQ(home->L[0]->text(), QStringLiteral("数据库向导 点击立即生成数据库"));
    EXPECT_EQ(home->L[1]->text(), QStringLiteral("产品订单.mdb"));
    EXPECT_EQ(home->L[10]->text(), QStringLiteral("示范.mdb"));
    // 1 to 5 on the left, 6 to 10 on the right, top to bottom.
    EXPECT_EQ(home->L[1]->x(), home->L[5]->x());
    EXPECT_LT(home->L[1]->x(), home->L[6]->x());
    EXPECT_EQ(home->L[6]->x(), home->L[10]->x());
    EXPECT_LT(home->L[6]->y(), home->L[7]->y());
    EXPECT_EQ(home->L[1]->y(), home->L[6]->y());
    EXPECT_LT(home->L[0]->y(), home->L[1]->y());
    for (const auto* label : home->L)
        EXPECT_TRUE(QFileInfo::exists(home::templatePath(label->text())) || label == home->L[0]);
}

TEST_F(Wizard, TemplateClickOpensTheDemoAsTheWorkingCopy) {
    QDir(programDir + QStringLiteral("/我的MDB")).removeRecursively(); // made on demand
    home->Show();
    home->C_Click(9);
    home->L_Click(demoIndex());

    EXPECT_TRUE(services->messages.empty()) << services->messageTexts().join('\n').toStdString();
    EXPECT_EQ(g().DbPath, workingCopy);
    EXPECT_EQ(home->windowTitle(), workingCopy);
    EXPECT_TRUE(home->Loaded());
    home->Timer1_Timer();
    EXPECT_EQ(
        listRows(),
        (QStringList{QStringLiteral("员工"), QStringLiteral("工时"), QStringLiteral("部门"),
                     QStringLiteral("项目"), QStringLiteral("员工名单(存储过程)"),
                     QStringLiteral("部门工资(存储过程)"), QStringLiteral("项目工时(存储过程)")}));
    EXPECT_EQ(listRows(), chooserEntries());
    // The closing step switched the edit menu off; the reload's first tick
    // switches it on again.
    EXPECT_TRUE(mdi->edit(13)->isEnabled());
    EXPECT_TRUE(home->Frame3->isVisibleTo(home));
    // The working copy can be written even when the template cannot.
    ASSERT_TRUE(g().DbConn);
    EXPECT_NO_THROW(g().DbConn->Execute("update 部门 set 所在城市 = '西安' where 部门ID = 1"));

    // The heading names no file and does nothing.
    home->L_Click(0);
    EXPECT_EQ(g().DbPath, workingCopy);
    EXPECT_TRUE(services->messages.empty());
}

TEST_F(Wizard, AnExistingWorkingCopyIsReplacedOnlyWithConsent) {
    QDir().mkpath(programDir + QStringLiteral("/我的MDB"));
    testdb::createDatabase(workingCopy, QString(), {"create table 我的工作 (id long primary key)"});
    home->Show();

    services->msgAnswers = {platform::mb::No};
    home->L_Click(demoIndex());
    ASSERT_EQ(services->messages.size(), 1u);
    EXPECT_EQ(services->messages[0].style, platform::mb::YesNo);
    EXPECT_TRUE(services->messages[0].prompt.contains(workingCopy));
    EXPECT_TRUE(testdb::schemaNames(workingCopy).contains(QStringLiteral("我的工作")));
    EXPECT_TRUE(g().DbPath.isEmpty());

    services->msgAnswers = {platform::mb::Yes};
    home->L_Click(demoIndex());
    EXPECT_FALSE(testdb::schemaNames(workingCopy).contains(QStringLiteral("我的工作")));
    EXPECT_TRUE(testdb::schemaNames(workingCopy).contains(QStringLiteral("员工")));
    EXPECT_EQ(g().DbPath, workingCopy);
}

TEST_F(Wizard, MissingTemplateOrUnwritableFolderLeavesTheOpenDatabase) {
    const QString mine = openDatabase(QStringLiteral("mine.mdb"), {"create table A (id long)"});
    home->Show();
    QFile::remove(programDir + QStringLiteral("/MDB模板/通讯录.mdb"));
    home->L_Click(9);
    ASSERT_EQ(services->messages.size(), 1u);
    EXPECT_TRUE(services->messages[0].prompt.startsWith(QStringLiteral("找不到模板文件：")));
    EXPECT_EQ(g().DbPath, mine);
    EXPECT_TRUE(g().DbConn && g().DbConn->State() == 1);

    // A file where the 我的MDB folder should be, and nowhere else to go.
    QDir(programDir + QStringLiteral("/我的MDB")).removeRecursively();
    QFile blocker(programDir + QStringLiteral("/我的MDB"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QFile data(dataHome);
    QDir(dataHome).removeRecursively();
    ASSERT_TRUE(data.open(QIODevice::WriteOnly)); // the data folder is a file too
    data.close();
    home->L_Click(demoIndex());
    ASSERT_EQ(services->messages.size(), 2u);
    EXPECT_TRUE(services->messages[1].prompt.contains(QStringLiteral("我的MDB")));
    EXPECT_EQ(g().DbPath, mine);
    EXPECT_TRUE(g().DbConn && g().DbConn->State() == 1);
}

TEST_F(Wizard, StartedWithAFileTheReloadTakesThatFileAgain) {
    const QString given = file(QStringLiteral("given.mdb"));
    testdb::createDatabase(given, QString(), {"create table 客户 (id long primary key)"});
    services->commandLine = given;
    home->Show();
    EXPECT_EQ(g().DbPath, given);

    home->L_Click(demoIndex());
    // The working copy was made, but the reload opened the command-line file.
    EXPECT_TRUE(QFileInfo::exists(workingCopy));
    EXPECT_EQ(g().DbPath, given);
    EXPECT_EQ(home->windowTitle(), given);
    EXPECT_EQ(chooserEntries(), QStringList{QStringLiteral("客户")});
}

TEST_F(Wizard, WithoutRoomBesideTheProgramTheWorkGoesToTheUsersDataFolder) {
    QDir(programDir + QStringLiteral("/我的MDB")).removeRecursively();
    {
        QFile blocker(programDir + QStringLiteral("/我的MDB"));
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }
    home->L_Click(demoIndex());
    EXPECT_EQ(g().DbPath, dataHome + QStringLiteral("/tabelko/我的MDB/db0.mdb"));
    EXPECT_TRUE(testdb::schemaNames(g().DbPath).contains(QStringLiteral("员工")));
}

// Root may write anywhere, so a read-only program folder cannot be met as
// root. While one of these lives, the process runs as the unprivileged user
// "nobody" (uid 65534), owning the test's own folder; the saved user id stays
// root, so the destructor can return to it.
class RunAsNobody {
public:
    explicit RunAsNobody(const QString& folder) {
        if (geteuid() != 0) return;
        constexpr uid_t nobody = 65534;
        namespace fs = std::filesystem;
        const fs::path root = folder.toStdString();
        (void)chown(root.c_str(), nobody, nobody);
        for (const auto& e : fs::recursive_directory_iterator(root))
            (void)lchown(e.path().c_str(), nobody, nobody);
        active = setresgid(nobody, nobody, 0) == 0 && setresuid(nobody, nobody, 0) == 0;
    }
    ~RunAsNobody() {
        if (!active) return;
        (void)setresuid(0, 0, 0);
        (void)setresgid(0, 0, 0);
    }
    RunAsNobody(const RunAsNobody&) = delete;
    RunAsNobody& operator=(const RunAsNobody&) = delete;

private:
    bool active = false;
};

TEST_F(Wizard, ReadOnlyProgramFolderSeedsTheUsersDataFolder) {
    const RunAsNobody nobody(dir.path());
    // An installed, read-only program folder: its 我的MDB files seed the
    // user's own folder.
    QDir(programDir + QStringLiteral("/我的MDB")).removeRecursively();
    QDir().mkpath(programDir + QStringLiteral("/我的MDB"));
    testdb::createDatabase(programDir + QStringLiteral("/我的MDB/示例.mdb"));
    QFile::setPermissions(programDir + QStringLiteral("/我的MDB"),
                          QFile::ReadOwner | QFile::ExeOwner);
    QFile::setPermissions(programDir, QFile::ReadOwner | QFile::ExeOwner);
    if (QFileInfo(programDir).isWritable()) GTEST_SKIP() << "running with rights to write anyway";

    const QString own = dataHome + QStringLiteral("/tabelko/我的MDB");
    EXPECT_EQ(home::myDatabasesFolder(), own);
    EXPECT_TRUE(QFileInfo::exists(own + QStringLiteral("/示例.mdb"))); // seeded
    home->L_Click(demoIndex());
    EXPECT_EQ(g().DbPath, own + QStringLiteral("/db0.mdb"));

    QFile::setPermissions(programDir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::setPermissions(programDir + QStringLiteral("/我的MDB"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace
