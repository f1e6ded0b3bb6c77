#include "lumora/catalogue/platform_page.h"

#include "lumora/net/http_request.h"
#include "lumora/net/url_coding.h"

namespace lumora {

void load_platform_page(JsonDocument& document, const Text& address,
                        RequestComponent* connection) {
  document.parse(
      url_decode(text_of_bytes(http_request(address, {.shared_request = connection})), true));
}

}  // namespace lumora
