// Jet's functions as SQLite functions. Values follow the engine's storage
// conventions: dates are text 'yyyy-MM-dd HH:mm:ss', booleans -1 / 0.
// Text functions count characters (code points), not bytes. Most functions
// give Null for a Null argument, as Jet's do.

#include "JetFunctions.h"

#include "JetCollation.h"
#include "JetDate.h"
#include "JetFormat.h"
#include "JetText.h"
#include "JetValues.h"

#include "engine/base/Messages.h"
#include "engine/sqlite/Sqlite3.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <ctime>
#include <mutex>
#include <random>
#include <string>
#include <vector>

namespace engine::sql {

namespace {

using values::Number;

// Failures carry their catalogue number in front of the text ("11|除数为零。"),
// which the engine reads back when the statement fails.
struct Failure {
    const msg::Message& message;
    const char* detail; // what the text says after the function's name
};
const Failure kTypeMismatch{msg::FunctionTypeMismatch, ""};
const Failure kBadCall{msg::BadCall, ""};
const Failure kOverflow{msg::Overflow, " 的结果超出范围"};
const Failure kDivZero{msg::DivisionByZero, ""};

void fail(sqlite3_context* ctx, const Failure& f, const char* what) {
    const std::string text = std::to_string(f.message.number) + "|" +
                             msg::format(f.message, {std::string(what) + f.detail});
    sqlite3_result_error(ctx, text.data(), static_cast<int>(text.size()));
}

bool isNull(sqlite3_value* v) {
    return sqlite3_value_type(v) == SQLITE_NULL;
}

void resultText(sqlite3_context* ctx, const std::string& s) {
    sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

void resultDate(sqlite3_context* ctx, const date::DateTime& dt, const char* fn) {
    if (!date::validRange(dt)) return fail(ctx, kOverflow, fn);
    resultText(ctx, date::canonical(dt));
}

void resultNumber(sqlite3_context* ctx, const Number& n) {
    if (n.isInt)
        sqlite3_result_int64(ctx, n.i);
    else
        sqlite3_result_double(ctx, n.d);
}

// Reads a numeric argument; on Null sets a Null result, on a bad value an
// error. Returns false when the caller must stop.
bool numArg(sqlite3_context* ctx, sqlite3_value* v, Number& n, const char* fn) {
    bool null;
    if (values::toNumber(v, n, null)) return true;
    if (null)
        sqlite3_result_null(ctx);
    else
        fail(ctx, kTypeMismatch, fn);
    return false;
}

bool intArg(sqlite3_context* ctx, sqlite3_value* v, long long& out, const char* fn) {
    Number n;
    if (!numArg(ctx, v, n, fn)) return false;
    const double d = n.isInt ? static_cast<double>(n.i) : values::roundHalfEven(n.d, 0);
    if (!n.isInt && (d > 9.2e18 || d < -9.2e18)) {
        fail(ctx, kOverflow, fn);
        return false;
    }
    out = n.isInt ? n.i : static_cast<long long>(d);
    return true;
}

bool dateArg(sqlite3_context* ctx, sqlite3_value* v, date::DateTime& dt, const char* fn) {
    bool null;
    if (values::toDate(v, dt, null)) return true;
    if (null)
        sqlite3_result_null(ctx);
    else
        fail(ctx, kTypeMismatch, fn);
    return false;
}

// A value as Jet's text functions read it: a date becomes its short form
// (Len, Left, &, CStr and LIKE all see "1994/8/4", not the stored text).
std::string textArg(sqlite3_value* v) {
    if (sqlite3_value_type(v) == SQLITE_TEXT) {
        std::string s = values::textOf(v);
        date::DateTime dt;
        if (values::looksLikeStoredDate(s) && date::parse(s, dt)) return format::dateText(dt);
        return s;
    }
    return values::textOf(v);
}

std::vector<char32_t> cps(sqlite3_value* v) {
    return text::toCodePoints(textArg(v));
}

// ---- operators the translator writes ------------------------------------

// a & b & ...: Null only when every part is Null.
void fnConcat(sqlite3_context* ctx, int argc, sqlite3_value** a) {
    bool allNull = true;
    std::string out;
    for (int i = 0; i < argc; ++i) {
        if (isNull(a[i])) continue;
        allNull = false;
        out += textArg(a[i]);
    }
    if (allNull) return sqlite3_result_null(ctx);
    resultText(ctx, out);
}

bool isTextValue(sqlite3_value* v) {
    const int t = sqlite3_value_type(v);
    return t == SQLITE_TEXT || t == SQLITE_BLOB;
}

bool storedDate(sqlite3_value* v, date::DateTime& dt) {
    if (!isTextValue(v)) return false;
    const std::string s = values::textOf(v);
    return values::looksLikeStoredDate(s) && date::parse(s, dt);
}

// One operand of + or -, copied out of SQLite so that a chain of them can be
// folded left to right inside one call (jet_addn) without nesting calls.
struct Operand {
    enum Kind { Null, Int, Real, Text } kind = Null;
    long long i = 0;
    double d = 0;
    std::string s;

    static Operand of(sqlite3_value* v) {
        Operand o;
        switch (sqlite3_value_type(v)) {
        case SQLITE_NULL:
            break;
        case SQLITE_INTEGER:
            o.kind = Int;
            o.i = sqlite3_value_int64(v);
            break;
        case SQLITE_FLOAT:
            o.kind = Real;
            o.d = sqlite3_value_double(v);
            break;
        default:
            o.kind = Text;
            o.s = values::textOf(v);
        }
        return o;
    }
    static Operand number(const Number& n) {
        Operand o;
        o.kind = n.isInt ? Int : Real;
        o.i = n.i;
        o.d = n.d;
        return o;
    }
    static Operand text(std::string t) {
        Operand o;
        o.kind = Text;
        o.s = std::move(t);
        return o;
    }
    bool storedDate(date::DateTime& dt) const {
        return kind == Text && values::looksLikeStoredDate(s) && date::parse(s, dt);
    }
    // As values::toNumber reads it: numeric text and date text count.
    bool toNumber(Number& n) const {
        switch (kind) {
        case Null:
            return false;
        case Int:
            n = Number{true, i, 0};
            return true;
        case Real:
            n = Number{false, 0, d};
            return true;
        case Text:
            break;
        }
        if (values::parseNumber(s, n)) return true;
        date::DateTime dt;
        if (!storedDate(dt)) return false;
        n = Number{false, 0, date::toSerial(dt)};
        return true;
    }
    // An empty text counts as 0 beside a number: it is what Nz(x) gives for
    // a Null, which Jet then adds as Empty.
    bool numberOrEmpty(Number& n) const {
        if (toNumber(n)) return true;
        if (kind == Text && s.empty()) {
            n = Number{};
            return true;
        }
        return false;
    }
    void result(sqlite3_context* ctx) const {
        switch (kind) {
        case Null:
            return sqlite3_result_null(ctx);
        case Int:
            return sqlite3_result_int64(ctx, i);
        case Real:
            return sqlite3_result_double(ctx, d);
        case Text:
            return resultText(ctx, s);
        }
    }
};

Operand sumOf(const Number& x, const Number& y, bool subtract) {
    if (x.isInt && y.isInt) {
        long long r;
        const bool overflow =
            subtract ? __builtin_sub_overflow(x.i, y.i, &r) : __builtin_add_overflow(x.i, y.i, &r);
        if (!overflow) return Operand::number(Number{true, r, 0});
    }
    return Operand::number(
        Number{false, 0, subtract ? x.asDouble() - y.asDouble() : x.asDouble() + y.asDouble()});
}

// A date moved by a number of days; false when it leaves Jet's date range.
bool shifted(const date::DateTime& dt, double days, Operand& out) {
    const auto secs = date::toSeconds(dt) + static_cast<long long>(std::llround(days * 86400.0));
    const date::DateTime moved = date::fromSeconds(secs);
    if (!date::validRange(moved)) return false;
    out = Operand::text(date::canonical(moved));
    return true;
}

// Jet's + and -: numbers add, two texts join (+ only), a date plus or minus
// a number is a date, a date minus a date is days. On failure `failure`
// names the catalogue entry and the result is left unset.
bool addOperands(const Operand& a, const Operand& b, bool subtract, Operand& out,
                 const Failure*& failure) {
    out = Operand{};
    if (a.kind == Operand::Null || b.kind == Operand::Null) return true;
    date::DateTime d1, d2;
    Number x, y;
    if (!subtract) {
        if (a.kind == Operand::Text && b.kind == Operand::Text) {
            out = Operand::text(a.s + b.s);
            return true;
        }
        if (a.storedDate(d1) && b.toNumber(y)) {
            failure = &kOverflow;
            return shifted(d1, y.asDouble(), out);
        }
        if (b.storedDate(d2) && a.toNumber(x)) {
            failure = &kOverflow;
            return shifted(d2, x.asDouble(), out);
        }
    } else if (a.storedDate(d1)) {
        if (b.storedDate(d2)) {
            out = Operand::number(
                Number{false, 0,
                       static_cast<double>(date::toSeconds(d1) - date::toSeconds(d2)) / 86400.0});
            return true;
        }
        if (b.toNumber(y)) {
            failure = &kOverflow;
            return shifted(d1, -y.asDouble(), out);
        }
    }
    if (!a.numberOrEmpty(x) || !b.numberOrEmpty(y)) {
        failure = &kTypeMismatch;
        return false;
    }
    out = sumOf(x, y, subtract);
    return true;
}

void addOrSub(sqlite3_context* ctx, sqlite3_value** a, bool subtract) {
    Operand out;
    const Failure* failure = nullptr;
    if (!addOperands(Operand::of(a[0]), Operand::of(a[1]), subtract, out, failure))
        return fail(ctx, *failure, subtract ? "-" : "+");
    out.result(ctx);
}

void fnAdd(sqlite3_context* ctx, int, sqlite3_value** a) {
    addOrSub(ctx, a, false);
}

void fnSub(sqlite3_context* ctx, int, sqlite3_value** a) {
    addOrSub(ctx, a, true);
}

// jet_addn(ops, a0, a1, ..., an): a0 op1 a1 op2 ... an, left to right, where
// ops holds one '+' or '-' per operator. Long chains of + over text or dates
// are written this way so that their length does not nest calls.
void fnAddN(sqlite3_context* ctx, int argc, sqlite3_value** a) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(a[0]));
    const std::string ops(p ? p : "", static_cast<std::size_t>(sqlite3_value_bytes(a[0])));
    if (argc < 2 || ops.size() != static_cast<std::size_t>(argc - 2))
        return fail(ctx, kBadCall, "+");
    Operand acc = Operand::of(a[1]);
    for (int k = 2; k < argc; ++k) {
        const bool subtract = ops[static_cast<std::size_t>(k - 2)] == '-';
        Operand next;
        const Failure* failure = nullptr;
        if (!addOperands(acc, Operand::of(a[k]), subtract, next, failure))
            return fail(ctx, *failure, subtract ? "-" : "+");
        acc = std::move(next);
    }
    acc.result(ctx);
}

// MOD and \ round both operands to whole numbers first.
void fnMod(sqlite3_context* ctx, int, sqlite3_value** a) {
    long long x, y;
    if (!intArg(ctx, a[0], x, "Mod") || !intArg(ctx, a[1], y, "Mod")) return;
    if (y == 0) return fail(ctx, kDivZero, "");
    if (y == -1) return sqlite3_result_int64(ctx, 0);
    sqlite3_result_int64(ctx, x % y);
}

void fnIntDiv(sqlite3_context* ctx, int, sqlite3_value** a) {
    long long x, y;
    if (!intArg(ctx, a[0], x, "\\") || !intArg(ctx, a[1], y, "\\")) return;
    if (y == 0) return fail(ctx, kDivZero, "");
    if (y == -1) return sqlite3_result_int64(ctx, x == LLONG_MIN ? x : -x);
    sqlite3_result_int64(ctx, x / y);
}

// ---- Currency: exact counts of 1/10,000 -----------------------------------

constexpr double kCountLimit = 9223372036854775807.0;

// A count from a number: whole numbers exactly, others rounded half to even.
bool toCount(const Number& n, long long& out) {
    if (n.isInt) return !__builtin_mul_overflow(n.i, 10000LL, &out);
    const double d = n.d * 10000.0;
    if (!std::isfinite(d) || d >= kCountLimit || d < -kCountLimit) return false;
    out = static_cast<long long>(std::nearbyint(d));
    return true;
}

// jet_cscale(x [, column]): an amount as a Currency count.
void fnCScale(sqlite3_context* ctx, int argc, sqlite3_value** a) {
    Number n;
    if (!numArg(ctx, a[0], n, "CCur")) return;
    long long c = 0;
    if (!toCount(n, c)) {
        if (argc > 1) {
            const std::string text =
                std::to_string(msg::OutOfRange.number) + "|" +
                msg::format(msg::OutOfRange, {values::textOf(a[1]), values::textOf(a[0])});
            return sqlite3_result_error(ctx, text.data(), static_cast<int>(text.size()));
        }
        return fail(ctx, kOverflow, "CCur");
    }
    sqlite3_result_int64(ctx, c);
}

// Reads a count; a REAL (a count that overflowed in SQLite) is refused.
bool countArg(sqlite3_context* ctx, sqlite3_value* v, long long& out, bool& null) {
    null = isNull(v);
    if (null) {
        sqlite3_result_null(ctx);
        return false;
    }
    Number n;
    bool isNullValue;
    if (!values::toNumber(v, n, isNullValue)) {
        fail(ctx, kTypeMismatch, "Currency");
        return false;
    }
    if (n.isInt) {
        out = n.i;
        return true;
    }
    if (!(n.d < kCountLimit && n.d >= -kCountLimit)) {
        fail(ctx, kOverflow, "货币运算");
        return false;
    }
    out = static_cast<long long>(std::nearbyint(n.d));
    return true;
}

template <bool Subtract> void fnCAdd(sqlite3_context* ctx, int, sqlite3_value** a) {
    long long x, y, r;
    bool null;
    if (!countArg(ctx, a[0], x, null) || !countArg(ctx, a[1], y, null)) return;
    const bool overflow =
        Subtract ? __builtin_sub_overflow(x, y, &r) : __builtin_add_overflow(x, y, &r);
    if (overflow) return fail(ctx, kOverflow, "货币运算");
    sqlite3_result_int64(ctx, r);
}

// A count times a whole number.
void fnCMul(sqlite3_context* ctx, int, sqlite3_value** a) {
    long long x, r;
    bool null;
    Number y;
    if (!countArg(ctx, a[0], x, null) || !numArg(ctx, a[1], y, "*")) return;
    if (y.isInt) {
        if (__builtin_mul_overflow(x, y.i, &r)) return fail(ctx, kOverflow, "货币运算");
        return sqlite3_result_int64(ctx, r);
    }
    const double d = static_cast<double>(x) * y.d;
    if (!(d < kCountLimit && d >= -kCountLimit)) return fail(ctx, kOverflow, "货币运算");
    sqlite3_result_int64(ctx, static_cast<long long>(std::nearbyint(d)));
}

// Two counts multiplied: the product of the amounts, rounded half to even.
void fnCMulC(sqlite3_context* ctx, int, sqlite3_value** a) {
    long long x, y;
    bool null;
    if (!countArg(ctx, a[0], x, null) || !countArg(ctx, a[1], y, null)) return;
    const __int128 p = static_cast<__int128>(x) * y;
    __int128 q = p / 10000, rem = p % 10000;
    if (rem < 0) rem = -rem;
    if (rem > 5000 || (rem == 5000 && (q % 2 != 0))) q += p < 0 ? -1 : 1;
    if (q > LLONG_MAX || q < LLONG_MIN) return fail(ctx, kOverflow, "货币运算");
    sqlite3_result_int64(ctx, static_cast<long long>(q));
}

// Jet's /: never truncates (7 / 2 is 3.5), and a zero divisor is a failure,
// not a Null.
void fnDiv(sqlite3_context* ctx, int, sqlite3_value** a) {
    Number x, y;
    if (!numArg(ctx, a[0], x, "/") || !numArg(ctx, a[1], y, "/")) return;
    if (y.asDouble() == 0) return fail(ctx, kDivZero, "");
    const double r = x.asDouble() / y.asDouble();
    if (!std::isfinite(r)) return fail(ctx, kOverflow, "/");
    sqlite3_result_double(ctx, r);
}

void fnPow(sqlite3_context* ctx, int, sqlite3_value** a) {
    Number x, y;
    if (!numArg(ctx, a[0], x, "^") || !numArg(ctx, a[1], y, "^")) return;
    const double r = std::pow(x.asDouble(), y.asDouble());
    if (std::isnan(r)) return fail(ctx, kBadCall, "^");
    if (!std::isfinite(r)) return fail(ctx, kOverflow, "^");
    sqlite3_result_double(ctx, r);
}

// ---- LIKE -----------------------------------------------------------------

struct PatternItem {
    enum Kind { Any, One, Digit, Class, Literal } kind = Literal;
    char32_t ch = 0;
    bool negate = false;
    std::vector<std::pair<char32_t, char32_t>> ranges;
};

// ansiOnly (ALIKE): only % and _ are wildcards; *, ? and # are letters.
std::vector<PatternItem> compilePattern(const std::vector<char32_t>& p, bool ansiOnly = false) {
    std::vector<PatternItem> out;
    for (std::size_t i = 0; i < p.size(); ++i) {
        const char32_t c = p[i];
        PatternItem it;
        if (ansiOnly && (c == '*' || c == '?' || c == '#')) {
            it.ch = c;
        } else if (c == '*' || c == '%') {
            if (!out.empty() && out.back().kind == PatternItem::Any) continue;
            it.kind = PatternItem::Any;
        } else if (c == '?' || c == '_') {
            it.kind = PatternItem::One;
        } else if (c == '#') {
            it.kind = PatternItem::Digit;
        } else if (c == '[') {
            std::size_t j = i + 1;
            PatternItem cls;
            cls.kind = PatternItem::Class;
            if (j < p.size() && p[j] == '!') {
                cls.negate = true;
                ++j;
            }
            bool closed = false;
            bool first = true;
            for (; j < p.size(); ++j) {
                if (p[j] == ']' && !first) {
                    closed = true;
                    break;
                }
                first = false;
                char32_t lo = text::lower(p[j]), hi = lo;
                if (j + 2 < p.size() && p[j + 1] == '-' && p[j + 2] != ']') {
                    hi = text::lower(p[j + 2]);
                    j += 2;
                }
                cls.ranges.emplace_back(lo, hi);
            }
            if (closed && (p[i + 1] != ']')) {
                if (cls.ranges.empty() && !cls.negate) continue; // [] matches nothing extra
                out.push_back(cls);
                i = j;
                continue;
            }
            if (closed && i + 1 < p.size() && p[i + 1] == ']') {
                // "[]" alone: Jet reads it as an empty text.
                i = i + 1;
                continue;
            }
            it.ch = '[';
        } else {
            it.ch = text::lower(c);
        }
        out.push_back(it);
    }
    return out;
}

bool itemMatches(const PatternItem& it, char32_t c) {
    switch (it.kind) {
    case PatternItem::One:
        return true;
    case PatternItem::Digit:
        return c >= '0' && c <= '9';
    case PatternItem::Literal:
        return text::lower(c) == it.ch;
    case PatternItem::Class: {
        const char32_t lc = text::lower(c);
        bool in = false;
        for (const auto& [lo, hi] : it.ranges)
            if (lc >= lo && lc <= hi) in = true;
        return in != it.negate;
    }
    case PatternItem::Any:
        return true;
    }
    return false;
}

bool likeMatch(const std::vector<PatternItem>& pat, const std::vector<char32_t>& s) {
    std::size_t i = 0, j = 0;
    std::size_t star = std::string::npos, mark = 0;
    while (i < s.size()) {
        if (j < pat.size() && pat[j].kind == PatternItem::Any) {
            star = j++;
            mark = i;
        } else if (j < pat.size() && itemMatches(pat[j], s[i])) {
            ++i;
            ++j;
        } else if (star != std::string::npos) {
            j = star + 1;
            i = ++mark;
        } else {
            return false;
        }
    }
    while (j < pat.size() && pat[j].kind == PatternItem::Any)
        ++j;
    return j == pat.size();
}

// LIKE matches the stored text of a date, as SQLite's own LIKE does for a
// pattern written in the statement, so both ways give the same rows.
template <bool AnsiOnly> void fnLike(sqlite3_context* ctx, int, sqlite3_value** a) {
    if (isNull(a[0]) || isNull(a[1])) return sqlite3_result_null(ctx);
    struct Cached {
        std::string source;
        std::vector<PatternItem> items;
    };
    auto* cached = static_cast<Cached*>(sqlite3_get_auxdata(ctx, 1));
    const std::string pattern = values::textOf(a[1]);
    if (!cached || cached->source != pattern) {
        cached = new Cached{pattern, compilePattern(text::toCodePoints(pattern), AnsiOnly)};
        sqlite3_set_auxdata(ctx, 1, cached, [](void* p) { delete static_cast<Cached*>(p); });
        cached = static_cast<Cached*>(sqlite3_get_auxdata(ctx, 1));
        if (!cached) {
            // SQLite could not keep it: compile for this row only.
            const auto items = compilePattern(text::toCodePoints(pattern), AnsiOnly);
            return sqlite3_result_int(
                ctx, likeMatch(items, text::toCodePoints(values::textOf(a[0]))) ? -1 : 0);
        }
    }
    sqlite3_result_int(ctx,
                       likeMatch(cached->items, text::toCodePoints(values::textOf(a[0]))) ? -1 : 0);
}

// ---- IIf, Nz, IsNull (the translator writes these inline too) -------------

bool truthy(sqlite3_value* v) {
    Number n;
    bool null;
    return values::toNumber(v, n, null) && n.asDouble() != 0;
}

void fnIIf(sqlite3_context* ctx, int, sqlite3_value** a) {
    sqlite3_result_value(ctx, truthy(a[0]) ? a[1] : a[2]);
}

void fnNz(sqlite3_context* ctx, int n, sqlite3_value** a) {
    if (!isNull(a[0])) return sqlite3_result_value(ctx, a[0]);
    if (n > 1) return sqlite3_result_value(ctx, a[1]);
    sqlite3_result_text(ctx, "", 0, SQLITE_STATIC);
}

void fnIsNull(sqlite3_context* ctx, int, sqlite3_value** a) {
    sqlite3_result_int(ctx, isNull(a[0]) ? -1 : 0);
}

// ---- text -----------------------------------------------------------------

void fnLeft(sqlite3_context* ctx, int, sqlite3_value** a) {
    long long n;
    if (isNull(a[0])) return sqlite3_result_null(ctx);
    if (!intArg(ctx, a[1], n, "Left")) return;
    if (n < 0) return fail(ctx, kBadCall, "Left");
    const auto s = cps(a[0]);
    resultText(ctx, text::fromCodePoints(s, 0, static_cast<std::size_t>(n)));
}

void fnRight(sqlite3_context* ctx, int, sqlite3_value** a) {
    long long n;
    if (isNull(a[0])) return sqlite3_result_null(ctx);
    if (!intArg(ctx, a[1], n, "Right")) return;
    if (n < 0) return fail(ctx, kBadCall, "Right");
    const auto s = cps(a[0]);
    const std::size_t k = static_cast<std::size_t>(n) >= s.size() ? 0 : s.size() - n;
    resultText(ctx, text::fromCodePoints(s, k));
}

void fnMid(sqlite3_context* ctx, int argc, sqlite3_value** a) {
    long long start, len = -1;
    if (isNull(a[0])) return sqlite3_result_null(ctx);
    if (!intArg(ctx, a[1], start, "Mid")) return;
    if (argc > 2 && !intArg(ctx, a[2], len, "Mid")) return;
    if (start < 1 || (argc > 2 && len < 0)) return fail(ctx, kBadCall, "Mid");
    const auto s = cps(a[0]);
    resultText(ctx,
               text::fromCodePoints(s, static_cast<std::size_t>(start - 1),
                                    len < 0 ? std::string::npos : static_cast<std::size_t>(len)));
}

void fnLen(sqlite3_context* ctx, int, sqlite3_value** a) {
    if (isNull(a[0])) return sqlite3_result_null(ctx);
    if (sqlite3_value_type(a[0]) == SQLITE_BLOB)
        return sqlite3_result_int(ctx, sqlite3_value_bytes(a[0]));
    sqlite3_result_int64(ctx, static_cast<long long>(text::length(textArg(a[0]))));
}

std::vector<char32_t> folded(std::vector<char32_t> s, bool fold) {
    if (fold)
        for (auto& c : s)
            c = text::lower(c);
    return s;
}

// Position (0-based) of needle in hay from 'from', or npos.
std::size_t findCps(const std::vector<char32_t>& hay, const std::vector<char32_t>& needle,
                    std::size_t from) {
    if (needle.empty()) return from <= hay.size() ? from : std::string::npos;
    for (std::size_t i = from; i + needle.size() <= hay.size(); ++i) {
        bool ok = true;
        for (std::size_t k = 0; k < needle.size() && ok; ++k)
            ok = hay[i + k] == needle[k];
        if (ok) return i;
    }
    return std::string::npos;
}

bool compareArg(sqlite3_context* ctx, sqlite3_value* v, bool& textCompare, const char* fn) {
    long long mode;
    if (isNull(v)) {
        fail(ctx, kBadCall, fn);
        return false;
    }
    if (!intArg(ctx, v, mode, fn)) return false;
    textCompare = mode != 0;
    return true;
}

// InStr([start,] text, search [, compare]). Without compare, letters are
// compared without case, as in a query of an Access database.
void fnInStr(sqlite3_context* ctx, int argc, sqlite3_value** a) {
    long long start = 1;
    int k = 0;
    bool textCompare = true;
    if (argc >= 3) {
        if (isNull(a[0])) return fail(ctx, kBadCall, "InStr");
        if (!intArg(ctx, a[0], start, "InStr")) return;
        k = 1;
        if (start < 1) return fail(ctx, kBadCall, "InStr");
    }
    if (argc == 4 && !compareArg(ctx, a[3], textCompare, "InStr")) return;
    if (isNull(a[k]) || isNull(a[k + 1])) return sqlite3_result_null(ctx);
    const auto hay = folded(cps(a[k]), textCompare);
    const auto needle = folded(cps(a[k + 1]), textCompare);
    if (static_cast<std::size_t>(start - 1) > hay.size()) return sqlite3_result_int(ctx, 0);
    const std::size_t pos = findCps(hay, needle, static_cast<std::size_t>(start - 1));
    sqlite3_result_int64(ctx, pos == std::string::npos ? 0 : static_cast<long long>(pos + 1));
}

void fnInStrRev(sqlite3_context* ctx, int argc, sqlite3_value** a) {
    if (isNull(a[0]) || isNull(a[1])) return sqlite3_result_null(ctx);
    long long start = -1;
    bool textCompare = true;
    if (argc >= 3 && !intArg(ctx, a[2], start, "InStrRev")) return;
    if (argc == 4 && !compareArg(ctx, a[3], textCompare, "InStrRev")) return;
    if (start == 0 || start < -1) return fail(ctx, kBadCall, "InStrRev");
    const auto hay = folded(cps(a[0]), textCompare);
    const auto needle = folded(cps(a[1]), textCompare);
    const std::size_t limit = start < 0 ? hay.size() : std::min<std::size_t>(hay.size(), start);
    if (needle.empty()) return sqlite3_result_int64(ctx, static_cast<long long>(limit));
    long long found = 0;
    for (std::size_t i = 0; i + needle.size() <= limit; ++i) {
        bool ok = true;
        for (std::size_t k = 0; k < needle.size() && ok; ++k)
            ok = hay[i + k] == needle[k];
        if (ok) found = static_cast<long long>(i) + 1;
    }
    sqlite3_result_int64(ctx, found);
}

void fnUCase(sqlite3_context* ctx, int, sqlite3_value** a) {
    if (isNull(a[0])) return sqlite3_result_null(ctx);
    resultText(ctx, text::toUpper(textArg(a[0])));
}

void fnLCase(sqlite3_context* ctx, int, sqlite3_value** a) {
    if (isNull(a[0])) return sqlite3_result_null(ctx);
    resultText(ctx, text::toLower(textArg(a[0])));
}

bool isBlank(char32_t c) {
    return c == ' ' || c == 0x3000;
}

void trimImpl(sqlite3_context* ctx, sqlite3_value* v, bool left, bool right) {
    if (isNull(v)) return sqlite3_result_null(ctx);
    const auto s = cps(v);
    std::size_t b = 0, e = s.size();
    if (left)
        while (b < e && isBlank(s[b]))
            ++b;
    if (right)
        while (e > b && isBlank(s[e - 1]))
            --e;
    resultText(ctx, text::fromCodePoints(s, b, e - b));
}

void fnTrim(sqlite3_context* ctx, int, sqlite3_value** a) {
    trimImpl(ctx, a[0], true, true);
}
void fnLTrim(sqlite3_context* ctx, int, sqlite3_value** a) {
    trimImpl(ctx, a[0], true, false);
}
void fnRTrim(sqlite3_context* ctx, int, sqlite3_value** a) {
    trimImpl(ctx, a[0], false, true);
}

void fnSpace(sqlite3_context* ctx, int, sqlite3_value** a) {
    long long n;
    if (!intArg(ctx, a[0], n, "Space")) return;
    if (n < 0 || n > 1000000) return fail(ctx, kBadCall, "Space");
    resultText(ctx, std::string(static_cast<std::size_t>(n), ' '));
}

void fnString(sqlite3_context* ctx, int, sqlite3_value** a) {
    long long n;
    if (isNull(a[1])) return sqlite3_result_null(ctx);
    if (!intArg(ctx, a[0], n, "String")) return;
    if (n < 0 || n > 1000000) return fail(ctx, kBadCall, "String");
    char32_t ch;
    const int t = sqlite3_value_type(a[1]);
    if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) {
        ch = static_cast<char32_t>(sqlite3_value_int64(a[1]) & 0xFFFF);
    } else {
        const auto s = cps(a[1]);
        if (s.empty()) return fail(ctx, kBadCall, "String");
        ch = s[0];
    }
    std::string one;
    text::append(one, ch);
    std::string out;
    for (long long k = 0; k < n; ++k)
        out += one;
    resultText(ctx, out);
}

