// Text order through ICU: the "zh" collation (pinyin for Chinese, the root
// order for every other script) at secondary strength.

#include "JetCollation.h"

#include "JetFunctions.h"
#include "JetText.h"

#include "engine/sqlite/Sqlite3.h"

#include <unicode/ucol.h>
#include <unicode/uscript.h>
#include <unicode/uset.h>
#include <unicode/ustring.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace engine::sql::collation {

namespace {

struct CollatorClose {
    void operator()(UCollator* c) const { ucol_close(c); }
};

UCollator* openCollator() {
    for (const char* locale : {"zh", "root", ""}) {
        UErrorCode status = U_ZERO_ERROR;
        UCollator* c = ucol_open(locale, &status);
        if (U_FAILURE(status) || !c) continue;
        ucol_setStrength(c, UCOL_SECONDARY);
        // Western letters before Chinese, as the PRC sort order has them
        // (the zh collation alone puts Han characters first).
        const int32_t order[] = {USCRIPT_LATIN, USCRIPT_GREEK, USCRIPT_CYRILLIC, USCRIPT_HAN};
        ucol_setReorderCodes(c, order, 4, &status);
        if (U_FAILURE(status)) {
            ucol_close(c);
            continue;
        }
        return c;
    }
    return nullptr;
}

// A collator is not shared between threads: the background keyset builder
// sorts while the grid reads.
UCollator* collator() {
    thread_local std::unique_ptr<UCollator, CollatorClose> c(openCollator());
    return c.get();
}

// ---- primary weights read from the library ---------------------------------
//
// Most comparisons are decided at the first character where two texts
// differ: a plain ASCII character or a Chinese character in both. For such
// characters the library gives one collation element each, so the order of
// the two texts is the order of those two elements' primary weights. The
// weights are read from the collator itself (a one-character sort key), so
// the shortcut cannot disagree with it; characters for which that reasoning
// does not hold (part of a contraction, expanding to several elements,
// ignorable) are marked and left to the library.

constexpr std::uint32_t kUnknown = 0, kNotFast = 1;

// Characters a weight may be kept for: printable ASCII and the CJK
// ideographs (extension A and the unified block).
bool weighable(char32_t c) {
    return (c >= 0x20 && c < 0x7F) || (c >= 0x3400 && c <= 0x9FFF);
}
constexpr std::size_t kTableSize = 0xA000;

struct Weights {
    std::atomic<std::uint32_t> table[kTableSize]; // by code point; kUnknown until read
    std::once_flag excluded;
};
Weights& weights() {
    static Weights w{};
    return w;
}

// Characters that take part in a contraction or a prefix rule, or expand:
// their elements depend on their neighbours or are several.
void markExcluded(UCollator* c, Weights& w) {
    UErrorCode status = U_ZERO_ERROR;
    USet* contractions = uset_openEmpty();
    USet* expansions = uset_openEmpty();
    ucol_getContractionsAndExpansions(c, contractions, expansions, true, &status);
    auto mark = [&](const USet* set) {
        const int32_t items = uset_getItemCount(set);
        for (int32_t k = 0; k < items; ++k) {
            UChar32 lo = 0, hi = 0;
            UChar str[64];
            UErrorCode st = U_ZERO_ERROR;
            const int32_t len = uset_getItem(set, k, &lo, &hi, str, 64, &st);
            if (len == 0) { // a range of code points
                for (UChar32 cp = lo; cp <= hi && cp < static_cast<UChar32>(kTableSize); ++cp)
                    w.table[cp].store(kNotFast, std::memory_order_release);
                continue;
            }
            for (int32_t j = 0; j < len && j < 64; ++j) // each unit of a string
                if (str[j] < kTableSize) w.table[str[j]].store(kNotFast, std::memory_order_release);
        }
    };
    if (U_SUCCESS(status)) {
        mark(contractions);
        mark(expansions);
    } else {
        for (auto& e : w.table)
            e.store(kNotFast, std::memory_order_relaxed);
    }
    uset_close(contractions);
    uset_close(expansions);
}

// The primary weight of one character as a number that orders as the weight
// does, or kNotFast.
std::uint32_t readWeight(UCollator* c, char32_t cp) {
    const UChar u = static_cast<UChar>(cp);
    uint8_t key[32];
    const int32_t n = ucol_getSortKey(c, &u, 1, key, sizeof key);
    if (n <= 0 || n > static_cast<int32_t>(sizeof key)) return kNotFast;
    // The primary level runs up to the level separator 01.
    std::uint32_t packed = 0;
    int bytes = 0;
    for (; bytes < n && key[bytes] != 0x01; ++bytes) {
        if (bytes == 4) return kNotFast;
        packed |= static_cast<std::uint32_t>(key[bytes]) << (24 - 8 * bytes);
    }
    if (bytes == 0 || packed <= kNotFast) return kNotFast; // ignorable at primary level
    return packed;
}

std::uint32_t weightOf(UCollator* c, char32_t cp) {
    if (!weighable(cp)) return kNotFast;
    Weights& w = weights();
    std::uint32_t v = w.table[cp].load(std::memory_order_acquire);
    if (v != kUnknown) return v;
    // Weights are stored only after the excluded characters are marked.
    std::call_once(w.excluded, [&] { markExcluded(c, w); });
    v = w.table[cp].load(std::memory_order_acquire);
    if (v == kUnknown) {
        v = readWeight(c, cp);
        w.table[cp].store(v, std::memory_order_release);
    }
    return v;
}

// Two characters of equal primary weight are equal at the secondary level
// too where they are one ASCII letter in two cases (verified once).
bool caseTwins(char32_t x, char32_t y) {
    static const bool lettersFold = [] {
        UCollator* c = collator();
        if (!c) return false;
        for (UChar ch = 'a'; ch <= 'z'; ++ch) {
            const UChar up = static_cast<UChar>(ch - 32);
            if (ucol_strcoll(c, &ch, 1, &up, 1) != UCOL_EQUAL) return false;
        }
        return true;
    }();
    if (!lettersFold || x >= 0x80 || y >= 0x80) return false;
    auto low = [](char32_t ch) { return (ch >= 'A' && ch <= 'Z') ? ch + 32 : ch; };
    return low(x) == low(y);
}

// Decodes one UTF-8 character at i (a well-formed one of up to three
// bytes, which covers every weighable character); 0 otherwise.
char32_t decodeAt(std::string_view s, std::size_t i, std::size_t& len) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        len = 1;
        return b0;
    }
    if ((b0 & 0xE0) == 0xC0 && i + 1 < s.size()) {
        const auto b1 = static_cast<unsigned char>(s[i + 1]);
        if ((b1 & 0xC0) != 0x80) return 0;
        len = 2;
        return (static_cast<char32_t>(b0 & 0x1F) << 6) | (b1 & 0x3F);
    }
    if ((b0 & 0xF0) == 0xE0 && i + 2 < s.size()) {
        const auto b1 = static_cast<unsigned char>(s[i + 1]);
        const auto b2 = static_cast<unsigned char>(s[i + 2]);
        if ((b1 & 0xC0) != 0x80 || (b2 & 0xC0) != 0x80) return 0;
        len = 3;
        const char32_t cp = (static_cast<char32_t>(b0 & 0x0F) << 12) |
                            (static_cast<char32_t>(b1 & 0x3F) << 6) | (b2 & 0x3F);
        return cp < 0x800 ? 0 : cp;
    }
    return 0;
}

