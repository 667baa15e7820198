// Opening a Jet file: the header page, page access and decoding, the
// catalogue, table definitions and usage maps.

#include "engine/jet/JetFile.h"
#include "engine/base/AdoType.h"
#include "engine/base/Messages.h"
#include "engine/jet/JetInternal.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace engine::jet {

namespace {

constexpr std::uint8_t kMagic[4] = {0x00, 0x01, 0x00, 0x00};
constexpr char kJetName[] = "Standard Jet DB";
constexpr char kAceName[] = "Standard ACE DB";
// The header region after offset 0x18 is RC4-encoded with this fixed key.
constexpr std::uint8_t kHeaderKey[4] = {0xC7, 0xDA, 0x39, 0x6B};
constexpr std::size_t kHeaderRegion = 0x18;

constexpr std::uint8_t kPageData = 0x01;
constexpr std::uint8_t kPageTableDef = 0x02;
constexpr std::uint8_t kPageUsageMap = 0x05;

// Limits well above anything Jet writes; a definition claiming more is damaged.
constexpr std::uint32_t kMaxColumns = 4096;
constexpr std::uint32_t kMaxIndexes = 4096;
constexpr std::size_t kMaxTdefPages = 4096;
constexpr int kCalculatedExtra = 23;

bool headerLooksRight(const std::uint8_t* h, std::size_t n) {
    if (n < 0x20 || std::memcmp(h, kMagic, 4) != 0) return false;
    return std::memcmp(h + 4, kJetName, 15) == 0 || std::memcmp(h + 4, kAceName, 15) == 0;
}

std::string u32text(std::uint64_t v) {
    return std::to_string(v);
}

// Fixed storage size of a column type; 0 for types held in the variable part.
int fixedSizeOf(int type, int declared) {
    switch (type) {
    case coltype::Boolean:
        return 0;
    case coltype::Byte:
        return 1;
    case coltype::Integer:
        return 2;
    case coltype::Long:
        return 4;
    case coltype::Currency:
        return 8;
    case coltype::Single:
        return 4;
    case coltype::Double:
        return 8;
    case coltype::DateTime:
        return 8;
    case coltype::Guid:
        return 16;
    case coltype::Numeric:
        return 17;
    case coltype::BigInt:
        return 8;
    case coltype::ExtDateTime:
        return 42;
    case coltype::Complex:
        return 4;
    default:
        return declared;
    }
}

int adoTypeOf(int type, bool fixed) {
    switch (type) {
    case coltype::Boolean:
        return adtype::Boolean;
    case coltype::Byte:
        return adtype::UnsignedTinyInt;
    case coltype::Integer:
        return adtype::SmallInt;
    case coltype::Long:
        return adtype::Integer;
    case coltype::Currency:
        return adtype::Currency;
    case coltype::Single:
        return adtype::Single;
    case coltype::Double:
        return adtype::Double;
    case coltype::DateTime:
    case coltype::ExtDateTime:
        return adtype::Date;
    case coltype::Binary:
        return adtype::VarBinary;
    case coltype::Text:
        return fixed ? adtype::WChar : adtype::VarWChar;
    case coltype::Ole:
        return adtype::LongVarBinary;
    case coltype::Memo:
        return adtype::LongVarWChar;
    case coltype::Guid:
        return adtype::GUID;
    case coltype::Numeric:
        return adtype::Numeric;
    case coltype::BigInt:
        return adtype::BigInt;
    case coltype::Complex: // its values, as text
        return adtype::LongVarWChar;
    default:
        return adtype::Variant;
    }
}

} // namespace

[[noreturn]] void corrupt(const std::string& path, const std::string& what) {
    engine::msg::raise(engine::msg::Corrupt, {"“" + path + "”：" + what});
}

void ByteView::outOfRange(std::size_t offset, std::size_t count, const char* what) const {
    corrupt(path_ ? *path_ : std::string(),
            std::string(what) + "超出了所在记录或页面的范围（偏移 " + u32text(offset) + "，长度 " +
                u32text(count) + "，可用 " + u32text(size_) + "）");
}

