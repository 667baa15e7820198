// Index key bytes for every column type of a Jet 4 file, text in the
// General Legacy and General sort orders.

#include "engine/jet/JetIndexKeys.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

namespace engine::jet {

// The code tables, embedded at build time (see codes/ and CMakeLists.txt).
namespace codes {
extern const char genleg[];
extern const char extGenleg[];
extern const char gen[];
extern const char extGen[];
} // namespace codes

namespace {

// How one UTF-16 code unit contributes to a text key.
struct CharCode {
    enum Kind : std::uint8_t { Ignored, Simple, International, Unprintable, Modifier, Crazy };
    Kind kind = Ignored;
    std::uint8_t inlineLen = 0;
    std::uint8_t extraLen = 0;
    std::uint8_t crazy = 0; // 2 or 3 for Crazy, else 0
    std::array<std::uint8_t, 8> inlineBytes{};
    std::array<std::uint8_t, 3> extra{}; // extra code, unprintable bytes or modifier
};

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return 0;
}

// A hex field; an odd number of digits has an implied leading 0.
template <std::size_t N>
std::uint8_t hexBytes(std::string_view field, std::array<std::uint8_t, N>& out) {
    std::size_t n = (field.size() + 1) / 2;
    if (n > N) n = N;
    std::size_t i = 0, b = 0;
    if (field.size() % 2 == 1) out[b++] = static_cast<std::uint8_t>(hexDigit(field[i++]));
    for (; b < n && i + 1 < field.size() + 1; ++b, i += 2)
        out[b] = static_cast<std::uint8_t>(hexDigit(field[i]) << 4 | hexDigit(field[i + 1]));
    return static_cast<std::uint8_t>(n);
}

CharCode parseLine(std::string_view line) {
    CharCode c;
    if (line.empty()) return c;
    const char kind = line[0];
    std::string_view rest = line.substr(1);
    std::string_view fields[3];
    for (int f = 0; f < 3; ++f) {
        const auto comma = rest.find(',');
        fields[f] = rest.substr(0, comma);
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    switch (kind) {
    case 'S':
        c.kind = CharCode::Simple;
        c.inlineLen = hexBytes(fields[0], c.inlineBytes);
        break;
    case 'I':
        c.kind = CharCode::International;
        c.inlineLen = hexBytes(fields[0], c.inlineBytes);
        c.extraLen = hexBytes(fields[1], c.extra);
        break;
    case 'U':
        c.kind = CharCode::Unprintable;
        c.extraLen = hexBytes(fields[0], c.extra);
        break;
    case 'P':
        c.kind = CharCode::Modifier;
        c.extraLen = hexBytes(fields[0], c.extra);
        break;
    case 'Z':
        c.kind = CharCode::Crazy;
        c.inlineLen = hexBytes(fields[0], c.inlineBytes);
        c.extraLen = hexBytes(fields[1], c.extra);
        c.crazy = fields[2] == "1" ? 2 : 3;
        break;
    default: // 'X' and anything unknown contribute nothing
        break;
    }
    return c;
}

// Every code unit outside the surrogates, for one sort order.
struct CodeTable {
    std::vector<CharCode> units = std::vector<CharCode>(0x10000);
};

void loadLines(const char* text, std::vector<CharCode>& units, std::uint32_t first) {
    std::uint32_t unit = first;
    for (const char* p = text; *p && unit < 0x10000;) {
        const char* end = std::strchr(p, '\n');
        const std::size_t len = end ? static_cast<std::size_t>(end - p) : std::strlen(p);
        if (unit == 0xD800) unit = 0xE000; // the surrogates have no lines
        units[unit++] = parseLine(std::string_view(p, len));
        if (!end) break;
        p = end + 1;
    }
}

const CodeTable& table(TextOrder order) {
    static std::once_flag onceLegacy, onceGeneral;
    static std::unique_ptr<CodeTable> legacy, general;
    auto load = [](std::unique_ptr<CodeTable>& t, const char* base, const char* ext) {
        t = std::make_unique<CodeTable>();
        loadLines(base, t->units, 0);
        loadLines(ext, t->units, 0x100);
    };
    if (order == TextOrder::General) {
        std::call_once(onceGeneral, [&] { load(general, codes::gen, codes::extGen); });
        return *general;
    }
    std::call_once(onceLegacy, [&] { load(legacy, codes::genleg, codes::extGenleg); });
    return *legacy;
}

// Surrogate halves have computed codes: two inline bytes and the extra code 3F.
CharCode surrogateCode(char16_t c) {
    CharCode code;
    code.kind = CharCode::International;
    int v;
    if (c < 0xDC00) {
        v = c - 10238;
    } else {
        const int k = (c - 0xDC00) % 1024;
        const int sub = k < 8 ? 9992 : k < 262 ? 9990 : k < 516 ? 9988 : k < 770 ? 9986 : 9984;
        v = c - sub;
    }
    code.inlineLen = 2;
    code.inlineBytes[0] = static_cast<std::uint8_t>(v >> 8);
    code.inlineBytes[1] = static_cast<std::uint8_t>(v);
    code.extraLen = 1;
    code.extra[0] = 0x3F;
    return code;
}

void putBigEndian(std::vector<std::uint8_t>& out, std::uint64_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// Integers: big-endian two's complement with the sign bit flipped.
void integerBytes(std::vector<std::uint8_t>& out, std::int64_t v, int bytes) {
    const std::size_t at = out.size();
    putBigEndian(out, static_cast<std::uint64_t>(v), bytes);
    out[at] ^= 0x80;
}

// IEEE numbers: positive ones with the sign bit flipped, negative ones inverted.
void floatBytes(std::vector<std::uint8_t>& out, std::uint64_t bits, int bytes) {
    const std::size_t at = out.size();
    putBigEndian(out, bits, bytes);
    if (out[at] & 0x80) {
        for (std::size_t i = at; i < out.size(); ++i)
            out[i] = static_cast<std::uint8_t>(~out[i]);
    } else {
        out[at] ^= 0x80;
    }
}

// Binary values in 8-byte segments; each full segment with more after it
// is followed by 09, the last one is padded and followed by its length.
void binaryBytes(std::vector<std::uint8_t>& out, const std::uint8_t* data, std::size_t size,
                 bool descending) {
    auto put = [&](std::uint8_t b) {
        out.push_back(descending ? static_cast<std::uint8_t>(~b) : b);
    };
    std::size_t pos = 0;
    do {
        const std::size_t n = std::min<std::size_t>(8, size - pos);
        for (std::size_t i = 0; i < 8; ++i)
            put(i < n ? data[pos + i] : 0);
        pos += n;
        if (pos < size)
            out.push_back(0x09);
        else
            put(static_cast<std::uint8_t>(n));
    } while (pos < size);
}

bool utf8ToUtf16(std::string_view s, std::u16string& out) {
    out.clear();
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        std::uint32_t cp;
        int extra;
        if (c < 0x80) {
            cp = c;
            extra = 0;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            extra = 1;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            extra = 2;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            extra = 3;
        } else {
            cp = 0xFFFD;
            extra = 0;
        }
        ++i;
        for (int k = 0; k < extra; ++k, ++i) {
            if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
                cp = 0xFFFD;
                break;
            }
            cp = (cp << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return true;
}

bool parseGuid(const std::string& text, std::array<std::uint8_t, 16>& out) {
    std::size_t b = 0;
    int half = -1;
    for (char ch : text) {
        if (ch == '{' || ch == '}' || ch == '-') continue;
        if (!std::isxdigit(static_cast<unsigned char>(ch)) || b >= 16) return false;
        if (half < 0) {
            half = hexDigit(ch);
        } else {
            out[b++] = static_cast<std::uint8_t>(half << 4 | hexDigit(ch));
            half = -1;
        }
    }
    return b == 16 && half < 0;
}

// A Numeric value as sign and 128-bit magnitude (unscaled, big-endian).
bool numericMagnitude(const Value& v, int scale, bool& negative,
                      std::array<std::uint8_t, 16>& magnitude) {
    magnitude.fill(0);
    if (v.kind() == Value::Kind::Text) {
        // Exact decimal text: digits with an optional sign and point.
        const std::string& t = v.text();
        std::size_t i = 0;
        negative = !t.empty() && t[0] == '-';
        if (!t.empty() && (t[0] == '-' || t[0] == '+')) ++i;
        std::string digits;
        int fraction = -1;
        for (; i < t.size(); ++i) {
            if (t[i] == '.' && fraction < 0) {
                fraction = 0;
                continue;
            }
            if (t[i] < '0' || t[i] > '9') return false;
            digits += t[i];
            if (fraction >= 0) ++fraction;
        }
        if (fraction < 0) fraction = 0;
        for (; fraction < scale; ++fraction)
            digits += '0';
        if (fraction > scale)
            digits.resize(digits.size() - static_cast<std::size_t>(fraction - scale));
        for (char d : digits) { // magnitude = magnitude * 10 + d
            int carry = d - '0';
            for (int k = 15; k >= 0; --k) {
                const int x = magnitude[static_cast<std::size_t>(k)] * 10 + carry;
                magnitude[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(x & 0xFF);
                carry = x >> 8;
            }
            if (carry) return false;
        }
        return true;
    }
    double d = v.toDouble();
    if (!std::isfinite(d)) return false;
    negative = std::signbit(d);
    const double scaled = std::round(std::fabs(d) * std::pow(10.0, scale));
    if (scaled >= 18446744073709551616.0) return false;
    const auto u = static_cast<std::uint64_t>(scaled);
    for (int k = 0; k < 8; ++k)
        magnitude[static_cast<std::size_t>(15 - k)] = static_cast<std::uint8_t>(u >> (8 * k));
    return true;
}

long long daysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

} // namespace

TextOrder textOrderOf(SortOrder order) {
    if (order.lcid == 0 || order.lcid == 1033)
        return order.version == 1 ? TextOrder::General : TextOrder::GeneralLegacy;
    return TextOrder::Unsupported;
}

std::string sortOrderName(SortOrder order) {
    const char* name = nullptr;
    switch (order.lcid) {
    case 0:
    case 1033:
        name = order.version == 1 ? "常规" : order.version == 0 ? "常规（旧版）" : nullptr;
        break;
    case 0x0804:
        name = "中文（拼音）";
        break;
    case 0x20804:
        name = "中文（笔画）";
        break;
    case 0x0404:
        name = "中文（台湾，笔画）";
        break;
    case 0x30404:
        name = "中文（台湾，注音）";
        break;
    case 0x0C04:
        name = "中文（香港，笔画）";
        break;
    case 0x1004:
        name = "中文（新加坡，拼音）";
        break;
    case 0x0411:
        name = "日语";
        break;
    case 0x0412:
        name = "朝鲜语";
        break;
    default:
        break;
    }
    std::string num = std::to_string(order.lcid);
    if (order.version != 0) num += "，版本 " + std::to_string(order.version);
    return name ? std::string(name) + "（" + num + "）" : "编号为 " + num + " 的排序次序";
}

void appendTextInline(std::vector<std::uint8_t>& out, std::u16string_view text, TextOrder order) {
    const CodeTable& codesOf = table(order);
    for (const char16_t c : text) {
        const CharCode code = (c >= 0xD800 && c <= 0xDFFF) ? surrogateCode(c) : codesOf.units[c];
        out.insert(out.end(), code.inlineBytes.begin(), code.inlineBytes.begin() + code.inlineLen);
    }
}

std::u16string utf16Of(std::string_view utf8) {
    std::u16string out;
    utf8ToUtf16(utf8, out);
    return out;
}

void appendTextKey(std::vector<std::uint8_t>& out, std::u16string_view text, bool descending,
                   TextOrder order) {
    const CodeTable& codesOf = table(order);
    // At most 255 code units, trailing spaces dropped.
    if (text.size() > 255) text = text.substr(0, 255);
    while (!text.empty() && text.back() == u' ')
        text.remove_suffix(1);

    const std::size_t start = out.size();
    std::vector<std::uint8_t> extra, unprintable, crazy;
    bool extraStarted = false;
    int pos = 0, extraCount = 0, prefix = 0;
    for (const char16_t c : text) {
        const CharCode code = (c >= 0xD800 && c <= 0xDFFF) ? surrogateCode(c) : codesOf.units[c];
        if (code.kind == CharCode::Ignored) continue;
        const int cur = pos;
        if (code.inlineLen > 0) {
            out.insert(out.end(), code.inlineBytes.begin(),
                       code.inlineBytes.begin() + code.inlineLen);
            ++pos;
        }
        if (code.kind == CharCode::Simple) continue;
        const bool hasExtra =
            (code.kind == CharCode::International || code.kind == CharCode::Crazy) &&
            code.extraLen > 0;
        if (hasExtra || code.kind == CharCode::Modifier) {
            extraStarted = true;
            if (extraCount < cur) {
                extra.insert(extra.end(), static_cast<std::size_t>(cur - extraCount), 0x02);
                extraCount = cur;
            }
            if (hasExtra) {
                extra.insert(extra.end(), code.extra.begin(), code.extra.begin() + code.extraLen);
                ++extraCount;
            } else if (!extra.empty()) {
                extra.back() = static_cast<std::uint8_t>(extra.back() + code.extra[0]);
            } else {
                extra.push_back(code.extra[0]);
                prefix = 1;
            }
        }
        if (code.kind == CharCode::Unprintable) {
            const int p =
                extraStarted ? static_cast<int>(extra.size()) + (cur - extraCount) - prefix : cur;
            const int v = (7 + 4 * p) | 0x8000;
            unprintable.push_back(static_cast<std::uint8_t>(v >> 8));
            unprintable.push_back(static_cast<std::uint8_t>(v));
            unprintable.push_back(0x06);
            unprintable.insert(unprintable.end(), code.extra.begin(),
                               code.extra.begin() + code.extraLen);
        }
        if (code.kind == CharCode::Crazy) crazy.push_back(code.crazy);
    }

    out.push_back(0x01);
    while (!extra.empty() && extra.back() <= 0x02)
        extra.pop_back();
    const bool hasCrazy = !crazy.empty();
    if (!extra.empty() || !unprintable.empty() || hasCrazy) {
        out.insert(out.end(), extra.begin(), extra.end());
        if (hasCrazy || !unprintable.empty()) {
            out.push_back(0x01);
            out.push_back(0x01);
            if (hasCrazy) {
                while (!crazy.empty() && crazy.back() == 0x03)
                    crazy.pop_back();
                for (std::size_t i = 0; i < crazy.size(); i += 3) {
                    std::uint8_t b = 0x80;
                    b |= static_cast<std::uint8_t>(crazy[i] << 4);
                    if (i + 1 < crazy.size()) b |= static_cast<std::uint8_t>(crazy[i + 1] << 2);
                    if (i + 2 < crazy.size()) b |= crazy[i + 2];
                    out.push_back(b);
                }
                for (std::uint8_t b : {0xFF, 0x02, 0x80, 0xFF, 0x80})
                    out.push_back(b);
                if (!unprintable.empty()) out.push_back(0xFF);
            }
            if (!unprintable.empty()) {
                out.push_back(0x01);
                out.insert(out.end(), unprintable.begin(), unprintable.end());
            }
        }
    }
    out.push_back(0x00);
    if (descending) {
        for (std::size_t i = start; i < out.size(); ++i)
            out[i] = static_cast<std::uint8_t>(~out[i]);
        out.push_back(0x00);
    }
}

bool oleDaysFromText(const std::string& text, double& days) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s) < 3) return false;
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 ||
        s > 59)
        return false;
    const long long whole =
        daysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) + 25569;
    const double frac = (h * 3600 + mi * 60 + s) / 86400.0;
    // Before day 0 the fraction still counts forward from midnight.
    days = whole < 0 ? static_cast<double>(whole) - frac : static_cast<double>(whole) + frac;
    return true;
}

