// The tabelko program: the main frame over the shared database connection.

#include "app/ProgramWiring.h"
#include "dbconn/Database.h"
#include "frame/MDI.h"
#include "platform/QtServices.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tabelko"));

    // Qt's own dialogs and standard buttons in Chinese.
    QTranslator qtbase;
    if (qtbase.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                    QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtbase);

    // The whole command line after the program's name is one database path,
    // even when the shell split a path with blanks into several arguments.
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    const QString commandLine = arguments.join(QLatin1Char(' '));
    platform::setServices(std::make_unique<platform::QtServices>(commandLine));

    int result = 0;
    {
        frame::MDI mdi;
        // The windows fill the routing points the frame and the connection
        // module call: the table loader, the home window and the commands.
        app::installProgramModules();
        mdi.show();
        mdi.MDIForm_Load();

        // The home window opens the command-line database when it loads;
        // while the program has none, the frame does it here.
        if (!mdi.Routes.ShowHome && !commandLine.isEmpty()) {
            QTimer::singleShot(0, &mdi, [commandLine] {
                dbconn::globals().DbPath = commandLine;
                dbconn::LoadCatalogueOrReport();
            });
        }
        result = QApplication::exec();
    }
    // Connections and recordsets go before the services and the application.
    dbconn::resetGlobals();
    platform::setServices(nullptr);
    return result;
}
