#pragma once

#include <string>

// Replacing a file by a complete new version in one step. Plain C++ over the
// file system, so a child process can use it without the windows.
namespace frame {

// A name beside `path` that no file has yet: `path` + `suffix`, or
// `path` + "." + n + `suffix` when that is taken (by a file or by the
// journal a database of that name would use). Nothing is created.
std::string freshSibling(const std::string& path, const std::string& suffix);

// Flushes `from` to disk, gives it the permissions of `to` when `to` exists,
// and renames it over `to` in one step: afterwards `to` is either the old
// file or the complete new one, never a mixture or missing. Returns false
// with the reason in `why` when the rename failed; `from` is then left.
bool replaceFile(const std::string& from, const std::string& to, std::string* why = nullptr);

// Removes a file, ignoring every failure (a missing file included).
void removeQuietly(const std::string& path);

} // namespace frame
