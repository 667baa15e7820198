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

#include <algorithm>
#include <array>
#include <cstdint>
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

// The order of plain ASCII characters, read from the collator itself: the
// printable characters are sorted by the library, and characters it finds
// equal (a letter in its two cases) share a rank. Before the ranks are used
// they are checked against the library on every text of one and two such
// characters: comparing ranks, then length, must give the library's order.
// Should that ever fail (another library version, another tailoring), the
// shortcut is off and every comparison goes to the library.
struct AsciiRanks {
    unsigned char rank[128] = {}; // 0: not a printable character
    bool usable = false;
};

// Sort key of a short UTF-16 text.
std::string keyOf(UCollator* c, const UChar* s, int32_t n) {
    uint8_t key[64];
    const int32_t len = ucol_getSortKey(c, s, n, key, sizeof key);
    if (len <= 0 || len > static_cast<int32_t>(sizeof key)) return {};
    return std::string(reinterpret_cast<const char*>(key), static_cast<std::size_t>(len));
}

AsciiRanks readAsciiRanks() {
    AsciiRanks r;
    UCollator* c = collator();
    if (!c) return r;
    std::vector<UChar> chars;
    for (UChar ch = 0x20; ch < 0x7F; ++ch)
        chars.push_back(ch);
    std::vector<std::string> single;
    for (UChar ch : chars)
        single.push_back(keyOf(c, &ch, 1));
    std::vector<std::size_t> order(chars.size());
    for (std::size_t k = 0; k < order.size(); ++k)
        order[k] = k;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t x, std::size_t y) { return single[x] < single[y]; });
    unsigned char next = 0;
    for (std::size_t k = 0; k < order.size(); ++k) {
        if (single[order[k]].empty()) return r;
        if (k == 0 || single[order[k]] != single[order[k - 1]]) ++next;
        r.rank[chars[order[k]]] = next;
    }
    // Every text of one or two printable characters, taken in rank order
    // (by first rank, the shorter first, then by second rank), must be in
    // the library's order, equal exactly where the ranks are.
    std::vector<std::vector<UChar>> byRank(next + 1u);
    for (UChar ch : chars)
        byRank[r.rank[ch]].push_back(ch);
    std::string previous;
    int previousGroup = -1; // texts of one group have the same ranks
    int group = 0;
    auto check = [&](const UChar* t, int32_t n) {
        std::string key = keyOf(c, t, n);
        const bool ok =
            !key.empty() &&
            (group == previousGroup ? key == previous : previous.empty() || previous < key);
        previous = std::move(key);
        previousGroup = group;
        return ok;
    };
    for (unsigned first = 1; first <= next; ++first) {
        ++group;
        for (UChar x : byRank[first])
            if (!check(&x, 1)) return r;
        for (unsigned second = 1; second <= next; ++second) {
            ++group;
            for (UChar x : byRank[first])
                for (UChar y : byRank[second]) {
                    const UChar pair[2] = {x, y};
                    if (!check(pair, 2)) return r;
                }
        }
    }
    r.usable = true;
    return r;
}

// The character at i is one of the unified ideographs (U+4E00..U+9FFF).
bool hanAt(std::string_view s, std::size_t i) {
    if (i + 2 >= s.size()) return false;
    const auto b0 = static_cast<unsigned char>(s[i]);
    const auto b1 = static_cast<unsigned char>(s[i + 1]);
    const auto b2 = static_cast<unsigned char>(s[i + 2]);
    if ((b1 & 0xC0) != 0x80 || (b2 & 0xC0) != 0x80) return false;
    return (b0 == 0xE4 && b1 >= 0xB8) || (b0 >= 0xE5 && b0 <= 0xE9);
}

const AsciiRanks& asciiRanks() {
    static const AsciiRanks ranks = readAsciiRanks();
    return ranks;
}

// Every Chinese character (the unified ideographs) sorts after every
// printable ASCII character ("客户12号" before "客户123号"), checked once
// against the library.
bool hanAfterAscii() {
    static const bool after = [] {
        UCollator* c = collator();
        const AsciiRanks& ranks = asciiRanks();
        if (!c || !ranks.usable) return false;
        UChar greatest = 0;
        for (UChar ch = 0x20; ch < 0x7F; ++ch)
            if (ranks.rank[ch] > ranks.rank[greatest]) greatest = ch;
        const std::string last = keyOf(c, &greatest, 1);
        for (UChar han = 0x4E00; han <= 0x9FFF; ++han)
            if (!(keyOf(c, &han, 1) > last)) return false;
        return true;
    }();
    return after;
}

