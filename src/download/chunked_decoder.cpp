#include "lumora/download/chunked_decoder.h"

#include <algorithm>

namespace lumora {
namespace {

constexpr std::uint8_t kMaxDigits = 15;  // 60 bits: no overflow, beyond any file

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool blank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

ChunkedDecoder::Status ChunkedDecoder::status() const {
  if (state_ == State::kEnd) return Status::kEnd;
  if (state_ == State::kBad) return Status::kBad;
  return Status::kMore;
}

bool ChunkedDecoder::line_char() { return ++line_ <= kMaxLine; }

void ChunkedDecoder::size_line_ended() {
  if (digits_ == 0) {
    state_ = State::kBad;
    return;
  }
  state_ = remaining_ == 0 ? State::kTrailerStart : State::kData;
  digits_ = 0;
  line_ = 0;
}

ChunkedDecoder::Status ChunkedDecoder::next(std::string_view in, std::size_t& used,
                                            std::string_view& data) {
  data = {};
  std::size_t i = 0;
  while (i < in.size() && state_ != State::kEnd && state_ != State::kBad) {
    if (state_ == State::kData) {
      // The one state that sees nearly every byte: no per-byte work.
      const std::size_t n =
          static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, in.size() - i));
      data = in.substr(i, n);
      remaining_ -= n;
      decoded_ += static_cast<std::int64_t>(n);
      if (remaining_ == 0) state_ = State::kDataCr;
      i += n;
      break;
    }
    const char c = in[i++];
    switch (state_) {
      case State::kSize:
        if (const int v = hex_value(c); v >= 0) {
          if (++digits_ > kMaxDigits) state_ = State::kBad;
          remaining_ = remaining_ * 16 + static_cast<unsigned>(v);
          break;
        }
        [[fallthrough]];
      case State::kSizeBlank:
        if (blank(c) && digits_ > 0) state_ = line_char() ? State::kSizeBlank : State::kBad;
        else if (c == ';' && digits_ > 0) state_ = line_char() ? State::kExtension : State::kBad;
        else if (c == '\r') state_ = State::kSizeLf;
        else if (c == '\n') size_line_ended();
        else state_ = State::kBad;
        break;
      case State::kExtension:
        if (c == '\r') state_ = State::kSizeLf;
        else if (c == '\n') size_line_ended();
        else if (!line_char()) state_ = State::kBad;
        break;
      case State::kSizeLf:
        if (c == '\n') size_line_ended();
        else state_ = State::kBad;
        break;
      case State::kDataCr:
        state_ = c == '\r' ? State::kDataLf : c == '\n' ? State::kSize : State::kBad;
        remaining_ = 0;
        break;
      case State::kDataLf:
        state_ = c == '\n' ? State::kSize : State::kBad;
        break;
      case State::kTrailerStart:
        line_ = 0;
        if (c == '\r') state_ = State::kEndLf;
        else if (c == '\n') state_ = State::kEnd;
        else state_ = line_char() ? State::kTrailer : State::kBad;
        break;
      case State::kTrailer:
        if (c == '\r') state_ = State::kTrailerLf;
        else if (c == '\n') state_ = State::kTrailerStart;
        else if (!line_char()) state_ = State::kBad;
        break;
      case State::kTrailerLf:
        state_ = c == '\n' ? State::kTrailerStart : State::kBad;
        break;
      case State::kEndLf:
        state_ = c == '\n' ? State::kEnd : State::kBad;
        break;
      case State::kData:
      case State::kEnd:
      case State::kBad:
        break;
    }
  }
  used = i;
  return status();
}

}  // namespace lumora
