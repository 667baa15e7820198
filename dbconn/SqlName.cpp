#include "SqlName.h"

#include <QSet>

namespace dbconn {

namespace {

// Words that end or change a statement when they stand where a name is
// expected; a table or field with such a name is written in brackets.
const QSet<QString>& reservedWords() {
    static const QSet<QString> words = {
        QStringLiteral("add"),       QStringLiteral("all"),         QStringLiteral("alter"),
        QStringLiteral("and"),       QStringLiteral("any"),         QStringLiteral("as"),
        QStringLiteral("asc"),       QStringLiteral("between"),     QStringLiteral("by"),
        QStringLiteral("column"),    QStringLiteral("constraint"),  QStringLiteral("create"),
        QStringLiteral("database"),  QStringLiteral("delete"),      QStringLiteral("desc"),
        QStringLiteral("distinct"),  QStringLiteral("distinctrow"), QStringLiteral("drop"),
        QStringLiteral("exists"),    QStringLiteral("from"),        QStringLiteral("full"),
        QStringLiteral("group"),     QStringLiteral("having"),      QStringLiteral("in"),
        QStringLiteral("index"),     QStringLiteral("inner"),       QStringLiteral("insert"),
        QStringLiteral("into"),      QStringLiteral("is"),          QStringLiteral("join"),
        QStringLiteral("key"),       QStringLiteral("left"),        QStringLiteral("like"),
        QStringLiteral("not"),       QStringLiteral("null"),        QStringLiteral("on"),
        QStringLiteral("or"),        QStringLiteral("order"),       QStringLiteral("outer"),
        QStringLiteral("percent"),   QStringLiteral("primary"),     QStringLiteral("proc"),
        QStringLiteral("procedure"), QStringLiteral("references"),  QStringLiteral("right"),
        QStringLiteral("select"),    QStringLiteral("set"),         QStringLiteral("some"),
        QStringLiteral("table"),     QStringLiteral("top"),         QStringLiteral("union"),
        QStringLiteral("unique"),    QStringLiteral("update"),      QStringLiteral("values"),
        QStringLiteral("view"),      QStringLiteral("where"),       QStringLiteral("with"),
    };
    return words;
}

bool isPlainIdentifier(const QString& name) {
    if (name.isEmpty()) return false;
    const QChar first = name.front();
    if (!(first.isLetter() || first == QLatin1Char('_'))) return false;
    for (const QChar c : name) {
        if (!(c.isLetterOrNumber() || c == QLatin1Char('_'))) return false;
    }
    return !reservedWords().contains(name.toLower());
}

} // namespace

QString StripQuerySuffix(const QString& entry) {
    QString name = entry;
    name.remove(QuerySuffix, Qt::CaseSensitive);
    return name;
}

QString SqlName(const QString& name) {
    // Already bracketed names pass through, so the helper can be applied twice.
    if (isPlainIdentifier(name) ||
        (name.size() > 2 && name.startsWith(QLatin1Char('[')) && name.endsWith(QLatin1Char(']'))))
        return name;
    return QLatin1Char('[') + name + QLatin1Char(']');
}

QString SelectAllFrom(const QString& name) {
    return QStringLiteral("select * from ") + SqlName(name);
}

} // namespace dbconn