double ByteView::f64(std::size_t off) const {
    std::uint64_t bits = u64(off);
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
}

float ByteView::f32(std::size_t off) const {
    std::uint32_t bits = u32(off);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

Layout Layout::forJet3() {
    Layout l;
    l.jet4 = false;
    l.pageSize = 2048;
    l.rowCountOffset = 0x08;
    l.numRowsOffset = 12;
    l.tableTypeOffset = 20;
    l.maxColsOffset = 21;
    l.numVarColsOffset = 23;
    l.numColsOffset = 25;
    l.numIdxOffset = 27;
    l.numRealIdxOffset = 31;
    l.usageMapOffset = 35;
    l.colsStartOffset = 43;
    l.realIdxEntrySize = 8;
    l.colEntrySize = 18;
    l.colNumOffset = 1;
    l.colVarOffset = 3;
    l.colFlagsOffset = 13;
    l.colExtFlagsOffset = 0; // none
    l.colFixedOffset = 14;
    l.colSizeOffset = 16;
    l.colPrecOffset = 11;
    l.colScaleOffset = 12;
    l.realIdxDefSize = 39;
    l.logicalIdxSize = 20;
    return l;
}

Layout Layout::forJet4(std::uint32_t pageSize) {
    Layout l;
    l.pageSize = pageSize;
    return l;
}

JetState::~JetState() {
    if (fd >= 0) ::close(fd);
}

Page PageCache::find(std::uint32_t number) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = pages_.find(number);
    if (it == pages_.end()) return nullptr;
    order_.splice(order_.begin(), order_, it->second.where);
    return it->second.page;
}

void PageCache::put(std::uint32_t number, Page page) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (pages_.count(number)) return;
    const std::size_t size = page->size();
    while (!order_.empty() && bytes_ + size > limit_) {
        auto victim = pages_.find(order_.back());
        bytes_ -= victim->second.page->size();
        pages_.erase(victim);
        order_.pop_back();
    }
    order_.push_front(number);
    pages_.emplace(number, Entry{std::move(page), order_.begin()});
    bytes_ += size;
}

void PageCache::replace(std::uint32_t number, Page page) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = pages_.find(number);
        if (it != pages_.end()) {
            bytes_ -= it->second.page->size();
            order_.erase(it->second.where);
            pages_.erase(it);
        }
    }
    put(number, std::move(page));
}

void PageCache::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    pages_.clear();
    order_.clear();
    bytes_ = 0;
}

Page JetState::page(std::uint32_t number) {
    if (!pending.empty()) {
        auto it = pending.find(number);
        if (it != pending.end()) return it->second;
    }
    if (Page hit = cache.find(number)) return hit;
    if (number >= header.pageCount)
        corrupt(path, "引用的第 " + u32text(number) + " 页超出了文件末尾（文件共 " +
                          u32text(header.pageCount) + " 页）");
    auto buf = std::make_shared<std::vector<std::uint8_t>>(layout.pageSize);
    std::size_t got = 0;
    const off_t base = static_cast<off_t>(number) * layout.pageSize;
    while (got < buf->size()) {
        ssize_t n = ::pread(fd, buf->data() + got, buf->size() - got, base + got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) corrupt(path, "无法读取第 " + u32text(number) + " 页");
        got += static_cast<std::size_t>(n);
    }
    if (number == 0) {
        rc4(kHeaderKey, 4, buf->data() + kHeaderRegion, layout.jet4 ? 128 : 126);
    } else if (office) {
        office->decryptPage(number, buf->data(), buf->size());
    } else if (dbKey != 0) {
        // Encoded databases scramble every page but the header with a key
        // made of the database key and the page number.
        std::uint32_t k = dbKey ^ number;
        std::uint8_t key[4] = {static_cast<std::uint8_t>(k), static_cast<std::uint8_t>(k >> 8),
                               static_cast<std::uint8_t>(k >> 16),
                               static_cast<std::uint8_t>(k >> 24)};
        rc4(key, 4, buf->data(), buf->size());
    }
    Page p = std::move(buf);
    cache.put(number, p);
    return p;
}

