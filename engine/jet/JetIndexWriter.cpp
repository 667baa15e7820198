// Keeps the index trees of one table of a genuine Jet 4 file right as rows
// change: entries added and removed at their sorted place, full pages split
// (new root above a full root), empty pages unlinked and freed, the
// definition's unique entry counts kept.
//
// Index pages: a header, a bitmap marking where each entry ends, and the
// entries packed from 0x1E0; entries after the first may leave out a prefix
// they share with it. A leaf entry is key + row pointer (3-byte page, slot);
// a node entry adds its child page and equals the child's last entry. A node
// with two or more children keeps its last child in the "tail" field instead
// of as an entry. Pages of one level are linked in key order (node pages only
// among children of one parent). The root keeps its page number for life.

#include "engine/jet/JetIndexWriter.h"

#include "engine/base/Messages.h"
#include "engine/jet/JetIndexKeys.h"
#include "engine/jet/JetInternal.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

namespace engine::jet {

namespace {

constexpr std::uint8_t kPageData = 0x01;
constexpr std::uint8_t kPageNode = 0x03;
constexpr std::uint8_t kPageLeaf = 0x04;
constexpr std::uint8_t kPageMap = 0x05;
constexpr std::size_t kMaskStart = 27;
constexpr std::size_t kEntriesStart = 0x1E0;
constexpr std::size_t kMaxEntryBytes = 3616; // min(4096 - 0x1E0, 453 * 8)
constexpr int kMaxDepth = 32;
// Parsed pages kept back while writes are deferred, at most (some 40 MB).
constexpr std::size_t kMaxKeptPages = 4096;

constexpr std::uint8_t kFlagUnique = 0x01;
constexpr std::uint8_t kFlagIgnoreNulls = 0x02;
constexpr std::uint8_t kFlagRequired = 0x08;

std::string num(std::uint64_t v) {
    return std::to_string(v);
}

struct Item {
    std::vector<std::uint8_t> key;
    RowId row;
    std::uint32_t child = 0; // node pages
};

// Index order: key bytes (a key that is a prefix of another sorts first),
// then data page, then slot.
int compareEntries(const std::vector<std::uint8_t>& ak, RowId ar,
                   const std::vector<std::uint8_t>& bk, RowId br) {
    const std::size_t n = std::min(ak.size(), bk.size());
    if (n > 0) {
        const int c = std::memcmp(ak.data(), bk.data(), n);
        if (c != 0) return c < 0 ? -1 : 1;
    }
    if (ak.size() != bk.size()) return ak.size() < bk.size() ? -1 : 1;
    if (ar.page != br.page) return ar.page < br.page ? -1 : 1;
    if (ar.slot != br.slot) return ar.slot < br.slot ? -1 : 1;
    return 0;
}

int compareEntries(const Item& a, const Item& b) {
    return compareEntries(a.key, a.row, b.key, b.row);
}

struct Node {
    std::uint32_t number = 0;
    bool leaf = true;
    std::uint32_t prev = 0, next = 0, tail = 0;
    std::vector<Item> entries;
    // The shared prefix of the entries, once worked out; forgotten when the
    // page changes (touch).
    mutable std::optional<std::size_t> prefix;
    // The entries' bytes before prefix compression, once added up; also
    // forgotten by touch.
    mutable std::optional<std::size_t> rawBytes;
    std::size_t children() const { return entries.size() + (tail ? 1 : 0); }
};

// One physical index as the table definition describes it.
struct RealIndex {
    int number = 0;
    std::string name;
    std::vector<int> columns; // ordinals in TableDef::columns
    std::vector<bool> descending;
    bool unique = false, ignoreNulls = false, required = false;
    std::uint32_t root = 0;
    std::uint32_t usageMap = 0;
    std::vector<TextOrder> orders; // per column
};

// One step down the tree: the page and which of its children was taken
// (entries.size() = the tail).
struct Step {
    std::uint32_t page = 0;
    std::size_t child = 0;
};

std::uint32_t bigEndian(const std::uint8_t* p, int n) {
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i)
        v = (v << 8) | p[i];
    return v;
}

void putLE32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t getLE32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

} // namespace

// The bytes every entry of the page begins with (key, row pointer and child
// taken as one string): what entries after the first may leave out. Files
// written elsewhere may share more than the keys, so the row pointers count.
namespace {

void tailOf(const Item& e, std::uint8_t* t) {
    t[0] = static_cast<std::uint8_t>(e.row.page >> 16);
    t[1] = static_cast<std::uint8_t>(e.row.page >> 8);
    t[2] = static_cast<std::uint8_t>(e.row.page);
    t[3] = static_cast<std::uint8_t>(e.row.slot);
    t[4] = static_cast<std::uint8_t>(e.child >> 24);
    t[5] = static_cast<std::uint8_t>(e.child >> 16);
    t[6] = static_cast<std::uint8_t>(e.child >> 8);
    t[7] = static_cast<std::uint8_t>(e.child);
}

// How many bytes, at most `limit`, entry `e` shares with the page's first
// entry; never all of `e` (every entry keeps at least one byte of its own).
std::size_t sharedWithFirst(const Item& first, const Item& e, std::size_t tailBytes,
                            std::size_t limit) {
    limit = std::min(limit, e.key.size() + tailBytes - 1);
    // The keys first, compared as blocks; the few bytes past a key's end
    // one by one.
    const std::size_t keys = std::min({limit, first.key.size(), e.key.size()});
    std::size_t k = static_cast<std::size_t>(
        std::mismatch(first.key.begin(), first.key.begin() + static_cast<long>(keys), e.key.begin())
            .first -
        first.key.begin());
    if (k == keys) {
        std::uint8_t firstTail[8], otherTail[8];
        tailOf(first, firstTail);
        tailOf(e, otherTail);
        auto byteAt = [](const Item& x, const std::uint8_t* tail, std::size_t at) {
            return at < x.key.size() ? x.key[at] : tail[at - x.key.size()];
        };
        while (k < limit && byteAt(first, firstTail, k) == byteAt(e, otherTail, k))
            ++k;
    }
    return k;
}

} // namespace

