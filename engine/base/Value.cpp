#include "Value.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace engine {

Value Value::null() {
    Value v;
    v.kind_ = Kind::Null;
    return v;
}

Value Value::currency(std::int64_t scaled) {
    Value v;
    v.kind_ = Kind::Currency;
    v.data_ = scaled;
    return v;
}

Value Value::currencyFromDouble(double d) {
    if (!currencyFits(d)) return currency(d < 0 ? INT64_MIN : INT64_MAX);
    return currency(static_cast<std::int64_t>(std::nearbyint(d * 10000.0)));
}

bool Value::currencyFits(double d) {
    // 2^63 / 10^4, with the rounding of the last unit left to nearbyint.
    return std::isfinite(d) && d * 10000.0 < 9223372036854775807.0 &&
           d * 10000.0 >= -9223372036854775808.0;
}

bool Value::parseCurrency(const std::string& raw, std::int64_t& scaled) {
    std::size_t i = raw.find_first_not_of(" \t");
    const std::size_t end = raw.find_last_not_of(" \t");
    if (i == std::string::npos) return false;
    bool neg = false;
    if (raw[i] == '-' || raw[i] == '+') neg = raw[i++] == '-';
    std::string digits; // all digits, the decimal point removed
    int pointAt = -1;
    for (; i <= end; ++i) {
        const char c = raw[i];
        if (c >= '0' && c <= '9')
            digits += c;
        else if (c == '.' && pointAt < 0)
            pointAt = static_cast<int>(digits.size());
        else if (c == ',' && pointAt < 0)
            continue; // digit groups
        else
            break;
    }
    if (digits.empty()) return false;
    int exponent = 0;
    if (i <= end && (raw[i] == 'e' || raw[i] == 'E')) {
        ++i;
        bool eneg = false;
        if (i <= end && (raw[i] == '-' || raw[i] == '+')) eneg = raw[i++] == '-';
        if (i > end) return false;
        int e = 0;
        for (; i <= end && raw[i] >= '0' && raw[i] <= '9'; ++i)
            if ((e = e * 10 + (raw[i] - '0')) > 400) return false;
        exponent = eneg ? -e : e;
    }
    if (i <= end) return false;
    // value = digits * 10^(exponent - decimals); we want value * 10^4.
    const int decimals = pointAt < 0 ? 0 : static_cast<int>(digits.size()) - pointAt;
    const int shift = exponent - decimals + 4;
    std::size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos) {
        scaled = 0;
        return true;
    }
    digits = digits.substr(first);
    if (shift >= 0) {
        if (static_cast<int>(digits.size()) + shift > 19) return false;
        digits.append(static_cast<std::size_t>(shift), '0');
        unsigned __int128 v = 0;
        for (char c : digits)
            v = v * 10 + static_cast<unsigned>(c - '0');
        const unsigned __int128 limit = neg ? 9223372036854775808ull : 9223372036854775807ull;
        if (v > limit) return false;
        scaled = neg ? static_cast<std::int64_t>(-static_cast<__int128>(v))
                     : static_cast<std::int64_t>(v);
        return true;
    }
    // Drop -shift digits, rounding half to even.
    const std::size_t drop = static_cast<std::size_t>(-shift);
    std::string kept = digits.size() > drop ? digits.substr(0, digits.size() - drop) : "";
    std::string gone = digits.size() > drop ? digits.substr(digits.size() - drop)
                                            : std::string(drop - digits.size(), '0') + digits;
    if (kept.size() > 19) return false;
    unsigned __int128 v = 0;
    for (char c : kept)
        v = v * 10 + static_cast<unsigned>(c - '0');
    const bool above =
        gone[0] > '5' || (gone[0] == '5' && gone.find_first_not_of('0', 1) != std::string::npos);
    const bool half = gone[0] == '5' && gone.find_first_not_of('0', 1) == std::string::npos;
    if (above || (half && (v % 2) == 1)) ++v;
    const unsigned __int128 limit = neg ? 9223372036854775808ull : 9223372036854775807ull;
    if (v > limit) return false;
    scaled =
        neg ? static_cast<std::int64_t>(-static_cast<__int128>(v)) : static_cast<std::int64_t>(v);
    return true;
}

Value Value::date(std::string canonical) {
    Value v;
    v.kind_ = Kind::Date;
    v.data_ = std::move(canonical);
    return v;
}

bool Value::toBool() const {
    switch (kind_) {
    case Kind::Boolean:
        return std::get<bool>(data_);
    case Kind::Integer:
    case Kind::Currency:
        return std::get<std::int64_t>(data_) != 0;
    case Kind::Double:
        return std::get<double>(data_) != 0.0;
    case Kind::Text: {
        const auto& s = std::get<std::string>(data_);
        return !(s.empty() || s == "0" || s == "False" || s == "false" || s == "FALSE");
    }
    default:
        return false;
    }
}

