#include "Operations.h"

#include "dbconn/Globals.h"
#include "dbconn/SqlName.h"
#include "engine/Catalog.h"
#include "engine/base/Messages.h"

#include <stdexcept>

namespace designer {

namespace {

std::string utf8(const QString& s) {
    return s.toStdString();
}

QString failureText(const std::exception& e) {
    return QString::fromUtf8(e.what());
}

// Runs `work` inside a transaction on DbConn: kept when it finishes, undone
// when it raises. Returns the refusal's text.
std::optional<QString> together(const std::function<void(engine::Connection&)>& work,
                                bool keep = true) {
    try {
        engine::Connection& c = sharedConnection();
        c.BeginTrans();
        try {
            work(c);
        } catch (...) {
            c.RollbackTrans();
            throw;
        }
        if (keep)
            c.CommitTrans();
        else
            c.RollbackTrans();
        return std::nullopt;
    } catch (const std::runtime_error& e) {
        return failureText(e);
    }
}

} // namespace

engine::Connection& sharedConnection() {
    dbconn::Globals& g = dbconn::globals();
    if (!g.DbConn || g.DbConn->State() == 0) engine::msg::raise(engine::msg::ConnectionClosed);
    return *g.DbConn;
}

bool FailureLog::run(const std::function<void()>& step) {
    try {
        step();
        return true;
    } catch (const std::runtime_error& e) {
        failed_ = true;
        last_ = failureText(e);
        return false;
    }
}

void execute(const QString& statement) {
    dbconn::globals().CurrentSql = statement;
    sharedConnection().Execute(utf8(statement));
}

bool databaseReadOnly() {
    const dbconn::Globals& g = dbconn::globals();
    // A genuine Jet file takes row changes, not structure changes.
    return g.DbConn && g.DbConn->State() != 0 && g.DbConn->SchemaReadOnly();
}

QString changeColumnSql(const QString& table, const QString& column, const QString& typeWord,
                        bool primaryKey) {
    return QStringLiteral("ALTER TABLE [") + table + QStringLiteral("]  Alter COLUMN [") + column +
           QStringLiteral("] ") + typeWord +
           (primaryKey ? QStringLiteral(" primary key ") : QString());
}

QString dropColumnSql(const QString& table, const QString& column) {
    return QStringLiteral("alter table [") + table + QStringLiteral("] drop ") + column;
}

QString addColumnSql(const QString& table, const QString& column, const QString& typeWord,
                     bool primaryKey) {
    return QStringLiteral("ALTER TABLE [") + table + QStringLiteral("] ADD  COLUMN ") + column +
           QLatin1Char(' ') + typeWord + (primaryKey ? QStringLiteral(" primary key ") : QString());
}

QString releaseKeySql(const QString& table, const QString& keyName) {
    return QStringLiteral("alter table [") + table + QStringLiteral("] Drop constraint ") + keyName;
}

void renameColumn(const QString& table, const QString& from, const QString& to) {
    engine::Catalog catalog;
    catalog.SetActiveConnection(sharedConnection());
    catalog.Tables()[utf8(table.trimmed())].Columns()[utf8(from)].SetName(utf8(to));
    catalog.Tables().Refresh();
}

QStringList columnFailureMessages(const QString& failureText, const QString& primaryKeyColumn,
                                  const QString& columnName) {
    // The tests run one after the other, so one failure may show two
    // messages.
    QStringList messages;
    if (failureText.contains(QStringLiteral("自动编号")))
        messages << QStringLiteral("操作无效：一个表中不允许有两个或两个以上“自动编号Counter”");
    if (failureText.contains(QStringLiteral("主键")))
        messages << QStringLiteral(
            "操作无效：一个表中不允许有两个或两个以上“自动编号(Counter类型)”");
    if (failureText.contains(QStringLiteral("主控键")) && primaryKeyColumn != columnName)
        messages << QStringLiteral("操作无效：一个表中不允许有两个或两个以上“主键”");
    return messages;
}

QString dropTableSql(const QString& table) {
    return QStringLiteral("Drop table [") + table + QStringLiteral("]");
}

QString createTableSql(const QString& table) {
    return QStringLiteral("Create TABLE [") + table + QStringLiteral("](说明 text(50) NULL)");
}

void renameTable(const QString& from, const QString& to) {
    engine::Catalog catalog;
    catalog.SetActiveConnection(sharedConnection());
    catalog.Tables()[utf8(from.trimmed())].SetName(utf8(to));
    catalog.Tables().Refresh();
}

QString tableFailureMessage(const QString& failureText) {
    if (failureText.contains(QStringLiteral("已存在"))) return QStringLiteral("该表已存在");
    return QStringLiteral("操作无效：你可能填写了不规范的字符");
}

QString textLiteral(const QString& text) {
    QString doubled = text;
    doubled.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + doubled + QLatin1Char('\'');
}

QString procedureName(const QString& name) {
    return dbconn::SqlName(name);
}

QString createProcSql(const QString& name, const QString& sql) {
    return QStringLiteral("create proc ") + procedureName(name) + QStringLiteral(" as ") + sql +
           QLatin1Char(';');
}

QString registerSql(const QString& svz, const QString& name, const QString& sql) {
    return QStringLiteral("insert into ") + svz + QStringLiteral(" (name, sqlstr) VALUES (") +
           textLiteral(name) + QStringLiteral(", ") + textLiteral(sql) + QLatin1Char(')');
}

QString dropProcSql(const QString& name) {
    return QStringLiteral("DROP PROCEDURE ") + procedureName(name);
}

QString unregisterSql(const QString& svz, const QString& name, bool deleteForm) {
    return QStringLiteral("delete from ") + svz + QStringLiteral(" WHERE Name =") +
           textLiteral(name) + (deleteForm ? QStringLiteral(" ") : QString());
}

QString lookupSql(const QString& svz, const QString& name) {
    return QStringLiteral("select * from ") + svz + QStringLiteral(" where name=") +
           textLiteral(name);
}

std::optional<QString> checkQuery(const QString& sql) {
    // A select only reads; an action query's changes are undone with the
    // rest, so checking never changes the data.
    return together(
        [&](engine::Connection& c) {
            dbconn::globals().CurrentSql = sql;
            c.Execute(utf8(sql));
        },
        false);
}

std::optional<QString> createSavedQuery(const QString& name, const QString& sql) {
    const QString svz = dbconn::globals().SysTableName;
    return together([&](engine::Connection&) {
        execute(createProcSql(name, sql));
        execute(registerSql(svz, name, sql));
    });
}

std::optional<QString> changeSavedQuery(const QString& name, const QString& sql) {
    const QString svz = dbconn::globals().SysTableName;
    return together([&](engine::Connection&) {
        // A query whose stored part or row is missing already can still be
        // given its new text.
        FailureLog removal;
        removal.run([&] { execute(dropProcSql(name)); });
        removal.run([&] { execute(unregisterSql(svz, name, false)); });
        execute(createProcSql(name, sql));
        execute(registerSql(svz, name, sql));
    });
}

void deleteSavedQuery(const QString& name) {
    const QString svz = dbconn::globals().SysTableName;
    FailureLog log;
    log.run([&] { execute(dropProcSql(name)); });
    log.run([&] { execute(unregisterSql(svz, name, true)); });
}

std::optional<SavedQuery> lookupSavedQuery(const QString& name) {
    dbconn::Globals& g = dbconn::globals();
    if (g.SysTableName.isEmpty()) return std::nullopt;
    std::optional<SavedQuery> found;
    FailureLog log;
    log.run([&] {
        const QString sql = lookupSql(g.SysTableName, name);
        g.CurrentSql = sql;
        engine::Recordset rs;
        rs.Open(utf8(sql), sharedConnection(), 1, 1, -1);
        if (rs.Eof()) return;
        found = SavedQuery{QString::fromStdString(rs["name"].GetValue().toText()),
                           QString::fromStdString(rs["sqlstr"].GetValue().toText())};
        rs.Close();
    });
    return found;
}

} // namespace designer
