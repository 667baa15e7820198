// Password-encrypted .accdb files: the key derivations against values
// computed independently, then whole files encrypted in both forms Access
// writes, opened with the right, a wrong and no password, and forms the
// reader does not know.

#include "EncryptedSamples.h"
#include "JetTestSupport.h"
#include "engine/base/Messages.h"

#include <random>

using engine::EngineError;
using engine::jet::JetFile;
namespace oc = engine::jet::officecrypt;
using enctest::Bytes;

namespace {

Bytes hex(const std::string& s) {
    Bytes b;
    for (std::size_t i = 0; i + 1 < s.size(); i += 2)
        b.push_back(static_cast<std::uint8_t>(std::stoi(s.substr(i, 2), nullptr, 16)));
    return b;
}

std::string sample(const std::string& name) {
    return std::string(ACE_DATA_DIR) + "/" + name;
}

std::string temp(const std::string& name) {
    return (std::filesystem::temp_directory_path() /
            ("tabelko-crypt-" + std::to_string(::getpid()) + "-" + name))
        .string();
}

// The failure number of opening `path` with `password`; 0 when it opened.
int openFailure(const std::string& path, const std::string& password, std::string* text = nullptr) {
    try {
        JetFile::open(path, password);
        return 0;
    } catch (const EngineError& e) {
        if (text) *text = e.what();
        return e.number();
    }
}

std::vector<std::vector<std::string>> rowTexts(const JetFile& f, const std::string& table) {
    std::vector<std::vector<std::string>> out;
    for (const auto& r : jettest::allRows(f, table))
        out.push_back(jettest::texts(r));
    return out;
}

} // namespace

TEST(JetCrypto, BuildingBlocksMatchKnownAnswers) {
    // RC4: RFC 6229, section 2, key 0x0102030405, keystream at offset 0.
    EXPECT_EQ(oc::rc4(hex("0102030405"), Bytes(16, 0)), hex("b2396305f03dc027ccc3524a0a1118a8"));
    // AES-256-CBC: NIST SP 800-38A, F.2.5, first block.
    const Bytes key = hex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
    const Bytes iv = hex("000102030405060708090a0b0c0d0e0f");
    EXPECT_EQ(oc::aesCbc(true, key, iv, hex("6bc1bee22e409f96e93d7e117393172a")),
              hex("f58c4c04d6e5f1ba779eabfb5f7bfbd6"));
    EXPECT_EQ(oc::aesCbc(false, key, iv, hex("f58c4c04d6e5f1ba779eabfb5f7bfbd6")),
              hex("6bc1bee22e409f96e93d7e117393172a"));
    EXPECT_TRUE(oc::aesCbc(true, key, iv, Bytes(15, 0)).empty()); // not whole blocks

    // The derivations, against values computed separately with Python's
    // hashlib from the format's description ([MS-OFFCRYPTO] 2.3.4.11 key,
    // 2.3.4.12 initialization vector, 2.3.5.2 RC4 CryptoAPI key).
    const Bytes pwd = oc::passwordBytes("Tabelko密码");
    EXPECT_EQ(pwd, hex("54006100620065006c006b006f00c65b0178"));
    Bytes salt(16);
    for (int i = 0; i < 16; ++i)
        salt[i] = static_cast<std::uint8_t>(i);
    EXPECT_EQ(oc::agileKey("SHA512", pwd, salt, 1000, enctest::kKeyValueBlock, 32),
              hex("6974a849b227e8e8c25af3014576a9d29050fdcd9d13927d09f29aefa62459dd"));
    // A hash shorter than the key is padded with 0x36.
    EXPECT_EQ(oc::agileKey("SHA1", pwd, salt, 10, enctest::kVerifierInputBlock, 32),
              hex("fdcd2cca0fd52754c631c08d0c695c1cc3e6976a363636363636363636363636"));
    EXPECT_EQ(oc::agileIv("SHA512", salt, oc::pageBlockKey(0x11223344, 5), 16),
              hex("64a3e48af6c23404a1d2d1f9a0b14a4a"));
    EXPECT_EQ(oc::rc4CryptoApiKey(pwd, salt, 7, 40), hex("1675143ef10000000000000000000000"));
    EXPECT_EQ(oc::rc4CryptoApiKey(pwd, salt, 7, 128), hex("1675143ef1ad9009788b9ee22bdcf410"));
    EXPECT_TRUE(oc::digest("WHIRLPOOL", pwd).empty());
    // At most 255 UTF-16 units of a password count.
    EXPECT_EQ(oc::passwordBytes(std::string(300, 'a')).size(), 510u);
}

TEST(JetCrypto, AgileEncryptedFileOpensWithItsPassword) {
    const std::string plain = sample("ace2010.accdb");
    const auto expected = rowTexts(JetFile::open(plain), "People");
    struct Case {
        const char* name;
        enctest::AgileSetup setup;
    } cases[] = {{"aes256-sha512", {}}, {"aes128-sha1", {"SHA1", 128, 50, "AES"}}};
    for (const auto& c : cases) {
        const std::string path = temp(std::string(c.name) + ".accdb");
        enctest::writeAgile(plain, path, "Tabelko密码", c.setup);
        const Bytes before = enctest::readFile(path);
        {
            JetFile f = JetFile::open(path, "Tabelko密码");
            EXPECT_EQ(f.header().encryption, "agile") << c.name;
            EXPECT_TRUE(f.header().hasPassword) << c.name;
            EXPECT_EQ(rowTexts(f, "People"), expected) << c.name;
        }
        // Reading leaves the file as it was.
        EXPECT_EQ(enctest::readFile(path), before) << c.name;
        EXPECT_EQ(openFailure(path, "tabelko密码"), engine::msg::WrongPassword.number) << c.name;
        EXPECT_EQ(openFailure(path, ""), engine::msg::WrongPassword.number) << c.name;
        std::filesystem::remove(path);
    }
}

