#include "converter/extra_options.h"

#include "media/value_text.h"

namespace quillo::converter {

namespace {

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

}  // namespace

std::vector<OptionLine> ExtraOptionLines(std::string_view text) {
    std::string uniform = media::Trim(text);
    ReplaceAll(uniform, "\r\n", "\n");
    ReplaceAll(uniform, "\r", "\n");
    ReplaceAll(uniform, "<CRLF>", "\n");

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
                lines.push_back(
                    {media::LowerAscii(line.substr(0, equals)), std::string(line.substr(equals + 1))});
            }
        }
        start = end + 1;
    }
    return lines;
}

}  // namespace quillo::converter
