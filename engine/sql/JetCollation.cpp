// Text order through ICU: the "zh" collation (pinyin for Chinese, the root
// order for every other script) at secondary strength.

#include "JetCollation.h"

#include "JetFunctions.h"
#include "JetText.h"

#include "engine/sqlite/Sqlite3.h"

#include <unicode/ucol.h>
#include <unicode/uscript.h>

#include <memory>
#include <string>

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
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
}

// The character after a simple one could still change its weight only if
// it were a combining mark or the like, which is never ASCII.
bool plainAfter(std::string_view s, std::size_t i) {
    return i + 1 >= s.size() || static_cast<unsigned char>(s[i + 1]) < 0x80;
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
        if (x >= 0x80 || y >= 0x80) return compareFull(a, b);
        const unsigned char fx = fold(x), fy = fold(y);
        if (fx == fy) continue;
        if (simple(fx) && simple(fy) && plainAfter(a, i) && plainAfter(b, i))
            return fx < fy ? -1 : 1;
        return compareFull(a, b);
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
    return compareFull(a, b);
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
