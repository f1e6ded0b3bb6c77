// Sending one request of a RequestComponent: method and body, header lines,
// and the transfer loop that enforces the per-phase time-outs.
#include <curl/curl.h>

#include <algorithm>
#include <system_error>

#include "ascii_case.h"
#include "lumora/net/request_component.h"

namespace lumora {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPollMs = 20;

struct SlistDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using Slist = std::unique_ptr<curl_slist, SlistDeleter>;

void append(Slist& list, const std::string& line) {
  if (curl_slist* grown = curl_slist_append(list.get(), line.c_str())) {
    (void)list.release();
    list.reset(grown);
  }
}

// Per-send state the callbacks write into.
struct Exchange {
  CURL* curl;
  ByteArray& body;
  std::vector<Text>& header_lines;
  std::size_t body_limit;
  bool prepared = false;   // connected (or reused) and about to send
  bool too_large = false;  // the body went past body_limit
};

// A body of announced length is stored without growing its buffer, which
// would hold up to three times the body for a moment.
void reserve_announced(Exchange& exchange) {
  curl_off_t length = -1;
  curl_easy_getinfo(exchange.curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
  if (length > 0 && static_cast<std::size_t>(length) <= exchange.body_limit)
    exchange.body.reserve(static_cast<std::size_t>(length));
}

std::size_t on_body(char* data, std::size_t size, std::size_t count, void* user) {
  auto& exchange = *static_cast<Exchange*>(user);
  const std::size_t n = size * count;
  if (exchange.body.size() + n > exchange.body_limit) {
    exchange.too_large = true;
    return 0;
  }
  if (exchange.body.empty()) reserve_announced(exchange);
  exchange.body.insert(exchange.body.end(), data, data + n);
  return n;
}

std::size_t on_header(char* data, std::size_t size, std::size_t count, void* user) {
  auto& lines = static_cast<Exchange*>(user)->header_lines;
  const std::size_t n = size * count;
  std::string_view line(data, n);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  if (line.starts_with("HTTP/")) {
    lines.clear();  // a new answer: a redirect hop or an interim 1xx
  } else if (!line.empty()) {
    lines.emplace_back(line);
  }
  return n;
}

int on_prerequest(void* user, char*, char*, int, int) {
  static_cast<Exchange*>(user)->prepared = true;
  return CURL_PREREQFUNC_OK;
}

std::string mebibytes(std::size_t bytes) { return std::to_string(bytes >> 20) + " MiB"; }

// The words for a transfer that brought no answer: the system's own when
// it gave a reason, else curl's.
std::string failure_text(CURLcode code, long os_errno, const Exchange& exchange) {
  if (exchange.too_large) return "the answer is larger than " + mebibytes(exchange.body_limit);
  switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST: return "host name not found";
    case CURLE_OPERATION_TIMEDOUT: return "timed out";
    case CURLE_GOT_NOTHING: return "the server closed the connection without answering";
    case CURLE_COULDNT_CONNECT:
      if (os_errno == ECONNREFUSED) return "connection refused";
      if (os_errno != 0) return "cannot connect: " + std::generic_category().message(static_cast<int>(os_errno));
      return "cannot connect";
    default:
      break;
  }
  if (os_errno != 0) return std::generic_category().message(static_cast<int>(os_errno));
  return curl_easy_strerror(code);
}

}  // namespace

void RequestComponent::set_method(const char* body, std::size_t size) {
  CURL* curl = static_cast<CURL*>(handle_);
  curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, nullptr);
  curl_easy_setopt(curl, CURLOPT_NOBODY, 0L);
  curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
  const bool with_body = size > 0 || method_ == "POST" || method_ == "PUT";
  if (with_body) {
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(size));
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, size > 0 ? body : "");
  } else if (method_ == "HEAD") {
    curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
  }
  // A plain POST lets curl turn it into a GET after a 302, as browsers do.
  const bool plain = method_ == (with_body ? "POST" : "GET") || (!with_body && method_ == "HEAD");
  if (!plain) curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, method_.c_str());
}

