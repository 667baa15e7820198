#include "RowSource.h"

#include "engine/base/Messages.h"

namespace engine {

// A row source is read-only unless it says otherwise: every write refuses.
void RowSource::refuseWrite() const {
    msg::raise(msg::ReadOnlyResult);
}
void RowSource::update(long, const std::vector<std::pair<int, Value>>&) {
    refuseWrite();
}
long RowSource::append(const std::vector<std::pair<int, Value>>&) {
    refuseWrite();
    return -1; // not reached: refuseWrite throws
}
void RowSource::remove(long) {
    refuseWrite();
}

} // namespace engine
