#include "JetFormat.h"

#include "JetDate.h"
#include "JetText.h"
#include "JetValues.h"

#include "engine/base/Ascii.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <vector>

namespace engine::sql::format {

namespace {

const char* const kMonths[] = {"一月", "二月", "三月", "四月", "五月",   "六月",
                               "七月", "八月", "九月", "十月", "十一月", "十二月"};
const char* const kDays[] = {"星期日", "星期一", "星期二", "星期三", "星期四", "星期五", "星期六"};
const char* const kShortDays[] = {"周日", "周一", "周二", "周三", "周四", "周五", "周六"};

std::string lowerAscii(std::string s) {
    for (char& c : s)
        c = ascii::lower(c);
    return s;
}

std::string two(int v) {
    char b[16];
    std::snprintf(b, sizeof b, "%02d", v);
    return b;
}

// Splits on ';' outside quotes and after no backslash.
std::vector<std::string> sections(const std::string& fmt) {
    std::vector<std::string> out(1);
    bool quoted = false;
    for (std::size_t i = 0; i < fmt.size(); ++i) {
        const char c = fmt[i];
        if (c == '"') quoted = !quoted;
        if (c == '\\' && i + 1 < fmt.size()) {
            out.back() += c;
            out.back() += fmt[++i];
            continue;
        }
        if (c == ';' && !quoted) {
            out.emplace_back();
            continue;
        }
        out.back() += c;
    }
    return out;
}

// ---- numbers --------------------------------------------------------------

std::string groupDigits(const std::string& digits) {
    std::string out;
    const std::size_t n = digits.size();
    for (std::size_t i = 0; i < n; ++i) {
        out += digits[i];
        const std::size_t left = n - i - 1;
        if (left > 0 && left % 3 == 0) out += ',';
    }
    return out;
}

// One section of a custom number format applied to a non-negative value.
std::string numberSection(const std::string& sec, double value) {
    // Parse the section into literal prefix, placeholders and suffix.
    std::string prefix, suffix;
    int intZeros = 0, intDigits = 0, decZeros = 0, decHashes = 0;
    bool seenDigit = false, inDecimal = false, grouping = false, percent = false;
    bool sci = false, sciPlus = false;
    int expZeros = 0;
    bool afterNumber = false;
    for (std::size_t i = 0; i < sec.size(); ++i) {
        const char c = sec[i];
        std::string lit;
        if (c == '"') {
            const std::size_t end = sec.find('"', i + 1);
            lit = sec.substr(i + 1, (end == std::string::npos ? sec.size() : end) - i - 1);
            i = end == std::string::npos ? sec.size() : end;
        } else if (c == '\\' && i + 1 < sec.size()) {
            lit = std::string(1, sec[++i]);
        } else if ((c == '0' || c == '#') && !sci) {
            seenDigit = true;
            if (inDecimal) {
                if (c == '0')
                    decZeros = decZeros + decHashes + 1, decHashes = 0;
                else
                    ++decHashes;
            } else {
                ++intDigits;
                if (c == '0' || intZeros > 0) ++intZeros;
            }
            continue;
        } else if (c == '.' && !inDecimal && !sci) {
            inDecimal = true;
            seenDigit = true;
            continue;
        } else if (c == ',' && seenDigit && !inDecimal) {
            grouping = true;
            continue;
        } else if ((c == 'E' || c == 'e') && seenDigit && i + 1 < sec.size() &&
                   (sec[i + 1] == '+' || sec[i + 1] == '-')) {
            sci = true;
            sciPlus = sec[i + 1] == '+';
            ++i;
            while (i + 1 < sec.size() && (sec[i + 1] == '0' || sec[i + 1] == '#')) {
                ++i;
                ++expZeros;
            }
            afterNumber = true;
            continue;
        } else {
            if (c == '%') percent = true;
            lit = std::string(1, c);
        }
        if (seenDigit || afterNumber)
            suffix += lit;
        else
            prefix += lit;
        if (seenDigit) afterNumber = true;
    }
    if (percent) value *= 100;
    // Beyond 15 digits a double has nothing more to show.
    const int decimals = std::min(decZeros + decHashes, 15);
    decZeros = std::min(decZeros, decimals);
    if (!std::isfinite(value) || std::fabs(value) >= 1e300)
        return prefix + values::formatNumber(value) + suffix;
    std::string body;
    if (sci) {
        int exp = 0;
        double m = value;
        if (m != 0) {
            exp = static_cast<int>(std::floor(std::log10(m)));
            m = value / std::pow(10.0, exp);
            const double scale = std::pow(10.0, decimals);
            if (std::round(m * scale) / scale >= 10) {
                ++exp;
                m /= 10;
            }
        }
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.*f", decimals,
                      std::round(m * std::pow(10.0, decimals)) / std::pow(10.0, decimals));
        body = buf;
        char eb[32];
        std::snprintf(eb, sizeof eb, "%0*d", std::min(std::max(expZeros, 1), 6),
                      std::abs(exp) % 1000);
        body += std::string("E") + (exp < 0 ? "-" : (sciPlus ? "+" : "")) + eb;
        return prefix + body + suffix;
    }
    // Round half away from zero, as Format does.
    const double scale = std::pow(10.0, decimals);
    const double scaled = std::round(value * scale);
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.0f", scaled);
    std::string digits = buf;
    if (static_cast<int>(digits.size()) <= decimals)
        digits = std::string(decimals - digits.size() + 1, '0') + digits;
    std::string intPart = digits.substr(0, digits.size() - decimals);
    std::string decPart = digits.substr(digits.size() - decimals);
    while (intPart.size() > 1 && intPart[0] == '0')
        intPart.erase(0, 1);
    if (intPart == "0" && intZeros == 0) intPart.clear();
    while (static_cast<int>(intPart.size()) < intZeros)
        intPart = "0" + intPart;
    while (static_cast<int>(decPart.size()) > decZeros && !decPart.empty() && decPart.back() == '0')
        decPart.pop_back();
    if (grouping) intPart = groupDigits(intPart);
    body = intPart;
    if (inDecimal) body += "." + decPart;
    if (!seenDigit) body.clear();
    return prefix + body + suffix;
}

std::string customNumber(const std::string& fmt, double value) {
    const auto secs = sections(fmt);
    if (value == 0 && secs.size() >= 3 && !secs[2].empty()) return numberSection(secs[2], 0);
    if (value < 0 && secs.size() >= 2 && !secs[1].empty()) return numberSection(secs[1], -value);
    const std::string s = numberSection(secs[0], std::fabs(value));
    if (value < 0) {
        // No minus sign on a value that shows as zero.
        bool nonZero = false;
        for (char c : s)
            if (c >= '1' && c <= '9') nonZero = true;
        return nonZero ? "-" + s : s;
    }
    return s;
}

// ---- dates ----------------------------------------------------------------

std::string shortDate(const date::DateTime& dt) {
    return std::to_string(dt.year) + "/" + std::to_string(dt.month) + "/" + std::to_string(dt.day);
}

std::string longDate(const date::DateTime& dt) {
    return std::to_string(dt.year) + "年" + std::to_string(dt.month) + "月" +
           std::to_string(dt.day) + "日";
}

std::string longTime(const date::DateTime& dt) {
    return std::to_string(dt.hour) + ":" + two(dt.minute) + ":" + two(dt.second);
}

std::string generalDate(const date::DateTime& dt) {
    const bool hasDate = !(dt.year == 1899 && dt.month == 12 && dt.day == 30);
    const bool hasTime = dt.hour || dt.minute || dt.second;
    if (!hasDate) return longTime(dt);
    return hasTime ? shortDate(dt) + " " + longTime(dt) : shortDate(dt);
}

std::string customDate(const std::string& fmt, const date::DateTime& dt, int firstDay) {
    // Tokens first, so that "mm" after "h" or before "s" can mean minutes.
    struct Tok {
        std::string code; // lower-case run like "yyyy", "mm"; empty for a literal
        std::string lit;
    };
    std::vector<Tok> toks;
    bool twelve = false;
    for (std::size_t i = 0; i < fmt.size();) {
        const char c = fmt[i];
        const char lc = ascii::lower(c);
        if (c == '"') {
            const std::size_t end = fmt.find('"', i + 1);
            const std::size_t stop = end == std::string::npos ? fmt.size() : end;
            toks.push_back({"", fmt.substr(i + 1, stop - i - 1)});
            i = stop + 1;
            continue;
        }
        if (c == '\\' && i + 1 < fmt.size()) {
            toks.push_back({"", fmt.substr(i + 1, 1)});
            i += 2;
            continue;
        }
        const std::string rest = lowerAscii(fmt.substr(i, 5));
        if (rest == "am/pm" || rest.rfind("a/p", 0) == 0 || rest.rfind("ampm", 0) == 0) {
            const std::size_t len = rest == "am/pm" ? 5 : (rest.rfind("ampm", 0) == 0 ? 4 : 3);
            toks.push_back({len == 3 ? "a/p" : "ampm", fmt.substr(i, len)});
            twelve = true;
            i += len;
            continue;
        }
        if (std::string_view("ymdhnswqc").find(lc) != std::string_view::npos) {
            std::size_t j = i;
            while (j < fmt.size() && ascii::lower(fmt[j]) == lc)
                ++j;
            toks.push_back({std::string(j - i, lc), ""});
            i = j;
            continue;
        }
        if (lc == 't' && lowerAscii(fmt.substr(i, 5)) == "ttttt") {
            toks.push_back({"ttttt", ""});
            i += 5;
            continue;
        }
        toks.push_back({"", std::string(1, c)});
        ++i;
    }
    auto isCode = [](const Tok& t, char ch) { return !t.code.empty() && t.code[0] == ch; };
    std::string out;
    for (std::size_t k = 0; k < toks.size(); ++k) {
        const Tok& t = toks[k];
        if (t.code.empty()) {
            out += t.lit;
            continue;
        }
        const std::string& c = t.code;
        const int hour12 = dt.hour % 12 == 0 ? 12 : dt.hour % 12;
        const int hour = twelve ? hour12 : dt.hour;
        if (c[0] == 'm' && c.size() <= 2) {
            bool minutes = false;
            for (std::size_t b = k; b-- > 0;) {
                if (toks[b].code.empty()) continue;
                minutes = isCode(toks[b], 'h');
                break;
            }
            for (std::size_t f = k + 1; f < toks.size() && !minutes; ++f) {
                if (toks[f].code.empty()) continue;
                minutes = isCode(toks[f], 's');
                break;
            }
            if (minutes) {
                out += c.size() == 2 ? two(dt.minute) : std::to_string(dt.minute);
                continue;
            }
        }
        if (c == "yyyy" || (c.size() > 4 && c[0] == 'y'))
            out += std::to_string(dt.year);
        else if (c == "yy")
            out += two(dt.year % 100);
        else if (c == "y" || c == "yyy")
            out += std::to_string(date::daysFromCivil(dt.year, dt.month, dt.day) -
                                  date::daysFromCivil(dt.year, 1, 1) + 1);
        else if (c == "m")
            out += std::to_string(dt.month);
        else if (c == "mm")
            out += two(dt.month);
        else if (c == "mmm")
            out += std::to_string(dt.month) + "月";
        else if (c[0] == 'm')
            out += kMonths[dt.month - 1];
        else if (c == "d")
            out += std::to_string(dt.day);
        else if (c == "dd")
            out += two(dt.day);
        else if (c == "ddd")
            out += kShortDays[date::weekday(dt)];
        else if (c == "dddd")
            out += kDays[date::weekday(dt)];
        else if (c == "ddddd")
            out += shortDate(dt);
        else if (c[0] == 'd')
            out += longDate(dt);
        else if (c == "h")
            out += std::to_string(hour);
        else if (c[0] == 'h')
            out += two(hour);
        else if (c == "n")
            out += std::to_string(dt.minute);
        else if (c[0] == 'n')
            out += two(dt.minute);
        else if (c == "s")
            out += std::to_string(dt.second);
        else if (c[0] == 's')
            out += two(dt.second);
        else if (c == "q")
            out += std::to_string((dt.month - 1) / 3 + 1);
        else if (c == "w")
            out += std::to_string((date::weekday(dt) - (firstDay - 1) + 7) % 7 + 1);
        else if (c[0] == 'w') {
            const long long doy =
                date::daysFromCivil(dt.year, dt.month, dt.day) - date::daysFromCivil(dt.year, 1, 1);
            date::DateTime jan1{dt.year, 1, 1, 0, 0, 0};
            const int off = (date::weekday(jan1) - (firstDay - 1) + 7) % 7;
            out += std::to_string((doy + off) / 7 + 1);
        } else if (c == "c")
            out += generalDate(dt);
        else if (c == "ttttt")
            out += longTime(dt);
        else if (c == "ampm") {
            if (t.lit == "AM/PM")
                out += dt.hour < 12 ? "AM" : "PM";
            else if (t.lit == "am/pm")
                out += dt.hour < 12 ? "am" : "pm";
            else
                out += dt.hour < 12 ? "上午" : "下午";
        } else if (c == "a/p") {
            const bool upper = t.lit[0] == 'A';
            out += dt.hour < 12 ? (upper ? "A" : "a") : (upper ? "P" : "p");
        }
    }
    return out;
}

// ---- text -------------------------------------------------------------------

std::string customText(const std::string& fmt, const std::string& value) {
    std::string s = value;
    std::string f;
    for (char c : fmt) {
        if (c == '>')
            s = text::toUpper(s);
        else if (c == '<')
            s = text::toLower(s);
        else if (c != '!')
            f += c;
    }
    const bool leftAlign = fmt.find('!') != std::string::npos;
    std::size_t slots = 0;
    for (char c : f)
        if (c == '@' || c == '&') ++slots;
    if (slots == 0) return f.empty() ? s : f;
    std::vector<char32_t> chars = text::toCodePoints(s);
    // Placeholders fill from the right (from the left with '!'); characters
    // beyond the placeholders go with the first (last) one.
    std::vector<std::string> fill(slots);
    const std::size_t n = chars.size();
    if (n >= slots) {
        if (leftAlign) {
            for (std::size_t k = 0; k + 1 < slots; ++k)
                text::append(fill[k], chars[k]);
            fill[slots - 1] = text::fromCodePoints(chars, slots - 1);
        } else {
            fill[0] = text::fromCodePoints(chars, 0, n - slots + 1);
            for (std::size_t k = 1; k < slots; ++k)
                text::append(fill[k], chars[n - slots + k]);
        }
    } else {
        std::size_t offset = leftAlign ? 0 : slots - n;
        for (std::size_t k = 0; k < n; ++k)
            text::append(fill[offset + k], chars[k]);
    }
    std::string out;
    std::size_t slot = 0;
    for (char c : f) {
        if (c == '@' || c == '&') {
            out += fill[slot].empty() && c == '@' ? " " : fill[slot];
            ++slot;
        } else {
            out += c;
        }
    }
    return out;
}

enum class Kind { Number, Date, Text, Literal };

Kind formatKind(const std::string& fmt) {
    bool quoted = false;
    bool number = false, dateish = false, textish = false;
    for (std::size_t i = 0; i < fmt.size(); ++i) {
        const char c = fmt[i];
        if (c == '"') {
            quoted = !quoted;
            continue;
        }
        if (quoted) continue;
        if (c == '\\') {
            ++i;
            continue;
        }
        const char lc = ascii::lower(c);
        if (c == '0' || c == '#' || c == '%' || c == '.')
            number = true;
        else if (c == '@' || c == '&' || c == '<' || c == '>')
            textish = true;
        else if (std::string_view("ymdhnswqc").find(lc) != std::string_view::npos)
            dateish = true;
    }
    if (number) return Kind::Number;
    if (dateish) return Kind::Date;
    if (textish) return Kind::Text;
    return Kind::Literal;
}

} // namespace

