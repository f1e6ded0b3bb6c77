// The system's Text: a GBK byte string, and the character-aware operations on it.
//
// Positions are 1-based byte positions; 0 means "not found". Searches step
// over double-byte characters (a byte >= 0x80 and its follower are one
// character, and no match starts on the follower). Left/right/middle parts
// count plain bytes. None of these functions throws for any input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lumora {

using Text = std::string;
// A counted sequence of bytes (response bodies, UTF-16 units as bytes).
using ByteArray = std::vector<std::uint8_t>;
using TextList = std::vector<Text>;

// The bytes up to the first zero byte.
Text text_of_bytes(const ByteArray& bytes);
ByteArray bytes_of_text(std::string_view text);

// 1-based position of `needle` at or after `start` (below 1 counts as 1), or
// 0; a start past the end finds nothing. An empty needle is never found.
std::size_t find_text(std::string_view hay, std::string_view needle, std::int64_t start = 1,
                      bool ignore_case = false);
bool contains_text(std::string_view hay, std::string_view needle);

Text text_left(std::string_view text, std::size_t count);
Text text_right(std::string_view text, std::size_t count);
// `count` bytes from 1-based `start`, clipped to the text.
Text text_mid(std::string_view text, std::size_t start, std::size_t count);

// Replaces every (character-aware) occurrence of `from` by `to`.
Text replace_all(std::string_view text, std::string_view from, std::string_view to,
                 bool ignore_case = false);

// Spaces are the ASCII space and the GBK full-width space 0xA1 0xA1.
Text trim_spaces(std::string_view text);
Text remove_spaces(std::string_view text);

// The pieces before each separator (empty ones too), then the rest when it is
// not empty; an empty text gives an empty list.
TextList split_text(std::string_view text, std::string_view separator);

}  // namespace lumora
