// Office document encryption of ACE files: reading the encryption
// description from the header, checking the password and decrypting pages.

#include "engine/jet/JetCrypto.h"

#include "engine/base/Messages.h"
#include "engine/jet/JetInternal.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

namespace engine::jet {

namespace officecrypt {

namespace {

// RC4 lives in OpenSSL's legacy provider; it is loaded into a library
// context of its own so the rest of the process keeps OpenSSL's defaults.
struct LegacyContext {
    OSSL_LIB_CTX* ctx = nullptr;
    OSSL_PROVIDER* legacy = nullptr;
    OSSL_PROVIDER* base = nullptr;
    LegacyContext() {
        ctx = OSSL_LIB_CTX_new();
        if (!ctx) return;
        legacy = OSSL_PROVIDER_load(ctx, "legacy");
        base = OSSL_PROVIDER_load(ctx, "default");
    }
    ~LegacyContext() {
        if (legacy) OSSL_PROVIDER_unload(legacy);
        if (base) OSSL_PROVIDER_unload(base);
        if (ctx) OSSL_LIB_CTX_free(ctx);
    }
    LegacyContext(const LegacyContext&) = delete;
    LegacyContext& operator=(const LegacyContext&) = delete;
};

LegacyContext& legacyContext() {
    static LegacyContext c;
    return c;
}

struct MdDeleter {
    void operator()(EVP_MD* m) const { EVP_MD_free(m); }
};
struct MdCtxDeleter {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};
struct CipherDeleter {
    void operator()(EVP_CIPHER* c) const { EVP_CIPHER_free(c); }
};
struct CipherCtxDeleter {
    void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};

std::unique_ptr<EVP_MD, MdDeleter> fetchDigest(const std::string& hash) {
    static const std::map<std::string, const char*> names = {
        {"SHA1", "SHA1"},     {"SHA-1", "SHA1"},    {"SHA256", "SHA256"},
        {"SHA384", "SHA384"}, {"SHA512", "SHA512"}, {"MD5", "MD5"}};
    auto it = names.find(hash);
    if (it == names.end()) return nullptr;
    return std::unique_ptr<EVP_MD, MdDeleter>(EVP_MD_fetch(nullptr, it->second, nullptr));
}

Bytes fixToLength(Bytes b, std::size_t n, std::uint8_t pad) {
    b.resize(n, pad);
    return b;
}

} // namespace

Bytes passwordBytes(const std::string& utf8) {
    Bytes out;
    std::size_t i = 0, units = 0;
    auto put = [&](std::uint32_t u) {
        out.push_back(static_cast<std::uint8_t>(u));
        out.push_back(static_cast<std::uint8_t>(u >> 8));
        ++units;
    };
    while (i < utf8.size() && units < 255) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        std::uint32_t cp = 0xFFFD;
        std::size_t len = 1;
        if (c < 0x80) {
            cp = c;
        } else if ((c >> 5) == 0x6 && i + 1 < utf8.size()) {
            cp = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
            len = 2;
        } else if ((c >> 4) == 0xE && i + 2 < utf8.size()) {
            cp = ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu) << 6) |
                 (static_cast<unsigned char>(utf8[i + 2]) & 0x3Fu);
            len = 3;
        } else if ((c >> 3) == 0x1E && i + 3 < utf8.size()) {
            cp = ((c & 0x07u) << 18) | ((static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu) << 12) |
                 ((static_cast<unsigned char>(utf8[i + 2]) & 0x3Fu) << 6) |
                 (static_cast<unsigned char>(utf8[i + 3]) & 0x3Fu);
            len = 4;
        }
        i += len;
        if (cp >= 0x10000) {
            if (units + 2 > 255) break;
            cp -= 0x10000;
            put(0xD800 + (cp >> 10));
            put(0xDC00 + (cp & 0x3FF));
        } else {
            put(cp);
        }
    }
    return out;
}