// The unified ideograph at i, which hanAt() found there.
char32_t hanCodeAt(std::string_view s, std::size_t i) {
    return (static_cast<char32_t>(static_cast<unsigned char>(s[i]) & 0x0F) << 12) |
           (static_cast<char32_t>(static_cast<unsigned char>(s[i + 1]) & 0x3F) << 6) |
           static_cast<char32_t>(static_cast<unsigned char>(s[i + 2]) & 0x3F);
}

// The pinyin order of the unified ideographs, read from the collator once:
// each character's primary weights (its sort key up to the first level
// separator), sorted. A character whose weights are a prefix of another's,
// or that takes part in a contraction or a context of the tailoring, has
// rank 0 and is always left to the library. Two characters of different
// non-zero ranks decide a comparison where they are the first difference
// after an identical start: the primary level decides before any other, and
// these weights differ within the character.
struct HanRanks {
    static constexpr char32_t First = 0x4E00, Last = 0x9FFF;
    std::vector<std::uint16_t> rank; // by code point - First; empty: not usable
};

HanRanks readHanRanks() {
    HanRanks r;
    UCollator* c = collator();
    if (!c) return r;
    constexpr std::size_t count = HanRanks::Last - HanRanks::First + 1;
    std::vector<std::string> primary(count);
    for (std::size_t k = 0; k < count; ++k) {
        const auto ch = static_cast<UChar>(HanRanks::First + k);
        std::string key = keyOf(c, &ch, 1);
        const std::size_t end = key.find('\x01');
        if (key.empty() || end == 0 || end == std::string::npos) return r;
        key.resize(end);
        primary[k] = std::move(key);
    }
    std::vector<bool> unsafe(count, false);
    // Characters in a contraction or a prefix context of the tailoring.
    UErrorCode status = U_ZERO_ERROR;
    USet* contractions = uset_openEmpty();
    ucol_getContractionsAndExpansions(c, contractions, nullptr, true, &status);
    if (U_FAILURE(status)) {
        uset_close(contractions);
        return r;
    }
    UChar text[64];
    for (int32_t item = 0, items = uset_getItemCount(contractions); item < items; ++item) {
        UChar32 from = 0, to = 0;
        status = U_ZERO_ERROR;
        const int32_t len = uset_getItem(contractions, item, &from, &to, text, 64, &status);
        if (U_FAILURE(status)) {
            uset_close(contractions);
            return r;
        }
        if (len == 0) {
            for (UChar32 cp = std::max<UChar32>(from, HanRanks::First);
                 cp <= std::min<UChar32>(to, HanRanks::Last); ++cp)
                unsafe[static_cast<std::size_t>(cp) - HanRanks::First] = true;
            continue;
        }
        for (int32_t k = 0; k < len; ++k)
            if (text[k] >= HanRanks::First && text[k] <= HanRanks::Last)
                unsafe[text[k] - HanRanks::First] = true;
    }
    uset_close(contractions);

    std::vector<std::size_t> order(count);
    for (std::size_t k = 0; k < count; ++k)
        order[k] = k;
    std::sort(order.begin(), order.end(),
              [&](std::size_t x, std::size_t y) { return primary[x] < primary[y]; });
    // Sorted, a text that is the start of others comes just before the
    // first of them.
    for (std::size_t k = 0; k + 1 < count; ++k) {
        const std::string& here = primary[order[k]];
        const std::string& next = primary[order[k + 1]];
        if (here.size() < next.size() && next.compare(0, here.size(), here) == 0)
            unsafe[order[k]] = unsafe[order[k + 1]] = true;
    }
    r.rank.assign(count, 0);
    std::uint16_t next = 0;
    for (std::size_t k = 0; k < count; ++k) {
        if (k == 0 || primary[order[k]] != primary[order[k - 1]]) ++next;
        if (!unsafe[order[k]]) r.rank[order[k]] = next;
    }
    return r;
}

const HanRanks& hanRanks() {
    static const HanRanks ranks = readHanRanks();
    return ranks;
}

