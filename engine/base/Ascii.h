#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// ASCII case folding: what SQL keywords, connection-string keys, type words
// and SQLite's NOCASE compare by. Bytes outside A-Z/a-z stay as they are, so
// UTF-8 text passes through unchanged whatever the process's C locale (the
// <cctype> functions fold Latin-1 bytes under some locales and would break
// a multi-byte character).
namespace engine::ascii {

constexpr char lower(char c) noexcept {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

constexpr char upper(char c) noexcept {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - ('a' - 'A')) : c;
}

inline std::string toLower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = lower(c);
    return out;
}

inline std::string toUpper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = upper(c);
    return out;
}

constexpr bool equalsNoCase(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

} // namespace engine::ascii