std::string JetState::text(const std::uint8_t* data, std::size_t size) const {
    std::string s = layout.jet4 ? jet4Text(data, size) : codePageText(data, size, header.codePage);
    // Some writers end a value with a terminating zero; it is not part of the text.
    while (!s.empty() && s.back() == '\0')
        s.pop_back();
    return s;
}

std::vector<std::uint8_t> JetState::tdefBytes(std::uint32_t firstPage) {
    std::vector<std::uint8_t> out;
    std::set<std::uint32_t> seen;
    std::uint32_t next = firstPage;
    bool first = true;
    while (next != 0) {
        if (!seen.insert(next).second || seen.size() > kMaxTdefPages)
            corrupt(path, "表定义的续页形成了循环（第 " + u32text(next) + " 页）");
        Page p = page(next);
        ByteView v = view(p);
        if (v.u8(0) != kPageTableDef)
            corrupt(path,
                    "第 " + u32text(next) + " 页应为表定义页，实际页类型为 " + u32text(v.u8(0)));
        out.insert(out.end(), p->begin() + (first ? 0 : 8), p->end());
        next = v.u32(4);
        first = false;
    }
    return out;
}

TableDef JetState::readTableDef(std::uint32_t tdefPage, const std::string& name) {
    const Layout& L = layout;
    std::vector<std::uint8_t> bytes = tdefBytes(tdefPage);
    ByteView v(bytes.data(), bytes.size(), &path);

    TableDef def;
    def.name = name;
    def.tdefPage = tdefPage;
    def.rowCount = v.u32(L.numRowsOffset);
    def.system = v.u8(L.tableTypeOffset) == 0x53;
    const std::uint32_t numCols = v.u16(L.numColsOffset);
    const std::uint32_t numIdx = v.u32(L.numIdxOffset);
    const std::uint32_t numRealIdx = v.u32(L.numRealIdxOffset);
    if (numCols == 0 || numCols > kMaxColumns || numIdx > kMaxIndexes || numRealIdx > kMaxIndexes)
        corrupt(path, "表“" + name + "”的定义中字段数或索引数不合理（字段 " + u32text(numCols) +
                          "，索引 " + u32text(numIdx) + "）");

    std::size_t pos = L.colsStartOffset + numRealIdx * L.realIdxEntrySize;
    std::vector<ColumnDef> cols(numCols);
    for (std::uint32_t i = 0; i < numCols; ++i) {
        ByteView e = v.sub(pos + i * L.colEntrySize, L.colEntrySize);
        ColumnDef& c = cols[i];
        c.jetType = e.u8(0);
        c.columnNumber = e.u16(L.colNumOffset);
        c.varIndex = e.u16(L.colVarOffset);
        const std::uint8_t flags = e.u8(L.colFlagsOffset);
        c.fixedLength = (flags & 0x01) != 0;
        // The "may be null" bit is set on nearly every column; the designer's
        // Required setting lives in the table's properties (applied later).
        c.required = (flags & 0x02) == 0;
        c.autoNumber = (flags & 0x04) != 0 || (flags & 0x40) != 0;
        c.fixedOffset = e.u16(L.colFixedOffset);
        int len = e.u16(L.colSizeOffset);
        // A calculated column (ACE) keeps its result with the row, in a
        // wrapper that makes the declared size 23 bytes larger.
        if (L.jet4 && (e.u8(L.colExtFlagsOffset) & 0xC0) == 0xC0) {
            c.calculated = true;
            len = std::max(0, len - kCalculatedExtra);
        }
        if (c.jetType == coltype::Complex && L.jet4) c.complexId = e.i32(L.colPrecOffset);
        if (c.jetType == coltype::Numeric) {
            c.precision = e.u8(L.colPrecOffset);
            c.scale = e.u8(L.colScaleOffset);
        }
        const bool textual = c.jetType == coltype::Text || c.jetType == coltype::Memo;
        c.size = (textual && L.jet4) ? len / 2 : len;
        if (c.jetType == coltype::Memo || c.jetType == coltype::Ole) c.size = 0;
        if (c.jetType != coltype::Text && c.jetType != coltype::Binary &&
            c.jetType != coltype::Memo && c.jetType != coltype::Ole)
            c.size = fixedSizeOf(c.jetType, len);
        if (c.jetType == coltype::Boolean) c.size = 2; // as the engine reports a Yes/No column
        // A complex column reads as memo text, an extended date as a date.
        if (c.jetType == coltype::Complex) c.size = 0;
        if (c.jetType == coltype::ExtDateTime) c.size = 8;
        c.adoType = adoTypeOf(c.jetType, c.fixedLength);
    }
    pos += numCols * L.colEntrySize;

    auto readName = [&]() {
        std::size_t len;
        if (L.jet4) {
            len = v.u16(pos);
            pos += 2;
        } else {
            len = v.u8(pos);
            pos += 1;
        }
        v.need(pos, len, "名称");
        std::string s = text(bytes.data() + pos, len);
        pos += len;
        return s;
    };
    for (auto& c : cols)
        c.name = readName();

    std::stable_sort(cols.begin(), cols.end(), [](const ColumnDef& a, const ColumnDef& b) {
        return a.columnNumber < b.columnNumber;
    });
    for (std::size_t i = 0; i < cols.size(); ++i) {
        cols[i].ordinal = static_cast<int>(i);
        if (i > 0 && cols[i].columnNumber == cols[i - 1].columnNumber)
            corrupt(path,
                    "表“" + name + "”中有两个字段使用同一编号 " + u32text(cols[i].columnNumber));
    }

    // Physical indexes: which columns, in which order, and their flags.
    struct RealIndex {
        std::vector<int> columns;
        std::vector<bool> descending;
        std::uint8_t flags = 0;
        std::uint32_t root = 0;
    };
    std::vector<RealIndex> real(numRealIdx);
    for (std::uint32_t i = 0; i < numRealIdx; ++i) {
        ByteView e = v.sub(pos, L.realIdxDefSize);
        std::size_t p = L.jet4 ? 4 : 0;
        for (int k = 0; k < 10; ++k, p += 3) {
            std::uint16_t colNum = e.u16(p);
            if (colNum == 0xFFFF) continue;
            real[i].columns.push_back(colNum);
            real[i].descending.push_back(e.u8(p + 2) != 0x01);
        }
        real[i].root = e.u32(p + 4);
        real[i].flags = e.u8(p + 8);
        pos += L.realIdxDefSize;
    }

    struct LogicalIndex {
        std::uint32_t real = 0;
        std::uint8_t type = 0;
    };
    std::vector<LogicalIndex> logical(numIdx);
    for (std::uint32_t i = 0; i < numIdx; ++i) {
        ByteView e = v.sub(pos, L.logicalIdxSize);
        std::size_t p = L.jet4 ? 4 : 0;
        logical[i].real = e.u32(p + 4);
        logical[i].type = e.u8(p + 19);
        pos += L.logicalIdxSize;
    }
    for (std::uint32_t i = 0; i < numIdx; ++i) {
        IndexDef idx;
        idx.name = readName();
        const LogicalIndex& li = logical[i];
        if (li.real >= real.size())
            corrupt(path, "表“" + name + "”的索引“" + idx.name + "”引用了不存在的索引数据");
        const RealIndex& ri = real[li.real];
        for (std::size_t k = 0; k < ri.columns.size(); ++k) {
            auto it = std::find_if(cols.begin(), cols.end(), [&](const ColumnDef& c) {
                return c.columnNumber == ri.columns[k];
            });
            if (it == cols.end())
                corrupt(path, "表“" + name + "”的索引“" + idx.name + "”引用了不存在的字段");
            idx.columns.push_back(it->name);
            idx.descending.push_back(ri.descending[k]);
        }
        idx.rootPage = ri.root;
        idx.primary = li.type == 0x01;
        idx.foreign = li.type == 0x02;
        idx.unique = idx.primary || (ri.flags & 0x01) != 0;
        idx.ignoreNulls = (ri.flags & 0x02) != 0;
        idx.required = idx.primary || (ri.flags & 0x08) != 0;
        def.indexes.push_back(std::move(idx));
    }
    def.columns = std::move(cols);

    def.usageMap = v.u32(L.usageMapOffset);
    return def;
}

