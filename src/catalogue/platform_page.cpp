#include "lumora/catalogue/platform_page.h"

#include "lumora/net/http_request.h"
#include "lumora/net/url_coding.h"

namespace lumora {

bool load_platform_page(JsonDocument& document, const Text& address,
                        RequestComponent* connection) {
  return document.parse(answer_body_decode(
      text_of_bytes(http_request(address, {.shared_request = connection})), true));
}

}  // namespace lumora
