#include "Script.h"

#include "engine/sql/JetSql.h"

namespace tools {

namespace {

std::string trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    const auto e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

void push(std::vector<std::string>& out, const std::string& s) {
    std::string t = trim(s);
    if (!t.empty()) out.push_back(std::move(t));
}

} // namespace

std::vector<std::string> splitStatements(const std::string& script) {
    // The engine's tokenizer knows where quotes, brackets and #dates# end;
    // a ';' it reads as punctuation separates two statements.
    std::vector<std::string> bySemicolon;
    std::size_t from = 0;
    bool sawSeparator = false;
    for (const auto& t : engine::sql::tokenizeLenient(script)) {
        if (t.kind != engine::sql::TokenKind::Punct || t.text != ";") continue;
        push(bySemicolon, script.substr(from, t.offset - from));
        from = t.offset + 1;
        sawSeparator = true;
    }
    push(bySemicolon, script.substr(from));
    if (sawSeparator) return bySemicolon;

    std::vector<std::string> byLine;
    std::string line;
    for (char c : script) {
        if (c == '\n') {
            push(byLine, line);
            line.clear();
        } else {
            line += c;
        }
    }
    push(byLine, line);
    return byLine;
}

} // namespace tools