std::string dateText(const date::DateTime& dt) {
    return generalDate(dt);
}

std::string weekdayName(int day, bool abbreviated) {
    static const char* const kShort[] = {"周日", "周一", "周二", "周三", "周四", "周五", "周六"};
    return abbreviated ? kShort[day] : kDays[day];
}

std::string monthName(int month, bool abbreviated) {
    if (abbreviated) return std::to_string(month) + "月";
    return kMonths[month - 1];
}

bool formatValue(sqlite3_value* v, const std::string& fmt, int firstDay, std::string& out) {
    if (firstDay < 1 || firstDay > 7) firstDay = 1;
    const int type = sqlite3_value_type(v);
    const bool numeric = type == SQLITE_INTEGER || type == SQLITE_FLOAT;
    const std::string raw = values::textOf(v);
    values::Number num;
    bool haveNumber = numeric ? (num.isInt = type == SQLITE_INTEGER, num.i = sqlite3_value_int64(v),
                                 num.d = sqlite3_value_double(v), true)
                              : values::parseNumber(raw, num);
    date::DateTime dt;
    bool haveDate = false;
    if (numeric)
        haveDate = date::fromSerial(num.asDouble(), dt);
    else
        haveDate = date::parse(raw, dt);
    const bool storedDate = !numeric && values::looksLikeStoredDate(raw) && haveDate;
    if (storedDate && !haveNumber) {
        num.isInt = false;
        num.d = date::toSerial(dt);
        haveNumber = true;
    }

    if (fmt.empty()) {
        out = storedDate ? generalDate(dt) : raw;
        return true;
    }
    const std::string named = lowerAscii(fmt);
    auto numberAs = [&](const std::string& custom) {
        if (!haveNumber) {
            out = raw;
            return true;
        }
        out = customNumber(custom, num.asDouble());
        return true;
    };
    if (named == "general number") {
        out = haveNumber ? (num.isInt ? std::to_string(num.i) : values::formatNumber(num.d)) : raw;
        return true;
    }
    if (named == "currency") return numberAs("\"¥\"#,##0.00;\"¥-\"#,##0.00");
    if (named == "fixed") return numberAs("0.00");
    if (named == "standard") return numberAs("#,##0.00");
    if (named == "percent") return numberAs("0.00%");
    if (named == "scientific") return numberAs("0.00E+00");
    if (named == "yes/no" || named == "true/false" || named == "on/off") {
        if (!haveNumber) {
            out = raw;
            return true;
        }
        const bool t = num.asDouble() != 0;
        if (named == "yes/no")
            out = t ? "是" : "否";
        else if (named == "true/false")
            out = t ? "True" : "False";
        else
            out = t ? "On" : "Off";
        return true;
    }
    const bool isDateName = named == "general date" || named == "long date" ||
                            named == "medium date" || named == "short date" ||
                            named == "long time" || named == "medium time" || named == "short time";
    if (isDateName) {
        if (!haveDate) {
            out = raw;
            return true;
        }
        if (named == "general date")
            out = generalDate(dt);
        else if (named == "long date")
            out = longDate(dt);
        else if (named == "medium date")
            out = customDate("yy-mm-dd", dt, firstDay);
        else if (named == "short date")
            out = shortDate(dt);
        else if (named == "long time")
            out = longTime(dt);
        else if (named == "medium time")
            out = customDate("hh:nn AMPM", dt, firstDay);
        else
            out = customDate("hh:nn", dt, firstDay);
        return true;
    }
    switch (formatKind(fmt)) {
    case Kind::Number:
        if (!haveNumber || (!numeric && storedDate)) {
            if (storedDate) return numberAs(fmt);
            out = raw;
            return true;
        }
        return numberAs(fmt);
    case Kind::Date:
        if (!haveDate) {
            out = raw;
            return true;
        }
        out = customDate(sections(fmt)[0], dt, firstDay);
        return true;
    case Kind::Text:
        out = customText(sections(fmt)[0], raw);
        return true;
    case Kind::Literal:
        out = customText(fmt, raw);
        return true;
    }
    return true;
}

} // namespace engine::sql::format
