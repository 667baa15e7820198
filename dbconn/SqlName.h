#pragma once

#include <QString>

namespace dbconn {

// The suffix that marks a saved query among the table chooser's entries.
inline const QString QuerySuffix = QStringLiteral("(存储过程)");

// Removes every occurrence of "(存储过程)" (exact, case-sensitive).
QString StripQuerySuffix(const QString& entry);

// A table or field name as it goes into a Jet statement: unchanged when it
// is a plain identifier (letters, digits and '_', not starting with a digit,
// not one of the engine's reserved words), otherwise between square
// brackets. So "Orders" stays Orders and "Order Details" becomes
// [Order Details].
QString SqlName(const QString& name);

// The same, always between brackets: [Orders].
QString SqlBracketedName(const QString& name);

// A text as a literal of a Jet statement: it's -> 'it''s'.
QString SqlLiteral(const QString& text);

// "select * from " followed by the name as SqlName writes it.
QString SelectAllFrom(const QString& name);

} // namespace dbconn
