#include "JetValues.h"

#include "engine/base/Ascii.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace engine::sql::values {

bool parseNumber(std::string_view s, Number& n) {
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t'))
        --e;
    s = s.substr(b, e - b);
    if (s.empty()) return false;
    if (s.size() > 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h' || s[1] == 'O' || s[1] == 'o')) {
        const int base = (s[1] == 'H' || s[1] == 'h') ? 16 : 8;
        if (s.size() - 2 > 16) return false;
        unsigned long long v = 0;
        for (std::size_t k = 2; k < s.size(); ++k) {
            const char c = ascii::upper(s[k]);
            int dgt;
            if (c >= '0' && c <= '9')
                dgt = c - '0';
            else if (base == 16 && c >= 'A' && c <= 'F')
                dgt = c - 'A' + 10;
            else
                return false;
            if (dgt >= base) return false;
            v = v * base + static_cast<unsigned>(dgt);
        }
        n.isInt = true;
        n.i = static_cast<long long>(v);
        return true;
    }
    std::string clean;
    std::size_t k = 0;
    if (s[k] == '+' || s[k] == '-') clean += s[k++];
    bool digits = false, dot = false, exp = false, isInt = true;
    for (; k < s.size(); ++k) {
        const char c = s[k];
        if (c >= '0' && c <= '9') {
            clean += c;
            digits = true;
        } else if (c == ',' && digits && !dot && !exp) {
            continue; // thousands separator
        } else if (c == '.' && !dot && !exp) {
            dot = true;
            isInt = false;
            clean += c;
        } else if ((c == 'e' || c == 'E' || c == 'd' || c == 'D') && digits && !exp) {
            exp = true;
            isInt = false;
            clean += 'e';
            if (k + 1 < s.size() && (s[k + 1] == '+' || s[k + 1] == '-')) clean += s[++k];
            if (k + 1 >= s.size()) return false;
        } else {
            return false;
        }
    }
    if (!digits) return false;
    if (isInt && clean.size() < 19) {
        n.isInt = true;
        n.i = std::strtoll(clean.c_str(), nullptr, 10);
        return true;
    }
    char* end = nullptr;
    const double d = std::strtod(clean.c_str(), &end);
    if (!end || *end != '\0' || !std::isfinite(d)) return false;
    n.isInt = false;
    n.d = d;
    return true;
}

bool looksLikeStoredDate(std::string_view s) {
    if (s.size() != 19 && s.size() != 10) return false;
    auto dig = [&](std::size_t k) { return s[k] >= '0' && s[k] <= '9'; };
    for (std::size_t k : {0u, 1u, 2u, 3u, 5u, 6u, 8u, 9u})
        if (!dig(k)) return false;
    if (s[4] != '-' || s[7] != '-') return false;
    if (s.size() == 19 && (s[10] != ' ' || s[13] != ':' || s[16] != ':')) return false;
    return true;
}

bool toNumber(sqlite3_value* v, Number& n, bool& null) {
    null = false;
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
        null = true;
        return false;
    case SQLITE_INTEGER:
        n.isInt = true;
        n.i = sqlite3_value_int64(v);
        return true;
    case SQLITE_FLOAT:
        n.isInt = false;
        n.d = sqlite3_value_double(v);
        return true;
    default: {
        const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
        const std::string_view s(p ? p : "", static_cast<std::size_t>(sqlite3_value_bytes(v)));
        if (parseNumber(s, n)) return true;
        date::DateTime dt;
        if (looksLikeStoredDate(s) && date::parse(s, dt)) {
            n.isInt = false;
            n.d = date::toSerial(dt);
            return true;
        }
        return false;
    }
    }
}

bool toDate(sqlite3_value* v, date::DateTime& dt, bool& null) {
    null = false;
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
        null = true;
        return false;
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        return date::fromSerial(sqlite3_value_double(v), dt);
    default: {
        const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
        const std::string_view s(p ? p : "", static_cast<std::size_t>(sqlite3_value_bytes(v)));
        if (date::parse(s, dt)) return true;
        Number n;
        if (parseNumber(s, n)) return date::fromSerial(n.asDouble(), dt);
        return false;
    }
    }
}

std::string formatNumber(double d) {
    if (d == 0) return "0";
    if (std::isnan(d)) return "NaN";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15G", d);
    std::string s = buf;
    // %G writes 1E+20 as Jet does, but pads exponents to two digits.
    const std::size_t e = s.find('E');
    std::string mant = e == std::string::npos ? s : s.substr(0, e);
    std::string ex = e == std::string::npos ? "" : s.substr(e);
    if (mant.find('.') != std::string::npos) {
        while (!mant.empty() && mant.back() == '0')
            mant.pop_back();
        if (!mant.empty() && mant.back() == '.') mant.pop_back();
    }
    return mant + ex;
}

std::string textOf(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
        return {};
    case SQLITE_INTEGER:
        return std::to_string(sqlite3_value_int64(v));
    case SQLITE_FLOAT:
        return formatNumber(sqlite3_value_double(v));
    default: {
        const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
        return std::string(p ? p : "", static_cast<std::size_t>(sqlite3_value_bytes(v)));
    }
    }
}

double roundHalfEven(double x, int digits) {
    if (!std::isfinite(x)) return x;
    if (digits < 0) digits = 0;
    if (digits > 15) return x;
    const double scale = std::pow(10.0, digits);
    const double y = x * scale;
    if (std::fabs(y) >= 4.5e15) return x;
    double fl = std::floor(y);
    const double diff = y - fl;
    // Treat values within float noise of a half as the half itself, so
    // 2.5 and 0.125 * 100 round to even as VB does.
    const double eps = 1e-9 * std::max(1.0, std::fabs(y));
    double r;
    if (std::fabs(diff - 0.5) <= eps)
        r = (std::fmod(fl, 2.0) == 0) ? fl : fl + 1;
    else
        r = std::round(y);
    return r / scale;
}

} // namespace engine::sql::values
