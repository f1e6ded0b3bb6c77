// Reading query keys the way the platform does: a missing or non-numeric
// number takes its default.
#pragma once

#include <httplib.h>

#include <charconv>
#include <string>

namespace lumora::sim {

inline long long number_param(const httplib::Request& request, const char* key, long long fallback) {
  if (!request.has_param(key)) return fallback;
  const std::string text = request.get_param_value(key);
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() ? value : fallback;
}

// Serialises `json` as raw UTF-8 or with every non-ASCII character escaped.
template <typename Json>
std::string json_text(const Json& json, bool escaped) {
  return json.dump(-1, ' ', escaped, Json::error_handler_t::replace);
}

}  // namespace lumora::sim
