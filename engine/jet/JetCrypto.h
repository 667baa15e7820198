#pragma once

// Page decryption of ACE (.accdb) files encrypted with their database
// password. Such a file keeps the description of its encryption (the Office
// "EncryptionInfo" structure) in the header page, which itself stays plain;
// every other page is encrypted with a key that depends on the page number.
//
// Two forms are read: the agile form Access 2010 and later write (AES with
// an iterated SHA-512 key derivation, described in XML) and the RC4
// CryptoAPI form of Access 2007 (RC4 with SHA-1). Other forms are reported as
// msg::UnsupportedEncryption. The ciphers and hashes are OpenSSL's. The
// structures are those of Office document cryptography ([MS-OFFCRYPTO]
// 2.3.4.10 agile EncryptionInfo, 2.3.2/2.3.3 header and verifier).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace engine::jet {

// Where the header page keeps the encryption description: a 16-bit length,
// then that many bytes.
inline constexpr std::size_t kOfficeCryptInfoOffset = 0x299;

class OfficeCipher {
public:
    // Reads the encryption description and checks `password` (UTF-8) with it.
    // `encodingKey` is the 32-bit key of the header (offset 0x3E), which
    // every page's key is derived from. Raises msg::WrongPassword,
    // msg::UnsupportedEncryption (naming the form) or msg::Corrupt.
    static std::unique_ptr<OfficeCipher> create(const std::vector<std::uint8_t>& info,
                                                std::uint32_t encodingKey,
                                                const std::string& password,
                                                const std::string& path);
    virtual ~OfficeCipher() = default;

    // "agile" or "rc4".
    virtual const char* form() const = 0;
    // Decrypts page `number` (not the header page) in place.
    virtual void decryptPage(std::uint32_t number, std::uint8_t* data, std::size_t size) const = 0;
    // The reverse, for writing test files; `data` is a whole page.
    virtual void encryptPage(std::uint32_t number, std::uint8_t* data, std::size_t size) const = 0;
};

// The building blocks, exposed for tests that check them against values
// computed independently and that build encrypted files.
namespace officecrypt {

using Bytes = std::vector<std::uint8_t>;

// The password as the format hashes it: UTF-16LE, at most 255 units.
Bytes passwordBytes(const std::string& utf8);
// `hash` is "SHA1", "SHA256", "SHA384", "SHA512" or "MD5". Empty when unknown.
Bytes digest(const std::string& hash, const Bytes& a, const Bytes& b = {});
// The agile key of a password: H(salt + password), hashed `spinCount` times
// more with the iteration number in front (agileIteratedHash), then with
// `blockKey`, cut or padded (with 0x36) to `keyBytes`.
Bytes agileIteratedHash(const std::string& hash, const Bytes& password, const Bytes& salt,
                        std::uint32_t spinCount);
Bytes agileKey(const std::string& hash, const Bytes& password, const Bytes& salt,
               std::uint32_t spinCount, const Bytes& blockKey, std::size_t keyBytes);
// The initialization vector of one agile block: H(salt + blockKey) cut or
// padded (with 0x36) to `blockSize`; the salt alone when blockKey is empty.
Bytes agileIv(const std::string& hash, const Bytes& salt, const Bytes& blockKey,
              std::size_t blockSize);
// AES in CBC mode without padding; `data` is a whole number of blocks.
Bytes aesCbc(bool encrypt, const Bytes& key, const Bytes& iv, const Bytes& data);
// RC4 over `data` with `key`.
Bytes rc4(const Bytes& key, const Bytes& data);
// The RC4 CryptoAPI key of one block: SHA1(SHA1(salt + password) + block
// number), cut to keyBits / 8 bytes, a 40-bit key padded with zeros to 16.
Bytes rc4CryptoApiKey(const Bytes& password, const Bytes& salt, std::uint32_t block,
                      std::uint32_t keyBits);
// The per-page block key: the header's encoding key with the page number
// mixed in, as four little-endian bytes.
Bytes pageBlockKey(std::uint32_t encodingKey, std::uint32_t page);
std::string base64(const Bytes& b);

} // namespace officecrypt

} // namespace engine::jet
