// INSERT … SELECT of every row of a large genuine table into itself (its
// primary key and text index kept right, every page through the journal),
// beside the same statement on the same rows in the engine's own format
// (the file compacted to it: same columns, same indexes), in one run. Then
// one row edited and committed by itself (journal and file synced), over
// and over, on a larger genuine file: the median time of one such UPDATE.
//
//   jet_write_bench [--rows N] [--edit-rows N] [--cache DIR] [--jettool PATH]
#include "BigJetFile.h"

#include "engine/Connection.h"
#include "engine/JetEngine.h"
#include "engine/Recordset.h"

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

std::string connection(const std::string& path) {
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + ";";
}

const char* const kStatement = "INSERT INTO T (name, amount, created, flag, note) "
                               "SELECT name, amount, created, flag, note FROM T";

// Seconds the statement takes on the file, and the rows it added.
double timeStatement(const std::string& path, long& added) {
    engine::Connection c;
    c.CursorLocation = 3;
    c.Open(connection(path));
    const auto t0 = Clock::now();
    c.Execute(kStatement, &added);
    const double s = std::chrono::duration<double>(Clock::now() - t0).count();
    c.Close();
    return s;
}

// Median milliseconds of one UPDATE of one row by its primary key, each
// committed by itself.
double medianEdit(const std::string& path, long rows, int edits) {
    engine::Connection c;
    c.CursorLocation = 3;
    c.Open(connection(path));
    std::vector<double> times;
    for (int i = 0; i < edits; ++i) {
        const long id = 1 + (static_cast<long>(i) * 7919 * 131) % rows;
        const auto t0 = Clock::now();
        c.Execute("UPDATE T SET amount = amount + 1 WHERE ID = " + std::to_string(id));
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    c.Close();
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    long rows = 100000, editRows = 1000000;
    std::string cache = (fs::temp_directory_path() / "tabelko-jetbench").string();
    std::string jettool = TABELKO_JETTOOL;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rows") == 0 && i + 1 < argc) {
            rows = std::atol(argv[++i]);
        } else if (std::strcmp(argv[i], "--edit-rows") == 0 && i + 1 < argc) {
            editRows = std::atol(argv[++i]);
        } else if (std::strcmp(argv[i], "--cache") == 0 && i + 1 < argc) {
            cache = argv[++i];
        } else if (std::strcmp(argv[i], "--jettool") == 0 && i + 1 < argc) {
            jettool = argv[++i];
        } else {
            std::fprintf(stderr,
                         "usage: %s [--rows N] [--edit-rows N] [--cache DIR] [--jettool PATH]\n",
                         argv[0]);
            return 2;
        }
    }
    const std::string big = jetbench::bigJetFile(cache, jettool, rows);
    if (big.empty()) {
        std::printf("jettool could not make the file\n");
        return 1;
    }
    const std::string genuine = cache + "/write-genuine.mdb";
    const std::string native = cache + "/write-native.mdb";
    fs::copy_file(big, genuine, fs::copy_options::overwrite_existing);
    fs::permissions(genuine, fs::perms::owner_read | fs::perms::owner_write);
    fs::remove(native);
    engine::JetEngine().CompactDatabase(connection(big), connection(native));

    long addedJet = 0, addedNative = 0;
    const double native_s = timeStatement(native, addedNative);
    const double jet_s = timeStatement(genuine, addedJet);
    fs::remove(genuine);
    fs::remove(native);
    std::printf("INSERT ... SELECT of every row of T (%ld rows; primary key and text index):\n",
                rows);
    std::printf("  genuine Jet 4 file, in place   %7.2f s  (%ld rows)\n", jet_s, addedJet);
    std::printf("  engine's own format            %7.2f s  (%ld rows)\n", native_s, addedNative);
    std::printf("  ratio                          %7.2f   target <= 3\n",
                native_s > 0 ? jet_s / native_s : 0.0);

    const std::string large = jetbench::bigJetFile(cache, jettool, editRows);
    if (large.empty()) {
        std::printf("jettool could not make the file\n");
        return 1;
    }
    const std::string edited = cache + "/write-edit.mdb";
    fs::copy_file(large, edited, fs::copy_options::overwrite_existing);
    fs::permissions(edited, fs::perms::owner_read | fs::perms::owner_write);
    const double edit_ms = medianEdit(edited, editRows, 41);
    fs::remove(edited);
    std::printf("one row edited and committed (%ld-row genuine file), median of 41:\n", editRows);
    std::printf("  UPDATE ... WHERE ID = k        %7.2f ms  target <= 10 ms\n", edit_ms);
    return 0;
}
