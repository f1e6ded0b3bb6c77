#pragma once

#include <cstdint>

#include "lumora/text/text.h"

namespace lumora {

// The row's progress cell: percent + "%-" + kilobytes + "KB", both rounded
// half away from zero. Before the file's size is known the percentage is 0.
Text progress_text(std::int64_t received_bytes, double total_size, std::int64_t recent_bytes);

}  // namespace lumora
