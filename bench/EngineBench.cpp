// Measures the engine's keyset recordsets against the plain SQLite C API
// doing the same work on the same million-row file, and prints the ratios.
//
//   engine_bench [--rows N] [benchmark flags]
#include "engine/Connection.h"
#include "engine/sql/JetFunctions.h"
#include "engine/sqlite/SqliteDb.h"

#include "MillionRows.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

namespace {

long g_rows = 1000000;
std::string g_path;

void buildFile() {
    g_path = bench::buildMillionRowFile("tabelko-bench.mdb", g_rows);
}

engine::Connection openEngine() {
    engine::Connection c;
    c.CursorLocation = 3;
    c.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + g_path +
           ";Jet OLEDB:Database Password=;");
    return c;
}

sqlite3* openPlain() {
    sqlite3* db = nullptr;
    sqlite3_open_v2(g_path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    return db;
}

// Plain SQLite: what a program would do for the same result — step the
// statement to count, then read the rows it needs.
long plainCount(sqlite3* db, const char* sql) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    long n = 0;
    while (sqlite3_step(st) == SQLITE_ROW)
        ++n;
    sqlite3_finalize(st);
    return n;
}

void readRows(sqlite3* db, const char* sql, long offset, long count) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    sqlite3_bind_int64(st, 1, count);
    sqlite3_bind_int64(st, 2, offset);
    while (sqlite3_step(st) == SQLITE_ROW)
        for (int i = 0; i < sqlite3_column_count(st); ++i)
            benchmark::DoNotOptimize(sqlite3_column_text(st, i));
    sqlite3_finalize(st);
}

void engineRead(engine::Recordset& rs, long first, long count) {
    for (long r = first; r < first + count; ++r)
        for (int f = 0; f < 5; ++f)
            benchmark::DoNotOptimize(rs.valueAt(r, f));
}

void BM_Engine_OpenCount(benchmark::State& s) {
    auto c = openEngine();
    for (auto _ : s) {
        engine::Recordset rs;
        rs.Open("select * from T", c, 1, 3, -1);
        benchmark::DoNotOptimize(rs.RecordCount());
    }
}
void BM_Plain_OpenCount(benchmark::State& s) {
    sqlite3* db = openPlain();
    for (auto _ : s)
        benchmark::DoNotOptimize(plainCount(db, "select * from T"));
    sqlite3_close(db);
}

// The fastest plain way to the same number, for an honest lower bound.
void BM_Plain_CountStar(benchmark::State& s) {
    sqlite3* db = openPlain();
    for (auto _ : s) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "select count(*) from T", -1, &st, nullptr);
        sqlite3_step(st);
        benchmark::DoNotOptimize(sqlite3_column_int64(st, 0));
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
}

void BM_Engine_First100(benchmark::State& s) {
    auto c = openEngine();
    for (auto _ : s) {
        engine::Recordset rs;
        rs.Open("select * from T", c, 1, 3, -1);
        engineRead(rs, 0, 100);
    }
}
void BM_Plain_First100(benchmark::State& s) {
    sqlite3* db = openPlain();
    for (auto _ : s) {
        benchmark::DoNotOptimize(plainCount(db, "select * from T"));
        readRows(db, "select * from T limit ?1 offset ?2", 0, 100);
    }
    sqlite3_close(db);
}

void BM_Engine_Jump900k(benchmark::State& s) {
    auto c = openEngine();
    engine::Recordset rs;
    rs.Open("select * from T", c, 1, 3, -1);
    long at = 0;
    for (auto _ : s) {
        // A different page each time, so the cache does not answer.
        engineRead(rs, g_rows * 9 / 10 + (at++ % 50) * 100, 100);
    }
}
void BM_Plain_Jump900k(benchmark::State& s) {
    sqlite3* db = openPlain();
    long at = 0;
    for (auto _ : s)
        readRows(db, "select * from T limit ?1 offset ?2", g_rows * 9 / 10 + (at++ % 50) * 100,
                 100);
    sqlite3_close(db);
}

void BM_Engine_OrderByDesc(benchmark::State& s) {
    auto c = openEngine();
    for (auto _ : s) {
        engine::Recordset rs;
        rs.Open("select * from T Order By amount Desc", c, 1, 3, -1);
        benchmark::DoNotOptimize(rs.RecordCount());
        engineRead(rs, 0, 100);
    }
}
void BM_Plain_OrderByDesc(benchmark::State& s) {
    sqlite3* db = openPlain();
    for (auto _ : s) {
        benchmark::DoNotOptimize(plainCount(db, "select * from T order by amount desc"));
        readRows(db, "select * from T order by amount desc limit ?1 offset ?2", 0, 100);
    }
    sqlite3_close(db);
}