Bytes digest(const std::string& hash, const Bytes& a, const Bytes& b) {
    auto md = fetchDigest(hash);
    if (!md) return {};
    std::unique_ptr<EVP_MD_CTX, MdCtxDeleter> ctx(EVP_MD_CTX_new());
    Bytes out(static_cast<std::size_t>(EVP_MD_get_size(md.get())));
    unsigned int n = 0;
    if (!ctx || EVP_DigestInit_ex(ctx.get(), md.get(), nullptr) != 1 ||
        EVP_DigestUpdate(ctx.get(), a.data(), a.size()) != 1 ||
        EVP_DigestUpdate(ctx.get(), b.data(), b.size()) != 1 ||
        EVP_DigestFinal_ex(ctx.get(), out.data(), &n) != 1)
        return {};
    out.resize(n);
    return out;
}

Bytes agileIteratedHash(const std::string& hash, const Bytes& password, const Bytes& salt,
                        std::uint32_t spinCount) {
    auto md = fetchDigest(hash);
    if (!md) return {};
    std::unique_ptr<EVP_MD_CTX, MdCtxDeleter> ctx(EVP_MD_CTX_new());
    if (!ctx) return {};
    Bytes h = digest(hash, salt, password);
    unsigned int n = 0;
    for (std::uint32_t i = 0; i < spinCount; ++i) {
        const std::uint8_t iter[4] = {
            static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i >> 8),
            static_cast<std::uint8_t>(i >> 16), static_cast<std::uint8_t>(i >> 24)};
        if (EVP_DigestInit_ex(ctx.get(), md.get(), nullptr) != 1 ||
            EVP_DigestUpdate(ctx.get(), iter, 4) != 1 ||
            EVP_DigestUpdate(ctx.get(), h.data(), h.size()) != 1 ||
            EVP_DigestFinal_ex(ctx.get(), h.data(), &n) != 1)
            return {};
    }
    return h;
}

Bytes agileKey(const std::string& hash, const Bytes& password, const Bytes& salt,
               std::uint32_t spinCount, const Bytes& blockKey, std::size_t keyBytes) {
    const Bytes h = agileIteratedHash(hash, password, salt, spinCount);
    return h.empty() ? h : fixToLength(digest(hash, h, blockKey), keyBytes, 0x36);
}

Bytes agileIv(const std::string& hash, const Bytes& salt, const Bytes& blockKey,
              std::size_t blockSize) {
    return fixToLength(blockKey.empty() ? salt : digest(hash, salt, blockKey), blockSize, 0x36);
}

Bytes aesCbc(bool encrypt, const Bytes& key, const Bytes& iv, const Bytes& data) {
    const char* name = key.size() == 16   ? "AES-128-CBC"
                       : key.size() == 24 ? "AES-192-CBC"
                       : key.size() == 32 ? "AES-256-CBC"
                                          : nullptr;
    if (!name || iv.size() < 16 || data.size() % 16 != 0) return {};
    std::unique_ptr<EVP_CIPHER, CipherDeleter> cipher(EVP_CIPHER_fetch(nullptr, name, nullptr));
    std::unique_ptr<EVP_CIPHER_CTX, CipherCtxDeleter> ctx(EVP_CIPHER_CTX_new());
    if (!cipher || !ctx) return {};
    Bytes out(data.size() + 16);
    int n = 0, tail = 0;
    if (EVP_CipherInit_ex2(ctx.get(), cipher.get(), key.data(), iv.data(), encrypt ? 1 : 0,
                           nullptr) != 1 ||
        EVP_CIPHER_CTX_set_padding(ctx.get(), 0) != 1 ||
        EVP_CipherUpdate(ctx.get(), out.data(), &n, data.data(), static_cast<int>(data.size())) !=
            1 ||
        EVP_CipherFinal_ex(ctx.get(), out.data() + n, &tail) != 1)
        return {};
    out.resize(static_cast<std::size_t>(n) + static_cast<std::size_t>(tail));
    return out;
}

