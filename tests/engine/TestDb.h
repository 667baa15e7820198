#pragma once

#include "engine/Connection.h"
#include "engine/ConnectionString.h"
#include "engine/base/EngineError.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

// A fresh temporary folder per test, with helpers to create and open
// database files in it the way the program does.
class TempDbTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("tabelko-test-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    static std::string connectionString(const std::string& file, const std::string& password = {}) {
        return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file +
               ";Persist Security Info=True;Jet OLEDB:Database Password=" +
               engine::ConnectionString::quoteValue(password) + ";";
    }

    engine::Connection create(const std::string& name, const std::string& password = {}) {
        engine::Connection::CreateDatabase(path(name), password);
        return open(name, password);
    }

    engine::Connection open(const std::string& name, const std::string& password = {}) {
        engine::Connection c;
        c.CursorLocation = 3;
        c.Open(connectionString(path(name), password));
        return c;
    }

    // The failure text of running f, or "" when it succeeds.
    template <class F> static std::string failure(F&& f) {
        try {
            f();
        } catch (const engine::EngineError& e) {
            return e.what();
        }
        return {};
    }

    std::filesystem::path dir_;
};

#include <unistd.h>