std::int64_t Value::toInt() const {
    switch (kind_) {
    case Kind::Boolean:
        return std::get<bool>(data_) ? -1 : 0;
    case Kind::Integer:
        return std::get<std::int64_t>(data_);
    case Kind::Currency:
        return std::llround(std::get<std::int64_t>(data_) / 10000.0);
    case Kind::Double:
        return std::llround(std::get<double>(data_));
    case Kind::Text:
        return std::strtoll(std::get<std::string>(data_).c_str(), nullptr, 10);
    default:
        return 0;
    }
}

double Value::toDouble() const {
    switch (kind_) {
    case Kind::Boolean:
        return std::get<bool>(data_) ? -1.0 : 0.0;
    case Kind::Integer:
        return static_cast<double>(std::get<std::int64_t>(data_));
    case Kind::Currency:
        return std::get<std::int64_t>(data_) / 10000.0;
    case Kind::Double:
        return std::get<double>(data_);
    case Kind::Text:
        return std::strtod(std::get<std::string>(data_).c_str(), nullptr);
    default:
        return 0.0;
    }
}

std::int64_t Value::currencyScaled() const {
    if (kind_ == Kind::Currency) return std::get<std::int64_t>(data_);
    return currencyFromDouble(toDouble()).currencyScaled();
}

const std::string& Value::text() const {
    static const std::string empty;
    if (auto p = std::get_if<std::string>(&data_)) return *p;
    return empty;
}

const std::vector<std::uint8_t>& Value::bytes() const {
    static const std::vector<std::uint8_t> empty;
    if (auto p = std::get_if<std::vector<std::uint8_t>>(&data_)) return *p;
    return empty;
}

namespace {

// `n` significant digits with the decimal exponent of the first, laid out as
// printf's %g lays out a value at `precision`, trailing zeros gone.
std::string layOutG(bool negative, const char* digits, int n, int exponent, int precision) {
    char buf[48];
    char* o = buf;
    if (negative) *o++ = '-';
    auto put = [&](const char* from, int count) {
        std::memcpy(o, from, static_cast<std::size_t>(count));
        o += count;
    };
    if (exponent < -4 || exponent >= precision) {
        *o++ = digits[0];
        if (n > 1) {
            *o++ = '.';
            put(digits + 1, n - 1);
        }
        *o++ = 'e';
        *o++ = exponent < 0 ? '-' : '+';
        const int a = exponent < 0 ? -exponent : exponent;
        if (a < 10) *o++ = '0';
        o = std::to_chars(o, buf + sizeof buf, a).ptr;
    } else if (exponent >= 0) {
        const int whole = exponent + 1;
        if (n <= whole) {
            put(digits, n);
            std::memset(o, '0', static_cast<std::size_t>(whole - n));
            o += whole - n;
        } else {
            put(digits, whole);
            *o++ = '.';
            put(digits + whole, n - whole);
        }
    } else {
        *o++ = '0';
        *o++ = '.';
        std::memset(o, '0', static_cast<std::size_t>(-exponent - 1));
        o += -exponent - 1;
        put(digits, n);
    }
    return std::string(buf, o);
}

} // namespace

std::string formatDouble(double v) {
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v > 0 ? "Infinity" : "-Infinity";
    if (v == 0) return std::signbit(v) ? "-0" : "0";
    // The text is printf's %.15g, or %.16g / %.17g where fewer digits do not
    // read back as the same number.
    //
    // Most stored numbers have a few decimals (money, measures): when
    // v * 10^k is a whole number of at most 15 digits that divides back to v
    // exactly, that decimal is the one %.15g prints, and no shorter one is
    // as near (the smallest k leaves no trailing zero).
    static constexpr double kTen[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
    if (std::fabs(v) < 1e15 && std::fabs(v) >= 1e-4) {
        for (int k = 0; k < 10; ++k) {
            const double r = std::nearbyint(v * kTen[k]);
            if (std::fabs(r) >= 1e15) break;
            if (r / kTen[k] != v) continue;
            char digits[24];
            const auto whole = static_cast<long long>(std::fabs(r));
            const int n =
                static_cast<int>(std::to_chars(digits, digits + sizeof digits, whole).ptr - digits);
            return layOutG(v < 0, digits, n, n - 1 - k, 15);
        }
    }
    if (std::fabs(v) < DBL_MIN) {
        // Subnormal: so few bits that the shortest digits are not %g's
        // rounding; those rare values take the long way.
        char buf[40];
        char* end = buf;
        for (int precision = 15; precision <= 17; ++precision) {
            end =
                std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, precision).ptr;
            double back = 0;
            std::from_chars(buf, end, back);
            if (back == v) break;
        }
        return std::string(buf, end);
    }
    // Otherwise the shortest round-trip digits (to_chars without a
    // precision: a fraction of the cost of printing with one): they are the
    // nearest ones of their length, so when there are at most 15 of them
    // %.15g rounds to the same digits, and when there are 16 or 17 the
    // shorter precisions cannot read back.
    char sci[40];
    const char* sciEnd = std::to_chars(sci, sci + sizeof sci, v, std::chars_format::scientific).ptr;
    const char* p = sci + (v < 0);
    char digits[24];
    int n = 0;
    for (; p < sciEnd && *p != 'e'; ++p)
        if (*p != '.') digits[n++] = *p;
    int exponent = 0;
    std::from_chars(p + 1 + (p[1] == '+'), sciEnd, exponent);
    while (n > 1 && digits[n - 1] == '0')
        --n;
    return layOutG(v < 0, digits, n, exponent, std::max(15, n));
}

