#pragma once

#include "engine/Recordset.h"

#include <ostream>
#include <string>

namespace tools {

enum class Format { Tsv, Table, Json };

// Writes every row of an open recordset: tab-separated with a header line,
// aligned columns, or one JSON array of objects.
void writeRows(std::ostream& out, engine::Recordset& rs, Format format);

// Display width of UTF-8 text in terminal cells (CJK and full-width
// characters take two).
std::size_t displayWidth(const std::string& text);

std::string jsonString(const std::string& text);

} // namespace tools
