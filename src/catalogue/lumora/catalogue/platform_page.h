// One platform answer as a JSON document: the request, the body up to its
// first zero byte, its "%XX" escapes decoded (any other "%" kept) and
// converted to GBK, then parsed.
#pragma once

#include "lumora/json/json_document.h"
#include "lumora/net/request_component.h"
#include "lumora/text/text.h"

namespace lumora {

// Replaces the document's content with the answer at `address`. A failed
// request or a body that is not JSON leaves a document whose reads give
// empty text and counts of 0. With `connection` the request goes through that
// component (the caller's, one thread at a time), so a walk's pages share
// one open connection; without it, through a component of its own. False
// when the answer was not JSON (no answer at all included).
bool load_platform_page(JsonDocument& document, const Text& address,
                        RequestComponent* connection = nullptr);

}  // namespace lumora
