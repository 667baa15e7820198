// The key prefix a text search looks for holds every stored key of a text
// the collation calls equal: in other letter case or width, with accents
// composed or not, trailing spaces, descending columns, and texts so long
// that Jet cut their keys; so does the prefix of a LIKE pattern for the
// texts it matches. Characters whose key bytes do not follow from
// the collation keep a search off the index.
#include "engine/core/JetTextMatch.h"
#include "engine/sql/JetCollation.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using namespace engine;

namespace {

std::string repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

} // namespace

TEST(JetTextMatchTest, StoredKeysOfEqualTextsStartWithThePrefix) {
    const std::string longA = repeat("a", 300) + "x", longB = repeat("A", 300) + "x";
    const std::string han = repeat("\xF0\xA0\xAE\xB7", 200); // 𠮷, outside the BMP
    const std::vector<std::pair<std::string, std::string>> equal = {
        {"abc", "ABC"},
        {"\xEF\xBC\xA1\xEF\xBD\x82\x63", "abc"},                        // Ａｂc
        {"caf\xC3\xA9", "CAF\xC3\x89"},                                 // café, CAFÉ
        {"cafe\xCC\x81", "caf\xC3\xA9"},                                // e and a combining acute
        {"\xE5\xAE\xA2\xE6\x88\xB7 12", "\xE5\xAE\xA2\xE6\x88\xB7 12"}, // 客户 12
        {"ab ", "ab\xE3\x80\x80"},                                      // an ideographic space
        {"ab", "ab"},
        {"e-mail", "E-MAIL"},
        {"\xD0\x9C\xD0\xB8\xD1\x80", "\xD0\x9C\xD0\x98\xD0\xA0"},     // Мир, МИР
        {"Daniel\xC2\xB7\xE4\xB8\x8A", "DANIEL\xC2\xB7\xE4\xB8\x8A"}, // Daniel·上
        {"\xE5\x8E\xBB\xE6\xB2\x88\xE9\x98\xB3", "\xE5\x8E\xBB\xE6\xB2\x88\xE9\x98\xB3"}, // 去沈阳
        {"", ""},
        {longA, longB},
        {repeat(" ", 250) + "abc", repeat(" ", 250) + "ABC"},
        {han, han},
    };
    for (const auto order : {jet::TextOrder::GeneralLegacy, jet::TextOrder::General}) {
        // Every stored text is in the column, so its census counts the long ones.
        jettables::ColumnCensus census;
        for (const auto& [stored, searched] : equal)
            ASSERT_TRUE(census.add(stored, order)) << stored;
        EXPECT_GT(census.shortestCut, 0);
        for (const bool descending : {false, true})
            for (const auto& [stored, searched] : equal) {
                ASSERT_EQ(sql::collation::compare(stored, searched), 0) << stored;
                const auto prefix = jettables::equalityPrefix(searched, census, order, descending);
                ASSERT_TRUE(prefix) << searched;
                std::vector<std::uint8_t> key{static_cast<std::uint8_t>(descending ? 0x80 : 0x7F)};
                jet::appendTextKey(key, jet::utf16Of(stored), descending, order);
                ASSERT_GE(key.size(), prefix->size()) << stored;
                EXPECT_TRUE(std::equal(prefix->begin(), prefix->end(), key.begin()))
                    << stored << " / " << searched << (descending ? " descending" : "");
            }
    }
    // LIKE: texts that start with the pattern's literal start (ASCII
    // letters in either case), also ones Jet cut or dropped spaces from.
    const std::vector<std::pair<std::string, std::string>> like = {
        {"ABcd", "ab%"},
        {"ab", "ab %"},
        {"xyz", "x_z"},
        {longB, repeat("a", 299) + "%"},
        {"\xE5\xAE\xA2\xE6\x88\xB7 12", "\xE5\xAE\xA2\xE6\x88\xB7%"}};
    for (const bool descending : {false, true})
        for (const auto& [stored, pattern] : like) {
            const auto prefix =
                jettables::likePrefix(pattern, jet::TextOrder::GeneralLegacy, descending);
            ASSERT_TRUE(prefix) << pattern;
            std::vector<std::uint8_t> key{static_cast<std::uint8_t>(descending ? 0x80 : 0x7F)};
            jet::appendTextKey(key, jet::utf16Of(stored), descending,
                               jet::TextOrder::GeneralLegacy);
            EXPECT_TRUE(key.size() >= prefix->size() &&
                        std::equal(prefix->begin(), prefix->end(), key.begin()))
                << stored << " / " << pattern;
        }
    EXPECT_FALSE(jettables::likePrefix("%ab", jet::TextOrder::GeneralLegacy, false));

    // A prefix that ends with the end of the primary bytes does not take
    // in longer texts.
    jettables::ColumnCensus shortOnes;
    const auto prefix =
        jettables::equalityPrefix("abc", shortOnes, jet::TextOrder::GeneralLegacy, false);
    ASSERT_TRUE(prefix);
    std::vector<std::uint8_t> longer{0x7F};
    jet::appendTextKey(longer, u"abcd", false, jet::TextOrder::GeneralLegacy);
    EXPECT_FALSE(std::equal(prefix->begin(), prefix->end(), longer.begin()));
}

TEST(JetTextMatchTest, CharactersTheKeysDoNotFollowKeepSearchesOffTheIndex) {
    const auto order = jet::TextOrder::GeneralLegacy;
    // Arabic-Indic digits equal 0-9 for the collation, not in the keys; a
    // zero-width space is nothing to the collation; ŀ equals "l·".
    for (const char* text : {"\xD9\xA1\xD9\xA2",
                             "a\xE2\x80\x8B"
                             "b",
                             "\xC5\x80"}) {
        EXPECT_FALSE(jettables::plainText(text, order)) << text;
        jettables::ColumnCensus census;
        EXPECT_FALSE(census.add(std::string("x") + text, order));
        EXPECT_FALSE(jettables::equalityPrefix("x", census, order, false));
    }
    // Words the collation weighs as one (沈阳, 重庆) with weights of their
    // own, "l·" told apart by its secondary weight, и though и with a
    // combining breve weighs as й.
    for (const char* text : {"abc", "\xE6\xB2\x88\xE9\x98\xB3", "\xE9\x87\x8D\xE5\xBA\x86",
                             "\xE4\xB8\x8A\xE5\xAE\x98", "Daniel\xC2\xB7Wu", "\xD0\xB8"})
        EXPECT_TRUE(jettables::plainText(text, order)) << text;
    EXPECT_FALSE(jettables::plainText("abc", jet::TextOrder::Unsupported));
}
