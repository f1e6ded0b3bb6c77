// The HTTP request component: one synchronous request at a time over one
// libcurl easy handle. Members follow the request object that http_request
// was designed around: set_timeouts, set_proxy, set_request_header, open,
// set_option, send, response_body, all_response_headers, status.
//
// Wire behaviour: only the header lines set here go out, besides Host and
// the body's Content-Length (no default Accept, User-Agent or Expect, no
// Accept-Encoding, so bodies arrive exactly as sent). http and https only.
// Redirects are followed (at most 10) unless option 6 is 0. Like the object
// it stands for, it keeps the cookies that answers set (in memory, for its
// own lifetime) and sends them back on redirects and later requests, in a
// Cookie line of its own after any Cookie header set by the caller.
//
// Threads: an object is used by one thread at a time; separate objects on
// separate threads do not interact. Members never throw; a failing member
// returns false and leaves the object usable.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "lumora/text/text.h"

namespace lumora {

// Initialises libcurl for the process. The program calls it once at start,
// before any thread; a RequestComponent also calls it (once) if it was not.
void net_global_init();

inline constexpr std::size_t kMaxAnswerBody = 512u << 20;  // a hostile server cannot exhaust memory

inline constexpr int kOptionSslErrorIgnoreFlags = 4;
inline constexpr int kOptionEnableRedirects = 6;
inline constexpr int kSslIgnoreAll = 0x3300;  // unknown CA, usage, CN, date
inline constexpr int kProxySettingProxy = 2;

class RequestComponent {
 public:
  RequestComponent();  // valid() is false when libcurl gave no handle
  ~RequestComponent();
  RequestComponent(const RequestComponent&) = delete;
  RequestComponent& operator=(const RequestComponent&) = delete;

  bool valid() const { return handle_ != nullptr; }

  // Milliseconds per phase; 0 means no limit. Resolving and connecting
  // (TLS handshake included) share resolve + connect; sending and
  // receiving limit the time without progress. Without a call: no resolve
  // limit, 60 s connect, 30 s send, 30 s receive.
  bool set_timeouts(int resolve_ms, int connect_ms, int send_ms, int receive_ms);
  // Setting 2 uses `proxy` (host:port) for the following requests; 0 and 1
  // use none. Proxy variables of the environment are never used.
  bool set_proxy(int setting, const Text& proxy = {});
  // Adds a header line to the next request, or replaces the value of one of
  // the same name (ASCII case-insensitive) added before. An empty value is
  // sent as an empty header. Rejects names that are empty or hold a
  // separator, and values holding CR or LF. Headers may be set before or
  // after open(); send() uses them up.
  bool set_request_header(const Text& name, const Text& value);
  // Prepares a request: `method` as given ("GET", "POST", "HEAD", ...), `url`
  // a GBK text with scheme http or https. Keeps the options set before.
  bool open(const Text& method, const Text& url);
  // Index 4: certificate error flags to ignore (0x3300 turns every check
  // off). Index 6: 0 stops following redirects, anything else follows them.
  bool set_option(int index, int value);
  // Sends the request with this body (bytes as given) and blocks until the
  // answer is complete, failed or timed out. On failure the body, headers
  // and status read as empty / 0.
  bool send(const Text& body = {});
  bool send(const ByteArray& body);

  struct Timeouts {
    std::chrono::milliseconds resolve{0}, connect{60000}, send{30000}, receive{30000};
  };
  const Timeouts& timeouts() const { return timeouts_; }

  // The largest answer body a send() accepts; a larger one fails it. At
  // most kMaxAnswerBody, the default.
  void set_body_limit(std::size_t bytes);
  // Why the last send() failed, in a person's words: the system's reason
  // when it gave one ("connection refused", "cannot connect: Network is
  // unreachable"), else what the transfer ran into ("host name not found",
  // "timed out", "the answer is larger than 64 MiB"). Empty after a send()
  // that brought an answer, whatever its status.
  const std::string& failure() const { return failure_; }

  const ByteArray& response_body() const { return body_; }
  // Hands the body over, leaving none behind.
  ByteArray take_response_body() { return std::move(body_); }
  // The final answer's header lines (after redirects and interim answers),
  // without its status line, joined by "\r\n".
  Text all_response_headers() const;
  int status() const { return status_; }

 private:
  bool perform(const char* body, std::size_t size);
  void set_method(const char* body, std::size_t size);
  bool run_transfer(std::size_t upload_size);
  void reset_answer();

  void* handle_ = nullptr;  // CURL*
  void* multi_ = nullptr;   // CURLM*, keeps connections alive between sends
  Timeouts timeouts_;
  std::string method_;
  bool opened_ = false;
  std::vector<std::pair<Text, Text>> headers_;
  std::size_t body_limit_ = kMaxAnswerBody;
  ByteArray body_;
  std::vector<Text> header_lines_;
  int status_ = 0;
  std::string failure_;
};

}  // namespace lumora