Bytes rc4(const Bytes& key, const Bytes& data) {
    Bytes out(data.size());
    LegacyContext& lc = legacyContext();
    std::unique_ptr<EVP_CIPHER, CipherDeleter> cipher(
        lc.legacy ? EVP_CIPHER_fetch(lc.ctx, "RC4", nullptr) : nullptr);
    std::unique_ptr<EVP_CIPHER_CTX, CipherCtxDeleter> ctx(EVP_CIPHER_CTX_new());
    if (!cipher || !ctx || key.empty()) {
        // Without OpenSSL's legacy provider: the reader's own RC4, which
        // Jet's page encoding uses as well.
        out = data;
        if (!key.empty()) engine::jet::rc4(key.data(), key.size(), out.data(), out.size());
        return out;
    }
    int n = 0;
    if (EVP_CipherInit_ex2(ctx.get(), cipher.get(), nullptr, nullptr, 0, nullptr) != 1 ||
        EVP_CIPHER_CTX_set_key_length(ctx.get(), static_cast<int>(key.size())) != 1 ||
        EVP_CipherInit_ex2(ctx.get(), nullptr, key.data(), nullptr, 0, nullptr) != 1 ||
        EVP_CipherUpdate(ctx.get(), out.data(), &n, data.data(), static_cast<int>(data.size())) !=
            1)
        return {};
    return out;
}

Bytes rc4CryptoApiKey(const Bytes& password, const Bytes& salt, std::uint32_t block,
                      std::uint32_t keyBits) {
    const Bytes base = digest("SHA1", salt, password);
    const Bytes blockBytes = {
        static_cast<std::uint8_t>(block), static_cast<std::uint8_t>(block >> 8),
        static_cast<std::uint8_t>(block >> 16), static_cast<std::uint8_t>(block >> 24)};
    Bytes key = digest("SHA1", base, blockBytes);
    key.resize(keyBits / 8);
    if (keyBits == 40) key.resize(16, 0);
    return key;
}

Bytes pageBlockKey(std::uint32_t encodingKey, std::uint32_t page) {
    const std::uint32_t k = encodingKey ^ page;
    return {static_cast<std::uint8_t>(k), static_cast<std::uint8_t>(k >> 8),
            static_cast<std::uint8_t>(k >> 16), static_cast<std::uint8_t>(k >> 24)};
}

std::string base64(const Bytes& b) {
    std::string out(4 * ((b.size() + 2) / 3) + 1, '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), b.data(),
                                  static_cast<int>(b.size()));
    out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return out;
}

} // namespace officecrypt

namespace {

using officecrypt::Bytes;

// Fixed block keys of the agile password key encryptor.
const Bytes kVerifierInputBlock = {0xfe, 0xa7, 0xd2, 0x76, 0x3b, 0x4b, 0x9e, 0x79};
const Bytes kVerifierValueBlock = {0xd7, 0xaa, 0x0f, 0x6d, 0x30, 0x61, 0x34, 0x4e};
const Bytes kKeyValueBlock = {0x14, 0x6e, 0x0b, 0xe7, 0xab, 0xac, 0xd0, 0xd6};

[[noreturn]] void unsupported(const std::string& path, const std::string& form) {
    engine::msg::raise(engine::msg::UnsupportedEncryption, {form, path});
}

bool decodeBase64(std::string text, Bytes& out) {
    text.erase(
        std::remove_if(text.begin(), text.end(),
                       [](char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }),
        text.end());
    if (text.size() % 4 != 0) return false;
    out.assign(text.size() / 4 * 3 + 1, 0);
    const int n = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()),
                                  static_cast<int>(text.size()));
    if (n < 0) return false;
    std::size_t len = static_cast<std::size_t>(n);
    for (std::size_t i = text.size(); i > 0 && text[i - 1] == '='; --i)
        if (len > 0) --len;
    out.resize(len);
    return true;
}