// The order of a and b where their first different bytes are at i, both
// non-ASCII, and everything before compares equal: decided by the ranks of
// two different Chinese characters when both are there. 2 when the library
// has to decide.
int compareHan(std::string_view a, std::string_view b, std::size_t i) {
    // Back to the start of the character: the bytes before i are the same
    // in both texts, and so is the character's first byte.
    std::size_t start = i;
    while (start > 0 && start + 3 > i && (static_cast<unsigned char>(a[start]) & 0xC0) == 0x80)
        --start;
    if (!hanAt(a, start) || !hanAt(b, start)) return 2;
    const HanRanks& ranks = hanRanks();
    if (ranks.rank.empty()) return 2;
    const std::uint16_t ra = ranks.rank[hanCodeAt(a, start) - HanRanks::First];
    const std::uint16_t rb = ranks.rank[hanCodeAt(b, start) - HanRanks::First];
    if (ra == 0 || rb == 0 || ra == rb) return 2;
    return ra < rb ? -1 : 1;
}

// The character after an ASCII one could still change its weight only if it
// were a combining mark or the like, which is never ASCII nor Chinese.
bool plainAfter(std::string_view s, std::size_t i) {
    return i + 1 >= s.size() || static_cast<unsigned char>(s[i + 1]) < 0x80 || hanAt(s, i + 1);
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

UCollator* textCollator() {
    return collator();
}

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
[[gnu::noinline]] int compareSlow(std::string_view a, std::string_view b) {
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

namespace {

// compare() from the first different byte at i, where at least one of the
// two is ASCII. Kept out of line so that the common quick answers (equal
// texts, two different non-ASCII characters) stay cheap.
[[gnu::noinline]] int compareFromAscii(std::string_view a, std::string_view b, std::size_t i) {
    const AsciiRanks& ranks = asciiRanks();
    if (!ranks.usable) return compareSlow(a, b);
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (; i < n; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x == y) continue;
        if (x >= 0x80 && y >= 0x80) {
            const int r = compareHan(a, b, i);
            return r != 2 ? r : compareSlow(a, b);
        }
        if (x >= 0x80 || y >= 0x80) {
            // An ASCII character against a Chinese one (the bytes before are
            // the same, so both start a character here).
            const bool asciiFirst = x < 0x80;
            const std::string_view& ascii = asciiFirst ? a : b;
            const std::string_view& other = asciiFirst ? b : a;
            if (ranks.rank[asciiFirst ? x : y] != 0 && plainAfter(ascii, i) && hanAt(other, i) &&
                hanAfterAscii())
                return asciiFirst ? -1 : 1;
            return compareSlow(a, b);
        }
        const unsigned char rx = ranks.rank[x], ry = ranks.rank[y];
        if (rx == 0 || ry == 0 || !plainAfter(a, i) || !plainAfter(b, i)) return compareSlow(a, b);
        if (rx != ry) return rx < ry ? -1 : 1;
    }
    if (a.size() == b.size()) {
        // Equal apart from the case of ASCII letters.
        return 0;
    }
    // One is the start of the other: a longer text with a printable ASCII
    // character next sorts after.
    const std::string_view& longer = a.size() > b.size() ? a : b;
    const auto next = static_cast<unsigned char>(longer[n]);
    if (next < 0x80 && ranks.rank[next] != 0 && plainAfter(longer, n))
        return a.size() > b.size() ? 1 : -1;
    return compareSlow(a, b);
}

} // namespace

int compare(std::string_view a, std::string_view b) {
    // Most texts differ first at a plain ASCII character after an identical
    // start ("客户12号" and "客户13号"): there the characters' ranks give the
    // collation's answer without asking the library.
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    std::size_t i = 0;
    while (i < n && a[i] == b[i])
        ++i;
    if (i == n) {
        if (a.size() == b.size()) return 0; // identical
    } else if (static_cast<unsigned char>(a[i]) >= 0x80 &&
               static_cast<unsigned char>(b[i]) >= 0x80) {
        // Two different Chinese characters after an identical start ("北京"
        // and "上海", "客户甲" and "客户乙"): their pinyin ranks decide.
        const int r = compareHan(a, b, i);
        return r != 2 ? r : compareSlow(a, b);
    }
    return compareFromAscii(a, b, i);
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
