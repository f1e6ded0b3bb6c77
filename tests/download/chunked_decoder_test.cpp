#include "lumora/download/chunked_decoder.h"

#include <gtest/gtest.h>

#include <string>

namespace lumora {
namespace {

using Status = ChunkedDecoder::Status;

struct Decoded {
  std::string body;
  Status status = Status::kMore;
  std::size_t used = 0;  // of the whole stream
};

// Feeds `stream` in pieces of `step` bytes (0: all at once).
Decoded decode(std::string_view stream, std::size_t step = 0) {
  ChunkedDecoder d;
  Decoded out;
  while (out.status == Status::kMore && out.used < stream.size()) {
    const std::size_t n = step == 0 ? stream.size() : std::min(step, stream.size() - out.used);
    std::size_t used = 0;
    out.status = d.feed(stream.substr(out.used, n), used,
                        [&](std::string_view run) { out.body.append(run); });
    out.used += used;
    if (used < n) break;  // the body ended, or broke, within the piece
  }
  EXPECT_EQ(d.decoded(), static_cast<std::int64_t>(out.body.size()));
  return out;
}

TEST(ChunkedDecoder, StreamsAndWhatTheyDecodeTo) {
  struct Case {
    const char* what;
    std::string stream;
    Status status;
    std::string body;
  } cases[] = {
      {"two chunks", "4\r\nWiki\r\n5\r\npedia\r\n0\r\n\r\n", Status::kEnd, "Wikipedia"},
      {"hex sizes", "a\r\n0123456789\r\nA\r\nabcdefghij\r\n0\r\n\r\n", Status::kEnd,
       "0123456789abcdefghij"},
      {"leading zeros", "0004\r\nabcd\r\n000\r\n\r\n", Status::kEnd, "abcd"},
      {"extensions", "3;name=\"v;x\"\r\nabc\r\n2 ; q\r\nde\r\n0;last\r\n\r\n", Status::kEnd,
       "abcde"},
      {"trailers", "3\r\nabc\r\n0\r\nX-Sum: 1\r\nX-Other: 2\r\n\r\n", Status::kEnd, "abc"},
      {"bare line feeds", "3\nabc\n0\n\n", Status::kEnd, "abc"},
      {"framing bytes inside data", "7\r\n\r\n0\r\n\r\n\r\n0\r\n\r\n", Status::kEnd,
       "\r\n0\r\n\r\n"},
      {"unfinished", "5\r\nab", Status::kMore, "ab"},
      {"no size", "\r\nabc\r\n", Status::kBad, ""},
      {"not hex", "g\r\nabc\r\n", Status::kBad, ""},
      {"sign", "-3\r\nabc\r\n", Status::kBad, ""},
      {"blank before size", " 3\r\nabc\r\n0\r\n\r\n", Status::kBad, ""},
      {"digits after a blank", "3 4\r\nabc\r\n", Status::kBad, ""},
      {"data longer than its size", "3\r\nabcd\r\n0\r\n\r\n", Status::kBad, "abc"},
      {"CR without LF", "3\rabc", Status::kBad, ""},
      // Fifteen hex digits at most, leading zeros counted.
      {"size of the most digits", "00000000000000a\r\n0123456789\r\n0\r\n\r\n", Status::kEnd,
       "0123456789"},
      {"size one digit too long", "000000000000000a\r\n0123456789\r\n0\r\n\r\n", Status::kBad,
       ""},
      {"size too long", "1000000000000000\r\n", Status::kBad, ""},
      {"extension too long", "1;" + std::string(ChunkedDecoder::kMaxLine, 'x') + "\r\n",
       Status::kBad, ""},
      {"trailer too long", "0\r\n" + std::string(ChunkedDecoder::kMaxLine + 1, 'x'),
       Status::kBad, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (std::size_t step : {std::size_t{0}, std::size_t{1}, std::size_t{2}, std::size_t{7}}) {
      SCOPED_TRACE(step);
      const Decoded d = decode(c.stream, step);
      EXPECT_EQ(d.status, c.status);
      EXPECT_EQ(d.body, c.body);
    }
  }
}

TEST(ChunkedDecoder, EveryTwoWaySplitDecodesTheSame) {
  const std::string stream = "1a;x=y\r\n" + std::string(26, 'q') + "\r\n1\r\nZ\r\n0\r\nT: v\r\n\r\n";
  const Decoded whole = decode(stream);
  ASSERT_EQ(whole.status, Status::kEnd);
  for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
    SCOPED_TRACE(cut);
    ChunkedDecoder d;
    std::string body;
    std::size_t used = 0;
    const auto sink = [&](std::string_view run) { body.append(run); };
    d.feed(std::string_view(stream).substr(0, cut), used, sink);
    EXPECT_EQ(used, cut);
    EXPECT_EQ(d.feed(std::string_view(stream).substr(cut), used, sink), Status::kEnd);
    EXPECT_EQ(body, whole.body);
  }
}

TEST(ChunkedDecoder, StopsAtTheEndAndStaysBroken) {
  const std::string after = "3\r\nabc\r\n0\r\n\r\nHTTP/1.1 200 OK";
  EXPECT_EQ(decode(after).used, after.size() - 15);  // what follows the body is left
  ChunkedDecoder d;
  std::size_t used = 0;
  EXPECT_EQ(d.feed("zz", used, [](std::string_view) {}), Status::kBad);
  EXPECT_EQ(d.feed("3\r\nabc\r\n", used, [](std::string_view) { ADD_FAILURE(); }), Status::kBad);
  EXPECT_EQ(used, 0u);
}

}  // namespace
}  // namespace lumora
