// A minimal page store for the index writer's tests, used only while the
// library has no store of its own: pages are kept in JetState::pending,
// new pages are appended, commit writes the changed pages back (RC4-encoded
// where the file's pages are). No journal, no lock, no savepoints.

#include "engine/jet/JetPageStore.h"

#include "engine/base/Messages.h"
#include "engine/jet/JetInternal.h"

#include <fcntl.h>
#include <set>
#include <unistd.h>

namespace engine::jet {

struct PageStore::Impl {
    JetFile file;
    std::shared_ptr<JetState> state;
    int fd = -1;
    bool open = false;
    std::set<std::uint32_t> changed;

    void globalBit(std::uint32_t page, bool freeBit) {
        Page page1 = state->page(1);
        std::vector<std::uint8_t> p = *page1;
        std::size_t s = 0, end = 0;
        bool deleted = false, overflow = false;
        if (!state->rowBounds(state->view(page1), 0, s, end, deleted, overflow) || end - s < 5)
            return;
        if (p[s] != 0) return;
        const std::uint32_t first = p[s + 1] | (p[s + 2] << 8) | (p[s + 3] << 16) |
                                    (static_cast<std::uint32_t>(p[s + 4]) << 24);
        if (page < first || page - first >= (end - s - 5) * 8) return;
        const std::uint32_t bit = page - first;
        if (freeBit)
            p[s + 5 + bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
        else
            p[s + 5 + bit / 8] &= static_cast<std::uint8_t>(~(1u << (bit % 8)));
        put(1, std::move(p));
    }
    void put(std::uint32_t n, std::vector<std::uint8_t> bytes) {
        state->pending[n] = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
        changed.insert(n);
    }
};

std::shared_ptr<PageStore> PageStore::open(const JetFile& file) {
    std::shared_ptr<PageStore> s(new PageStore());
    s->impl_ = std::make_unique<Impl>(Impl{file, file.state_, -1, false, {}});
    s->impl_->fd = ::open(file.path().c_str(), O_RDWR | O_CLOEXEC);
    if (s->impl_->fd < 0) msg::raise(msg::ReadOnlyFile, {file.path()});
    return s;
}

PageStore::~PageStore() {
    if (impl_ && impl_->fd >= 0) ::close(impl_->fd);
}

const JetFile& PageStore::file() const {
    return impl_->file;
}
bool PageStore::recovered() const {
    return false;
}
void PageStore::begin() {
    impl_->open = true;
}
bool PageStore::inTransaction() const {
    return impl_->open;
}
Page PageStore::read(std::uint32_t number) const {
    return impl_->state->page(number);
}
void PageStore::write(std::uint32_t number, std::vector<std::uint8_t> bytes) {
    impl_->put(number, std::move(bytes));
}
std::uint32_t PageStore::allocate() {
    JetState& s = *impl_->state;
    const std::uint32_t n = s.header.pageCount++;
    impl_->put(n, std::vector<std::uint8_t>(s.layout.pageSize, 0));
    impl_->globalBit(n, false);
    return n;
}
void PageStore::release(std::uint32_t number) {
    std::vector<std::uint8_t> p = *read(number);
    std::fill(p.begin(), p.begin() + 4, 0);
    impl_->put(number, std::move(p));
    impl_->globalBit(number, true);
}
int PageStore::savepoint() {
    return 0;
}
void PageStore::rollbackTo(int) {}
void PageStore::releaseSavepoint(int) {}
void PageStore::commit() {
    JetState& s = *impl_->state;
    for (std::uint32_t n : impl_->changed) {
        std::vector<std::uint8_t> b = *s.pending.at(n);
        if (n != 0 && s.dbKey != 0) {
            const std::uint32_t k = s.dbKey ^ n;
            const std::uint8_t key[4] = {
                static_cast<std::uint8_t>(k), static_cast<std::uint8_t>(k >> 8),
                static_cast<std::uint8_t>(k >> 16), static_cast<std::uint8_t>(k >> 24)};
            rc4(key, 4, b.data(), b.size());
        }
        if (::pwrite(impl_->fd, b.data(), b.size(), static_cast<off_t>(n) * s.layout.pageSize) !=
            static_cast<ssize_t>(b.size()))
            msg::raise(msg::DiskFull, {s.path});
    }
    ::fsync(impl_->fd);
    impl_->changed.clear();
    impl_->open = false;
}
void PageStore::rollback() {
    impl_->open = false;
}

} // namespace engine::jet
