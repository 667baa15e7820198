// Row changes on a genuine Jet 4 table, made page by page through the
// PageStore's open transaction.
//
// Rows on a data page are kept from the page's end downwards in slot order;
// when a row grows, shrinks or is deleted, the rows stored below it are
// shifted so the page's free space stays one gap (and a deleted row keeps its
// slot with zero length, as the desktop engine leaves it). A row that no
// longer fits its page moves to another one, and its original slot keeps a
// four-byte pointer to it, so the RowId that indexes and callers hold stays.

#include "engine/jet/JetTableWriter.h"

#include "engine/base/Messages.h"
#include "engine/base/Utf8.h"
#include "engine/jet/JetIndexWriter.h"
#include "engine/jet/JetInternal.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <random>

namespace engine::jet {

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kPageSize = 4096;
constexpr std::size_t kRowTable = 14;        // first entry of a data page's row offset table
constexpr std::size_t kMaxRow = 4060;        // longest row a data page takes
constexpr std::size_t kMaxLvalRow = 4076;    // longest long value kept in one row
constexpr std::size_t kChunk = 4072;         // data bytes per row of a chained long value
constexpr std::size_t kInlineLong = 64;      // longest long value kept inside its row
constexpr std::size_t kMaxCompressed = 1024; // longest text stored compressed
constexpr int kMaxRows = 255;                // rows per data page
constexpr int kCandidates = 64;              // pages with free space tried before a new one
constexpr std::uint16_t kDeleted = 0x8000, kOverflow = 0x4000, kOffsetMask = 0x1FFF;

std::uint16_t get16(const Bytes& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}
std::uint32_t get32(const Bytes& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
void put16(Bytes& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void append16(Bytes& b, std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void append32(Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
template <class T> void appendRaw(Bytes& b, T v) {
    std::uint8_t raw[sizeof(T)];
    std::memcpy(raw, &v, sizeof(T));
    b.insert(b.end(), raw, raw + sizeof(T));
}

// A row pointer as long values and overflow rows store it: row number in
// the low byte, page above.
std::uint32_t pointerOf(std::uint32_t page, int slot) {
    return (page << 8) | static_cast<std::uint32_t>(slot);
}

// ---- data pages --------------------------------------------------------------

// One data page (table rows, long values or usage maps), edited in memory.
struct DataPage {
    Bytes b;

    int rows() const { return get16(b, 12); }
    std::uint16_t entry(int slot) const { return get16(b, kRowTable + 2 * slot); }
    std::size_t start(int slot) const { return entry(slot) & kOffsetMask; }
    std::size_t end(int slot) const { return slot == 0 ? kPageSize : start(slot - 1); }
    std::size_t lowest() const { return rows() == 0 ? kPageSize : start(rows() - 1); }
    // The gap between the offset table and the lowest row (what the page's
    // header records; taken from the rows so a stale header does no harm).
    std::size_t freeSpace() const {
        const std::size_t table = kRowTable + 2 * static_cast<std::size_t>(rows());
        return lowest() > table ? lowest() - table : 0;
    }
    bool fits(std::size_t len) const { return rows() < kMaxRows && len + 2 <= freeSpace(); }
    Bytes row(int slot) const {
        return Bytes(b.begin() + static_cast<long>(start(slot)),
                     b.begin() + static_cast<long>(end(slot)));
    }
    void setFlags(int slot, std::uint16_t flags) {
        put16(b, kRowTable + 2 * slot, (entry(slot) & kOffsetMask) | flags);
    }

    // The page's rows are stored downwards in slot order and its free space
    // is the gap above them: what shifting rows relies on.
    bool sound() const {
        const int n = rows();
        if (n > kMaxRows || kRowTable + 2 * static_cast<std::size_t>(n) > kPageSize) return false;
        std::size_t prev = kPageSize;
        for (int i = 0; i < n; ++i) {
            if (start(i) > prev) return false;
            prev = start(i);
        }
        return prev >= kRowTable + 2 * static_cast<std::size_t>(n);
    }

    int add(const Bytes& data, std::uint16_t flags) {
        const int slot = rows();
        const std::size_t at = lowest() - data.size();
        put16(b, 12, static_cast<std::uint32_t>(slot + 1));
        put16(b, kRowTable + 2 * slot, static_cast<std::uint32_t>(at) | flags);
        put16(b, 2, static_cast<std::uint32_t>(freeSpace()));
        std::copy(data.begin(), data.end(), b.begin() + static_cast<long>(at));
        return slot;
    }

    // Gives row `slot` new bytes of any length, moving the rows below it;
    // false when the page has no room for the growth.
    bool replace(int slot, const Bytes& data) {
        const std::size_t s = start(slot), e = end(slot), low = lowest();
        const long delta = static_cast<long>(data.size()) - static_cast<long>(e - s);
        if (delta > 0 && static_cast<std::size_t>(delta) > freeSpace()) return false;
        if (delta != 0) {
            std::memmove(b.data() + low - delta, b.data() + low, s - low);
            if (delta < 0)
                std::fill(b.begin() + static_cast<long>(low), b.begin() + low - delta, 0);
            for (int j = slot + 1; j < rows(); ++j)
                put16(b, kRowTable + 2 * j,
                      static_cast<std::uint32_t>((entry(j) & ~kOffsetMask) |
                                                 (start(j) - static_cast<std::size_t>(delta))));
        }
        const std::size_t at = e - data.size();
        put16(b, kRowTable + 2 * slot,
              static_cast<std::uint32_t>((entry(slot) & ~kOffsetMask) | at));
        std::copy(data.begin(), data.end(), b.begin() + static_cast<long>(at));
        put16(b, 2, static_cast<std::uint32_t>(freeSpace()));
        return true;
    }
};

// ---- text --------------------------------------------------------------------

std::u16string utf16Of(const std::string& s) {
    std::u16string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        char32_t c = utf8::decode(s, i);
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

// Text as Jet 4 stores it: UTF-16LE, or, where the column allows it and it
// saves space, the compressed form: FF FE, then Latin-1 characters as one
// byte each and other characters as two, a zero byte switching between the
// two modes. A character whose low byte is zero fits neither mode, so text
// holding one stays uncompressed.
Bytes encodeText(const std::u16string& t, bool compressible) {
    bool compress = compressible && t.size() >= 2 && t.size() <= kMaxCompressed;
    std::size_t packed = 2, switches = 0;
    bool narrow = true;
    for (char16_t c : t) {
        if (!compress) break;
        if ((c & 0xFF) == 0) compress = false;
        const bool n = c < 0x100;
        if (n != narrow) ++switches;
        narrow = n;
        packed += n ? 1 : 2;
    }
    Bytes out;
    if (compress && packed + switches < 2 * t.size()) {
        out.reserve(packed + switches);
        out.push_back(0xFF);
        out.push_back(0xFE);
        narrow = true;
        for (char16_t c : t) {
            const bool n = c < 0x100;
            if (n != narrow) out.push_back(0);
            narrow = n;
            out.push_back(static_cast<std::uint8_t>(c & 0xFF));
            if (!n) out.push_back(static_cast<std::uint8_t>(c >> 8));
        }
        return out;
    }
    out.reserve(2 * t.size());
    for (char16_t c : t)
        append16(out, c);
    return out;
}

// ---- numbers and dates -------------------------------------------------------

long long daysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

// 'yyyy-MM-dd HH:mm:ss' as Jet's day number: days since 1899-12-30, the
// time of day added away from zero (1899-12-29 06:00 is -1.25).
// The fields of a date already in the canonical form 'yyyy-MM-dd HH:mm:ss'
// (what the engine hands over), checked as normalizeDateText checks them;
// false sends any other text the long way.
bool canonicalDate(const std::string& t, int& y, int& mo, int& d, int& h, int& mi, int& s) {
    if (t.size() != 19 || t[4] != '-' || t[7] != '-' || t[10] != ' ' || t[13] != ':' ||
        t[16] != ':')
        return false;
    auto field = [&](std::size_t at, std::size_t n, int& v) {
        v = 0;
        for (std::size_t k = at; k < at + n; ++k) {
            if (t[k] < '0' || t[k] > '9') return false;
            v = v * 10 + (t[k] - '0');
        }
        return true;
    };
    if (!field(0, 4, y) || !field(5, 2, mo) || !field(8, 2, d) || !field(11, 2, h) ||
        !field(14, 2, mi) || !field(17, 2, s))
        return false;
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 100 || mo < 1 || mo > 12 || d < 1 || h > 23 || mi > 59 || s > 59) return false;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return d <= (mo == 2 && leap ? 29 : days[mo - 1]);
}

bool dateDays(const std::string& text, double& out) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (!canonicalDate(text, y, mo, d, h, mi, s)) {
        std::string canonical;
        if (!normalizeDateText(text, canonical)) return false;
        const int got =
            std::sscanf(canonical.c_str(), "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s);
        if (got < 3) return false;
    }
    const long long day = daysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) -
                          daysFromCivil(1899, 12, 30);
    const double frac = (h * 3600.0 + mi * 60.0 + s) / 86400.0;
    out = day < 0 ? static_cast<double>(day) - frac : static_cast<double>(day) + frac;
    return true;
}

bool parseDouble(const std::string& text, double& out) {
    const char* b = text.c_str();
    while (*b == ' ')
        ++b;
    if (!*b) return false;
    char* e = nullptr;
    out = std::strtod(b, &e);
    while (*e == ' ')
        ++e;
    return *e == 0 && std::isfinite(out);
}

// A decimal text as the unscaled magnitude at `scale`, rounded half away
// from zero; false when it is not a number or does not fit 128 bits.
bool parseDecimal(const std::string& text, int scale, bool& negative, unsigned __int128& out) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    std::string digits;
    int exponent = 0;
    bool point = false, any = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            digits += c;
            any = true;
            if (point) --exponent;
        } else if (c == '.' && !point) {
            point = true;
        } else if ((c == 'e' || c == 'E') && any) {
            exponent += std::atoi(text.c_str() + i + 1);
            break;
        } else if (c == ' ') {
            break;
        } else {
            return false;
        }
    }
    if (!any) return false;
    exponent += scale; // value = digits * 10^exponent
    out = 0;
    const unsigned __int128 limit = ~static_cast<unsigned __int128>(0) / 10;
    std::size_t keep = digits.size();
    bool roundUp = false;
    if (exponent < 0) {
        const std::size_t drop = static_cast<std::size_t>(-static_cast<long>(exponent));
        if (drop >= digits.size()) {
            keep = 0;
            roundUp = drop == digits.size() && digits[0] >= '5';
        } else {
            keep = digits.size() - drop;
            roundUp = digits[keep] >= '5';
        }
        exponent = 0;
    }
    for (std::size_t k = 0; k < keep; ++k) {
        if (out > limit) return false;
        out = out * 10 + static_cast<unsigned>(digits[k] - '0');
    }
    for (int k = 0; k < exponent; ++k) {
        if (out > limit) return false;
        out *= 10;
    }
    if (roundUp) ++out;
    if (out == 0) negative = false;
    return true;
}

std::string guidKey(const std::string& text) {
    std::string hex;
    for (char c : text) {
        if (c == '{' || c == '}' || c == '-' || c == ' ') continue;
        if (!std::isxdigit(static_cast<unsigned char>(c))) return {};
        hex += c;
    }
    return hex.size() == 32 ? hex : std::string();
}

} // namespace

