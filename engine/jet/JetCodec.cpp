// Byte-level codecs of the Jet reader: RC4, the text encodings, OLE dates,
// GUIDs and 128-bit decimals.

#include "engine/base/Ascii.h"
#include "engine/base/Utf8.h"
#include "engine/jet/JetInternal.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <iconv.h>

namespace engine::jet {

void rc4(const std::uint8_t* key, std::size_t keyLen, std::uint8_t* data, std::size_t len) {
    std::uint8_t s[256];
    for (int i = 0; i < 256; ++i)
        s[i] = static_cast<std::uint8_t>(i);
    std::uint8_t j = 0;
    for (int i = 0; i < 256; ++i) {
        j = static_cast<std::uint8_t>(j + s[i] + key[i % keyLen]);
        std::swap(s[i], s[j]);
    }
    std::uint8_t a = 0, b = 0;
    for (std::size_t n = 0; n < len; ++n) {
        a = static_cast<std::uint8_t>(a + 1);
        b = static_cast<std::uint8_t>(b + s[a]);
        std::swap(s[a], s[b]);
        data[n] ^= s[static_cast<std::uint8_t>(s[a] + s[b])];
    }
}

void appendUtf16(std::string& out, const std::uint8_t* data, std::size_t size) {
    const std::size_t n = size / 2;
    const std::size_t base = out.size();
    // At most three bytes for each unit (a pair of units makes four).
    out.resize(base + 3 * n);
    char* o = out.data() + base;
    for (std::size_t i = 0; i < n; ++i) {
        std::uint32_t u = data[2 * i] | (data[2 * i + 1] << 8);
        if (u < 0x80) {
            *o++ = static_cast<char>(u);
            continue;
        }
        if (u < 0x800) {
            *o++ = static_cast<char>(0xC0 | (u >> 6));
            *o++ = static_cast<char>(0x80 | (u & 0x3F));
            continue;
        }
        if (u >= 0xD800 && u < 0xE000) {
            if (u < 0xDC00 && i + 1 < n) {
                const std::uint32_t lo = data[2 * i + 2] | (data[2 * i + 3] << 8);
                if (lo >= 0xDC00 && lo < 0xE000) {
                    const std::uint32_t cp = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
                    *o++ = static_cast<char>(0xF0 | (cp >> 18));
                    *o++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
                    *o++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
                    *o++ = static_cast<char>(0x80 | (cp & 0x3F));
                    ++i;
                    continue;
                }
            }
            u = 0xFFFD; // a lone surrogate
        }
        *o++ = static_cast<char>(0xE0 | (u >> 12));
        *o++ = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        *o++ = static_cast<char>(0x80 | (u & 0x3F));
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
}

std::string utf16ToUtf8(const std::uint8_t* data, std::size_t size) {
    std::string out;
    appendUtf16(out, data, size);
    return out;
}

void appendJet4Text(std::string& out, const std::uint8_t* data, std::size_t size) {
    if (size < 2 || data[0] != 0xFF || data[1] != 0xFE) {
        appendUtf16(out, data, size);
        return;
    }
    // Compressed: single bytes stand for U+0000..U+00FF; a zero byte switches
    // between single bytes and plain two-byte units.
    if (std::memchr(data + 2, 0, size - 2) == nullptr) {
        // Single bytes throughout (most text is): each is one character.
        const std::size_t base = out.size();
        out.resize(base + 2 * (size - 2));
        char* o = out.data() + base;
        for (std::size_t i = 2; i < size; ++i) {
            const std::uint8_t b = data[i];
            if (b < 0x80) {
                *o++ = static_cast<char>(b);
            } else {
                *o++ = static_cast<char>(0xC0 | (b >> 6));
                *o++ = static_cast<char>(0x80 | (b & 0x3F));
            }
        }
        out.resize(static_cast<std::size_t>(o - out.data()));
        return;
    }
    // The units are gathered first so that a surrogate pair split by a
    // switch still joins.
    thread_local std::vector<std::uint8_t> wide;
    wide.clear();
    wide.reserve(size * 2);
    bool compressed = true;
    std::size_t i = 2;
    while (i < size) {
        if (data[i] == 0) {
            compressed = !compressed;
            ++i;
        } else if (compressed) {
            wide.push_back(data[i++]);
            wide.push_back(0);
        } else if (i + 1 < size) {
            wide.push_back(data[i]);
            wide.push_back(data[i + 1]);
            i += 2;
        } else {
            break;
        }
    }
    appendUtf16(out, wide.data(), wide.size());
}

std::string jet4Text(const std::uint8_t* data, std::size_t size) {
    std::string out;
    appendJet4Text(out, data, size);
    return out;
}

// Windows-1252's characters in 0x80..0x9F; everything else matches Latin-1.
static const std::uint16_t kCp1252High[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

static std::string cp1252Text(const std::uint8_t* data, std::size_t size) {
    std::string out;
    out.reserve(size);
    for (std::size_t i = 0; i < size; ++i) {
        std::uint8_t c = data[i];
        if (c < 0x80)
            out += static_cast<char>(c);
        else if (c < 0xA0)
            utf8::append(out, kCp1252High[c - 0x80]);
        else
            utf8::append(out, c);
    }
    return out;
}

std::string codePageText(const std::uint8_t* data, std::size_t size, int codePage) {
    bool ascii = true;
    for (std::size_t i = 0; i < size && ascii; ++i)
        ascii = data[i] < 0x80;
    if (ascii) return std::string(reinterpret_cast<const char*>(data), size);
    if (codePage == 0 || codePage == 1252 || codePage == 28591) return cp1252Text(data, size);

    char name[32];
    std::snprintf(name, sizeof name, "CP%d", codePage);
    iconv_t cd = iconv_open("UTF-8", name);
    if (cd == reinterpret_cast<iconv_t>(-1)) return cp1252Text(data, size);
    std::string out(size * 4 + 4, '\0');
    char* in = const_cast<char*>(reinterpret_cast<const char*>(data));
    std::size_t inLeft = size;
    char* o = out.data();
    std::size_t outLeft = out.size();
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &o, &outLeft) == static_cast<std::size_t>(-1)) {
            if (outLeft < 3) break;
            // An invalid or truncated sequence: show U+FFFD and go on. The
            // three bytes go into the sized output, which needs no terminator.
            ++in;
            --inLeft;
            // NOLINTNEXTLINE(bugprone-not-null-terminated-result)
            std::memcpy(o, "\xEF\xBF\xBD", 3);
            o += 3;
            outLeft -= 3;
        }
    }
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
static void civilFromDays(long long z, long long& y, unsigned& m, unsigned& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += (m <= 2);
}

namespace {

void twoDigits(char* p, unsigned v) {
    p[0] = static_cast<char>('0' + v / 10);
    p[1] = static_cast<char>('0' + v % 10);
}

} // namespace

std::size_t oleDateChars(double days, char* buf) {
    // The range Jet accepts: years 100 to 9999.
    if (!std::isfinite(days) || days < -657435.0 || days > 2958466.0) return 0;
    // The whole part counts days from 1899-12-30; the fraction is the time of
    // day, also for negative day numbers (-1.25 is 1899-12-29 06:00).
    double whole = std::trunc(days);
    double frac = std::fabs(days - whole);
    long long day = static_cast<long long>(whole);
    long long secs = std::llround(frac * 86400.0);
    if (secs >= 86400) {
        // Rounded up to midnight: the next calendar day either way.
        secs -= 86400;
        day += 1;
    }
    long long y;
    unsigned m, d;
    civilFromDays(day - 25569, y, m, d); // 1899-12-30 is 25569 days before 1970-01-01
    if (y < 0 || y > 9999) {
        // Only the very last instant of the range rounds into year 10000.
        const int n = std::snprintf(buf, kDateChars + 2, "%04lld-%02u-%02u %02lld:%02lld:%02lld", y,
                                    m, d, secs / 3600, (secs / 60) % 60, secs % 60);
        return n > 0 ? static_cast<std::size_t>(n) : 0;
    }
    // yyyy-MM-dd HH:mm:ss, written digit by digit: this runs for every date
    // of every row a scan reads.
    const unsigned year = static_cast<unsigned>(y);
    twoDigits(buf, year / 100);
    twoDigits(buf + 2, year % 100);
    buf[4] = '-';
    twoDigits(buf + 5, m);
    buf[7] = '-';
    twoDigits(buf + 8, d);
    buf[10] = ' ';
    twoDigits(buf + 11, static_cast<unsigned>(secs / 3600));
    buf[13] = ':';
    twoDigits(buf + 14, static_cast<unsigned>((secs / 60) % 60));
    buf[16] = ':';
    twoDigits(buf + 17, static_cast<unsigned>(secs % 60));
    return kDateChars;
}

bool oleDateText(double days, std::string& out) {
    char buf[kDateChars + 2];
    const std::size_t n = oleDateChars(days, buf);
    if (n == 0) return false;
    out.assign(buf, n);
    return true;
}

// "DDDDDDDDDDDDDDDDDDD:TTTTTTTTTTTTTTTTTTT:P", then padding: days since
// 0001-01-01 and 100 ns ticks since midnight.
static bool extDateParts(const std::uint8_t* p, std::size_t size, unsigned long long& days,
                         unsigned long long& ticks) {
    auto digits = [&](std::size_t from, std::size_t count, unsigned long long& v) {
        if (from + count > size) return false;
        v = 0;
        for (std::size_t i = from; i < from + count; ++i) {
            if (p[i] < '0' || p[i] > '9') return false;
            v = v * 10 + (p[i] - '0');
        }
        return true;
    };
    if (!digits(0, 19, days) || size < 40 || p[19] != ':' || !digits(20, 19, ticks) || p[39] != ':')
        return false;
    // Up to 9999-12-31, and less than one day of ticks.
    return days <= 3652058ull && ticks < 864'000'000'000ull;
}

bool extDateText(const std::uint8_t* p, std::size_t size, std::string& out) {
    unsigned long long days = 0, ticks = 0;
    if (!extDateParts(p, size, days, ticks)) return false;
    long long y;
    unsigned m, d;
    civilFromDays(static_cast<long long>(days) - 719162, y, m, d); // 0001-01-01 to 1970-01-01
    const unsigned long long secs = ticks / 10'000'000ull;
    char buf[80];
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u %02llu:%02llu:%02llu", y, m, d, secs / 3600,
                  (secs / 60) % 60, secs % 60);
    out = buf;
    return true;
}