std::vector<std::uint32_t> JetState::usageMapPages(std::uint32_t rowPointer) {
    Page p;
    std::size_t start = 0, end = 0;
    const std::uint32_t mapPage = rowPointer >> 8;
    const int slot = static_cast<int>(rowPointer & 0xFF);
    Page holder = page(mapPage);
    ByteView pv = view(holder);
    if (pv.u8(0) != kPageData)
        corrupt(path, "页面使用表所在的第 " + u32text(mapPage) + " 页不是数据页");
    bool deleted = false, overflow = false;
    if (!rowBounds(pv, slot, start, end, deleted, overflow) || overflow)
        corrupt(path, "页面使用表（第 " + u32text(mapPage) + " 页）已被删除或无效");
    ByteView map = pv.sub(start, end - start);

    std::vector<std::uint32_t> pages;
    const std::uint32_t count = header.pageCount;
    auto addBits = [&](const std::uint8_t* bits, std::size_t n, std::uint64_t firstPage) {
        for (std::size_t i = 0; i < n; ++i) {
            if (bits[i] == 0) continue;
            for (int b = 0; b < 8; ++b) {
                if (!(bits[i] & (1u << b))) continue;
                std::uint64_t pg = firstPage + i * 8 + b;
                if (pg >= count)
                    corrupt(path, "页面使用表标记了文件末尾之外的第 " + u32text(pg) + " 页");
                pages.push_back(static_cast<std::uint32_t>(pg));
            }
        }
    };
    const std::uint8_t kind = map.u8(0);
    if (kind == 0x00) {
        // Inline: a first page number, then one bit per page from there on.
        const std::uint32_t first = map.u32(1);
        addBits(map.data() + 5, map.size() - 5, first);
    } else if (kind == 0x01) {
        // By reference: a list of bitmap pages, each covering a fixed run of pages.
        const std::uint64_t perPage = static_cast<std::uint64_t>(layout.pageSize - 4) * 8;
        const std::size_t n = (map.size() - 1) / 4;
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint32_t bitmapPage = map.u32(1 + 4 * i);
            if (bitmapPage == 0) continue;
            Page bp = page(bitmapPage);
            ByteView bv = view(bp);
            if (bv.u8(0) != kPageUsageMap)
                corrupt(path, "第 " + u32text(bitmapPage) + " 页应为页面使用表页");
            addBits(bp->data() + 4, bp->size() - 4, i * perPage);
        }
    } else {
        corrupt(path, "未知的页面使用表类型 " + u32text(kind));
    }
    return pages;
}