std::string unescapeXml(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '&') {
            out += s[i];
            continue;
        }
        static const std::pair<const char*, char> entities[] = {
            {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
        bool done = false;
        for (const auto& [name, c] : entities)
            if (s.compare(i, std::strlen(name), name) == 0) {
                out += c;
                i += std::strlen(name) - 1;
                done = true;
                break;
            }
        if (!done) out += '&';
    }
    return out;
}

using Attributes = std::map<std::string, std::string>;

// The attributes of every element whose local name (without its namespace
// prefix) is `name`, in document order.
std::vector<Attributes> xmlElements(const std::string& xml, const std::string& name) {
    std::vector<Attributes> found;
    std::size_t pos = 0;
    while ((pos = xml.find('<', pos)) != std::string::npos) {
        ++pos;
        std::size_t end = pos;
        while (end < xml.size() && !std::isspace(static_cast<unsigned char>(xml[end])) &&
               xml[end] != '>' && xml[end] != '/')
            ++end;
        std::string tag = xml.substr(pos, end - pos);
        if (auto colon = tag.find(':'); colon != std::string::npos) tag = tag.substr(colon + 1);
        if (tag != name) continue;
        Attributes attrs;
        std::size_t p = end;
        while (p < xml.size()) {
            while (p < xml.size() && std::isspace(static_cast<unsigned char>(xml[p])))
                ++p;
            if (p >= xml.size() || xml[p] == '>' || xml[p] == '/') break;
            const std::size_t eq = xml.find('=', p);
            if (eq == std::string::npos) break;
            std::string key = xml.substr(p, eq - p);
            while (!key.empty() && std::isspace(static_cast<unsigned char>(key.back())))
                key.pop_back();
            std::size_t q = eq + 1;
            while (q < xml.size() && std::isspace(static_cast<unsigned char>(xml[q])))
                ++q;
            if (q >= xml.size() || (xml[q] != '"' && xml[q] != '\'')) break;
            const std::size_t close = xml.find(xml[q], q + 1);
            if (close == std::string::npos) break;
            attrs[key] = unescapeXml(xml.substr(q + 1, close - q - 1));
            p = close + 1;
        }
        found.push_back(std::move(attrs));
        pos = end;
    }
    return found;
}

// One side of the agile description: the key data or the password key
// encryptor (which also carries the encrypted verifier and key).
struct AgileParams {
    std::string hash;
    std::size_t blockSize = 0;
    std::size_t keyBytes = 0;
    std::size_t hashSize = 0;
    Bytes salt;
};

class AgileCipher final : public OfficeCipher {
public:
    AgileCipher(AgileParams data, Bytes key, std::uint32_t encodingKey)
        : data_(std::move(data)), key_(std::move(key)), encodingKey_(encodingKey),
          md_(officecrypt::fetchDigest(data_.hash)),
          cipher_(EVP_CIPHER_fetch(nullptr,
                                   key_.size() == 16   ? "AES-128-CBC"
                                   : key_.size() == 24 ? "AES-192-CBC"
                                                       : "AES-256-CBC",
                                   nullptr)),
          mdCtx_(EVP_MD_CTX_new()), ctx_(EVP_CIPHER_CTX_new()) {}
    const char* form() const override { return "agile"; }
    void decryptPage(std::uint32_t number, std::uint8_t* p, std::size_t n) const override {
        run(false, number, p, n);
    }
    void encryptPage(std::uint32_t number, std::uint8_t* p, std::size_t n) const override {
        run(true, number, p, n);
    }

private:
    // One page in place: AES-CBC with the file's key and an IV made from the
    // page's block key. The OpenSSL objects are fetched once per file.
    void run(bool encrypt, std::uint32_t number, std::uint8_t* p, std::size_t n) const {
        if (!md_ || !cipher_ || !mdCtx_ || !ctx_ || n % 16 != 0) return;
        const Bytes block = officecrypt::pageBlockKey(encodingKey_, number);
        std::uint8_t hash[EVP_MAX_MD_SIZE];
        unsigned int hashLen = 0;
        if (EVP_DigestInit_ex(mdCtx_.get(), md_.get(), nullptr) != 1 ||
            EVP_DigestUpdate(mdCtx_.get(), data_.salt.data(), data_.salt.size()) != 1 ||
            EVP_DigestUpdate(mdCtx_.get(), block.data(), block.size()) != 1 ||
            EVP_DigestFinal_ex(mdCtx_.get(), hash, &hashLen) != 1)
            return;
        std::uint8_t iv[16];
        for (std::size_t i = 0; i < 16; ++i)
            iv[i] = i < hashLen ? hash[i] : 0x36;
        int outLen = 0, tail = 0;
        if (EVP_CipherInit_ex2(ctx_.get(), cipher_.get(), key_.data(), iv, encrypt ? 1 : 0,
                               nullptr) != 1 ||
            EVP_CIPHER_CTX_set_padding(ctx_.get(), 0) != 1 ||
            EVP_CipherUpdate(ctx_.get(), p, &outLen, p, static_cast<int>(n)) != 1 ||
            EVP_CipherFinal_ex(ctx_.get(), p + outLen, &tail) != 1)
            return;
    }

