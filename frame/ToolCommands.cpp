#include "CommandSupport.h"
#include "Commands.h"
#include "Compact.h"
#include "MDI.h"

#include "dbconn/Database.h"

#include <QApplication>
#include <QFile>

namespace frame::commands {

namespace {

// Writes the current result to a file the user names, as CSV, an Excel
// workbook or tab text, by the name's extension.
void exportAs() {
    const engine::Recordset& rs = dbconn::globals().SharedRs;
    if (rs.State() == 0) {
        tell(NoData);
        return;
    }
    QString name = dbconn::globals().CurrentTable;
    if (name.isEmpty()) name = QStringLiteral("导出数据");
    const QString path = platform::services().ShowSave(
        QStringLiteral(
            "CSV 文件 (*.csv)|*.csv|Excel 工作簿 (*.xlsx)|*.xlsx|文本文件 (*.txt)|*.txt"),
        name + QStringLiteral(".csv"));
    if (path.isEmpty()) return;
    try {
        if (!exportWithProgress(rs, path, exporting::formatFor(path))) return;
    } catch (const std::exception& e) {
        tell(QStringLiteral("导出未能完成：") + QString::fromStdString(e.what()));
        return;
    }
    tell(QStringLiteral("已导出 ") + QString::number(exporting::exportRowCount(rs)) +
         QStringLiteral(" 条记录到“") + path + QStringLiteral("”。"));
}

// True for a file written by Access itself (Jet or ACE format).
bool isAccessFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QByteArray head = f.read(32);
    return head.contains("Standard Jet DB") || head.contains("Standard ACE DB");
}

void compact(int Index) {
    dbconn::Globals& g = dbconn::globals();
    if (g.DbPath.isEmpty()) {
        tell(NoDatabase);
        return;
    }
    platform::Services& ui = platform::services();
    const QString title =
        Index == 4 ? QStringLiteral("设置数据库密码") : QStringLiteral("压缩与修复数据库");
    // The compacted copy is written in this program's own format; a file
    // made by Access would no longer open there afterwards.
    if (isAccessFile(g.DbPath) &&
        ui.MsgBox(
            QStringLiteral("“") + g.DbPath +
                QStringLiteral("”是由Access创建的原始格式文件。\n"
                               "完成后它将以本程序的格式保存，Access等其他程序将无法再打开它。"
                               "是否继续？"),
            platform::mb::YesNo, title) != platform::mb::Yes)
        return;
    if (!commitPendingEdits()) return;
    dbconn::CloseDatabase();
    const QString oldPassword = ui.InputBox(OldPasswordPrompt, title, QString());
    const QString newPassword = ui.InputBox(NewPasswordPrompt, title, QString());

    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        compactInPlace(QFile::encodeName(g.DbPath).toStdString(), oldPassword.toStdString(),
                       newPassword.toStdString());
    } catch (const std::exception& e) {
        QApplication::restoreOverrideCursor();
        tell(QStringLiteral("未能完成：") + QString::fromStdString(e.what()) +
                 QStringLiteral("\n原数据库文件没有改动。"),
             title);
        // The database is opened again as it was before.
        platform::ignoreFailures([] { dbconn::LoadCatalogueOrReport(); });
        return;
    }
    QApplication::restoreOverrideCursor();
    tell(CompactDone, title);
    ui.End();
}

} // namespace

void TOOL(MDI&, int Index) {
    switch (Index) {
    case 0:
    case 1: // the toolbar's "转换"
        exportAs();
        break;
    case 2:
    case 4:
        compact(Index);
        break;
    default:
        break;
    }
}

} // namespace frame::commands

namespace frame {

void installCommands(MDI& mdi) {
    using namespace commands;
    MDI::Commands& r = mdi.Routes;
    r.F = [&mdi](int Index) { F(mdi, Index); };
    r.edit = [&mdi](int Index) { edit(mdi, Index); };
    r.edit1 = [&mdi](int Index) { edit1(mdi, Index); };
    r.SQ = [&mdi](int Index) { SQ(mdi, Index); };
    r.TOOL = [&mdi](int Index) { TOOL(mdi, Index); };
    r.H = [] { H(); };
    r.td = [] { td(); };
}

} // namespace frame
