#include "CommandTestSupport.h"

#include "dbconn/Database.h"
#include "frame/Commands.h"
#include "frame/Compact.h"
#include "frame/Export.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace cmdtest;
namespace cmd = frame::commands;

namespace {

class ToolCommands : public Program {
protected:
    ToolCommands() { start(); }

    // Runs the compaction command on `path`, opened with `openPassword`,
    // answering the two password prompts.
    void compactCommand(const QString& path, const QString& openPassword, const QString& oldPw,
                        const QString& newPw) {
        g().DbPassword = openPassword;
        open(path);
        services->inputAnswers = {oldPw, newPw};
        mdi->TOOL_Click(4);
    }

    bool opensWith(const QString& path, const QString& password) {
        try {
            return rowCount(path, "Orders", password) == 3;
        } catch (const std::exception&) {
            return false;
        }
    }

    // Files beside `path` other than itself.
    QStringList leftovers(const QString& path) const {
        QStringList all = QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files);
        all.removeAll(QFileInfo(path).fileName());
        return all;
    }
};

void makeShop(const QString& path, const QString& password) {
    testdb::createDatabase(
        path, password,
        {"create table Orders (id long primary key, item text(20))",
         "insert into Orders values (1, 'a')", "insert into Orders values (2, 'b')",
         "insert into Orders values (3, 'c')", "create view Big as select * from Orders"});
}

} // namespace

TEST_F(ToolCommands, CompactionStringsCarryTheBlanksAndQuoteWhatWouldBreakThem) {
    const frame::CompactStrings s =
        frame::compactConnectionStrings("/d/shop.mdb", "/d/shop.mdb.mdb", "alt", "neu");
    EXPECT_EQ(s.source,
              "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/d/shop.mdb;Jet OLEDB:Database "
              "Password= alt");
    EXPECT_EQ(s.destination, "Provider=Microsoft.Jet.OLEDB.4.0;Data Source= /d/shop.mdb.mdb;Jet "
                             "OLEDB:Database Password= neu");
    EXPECT_EQ(frame::compactTemporaryPath("/nonexistent/x.mdb"), "/nonexistent/x.mdb.mdb");
}

TEST_F(ToolCommands, CompactionWithEachCombinationOfOldAndNewPassword) {
    struct Case {
        const char* before;
        const char* after;
    };
    for (const Case c : {Case{"", ""}, Case{"", "neu"}, Case{"alt", "a;b 'c"}, Case{"alt", ""}}) {
        SCOPED_TRACE(std::string(c.before) + " -> " + c.after);
        const QString dir = file(QStringLiteral("c%1%2")
                                     .arg(QString::fromUtf8(c.before).size())
                                     .arg(QString::fromUtf8(c.after).size()));
        QDir().mkpath(dir);
        const QString path = dir + QStringLiteral("/库.mdb");
        makeShop(path, QString::fromUtf8(c.before));
        services->exitRequests = 0;
        services->messages.clear();
        EXPECT_THROW(compactCommand(path, QString::fromUtf8(c.before), QString::fromUtf8(c.before),
                                    QString::fromUtf8(c.after)),
                     platform::ProgramEnded);
        EXPECT_EQ(services->exitRequests, 1);
        EXPECT_EQ(services->messageTexts().last(), cmd::CompactDone);
        EXPECT_TRUE(opensWith(path, QString::fromUtf8(c.after)));
        if (*c.after) {
            EXPECT_FALSE(opensWith(path, QString()));
        }
        EXPECT_TRUE(testdb::schemaNames(path, QString::fromUtf8(c.after)).contains("Big"));
        EXPECT_TRUE(leftovers(path).isEmpty()) << leftovers(path).join(' ').toStdString();
    }
}

TEST_F(ToolCommands, WrongOldPasswordLeavesTheOriginalUntouchedAndTheProgramRunning) {
    QDir().mkpath(file(QStringLiteral("pw")));
    const QString path = file(QStringLiteral("pw/shop.mdb"));
    makeShop(path, QStringLiteral("alt"));
    g().DbPassword = QStringLiteral("alt");
    open(path);
    const QByteArray before = readAll(path);
    services->inputAnswers = {QStringLiteral("falsch"), QStringLiteral("neu")};
    EXPECT_NO_THROW(mdi->TOOL_Click(2));
    EXPECT_EQ(services->exitRequests, 0);
    EXPECT_EQ(readAll(path), before);
    EXPECT_TRUE(leftovers(path).isEmpty());
    ASSERT_FALSE(services->messages.empty());
    EXPECT_TRUE(services->messages.back().prompt.contains(QStringLiteral("没有改动")));
    // The database is open again.
    EXPECT_TRUE(g().DbConn && g().DbConn->State() == 1);
}

TEST_F(ToolCommands, ALeftoverTemporaryFileDoesNotStopTheCompaction) {
    const QString path = file(QStringLiteral("shop.mdb"));
    QFile stale(path + QStringLiteral(".mdb"));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write("left from a failed run");
    stale.close();
    EXPECT_THROW(compactCommand(path, QString(), QString(), QString()), platform::ProgramEnded);
    EXPECT_TRUE(opensWith(path, QString()));
    EXPECT_EQ(readAll(path + QStringLiteral(".mdb")), QByteArray("left from a failed run"));
}

