#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillo::media {

// Removes leading and trailing blanks and control characters.
std::string Trim(std::string_view text);

// Lower-cases ASCII letters only; profile keywords and INI names are ASCII.
std::string LowerAscii(std::string_view text);

bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// A signed decimal integer that fits 32 bits, with nothing around it.
std::optional<int> ParseInteger(std::string_view text);

// The same for 64-bit integers.
std::optional<std::int64_t> ParseInteger64(std::string_view text);

// A decimal number (integer or fraction, optional exponent), with nothing around it.
std::optional<double> ParseNumber(std::string_view text);

// As above, but a text that is not a number raises a MediaError with the runtime's
// conversion message ("'abc' is not a valid integer value").
int StrictInteger(std::string_view text);
std::int64_t StrictInteger64(std::string_view text);
double StrictNumber(std::string_view text);

// Splits at every ","; the pieces stay as they stand, so a trailing comma gives an empty
// last piece.
std::vector<std::string> SplitValueList(std::string_view text);

}  // namespace quillo::media
