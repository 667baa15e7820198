#pragma once

#include <QString>
#include <QStringList>

// The program as the desktop's handler of .mdb files, the freedesktop way:
// a desktop entry in $XDG_DATA_HOME/applications whose Exec names this
// program folder's executable, the .mdb MIME types defaulting to it in
// $XDG_CONFIG_HOME/mimeapps.list, and the icon in the user's hicolor theme.
namespace home {

inline const QString DesktopFileName = QStringLiteral("tabelko.desktop");
inline const QStringList MdbMimeTypes = {QStringLiteral("application/x-msaccess"),
                                         QStringLiteral("application/vnd.ms-access")};

// Where the pieces go, from the XDG folders.
QString desktopEntryPath();
QString mimeAppsPath();

// The Exec value that starts `executable` with the double-clicked file.
QString execLine(const QString& executable);

// The Exec value of the registered desktop entry, or empty when there is
// none.
QString registeredExec();

// Writes the desktop entry, the MIME defaults and the icons. Other entries
// of mimeapps.list are kept. Returns false when something could not be
// written; what could be written stays.
bool registerAssociation();

// The home window's check: registers when the desktop entry is missing or
// its Exec does not name this program folder's executable. Never fails;
// returns true when it registered.
bool checkAssociation();

// mimeapps.list text with `mimeTypes` defaulting to `desktopFile` in its
// [Default Applications] group; every other line is kept as it was.
QString withDefaults(const QString& mimeApps, const QStringList& mimeTypes,
                     const QString& desktopFile);

} // namespace home
