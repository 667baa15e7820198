#include "CommandSupport.h"
#include "Commands.h"
#include "FileReplace.h"
#include "MDI.h"

#include "datawin/Form1.h"
#include "datawin/TableLoader.h"
#include "dbconn/Database.h"
#include "home/ProgramFiles.h"
#include "home/start.h"
#include "platform/PrintArea.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPrinter>
#include <QProgressDialog>

namespace frame::commands {

namespace {

const QString MdbFilter = QStringLiteral("ACCESS (*.mdb)|*.mdb");
// Opening also reads the later Access format; saving writes .mdb only.
const QString OpenFilter = QStringLiteral("ACCESS (*.mdb;*.accdb)|*.mdb;*.accdb");
const QString CaptionStart = QStringLiteral("Tabelko：");

std::string local(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

bool sameFile(const QString& a, const QString& b) {
    const QFileInfo fa(a), fb(b);
    if (fa.exists() && fb.exists()) return fa.canonicalFilePath() == fb.canonicalFilePath();
    return QDir::cleanPath(fa.absoluteFilePath()) == QDir::cleanPath(fb.absoluteFilePath());
}

// Copies `source` to `target` through a temporary file beside the target,
// so an existing target is replaced only by a complete copy. Returns the
// reason of a failure, empty on success.
QString copyInPlace(const QString& source, const QString& target) {
    const std::string temp = freshSibling(local(target), ".new");
    const QString tempPath = QFile::decodeName(QByteArray::fromStdString(temp));
    QFile from(source);
    if (!from.copy(tempPath)) return from.errorString();
    // A copy of a read-only file (an installed template) must be writable.
    QFile::setPermissions(tempPath, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                        QFile::ReadOther);
    std::string why;
    if (!replaceFile(temp, local(target), &why)) {
        removeQuietly(temp);
        return QString::fromStdString(why);
    }
    return QString();
}

// The closing step of the items New, Open, Save and Save as.
bool closeDatabase() {
    if (!commitPendingEdits()) return false;
    if (!dbconn::globals().DbPath.isEmpty()) dbconn::CloseDatabase();
    return true;
}

void newDatabase(MDI& mdi) {
    platform::Services& ui = platform::services();
    dbconn::Globals& g = dbconn::globals();
    const QString blank = home::blankDatabasePath();
    if (!QFileInfo(blank).isFile()) {
        tell(QStringLiteral("找不到空白数据库模板：") + blank);
        return;
    }
    const QString target = newDatabasePath();
    if (target.isEmpty()) {
        tell(QStringLiteral("无法创建文件夹“我的MDB”，新数据库未生成。"));
        return;
    }
    // db1.mdb may hold the user's earlier work.
    if (QFileInfo::exists(target) &&
        ui.MsgBox(QStringLiteral("数据库“") + target +
                      QStringLiteral("”已存在，其中可能保存着您以前的工作。\n"
                                     "是否用新的空数据库替换它？原有内容将无法恢复。"),
                  platform::mb::YesNo, QStringLiteral("新建数据库")) != platform::mb::Yes)
        return;
    if (!closeDatabase()) return;
    if (const QString why = copyInPlace(blank, target); !why.isEmpty()) {
        tell(QStringLiteral("无法创建新数据库“") + target + QStringLiteral("”：") + why);
        return;
    }
    g.DbPath = target;
    dbconn::LoadCatalogueOrReport();
    mdi.setWindowTitle(CaptionStart + g.DbPath);
}

void openDatabase(MDI& mdi) {
    dbconn::Globals& g = dbconn::globals();
    // A cancelled dialog changes nothing: the open database stays open.
    const QString chosen = platform::services().ShowOpen(OpenFilter, g.DbPath);
    if (chosen.isEmpty()) return;
    if (!closeDatabase()) return;
    g.DbPath = chosen;
    mdi.setWindowTitle(CaptionStart + g.DbPath);

    home::start* home = home::homeWindow();
    if (home) home->Unload();
    // This load asks for the password when the file has one; the home
    // window's reload below opens it again with the password just given.
    const bool opened = dbconn::LoadCatalogueOrReport();
    if (!opened) {
        // The failure was reported; no database is chosen now, so the home
        // window comes back empty instead of reporting it a second time.
        g.DbPath.clear();
        mdi.setWindowTitle(QStringLiteral("Tabelko"));
    }
    const QString password = g.DbPassword;
    if (home)
        home->Show();
    else if (mdi.Routes.ShowHome)
        mdi.Routes.ShowHome();

    // The home window's loading goes back to a file named on the command
    // line; the file the user just chose is the one that stays open, with
    // the password just given.
    if (opened && g.DbPath != chosen) {
        g.DbPath = chosen;
        g.DbPassword = password;
        dbconn::LoadCatalogueOrReport();
        if (home) {
            home->setWindowTitle(g.DbPath);
            home->更新列表();
        }
    } else if (!opened && !g.DbPath.isEmpty()) {
        mdi.setWindowTitle(CaptionStart + g.DbPath); // the command-line file is open again
    }
}

void saveAs() {
    dbconn::Globals& g = dbconn::globals();
    if (g.DbPath.isEmpty()) {
        tell(NoDatabase);
        return;
    }
    const QString source = g.DbPath;
    const QString target = platform::services().ShowSave(MdbFilter, source);
    if (target.isEmpty()) return;
    if (sameFile(source, target)) {
        tell(QStringLiteral("不能把数据库另存为它自己：“") + target +
             QStringLiteral("”就是当前的数据库文件。请另选一个文件名。"));
        return;
    }
    if (!closeDatabase()) return;
    if (const QString why = copyInPlace(source, target); !why.isEmpty()) {
        tell(QStringLiteral("无法另存为“") + target + QStringLiteral("”：") + why);
        return;
    }
    tell(QStringLiteral("数据库已另存为“") + target + QStringLiteral("”。"));
}

void exportText() {
    const engine::Recordset& rs = dbconn::globals().SharedRs;
    if (rs.State() == 0 || exporting::exportRowCount(rs) == 0) {
        tell(NoData);
        return;
    }
    const QString path = exportTextPath();
    if (path.isEmpty()) {
        tell(QStringLiteral("找不到可以写入导出文件的文件夹。"));
        return;
    }
    if (!exportWithProgress(rs, path, exporting::Format::TabText)) return;
    tell(ExportDoneStart + QDir::toNativeSeparators(path) + ExportDoneEnd);
    platform::services().Shell(QStringLiteral("notepad ") + path);
}

void print() {
    platform::Services& ui = platform::services();
    if (ui.MsgBox(PrintQuestion, platform::mb::YesNo, QString()) != platform::mb::Yes) return;
    datawin::Form1* form = datawin::defaultForm1(true);
    if (!form) return;
    if (auto* sub = qobject_cast<QMdiSubWindow*>(form->parentWidget())) sub->show();
    form->show();
    if (ui.PrintVisibleArea(*form)) return;
    // Without a printer the page can still be kept as a PDF file.
    if (ui.MsgBox(QStringLiteral("没有可用的打印机，未能打印。是否把可见区域保存为PDF文件？"),
                  platform::mb::YesNo, QString()) != platform::mb::Yes)
        return;
    const QString path = ui.ShowSave(QStringLiteral("PDF 文件 (*.pdf)|*.pdf"), QString());
    if (path.isEmpty()) return;
    if (!printVisibleAreaToPdf(*form, path))
        tell(QStringLiteral("无法写入PDF文件“") + path + QStringLiteral("”。"));
}

} // namespace

QString newDatabasePath() {
    const QString folder = home::myDatabasesFolder();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/db1.mdb");
}

QString exportTextPath() {
    const QString folder = home::userFolder();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/temp.Text");
}

bool printVisibleAreaToPdf(QWidget& widget, const QString& path) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    return platform::printVisibleArea(widget, printer);
}

bool exportWithProgress(const engine::Recordset& rs, const QString& path,
                        exporting::Format format) {
    std::unique_ptr<QProgressDialog> dialog;
    exporting::Progress progress;
    if (exporting::exportRowCount(rs) > ProgressThreshold) {
        dialog = std::make_unique<QProgressDialog>(QStringLiteral("正在导出数据……"),
                                                   QStringLiteral("取消"), 0, 100,
                                                   QApplication::activeWindow());
        dialog->setWindowTitle(QStringLiteral("导出数据"));
        dialog->setWindowModality(Qt::WindowModal);
        dialog->setMinimumDuration(300);
        QProgressDialog* d = dialog.get();
        progress = [d](long done, long total) {
            d->setValue(total > 0 ? static_cast<int>(done * 100 / total) : 100);
            QApplication::processEvents();
            return !d->wasCanceled();
        };
    }
    try {
        exporting::writeFile(rs, path, format, progress);
    } catch (const exporting::Cancelled&) {
        return false;
    }
    return true;
}

void F(MDI& mdi, int Index) {
    switch (Index) {
    case 0:
        newDatabase(mdi);
        break;
    case 2:
        openDatabase(mdi);
        break;
    case 3:
        // Edits are written as they are made; saving closes the database.
        closeDatabase();
        break;
    case 4:
        saveAs();
        break;
    case 6:
        exportText();
        break;
    case 7:
        print();
        break;
    case 9:
        if (!commitPendingEdits()) return;
        platform::services().End();
    default:
        break; // separators
    }
}

} // namespace frame::commands