std::size_t sharedPrefix(const Node& n) {
    if (n.entries.size() < 2) return 0;
    const std::size_t tailBytes = n.leaf ? 4 : 8;
    const Item& first = n.entries.front();
    std::size_t p = first.key.size() + tailBytes - 1;
    for (std::size_t i = 1; i < n.entries.size() && p > 0; ++i)
        p = sharedWithFirst(first, n.entries[i], tailBytes, p);
    return p;
}

struct IndexMaintainer::Impl final : DeferredPages {
    std::shared_ptr<PageStore> store;
    TableDef def;
    std::shared_ptr<JetState> state;
    std::vector<RealIndex> indexes;
    std::string reason;
    // Pages of the change under way, parsed; written back when it ends.
    std::map<std::uint32_t, Node> nodes;
    std::map<std::uint32_t, Page> loadedFrom; // the bytes each was parsed from
    std::set<std::uint32_t> dirty;
    std::set<std::uint32_t> freed; // by the change under way
    // Parsed pages kept between changes, valid while the store still hands
    // out the same page bytes.
    std::map<std::uint32_t, std::pair<Page, Node>> parsed;
    // The entry an update removed last, per index: adding it back does not
    // count as a new unique key.
    std::map<std::size_t, std::pair<std::vector<std::uint8_t>, RowId>> lastRemoved;

    void readDefinition();
    [[noreturn]] void damaged(const std::string& what) const { corrupt(state->path, what); }

    std::optional<std::vector<std::uint8_t>> keyOf(const RealIndex& ix,
                                                   const std::vector<Value>& row, bool& ok) const;
    // The value of `row` that keyOf could not put into a key of `ix`.
    [[noreturn]] void badValue(const RealIndex& ix, const std::vector<Value>& row) const;

    // Pages.
    Node parse(std::uint32_t number, const Page& page) const;
    Node& load(std::uint32_t number);
    void touch(std::uint32_t number) {
        dirty.insert(number);
        auto it = nodes.find(number);
        if (it != nodes.end()) {
            it->second.prefix.reset();
            it->second.rawBytes.reset();
        }
    }
    static std::size_t prefixOf(const Node& n) {
        if (!n.prefix) n.prefix = sharedPrefix(n);
        return *n.prefix;
    }
    std::vector<std::uint8_t> serialize(const Node& n) const;
    std::size_t entryBytes(const Node& n) const;
    bool fits(const Node& n) const { return entryBytes(n) <= kMaxEntryBytes; }
    void flush();
    // Ends one add, remove or check: the changed pages go to the store at
    // once, or stay here until flushPages() when writes are deferred.
    void endChange() {
        if (!deferred) {
            flush();
        } else if (nodes.size() > kMaxKeptPages) {
            // A statement changing very many rows keeps memory bounded: its
            // pages go to the store early (its savepoint still undoes them).
            flushDeferred();
        }
    }
    bool deferred = false;
    std::map<int, std::uint32_t> pendingCounts; // unique keys added, per real index
    void writeCounts();

    // While writes are deferred and pages are kept here, the maintainer is
    // listed in JetState::deferred, so that readers and the store have the
    // pages handed over (or dropped) first.
    bool listed = false;
    // Starts an add, remove or check: another writer's kept pages reach the
    // store first (they may be pages of the same indexes).
    void beginChange() {
        if (!deferred) return;
        state->flushDeferred(this);
        if (!listed) {
            state->deferred.push_back(this);
            listed = true;
        }
    }
    void unlist() {
        if (!listed) return;
        auto& v = state->deferred;
        v.erase(std::remove(v.begin(), v.end(), static_cast<DeferredPages*>(this)), v.end());
        listed = false;
    }
    void flushDeferred() override {
        flush();
        writeCounts();
        unlist();
    }
    void dropDeferred() override {
        discard();
        pendingCounts.clear();
        lastRemoved.clear();
        preparedFor = nullptr;
        unlist();
    }
    // A change that failed after changing pages: they are dropped, so the
    // store's transaction (whose data pages may refer to them) can only be
    // rolled back now.
    void failed() {
        discard();
        preparedFor = nullptr;
        if (deferred) {
            pendingCounts.clear();
            unlist();
        }
        if (store->inTransaction()) store->markIncomplete("索引没有更新完成，这次修改只能撤销");
    }

    // The keys checkUnique computed for a row, which add() then uses.
    std::vector<std::optional<std::vector<std::uint8_t>>> preparedKeys;
    const std::vector<Value>* preparedFor = nullptr;
    // Ends a change: pages read but not changed go back to the cache.
    void discard() {
        for (auto& [number, node] : nodes) {
            if (dirty.count(number)) continue;
            auto from = loadedFrom.find(number);
            if (from != loadedFrom.end()) parsed[number] = {from->second, std::move(node)};
        }
        nodes.clear();
        loadedFrom.clear();
        dirty.clear();
        freed.clear();
    }

    // Tree.
    std::vector<Step> findPath(const RealIndex& ix, const Item& target);
    bool findRow(std::uint32_t page, RowId row, std::vector<Step>& path, int depth);
    std::optional<Item> lastEntryOf(std::uint32_t page, int depth = 0);
    void normalize(Node& n);
    void propagateLast(std::vector<Step>& path, std::size_t level, const Item& last);
    void splitIfNeeded(const RealIndex& ix, std::vector<Step>& path, std::size_t level);
    void splitAlongPath(const RealIndex& ix, std::vector<Step>& path);
    void removePage(const RealIndex& ix, std::vector<Step>& path, std::size_t level);
    std::uint32_t newPage(const RealIndex& ix);
    void freePage(const RealIndex& ix, std::uint32_t number);
    bool hasEqualKey(const RealIndex& ix, const std::vector<std::uint8_t>& key,
                     std::optional<RowId> except);

    // Usage maps.
    void setMapBit(std::uint32_t rowPointer, std::uint32_t page, bool on);
    void bumpUniqueCount(const RealIndex& ix);
};

