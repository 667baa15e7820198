#include "dbconn/TestDb.h"

#include "engine/Recordset.h"
#include "engine/base/Messages.h"
#include "support/JetJournal.h"
#include "support/SharedFiles.h"

#include <QFile>

#include <filesystem>

using dbconn::globals;
using platform::ProgramEnded;

namespace {

class Connection : public testdb::Fixture {
protected:
    bool isOpen() const { return globals().DbConn && globals().DbConn->State() == 1; }
};

} // namespace

TEST_F(Connection, FileWithoutPasswordOpensWithoutPrompt) {
    testdb::createDatabase(file("plain.mdb"));
    globals().DbPath = file("plain.mdb");

    dbconn::OpenConnection();

    EXPECT_TRUE(isOpen());
    EXPECT_EQ(globals().DbConn->CursorLocation, 3);
    EXPECT_TRUE(services->inputs.empty());
    EXPECT_FALSE(globals().LastOpenFailure);
}

TEST_F(Connection, WrongStoredPasswordPromptsOnceForTheSecondFile) {
    testdb::createDatabase(file("first.mdb"), QStringLiteral("alpha"));
    testdb::createDatabase(file("second.mdb"), QStringLiteral("beta"));
    globals().DbPath = file("first.mdb");
    services->inputAnswers = {QStringLiteral("alpha")};
    dbconn::OpenConnection();
    ASSERT_TRUE(isOpen());

    globals().DbPath = file("second.mdb");
    services->inputAnswers = {QStringLiteral("beta")};
    dbconn::OpenConnection();

    EXPECT_TRUE(isOpen());
    ASSERT_EQ(services->inputs.size(), 2u);
    const auto& prompt = services->inputs[1];
    EXPECT_EQ(prompt.prompt, QStringLiteral("请输入数据库密码，若要强制退出，请输入END"));
    EXPECT_TRUE(prompt.defaultText.isEmpty());
    EXPECT_EQ(globals().DbPassword, QStringLiteral("beta"));
}

// A wrong password, a cancelled prompt and "End" are each tried and bring
// the prompt back; the first right answer ends the prompting.
TEST_F(Connection, PromptsUntilTheFileOpens) {
    testdb::createDatabase(file("locked.mdb"), QStringLiteral("beta"));
    globals().DbPath = file("locked.mdb");
    services->inputAnswers = {QStringLiteral("wrong"), QString(), QStringLiteral("End"),
                              QStringLiteral("beta"), QStringLiteral("unused")};

    dbconn::OpenConnection();

    EXPECT_TRUE(isOpen());
    EXPECT_EQ(services->inputs.size(), 4u);
    EXPECT_EQ(services->exitRequests, 0);
}

TEST_F(Connection, EndInEitherCaseEndsTheProgram) {
    testdb::createDatabase(file("locked.mdb"), QStringLiteral("beta"));
    for (const QString& word : {QStringLiteral("end"), QStringLiteral("END")}) {
        globals().DbPath = file("locked.mdb");
        globals().DbPassword.clear();
        services->inputAnswers = {word};
        EXPECT_THROW(dbconn::OpenConnection(), ProgramEnded);
    }
    EXPECT_EQ(services->exitRequests, 2);

    // Even a file whose password really is END ends the program once open.
    testdb::createDatabase(file("end.mdb"), QStringLiteral("END"));
    globals().DbPath = file("end.mdb");
    globals().DbPassword = QStringLiteral("END");
    EXPECT_THROW(dbconn::OpenConnection(), ProgramEnded);
    EXPECT_TRUE(isOpen());
}