bool JetState::rowBounds(const ByteView& pv, int slot, std::size_t& start, std::size_t& end,
                         bool& deleted, bool& overflow, bool followed) const {
    const std::uint16_t rows = pv.u16(layout.rowCountOffset);
    if (slot < 0 || slot >= rows)
        corrupt(path, "记录指针指向了不存在的第 " + u32text(slot) + " 条记录");
    const std::size_t table = layout.rowCountOffset + 2;
    const std::uint16_t raw = pv.u16(table + 2 * slot);
    deleted = (raw & 0x8000) != 0;
    overflow = (raw & 0x4000) != 0;
    if (deleted && !followed) return false;
    start = raw & 0x1FFF;
    end = slot == 0 ? layout.pageSize : (pv.u16(table + 2 * (slot - 1)) & 0x1FFF);
    const std::size_t headerEnd = table + 2 * static_cast<std::size_t>(rows);
    if (start < headerEnd || start > end || end > layout.pageSize)
        corrupt(path, "第 " + u32text(slot) + " 条记录的位置无效（" + u32text(start) + "–" +
                          u32text(end) + "）");
    return true;
}

bool JetState::locateRow(std::uint32_t pageNo, int slot, Page& p, std::size_t& start,
                         std::size_t& end) {
    for (int hop = 0; hop < 16; ++hop) {
        p = page(pageNo);
        ByteView pv = view(p);
        if (pv.u8(0) != kPageData)
            corrupt(path,
                    "第 " + u32text(pageNo) + " 页应为数据页，实际页类型为 " + u32text(pv.u8(0)));
        bool deleted = false, overflow = false;
        if (!rowBounds(pv, slot, start, end, deleted, overflow, hop > 0)) return false;
        if (!overflow) return true;
        // The row moved to another page; this slot only holds where to.
        const std::uint32_t ptr = pv.sub(start, end - start).u32(0);
        pageNo = ptr >> 8;
        slot = static_cast<int>(ptr & 0xFF);
    }
    corrupt(path, "记录的溢出指针链过长或形成了循环");
}

