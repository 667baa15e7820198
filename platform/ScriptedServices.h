#pragma once

#include "Services.h"

#include <QFont>
#include <QString>
#include <QStringList>

#include <deque>
#include <optional>
#include <stdexcept>
#include <vector>

namespace platform {

// Raised when a window asks something the test did not script an answer for.
// A test that does not expect the question then fails at once instead of
// hanging or guessing.
class UnscriptedQuestion : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

// Desktop services for tests: answers come from queues filled by the test,
// and every request is recorded.
//
// An OK-only message box answers mb::Ok by itself and takes nothing from
// msgAnswers. A Yes/No box, an input box, a file dialog or a font dialog with an empty
// queue raises UnscriptedQuestion.
class ScriptedServices : public Services {
public:
    struct Message {
        QString prompt;
        QString title;
        int style = 0;
        int answer = 0;
    };
    struct Input {
        QString prompt;
        QString title;
        QString defaultText;
        QString answer;
    };

    // Answers, consumed from the front.
    std::deque<int> msgAnswers;
    std::deque<QString> inputAnswers; // an empty text stands for Cancel
    std::deque<QString> openAnswers;
    std::deque<QString> saveAnswers;
    std::deque<std::optional<QFont>> fontAnswers; // nullopt stands for Cancel

    // Set by the test.
    QString appPath = QStringLiteral("/tmp");
    QString commandLine;
    bool printerReady = true;
    bool shellSucceeds = true;

    // Records.
    std::vector<Message> messages;
    std::vector<Input> inputs;
    QStringList fileDialogs; // "open:<filter>" or "save:<filter>"
    QStringList shellCommands;
    std::vector<QWidget*> printed;
    int exitRequests = 0;

    int MsgBox(const QString& prompt, int style, const QString& title) override;
    QString InputBox(const QString& prompt, const QString& title,
                     const QString& defaultText) override;
    QString ShowOpen(const QString& filter, const QString& initialName) override;
    QString ShowSave(const QString& filter, const QString& initialName) override;
    bool ChooseFont(QFont& font) override;
    bool PrintVisibleArea(QWidget& widget) override;
    bool Shell(const QString& commandLine) override;
    QString AppPath() override { return appPath; }
    QString Command() override { return commandLine; }
    [[noreturn]] void End() override;

    // Texts of every message shown so far.
    QStringList messageTexts() const;
};

// Installs a fresh ScriptedServices for the lifetime of this object and puts
// the previous services back afterwards.
class ScopedScriptedServices {
public:
    ScopedScriptedServices();
    ~ScopedScriptedServices();
    ScopedScriptedServices(const ScopedScriptedServices&) = delete;
    ScopedScriptedServices& operator=(const ScopedScriptedServices&) = delete;

    ScriptedServices& operator*() { return *scripted_; }
    ScriptedServices* operator->() { return scripted_; }

private:
    ScriptedServices* scripted_;
    std::unique_ptr<Services> previous_;
};

} // namespace platform
