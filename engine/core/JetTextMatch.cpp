// Which characters a text index can find by the collation's equality, and
// the key prefix of a value.
//
// Why the prefix holds: the collation calls two texts equal only when their
// primary weights agree, character after character (secondary strength
// sees case never, accents as secondary weights). A plain character's
// primary bytes in Jet are a function of its primary weights, the same for
// every plain character; characters without primary weights have none.
// Where the collation weighs characters together (its contractions), the
// whole must agree too, or be told apart by a weight of its own, or text
// holding it is not plain. So two equal texts of plain characters have the
// same primary bytes. Jet cuts
// a text at 255 code units and drops its trailing spaces before making the
// key, which leaves a prefix of those bytes; equalityPrefix() shortens the
// prefix it looks for accordingly.

#include "engine/core/JetTextMatch.h"

#include "engine/sql/JetCollation.h"

#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/ucol.h>
#include <unicode/ucoleitr.h>
#include <unicode/uset.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <array>
#include <mutex>
#include <tuple>
#include <unordered_map>

namespace engine::jettables {

namespace {

constexpr char32_t kCodePoints = 0x110000;

// One bit per code point: plain or not; and runs of plain characters that
// make text not plain all the same (contractions such as "沈阳", where 沈
// weighs as another reading), by their first code unit.
struct PlainSet {
    std::vector<std::uint64_t> bits = std::vector<std::uint64_t>(kCodePoints / 64, 0);
    std::unordered_map<char16_t, std::vector<std::u16string>> runs;
    bool has(char32_t cp) const { return cp < kCodePoints && (bits[cp / 64] >> (cp % 64)) & 1U; }
    void set(char32_t cp) { bits[cp / 64] |= std::uint64_t{1} << (cp % 64); }
};

std::u16string unitsOf(char32_t cp) {
    std::u16string s;
    if (cp < 0x10000) {
        s.push_back(static_cast<char16_t>(cp));
    } else {
        s.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
        s.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    }
    return s;
}

// A text's collation elements as far as the comparison sees them (primary
// and secondary weights, 32 and 16 bits: p << 16 | s), and its primary
// weights alone.
struct Weights {
    std::vector<std::uint64_t> elements;
    std::vector<std::uint64_t> primaries;
    bool ok = true;
};

constexpr std::uint16_t kCommonSecondary = 0x0500;

// Reads the weights of one text after another through one iterator.
class WeightReader {
public:
    explicit WeightReader(UCollator* c) {
        UErrorCode status = U_ZERO_ERROR;
        const UChar none = 0;
        elements_ = ucol_openElements(c, &none, 0, &status);
        if (U_FAILURE(status)) elements_ = nullptr;
    }
    ~WeightReader() {
        if (elements_) ucol_closeElements(elements_);
    }
    WeightReader(const WeightReader&) = delete;
    WeightReader& operator=(const WeightReader&) = delete;