std::vector<std::string> JetState::requiredColumns(const std::vector<std::uint8_t>& blob) const {
    // A property blob: a 4-byte tag, then blocks of (length, type). Block 0x80
    // lists the property names; blocks 0x00/0x01 hold the values of one
    // object (the table, or a column by name), each naming its property by
    // its index in that list. A damaged blob only loses the properties.
    std::vector<std::string> out;
    ByteView v(blob.data(), blob.size(), &path);
    if (blob.size() < 4 ||
        !(std::memcmp(blob.data(), "MR2", 4) == 0 || std::memcmp(blob.data(), "KKD", 4) == 0))
        return out;
    std::vector<std::string> names;
    std::size_t pos = 4;
    while (v.has(pos, 6)) {
        const std::uint32_t len = v.u32(pos);
        const std::uint16_t type = v.u16(pos + 4);
        if (len < 6 || !v.has(pos, len)) break;
        ByteView block = v.sub(pos + 6, len - 6);
        if (type == 0x80) {
            std::size_t p = 0;
            while (block.has(p, 2)) {
                const std::size_t n = block.u16(p);
                if (!block.has(p + 2, n)) break;
                names.push_back(text(block.data() + p + 2, n));
                p += 2 + n;
            }
        } else if ((type == 0x00 || type == 0x01) && block.has(0, 6)) {
            const std::size_t n = block.u16(4);
            if (!block.has(6, n)) break;
            const std::string object = text(block.data() + 6, n);
            std::size_t p = 6 + n;
            while (block.has(p, 8)) {
                const std::size_t entryLen = block.u16(p);
                const std::uint8_t dataType = block.u8(p + 3);
                const std::size_t nameIndex = block.u16(p + 4);
                const std::size_t valueLen = block.u16(p + 6);
                if (entryLen < 8 || !block.has(p, entryLen) || !block.has(p + 8, valueLen)) break;
                if (nameIndex < names.size() && equalsNoCase(names[nameIndex], "Required") &&
                    dataType == 0x01 && valueLen >= 1 && block.u8(p + 8) != 0)
                    out.push_back(object);
                p += entryLen;
            }
        }
        pos += len;
    }
    return out;
}

const CatalogEntry* JetState::findTable(const std::string& name) const {
    for (const auto& e : catalog)
        if ((e.kind == ObjectKind::Table || e.kind == ObjectKind::SystemTable) &&
            equalsNoCase(e.name, name))
            return &e;
    return nullptr;
}

int TableDef::columnIndex(const std::string& n) const {
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (equalsNoCase(columns[i].name, n)) return static_cast<int>(i);
    return -1;
}

bool looksLikeJetFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    std::uint8_t h[0x20];
    ssize_t n = ::pread(fd, h, sizeof h, 0);
    ::close(fd);
    return n == static_cast<ssize_t>(sizeof h) && headerLooksRight(h, sizeof h);
}

