#include "FileReplace.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace frame {

namespace {

void syncPath(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

std::string freshSibling(const std::string& path, const std::string& suffix) {
    std::error_code ec;
    // A journal left beside a name by a killed run would be rolled into a
    // new database of that name, so such names count as taken too.
    auto taken = [&ec](const std::string& name) {
        for (const char* extra : {"", "-journal", "-wal", "-shm"})
            if (fs::exists(fs::symlink_status(name + extra, ec))) return true;
        return false;
    };
    std::string candidate = path + suffix;
    for (int n = 1; taken(candidate); ++n)
        candidate = path + "." + std::to_string(n) + suffix;
    return candidate;
}

bool replaceFile(const std::string& from, const std::string& to, std::string* why) {
    std::error_code ec;
    // The new version keeps the access rights the user gave the old file.
    const fs::file_status old = fs::status(to, ec);
    if (!ec && fs::exists(old)) fs::permissions(from, old.permissions(), ec);
    syncPath(from, O_RDONLY);
    if (::rename(from.c_str(), to.c_str()) != 0) {
        if (why) *why = std::strerror(errno);
        return false;
    }
    // The rename itself reaches the disk with the folder's entry.
    syncPath(fs::path(to).parent_path().empty() ? std::string(".")
                                                : fs::path(to).parent_path().string(),
             O_RDONLY | O_DIRECTORY);
    return true;
}

void removeQuietly(const std::string& path) {
    std::error_code ec;
    fs::remove(path, ec);
}

} // namespace frame