    void read(const std::u16string& s, Weights& w) {
        w.elements.clear();
        w.primaries.clear();
        w.ok = false;
        if (!elements_) return;
        UErrorCode status = U_ZERO_ERROR;
        ucol_setText(elements_, reinterpret_cast<const UChar*>(s.data()),
                     static_cast<int32_t>(s.size()), &status);
        for (int32_t ce;
             U_SUCCESS(status) && (ce = ucol_next(elements_, &status)) != UCOL_NULLORDER;) {
            // A 64-bit element comes in two parts, the second a continuation
            // holding the lower halves of its weights.
            const auto primary = static_cast<std::uint64_t>(ucol_primaryOrder(ce));
            const auto secondary = static_cast<std::uint64_t>(ucol_secondaryOrder(ce));
            if ((ce & 0xC0) == 0xC0) {
                if (!w.elements.empty()) w.elements.back() |= primary << 16 | secondary;
            } else if (primary != 0 || secondary != 0) {
                w.elements.push_back(primary << 32 | secondary << 8);
            }
        }
        if (U_FAILURE(status)) return;
        for (std::uint64_t el : w.elements)
            if (el >> 16) w.primaries.push_back(el >> 16);
        w.ok = true;
    }
    Weights of(const std::u16string& s) {
        Weights w;
        read(s, w);
        return w;
    }

private:
    UCollationElements* elements_ = nullptr;
};

// The strings of the collator's contractions and contexts: their weights
// are not those of their characters one by one.
std::vector<std::u16string> contextual(UCollator* c, bool& ok) {
    std::vector<std::u16string> out;
    UErrorCode status = U_ZERO_ERROR;
    USet* set = uset_openEmpty();
    ucol_getContractionsAndExpansions(c, set, nullptr, 1, &status);
    std::array<UChar, 64> text{};
    for (int32_t i = 0, n = uset_getItemCount(set); U_SUCCESS(status) && i < n; ++i) {
        UChar32 from = 0, to = 0;
        const int32_t len = uset_getItem(set, i, &from, &to, text.data(), 64, &status);
        if (U_SUCCESS(status) && len > 0) out.emplace_back(text.begin(), text.begin() + len);
    }
    uset_close(set);
    ok = U_SUCCESS(status);
    return out;
}

// Code points whose weights are worth asking the collator for: the others
// are unassigned outside the BMP, and the collator gives each of those
// weights of its own (implicit weights), which no other character shares.
bool worthAsking(char32_t cp) {
    return cp < 0x10000 || u_isdefined(static_cast<UChar32>(cp));
}

bool plainUnits(std::u16string_view u, const PlainSet& set) {
    for (std::size_t i = 0; i < u.size();) {
        if (!set.runs.empty()) {
            const auto it = set.runs.find(u[i]);
            if (it != set.runs.end())
                for (const std::u16string& run : it->second)
                    if (u.substr(i, run.size()) == run) return false;
        }
        char32_t cp = u[i++];
        if (cp >= 0xD800 && cp < 0xDC00 && i < u.size() && u[i] >= 0xDC00 && u[i] <= 0xDFFF)
            cp = 0x10000 + ((cp - 0xD800) << 10) + (u[i++] - 0xDC00);
        if (!set.has(cp)) return false; // a lone surrogate is not plain either
    }
    return true;
}

// The characters of GB 2312, the common ones in simplified Chinese text.
class Gb2312 {
public:
    Gb2312() {
        UErrorCode status = U_ZERO_ERROR;
        conv_ = ucnv_open("GB2312", &status);
        if (U_FAILURE(status)) conv_ = nullptr;
        if (conv_)
            ucnv_setFromUCallBack(conv_, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                                  &status);
    }
    ~Gb2312() {
        if (conv_) ucnv_close(conv_);
    }
    Gb2312(const Gb2312&) = delete;
    Gb2312& operator=(const Gb2312&) = delete;
    bool has(char32_t cp) {
        if (cp < 0x80) return true;
        if (!conv_ || cp > 0xFFFF) return false;
        const auto u = static_cast<UChar>(cp);
        std::array<char, 8> out{};
        UErrorCode status = U_ZERO_ERROR;
        ucnv_reset(conv_);
        ucnv_fromUChars(conv_, out.data(), 8, &u, 1, &status);
        return U_SUCCESS(status);
    }

private:
    UConverter* conv_ = nullptr;
};

PlainSet build(jet::TextOrder order) {
    PlainSet plain;
    UCollator* c = sql::collation::textCollator();
    if (!c) return plain; // nothing is plain: every search scans
    bool contextsRead = false;
    const std::vector<std::u16string> contexts = contextual(c, contextsRead);
    if (!contextsRead) return plain;
    auto bytesOf = [&](const std::u16string& s) {
        std::vector<std::uint8_t> b;
        jet::appendTextInline(b, s, order);
        return b;
    };
    // The primary bytes of each single weight as a character of that weight
    // alone has them: an ASCII one (0 before other scripts' digits), else a
    // common one in Chinese text (GB 2312: 上 before its rare variant 丄, И
    // before Ѝ), else the lowest; and the characters of each uncommon
    // secondary weight (up to a few).
    constexpr std::size_t kFew = 16;
    struct Sample {
        char32_t cp;
        std::uint32_t bytes, bytesEnd; // in allBytes
        bool ascii = false, common = false;
    };
    std::unordered_map<std::uint64_t, Sample> samples;
    std::unordered_map<std::uint64_t, std::vector<Sample>> rivals; // other bytes
    WeightReader weights(c);
    Gb2312 common;
    std::unordered_map<std::uint64_t, std::vector<char32_t>> bySecondary;
    // Each character's primary weights and bytes, kept for the second pass.
    struct Seen {
        char32_t cp;
        std::uint32_t weights, weightsEnd, bytes, bytesEnd;
    };
    std::vector<Seen> seen;
    std::vector<std::uint64_t> allWeights;
    std::vector<std::uint8_t> allBytes;
    seen.reserve(1 << 18);
    allWeights.reserve(1 << 19);
    allBytes.reserve(1 << 20);
    samples.reserve(1 << 17);
    auto sameBytes = [&](const Sample& a, std::uint32_t from, std::uint32_t to) {
        return std::equal(allBytes.begin() + a.bytes, allBytes.begin() + a.bytesEnd,
                          allBytes.begin() + from, allBytes.begin() + to);
    };
    Weights w;
    for (char32_t cp = 0; cp < kCodePoints; ++cp) {
        if ((cp >= 0xD800 && cp <= 0xDFFF) || !worthAsking(cp)) continue;
        const std::u16string s = unitsOf(cp);
        weights.read(s, w);
        if (!w.ok) continue;
        Seen one{cp, static_cast<std::uint32_t>(allWeights.size()), 0,
                 static_cast<std::uint32_t>(allBytes.size()), 0};
        allWeights.insert(allWeights.end(), w.primaries.begin(), w.primaries.end());
        jet::appendTextInline(allBytes, s, order);
        one.weightsEnd = static_cast<std::uint32_t>(allWeights.size());
        one.bytesEnd = static_cast<std::uint32_t>(allBytes.size());
        seen.push_back(one);
        if (w.primaries.size() == 1) {
            const Sample mine{cp, one.bytes, one.bytesEnd};
            const auto [it, fresh] = samples.try_emplace(w.primaries[0], mine);
            if (!fresh && !sameBytes(it->second, one.bytes, one.bytesEnd)) {
                auto& others = rivals[w.primaries[0]];
                if (std::none_of(others.begin(), others.end(), [&](const Sample& o) {
                        return sameBytes(o, one.bytes, one.bytesEnd);
                    }))
                    others.push_back(mine);
            }
        }
        for (std::uint64_t el : w.elements) {
            const std::uint64_t sec = el & 0xFFFF;
            if (sec == kCommonSecondary) continue;
            auto& list = bySecondary[sec];
            if (list.size() <= kFew) list.push_back(cp);
        }
    }
    // Where characters of one weight have different bytes, which are whose.
    for (const Seen& one : seen) {
        if (one.weightsEnd != one.weights + 1) continue;
        const auto r = rivals.find(allWeights[one.weights]);
        if (r == rivals.end()) continue;
        Sample* mine = &samples[r->first];
        for (Sample& o : r->second)
            if (sameBytes(o, one.bytes, one.bytesEnd)) mine = &o;
        mine->ascii = mine->ascii || one.cp < 0x80;
        mine->common = mine->common || common.has(one.cp);
    }
    for (auto& [weight, others] : rivals) {
        Sample& best = samples[weight];
        auto rank = [](const Sample& x) { return std::make_tuple(x.ascii, x.common); };
        for (const Sample& o : others)
            if (rank(o) > rank(best)) best = o;
    }
    // Bytes made of the samples of the weights: false when one has none.
    std::vector<std::uint8_t> expected;
    auto expect = [&](const std::uint64_t* first, const std::uint64_t* last) {
        expected.clear();
        for (; first != last; ++first) {
            const auto it = samples.find(*first);
            if (it == samples.end()) return false;
            expected.insert(expected.end(), allBytes.begin() + it->second.bytes,
                            allBytes.begin() + it->second.bytesEnd);
        }
        return true;
    };
    // Text whose bytes are those of its weights.
    auto agrees = [&](const std::u16string& s, const Weights& ws) {
        return ws.ok && expect(ws.primaries.data(), ws.primaries.data() + ws.primaries.size()) &&
               expected == bytesOf(s);
    };
    for (char32_t cp = 0; cp < kCodePoints; ++cp)
        if (!(cp >= 0xD800 && cp <= 0xDFFF) && !worthAsking(cp)) plain.set(cp);
    for (const Seen& one : seen)
        if (expect(allWeights.data() + one.weights, allWeights.data() + one.weightsEnd) &&
            std::equal(expected.begin(), expected.end(), allBytes.begin() + one.bytes,
                       allBytes.begin() + one.bytesEnd))
            plain.set(one.cp);
    auto unset = [&](char32_t cp) { plain.bits[cp / 64] &= ~(std::uint64_t{1} << (cp % 64)); };

    // Contractions of plain characters ("a" and a combining tone mark,
    // weighed as one), and whether their bytes are those of their weights.
    struct Contraction {
        std::u16string text;
        Weights weights;
        std::vector<std::uint8_t> bytes;
        bool agrees;
    };
    std::vector<Contraction> found;
    for (const std::u16string& s : contexts) {
        if (!plainUnits(s, plain)) continue; // plain text never holds it
        Weights ws = weights.of(s);
        const bool fits = agrees(s, ws);
        found.push_back({s, std::move(ws), bytesOf(s), fits});
    }
    // One whose bytes are not is harmless when a weight of its elements
    // comes only from texts with the very same elements: a primary weight
    // no character has alone, or an uncommon secondary one ("l·" as one,
    // "L·", "ŀ"); a text equal to one holding it holds one of those. Those
    // then must have the same bytes; the characters among them with others
    // are not plain. Otherwise text holding it is not
    // plain: a contraction of whole characters where it occurs as it is;
    // one with combining marks, which may come apart, wherever those marks
    // are (и with a combining breve weighs as й).
    std::vector<std::uint64_t> charWeights(allWeights);
    std::sort(charWeights.begin(), charWeights.end());
    for (const Contraction& o : found) {
        if (o.agrees) continue;
        // True when every other contraction that has the weight has the
        // same elements and bytes.
        auto onlyLikeThis = [&](auto&& has) {
            for (const Contraction& other : found) {
                if (other.weights.elements == o.weights.elements) {
                    if (other.bytes != o.bytes) return false;
                    continue;
                }
                for (std::uint64_t e2 : other.weights.elements)
                    if (has(e2)) return false;
            }
            return true;
        };
        bool harmless = false;
        for (std::uint64_t el : o.weights.elements) {
            // A primary weight no character has alone ("沈阳", its 沈 read
            // shěn).
            const std::uint64_t primary = el >> 16;
            if (primary != 0 &&
                !std::binary_search(charWeights.begin(), charWeights.end(), primary) &&
                onlyLikeThis([&](std::uint64_t e2) { return e2 >> 16 == primary; })) {
                harmless = true;
                break;
            }
            const std::uint64_t sec = el & 0xFFFF;
            if (sec == kCommonSecondary) continue;
            const auto& chars = bySecondary[sec];
            if (chars.size() > kFew) continue;
            bool same = true;
            for (char32_t cp : chars)
                same = same && weights.of(unitsOf(cp)).elements == o.weights.elements;
            if (!same || !onlyLikeThis([&](std::uint64_t e2) { return (e2 & 0xFFFF) == sec; }))
                continue;
            for (char32_t cp : chars)
                if (bytesOf(unitsOf(cp)) != o.bytes) unset(cp);
            harmless = true;
            break;
        }
        if (harmless) continue;
        bool marks = false;
        for (std::size_t i = 1; i < o.text.size(); ++i)
            if (u_getCombiningClass(o.text[i]) != 0) {
                unset(o.text[i]);
                marks = true;
            }
        if (!marks) plain.runs[o.text[0]].push_back(o.text);
    }
    return plain;
}

const PlainSet& plainSet(jet::TextOrder order) {
    static std::once_flag onceLegacy, onceGeneral;
    static PlainSet legacy, general;
    if (order == jet::TextOrder::General) {
        std::call_once(onceGeneral, [] { general = build(jet::TextOrder::General); });
        return general;
    }
    std::call_once(onceLegacy, [] { legacy = build(jet::TextOrder::GeneralLegacy); });
    return legacy;
}

// Jet keys hold at most this many code units of a text.
constexpr std::size_t kKeyUnits = 255;

// The first `len` text bytes as an index entry starts with them: the flag
// byte first, then the bytes, with the end mark 01 when `ended`; all of it
// inverted in a descending column.
std::vector<std::uint8_t> flaggedPrefix(const std::vector<std::uint8_t>& bytes, std::size_t len,
                                        bool ended, bool descending) {
    std::vector<std::uint8_t> prefix(len + 1 + (ended ? 1 : 0), 0x01);
    prefix[0] = 0x7F;
    std::copy_n(bytes.begin(), len, prefix.begin() + 1);
    if (descending) {
        prefix[0] = 0x80;
        for (std::size_t i = 1; i < prefix.size(); ++i)
            prefix[i] = static_cast<std::uint8_t>(~prefix[i]);
    }
    return prefix;
}

} // namespace

bool plainText(std::string_view utf8, jet::TextOrder order) {
    if (order == jet::TextOrder::Unsupported) return false;
    return plainUnits(jet::utf16Of(utf8), plainSet(order));
}

bool ColumnCensus::add(std::string_view utf8, jet::TextOrder order) {
    if (!plain) return false;
    std::u16string u = jet::utf16Of(utf8);
    if (order == jet::TextOrder::Unsupported || !plainUnits(u, plainSet(order))) {
        plain = false;
        return false;
    }
    if (u.size() > kKeyUnits) {
        u.resize(kKeyUnits);
        while (!u.empty() && u.back() == u' ')
            u.pop_back();
        std::vector<std::uint8_t> bytes;
        jet::appendTextInline(bytes, u, order);
        const long n = static_cast<long>(bytes.size());
        if (shortestCut < 0 || n < shortestCut) shortestCut = n;
    }
    return true;
}

ColumnCensus censusOf(jet::TableReader& reader, std::size_t column, jet::TextOrder order) {
    ColumnCensus out;
    jet::Cell cell;
    for (reader.rewind(); reader.advance();) {
        reader.cell(column, cell);
        if (cell.kind == jet::Cell::Kind::Null) continue;
        if (cell.kind != jet::Cell::Kind::Text) out.plain = false;
        if (!out.add(cell.text, order)) break;
    }
    return out;
}

std::optional<std::vector<std::uint8_t>> equalityPrefix(std::string_view utf8,
                                                        const ColumnCensus& census,
                                                        jet::TextOrder order, bool descending) {
    if (!census.plain || !plainText(utf8, order)) return std::nullopt;
    std::vector<std::uint8_t> bytes;
    jet::appendTextInline(bytes, jet::utf16Of(utf8), order);
    std::vector<std::uint8_t> space;
    jet::appendTextInline(space, u" ", order);
    // An equal text may end in fewer spaces, which Jet drops: its entry
    // then holds these bytes without some of their trailing spaces'.
    std::size_t len = bytes.size();
    bool whole = true;
    while (!space.empty() && len >= space.size() &&
           std::equal(space.begin(), space.end(),
                      bytes.begin() + static_cast<long>(len - space.size()))) {
        len -= space.size();
        whole = false;
    }
    // An equal text that Jet cut holds at least shortestCut of the bytes.
    if (census.shortestCut >= 0 && static_cast<std::size_t>(census.shortestCut) < len) {
        len = static_cast<std::size_t>(census.shortestCut);
        whole = false;
    }
    // 01 ends the primary bytes.
    return flaggedPrefix(bytes, len, whole, descending);
}

std::optional<std::vector<std::uint8_t>> likePrefix(std::string_view pattern, jet::TextOrder order,
                                                    bool descending) {
    if (order == jet::TextOrder::Unsupported) return std::nullopt;
    std::string literal(pattern.substr(0, pattern.find_first_of("%_")));
    // A matching text starts with these characters; Jet keeps at most the
    // first 255 code units of it and drops trailing spaces from those.
    std::u16string u = jet::utf16Of(literal);
    if (u.size() > kKeyUnits) u.resize(kKeyUnits);
    while (!u.empty() && u.back() == u' ')
        u.pop_back();
    std::vector<std::uint8_t> bytes;
    jet::appendTextInline(bytes, u, order);
    if (bytes.empty()) return std::nullopt;
    // LIKE takes ASCII letters in either case: their bytes must not tell.
    for (const bool upper : {false, true}) {
        std::u16string other = u;
        for (char16_t& ch : other)
            if (upper && ch >= u'a' && ch <= u'z')
                ch = static_cast<char16_t>(ch - u'a' + u'A');
            else if (!upper && ch >= u'A' && ch <= u'Z')
                ch = static_cast<char16_t>(ch - u'A' + u'a');
        std::vector<std::uint8_t> otherBytes;
        jet::appendTextInline(otherBytes, other, order);
        if (otherBytes != bytes) return std::nullopt;
    }
    return flaggedPrefix(bytes, bytes.size(), false, descending);
}

} // namespace engine::jettables