void IndexMaintainer::Impl::readDefinition() {
    const Layout& L = state->layout;
    if (!L.jet4 || state->header.ace) {
        // Index pages of the other formats are laid out differently.
        reason = msg::format(msg::JetFileReadOnly, {state->path});
        return;
    }
    std::vector<std::uint8_t> bytes = state->tdefBytes(def.tdefPage);
    ByteView v(bytes.data(), bytes.size(), &state->path);
    const std::uint32_t numCols = v.u16(L.numColsOffset);
    const std::uint32_t numIdx = v.u32(L.numIdxOffset);
    const std::uint32_t numReal = v.u32(L.numRealIdxOffset);
    std::size_t pos = L.colsStartOffset + numReal * L.realIdxEntrySize;

    // Sort order of every text column, by column number: a locale number
    // (its sort variant in the third byte, as in 0x20804 for Chinese stroke
    // order) and a version byte.
    Page header = state->page(0);
    const ByteView hv = state->view(header);
    const SortOrder fileOrder{hv.u16(0x6E) | (hv.u8(0x70) << 16), hv.u8(0x71)};
    std::map<int, SortOrder> orders;
    for (std::uint32_t i = 0; i < numCols; ++i) {
        ByteView e = v.sub(pos + i * L.colEntrySize, L.colEntrySize);
        SortOrder o{e.u16(11) | (e.u8(13) << 16), e.u8(14)};
        if (o.lcid == 0) o = fileOrder;
        orders[e.u16(L.colNumOffset)] = o;
    }
    pos += numCols * L.colEntrySize;
    for (std::uint32_t i = 0; i < numCols; ++i)
        pos += 2 + v.u16(pos);

    std::vector<RealIndex> real(numReal);
    std::vector<std::uint8_t> flags(numReal);
    std::vector<std::vector<int>> colNumbers(numReal);
    for (std::uint32_t i = 0; i < numReal; ++i) {
        ByteView e = v.sub(pos, L.realIdxDefSize);
        RealIndex& r = real[i];
        r.number = static_cast<int>(i);
        for (int k = 0; k < 10; ++k) {
            const std::uint16_t col = e.u16(4 + 3 * static_cast<std::size_t>(k));
            if (col == 0xFFFF) continue;
            const auto it = std::find_if(def.columns.begin(), def.columns.end(),
                                         [&](const ColumnDef& c) { return c.columnNumber == col; });
            if (it == def.columns.end())
                damaged("表“" + def.name + "”的索引引用了不存在的字段 " + num(col));
            r.columns.push_back(it->ordinal);
            r.descending.push_back(e.u8(4 + 3 * static_cast<std::size_t>(k) + 2) != 0x01);
            const bool textual = it->jetType == coltype::Text || it->jetType == coltype::Memo;
            r.orders.push_back(textual ? textOrderOf(orders[col]) : TextOrder::GeneralLegacy);
            colNumbers[i].push_back(col);
        }
        r.usageMap = e.u32(34);
        r.root = e.u32(38);
        flags[i] = e.u8(46);
        r.unique = (flags[i] & kFlagUnique) != 0;
        r.ignoreNulls = (flags[i] & kFlagIgnoreNulls) != 0;
        r.required = (flags[i] & kFlagRequired) != 0;
        pos += L.realIdxDefSize;
    }
    std::vector<std::uint32_t> logicalReal(numIdx);
    std::vector<std::uint8_t> logicalType(numIdx);
    for (std::uint32_t i = 0; i < numIdx; ++i) {
        logicalReal[i] = v.u32(pos + 8);
        logicalType[i] = v.u8(pos + 23);
        pos += L.logicalIdxSize;
    }
    for (std::uint32_t i = 0; i < numIdx; ++i) {
        const std::size_t len = v.u16(pos);
        v.need(pos + 2, len, "名称");
        const std::string name = state->text(bytes.data() + pos + 2, len);
        pos += 2 + len;
        if (logicalReal[i] >= numReal)
            damaged("表“" + def.name + "”的索引“" + name + "”引用了不存在的索引数据");
        RealIndex& r = real[logicalReal[i]];
        if (r.name.empty()) r.name = name;
        if (logicalType[i] == 0x01) { // a primary key: unique, no nulls
            r.unique = r.required = true;
            r.name = name;
        }
    }
    for (std::uint32_t i = 0; i < numReal; ++i) {
        RealIndex& r = real[i];
        if (r.name.empty()) r.name = "#" + num(i);
        for (std::size_t k = 0; k < r.columns.size() && reason.empty(); ++k) {
            if (r.orders[k] != TextOrder::Unsupported) continue;
            reason = msg::format(msg::UnsupportedSortOrder,
                                 {def.name, r.name, sortOrderName(orders[colNumbers[i][k]])});
        }
    }
    indexes = std::move(real);
}

std::optional<std::vector<std::uint8_t>>
IndexMaintainer::Impl::keyOf(const RealIndex& ix, const std::vector<Value>& row, bool& ok) const {
    ok = true;
    bool allNull = true;
    std::vector<std::uint8_t> key;
    for (std::size_t k = 0; k < ix.columns.size(); ++k) {
        const auto c = static_cast<std::size_t>(ix.columns[k]);
        const Value& v = c < row.size() ? row[c] : Value::null();
        if (!v.isNullOrEmpty()) allNull = false;
        if (!appendColumnKey(key, def.columns[c], v, ix.descending[k], ix.orders[k])) {
            ok = false;
            return std::nullopt;
        }
    }
    if (allNull && ix.ignoreNulls) return std::nullopt;
    return key;
}

void IndexMaintainer::Impl::badValue(const RealIndex& ix, const std::vector<Value>& row) const {
    for (std::size_t k = 0; k < ix.columns.size(); ++k) {
        const auto c = static_cast<std::size_t>(ix.columns[k]);
        const Value& v = c < row.size() ? row[c] : Value::null();
        std::vector<std::uint8_t> scratch;
        if (!appendColumnKey(scratch, def.columns[c], v, ix.descending[k], ix.orders[k]))
            msg::raise(msg::TypeMismatch, {def.columns[c].name, v.toText()});
    }
    msg::raise(msg::TypeMismatch, {ix.name, ""});
}

