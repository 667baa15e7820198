// libFuzzer entry point for the Jet reader: each input is written to a
// temporary file, opened and read completely, first by the reader itself,
// then through the engine's virtual tables (every table scanned, and looked
// up by the first column of each index, which reads the index pages). Any
// failure other than an EngineError (a crash, a sanitizer report, another
// exception) is a fault.
//
//   cmake -DCMAKE_CXX_COMPILER=clang++ -DTABELKO_JET_FUZZ=ON ...
//   jetfile_fuzz -max_total_time=300 -max_len=300000 CORPUS_COPY_DIR

#include "engine/Connection.h"
#include "engine/Recordset.h"
#include "engine/base/EngineError.h"
#include "engine/jet/JetFile.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = "/tmp/jetfile_fuzz_" + std::to_string(::getpid()) + ".mdb";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    try {
        auto file = engine::jet::JetFile::open(path, "password");
        for (const auto& e : file.catalog()) {
            if (e.kind != engine::jet::ObjectKind::Table &&
                e.kind != engine::jet::ObjectKind::SystemTable)
                continue;
            file.table(e.name);
            file.forEachRow(e.name, [](const std::vector<engine::Value>&) { return true; });
        }
        file.queries();
    } catch (const engine::EngineError&) {
    }
    try {
        engine::Connection c;
        c.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path +
               ";Jet OLEDB:Database Password=password;");
        auto file = engine::jet::JetFile::open(path, "password");
        for (const auto& e : file.catalog()) {
            if (e.kind != engine::jet::ObjectKind::Table &&
                e.kind != engine::jet::ObjectKind::SystemTable)
                continue;
            auto run = [&](const std::string& sql) {
                try {
                    auto rs = c.Execute(sql);
                    for (long i = 0; i < rs.RecordCount(); ++i)
                        rs.rowValues(i);
                } catch (const engine::EngineError&) {
                }
            };
            run("select * from [" + e.name + "] where 1 = 1");
            try {
                for (const auto& ix : file.table(e.name).indexes)
                    if (!ix.columns.empty())
                        run("select * from [" + e.name + "] where [" + ix.columns[0] +
                            "] between 1 and 100");
            } catch (const engine::EngineError&) {
            }
        }
    } catch (const engine::EngineError&) {
    }
    return 0;
}