TEST(JetCrypto, Rc4CryptoApiFileOpensWithItsPassword) {
    const std::string plain = sample("ace2007.accdb");
    const auto expected = rowTexts(JetFile::open(plain), "联系人");
    struct Case {
        std::uint32_t bits;
        const char* csp;
    } cases[] = {{0, "Microsoft Base Cryptographic Provider v1.0"},
                 {128, "Microsoft Enhanced Cryptographic Provider v1.0"}};
    for (const auto& c : cases) {
        const std::string path = temp("rc4-" + std::to_string(c.bits) + ".accdb");
        enctest::writeRc4(plain, path, "secret", c.bits, c.csp);
        JetFile f = JetFile::open(path, "secret");
        EXPECT_EQ(f.header().encryption, "rc4");
        EXPECT_EQ(rowTexts(f, "联系人"), expected) << c.bits;
        EXPECT_EQ(openFailure(path, "Secret"), engine::msg::WrongPassword.number) << c.bits;
        std::filesystem::remove(path);
    }
}

TEST(JetCrypto, UnknownFormsAreNamedNotTakenForAWrongPassword) {
    const std::string plain = sample("ace2010.accdb");
    enctest::AgileSetup des;
    des.cipher = "DES";
    des.spin = 10;
    const Bytes agile = enctest::agileInfo("pw", enctest::fill(32, 1), enctest::fill(16, 2), {});
    Bytes extensible = agile;
    extensible[2] = 3; // version 4.3
    Bytes office97 = agile;
    office97[0] = 1;
    office97[2] = 1; // version 1.1
    const std::vector<Bytes> infos = {
        extensible, office97,
        enctest::agileInfo("pw", enctest::fill(32, 1), enctest::fill(16, 2), des),
        // The "standard" form: CryptoAPI with AES.
        enctest::rc4Info("pw", 128, "Microsoft Enhanced RSA and AES Cryptographic Provider", 0x24,
                         0x660E),
        Bytes{0x09, 0x00, 0x09, 0x00, 0, 0, 0, 0}};
    const std::string path = temp("unsupported.accdb");
    for (std::size_t i = 0; i < infos.size(); ++i) {
        Bytes file = enctest::readFile(plain);
        enctest::setHeader(file, 0x1234, infos[i]);
        enctest::writeFile(path, file);
        std::string text;
        EXPECT_EQ(openFailure(path, "pw", &text), engine::msg::UnsupportedEncryption.number) << i;
        EXPECT_NE(text.find("此文件使用了不支持的加密方式"), std::string::npos) << text;
        EXPECT_EQ(text.find("密码"), std::string::npos) << text; // the password loop keys on it
    }
    std::filesystem::remove(path);
}

TEST(JetCrypto, DamagedEncryptionInfoFailsCleanly) {
    const std::string plain = sample("ace2010.accdb");
    const std::string path = temp("damaged.accdb");
    const Bytes info = enctest::agileInfo("pw", enctest::fill(32, 1), enctest::fill(16, 2),
                                          {"SHA512", 256, 10, "AES"});
    std::vector<Bytes> bad = {Bytes{}, Bytes(info.begin(), info.begin() + info.size() / 2),
                              Bytes(info.begin(), info.begin() + 6)};
    Bytes garbled = info;
    for (std::size_t i = garbled.size() - 200; i < garbled.size() - 10; ++i)
        garbled[i] = '!';
    bad.push_back(garbled);
    // Random damage anywhere in the description, then also in the pages.
    std::mt19937 rng(20);
    for (int i = 0; i < 40; ++i) {
        Bytes b = info;
        for (int k = 0; k < 4; ++k)
            b[rng() % b.size()] = static_cast<std::uint8_t>(rng());
        bad.push_back(b);
    }
    for (const auto& b : bad) {
        Bytes file = enctest::readFile(plain);
        enctest::setHeader(file, 0x1234, b);
        enctest::writeFile(path, file);
        // Whatever the damage: an EngineError, or a file that opens.
        try {
            JetFile f = JetFile::open(path, "pw");
            jettest::allRows(f, "People");
        } catch (const EngineError& e) {
            EXPECT_FALSE(std::string(e.what()).empty());
        }
    }
    // A length that runs past the header page.
    Bytes file = enctest::readFile(plain);
    enctest::setHeader(file, 0x1234, info);
    enctest::putU16(file, engine::jet::kOfficeCryptInfoOffset, 0xFFFF);
    enctest::writeFile(path, file);
    EXPECT_EQ(openFailure(path, "pw"), engine::msg::Corrupt.number);
    std::filesystem::remove(path);
}
