#pragma once

// Text equality through a genuine file's text index. SQLite compares text
// with the engine's collation (sql::collation); the index orders it by Jet's
// key bytes. The first part of a Jet key (its primary bytes) is the same for
// two texts the collation calls equal when every character of both is
// "plain": one whose primary bytes follow from the collation's primary
// weights alone, the same bytes for every character of those weights. Most
// characters are plain; Arabic or Devanagari digits (equal to 0-9 for the
// collation, other bytes in Jet), zero-width spaces, presentation forms and
// the like are not.
//
// So a column whose stored values are all plain can find `col = 'x'`, for a
// plain x, among the index entries that start with x's primary bytes:
//
//   ColumnCensus census = censusOf(reader, column, order);   // one scan
//   if (auto p = equalityPrefix("x", census, order, descending))
//       ids = reader.indexPrefix(index, *p);
//
// The entries found may include rows that differ (in case, accents, '-' ...);
// SQLite checks each row again.

#include "engine/jet/JetIndexKeys.h"
#include "engine/jet/JetTableReader.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace engine::jettables {

// What a scan of one text column found out about its values.
struct ColumnCensus {
    bool plain = true; // every value consists of plain characters
    // The fewest primary bytes any value stores whose key Jet cut at 255
    // code units; -1 when no value is that long.
    long shortestCut = -1;
    // Takes one more value in; false once a value was not plain.
    bool add(std::string_view utf8, jet::TextOrder order);
};

// True when every character of the UTF-8 text is plain in that order.
bool plainText(std::string_view utf8, jet::TextOrder order);

// Reads the column's values once.
ColumnCensus censusOf(jet::TableReader& reader, std::size_t column, jet::TextOrder order);

// The bytes (flag byte first) every index entry of a row whose value equals
// `utf8` starts with; nothing when the value or the column is not plain.
std::optional<std::vector<std::uint8_t>> equalityPrefix(std::string_view utf8,
                                                        const ColumnCensus& census,
                                                        jet::TextOrder order, bool descending);

// The bytes (flag byte first) every index entry of a row that SQLite's LIKE
// finds for `pattern` starts with: those of its literal start (up to the
// first % or _), whose ASCII letters match in either case and whose other
// characters match as they are, so any character will do. Nothing when the
// pattern starts with a wildcard.
std::optional<std::vector<std::uint8_t>> likePrefix(std::string_view pattern, jet::TextOrder order,
                                                    bool descending);

} // namespace engine::jettables
