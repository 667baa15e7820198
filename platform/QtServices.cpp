#include "QtServices.h"

#include "platform/PrintArea.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QUrl>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

namespace platform {

namespace {

const QString ProgramName = QStringLiteral("Tabelko");

QWidget* dialogParent() {
    if (QWidget* w = QApplication::activeModalWidget()) return w;
    return QApplication::activeWindow();
}

// The windows write paths with '\' as the folder separator in a few places
// (the program folder joined with "\注册\..."); accept those too.
QString localPath(const QString& path) {
    if (QFileInfo::exists(path)) return path;
    QString slashed = path;
    slashed.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return slashed;
}

bool isAddress(const QString& target) {
    const QUrl url(target, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
                             scheme == QLatin1String("mailto") || scheme == QLatin1String("ftp"));
}

} // namespace

QtServices::QtServices(QString commandLine) : commandLine_(std::move(commandLine)) {}

int QtServices::MsgBox(const QString& prompt, int style, const QString& title) {
    QMessageBox box(dialogParent());
    box.setIcon(QMessageBox::NoIcon);
    box.setWindowTitle(title.isEmpty() ? ProgramName : title);
    box.setText(prompt);
    box.setTextFormat(Qt::PlainText);
    const bool question = (style & 0xF) == mb::YesNo;
    if (question) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    if (style & mb::SystemModal) {
        box.setWindowModality(Qt::ApplicationModal);
        box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    }
    const int clicked = box.exec();
    if (!question) return mb::Ok;
    return clicked == QMessageBox::Yes ? mb::Yes : mb::No;
}

QString QtServices::InputBox(const QString& prompt, const QString& title,
                             const QString& defaultText) {
    QInputDialog dialog(dialogParent());
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setWindowTitle(title.isEmpty() ? ProgramName : title);
    dialog.setLabelText(prompt);
    dialog.setTextValue(defaultText);
    if (dialog.exec() != QDialog::Accepted) return QString();
    return dialog.textValue();
}

QString QtServices::ShowOpen(const QString& filter, const QString& initialName) {
    return QFileDialog::getOpenFileName(dialogParent(), QStringLiteral("打开"), initialName,
                                        qtFilter(filter));
}

QString QtServices::ShowSave(const QString& filter, const QString& initialName) {
    return QFileDialog::getSaveFileName(dialogParent(), QStringLiteral("另存为"), initialName,
                                        qtFilter(filter));
}

bool QtServices::ChooseFont(QFont& font) {
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, font, dialogParent(), QStringLiteral("字体"));
    if (ok) font = chosen;
    return ok;
}

bool QtServices::PrintVisibleArea(QWidget& widget) {
    if (QPrinterInfo::defaultPrinter().isNull()) return false;
    QPrinter printer(QPrinterInfo::defaultPrinter(), QPrinter::HighResolution);
    return printVisibleArea(widget, printer);
}

std::pair<QString, QString> splitCommand(const QString& commandLine) {
    const QString line = commandLine.trimmed();
    const qsizetype space = line.indexOf(QLatin1Char(' '));
    if (space < 0) return {line, QString()};
    return {line.left(space), line.mid(space + 1).trimmed()};
}

bool QtServices::Shell(const QString& commandLine) {
    auto [program, argument] = splitCommand(commandLine);
    const QString word = program.toLower();
    if (word == QLatin1String("notepad") || word == QLatin1String("notepad.exe")) {
        // The desktop's handler for text files is its text editor.
        if (argument.isEmpty()) return false;
        return QDesktopServices::openUrl(QUrl::fromLocalFile(localPath(argument)));
    }
    if (word == QLatin1String("explorer") || word == QLatin1String("explorer.exe")) {
        if (argument.isEmpty())
            return QDesktopServices::openUrl(QUrl::fromLocalFile(QDir::homePath()));
        if (isAddress(argument)) return QDesktopServices::openUrl(QUrl(argument));
        return QDesktopServices::openUrl(QUrl::fromLocalFile(localPath(argument)));
    }
    if (program.isEmpty()) return false;
    QStringList arguments;
    if (!argument.isEmpty()) arguments << argument;
    return QProcess::startDetached(program, arguments);
}

QString QtServices::AppPath() {
    return QCoreApplication::applicationDirPath();
}

void QtServices::End() {
    // At once: no window is asked to close and no handler runs afterwards.
    // The database file is left as SQLite leaves it after any abrupt end,
    // consistent as of its last committed statement.
    std::fflush(nullptr);
    std::_Exit(0);
}

} // namespace platform
