#pragma once

// The one place that includes SQLCipher's SQLite header: the codec API
// (sqlite3_key, sqlite3_rekey) is only declared with SQLITE_HAS_CODEC.
#ifndef SQLITE_HAS_CODEC
#define SQLITE_HAS_CODEC 1
#endif
#include <sqlcipher/sqlite3.h>
