#include "Unknown.h"

namespace component {

namespace {
std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};
} // namespace

void ObjectCounter::increment() {
    ++g_objects;
}
void ObjectCounter::decrement() {
    --g_objects;
}
long ObjectCounter::count() {
    return g_objects.load();
}
void ObjectCounter::lock(bool locked) {
    if (locked)
        ++g_locks;
    else
        --g_locks;
}
long ObjectCounter::locks() {
    return g_locks.load();
}

} // namespace component
