#pragma once

// Pieces shared by the reader's source files; not part of the public API.

#include "engine/jet/JetCrypto.h"
#include "engine/jet/JetFile.h"

#include <cstddef>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace engine::jet {

using Page = std::shared_ptr<const std::vector<std::uint8_t>>;

// Raises msg::Corrupt naming the file and what is wrong with it.
[[noreturn]] void corrupt(const std::string& path, const std::string& what);

// A bounds-checked view over bytes read from the file. Every read outside
// the view is reported as a damaged file, never performed.
class ByteView {
public:
    ByteView(const std::uint8_t* data, std::size_t size, const std::string* path)
        : data_(data), size_(size), path_(path) {}

    std::size_t size() const { return size_; }
    const std::uint8_t* data() const { return data_; }
    bool has(std::size_t offset, std::size_t count) const {
        return offset <= size_ && count <= size_ - offset;
    }
    void need(std::size_t offset, std::size_t count, const char* what) const {
        if (!has(offset, count)) outOfRange(offset, count, what);
    }
    [[noreturn]] void outOfRange(std::size_t offset, std::size_t count, const char* what) const;

    std::uint8_t u8(std::size_t off) const {
        need(off, 1, "字节");
        return data_[off];
    }
    std::uint16_t u16(std::size_t off) const {
        need(off, 2, "字节");
        return static_cast<std::uint16_t>(data_[off] | (data_[off + 1] << 8));
    }
    std::uint32_t u32(std::size_t off) const {
        need(off, 4, "字节");
        return static_cast<std::uint32_t>(data_[off]) |
               (static_cast<std::uint32_t>(data_[off + 1]) << 8) |
               (static_cast<std::uint32_t>(data_[off + 2]) << 16) |
               (static_cast<std::uint32_t>(data_[off + 3]) << 24);
    }
    std::int16_t i16(std::size_t off) const { return static_cast<std::int16_t>(u16(off)); }
    std::int32_t i32(std::size_t off) const { return static_cast<std::int32_t>(u32(off)); }
    std::uint64_t u64(std::size_t off) const {
        return static_cast<std::uint64_t>(u32(off)) |
               (static_cast<std::uint64_t>(u32(off + 4)) << 32);
    }
    double f64(std::size_t off) const;
    float f32(std::size_t off) const;
    ByteView sub(std::size_t off, std::size_t count) const {
        need(off, count, "数据");
        return ByteView(data_ + off, count, path_);
    }
    std::vector<std::uint8_t> copy() const { return {data_, data_ + size_}; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    const std::string* path_;
};

// The layout figures that differ between Jet 3 and Jet 4.
struct Layout {
    bool jet4 = true;
    std::uint32_t pageSize = 4096;
    // data pages
    std::size_t rowCountOffset = 0x0c;
    // table definitions
    std::size_t numRowsOffset = 16;
    std::size_t tableTypeOffset = 40;
    std::size_t maxColsOffset = 41;
    std::size_t numVarColsOffset = 43;
    std::size_t numColsOffset = 45;
    std::size_t numIdxOffset = 47;
    std::size_t numRealIdxOffset = 51;
    std::size_t usageMapOffset = 55;
    std::size_t colsStartOffset = 63;
    std::size_t realIdxEntrySize = 12;
    std::size_t colEntrySize = 25;
    std::size_t colNumOffset = 5;
    std::size_t colVarOffset = 7;
    std::size_t colFlagsOffset = 15;
    std::size_t colExtFlagsOffset = 16;
    std::size_t colFixedOffset = 21;
    std::size_t colSizeOffset = 23;
    std::size_t colPrecOffset = 11;
    std::size_t colScaleOffset = 12;
    std::size_t realIdxDefSize = 52;
    std::size_t logicalIdxSize = 28;

