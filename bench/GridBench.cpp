// Measures the data window on a million-row table, offscreen: the time from
// the table loader to the first painted rows, a jump to the last row, and a
// header-click sort, each beside what a careful SQLite program does for the
// same screen on the same file in the same run (count(*) and the first page;
// OFFSET to the last rows; a top-N ORDER BY ... LIMIT 100). Prints the ratios and the resident
// memory with the window open.
//
// With --genuine the window shows table T of a genuine Jet 4 file made by
// `jettool create-big` (kept in /tmp/tabelko-jetbench), read in place; the
// plain SQLite steps have no file to run on there and are left out.
//
//   grid_bench [--rows N] [--genuine] [benchmark flags]
#include "datawin/Form1.h"
#include "datawin/TableLoader.h"
#include "dbconn/Database.h"
#include "engine/Connection.h"
#include "engine/sql/JetFunctions.h"
#include "engine/sqlite/SqliteDb.h"
#include "frame/MDI.h"
#include "platform/ScriptedServices.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>

#include "MillionRows.h"
#include "jet/BigJetFile.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

namespace {

long g_rows = 1000000;
std::string g_path;
bool g_genuine = false;
constexpr int VisibleRows = 40;

void buildFile() {
    if (g_genuine) {
        const auto cache = std::filesystem::temp_directory_path() / "tabelko-jetbench";
        g_path = jetbench::bigJetFile(cache.string(), TABELKO_JETTOOL, g_rows);
        if (g_path.empty()) {
            std::fprintf(stderr, "jettool could not make the genuine file\n");
            std::exit(1);
        }
        return;
    }
    g_path = bench::buildMillionRowFile("tabelko-gridbench.mdb", g_rows);
}

// The program around the window: a shown frame over the file.
struct Program {
    std::unique_ptr<frame::MDI> mdi;
    Program() {
        platform::setServices(std::make_unique<platform::ScriptedServices>());
        mdi = std::make_unique<frame::MDI>();
        mdi->resize(1280, 800);
        mdi->show();
        datawin::install();
        dbconn::Globals& g = dbconn::globals();
        g.DbPath = QString::fromStdString(g_path);
        dbconn::OpenConnection();
        g.CurrentTable = QStringLiteral("T");
        g.CurrentSql = QStringLiteral("select * from T");
    }
};
Program* g_program = nullptr;

// Notes that the grid's viewport painted itself.
class PaintWatch : public QObject {
public:
    bool painted = false;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) painted = true;
        return false;
    }
};

// What the user waits for: the window on the screen with its rows painted,
// once. The pending events are handled as the event loop would (layout,
// show, one paint of everything dirty); the grid's viewport is asked to
// paint, which merges with the update it asked for itself, and the loop
// runs until that paint happened (the paint reads the rows it shows).
[[gnu::noinline]] void paint(datawin::Form1* form) {
    QWidget* viewport = form->DataGrid1->viewport();
    PaintWatch watch;
    viewport->installEventFilter(&watch);
    viewport->update();
    QApplication::processEvents();
    for (int wait = 0; !watch.painted && wait < 200; ++wait)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    viewport->removeEventFilter(&watch);
    if (!watch.painted) {
        std::fprintf(stderr, "the grid did not paint\n");
        std::exit(1);
    }
}

[[gnu::noinline]] datawin::Form1* openWindow() {
    datawin::ShowTable(dbconn::globals().CurrentSql, 1);
    datawin::Form1* form = datawin::tableWindow(1);
    if (auto* sub = qobject_cast<QMdiSubWindow*>(form->parentWidget())) sub->resize(1000, 640);
    return form;
}

[[gnu::noinline]] void closeWindow() {
    if (datawin::Form1* form = datawin::tableWindow(1)) delete form->parentWidget();
    QApplication::processEvents();
}