// Replace(text, find, with [, start [, count [, compare]]]): the result
// starts at 'start', as VB's does.
void fnReplace(sqlite3_context* ctx, int argc, sqlite3_value** a) {
    if (isNull(a[0])) return sqlite3_result_null(ctx);
    if (isNull(a[1]) || isNull(a[2])) return fail(ctx, kBadCall, "Replace");
    long long start = 1, count = -1;
    bool textCompare = true;
    if (argc > 3 && !intArg(ctx, a[3], start, "Replace")) return;
    if (argc > 4 && !intArg(ctx, a[4], count, "Replace")) return;
    if (argc > 5 && !compareArg(ctx, a[5], textCompare, "Replace")) return;
    if (start < 1 || count < -1) return fail(ctx, kBadCall, "Replace");
    const auto s = cps(a[0]);
    const auto find = cps(a[1]);
    const auto with = cps(a[2]);
    if (static_cast<std::size_t>(start - 1) >= s.size()) return resultText(ctx, "");
    std::vector<char32_t> src(s.begin() + (start - 1), s.end());
    if (find.empty() || count == 0) return resultText(ctx, text::fromCodePoints(src));
    const auto hay = folded(src, textCompare);
    const auto needle = folded(find, textCompare);
    std::vector<char32_t> out;
    std::size_t i = 0;
    long long done = 0;
    while (i < src.size()) {
        std::size_t pos = (count < 0 || done < count) ? findCps(hay, needle, i) : std::string::npos;
        if (pos == std::string::npos) {
            out.insert(out.end(), src.begin() + i, src.end());
            break;
        }
        out.insert(out.end(), src.begin() + i, src.begin() + pos);
        out.insert(out.end(), with.begin(), with.end());
        i = pos + needle.size();
        ++done;
    }
    resultText(ctx, text::fromCodePoints(out));
}

