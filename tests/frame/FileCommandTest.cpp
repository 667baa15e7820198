#include "CommandTestSupport.h"

#include "dbconn/Database.h"
#include "frame/Commands.h"

#include <QFileInfo>

using namespace cmdtest;
namespace cmd = frame::commands;

namespace {

class FileCommands : public Program {};

} // namespace

TEST_F(FileCommands, OpenAsksForThePasswordOnceAndTheReloadDoesNotAskAgain) {
    start();
    const QString locked = file(QStringLiteral("带密码.mdb"));
    testdb::createDatabase(locked, QStringLiteral("pw;1"),
                           {"create table Kunden (id long, name text(10))"});
    services->openAnswers = {locked};
    services->inputAnswers = {QStringLiteral("pw;1")};
    mdi->F_Click(2);

    ASSERT_EQ(services->inputs.size(), 1u);
    EXPECT_EQ(services->inputs[0].prompt, dbconn::PasswordPrompt);
    EXPECT_EQ(g().DbPath, locked);
    ASSERT_TRUE(g().DbConn && g().DbConn->State() == 1);
    EXPECT_EQ(mdi->windowTitle(), QStringLiteral("Tabelko：") + locked);
    EXPECT_TRUE(chooserEntries().contains(QStringLiteral("Kunden")));
    ASSERT_TRUE(home::homeWindow());
    EXPECT_TRUE(home::homeWindow()->Loaded());

    // A cancelled dialog leaves the open database as it was.
    services->openAnswers = {QString()};
    mdi->F_Click(2);
    EXPECT_EQ(g().DbPath, locked);
    EXPECT_TRUE(g().DbConn && g().DbConn->State() == 1);
}

TEST_F(FileCommands, OpenAfterAStartWithACommandLineKeepsTheChosenFile) {
    start(shop);
    EXPECT_EQ(g().DbPath, shop);
    const QString other = file(QStringLiteral("other.mdb"));
    testdb::createDatabase(other, QStringLiteral("x"), {"create table Lager (id long)"});
    services->openAnswers = {other};
    services->inputAnswers = {QStringLiteral("x")};
    mdi->F_Click(2);
    EXPECT_EQ(services->inputs.size(), 1u);
    EXPECT_EQ(g().DbPath, other);
    EXPECT_EQ(mdi->windowTitle(), QStringLiteral("Tabelko：") + other);
    EXPECT_EQ(home::homeWindow()->windowTitle(), other);
    EXPECT_TRUE(chooserEntries().contains(QStringLiteral("Lager")));
    EXPECT_FALSE(chooserEntries().contains(QStringLiteral("Orders")));
}

TEST_F(FileCommands, OpenOfAFileThatIsNoDatabaseSaysSoOnce) {
    start();
    const QString junk = file(QStringLiteral("junk.mdb"));
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("this is not a database file at all, just text", 46);
    f.close();
    services->openAnswers = {junk};
    mdi->F_Click(2);
    EXPECT_EQ(services->messages.size(), 1u);
    EXPECT_TRUE(g().DbPath.isEmpty());
    EXPECT_EQ(mdi->windowTitle(), QStringLiteral("Tabelko"));
}

TEST_F(FileCommands, NewAsksBeforeReplacingAnEarlierDb1AndReplacesOnlyWhenTold) {
    start();
    // The first New makes the folder and the file.
    services->msgAnswers = {platform::mb::No}; // no table now
    mdi->F_Click(0);
    const QString db1 = programDir + QStringLiteral("/我的MDB/db1.mdb");
    EXPECT_EQ(cmd::newDatabasePath(), db1);
    EXPECT_EQ(g().DbPath, db1);
    EXPECT_EQ(mdi->windowTitle(), QStringLiteral("Tabelko：") + db1);
    ASSERT_TRUE(QFileInfo(db1).isFile());

    // The user's work in db1.mdb.
    g().DbConn->Execute("create table Arbeit (id long)");
    g().DbConn->Execute("insert into Arbeit values (7)");
    dbconn::CloseDatabase();

    services->messages.clear();
    services->msgAnswers = {platform::mb::No};
    mdi->F_Click(0);
    ASSERT_EQ(services->messages.size(), 1u);
    EXPECT_TRUE(services->messages[0].prompt.contains(QStringLiteral("已存在")));
    EXPECT_EQ(rowCount(db1, "Arbeit"), 1);

    services->msgAnswers = {platform::mb::Yes, platform::mb::No};
    mdi->F_Click(0);
    EXPECT_FALSE(testdb::schemaNames(db1).contains(QStringLiteral("Arbeit")));
    EXPECT_EQ(QDir(programDir + QStringLiteral("/我的MDB")).entryList(QDir::Files),
              QStringList{QStringLiteral("db1.mdb")});
}

