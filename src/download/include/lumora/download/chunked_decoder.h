// Decoding the chunked transfer coding of an HTTP body, incrementally and
// without a socket: the caller feeds whatever bytes arrived, in any split,
// and gets the body's bytes back as views into what it fed. Nothing is
// copied and nothing is kept but a few counters, so one value per answer
// costs a few bytes and no allocation.
//
// Accepted: sizes in hex (at most 15 digits), blanks before an extension,
// extensions (ignored), CR LF or a bare LF as line end, trailer lines (read
// and dropped). Anything else is kBad, for good: the answer is broken and
// the attempt ends like a cut connection.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace lumora {

class ChunkedDecoder {
 public:
  enum class Status { kMore, kEnd, kBad };

  // Longest size, extension or trailer line accepted (CR LF excluded).
  static constexpr std::size_t kMaxLine = 4096;

  // Reads from `in` up to the end of the next run of body bytes, the end of
  // the body, or the end of `in`. `used` is how many bytes of `in` it took;
  // `data` is the body bytes among them (a view into `in`, possibly empty).
  // kEnd once the last chunk and the trailers are read (the bytes after them
  // are not used); kMore while more is to come. Call again with the rest.
  Status next(std::string_view in, std::size_t& used, std::string_view& data);

  // Decodes all of `in`, calling `sink(std::string_view)` for each run of
  // body bytes; stops at the end of the body or at the first fault.
  // `used` is how many bytes of `in` were taken.
  template <class Sink>
  Status feed(std::string_view in, std::size_t& used, Sink&& sink) {
    used = 0;
    Status s = status();
    while (s == Status::kMore && used < in.size()) {
      std::size_t n = 0;
      std::string_view data;
      s = next(in.substr(used), n, data);
      used += n;
      if (!data.empty()) sink(data);
    }
    return s;
  }

  Status status() const;
  // Body bytes handed out so far.
  std::int64_t decoded() const { return decoded_; }

 private:
  enum class State : std::uint8_t {
    kSize,         // hex digits of a chunk size
    kSizeBlank,    // blanks after the digits
    kExtension,    // after ";", up to the line end
    kSizeLf,       // CR seen after the size line
    kData,         // chunk bytes
    kDataCr,       // the CR after the chunk bytes
    kDataLf,       // the LF after the chunk bytes
    kTrailerStart, // start of a trailer line or of the empty last line
    kTrailer,      // within a trailer line
    kTrailerLf,    // CR seen after a trailer line
    kEndLf,        // CR seen on the empty last line
    kEnd,
    kBad,
  };

  bool line_char();  // counts a size or trailer line's character; false when too long
  void size_line_ended();

  State state_ = State::kSize;
  std::uint8_t digits_ = 0;
  std::uint16_t line_ = 0;
  std::uint64_t remaining_ = 0;  // of the current chunk, or the size being read
  std::int64_t decoded_ = 0;
};

}  // namespace lumora
