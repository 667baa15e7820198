#include "Script.h"

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
    std::vector<std::string> bySemicolon;
    std::string current;
    char quote = 0; // ', ", ] or # while inside one
    bool sawSeparator = false;
    for (char c : script) {
        if (quote) {
            current += c;
            if (c == quote) quote = 0; // a doubled quote reopens on the next character
            continue;
        }
        switch (c) {
        case '\'':
            quote = '\'';
            break;
        case '"':
            quote = '"';
            break;
        case '[':
            quote = ']';
            break;
        case '#':
            quote = '#';
            break;
        case ';':
            push(bySemicolon, current);
            current.clear();
            sawSeparator = true;
            continue;
        default:
            break;
        }
        current += c;
    }
    push(bySemicolon, current);
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
