#pragma once

// The frame command tests: the program's windows built and wired as the
// executable builds them, over real database files, with the program folder
// and the XDG folders in a temporary folder.

#include "app/ProgramWiring.h"
#include "datawin/Form1.h"
#include "datawin/TableLoader.h"
#include "dbconn/TestDb.h"
#include "frame/Commands.h"
#include "frame/MDI.h"
#include "home/start.h"

#include <QComboBox>
#include <QDir>
#include <QFile>

#include <memory>

namespace cmdtest {

inline dbconn::Globals& g() {
    return dbconn::globals();
}

inline QString stageDir() {
    return QString::fromUtf8(TABELKO_STAGE_DIR);
}

inline QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Rows of a table in a file, counted through a connection of its own.
inline long rowCount(const QString& path, const std::string& table,
                     const QString& password = QString()) {
    engine::Connection c;
    c.Open(testdb::connectionString(path, password));
    auto rs = c.Execute("select count(*) from " + table);
    const long n = static_cast<long>(rs[0].GetValue().toInt());
    c.Close();
    return n;
}

class Program : public testdb::Fixture {
public:
    Program() {
        qputenv("XDG_DATA_HOME", file(QStringLiteral("xdg-data")).toUtf8());
        qputenv("XDG_CONFIG_HOME", file(QStringLiteral("xdg-config")).toUtf8());
        programDir = file(QStringLiteral("程序"));
        QDir().mkpath(programDir + QStringLiteral("/帮助"));
        QFile::copy(stageDir() + QStringLiteral("/xno.dxl"),
                    programDir + QStringLiteral("/xno.dxl"));
        QFile::copy(stageDir() + QStringLiteral("/帮助/index.html"),
                    programDir + QStringLiteral("/帮助/index.html"));
        services->appPath = programDir;

        shop = file(QStringLiteral("shop.mdb"));
        testdb::createDatabase(
            shop, QString(),
            {"create table Orders (id long primary key, item text(20), amount double)",
             "insert into Orders values (1, '苹果', 3.5)",
             "insert into Orders values (2, '香蕉', 1.25)",
             "insert into Orders values (3, '橙子', 7)"});
    }
    ~Program() override {
        mdi.reset();
        qunsetenv("XDG_DATA_HOME");
        qunsetenv("XDG_CONFIG_HOME");
    }

    // Builds the windows as the program's start does.
    void start(const QString& commandLine = QString()) {
        services->commandLine = commandLine;
        mdi = std::make_unique<frame::MDI>();
        app::installProgramModules();
        mdi->MDIForm_Load();
    }

    void open(const QString& path) {
        g().DbPath = path;
        dbconn::LoadCatalogue();
    }

    // What the table chooser does for a table, shown in the free-SQL window.
    void showInFreeSqlWindow(const QString& table) {
        g().CurrentTable = table;
        g().CurrentSql = QStringLiteral("select * from ") + table;
        dbconn::ShowTable(g().CurrentSql, 0);
    }

    QStringList chooserEntries() const {
        QStringList list;
        for (int i = 0; i < mdi->Combo0->count(); ++i)
            list << mdi->Combo0->itemText(i);
        return list;
    }

    QString programDir, shop;
    std::unique_ptr<frame::MDI> mdi;
};

} // namespace cmdtest