// Only a wrong password prompts: a missing file (or an empty path) leaves the
// connection not open and the reason on record, which the catalogue loader
// hands to its caller.
TEST_F(Connection, OtherFailuresDoNotPromptAndReachTheCatalogueCaller) {
    globals().DbPath = file("missing.mdb");
    dbconn::OpenConnection();

    EXPECT_FALSE(isOpen());
    EXPECT_TRUE(services->inputs.empty());
    EXPECT_TRUE(services->messages.empty());
    ASSERT_TRUE(globals().LastOpenFailure);
    EXPECT_FALSE(QString::fromStdString(globals().LastOpenFailure->what()).contains("密码"));

    EXPECT_THROW(dbconn::LoadCatalogue(), engine::EngineError);

    EXPECT_FALSE(dbconn::LoadCatalogueOrReport());
    ASSERT_EQ(services->messages.size(), 1u);
    const QString shown = services->messages[0].prompt;
    EXPECT_TRUE(shown.contains(file("missing.mdb"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QString::fromStdString(globals().LastOpenFailure->what())));

    globals().DbPath.clear();
    dbconn::OpenConnection();
    EXPECT_FALSE(isOpen());
    EXPECT_TRUE(services->inputs.empty());
}

// The loop decides by the failure's number, not by words in its text: a
// missing file whose path says 密码 is no password problem, and a file of
// noise (which an encrypted file cannot be told from) lets the user give up.
TEST_F(Connection, OnlyPasswordFailuresPromptAndNoiseCanBeLeft) {
    globals().DbPath = file("密码.mdb");
    dbconn::OpenConnection();
    EXPECT_FALSE(isOpen());
    EXPECT_TRUE(services->inputs.empty());
    ASSERT_TRUE(globals().LastOpenFailure);
    EXPECT_EQ(globals().LastOpenFailure->number(), engine::msg::FileNotFound.number);

    {
        QFile noise(file("noise.mdb"));
        ASSERT_TRUE(noise.open(QIODevice::WriteOnly));
        QByteArray bytes(4096, '\0');
        for (int i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>((i * 7919 + 13) % 251);
        noise.write(bytes);
    }
    globals().DbPath = file("noise.mdb");
    globals().DbPassword.clear();
    services->inputAnswers = {QStringLiteral("guess"), QString(), QString(),
                              QStringLiteral("unused")};
    dbconn::OpenConnection();
    EXPECT_FALSE(isOpen());
    EXPECT_EQ(services->inputs.size(), 3u);
    ASSERT_TRUE(globals().LastOpenFailure);
    EXPECT_EQ(globals().LastOpenFailure->number(), engine::msg::PasswordOrDamaged.number);
}

// Characters that end or quote a connection-string value, in the password
// and in the path, still reach the engine as typed.
TEST_F(Connection, AnyTypedPasswordOpensItsFile) {
    const QString passwords[] = {QStringLiteral("a;b"), QStringLiteral("it's"),
                                 QStringLiteral("say \"hi\""), QStringLiteral(" padded "),
                                 QStringLiteral("x;Data Source=/etc/passwd")};
    int n = 0;
    for (const QString& password : passwords) {
        const QString path = file(QStringLiteral("p;%1 it's.mdb").arg(n++));
        testdb::createDatabase(path, password);
        dbconn::resetGlobals();
        globals().DbPath = path;
        services->inputAnswers = {password};

        dbconn::OpenConnection();

        EXPECT_TRUE(isOpen()) << password.toStdString();
        EXPECT_EQ(QString::fromStdString(globals().DbConn->DataSource()), path);
    }
    EXPECT_EQ(services->inputs.size(), std::size(passwords));
}

TEST_F(Connection, CloseDatabaseDropsTheConnectionAndUnloadsTwoWindows) {
    testdb::createDatabase(file("plain.mdb"));
    globals().DbPath = file("plain.mdb");
    globals().CurrentTable = QStringLiteral("Orders");
    dbconn::OpenConnection();
    int unloaded = 0;
    globals().hooks.UnloadStructureView = [&] { ++unloaded; };
    globals().hooks.UnloadFreeSqlWindow = [&] { ++unloaded; };
    QWidget kept;
    globals().TableWindows[3] = &kept;

    dbconn::CloseDatabase();

    EXPECT_FALSE(globals().DbConn);
    EXPECT_EQ(unloaded, 2);
    EXPECT_EQ(globals().DbPath, file("plain.mdb"));
    EXPECT_EQ(globals().CurrentTable, QStringLiteral("Orders"));
    EXPECT_EQ(globals().TableWindows[3], &kept);

    dbconn::CloseDatabase(); // with nothing open
    EXPECT_EQ(unloaded, 4);
}

// Names that are not plain identifiers go in brackets, and the engine opens
// what the helper writes.
TEST_F(Connection, NamesNeedingBracketsOpen) {
    EXPECT_EQ(dbconn::SelectAllFrom(QStringLiteral("Orders")),
              QStringLiteral("select * from Orders"));
    EXPECT_EQ(dbconn::SqlName(QStringLiteral("客户_2")), QStringLiteral("客户_2"));
    EXPECT_EQ(dbconn::SqlName(QStringLiteral("Order Details")), QStringLiteral("[Order Details]"));
    EXPECT_EQ(dbconn::SqlName(QStringLiteral("order")), QStringLiteral("[order]"));
    EXPECT_EQ(dbconn::SqlName(QStringLiteral("Mod")), QStringLiteral("[Mod]"));
    EXPECT_EQ(dbconn::SqlLiteral(QStringLiteral("it's")), QStringLiteral("'it''s'"));
    EXPECT_EQ(dbconn::SqlName(QStringLiteral("2024")), QStringLiteral("[2024]"));
    EXPECT_EQ(dbconn::SqlName(QStringLiteral("a-b")), QStringLiteral("[a-b]"));
    EXPECT_EQ(dbconn::SqlName(QStringLiteral("[Order Details]")),
              QStringLiteral("[Order Details]"));
    EXPECT_EQ(dbconn::StripQuerySuffix(QStringLiteral("Big(存储过程)")), QStringLiteral("Big"));

    testdb::createDatabase(file("names.mdb"), QString(),
                           {"create table [Order Details] (id long, [unit price] currency)",
                            "insert into [Order Details] values (1, 2.5)",
                            "create table [Order] (id long)", "create table [Mod] (id long)"});
    globals().DbPath = file("names.mdb");
    dbconn::OpenConnection();
    ASSERT_TRUE(isOpen());
    for (const char* name : {"Order Details", "Order", "Mod"}) {
        engine::Recordset rs;
        rs.Open(dbconn::SelectAllFrom(QString::fromUtf8(name)).toStdString(), *globals().DbConn);
        EXPECT_EQ(rs.State(), 1) << name;
    }
}

// A genuine Jet 4 file that can be written: the catalogue loader cannot add
// its saved-query table and says nothing about it; an unfinished change the
// opening undid is told once.
TEST_F(Connection, AGenuineFileLoadsQuietlyAndAnUndoneChangeIsToldOnce) {
    namespace fs = std::filesystem;
    const std::string sample = TABELKO_CORPUS_DIR "/jet/testV2000.mdb";
    REQUIRE_SHARED_FILE(sample);
    const std::string path = file("genuine.mdb").toStdString();
    fs::copy_file(sample, path);
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    std::string original;
    {
        std::ifstream in(path, std::ios::binary);
        original.assign(std::istreambuf_iterator<char>(in), {});
    }
    globals().DbPath = QString::fromStdString(path);
    dbconn::LoadCatalogue();
    ASSERT_TRUE(isOpen());
    EXPECT_FALSE(globals().DbConn->ReadOnly());
    EXPECT_TRUE(services->messageTexts().isEmpty())
        << services->messageTexts().join("|").toStdString();
    ASSERT_TRUE(dbconn::CloseDatabase());

    jetjournal::halfWritten(path, original);
    dbconn::LoadCatalogue();
    ASSERT_TRUE(isOpen());
    ASSERT_EQ(services->messageTexts().size(), 1);
    EXPECT_TRUE(services->messageTexts()[0].contains(QStringLiteral("已自动撤销")));
    EXPECT_TRUE(services->messageTexts()[0].contains(globals().DbPath));
    ASSERT_TRUE(dbconn::CloseDatabase());
    dbconn::LoadCatalogue();
    EXPECT_EQ(services->messageTexts().size(), 1);
}
