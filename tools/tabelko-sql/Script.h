#pragma once

#include <string>
#include <vector>

namespace tools {

// Splits a script into statements: on ';' outside quotes, brackets and #dates#.
// A script without any such ';' holds one statement per line. Blank
// statements are dropped.
std::vector<std::string> splitStatements(const std::string& script);

} // namespace tools
