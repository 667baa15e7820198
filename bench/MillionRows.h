#pragma once

// The benchmarks' data: a file with a table T of `rows` rows of mixed types
// (counter, two texts with Chinese, a double, a date), written straight
// through SQLite so building it takes seconds.

#include "engine/Connection.h"
#include "engine/sql/JetFunctions.h"
#include "engine/sqlite/Sqlite3.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace bench {

inline std::string buildMillionRowFile(const std::string& fileName, long rows) {
    const std::string path = (std::filesystem::temp_directory_path() / fileName).string();
    std::filesystem::remove(path);
    engine::Connection::CreateDatabase(path);
    engine::Connection c;
    c.Open("Data Source=" + path);
    c.Execute("create table T (id counter primary key, name text(50), city text(20), amount "
              "double, born datetime)");
    c.Close();
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    // The table's checks call the engine's Jet functions.
    engine::sql::registerJetFunctions(db);
    // A benchmark over a table that silently stayed empty measures nothing.
    auto failed = [&](int rc) {
        if (rc == SQLITE_OK || rc == SQLITE_DONE) return;
        std::fprintf(stderr, "building %s: %s\n", path.c_str(), sqlite3_errmsg(db));
        std::exit(1);
    };
    failed(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr));
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO T VALUES (?,?,?,?,?)", -1, &st, nullptr);
    static const char* cities[] = {"北京", "上海", "广州", "深圳", "杭州", "成都", "武汉"};
    char name[64], born[32];
    for (long i = 1; i <= rows; ++i) {
        std::snprintf(name, sizeof name, "客户%ld号x%ld", i, i % 97);
        std::snprintf(born, sizeof born, "%04ld-%02ld-%02ld 00:00:00", 1950 + i % 60, 1 + i % 12,
                      1 + i % 28);
        sqlite3_bind_int64(st, 1, i);
        sqlite3_bind_text(st, 2, name, -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 3, cities[i % 7], -1, SQLITE_STATIC);
        sqlite3_bind_double(st, 4, (i % 10000) / 7.0);
        sqlite3_bind_text(st, 5, born, -1, SQLITE_TRANSIENT);
        failed(sqlite3_step(st));
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    // The rows carry their own ids; the counter goes on after them.
    failed(sqlite3_exec(db,
                        "UPDATE MSysColumns SET NextValue = (SELECT max(id)+1 FROM T) WHERE "
                        "TableName='T' AND ColumnName='id'; COMMIT",
                        nullptr, nullptr, nullptr));
    sqlite3_close(db);
    return path;
}

} // namespace bench
