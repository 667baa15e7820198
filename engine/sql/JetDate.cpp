#include "JetDate.h"

#include "engine/base/Ascii.h"

#include <cctype>
#include <cmath>
#include <cstdio>

namespace engine::sql::date {

namespace {

// Days from 1970-01-01 (Howard Hinnant's algorithm), shifted to 1899-12-30.
constexpr std::int64_t kEpochShift = 25569; // 1899-12-30 -> 1970-01-01

std::int64_t unixDays(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

bool isLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

struct Scanner {
    std::string_view s;
    std::size_t i = 0;
    void blanks() {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
            ++i;
    }
    bool number(int& v, int& digits) {
        digits = 0;
        v = 0;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])) && digits < 9) {
            v = v * 10 + (s[i] - '0');
            ++i;
            ++digits;
        }
        return digits > 0;
    }
    bool literal(std::string_view lit) {
        if (s.substr(i, lit.size()) == lit) {
            i += lit.size();
            return true;
        }
        return false;
    }
    bool atEnd() const { return i >= s.size(); }
};

// An English month name, whole or shortened to three letters or more
// ("Jan", "Sept", "January"), as Jet reads it in a date.
bool monthWord(Scanner& sc, int& month) {
    static const char* const kNames[] = {"january",   "february", "march",    "april",
                                         "may",       "june",     "july",     "august",
                                         "september", "october",  "november", "december"};
    std::size_t k = sc.i;
    std::string word;
    while (k < sc.s.size() && std::isalpha(static_cast<unsigned char>(sc.s[k])))
        word += ascii::lower(sc.s[k++]);
    if (word.size() < 3) return false;
    for (int n = 0; n < 12; ++n) {
        const std::string_view name = kNames[n];
        if (name.substr(0, word.size()) == word) {
            month = n + 1;
            sc.i = k;
            return true;
        }
    }
    return false;
}

// Blanks, and at most one of - / . , between the parts of a written date.
void dateSeparator(Scanner& sc) {
    sc.blanks();
    if (sc.i < sc.s.size() &&
        (sc.s[sc.i] == '-' || sc.s[sc.i] == '/' || sc.s[sc.i] == '.' || sc.s[sc.i] == ','))
        ++sc.i;
    sc.blanks();
}

int fixYear(int y, int digits) {
    if (digits <= 2) return y < 30 ? 2000 + y : 1900 + y;
    return y;
}

// "HH:mm[:ss][.fff] [AM|PM|上午|下午]"
bool parseTime(Scanner& sc, DateTime& dt) {
    int h, mi = 0, sec = 0, dg;
    if (!sc.number(h, dg) || dg > 2) return false;
    if (!sc.literal(":")) return false;
    if (!sc.number(mi, dg) || dg > 2) return false;
    if (sc.literal(":")) {
        if (!sc.number(sec, dg) || dg > 2) return false;
        if (sc.literal(".")) {
            int frac;
            sc.number(frac, dg);
        }
    }
    sc.blanks();
    auto ampm = [&](bool pm) {
        if (h < 1 || h > 12) return false;
        if (pm && h != 12) h += 12;
        if (!pm && h == 12) h = 0;
        return true;
    };
    const std::string_view rest = sc.s.substr(sc.i);
    auto startsNoCase = [&](std::string_view w) {
        if (rest.size() < w.size()) return false;
        for (std::size_t k = 0; k < w.size(); ++k)
            if (ascii::upper(rest[k]) != w[k]) return false;
        return true;
    };
    if (startsNoCase("AM") || startsNoCase("PM")) {
        if (!ampm(ascii::upper(rest[0]) == 'P')) return false;
        sc.i += 2;
    } else if (sc.literal("上午")) {
        if (!ampm(false)) return false;
    } else if (sc.literal("下午")) {
        if (!ampm(true)) return false;
    }
    if (h > 23 || mi > 59 || sec > 59) return false;
    dt.hour = h;
    dt.minute = mi;
    dt.second = sec;
    return true;
}

} // namespace

bool validDate(int y, int m, int d) {
    return y >= 1 && y <= 9999 && m >= 1 && m <= 12 && d >= 1 && d <= daysInMonth(y, m);
}

int daysInMonth(int y, int m) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m == 2 && isLeap(y)) return 29;
    return kDays[(m - 1) % 12];
}

std::int64_t daysFromCivil(int y, int m, int d) {
    return unixDays(y, static_cast<unsigned>(m), static_cast<unsigned>(d)) + kEpochShift;
}

void civilFromDays(std::int64_t days, int& y, int& m, int& d) {
    std::int64_t z = days - kEpochShift + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t yy = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}

std::int64_t toSeconds(const DateTime& dt) {
    return daysFromCivil(dt.year, dt.month, dt.day) * 86400 + dt.hour * 3600 + dt.minute * 60 +
           dt.second;
}

