#pragma once

// The large genuine Jet 4 files the benchmarks work on: table T of `rows`
// rows and table 客户, made by `jettool create-big` when missing and kept in
// the cache folder for later runs.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace jetbench {

// The file's path; empty when jettool could not make it.
inline std::string bigJetFile(const std::string& cache, const std::string& jettool, long rows) {
    namespace fs = std::filesystem;
    fs::create_directories(cache);
    const std::string mdb = cache + "/big-" + std::to_string(rows) + ".mdb";
    if (fs::exists(mdb)) return mdb;
    std::printf("making %s with jettool (about %ld s)...\n", mdb.c_str(),
                rows / 11000 > 5 ? rows / 11000 : 5L);
    std::fflush(stdout);
    const std::string part = mdb + ".part";
    fs::remove(part);
    const std::string cmd =
        "'" + jettool + "' create-big '" + part + "' " + std::to_string(rows) + " > /dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0 || !fs::exists(part)) return {};
    fs::rename(part, mdb);
    return mdb;
}

} // namespace jetbench