Node IndexMaintainer::Impl::parse(std::uint32_t number, const Page& page) const {
    ByteView v = state->view(page);
    const std::uint8_t type = v.u8(0);
    if ((type != kPageNode && type != kPageLeaf) || v.u32(4) != def.tdefPage)
        damaged("第 " + num(number) + " 页应为表“" + def.name + "”的索引页，实际页类型为 " +
                num(type));
    Node n;
    n.number = number;
    n.leaf = type == kPageLeaf;
    n.prev = v.u32(12);
    n.next = v.u32(16);
    n.tail = v.u32(20);
    const std::size_t prefix = v.u16(24);
    const std::size_t tailBytes = n.leaf ? 4 : 8;
    std::size_t begin = 0;
    const std::uint8_t* first = nullptr;
    std::size_t firstLen = 0;
    for (std::size_t byte = 0; byte < kEntriesStart - kMaskStart; ++byte) {
        const std::uint8_t bits = v.u8(kMaskStart + byte);
        if (!bits) continue;
        for (int b = 0; b < 8; ++b) {
            if (!(bits & (1u << b))) continue;
            const std::size_t end = byte * 8 + static_cast<std::size_t>(b);
            if (end <= begin) continue;
            ByteView written = v.sub(kEntriesStart + begin, end - begin);
            Item e;
            if (n.entries.empty()) {
                first = written.data();
                firstLen = written.size();
                e.key.assign(first, first + firstLen);
            } else {
                if (prefix > firstLen) damaged("第 " + num(number) + " 页的索引前缀长度无效");
                e.key.reserve(prefix + written.size());
                e.key.assign(first, first + prefix);
                e.key.insert(e.key.end(), written.data(), written.data() + written.size());
            }
            if (e.key.size() < tailBytes) damaged("第 " + num(number) + " 页中有一条索引项太短");
            const std::size_t keyLen = e.key.size() - tailBytes;
            e.row.page = bigEndian(e.key.data() + keyLen, 3);
            e.row.slot = e.key[keyLen + 3];
            if (!n.leaf) e.child = bigEndian(e.key.data() + keyLen + 4, 4);
            e.key.resize(keyLen);
            n.entries.push_back(std::move(e));
            begin = end;
        }
    }
    return n;
}

Node& IndexMaintainer::Impl::load(std::uint32_t number) {
    auto it = nodes.find(number);
    if (it != nodes.end()) return it->second;
    if (number == 0) damaged("索引引用了不存在的第 " + num(number) + " 页");
    Page p = store->read(number);
    auto cached = parsed.find(number);
    Node n;
    if (cached != parsed.end() && cached->second.first == p) {
        n = std::move(cached->second.second);
        parsed.erase(cached);
    } else {
        if (cached != parsed.end()) parsed.erase(cached);
        n = parse(number, p);
    }
    if (parsed.size() > 1024) parsed.clear();
    loadedFrom[number] = std::move(p);
    return nodes.emplace(number, std::move(n)).first->second;
}

std::size_t IndexMaintainer::Impl::entryBytes(const Node& n) const {
    const std::size_t tailBytes = n.leaf ? 4 : 8;
    if (!n.rawBytes) {
        std::size_t sum = 0;
        for (const Item& e : n.entries)
            sum += e.key.size() + tailBytes;
        n.rawBytes = sum;
    }
    std::size_t total = *n.rawBytes;
    if (n.entries.size() > 1 && total > kMaxEntryBytes)
        total -= prefixOf(n) * (n.entries.size() - 1);
    return total;
}

std::vector<std::uint8_t> IndexMaintainer::Impl::serialize(const Node& n) const {
    const std::uint32_t pageSize = state->layout.pageSize;
    std::vector<std::uint8_t> out(pageSize, 0);
    out[0] = n.leaf ? kPageLeaf : kPageNode;
    out[1] = 0x01;
    putLE32(out, 4, def.tdefPage);
    putLE32(out, 12, n.prev);
    putLE32(out, 16, n.next);
    putLE32(out, 20, n.leaf ? 0 : n.tail);
    std::size_t prefix = 0;
    const std::size_t tailBytes = n.leaf ? 4 : 8;
    std::size_t total = 0;
    for (const Item& e : n.entries)
        total += e.key.size() + tailBytes;
    if (n.entries.size() > 1 && total > kMaxEntryBytes) prefix = prefixOf(n);
    out[24] = static_cast<std::uint8_t>(prefix);
    out[25] = static_cast<std::uint8_t>(prefix >> 8);
    std::size_t at = 0;
    std::uint8_t* const entries = out.data() + kEntriesStart;
    for (std::size_t i = 0; i < n.entries.size(); ++i) {
        const Item& e = n.entries[i];
        const std::uint8_t tail[8] = {
            static_cast<std::uint8_t>(e.row.page >> 16), static_cast<std::uint8_t>(e.row.page >> 8),
            static_cast<std::uint8_t>(e.row.page),       static_cast<std::uint8_t>(e.row.slot),
            static_cast<std::uint8_t>(e.child >> 24),    static_cast<std::uint8_t>(e.child >> 16),
            static_cast<std::uint8_t>(e.child >> 8),     static_cast<std::uint8_t>(e.child)};
        // The shared prefix is left out, from the key and, when it reaches
        // that far, from the row pointer.
        const std::size_t skip = i == 0 ? 0 : prefix;
        const std::size_t keyLen = e.key.size();
        const std::size_t keySkip = std::min(skip, keyLen);
        const std::size_t tailSkip = skip - keySkip;
        const std::size_t len = keyLen - keySkip + tailBytes - tailSkip;
        if (at + len > kMaxEntryBytes)
            damaged("索引页第 " + num(n.number) + " 页的索引项超出了一页的容量");
        std::uint8_t* dst = entries + at;
        if (keyLen > keySkip) std::memcpy(dst, e.key.data() + keySkip, keyLen - keySkip);
        std::memcpy(dst + keyLen - keySkip, tail + tailSkip, tailBytes - tailSkip);
        at += len;
        out[kMaskStart + at / 8] |= static_cast<std::uint8_t>(1u << (at % 8));
    }
    const std::size_t freeSpace = pageSize - (kEntriesStart + at);
    out[2] = static_cast<std::uint8_t>(freeSpace);
    out[3] = static_cast<std::uint8_t>(freeSpace >> 8);
    return out;
}

