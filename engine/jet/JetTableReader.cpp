// A table's rows for a query engine: lazy scans, positioning by RowId, and
// range searches over the file's index trees.

#include "engine/jet/JetTableReader.h"

#include "engine/base/Messages.h"
#include "engine/jet/JetInternal.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <set>

namespace engine::jet {

namespace {

constexpr std::uint8_t kPageData = 0x01;
constexpr std::uint8_t kPageIndexNode = 0x03;
constexpr std::uint8_t kPageIndexLeaf = 0x04;
constexpr int kMaxTreeDepth = 32;

std::string num(std::uint64_t v) {
    return std::to_string(v);
}

std::uint32_t bigEndian(const std::uint8_t* p, int n) {
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i)
        v = (v << 8) | p[i];
    return v;
}

// One entry of an index page: its key (flag bytes included) and the row,
// or for a node page the child page, it leads to.
struct IndexEntry {
    const std::uint8_t* key = nullptr;
    std::size_t keyLen = 0;
    RowId row;
    std::uint32_t child = 0; // node pages only
};

struct IndexPageHead {
    bool leaf = false;
    std::uint32_t next = 0;
    std::uint32_t tail = 0;
};

// Walks the entries of an index page in order, handing each to `visit`
// until it returns false. Entries after the first leave out the bytes they
// share with it (the page's prefix); they are put together in `scratch`, so
// a search allocates nothing per entry.
template <class Visit>
IndexPageHead walkIndexPage(JetState& s, std::uint32_t number, std::uint32_t tdefPage,
                            std::vector<std::uint8_t>& scratch, Visit&& visit) {
    const bool jet4 = s.layout.jet4;
    Page p = s.page(number);
    ByteView v = s.view(p);
    const std::uint8_t type = v.u8(0);
    if ((type != kPageIndexNode && type != kPageIndexLeaf) || v.u32(4) != tdefPage)
        corrupt(s.path, "第 " + num(number) + " 页应为本表的索引页，实际页类型为 " + num(type));
    IndexPageHead head;
    head.leaf = type == kPageIndexLeaf;
    head.next = v.u32(jet4 ? 16 : 12);
    head.tail = v.u32(jet4 ? 20 : 16);
    // Jet 3 keeps the prefix length in one byte; the next one is 01 on
    // some node pages (as Access 97 writes them).
    const std::size_t prefixLen = jet4 ? v.u16(24) : v.u8(20);
    const std::size_t maskStart = jet4 ? 27 : 22;
    const std::size_t entriesStart = jet4 ? 0x1E0 : 0xF8;
    const std::size_t maskBytes = entriesStart - maskStart;
    const std::size_t tailBytes = head.leaf ? 4 : 8;
    v.need(maskStart, maskBytes, "索引页");
    const std::uint8_t* mask = v.data() + maskStart;
    std::size_t begin = 0;
    bool first = true;
    std::size_t firstLen = 0;
    scratch.clear();
    for (std::size_t byte = 0; byte < maskBytes; ++byte) {
        if (mask[byte] == 0) continue;
        for (unsigned b = 0; b < 8; ++b) {
            const std::size_t bit = byte * 8 + b;
            if (bit == 0 || !(mask[byte] & (1u << b))) continue;
            ByteView written = v.sub(entriesStart + begin, bit - begin);
            if (first) {
                scratch.assign(written.data(), written.data() + written.size());
                firstLen = scratch.size();
            } else {
                if (prefixLen > firstLen)
                    corrupt(s.path, "第 " + num(number) + " 页的索引前缀长度无效");
                // The first entry's bytes stay at the front of scratch.
                scratch.resize(firstLen + prefixLen);
                std::copy(scratch.begin(), scratch.begin() + static_cast<long>(prefixLen),
                          scratch.begin() + static_cast<long>(firstLen));
                scratch.insert(scratch.end(), written.data(), written.data() + written.size());
            }
            const std::uint8_t* bytes = scratch.data() + (first ? 0 : firstLen);
            const std::size_t size = first ? firstLen : scratch.size() - firstLen;
            first = false;
            begin = bit;
            if (size < tailBytes) corrupt(s.path, "第 " + num(number) + " 页中有一条索引项太短");
            IndexEntry e;
            e.key = bytes;
            e.keyLen = size - tailBytes;
            e.row.page = bigEndian(bytes + e.keyLen, 3);
            e.row.slot = bytes[e.keyLen + 3];
            if (!head.leaf) e.child = bigEndian(bytes + e.keyLen + 4, 4);
            if (!visit(e)) return head;
        }
    }
    return head;
}

// Big-endian bytes of an integer with the sign bit flipped: they sort as
// the numbers do.
std::vector<std::uint8_t> integerKey(std::int64_t value, int bytes) {
    std::vector<std::uint8_t> out(static_cast<std::size_t>(bytes));
    std::uint64_t u = static_cast<std::uint64_t>(value);
    for (int i = bytes - 1; i >= 0; --i, u >>= 8)
        out[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(u);
    if (bytes > 1) out[0] ^= 0x80;
    return out;
}

// IEEE bytes, big-endian: positive values with the sign bit flipped,
// negative ones inverted.
std::vector<std::uint8_t> floatKey(std::uint64_t bits, int bytes) {
    std::vector<std::uint8_t> out(static_cast<std::size_t>(bytes));
    for (int i = bytes - 1; i >= 0; --i, bits >>= 8)
        out[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(bits);
    if (out[0] & 0x80) {
        for (auto& b : out)
            b = static_cast<std::uint8_t>(~b);
    } else {
        out[0] ^= 0x80;
    }
    return out;
}

// Key bytes (flag included) of the first column of an ascending index for
// a bound, rounded outwards so no matching row falls outside. `upper` tells
// which end. Empty when the bound excludes every value of the type.
std::optional<std::vector<std::uint8_t>> boundKey(int jetType, double v, bool upper) {
    std::vector<std::uint8_t> value;
    auto integral = [&](double lo, double hi, int bytes) -> bool {
        double r = upper ? std::floor(v) : std::ceil(v);
        if (upper && r < lo) return false;
        if (!upper && r > hi) return false;
        r = std::clamp(r, lo, hi);
        value = integerKey(static_cast<std::int64_t>(r), bytes);
        return true;
    };
    switch (jetType) {
    case coltype::Byte:
        if (!integral(0, 255, 1)) return std::nullopt;
        break;
    case coltype::Integer:
        if (!integral(-32768, 32767, 2)) return std::nullopt;
        break;
    case coltype::Long:
        if (!integral(-2147483648.0, 2147483647.0, 4)) return std::nullopt;
        break;
    case coltype::Currency:
        if (!integral(-9.2e18, 9.2e18, 8)) return std::nullopt;
        break;
    case coltype::Single: {
        // Stored singles reach the engine as their shortest decimal, which
        // may differ from the float in its last place: widen by one step.
        float f = static_cast<float>(v);
        f = std::nextafter(f, upper ? std::numeric_limits<float>::infinity()
                                    : -std::numeric_limits<float>::infinity());
        std::uint32_t bits;
        std::memcpy(&bits, &f, 4);
        value = floatKey(bits, 4);
        break;
    }
    case coltype::Double:
    case coltype::DateTime: {
        // -0 equals 0 but sorts below it.
        if (v == 0) v = upper ? 0.0 : -0.0;
        std::uint64_t bits;
        std::memcpy(&bits, &v, 8);
        value = floatKey(bits, 8);
        break;
    }
    default:
        return std::nullopt;
    }
    std::vector<std::uint8_t> key{0x7F};
    key.insert(key.end(), value.begin(), value.end());
    return key;
}

// Compares the first `n` bytes of a key with a bound's bytes.
int compareSegment(const std::uint8_t* key, std::size_t keyLen,
                   const std::vector<std::uint8_t>& bound) {
    const std::size_t n = std::min(keyLen, bound.size());
    const int c = n == 0 ? 0 : std::memcmp(key, bound.data(), n);
    if (c != 0) return c;
    return keyLen < bound.size() ? -1 : 0;
}
int compareSegment(const std::vector<std::uint8_t>& key, const std::vector<std::uint8_t>& bound) {
    return compareSegment(key.data(), key.size(), bound);
}

// RowIds of the entries between two keys (either may be missing), in index
// order: down the tree to the first leaf that may hold the lower bound,
// then along the leaves. A bound compares with as many bytes of an entry as
// it has, so a bound is also every entry that starts with it.
std::vector<RowId> walkRange(JetState& s, std::uint32_t tdefPage, std::uint32_t rootPage,
                             const std::optional<std::vector<std::uint8_t>>& from,
                             const std::optional<std::vector<std::uint8_t>>& to) {
    s.flushDeferred(); // index pages a writer still keeps
    std::vector<RowId> out;
    std::vector<std::uint8_t> scratch;
    std::uint32_t pageNo = rootPage;
    for (int depth = 0;; ++depth) {
        if (depth >= kMaxTreeDepth) corrupt(s.path, "索引树的层数过多或形成了循环");
        bool found = false;
        std::uint32_t child = 0;
        const IndexPageHead head =
            walkIndexPage(s, pageNo, tdefPage, scratch, [&](const IndexEntry& e) {
                if (from && compareSegment(e.key, e.keyLen, *from) < 0) return true;
                found = true;
                child = e.child;
                return false;
            });
        if (head.leaf) break;
        if (!found) child = head.tail;
        if (child == 0) return out; // every key lies below the lower bound
        pageNo = child;
    }
    // Along the leaves until past the upper bound.
    std::set<std::uint32_t> seen{pageNo};
    for (;;) {
        bool past = false;
        const IndexPageHead head =
            walkIndexPage(s, pageNo, tdefPage, scratch, [&](const IndexEntry& e) {
                if (from && compareSegment(e.key, e.keyLen, *from) < 0) return true;
                if (to && compareSegment(e.key, e.keyLen, *to) > 0) {
                    past = true;
                    return false;
                }
                out.push_back(e.row);
                return true;
            });
        if (!head.leaf) corrupt(s.path, "索引叶页链接到了非叶页（第 " + num(pageNo) + " 页）");
        if (past || head.next == 0) return out;
        pageNo = head.next;
        if (!seen.insert(pageNo).second) corrupt(s.path, "索引页的链接形成了循环");
    }
}

} // namespace

TableReader::TableReader(const JetFile& file, TableDef def)
    : state_(file.state_), def_(std::move(def)), layout_(std::make_unique<RowLayout>()) {}
TableReader::TableReader(TableReader&&) noexcept = default;
TableReader& TableReader::operator=(TableReader&&) noexcept = default;
TableReader::~TableReader() = default;

void TableReader::rewind() {
    // Rows added or removed since the table's pages were listed: list them again.
    if (changesSeen_ != state_->changes) {
        pagesRead_ = false;
        lastPage_.reset();
        changesSeen_ = state_->changes;
    }
    if (!pagesRead_) {
        pages_ = state_->usageMapPages(def_.usageMap);
        ordered_ = std::is_sorted(pages_.begin(), pages_.end());
        pagesRead_ = true;
    }
    pageIndex_ = 0;
    slot_ = 0;
    readAheadUntil_ = 0;
    rowPage_.reset();
}

void TableReader::rewindFrom(RowId from) {
    const std::size_t asked = readAheadUntil_;
    rewind();
    if (!ordered_) return; // the whole table, in the order the map lists it
    const auto at = std::lower_bound(pages_.begin(), pages_.end(), from.page);
    pageIndex_ = static_cast<std::size_t>(at - pages_.begin());
    if (at != pages_.end() && *at == from.page) slot_ = from.slot;
    // A keyset reads the table a page of rows after another: what was asked
    // of the system ahead of the last one still stands.
    if (pageIndex_ < asked) readAheadUntil_ = asked;
}

bool TableReader::ordered() {
    if (!pagesRead_) rewind();
    return ordered_;
}

Page TableReader::pageAt(std::uint32_t number) {
    if (lastPageChanges_ != state_->changes) {
        lastPage_.reset();
        lastPageChanges_ = state_->changes;
    }
    if (!lastPage_ || lastPageNo_ != number) {
        lastPage_ = state_->page(number);
        lastPageNo_ = number;
    }
    return lastPage_;
}

bool TableReader::loadRow(std::uint32_t pageNo, int slot) {
    JetState& s = *state_;
    Page p = pageAt(pageNo);
    ByteView pv = s.view(p);
    if (pv.u8(0) != kPageData || pv.u32(4) != def_.tdefPage ||
        slot >= pv.u16(s.layout.rowCountOffset))
        return false;
    std::size_t start = 0, end = 0;
    bool deleted = false, overflow = false;
    if (!s.rowBounds(pv, slot, start, end, deleted, overflow)) return false;
    // A row that moved to another page: its slot here says where to.
    if (overflow && !s.locateRow(pageNo, slot, p, start, end)) return false;
    rowPage_ = std::move(p);
    rowStart_ = start;
    rowEnd_ = end;
    current_ = {pageNo, static_cast<std::uint16_t>(slot)};
    decoded_ = false;
    laidOut_ = false;
    return true;
}

bool TableReader::advance() {
    if (!pagesRead_) rewind();
    JetState& s = *state_;
    while (pageIndex_ < pages_.size()) {
        const std::uint32_t pageNo = pages_[pageIndex_];
        if (slot_ == 0 && pageIndex_ >= readAheadUntil_) readAhead();
        ByteView pv = s.view(pageAt(pageNo));
        // The map may list pages that were since given to another table.
        if (pv.u8(0) != kPageData || pv.u32(4) != def_.tdefPage ||
            slot_ >= pv.u16(s.layout.rowCountOffset)) {
            ++pageIndex_;
            slot_ = 0;
            continue;
        }
        const int slot = slot_++;
        if (loadRow(pageNo, slot)) return true;
    }
    rowPage_.reset();
    return false;
}

void TableReader::readAhead() {
    // Tells the system which stretch of the file the scan reads next, so a
    // file not yet in memory is read in large pieces rather than page by page.
    constexpr std::size_t kAhead = 64;
    const std::size_t end = std::min(pages_.size(), pageIndex_ + kAhead);
    readAheadUntil_ = end;
    const int fd = state_->fd;
    if (fd < 0) return;
    const auto [lo, hi] = std::minmax_element(pages_.begin() + static_cast<long>(pageIndex_),
                                              pages_.begin() + static_cast<long>(end));
    const off_t size = state_->layout.pageSize;
    ::posix_fadvise(fd, static_cast<off_t>(*lo) * size, static_cast<off_t>(*hi - *lo + 1) * size,
                    POSIX_FADV_WILLNEED);
}

bool TableReader::seek(RowId id) {
    if (id.page == 0 || id.page >= state_->header.pageCount) return false;
    return loadRow(id.page, id.slot);
}

const std::vector<Value>& TableReader::values() {
    if (!decoded_) {
        if (!rowPage_) msg::raise(msg::NoCurrentRecord);
        ByteView pv = state_->view(rowPage_);
        values_ = state_->decodeRow(def_, pv.sub(rowStart_, rowEnd_ - rowStart_));
        decoded_ = true;
    }
    return values_;
}

void TableReader::cell(std::size_t column, Cell& out) {
    if (!rowPage_) msg::raise(msg::NoCurrentRecord);
    if (column >= def_.columns.size()) {
        out.kind = Cell::Kind::Null;
        return;
    }
    JetState& s = *state_;
    if (!laidOut_) {
        ByteView pv = s.view(rowPage_);
        s.parseRow(def_, pv.sub(rowStart_, rowEnd_ - rowStart_), *layout_);
        laidOut_ = true;
    }
    s.decodeCell(def_, *layout_, def_.columns[column], out);
}

bool TableReader::searchable(const IndexDef& index) const {
    if (index.rootPage == 0 || index.columns.empty()) return false;
    const int c = def_.columnIndex(index.columns[0]);
    if (c < 0) return false;
    switch (def_.columns[static_cast<std::size_t>(c)].jetType) {
    case coltype::Byte:
    case coltype::Integer:
    case coltype::Long:
    case coltype::Currency:
    case coltype::Single:
    case coltype::Double:
    case coltype::DateTime:
        return true;
    default:
        return false;
    }
}

std::vector<RowId> TableReader::indexRange(const IndexDef& index,
                                           const std::optional<IndexBound>& lo,
                                           const std::optional<IndexBound>& hi) const {
    std::vector<RowId> out;
    if (!searchable(index)) return out;
    const ColumnDef& col =
        def_.columns[static_cast<std::size_t>(def_.columnIndex(index.columns[0]))];
    const bool desc = !index.descending.empty() && index.descending[0];
    std::optional<std::vector<std::uint8_t>> from, to;
    if (lo) {
        from = boundKey(col.jetType, lo->value, false);
        if (!from) return out;
    }
    if (hi) {
        to = boundKey(col.jetType, hi->value, true);
        if (!to) return out;
    }
    if (from && to && compareSegment(*from, *to) > 0) return out;
    if (desc) {
        // A descending column stores the inverted value: the order turns round.
        auto invert = [](std::vector<std::uint8_t>& k) {
            k[0] = 0x80;
            for (std::size_t i = 1; i < k.size(); ++i)
                k[i] = static_cast<std::uint8_t>(~k[i]);
        };
        if (from) invert(*from);
        if (to) invert(*to);
        std::swap(from, to);
    }

    return walkRange(*state_, def_.tdefPage, index.rootPage, from, to);
}

std::uint64_t TableReader::changes() const {
    return state_->changes;
}

TextOrder TableReader::textOrder(const ColumnDef& column) const {
    JetState& s = *state_;
    const Layout& L = s.layout;
    if (!L.jet4) return TextOrder::Unsupported; // Jet 3 keys follow another order
    std::vector<std::uint8_t> bytes = s.tdefBytes(def_.tdefPage);
    ByteView v(bytes.data(), bytes.size(), &s.path);
    const std::uint32_t numCols = v.u16(L.numColsOffset);
    const std::uint32_t numReal = v.u32(L.numRealIdxOffset);
    const std::size_t pos = L.colsStartOffset + numReal * L.realIdxEntrySize;
    for (std::uint32_t i = 0; i < numCols; ++i) {
        ByteView e = v.sub(pos + i * L.colEntrySize, L.colEntrySize);
        if (e.u16(L.colNumOffset) != column.columnNumber) continue;
        // A column's own order, or (0) the database's.
        SortOrder o{e.u16(11) | (e.u8(13) << 16), e.u8(14)};
        if (o.lcid == 0) {
            Page header = s.page(0);
            const ByteView hv = s.view(header);
            o = SortOrder{hv.u16(0x6E) | (hv.u8(0x70) << 16), hv.u8(0x71)};
        }
        return textOrderOf(o);
    }
    return TextOrder::Unsupported;
}

bool TableReader::searchableText(const IndexDef& index) const {
    if (!state_->layout.jet4 || index.rootPage == 0 || index.columns.empty()) return false;
    const int c = def_.columnIndex(index.columns[0]);
    if (c < 0) return false;
    const ColumnDef& col = def_.columns[static_cast<std::size_t>(c)];
    return (col.jetType == coltype::Text || col.jetType == coltype::Memo) &&
           textOrder(col) != TextOrder::Unsupported;
}

std::vector<RowId> TableReader::indexPrefix(const IndexDef& index,
                                            const std::vector<std::uint8_t>& prefix) const {
    if (!searchableText(index) || prefix.empty()) return {};
    return walkRange(*state_, def_.tdefPage, index.rootPage, prefix, prefix);
}

} // namespace engine::jet