bool extDateOleDays(const std::uint8_t* p, std::size_t size, double& out) {
    unsigned long long days = 0, ticks = 0;
    if (!extDateParts(p, size, days, ticks)) return false;
    // 1899-12-30, day 0 of the OLE calendar, is day 693593 from 0001-01-01.
    const long long whole = static_cast<long long>(days) - 693593;
    const double frac = static_cast<double>(ticks) / 864'000'000'000.0;
    // Before day 0 the fraction still counts forward from midnight.
    out = whole < 0 ? static_cast<double>(whole) - frac : static_cast<double>(whole) + frac;
    return true;
}

std::string guidText(const std::uint8_t* p) {
    char buf[40];
    std::snprintf(buf, sizeof buf,
                  "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", p[3],
                  p[2], p[1], p[0], p[5], p[4], p[7], p[6], p[8], p[9], p[10], p[11], p[12], p[13],
                  p[14], p[15]);
    return buf;
}

Value numericValue(const std::uint8_t* p, int scale) {
    // A sign byte, then a 128-bit magnitude as four 32-bit little-endian
    // words, the most significant word first.
    bool negative = (p[0] & 0x80) != 0;
    std::uint32_t words[4]; // most significant first
    for (int w = 0; w < 4; ++w) {
        const std::uint8_t* q = p + 1 + 4 * w;
        words[w] = q[0] | (q[1] << 8) | (q[2] << 16) | (static_cast<std::uint32_t>(q[3]) << 24);
    }
    if (scale < 0 || scale > 38) scale = 0;
    if (words[0] == 0 && words[1] == 0 && (words[2] >> 21) == 0) {
        std::uint64_t v = (static_cast<std::uint64_t>(words[2]) << 32) | words[3];
        double d = static_cast<double>(v);
        // Divide by an exact power of ten so 12345 with scale 2 reads 123.45.
        d /= std::pow(10.0, scale);
        return Value(negative ? -d : d);
    }
    // Too wide for a double: the exact decimal text, by long division.
    std::string digits;
    std::uint32_t w[4] = {words[0], words[1], words[2], words[3]};
    while (w[0] || w[1] || w[2] || w[3]) {
        std::uint64_t rem = 0;
        for (auto& x : w) {
            std::uint64_t cur = (rem << 32) | x;
            x = static_cast<std::uint32_t>(cur / 10);
            rem = cur % 10;
        }
        digits.insert(digits.begin(), static_cast<char>('0' + rem));
    }
    while (static_cast<int>(digits.size()) <= scale)
        digits.insert(digits.begin(), '0');
    if (scale > 0) digits.insert(digits.end() - scale, '.');
    return Value(negative ? "-" + digits : digits);
}

bool equalsNoCase(const std::string& a, const std::string& b) {
    return ascii::equalsNoCase(a, b);
}

} // namespace engine::jet
