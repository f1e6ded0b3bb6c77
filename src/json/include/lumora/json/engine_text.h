// Texts crossing into and out of the document: callers speak GBK, values are
// held as UTF-8. A zero byte ends a text at this boundary, and a character
// without a form in the target becomes "?".
#pragma once

#include <string>
#include <string_view>

#include "lumora/text/text.h"

namespace lumora::json {

// The UTF-8 form of a GBK text. Pure ASCII is handed back as is (a view of
// `gbk`); anything else is converted into `storage`, which the view then
// refers to.
std::string_view to_engine(std::string_view gbk, std::string& storage);

// The GBK form of a UTF-8 text.
Text from_engine(std::string_view utf8);

}  // namespace lumora::json