void IndexMaintainer::Impl::flush() {
    for (std::uint32_t number : dirty) {
        auto it = nodes.find(number);
        if (it == nodes.end()) continue;
        if (!it->second.leaf) normalize(it->second);
        store->write(number, serialize(it->second));
        loadedFrom[number] = store->read(number);
    }
    dirty.clear();
    discard();
}

// A node with two or more children keeps the last one as its tail; a node
// with a single child keeps it as an entry.
void IndexMaintainer::Impl::normalize(Node& n) {
    if (n.leaf) return;
    if (n.tail == 0 && n.entries.size() >= 2) {
        n.tail = n.entries.back().child;
        n.entries.pop_back();
        touch(n.number);
    } else if (n.tail != 0 && n.entries.empty()) {
        std::optional<Item> last = lastEntryOf(n.tail);
        if (!last) damaged("索引页第 " + num(n.tail) + " 页是空的，却仍挂在索引树上");
        last->child = n.tail;
        n.entries.push_back(std::move(*last));
        n.tail = 0;
        touch(n.number);
    }
}

std::optional<Item> IndexMaintainer::Impl::lastEntryOf(std::uint32_t page, int depth) {
    if (depth > kMaxDepth) damaged("索引树的层数过多或形成了循环");
    const Node& n = load(page);
    if (!n.leaf && n.tail) return lastEntryOf(n.tail, depth + 1);
    if (n.entries.empty()) return std::nullopt;
    Item e = n.entries.back();
    e.child = 0;
    return e;
}

std::vector<Step> IndexMaintainer::Impl::findPath(const RealIndex& ix, const Item& target) {
    std::vector<Step> path;
    std::uint32_t page = ix.root;
    for (int depth = 0;; ++depth) {
        if (depth > kMaxDepth) damaged("索引树的层数过多或形成了循环");
        const Node& n = load(page);
        if (n.leaf) {
            path.push_back({page, 0});
            return path;
        }
        if (n.children() == 0) damaged("索引页第 " + num(page) + " 页没有下级页");
        const auto it =
            std::lower_bound(n.entries.begin(), n.entries.end(), target,
                             [](const Item& a, const Item& b) { return compareEntries(a, b) < 0; });
        std::size_t i = static_cast<std::size_t>(it - n.entries.begin());
        if (i == n.entries.size() && n.tail == 0) i = n.entries.size() - 1;
        path.push_back({page, i});
        page = i < n.entries.size() ? n.entries[i].child : n.tail;
    }
}

// The path to the leaf entry of `row`, searching every page (for an entry
// whose key could not be computed again).
bool IndexMaintainer::Impl::findRow(std::uint32_t page, RowId row, std::vector<Step>& path,
                                    int depth) {
    if (depth > kMaxDepth) damaged("索引树的层数过多或形成了循环");
    const Node n = load(page);
    if (n.leaf) {
        for (const Item& e : n.entries)
            if (e.row == row) {
                path.push_back({page, 0});
                return true;
            }
        return false;
    }
    for (std::size_t i = 0; i < n.children(); ++i) {
        path.push_back({page, i});
        if (findRow(i < n.entries.size() ? n.entries[i].child : n.tail, row, path, depth + 1))
            return true;
        path.pop_back();
    }
    return false;
}

// The page at path[level] has a new last entry: the entries above that
// stand for it follow.
void IndexMaintainer::Impl::propagateLast(std::vector<Step>& path, std::size_t level,
                                          const Item& last) {
    while (level > 0) {
        --level;
        Node& p = load(path[level].page);
        const std::size_t ci = path[level].child;
        if (ci < p.entries.size()) {
            p.entries[ci].key = last.key;
            p.entries[ci].row = last.row;
            touch(p.number);
            if (ci + 1 != p.entries.size() || p.tail != 0) return;
        }
        // The tail child (or the last entry of a page without one): the
        // page's own last entry changed too.
    }
}

std::uint32_t IndexMaintainer::Impl::newPage(const RealIndex& ix) {
    const std::uint32_t number = store->allocate();
    setMapBit(ix.usageMap, number, true);
    return number;
}

void IndexMaintainer::Impl::freePage(const RealIndex& ix, std::uint32_t number) {
    freed.insert(number);
    nodes.erase(number);
    loadedFrom.erase(number);
    dirty.erase(number);
    parsed.erase(number);
    setMapBit(ix.usageMap, number, false);
    store->release(number);
}

void IndexMaintainer::Impl::splitIfNeeded(const RealIndex& ix, std::vector<Step>& path,
                                          std::size_t level) {
    for (;;) {
        {
            Node& x = load(path[level].page);
            normalize(x);
            if (fits(x)) return;
            if (x.children() < 2) damaged("一条索引项超出了索引页的容量");
        }
        if (level == 0) {
            // A full root: everything moves one level down, under a root
            // that keeps its page number.
            const std::uint32_t below = newPage(ix);
            Node& root = load(path[0].page);
            Node moved;
            moved.number = below;
            moved.leaf = root.leaf;
            moved.tail = root.tail;
            moved.entries = std::move(root.entries);
            nodes[below] = std::move(moved);
            touch(below);
            std::optional<Item> last = lastEntryOf(below);
            Node& r = load(path[0].page);
            r.leaf = false;
            r.tail = 0;
            r.prev = r.next = 0;
            r.entries.clear();
            last->child = below;
            r.entries.push_back(std::move(*last));
            touch(r.number);
            path.insert(path.begin() + 1, Step{below, path[0].child});
            path[0].child = 0;
            level = 1;
        }
        const std::uint32_t fresh = newPage(ix);
        Node& x = load(path[level].page);
        const std::size_t move = std::min(x.entries.size(), (x.children() + 1) / 2);
        Node m;
        m.number = fresh;
        m.leaf = x.leaf;
        m.prev = x.prev;
        m.next = x.number;
        m.entries.assign(std::make_move_iterator(x.entries.begin()),
                         std::make_move_iterator(x.entries.begin() + static_cast<long>(move)));
        x.entries.erase(x.entries.begin(), x.entries.begin() + static_cast<long>(move));
        const std::uint32_t oldPrev = x.prev;
        x.prev = fresh;
        const bool leaf = x.leaf;
        const std::uint32_t firstKept = x.entries.empty() ? x.tail : x.entries.front().child;
        const std::uint32_t xNumber = x.number;
        touch(xNumber);
        std::size_t& childIndex = path[level].child;
        std::uint32_t& pathPage = path[level].page;
        if (childIndex < move) {
            pathPage = fresh;
        } else {
            childIndex -= move;
        }
        Item up = m.entries.back();
        up.child = fresh;
        const std::uint32_t lastMoved = m.entries.back().child;
        nodes[fresh] = std::move(m);
        touch(fresh);
        if (oldPrev) {
            load(oldPrev).next = fresh;
            touch(oldPrev);
        }
        if (!leaf) {
            // Node pages link only among children of one parent.
            Node& a = load(lastMoved);
            Node& b = load(firstKept);
            if (!a.leaf) {
                a.next = 0;
                b.prev = 0;
                touch(a.number);
                touch(b.number);
            }
        }
        Node& parent = load(path[level - 1].page);
        std::size_t& at = path[level - 1].child;
        parent.entries.insert(parent.entries.begin() + static_cast<long>(at), std::move(up));
        if (pathPage == xNumber) ++at;
        touch(parent.number);
        normalize(load(fresh));
        normalize(load(xNumber));
        if (!fits(load(fresh)) || !fits(load(xNumber))) {
            // Still too full (very long keys): split the page on the path again.
            continue;
        }
        --level;
    }
}

