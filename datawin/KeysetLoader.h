#pragma once

#include "engine/KeysetBuild.h"

#include <QObject>

#include <memory>
#include <thread>

namespace datawin {

// Runs the key build of a grid's recordset on a worker thread and hands the
// finished build back on the thread that owns the loader. Only the latest
// build counts: starting another one, or stop(), cancels the one running and
// its result is never delivered.
class KeysetLoader : public QObject {
    Q_OBJECT

public:
    explicit KeysetLoader(QObject* parent = nullptr);
    ~KeysetLoader() override;

    void start(std::shared_ptr<engine::KeysetBuild> build);
    // Cancels the running build and waits for its thread (briefly: the
    // build checks for the cancel while SQLite works).
    void stop();
    bool running() const { return current_ != nullptr; }

signals:
    void finished(std::shared_ptr<engine::KeysetBuild> build);

private:
    void join();

    std::thread thread_;
    std::shared_ptr<engine::KeysetBuild> current_;
    quint64 generation_ = 0;
};

} // namespace datawin
