// Large genuine Jet files read in place, one run, each figure beside its
// anchor on the same file in the same run:
//
//   open + count(*) of T                engine   vs  mdb-count
//   first 100 rows of select * from T   engine   vs  mdb-export | head -100
//   full scan of every column of T      engine   vs  mdb-export > /dev/null
//                                       (also in processor time, both sides)
//   lookup of one row by primary key    engine   vs  plain SQLite, indexed copy
//   rows of one name (a text index)     engine   vs  plain SQLite, indexed copy
//                                       (also the first one, which reads the
//                                       column once, and the same by a scan)
//   resident memory after a full scan   engine, beyond the program's own
//
// The files (table T of ROWS rows and 客户, made by jettool create-big) are
// made when missing and kept in the cache folder for the next run.
//
//   jet_inplace_bench [--rows N[,N...]] [--cache DIR] [--jettool PATH]
#include "BigJetFile.h"

#include "engine/Connection.h"
#include "engine/Recordset.h"
#include "engine/sqlite/Sqlite3.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

// Processor time used so far by this process, and by its finished children:
// on a loaded machine these compare the two sides better than the clock.
double cpuSelf() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}
double cpuChildren() {
    rusage u{};
    ::getrusage(RUSAGE_CHILDREN, &u);
    auto sec = [](const timeval& v) {
        return static_cast<double>(v.tv_sec) + static_cast<double>(v.tv_usec) / 1e6;
    };
    return sec(u.ru_utime) + sec(u.ru_stime);
}

