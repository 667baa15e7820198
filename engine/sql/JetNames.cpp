// Jet's reserved words and the quoting of names and text for Jet statements.

#include "JetSql.h"
#include "JetText.h"
#include "SqlInternal.h"

#include "engine/base/Ascii.h"

#include <algorithm>
#include <array>

#include <unicode/uchar.h>

namespace engine::sql {

namespace {

struct Reserved {
    std::string_view word;
    // The expression parser stops at these: after an expression or a list
    // item they are never read as an alias or a column. The others matter
    // to DDL and to other readers of the statement.
    bool endsExpression;
};

// Sorted, in capitals.
constexpr std::array<Reserved, 63> kReserved = {{
    {"ADD", false},        {"ALL", true},         {"ALTER", false},      {"AND", true},
    {"ANY", false},        {"AS", true},          {"ASC", true},         {"BETWEEN", true},
    {"BY", true},          {"COLUMN", false},     {"CONSTRAINT", false}, {"CREATE", false},
    {"CROSS", true},       {"DATABASE", false},   {"DELETE", true},      {"DESC", true},
    {"DISTINCT", true},    {"DISTINCTROW", true}, {"DROP", false},       {"EQV", true},
    {"EXISTS", true},      {"FROM", true},        {"FULL", true},        {"GROUP", true},
    {"HAVING", true},      {"IMP", true},         {"IN", true},          {"INDEX", false},
    {"INNER", true},       {"INSERT", true},      {"INTO", true},        {"IS", true},
    {"JOIN", true},        {"KEY", false},        {"LEFT", true},        {"LIKE", true},
    {"MOD", true},         {"NOT", true},         {"NULL", true},        {"ON", true},
    {"OR", true},          {"ORDER", true},       {"OUTER", true},       {"OWNERACCESS", true},
    {"PERCENT", true},     {"PRIMARY", false},    {"PROC", false},       {"PROCEDURE", false},
    {"REFERENCES", false}, {"RIGHT", true},       {"SELECT", true},      {"SET", true},
    {"SOME", false},       {"TABLE", true},       {"TOP", true},         {"UNION", true},
    {"UNIQUE", false},     {"UPDATE", true},      {"VALUES", true},      {"VIEW", false},
    {"WHERE", true},       {"WITH", true},        {"XOR", true},
}};

static_assert(std::is_sorted(kReserved.begin(), kReserved.end(),
                             [](const Reserved& a, const Reserved& b) { return a.word < b.word; }));

const Reserved* findReserved(std::string_view word) {
    if (word.size() > 11) return nullptr; // longer than any reserved word
    const std::string up = ascii::toUpper(word);
    const auto it =
        std::lower_bound(kReserved.begin(), kReserved.end(), up,
                         [](const Reserved& r, const std::string& w) { return r.word < w; });
    return it != kReserved.end() && it->word == up ? &*it : nullptr;
}

bool isLetter(char32_t c) {
    const auto type = static_cast<UCharCategory>(u_charType(static_cast<UChar32>(c)));
    return type == U_UPPERCASE_LETTER || type == U_LOWERCASE_LETTER || type == U_TITLECASE_LETTER ||
           type == U_MODIFIER_LETTER || type == U_OTHER_LETTER;
}

bool isNumber(char32_t c) {
    const auto type = static_cast<UCharCategory>(u_charType(static_cast<UChar32>(c)));
    return type == U_DECIMAL_DIGIT_NUMBER || type == U_LETTER_NUMBER || type == U_OTHER_NUMBER;
}

// Letters, digits and '_', not starting with a digit, and not reserved: the
// tokenizer reads it as one name without brackets.
bool plainName(std::string_view name) {
    if (name.empty()) return false;
    std::size_t i = 0;
    const char32_t first = text::decode(name, i);
    if (!(first == '_' || isLetter(first))) return false;
    while (i < name.size()) {
        const char32_t c = text::decode(name, i);
        if (!(c == '_' || isLetter(c) || isNumber(c))) return false;
    }
    return !isReservedWord(name);
}

} // namespace

bool isReservedWord(std::string_view word) {
    return findReserved(word) != nullptr;
}

bool endsExpression(std::string_view word) {
    const Reserved* r = findReserved(word);
    return r && r->endsExpression;
}

std::string quoteJetName(std::string_view name, bool always) {
    if (!always && plainName(name)) return std::string(name);
    // Jet names cannot hold ']'; should one come, backquotes still read it.
    if (name.find(']') != std::string_view::npos && name.find('`') == std::string_view::npos)
        return "`" + std::string(name) + "`";
    return "[" + std::string(name) + "]";
}

std::string quoteJetString(std::string_view text) {
    std::string out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    out += '\'';
    return out;
}

} // namespace engine::sql
