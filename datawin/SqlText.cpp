#include "SqlText.h"

namespace datawin {

namespace {

bool isWordChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// Length of the keyword pair "order by" starting at i, or 0.
qsizetype orderByAt(const QString& s, qsizetype i) {
    const QLatin1String order("order"), by("by");
    if (i > 0 && isWordChar(s[i - 1])) return 0;
    if (s.mid(i, order.size()).compare(order, Qt::CaseInsensitive) != 0) return 0;
    qsizetype j = i + order.size();
    const qsizetype blanks = j;
    while (j < s.size() && s[j].isSpace())
        ++j;
    if (j == blanks) return 0;
    if (s.mid(j, by.size()).compare(by, Qt::CaseInsensitive) != 0) return 0;
    j += by.size();
    if (j < s.size() && isWordChar(s[j])) return 0;
    return j - i;
}

} // namespace

QString beforeOrderBy(const QString& sql) {
    int depth = 0;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const QChar c = sql[i];
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            // A quoted text; a doubled quote stands for itself.
            for (++i; i < sql.size(); ++i) {
                if (sql[i] != c) continue;
                if (i + 1 < sql.size() && sql[i + 1] == c)
                    ++i;
                else
                    break;
            }
        } else if (c == QLatin1Char('[')) {
            while (i < sql.size() && sql[i] != QLatin1Char(']'))
                ++i;
        } else if (c == QLatin1Char('(')) {
            ++depth;
        } else if (c == QLatin1Char(')')) {
            if (depth > 0) --depth;
        } else if (depth == 0 && orderByAt(sql, i) > 0) {
            return sql.left(i);
        }
    }
    return sql;
}

} // namespace datawin
