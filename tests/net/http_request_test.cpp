#include "lumora/net/http_request.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "lumora/test_support/loopback_server.h"

namespace lumora {
namespace {

using test::CapturedRequest;
using test::LoopbackServer;
using test::http_answer;

const Text kUserAgent = "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

std::string text(const ByteArray& bytes) { return {bytes.begin(), bytes.end()}; }

// Answers by path: "/cookies" sets cookies, "/moved" redirects to "/target",
// "/missing" is a 404, anything else echoes the method and target.
std::optional<std::string> answer(const CapturedRequest& request) {
  if (request.target == "/cookies")
    return http_answer("HTTP/1.1 200 OK",
                       "Set-Cookie: a=1; path=/\r\nset-cookie: c=3\r\nSet-Cookie: b=2\r\n", "ok");
  if (request.target == "/moved")
    return http_answer("HTTP/1.1 302 Found", "Location: /target\r\nSet-Cookie: hop=1\r\n", "away");
  if (request.target == "/missing") return http_answer("HTTP/1.1 404 Not Found", "", "no such page");
  return http_answer("HTTP/1.1 200 OK", "Content-Type: text/plain\r\n",
                     request.request_line.substr(0, request.request_line.find(' ')) + " " + request.target);
}

class HttpRequestTest : public ::testing::Test {
 protected:
  LoopbackServer server{answer};
  std::string url(const std::string& path) const { return server.base_url() + path; }
  CapturedRequest last() const { return server.requests().back(); }
};

TEST_F(HttpRequestTest, SendsTheFourDefaultLinesInOrder) {
  const Text address = url("/page?x=1");
  Text headers;
  int status = 0;
  const ByteArray body = http_request(address, {.headers = &headers, .status_out = &status});
  EXPECT_EQ(text(body), "GET /page?x=1");
  EXPECT_EQ(status, 200);
  const Text expected_text = "Accept: */*\r\nReferer: " + address + "\r\nAccept-Language: zh-cn\r\n" + kUserAgent;
  EXPECT_EQ(headers, expected_text);
  const std::vector<std::string> expected_wire = {"Host: 127.0.0.1:" + std::to_string(server.port()),
                                                  "Accept: */*", "Referer: " + address,
                                                  "Accept-Language: zh-cn", kUserAgent};
  EXPECT_EQ(last().header_lines, expected_wire);
}

TEST_F(HttpRequestTest, CompletesCallerHeaders) {
  struct Case {
    Text given;
    Text completed;
  };
  const Text address = url("/");
  const Text tail = "\r\nAccept-Language: zh-cn\r\n" + kUserAgent;
  const Case cases[] = {
      // The tests are case-sensitive: a lower-case name does not count.
      {"accept: text/html", "accept: text/html\r\nAccept: */*\r\nReferer: " + address + tail},
      // ... and a longer name holding the test text does.
      {"X-Accept: 1", "X-Accept: 1\r\nReferer: " + address + tail},
      {"Referer: http://elsewhere/", "Referer: http://elsewhere/\r\nAccept: */*" + tail},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.given);
    Text headers = c.given;
    http_request(address, {.headers = &headers});
    EXPECT_EQ(headers, c.completed);
  }
  Text headers = "Accept: a/b\r\nReferer: r\r\n";
  http_request(address, {.headers = &headers});
  EXPECT_EQ(last().header("Accept"), "a/b");
  EXPECT_EQ(last().header("Referer"), "r");
}

TEST_F(HttpRequestTest, CookieHeaderWhenGivenEvenEmpty) {
  http_request(url("/"));
  EXPECT_FALSE(last().header("Cookie"));
  Text cookies;
  http_request(url("/"), {.cookies = &cookies});
  EXPECT_EQ(last().header("Cookie"), "");
  // The Cookie line goes before the header lines.
  EXPECT_EQ(last().header_lines.at(1), "Cookie:");
  cookies = "k=v";
  http_request(url("/"), {.cookies = &cookies});
  EXPECT_EQ(last().header("Cookie"), "k=v");
}

TEST_F(HttpRequestTest, CollectsAndMergesResponseCookies) {
  Text cookies_out, headers_out;
  http_request(url("/cookies"), {.cookies_out = &cookies_out, .headers_out = &headers_out});
  EXPECT_EQ(cookies_out, "a=1; b=2");  // the lower-case line is not collected
  EXPECT_NE(headers_out.find("set-cookie: c=3\r\nSet-Cookie: b=2"), std::string::npos);
  EXPECT_EQ(headers_out.find("HTTP/"), std::string::npos);

  Text cookies = "a=0; z=9";
  http_request(url("/cookies"), {.cookies = &cookies, .cookies_out = &cookies_out});
  EXPECT_EQ(cookies_out, cookies);
  EXPECT_NE(cookies.find("a=1"), std::string::npos);
  EXPECT_NE(cookies.find("z=9"), std::string::npos);
  EXPECT_EQ(cookies.find("a=0"), std::string::npos);

  cookies = "z=9";
  http_request(url("/cookies"), {.cookies = &cookies, .cookies_out = &cookies_out, .merge_cookies = false});
  EXPECT_EQ(cookies, "z=9");
  EXPECT_EQ(cookies_out, "a=1; b=2");

  http_request(url("/plain"), {.cookies_out = &cookies_out});
  EXPECT_EQ(cookies_out, "");
}

TEST_F(HttpRequestTest, LineBreaksInsideValuesAreNotSent) {
  Text headers = "X-Good: 1\r\nX-Bad: a\rInjected: 1";
  Text cookies = "a=1\nInjected: 2";
  int status = 0;
  http_request(url("/"), {.cookies = &cookies, .headers = &headers, .status_out = &status});
  EXPECT_EQ(status, 200);
  const CapturedRequest request = last();
  EXPECT_EQ(request.header("X-Good"), "1");
  EXPECT_FALSE(request.header("X-Bad"));
  EXPECT_FALSE(request.header("Cookie"));
  EXPECT_FALSE(request.header("Injected"));
}

TEST_F(HttpRequestTest, MethodTable) {
  struct Case {
    int method;
    const char* sent;
    bool content_type;
  };
  const Case cases[] = {{0, "GET", false},  {1, "POST", true},     {2, "HEAD", false},
                        {3, "PUT", false},  {4, "OPTIONS", false}, {5, "DELETE", false},
                        {6, "TRACE", false}, {8, "GET", false},    {-1, "GET", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.method);
    http_request(url("/m"), {.method = c.method, .timeout_seconds = 5});
    const CapturedRequest request = last();
    EXPECT_EQ(request.request_line, std::string(c.sent) + " /m HTTP/1.1");
    EXPECT_EQ(request.header("Content-Type").has_value(), c.content_type);
    EXPECT_FALSE(request.header("Expect"));
  }
}

TEST_F(HttpRequestTest, SendsBodyBytesInsteadOfText) {
  const ByteArray bytes = {'b', 0, 'y'};
  http_request(url("/post"), {.method = 1, .body = "text", .body_bytes = bytes});
  EXPECT_EQ(last().body, std::string("b\0y", 3));
  http_request(url("/post"), {.method = 1, .body = "text", .body_bytes = ByteArray{}});
  EXPECT_EQ(last().body, "text");
}

TEST_F(HttpRequestTest, RedirectsFollowedUnlessNoRedirect) {
  int status = 0;
  Text headers_out;
  ByteArray body = http_request(url("/moved"), {.headers_out = &headers_out, .status_out = &status});
  EXPECT_EQ(status, 200);
  EXPECT_EQ(text(body), "GET /target");
  EXPECT_EQ(headers_out.find("Location"), std::string::npos);  // the final answer only

  body = http_request(url("/moved"), {.headers_out = &headers_out, .status_out = &status, .no_redirect = true});
  EXPECT_EQ(status, 302);
  EXPECT_EQ(text(body), "away");
  EXPECT_NE(headers_out.find("Location: /target"), std::string::npos);
}

TEST_F(HttpRequestTest, ErrorStatusKeepsItsBody) {
  int status = 0;
  EXPECT_EQ(text(http_request(url("/missing"), {.status_out = &status})), "no such page");
  EXPECT_EQ(status, 404);
}

TEST_F(HttpRequestTest, ProxyCarriesBasicCredentials) {
  http_request("http://example.invalid/x",
               {.proxy = "127.0.0.1:" + std::to_string(server.port()), .proxy_user = "u", .proxy_password = "p"});
  EXPECT_EQ(last().target, "http://example.invalid/x");
  EXPECT_EQ(last().header("Proxy-Authorization"), "Basic dTpw");

  http_request("http://example.invalid/y",
               {.proxy = "127.0.0.1:" + std::to_string(server.port()), .proxy_user = "u", .proxy_auth_mode = 2});
  EXPECT_FALSE(last().header("Proxy-Authorization"));

  // Credentials without a proxy go nowhere.
  http_request(url("/direct"), {.proxy_user = "u", .proxy_password = "p"});
  EXPECT_EQ(last().target, "/direct");
  EXPECT_FALSE(last().header("Proxy-Authorization"));
}

TEST_F(HttpRequestTest, SharedRequestServesSeveralCalls) {
  RequestComponent shared;
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(text(http_request(url("/s" + std::to_string(i)), {.shared_request = &shared})),
              "GET /s" + std::to_string(i));
  EXPECT_EQ(server.connections(), 1);  // the connection is kept between calls
}

TEST_F(HttpRequestTest, TimeoutSecondsSetEveryPhase) {
  using std::chrono::milliseconds;
  struct Case {
    std::optional<int> seconds;
    milliseconds each;  // 0: the component's own time-outs stay
  };
  const Case cases[] = {{std::nullopt, milliseconds(15000)}, {0, milliseconds(15000)},
                        {-7, milliseconds(15000)},          {2, milliseconds(2000)},
                        {-1, milliseconds(0)}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.seconds.value_or(999));
    RequestComponent shared;
    const RequestComponent::Timeouts before = shared.timeouts();
    http_request(url("/t"), {.timeout_seconds = c.seconds, .shared_request = &shared});
    const RequestComponent::Timeouts& after = shared.timeouts();
    if (c.each.count() == 0) {
      EXPECT_EQ(after.connect, before.connect);
      EXPECT_EQ(after.receive, before.receive);
    } else {
      EXPECT_EQ(after.resolve, c.each);
      EXPECT_EQ(after.connect, c.each);
      EXPECT_EQ(after.send, c.each);
      EXPECT_EQ(after.receive, c.each);
    }
  }
}

