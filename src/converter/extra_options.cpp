#include "converter/extra_options.h"

#include "media/value_text.h"

namespace quillo::converter {

namespace {

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t at = text.find(from); at != std::string_view::npos; at = text.find(from)) {
        result.append(text.substr(0, at)).append(to);
        text.remove_prefix(at + from.size());
    }
    return result.append(text);
}

}  // namespace

std::vector<OptionLine> ExtraOptionLines(std::string_view text) {
    const std::string uniform = ReplaceAll(
        ReplaceAll(ReplaceAll(media::Trim(text), "\r\n", "\n"), "\r", "\n"), "<CRLF>", "\n");

    std::vector<OptionLine> lines;
    std::size_t start = 0;
    while (start <= uniform.size()) {
        std::size_t end = uniform.find('\n', start);
        if (end == std::string::npos) {
            end = uniform.size();
        }
        const std::string_view line = std::string_view(uniform).substr(start, end - start);
        if (!line.empty()) {
            const std::size_t equals = line.find('=');
            if (equals == std::string_view::npos) {
                lines.push_back({media::LowerAscii(line), {}});
            } else {
                lines.push_back({media::LowerAscii(line.substr(0, equals)),
                                 std::string(line.substr(equals + 1))});
            }
        }
        start = end + 1;
    }
    return lines;
}

}  // namespace quillo::converter