void fnStrComp(sqlite3_context* ctx, int argc, sqlite3_value** a) {
    if (isNull(a[0]) || isNull(a[1])) return sqlite3_result_null(ctx);
    bool textCompare = true;
    if (argc > 2 && !compareArg(ctx, a[2], textCompare, "StrComp")) return;
    const std::string x = textArg(a[0]), y = textArg(a[1]);
    int r;
    if (textCompare) {
        r = collation::compare(x, y);
    } else {
        const auto cx = text::toCodePoints(x), cy = text::toCodePoints(y);
        r = cx < cy ? -1 : (cy < cx ? 1 : 0);
    }
    sqlite3_result_int(ctx, r < 0 ? -1 : (r > 0 ? 1 : 0));
}

void fnStrReverse(sqlite3_context* ctx, int, sqlite3_value** a) {
    if (isNull(a[0])) return sqlite3_result_null(ctx);
    auto s = cps(a[0]);
    std::reverse(s.begin(), s.end());
    resultText(ctx, text::fromCodePoints(s));
}

void fnAsc(sqlite3_context* ctx, int, sqlite3_value** a) {
    if (isNull(a[0])) return sqlite3_result_null(ctx);
    const auto s = cps(a[0]);
    if (s.empty()) return fail(ctx, kBadCall, "Asc");
    sqlite3_result_int64(ctx, static_cast<long long>(s[0]));
}

