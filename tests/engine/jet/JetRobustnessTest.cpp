// Damaged and hostile files: every one must fail with an EngineError (never
// crash, hang or read out of bounds; run under ASan to see the last).

#include "JetTestSupport.h"
#include "engine/base/Messages.h"

#include <fstream>
#include <iterator>
#include <random>

using engine::EngineError;
using engine::jet::JetFile;
using jettest::corpusFile;

namespace {

std::vector<char> readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string writeTemp(const std::string& name, const std::vector<char>& bytes) {
    auto p = std::filesystem::temp_directory_path() / ("jetfuzz_" + name);
    std::ofstream(p, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return p.string();
}

// Opens the file and reads everything in it; true when all of it read,
// false when it failed with an EngineError. Anything else fails the test.
bool readEverything(const std::string& path) {
    try {
        JetFile f = JetFile::open(path, "password");
        for (const auto& e : f.catalog()) {
            if (e.kind != engine::jet::ObjectKind::Table &&
                e.kind != engine::jet::ObjectKind::SystemTable)
                continue;
            f.table(e.name);
            f.forEachRow(e.name, [](const std::vector<engine::Value>&) { return true; });
        }
        f.queries();
        return true;
    } catch (const EngineError& e) {
        EXPECT_FALSE(std::string(e.what()).empty());
        return false;
    }
}

} // namespace

TEST(JetRobustness, TruncatedFilesFailCleanly) {
    JET_REQUIRE_CORPUS("queryTestV2000.mdb");
    for (const char* file : {"queryTestV2000.mdb", "testV1997.mdb"}) {
        std::vector<char> bytes = readAll(corpusFile(file));
        for (std::size_t len :
             {std::size_t{0}, std::size_t{10}, std::size_t{100}, std::size_t{2048},
              std::size_t{5000}, bytes.size() / 2, bytes.size() - 1000}) {
            std::vector<char> cut(bytes.begin(), bytes.begin() + static_cast<long>(len));
            const std::string path = writeTemp("cut.mdb", cut);
            if (len < 3 * 2048) {
                EXPECT_THROW(JetFile::open(path), EngineError) << file << " " << len;
            } else {
                readEverything(path);
            }
        }
    }
}

TEST(JetRobustness, CorruptPagesAndOffsetsFailWithTheDamagedFileMessage) {
    JET_REQUIRE_CORPUS("testV2000.mdb");
    std::vector<char> bytes = readAll(corpusFile("testV2000.mdb"));
    const std::size_t page = 4096;
    // The catalogue's definition page no longer says it is one.
    std::vector<char> a = bytes;
    a[2 * page] = 0x07;
    try {
        JetFile::open(writeTemp("tdef.mdb", a));
        FAIL();
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number(), engine::msg::Corrupt.number);
        EXPECT_NE(std::string(e.what()).find("损坏"), std::string::npos);
    }
    // Every row offset on every data page pointed past the page end.
    std::vector<char> b = bytes;
    for (std::size_t p = 1; p < b.size() / page; ++p) {
        char* pg = b.data() + p * page;
        if (pg[0] != 0x01) continue;
        const int rows =
            static_cast<unsigned char>(pg[12]) | (static_cast<unsigned char>(pg[13]) << 8);
        for (int r = 0; r < rows && 14 + 2 * r + 1 < static_cast<int>(page); ++r) {
            pg[14 + 2 * r] = static_cast<char>(0xFF);
            pg[14 + 2 * r + 1] = 0x1F;
        }
    }
    EXPECT_FALSE(readEverything(writeTemp("offsets.mdb", b)));
    // Huge column and index counts in every table definition.
    std::vector<char> c = bytes;
    for (std::size_t p = 1; p < c.size() / page; ++p) {
        char* pg = c.data() + p * page;
        if (pg[0] != 0x02) continue;
        pg[45] = pg[46] = static_cast<char>(0xFF);
        pg[51] = pg[52] = pg[53] = static_cast<char>(0x7F);
    }
    EXPECT_FALSE(readEverything(writeTemp("counts.mdb", c)));
}

TEST(JetRobustness, RandomDamageNeverCrashes) {
    JET_REQUIRE_CORPUS("testV2000.mdb");
    std::mt19937 rng(20261208);
    for (const char* file : {"queryTestV2000.mdb", "testV1997.mdb", "overflowTestV2000.mdb",
                             "testUnicodeCompV2003.mdb", "db-enc.mdb", "test2V2000.mdb"}) {
        const std::vector<char> bytes = readAll(corpusFile(file));
        for (int round = 0; round < 40; ++round) {
            std::vector<char> m = bytes;
            // Damage a few bytes of pages other than the header, as a bad disk would.
            const int hits = 1 + static_cast<int>(rng() % 64);
            for (int i = 0; i < hits; ++i) {
                std::size_t at = 2048 + rng() % (m.size() - 2048);
                m[at] = static_cast<char>(rng());
            }
            readEverything(writeTemp("random.mdb", m));
        }
        // Pure noise behind a valid header.
        std::vector<char> noise = bytes;
        for (std::size_t i = 0x100; i < noise.size(); ++i)
            noise[i] = static_cast<char>(rng());
        readEverything(writeTemp("noise.mdb", noise));
    }
}
