#pragma once

#include "engine/sql/JetSql.h"

#include <string>

namespace engine {

// What a Jet type word means: the ADO type code the catalogue reports, the
// defined size, and how the column is held and checked in SQLite.
struct JetType {
    std::string word; // as written by the creator: "Text(20)", "Counter"
    int code = 0;     // adtype code
    long size = 0;    // characters for text, bytes otherwise (0 for memo, long binary)
    int precision = 0;
    int scale = 0;
    bool autoIncrement = false;
    // A Currency column of a file written before amounts were kept exactly:
    // SQLite holds REAL amounts, not counts of 1/10,000 (read from the file).
    bool legacyReal = false;
    long long seed = 1;
    long long increment = 1;
};

// Resolves a parsed type; throws msg::UnknownTypeWord naming the column.
JetType resolveType(const sql::TypeSpec& spec, const std::string& column);

// The SQLite declared type that gives the column its storage affinity.
const char* sqliteAffinity(int code);

// The CHECK constraint (named "jet:<kind>:<arg>:<column>") that enforces the
// type the way Jet does, or empty when none is needed.
std::string typeCheck(const JetType& type, const std::string& column);

bool isTextCode(int code);
bool isIntegerCode(int code);
bool isFloatCode(int code);

} // namespace engine