void fnChr(sqlite3_context* ctx, int, sqlite3_value** a) {
    long long n;
    if (!intArg(ctx, a[0], n, "Chr")) return;
    if (n < 0 || n > 0x10FFFF || (n >= 0xD800 && n <= 0xDFFF)) return fail(ctx, kBadCall, "Chr");
    std::string out;
    text::append(out, static_cast<char32_t>(n));
    sqlite3_result_text(ctx, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

void fnHex(sqlite3_context* ctx, int, sqlite3_value** a) {
    long long n;
    if (!intArg(ctx, a[0], n, "Hex")) return;
    char buf[32];
    if (n >= INT32_MIN && n <= UINT32_MAX)
        std::snprintf(buf, sizeof buf, "%X", static_cast<unsigned>(n));
    else
        std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(n));
    resultText(ctx, buf);
}

void fnFormat(sqlite3_context* ctx, int argc, sqlite3_value** a) {
    if (isNull(a[0])) return sqlite3_result_null(ctx);
    std::string fmt = argc > 1 && !isNull(a[1]) ? values::textOf(a[1]) : std::string();
    long long firstDay = 1;
    if (argc > 2 && !isNull(a[2]) && !intArg(ctx, a[2], firstDay, "Format")) return;
    std::string out;
    if (!format::formatValue(a[0], fmt, static_cast<int>(firstDay), out))
        return fail(ctx, kTypeMismatch, "Format");
    resultText(ctx, out);
}

// ---- dates -----------------------------------------------------------------

date::DateTime localNow() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    date::DateTime dt;
    dt.year = tm.tm_year + 1900;
    dt.month = tm.tm_mon + 1;
    dt.day = tm.tm_mday;
    dt.hour = tm.tm_hour;
    dt.minute = tm.tm_min;
    dt.second = std::min(tm.tm_sec, 59);
    return dt;
}

void fnNow(sqlite3_context* ctx, int, sqlite3_value**) {
    resultDate(ctx, localNow(), "Now");
}

void fnDate(sqlite3_context* ctx, int, sqlite3_value**) {
    date::DateTime dt = localNow();
    dt.hour = dt.minute = dt.second = 0;
    resultDate(ctx, dt, "Date");
}

void fnTime(sqlite3_context* ctx, int, sqlite3_value**) {
    const date::DateTime now = localNow();
    date::DateTime dt;
    dt.hour = now.hour;
    dt.minute = now.minute;
    dt.second = now.second;
    resultDate(ctx, dt, "Time");
}

template <int Part> void fnDatePiece(sqlite3_context* ctx, int, sqlite3_value** a) {
    static const char* const kNames[] = {"Year", "Month", "Day", "Hour", "Minute", "Second"};
    date::DateTime dt;
    if (!dateArg(ctx, a[0], dt, kNames[Part])) return;
    const int v[] = {dt.year, dt.month, dt.day, dt.hour, dt.minute, dt.second};
    sqlite3_result_int(ctx, v[Part]);
}