TEST(HttpRequestFailure, FailuresGiveEmptyResults) {
  LoopbackServer black_hole([](const CapturedRequest&) { return std::nullopt; });
  const std::string unreachable =
      "http://127.0.0.1:" + std::to_string(test::free_loopback_port()) + "/";
  const char* addresses[] = {"http://no-such-host.invalid/", "not a url", "ftp://127.0.0.1/x", ""};
  std::vector<std::string> cases(std::begin(addresses), std::end(addresses));
  cases.push_back(unreachable);
  cases.push_back(black_hole.base_url() + "/silent");
  for (const std::string& address : cases) {
    SCOPED_TRACE(address);
    Text headers_out = "stale", cookies_out = "stale";
    int status = -5;
    const auto began = std::chrono::steady_clock::now();
    const ByteArray body = http_request(address, {.cookies_out = &cookies_out, .headers_out = &headers_out,
                                                  .status_out = &status, .timeout_seconds = 1});
    // Generous bound: the 1 s receive limit plus scheduling, far below the 15 s default.
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(5));
    EXPECT_TRUE(body.empty());
    EXPECT_EQ(status, 0);
    EXPECT_EQ(headers_out, "");
    EXPECT_EQ(cookies_out, "");
  }
}

TEST_F(HttpRequestTest, TwoThreadsAtOnce) {
  auto worker = [this](char tag, std::vector<std::string>& seen) {
    for (int i = 0; i < 20; ++i) {
      Text cookies_out;
      int status = 0;
      const std::string path = std::string("/t") + tag + std::to_string(i);
      const ByteArray body = http_request(url(path), {.cookies_out = &cookies_out, .status_out = &status});
      seen.push_back(text(body) + (status == 200 ? "" : " failed"));
    }
  };
  std::vector<std::string> a, b;
  std::thread first(worker, 'a', std::ref(a));
  std::thread second(worker, 'b', std::ref(b));
  first.join();
  second.join();
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(a[i], "GET /ta" + std::to_string(i));
    EXPECT_EQ(b[i], "GET /tb" + std::to_string(i));
  }
}

}  // namespace
}  // namespace lumora

