#pragma once

// Helpers shared by the window tests: a Qt application on the offscreen
// platform, fresh program-wide values per test, and real database files in a
// temporary folder.

#include "dbconn/Database.h"
#include "engine/Connection.h"
#include "engine/ConnectionString.h"
#include "platform/ScriptedServices.h"

#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <initializer_list>
#include <ostream>
#include <string>

// Readable QString values in failure output.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace testdb {

// One QApplication for the whole test program, deleted after the last test
// and before static destruction, when Qt's own statics are still alive.
class AppEnvironment : public ::testing::Environment {
public:
    static QApplication& app() {
        static int argc = 1;
        static char name[] = "tabelko_tests";
        static char* argv[] = {name, nullptr};
        if (!instance) instance = new QApplication(argc, argv);
        return *instance;
    }
    void TearDown() override {
        delete instance;
        instance = nullptr;
    }

private:
    static inline QApplication* instance = nullptr;
};

inline ::testing::Environment* const appEnvironment =
    ::testing::AddGlobalTestEnvironment(new AppEnvironment);

inline QApplication& app() {
    return AppEnvironment::app();
}

inline std::string connectionString(const QString& path, const QString& password) {
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
           engine::ConnectionString::quoteValue(path.toStdString()) +
           ";Jet OLEDB:Database Password=" +
           engine::ConnectionString::quoteValue(password.toStdString()) + ";";
}

// Creates a database file and runs Jet statements on it.
inline void createDatabase(const QString& path, const QString& password = QString(),
                           std::initializer_list<const char*> statements = {}) {
    engine::Connection::CreateDatabase(path.toStdString(), password.toStdString());
    if (statements.size() == 0) return;
    engine::Connection c;
    c.Open(connectionString(path, password));
    for (const char* s : statements)
        c.Execute(s);
    c.Close();
}

// Names of the tables and views of a file, as its schema lists them.
inline QStringList schemaNames(const QString& path, const QString& password = QString()) {
    engine::Connection c;
    c.Open(connectionString(path, password));
    QStringList names;
    for (auto rs = c.OpenSchema(20); !rs.Eof(); rs.MoveNext())
        names << QString::fromStdString(rs["TABLE_NAME"].GetValue().toText());
    return names;
}

// Per test: scripted services, program-wide values back at their start.
class Fixture : public ::testing::Test {
protected:
    Fixture() {
        app();
        dbconn::resetGlobals();
    }
    ~Fixture() override { dbconn::resetGlobals(); }

    QString file(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    platform::ScopedScriptedServices services;
};

} // namespace testdb