namespace {

std::string passwordText(const JetState& s, const Page& header) {
    const std::uint8_t* h = header->data();
    if (!s.layout.jet4) {
        std::size_t n = 0;
        while (n < 20 && h[0x42 + n] != 0)
            ++n;
        return codePageText(h + 0x42, n, s.header.codePage);
    }
    // Jet 4 masks the password further with the creation date's whole part.
    std::uint8_t pwd[40];
    std::memcpy(pwd, h + 0x42, 40);
    double created;
    std::memcpy(&created, h + 0x72, 8);
    std::int32_t maskValue = 0;
    if (std::isfinite(created) && created > -2147483648.0 && created < 2147483647.0)
        maskValue = static_cast<std::int32_t>(created);
    std::uint8_t mask[4];
    std::memcpy(mask, &maskValue, 4);
    for (int i = 0; i < 40; ++i)
        pwd[i] ^= mask[i % 4];
    std::size_t n = 0;
    while (n + 1 < 40 && (pwd[n] != 0 || pwd[n + 1] != 0))
        n += 2;
    return utf16ToUtf8(pwd, n);
}

void loadCatalog(const std::shared_ptr<JetState>& s) {
    TableDef objects = s->readTableDef(2, "MSysObjects");
    const int cId = objects.columnIndex("Id"), cName = objects.columnIndex("Name"),
              cType = objects.columnIndex("Type"), cFlags = objects.columnIndex("Flags"),
              cDatabase = objects.columnIndex("Database"),
              cForeign = objects.columnIndex("ForeignName"),
              cConnect = objects.columnIndex("Connect"), cProps = objects.columnIndex("LvProp");
    if (cId < 0 || cName < 0 || cType < 0)
        corrupt(s->path, "系统表 MSysObjects 缺少 Id、Name 或 Type 字段");
    // The catalogue itself has to be known before the cursor can look it up.
    s->catalog.push_back({"MSysObjects", ObjectKind::SystemTable, 2, 2,
                          static_cast<std::int32_t>(0x80000000u), "", ""});
    std::vector<CatalogEntry> entries;
    RowCursor rows = JetState::makeCursor(s, objects);
    std::vector<Value> row;
    while (rows.next(row)) {
        CatalogEntry e;
        if (row[cName].isNullOrEmpty() || row[cType].isNullOrEmpty() || row[cId].isNullOrEmpty())
            continue;
        e.name = row[cName].text();
        e.id = static_cast<std::int32_t>(row[cId].toInt());
        e.flags = cFlags >= 0 && !row[cFlags].isNullOrEmpty()
                      ? static_cast<std::int32_t>(row[cFlags].toInt())
                      : 0;
        auto textOf = [&](int c) {
            return c >= 0 && row[c].kind() == Value::Kind::Text ? row[c].text() : std::string();
        };
        switch (row[cType].toInt()) {
        case 1:
            // MSys* tables the engine writes without the system flag (the
            // compaction log MSysCompactError) are system tables all the same.
            e.kind = (static_cast<std::uint32_t>(e.flags) & 0x80000002u) != 0 ||
                             (e.name.size() > 4 && equalsNoCase(e.name.substr(0, 4), "MSys"))
                         ? ObjectKind::SystemTable
                         : ObjectKind::Table;
            e.tdefPage = static_cast<std::uint32_t>(e.id) & 0x00FFFFFFu;
            if (cProps >= 0 && row[cProps].kind() == Value::Kind::Bytes)
                s->tableProps[e.id] = row[cProps].bytes();
            break;
        case 4: // linked through ODBC
            e.kind = ObjectKind::LinkedTable;
            e.linkedDatabase = textOf(cConnect);
            e.linkedName = textOf(cForeign);
            break;
        case 6: // linked Jet table
            e.kind = ObjectKind::LinkedTable;
            e.linkedDatabase = textOf(cDatabase);
            e.linkedName = textOf(cForeign);
            break;
        case 5:
            e.kind = ObjectKind::Query;
            break;
        default:
            continue;
        }
        entries.push_back(std::move(e));
    }
    s->catalog = std::move(entries);
}

} // namespace