// ---- the writer ------------------------------------------------------------------

struct TableWriter::Impl {
    std::shared_ptr<PageStore> store;
    TableDef def;
    std::shared_ptr<JetState> st;
    std::unique_ptr<IndexMaintainer> indexes;
    std::string unsupported;
    // The index maintainer's refusal is a whole message of its own (naming
    // the sort order); it is given as it is.
    bool unsupportedByIndexes = false;

    // What the definition says about the row layout.
    struct Column {
        int jetType = 0;
        int number = 0;
        int varIndex = 0;
        int fixedOffset = 0;
        int length = 0; // bytes
        bool fixed = false;
        bool compressible = false;
        bool longAuto = false;
        bool guidAuto = false;
        std::uint32_t lvOwned = 0, lvFree = 0; // long value page maps, 0 when none
    };
    std::vector<Column> cols; // as def.columns
    int maxCols = 0;
    int varCols = 0;
    std::size_t fixedSize = 0;
    std::uint32_t ownedMap = 0, freeMap = 0;

    // Where the last row went, and each long value column's last page: the
    // next one is tried there first.
    std::uint32_t hint = 0;
    std::vector<std::uint32_t> lvHint;
    std::optional<std::int64_t> lastAuto;
    bool ownSavepoints = true;

    bool isLong(const Column& c) const {
        return c.jetType == coltype::Memo || c.jetType == coltype::Ole;
    }

    void parseDefinition();

    DataPage load(std::uint32_t n) const { return DataPage{*store->read(n)}; }
    void save(std::uint32_t n, DataPage& p) { store->write(n, std::move(p.b)); }

