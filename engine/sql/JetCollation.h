#pragma once

// The order of text: Jet's comparison for Chinese users. Letters sort with
// their base letters whatever their case or accent (Århus before Bern),
// Chinese text in pinyin order, and letter case never decides (secondary
// strength: "abc" and "ABC" are equal, "a" and "á" are not).

#include <string_view>

struct sqlite3;
struct UCollator;

namespace engine::sql::collation {

// <0, 0, >0. Both texts are UTF-8.
int compare(std::string_view a, std::string_view b);

// The same through the collation library alone, without the shortcut for
// plain ASCII differences (tests compare the two).
int compareFull(std::string_view a, std::string_view b);

// The collator compare() asks on this thread (nullptr when the library has
// none): for code that must agree with this order character by character.
UCollator* textCollator();

// Files written before text was ordered this way keep their text indexes in
// the former order; they are rebuilt once when the file is opened for
// writing. A read-only file is left as it is.
void reorderTextIndexes(sqlite3* db);

} // namespace engine::sql::collation