JetFile JetFile::open(const std::string& path, const std::string& password) {
    if (path.empty()) engine::msg::raise(engine::msg::EmptyPath);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) engine::msg::raise(engine::msg::FileNotFound, {path});
    if (!S_ISREG(st.st_mode)) engine::msg::raise(engine::msg::NotADatabase, {path});

    auto s = std::make_shared<JetState>();
    s->path = path;
    s->fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (s->fd < 0) engine::msg::raise(engine::msg::CannotOpen, {path});
    s->fileSize = static_cast<std::uint64_t>(st.st_size);

    std::uint8_t h[0x20] = {};
    if (::pread(s->fd, h, sizeof h, 0) != static_cast<ssize_t>(sizeof h) ||
        !headerLooksRight(h, sizeof h))
        engine::msg::raise(engine::msg::NotADatabase, {path});

    const int version = h[0x14];
    s->layout = version == 0 ? Layout::forJet3() : Layout::forJet4(4096);
    if (version > 0x0C)
        engine::msg::raise(engine::msg::UnsupportedFormat, {path, std::to_string(version)});
    const std::uint32_t pageSize = s->layout.pageSize;
    if (s->fileSize < 3ull * pageSize)
        corrupt(path, "文件只有 " + u32text(s->fileSize) + " 字节，不足以容纳数据库的系统页面");
    s->header.versionByte = version;
    s->header.jetVersion = version == 0 ? 3 : 4;
    // ACE files (Access 2007 and later) name their engine differently and
    // count their versions from 2; their layout is Jet 4's.
    s->header.ace = version >= 2 || std::memcmp(h + 4, kAceName, 15) == 0;
    s->header.pageSize = pageSize;
    const std::uint64_t pages = s->fileSize / pageSize;
    s->header.pageCount = pages > 0xFFFFFFu ? 0xFFFFFFu : static_cast<std::uint32_t>(pages);

    Page hp = s->page(0);
    ByteView hv = s->view(hp);
    s->header.codePage = hv.u16(0x3C);
    s->dbKey = hv.u32(0x3E);
    s->header.pagesEncoded = s->dbKey != 0;
    s->header.sortOrder = s->layout.jet4 ? hv.u16(0x6E) : hv.u16(0x3A);
    if (s->layout.jet4) {
        std::string created;
        if (oleDateText(hv.f64(0x72), created)) s->header.created = created;
    }
    if (s->header.ace && s->dbKey != 0) {
        // Encrypted with the database password: the header keeps how, and
        // checking the password is part of reading that.
        const std::size_t len = hv.u16(kOfficeCryptInfoOffset);
        if (len == 0) corrupt(path, "文件已加密，但文件头中没有加密信息");
        const std::vector<std::uint8_t> info = hv.sub(kOfficeCryptInfoOffset + 2, len).copy();
        s->office = OfficeCipher::create(info, s->dbKey, password, path);
        s->header.encryption = s->office->form();
        s->header.hasPassword = true;
        loadCatalog(s);
        return JetFile(std::move(s));
    }
    const std::string stored = passwordText(*s, hp);
    s->header.hasPassword = !stored.empty();
    if (s->header.hasPassword && stored != password) {
        // A damaged header decodes to a "password" of noise: say the file is
        // damaged, not that the password is wrong, unless the stored password
        // is plain text and the rest of the file reads.
        bool plausible = stored.size() <= 80;
        for (unsigned char c : stored)
            if (c < 0x20 || c == 0x7F) plausible = false;
        if (plausible) {
            try {
                loadCatalog(s);
            } catch (const engine::EngineError&) {
                plausible = false;
            }
        }
        if (!plausible) corrupt(path, "文件头已损坏");
        engine::msg::raise(engine::msg::WrongPassword);
    }

    loadCatalog(s);
    return JetFile(std::move(s));
}

const HeaderInfo& JetFile::header() const {
    return state_->header;
}
const std::string& JetFile::path() const {
    return state_->path;
}
std::uint64_t JetFile::changes() const {
    return state_->changes;
}
const std::vector<CatalogEntry>& JetFile::catalog() const {
    return state_->catalog;
}

TableDef JetFile::table(const std::string& name) const {
    const CatalogEntry* e = state_->findTable(name);
    if (!e) engine::msg::raise(engine::msg::UnknownTable, {name});
    TableDef def = state_->readTableDef(e->tdefPage, e->name);
    auto props = state_->tableProps.find(e->id);
    if (props != state_->tableProps.end())
        for (const std::string& col : state_->requiredColumns(props->second)) {
            const int i = def.columnIndex(col);
            if (i >= 0) def.columns[static_cast<std::size_t>(i)].required = true;
        }
    return def;
}

} // namespace engine::jet
