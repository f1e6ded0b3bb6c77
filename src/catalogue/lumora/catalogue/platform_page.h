// One platform answer as a JSON document: the request, the body up to its
// first zero byte, percent-decoded and converted to GBK, then parsed.
#pragma once

#include "lumora/json/json_document.h"
#include "lumora/text/text.h"

namespace lumora {

// Replaces the document's content with the answer at `address`. A failed
// request or a body that is not JSON leaves a document whose reads give
// empty text and counts of 0.
void load_platform_page(JsonDocument& document, const Text& address);

}  // namespace lumora
