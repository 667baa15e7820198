// Prints what the Jet reader sees in a file, for comparing with other readers.
//   jetdump FILE [-p PASSWORD]            header, catalogue, table definitions
//   jetdump FILE [-p PASSWORD] -t TABLE   the table's rows, one per line, tab-separated
//   jetdump FILE [-p PASSWORD] -q         the saved queries
//   jetdump FILE -T [-n N]                reads every table N times, prints rows/s
#include "engine/base/EngineError.h"
#include "engine/jet/JetFile.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

using namespace engine;
using namespace engine::jet;

static std::string show(const Value& v) {
    if (v.isNull()) return "\\N";
    if (v.kind() == Value::Kind::Bytes) {
        static const char* hex = "0123456789ABCDEF";
        std::string s;
        for (auto b : v.bytes()) {
            s += hex[b >> 4];
            s += hex[b & 15];
        }
        return s;
    }
    std::string s = v.toText(), out;
    for (char c : s) {
        if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\\')
            out += "\\\\";
        else
            out += c;
    }
    return out;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: jetdump FILE [-p PASSWORD] [-t TABLE | -q | -T [-n REPEAT]]\n");
        return 2;
    }
    std::string password, table;
    bool queries = false, timing = false;
    int repeat = 1;
    for (int i = 2; i < argc; ++i) {
        if (!std::strcmp(argv[i], "-p") && i + 1 < argc)
            password = argv[++i];
        else if (!std::strcmp(argv[i], "-t") && i + 1 < argc)
            table = argv[++i];
        else if (!std::strcmp(argv[i], "-q"))
            queries = true;
        else if (!std::strcmp(argv[i], "-T"))
            timing = true;
        else if (!std::strcmp(argv[i], "-n") && i + 1 < argc)
            repeat = std::atoi(argv[++i]);
    }
    try {
        JetFile f = JetFile::open(argv[1], password);
        if (timing) {
            // Reads every row of every table; prints rows and seconds.
            auto t0 = std::chrono::steady_clock::now();
            long rows = 0, values = 0;
            for (int n = 0; n < repeat; ++n)
                for (const auto& e : f.catalog()) {
                    if (e.kind != ObjectKind::Table && e.kind != ObjectKind::SystemTable) continue;
                    f.forEachRow(e.name, [&](const std::vector<Value>& r) {
                        ++rows;
                        values += static_cast<long>(r.size());
                        return true;
                    });
                }
            double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            std::printf("%ld rows, %ld values, %.3f s, %.0f rows/s\n", rows, values, s, rows / s);
            return 0;
        }
        if (!table.empty()) {
            TableDef t = f.table(table);
            for (std::size_t i = 0; i < t.columns.size(); ++i)
                std::cout << (i ? "\t" : "") << t.columns[i].name;
            std::cout << "\n";
            f.forEachRow(table, [](const std::vector<Value>& r) {
                for (std::size_t i = 0; i < r.size(); ++i)
                    std::cout << (i ? "\t" : "") << show(r[i]);
                std::cout << "\n";
                return true;
            });
            return 0;
        }
        if (queries) {
            for (const auto& q : f.queries())
                std::cout << "== " << q.name << " [" << queryKindName(q.kind) << "]\n"
                          << q.sql << "\n";
            return 0;
        }
        const auto& h = f.header();
        std::cout << "jet " << h.jetVersion << " page " << h.pageSize << " pages " << h.pageCount
                  << " codepage " << h.codePage << " sort " << h.sortOrder << " created "
                  << h.created << " encoded " << h.pagesEncoded << " password " << h.hasPassword
                  << "\n";
        for (const auto& e : f.catalog()) {
            static const char* kinds[] = {"TABLE", "SYSTEM", "LINKED", "QUERY"};
            std::cout << kinds[static_cast<int>(e.kind)] << "\t" << e.name;
            if (e.kind == ObjectKind::LinkedTable)
                std::cout << "\t" << e.linkedDatabase << "\t" << e.linkedName;
            std::cout << "\n";
            if (e.kind != ObjectKind::Table && e.kind != ObjectKind::SystemTable) continue;
            TableDef t = f.table(e.name);
            std::cout << "  rows " << t.rowCount << "\n";
            for (const auto& c : t.columns)
                std::cout << "  col " << c.ordinal << " #" << c.columnNumber << " " << c.name
                          << " jet=" << c.jetType << " ado=" << c.adoType << " size=" << c.size
                          << (c.fixedLength ? " fixed" : "") << (c.autoNumber ? " auto" : "")
                          << (c.required ? " required" : "") << " prec=" << c.precision
                          << " scale=" << c.scale << "\n";
            for (const auto& x : t.indexes) {
                std::cout << "  index " << x.name << (x.primary ? " PK" : "")
                          << (x.unique ? " unique" : "") << (x.foreign ? " FK" : "") << " (";
                for (std::size_t i = 0; i < x.columns.size(); ++i)
                    std::cout << (i ? ", " : "") << x.columns[i]
                              << (x.descending[i] ? " DESC" : "");
                std::cout << ")\n";
            }
        }
    } catch (const EngineError& e) {
        std::fprintf(stderr, "错误 %d: %s\n", e.number(), e.what());
        return 1;
    }
    return 0;
}
