#include "Services.h"

#include "QtServices.h"

#include <QRegularExpression>
#include <QStringList>

namespace platform {

namespace {
std::unique_ptr<Services>& current() {
    static std::unique_ptr<Services> s;
    return s;
}
} // namespace

Services& services() {
    auto& s = current();
    if (!s) s = std::make_unique<QtServices>();
    return *s;
}

std::unique_ptr<Services> setServices(std::unique_ptr<Services> s) {
    auto previous = std::move(current());
    current() = std::move(s);
    return previous;
}

QString qtFilter(const QString& filter) {
    if (filter.isEmpty()) return QString();
    const QStringList parts = filter.split(QLatin1Char('|'));
    // A trailing '|' (or an odd count) leaves a description without patterns;
    // it is shown with the patterns it names itself, or none.
    static const QRegularExpression trailingPatterns(QStringLiteral("\\s*\\(([^()]*)\\)\\s*$"));
    QStringList entries;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        QString patterns = i + 1 < parts.size() ? parts[i + 1].trimmed() : QString();
        QStringList list;
        for (const QString& p : patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts))
            list << p.trimmed();
        const auto m = trailingPatterns.match(description);
        if (list.isEmpty()) {
            if (m.hasMatch())
                entries << description;
            else if (!description.isEmpty())
                entries << description + QStringLiteral(" (*)");
            continue;
        }
        if (m.hasMatch()) description = description.left(m.capturedStart()).trimmed();
        if (description.isEmpty())
            entries << QLatin1Char('(') + list.join(QLatin1Char(' ')) + QLatin1Char(')');
        else
            entries << description + QStringLiteral(" (") + list.join(QLatin1Char(' ')) +
                           QLatin1Char(')');
    }
    return entries.join(QStringLiteral(";;"));
}

bool ignoreFailures(const std::function<void()>& step) {
    try {
        step();
        return true;
    } catch (const ProgramEnded&) {
        throw;
    } catch (...) {
        return false;
    }
}

} // namespace platform
