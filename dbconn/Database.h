#pragma once

#include "Globals.h"
#include "SqlName.h"

#include <QString>

#include <stdexcept>

namespace dbconn {

inline const QString PasswordPrompt = QStringLiteral("请输入数据库密码，若要强制退出，请输入END");
inline const QString PasswordTitle = QStringLiteral("数据库密码");
inline const QString EmptyDatabaseQuestion = QStringLiteral("该数据库没有表，是否现在创建新表？");
inline const QString EmptyDatabaseTitle = QStringLiteral("新建数据库或空数据库");
inline const QString SavedQueryTable = QStringLiteral("USys_SVZ");

// The connection string for DbPath and DbPassword. Values that would break
// the string (a ';', a quote, blanks at either end) are quoted, so every
// password the user can type reaches the engine unchanged.
QString ConnectionString();

// The statement that creates the saved-query table.
QString CreateSavedQueryTableSql();

// Opens DbConn on DbPath, asking for the password while the engine says it
// is wrong. Typing END or end ends the program after one more attempt.
// Other failures are not reported here: DbConn stays not open and
// LastOpenFailure says why.
void OpenConnection();

// Writes the rows being typed in the data windows, then drops the shared
// connection and unloads the structure view and the free-SQL data window.
// Per-table windows, DbPath and the chooser stay; the table windows of the
// closed file say that it is closed. Returns false, closing nothing, when a
// row was refused and the user chose to keep editing it.
bool CloseDatabase();

// Writes the rows being typed in every data window (see
// Hooks::CommitPendingEdits). True when nothing is left unwritten or the
// user let it go; false when the user keeps editing.
bool CommitPendingEdits();

// Reconnects, lists the tables and saved queries in the frame's chooser,
// offers to create a first table when there is none, enables the commands
// that need a database and creates USys_SVZ when it is missing.
// When the database did not open, raises the open failure to the caller.
void LoadCatalogue();

// LoadCatalogue for callers that present failures: a database that does not
// open is reported in a message box with the reason. Returns false then.
bool LoadCatalogueOrReport();

// Shows a failure of opening the database DbPath.
void ReportOpenFailure(const std::exception& failure);

// The table loader; see Hooks::ShowTable.
void ShowTable(const QString& source, int slot);

} // namespace dbconn
