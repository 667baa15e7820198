#pragma once

struct sqlite3;

namespace engine::sql {

// Registers Jet's functions (IIf, Nz, Left, Mid, InStr, DateAdd, Format, ...)
// and the helpers the translator emits on an open SQLite connection.
// Values follow the storage conventions of Value.h (dates as text
// 'yyyy-MM-dd HH:mm:ss', booleans -1/0).
void registerJetFunctions(sqlite3* db);

} // namespace engine::sql
