#pragma once

// The token cursor both Jet SQL parsers read with: the translator's parser
// and the DDL reader.

#include "JetSql.h"
#include "SqlInternal.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace engine::sql {

class TokenCursor {
protected:
    // The tokens end with an End token. A trailing ';' (or several) ends the
    // statement as in Jet, so it is dropped here.
    explicit TokenCursor(std::vector<Token> tokens) : t_(std::move(tokens)) {
        while (t_.size() >= 2 && t_[t_.size() - 2].kind == TokenKind::Punct &&
               t_[t_.size() - 2].text == ";")
            t_.erase(t_.end() - 2);
    }

    // The token `ahead` places on; past the end, the End token.
    const Token& peek(std::size_t ahead = 0) const {
        return t_[std::min(p_ + ahead, t_.size() - 1)];
    }
    // The current token; moves on unless at the End token.
    const Token& next() {
        const Token& tk = t_[p_];
        if (p_ + 1 < t_.size()) ++p_;
        return tk;
    }
    bool atEnd() const { return peek().kind == TokenKind::End; }

    // Keywords compare without case; `w` is given in capitals.
    bool peekWord(std::string_view w, std::size_t ahead = 0) const {
        return isWord(peek(ahead), w);
    }
    bool acceptWord(std::string_view w) {
        if (!peekWord(w)) return false;
        next();
        return true;
    }
    bool peekPunct(std::string_view c, std::size_t ahead = 0) const {
        const Token& tk = peek(ahead);
        return tk.kind == TokenKind::Punct && tk.text == c;
    }
    bool acceptPunct(std::string_view c) {
        if (!peekPunct(c)) return false;
        next();
        return true;
    }
    bool peekOp(std::string_view op) const {
        return peek().kind == TokenKind::Operator && peek().text == op;
    }

    // Where a syntax failure happened, for its text.
    std::string near() const {
        if (atEnd()) return "语句末尾";
        return "“" + peek().text + "”";
    }
    [[noreturn]] void expected(const std::string& what) const {
        syntaxError("缺少" + what + "（在" + near() + "处）");
    }
    void expectWord(std::string_view w) {
        if (!acceptWord(w)) expected("“" + std::string(w) + "”");
    }
    void expectPunct(std::string_view c) {
        if (!acceptPunct(c)) expected("“" + std::string(c) + "”");
    }
    void expectEnd() {
        if (!atEnd()) syntaxError("语句末尾有多余的内容：" + near());
    }

    std::vector<Token> t_;
    std::size_t p_ = 0;
};

} // namespace engine::sql
