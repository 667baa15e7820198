#include "Messages.h"

namespace engine::msg {

std::string format(const Message& m, std::initializer_list<std::string> args) {
    std::string out;
    const std::string text = m.text;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
            std::size_t n = static_cast<std::size_t>(text[i + 1] - '1');
            if (n < args.size()) out += *(args.begin() + n);
            ++i;
            continue;
        }
        out += text[i];
    }
    return out;
}

void raise(const Message& m, std::initializer_list<std::string> args) {
    throw EngineError(m.number, format(m, args));
}

} // namespace engine::msg
