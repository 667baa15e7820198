// One small change committed to a large genuine Jet file through the page
// store (journal written and synced, page written and synced), beside one
// row updated and committed by plain SQLite (rollback journal,
// synchronous=FULL) in the same folder, in one run. Median of many commits.
//
// The genuine file (table T of ROWS rows, made by jettool create-big) is made
// when missing and kept in the cache folder; each run works on a copy.
//
//   jet_commit_bench [--rows N] [--commits N] [--cache DIR] [--jettool PATH]
#include "BigJetFile.h"

#include "engine/jet/JetFile.h"
#include "engine/jet/JetPageStore.h"
#include "engine/sqlite/Sqlite3.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double millis(Clock::time_point from) {
    return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Commit of one page rewritten (as read) plus the table definition page:
// what an edited row that stays on its page costs in page writes.
double jetCommit(const std::string& mdb, int commits) {
    auto file = engine::jet::JetFile::open(mdb);
    const std::uint32_t tdef = file.table("T").tdefPage;
    auto store = engine::jet::PageStore::open(file);
    const std::uint32_t pages = static_cast<std::uint32_t>(fs::file_size(mdb) / 4096);
    std::vector<double> times;
    for (int i = 0; i < commits; ++i) {
        const std::uint32_t page = pages / 2 + static_cast<std::uint32_t>(i);
        const auto t0 = Clock::now();
        store->begin();
        store->write(page, *store->read(page));
        store->write(tdef, *store->read(tdef));
        store->commit();
        times.push_back(millis(t0));
    }
    return median(times);
}

double sqliteCommit(const std::string& folder, int commits) {
    const std::string path = folder + "/plain.sqlite";
    fs::remove(path);
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db,
                 "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL;"
                 "CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, amount REAL);"
                 "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100000)"
                 " INSERT INTO t SELECT i, 'name ' || i, i * 1.5 FROM n;",
                 nullptr, nullptr, nullptr);
    std::vector<double> times;
    for (int i = 0; i < commits; ++i) {
        const std::string sql =
            "UPDATE t SET amount = amount + 1 WHERE id = " + std::to_string(50000 + i);
        const auto t0 = Clock::now();
        sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
        times.push_back(millis(t0));
    }
    sqlite3_close(db);
    fs::remove(path);
    return median(times);
}

} // namespace

int main(int argc, char** argv) {
    long rows = 1000000;
    int commits = 50;
    std::string cache = (fs::temp_directory_path() / "tabelko-jetbench").string();
    std::string jettool = TABELKO_JETTOOL;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rows") == 0 && i + 1 < argc) {
            rows = std::atol(argv[++i]);
        } else if (std::strcmp(argv[i], "--commits") == 0 && i + 1 < argc) {
            commits = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--cache") == 0 && i + 1 < argc) {
            cache = argv[++i];
        } else if (std::strcmp(argv[i], "--jettool") == 0 && i + 1 < argc) {
            jettool = argv[++i];
        } else {
            std::fprintf(stderr,
                         "usage: %s [--rows N] [--commits N] [--cache DIR] [--jettool PATH]\n",
                         argv[0]);
            return 2;
        }
    }
    const std::string big = jetbench::bigJetFile(cache, jettool, rows);
    if (big.empty()) {
        std::printf("jettool could not make the file\n");
        return 1;
    }
    const std::string work = cache + "/commit-work.mdb";
    fs::copy_file(big, work, fs::copy_options::overwrite_existing);
    fs::permissions(work, fs::perms::owner_read | fs::perms::owner_write);

    const double jet = jetCommit(work, commits);
    const double plain = sqliteCommit(cache, commits);
    fs::remove(work);
    std::printf("%ld-row genuine file, median of %d commits:\n", rows, commits);
    std::printf("  page store commit (2 pages)     %7.2f ms   target <= 10 ms\n", jet);
    std::printf("  plain SQLite one-row UPDATE     %7.2f ms\n", plain);
    std::printf("  ratio                           %7.2f\n", plain > 0 ? jet / plain : 0.0);
    return 0;
}