// Sorting text: the engine's collation (case-insensitive, accents with
// their base letters, pinyin) against the former plain code-point
// comparison without case, registered under the same name on the plain
// handle, so the ratio is the cost of the collation itself.
int codePointNoCase(void*, int na, const void* pa, int nb, const void* pb) {
    const auto* a = static_cast<const unsigned char*>(pa);
    const auto* b = static_cast<const unsigned char*>(pb);
    int i = 0;
    for (; i < na && i < nb; ++i) {
        unsigned char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x += 32;
        if (y >= 'A' && y <= 'Z') y += 32;
        if (x != y) return x < y ? -1 : 1;
    }
    return na == nb ? 0 : (na < nb ? -1 : 1);
}
sqlite3* openPlainWithFormerCollation() {
    sqlite3* db = openPlain();
    sqlite3_create_collation_v2(db, "JETTEXT", SQLITE_UTF8, nullptr, codePointNoCase, nullptr);
    return db;
}
template <int Column> void BM_Engine_OrderByText(benchmark::State& s) {
    const char* sql =
        Column == 0 ? "select * from T Order By name" : "select * from T Order By city, id";
    auto c = openEngine();
    for (auto _ : s) {
        engine::Recordset rs;
        rs.Open(sql, c, 1, 3, -1);
        benchmark::DoNotOptimize(rs.RecordCount());
        engineRead(rs, 0, 100);
    }
}
// The same plain work with the engine's collation: against the line above,
// the cost of the collation alone.
template <int Column, bool Engine = false> void BM_Plain_OrderByText(benchmark::State& s) {
    const char* sql =
        Column == 0 ? "select * from T order by name" : "select * from T order by city, id";
    const std::string page = std::string(sql) + " limit ?1 offset ?2";
    sqlite3* db = Engine ? openPlain() : openPlainWithFormerCollation();
    if (Engine) engine::sql::registerJetFunctions(db);
    for (auto _ : s) {
        benchmark::DoNotOptimize(plainCount(db, sql));
        readRows(db, page.c_str(), 0, 100);
    }
    sqlite3_close(db);
}

void BM_Engine_LikeScan(benchmark::State& s) {
    auto c = openEngine();
    for (auto _ : s) {
        engine::Recordset rs;
        rs.Open("select * from T where name like '%x13%'", c, 1, 3, -1);
        benchmark::DoNotOptimize(rs.RecordCount());
    }
}
void BM_Plain_LikeScan(benchmark::State& s) {
    sqlite3* db = openPlain();
    for (auto _ : s)
        benchmark::DoNotOptimize(plainCount(db, "select * from T where name like '%x13%'"));
    sqlite3_close(db);
}

long peakRssKb() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return 0;
}
long currentRssKb() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return 0;
}

// Collects the per-iteration times to print ratios at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& r : runs)
            times_[r.benchmark_name()] = r.GetAdjustedRealTime();
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n%-14s %12s %12s %8s\n", "work", "engine", "sqlite", "ratio");
        for (const char* w : {"OpenCount", "First100", "Jump900k", "OrderByDesc", "LikeScan",
                              "OrderByText<0>", "OrderByText<1>"}) {
            const double e = find(std::string("BM_Engine_") + w);
            const double p = find(std::string("BM_Plain_") + w);
            std::printf("%-14s %10.2fms %10.2fms %8.2f\n", w, e, p, p > 0 ? e / p : 0.0);
        }
        const double e = find("BM_Engine_OpenCount"), p = find("BM_Plain_CountStar");
        std::printf("%-14s %10.2fms %10.2fms %8.2f   (plain: select count(*))\n", "OpenCount*", e,
                    p, p > 0 ? e / p : 0.0);
    }

private:
    double find(const std::string& prefix) {
        for (const auto& [name, t] : times_)
            if (name.rfind(prefix, 0) == 0) return t;
        return 0;
    }
    std::map<std::string, double> times_;
};

} // namespace

BENCHMARK(BM_Engine_OpenCount)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Plain_OpenCount)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Plain_CountStar)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Engine_First100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Plain_First100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Engine_Jump900k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Plain_Jump900k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Engine_OrderByDesc)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Plain_OrderByDesc)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Engine_LikeScan)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Engine_OrderByText, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Plain_OrderByText, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Plain_OrderByText, 0, true)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Engine_OrderByText, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Plain_OrderByText, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Plain_OrderByText, 1, true)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Plain_LikeScan)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--rows") == 0) g_rows = std::stol(argv[i + 1]);
    buildFile();

    // Memory of one open million-row recordset, beyond the process before it.
    {
        const long before = currentRssKb();
        auto c = openEngine();
        const auto t0 = std::chrono::steady_clock::now();
        engine::Recordset rs;
        rs.Open("select * from T", c, 1, 3, -1);
        const long n = rs.RecordCount();
        const auto ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count();
        for (long r = 0; r < n; r += n / 200)
            rs.valueAt(r, 1); // scroll through
        std::printf("open + RecordCount of %ld rows: %.1f ms; memory beyond start: %.1f MB (peak "
                    "%.1f MB)\n",
                    n, ms, (currentRssKb() - before) / 1024.0, peakRssKb() / 1024.0);
    }

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::filesystem::remove(g_path);
    return 0;
}
