#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// UTF-8 as the engine reads and writes it: text in the database, in SQL and
// in messages is UTF-8 throughout.
namespace engine::utf8 {

// The length of the UTF-8 sequence that starts at s[i] (1 to 4), or 0 when
// the bytes there are not one: a stray continuation byte, a lead byte of no
// sequence, or a sequence cut short by the end of s or a byte that does not
// continue it. i must be less than s.size().
std::size_t sequenceLength(std::string_view s, std::size_t i) noexcept;

// Decodes one code point at s[i] and advances i past it. A byte that starts
// no sequence reads as U+FFFD and is passed over alone, so that no input
// makes a caller loop forever.
char32_t decode(std::string_view s, std::size_t& i) noexcept;

// Appends the UTF-8 form of a code point.
void append(std::string& out, char32_t cp);

} // namespace engine::utf8
