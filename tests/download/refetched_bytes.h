// How many bytes a resumed task had sent to it again: the part of what the
// server sent that the record already held as stored.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "lumora/download/resume_record.h"
#include "lumora/sim/audio_server.h"

namespace lumora::test {

inline std::uint64_t refetched(const std::vector<sim::SentSpan>& spans,
                               const ResumeRecord& record) {
  std::uint64_t total = 0;
  for (const sim::SentSpan& s : spans)
    for (const RecordedSegment& d : record.segments) {
      const auto lo = std::max<std::uint64_t>(s.start, static_cast<std::uint64_t>(d.start));
      const auto hi = std::min<std::uint64_t>(s.start + s.length,
                                              static_cast<std::uint64_t>(d.start + d.received));
      if (hi > lo) total += hi - lo;
    }
  return total;
}

}  // namespace lumora::test