DateTime fromSeconds(std::int64_t secs) {
    std::int64_t days = secs / 86400;
    std::int64_t rem = secs % 86400;
    if (rem < 0) {
        rem += 86400;
        --days;
    }
    DateTime dt;
    civilFromDays(days, dt.year, dt.month, dt.day);
    dt.hour = static_cast<int>(rem / 3600);
    dt.minute = static_cast<int>(rem / 60 % 60);
    dt.second = static_cast<int>(rem % 60);
    return dt;
}

double toSerial(const DateTime& dt) {
    const double days = static_cast<double>(daysFromCivil(dt.year, dt.month, dt.day));
    const double frac = (dt.hour * 3600 + dt.minute * 60 + dt.second) / 86400.0;
    return days >= 0 ? days + frac : days - frac;
}

bool fromSerial(double serial, DateTime& dt) {
    if (!std::isfinite(serial) || serial < -657434.0 || serial > 2958466.0) return false;
    const double whole = std::trunc(serial);
    double frac = std::fabs(serial - whole);
    auto secs = static_cast<std::int64_t>(std::llround(frac * 86400.0));
    std::int64_t days = static_cast<std::int64_t>(whole);
    if (secs >= 86400) {
        secs -= 86400;
        days += serial >= 0 ? 1 : -1;
    }
    dt = fromSeconds(days * 86400);
    dt.hour = static_cast<int>(secs / 3600);
    dt.minute = static_cast<int>(secs / 60 % 60);
    dt.second = static_cast<int>(secs % 60);
    return true;
}

int weekday(const DateTime& dt) {
    // 1899-12-30 was a Saturday.
    const std::int64_t days = daysFromCivil(dt.year, dt.month, dt.day);
    return static_cast<int>(((days + 6) % 7 + 7) % 7);
}

bool validRange(const DateTime& dt) {
    return dt.year >= 100 && dt.year <= 9999;
}

bool parse(std::string_view text, DateTime& out) {
    Scanner sc{text};
    sc.blanks();
    const std::size_t start = sc.i;
    DateTime dt;
    int a, da;
    int y, m, d;
    bool named = false;
    if (monthWord(sc, m)) {
        // January 15, 1997 / Jan-15-1997
        int dd, dy;
        dateSeparator(sc);
        if (!sc.number(d, dd) || dd > 2) return false;
        dateSeparator(sc);
        if (!sc.number(y, dy)) return false;
        y = fixYear(y, dy);
        named = true;
    } else if (!sc.number(a, da)) {
        return false;
    } else {
        // 15-Jan-1997 / 15 January 1997
        const std::size_t afterDay = sc.i;
        dateSeparator(sc);
        int dy;
        if (da <= 2 && monthWord(sc, m)) {
            dateSeparator(sc);
            if (!sc.number(y, dy)) return false;
            d = a;
            y = fixYear(y, dy);
            named = true;
        } else {
            sc.i = afterDay;
        }
    }
    if (named) {
        // the date is read; a time may follow
    } else if (sc.i < text.size() && text[sc.i] == ':') {
        sc.i = start;
        if (!parseTime(sc, dt)) return false;
        sc.blanks();
        if (!sc.atEnd()) return false;
        out = dt;
        return true;
    } else if (sc.literal("年")) {
        int dg;
        if (!sc.number(m, dg) || !sc.literal("月") || !sc.number(d, dg)) return false;
        sc.literal("日");
        y = fixYear(a, da);
    } else {
        if (sc.atEnd()) return false;
        const char sep = text[sc.i];
        if (sep != '-' && sep != '/' && sep != '.') return false;
        ++sc.i;
        int b, c, db, dc;
        if (!sc.number(b, db) || db > 2) return false;
        if (sc.i >= text.size() || text[sc.i] != sep) return false;
        ++sc.i;
        if (!sc.number(c, dc)) return false;
        if (da >= 3) { // year first
            y = a;
            m = b;
            d = c;
        } else if (da <= 2 && (dc >= 3 || sep == '/')) {
            y = fixYear(c, dc);
            if (a > 12 && b <= 12) { // d/M/yyyy
                d = a;
                m = b;
            } else {
                m = a;
                d = b;
            }
        } else {
            return false;
        }
    }
    if (!validDate(y, m, d)) return false;
    dt.year = y;
    dt.month = m;
    dt.day = d;
    const std::size_t beforeTime = sc.i;
    sc.blanks();
    if (sc.i < text.size() && text[sc.i] == 'T') ++sc.i;
    if (!sc.atEnd()) {
        if (sc.i == beforeTime && text[sc.i - 1] != 'T') return false;
        if (!parseTime(sc, dt)) return false;
        sc.blanks();
        if (!sc.atEnd()) return false;
    }
    out = dt;
    return true;
}

std::string canonical(const DateTime& dt) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", dt.year, dt.month, dt.day,
                  dt.hour, dt.minute, dt.second);
    return buf;
}

} // namespace engine::sql::date
