// The record kept beside a working file: what the file holds, so a later
// task can fetch only what is missing. A small versioned text with a
// checksum; anything torn, zero-filled or inconsistent reads as no record.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lumora/text/text.h"

namespace lumora {

struct RecordedSegment {
  std::int64_t start = 0;
  std::int64_t length = 0;
  std::int64_t received = 0;  // bytes stored from `start` on
};

struct ResumeRecord {
  Text address;  // the task's address as given, before any redirect
  std::int64_t size = 0;
  Text etag;           // empty when the server sent none
  Text last_modified;  // likewise
  std::vector<RecordedSegment> segments;

  std::int64_t received_total() const;
};

std::string encode_record(const ResumeRecord& record);
// Nullopt unless the bytes are a whole record of this version with a
// matching checksum whose segments tile [0, size) exactly.
std::optional<ResumeRecord> decode_record(std::string_view bytes);

}  // namespace lumora
