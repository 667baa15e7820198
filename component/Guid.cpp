#include "Guid.h"

#include <cstdio>
#include <cstdlib>

namespace component {

namespace {

int hexValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9') return u - '0';
    if (u >= 'a' && u <= 'f') return u - 'a' + 10;
    if (u >= 'A' && u <= 'F') return u - 'A' + 10;
    return -1;
}

bool readHex(QStringView text, qsizetype& pos, int digits, std::uint64_t& out) {
    out = 0;
    for (int i = 0; i < digits; ++i, ++pos) {
        if (pos >= text.size()) return false;
        const int v = hexValue(text[pos]);
        if (v < 0) return false;
        out = (out << 4) | static_cast<std::uint64_t>(v);
    }
    return true;
}

bool expect(QStringView text, qsizetype& pos, char16_t c) {
    if (pos >= text.size() || text[pos] != c) return false;
    ++pos;
    return true;
}

} // namespace

std::optional<Guid> Guid::parse(QStringView text) {
    text = text.trimmed();
    const bool braced = text.startsWith(u'{');
    if (braced) {
        if (!text.endsWith(u'}')) return std::nullopt;
        text = text.mid(1, text.size() - 2);
    }
    if (text.size() != 36) return std::nullopt;
    Guid g;
    qsizetype pos = 0;
    std::uint64_t v = 0;
    if (!readHex(text, pos, 8, v)) return std::nullopt;
    g.data1 = static_cast<std::uint32_t>(v);
    if (!expect(text, pos, u'-') || !readHex(text, pos, 4, v)) return std::nullopt;
    g.data2 = static_cast<std::uint16_t>(v);
    if (!expect(text, pos, u'-') || !readHex(text, pos, 4, v)) return std::nullopt;
    g.data3 = static_cast<std::uint16_t>(v);
    if (!expect(text, pos, u'-')) return std::nullopt;
    for (int i = 0; i < 8; ++i) {
        if (i == 2 && !expect(text, pos, u'-')) return std::nullopt;
        if (!readHex(text, pos, 2, v)) return std::nullopt;
        g.data4[i] = static_cast<std::uint8_t>(v);
    }
    return g;
}

Guid Guid::fromString(const char* text) {
    auto g = parse(QString::fromLatin1(text));
    if (!g) {
        std::fprintf(stderr, "malformed identifier in code: %s\n", text);
        std::abort();
    }
    return *g;
}

QString Guid::toString() const {
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", data1,
                  data2, data3, data4[0], data4[1], data4[2], data4[3], data4[4], data4[5],
                  data4[6], data4[7]);
    return QString::fromLatin1(buf);
}

std::array<std::uint8_t, 16> Guid::toBytes() const {
    std::array<std::uint8_t, 16> b{};
    for (int i = 0; i < 4; ++i)
        b[i] = static_cast<std::uint8_t>(data1 >> (8 * i));
    for (int i = 0; i < 2; ++i)
        b[4 + i] = static_cast<std::uint8_t>(data2 >> (8 * i));
    for (int i = 0; i < 2; ++i)
        b[6 + i] = static_cast<std::uint8_t>(data3 >> (8 * i));
    for (int i = 0; i < 8; ++i)
        b[8 + i] = data4[i];
    return b;
}

Guid Guid::fromBytes(const std::uint8_t* b) {
    Guid g;
    g.data1 = static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
              static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
    g.data2 = static_cast<std::uint16_t>(b[4] | b[5] << 8);
    g.data3 = static_cast<std::uint16_t>(b[6] | b[7] << 8);
    for (int i = 0; i < 8; ++i)
        g.data4[i] = b[8 + i];
    return g;
}

} // namespace component
