#pragma once

#include "Services.h"

namespace platform {

// The desktop services of the running program, on Qt's widgets, print
// support and QDesktopServices.
class QtServices : public Services {
public:
    // `commandLine` is the whole command line after the program's name.
    explicit QtServices(QString commandLine = QString());

    int MsgBox(const QString& prompt, int style, const QString& title) override;
    QString InputBox(const QString& prompt, const QString& title,
                     const QString& defaultText) override;
    QString ShowOpen(const QString& filter, const QString& initialName) override;
    QString ShowSave(const QString& filter, const QString& initialName) override;
    bool ChooseFont(QFont& font) override;
    bool PrintVisibleArea(QWidget& widget) override;
    bool Shell(const QString& commandLine) override;
    QString AppPath() override;
    QString Command() override { return commandLine_; }
    [[noreturn]] void End() override;

private:
    QString commandLine_;
};

// Splits a command line the windows write into the program word and the
// rest: "notepad /a b.txt" gives {"notepad", "/a b.txt"}. The rest is one
// argument, as the windows pass one path or address.
std::pair<QString, QString> splitCommand(const QString& commandLine);

} // namespace platform
