#include "KeysetLoader.h"

#include <QMetaObject>

#ifdef __GLIBC__
#include <malloc.h>
#endif
#ifdef __linux__
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace datawin {

namespace {

// The key build's scheduling priority, below the user interface's.
[[maybe_unused]] constexpr int BackgroundNice = 10;

} // namespace

KeysetLoader::KeysetLoader(QObject* parent) : QObject(parent) {}

KeysetLoader::~KeysetLoader() {
    stop();
}

void KeysetLoader::join() {
    if (thread_.joinable()) thread_.join();
}

void KeysetLoader::stop() {
    ++generation_;
    if (current_) current_->cancel();
    current_.reset();
    join();
}

void KeysetLoader::start(std::shared_ptr<engine::KeysetBuild> build) {
    stop();
    if (!build) return;
    current_ = build;
    const quint64 generation = generation_;
    thread_ = std::thread([this, build, generation] {
#ifdef __linux__
        // The window's own thread paints and answers the user meanwhile;
        // where the processors are busy, it goes first.
        setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), BackgroundNice);
#endif
        build->run();
#ifdef __GLIBC__
        // The sort behind a large key list leaves tens of megabytes free in
        // this thread's heap; give them back rather than keep them resident.
        malloc_trim(0);
#endif
        // Posted to the loader's thread; a loader being destroyed joins this
        // thread first, and its pending events go with it.
        QMetaObject::invokeMethod(
            this,
            [this, build, generation] {
                if (generation != generation_ || build != current_) return; // stale
                current_.reset();
                join();
                emit finished(build);
            },
            Qt::QueuedConnection);
    });
}

} // namespace datawin
