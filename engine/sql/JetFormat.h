#pragma once

// Jet's Format function: named formats ("Currency", "Short Date", ...) and
// custom number, date and text formats, with the program's Chinese
// regional conventions (¥, yyyy/M/d, 上午/下午).

#include "JetDate.h"

#include "engine/sqlite/Sqlite3.h"

#include <string>

namespace engine::sql::format {

// False when the value cannot be shown in the format (text in a number
// format is shown as it is, as Jet does).
bool formatValue(sqlite3_value* v, const std::string& fmt, int firstDayOfWeek, std::string& out);

std::string monthName(int month, bool abbreviated);
// 0 = Sunday: "星期日", abbreviated "周日".
std::string weekdayName(int day, bool abbreviated);

// A date as Jet turns it into text: the short date, a time only when it is
// not midnight, the time alone on day zero ("1994/8/4", "1994/8/4 9:05:00",
// "9:05:00").
std::string dateText(const date::DateTime& dt);

} // namespace engine::sql::format