std::string Value::toText() const {
    switch (kind_) {
    case Kind::Empty:
    case Kind::Null:
        return {};
    case Kind::Boolean:
        return std::get<bool>(data_) ? "True" : "False";
    case Kind::Integer:
        return std::to_string(std::get<std::int64_t>(data_));
    case Kind::Double:
        return formatDouble(std::get<double>(data_));
    case Kind::Currency: {
        std::int64_t s = std::get<std::int64_t>(data_);
        const bool neg = s < 0;
        std::uint64_t a =
            neg ? static_cast<std::uint64_t>(-(s + 1)) + 1 : static_cast<std::uint64_t>(s);
        std::string out = (neg ? "-" : "") + std::to_string(a / 10000);
        std::uint64_t frac = a % 10000;
        if (frac) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "%04llu", static_cast<unsigned long long>(frac));
            std::string f = buf;
            while (!f.empty() && f.back() == '0')
                f.pop_back();
            out += "." + f;
        }
        return out;
    }
    case Kind::Date:
    case Kind::Text:
        return std::get<std::string>(data_);
    case Kind::Bytes:
        return "(二进制数据 " + std::to_string(bytes().size()) + " 字节)";
    }
    return {};
}

bool Value::operator==(const Value& other) const {
    return kind_ == other.kind_ && data_ == other.data_;
}

namespace {

bool readInt(const std::string& s, std::size_t& i, int maxDigits, int& out) {
    int digits = 0;
    out = 0;
    while (i < s.size() && digits < maxDigits && s[i] >= '0' && s[i] <= '9') {
        out = out * 10 + (s[i] - '0');
        ++i;
        ++digits;
    }
    return digits > 0;
}

bool validDate(int y, int m, int d) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
    int dim = days[m - 1];
    if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) dim = 29;
    return d <= dim;
}

// Reads "HH:mm[:ss]" with an optional AM/PM.
bool readTime(const std::string& s, std::size_t& i, int& h, int& mi, int& sec) {
    sec = 0;
    if (!readInt(s, i, 2, h)) return false;
    if (i >= s.size() || s[i] != ':') return false;
    ++i;
    if (!readInt(s, i, 2, mi)) return false;
    if (i < s.size() && s[i] == ':') {
        ++i;
        if (!readInt(s, i, 2, sec)) return false;
    }
    while (i < s.size() && s[i] == ' ')
        ++i;
    if (i + 1 < s.size() && (s[i] == 'A' || s[i] == 'a' || s[i] == 'P' || s[i] == 'p') &&
        (s[i + 1] == 'M' || s[i + 1] == 'm')) {
        const bool pm = s[i] == 'P' || s[i] == 'p';
        if (h < 1 || h > 12) return false;
        h = (h % 12) + (pm ? 12 : 0);
        i += 2;
    }
    return h < 24 && mi < 60 && sec < 60;
}

} // namespace

bool normalizeDateText(const std::string& raw, std::string& canonical) {
    std::size_t b = raw.find_first_not_of(" \t");
    if (b == std::string::npos) return false;
    std::size_t e = raw.find_last_not_of(" \t");
    const std::string s = raw.substr(b, e - b + 1);

    int y = 1899, m = 12, d = 30, h = 0, mi = 0, sec = 0;
    std::size_t i = 0;
    int a = 0;
    if (!readInt(s, i, 4, a)) return false;
    if (i < s.size() && s[i] == ':') {
        // A time of day alone.
        i = 0;
        if (!readTime(s, i, h, mi, sec) || i != s.size()) return false;
    } else {
        if (i >= s.size() || (s[i] != '-' && s[i] != '/' && s[i] != '.')) return false;
        const char sep = s[i++];
        int bpart = 0, cpart = 0;
        if (!readInt(s, i, 2, bpart) || i >= s.size() || s[i] != sep) return false;
        ++i;
        if (!readInt(s, i, 4, cpart)) return false;
        if (a >= 100) { // year first
            y = a;
            m = bpart;
            d = cpart;
        } else if (cpart >= 100) { // month/day/year, Jet's literal order
            m = a;
            d = bpart;
            y = cpart;
        } else {
            return false;
        }
        if (!validDate(y, m, d)) return false;
        if (i < s.size()) {
            if (s[i] != ' ' && s[i] != 'T') return false;
            while (i < s.size() && (s[i] == ' ' || s[i] == 'T'))
                ++i;
            if (!readTime(s, i, h, mi, sec)) return false;
            // Fractions of a second are dropped, as Jet keeps whole seconds.
            if (i < s.size() && s[i] == '.') {
                ++i;
                while (i < s.size() && s[i] >= '0' && s[i] <= '9')
                    ++i;
            }
            if (i != s.size()) return false;
        }
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", y, m, d, h, mi, sec);
    canonical = buf;
    return true;
}

} // namespace engine
