#pragma once

#include <QString>

namespace datawin {

// The part of a statement before its ORDER BY clause, so that a new order
// can be appended. The clause is found in any letter case and with any
// blanks between the two words, but only where it is SQL: not inside a
// quoted text, a bracketed name or parentheses (a sub-query's own order).
// A statement without such a clause is returned unchanged.
QString beforeOrderBy(const QString& sql);

} // namespace datawin
