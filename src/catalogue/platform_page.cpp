#include "lumora/catalogue/platform_page.h"

#include "lumora/net/http_request.h"
#include "lumora/net/url_coding.h"

namespace lumora {

void load_platform_page(JsonDocument& document, const Text& address) {
  document.parse(url_decode(text_of_bytes(http_request(address)), true));
}

}  // namespace lumora