    static Layout forJet3();
    static Layout forJet4(std::uint32_t pageSize);
};

// Decoded pages kept for reuse, bounded by bytes: the least recently used
// page goes first, so a scan of a large table never holds the whole file.
class PageCache {
public:
    explicit PageCache(std::size_t limitBytes = 32u << 20) : limit_(limitBytes) {}
    Page find(std::uint32_t number);
    void put(std::uint32_t number, Page page);
    // Puts `page` in place of what is kept for `number` (a page just written).
    void replace(std::uint32_t number, Page page);
    // Forgets every page (the file was changed under the cache).
    void clear();
    std::size_t bytes() const { return bytes_; }
    std::size_t limit() const { return limit_; }

private:
    using Order = std::list<std::uint32_t>;
    struct Entry {
        Page page;
        Order::iterator where;
    };
    std::size_t limit_;
    std::size_t bytes_ = 0;
    std::unordered_map<std::uint32_t, Entry> pages_;
    Order order_; // most recently used first
    std::mutex mutex_;
};

struct Cell;

// Where the values of one row lie: its null mask and the offsets of its
// variable-length values, read once so that single columns can then be
// read without the others.
struct RowLayout {
    ByteView row{nullptr, 0, nullptr};
    std::uint32_t columns = 0; // columns the row was written with
    std::size_t fixedStart = 0;
    std::size_t maskStart = 0;
    std::size_t varCount = 0;
    std::size_t varLimit = 0;        // the variable values lie below this
    std::vector<std::size_t> varOff; // varCount + 1 offsets
    bool present(int colNum) const {
        if (colNum < 0 || static_cast<std::uint32_t>(colNum) >= columns) return false;
        return (row.u8(maskStart + static_cast<std::size_t>(colNum) / 8) & (1u << (colNum % 8))) !=
               0;
    }
};

// A writer that keeps changed pages of its own for a while before handing
// them to the PageStore (the index maintainer, within a statement).
class DeferredPages {
public:
    // Hands the kept pages to the store.
    virtual void flushDeferred() = 0;
    // Forgets them: the store rolled back what they were built on.
    virtual void dropDeferred() = 0;

protected:
    ~DeferredPages() = default;
};

struct JetState {
    std::string path;
    int fd = -1;
    std::uint64_t fileSize = 0;
    Layout layout;
    HeaderInfo header;
    std::uint32_t dbKey = 0;
    // Decrypts the pages of an ACE file encrypted with its password.
    std::unique_ptr<OfficeCipher> office;
    std::vector<CatalogEntry> catalog;
    // MSysObjects.LvProp of each table, by object id: the properties the
    // designer set (Required, ...), read when a definition is asked for.
    std::unordered_map<std::int32_t, std::vector<std::uint8_t>> tableProps;

    // Complex columns (ACE), by complex id, read when first met.
    struct ComplexColumn {
        bool attachment = false;
        std::map<std::int32_t, std::vector<ComplexItem>> items; // by link key
    };
    std::map<std::int32_t, std::shared_ptr<const ComplexColumn>> complexColumns;
    // The column's values; null when the file does not describe it.
    std::shared_ptr<const ComplexColumn> complexColumn(std::int32_t complexId);
    std::shared_ptr<const ComplexColumn> loadComplexColumn(std::int32_t complexId);
    // The text of a complex field: its values joined with "; ".
    Value complexText(const ColumnDef& c, std::int32_t key);

    PageCache cache;
    // Pages changed by the open write transaction (PageStore), decoded;
    // page() gives these before the file's own, so every reader sees the
    // transaction's changes. Empty when nothing is being written.
    std::unordered_map<std::uint32_t, Page> pending;
    // Counts the changes to what page() gives (a page written, a transaction
    // ended or rolled back to a savepoint): a reader that keeps a page or
    // the list of a table's pages between calls reads them again when it
    // has moved on.
    std::uint64_t changes = 0;

    // Writers holding pages the store has not seen yet. Whatever reads the
    // pages they keep (index searches) calls flushDeferred() first; the
    // store flushes them before a savepoint, a release and a commit, and
    // drops them on a rollback. Each holder is listed while it keeps pages.
    std::vector<DeferredPages*> deferred;
    void flushDeferred(const DeferredPages* except = nullptr) {
        if (deferred.empty() || (deferred.size() == 1 && deferred.front() == except)) return;
        flushDeferredPages(except);
    }
    void dropDeferred() {
        if (!deferred.empty()) dropDeferredPages();
    }
    void flushDeferredPages(const DeferredPages* except);
    void dropDeferredPages();

