#pragma once

// The home window tests: a main frame with the home window installed, over
// real database files, with the XDG folders and the program folder in a
// temporary folder.

#include "dbconn/TestDb.h"
#include "frame/MDI.h"
#include "home/start.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QMdiSubWindow>
#include <QTreeWidget>

#include <memory>

namespace hometest {

inline dbconn::Globals& g() {
    return dbconn::globals();
}

inline QString stageDir() {
    return QString::fromUtf8(TABELKO_STAGE_DIR);
}

class Home : public testdb::Fixture {
public:
    Home() {
        dataHome = file(QStringLiteral("xdg-data"));
        configHome = file(QStringLiteral("xdg-config"));
        qputenv("XDG_DATA_HOME", dataHome.toUtf8());
        qputenv("XDG_CONFIG_HOME", configHome.toUtf8());
        programDir = file(QStringLiteral("程序 目录"));
        QDir().mkpath(programDir);
        services->appPath = programDir;
        mdi = std::make_unique<frame::MDI>();
        home = home::install();
    }
    ~Home() override {
        mdi.reset();
        qunsetenv("XDG_DATA_HOME");
        qunsetenv("XDG_CONFIG_HOME");
    }

    // A database file in the temporary folder, open as the current one.
    QString openDatabase(const QString& name, std::initializer_list<const char*> statements) {
        const QString path = file(name);
        testdb::createDatabase(path, QString(), statements);
        g().DbPath = path;
        dbconn::LoadCatalogue();
        return path;
    }

    // Copies the generated templates into the program folder.
    void installTemplates() {
        const QString from = stageDir() + QStringLiteral("/MDB模板");
        const QString to = programDir + QStringLiteral("/MDB模板");
        QDir().mkpath(to);
        for (const QString& name : QDir(from).entryList(QDir::Files))
            QFile::copy(from + QLatin1Char('/') + name, to + QLatin1Char('/') + name);
    }

    QComboBox& chooser() { return *mdi->Combo0; }
    QStringList listRows() const {
        QStringList rows;
        for (int i = 0; i < home->LV->topLevelItemCount(); ++i)
            rows << home->LV->topLevelItem(i)->text(1);
        return rows;
    }
    QStringList chooserEntries() {
        QStringList entries;
        for (int i = 0; i < chooser().count(); ++i)
            entries << chooser().itemText(i);
        return entries;
    }

    QString dataHome, configHome, programDir;
    std::unique_ptr<frame::MDI> mdi;
    home::start* home = nullptr;
};

} // namespace hometest
