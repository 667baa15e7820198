#pragma once

#include "engine/Recordset.h"
#include "engine/base/Value.h"
#include "engine/schema/TableMeta.h"

namespace engine {

// Storage (what SQLite holds) to the value callers see, by the field's type.
Value fromStorage(const Value& raw, int adType);

// A value a caller writes into a column, converted the way Jet converts it
// (text to number where the text is a number, "True" to a boolean, a date
// text to the canonical form) and checked against the column's type. Throws
// msg::TypeMismatch, msg::TooLong, msg::OutOfRange or msg::Required.
Value toStorage(const Value& v, const ColumnMeta& column);

// The ADO type of a result column without a table column behind it, from
// the SQLite storage class of a value.
int adTypeOfStorage(const Value& raw);

} // namespace engine
