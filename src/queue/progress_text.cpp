#include "lumora/queue/progress_text.h"

#include "lumora/text/number.h"

namespace lumora {

Text progress_text(std::int64_t received_bytes, double total_size, std::int64_t recent_bytes) {
  const double percent = total_size > 0 ? received_bytes / total_size * 100 : 0.0;
  return decimal_text(round_shown(percent)) + "%-" +
         decimal_text(round_shown(recent_bytes / 1024.0)) + "KB";
}

}  // namespace lumora
