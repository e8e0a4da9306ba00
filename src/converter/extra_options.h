#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillo::converter {

// One line of extra option text: the name before the first "=", lower-cased, and the rest of
// the line as it stands.
struct OptionLine {
    std::string name;
    std::string value;
};

// Splits extra option text into its lines. The text is trimmed, any line break (CR LF, CR or
// LF) ends a line, and so does every "<CRLF>", which lets a one-line field hold several
// options. Empty lines are left out.
std::vector<OptionLine> ExtraOptionLines(std::string_view text);

}  // namespace quillo::converter