// Entries standing for a child's last entry may have grown on every level
// of the path (a longer key became some page's last): each page on it that
// no longer fits is split.
void IndexMaintainer::Impl::splitAlongPath(const RealIndex& ix, std::vector<Step>& path) {
    for (std::size_t level = path.size(); level-- > 0;) {
        if (level >= path.size() || freed.count(path[level].page)) continue;
        splitIfNeeded(ix, path, level);
    }
}

void IndexMaintainer::Impl::removePage(const RealIndex& ix, std::vector<Step>& path,
                                       std::size_t level) {
    for (;;) {
        Node& x = load(path[level].page);
        const std::uint32_t number = x.number, prev = x.prev, next = x.next;
        if (prev) {
            load(prev).next = next;
            touch(prev);
        }
        if (next) {
            load(next).prev = prev;
            touch(next);
        }
        freePage(ix, number);
        --level;
        Node& p = load(path[level].page);
        const std::size_t ci = path[level].child;
        const bool wasLast = ci + 1 == p.children();
        if (ci < p.entries.size())
            p.entries.erase(p.entries.begin() + static_cast<long>(ci));
        else
            p.tail = 0;
        touch(p.number);
        if (p.children() == 0) {
            if (level == 0) {
                // The root stays, as an empty leaf.
                p.leaf = true;
                p.prev = p.next = p.tail = 0;
                return;
            }
            continue;
        }
        normalize(p);
        if (wasLast) {
            std::optional<Item> last = lastEntryOf(p.number);
            if (last) propagateLast(path, level, *last);
        }
        return;
    }
}

bool IndexMaintainer::Impl::hasEqualKey(const RealIndex& ix, const std::vector<std::uint8_t>& key,
                                        std::optional<RowId> except) {
    Item target;
    target.key = key;
    target.row = RowId{0, 0};
    std::vector<Step> path = findPath(ix, target);
    std::uint32_t page = path.back().page;
    std::set<std::uint32_t> seen;
    for (;;) {
        const Node& n = load(page);
        auto it = std::lower_bound(n.entries.begin(), n.entries.end(), target,
                                   [](const Item& a, const Item& b) {
                                       return compareEntries(a.key, RowId{}, b.key, RowId{}) < 0;
                                   });
        for (; it != n.entries.end(); ++it) {
            if (it->key != key) return false;
            if (!except || !(it->row == *except)) return true;
        }
        if (n.next == 0 || !seen.insert(n.next).second) return false;
        page = n.next;
    }
}

void IndexMaintainer::Impl::setMapBit(std::uint32_t rowPointer, std::uint32_t page, bool on) {
    const std::uint32_t mapPage = rowPointer >> 8;
    const int slot = static_cast<int>(rowPointer & 0xFF);
    Page p = store->read(mapPage);
    ByteView pv = state->view(p);
    if (pv.u8(0) != kPageData)
        damaged("索引的页面使用表所在的第 " + num(mapPage) + " 页不是数据页");
    std::size_t start = 0, end = 0;
    bool deleted = false, overflow = false;
    if (!state->rowBounds(pv, slot, start, end, deleted, overflow) || overflow || end - start < 5)
        damaged("索引的页面使用表（第 " + num(mapPage) + " 页）无效");
    std::vector<std::uint8_t> bytes = *p;
    const std::size_t rowLen = end - start;
    if (bytes[start] == 0x00) {
        const std::uint32_t first = getLE32(bytes, start + 1);
        const std::uint64_t range = (rowLen - 5) * 8;
        if (page >= first && page < first + range) {
            const std::uint32_t bit = page - first;
            std::uint8_t& b = bytes[start + 5 + bit / 8];
            b = on ? static_cast<std::uint8_t>(b | (1u << (bit % 8)))
                   : static_cast<std::uint8_t>(b & ~(1u << (bit % 8)));
            store->write(mapPage, std::move(bytes));
            return;
        }
        if (!on) return; // never listed
        // Out of the window: move it when every page still fits, else turn
        // the map into one that points to bitmap pages.
        std::vector<std::uint32_t> pages{page};
        for (std::uint32_t i = 0; i < range; ++i)
            if (bytes[start + 5 + i / 8] & (1u << (i % 8))) pages.push_back(first + i);
        const auto [lo, hi] = std::minmax_element(pages.begin(), pages.end());
        const std::uint32_t newFirst = *lo / 8 * 8;
        std::fill(bytes.begin() + static_cast<long>(start + 1),
                  bytes.begin() + static_cast<long>(end), 0);
        if (*hi - newFirst < range) {
            putLE32(bytes, start + 1, newFirst);
            for (std::uint32_t q : pages)
                bytes[start + 5 + (q - newFirst) / 8] |=
                    static_cast<std::uint8_t>(1u << ((q - newFirst) % 8));
            store->write(mapPage, std::move(bytes));
            return;
        }
        bytes[start] = 0x01;
        store->write(mapPage, std::move(bytes));
        for (std::uint32_t q : pages)
            setMapBit(rowPointer, q, true);
        return;
    }
    if (bytes[start] != 0x01) damaged("索引的页面使用表（第 " + num(mapPage) + " 页）类型未知");
    const std::uint32_t perPage = (state->layout.pageSize - 4) * 8;
    const std::size_t k = page / perPage;
    if (1 + 4 * k + 4 > rowLen) damaged("索引的页面使用表容纳不下第 " + num(page) + " 页");
    std::uint32_t bitmapPage = getLE32(bytes, start + 1 + 4 * k);
    if (bitmapPage == 0) {
        if (!on) return;
        bitmapPage = store->allocate();
        std::vector<std::uint8_t> fresh(state->layout.pageSize, 0);
        fresh[0] = kPageMap;
        fresh[1] = 0x01;
        store->write(bitmapPage, std::move(fresh));
        putLE32(bytes, start + 1 + 4 * k, bitmapPage);
        store->write(mapPage, std::move(bytes));
    }
    std::vector<std::uint8_t> bits = *store->read(bitmapPage);
    if (bits.empty() || bits[0] != kPageMap)
        damaged("第 " + num(bitmapPage) + " 页应为页面使用表，实际不是");
    const std::uint32_t bit = page % perPage;
    std::uint8_t& b = bits[4 + bit / 8];
    b = on ? static_cast<std::uint8_t>(b | (1u << (bit % 8)))
           : static_cast<std::uint8_t>(b & ~(1u << (bit % 8)));
    store->write(bitmapPage, std::move(bits));
}