// The character after position i (of length len) cannot change the
// elements of the one at i: there is none, or it has a weight of its own.
bool plainAfter(UCollator* c, std::string_view s, std::size_t i, std::size_t len) {
    if (i + len >= s.size()) return true;
    std::size_t nextLen = 0;
    const char32_t next = decodeAt(s, i + len, nextLen);
    if (next == 0 && static_cast<unsigned char>(s[i + len]) != 0) return false;
    return next < 0x80 || weightOf(c, next) > kNotFast;
}

} // namespace

namespace {

// Sort keys of recently compared short texts. A column with few distinct
// values (cities, categories) is compared over and over with the same
// texts; comparing their keys is a byte comparison. Direct-mapped by hash,
// one per thread like the collator.
struct KeyCache {
    static constexpr std::size_t kSlots = 1024;
    static constexpr std::size_t kMaxText = 12; // bytes: short names, cities, categories
    struct Slot {
        std::string text;
        std::string key;
        bool used = false;
    };
    std::vector<Slot> slots = std::vector<Slot>(kSlots);
    // Texts of many distinct values would only miss: after a round of
    // mostly misses the cache rests for a while.
    int hits = 0, misses = 0, resting = 0;
};

std::size_t slotOf(std::string_view s) {
    std::size_t h = 1469598103934665603ULL;
    for (unsigned char ch : s)
        h = (h ^ ch) * 1099511628211ULL;
    return h % KeyCache::kSlots;
}

// The collation key of s, or nullptr when it cannot be made.
const std::string* sortKey(UCollator* c, KeyCache& cache, std::size_t slot, std::string_view s) {
    KeyCache::Slot& e = cache.slots[slot];
    if (e.used && e.text == s) {
        ++cache.hits;
        return &e.key;
    }
    ++cache.misses;
    UChar buf[KeyCache::kMaxText];
    int32_t len = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8(buf, KeyCache::kMaxText, &len, s.data(), static_cast<int32_t>(s.size()), &status);
    if (U_FAILURE(status) || len > static_cast<int32_t>(KeyCache::kMaxText)) return nullptr;
    uint8_t key[512];
    const int32_t n = ucol_getSortKey(c, buf, len, key, sizeof key);
    if (n <= 0 || n > static_cast<int32_t>(sizeof key)) return nullptr;
    e.text.assign(s);
    e.key.assign(reinterpret_cast<const char*>(key), static_cast<std::size_t>(n));
    e.used = true;
    return &e.key;
}

} // namespace