sqlite3* openPlain() {
    sqlite3* db = nullptr;
    sqlite3_open_v2(g_path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    // Text columns are declared with the Jet text collation; plain SQLite
    // needs it to sort them at all, and sorts with the same comparison.
    engine::sql::registerJetFunctions(db);
    return db;
}

void prepare(sqlite3* db, const char* sql, sqlite3_stmt** st) {
    if (sqlite3_prepare_v2(db, sql, -1, st, nullptr) != SQLITE_OK)
        std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
}

// What a careful SQLite program does for the first screen of a table: the
// count for the scroll bar, then the first screen of rows.
long countAndFirstRows(sqlite3* db) {
    sqlite3_stmt* st = nullptr;
    prepare(db, "select count(*) from T", &st);
    long n = sqlite3_step(st) == SQLITE_ROW ? static_cast<long>(sqlite3_column_int64(st, 0)) : 0;
    sqlite3_finalize(st);
    prepare(db, "select * from T limit 100", &st);
    while (sqlite3_step(st) == SQLITE_ROW)
        for (int i = 0; i < sqlite3_column_count(st); ++i)
            benchmark::DoNotOptimize(sqlite3_column_text(st, i));
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

long residentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return 0;
}

// From the loader to the first painted rows of a new table window.
void BM_Grid_ShowTableFirstRows(benchmark::State& s) {
    for (auto _ : s) {
        s.PauseTiming();
        closeWindow();
        s.ResumeTiming();
        paint(openWindow());
    }
    s.counters["rss_MB"] = static_cast<double>(residentKb()) / 1024.0;
    // The last window's background key build stops before the next
    // measurement starts.
    closeWindow();
}
// Plain SQLite: count(*), then the first page.
void BM_Plain_ShowTableFirstRows(benchmark::State& s) {
    sqlite3* db = openPlain();
    for (auto _ : s)
        benchmark::DoNotOptimize(countAndFirstRows(db));
    sqlite3_close(db);
}

// Lets the background key build of the window finish.
void waitForAllRows(datawin::Form1* form) {
    while (!form->DataGrid1->recordsetModel()->keysetComplete())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

// A jump to the last row of an open window, on a fresh result each time so
// that no cached page answers.
void BM_Grid_JumpToLastRow(benchmark::State& s) {
    datawin::Form1* form = openWindow();
    paint(form);
    for (auto _ : s) {
        s.PauseTiming();
        form->rs10(form->sql1);
        paint(form);
        waitForAllRows(form);
        paint(form);
        s.ResumeTiming();
        const int last = static_cast<int>(form->DataGrid1->ApproxCount()) - 1;
        form->DataGrid1->setRow(last);
        paint(form);
    }
    s.counters["rss_MB"] = static_cast<double>(residentKb()) / 1024.0;
    closeWindow();
}
void BM_Plain_JumpToLastRow(benchmark::State& s) {
    sqlite3* db = openPlain();
    for (auto _ : s)
        readRows(db, "select * from T limit ?1 offset ?2", g_rows - VisibleRows, VisibleRows);
    sqlite3_close(db);
}

// A click on the header of the name column: re-query sorted, repaint.
void BM_Grid_HeaderSort(benchmark::State& s) {
    datawin::Form1* form = openWindow();
    paint(form);
    for (auto _ : s) {
        s.PauseTiming();
        form->sql1 = QStringLiteral("select * from T");
        frame::mainFrame()->x->setText(QStringLiteral("升序"));
        s.ResumeTiming();
        form->DataGrid1_HeadClick(1);
        paint(form);
    }
    s.counters["rss_MB"] = static_cast<double>(residentKb()) / 1024.0;
    closeWindow();
}
// Plain SQLite: the first page of the sorted query (a top-N sort).
void BM_Plain_HeaderSort(benchmark::State& s) {
    sqlite3* db = openPlain();
    for (auto _ : s)
        readRows(db, "select * from T Order By name Desc limit ?1 offset ?2", 0, 100);
    sqlite3_close(db);
}

// A click and then all rows known (the count and the scroll bar complete).
void BM_Grid_HeaderSortAllRows(benchmark::State& s) {
    datawin::Form1* form = openWindow();
    paint(form);
    for (auto _ : s) {
        s.PauseTiming();
        form->sql1 = QStringLiteral("select * from T");
        frame::mainFrame()->x->setText(QStringLiteral("升序"));
        s.ResumeTiming();
        form->DataGrid1_HeadClick(1);
        paint(form);
        waitForAllRows(form);
    }
    s.counters["rss_MB"] = static_cast<double>(residentKb()) / 1024.0;
    closeWindow();
}

BENCHMARK(BM_Grid_ShowTableFirstRows)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Plain_ShowTableFirstRows)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Grid_JumpToLastRow)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_Plain_JumpToLastRow)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_Grid_HeaderSort)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Plain_HeaderSort)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Grid_HeaderSortAllRows)->Unit(benchmark::kMillisecond)->Iterations(3);

// Prints each grid figure beside its plain SQLite figure.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs)
            times_[r.benchmark_name().substr(0, r.benchmark_name().find('/'))] =
                r.GetAdjustedRealTime();
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n%-24s %12s %12s %8s\n", "step", "window ms", "sqlite ms", "ratio");
        for (const char* step : {"ShowTableFirstRows", "JumpToLastRow", "HeaderSort"}) {
            const double grid = times_[std::string("BM_Grid_") + step];
            const double plain = times_[std::string("BM_Plain_") + step];
            if (plain > 0)
                std::printf("%-24s %12.2f %12.2f %8.2f\n", step, grid, plain, grid / plain);
            else
                std::printf("%-24s %12.2f %12s %8s\n", step, grid, "-", "-");
        }
        std::printf(
            "resident memory at the end of the run (plain SQLite sorts included): %.1f MB\n",
            static_cast<double>(residentKb()) / 1024.0);
    }

private:
    std::map<std::string, double> times_;
};

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--rows") == 0) {
            g_rows = std::stol(argv[i + 1]);
            for (int j = i; j + 2 <= argc; ++j)
                argv[j] = argv[j + 2];
            argc -= 2;
            break;
        }
    std::string filter = "--benchmark_filter=BM_Grid_";
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--genuine") == 0) {
            g_genuine = true;
            argv[i] = filter.data();
        }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    buildFile();
    std::printf("table T: %ld rows in %s\n", g_rows, g_path.c_str());
    {
        Program program;
        g_program = &program;
        benchmark::Initialize(&argc, argv);
        RatioReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        benchmark::Shutdown();
        g_program = nullptr;
    }
    dbconn::resetGlobals();
    platform::setServices(nullptr);
    if (!g_genuine) std::filesystem::remove(g_path);
    return 0;
}
