// Index maintenance on a large genuine Jet file, one run, beside plain
// SQLite doing the same work in the same run:
//
//   entries of every row of T added to its two indexes (primary key on ID,
//   text index on name), in row order as INSERT ... SELECT adds them, then
//   committed                       engine  vs  SQLite: the same rows inserted
//                                               into a table with the same two
//                                               indexes, one transaction
//   the same in random order        engine  vs  SQLite, same order
//   (each with the pages written after every change, and with writes
//   deferred to the end of the statement)
//   one row's entries changed and committed on a file of ROWS rows
//
// The file (made by jettool create-big) is kept in the cache folder;
// each measurement works on a fresh copy.
//
//   jet_index_bench [--rows N] [--cache DIR] [--jettool PATH]
#include "BigJetFile.h"

#include "engine/jet/JetIndexWriter.h"
#include "engine/jet/JetPageStore.h"
#include "engine/sqlite/Sqlite3.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace engine;
using namespace engine::jet;

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

using Rows = std::vector<std::pair<RowId, std::vector<Value>>>;

// The entries of every row taken out (not timed), then added back in the
// given order and committed (timed).
double engineRun(const std::string& source, const std::string& work, const Rows& order,
                 bool deferred) {
    fs::copy_file(source, work, fs::copy_options::overwrite_existing);
    JetFile f = JetFile::open(work);
    auto store = PageStore::open(f);
    IndexMaintainer m(store, f.table("T"));
    store->begin();
    for (const auto& [id, values] : order)
        m.remove(values, id);
    store->commit();
    const auto t0 = Clock::now();
    store->begin();
    m.deferWrites(deferred);
    for (const auto& [id, values] : order) {
        m.checkUnique(values, std::nullopt);
        m.add(values, id);
    }
    m.flushPages();
    store->commit();
    return seconds(t0);
}

double sqliteRun(const std::string& path, const Rows& order, int nameColumn, int idColumn) {
    fs::remove(path);
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db,
                 "CREATE TABLE T (ID INTEGER NOT NULL, name TEXT, rid INTEGER);"
                 "CREATE UNIQUE INDEX pk ON T(ID); CREATE INDEX idx_name ON T(name)",
                 nullptr, nullptr, nullptr);
    const auto t0 = Clock::now();
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* ins = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO T VALUES (?1,?2,?3)", -1, &ins, nullptr);
    for (const auto& [id, values] : order) {
        sqlite3_reset(ins);
        sqlite3_bind_int64(ins, 1, values[static_cast<std::size_t>(idColumn)].toInt());
        const std::string name = values[static_cast<std::size_t>(nameColumn)].toText();
        sqlite3_bind_text(ins, 2, name.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_int64(ins, 3, static_cast<std::int64_t>(id.page) << 8 | id.slot);
        sqlite3_step(ins);
    }
    sqlite3_finalize(ins);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    const double s = seconds(t0);
    sqlite3_close(db);
    fs::remove(path);
    return s;
}

} // namespace

int main(int argc, char** argv) {
    long rows = 100000;
    std::string cache = (fs::temp_directory_path() / "tabelko-jetbench").string();
    std::string jettool = TABELKO_JETTOOL;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rows") == 0 && i + 1 < argc)
            rows = std::atol(argv[++i]);
        else if (std::strcmp(argv[i], "--cache") == 0 && i + 1 < argc)
            cache = argv[++i];
        else if (std::strcmp(argv[i], "--jettool") == 0 && i + 1 < argc)
            jettool = argv[++i];
        else {
            std::fprintf(stderr, "usage: %s [--rows N] [--cache DIR] [--jettool PATH]\n", argv[0]);
            return 2;
        }
    }
    const std::string mdb = jetbench::bigJetFile(cache, jettool, rows);
    if (mdb.empty()) {
        std::printf("jettool could not make the file\n");
        return 1;
    }
    const std::string work = cache + "/index-bench-" + std::to_string(::getpid()) + ".mdb";
    Rows inOrder;
    int nameColumn = 0, idColumn = 0;
    {
        JetFile f = JetFile::open(mdb);
        TableDef def = f.table("T");
        nameColumn = def.columnIndex("name");
        idColumn = def.columnIndex("ID");
        RowCursor c = f.cursor("T");
        std::vector<Value> row;
        while (c.next(row))
            inOrder.emplace_back(c.position(), row);
    }
    Rows shuffled = inOrder;
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(1));

    std::printf("T: %zu rows, indexes on ID (primary key) and name (text)\n", inOrder.size());
    for (const auto* order : {&inOrder, &shuffled}) {
        const double s = sqliteRun(work + ".sqlite", *order, nameColumn, idColumn);
        for (bool deferred : {false, true}) {
            const double e = engineRun(mdb, work, *order, deferred);
            std::string what = order == &inOrder ? "row order" : "random order";
            what += deferred ? ", pages once" : ", each change";
            std::printf("  added, %-26s engine %8.3f s   SQLite %8.3f s   ratio %6.2f\n",
                        what.c_str(), e, s, e / s);
        }
    }
    {
        // One row's entries changed and committed.
        fs::copy_file(mdb, work, fs::copy_options::overwrite_existing);
        JetFile f = JetFile::open(work);
        auto store = PageStore::open(f);
        IndexMaintainer m(store, f.table("T"));
        const auto& [id, values] = inOrder[inOrder.size() / 2];
        std::vector<Value> changed = values;
        changed[static_cast<std::size_t>(nameColumn)] = Value(std::string("改过的名字"));
        const auto t0 = Clock::now();
        store->begin();
        m.checkUnique(changed, id);
        m.remove(values, id);
        m.add(changed, id);
        store->commit();
        std::printf("  %-28s engine %8.4f ms\n", "one row changed, committed", seconds(t0) * 1e3);
    }
    fs::remove(work);
    return 0;
}
