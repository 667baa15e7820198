#pragma once

// The rollback journal ("name.mdb-tbj") a writer of a genuine Jet file leaves
// when it stops half-way through a commit, written by hand: tests make a
// file look like one whose last change was never finished. The layout is a
// stored format: journals written by an older build must still be read.

#include <cstdint>
#include <fstream>
#include <string>

namespace jetjournal {

// A CRC-32 as zlib computes it.
inline std::uint32_t crc32Of(const std::string& bytes, std::uint32_t crc = 0) {
    crc = ~crc;
    for (unsigned char b : bytes) {
        crc ^= b;
        for (int i = 0; i < 8; ++i)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

inline std::string le(std::uint64_t v, int n) {
    std::string s;
    for (int i = 0; i < n; ++i)
        s += static_cast<char>(v >> (8 * i));
    return s;
}

// A whole journal that puts `page` (4096 bytes) back as page `pageNumber` and
// cuts the file to `originalSize` bytes.
inline void write(const std::string& file, std::uint32_t pageNumber, const std::string& page,
                  std::uint64_t originalSize) {
    const std::uint64_t salt = 0x1234567890ABCDEFull;
    std::string head = std::string("TbkJrnl1") + le(1, 4) + le(4096, 4) + le(1, 4) + le(0, 4) +
                       le(salt, 8) + le(originalSize, 8);
    head += le(crc32Of(head, crc32Of(std::string(12, '\0'))), 4);
    head.resize(512, '\0');
    const std::string record =
        le(pageNumber, 4) + le(crc32Of(page, crc32Of(le(salt, 8) + le(pageNumber, 4))), 4) + page;
    std::ofstream(file + "-tbj", std::ios::binary) << head << record;
}

// Makes `file` look like one whose last commit stopped half-way: page 2
// (MSysObjects' definition) overwritten, the file grown by a page, and the
// journal that undoes both. `original` is the file's content before.
inline void halfWritten(const std::string& file, const std::string& original) {
    std::string torn = original;
    std::fill(torn.begin() + 2 * 4096, torn.begin() + 3 * 4096, '\x5A');
    torn += std::string(4096, '\x33');
    std::ofstream(file, std::ios::binary) << torn;
    write(file, 2, original.substr(2 * 4096, 4096), original.size());
}

} // namespace jetjournal