// 1 = the first day of the week (Sunday unless firstDay says otherwise).
int weekdayFrom(const date::DateTime& dt, int firstDay) {
    if (firstDay < 1 || firstDay > 7) firstDay = 1;
    return (date::weekday(dt) - (firstDay - 1) + 7) % 7 + 1;
}

bool firstDayArg(sqlite3_context* ctx, int argc, sqlite3_value** a, int index, int& firstDay,
                 const char* fn) {
    firstDay = 1;
    if (argc <= index || isNull(a[index])) return true;
    long long v;
    if (!intArg(ctx, a[index], v, fn)) return false;
    if (v < 0 || v > 7) {
        fail(ctx, kBadCall, fn);
        return false;
    }
    firstDay = v == 0 ? 2 : static_cast<int>(v); // 0: the system's, Monday in China
    return true;
}

void fnWeekday(sqlite3_context* ctx, int argc, sqlite3_value** a) {
    date::DateTime dt;
    int firstDay;
    if (!dateArg(ctx, a[0], dt, "Weekday")) return;
    if (!firstDayArg(ctx, argc, a, 1, firstDay, "Weekday")) return;
    sqlite3_result_int(ctx, weekdayFrom(dt, firstDay));
}

void fnMonthName(sqlite3_context* ctx, int argc, sqlite3_value** a) {
    long long m;
    if (!intArg(ctx, a[0], m, "MonthName")) return;
    if (m < 1 || m > 12) return fail(ctx, kBadCall, "MonthName");
    const bool abbrev = argc > 1 && truthy(a[1]);
    resultText(ctx, format::monthName(static_cast<int>(m), abbrev));
}

// WeekdayName(weekday, [abbreviate], [firstdayofweek]): weekday counts
// from the given first day (1 = Sunday, the default; 0 = the system's,
// Sunday here).
void fnWeekdayName(sqlite3_context* ctx, int argc, sqlite3_value** a) {
    long long w, first = 1;
    if (!intArg(ctx, a[0], w, "WeekdayName")) return;
    if (argc > 2 && !isNull(a[2]) && !intArg(ctx, a[2], first, "WeekdayName")) return;
    if (first == 0) first = 1;
    if (w < 1 || w > 7 || first < 1 || first > 7) return fail(ctx, kBadCall, "WeekdayName");
    const bool abbrev = argc > 1 && truthy(a[1]);
    resultText(ctx, format::weekdayName(static_cast<int>((w - 1 + first - 1) % 7), abbrev));
}

// FormatNumber, FormatCurrency and FormatPercent: (value, [digits after the
// point, -1 = 2], [leading zero], [parentheses for negatives], [group
// digits]); the tri-state arguments take -1 (yes), 0 (no), -2 (default).
template <int Kind> // 0 number, 1 currency, 2 percent
void fnFormatNumeric(sqlite3_context* ctx, int argc, sqlite3_value** a) {
    static const char* const kNames[] = {"FormatNumber", "FormatCurrency", "FormatPercent"};
    const char* fn = kNames[Kind];
    if (isNull(a[0])) return sqlite3_result_null(ctx);
    Number n;
    if (!numArg(ctx, a[0], n, fn)) return;
    long long digits = -1, leading = -2, parens = -2, group = -2;
    if (argc > 1 && !isNull(a[1]) && !intArg(ctx, a[1], digits, fn)) return;
    if (argc > 2 && !isNull(a[2]) && !intArg(ctx, a[2], leading, fn)) return;
    if (argc > 3 && !isNull(a[3]) && !intArg(ctx, a[3], parens, fn)) return;
    if (argc > 4 && !isNull(a[4]) && !intArg(ctx, a[4], group, fn)) return;
    if (digits == -1) digits = 2;
    if (digits < 0 || digits > 99) return fail(ctx, kBadCall, fn);
    std::string body = group != 0 ? "#,##" : "##";
    body += leading != 0 ? "0" : "#";
    if (digits > 0) body += "." + std::string(static_cast<std::size_t>(digits), '0');
    if (Kind == 2) body += "%";
    const std::string sign = Kind == 1 ? "\"¥\"" : "";
    const std::string fmt = parens == -1 ? sign + body + ";(" + sign + body + ")"
                                         : sign + body + ";" + (Kind == 1 ? "\"¥-\"" : "-") + body;
    std::string out;
    if (!format::formatValue(a[0], fmt, 1, out)) return fail(ctx, kTypeMismatch, fn);
    resultText(ctx, out);
}

// FormatDateTime(date, [0 general, 1 long date, 2 short date, 3 long time,
// 4 short time]).
void fnFormatDateTime(sqlite3_context* ctx, int argc, sqlite3_value** a) {
    if (isNull(a[0])) return sqlite3_result_null(ctx);
    date::DateTime dt;
    if (!dateArg(ctx, a[0], dt, "FormatDateTime")) return;
    long long kind = 0;
    if (argc > 1 && !isNull(a[1]) && !intArg(ctx, a[1], kind, "FormatDateTime")) return;
    if (kind < 0 || kind > 4) return fail(ctx, kBadCall, "FormatDateTime");
    auto two = [](int v) { return (v < 10 ? "0" : "") + std::to_string(v); };
    std::string out;
    switch (kind) {
    case 0:
        out = format::dateText(dt);
        break;
    case 1:
        out = std::to_string(dt.year) + "年" + std::to_string(dt.month) + "月" +
              std::to_string(dt.day) + "日";
        break;
    case 2:
        out =
            std::to_string(dt.year) + "/" + std::to_string(dt.month) + "/" + std::to_string(dt.day);
        break;
    case 3:
        out = std::to_string(dt.hour) + ":" + two(dt.minute) + ":" + two(dt.second);
        break;
    default:
        out = two(dt.hour) + ":" + two(dt.minute);
        break;
    }
    resultText(ctx, out);
}

// Partition(number, start, stop, interval): the range of the number as
// "lower:upper", both sides padded with blanks to the width of stop + 1.
void fnPartition(sqlite3_context* ctx, int, sqlite3_value** a) {
    for (int k = 0; k < 4; ++k)
        if (isNull(a[k])) return sqlite3_result_null(ctx);
    long long n, start, stop, interval;
    if (!intArg(ctx, a[0], n, "Partition") || !intArg(ctx, a[1], start, "Partition") ||
        !intArg(ctx, a[2], stop, "Partition") || !intArg(ctx, a[3], interval, "Partition"))
        return;
    if (start < 0 || stop <= start || interval < 1) return fail(ctx, kBadCall, "Partition");
    if (stop > 1000000000000LL || n > 1000000000000LL || n < -1000000000000LL)
        return fail(ctx, kOverflow, "Partition");
    std::size_t width = std::to_string(stop + 1).size();
    width = std::max(width, std::to_string(start - 1).size());
    auto pad = [&](const std::string& s) {
        return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
    };
    std::string lower, upper;
    if (interval == 1) {
        lower = upper = std::to_string(n);
    } else if (n < start) {
        upper = std::to_string(start - 1);
    } else if (n > stop) {
        lower = std::to_string(stop + 1);
    } else {
        const long long lo = start + (n - start) / interval * interval;
        lower = std::to_string(lo);
        upper = std::to_string(std::min(lo + interval - 1, stop));
    }
    resultText(ctx, pad(lower) + ":" + pad(upper));
}

// Pmt, FV and PV: payments of an annuity at a fixed rate; type 1 pays at
// the start of each period.
template <int Kind> // 0 Pmt(rate, nper, pv, [fv], [type]), 1 FV(rate, nper, pmt, [pv], [type]),
                    // 2 PV(rate, nper, pmt, [fv], [type])
void fnAnnuity(sqlite3_context* ctx, int argc, sqlite3_value** a) {
    static const char* const kNames[] = {"Pmt", "FV", "PV"};
    const char* fn = kNames[Kind];
    double x[5] = {0, 0, 0, 0, 0};
    for (int k = 0; k < argc && k < 5; ++k) {
        Number n;
        if (k >= 3 && isNull(a[k])) continue;
        if (!numArg(ctx, a[k], n, fn)) return;
        x[k] = n.asDouble();
    }
    const double rate = x[0], nper = x[1], third = x[2], fourth = x[3];
    const double due = x[4] != 0 ? 1 : 0;
    double r;
    if (rate == 0) {
        if (Kind == 0) {
            if (nper == 0) return fail(ctx, kBadCall, fn);
            r = -(third + fourth) / nper;
        } else {
            r = -(fourth + third * nper);
        }
    } else {
        const double g = std::pow(1 + rate, nper);
        if (Kind == 0) {
            if (g == 1) return fail(ctx, kBadCall, fn);
            r = -(third * g + fourth) * rate / ((1 + rate * due) * (g - 1));
        } else if (Kind == 1) {
            r = -(fourth * g + third * (1 + rate * due) * (g - 1) / rate);
        } else {
            r = -(fourth + third * (1 + rate * due) * (g - 1) / rate) / g;
        }
    }
    if (!std::isfinite(r)) return fail(ctx, kOverflow, fn);
    sqlite3_result_double(ctx, r);
}

enum class Interval { Year, Quarter, Month, DayOfYear, Day, Weekday, Week, Hour, Minute, Second };

