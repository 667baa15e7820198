#include "FileAssociation.h"

#include "ProgramFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringConverter>
#include <QTextStream>

namespace home {

namespace {

// A desktop entry string value escapes the backslash itself; an Exec
// argument in double quotes escapes ", `, $ and \ once more.
QString quotedExecArgument(const QString& argument) {
    QString quoted;
    for (QChar c : argument) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    quoted.replace(QLatin1String("%"), QLatin1String("%%"));
    quoted = QLatin1Char('"') + quoted + QLatin1Char('"');
    return quoted;
}

QString escapeValue(const QString& value) {
    QString escaped = value;
    escaped.replace(QLatin1String("\\"), QLatin1String("\\\\"));
    escaped.replace(QLatin1String("\n"), QLatin1String("\\n"));
    return escaped;
}

QString unescapeValue(const QString& value) {
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == QLatin1Char('\\') && i + 1 < value.size()) {
            const QChar next = value[++i];
            if (next == QLatin1Char('n'))
                out += QLatin1Char('\n');
            else if (next == QLatin1Char('t'))
                out += QLatin1Char('\t');
            else if (next == QLatin1Char('s'))
                out += QLatin1Char(' ');
            else
                out += next; // "\\" and anything unknown
        } else {
            out += value[i];
        }
    }
    return out;
}

bool writeText(const QString& path, const QString& text) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(text.toUtf8());
    return file.commit();
}

QString readText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return QString();
    return QString::fromUtf8(file.readAll());
}

bool copyReplacing(const QString& source, const QString& destination) {
    if (!QFileInfo::exists(source)) return false;
    if (!QDir().mkpath(QFileInfo(destination).absolutePath())) return false;
    QFile::remove(destination);
    return QFile::copy(source, destination);
}

// The icons the build generates beside mdb.ico, installed under the names
// the desktop looks up: the program's own and the .mdb MIME type's.
bool installIcons() {
    const QString icons = dataHome() + QStringLiteral("/icons/hicolor");
    const QString folder = programFolder() + QStringLiteral("/图标");
    bool ok = true;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString source = folder + QStringLiteral("/mdb-%1.png").arg(size);
        const QString sizeDir = icons + QStringLiteral("/%1x%1").arg(size);
        ok &= copyReplacing(source, sizeDir + QStringLiteral("/apps/tabelko.png"));
        for (const QString& type : MdbMimeTypes) {
            QString name = type;
            name.replace(QLatin1Char('/'), QLatin1Char('-'));
            ok &= copyReplacing(source, sizeDir + QStringLiteral("/mimetypes/") + name +
                                            QStringLiteral(".png"));
        }
    }
    ok &= copyReplacing(folder + QStringLiteral("/mdb.svg"),
                        icons + QStringLiteral("/scalable/apps/tabelko.svg"));
    return ok;
}

QString desktopEntry(const QString& executable) {
    QStringList lines = {
        QStringLiteral("[Desktop Entry]"),
        QStringLiteral("Type=Application"),
        QStringLiteral("Name=Tabelko"),
        QStringLiteral("Name[zh_CN]=Tabelko 数据库管理器"),
        QStringLiteral("GenericName=Database Manager"),
        QStringLiteral("GenericName[zh_CN]=MDB 数据库管理器"),
        QStringLiteral("Comment=Open, edit and design .mdb databases"),
        QStringLiteral("Comment[zh_CN]=打开、编辑和设计 MDB 数据库"),
        QStringLiteral("Exec=") + escapeValue(execLine(executable)),
        QStringLiteral("Icon=tabelko"),
        QStringLiteral("Terminal=false"),
        QStringLiteral("Categories=Office;Database;"),
        QStringLiteral("MimeType=") + MdbMimeTypes.join(QLatin1Char(';')) + QLatin1Char(';'),
    };
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace

QString desktopEntryPath() {
    return dataHome() + QStringLiteral("/applications/") + DesktopFileName;
}

QString mimeAppsPath() {
    return configHome() + QStringLiteral("/mimeapps.list");
}

QString execLine(const QString& executable) {
    return quotedExecArgument(executable) + QStringLiteral(" %f");
}

QString registeredExec() {
    const QString text = readText(desktopEntryPath());
    bool inMainGroup = false;
    for (const QString& raw : text.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inMainGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inMainGroup) continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0 || line.left(eq).trimmed() != QLatin1String("Exec")) continue;
        return unescapeValue(line.mid(eq + 1).trimmed());
    }
    return QString();
}

QString withDefaults(const QString& mimeApps, const QStringList& mimeTypes,
                     const QString& desktopFile) {
    QStringList lines = mimeApps.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();

    const QString group = QStringLiteral("[Default Applications]");
    qsizetype start = -1;
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (lines[i].trimmed() == group) start = i;
    if (start < 0) {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty()) lines << QString();
        lines << group;
        start = lines.size() - 1;
    }
    qsizetype end = start + 1;
    while (end < lines.size() && !lines[end].trimmed().startsWith(QLatin1Char('[')))
        ++end;

    for (const QString& type : mimeTypes) {
        const QString entry = type + QLatin1Char('=') + desktopFile + QLatin1Char(';');
        bool replaced = false;
        for (qsizetype i = start + 1; i < end; ++i) {
            const QString line = lines[i].trimmed();
            const qsizetype eq = line.indexOf(QLatin1Char('='));
            if (eq > 0 && line.left(eq).trimmed() == type) {
                lines[i] = entry;
                replaced = true;
            }
        }
        if (!replaced) {
            // After the group's last non-empty line, so a blank line before
            // the next group stays where it is.
            qsizetype at = end;
            while (at > start + 1 && lines[at - 1].trimmed().isEmpty())
                --at;
            lines.insert(at, entry);
            ++end;
        }
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

bool registerAssociation() {
    bool ok = writeText(desktopEntryPath(), desktopEntry(executablePath()));
    ok &= writeText(mimeAppsPath(),
                    withDefaults(readText(mimeAppsPath()), MdbMimeTypes, DesktopFileName));
    ok &= installIcons();
    return ok;
}

bool checkAssociation() {
    if (registeredExec() == execLine(executablePath())) return false;
    // No rights to write is not a reason to stop the program.
    registerAssociation();
    return true;
}

} // namespace home
