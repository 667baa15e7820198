// The base library links on its own: these tests use nothing else.

#include "engine/base/Utf8.h"
#include "engine/base/Messages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<char32_t> decodeAll(std::string_view s) {
    std::vector<char32_t> out;
    std::size_t i = 0;
    while (i < s.size()) {
        const std::size_t before = i;
        out.push_back(engine::utf8::decode(s, i));
        if (i <= before || i > s.size()) {
            ADD_FAILURE() << "no progress or overrun at byte " << before;
            break;
        }
    }
    return out;
}

} // namespace

TEST(Utf8, EveryLengthReadsBackAsWritten) {
    const std::vector<char32_t> cps = {U'A',   0x7F,   0xE9,    0x7FF,   0x800,   U'客',
                                       0xFFFD, 0xFFFF, 0x10000, 0x1F600, 0x10FFFF};
    std::string s;
    for (char32_t cp : cps)
        engine::utf8::append(s, cp);
    EXPECT_EQ(s.size(), 1u + 1 + 2 + 2 + 3 + 3 + 3 + 3 + 4 + 4 + 4);
    EXPECT_EQ(decodeAll(s), cps);
}

// A malformed byte reads as U+FFFD and is passed over alone: the valid
// characters after it are never swallowed, and nothing reads past the end.
TEST(Utf8, MalformedBytesAreReplacedOneAtATime) {
    struct Case {
        std::string bytes;
        std::vector<char32_t> expected;
    };
    // Letters after an escape are written as escapes too ("\x41" is A).
    const Case cases[] = {
        {"\x80\x41", {0xFFFD, U'A'}},               // stray continuation byte
        {"\xE5\xAE", {0xFFFD, 0xFFFD}},             // cut short by the end
        {"\xE5\x41\x42", {0xFFFD, U'A', U'B'}},     // lead byte without its continuation
        {"\xF0\x9F\x98", {0xFFFD, 0xFFFD, 0xFFFD}}, // four-byte sequence cut short
        {"\xFF\xFEx", {0xFFFD, 0xFFFD, U'x'}},      // bytes that start nothing
        {"a客b", {U'a', U'客', U'b'}},              // well-formed
    };
    for (const Case& c : cases) {
        EXPECT_EQ(decodeAll(c.bytes), c.expected) << testing::PrintToString(c.bytes);
        const std::size_t n = engine::utf8::sequenceLength(c.bytes, 0);
        EXPECT_EQ(n != 0, c.expected[0] != 0xFFFD) << testing::PrintToString(c.bytes);
    }
}

// Message arguments come from users and files: broken text is shown as
// U+FFFD and control bytes are spelt out, so a message is always printable.
TEST(Utf8, MessageArgumentsArePrintable) {
    const std::string broken = std::string("a\xE5\xAE\x01") + "b";
    const std::string text = engine::msg::format(engine::msg::FileNotFound, {broken});
    EXPECT_EQ(text, "找不到文件“a\xEF\xBF\xBD\xEF\xBF\xBD\\x01b”。");
}
