#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace engine {

class Database;

// The full key list of a keyset recordset opened with option::AsyncFetch,
// built away from the thread that shows the rows. run() may be called on any
// thread; it shares the database's connection (serialised by SQLite) and
// stops early once cancel() was called, so a stale build never holds the
// connection for long. The recordset takes the keys with adoptKeyset().
class KeysetBuild {
public:
    KeysetBuild(std::shared_ptr<Database> db, std::string keySql);

    void run();
    void cancel() { cancelled_.store(true); }
    bool cancelled() const { return cancelled_.load(); }
    // True once run() read every key; false after a cancel or a failure.
    bool complete() const { return complete_.load(); }
    // Why run() failed (empty when it did not).
    const std::string& error() const { return error_; }

    // For the recordset that started it.
    std::vector<std::int64_t> takeKeys() { return std::move(keys_); }

private:
    std::shared_ptr<Database> db_;
    std::string sql_;
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> complete_{false};
    std::vector<std::int64_t> keys_;
    std::string error_;
};

} // namespace engine
