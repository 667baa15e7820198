#pragma once

// An in-memory SQLite database with the Jet functions registered, for
// running translated statements on real data.

#include "engine/sql/JetFunctions.h"
#include "engine/sql/JetSql.h"
#include "engine/sqlite/Sqlite3.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

class TestDb {
public:
    TestDb() {
        if (sqlite3_open(":memory:", &db_) != SQLITE_OK) throw std::runtime_error("open failed");
        engine::sql::registerJetFunctions(db_);
    }
    ~TestDb() { sqlite3_close(db_); }
    TestDb(const TestDb&) = delete;
    TestDb& operator=(const TestDb&) = delete;

    sqlite3* handle() const { return db_; }

    // Runs SQLite SQL; fails the test on an error.
    void exec(const std::string& sql) {
        char* err = nullptr;
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
            const std::string m = err ? err : "?";
            sqlite3_free(err);
            throw std::runtime_error(m + " in: " + sql);
        }
    }

    struct Result {
        std::vector<std::string> columns;
        std::vector<std::vector<std::string>> rows; // NULL as "<null>"
    };

    Result query(const std::string& sql) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
            throw std::runtime_error(std::string(sqlite3_errmsg(db_)) + " in: " + sql);
        Result r;
        const int n = sqlite3_column_count(st);
        for (int i = 0; i < n; ++i)
            r.columns.push_back(sqlite3_column_name(st, i));
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            std::vector<std::string> row;
            for (int i = 0; i < n; ++i) {
                const auto* t = sqlite3_column_text(st, i);
                row.push_back(t ? reinterpret_cast<const char*>(t) : "<null>");
            }
            r.rows.push_back(std::move(row));
        }
        const std::string err = sqlite3_errmsg(db_);
        sqlite3_finalize(st);
        if (rc != SQLITE_DONE) throw std::runtime_error(err + " in: " + sql);
        return r;
    }

    // Translates Jet SQL and runs it.
    Result jet(const std::string& jetSql) {
        const auto t = engine::sql::translate(jetSql);
        return query(t.sqlite);
    }

    // The first column of the first row of a Jet query ("<none>" without rows).
    std::string scalar(const std::string& jetSql) {
        const Result r = jet(jetSql);
        if (r.rows.empty()) return "<none>";
        return r.rows[0][0];
    }

    // The value of a Jet expression.
    std::string eval(const std::string& jetExpr) { return scalar("SELECT " + jetExpr); }

    // The SQLite error message of a Jet expression that must fail.
    std::string evalError(const std::string& jetExpr) {
        try {
            eval(jetExpr);
        } catch (const std::runtime_error& e) {
            return e.what();
        }
        return "<no error>";
    }

    // One column of a Jet query as one text: "a|b|c".
    std::string column(const std::string& jetSql, int col = 0) {
        const Result r = jet(jetSql);
        std::string out;
        for (std::size_t i = 0; i < r.rows.size(); ++i) {
            if (i) out += "|";
            out += r.rows[i][static_cast<std::size_t>(col)];
        }
        return out;
    }

private:
    sqlite3* db_ = nullptr;
};