TEST_F(FileCommands, SaveAndSaveAsCloseTheDatabaseAndRefuseTheOwnName) {
    start();
    open(shop);
    showInFreeSqlWindow(QStringLiteral("Orders"));

    // Onto its own name: refused, nothing closed.
    services->saveAnswers = {shop};
    mdi->F_Click(4);
    ASSERT_EQ(services->messages.size(), 1u);
    EXPECT_TRUE(services->messages[0].prompt.contains(QStringLiteral("它自己")));
    EXPECT_TRUE(g().DbConn.has_value());
    EXPECT_TRUE(datawin::defaultForm1(false));

    // A cancelled dialog does nothing either.
    services->saveAnswers = {QString()};
    mdi->F_Click(4);
    EXPECT_TRUE(g().DbConn.has_value());

    const QString copy = file(QStringLiteral("副本.mdb"));
    services->saveAnswers = {copy};
    mdi->F_Click(4);
    EXPECT_EQ(rowCount(copy, "Orders"), 3);
    EXPECT_EQ(g().DbPath, shop);
    EXPECT_FALSE(g().DbConn.has_value());
    EXPECT_FALSE(datawin::defaultForm1(false));

    open(shop);
    mdi->F_Click(3);
    EXPECT_FALSE(g().DbConn.has_value());
    EXPECT_EQ(g().DbPath, shop);
    EXPECT_EQ(chooserEntries(), QStringList{QStringLiteral("Orders")});
}

TEST_F(FileCommands, ExportWritesTabTextByteForByteAndOpensItInTheEditor) {
    start();
    const QString path = file(QStringLiteral("t.mdb"));
    testdb::createDatabase(path, QString(),
                           {"create table T (a text(10), b long, c text(10))",
                            "insert into T values ('甲', 1, 'x y')",
                            "insert into T values ('乙', 2, null)"});
    open(path);

    // Nothing loaded yet: told so, nothing written.
    mdi->F_Click(6);
    EXPECT_EQ(services->messageTexts(), QStringList{cmd::NoData});
    EXPECT_FALSE(QFileInfo::exists(cmd::exportTextPath()));

    services->messages.clear();
    showInFreeSqlWindow(QStringLiteral("T"));
    mdi->F_Click(6);
    const QString out = programDir + QStringLiteral("/temp.Text");
    EXPECT_EQ(cmd::exportTextPath(), out);
    EXPECT_EQ(readAll(out), QByteArray("\t\xE7\x94\xB2\t1\tx y\r\n\t\xE4\xB9\x99\t2\t\r\n"));
    ASSERT_EQ(services->messages.size(), 1u);
    EXPECT_EQ(services->messages[0].prompt, cmd::ExportDoneStart + out + cmd::ExportDoneEnd);
    EXPECT_EQ(services->shellCommands, QStringList{QStringLiteral("notepad ") + out});
}

TEST_F(FileCommands, PrintAnsweredNoDoesNothingAndWithoutPrinterOffersAPdf) {
    start();
    open(shop);
    services->msgAnswers = {platform::mb::No};
    mdi->F_Click(7);
    EXPECT_TRUE(services->printed.empty());

    services->msgAnswers = {platform::mb::Yes};
    mdi->F_Click(7);
    ASSERT_EQ(services->printed.size(), 1u);
    EXPECT_EQ(services->printed[0], datawin::defaultForm1(false));

    services->printerReady = false;
    const QString pdf = file(QStringLiteral("页.pdf"));
    services->msgAnswers = {platform::mb::Yes, platform::mb::Yes};
    services->saveAnswers = {pdf};
    mdi->F_Click(7);
    const QByteArray bytes = readAll(pdf);
    EXPECT_TRUE(bytes.startsWith("%PDF"));
    EXPECT_EQ(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") +
                  bytes.count("/Type /Page "),
              1);
}

TEST_F(FileCommands, CloseAllEndsTheProgramUnlessEditsAreKept) {
    start();
    bool keepEditing = true;
    g().hooks.CommitPendingEdits = [&] { return !keepEditing; };
    mdi->F_Click(9);
    EXPECT_EQ(services->exitRequests, 0);
    keepEditing = false;
    EXPECT_THROW(mdi->F_Click(9), platform::ProgramEnded);
    EXPECT_EQ(services->exitRequests, 1);
}
