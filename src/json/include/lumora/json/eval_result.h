// How a value read by path comes out as text, double or boolean: the
// conversions every read of the document shares.
#pragma once

#include "lumora/json/json_path.h"
#include "lumora/json/json_value.h"
#include "lumora/text/text.h"

namespace lumora::json {

// A string as it is (GBK), a boolean as "True" or "False", a number as
// variant_number_text writes it; anything else, or a failed read, empty.
Text result_text(Lookup found);

// A number as it is, a string that holds a decimal number as that number,
// true as -1; anything else, or a failed read, 0.
double result_number(Lookup found);

// A boolean as it is, a number as false for 0 and true otherwise, a string as
// the decimal number it holds or as "true" / "false" in any case; anything
// else false.
bool result_bool(const Value& value);

}  // namespace lumora::json
