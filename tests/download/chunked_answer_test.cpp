// Bodies in the chunked transfer coding, and answers that hold more or less
// than the request asked for, from small servers that each misbehave in one
// way: the file must end byte for byte the server's, or the attempt retried.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <string>

#include "engine_fixture.h"
#include "lumora/test_support/loopback_server.h"

namespace lumora::test {
namespace {

// Four pieces of 75000 bytes.
constexpr std::int64_t kSize = 300000;

std::string hex(std::size_t n) {
  char b[20];
  std::snprintf(b, sizeof b, "%zx", n);
  return b;
}

// `body` in chunks of `chunk` bytes, the odd one with an extension, ended
// by a last chunk with trailers.
std::string chunked(std::string_view body, std::size_t chunk = 0x1000) {
  std::string out;
  for (std::size_t at = 0, n = 0; at < body.size(); at += chunk, ++n) {
    const std::string_view part = body.substr(at, chunk);
    out += hex(part.size()) + (n % 2 ? ";piece=" + std::to_string(n) : "") + "\r\n";
    out.append(part);
    out += "\r\n";
  }
  return out + "0\r\nX-Checksum: none\r\n\r\n";
}

std::string range_head(std::int64_t from, std::int64_t last) {
  return "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + std::to_string(from) + "-" +
         std::to_string(last) + "/" + std::to_string(kSize) + "\r\n";
}

// The first answer: the whole file, chunked, with a Content-Length that the
// coding overrides.
std::string whole_chunked() {
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kSize) +
         "\r\nTransfer-Encoding: chunked\r\n\r\n" + chunked(pattern_body(0, kSize));
}

std::string piece_chunked(std::int64_t from) {
  return range_head(from, kSize - 1) + "Transfer-Encoding: chunked\r\n\r\n" +
         chunked(pattern_body(from, kSize), 5000);
}

// Answers by the request's Range (-1: none) and, for piece requests, by
// their number from 0.
using Answer = std::function<std::string(std::int64_t from, int piece_request)>;

struct Behaviour {
  const char* what;
  Answer answer;
  const char* logged;  // a line the engine must have logged, or nullptr
};

const Behaviour kBehaviours[] = {
    {"every answer chunked",
     [](std::int64_t from, int) { return from < 0 ? whole_chunked() : piece_chunked(from); },
     nullptr},
    {"names in lower case, blanks around values",
     [](std::int64_t from, int) {
       if (from < 0)
         return "HTTP/1.1 200 OK\r\ncontent-length:" + std::to_string(kSize) +
                "\r\ntransfer-encoding:  Chunked \r\n\r\n" + chunked(pattern_body(0, kSize));
       return "HTTP/1.1 206 Partial Content\r\ncontent-range:\tbytes " + std::to_string(from) +
              "-" + std::to_string(kSize - 1) + "/" + std::to_string(kSize) +
              " \r\nTRANSFER-ENCODING: chunked\r\n\r\n" + chunked(pattern_body(from, kSize), 777);
     },
     nullptr},
    {"decoded body runs past its range",
     [](std::int64_t from, int n) {
       if (from < 0) return whole_chunked();
       if (n > 0) return piece_chunked(from);
       // Says 10000 bytes, sends them and then other bytes.
       return range_head(from, from + 9999) + "Transfer-Encoding: chunked\r\n\r\n" +
              chunked(pattern_body(from, from + 10000) + std::string(20000, 'J'));
     },
     "接收数据错误"},
    {"malformed chunk size",
     [](std::int64_t from, int n) {
       if (from < 0) return whole_chunked();
       if (n > 0) return piece_chunked(from);
       return range_head(from, kSize - 1) + "Transfer-Encoding: chunked\r\n\r\n" +
              "zz\r\n" + pattern_body(from, kSize);
     },
     "接收数据错误"},
    {"chunk longer than its size",
     [](std::int64_t from, int n) {
       if (from < 0) return whole_chunked();
       if (n > 0) return piece_chunked(from);
       return range_head(from, kSize - 1) + "Transfer-Encoding: chunked\r\n\r\n" + hex(100) +
              "\r\n" + pattern_body(from, kSize);
     },
     "接收数据错误"},
    {"200 without a length to a piece request",
     [](std::int64_t from, int n) {
       if (from < 0) return whole_chunked();
       if (n > 0) return piece_chunked(from);
       // Another file altogether: it must not be taken for this one.
       return "HTTP/1.1 200 OK\r\n\r\n" + std::string(kSize, 'X');
     },
     "位置错误"},
};

class ChunkedAnswerTest : public EngineTest {
 protected:
  std::string read(const std::string& name) const {
    std::ifstream in(path(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
};

TEST_F(ChunkedAnswerTest, FileIsTheServersBytesWhateverTheFraming) {
  int n = 0;
  for (const Behaviour& b : kBehaviours) {
    SCOPED_TRACE(b.what);
    std::atomic<int> piece_requests{0};
    LoopbackServer raw([&](int fd, const std::string& head) {
      const std::int64_t from = range_from(head);
      send_text(fd, b.answer(from, from < 0 ? -1 : piece_requests++));
    });
    const std::string name = 'c' + std::to_string(n++) + ".mp3";
    Recorder recorder;
    TaskParam p = param_for(raw.url("/a.mp3"), name);
    p.connections = 4;
    recorder.attach(p);
    ASSERT_TRUE(download_.start_task(p));
    EXPECT_EQ(finish().outcome, TaskOutcome::kComplete);
    const std::string got = read(name);
    EXPECT_EQ(got.size(), static_cast<std::size_t>(kSize));
    EXPECT_TRUE(got == pattern_body(0, kSize)) << got.substr(0, 16);
    if (b.logged) {
      EXPECT_TRUE(recorder.logged(b.logged));
    }
  }
}

}  // namespace
}  // namespace lumora::test