// Runs a shell command with its output sent to /dev/null; its exit status.
int shell(const std::string& command) {
    const int st = std::system((command + " > /dev/null 2>&1").c_str());
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

std::string quoted(const std::string& s) {
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Resident memory of this process in MiB.
double residentMiB() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

engine::Connection openEngine(const std::string& path) {
    engine::Connection c;
    c.CursorLocation = 3;
    c.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path +
           ";Jet OLEDB:Database Password=;");
    return c;
}

void figure(const char* what, double engineSec, const char* anchor, double anchorSec,
            const char* target) {
    std::printf("  %-36s engine %9.4f s   %-28s %9.4f s   ratio %7.2f   (target %s)\n", what,
                engineSec, anchor, anchorSec, anchorSec > 0 ? engineSec / anchorSec : 0.0, target);
}

// A plain SQLite copy of T with ID as its primary key: what a careful
// programmer would look rows up in.
void writeSqliteCopy(const std::string& mdb, const std::string& path, long rows);

// Made in a child process, so this one's memory stays as it was.
std::string sqliteCopy(const std::string& mdb, long rows) {
    const std::string path = mdb + ".sqlite";
    if (fs::exists(path)) return path;
    const pid_t pid = ::fork();
    if (pid == 0) {
        writeSqliteCopy(mdb, path + ".part", rows);
        ::_exit(0);
    }
    int st = 0;
    ::waitpid(pid, &st, 0);
    fs::rename(path + ".part", path);
    return path;
}

void writeSqliteCopy(const std::string& mdb, const std::string& path, long rows) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db,
                 "PRAGMA journal_mode=OFF; CREATE TABLE T (ID INTEGER PRIMARY KEY, name TEXT, "
                 "amount REAL, created TEXT, flag INTEGER, note TEXT); BEGIN",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* ins = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO T VALUES (?1,?2,?3,?4,?5,?6)", -1, &ins, nullptr);
    auto c = openEngine(mdb);
    auto rs = c.Execute("select ID, name, amount, created, flag, note from T");
    for (long i = 0; i < rows && !rs.Eof(); ++i, rs.MoveNext()) {
        sqlite3_reset(ins);
        sqlite3_bind_int64(ins, 1, rs[0].GetValue().toInt());
        const std::string name = rs[1].GetValue().toText();
        sqlite3_bind_text(ins, 2, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(ins, 3, rs[2].GetValue().toDouble());
        const std::string created = rs[3].GetValue().toText();
        sqlite3_bind_text(ins, 4, created.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(ins, 5, rs[4].GetValue().toBool() ? -1 : 0);
        const std::string note = rs[5].GetValue().toText();
        sqlite3_bind_text(ins, 6, note.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_step(ins);
    }
    sqlite3_finalize(ins);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

// Resident memory before the engine was first used.
double g_baseMiB = 0;

void runOne(const std::string& cache, const std::string& jettool, long rows) {
    const std::string mdb = jetbench::bigJetFile(cache, jettool, rows);
    if (mdb.empty()) {
        std::printf("  jettool could not make the file; skipped\n");
        return;
    }
    const std::string sqlitePath = sqliteCopy(mdb, rows);
    std::printf("\n%s (%ld rows, %.0f MB)\n", mdb.c_str(), rows,
                static_cast<double>(fs::file_size(mdb)) / 1e6);
    // Warm the file into the page cache for both sides alike.
    shell("cat " + quoted(mdb) + " > /dev/null");

    // open + count
    auto t0 = Clock::now();
    shell("mdb-count " + quoted(mdb) + " T");
    const double mdbCount = seconds(t0);
    t0 = Clock::now();
    long counted = 0;
    {
        auto c = openEngine(mdb);
        counted = static_cast<long>(c.Execute("select count(*) from T").valueAt(0, 0).toInt());
    }
    figure("open + count(*)", seconds(t0), "mdb-count", mdbCount, "<= 0.05 s, ratio <= 5");
    if (counted != rows) std::printf("  !! count(*) gave %ld rows, not %ld\n", counted, rows);

    auto c = openEngine(mdb);
    // first 100 rows, as a grid asks for them
    t0 = Clock::now();
    shell("mdb-export " + quoted(mdb) + " T | head -101");
    const double mdbHead = seconds(t0);
    t0 = Clock::now();
    std::size_t chars = 0;
    {
        engine::Recordset rs;
        rs.Open("select * from T", c, engine::cursor::Keyset, engine::lock::ReadOnly,
                engine::option::AsyncFetch);
        for (long i = 0; i < 100; ++i)
            for (const auto& v : rs.rowValues(i))
                chars += v.toText().size();
    }
    figure("first 100 rows of select * from T", seconds(t0), "mdb-export | head -100", mdbHead,
           "<= 0.05 s");

    // full scan of every column
    t0 = Clock::now();
    const double childCpu0 = cpuChildren();
    shell("mdb-export " + quoted(mdb) + " T");
    const double mdbExport = seconds(t0);
    const double mdbExportCpu = cpuChildren() - childCpu0;
    t0 = Clock::now();
    const double selfCpu0 = cpuSelf();
    long seen = 0;
    double scan = 0, scanCpu = 0, afterMiB = 0;
    {
        auto rs = c.Execute("select * from T");
        const long total = rs.RecordCount();
        for (long i = 0; i < total; ++i, ++seen)
            for (const auto& v : rs.rowValues(i))
                chars += v.toText().size();
        scan = seconds(t0);
        scanCpu = cpuSelf() - selfCpu0;
        // Measured with the result and the file still open.
        afterMiB = residentMiB();
    }
    figure("full scan of all columns", scan, "mdb-export > /dev/null", mdbExport, "ratio <= 0.5");
    figure("  the same in processor time", scanCpu, "mdb-export (processor)", mdbExportCpu,
           "ratio <= 0.5");
    if (seen != rows) std::printf("  !! the scan gave %ld rows, not %ld\n", seen, rows);

    // lookup by primary key: the mean of many lookups spread over the table
    sqlite3* plain = nullptr;
    sqlite3_open_v2(sqlitePath.c_str(), &plain, SQLITE_OPEN_READONLY, nullptr);
    const int lookups = 200;
    t0 = Clock::now();
    for (int i = 0; i < lookups; ++i) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(plain, "SELECT * FROM T WHERE ID = ?1", -1, &st, nullptr);
        sqlite3_bind_int64(st, 1, 1 + (static_cast<long>(i) * 7919 * 127) % rows);
        if (sqlite3_step(st) == SQLITE_ROW)
            for (int k = 0; k < sqlite3_column_count(st); ++k)
                chars += static_cast<std::size_t>(sqlite3_column_bytes(st, k));
        sqlite3_finalize(st);
    }
    const double plainLookup = seconds(t0) / lookups;
    sqlite3_close(plain);
    long found = 0;
    t0 = Clock::now();
    for (int i = 0; i < lookups; ++i) {
        auto rs = c.Execute("select * from T where ID = " +
                            std::to_string(1 + (static_cast<long>(i) * 7919 * 127) % rows));
        if (!rs.Eof()) {
            ++found;
            for (const auto& v : rs.rowValues(0))
                chars += v.toText().size();
        }
    }
    figure("lookup of one row by primary key", seconds(t0) / lookups, "plain SQLite (PK)",
           plainLookup, "<= 0.001 s");
    if (found != lookups) std::printf("  !! %ld of %d lookups found their row\n", found, lookups);

    // rows of one name through the text index: names spread over the table
    std::vector<std::string> names;
    for (int i = 0; i < 50; ++i) {
        auto rs = c.Execute("select name from T where ID = " +
                            std::to_string(1 + (static_cast<long>(i) * 7919 * 131) % rows));
        if (!rs.Eof() && !rs.rowValues(0)[0].isNullOrEmpty())
            names.push_back(rs.rowValues(0)[0].toText());
    }
    if (!names.empty()) {
        sqlite3* rw = nullptr;
        sqlite3_open(sqlitePath.c_str(), &rw);
        sqlite3_exec(rw, "CREATE INDEX IF NOT EXISTS T_name ON T(name)", nullptr, nullptr, nullptr);
        sqlite3_close(rw);
        sqlite3_open_v2(sqlitePath.c_str(), &plain, SQLITE_OPEN_READONLY, nullptr);
        t0 = Clock::now();
        long plainRows = 0;
        for (const auto& n : names) {
            sqlite3_stmt* st = nullptr;
            sqlite3_prepare_v2(plain, "SELECT * FROM T WHERE name = ?1", -1, &st, nullptr);
            sqlite3_bind_text(st, 1, n.c_str(), -1, SQLITE_TRANSIENT);
            while (sqlite3_step(st) == SQLITE_ROW) {
                ++plainRows;
                chars += static_cast<std::size_t>(sqlite3_column_bytes(st, 1));
            }
            sqlite3_finalize(st);
        }
        const double plainName = seconds(t0) / static_cast<double>(names.size());
        sqlite3_close(plain);
        auto byName = [&](const std::string& n, const std::string& field) {
            std::string lit = "'";
            for (char ch : n)
                lit += ch == '\'' ? std::string("''") : std::string(1, ch);
            auto rs = c.Execute("select * from T where " + field + " = " + lit + "'");
            const long count = rs.RecordCount();
            for (long i = 0; i < count; ++i)
                chars += rs.rowValues(i)[1].toText().size();
            return count;
        };
        t0 = Clock::now();
        long engineRows = byName(names[0], "name");
        const double first = seconds(t0);
        t0 = Clock::now();
        for (std::size_t i = 1; i < names.size(); ++i)
            engineRows += byName(names[i], "name");
        const double later =
            names.size() > 1 ? seconds(t0) / static_cast<double>(names.size() - 1) : first;
        // The same rows by a scan: the concatenation hides the column from the index.
        t0 = Clock::now();
        const long scanned = byName(names[0], "name & ''");
        const double scanOne = seconds(t0);
        figure("rows of one name (text index)", later, "plain SQLite (index)", plainName,
               "about 0.001 s");
        figure("  the first one (reads the column)", first, "the same by a scan", scanOne, "-");
        if (engineRows != plainRows || scanned != byName(names[0], "name"))
            std::printf("  !! %ld rows by name, plain SQLite %ld\n", engineRows, plainRows);
    }

    std::printf("  %-36s %9.1f MB beyond the program's own (%.1f MB before opening, %.1f MB "
                "after)   (target <= 64 MB)\n",
                "resident memory after the full scan", afterMiB - g_baseMiB, g_baseMiB, afterMiB);
    std::fprintf(stderr, "%zu\n", chars % 10);
}

} // namespace

int main(int argc, char** argv) {
    std::vector<long> rows = {100000, 1000000};
    std::string cache = (fs::temp_directory_path() / "tabelko-jetbench").string();
    std::string jettool = TABELKO_JETTOOL;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rows") == 0 && i + 1 < argc) {
            rows.clear();
            std::stringstream list(argv[++i]);
            std::string item;
            while (std::getline(list, item, ','))
                rows.push_back(std::stol(item));
        } else if (std::strcmp(argv[i], "--cache") == 0 && i + 1 < argc) {
            cache = argv[++i];
        } else if (std::strcmp(argv[i], "--jettool") == 0 && i + 1 < argc) {
            jettool = argv[++i];
        } else {
            std::fprintf(stderr, "usage: %s [--rows N[,N...]] [--cache DIR] [--jettool PATH]\n",
                         argv[0]);
            return 2;
        }
    }
    if (shell("mdb-count --version") == 127 || shell("command -v mdb-export") != 0) {
        std::fprintf(stderr, "mdbtools is not on PATH: install mdbtools\n");
        return 1;
    }
    fs::create_directories(cache);
    g_baseMiB = residentMiB();
    std::printf("genuine Jet files read in place; ratio = engine time / anchor time\n");
    for (long n : rows)
        runOne(cache, jettool, n);
    return 0;
}
