// Canned answers that replace a simulator server's own for chosen requests,
// so tests can stage what the platform does wrong (a failing page, a body
// that is not JSON, a missing member). Thread-safe.
#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumora::sim {

struct CannedAnswer {
  std::string needle;  // matched anywhere in the request target (path and query as sent)
  int status = 200;
  std::string body{};
  std::string content_type = "application/json;charset=UTF-8";
  // When set, the body for each request's target, in place of `body` (an
  // answer that differs page by page). Called on the servers' threads.
  std::function<std::string(std::string_view target)> body_for{};
};

class AnswerOverrides {
 public:
  // Later additions win over earlier ones with a matching needle.
  void add(CannedAnswer answer);
  void clear();
  std::optional<CannedAnswer> find(std::string_view target) const;

 private:
  mutable std::mutex mutex_;
  std::vector<CannedAnswer> answers_;
};

}  // namespace lumora::sim
