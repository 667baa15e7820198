// Opening files: recognising them, the header fields, passwords, encoded pages.

#include "JetTestSupport.h"
#include "engine/base/Messages.h"

#include "engine/jet/JetInternal.h"

#include <cstring>
#include <fstream>
#include <iterator>

using engine::EngineError;
using engine::jet::JetFile;
using jettest::corpusFile;

namespace {

std::string tempFile(const std::string& name, const std::string& bytes) {
    auto p = std::filesystem::temp_directory_path() / name;
    std::ofstream(p, std::ios::binary) << bytes;
    return p.string();
}

} // namespace

TEST(JetOpen, RecognisesJetFilesByTheirHeaderOnly) {
    JET_REQUIRE_CORPUS("testV2000.mdb");
    EXPECT_TRUE(engine::jet::looksLikeJetFile(corpusFile("testV2000.mdb")));
    EXPECT_TRUE(engine::jet::looksLikeJetFile(corpusFile("testV1997.mdb")));
    EXPECT_FALSE(engine::jet::looksLikeJetFile(tempFile("jet_not.mdb", "SQLite format 3")));
    EXPECT_FALSE(engine::jet::looksLikeJetFile("/nonexistent/dir/x.mdb"));
}

TEST(JetOpen, ReadsHeaderOfJet3AndJet4) {
    JET_REQUIRE_CORPUS("testV2000.mdb");
    JetFile j4 = JetFile::open(corpusFile("testV2000.mdb"));
    EXPECT_EQ(j4.header().jetVersion, 4);
    EXPECT_EQ(j4.header().pageSize, 4096u);
    EXPECT_EQ(j4.header().codePage, 1252);
    EXPECT_EQ(j4.header().sortOrder, 1033);
    EXPECT_EQ(j4.header().created, "2004-05-28 17:46:30");
    EXPECT_FALSE(j4.header().hasPassword);
    EXPECT_FALSE(j4.header().pagesEncoded);

    JetFile j3 = JetFile::open(corpusFile("testV1997.mdb"));
    EXPECT_EQ(j3.header().jetVersion, 3);
    EXPECT_EQ(j3.header().pageSize, 2048u);
    EXPECT_EQ(j3.header().codePage, 1252);
    EXPECT_EQ(j3.header().created, "");
}

TEST(JetOpen, DatabasePasswordIsChecked) {
    JET_REQUIRE_CORPUS("V2000_with-password.mdb");
    const std::string path = corpusFile("V2000_with-password.mdb");
    for (const char* wrong : {"", "Password", "passwor", "password "}) {
        try {
            JetFile::open(path, wrong);
            ADD_FAILURE() << "opened with wrong password '" << wrong << "'";
        } catch (const EngineError& e) {
            EXPECT_EQ(e.number(), engine::msg::WrongPassword.number);
            EXPECT_NE(std::string(e.what()).find("密码"), std::string::npos);
        }
    }
    JetFile f = JetFile::open(path, "password");
    EXPECT_TRUE(f.header().hasPassword);
    auto rows = jettest::allRows(f, "Table1");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[2][1].text(), "Three");

    // The twin without a password opens whatever is given.
    JetFile open = JetFile::open(corpusFile("V2000_no-password.mdb"), "anything");
    EXPECT_FALSE(open.header().hasPassword);
    EXPECT_EQ(jettest::allRows(open, "Table1").size(), 3u);
}

TEST(JetOpen, ReadsRc4EncodedPages) {
    JET_REQUIRE_CORPUS("db-enc.mdb");
    JetFile f = JetFile::open(corpusFile("db-enc.mdb"));
    EXPECT_TRUE(f.header().pagesEncoded);
    auto rows = jettest::allRows(f, "Table1");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(jettest::texts(rows[0]), (std::vector<std::string>{"1", "hello", "0"}));
    EXPECT_EQ(jettest::texts(rows[1]), (std::vector<std::string>{"2", "world", "42"}));
}

TEST(JetOpen, RefusesWhatIsNotAJetFile) {
    auto numberOf = [](const std::string& path) {
        try {
            JetFile::open(path);
        } catch (const EngineError& e) {
            return e.number();
        }
        return 0;
    };
    EXPECT_EQ(numberOf("/nonexistent/dir/x.mdb"), engine::msg::FileNotFound.number);
    EXPECT_EQ(numberOf(""), engine::msg::EmptyPath.number);
    EXPECT_EQ(numberOf(tempFile("jet_text.mdb", std::string(5000, 'x'))),
              engine::msg::NotADatabase.number);
    EXPECT_EQ(numberOf(std::filesystem::temp_directory_path().string()),
              engine::msg::NotADatabase.number);
}

namespace {

// Copies a sample file and stores `password` in its header the way the
// desktop engine does: in the RC4-encoded header region, and for Jet 4
// further masked with the creation date.
std::string withPassword(const std::string& sample, const std::string& password, bool jet4) {
    std::ifstream in(corpusFile(sample), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto* h = reinterpret_cast<std::uint8_t*>(bytes.data());
    const std::uint8_t key[4] = {0xC7, 0xDA, 0x39, 0x6B};
    const std::size_t region = jet4 ? 128 : 126;
    engine::jet::rc4(key, 4, h + 0x18, region);
    if (jet4) {
        double created;
        std::memcpy(&created, h + 0x72, 8);
        const auto mask = static_cast<std::int32_t>(created);
        std::uint8_t m[4];
        std::memcpy(m, &mask, 4);
        for (std::size_t i = 0; i < 40; ++i) {
            const std::uint8_t c = i / 2 < password.size() && i % 2 == 0
                                       ? static_cast<std::uint8_t>(password[i / 2])
                                       : 0;
            h[0x42 + i] = c ^ m[i % 4];
        }
    } else {
        for (std::size_t i = 0; i < 20; ++i)
            h[0x42 + i] = i < password.size() ? static_cast<std::uint8_t>(password[i]) : 0;
    }
    engine::jet::rc4(key, 4, h + 0x18, region);
    return tempFile("jet_pw_" + sample, bytes);
}

} // namespace

TEST(JetOpen, Jet3AndJet4PasswordsStoredInTheHeader) {
    JET_REQUIRE_CORPUS("testV1997.mdb");
    for (bool jet4 : {false, true}) {
        const std::string path =
            withPassword(jet4 ? "V2000_no-password.mdb" : "testV1997.mdb", "Geheim7", jet4);
        JetFile f = JetFile::open(path, "Geheim7");
        EXPECT_TRUE(f.header().hasPassword);
        EXPECT_FALSE(f.catalog().empty());
        for (const char* wrong : {"", "geheim7", "Geheim"}) {
            try {
                JetFile::open(path, wrong);
                ADD_FAILURE() << "jet4=" << jet4 << " opened with '" << wrong << "'";
            } catch (const EngineError& e) {
                EXPECT_EQ(e.number(), engine::msg::WrongPassword.number);
            }
        }
    }
}
