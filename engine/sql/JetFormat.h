#pragma once

// Jet's Format function: named formats ("Currency", "Short Date", ...) and
// custom number, date and text formats, with the program's Chinese
// regional conventions (¥, yyyy/M/d, 上午/下午).

#include "engine/sqlite/Sqlite3.h"

#include <string>

namespace engine::sql::format {

// False when the value cannot be shown in the format (text in a number
// format is shown as it is, as Jet does).
bool formatValue(sqlite3_value* v, const std::string& fmt, int firstDayOfWeek, std::string& out);

std::string monthName(int month, bool abbreviated);

} // namespace engine::sql::format
