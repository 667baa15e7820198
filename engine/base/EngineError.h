#pragma once

#include <stdexcept>
#include <string>

namespace engine {

// Every failure of the engine is one of these: a number, a Chinese text for
// the user, and a developer detail (SQLite's own words, the statement) that
// is never part of the text. Windows look for fixed substrings in the text,
// so the texts live in Messages.h as documented constants; callers that
// decide what to do next decide by the number.
class EngineError : public std::runtime_error {
public:
    EngineError(int number, const std::string& message, std::string detail = {})
        : std::runtime_error(message), number_(number), detail_(std::move(detail)) {}
    int number() const { return number_; }
    const std::string& detail() const { return detail_; }

private:
    int number_;
    std::string detail_;
};

} // namespace engine
