#pragma once

#include <QString>

#include <array>
#include <compare>
#include <cstdint>
#include <optional>

namespace component {

// A 128-bit identifier laid out as the object model lays it out: one 32-bit,
// two 16-bit and eight single-byte fields.
struct Guid {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0;
    std::uint16_t data3 = 0;
    std::array<std::uint8_t, 8> data4{};

    // Accepts "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" with or without the braces,
    // hex digits in either case. Anything else yields nullopt.
    static std::optional<Guid> parse(QStringView text);
    // Like parse() but for identifiers written into the code; a malformed one is
    // a programming error and aborts.
    static Guid fromString(const char* text);
    // Upper-case, braced form.
    QString toString() const;

    // The 16 bytes in their binary order (data1..data3 little-endian).
    std::array<std::uint8_t, 16> toBytes() const;
    static Guid fromBytes(const std::uint8_t* bytes);

    bool isNull() const { return *this == Guid{}; }
    auto operator<=>(const Guid&) const = default;
};

} // namespace component