    // Usage maps.
    Bytes mapRow(std::uint32_t ref, DataPage& holder, int& slot) const;
    bool mapHas(std::uint32_t ref, std::uint32_t page) const;
    void mapSet(std::uint32_t ref, std::uint32_t page, bool on);

    // Rows.
    std::uint32_t newPage(bool lval, std::uint32_t owned, std::uint32_t free);
    RowId placeRow(const Bytes& row, std::uint16_t flags);
    RowId placeLval(std::size_t col, const Bytes& row);
    void freeRowAt(std::uint32_t page, int slot, std::uint32_t freeMapRef);

    // Values.
    Bytes encodeRow(const std::vector<Value>& values, const std::vector<Bytes>* keepLong,
                    bool inserting, std::int64_t& autoValue, bool& autoGiven);
    Bytes fieldBytes(std::size_t i, const Value& v);
    Bytes writeLong(std::size_t col, const Bytes& data);
    void freeLong(const Bytes& field);
    std::vector<std::optional<Bytes>> rawFields(const Bytes& row) const;

    // Follows a header row to where its data is; false when deleted.
    bool locate(RowId id, RowId& at, bool& moved);
    std::vector<Value> decode(const Bytes& row) const {
        return st->decodeRow(def, ByteView(row.data(), row.size(), &st->path), true);
    }
    void setCounts(long rowDelta, std::optional<std::int64_t> autoValue);
};

void TableWriter::Impl::parseDefinition() {
    Bytes t = st->tdefBytes(def.tdefPage);
    ByteView v(t.data(), t.size(), &st->path);
    maxCols = v.u16(41);
    varCols = v.u16(43);
    const std::uint32_t numCols = v.u16(45);
    const std::uint32_t numIdx = v.u32(47);
    const std::uint32_t numReal = v.u32(51);
    ownedMap = v.u32(55);
    freeMap = v.u32(59);
    std::size_t pos = 63 + 12 * static_cast<std::size_t>(numReal);
    std::vector<Column> byBlock(numCols);
    for (std::uint32_t i = 0; i < numCols; ++i) {
        ByteView e = v.sub(pos + 25 * i, 25);
        Column& c = byBlock[i];
        c.jetType = e.u8(0);
        c.number = e.u16(5);
        c.varIndex = e.u16(7);
        const std::uint8_t flags = e.u8(15);
        c.fixed = (flags & 0x01) != 0;
        c.longAuto = (flags & 0x04) != 0 && c.jetType == coltype::Long;
        c.guidAuto = (flags & 0x40) != 0 && c.jetType == coltype::Guid;
        c.compressible = (e.u8(16) & 0x01) != 0;
        c.fixedOffset = e.u16(21);
        c.length = e.u16(23);
    }
    pos += 25 * static_cast<std::size_t>(numCols);
    for (std::uint32_t i = 0; i < numCols; ++i)
        pos += 2 + v.u16(pos);
    pos += 52 * static_cast<std::size_t>(numReal) + 28 * static_cast<std::size_t>(numIdx);
    for (std::uint32_t i = 0; i < numIdx; ++i)
        pos += 2 + v.u16(pos);
    // The page maps of each long value column, to the FF FF that ends them.
    while (v.has(pos, 2) && v.u16(pos) != 0xFFFF && v.has(pos, 10)) {
        const int number = v.u16(pos);
        for (auto& c : byBlock)
            if (c.number == number) {
                c.lvOwned = v.u32(pos + 2);
                c.lvFree = v.u32(pos + 6);
            }
        pos += 10;
    }
    cols.clear();
    for (const auto& dc : def.columns)
        for (const auto& c : byBlock)
            if (c.number == dc.columnNumber) cols.push_back(c);
    if (cols.size() != def.columns.size()) corrupt(st->path, "表“" + def.name + "”的定义不完整");
    // Null mask bits are numbered by column number, up to the row's count.
    for (const auto& c : cols)
        if (c.number >= maxCols)
            corrupt(st->path, "表“" + def.name + "”的字段编号超出了定义的范围");
    fixedSize = 0;
    for (const auto& c : cols)
        if (c.fixed && c.jetType != coltype::Boolean)
            fixedSize = std::max<std::size_t>(fixedSize,
                                              static_cast<std::size_t>(c.fixedOffset + c.length));
    lvHint.assign(cols.size(), 0);
}

// ---- usage maps ----------------------------------------------------------------

Bytes TableWriter::Impl::mapRow(std::uint32_t ref, DataPage& holder, int& slot) const {
    holder = load(ref >> 8);
    slot = static_cast<int>(ref & 0xFF);
    if (holder.b[0] != 0x01 || slot >= holder.rows() || (holder.entry(slot) & kDeleted))
        corrupt(st->path, "页面使用表（第 " + std::to_string(ref >> 8) + " 页）无效");
    Bytes row = holder.row(slot);
    if (row.size() < 5) corrupt(st->path, "页面使用表太短");
    return row;
}

bool TableWriter::Impl::mapHas(std::uint32_t ref, std::uint32_t page) const {
    if (ref == 0) return false;
    DataPage holder;
    int slot = 0;
    const Bytes row = mapRow(ref, holder, slot);
    if (row[0] == 0x00) {
        const std::uint32_t first = get32(row, 1);
        if (page < first) return false;
        const std::uint64_t bit = page - first;
        if (bit >= (row.size() - 5) * 8) return false;
        return (row[5 + bit / 8] >> (bit % 8)) & 1;
    }
    const std::uint32_t perPage = (kPageSize - 4) * 8;
    const std::size_t k = page / perPage;
    if (1 + 4 * k + 4 > row.size()) return false;
    const std::uint32_t bitmap = get32(row, 1 + 4 * k);
    if (bitmap == 0) return false;
    const Bytes bits = *store->read(bitmap);
    const std::uint32_t bit = page % perPage;
    return (bits[4 + bit / 8] >> (bit % 8)) & 1;
}

