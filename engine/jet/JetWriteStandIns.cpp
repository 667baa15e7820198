// Temporary stand-ins for the page store and the index maintainer, so the
// row writer can be built and tried before the real ones are merged. The
// store keeps changed pages in memory and writes them on commit (no journal,
// no lock); the maintainer refuses tables that have indexes.

#include "engine/base/Messages.h"
#include "engine/jet/JetIndexWriter.h"
#include "engine/jet/JetInternal.h"
#include "engine/jet/JetPageStore.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace engine::jet {

struct PageStore::Impl {
    JetFile file;
    std::shared_ptr<JetState> st;
    int fd = -1;
    bool inTx = false;
    std::uint32_t pageCount = 0;
    struct Undo {
        std::uint32_t page;
        Page before; // null: the page was not pending
        std::uint32_t pageCount;
    };
    std::vector<Undo> undo;
    std::vector<std::size_t> levels;
    explicit Impl(const JetFile& f) : file(f) {}
};

namespace {
std::uint32_t get32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
} // namespace

std::shared_ptr<PageStore> PageStore::open(const JetFile& file) {
    std::shared_ptr<PageStore> s(new PageStore());
    s->impl_ = std::make_unique<Impl>(file);
    s->impl_->st = file.state_;
    s->impl_->fd = ::open(file.path().c_str(), O_RDWR | O_CLOEXEC);
    if (s->impl_->fd < 0) msg::raise(msg::ReadOnlyFile, {file.path()});
    return s;
}

PageStore::~PageStore() {
    if (!impl_) return;
    if (impl_->inTx) rollback();
    if (impl_->fd >= 0) ::close(impl_->fd);
}

const JetFile& PageStore::file() const {
    return impl_->file;
}
bool PageStore::recovered() const {
    return false;
}
void PageStore::begin() {
    if (impl_->inTx) return;
    impl_->inTx = true;
    impl_->pageCount = impl_->st->header.pageCount;
}
bool PageStore::inTransaction() const {
    return impl_->inTx;
}
Page PageStore::read(std::uint32_t number) const {
    return impl_->st->page(number);
}
void PageStore::write(std::uint32_t number, std::vector<std::uint8_t> bytes) {
    auto& st = *impl_->st;
    auto it = st.pending.find(number);
    impl_->undo.push_back(
        {number, it == st.pending.end() ? Page() : it->second, st.header.pageCount});
    st.pending[number] = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
}
std::uint32_t PageStore::allocate() {
    auto& st = *impl_->st;
    const std::uint32_t n = st.header.pageCount;
    write(n, std::vector<std::uint8_t>(st.layout.pageSize, 0));
    st.header.pageCount = n + 1;
    // The global map: its bit for the page is cleared (in use).
    std::vector<std::uint8_t> g = *st.page(1);
    const std::size_t start = static_cast<std::size_t>((g[14] | (g[15] << 8)) & 0x1FFF);
    const std::size_t end = st.layout.pageSize;
    if (g[start] == 0) {
        std::uint32_t first = get32(g, start + 1);
        const std::size_t span = (end - start - 5) * 8;
        if (n >= first + span) {
            // Move the window forward; pages behind it are no longer tracked.
            const std::uint32_t nf = n >= 256 ? (n - 256) & ~7u : 0;
            std::vector<std::uint8_t> bits(end - start - 5, 0xFF);
            for (std::uint32_t p = nf; p < first + span; ++p) {
                const std::size_t ob = p - first;
                const bool free = (g[start + 5 + ob / 8] >> (ob % 8)) & 1;
                if (!free) bits[(p - nf) / 8] &= static_cast<std::uint8_t>(~(1u << ((p - nf) % 8)));
            }
            std::copy(bits.begin(), bits.end(), g.begin() + static_cast<long>(start + 5));
            g[start + 1] = static_cast<std::uint8_t>(nf);
            g[start + 2] = static_cast<std::uint8_t>(nf >> 8);
            g[start + 3] = static_cast<std::uint8_t>(nf >> 16);
            g[start + 4] = static_cast<std::uint8_t>(nf >> 24);
            first = nf;
        }
        if (n >= first) {
            const std::size_t b = n - first;
            g[start + 5 + b / 8] &= static_cast<std::uint8_t>(~(1u << (b % 8)));
        }
        write(1, std::move(g));
    }
    return n;
}
void PageStore::release(std::uint32_t) {}
int PageStore::savepoint() {
    impl_->levels.push_back(impl_->undo.size());
    return static_cast<int>(impl_->levels.size());
}
void PageStore::rollbackTo(int level) {
    if (level < 1 || static_cast<std::size_t>(level) > impl_->levels.size()) return;
    const std::size_t mark = impl_->levels[static_cast<std::size_t>(level) - 1];
    auto& st = *impl_->st;
    while (impl_->undo.size() > mark) {
        const auto& u = impl_->undo.back();
        if (u.before)
            st.pending[u.page] = u.before;
        else
            st.pending.erase(u.page);
        st.header.pageCount = u.pageCount;
        impl_->undo.pop_back();
    }
    impl_->levels.resize(static_cast<std::size_t>(level));
}
void PageStore::releaseSavepoint(int level) {
    if (level < 1 || static_cast<std::size_t>(level) > impl_->levels.size()) return;
    impl_->levels.resize(static_cast<std::size_t>(level) - 1);
}
void PageStore::commit() {
    auto& st = *impl_->st;
    if (!impl_->inTx) return;
    for (auto& [n, p] : st.pending) {
        std::vector<std::uint8_t> out = *p;
        if (st.dbKey != 0 && n != 0) {
            const std::uint32_t k = st.dbKey ^ n;
            const std::uint8_t key[4] = {
                static_cast<std::uint8_t>(k), static_cast<std::uint8_t>(k >> 8),
                static_cast<std::uint8_t>(k >> 16), static_cast<std::uint8_t>(k >> 24)};
            rc4(key, 4, out.data(), out.size());
        }
        const off_t at = static_cast<off_t>(n) * st.layout.pageSize;
        if (::pwrite(impl_->fd, out.data(), out.size(), at) != static_cast<ssize_t>(out.size()))
            msg::raise(msg::IoError);
        st.cache.put(n, p);
    }
    ::fsync(impl_->fd);
    st.fileSize = static_cast<std::uint64_t>(st.header.pageCount) * st.layout.pageSize;
    st.pending.clear();
    impl_->undo.clear();
    impl_->levels.clear();
    impl_->inTx = false;
}
void PageStore::rollback() {
    auto& st = *impl_->st;
    st.pending.clear();
    if (impl_->inTx) st.header.pageCount = impl_->pageCount;
    impl_->undo.clear();
    impl_->levels.clear();
    impl_->inTx = false;
}

struct IndexMaintainer::Impl {
    TableDef def;
};
IndexMaintainer::IndexMaintainer(std::shared_ptr<PageStore>, TableDef def)
    : impl_(std::make_unique<Impl>()) {
    impl_->def = std::move(def);
}
IndexMaintainer::~IndexMaintainer() = default;
std::string IndexMaintainer::unsupportedReason() const {
    return impl_->def.indexes.empty() ? std::string() : "表上的索引暂时不能维护";
}
void IndexMaintainer::checkUnique(const std::vector<Value>&, std::optional<RowId>) const {}
void IndexMaintainer::add(const std::vector<Value>&, RowId) {}
void IndexMaintainer::remove(const std::vector<Value>&, RowId) {}

} // namespace engine::jet
