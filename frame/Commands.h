#pragma once

#include <QString>

class QWidget;

// The file, edit, view, tool, help and about commands of the main frame.
namespace frame {

class MDI;

// Fills the frame's routes with the commands below. Called once where the
// program builds its windows.
void installCommands(MDI& mdi);

namespace commands {

// The menu handlers, by item index.
void F(MDI& mdi, int Index);
void edit(MDI& mdi, int Index);
void edit1(MDI& mdi, int Index);
void SQ(MDI& mdi, int Index);
void TOOL(MDI& mdi, int Index);
void H();
void td();

// Where New puts the new database: 我的MDB/db1.mdb in the user's folder
// (the program folder when writable). Empty when the folder cannot be made.
QString newDatabasePath();
// The text export's file temp.Text, beside 我的MDB.
QString exportTextPath();

// Writes the visible area of `widget` as one page of a PDF file.
bool printVisibleAreaToPdf(QWidget& widget, const QString& path);

// Exports above this many rows show a progress dialog with a cancel button.
inline constexpr long ProgressThreshold = 10000;

inline const QString ExportDoneStart = QStringLiteral("当前数据表已保存为");
inline const QString ExportDoneEnd =
    QStringLiteral("标准数据文本,你可以在EXCEL\\WORD等程序中导入或应用该文本文件。");
inline const QString PrintQuestion =
    QStringLiteral("本次将打印可见区域。请准备好A4纸张，并确保默认打印机就绪。");
inline const QString SqlPrompt = QStringLiteral("请输入标准SQL");
inline const QString SqlTitle = QStringLiteral("SQL查询");
inline const QString SqlFailure = QStringLiteral("SQL语法错误或字段不存在 ");
inline const QString OldPasswordPrompt = QStringLiteral("请输入旧密码，若没有密码，请直接确定");
inline const QString NewPasswordPrompt = QStringLiteral("请输入您的新密码，若没有密码，请直接确定");
inline const QString CompactDone = QStringLiteral("设置完毕，请重新打开文件。");
inline const QString NoData = QStringLiteral("当前没有打开的数据，请先选择一个数据表。");
inline const QString NoDatabase = QStringLiteral("请先打开数据库。");
inline const QString SelectTableFirst = QStringLiteral("请先打开数据库,并选择数据表");

} // namespace commands
} // namespace frame
