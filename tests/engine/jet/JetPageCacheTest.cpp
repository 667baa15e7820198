// The reader's page cache: bounded by bytes, the least recently used page
// leaves first, and a page still in use stays readable after it left.

#include "engine/jet/JetInternal.h"

#include <gtest/gtest.h>

using engine::jet::Page;
using engine::jet::PageCache;

namespace {

Page pageOf(std::uint8_t fill) {
    return std::make_shared<const std::vector<std::uint8_t>>(4096, fill);
}

} // namespace

TEST(JetPageCache, StaysWithinItsBoundAndKeepsWhatIsInUse) {
    PageCache cache(10 * 4096);
    Page held = pageOf(7);
    cache.put(1, held);
    for (std::uint32_t n = 2; n < 200; ++n) {
        cache.put(n, pageOf(static_cast<std::uint8_t>(n)));
        // Page 2 is asked for all the time: it never leaves.
        if (n > 2) {
            ASSERT_NE(cache.find(2), nullptr) << n;
        }
        EXPECT_LE(cache.bytes(), cache.limit());
    }
    EXPECT_EQ(cache.find(1), nullptr);   // left long ago
    EXPECT_EQ((*held)[4095], 7);         // still readable by its holder
    EXPECT_NE(cache.find(199), nullptr); // the newest stays
    EXPECT_EQ(cache.find(150), nullptr); // older than the last nine
    cache.put(199, pageOf(0));           // a page already there is kept as it is
    EXPECT_EQ((*cache.find(199))[0], 199 % 256);
}
