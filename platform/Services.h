#pragma once

#include <QFont>
#include <QString>

#include <functional>
#include <memory>

class QWidget;

namespace platform {

// Message box styles and answers, with the values the windows pass and test.
namespace mb {
inline constexpr int OkOnly = 0;
inline constexpr int YesNo = 4;
// Added to the style: the box stays above every window of the program.
inline constexpr int SystemModal = 4096;

inline constexpr int Ok = 1;
inline constexpr int Yes = 6;
inline constexpr int No = 7;
} // namespace mb

// Every desktop service a window asks for. The program uses the Qt
// implementation (QtServices); tests install a ScriptedServices that answers
// from queues and records what was asked.
class Services {
public:
    virtual ~Services() = default;

    // A message box without icon. `style` is mb::OkOnly or mb::YesNo, plus
    // mb::SystemModal when wanted. An empty title shows the program's name.
    // Returns mb::Ok, mb::Yes or mb::No.
    virtual int MsgBox(const QString& prompt, int style = mb::OkOnly,
                       const QString& title = QString()) = 0;

    // A one-line text prompt. Cancel gives an empty text.
    virtual QString InputBox(const QString& prompt, const QString& title = QString(),
                             const QString& defaultText = QString()) = 0;

    // File dialogs. `filter` uses the "description|pattern|description|pattern"
    // form (see qtFilter). Cancel gives an empty text.
    virtual QString ShowOpen(const QString& filter, const QString& initialName) = 0;
    virtual QString ShowSave(const QString& filter, const QString& initialName) = 0;

    // The font dialog. Returns false when the user cancels; `font` is then
    // unchanged.
    virtual bool ChooseFont(QFont& font) = 0;

    // Prints the visible area of `widget` on the default printer, scaled to
    // fit the page. Returns false when nothing could be printed.
    virtual bool PrintVisibleArea(QWidget& widget) = 0;

    // Starts another program from a command line the windows write:
    // "notepad <file>" opens the file in the desktop's text editor,
    // "explorer <folder or address>" opens the file manager or web browser.
    // Any other command is started as a program with its arguments.
    // Returns false when nothing could be started.
    virtual bool Shell(const QString& commandLine) = 0;

    // The folder of the executable, without a trailing separator.
    virtual QString AppPath() = 0;

    // The whole command line after the program's name, as one text.
    virtual QString Command() = 0;

    // Ends the program at once: no window is closed and nothing is asked.
    [[noreturn]] virtual void End() = 0;
};

// The services the program uses. There is always one: the Qt one unless a
// test or main installed another.
Services& services();

// Installs `s` and returns the previous one (which may be null).
std::unique_ptr<Services> setServices(std::unique_ptr<Services> s);

// Turns "ACCESS (*.mdb)|*.mdb|全部文件|*.*" into Qt's
// "ACCESS (*.mdb);;全部文件 (*.*)". Patterns separated by ';' become a
// space-separated list; a description that already ends with its patterns in
// parentheses is not given a second set.
QString qtFilter(const QString& filter);

// Raised by ScriptedServices::End so that the handler under test stops where
// the program would have ended. Deliberately not a std::exception, so that
// handlers which ignore failures do not swallow it; use ignoreFailures.
struct ProgramEnded {};

// Runs `step`, ignoring every failure it raises, except the end of the
// program. For handlers whose design says "every failure is ignored".
// Returns false when a failure was ignored.
bool ignoreFailures(const std::function<void()>& step);

} // namespace platform
