// A full dump of genuine Jet files: through the engine (open the file, select
// every row of every user table, turn every value into text) beside
// mdb-export writing the same tables to /dev/null, in the same run. Prints
// the times and the ratio mdb-export / engine (above 1: the engine is faster).
//
//   jet_bench [--corpus DIR] [benchmark flags]
#include "engine/Connection.h"
#include "engine/Recordset.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string g_corpus = TABELKO_JET_CORPUS_DIR;
fs::path g_dir;
const char* const kFiles[] = {"testV2000.mdb", "testRefGlobalV2000.mdb"};

// Runs a program with its output sent to /dev/null (or into `out` when given)
// and returns its exit code.
int runProgram(const std::vector<std::string>& args, std::string* out = nullptr) {
    int fds[2] = {-1, -1};
    if (out && ::pipe(fds) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(out ? fds[1] : null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        std::vector<char*> argv;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    if (out) {
        ::close(fds[1]);
        char buf[4096];
        ssize_t n;
        while ((n = ::read(fds[0], buf, sizeof buf)) > 0)
            out->append(buf, static_cast<std::size_t>(n));
        ::close(fds[0]);
    }
    int st = 0;
    ::waitpid(pid, &st, 0);
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

std::string copyOf(const std::string& name) {
    return (g_dir / name).string();
}

std::vector<std::string> userTables(const std::string& path) {
    std::string out;
    runProgram({"mdb-tables", "-1", path}, &out);
    std::vector<std::string> tables;
    std::size_t pos = 0;
    while (pos < out.size()) {
        std::size_t end = out.find('\n', pos);
        if (end == std::string::npos) end = out.size();
        if (end > pos) tables.push_back(out.substr(pos, end - pos));
        pos = end + 1;
    }
    return tables;
}

void engineDump(benchmark::State& state, std::string name) {
    const std::string path = copyOf(name);
    long values = 0;
    for (auto _ : state) {
        engine::Connection c;
        c.CursorLocation = 3;
        c.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path +
               ";Jet OLEDB:Database Password=;");
        std::vector<std::string> tables;
        for (auto rs = c.OpenSchema(20); !rs.Eof(); rs.MoveNext())
            if (rs["TABLE_TYPE"].GetValue().text() == "TABLE")
                tables.push_back(rs["TABLE_NAME"].GetValue().text());
        std::size_t chars = 0;
        for (const auto& t : tables) {
            auto rs = c.Execute("select * from [" + t + "]");
            const int n = rs.GetFields().Count();
            for (; !rs.Eof(); rs.MoveNext())
                for (int i = 0; i < n; ++i) {
                    chars += rs[i].GetValue().toText().size();
                    ++values;
                }
        }
        benchmark::DoNotOptimize(chars);
    }
    state.counters["values"] =
        static_cast<double>(values) / static_cast<double>(state.iterations());
}

void mdbExportDump(benchmark::State& state, std::string name) {
    const std::string path = copyOf(name);
    const auto tables = userTables(path);
    for (auto _ : state) {
        for (const auto& t : tables)
            if (runProgram({"mdb-export", "-T", "%Y-%m-%d %H:%M:%S", path, t}) != 0) {
                state.SkipWithError("mdb-export failed");
                return;
            }
    }
    state.counters["tables"] = static_cast<double>(tables.size());
}

// Keeps the real time of every run, to print the ratios after the table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        // One figure per benchmark: the run itself, or the mean of repetitions.
        for (const auto& r : runs) {
            if (r.error_occurred) continue;
            const bool mean = r.run_type == Run::RT_Aggregate && r.aggregate_name == "mean";
            if (r.run_type != Run::RT_Iteration && !mean) continue;
            const double ms = 1e3 / benchmark::GetTimeUnitMultiplier(r.time_unit);
            times_[r.run_name.str()] = {r.GetAdjustedRealTime() * ms, r.GetAdjustedCPUTime() * ms};
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void printRatios() const {
        std::printf("\nfull dump, mdb-export time / engine time (above 1: the engine is faster)\n");
        for (const char* f : kFiles) {
            const auto e = times_.find(std::string("engine/") + f);
            const auto m = times_.find(std::string("mdb-export/") + f);
            if (e == times_.end() || m == times_.end() || e->second.real <= 0) continue;
            std::printf("  %-24s engine %8.3f ms   mdb-export %8.3f ms   ratio %.2f\n", f,
                        e->second.real, m->second.real, m->second.real / e->second.real);
        }
    }

private:
    // Milliseconds of wall time and of this process's CPU time (mdb-export's
    // own CPU time is not counted there, so only the wall times compare).
    struct Times {
        double real = 0, cpu = 0;
    };
    std::map<std::string, Times> times_;
};

} // namespace

int main(int argc, char** argv) {
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--corpus") == 0 && i + 1 < argc)
            g_corpus = argv[++i];
        else
            rest.push_back(argv[i]);
    }
    int n = static_cast<int>(rest.size());
    benchmark::Initialize(&n, rest.data());

    std::string probe;
    if (runProgram({"mdb-export", "--version"}, &probe) != 0) {
        std::fprintf(stderr, "mdb-export is not on PATH: install mdbtools\n");
        return 1;
    }
    g_dir = fs::temp_directory_path() / ("tabelko-jetbench-" + std::to_string(::getpid()));
    fs::create_directories(g_dir);
    for (const char* f : kFiles) {
        if (!fs::exists(fs::path(g_corpus) / f)) {
            std::fprintf(stderr, "no sample file %s in %s\n", f, g_corpus.c_str());
            return 1;
        }
        fs::copy_file(fs::path(g_corpus) / f, g_dir / f, fs::copy_options::overwrite_existing);
        benchmark::RegisterBenchmark((std::string("engine/") + f).c_str(), engineDump, f)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("mdb-export/") + f).c_str(), mdbExportDump, f)
            ->Unit(benchmark::kMillisecond);
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    benchmark::Shutdown();
    fs::remove_all(g_dir);
    return 0;
}
