#pragma once

// The designer's work on the database: the statements it sends, the mode in
// which it sends them, and how an engine failure becomes one of its own
// messages. Shared by both designer windows; no window code here.

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace engine {
class Connection;
}

namespace designer {

// Swallow-and-continue: each step that fails is noted and the next one runs
// all the same. The text of the most recent failure is kept for the mapping
// at the end.
class FailureLog {
public:
    // Runs the step; false when it failed.
    bool run(const std::function<void()>& step);
    bool failed() const { return failed_; }
    const QString& lastText() const { return last_; }

private:
    bool failed_ = false;
    QString last_;
};

// The shared connection DbConn; raises the engine's failure when no
// database is open.
engine::Connection& sharedConnection();

// Stores the statement in CurrentSql and carries it out on DbConn. Raises the
// engine's failure; a closed database is a failure too.
void execute(const QString& statement);

// True when the shared connection takes no structure change: it is open
// read-only, or it is a genuine Jet file (whose rows alone can change).
bool databaseReadOnly();
inline const QString ReadOnlyNote = QStringLiteral(
    "表结构和存储过程不能修改：数据库是原版 Jet 文件（只能修改数据），或以只读方式打开。");

// Column statements.
QString changeColumnSql(const QString& table, const QString& column, const QString& typeWord,
                        bool primaryKey);
QString dropColumnSql(const QString& table, const QString& column);
QString addColumnSql(const QString& table, const QString& column, const QString& typeWord,
                     bool primaryKey);
QString releaseKeySql(const QString& table, const QString& keyName);

// Renames a column through the catalogue. Raises the engine's failure.
void renameColumn(const QString& table, const QString& from, const QString& to);

// The messages a failed column operation shows, in order; empty when the
// failure text matches none of them.
QStringList columnFailureMessages(const QString& failureText, const QString& primaryKeyColumn,
                                  const QString& columnName);

// Put before the engine's text of a refusal that no message of the designer
// covers.
inline const QString NotDone = QStringLiteral("操作未完成：");

inline const QString OtherDatabase =
    QStringLiteral("此窗口显示的是另一个数据库的表，请重新打开“表设计视图”。");

inline const QString NoFieldSelected = QStringLiteral("操作无效：未选择要更改的字段");
inline const QString LastFieldLeft = QStringLiteral("不能删除,表中至少需要一个字段");

// Table statements.
QString dropTableSql(const QString& table);
QString createTableSql(const QString& table);
// Renames a table through the catalogue. Raises the engine's failure.
void renameTable(const QString& from, const QString& to);
// The message of a failed drop or create.
QString tableFailureMessage(const QString& failureText);

inline const QString NoTableSelected = QStringLiteral("操作无效：未选择要更改的数据表");

// Saved queries. A text literal with every quote inside doubled, and a
// query name as it goes into "create proc" and "DROP PROCEDURE" (bracketed
// when it is not a plain identifier).
QString textLiteral(const QString& text);
QString procedureName(const QString& name);

QString createProcSql(const QString& name, const QString& sql);
QString registerSql(const QString& svz, const QString& name, const QString& sql);
QString dropProcSql(const QString& name);
// The delete button's form ends in a quote and one blank, the change
// button's in the quote.
QString unregisterSql(const QString& svz, const QString& name, bool deleteForm);
QString lookupSql(const QString& svz, const QString& name);

inline const QString SqlRefused = QStringLiteral("SQL语法错误，请修正后再提交。");

// Lets the engine check a query text without changing any data: the text is
// carried out inside a transaction that is always rolled back. Returns the
// engine's text of the refusal, or nothing.
std::optional<QString> checkQuery(const QString& sql);

// Creates the stored query and its USys_SVZ row together: both or neither.
// Returns the engine's text of the refusal, or nothing.
std::optional<QString> createSavedQuery(const QString& name, const QString& sql);

// Replaces a saved query's text, keeping its name. A refused new text leaves
// the old query and its row exactly as they were. Returns the refusal.
std::optional<QString> changeSavedQuery(const QString& name, const QString& sql);

// Drops the stored query and deletes its rows; each step runs even when the
// other fails (a query created elsewhere has no row, a row may have lost its
// query).
void deleteSavedQuery(const QString& name);

// The name and SQL text kept for a saved query; nothing when it has no row.
struct SavedQuery {
    QString name;
    QString sql;
};
std::optional<SavedQuery> lookupSavedQuery(const QString& name);

} // namespace designer
