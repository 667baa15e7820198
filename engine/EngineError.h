#pragma once

#include <stdexcept>
#include <string>

namespace engine {

// Every failure of the engine is one of these: a number and a Chinese text.
// Windows look for fixed substrings in the text, so the texts live in
// Messages.h as documented constants.
class EngineError : public std::runtime_error {
public:
    EngineError(int number, const std::string& message)
        : std::runtime_error(message), number_(number) {}
    int number() const { return number_; }

private:
    int number_;
};

} // namespace engine
