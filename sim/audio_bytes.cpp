#include "lumora/sim/audio_bytes.h"

#include <fstream>
#include <vector>

#include <openssl/evp.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace lumora::sim {
namespace {

std::uint64_t splitmix64(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

// Each 8-byte word is a hash of the seed and the word's index.
std::uint64_t word_at(std::uint64_t seed, std::uint64_t index) {
  return splitmix64(splitmix64(seed) ^ index);
}

using DigestContext = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

std::string hex(const unsigned char* bytes, unsigned length) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned i = 0; i < length; ++i) {
    out += digits[bytes[i] >> 4];
    out += digits[bytes[i] & 15];
  }
  return out;
}

std::string finish(EVP_MD_CTX* context) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned length = 0;
  EVP_DigestFinal_ex(context, digest, &length);
  return hex(digest, length);
}

}  // namespace

void fill_audio_bytes(std::uint64_t seed, std::uint64_t offset, std::span<std::uint8_t> out) {
  std::size_t i = 0;
  while (i < out.size()) {
    const std::uint64_t position = offset + i;
    const std::uint64_t word = word_at(seed, position / 8);
    for (unsigned b = position % 8; b < 8 && i < out.size(); ++b, ++i)
      out[i] = static_cast<std::uint8_t>(word >> (8 * b));
  }
}

std::string audio_content(std::uint64_t seed, std::uint64_t size) {
  std::string out(size, '\0');
  fill_audio_bytes(seed, 0, {reinterpret_cast<std::uint8_t*>(out.data()), out.size()});
  return out;
}

std::string audio_sha256(std::uint64_t seed, std::uint64_t size) {
  DigestContext context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
  EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr);
  std::vector<std::uint8_t> piece(1 << 20);
  for (std::uint64_t offset = 0; offset < size; offset += piece.size()) {
    const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), size - offset));
    fill_audio_bytes(seed, offset, {piece.data(), length});
    EVP_DigestUpdate(context.get(), piece.data(), length);
  }
  return finish(context.get());
}

std::string sha256_hex(std::span<const std::uint8_t> bytes) {
  DigestContext context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
  EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr);
  EVP_DigestUpdate(context.get(), bytes.data(), bytes.size());
  return finish(context.get());
}

std::string file_sha256(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  DigestContext context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
  EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr);
  std::vector<char> block(1 << 20);
  while (in) {
    in.read(block.data(), static_cast<std::streamsize>(block.size()));
    EVP_DigestUpdate(context.get(), block.data(), static_cast<std::size_t>(in.gcount()));
  }
  return finish(context.get());
}

}  // namespace lumora::sim