int compareFull(std::string_view a, std::string_view b) {
    if (UCollator* c = collator()) {
        UErrorCode status = U_ZERO_ERROR;
        const UCollationResult r =
            ucol_strcollUTF8(c, a.data(), static_cast<int32_t>(a.size()), b.data(),
                             static_cast<int32_t>(b.size()), &status);
        if (U_SUCCESS(status)) return r == UCOL_LESS ? -1 : (r == UCOL_GREATER ? 1 : 0);
    }
    return text::compareNoCase(a, b);
}

namespace {

// Through the library, with the keys of short texts kept.
int compareSlow(std::string_view a, std::string_view b) {
    if (UCollator* c = collator()) {
        thread_local KeyCache cache;
        if (cache.resting > 0) {
            --cache.resting;
        } else if (a.size() <= KeyCache::kMaxText && b.size() <= KeyCache::kMaxText) {
            if (cache.hits + cache.misses >= 512) {
                if (cache.misses > cache.hits) cache.resting = 1 << 18;
                cache.hits = cache.misses = 0;
            }
            const std::size_t sa = slotOf(a), sb = slotOf(b);
            if (sa != sb) {
                const std::string* ka = sortKey(c, cache, sa, a);
                const std::string* kb = ka ? sortKey(c, cache, sb, b) : nullptr;
                if (ka && kb) {
                    const int r = ka->compare(*kb);
                    return r < 0 ? -1 : (r > 0 ? 1 : 0);
                }
            }
        }
        UErrorCode status = U_ZERO_ERROR;
        const UCollationResult r =
            ucol_strcollUTF8(c, a.data(), static_cast<int32_t>(a.size()), b.data(),
                             static_cast<int32_t>(b.size()), &status);
        if (U_SUCCESS(status)) return r == UCOL_LESS ? -1 : (r == UCOL_GREATER ? 1 : 0);
    }
    return text::compareNoCase(a, b);
}

} // namespace

int compare(std::string_view a, std::string_view b) {
    // Most texts differ first at a plain ASCII character or a Chinese one
    // after an identical start ("客户12号" and "客户13号", "北京" and "上海"):
    // there the two characters' primary weights decide, without asking the
    // library to walk both texts.
    UCollator* c = collator();
    if (!c) return compareFull(a, b);
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    bool secondaryUnknown = false; // passed two different characters of equal weight
    std::size_t i = 0;
    while (i < n) {
        if (a[i] == b[i]) {
            ++i;
            continue;
        }
        // Back to the start of the character the first different byte is in;
        // the bytes before are the same in both texts.
        std::size_t at = i;
        while (at > 0 && (static_cast<unsigned char>(a[at]) & 0xC0) == 0x80)
            --at;
        std::size_t la = 0, lb = 0;
        const char32_t x = decodeAt(a, at, la), y = decodeAt(b, at, lb);
        if (x == 0 || y == 0) return compareSlow(a, b);
        const std::uint32_t wx = weightOf(c, x), wy = weightOf(c, y);
        if (wx <= kNotFast || wy <= kNotFast || !plainAfter(c, a, at, la) ||
            !plainAfter(c, b, at, lb))
            return compareSlow(a, b);
        if (wx != wy) return wx < wy ? -1 : 1;
        if (la != lb) return compareSlow(a, b);
        if (!caseTwins(x, y)) secondaryUnknown = true;
        i = at + la;
    }
    if (a.size() == b.size()) return secondaryUnknown ? compareSlow(a, b) : 0;
    // One is the start of the other: a longer text whose next character has
    // a weight of its own sorts after.
    const std::string_view& longer = a.size() > b.size() ? a : b;
    std::size_t len = 0;
    const char32_t next = decodeAt(longer, n, len);
    if (next != 0 && weightOf(c, next) > kNotFast && plainAfter(c, longer, n, len))
        return a.size() > b.size() ? 1 : -1;
    return compareSlow(a, b);
}

void reorderTextIndexes(sqlite3* db) {
    // user_version 1: text indexes are in this order.
    sqlite3_stmt* st = nullptr;
    int version = -1;
    if (sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
        version = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    if (version != 0 || sqlite3_db_readonly(db, "main") == 1) return;
    const std::string sql =
        std::string("REINDEX ") + JetTextCollation + "; PRAGMA user_version = 1";
    sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
}

} // namespace engine::sql::collation
