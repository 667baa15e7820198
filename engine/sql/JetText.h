#pragma once

// Small text helpers shared by the tokenizer, the translator and the Jet
// functions: UTF-8 decoding, Jet's case-insensitive comparison and the
// quoting of SQLite literals and names.

#include "engine/base/Utf8.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace engine::sql::text {

// The engine's UTF-8 codec: decode(s, i) reads one code point (U+FFFD for a
// malformed byte) and advances i; append(out, cp) writes one.
using utf8::append;
using utf8::decode;
std::vector<char32_t> toCodePoints(std::string_view s);
std::string fromCodePoints(const std::vector<char32_t>& cps, std::size_t from = 0,
                           std::size_t count = std::string::npos);
std::size_t length(std::string_view s); // in code points

// Simple one-to-one case mapping for ASCII, Latin-1, Latin Extended-A,
// Greek and Cyrillic: what Jet's text comparison folds in practice.
char32_t lower(char32_t c);
char32_t upper(char32_t c);
bool isCased(char32_t c);
std::string toLower(std::string_view s);
std::string toUpper(std::string_view s);
bool equalsNoCase(std::string_view a, std::string_view b);
// <0, 0, >0 as a case-insensitive comparison of code points.
int compareNoCase(std::string_view a, std::string_view b);

// 'it''s' for SQLite.
std::string quoteString(std::string_view s);
// "name" for SQLite (inner quotes doubled).
std::string quoteName(std::string_view s);

} // namespace engine::sql::text
