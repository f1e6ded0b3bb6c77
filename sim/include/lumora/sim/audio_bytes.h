// The simulator's audio content: bytes that depend on the file's seed and on
// their own offset, so a block written at the wrong place, twice, or from
// another file shows in a byte comparison or a checksum. Nothing is stored;
// any range of any size is generated on demand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace lumora::sim {

// Writes the bytes at [offset, offset + out.size()) of the file with `seed`.
void fill_audio_bytes(std::uint64_t seed, std::uint64_t offset, std::span<std::uint8_t> out);

// The whole content of a file, for small files in tests.
std::string audio_content(std::uint64_t seed, std::uint64_t size);

// Lower-case hexadecimal SHA-256 of the whole file (generated in pieces, so
// a 50 MiB file costs no 50 MiB of memory).
std::string audio_sha256(std::uint64_t seed, std::uint64_t size);

// Lower-case hexadecimal SHA-256 of any bytes.
std::string sha256_hex(std::span<const std::uint8_t> bytes);

// The same of a file on disk, read in pieces (a downloaded file, to compare
// with audio_sha256); "" when it cannot be read.
std::string file_sha256(const std::string& path);

}  // namespace lumora::sim
