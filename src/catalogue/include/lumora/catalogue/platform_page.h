// One platform answer as the document engine reads it: the request, the
// body up to its first zero byte, its "%XX" escapes decoded (any other "%"
// kept) and converted to GBK, then to the engine's UTF-8. Each step lets go
// of the step before, so an answer never takes more than twice its size.
#pragma once

#include <cstddef>
#include <string>

#include "lumora/net/request_component.h"
#include "lumora/text/text.h"

namespace lumora {

// No catalogue answer is this large; a larger one is refused unread.
inline constexpr std::size_t kMaxPlatformAnswer = 64u << 20;

struct PlatformAnswer {
  std::string utf8;     // the decoded body; empty when no answer came
  int status = 0;       // 0 when no answer came
  std::string failure;  // why no answer came; empty when one came
};

// With `connection` the request goes through that component (the caller's,
// one thread at a time), so a walk's pages share one open connection;
// without it, through a component of its own.
PlatformAnswer fetch_platform_answer(const Text& address, RequestComponent* connection = nullptr);

// Why an answer that is not JSON cannot be read: the request's failure, the
// status when it was not 200 ("HTTP 404"), else "the answer is not JSON".
std::string unreadable_reason(const PlatformAnswer& answer);

}  // namespace lumora