bool intervalArg(sqlite3_context* ctx, sqlite3_value* v, Interval& out, const char* fn) {
    const std::string s = text::toLower(values::textOf(v));
    static const std::pair<const char*, Interval> kMap[] = {
        {"yyyy", Interval::Year},   {"q", Interval::Quarter}, {"m", Interval::Month},
        {"y", Interval::DayOfYear}, {"d", Interval::Day},     {"w", Interval::Weekday},
        {"ww", Interval::Week},     {"h", Interval::Hour},    {"n", Interval::Minute},
        {"s", Interval::Second}};
    if (!isNull(v))
        for (const auto& [name, iv] : kMap)
            if (s == name) {
                out = iv;
                return true;
            }
    fail(ctx, kBadCall, fn);
    return false;
}

date::DateTime addMonths(const date::DateTime& dt, long long months) {
    date::DateTime r = dt;
    long long total = static_cast<long long>(dt.year) * 12 + (dt.month - 1) + months;
    if (total < 0) total = 0;
    if (total > 9999LL * 12 + 11) total = 10000LL * 12;
    r.year = static_cast<int>(total / 12);
    r.month = static_cast<int>(total % 12) + 1;
    if (r.year >= 1 && r.year <= 9999) r.day = std::min(dt.day, date::daysInMonth(r.year, r.month));
    return r;
}

void fnDateAdd(sqlite3_context* ctx, int, sqlite3_value** a) {
    Interval iv;
    Number n;
    date::DateTime dt;
    if (isNull(a[1]) || isNull(a[2])) return sqlite3_result_null(ctx);
    if (!intervalArg(ctx, a[0], iv, "DateAdd")) return;
    if (!numArg(ctx, a[1], n, "DateAdd") || !dateArg(ctx, a[2], dt, "DateAdd")) return;
    const double num = n.asDouble();
    if (std::fabs(num) > 1e8) return fail(ctx, kOverflow, "DateAdd");
    const long long k = static_cast<long long>(std::trunc(num));
    long long secs = date::toSeconds(dt);
    switch (iv) {
    case Interval::Year:
        return resultDate(ctx, addMonths(dt, k * 12), "DateAdd");
    case Interval::Quarter:
        return resultDate(ctx, addMonths(dt, k * 3), "DateAdd");
    case Interval::Month:
        return resultDate(ctx, addMonths(dt, k), "DateAdd");
    case Interval::DayOfYear:
    case Interval::Day:
    case Interval::Weekday:
        secs += k * 86400;
        break;
    case Interval::Week:
        secs += k * 7 * 86400;
        break;
    case Interval::Hour:
        secs += k * 3600;
        break;
    case Interval::Minute:
        secs += k * 60;
        break;
    case Interval::Second:
        secs += k;
        break;
    }
    resultDate(ctx, date::fromSeconds(secs), "DateAdd");
}

long long floorDiv(long long a, long long b) {
    long long q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

void fnDateDiff(sqlite3_context* ctx, int argc, sqlite3_value** a) {
    Interval iv;
    date::DateTime d1, d2;
    int firstDay;
    if (isNull(a[1]) || isNull(a[2])) return sqlite3_result_null(ctx);
    if (!intervalArg(ctx, a[0], iv, "DateDiff")) return;
    if (!dateArg(ctx, a[1], d1, "DateDiff") || !dateArg(ctx, a[2], d2, "DateDiff")) return;
    if (!firstDayArg(ctx, argc, a, 3, firstDay, "DateDiff")) return;
    const long long day1 = date::daysFromCivil(d1.year, d1.month, d1.day);
    const long long day2 = date::daysFromCivil(d2.year, d2.month, d2.day);
    const long long s1 = date::toSeconds(d1), s2 = date::toSeconds(d2);
    long long r = 0;
    switch (iv) {
    case Interval::Year:
        r = d2.year - d1.year;
        break;
    case Interval::Quarter:
        r = (d2.year * 4LL + (d2.month - 1) / 3) - (d1.year * 4LL + (d1.month - 1) / 3);
        break;
    case Interval::Month:
        r = (d2.year * 12LL + d2.month) - (d1.year * 12LL + d1.month);
        break;
    case Interval::DayOfYear:
    case Interval::Day:
        r = day2 - day1;
        break;
    case Interval::Weekday:
        r = (day2 - day1) / 7;
        break;
    case Interval::Week: {
        // Number of first days of the week between the two dates.
        // Day 0 (1899-12-30) is a Saturday, weekday index 6 from Sunday.
        const long long shift = 6 - (firstDay - 1);
        r = floorDiv(day2 + shift, 7) - floorDiv(day1 + shift, 7);
        break;
    }
    case Interval::Hour:
        r = floorDiv(s2, 3600) - floorDiv(s1, 3600);
        break;
    case Interval::Minute:
        r = floorDiv(s2, 60) - floorDiv(s1, 60);
        break;
    case Interval::Second:
        r = s2 - s1;
        break;
    }
    sqlite3_result_int64(ctx, r);
}

void fnDatePart(sqlite3_context* ctx, int argc, sqlite3_value** a) {
    Interval iv;
    date::DateTime dt;
    int firstDay;
    if (isNull(a[1])) return sqlite3_result_null(ctx);
    if (!intervalArg(ctx, a[0], iv, "DatePart") || !dateArg(ctx, a[1], dt, "DatePart")) return;
    if (!firstDayArg(ctx, argc, a, 2, firstDay, "DatePart")) return;
    const long long doy =
        date::daysFromCivil(dt.year, dt.month, dt.day) - date::daysFromCivil(dt.year, 1, 1) + 1;
    long long r = 0;
    switch (iv) {
    case Interval::Year:
        r = dt.year;
        break;
    case Interval::Quarter:
        r = (dt.month - 1) / 3 + 1;
        break;
    case Interval::Month:
        r = dt.month;
        break;
    case Interval::DayOfYear:
        r = doy;
        break;
    case Interval::Day:
        r = dt.day;
        break;
    case Interval::Weekday:
        r = weekdayFrom(dt, firstDay);
        break;
    case Interval::Week: {
        date::DateTime jan1;
        jan1.year = dt.year;
        jan1.month = 1;
        jan1.day = 1;
        r = (doy - 1 + (weekdayFrom(jan1, firstDay) - 1)) / 7 + 1;
        break;
    }
    case Interval::Hour:
        r = dt.hour;
        break;
    case Interval::Minute:
        r = dt.minute;
        break;
    case Interval::Second:
        r = dt.second;
        break;
    }
    sqlite3_result_int64(ctx, r);
}

void fnDateSerial(sqlite3_context* ctx, int, sqlite3_value** a) {
    long long y, m, d;
    if (!intArg(ctx, a[0], y, "DateSerial") || !intArg(ctx, a[1], m, "DateSerial") ||
        !intArg(ctx, a[2], d, "DateSerial"))
        return;
    if (y >= 0 && y < 30)
        y += 2000;
    else if (y >= 30 && y < 100)
        y += 1900;
    if (std::llabs(y) > 20000 || std::llabs(m) > 240000 || std::llabs(d) > 8000000)
        return fail(ctx, kOverflow, "DateSerial");
    long long months = y * 12 + (m - 1);
    const long long yy = floorDiv(months, 12);
    const int mm = static_cast<int>(months - yy * 12) + 1;
    if (yy < 100 || yy > 9999) return fail(ctx, kOverflow, "DateSerial");
    const long long days = date::daysFromCivil(static_cast<int>(yy), mm, 1) + d - 1;
    resultDate(ctx, date::fromSeconds(days * 86400), "DateSerial");
}

void fnTimeSerial(sqlite3_context* ctx, int, sqlite3_value** a) {
    long long h, m, s;
    if (!intArg(ctx, a[0], h, "TimeSerial") || !intArg(ctx, a[1], m, "TimeSerial") ||
        !intArg(ctx, a[2], s, "TimeSerial"))
        return;
    if (std::llabs(h) > 1000000 || std::llabs(m) > 60000000 || std::llabs(s) > 3600000000LL)
        return fail(ctx, kOverflow, "TimeSerial");
    resultDate(ctx, date::fromSeconds(h * 3600 + m * 60 + s), "TimeSerial");
}

void fnDateValue(sqlite3_context* ctx, int, sqlite3_value** a) {
    date::DateTime dt;
    if (!dateArg(ctx, a[0], dt, "DateValue")) return;
    dt.hour = dt.minute = dt.second = 0;
    resultDate(ctx, dt, "DateValue");
}

void fnTimeValue(sqlite3_context* ctx, int, sqlite3_value** a) {
    date::DateTime dt;
    if (!dateArg(ctx, a[0], dt, "TimeValue")) return;
    date::DateTime t;
    t.hour = dt.hour;
    t.minute = dt.minute;
    t.second = dt.second;
    resultDate(ctx, t, "TimeValue");
}

// ---- conversions -------------------------------------------------------------

// Val reads the leading number of a text and ignores blanks anywhere in it.
void fnVal(sqlite3_context* ctx, int, sqlite3_value** a) {
    if (isNull(a[0])) return sqlite3_result_null(ctx);
    const int t = sqlite3_value_type(a[0]);
    if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) return sqlite3_result_value(ctx, a[0]);
    std::string s;
    for (char c : values::textOf(a[0]))
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r') s += c;
    if (s.size() > 2 && s[0] == '&') {
        std::size_t k = 2;
        while (k < s.size() && std::isxdigit(static_cast<unsigned char>(s[k])))
            ++k;
        Number n;
        if (values::parseNumber(s.substr(0, k), n)) return resultNumber(ctx, n);
        return sqlite3_result_int(ctx, 0);
    }
    std::size_t k = 0;
    if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
    while (k < s.size() && std::isdigit(static_cast<unsigned char>(s[k])))
        ++k;
    if (k < s.size() && s[k] == '.') {
        ++k;
        while (k < s.size() && std::isdigit(static_cast<unsigned char>(s[k])))
            ++k;
    }
    if (k < s.size() && (s[k] == 'e' || s[k] == 'E' || s[k] == 'd' || s[k] == 'D')) {
        std::size_t e = k + 1;
        if (e < s.size() && (s[e] == '+' || s[e] == '-')) ++e;
        if (e < s.size() && std::isdigit(static_cast<unsigned char>(s[e]))) {
            while (e < s.size() && std::isdigit(static_cast<unsigned char>(s[e])))
                ++e;
            k = e;
        }
    }
    Number n;
    if (!values::parseNumber(s.substr(0, k), n)) return sqlite3_result_int(ctx, 0);
    // Val always gives a Double.
    sqlite3_result_double(ctx, n.asDouble());
}