    JetState() = default;
    JetState(const JetState&) = delete;
    JetState& operator=(const JetState&) = delete;
    ~JetState();

    Page page(std::uint32_t number);
    ByteView view(const Page& p) const { return ByteView(p->data(), p->size(), &path); }

    // Table definition bytes gathered across continuation pages.
    std::vector<std::uint8_t> tdefBytes(std::uint32_t firstPage);
    TableDef readTableDef(std::uint32_t tdefPage, const std::string& name);

    // Bytes of row `slot` on data page `p`: [start, end) within the page, or
    // false when the slot is deleted. `overflow` is set for a pointer row.
    // A row reached through an overflow pointer carries the deleted mark
    // (so scans skip it at its new place); `followed` reads it anyway.
    bool rowBounds(const ByteView& page, int slot, std::size_t& start, std::size_t& end,
                   bool& deleted, bool& overflow, bool followed = false) const;
    // Resolves a row (following overflow pointers) to its page and byte range.
    // Returns false when the row is deleted.
    bool locateRow(std::uint32_t pageNo, int slot, Page& page, std::size_t& start,
                   std::size_t& end);
    // `complexKeys` leaves complex fields as the key that links them to
    // their values instead of the values' text.
    std::vector<Value> decodeRow(const TableDef& def, const ByteView& row,
                                 bool complexKeys = false);
    // The same in two steps: the row's layout, then any one column from it.
    void parseRow(const TableDef& def, const ByteView& row, RowLayout& out) const;
    void decodeCell(const TableDef& def, const RowLayout& row, const ColumnDef& c, Cell& out,
                    bool complexKeys = false);
    // The pages a usage map record (row pointer) marks as used.
    std::vector<std::uint32_t> usageMapPages(std::uint32_t rowPointer);
    // Long value (memo / OLE) bytes from a 12-byte field header and what follows.
    std::vector<std::uint8_t> longValue(const ByteView& field);

    std::string text(const std::uint8_t* data, std::size_t size) const;
    // The same text appended to `out`.
    void textInto(std::string& out, const std::uint8_t* data, std::size_t size) const;
    // Names of the columns whose "Required" property is set in a property blob.
    std::vector<std::string> requiredColumns(const std::vector<std::uint8_t>& props) const;
    static RowCursor makeCursor(std::shared_ptr<JetState> self, TableDef def) {
        return RowCursor(std::move(self), std::move(def));
    }
    const CatalogEntry* findTable(const std::string& name) const;
};

// Text and number codecs.
void rc4(const std::uint8_t* key, std::size_t keyLen, std::uint8_t* data, std::size_t len);
std::string utf16ToUtf8(const std::uint8_t* data, std::size_t size);
// The same, appended to `out` (which a caller may reuse row after row).
void appendUtf16(std::string& out, const std::uint8_t* data, std::size_t size);
// Jet 4 text: UCS-2, or compressed when it starts with FF FE.
std::string jet4Text(const std::uint8_t* data, std::size_t size);
void appendJet4Text(std::string& out, const std::uint8_t* data, std::size_t size);
// Single-byte text in the given Windows code page.
std::string codePageText(const std::uint8_t* data, std::size_t size, int codePage);
// OLE automation day number to 'yyyy-MM-dd HH:mm:ss'; false when out of range.
bool oleDateText(double days, std::string& out);
// The same text written into `buf` (room for kDateChars + 2 characters); its
// length, 0 when out of range.
inline constexpr std::size_t kDateChars = 19;
std::size_t oleDateChars(double days, char* buf);
// An ACE extended date/time value (42 ASCII bytes: days since 0001-01-01,
// ':', the time of day in 100 ns units, ':', the digits kept) to
// 'yyyy-MM-dd HH:mm:ss'; false when it does not read as one.
bool extDateText(const std::uint8_t* p, std::size_t size, std::string& out);
// The same value as an OLE day number (days since 1899-12-30).
bool extDateOleDays(const std::uint8_t* p, std::size_t size, double& out);
std::string guidText(const std::uint8_t* p);
Value numericValue(const std::uint8_t* p17, int scale);
bool equalsNoCase(const std::string& a, const std::string& b);

} // namespace engine::jet