    AgileParams data_;
    Bytes key_;
    std::uint32_t encodingKey_;
    std::unique_ptr<EVP_MD, officecrypt::MdDeleter> md_;
    std::unique_ptr<EVP_CIPHER, officecrypt::CipherDeleter> cipher_;
    std::unique_ptr<EVP_MD_CTX, officecrypt::MdCtxDeleter> mdCtx_;
    std::unique_ptr<EVP_CIPHER_CTX, officecrypt::CipherCtxDeleter> ctx_;
};

class Rc4CryptoApiCipher final : public OfficeCipher {
public:
    Rc4CryptoApiCipher(Bytes password, Bytes salt, std::uint32_t keyBits, std::uint32_t encodingKey)
        : password_(std::move(password)), salt_(std::move(salt)), keyBits_(keyBits),
          encodingKey_(encodingKey) {}
    const char* form() const override { return "rc4"; }
    void decryptPage(std::uint32_t number, std::uint8_t* p, std::size_t n) const override {
        const Bytes out = officecrypt::rc4(
            officecrypt::rc4CryptoApiKey(password_, salt_, encodingKey_ ^ number, keyBits_),
            Bytes(p, p + n));
        if (out.size() == n) std::memcpy(p, out.data(), n);
    }
    void encryptPage(std::uint32_t number, std::uint8_t* p, std::size_t n) const override {
        decryptPage(number, p, n); // a stream cipher: the same operation
    }

private:
    Bytes password_;
    Bytes salt_;
    std::uint32_t keyBits_;
    std::uint32_t encodingKey_;
};

std::size_t number(const Attributes& a, const char* key) {
    auto it = a.find(key);
    if (it == a.end() || it->second.empty() || it->second.size() > 9) return 0;
    for (char c : it->second)
        if (c < '0' || c > '9') return 0;
    return static_cast<std::size_t>(std::stoul(it->second));
}

std::string text(const Attributes& a, const char* key) {
    auto it = a.find(key);
    return it == a.end() ? std::string() : it->second;
}

AgileParams agileParams(const Attributes& a, const std::string& path) {
    AgileParams p;
    p.hash = text(a, "hashAlgorithm");
    p.blockSize = number(a, "blockSize");
    p.keyBytes = number(a, "keyBits") / 8;
    p.hashSize = number(a, "hashSize");
    if (text(a, "cipherAlgorithm") != "AES" || text(a, "cipherChaining") != "ChainingModeCBC")
        unsupported(path, "agile " + text(a, "cipherAlgorithm") + " " + text(a, "cipherChaining"));
    if (officecrypt::digest(p.hash, {}).empty()) unsupported(path, "agile " + p.hash);
    if (p.keyBytes != 16 && p.keyBytes != 24 && p.keyBytes != 32)
        unsupported(path, "agile AES-" + std::to_string(p.keyBytes * 8));
    if (p.blockSize != 16 || !decodeBase64(text(a, "saltValue"), p.salt) || p.salt.empty())
        corrupt(path, "加密信息中的密钥参数无效");
    return p;
}

