#include "engine/KeysetBuild.h"

#include "Database.h"
#include "engine/base/EngineError.h"
#include "engine/sqlite/SqliteDb.h"

#include <exception>

namespace engine {

namespace {

// The build running on this thread, if any. The connection's progress
// handler asks it whether to stop; statements of other threads go on.
thread_local const std::atomic<bool>* t_cancelled = nullptr;

int stopWhenCancelled(void*) {
    return t_cancelled && t_cancelled->load() ? 1 : 0;
}

} // namespace

KeysetBuild::KeysetBuild(std::shared_ptr<Database> db, std::string keySql)
    : db_(std::move(db)), sql_(std::move(keySql)) {}

void KeysetBuild::run() {
    if (cancelled() || complete()) return;
    sqlite3* h = db_->handle();
    // A sort of a million rows happens inside one step; the handler lets a
    // cancel interrupt it instead of waiting for it to finish.
    sqlite3_progress_handler(h, 2000, &stopWhenCancelled, nullptr);
    t_cancelled = &cancelled_;
    try {
        sqlite::Statement st(h, sql_);
        std::vector<std::int64_t> keys;
        while (st.step()) {
            keys.push_back(st.columnInt(0));
            if ((keys.size() & 0xfff) == 0 && cancelled()) break;
        }
        if (!cancelled()) {
            keys.shrink_to_fit();
            keys_ = std::move(keys);
            complete_.store(true);
        }
    } catch (const std::exception& e) {
        if (!cancelled()) error_ = e.what();
    }
    t_cancelled = nullptr;
}

} // namespace engine
