// Codec presets: built-in rows and preset files of name=value lines.

#include <filesystem>
#include <fstream>
#include <sstream>

#include "converter/builtin_presets.h"
#include "converter/transcoder.h"
#include "media/file_contents.h"
#include "media/value_text.h"

namespace quillo::converter {

namespace {

// CR LF and lone CR become LF.
std::string UniformLineBreaks(std::string text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            result += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            result += text[i];
        }
    }
    return result;
}

}  // namespace

void Transcoder::LoadPreset(std::string_view kind, std::string_view name) {
    RequireLibraries();
    if (kind.empty() || name.empty()) {
        return;
    }
    std::string presetName(name);
    std::string text;
    bool found = false;
    if (kind != "fpre") {
        const OptionsPreset* row = FindBuiltinPreset(presetName);
        if (row == nullptr) {
            // "slow" with libx264 chosen is the row "libx264-slow".
            const std::string& codecName =
                kind == "vpre" && !options_.videoCodecName.empty()   ? options_.videoCodecName
                : kind == "apre" && !options_.audioCodecName.empty() ? options_.audioCodecName
                                                                     : options_.subtitleCodecName;
            if (!codecName.empty()) {
                presetName = codecName + "-" + presetName;
                row = FindBuiltinPreset(presetName);
            }
        }
        if (row != nullptr) {
            presetName = std::string(row->Name);
            text = std::string(row->Text);
            found = true;
        }
    }
    if (!found) {
        presetName = std::string(name);
        std::error_code error;
        if (!std::filesystem::is_regular_file(presetName, error)) {
            throw media::MediaError("Preset \"" + presetName + "\" not found");
        }
        text = media::ReadWholeFile(presetName).value_or("");
    }

    std::istringstream lines(UniformLineBreaks(media::Trim(text)));
    for (std::string line; std::getline(lines, line);) {
        line = media::Trim(line);
        if (line.empty()) {
            continue;
        }
        const auto equals = line.find('=');
        const std::string optionName =
            equals == std::string::npos ? media::Trim(line) : media::Trim(line.substr(0, equals));
        const std::string optionValue =
            equals == std::string::npos ? "" : media::Trim(line.substr(equals + 1));
        if (optionName.empty() || optionValue.empty()) {
            throw media::MediaError(presetName + ": Invalid syntax: \"" + line + "\"");
        }
        const std::string lowerName = media::LowerAscii(optionName);
        if (lowerName == "acodec" || lowerName == "vcodec" || lowerName == "scodec") {
            SetOption(lowerName, optionValue);
        } else if (!SetLibraryOption(optionName, optionValue)) {
            throw media::MediaError(presetName + ": Invalid option or argument: \"" + line +
                                    "\", parsed as \"" + optionName + "\" = \"" + optionValue +
                                    "\"");
        }
    }
}

}  // namespace quillo::converter