bool RequestComponent::perform(const char* body, std::size_t size) {
  reset_answer();
  failure_.clear();
  if (!valid() || !opened_) {
    failure_ = "the address is not a usable http or https address";
    return false;
  }
  CURL* curl = static_cast<CURL*>(handle_);
  set_method(body, size);

  Slist lines, proxy_lines;
  bool has_accept = false, has_type = false;
  for (const auto& [name, value] : headers_) {
    const std::string line = value.empty() ? name + ";" : name + ": " + value;
    append(lines, line);
    if (same_ascii_name(name.substr(0, 6), "Proxy-")) append(proxy_lines, line);
    has_accept |= same_ascii_name(name, "Accept");
    has_type |= same_ascii_name(name, "Content-Type");
  }
  headers_.clear();
  // Without these curl would add lines of its own.
  if (!has_accept) append(lines, "Accept:");
  if (!has_type) append(lines, "Content-Type:");
  append(lines, "Expect:");
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, lines.get());
  curl_easy_setopt(curl, CURLOPT_PROXYHEADER, proxy_lines.get());

  const long connect_ms = timeouts_.resolve.count() == 0 || timeouts_.connect.count() == 0
                              ? 0L
                              : static_cast<long>((timeouts_.resolve + timeouts_.connect).count());
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, connect_ms);
  const bool done = run_transfer(size);
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
  curl_easy_setopt(curl, CURLOPT_PROXYHEADER, nullptr);
  curl_easy_setopt(curl, CURLOPT_POSTFIELDS, nullptr);
  if (!done) {
    reset_answer();
    return false;
  }
  long code = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
  status_ = static_cast<int>(code);
  return true;
}

// Drives the transfer through the multi interface so that the send and
// receive limits (time without progress) are checked every few milliseconds.
bool RequestComponent::run_transfer(std::size_t upload_size) {
  CURL* curl = static_cast<CURL*>(handle_);
  if (!multi_) multi_ = curl_multi_init();
  CURLM* multi = static_cast<CURLM*>(multi_);
  if (!multi) {
    failure_ = "out of memory";
    return false;
  }
  Exchange exchange{curl, body_, header_lines_, body_limit_};
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &on_body);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &on_header);
  curl_easy_setopt(curl, CURLOPT_PREREQFUNCTION, &on_prerequest);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &exchange);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &exchange);
  curl_easy_setopt(curl, CURLOPT_PREREQDATA, &exchange);
  if (curl_multi_add_handle(multi, curl) != CURLM_OK) {
    failure_ = "cannot start the transfer";
    return false;
  }

  bool timed_out = false;
  bool was_prepared = false;
  curl_off_t last_down = -1, last_up = -1;
  Clock::time_point last_progress = Clock::now();
  int running = 1;
  while (running > 0 && !timed_out) {
    if (curl_multi_perform(multi, &running) != CURLM_OK) break;
    if (running == 0) break;
    curl_off_t down = 0, up = 0;
    curl_easy_getinfo(curl, CURLINFO_SIZE_DOWNLOAD_T, &down);
    curl_easy_getinfo(curl, CURLINFO_SIZE_UPLOAD_T, &up);
    long head = 0;
    curl_easy_getinfo(curl, CURLINFO_HEADER_SIZE, &head);
    down += head;
    const auto now = Clock::now();
    if (exchange.prepared && (!was_prepared || down != last_down || up != last_up)) last_progress = now;
    was_prepared = exchange.prepared;
    last_down = down;
    last_up = up;
    if (exchange.prepared) {
      const bool sending = static_cast<std::size_t>(up) < upload_size;
      const auto limit = sending ? timeouts_.send : timeouts_.receive;
      timed_out = limit.count() > 0 && now - last_progress >= limit;
    }
    curl_multi_poll(multi, nullptr, 0, kPollMs, nullptr);
  }
  CURLcode result = CURLE_OPERATION_TIMEDOUT;
  int queued = 0;
  while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
    if (message->msg == CURLMSG_DONE && message->easy_handle == curl) result = message->data.result;
  }
  long os_errno = 0;
  curl_easy_getinfo(curl, CURLINFO_OS_ERRNO, &os_errno);
  curl_multi_remove_handle(multi, curl);
  if (timed_out) result = CURLE_OPERATION_TIMEDOUT;
  if (result != CURLE_OK) failure_ = failure_text(result, os_errno, exchange);
  return result == CURLE_OK;
}

}  // namespace lumora
