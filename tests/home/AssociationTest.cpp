// The .mdb association: a desktop entry naming this program folder's
// executable, the MIME defaults in mimeapps.list and the icons, written in
// the XDG folders the tests point at temporary folders.

#include "HomeTestSupport.h"

#include "home/FileAssociation.h"
#include "home/ProgramFiles.h"

#include <QFileInfo>

using namespace hometest;

namespace {

QString read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

class Association : public Home {
public:
    Association() {
        // The icons the build generates, beside the program.
        const QString icons = programDir + QStringLiteral("/图标");
        QDir().mkpath(icons);
        for (const QString& name :
             QDir(stageDir() + QStringLiteral("/图标")).entryList(QDir::Files))
            QFile::copy(stageDir() + QStringLiteral("/图标/") + name, icons + '/' + name);
    }
};

TEST_F(Association, RegisteredOnceAndNotAgainWhileItNamesThisExecutable) {
    home->Show();
    const QString entry = dataHome + QStringLiteral("/applications/tabelko.desktop");
    ASSERT_TRUE(QFileInfo::exists(entry));
    const QString text = read(entry);
    // A path with a blank is quoted for the desktop.
    EXPECT_TRUE(
        text.contains(QStringLiteral("Exec=\"") + programDir + QStringLiteral("/tabelko\" %f\n")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(
        QStringLiteral("MimeType=application/x-msaccess;application/vnd.ms-access;")));
    EXPECT_EQ(home::registeredExec(), home::execLine(home::executablePath()));

    const QString mimeApps = read(configHome + QStringLiteral("/mimeapps.list"));
    EXPECT_TRUE(mimeApps.contains(QStringLiteral("[Default Applications]\n")));
    EXPECT_TRUE(mimeApps.contains(QStringLiteral("application/x-msaccess=tabelko.desktop;\n")));
    EXPECT_TRUE(mimeApps.contains(QStringLiteral("application/vnd.ms-access=tabelko.desktop;\n")));
    EXPECT_TRUE(
        QFileInfo::exists(dataHome + QStringLiteral("/icons/hicolor/48x48/apps/tabelko.png")));
    EXPECT_TRUE(QFileInfo::exists(
        dataHome + QStringLiteral("/icons/hicolor/32x32/mimetypes/application-x-msaccess.png")));
    EXPECT_TRUE(
        QFileInfo::exists(dataHome + QStringLiteral("/icons/hicolor/scalable/apps/tabelko.svg")));

    // Loading again finds it in place and writes nothing.
    QFile::remove(configHome + QStringLiteral("/mimeapps.list"));
    home->Unload();
    home->Show();
    EXPECT_FALSE(home::checkAssociation());
    EXPECT_FALSE(QFileInfo::exists(configHome + QStringLiteral("/mimeapps.list")));

    // Moved to another folder, it registers again.
    services->appPath = file(QStringLiteral("elsewhere"));
    EXPECT_TRUE(home::checkAssociation());
    EXPECT_EQ(home::registeredExec(),
              home::execLine(services->appPath + QStringLiteral("/tabelko")));
}

TEST_F(Association, OtherEntriesOfMimeAppsListAreKept) {
    const QString before = QStringLiteral("[Added Associations]\n"
                                          "text/plain=gedit.desktop;\n"
                                          "\n"
                                          "[Default Applications]\n"
                                          "text/html=firefox.desktop;\n"
                                          "application/x-msaccess=other.desktop;\n"
                                          "\n"
                                          "[Removed Associations]\n"
                                          "image/png=gimp.desktop;\n");
    EXPECT_EQ(home::withDefaults(before, home::MdbMimeTypes, home::DesktopFileName),
              QStringLiteral("[Added Associations]\n"
                             "text/plain=gedit.desktop;\n"
                             "\n"
                             "[Default Applications]\n"
                             "text/html=firefox.desktop;\n"
                             "application/x-msaccess=tabelko.desktop;\n"
                             "application/vnd.ms-access=tabelko.desktop;\n"
                             "\n"
                             "[Removed Associations]\n"
                             "image/png=gimp.desktop;\n"));
    EXPECT_EQ(home::withDefaults(QString(), {QStringLiteral("a/b")}, QStringLiteral("t.desktop")),
              QStringLiteral("[Default Applications]\na/b=t.desktop;\n"));
}

TEST_F(Association, NoRightsToWriteDoesNotStopTheProgram) {
    // The data and config folders are files: nothing can be written there.
    QDir(dataHome).removeRecursively();
    QDir(configHome).removeRecursively();
    for (const QString& path : {dataHome, configHome}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    const QString db = file(QStringLiteral("a.mdb"));
    testdb::createDatabase(db, QString(), {"create table T (id long)"});
    services->commandLine = db;
    EXPECT_NO_THROW(home->Show());
    EXPECT_TRUE(services->messages.empty());
    EXPECT_EQ(chooserEntries(), QStringList{QStringLiteral("T")});
    EXPECT_TRUE(home::registeredExec().isEmpty());
}

TEST_F(Association, ExecOfAPathWithSpecialCharactersReadsBack) {
    const QString odd = QStringLiteral("/opt/my $dir/a\"b\\c%d");
    EXPECT_EQ(home::execLine(odd), QStringLiteral("\"/opt/my \\$dir/a\\\"b\\\\c%%d\" %f"));
    services->appPath = odd;
    ASSERT_TRUE(home::checkAssociation());
    EXPECT_EQ(home::registeredExec(), home::execLine(home::executablePath()));
    EXPECT_FALSE(home::checkAssociation());
}

} // namespace
