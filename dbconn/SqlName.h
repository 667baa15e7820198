#pragma once

#include <QString>

namespace dbconn {

// The suffix that marks a saved query among the table chooser's entries.
inline const QString QuerySuffix = QStringLiteral("(存储过程)");

// Removes every occurrence of "(存储过程)" (exact, case-sensitive).
QString StripQuerySuffix(const QString& entry);

// A table or field name as it goes into a Jet statement: unchanged when it
// is a plain identifier (letters, digits and '_', not starting with a digit,
// not a reserved word), otherwise between square brackets. So "Orders" stays
// Orders and "Order Details" becomes [Order Details].
QString SqlName(const QString& name);

// "select * from " followed by the name as SqlName writes it.
QString SelectAllFrom(const QString& name);

} // namespace dbconn