std::unique_ptr<OfficeCipher> createAgile(const Bytes& info, std::uint32_t encodingKey,
                                          const std::string& password, const std::string& path) {
    const ByteView v(info.data(), info.size(), &path);
    if (v.u32(4) != 0x40) corrupt(path, "加密信息的格式无效");
    const std::string xml(info.begin() + 8, info.end());
    const auto keyData = xmlElements(xml, "keyData");
    if (keyData.size() != 1) corrupt(path, "加密信息中缺少密钥数据");
    const AgileParams data = agileParams(keyData.front(), path);

    // The password's key encryptor; a certificate's has no spin count.
    const Attributes* enc = nullptr;
    const auto keys = xmlElements(xml, "encryptedKey");
    for (const auto& k : keys)
        if (k.count("spinCount")) enc = &k;
    if (!enc) unsupported(path, "agile certificate");
    const AgileParams pw = agileParams(*enc, path);
    const std::size_t spin = number(*enc, "spinCount");
    if (spin > 10'000'000) corrupt(path, "加密信息中的迭代次数不合理");
    Bytes verifierInput, verifierHash, keyValue;
    if (!decodeBase64(text(*enc, "encryptedVerifierHashInput"), verifierInput) ||
        !decodeBase64(text(*enc, "encryptedVerifierHashValue"), verifierHash) ||
        !decodeBase64(text(*enc, "encryptedKeyValue"), keyValue) || verifierInput.empty() ||
        verifierInput.size() % pw.blockSize != 0 || verifierHash.size() % pw.blockSize != 0 ||
        keyValue.size() % pw.blockSize != 0 || keyValue.size() < data.keyBytes)
        corrupt(path, "加密信息中的密码校验数据无效");

    const Bytes pwd = officecrypt::passwordBytes(password);
    const Bytes iv = officecrypt::agileIv(pw.hash, pw.salt, {}, pw.blockSize);
    // The costly part, the iterated hash, is shared by the three keys.
    const Bytes iterated =
        officecrypt::agileIteratedHash(pw.hash, pwd, pw.salt, static_cast<std::uint32_t>(spin));
    auto decryptWith = [&](const Bytes& block, const Bytes& value) {
        Bytes key = officecrypt::digest(pw.hash, iterated, block);
        key.resize(pw.keyBytes, 0x36);
        return officecrypt::aesCbc(false, key, iv, value);
    };
    Bytes input = decryptWith(kVerifierInputBlock, verifierInput);
    Bytes expected = decryptWith(kVerifierValueBlock, verifierHash);
    input.resize(std::min(input.size(), pw.salt.size()));
    const Bytes actual = officecrypt::digest(pw.hash, input);
    const std::size_t hashSize = pw.hashSize ? pw.hashSize : actual.size();
    if (actual.size() < hashSize || expected.size() < hashSize ||
        std::memcmp(actual.data(), expected.data(), hashSize) != 0)
        engine::msg::raise(engine::msg::WrongPassword);
    Bytes key = decryptWith(kKeyValueBlock, keyValue);
    key.resize(data.keyBytes);
    return std::make_unique<AgileCipher>(data, std::move(key), encodingKey);
}