TEST_F(ToolCommands, ACompactionKilledMidwayLeavesTheOriginalIntact) {
    QDir().mkpath(file(QStringLiteral("big")));
    const QString path = file(QStringLiteral("big/big.mdb"));
    testdb::createDatabase(path, QString(),
                           {"create table Orders (id long primary key, item text(50))"});
    {
        engine::Connection c;
        c.Open(testdb::connectionString(path, QString()));
        c.Execute("create table Filler (id long primary key, t text(200))");
        for (int i = 1; i <= 3; ++i)
            c.Execute("insert into Orders values (" + std::to_string(i) + ", 'x')");
        c.Execute("insert into Filler values (1, 'Füllung Füllung Füllung Füllung Füllung')");
        // Doubling 15 times: 32768 rows.
        for (int i = 0; i < 15; ++i)
            c.Execute("insert into Filler (id, t) select id + " + std::to_string(1 << i) +
                      ", t from Filler");
        c.Close();
    }
    const std::string target = QFile::encodeName(path).toStdString();
    for (int delayMicros : {0, 2000, 5000, 10000, 20000, 50000, 100000, 200000, 400000}) {
        SCOPED_TRACE(delayMicros);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            try {
                frame::compactInPlace(target, "", "");
            } catch (...) {
                _exit(2);
            }
            _exit(0);
        }
        usleep(static_cast<useconds_t>(delayMicros));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(opensWith(path, QString()));
        EXPECT_EQ(rowCount(path, "Filler"), 32768);
        // Whatever the killed run left beside the file is only ever a
        // temporary copy; the next run takes a fresh name.
        for (const QString& name : leftovers(path))
            EXPECT_TRUE(name.startsWith(QStringLiteral("big.mdb."))) << name.toStdString();
    }
    EXPECT_NO_THROW(frame::compactInPlace(target, "", ""));
    EXPECT_EQ(rowCount(path, "Filler"), 32768);
}

TEST_F(ToolCommands, PendingEditsKeptStopTheCompactionBeforeAnythingHappens) {
    g().hooks.CommitPendingEdits = [] { return false; };
    open(shop);
    const QByteArray before = readAll(shop);
    mdi->TOOL_Click(2);
    EXPECT_TRUE(services->inputs.empty());
    EXPECT_EQ(readAll(shop), before);
    EXPECT_TRUE(g().DbConn.has_value());
}

// CSV and Excel exports, read back.

namespace {

class Exports : public Program {
protected:
    Exports() {
        start();
        path = file(QStringLiteral("e.mdb"));
        testdb::createDatabase(
            path, QString(),
            {"create table E (id long, name text(30), price currency, born datetime, ok bit, "
             "note memo)",
             "insert into E values (1, '张三', 12.5, '2024-03-05 00:00:00', -1, 'a,b \"q\"')",
             "insert into E values (2, null, 0.25, '2024-03-05 13:45:10', 0, null)"});
        open(path);
        showInFreeSqlWindow(QStringLiteral("E"));
    }
    QString path;
};

// Reads an Excel workbook back through openpyxl, one line per row, each
// cell as type:value.
QString readXlsx(const QString& xlsx) {
    // The system's Python, which has Debian's openpyxl.
    QString python = QStringLiteral("/usr/bin/python3");
    if (!QFileInfo(python).isExecutable())
        python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty()) return QStringLiteral("no python3");
    QProcess p;
    p.start(python,
            {QStringLiteral("-c"),
             QStringLiteral("import sys, openpyxl\n"
                            "ws = openpyxl.load_workbook(sys.argv[1]).active\n"
                            "for row in ws.iter_rows(values_only=True):\n"
                            "    print('|'.join(type(v).__name__ + ':' + str(v) for v in row))\n"),
             xlsx});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
}

} // namespace

TEST_F(Exports, CsvAndXlsxReadBackWithHeaderQuotingAndTypes) {
    const QString csv = file(QStringLiteral("导出.csv"));
    services->saveAnswers = {csv};
    mdi->TOOL_Click(0);
    EXPECT_EQ(
        readAll(csv),
        QByteArray("\xEF\xBB\xBF"
                   "id,name,price,born,ok,note\r\n"
                   "1,\xE5\xBC\xA0\xE4\xB8\x89,12.5,2024-03-05 00:00:00,True,\"a,b \"\"q\"\"\"\r\n"
                   "2,,0.25,2024-03-05 13:45:10,False,\r\n"));

    const QString xlsx = file(QStringLiteral("导出.xlsx"));
    services->saveAnswers = {xlsx};
    mdi->Toolbar1_ButtonClick(mdi->Button(QStringLiteral("转换")));
    EXPECT_EQ(readXlsx(xlsx),
              QStringLiteral(
                  "str:id|str:name|str:price|str:born|str:ok|str:note\n"
                  "int:1|str:张三|float:12.5|datetime:2024-03-05 00:00:00|bool:True|str:a,b \"q\"\n"
                  "int:2|NoneType:None|float:0.25|datetime:2024-03-05 "
                  "13:45:10|bool:False|NoneType:None\n"));

    // A cancelled dialog writes nothing.
    services->saveAnswers = {QString()};
    mdi->TOOL_Click(0);
    EXPECT_EQ(QDir(dir.path())
                  .entryList({QStringLiteral("*.csv"), QStringLiteral("*.xlsx")}, QDir::Files)
                  .size(),
              2);
}

TEST_F(Exports, ACancelledExportKeepsTheEarlierFileAndLeavesNothingBehind) {
    const QString csv = file(QStringLiteral("keep.csv"));
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("earlier");
    f.close();
    for (auto format : {frame::exporting::Format::Csv, frame::exporting::Format::Xlsx,
                        frame::exporting::Format::TabText}) {
        EXPECT_THROW(frame::exporting::writeFile(g().SharedRs, csv, format,
                                                 [](long done, long) { return done == 0; }),
                     frame::exporting::Cancelled);
        EXPECT_EQ(readAll(csv), QByteArray("earlier"));
    }
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("keep.csv*")}, QDir::Files),
              QStringList{QStringLiteral("keep.csv")});
}
