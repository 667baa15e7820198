// The Jet SQL tokenizer. Every later step works on its tokens, so literals
// and bracketed names are read exactly once here and never rewritten.

#include "JetDate.h"
#include "JetSql.h"
#include "JetText.h"
#include "SqlInternal.h"

#include "engine/base/Messages.h"

namespace engine::sql {

namespace {

bool isWordStart(char32_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
           (c >= 0x80 && c != 0x3000 && c != 0xA0 && c != 0xFEFF);
}

bool isWordChar(char32_t c) {
    return isWordStart(c) || (c >= '0' && c <= '9');
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isHexDigit(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// A short piece of the input for error texts.
std::string excerpt(std::string_view s, std::size_t from) {
    std::string out;
    std::size_t i = from;
    std::size_t n = 0;
    while (i < s.size() && n < 20) {
        text::append(out, text::decode(s, i));
        ++n;
    }
    if (i < s.size()) out += "…";
    return out;
}

} // namespace

std::vector<Token> tokenizeImpl(std::string_view s, bool lenient) {
    std::vector<Token> out;
    std::size_t i = 0;
    auto fail = [&](const std::string& detail) {
        if (lenient) return false;
        msg::raise(msg::Syntax, {detail});
    };
    auto push = [&](TokenKind kind, std::size_t from, std::string value) {
        Token t;
        t.kind = kind;
        t.text = std::string(s.substr(from, i - from));
        t.value = std::move(value);
        t.offset = from;
        out.push_back(std::move(t));
    };
    while (i < s.size()) {
        const std::size_t start = i;
        std::size_t next = i;
        const char32_t cp = text::decode(s, next);
        if (cp == ' ' || cp == '\t' || cp == '\r' || cp == '\n' || cp == '\f' || cp == '\v' ||
            cp == 0x3000 || cp == 0xA0 || cp == 0xFEFF) {
            i = next;
            continue;
        }
        const char c = s[i];
        if (c == '[' || c == '`') {
            const char close = c == '[' ? ']' : '`';
            const std::size_t end = s.find(close, i + 1);
            if (end == std::string_view::npos) {
                if (!fail("名称缺少结束的“" + std::string(1, close) + "”：" + excerpt(s, start)))
                    break;
            }
            i = end + 1;
            push(TokenKind::QuotedName, start, std::string(s.substr(start + 1, end - start - 1)));
            continue;
        }
        if (c == '\'' || c == '"') {
            std::string value;
            std::size_t k = i + 1;
            bool closed = false;
            while (k < s.size()) {
                if (s[k] == c) {
                    if (k + 1 < s.size() && s[k + 1] == c) {
                        value += c;
                        k += 2;
                        continue;
                    }
                    closed = true;
                    break;
                }
                value += s[k++];
            }
            if (!closed) {
                if (!fail("字符串缺少结束的引号：" + excerpt(s, start))) break;
            }
            i = k + 1;
            push(TokenKind::String, start, std::move(value));
            continue;
        }
        if (c == '#') {
            const std::size_t end = s.find('#', i + 1);
            if (end == std::string_view::npos) {
                if (!fail("日期值缺少结束的“#”：" + excerpt(s, start))) break;
            }
            date::DateTime dt;
            const std::string_view inner = s.substr(i + 1, end - i - 1);
            const bool valid = date::parse(inner, dt) && date::validRange(dt);
            // Leniently an unreadable date is still one token, so that what
            // follows it is read.
            if (!valid) fail("无效的日期值：#" + std::string(inner) + "#");
            i = end + 1;
            push(TokenKind::Date, start, valid ? date::canonical(dt) : std::string());
            continue;
        }
        if (isDigit(c) || (c == '.' && i + 1 < s.size() && isDigit(s[i + 1]))) {
            std::size_t k = i;
            while (k < s.size() && isDigit(s[k]))
                ++k;
            if (k < s.size() && s[k] == '.') {
                ++k;
                while (k < s.size() && isDigit(s[k]))
                    ++k;
            }
            if (k < s.size() && (s[k] == 'e' || s[k] == 'E')) {
                std::size_t e = k + 1;
                if (e < s.size() && (s[e] == '+' || s[e] == '-')) ++e;
                if (e < s.size() && isDigit(s[e])) {
                    while (e < s.size() && isDigit(s[e]))
                        ++e;
                    k = e;
                }
            }
            i = k;
            push(TokenKind::Number, start, std::string(s.substr(start, k - start)));
            continue;
        }
        if (c == '&' && i + 2 < s.size() &&
            (s[i + 1] == 'H' || s[i + 1] == 'h' || s[i + 1] == 'O' || s[i + 1] == 'o')) {
            const bool hex = s[i + 1] == 'H' || s[i + 1] == 'h';
            std::size_t k = i + 2;
            while (k < s.size() && (hex ? isHexDigit(s[k]) : (s[k] >= '0' && s[k] <= '7')))
                ++k;
            std::size_t after = k;
            const bool followedByWord = after < s.size() && isWordChar(text::decode(s, after));
            if (k > i + 2 && k - (i + 2) <= 16 && !followedByWord) {
                const unsigned long long v =
                    std::stoull(std::string(s.substr(i + 2, k - i - 2)), nullptr, hex ? 16 : 8);
                i = k;
                push(TokenKind::Number, start, std::to_string(static_cast<long long>(v)));
                continue;
            }
        }
        if (isWordStart(cp)) {
            std::size_t k = next;
            while (k < s.size()) {
                std::size_t n2 = k;
                const char32_t d = text::decode(s, n2);
                if (!isWordChar(d)) break;
                k = n2;
            }
            if (k < s.size() && s[k] == '$') ++k; // Left$, Mid$, ...
            i = k;
            push(TokenKind::Word, start, std::string(s.substr(start, k - start)));
            continue;
        }
        if (c == '?') {
            ++i;
            push(TokenKind::Parameter, start, "?");
            continue;
        }
        if ((c == '@' || c == ':') && i + 1 < s.size()) {
            std::size_t k = i + 1;
            std::size_t n2 = k;
            if (isWordStart(text::decode(s, n2))) {
                k = n2;
                while (k < s.size()) {
                    std::size_t n3 = k;
                    if (!isWordChar(text::decode(s, n3))) break;
                    k = n3;
                }
                i = k;
                push(TokenKind::Parameter, start, std::string(s.substr(start + 1, k - start - 1)));
                continue;
            }
        }
        static const char* const kTwo[] = {"<>", "<=", ">=", "!=", "||"};
        bool two = false;
        for (const char* op : kTwo) {
            if (s.substr(i, 2) == op) {
                i += 2;
                push(TokenKind::Operator, start, op);
                two = true;
                break;
            }
        }
        if (two) continue;
        if (std::string_view("=<>+-*/\\&^").find(c) != std::string_view::npos) {
            ++i;
            push(TokenKind::Operator, start, std::string(1, c));
            continue;
        }
        if (std::string_view("(),.;!").find(c) != std::string_view::npos) {
            ++i;
            push(TokenKind::Punct, start, std::string(1, c));
            continue;
        }
        // Leniently an unknown character is passed over.
        fail("无法识别的字符“" + excerpt(s, start).substr(0, next - start) + "”");
        i = next;
    }
    Token end;
    end.kind = TokenKind::End;
    end.offset = s.size();
    out.push_back(end);
    return out;
}

std::vector<Token> tokenize(std::string_view jet) {
    return tokenizeImpl(jet, false);
}

std::vector<Token> tokenizeLenient(std::string_view jet) {
    return tokenizeImpl(jet, true);
}

} // namespace engine::sql