void fnStr(sqlite3_context* ctx, int, sqlite3_value** a) {
    date::DateTime dt;
    if (storedDate(a[0], dt)) return resultText(ctx, format::dateText(dt));
    Number n;
    if (!numArg(ctx, a[0], n, "Str")) return;
    const std::string s = n.isInt ? std::to_string(n.i) : values::formatNumber(n.d);
    resultText(ctx, n.asDouble() >= 0 ? " " + s : s);
}

void fnCStr(sqlite3_context* ctx, int, sqlite3_value** a) {
    if (isNull(a[0])) return sqlite3_result_null(ctx);
    resultText(ctx, textArg(a[0]));
}

template <long long Lo, long long Hi>
void fnCInteger(sqlite3_context* ctx, int, sqlite3_value** a) {
    const char* fn = Hi == 32767 ? "CInt" : "CLng";
    Number n;
    if (!numArg(ctx, a[0], n, fn)) return;
    const double d = n.isInt ? static_cast<double>(n.i) : values::roundHalfEven(n.d, 0);
    if (d < static_cast<double>(Lo) || d > static_cast<double>(Hi)) return fail(ctx, kOverflow, fn);
    sqlite3_result_int64(ctx, n.isInt ? n.i : static_cast<long long>(d));
}

void fnCSng(sqlite3_context* ctx, int, sqlite3_value** a) {
    Number n;
    if (!numArg(ctx, a[0], n, "CSng")) return;
    const double d = n.asDouble();
    if (std::fabs(d) > 3.402823466e38) return fail(ctx, kOverflow, "CSng");
    // Single precision keeps about 7 significant digits.
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.7g", static_cast<double>(static_cast<float>(d)));
    sqlite3_result_double(ctx, std::strtod(buf, nullptr));
}

void fnCDbl(sqlite3_context* ctx, int, sqlite3_value** a) {
    Number n;
    if (!numArg(ctx, a[0], n, "CDbl")) return;
    sqlite3_result_double(ctx, n.asDouble());
}

void fnCCur(sqlite3_context* ctx, int, sqlite3_value** a) {
    Number n;
    if (!numArg(ctx, a[0], n, "CCur")) return;
    const double d = n.asDouble();
    if (std::fabs(d) > 922337203685477.0) return fail(ctx, kOverflow, "CCur");
    sqlite3_result_double(ctx, values::roundHalfEven(d, 4));
}

void fnCBool(sqlite3_context* ctx, int, sqlite3_value** a) {
    if (isNull(a[0])) return sqlite3_result_null(ctx);
    if (isTextValue(a[0])) {
        const std::string s = text::toLower(values::textOf(a[0]));
        if (s == "true" || s == "yes" || s == "on" || s == "是" || s == "真")
            return sqlite3_result_int(ctx, -1);
        if (s == "false" || s == "no" || s == "off" || s == "否" || s == "假")
            return sqlite3_result_int(ctx, 0);
    }
    Number n;
    if (!numArg(ctx, a[0], n, "CBool")) return;
    sqlite3_result_int(ctx, n.asDouble() != 0 ? -1 : 0);
}

void fnCDate(sqlite3_context* ctx, int, sqlite3_value** a) {
    date::DateTime dt;
    if (!dateArg(ctx, a[0], dt, "CDate")) return;
    resultDate(ctx, dt, "CDate");
}

void fnIsNumeric(sqlite3_context* ctx, int, sqlite3_value** a) {
    const int t = sqlite3_value_type(a[0]);
    bool r = t == SQLITE_INTEGER || t == SQLITE_FLOAT;
    if (t == SQLITE_TEXT) {
        Number n;
        r = values::parseNumber(values::textOf(a[0]), n);
    }
    sqlite3_result_int(ctx, r ? -1 : 0);
}

void fnIsDate(sqlite3_context* ctx, int, sqlite3_value** a) {
    date::DateTime dt;
    const bool r = sqlite3_value_type(a[0]) == SQLITE_TEXT &&
                   date::parse(values::textOf(a[0]), dt) && date::validRange(dt);
    sqlite3_result_int(ctx, r ? -1 : 0);
}

// ---- numbers -------------------------------------------------------------------

void fnAbs(sqlite3_context* ctx, int, sqlite3_value** a) {
    Number n;
    if (!numArg(ctx, a[0], n, "Abs")) return;
    if (n.isInt && n.i != LLONG_MIN) return sqlite3_result_int64(ctx, n.i < 0 ? -n.i : n.i);
    sqlite3_result_double(ctx, std::fabs(n.asDouble()));
}

template <bool Floor> void fnIntFix(sqlite3_context* ctx, int, sqlite3_value** a) {
    Number n;
    if (!numArg(ctx, a[0], Floor ? n : n, Floor ? "Int" : "Fix")) return;
    if (n.isInt) return sqlite3_result_int64(ctx, n.i);
    const double r = Floor ? std::floor(n.d) : std::trunc(n.d);
    if (std::fabs(r) < 9e18) return sqlite3_result_int64(ctx, static_cast<long long>(r));
    sqlite3_result_double(ctx, r);
}

void fnRound(sqlite3_context* ctx, int argc, sqlite3_value** a) {
    Number n;
    long long digits = 0;
    if (!numArg(ctx, a[0], n, "Round")) return;
    if (argc > 1 && !isNull(a[1]) && !intArg(ctx, a[1], digits, "Round")) return;
    if (digits < 0) return fail(ctx, kBadCall, "Round");
    if (n.isInt) return sqlite3_result_int64(ctx, n.i);
    const double r = values::roundHalfEven(n.d, static_cast<int>(digits));
    if (digits == 0 && std::fabs(r) < 9e18)
        return sqlite3_result_int64(ctx, static_cast<long long>(r));
    sqlite3_result_double(ctx, r);
}

void fnSgn(sqlite3_context* ctx, int, sqlite3_value** a) {
    Number n;
    if (!numArg(ctx, a[0], n, "Sgn")) return;
    const double d = n.asDouble();
    sqlite3_result_int(ctx, d > 0 ? 1 : (d < 0 ? -1 : 0));
}

template <int Which> void fnMath(sqlite3_context* ctx, int, sqlite3_value** a) {
    static const char* const kNames[] = {"Sqr", "Exp", "Log", "Atn", "Sin", "Cos", "Tan"};
    Number n;
    if (!numArg(ctx, a[0], n, kNames[Which])) return;
    const double x = n.asDouble();
    double r = 0;
    switch (Which) {
    case 0:
        if (x < 0) return fail(ctx, kBadCall, "Sqr");
        r = std::sqrt(x);
        break;
    case 1:
        r = std::exp(x);
        break;
    case 2:
        if (x <= 0) return fail(ctx, kBadCall, "Log");
        r = std::log(x);
        break;
    case 3:
        r = std::atan(x);
        break;
    case 4:
        r = std::sin(x);
        break;
    case 5:
        r = std::cos(x);
        break;
    case 6:
        r = std::tan(x);
        break;
    }
    if (!std::isfinite(r)) return fail(ctx, kOverflow, kNames[Which]);
    sqlite3_result_double(ctx, r);
}

void fnRnd(sqlite3_context* ctx, int, sqlite3_value**) {
    static std::mutex mutex;
    static std::mt19937_64 engine{static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count())};
    std::lock_guard<std::mutex> lock(mutex);
    sqlite3_result_double(ctx, std::uniform_real_distribution<double>(0.0, 1.0)(engine));
}

// ---- aggregates ------------------------------------------------------------

struct Kept {
    sqlite3_value* value;
};

