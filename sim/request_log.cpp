#include "lumora/sim/request_log.h"

#include <httplib.h>
#include <openssl/ssl.h>

#include <algorithm>

namespace lumora::sim {
namespace {

bool same_name(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

std::string LoggedRequest::header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (same_name(key, name)) return value;
  }
  return {};
}

bool LoggedRequest::has_header(std::string_view name) const {
  return std::any_of(headers.begin(), headers.end(),
                     [&](const auto& h) { return same_name(h.first, name); });
}

void RequestLog::record(LoggedRequest request) {
  std::lock_guard lock(mutex_);
  requests_.push_back(std::move(request));
}

void RequestLog::record(const httplib::Request& request) {
  LoggedRequest logged{request.method, request.target, request.version, {}};
  if (request.ssl) {
    logged.tls = true;
    logged.tls_resumed = SSL_session_reused(request.ssl) == 1;
  }
  for (const auto& [name, value] : request.headers) {
    // httplib adds these itself; they never came over the wire.
    if (name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" ||
        name == "LOCAL_PORT")
      continue;
    logged.headers.emplace_back(name, value);
  }
  record(std::move(logged));
}

std::vector<LoggedRequest> RequestLog::snapshot() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::vector<LoggedRequest> RequestLog::matching(std::string_view prefix) const {
  std::vector<LoggedRequest> out;
  std::lock_guard lock(mutex_);
  for (const auto& r : requests_) {
    if (std::string_view(r.target).starts_with(prefix)) out.push_back(r);
  }
  return out;
}

void RequestLog::clear() {
  std::lock_guard lock(mutex_);
  requests_.clear();
}

}  // namespace lumora::sim
