#pragma once

#include <QString>

// Where the files shipped beside the program are, and where the parts the
// user writes go. The program folder is the executable's folder. When it is
// not writable (a system-wide install), the writable parts live in the
// user's data folder, $XDG_DATA_HOME/tabelko, seeded from the installed
// copies on first use.
namespace home {

// The folder of the executable, without a trailing separator.
QString programFolder();
// The program itself, as the desktop entry names it.
QString executablePath();

QString blankDatabasePath(); // xno.dxl
QString templateFolder();    // MDB模板
QString templatePath(const QString& fileName);
QString iconPath();      // mdb.ico
QString referencePath(); // 注册/经典SQL语句大全.txt
QString helpPagePath();  // 帮助/index.html

// $XDG_DATA_HOME, or ~/.local/share when it is unset or not absolute.
QString dataHome();
// $XDG_CONFIG_HOME, or ~/.config when it is unset or not absolute.
QString configHome();

// The folder holding 我的MDB and the exports: the program folder when the
// user may write there, otherwise $XDG_DATA_HOME/tabelko (created and seeded
// with the installed 我的MDB files it lacks). Empty when neither can be made.
QString userFolder();
// userFolder() + "/我的MDB", created when missing. Empty when it cannot be.
QString myDatabasesFolder();
// The wizard's working copy 我的MDB/db0.mdb (empty when there is no folder).
QString workingCopyPath();

} // namespace home