namespace lumora {
namespace {

// What a caller can tell a person about a request that brought no answer,
// and that an answer of any status is no failure.
TEST(RequestComponentFailure, SaysWhyNoAnswerCame) {
  LoopbackServer server([](const CapturedRequest& r) -> std::optional<std::string> {
    if (r.target == "/silent") return std::nullopt;
    if (r.target == "/missing") return http_answer("HTTP/1.1 404 Not Found", "", "gone");
    return http_answer("HTTP/1.1 200 OK", "", std::string(3000, 'x'));
  });
  struct Case {
    std::string address;
    std::size_t limit;
    const char* failure;  // empty: an answer came
    int status;
  };
  const std::vector<Case> cases = {
      {"http://127.0.0.1:" + std::to_string(test::free_loopback_port()) + "/", kMaxAnswerBody,
       "connection refused", 0},
      {"http://no-such-host.invalid/", kMaxAnswerBody, "host name not found", 0},
      {server.base_url() + "/silent", kMaxAnswerBody, "timed out", 0},
      {server.base_url() + "/big", 2999, "the answer is larger than 0 MiB", 0},
      {server.base_url() + "/big", 3000, "", 200},
      {server.base_url() + "/missing", kMaxAnswerBody, "", 404},
      {"ftp://127.0.0.1/x", kMaxAnswerBody, "the address is not a usable http or https address", 0},
  };
  RequestComponent request;
  ASSERT_TRUE(request.set_timeouts(1000, 1000, 1000, 1000));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    request.set_body_limit(c.limit);
    request.open("GET", c.address);
    EXPECT_EQ(request.send(), c.failure[0] == '\0');
    EXPECT_EQ(request.failure(), c.failure);
    EXPECT_EQ(request.status(), c.status);
    const std::size_t size = request.take_response_body().size();
    EXPECT_EQ(size, c.status == 200 ? 3000u : c.status == 404 ? 4u : 0u);
    EXPECT_TRUE(request.response_body().empty());
  }
}

}  // namespace
}  // namespace lumora