bool appendColumnKey(std::vector<std::uint8_t>& out, const ColumnDef& column, const Value& value,
                     bool descending, TextOrder order) {
    const int type = column.jetType;
    if (value.isNullOrEmpty() && type != coltype::Boolean) {
        out.push_back(descending ? 0xFF : 0x00);
        return true;
    }
    std::vector<std::uint8_t> v;
    bool invert = descending; // most types: descending inverts the value bytes
    switch (type) {
    case coltype::Boolean: {
        // Never null in an index: a null is false.
        const bool b = !value.isNullOrEmpty() && value.toBool();
        v.push_back(b ? 0x00 : 0xFF);
        break;
    }
    case coltype::Byte:
        v.push_back(static_cast<std::uint8_t>(value.toInt()));
        break;
    case coltype::Integer:
        integerBytes(v, value.toInt(), 2);
        break;
    case coltype::Long:
        integerBytes(v, value.toInt(), 4);
        break;
    case coltype::BigInt:
        integerBytes(v, value.toInt(), 8);
        break;
    case coltype::Currency:
        integerBytes(v,
                     value.kind() == Value::Kind::Currency ? value.currencyScaled()
                                                           : std::llround(value.toDouble() * 1e4),
                     8);
        break;
    case coltype::Single: {
        const float f = static_cast<float>(value.toDouble());
        std::uint32_t bits;
        std::memcpy(&bits, &f, 4);
        floatBytes(v, bits, 4);
        break;
    }
    case coltype::Double:
    case coltype::DateTime: {
        double d = 0;
        if (value.kind() == Value::Kind::Date || value.kind() == Value::Kind::Text) {
            if (!oleDaysFromText(value.text(), d)) return false;
        } else {
            d = value.toDouble();
        }
        std::uint64_t bits;
        std::memcpy(&bits, &d, 8);
        floatBytes(v, bits, 8);
        break;
    }
    case coltype::Numeric: {
        bool negative = false;
        std::array<std::uint8_t, 16> mag{};
        if (!numericMagnitude(value, column.scale, negative, mag)) return false;
        v.push_back(negative ? 0x80 : 0x00);
        v.insert(v.end(), mag.begin(), mag.end());
        // Inverted when negative (ascending) or positive (descending); the
        // first byte then only says the sign.
        if (negative != descending)
            for (auto& b : v)
                b = static_cast<std::uint8_t>(~b);
        v[0] = negative ? 0x00 : 0xFF;
        invert = false;
        break;
    }
    case coltype::Guid: {
        std::array<std::uint8_t, 16> g{};
        if (value.kind() == Value::Kind::Bytes && value.bytes().size() == 16) {
            std::memcpy(g.data(), value.bytes().data(), 16);
        } else if (!parseGuid(value.text(), g)) {
            return false;
        }
        binaryBytes(v, g.data(), g.size(), descending);
        invert = false;
        break;
    }
    case coltype::Binary:
    case coltype::Ole: {
        const std::vector<std::uint8_t>& b = value.bytes();
        if (value.kind() == Value::Kind::Bytes)
            binaryBytes(v, b.data(), b.size(), descending);
        else
            binaryBytes(v, reinterpret_cast<const std::uint8_t*>(value.text().data()),
                        value.text().size(), descending);
        invert = false;
        break;
    }
    case coltype::Text:
    case coltype::Memo: {
        std::u16string u;
        utf8ToUtf16(value.kind() == Value::Kind::Text ? value.text() : value.toText(), u);
        appendTextKey(v, u, descending, order);
        invert = false;
        break;
    }
    default:
        return false;
    }
    if (invert)
        for (auto& b : v)
            b = static_cast<std::uint8_t>(~b);
    out.push_back(descending ? 0x80 : 0x7F);
    out.insert(out.end(), v.begin(), v.end());
    return true;
}

} // namespace engine::jet
