// Text order through ICU: the "zh" collation (pinyin for Chinese, the root
// order for every other script) at secondary strength.

#include "JetCollation.h"

#include "JetFunctions.h"
#include "JetText.h"

#include "engine/base/Ascii.h"
#include "engine/sqlite/Sqlite3.h"

#include <unicode/ucol.h>
#include <unicode/uscript.h>
#include <unicode/ustring.h>

#include <memory>
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

// Characters whose order the collation keeps as ASCII has it once letters
// are folded: blank < digits < letters, each with a single weight and no
// contraction with what follows.
bool simple(unsigned char c) {
    return c == ' ' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z');
}

unsigned char fold(unsigned char c) {
    return static_cast<unsigned char>(ascii::lower(static_cast<char>(c)));
}

// The character after a simple one could still change its weight only if
// it were a combining mark or the like, which is never ASCII.
bool plainAfter(std::string_view s, std::size_t i) {
    return i + 1 >= s.size() || static_cast<unsigned char>(s[i + 1]) < 0x80;
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
    // Most texts differ first at a plain ASCII letter or digit after an
    // identical start ("客户12号" and "客户13号"): there the collation's
    // answer is the folded ASCII order, without asking the library.
    std::size_t i = 0;
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (; i < n; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x == y) continue;
        if (x >= 0x80 || y >= 0x80) return compareSlow(a, b);
        const unsigned char fx = fold(x), fy = fold(y);
        if (fx == fy) continue;
        if (simple(fx) && simple(fy) && plainAfter(a, i) && plainAfter(b, i))
            return fx < fy ? -1 : 1;
        return compareSlow(a, b);
    }
    if (a.size() == b.size()) {
        // Equal apart from ASCII letter case, or identical.
        return 0;
    }
    // One is the start of the other: a longer text with a plain character
    // next sorts after.
    const std::string_view& longer = a.size() > b.size() ? a : b;
    const auto next = fold(static_cast<unsigned char>(longer[n]));
    if (simple(next) && plainAfter(longer, n)) return a.size() > b.size() ? 1 : -1;
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
