#pragma once

// Dates as Jet sees them: a day count from 1899-12-30 (Jet's day zero) and
// a time of day, stored as text 'yyyy-MM-dd HH:mm:ss'.

#include <cstdint>
#include <string>
#include <string_view>

namespace engine::sql::date {

struct DateTime {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0;
};

bool validDate(int y, int m, int d);
int daysInMonth(int y, int m);
// Days from 1899-12-30 to the given civil date (negative before it).
std::int64_t daysFromCivil(int y, int m, int d);
void civilFromDays(std::int64_t days, int& y, int& m, int& d);

// Seconds from 1899-12-30 00:00:00.
std::int64_t toSeconds(const DateTime& dt);
DateTime fromSeconds(std::int64_t secs);
// Jet's serial number: whole days plus the time as a fraction. Before day
// zero the fraction still counts forward from midnight (-1.25 is
// 1899-12-29 06:00), as Jet does.
double toSerial(const DateTime& dt);
bool fromSerial(double serial, DateTime& dt);

// 0 = Sunday.
int weekday(const DateTime& dt);

// Reads 'yyyy-MM-dd[ HH:mm[:ss]]', 'yyyy/M/d', 'M/d/yyyy' (Jet's literal
// order; d/M/yyyy when the first part cannot be a month), 'yyyy年M月d日',
// 'HH:mm[:ss]' with optional AM/PM (a time of day on 1899-12-30) and
// two-digit years (00-29 -> 20xx, 30-99 -> 19xx).
bool parse(std::string_view text, DateTime& dt);
bool validRange(const DateTime& dt); // years 100 to 9999, as Jet

std::string canonical(const DateTime& dt);

} // namespace engine::sql::date
