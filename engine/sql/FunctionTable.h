#pragma once

// The Jet functions the translator knows, and the SQLite function each one
// becomes. Shared by the translator (calls), renameIdentifier (a function
// name is never a table or field) and the registration of the functions.

#include <string_view>

namespace engine::sql {

// Currency: an exact count of 1/10,000 units (how Currency columns are
// stored); value() turns it into an amount wherever it meets anything else.
enum class ValueType { Unknown, Number, String, Date, Bool, Currency };

struct JetFunction {
    const char* jet;    // upper case, without a trailing '$'
    const char* sqlite; // the registered (or built-in) name; nullptr: written inline
    int minArgs;
    int maxArgs;
    ValueType result;
    bool aggregate;
};

// nullptr when the name is not a Jet function. Case-insensitive; a trailing
// '$' (Left$, Mid$) is ignored.
const JetFunction* findJetFunction(std::string_view name);

} // namespace engine::sql