void IndexMaintainer::Impl::bumpUniqueCount(const RealIndex& ix) {
    ++pendingCounts[ix.number];
    if (!deferred) writeCounts();
}

void IndexMaintainer::Impl::writeCounts() {
    if (pendingCounts.empty()) return;
    std::vector<std::uint8_t> tdef = *store->read(def.tdefPage);
    for (const auto& [number, added] : pendingCounts) {
        const std::size_t at = state->layout.colsStartOffset +
                               static_cast<std::size_t>(number) * state->layout.realIdxEntrySize +
                               4;
        if (at + 4 <= tdef.size()) putLE32(tdef, at, getLE32(tdef, at) + added);
    }
    pendingCounts.clear();
    store->write(def.tdefPage, std::move(tdef));
}

IndexMaintainer::IndexMaintainer(std::shared_ptr<PageStore> store, TableDef def)
    : impl_(std::make_unique<Impl>()) {
    impl_->store = std::move(store);
    impl_->def = std::move(def);
    impl_->state = impl_->store->file().state_;
    impl_->readDefinition();
}

IndexMaintainer::~IndexMaintainer() {
    Impl& d = *impl_;
    if (!d.listed) return;
    // Kept pages still belong to the open transaction.
    try {
        d.flushDeferred();
    } catch (...) {
        d.failed();
        d.unlist();
    }
}

std::string IndexMaintainer::unsupportedReason() const {
    return impl_->reason;
}

void IndexMaintainer::deferWrites(bool on) {
    if (!on) flushPages();
    impl_->deferred = on;
}

void IndexMaintainer::flushPages() {
    impl_->flushDeferred();
}

std::size_t IndexMaintainer::indexCount() const {
    return impl_->indexes.size();
}

std::string IndexMaintainer::indexName(std::size_t index) const {
    return impl_->indexes.at(index).name;
}

std::optional<std::vector<std::uint8_t>> IndexMaintainer::key(std::size_t index,
                                                              const std::vector<Value>& row) const {
    bool ok = true;
    auto k = impl_->keyOf(impl_->indexes.at(index), row, ok);
    if (!ok) impl_->badValue(impl_->indexes.at(index), row);
    return k;
}

std::vector<IndexMaintainer::Entry> IndexMaintainer::entries(std::size_t index) const {
    // Parsed afresh from the pages as written, not from what is kept parsed.
    Impl& d = *impl_;
    d.state->flushDeferred();
    const RealIndex& ix = d.indexes.at(index);
    std::vector<Entry> out;
    std::uint32_t page = ix.root;
    Node n = d.parse(page, d.store->read(page));
    for (int depth = 0; !n.leaf; ++depth) {
        if (depth > kMaxDepth) d.damaged("索引树的层数过多或形成了循环");
        page = n.entries.empty() ? n.tail : n.entries.front().child;
        n = d.parse(page, d.store->read(page));
    }
    std::set<std::uint32_t> seen{page};
    for (;;) {
        for (auto& e : n.entries)
            out.push_back({std::move(e.key), e.row});
        if (n.next == 0) break;
        if (!seen.insert(n.next).second) d.damaged("索引页的链接形成了循环");
        page = n.next;
        n = d.parse(page, d.store->read(page));
    }
    return out;
}

void IndexMaintainer::checkUnique(const std::vector<Value>& row,
                                  std::optional<RowId> replacing) const {
    Impl& d = *impl_;
    d.preparedFor = nullptr;
    d.beginChange();
    // Every key is computed here, before the row is written: a value no
    // index can hold is refused while nothing has changed yet.
    d.preparedKeys.resize(d.indexes.size());
    for (std::size_t i = 0; i < d.indexes.size(); ++i) {
        const RealIndex& ix = d.indexes[i];
        if (ix.required)
            for (int c : ix.columns) {
                const ColumnDef& col = d.def.columns[static_cast<std::size_t>(c)];
                if (col.jetType != coltype::Boolean &&
                    (static_cast<std::size_t>(c) >= row.size() ||
                     row[static_cast<std::size_t>(c)].isNullOrEmpty()))
                    msg::raise(msg::Required, {col.name});
            }
        bool ok = true;
        auto& key = d.preparedKeys[i];
        key = d.keyOf(ix, row, ok);
        if (!ok) d.badValue(ix, row);
        if (!ix.unique || !key) continue;
        bool allNull = true;
        for (int c : ix.columns)
            if (static_cast<std::size_t>(c) < row.size() &&
                !row[static_cast<std::size_t>(c)].isNullOrEmpty())
                allNull = false;
        if (allNull) continue; // any number of all-null keys
        bool duplicate = false;
        try {
            duplicate = d.hasEqualKey(ix, *key, replacing);
        } catch (...) {
            if (!d.deferred) d.discard();
            throw;
        }
        d.endChange();
        if (duplicate)
            throw EngineError(msg::Duplicate.number, msg::format(msg::DuplicateInIndex, {ix.name}));
    }
    d.preparedFor = &row;
}