// First(x) and Last(x); with a second argument, only the rows where it is
// non-zero count (a crosstab cell looks at the rows of its own column).
template <bool KeepLast> void firstLastStep(sqlite3_context* ctx, int argc, sqlite3_value** a) {
    if (argc == 2 && sqlite3_value_int(a[1]) == 0) return;
    auto* k = static_cast<Kept*>(sqlite3_aggregate_context(ctx, sizeof(Kept)));
    if (!k) return sqlite3_result_error_nomem(ctx);
    if (k->value && !KeepLast) return;
    if (k->value) sqlite3_value_free(k->value);
    k->value = sqlite3_value_dup(a[0]);
    if (!k->value) sqlite3_result_error_nomem(ctx);
}

void firstLastFinal(sqlite3_context* ctx) {
    auto* k = static_cast<Kept*>(sqlite3_aggregate_context(ctx, 0));
    if (!k || !k->value) return sqlite3_result_null(ctx);
    sqlite3_result_value(ctx, k->value);
    sqlite3_value_free(k->value);
    k->value = nullptr;
}

struct Moments {
    long long n;
    double mean;
    double m2;
};

void momentsStep(sqlite3_context* ctx, int, sqlite3_value** a) {
    Number x;
    bool null;
    if (!values::toNumber(a[0], x, null)) {
        if (null) return;
        return fail(ctx, kTypeMismatch, "StDev");
    }
    auto* m = static_cast<Moments*>(sqlite3_aggregate_context(ctx, sizeof(Moments)));
    if (!m) return sqlite3_result_error_nomem(ctx);
    const double v = x.asDouble();
    ++m->n;
    const double delta = v - m->mean;
    m->mean += delta / static_cast<double>(m->n);
    m->m2 += delta * (v - m->mean);
}

template <bool Sample, bool Root> void momentsFinal(sqlite3_context* ctx) {
    auto* m = static_cast<Moments*>(sqlite3_aggregate_context(ctx, 0));
    const long long need = Sample ? 2 : 1;
    if (!m || m->n < need) return sqlite3_result_null(ctx);
    const double var = m->m2 / static_cast<double>(Sample ? m->n - 1 : m->n);
    sqlite3_result_double(ctx, Root ? std::sqrt(var) : var);
}

// ---- registration -----------------------------------------------------------

using Scalar = void (*)(sqlite3_context*, int, sqlite3_value**);

struct ScalarDef {
    const char* name;
    int args; // -1: variable, checked by the translator
    Scalar fn;
    bool deterministic;
};

const ScalarDef kScalars[] = {
    {"jet_concat", -1, fnConcat, true},
    {"jet_add", 2, fnAdd, true},
    {"jet_sub", 2, fnSub, true},
    {"jet_addn", -1, fnAddN, true},
    {"jet_mod", 2, fnMod, true},
    {"jet_intdiv", 2, fnIntDiv, true},
    {"jet_div", 2, fnDiv, true},
    {"jet_cscale", -1, fnCScale, true},
    {"jet_cadd", 2, fnCAdd<false>, true},
    {"jet_csub", 2, fnCAdd<true>, true},
    {"jet_cmul", 2, fnCMul, true},
    {"jet_cmulc", 2, fnCMulC, true},
    {"jet_pow", 2, fnPow, true},
    {"jet_like", 2, fnLike<false>, true},
    {"jet_alike", 2, fnLike<true>, true},
    {"jet_iif", 3, fnIIf, true},
    {"jet_nz", -1, fnNz, true},
    {"jet_isnull", 1, fnIsNull, true},
    {"jet_left", 2, fnLeft, true},
    {"jet_right", 2, fnRight, true},
    {"jet_mid", -1, fnMid, true},
    {"jet_len", 1, fnLen, true},
    {"jet_instr", -1, fnInStr, true},
    {"jet_instrrev", -1, fnInStrRev, true},
    {"jet_ucase", 1, fnUCase, true},
    {"jet_lcase", 1, fnLCase, true},
    {"jet_trim", 1, fnTrim, true},
    {"jet_ltrim", 1, fnLTrim, true},
    {"jet_rtrim", 1, fnRTrim, true},
    {"jet_space", 1, fnSpace, true},
    {"jet_string", 2, fnString, true},
    {"jet_replace", -1, fnReplace, true},
    {"jet_strcomp", -1, fnStrComp, true},
    {"jet_strreverse", 1, fnStrReverse, true},
    {"jet_asc", 1, fnAsc, true},
    {"jet_chr", 1, fnChr, true},
    {"jet_hex", 1, fnHex, true},
    {"jet_format", -1, fnFormat, true},
    {"jet_now", 0, fnNow, false},
    {"jet_date", 0, fnDate, false},
    {"jet_time", 0, fnTime, false},
    {"jet_year", 1, fnDatePiece<0>, true},
    {"jet_month", 1, fnDatePiece<1>, true},
    {"jet_day", 1, fnDatePiece<2>, true},
    {"jet_hour", 1, fnDatePiece<3>, true},
    {"jet_minute", 1, fnDatePiece<4>, true},
    {"jet_second", 1, fnDatePiece<5>, true},
    {"jet_weekday", -1, fnWeekday, true},
    {"jet_monthname", -1, fnMonthName, true},
    {"jet_weekdayname", -1, fnWeekdayName, true},
    {"jet_formatnumber", -1, fnFormatNumeric<0>, true},
    {"jet_formatcurrency", -1, fnFormatNumeric<1>, true},
    {"jet_formatpercent", -1, fnFormatNumeric<2>, true},
    {"jet_formatdatetime", -1, fnFormatDateTime, true},
    {"jet_partition", 4, fnPartition, true},
    {"jet_pmt", -1, fnAnnuity<0>, true},
    {"jet_fv", -1, fnAnnuity<1>, true},
    {"jet_pv", -1, fnAnnuity<2>, true},
    {"jet_dateadd", 3, fnDateAdd, true},
    {"jet_datediff", -1, fnDateDiff, true},
    {"jet_datepart", -1, fnDatePart, true},
    {"jet_dateserial", 3, fnDateSerial, true},
    {"jet_timeserial", 3, fnTimeSerial, true},
    {"jet_datevalue", 1, fnDateValue, true},
    {"jet_timevalue", 1, fnTimeValue, true},
    {"jet_val", 1, fnVal, true},
    {"jet_str", 1, fnStr, true},
    {"jet_cstr", 1, fnCStr, true},
    {"jet_cint", 1, fnCInteger<-32768, 32767>, true},
    {"jet_clng", 1, fnCInteger<-2147483648LL, 2147483647LL>, true},
    {"jet_csng", 1, fnCSng, true},
    {"jet_cdbl", 1, fnCDbl, true},
    {"jet_ccur", 1, fnCCur, true},
    {"jet_cbool", 1, fnCBool, true},
    {"jet_cdate", 1, fnCDate, true},
    {"jet_isnumeric", 1, fnIsNumeric, true},
    {"jet_isdate", 1, fnIsDate, true},
    {"jet_abs", 1, fnAbs, true},
    {"jet_int", 1, fnIntFix<true>, true},
    {"jet_fix", 1, fnIntFix<false>, true},
    {"jet_round", -1, fnRound, true},
    {"jet_sgn", 1, fnSgn, true},
    {"jet_sqr", 1, fnMath<0>, true},
    {"jet_exp", 1, fnMath<1>, true},
    {"jet_log", 1, fnMath<2>, true},
    {"jet_atn", 1, fnMath<3>, true},
    {"jet_sin", 1, fnMath<4>, true},
    {"jet_cos", 1, fnMath<5>, true},
    {"jet_tan", 1, fnMath<6>, true},
    {"jet_rnd", -1, fnRnd, false},
};

// ---- collation ---------------------------------------------------------------

int jetTextCompare(void*, int na, const void* pa, int nb, const void* pb) {
    return collation::compare(
        std::string_view(static_cast<const char*>(pa), static_cast<std::size_t>(na)),
        std::string_view(static_cast<const char*>(pb), static_cast<std::size_t>(nb)));
}

} // namespace

void registerJetFunctions(sqlite3* db) {
    sqlite3_create_collation_v2(db, JetTextCollation, SQLITE_UTF8, nullptr, jetTextCompare,
                                nullptr);
    for (const auto& f : kScalars) {
        const int flags = SQLITE_UTF8 | (f.deterministic ? SQLITE_DETERMINISTIC : 0);
        sqlite3_create_function_v2(db, f.name, f.args, flags, nullptr, f.fn, nullptr, nullptr,
                                   nullptr);
    }
    struct AggDef {
        const char* name;
        Scalar step;
        void (*final)(sqlite3_context*);
        int args;
    };
    const AggDef aggs[] = {
        {"jet_first", firstLastStep<false>, firstLastFinal, 1},
        {"jet_last", firstLastStep<true>, firstLastFinal, 1},
        {"jet_first", firstLastStep<false>, firstLastFinal, 2},
        {"jet_last", firstLastStep<true>, firstLastFinal, 2},
        {"jet_stdev", momentsStep, momentsFinal<true, true>, 1},
        {"jet_stdevp", momentsStep, momentsFinal<false, true>, 1},
        {"jet_var", momentsStep, momentsFinal<true, false>, 1},
        {"jet_varp", momentsStep, momentsFinal<false, false>, 1},
    };
    for (const auto& a : aggs)
        sqlite3_create_function_v2(db, a.name, a.args, SQLITE_UTF8, nullptr, nullptr, a.step,
                                   a.final, nullptr);
}

} // namespace engine::sql
