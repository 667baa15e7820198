#include "ConnectionString.h"

#include "engine/base/Ascii.h"
#include "engine/base/Messages.h"

#include <algorithm>

namespace engine {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

} // namespace

ConnectionString ConnectionString::parse(std::string_view text) {
    ConnectionString cs;
    std::size_t i = 0;
    while (i < text.size()) {
        // Key: up to '='. A ';' before any '=' ends an empty or key-only pair.
        std::size_t eq = i;
        while (eq < text.size() && text[eq] != '=' && text[eq] != ';')
            ++eq;
        std::string_view key = trim(text.substr(i, eq - i));
        if (eq >= text.size() || text[eq] == ';') {
            if (!key.empty()) msg::raise(msg::BadConnectionString, {std::string(key)});
            i = eq + 1;
            continue;
        }
        std::size_t j = eq + 1;
        while (j < text.size() && isBlank(text[j]))
            ++j;
        std::string value;
        if (j < text.size() && (text[j] == '"' || text[j] == '\'')) {
            const char q = text[j++];
            bool closed = false;
            while (j < text.size()) {
                if (text[j] == q) {
                    if (j + 1 < text.size() && text[j + 1] == q) {
                        value += q;
                        j += 2;
                        continue;
                    }
                    closed = true;
                    ++j;
                    break;
                }
                value += text[j++];
            }
            if (!closed) msg::raise(msg::BadConnectionString, {std::string(key)});
            while (j < text.size() && isBlank(text[j]))
                ++j;
            if (j < text.size() && text[j] != ';')
                msg::raise(msg::BadConnectionString, {std::string(key)});
        } else {
            std::size_t end = j;
            while (end < text.size() && text[end] != ';')
                ++end;
            value = std::string(trim(text.substr(j, end - j)));
            j = end;
        }
        if (!key.empty()) cs.values_[ascii::toLower(key)] = value;
        i = j + 1;
    }
    return cs;
}

std::string ConnectionString::get(std::string_view key) const {
    auto it = values_.find(ascii::toLower(key));
    return it == values_.end() ? std::string() : it->second;
}

bool ConnectionString::has(std::string_view key) const {
    return values_.count(ascii::toLower(key)) != 0;
}

std::string ConnectionString::quoteValue(std::string_view value) {
    const bool needs = value.find_first_of(";\"'") != std::string_view::npos ||
                       (!value.empty() && (isBlank(value.front()) || isBlank(value.back())));
    if (!needs) return std::string(value);
    std::string out = "\"";
    for (char c : value) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

} // namespace engine
