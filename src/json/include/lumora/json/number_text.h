// Number texts of the document (locale-independent): the script's Number-to-String form used in
// JSON text and member names, and the two fixed-precision forms of reads.
#pragma once

#include <string>
#include <string_view>

namespace lumora::json {

// Shortest digits that read back as the same double; plain decimal for
// magnitudes from 1e-6 up to below 1e21, exponent form ("1e+21", "1.5e-7")
// outside. -0 gives "0"; NaN "NaN"; infinities "Infinity" / "-Infinity".
std::string script_number_text(double d);

// printf's "%.13g": at most 13 significant digits, exponent form from 1e13 up
// and below 1e-4.
std::string g13_text(double d);

// A number read out as text: an integer within 32 bits plainly, any other
// number to at most 15 significant digits ("%.15g").
std::string variant_number_text(double d);

// The number a text holds when the whole text (spaces around allowed) is a
// decimal number with optional sign, fraction and exponent.
bool decimal_text_value(std::string_view text, double& out);

}  // namespace lumora::json
