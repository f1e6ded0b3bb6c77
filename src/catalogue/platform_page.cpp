#include "lumora/catalogue/platform_page.h"

#include "lumora/json/engine_text.h"
#include "lumora/net/http_request.h"
#include "lumora/net/url_coding.h"
#include "lumora/text/code_page.h"

namespace lumora {
namespace {

template <typename T>
T taken(T& from) {
  T out = std::move(from);
  T().swap(from);
  return out;
}

std::string engine_text(Text gbk) {
  std::string storage;
  const std::string_view utf8 = json::to_engine(gbk, storage);
  if (utf8.data() != gbk.data()) return storage;
  gbk.resize(utf8.size());
  return gbk;
}

}  // namespace

PlatformAnswer fetch_platform_answer(const Text& address, RequestComponent* connection) {
  PlatformAnswer answer;
  RequestComponent own_request;
  RequestComponent& request = connection ? *connection : own_request;
  request.set_body_limit(kMaxPlatformAnswer);
  ByteArray body = http_request(address, {.status_out = &answer.status, .shared_request = &request});
  answer.failure = request.failure();
  // One step a statement, so each step's input is gone before the next.
  Text text = text_of_bytes(taken(body));
  Text decoded = answer_body_decode(taken(text), false);
  Text gbk = utf8_to_gbk(taken(decoded));
  answer.utf8 = engine_text(std::move(gbk));
  return answer;
}

std::string unreadable_reason(const PlatformAnswer& answer) {
  if (!answer.failure.empty()) return answer.failure;
  if (answer.status != 200) return "HTTP " + std::to_string(answer.status);
  return "the answer is not JSON";
}

}  // namespace lumora
