#include "engine/base/EngineError.h"
#include "engine/sql/JetSql.h"

#include <gtest/gtest.h>

using namespace engine::sql;

namespace {

std::string kinds(const std::vector<Token>& t) {
    std::string out;
    for (const auto& tk : t) {
        switch (tk.kind) {
        case TokenKind::Word:
            out += 'W';
            break;
        case TokenKind::QuotedName:
            out += 'Q';
            break;
        case TokenKind::String:
            out += 'S';
            break;
        case TokenKind::Number:
            out += 'N';
            break;
        case TokenKind::Date:
            out += 'D';
            break;
        case TokenKind::Parameter:
            out += 'P';
            break;
        case TokenKind::Operator:
            out += 'O';
            break;
        case TokenKind::Punct:
            out += 'p';
            break;
        case TokenKind::End:
            out += '$';
            break;
        }
    }
    return out;
}

int syntaxNumber(const std::string& jet) {
    try {
        tokenize(jet);
    } catch (const engine::EngineError& e) {
        return e.number();
    }
    return 0;
}

} // namespace

TEST(Tokenizer, NamesMayBeChineseOrBracketed) {
    const auto t = tokenize("select 客户.名称,[Order Details].[Unit Price] from `a b`");
    EXPECT_EQ(kinds(t), "WWpWpQpQWQ$");
    EXPECT_EQ(t[1].value, "客户");
    EXPECT_EQ(t[3].value, "名称");
    EXPECT_EQ(t[5].value, "Order Details");
    EXPECT_EQ(t[5].text, "[Order Details]");
    EXPECT_EQ(t[7].value, "Unit Price");
    EXPECT_EQ(t[9].value, "a b");
    // Offsets point at the bytes of the token.
    const std::string src = "x = 客户名";
    const auto u = tokenize(src);
    EXPECT_EQ(src.substr(u[2].offset, u[2].text.size()), "客户名");
    // A full-width blank separates words.
    EXPECT_EQ(kinds(tokenize("a\u3000b")), "WW$");
    EXPECT_EQ(tokenize("Left$(a, 1)")[0].value, "Left$");
}

TEST(Tokenizer, LiteralsKeepTheirContent) {
    auto t = tokenize("'it''s [x]' \"say \"\"hi\"\"\" ''");
    EXPECT_EQ(kinds(t), "SSS$");
    EXPECT_EQ(t[0].value, "it's [x]");
    EXPECT_EQ(t[0].text, "'it''s [x]'");
    EXPECT_EQ(t[1].value, "say \"hi\"");
    EXPECT_EQ(t[2].value, "");
    // A bracket holds anything up to the first ].
    t = tokenize("[a 'b\" #c]");
    EXPECT_EQ(kinds(t), "Q$");
    EXPECT_EQ(t[0].value, "a 'b\" #c");
}

TEST(Tokenizer, DateLiteralsBecomeCanonical) {
    EXPECT_EQ(tokenize("#1/31/2024#")[0].value, "2024-01-31 00:00:00");
    EXPECT_EQ(tokenize("#2024-01-31 13:05#")[0].value, "2024-01-31 13:05:00");
    EXPECT_EQ(tokenize("#2024/1/31 1:05:09 PM#")[0].value, "2024-01-31 13:05:09");
    EXPECT_EQ(tokenize("#31/1/2024#")[0].value, "2024-01-31 00:00:00");
    EXPECT_EQ(tokenize("#13:30#")[0].value, "1899-12-30 13:30:00");
    EXPECT_EQ(tokenize("#2/29/2024#")[0].kind, TokenKind::Date);
    EXPECT_EQ(syntaxNumber("#2/30/2024#"), 3075);
    EXPECT_EQ(syntaxNumber("#25:00#"), 3075);
    EXPECT_EQ(syntaxNumber("#hello#"), 3075);
}

TEST(Tokenizer, NumbersOperatorsAndParameters) {
    const auto t = tokenize("1 2.5 .5 1e3 1.5E-2 &H1F &o17 a&b <> <= >= ^ \\ ? :p @q");
    EXPECT_EQ(kinds(t), "NNNNNNNWOWOOOOOPPP$");
    EXPECT_EQ(t[5].value, "31");
    EXPECT_EQ(t[6].value, "15");
    EXPECT_EQ(t[8].text, "&");
    EXPECT_EQ(t[16].value, "p");
    // "&Hello" is a concatenation with a field, not a number.
    EXPECT_EQ(kinds(tokenize("a &Hello")), "WOW$");
    // Comments are not Jet: -- is two minus signs.
    EXPECT_EQ(kinds(tokenize("1 -- 2")), "NOON$");
}

TEST(Tokenizer, UnterminatedPiecesAreSyntaxErrors) {
    for (const char* bad : {"'abc", "\"abc", "[abc", "`abc", "#1/1/2024", "a $ b"}) {
        try {
            tokenize(bad);
            ADD_FAILURE() << bad;
        } catch (const engine::EngineError& e) {
            EXPECT_EQ(e.number(), 3075);
            EXPECT_NE(std::string(e.what()).find("SQL 语句语法错误"), std::string::npos);
        }
    }
}

// Tools read statements the engine has not checked: leniently, an
// unreadable date or an unknown character does not end the tokens, an
// unterminated piece does.
TEST(Tokenizer, LenientTokensGoOnPastWhatTheStrictOnesRefuse) {
    const auto t = tokenizeLenient("select #99/99/99# $ ; x");
    EXPECT_EQ(kinds(t), "WDpW$");
    EXPECT_EQ(t[1].value, "");
    EXPECT_EQ(kinds(tokenizeLenient("a; 'open ; b")), "Wp$");
}

// What the quoting functions write reads back, through the tokenizer, as
// exactly the one name or text they were given.
TEST(Tokenizer, QuotedNamesAndTextsReadBackAsGiven) {
    for (const std::string name : {"Orders", "客户_2", "_a", "Order Details", "order", "Mod", "key",
                                   "xor", "2024", "a-b", "Left$", "名 称", "x]y", "ＡＢ１"}) {
        for (const bool always : {false, true}) {
            const std::string q = quoteJetName(name, always);
            const auto t = tokenize(q);
            ASSERT_EQ(t.size(), 2u) << q;
            EXPECT_EQ(t[0].kind == TokenKind::Word ? t[0].text : t[0].value, name) << q;
        }
    }
    EXPECT_EQ(quoteJetName("客户_2"), "客户_2");
    EXPECT_EQ(quoteJetName("客户_2", true), "[客户_2]");
    // Reserved words are bracketed whether the expression parser or only
    // DDL stops at them.
    EXPECT_EQ(quoteJetName("Mod"), "[Mod]");
    EXPECT_EQ(quoteJetName("Key"), "[Key]");
    EXPECT_TRUE(isReservedWord("select") && isReservedWord("Primary"));
    EXPECT_FALSE(isReservedWord("Orders") || isReservedWord("selects"));

    for (const std::string text : {"", "it's", "''", "a;b", "中文'\"", "#1/1/2024#"}) {
        const auto t = tokenize(quoteJetString(text));
        ASSERT_EQ(t.size(), 2u) << text;
        EXPECT_EQ(t[0].kind, TokenKind::String);
        EXPECT_EQ(t[0].value, text);
    }
}
