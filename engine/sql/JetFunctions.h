#pragma once

struct sqlite3;

namespace engine::sql {

// Registers Jet's functions (IIf, Nz, Left, Mid, InStr, DateAdd, Format, ...)
// and the helpers the translator emits on an open SQLite connection.
// Values follow the storage conventions of Value.h (dates as text
// 'yyyy-MM-dd HH:mm:ss', booleans -1/0).
//
// Also registers the collation JetTextCollation: text compared as Jet
// compares it, without regard to letter case, accented letters beside their
// base letters and Chinese in pinyin order (see JetCollation.h), for TEXT
// columns declared "COLLATE JETTEXT" so that =, ORDER BY and indexes match
// Jet.
void registerJetFunctions(sqlite3* db);

inline constexpr const char* JetTextCollation = "JETTEXT";

} // namespace engine::sql
