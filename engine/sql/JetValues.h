#pragma once

// Reading SQLite values the way Jet's functions read their arguments:
// numbers from numeric text, dates from the stored date text or a serial
// number, and Jet's text form of numbers.

#include "JetDate.h"

#include "engine/sqlite/Sqlite3.h"

#include <string>
#include <string_view>

namespace engine::sql::values {

struct Number {
    bool isInt = true;
    long long i = 0;
    double d = 0;
    double asDouble() const { return isInt ? static_cast<double>(i) : d; }
};

// Text that Jet reads as a number: blanks around, sign, digits with ","
// groups, decimals, exponent, &H / &O. Returns false otherwise.
bool parseNumber(std::string_view s, Number& n);

// true: n holds the number. false: the value is Null (null = true) or not a
// number. Date text counts as its serial number.
bool toNumber(sqlite3_value* v, Number& n, bool& null);
bool toDate(sqlite3_value* v, date::DateTime& dt, bool& null);

// Jet's text form: 15 significant digits, no trailing zeros, "1E+20".
std::string formatNumber(double d);
std::string textOf(sqlite3_value* v);

// Text in the stored date form (yyyy-MM-dd[ HH:mm:ss]).
bool looksLikeStoredDate(std::string_view s);

// Banker's rounding to the given decimals, as VB's Round.
double roundHalfEven(double x, int digits);

} // namespace engine::sql::values
