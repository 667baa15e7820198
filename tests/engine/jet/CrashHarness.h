#pragma once

// Writers killed at random points: a child process opens a genuine file
// with a page store and commits one transaction after another until it is
// killed with SIGKILL. The caller then reopens the file (which rolls an
// unfinished commit back) and checks that it holds exactly the committed
// transactions.

#include "engine/jet/JetFile.h"
#include "engine/jet/JetPageStore.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace jettest {

// In a child process: `start()` opens what the transactions need and
// returns the transaction, which is then run (and must commit) for k = first,
// first + 1, ...; the child is killed with SIGKILL `delay` after `start()`
// returned. Returns the last k the child reported committed (first - 1 when
// none). Works for page-level transactions and for statements on a
// Connection alike.
inline int runChildUntilKilled(const std::function<std::function<void(int)>()>& start, int first,
                               std::chrono::microseconds delay) {
    int fds[2];
    if (::pipe(fds) != 0) return first - 1;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        try {
            const std::function<void(int)> transaction = start();
            int ready = first - 1;
            if (::write(fds[1], &ready, sizeof ready) != sizeof ready) ::_exit(3);
            for (int k = first;; ++k) {
                transaction(k);
                if (::write(fds[1], &k, sizeof k) != sizeof k) ::_exit(3);
            }
        } catch (...) {
            ::_exit(2);
        }
    }
    ::close(fds[1]);
    int last = first - 1, k = 0;
    // Wait until the child has the file open, then let it run a while.
    if (::read(fds[0], &k, sizeof k) == sizeof k) std::this_thread::sleep_for(delay);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    while (::read(fds[0], &k, sizeof k) == sizeof k)
        last = k;
    ::close(fds[0]);
    EXPECT_TRUE(WIFSIGNALED(status)) << "the child stopped by itself: " << status;
    return last;
}

// The same with a page store on `path`: `transaction(store, k)` changes
// pages inside a transaction the harness begins and commits.
inline int runUntilKilled(const std::string& path,
                          const std::function<void(engine::jet::PageStore&, int)>& transaction,
                          int first, std::chrono::microseconds delay) {
    std::shared_ptr<engine::jet::PageStore> store;
    return runChildUntilKilled(
        [&]() -> std::function<void(int)> {
            store = engine::jet::PageStore::open(engine::jet::JetFile::open(path));
            return [&](int k) {
                store->begin();
                transaction(*store, k);
                store->commit();
            };
        },
        first, delay);
}

} // namespace jettest
