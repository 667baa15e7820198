// Build tool: creates an empty database file (no tables, no password) that
// tabelko-sql then fills from a script. An existing file is replaced, so a
// rebuild starts from nothing.

#include "engine/Connection.h"

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "用法：make-database 文件\n");
        return 2;
    }
    std::remove(argv[1]);
    try {
        engine::Connection::CreateDatabase(argv[1], "");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "错误：%s\n", e.what());
        return 1;
    }
    return 0;
}
