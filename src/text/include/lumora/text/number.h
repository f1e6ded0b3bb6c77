// Numbers read from and shown as text.
#pragma once

#include <cstdint>
#include <string_view>

#include "lumora/text/text.h"

namespace lumora {

// Folds GBK full-width forms to ASCII (full-width space, "~", "*", the 0xA3
// row) and reads a decimal integer: leading white space, an optional sign,
// the leading digits; 0 when there are none. Saturates at the int32 range.
std::int32_t text_to_int(std::string_view text);

// Half away from zero, with 1e-12 added to the magnitude before the 0.5 test
// so that 2.4999999999999 shown as a percentage still reads as intended.
std::int64_t round_shown(double value);

// Plain decimal integer text.
Text decimal_text(std::int64_t value);

}  // namespace lumora
