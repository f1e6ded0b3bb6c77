// Code-page conversion over iconv.
//
// Code pages: 65001 UTF-8, 936 GBK, 0 the ANSI code page (GBK on this
// machine). A byte sequence that is invalid in the source code page, or a
// character the target lacks, becomes "?" and the conversion goes on with the
// rest of the text. Thread-safe; never throws.
#pragma once

#include <string>
#include <string_view>

#include "lumora/text/text.h"

namespace lumora {

inline constexpr int kCodePageAnsi = 0;
inline constexpr int kCodePageGbk = 936;
inline constexpr int kCodePageUtf8 = 65001;

// UTF-16 code units, without a terminator.
std::u16string decode_to_utf16(std::string_view text, int code_page);
// Up to the first zero unit.
Text encode_from_utf16(std::u16string_view units, int code_page);

// UTF-16LE bytes of `text`, the terminating zero unit included.
ByteArray to_utf16(std::string_view text, int code_page = kCodePageUtf8);
// Converts UTF-16LE bytes up to the terminating zero unit (an odd last byte is
// ignored).
Text from_utf16(const ByteArray& bytes, int code_page = kCodePageAnsi);

// Direct conversions, the same result as going through UTF-16.
Text utf8_to_gbk(std::string_view text);
Text gbk_to_utf8(std::string_view text);

// The GBK form of a UTF-8 literal: how the program spells its own texts in
// source, e.g. gbk(u8"下载完成").
Text gbk(std::u8string_view utf8);

}  // namespace lumora
