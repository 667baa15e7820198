#pragma once

#include <string>

// Compacting a database file in place, optionally changing its password.
// Plain C++ over the engine, without windows.
namespace frame {

struct CompactStrings {
    std::string source;      // the database with its old password
    std::string destination; // the compacted copy with its new password
};

// The connection strings the compaction hands the engine:
//   "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path +
//       ";Jet OLEDB:Database Password= " + old password
//   "Provider=Microsoft.Jet.OLEDB.4.0;Data Source= " + temporary path +
//       ";Jet OLEDB:Database Password= " + new password
// A path or password that would break the string (a ';', a quote, blanks at
// either end) is quoted, so it reaches the engine unchanged.
CompactStrings compactConnectionStrings(const std::string& path, const std::string& temporary,
                                        const std::string& oldPassword,
                                        const std::string& newPassword);

// Compacts the database at `path` into a fresh temporary file beside it,
// encrypted with `newPassword` (none when empty), checks that the copy opens
// with the new password and holds the same tables, saved queries and row
// counts, and only then renames it over the original in one step. Until that
// step the original is untouched; on any failure the temporary file is
// removed and the engine's failure (a wrong old password, a full disk, ...)
// is raised.
void compactInPlace(const std::string& path, const std::string& oldPassword,
                    const std::string& newPassword);

// The temporary name the compaction of `path` writes to: `path` + ".mdb",
// or a numbered variant when a file of that name is left from earlier.
std::string compactTemporaryPath(const std::string& path);

} // namespace frame
