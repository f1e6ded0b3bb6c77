// Feeds arbitrary bytes to the HTTP answer head reader, as a server could
// send them, and checks what it promises about the values it returns.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "lumora/download/answer_head.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::size_t end = lumora::answer_head_end(bytes);
  if (end > bytes.size()) std::abort();
  const lumora::AnswerHead a = lumora::parse_answer_head(end > 0 ? bytes.substr(0, end) : bytes);
  if (const auto range = lumora::parse_content_range(a.content_range)) {
    if (range->first < 0 || range->last < range->first) std::abort();
    if (range->total != -1 && range->total <= range->last) std::abort();
  }
  lumora::parse_content_range(bytes);
  const lumora::Text name = lumora::disposition_file_name(a.content_disposition);
  if (name.find('/') != lumora::Text::npos) std::abort();  // never a directory part
  lumora::disposition_file_name(bytes);
  if (lumora::read_size(bytes) < -1) std::abort();
  return 0;
}
