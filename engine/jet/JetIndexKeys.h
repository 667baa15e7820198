#pragma once

// Index key bytes of genuine Jet 4 files: what one row contributes to an
// entry of an index, column by column, for every column type. Text keys
// follow the file's sort order ("General Legacy" in Jet 4 .mdb files,
// "General" where a file records the newer one), built from the code tables
// embedded from codes/.
//
//   std::vector<std::uint8_t> key;
//   appendColumnKey(key, column, value, descending, TextOrder::GeneralLegacy);
//
// Per column: a null is one byte (00 ascending, FF descending); a value is
// a flag byte (7F / 80) followed by bytes that compare, as unsigned bytes,
// in the order of the values.

#include "engine/base/Value.h"
#include "engine/jet/JetFile.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace engine::jet {

// A text column's collating order as a definition records it: the locale
// number (with its sort variant in bits 16-19, 0x20804 = Chinese stroke
// order) and the version byte.
struct SortOrder {
    int lcid = 0;
    int version = 0;
    bool operator==(const SortOrder&) const = default;
};

enum class TextOrder { GeneralLegacy, General, Unsupported };

// The key rules for a recorded sort order. A locale of 0 means the format's
// default, General Legacy for Jet 4.
TextOrder textOrderOf(SortOrder order);
// The sort order's name as the desktop program shows it, in Chinese
// ("常规（旧版）", "中文（拼音）", ...), with its number for the unknown ones.
std::string sortOrderName(SortOrder order);

// Appends the bytes of one index column for `value` (as the reader decodes
// rows: JetState::decodeRow). Returns false when the value cannot be put
// into a key of the column's type (a date that is not a date, ...); `out` is
// then unchanged.
bool appendColumnKey(std::vector<std::uint8_t>& out, const ColumnDef& column, const Value& value,
                     bool descending, TextOrder order);

// The text part of a key (after the flag byte) for UTF-16 text.
void appendTextKey(std::vector<std::uint8_t>& out, std::u16string_view text, bool descending,
                   TextOrder order);

// The first part of a text key, before its 01: the bytes every code unit
// of `text` contributes by its primary weight, in order (no cut at 255
// code units, trailing spaces kept). Case, accents and punctuation such as
// '-' add nothing here: they live in the later parts of the key.
void appendTextInline(std::vector<std::uint8_t>& out, std::u16string_view text, TextOrder order);

// UTF-8 to UTF-16 as the keys take text (malformed bytes become U+FFFD).
std::u16string utf16Of(std::string_view utf8);

// 'yyyy-MM-dd HH:mm:ss' to Jet's day number (days since 1899-12-30, the
// fraction the time of day, also before day 0). False when it is not such text.
bool oleDaysFromText(const std::string& text, double& days);

} // namespace engine::jet
