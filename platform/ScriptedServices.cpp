#include "ScriptedServices.h"

namespace platform {

namespace {
template <typename T> T take(std::deque<T>& queue, const char* what, const QString& about) {
    if (queue.empty())
        throw UnscriptedQuestion(std::string("no scripted answer for ") + what + ": " +
                                 about.toStdString());
    T answer = std::move(queue.front());
    queue.pop_front();
    return answer;
}
} // namespace

int ScriptedServices::MsgBox(const QString& prompt, int style, const QString& title) {
    // An OK-only box has one answer and takes none from the queue.
    messages.push_back({prompt, title, style, mb::Ok});
    if ((style & 0xF) != mb::YesNo) return mb::Ok;
    const int answer = take(msgAnswers, "message box", prompt);
    messages.back().answer = answer;
    return answer;
}

QString ScriptedServices::InputBox(const QString& prompt, const QString& title,
                                   const QString& defaultText) {
    // Recorded before answering, so a test that ran out of answers still sees
    // which prompt came.
    inputs.push_back({prompt, title, defaultText, QString()});
    QString answer = take(inputAnswers, "input box", prompt);
    inputs.back().answer = answer;
    return answer;
}

QString ScriptedServices::ShowOpen(const QString& filter, const QString&) {
    fileDialogs << QStringLiteral("open:") + filter;
    return take(openAnswers, "open dialog", filter);
}

QString ScriptedServices::ShowSave(const QString& filter, const QString&) {
    fileDialogs << QStringLiteral("save:") + filter;
    return take(saveAnswers, "save dialog", filter);
}

bool ScriptedServices::ChooseFont(QFont& font) {
    auto answer = take(fontAnswers, "font dialog", font.family());
    if (!answer) return false;
    font = *answer;
    return true;
}

bool ScriptedServices::PrintVisibleArea(QWidget& widget) {
    if (!printerReady) return false;
    printed.push_back(&widget);
    return true;
}

bool ScriptedServices::Shell(const QString& commandLine) {
    shellCommands << commandLine;
    return shellSucceeds;
}

void ScriptedServices::End() {
    ++exitRequests;
    throw ProgramEnded{};
}

QStringList ScriptedServices::messageTexts() const {
    QStringList texts;
    for (const auto& m : messages)
        texts << m.prompt;
    return texts;
}

ScopedScriptedServices::ScopedScriptedServices() {
    auto s = std::make_unique<ScriptedServices>();
    scripted_ = s.get();
    previous_ = setServices(std::move(s));
}

ScopedScriptedServices::~ScopedScriptedServices() {
    setServices(std::move(previous_));
}

} // namespace platform
