// Percent-decoding of response bodies and percent-encoding of query values.
#pragma once

#include <string_view>

#include "lumora/text/code_page.h"
#include "lumora/text/text.h"

namespace lumora {

// "%XX" escapes decoded (case-insensitive hex; a non-hex digit counts -2, a
// digit past the end 0; a decoded zero byte is dropped), "+" left alone.
// With `to_gbk` the result is converted from UTF-8 to GBK.
Text url_decode(std::string_view text, bool to_gbk = false);

// For answer bodies: only a "%" followed by two hex digits is decoded (a
// decoded zero byte is dropped); any other "%" stays as it is, so a raw
// "100%" in a text survives. With `to_gbk` as for url_decode.
Text answer_body_decode(std::string_view text, bool to_gbk = false);

// Every byte as "%XX" (upper-case), except "-", ".", digits and ASCII letters
// when `keep_unreserved`. With `as_utf8` the GBK text's UTF-8 form is encoded.
Text url_encode(std::string_view text, bool keep_unreserved = false, bool as_utf8 = false);

}  // namespace lumora
