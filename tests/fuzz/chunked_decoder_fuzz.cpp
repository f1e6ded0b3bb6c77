// The chunked body decoder, fed as a server could feed it. Two checks:
// any bytes decode the same whatever split they arrive in (the first bytes
// of the input choose the split), and a valid stream built from the input
// decodes to exactly the body it was built from. The sanitizers catch any
// read past a buffer: every piece fed is a heap copy of its own size.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "lumora/download/chunked_decoder.h"

namespace {

using lumora::ChunkedDecoder;

struct Result {
  std::string body;
  ChunkedDecoder::Status status = ChunkedDecoder::Status::kMore;
  std::size_t used = 0;
};

// Feeds `stream` in pieces whose lengths come from `cuts` in turn.
Result decode(std::string_view stream, std::string_view cuts) {
  ChunkedDecoder d;
  Result r;
  std::size_t next_cut = 0;
  while (r.used < stream.size() && r.status == ChunkedDecoder::Status::kMore) {
    std::size_t n = stream.size() - r.used;
    if (!cuts.empty()) {
      n = std::min<std::size_t>(n, 1 + static_cast<unsigned char>(cuts[next_cut++ % cuts.size()]));
    }
    const std::unique_ptr<char[]> piece(new char[n]);
    std::memcpy(piece.get(), stream.data() + r.used, n);
    std::size_t used = 0;
    r.status = d.feed(std::string_view(piece.get(), n), used, [&](std::string_view run) {
      if (run.data() < piece.get() || run.data() + run.size() > piece.get() + n) std::abort();
      r.body.append(run);
    });
    if (used > n) std::abort();
    r.used += used;
    if (used < n && r.status == ChunkedDecoder::Status::kMore) std::abort();
  }
  if (d.decoded() != static_cast<std::int64_t>(r.body.size())) std::abort();
  return r;
}

std::string hex(std::size_t n) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  do {
    out.insert(out.begin(), digits[n % 16]);
    n /= 16;
  } while (n > 0);
  return out;
}

// A valid stream from `source`: each byte chooses a chunk's length, and
// whether it has an extension, or the trailers of the last chunk.
std::string encode(std::string_view source, std::string& body) {
  std::string out;
  std::size_t at = 0;
  while (at < source.size()) {
    const auto c = static_cast<unsigned char>(source[at++]);
    const std::size_t n = std::min<std::size_t>(source.size() - at, c % 64 + 1);
    if (n == 0) break;  // a chunk of size 0 is the last one
    const std::string_view part = source.substr(at, n);
    at += n;
    body.append(part);
    out += (c & 0x40 ? hex(n) : "000" + hex(n)) + (c & 0x80 ? "; x=\"y\"" : "") + "\r\n";
    out.append(part);
    out += "\r\n";
  }
  out += "0\r\n";
  if (!source.empty() && (source[0] & 1)) out += "X-Trailer: t\r\n";
  return out + "\r\n";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::size_t split = bytes.empty() ? 0 : static_cast<unsigned char>(bytes[0]) % 8;
  const std::string_view cuts = bytes.substr(std::min<std::size_t>(1, size), split);
  const std::string_view rest = bytes.substr(std::min<std::size_t>(1 + split, size));

  // Garbage: every split gives what one piece gives.
  const Result whole = decode(rest, {});
  const Result pieces = decode(rest, cuts);
  if (whole.body != pieces.body || whole.status != pieces.status || whole.used != pieces.used)
    std::abort();

  // A valid stream: the body back, the whole stream used, in any split.
  std::string body;
  const std::string stream = encode(rest, body);
  for (const std::string_view c : {std::string_view{}, cuts, std::string_view("\0", 1)}) {
    const Result r = decode(stream, c);
    if (r.status != ChunkedDecoder::Status::kEnd || r.body != body || r.used != stream.size())
      std::abort();
  }
  return 0;
}
