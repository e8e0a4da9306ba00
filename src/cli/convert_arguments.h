#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quillo::cli {

// What the quillo-convert command line asks for.
struct ConvertArguments {
    bool help = false;
    bool listProfiles = false;
    bool verbose = false;
    std::optional<int> profile;
    std::optional<std::filesystem::path> outputFolder;
    int jobs = 1;
    std::optional<std::pair<double, double>> trim;  // start and length, seconds
    std::optional<std::array<int, 4>> crop;         // top, bottom, left, right, source pixels
    std::optional<int> brightness;
    std::optional<int> contrast;
    std::optional<int> saturation;
    std::optional<int> exposure;
    std::optional<std::string> watermarkText;
    std::optional<std::filesystem::path> watermarkImage;
    std::vector<std::filesystem::path> files;
};

struct ParsedArguments {
    ConvertArguments arguments;
    std::string error;  // empty when the command line is right
};

// Reads the command line; values out of their ranges are refused with a message that names
// the option.
ParsedArguments ParseConvertArguments(const std::vector<std::string>& arguments);

extern const char* const ConvertUsage;

}  // namespace quillo::cli