void TableWriter::Impl::mapSet(std::uint32_t ref, std::uint32_t page, bool on) {
    if (ref == 0) return;
    DataPage holder;
    int slot = 0;
    Bytes row = mapRow(ref, holder, slot);
    const std::uint32_t holderPage = ref >> 8;
    auto putRow = [&]() {
        DataPage h = load(holderPage);
        std::copy(row.begin(), row.end(), h.b.begin() + static_cast<long>(h.start(slot)));
        save(holderPage, h);
    };
    const std::uint32_t perPage = (kPageSize - 4) * 8;
    if (row[0] == 0x00) {
        const std::uint32_t first = get32(row, 1);
        const std::uint64_t span = (row.size() - 5) * 8;
        if (page >= first && page - first < span) {
            const std::uint32_t bit = page - first;
            if (on)
                row[5 + bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
            else
                row[5 + bit / 8] &= static_cast<std::uint8_t>(~(1u << (bit % 8)));
            putRow();
            return;
        }
        if (!on) return; // not listed: nothing to clear
        // Out of the map's window: move the window when every page still
        // fits, else turn the map into one that refers to bitmap pages.
        std::vector<std::uint32_t> pages;
        for (std::uint32_t b = 0; b < span; ++b)
            if ((row[5 + b / 8] >> (b % 8)) & 1) pages.push_back(first + b);
        pages.push_back(page);
        const auto [lo, hi] = std::minmax_element(pages.begin(), pages.end());
        const std::uint32_t start = *lo & ~7u;
        std::fill(row.begin() + 1, row.end(), 0);
        if (*hi - start < span) {
            put32(row, 1, start);
            for (std::uint32_t p : pages)
                row[5 + (p - start) / 8] |= static_cast<std::uint8_t>(1u << ((p - start) % 8));
            putRow();
            return;
        }
        row[0] = 0x01;
        putRow();
        for (std::uint32_t p : pages)
            mapSet(ref, p, true);
        return;
    }
    const std::size_t k = page / perPage;
    if (1 + 4 * k + 4 > row.size()) msg::raise(msg::TooBig);
    std::uint32_t bitmap = get32(row, 1 + 4 * k);
    if (bitmap == 0) {
        if (!on) return;
        bitmap = store->allocate();
        Bytes fresh(kPageSize, 0);
        fresh[0] = 0x05;
        fresh[1] = 0x01;
        store->write(bitmap, std::move(fresh));
        put32(row, 1 + 4 * k, bitmap);
        putRow();
    }
    Bytes bits = *store->read(bitmap);
    const std::uint32_t bit = page % perPage;
    if (on)
        bits[4 + bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
    else
        bits[4 + bit / 8] &= static_cast<std::uint8_t>(~(1u << (bit % 8)));
    store->write(bitmap, std::move(bits));
}

// ---- placing rows ------------------------------------------------------------------

std::uint32_t TableWriter::Impl::newPage(bool lval, std::uint32_t owned, std::uint32_t free) {
    const std::uint32_t n = store->allocate();
    DataPage p{Bytes(kPageSize, 0)};
    p.b[0] = 0x01;
    p.b[1] = 0x01;
    put16(p.b, 2, kPageSize - kRowTable);
    if (lval)
        std::memcpy(p.b.data() + 4, "LVAL", 4);
    else
        put32(p.b, 4, def.tdefPage);
    save(n, p);
    mapSet(owned, n, true);
    mapSet(free, n, true);
    return n;
}

RowId TableWriter::Impl::placeRow(const Bytes& row, std::uint16_t flags) {
    auto ours = [&](const DataPage& p) {
        return p.b[0] == 0x01 && get32(p.b, 4) == def.tdefPage && p.sound();
    };
    auto tryPage = [&](std::uint32_t n) -> std::optional<RowId> {
        DataPage p = load(n);
        if (!ours(p) || !p.fits(row.size())) return std::nullopt;
        const int slot = p.add(row, flags);
        save(n, p);
        hint = n;
        return RowId{n, static_cast<std::uint16_t>(slot)};
    };
    if (hint != 0 && mapHas(ownedMap, hint))
        if (auto id = tryPage(hint)) return *id;
    // The pages with free space, newest first; a page with too little room
    // for any row leaves the list.
    std::vector<std::uint32_t> candidates = st->usageMapPages(freeMap);
    int tries = 0;
    for (auto it = candidates.rbegin(); it != candidates.rend() && tries < kCandidates;
         ++it, ++tries) {
        if (*it == hint) continue;
        if (!mapHas(ownedMap, *it)) continue;
        if (auto id = tryPage(*it)) return *id;
        DataPage p = load(*it);
        if (!ours(p) || p.freeSpace() < 64 || p.rows() >= kMaxRows) mapSet(freeMap, *it, false);
    }
    const std::uint32_t n = newPage(false, ownedMap, freeMap);
    auto id = tryPage(n);
    if (!id) msg::raise(msg::TooBig);
    return *id;
}

RowId TableWriter::Impl::placeLval(std::size_t col, const Bytes& row) {
    const Column& c = cols[col];
    auto tryPage = [&](std::uint32_t n) -> std::optional<RowId> {
        DataPage p = load(n);
        if (p.b[0] != 0x01 || std::memcmp(p.b.data() + 4, "LVAL", 4) != 0 || !p.sound() ||
            !p.fits(row.size()))
            return std::nullopt;
        const int slot = p.add(row, 0);
        save(n, p);
        lvHint[col] = n;
        return RowId{n, static_cast<std::uint16_t>(slot)};
    };
    if (lvHint[col] != 0 && (c.lvOwned == 0 || mapHas(c.lvOwned, lvHint[col])))
        if (auto id = tryPage(lvHint[col])) return *id;
    if (c.lvFree != 0) {
        std::vector<std::uint32_t> candidates = st->usageMapPages(c.lvFree);
        int tries = 0;
        for (auto it = candidates.rbegin(); it != candidates.rend() && tries < kCandidates;
             ++it, ++tries) {
            if (*it == lvHint[col] || !mapHas(c.lvOwned, *it)) continue;
            if (auto id = tryPage(*it)) return *id;
            DataPage p = load(*it);
            if (p.freeSpace() < 64 || p.rows() >= kMaxRows) mapSet(c.lvFree, *it, false);
        }
    }
    const std::uint32_t n = newPage(true, c.lvOwned, c.lvFree);
    auto id = tryPage(n);
    if (!id) msg::raise(msg::TooBig);
    return *id;
}

// A row given up: zero length, flagged deleted, its bytes back to the page.
void TableWriter::Impl::freeRowAt(std::uint32_t page, int slot, std::uint32_t freeMapRef) {
    DataPage p = load(page);
    if (!p.sound()) corrupt(st->path, "第 " + std::to_string(page) + " 页的记录布局无效");
    p.replace(slot, {});
    p.setFlags(slot, kDeleted | kOverflow);
    save(page, p);
    if (freeMapRef != 0 && !mapHas(freeMapRef, page)) mapSet(freeMapRef, page, true);
}

// ---- long values -------------------------------------------------------------------

Bytes TableWriter::Impl::writeLong(std::size_t col, const Bytes& data) {
    Bytes head;
    if (data.size() <= kMaxLvalRow) {
        const RowId at = placeLval(col, data);
        append32(head, static_cast<std::uint32_t>(data.size()) | 0x40000000u);
        append32(head, pointerOf(at.page, at.slot));
        append32(head, 0);
        return head;
    }
    // A chain, written from its end so each piece knows the next.
    std::uint32_t next = 0;
    const std::size_t pieces = (data.size() + kChunk - 1) / kChunk;
    for (std::size_t k = pieces; k-- > 0;) {
        const std::size_t from = k * kChunk, to = std::min(data.size(), from + kChunk);
        Bytes piece;
        piece.reserve(4 + to - from);
        append32(piece, next);
        piece.insert(piece.end(), data.begin() + static_cast<long>(from),
                     data.begin() + static_cast<long>(to));
        const RowId at = placeLval(col, piece);
        next = pointerOf(at.page, at.slot);
    }
    append32(head, static_cast<std::uint32_t>(data.size()));
    append32(head, next);
    append32(head, 0);
    return head;
}

void TableWriter::Impl::freeLong(const Bytes& field) {
    if (field.size() < 12) return;
    const std::uint32_t head = get32(field, 0);
    const std::uint32_t kind = head & 0xC0000000u;
    if (kind == 0x80000000u || (head & 0x3FFFFFFFu) == 0) return;
    std::uint32_t ptr = get32(field, 4);
    for (int guard = 0; ptr != 0 && guard < 1 << 20; ++guard) {
        const std::uint32_t page = ptr >> 8;
        const int slot = static_cast<int>(ptr & 0xFF);
        DataPage p = load(page);
        if (p.b[0] != 0x01 || std::memcmp(p.b.data() + 4, "LVAL", 4) != 0 || slot >= p.rows() ||
            (p.entry(slot) & kDeleted))
            return; // already gone or not ours: leave it
        std::uint32_t next = 0;
        if (kind == 0 && p.end(slot) - p.start(slot) >= 4) next = get32(p.b, p.start(slot));
        std::uint32_t freeRef = 0;
        for (const auto& c : cols)
            if (isLong(c) && c.lvOwned != 0 && mapHas(c.lvOwned, page)) freeRef = c.lvFree;
        freeRowAt(page, slot, freeRef);
        if (kind != 0) break;
        ptr = next;
    }
}

// The raw bytes of each column's value in a stored row; nullopt when null.
std::vector<std::optional<Bytes>> TableWriter::Impl::rawFields(const Bytes& row) const {
    std::vector<std::optional<Bytes>> out(cols.size());
    if (row.size() < 3) return out;
    const std::uint32_t rowCols = get16(row, 0);
    const std::size_t maskSize = (rowCols + 7) / 8;
    if (row.size() < 2 + maskSize) return out;
    const std::size_t maskStart = row.size() - maskSize;
    std::size_t varCount = 0;
    std::vector<std::size_t> off;
    if (varCols > 0 && maskStart >= 4) {
        varCount = get16(row, maskStart - 2);
        if (maskStart < 4 + 2 * varCount) return out;
        for (std::size_t k = 0; k <= varCount; ++k)
            off.push_back(get16(row, maskStart - 4 - 2 * k));
    }
    for (std::size_t i = 0; i < cols.size(); ++i) {
        const Column& c = cols[i];
        if (c.fixed || static_cast<std::uint32_t>(c.number) >= rowCols) continue;
        if (!((row[maskStart + c.number / 8] >> (c.number % 8)) & 1)) continue;
        if (static_cast<std::size_t>(c.varIndex) >= varCount) continue;
        const std::size_t s = off[c.varIndex], e = off[c.varIndex + 1];
        if (s > e || e > row.size()) continue;
        out[i] = Bytes(row.begin() + static_cast<long>(s), row.begin() + static_cast<long>(e));
    }
    return out;
}

// ---- values to bytes ------------------------------------------------------------------

Bytes TableWriter::Impl::fieldBytes(std::size_t i, const Value& v) {
    const ColumnDef& cd = def.columns[i];
    const Column& c = cols[i];
    const std::string& name = cd.name;
    auto mismatch = [&]() -> Bytes { msg::raise(msg::TypeMismatch, {name, v.toText()}); };
    auto number = [&]() -> double {
        switch (v.kind()) {
        case Value::Kind::Boolean:
            return v.toBool() ? -1 : 0;
        case Value::Kind::Integer:
        case Value::Kind::Double:
        case Value::Kind::Currency:
            return v.toDouble();
        case Value::Kind::Text: {
            double d = 0;
            if (parseDouble(v.text(), d)) return d;
            if (v.text() == "True" || v.text() == "true") return -1;
            if (v.text() == "False" || v.text() == "false") return 0;
            break;
        }
        default:
            break;
        }
        msg::raise(msg::TypeMismatch, {name, v.toText()});
    };
    auto integral = [&](double lo, double hi) -> std::int64_t {
        if (v.kind() == Value::Kind::Integer) {
            const std::int64_t n = v.toInt();
            if (n < lo || n > hi) msg::raise(msg::OutOfRange, {name, v.toText()});
            return n;
        }
        const double r = std::nearbyint(number());
        if (!(r >= lo && r <= hi)) msg::raise(msg::OutOfRange, {name, v.toText()});
        return static_cast<std::int64_t>(r);
    };
    Bytes out;
    switch (c.jetType) {
    case coltype::Byte:
        out.push_back(static_cast<std::uint8_t>(integral(0, 255)));
        break;
    case coltype::Integer:
        append16(out, static_cast<std::uint16_t>(integral(-32768, 32767)));
        break;
    case coltype::Long:
        append32(out, static_cast<std::uint32_t>(integral(-2147483648.0, 2147483647.0)));
        break;
    case coltype::Currency: {
        std::int64_t scaled = 0;
        bool fits = true;
        if (v.kind() == Value::Kind::Currency) {
            scaled = v.currencyScaled();
        } else if (v.kind() == Value::Kind::Integer || v.kind() == Value::Kind::Boolean) {
            const std::int64_t n =
                v.kind() == Value::Kind::Boolean ? (v.toBool() ? -1 : 0) : v.toInt();
            fits = !__builtin_mul_overflow(n, std::int64_t{10000}, &scaled);
        } else if (!(v.kind() == Value::Kind::Text && Value::parseCurrency(v.text(), scaled))) {
            const double d = number();
            fits = Value::currencyFits(d);
            if (fits) scaled = Value::currencyFromDouble(d).currencyScaled();
        }
        if (!fits) msg::raise(msg::OutOfRange, {name, v.toText()});
        appendRaw(out, scaled);
        break;
    }
    case coltype::Single: {
        const double d = number();
        if (std::fabs(d) > 3.4028234663852886e38) msg::raise(msg::OutOfRange, {name, v.toText()});
        appendRaw(out, static_cast<float>(d));
        break;
    }
    case coltype::Double:
        appendRaw(out, number());
        break;
    case coltype::DateTime: {
        double days = 0;
        if (v.kind() == Value::Kind::Double || v.kind() == Value::Kind::Integer) {
            days = v.toDouble();
        } else if (v.kind() == Value::Kind::Date || v.kind() == Value::Kind::Text) {
            if (!dateDays(v.text(), days)) msg::raise(msg::NotADate, {name, v.toText()});
        } else {
            msg::raise(msg::NotADate, {name, v.toText()});
        }
        if (!(days >= -657435.0 && days <= 2958466.0))
            msg::raise(msg::NotADate, {name, v.toText()});
        appendRaw(out, days);
        break;
    }
    case coltype::Guid: {
        if (v.kind() == Value::Kind::Bytes && v.bytes().size() == 16) return v.bytes();
        const std::string hex = guidKey(v.toText());
        if (hex.empty()) mismatch();
        std::uint8_t raw[16];
        for (int k = 0; k < 16; ++k)
            raw[k] = static_cast<std::uint8_t>(std::stoi(hex.substr(2 * k, 2), nullptr, 16));
        // The first three groups are little-endian numbers.
        const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
        for (int k = 0; k < 16; ++k)
            out.push_back(raw[order[k]]);
        break;
    }
    case coltype::Numeric: {
        std::string text;
        if (v.kind() == Value::Kind::Text) {
            text = v.text();
        } else {
            const double d = number();
            char buf[400];
            std::snprintf(buf, sizeof buf, "%.*f", std::min(cd.scale + 2, 30), d);
            text = buf;
        }
        bool negative = false;
        unsigned __int128 mag = 0;
        if (!parseDecimal(text, cd.scale, negative, mag)) {
            double d = 0;
            if (v.kind() == Value::Kind::Text && !parseDouble(text, d)) mismatch();
            msg::raise(msg::OutOfRange, {name, v.toText()});
        }
        unsigned __int128 limit = 1;
        for (int k = 0; k < std::max(1, cd.precision); ++k)
            limit *= 10;
        if (mag >= limit) msg::raise(msg::OutOfRange, {name, v.toText()});
        out.push_back(negative ? 0x80 : 0x00);
        for (int w = 3; w >= 0; --w)
            append32(out, static_cast<std::uint32_t>(mag >> (32 * w)));
        break;
    }
    case coltype::Text: {
        const std::u16string t = utf16Of(v.toText());
        if (c.length > 0 && t.size() * 2 > static_cast<std::size_t>(c.length))
            msg::raise(msg::TooLong, {name, std::to_string(c.length / 2)});
        return encodeText(t, c.compressible);
    }
    case coltype::Memo:
        return encodeText(utf16Of(v.toText()), c.compressible);
    case coltype::Binary:
    case coltype::Ole: {
        if (v.kind() == Value::Kind::Bytes) {
            out = v.bytes();
        } else if (v.kind() == Value::Kind::Text) {
            out.assign(v.text().begin(), v.text().end());
        } else {
            mismatch();
        }
        if (c.jetType == coltype::Binary && c.length > 0 &&
            out.size() > static_cast<std::size_t>(c.length))
            msg::raise(msg::TooLong, {name, std::to_string(c.length)});
        break;
    }
    default:
        mismatch();
    }
    if (c.fixed && c.jetType != coltype::Boolean) out.resize(static_cast<std::size_t>(c.length), 0);
    return out;
}

// Builds a row's bytes; long values that do not stay in the row are written
// to long value pages. `keepLong` (updates) holds the stored field of each
// long value column whose value did not change, kept as it is.
Bytes TableWriter::Impl::encodeRow(const std::vector<Value>& values,
                                   const std::vector<Bytes>* keepLong, bool inserting,
                                   std::int64_t& autoValue, bool& autoGiven) {
    const std::size_t n = cols.size();
    if (values.size() != n)
        msg::raise(msg::BadArgument, {"表“" + def.name + "”的字段个数与所给的值个数不同"});
    Bytes mask((static_cast<std::size_t>(maxCols) + 7) / 8, 0);
    auto present = [&](int number) {
        mask[static_cast<std::size_t>(number) / 8] |= static_cast<std::uint8_t>(1u << (number % 8));
    };
    Bytes fixed(fixedSize, 0);
    std::vector<Bytes> var(static_cast<std::size_t>(varCols));
    std::vector<bool> varLong(static_cast<std::size_t>(varCols), false);
    std::vector<bool> varKept(static_cast<std::size_t>(varCols), false);
    std::vector<std::size_t> varCol(static_cast<std::size_t>(varCols), 0);
    autoGiven = false;
    for (std::size_t i = 0; i < n; ++i) {
        const Column& c = cols[i];
        const ColumnDef& cd = def.columns[i];
        Value v = values[i];
        if (c.jetType == coltype::Boolean) {
            bool on = false;
            if (!v.isNullOrEmpty()) {
                if (v.kind() == Value::Kind::Text) {
                    const std::string& t = v.text();
                    on = !(t == "False" || t == "false" || t == "FALSE" || t == "No" || t == "否" ||
                           t == "0" || t.empty());
                    double d = 0;
                    if (parseDouble(t, d)) on = d != 0;
                } else {
                    on = v.toDouble() != 0;
                }
            }
            if (on) present(c.number);
            continue;
        }
        if (c.longAuto) {
            if (v.isNullOrEmpty()) {
                if (inserting) {
                    v = Value(autoValue + 1);
                    autoValue += 1;
                    autoGiven = true;
                }
            } else {
                const std::int64_t given = v.toInt();
                if (given > autoValue) autoValue = given;
            }
        }
        if (c.guidAuto && v.isNullOrEmpty() && inserting) {
            static std::mt19937_64 random{std::random_device{}()};
            Bytes g(16);
            for (auto& b : g)
                b = static_cast<std::uint8_t>(random());
            g[7] = static_cast<std::uint8_t>((g[7] & 0x0F) | 0x40); // version 4
            g[8] = static_cast<std::uint8_t>((g[8] & 0x3F) | 0x80);
            v = Value(std::move(g));
        }
        const bool kept = keepLong && isLong(c) && !(*keepLong)[i].empty();
        if (v.isNullOrEmpty() && !kept) {
            if (cd.required && !cd.autoNumber) msg::raise(msg::Required, {cd.name});
            continue;
        }
        present(c.number);
        if (kept) {
            var[static_cast<std::size_t>(c.varIndex)] = (*keepLong)[i];
            varKept[static_cast<std::size_t>(c.varIndex)] = true;
            varLong[static_cast<std::size_t>(c.varIndex)] = true;
            varCol[static_cast<std::size_t>(c.varIndex)] = i;
            continue;
        }
        Bytes b = fieldBytes(i, v);
        if (c.fixed) {
            if (static_cast<std::size_t>(c.fixedOffset) + b.size() > fixed.size())
                corrupt(st->path, "表“" + def.name + "”字段“" + cd.name + "”的位置无效");
            std::copy(b.begin(), b.end(), fixed.begin() + c.fixedOffset);
        } else {
            if (c.varIndex >= varCols)
                corrupt(st->path, "表“" + def.name + "”字段“" + cd.name + "”的位置无效");
            var[static_cast<std::size_t>(c.varIndex)] = std::move(b);
            varLong[static_cast<std::size_t>(c.varIndex)] = isLong(c);
            varCol[static_cast<std::size_t>(c.varIndex)] = i;
        }
    }
    // The row's size with every long value as its 12-byte header; then long
    // values move in while they are short and the row has room.
    std::size_t size = 2 + fixedSize + mask.size();
    if (varCols > 0) size += 2 + 2 * static_cast<std::size_t>(varCols) + 2;
    for (std::size_t k = 0; k < var.size(); ++k)
        size += varLong[k] && !varKept[k] ? 12 : var[k].size();
    if (size > kMaxRow) msg::raise(msg::TooBig);
    for (std::size_t k = 0; k < var.size(); ++k) {
        if (!varLong[k] || varKept[k]) continue;
        Bytes head;
        if (var[k].size() <= kInlineLong && size + var[k].size() <= kMaxRow) {
            append32(head, static_cast<std::uint32_t>(var[k].size()) | 0x80000000u);
            append32(head, 0);
            append32(head, 0);
            head.insert(head.end(), var[k].begin(), var[k].end());
            size += var[k].size();
        } else {
            head = writeLong(varCol[k], var[k]);
        }
        var[k] = std::move(head);
    }
    Bytes row;
    row.reserve(size + 4);
    append16(row, static_cast<std::uint32_t>(maxCols));
    row.insert(row.end(), fixed.begin(), fixed.end());
    if (varCols > 0) {
        std::vector<std::size_t> off;
        for (const auto& b : var) {
            off.push_back(row.size());
            row.insert(row.end(), b.begin(), b.end());
        }
        append16(row, static_cast<std::uint32_t>(row.size())); // end of the variable data
        for (std::size_t k = off.size(); k-- > 0;)
            append16(row, static_cast<std::uint32_t>(off[k]));
        append16(row, static_cast<std::uint32_t>(varCols));
    } else {
        // Room for an overflow pointer should the row ever move.
        while (row.size() + mask.size() < 4)
            row.push_back(0);
    }
    row.insert(row.end(), mask.begin(), mask.end());
    return row;
}

// ---- locating rows ------------------------------------------------------------------

bool TableWriter::Impl::locate(RowId id, RowId& at, bool& moved) {
    DataPage p = load(id.page);
    if (p.b[0] != 0x01 || get32(p.b, 4) != def.tdefPage || id.slot >= p.rows())
        msg::raise(msg::BadArgument, {"记录位置不属于表“" + def.name + "”"});
    if (p.entry(id.slot) & kDeleted) return false;
    at = id;
    moved = false;
    for (int hop = 0; hop < 16; ++hop) {
        DataPage q = hop == 0 ? p : load(at.page);
        if (q.b[0] != 0x01 || at.slot >= q.rows())
            corrupt(st->path, "记录的溢出指针指向了不存在的记录");
        if (!(q.entry(at.slot) & kOverflow)) return true;
        // The row moved; this slot only holds where to.
        if (q.end(at.slot) - q.start(at.slot) < 4)
            corrupt(st->path, "记录的溢出指针无效（第 " + std::to_string(at.page) + " 页）");
        const std::uint32_t ptr = get32(q.b, q.start(at.slot));
        at = RowId{ptr >> 8, static_cast<std::uint16_t>(ptr & 0xFF)};
        moved = true;
    }
    corrupt(st->path, "记录的溢出指针链过长或形成了循环");
}

void TableWriter::Impl::setCounts(long rowDelta, std::optional<std::int64_t> autoValue) {
    DataPage t = load(def.tdefPage);
    const std::uint32_t rows = get32(t.b, 16);
    put32(t.b, 16, static_cast<std::uint32_t>(std::max<long long>(0, rows + rowDelta)));
    if (autoValue && *autoValue > static_cast<std::int32_t>(get32(t.b, 20)))
        put32(t.b, 20, static_cast<std::uint32_t>(*autoValue));
    save(def.tdefPage, t);
}

// ---- the public side --------------------------------------------------------------

namespace {

// One row change: atomic inside the store's transaction (a failure undoes
// what it wrote), and its own transaction when none is open.
class Change {
public:
    Change(PageStore& s, bool savepoint) : store_(s) {
        if (!store_.inTransaction()) {
            store_.begin();
            own_ = true;
        }
        if (savepoint) level_ = store_.savepoint();
    }
    void done() {
        if (level_ >= 0) store_.releaseSavepoint(level_);
        if (own_) store_.commit();
        finished_ = true;
    }
    ~Change() {
        if (finished_) return;
        try {
            if (level_ >= 0) {
                store_.rollbackTo(level_);
                store_.releaseSavepoint(level_);
            }
            if (own_) store_.rollback();
        } catch (...) {
        }
    }
    Change(const Change&) = delete;
    Change& operator=(const Change&) = delete;

private:
    PageStore& store_;
    int level_ = -1;
    bool own_ = false;
    bool finished_ = false;
};

} // namespace

TableWriter::TableWriter(std::shared_ptr<PageStore> store, TableDef def)
    : impl_(std::make_unique<Impl>()) {
    Impl& m = *impl_;
    m.store = std::move(store);
    m.def = std::move(def);
    m.st = m.store->file().state_;
    const HeaderInfo& h = m.st->header;
    if (h.jetVersion != 4 || h.ace) {
        m.unsupported = "只有 Access 2000–2003 格式（Jet 4）的 .mdb 文件可以修改";
        return;
    }
    if (m.def.system) {
        m.unsupported = "“" + m.def.name + "”是系统表，只能由数据库引擎修改";
        return;
    }
    for (const auto& c : m.def.columns) {
        switch (c.jetType) {
        case coltype::Boolean:
        case coltype::Byte:
        case coltype::Integer:
        case coltype::Long:
        case coltype::Currency:
        case coltype::Single:
        case coltype::Double:
        case coltype::DateTime:
        case coltype::Binary:
        case coltype::Text:
        case coltype::Ole:
        case coltype::Memo:
        case coltype::Guid:
        case coltype::Numeric:
            break;
        default:
            m.unsupported = "表“" + m.def.name + "”的字段“" + c.name + "”的类型不能在原处修改";
            return;
        }
        if (c.calculated) {
            m.unsupported = "表“" + m.def.name + "”的字段“" + c.name + "”是计算字段";
            return;
        }
    }
    m.parseDefinition();
    m.indexes = std::make_unique<IndexMaintainer>(m.store, m.def);
    m.unsupported = m.indexes->unsupportedReason();
    m.unsupportedByIndexes = !m.unsupported.empty();
}

TableWriter::~TableWriter() = default;

std::string TableWriter::unsupportedReason() const {
    return impl_->unsupported;
}

void TableWriter::setOwnSavepoints(bool on) {
    impl_->ownSavepoints = on;
}

void TableWriter::deferIndexWrites(bool on) {
    if (impl_->indexes) impl_->indexes->deferWrites(on);
}

std::optional<std::int64_t> TableWriter::lastAutoNumber() const {
    return impl_->lastAuto;
}

namespace {
[[noreturn]] void refuse(const std::string& table, const std::string& why, bool byIndexes) {
    if (byIndexes) throw EngineError(msg::UnsupportedSortOrder.number, why);
    msg::raise(msg::JetTableReadOnly, {table, why});
}
} // namespace

RowId TableWriter::insert(const std::vector<Value>& values) {
    Impl& m = *impl_;
    if (!m.unsupported.empty()) refuse(m.def.name, m.unsupported, m.unsupportedByIndexes);
    Change change(*m.store, m.ownSavepoints);
    DataPage t = m.load(m.def.tdefPage);
    std::int64_t autoValue = static_cast<std::int32_t>(get32(t.b, 20));
    const std::int64_t before = autoValue;
    bool autoGiven = false;
    const Bytes row = m.encodeRow(values, nullptr, true, autoValue, autoGiven);
    const std::vector<Value> decoded = m.decode(row);
    m.indexes->checkUnique(decoded, std::nullopt);
    const RowId id = m.placeRow(row, 0);
    m.indexes->add(decoded, id);
    m.setCounts(1, autoValue != before ? std::optional<std::int64_t>(autoValue) : std::nullopt);
    change.done();
    m.lastAuto = autoGiven ? std::optional<std::int64_t>(autoValue) : std::nullopt;
    return id;
}

void TableWriter::update(RowId id, const std::vector<Value>& values) {
    Impl& m = *impl_;
    if (!m.unsupported.empty()) refuse(m.def.name, m.unsupported, m.unsupportedByIndexes);
    Change change(*m.store, m.ownSavepoints);
    RowId at;
    bool moved = false;
    if (!m.locate(id, at, moved)) msg::raise(msg::RowDeleted);
    DataPage home = m.load(at.page);
    const Bytes oldRow = home.row(at.slot);
    const std::vector<Value> oldValues = m.decode(oldRow);
    const auto oldFields = m.rawFields(oldRow);
    // Long values that stay the same keep their stored form.
    std::vector<Bytes> keep(m.cols.size());
    for (std::size_t i = 0; i < m.cols.size(); ++i)
        if (m.isLong(m.cols[i]) && oldFields[i] && !values[i].isNullOrEmpty() &&
            oldValues[i] == values[i] && !oldFields[i]->empty())
            keep[i] = *oldFields[i];
    DataPage t = m.load(m.def.tdefPage);
    std::int64_t autoValue = static_cast<std::int32_t>(get32(t.b, 20));
    const std::int64_t before = autoValue;
    bool autoGiven = false;
    const Bytes row = m.encodeRow(values, &keep, false, autoValue, autoGiven);
    const std::vector<Value> decoded = m.decode(row);
    m.indexes->checkUnique(decoded, id);
    // Long values replaced or cleared give their pages back.
    for (std::size_t i = 0; i < m.cols.size(); ++i)
        if (m.isLong(m.cols[i]) && oldFields[i] && keep[i].empty()) m.freeLong(*oldFields[i]);

    home = m.load(at.page);
    if (!home.sound()) corrupt(m.st->path, "第 " + std::to_string(at.page) + " 页的记录布局无效");
    if (!home.replace(at.slot, row)) {
        // No room where the data is: it moves, flagged so scans pass it by,
        // and the header row points to it.
        const RowId to = m.placeRow(row, kDeleted);
        if (moved) m.freeRowAt(at.page, at.slot, 0);
        DataPage h = m.load(id.page);
        Bytes ptr;
        append32(ptr, pointerOf(to.page, to.slot));
        h.replace(id.slot, ptr);
        h.setFlags(id.slot, kOverflow);
        m.save(id.page, h);
        if (!moved && !m.mapHas(m.freeMap, id.page)) m.mapSet(m.freeMap, id.page, true);
    } else {
        m.save(at.page, home);
    }
    m.indexes->remove(oldValues, id);
    m.indexes->add(decoded, id);
    if (autoValue != before) m.setCounts(0, autoValue);
    change.done();
}

void TableWriter::remove(RowId id) {
    Impl& m = *impl_;
    if (!m.unsupported.empty()) refuse(m.def.name, m.unsupported, m.unsupportedByIndexes);
    Change change(*m.store, m.ownSavepoints);
    RowId at;
    bool moved = false;
    if (!m.locate(id, at, moved)) msg::raise(msg::RowDeleted);
    const Bytes oldRow = m.load(at.page).row(at.slot);
    const std::vector<Value> oldValues = m.decode(oldRow);
    const auto oldFields = m.rawFields(oldRow);
    m.indexes->remove(oldValues, id);
    for (std::size_t i = 0; i < m.cols.size(); ++i)
        if (m.isLong(m.cols[i]) && oldFields[i]) m.freeLong(*oldFields[i]);
    if (moved) m.freeRowAt(at.page, at.slot, m.freeMap);
    m.freeRowAt(id.page, id.slot, m.freeMap);
    m.setCounts(-1, std::nullopt);
    change.done();
}

} // namespace engine::jet
