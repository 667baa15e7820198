#pragma once

#include "engine/Recordset.h"

#include <QByteArray>
#include <QString>

#include <functional>

// Writing the rows of a result to files: the tab-separated text the file
// menu's export writes, CSV and Excel workbooks.
namespace frame::exporting {

// Told how many of the result's rows are written so far; returns false to
// stop the export (the user pressed cancel).
using Progress = std::function<bool(long done, long total)>;

// Rows of a result that the export visits, deleted rows excluded.
long exportRowCount(const engine::Recordset& rs);

// One line per record: a tab before every value (null as empty text), CR LF
// after each record, no header. Values are written as they are. Returns an
// empty text for a closed result or one without rows.
QString tabText(const engine::Recordset& rs);

// Thrown when the user cancelled an export; nothing was written.
struct Cancelled {};

enum class Format { TabText, Csv, Xlsx };

// The format a file name asks for by its extension (.csv, .xlsx, anything
// else tab text).
Format formatFor(const QString& fileName);

// Writes the result to `path` in `format`: CSV with a header row, RFC 4180
// quoting and a UTF-8 byte-order mark; an Excel workbook with a header row
// and typed cells; tab text in the locale's encoding. The file is written
// under a temporary name beside `path` and renamed into place when complete,
// so a failure or a cancel leaves an existing file as it was. Raises
// std::runtime_error with a Chinese reason, or Cancelled.
void writeFile(const engine::Recordset& rs, const QString& path, Format format,
               const Progress& progress = {});

// The largest number of data rows a worksheet holds below its header row.
inline constexpr long MaxXlsxRows = 1048575;

} // namespace frame::exporting
