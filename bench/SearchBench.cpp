// The smart search's all-columns statement on the million-row file: the
// engine opening it as the table loader does (keyset and record count)
// against plain SQLite stepping the same LIKE conditions to the end, with
// ratios. Also the cost of the progress handler the search window installs
// so that the user can cancel.
//
//   search_bench [--rows N] [benchmark flags]
#include "engine/Connection.h"
#include "engine/sqlite/Sqlite3.h"

#include "MillionRows.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>

namespace {

long g_rows = 1000000;
std::string g_path;

// The fragments searched for: a text found in one row of seven, a number
// found in few rows, and a fragment with a wildcard character that the
// window puts in brackets (Jet's own pattern matcher then does the work).
struct Fragment {
    const char* label;
    const char* jet;   // as the window writes it between '%' and '%'
    const char* plain; // the same for SQLite's LIKE
    const char* escape;
};
const Fragment fragments[] = {
    {"Common", "上海", "上海", nullptr},
    {"Rare", "12345", "12345", nullptr},
    {"Wildcard", "50[%]", "50\\%", "\\"},
};

std::string jetStatement(const Fragment& f) {
    std::string sql = "select * from [T] where ";
    const char* columns[] = {"id", "name", "city", "amount", "born"};
    for (int i = 0; i < 5; ++i)
        sql += std::string(i ? " or [" : "[") + columns[i] + "] like '%" + f.jet + "%'";
    return sql;
}

std::string plainStatement(const Fragment& f) {
    std::string sql = "SELECT * FROM T WHERE ";
    const char* columns[] = {"id", "name", "city", "amount", "born"};
    for (int i = 0; i < 5; ++i) {
        sql += std::string(i ? " OR " : "") + columns[i] + " LIKE '%" + f.plain + "%'";
        if (f.escape) sql += std::string(" ESCAPE '") + f.escape + "'";
    }
    return sql;
}

engine::Connection openEngine() {
    engine::Connection c;
    c.CursorLocation = 3;
    c.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + g_path +
           ";Jet OLEDB:Database Password=;");
    return c;
}

void engineSearch(benchmark::State& s, const Fragment& f, bool withHandler) {
    auto c = openEngine();
    if (withHandler) {
        // What the window's handler does on every call: read a clock.
        const auto start = std::chrono::steady_clock::now();
        c.SetProgressHandler(
            [start] { return std::chrono::steady_clock::now() - start > std::chrono::hours(1); },
            4000);
    }
    const std::string sql = jetStatement(f);
    long n = 0;
    for (auto _ : s) {
        engine::Recordset rs;
        rs.Open(sql, c, 1, 3, -1);
        n = rs.RecordCount();
        benchmark::DoNotOptimize(n);
    }
    s.counters["rows"] = static_cast<double>(n);
}

void plainSearch(benchmark::State& s, const Fragment& f) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(g_path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    const std::string sql = plainStatement(f);
    long n = 0;
    for (auto _ : s) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
        n = 0;
        while (sqlite3_step(st) == SQLITE_ROW)
            ++n;
        sqlite3_finalize(st);
        benchmark::DoNotOptimize(n);
    }
    s.counters["rows"] = static_cast<double>(n);
    sqlite3_close(db);
}

// Prints, after the usual table, wall-clock and processor times side by side
// with the engine-to-SQLite ratio. With repetitions the means are used.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& r : runs) {
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name != "mean") continue;
            const std::string name = r.run_name.str();
            times_[name] = {r.GetAdjustedRealTime(), r.GetAdjustedCPUTime()};
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n%-10s %22s %22s %22s %14s\n", "fragment", "engine (wall/cpu)",
                    "engine+cancel", "sqlite", "ratio (cpu)");
        for (const Fragment& f : fragments) {
            const std::string l = f.label;
            const Time e = times_["Engine/" + l], h = times_["EngineCancellable/" + l],
                       p = times_["Plain/" + l];
            std::printf("%-10s %9.0f /%7.0f ms %9.0f /%7.0f ms %9.0f /%7.0f ms %8.2f %5.2f\n",
                        f.label, e.wall, e.cpu, h.wall, h.cpu, p.wall, p.cpu,
                        p.cpu > 0 ? e.cpu / p.cpu : 0.0, p.cpu > 0 ? h.cpu / p.cpu : 0.0);
        }
    }

private:
    struct Time {
        double wall = 0, cpu = 0;
    };
    std::map<std::string, Time> times_;
};

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--rows") == 0) g_rows = std::stol(argv[i + 1]);
    g_path = bench::buildMillionRowFile("tabelko-search-bench.mdb", g_rows);
    for (const Fragment& f : fragments) {
        const std::string l = f.label;
        benchmark::RegisterBenchmark(("Engine/" + l).c_str(), [&f](benchmark::State& s) {
            engineSearch(s, f, false);
        })->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("EngineCancellable/" + l).c_str(), [&f](benchmark::State& s) {
            engineSearch(s, f, true);
        })->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("Plain/" + l).c_str(), [&f](benchmark::State& s) {
            plainSearch(s, f);
        })->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::filesystem::remove(g_path);
    return 0;
}
