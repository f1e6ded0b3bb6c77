#pragma once

#include <string_view>

#include "lumora/text/text.h"

namespace lumora {

// Standard Base64 (RFC 4648 alphabet, "=" padding, no line breaks).
Text base64_encode(std::string_view bytes);

}  // namespace lumora