std::unique_ptr<OfficeCipher> createRc4CryptoApi(const Bytes& info, std::uint32_t encodingKey,
                                                 const std::string& password,
                                                 const std::string& path) {
    // Version, a copy of the header's flags, the header's size, the header,
    // then the verifier.
    const ByteView v(info.data(), info.size(), &path);
    const std::uint32_t headerSize = v.u32(8);
    const ByteView header = v.sub(12, headerSize);
    const std::uint32_t flags = header.u32(0);
    const std::uint32_t algId = header.u32(8);
    const std::uint32_t hashId = header.u32(12);
    std::uint32_t keyBits = header.u32(16);
    constexpr std::uint32_t kCryptoApi = 0x04, kAes = 0x20, kExternal = 0x10;
    constexpr std::uint32_t kRc4 = 0x6801, kSha1 = 0x8004;
    if ((flags & kExternal) || !(flags & kCryptoApi)) unsupported(path, "CryptoAPI external");
    if ((flags & kAes) || (algId != 0 && algId != kRc4))
        unsupported(path, "CryptoAPI AES (standard)");
    if (hashId != 0 && hashId != kSha1)
        unsupported(path, "CryptoAPI hash " + std::to_string(hashId));
    if (keyBits == 0) {
        // The provider's default: 40 bits for the "base" providers.
        std::string csp;
        if (headerSize > 32) {
            ByteView name = header.sub(32, headerSize - 32);
            csp = utf16ToUtf8(name.data(), name.size() & ~std::size_t{1});
            csp = csp.substr(0, csp.find('\0'));
        }
        std::transform(csp.begin(), csp.end(), csp.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        keyBits = csp.empty() || csp.find(" base ") != std::string::npos ? 40 : 128;
    }
    // RC4 keys of CryptoAPI are 40 to 128 bits, cut from a SHA-1 hash.
    if (keyBits < 40 || keyBits % 8 != 0)
        corrupt(path, "加密信息中的密钥长度无效（" + std::to_string(keyBits) + "）");
    if (keyBits > 128) unsupported(path, "RC4 " + std::to_string(keyBits) + " bit");

    std::size_t pos = 12 + headerSize;
    const std::uint32_t saltSize = v.u32(pos);
    if (saltSize != 16) corrupt(path, "加密信息中的盐值长度无效");
    const Bytes salt = v.sub(pos + 4, 16).copy();
    const Bytes verifier = v.sub(pos + 20, 16).copy();
    const std::uint32_t verifierHashSize = v.u32(pos + 36);
    const Bytes verifierHash = v.sub(pos + 40, 20).copy();
    if (verifierHashSize == 0 || verifierHashSize > 20) corrupt(path, "加密信息中的校验值长度无效");

    const Bytes pwd = officecrypt::passwordBytes(password);
    Bytes both = verifier;
    both.insert(both.end(), verifierHash.begin(), verifierHash.end());
    const Bytes plain = officecrypt::rc4(officecrypt::rc4CryptoApiKey(pwd, salt, 0, keyBits), both);
    if (plain.size() != both.size()) unsupported(path, "RC4");
    const Bytes actual = officecrypt::digest("SHA1", Bytes(plain.begin(), plain.begin() + 16));
    if (std::memcmp(actual.data(), plain.data() + 16, verifierHashSize) != 0)
        engine::msg::raise(engine::msg::WrongPassword);
    return std::make_unique<Rc4CryptoApiCipher>(pwd, salt, keyBits, encodingKey);
}

} // namespace

std::unique_ptr<OfficeCipher> OfficeCipher::create(const std::vector<std::uint8_t>& info,
                                                   std::uint32_t encodingKey,
                                                   const std::string& password,
                                                   const std::string& path) {
    if (info.size() < 8) corrupt(path, "文件头中的加密信息不完整");
    const int major = info[0] | (info[1] << 8);
    const int minor = info[2] | (info[3] << 8);
    const std::string version = std::to_string(major) + "." + std::to_string(minor);
    if (major == 4 && minor == 4) return createAgile(info, encodingKey, password, path);
    if ((major == 2 || major == 3 || major == 4) && minor == 2)
        return createRc4CryptoApi(info, encodingKey, password, path);
    if (major == 1 && minor == 1) unsupported(path, "Office RC4 " + version);
    if ((major == 3 || major == 4) && minor == 3) unsupported(path, "extensible " + version);
    unsupported(path, version);
}

} // namespace engine::jet
