#pragma once

// Declarations shared by the files of the Jet SQL module only.

#include "JetSql.h"

#include <string>
#include <string_view>
#include <vector>

namespace engine::sql {

// lenient: unterminated literals end the token list instead of throwing
// (classify must name a statement even when it is malformed).
std::vector<Token> tokenizeImpl(std::string_view jet, bool lenient);

[[noreturn]] void syntaxError(const std::string& detail);

// Case-insensitive test of a Word token.
bool isWord(const Token& t, std::string_view upperWord);

// Reserved words the expression parser stops at: after an expression or a
// list item they are never read as an alias or a column name.
bool endsExpression(std::string_view word);

} // namespace engine::sql