void IndexMaintainer::add(const std::vector<Value>& row, RowId id) {
    Impl& d = *impl_;
    d.beginChange();
    const bool prepared = d.preparedFor == &row && d.preparedKeys.size() == d.indexes.size();
    d.preparedFor = nullptr;
    for (std::size_t i = 0; i < d.indexes.size(); ++i) {
        const RealIndex& ix = d.indexes[i];
        bool ok = true;
        auto key = prepared ? std::move(d.preparedKeys[i]) : d.keyOf(ix, row, ok);
        if (!ok) {
            d.lastRemoved.erase(i);
            if (i > 0 || d.deferred) d.failed(); // the row's other entries are in
            d.badValue(ix, row);
        }
        if (!key) {
            d.lastRemoved.erase(i);
            continue;
        }
        Item e;
        e.key = std::move(*key);
        e.row = id;
        try {
            std::vector<Step> path = d.findPath(ix, e);
            Node& leaf = d.load(path.back().page);
            const auto it = std::lower_bound(
                leaf.entries.begin(), leaf.entries.end(), e,
                [](const Item& a, const Item& b) { return compareEntries(a, b) < 0; });
            if (it != leaf.entries.end() && compareEntries(*it, e) == 0) { // already there
                d.endChange();
                continue;
            }
            const auto pos = static_cast<std::size_t>(it - leaf.entries.begin());
            const std::optional<std::size_t> prefixBefore = leaf.prefix;
            const std::optional<std::size_t> bytesBefore = leaf.rawBytes;
            leaf.entries.insert(it, e);
            d.touch(leaf.number);
            if (bytesBefore) leaf.rawBytes = *bytesBefore + e.key.size() + 4;
            // An entry after the first can only shorten the shared prefix.
            if (prefixBefore && pos > 0 && leaf.entries.size() > 2)
                leaf.prefix =
                    sharedWithFirst(leaf.entries.front(), leaf.entries[pos], 4, *prefixBefore);
            // A key no neighbour has counts as one more unique key.
            bool fresh = true;
            if (pos > 0 && leaf.entries[pos - 1].key == e.key) fresh = false;
            if (pos + 1 < leaf.entries.size() && leaf.entries[pos + 1].key == e.key) fresh = false;
            if (fresh && pos == 0 && leaf.prev) {
                const Node& p = d.load(leaf.prev);
                if (!p.entries.empty() && p.entries.back().key == e.key) fresh = false;
            }
            Node& leafAgain = d.load(path.back().page);
            if (fresh && pos + 1 == leafAgain.entries.size() && leafAgain.next) {
                const std::uint32_t next = leafAgain.next;
                const Node& nx = d.load(next);
                if (!nx.entries.empty() && nx.entries.front().key == e.key) fresh = false;
            }
            auto removed = d.lastRemoved.find(i);
            if (removed != d.lastRemoved.end() && removed->second.first == e.key &&
                removed->second.second == id)
                fresh = false;
            if (pos + 1 == d.load(path.back().page).entries.size())
                d.propagateLast(path, path.size() - 1, e);
            d.splitAlongPath(ix, path);
            d.endChange();
            if (fresh) d.bumpUniqueCount(ix);
        } catch (...) {
            d.failed();
            throw;
        }
        d.lastRemoved.erase(i);
    }
}

void IndexMaintainer::remove(const std::vector<Value>& row, RowId id) {
    Impl& d = *impl_;
    d.beginChange();
    for (std::size_t i = 0; i < d.indexes.size(); ++i) {
        const RealIndex& ix = d.indexes[i];
        d.lastRemoved.erase(i);
        bool ok = true;
        auto key = d.keyOf(ix, row, ok);
        if (ok && !key) continue; // the row has no entry here
        try {
            std::vector<Step> path;
            std::size_t pos = 0;
            bool found = false;
            if (ok) {
                Item e;
                e.key = *key;
                e.row = id;
                path = d.findPath(ix, e);
                const Node& leaf = d.load(path.back().page);
                const auto it = std::lower_bound(
                    leaf.entries.begin(), leaf.entries.end(), e,
                    [](const Item& a, const Item& b) { return compareEntries(a, b) < 0; });
                if (it != leaf.entries.end() && compareEntries(*it, e) == 0) {
                    found = true;
                    pos = static_cast<std::size_t>(it - leaf.entries.begin());
                }
            }
            if (!found) {
                // The stored key differs from the one computed now (a value
                // read back less exactly than stored): find the row's entry.
                path.clear();
                if (!d.findRow(ix.root, id, path, 0)) {
                    d.endChange();
                    continue;
                }
                const Node& leaf = d.load(path.back().page);
                for (pos = 0; pos < leaf.entries.size() && !(leaf.entries[pos].row == id); ++pos) {
                }
            }
            Node& leaf = d.load(path.back().page);
            d.lastRemoved[i] = {leaf.entries[pos].key, id};
            const bool wasLast = pos + 1 == leaf.entries.size();
            leaf.entries.erase(leaf.entries.begin() + static_cast<long>(pos));
            d.touch(leaf.number);
            if (leaf.entries.empty() && path.size() > 1) {
                d.removePage(ix, path, path.size() - 1);
            } else if (wasLast && !leaf.entries.empty()) {
                const Item last = leaf.entries.back();
                d.propagateLast(path, path.size() - 1, last);
            }
            d.splitAlongPath(ix, path);
            d.endChange();
        } catch (...) {
            d.failed();
            throw;
        }
    }
}

} // namespace engine::jet
