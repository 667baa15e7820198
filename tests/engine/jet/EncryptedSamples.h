#pragma once

// Makes password-encrypted copies of the .accdb samples the way Access
// writes them: the header page stays plain but for the encoding key in its
// scrambled region and the encryption description at 0x299; every other
// page is encrypted with a key that depends on its number. No tool at hand
// writes such files, so the tests build them with OpenSSL through the
// reader's own building blocks (which are checked against known answers).

#include "engine/jet/JetCrypto.h"
#include "engine/jet/JetInternal.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace enctest {

namespace oc = engine::jet::officecrypt;
using Bytes = oc::Bytes;

constexpr std::size_t kPage = 4096;

inline Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::string& path, const Bytes& b) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

inline Bytes fill(std::size_t n, std::uint8_t seed) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = static_cast<std::uint8_t>(seed + 37 * i);
    return b;
}

inline void putU16(Bytes& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void putU32(Bytes& b, std::size_t at, std::uint32_t v) {
    putU16(b, at, v);
    putU16(b, at + 2, v >> 16);
}
inline void appendU32(Bytes& b, std::uint32_t v) {
    b.resize(b.size() + 4);
    putU32(b, b.size() - 4, v);
}

// Sets the header's encoding key (in the region scrambled with the fixed
// header key) and stores the encryption description.
inline void setHeader(Bytes& file, std::uint32_t encodingKey, const Bytes& info) {
    static const std::uint8_t headerKey[4] = {0xC7, 0xDA, 0x39, 0x6B};
    engine::jet::rc4(headerKey, 4, file.data() + 0x18, 128);
    putU32(file, 0x3E, encodingKey);
    engine::jet::rc4(headerKey, 4, file.data() + 0x18, 128);
    putU16(file, engine::jet::kOfficeCryptInfoOffset, static_cast<std::uint32_t>(info.size()));
    if (!info.empty())
        std::memcpy(file.data() + engine::jet::kOfficeCryptInfoOffset + 2, info.data(),
                    info.size());
}

struct AgileSetup {
    std::string hash = "SHA512";
    std::size_t keyBits = 256;
    std::uint32_t spin = 100000;
    std::string cipher = "AES";
};

inline const Bytes kVerifierInputBlock = {0xfe, 0xa7, 0xd2, 0x76, 0x3b, 0x4b, 0x9e, 0x79};
inline const Bytes kVerifierValueBlock = {0xd7, 0xaa, 0x0f, 0x6d, 0x30, 0x61, 0x34, 0x4e};
inline const Bytes kKeyValueBlock = {0x14, 0x6e, 0x0b, 0xe7, 0xab, 0xac, 0xd0, 0xd6};

inline Bytes padTo(Bytes b, std::size_t block) {
    b.resize((b.size() + block - 1) / block * block, 0);
    return b;
}

// The agile encryption description for `password`, protecting `fileKey`.
inline Bytes agileInfo(const std::string& password, const Bytes& fileKey, const Bytes& dataSalt,
                       const AgileSetup& setup) {
    const Bytes pwd = oc::passwordBytes(password);
    const Bytes salt = fill(16, 0x5A);
    const Bytes iv = salt;
    const std::size_t keyBytes = setup.keyBits / 8;
    auto encrypt = [&](const Bytes& block, const Bytes& value) {
        return oc::aesCbc(true, oc::agileKey(setup.hash, pwd, salt, setup.spin, block, keyBytes),
                          iv, padTo(value, 16));
    };
    const Bytes verifier = fill(16, 0x11);
    const Bytes verifierHash = oc::digest(setup.hash, verifier);
    const std::string attrs =
        "saltSize=\"16\" blockSize=\"16\" keyBits=\"" + std::to_string(setup.keyBits) +
        "\" hashSize=\"" + std::to_string(verifierHash.size()) + "\" cipherAlgorithm=\"" +
        setup.cipher + "\" cipherChaining=\"ChainingModeCBC\" hashAlgorithm=\"" + setup.hash +
        "\" ";
    const std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
        "<encryption xmlns=\"http://schemas.microsoft.com/office/2006/encryption\" "
        "xmlns:p=\"http://schemas.microsoft.com/office/2006/keyEncryptor/password\">"
        "<keyData " +
        attrs + "saltValue=\"" + oc::base64(dataSalt) +
        "\"/><dataIntegrity encryptedHmacKey=\"AAAA\" encryptedHmacValue=\"AAAA\"/>"
        "<keyEncryptors><keyEncryptor "
        "uri=\"http://schemas.microsoft.com/office/2006/keyEncryptor/password\">"
        "<p:encryptedKey spinCount=\"" +
        std::to_string(setup.spin) + "\" " + attrs + "saltValue=\"" + oc::base64(salt) +
        "\" encryptedVerifierHashInput=\"" + oc::base64(encrypt(kVerifierInputBlock, verifier)) +
        "\" encryptedVerifierHashValue=\"" +
        oc::base64(encrypt(kVerifierValueBlock, verifierHash)) + "\" encryptedKeyValue=\"" +
        oc::base64(encrypt(kKeyValueBlock, fileKey)) +
        "\"/></keyEncryptor></keyEncryptors></encryption>";
    // Version 4.4, the reserved 0x40, then the XML.
    Bytes info(8 + xml.size());
    const std::uint8_t head[8] = {0x04, 0x00, 0x04, 0x00, 0x40, 0x00, 0x00, 0x00};
    std::memcpy(info.data(), head, 8);
    std::memcpy(info.data() + 8, xml.data(), xml.size());
    return info;
}

// An agile-encrypted copy of `plain` at `out`.
inline void writeAgile(const std::string& plain, const std::string& out,
                       const std::string& password, const AgileSetup& setup = {}) {
    Bytes file = readFile(plain);
    const std::uint32_t encodingKey = 0x6A3C9E01;
    const Bytes fileKey = fill(setup.keyBits / 8, 0x77);
    const Bytes dataSalt = fill(16, 0x23);
    setHeader(file, encodingKey, agileInfo(password, fileKey, dataSalt, setup));
    for (std::size_t p = 1; p * kPage < file.size(); ++p) {
        const Bytes iv = oc::agileIv(
            setup.hash, dataSalt, oc::pageBlockKey(encodingKey, static_cast<std::uint32_t>(p)), 16);
        const Bytes page(file.begin() + static_cast<long>(p * kPage),
                         file.begin() + static_cast<long>((p + 1) * kPage));
        const Bytes enc = oc::aesCbc(true, fileKey, iv, page);
        std::memcpy(file.data() + p * kPage, enc.data(), kPage);
    }
    writeFile(out, file);
}

// The RC4 CryptoAPI description (version 4.2) for `password`. `keyBits` 0
// leaves the size to the provider named by `csp`.
inline Bytes rc4Info(const std::string& password, std::uint32_t keyBits, const std::string& csp,
                     std::uint32_t flags = 0x04, std::uint32_t algId = 0x6801) {
    const Bytes pwd = oc::passwordBytes(password);
    const Bytes salt = fill(16, 0x3C);
    Bytes header;
    for (std::uint32_t v : {flags, 0u, algId, 0x8004u, keyBits, 1u, 0u, 0u})
        appendU32(header, v);
    const Bytes name = oc::passwordBytes(csp);
    header.insert(header.end(), name.begin(), name.end());
    header.push_back(0);
    header.push_back(0);
    Bytes info = {0x04, 0x00, 0x02, 0x00};
    appendU32(info, flags);
    appendU32(info, static_cast<std::uint32_t>(header.size()));
    info.insert(info.end(), header.begin(), header.end());
    appendU32(info, 16);
    info.insert(info.end(), salt.begin(), salt.end());
    const Bytes verifier = fill(16, 0x42);
    Bytes both = verifier;
    const Bytes hash = oc::digest("SHA1", verifier);
    both.insert(both.end(), hash.begin(), hash.end());
    const std::uint32_t bits = keyBits ? keyBits : 40;
    const Bytes enc = oc::rc4(oc::rc4CryptoApiKey(pwd, salt, 0, bits), both);
    info.insert(info.end(), enc.begin(), enc.begin() + 16);
    appendU32(info, 20);
    info.insert(info.end(), enc.begin() + 16, enc.end());
    return info;
}

inline void writeRc4(const std::string& plain, const std::string& out, const std::string& password,
                     std::uint32_t keyBits, const std::string& csp) {
    Bytes file = readFile(plain);
    const std::uint32_t encodingKey = 0x0BADF00D;
    setHeader(file, encodingKey, rc4Info(password, keyBits, csp));
    const Bytes pwd = oc::passwordBytes(password);
    const Bytes salt = fill(16, 0x3C);
    const std::uint32_t bits = keyBits ? keyBits : 40;
    for (std::size_t p = 1; p * kPage < file.size(); ++p) {
        const Bytes page(file.begin() + static_cast<long>(p * kPage),
                         file.begin() + static_cast<long>((p + 1) * kPage));
        const Bytes enc = oc::rc4(
            oc::rc4CryptoApiKey(pwd, salt, encodingKey ^ static_cast<std::uint32_t>(p), bits),
            page);
        std::memcpy(file.data() + p * kPage, enc.data(), kPage);
    }
    writeFile(out, file);
}

} // namespace enctest
