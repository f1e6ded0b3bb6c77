#include "lumora/json/eval_result.h"

#include <strings.h>

#include "lumora/json/engine_text.h"
#include "lumora/json/number_text.h"

namespace lumora::json {

Text result_text(Lookup found) {
  if (!found.ok) return {};
  const Value& v = *found.value;
  switch (v.kind()) {
    case Kind::kString: return from_engine(v.as_string());
    case Kind::kBool: return v.as_bool() ? "True" : "False";
    case Kind::kNumber: return variant_number_text(v.as_number());
    default: return {};
  }
}

double result_number(Lookup found) {
  if (!found.ok) return 0;
  const Value& v = *found.value;
  double d = 0;
  switch (v.kind()) {
    case Kind::kNumber: return v.as_number();
    case Kind::kBool: return v.as_bool() ? -1 : 0;
    case Kind::kString: return decimal_text_value(v.as_string(), d) ? d : 0;
    default: return 0;
  }
}

bool result_bool(const Value& v) {
  double d = 0;
  switch (v.kind()) {
    case Kind::kBool: return v.as_bool();
    case Kind::kNumber: return v.as_number() != 0;
    case Kind::kString:
      if (decimal_text_value(v.as_string(), d)) return d != 0;
      return strcasecmp(v.as_string().c_str(), "true") == 0;
    default: return false;
  }
}

}  // namespace lumora::json
