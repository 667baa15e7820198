#include "ProgramFiles.h"

#include "platform/Services.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace home {

namespace {

const QString MyDatabases = QStringLiteral("我的MDB");

QString xdgFolder(const char* variable, const QString& fallbackUnderHome) {
    const QString value = qEnvironmentVariable(variable);
    // XDG base directories must be absolute; a relative value is ignored.
    if (!value.isEmpty() && QDir::isAbsolutePath(value)) return QDir::cleanPath(value);
    return QDir::homePath() + QLatin1Char('/') + fallbackUnderHome;
}

// True when files can be created in `folder` (it exists or can be made).
bool canWriteIn(const QString& folder) {
    if (!QDir().mkpath(folder)) return false;
    const QFileInfo info(folder);
    return info.isDir() && info.isWritable();
}

// Copies the installed files of 我的MDB that the user's folder lacks; what
// the user already has is never replaced.
void seed(const QString& installed, const QString& target) {
    QDirIterator it(installed, QDir::Files);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString destination = target + QLatin1Char('/') + it.fileName();
        if (QFileInfo::exists(destination)) continue;
        if (QFile::copy(source, destination))
            QFile::setPermissions(destination, QFile::ReadOwner | QFile::WriteOwner |
                                                   QFile::ReadGroup | QFile::ReadOther);
    }
}

} // namespace

QString programFolder() {
    QString folder = platform::services().AppPath();
    while (folder.size() > 1 && (folder.endsWith(QLatin1Char('/')) || folder.endsWith('\\')))
        folder.chop(1);
    return folder;
}

QString executablePath() {
    return programFolder() + QStringLiteral("/tabelko");
}

QString blankDatabasePath() {
    return programFolder() + QStringLiteral("/xno.dxl");
}

QString templateFolder() {
    return programFolder() + QStringLiteral("/MDB模板");
}

QString templatePath(const QString& fileName) {
    return templateFolder() + QLatin1Char('/') + fileName;
}

QString iconPath() {
    return programFolder() + QStringLiteral("/mdb.ico");
}

QString referencePath() {
    return programFolder() + QStringLiteral("/注册/经典SQL语句大全.txt");
}

QString helpPagePath() {
    return programFolder() + QStringLiteral("/帮助/index.html");
}

QString dataHome() {
    return xdgFolder("XDG_DATA_HOME", QStringLiteral(".local/share"));
}

QString configHome() {
    return xdgFolder("XDG_CONFIG_HOME", QStringLiteral(".config"));
}

QString userFolder() {
    const QString program = programFolder();
    const QString installed = program + QLatin1Char('/') + MyDatabases;
    if (canWriteIn(installed)) return program;

    const QString own = dataHome() + QStringLiteral("/tabelko");
    const QString ownDatabases = own + QLatin1Char('/') + MyDatabases;
    if (!canWriteIn(ownDatabases)) return QString();
    seed(installed, ownDatabases);
    return own;
}

QString myDatabasesFolder() {
    const QString folder = userFolder();
    if (folder.isEmpty()) return QString();
    return folder + QLatin1Char('/') + MyDatabases;
}

QString workingCopyPath() {
    const QString folder = myDatabasesFolder();
    if (folder.isEmpty()) return QString();
    return folder + QStringLiteral("/db0.mdb");
}

} // namespace home
