// The names a task keeps beside its final file name while it runs: the
// working file that holds the bytes until the last one is stored, and the
// record of what it holds, for a resume. Neither ends in ".mp3", so no
// player or file manager takes them for a track.
#pragma once

#include <cstddef>
#include <string_view>

namespace lumora {

inline constexpr std::string_view kWorkingSuffix = ".part";
inline constexpr std::string_view kRecordSuffix = ".part.rec";
// The record is written under this name, then renamed over the old one.
inline constexpr std::string_view kRecordTempSuffix = ".part.rec.new";

// The most bytes a side name adds to its final name: whoever fits a name
// into the file system's 255-byte limit leaves this much room.
inline constexpr std::size_t kLongestSideSuffix = kRecordTempSuffix.size();

}  // namespace lumora
