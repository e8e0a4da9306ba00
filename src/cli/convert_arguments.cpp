#include "cli/convert_arguments.h"

#include <charconv>
#include <cmath>
#include <map>
#include <sstream>

namespace quillo::cli {

const char* const ConvertUsage =
    "usage: quillo-convert [OPTIONS] FILE...\n"
    "       quillo-convert --list-profiles\n"
    "\n"
    "Converts each FILE with the current output profile of Quillo Video Converter, one output\n"
    "per file, into the output folder. The settings are the program's own (the folder given by\n"
    "QUILLO_CONFIG_DIR, else ~/.config/quillo-video-converter): --profile and --output-dir are\n"
    "stored there as choosing them in the program would.\n"
    "\n"
    "  --list-profiles          lists every profile: code, group and name; * marks the current\n"
    "  --profile CODE           makes the profile with that code current (see --list-profiles)\n"
    "  --output-dir DIR         stores DIR as the output folder (made when missing); a folder\n"
    "                           that cannot be written to is replaced by ~/korvana, with a "
    "warning\n"
    "  --jobs N                 converts N files at a time (default 1)\n"
    "  --trim START,LENGTH      converts LENGTH seconds from START seconds of each file\n"
    "  --crop TOP,BOTTOM,LEFT,RIGHT\n"
    "                           cuts that many source pixels off each side (even numbers)\n"
    "  --brightness N           0..512, 255 leaves the picture as it is\n"
    "  --contrast N             -100..100, 0 leaves it\n"
    "  --saturation N           0..512, 255 leaves it, 0 makes it grey\n"
    "  --exposure N             -255..512, 0 leaves it\n"
    "  --watermark-text TEXT    draws TEXT (white, 26 points) near the top-left corner of every\n"
    "                           frame\n"
    "  --watermark-image FILE   draws the picture FILE (BMP, PNG or JPEG) at the top-left corner\n"
    "                           of every frame\n"
    "  --verbose                shows the engine's log\n"
    "  --help                   shows this text\n"
    "\n"
    "Names of existing files are never reused: a second run writes \"_(new_1)\" names. On a\n"
    "terminal one line per running file shows its progress. Ctrl-C stops: the outputs being\n"
    "written are finished up to that point; a second Ctrl-C ends at once.\n"
    "\n"
    "Exit status: 0 when every file was converted, 1 when any was not, 2 for a wrong command\n"
    "line.\n";

namespace {

std::optional<long long> Integer(const std::string& text) {
    long long value = 0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (result.ec != std::errc() || result.ptr != end || text.empty()) {
        return std::nullopt;
    }
    return value;
}

std::optional<double> Number(const std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    std::istringstream stream(text);
    stream.imbue(std::locale::classic());
    double value = 0;
    stream >> value;
    if (stream.fail() || !stream.eof() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos) {
            return parts;
        }
        start = comma + 1;
    }
}

}  // namespace

ParsedArguments ParseConvertArguments(const std::vector<std::string>& list) {
    ParsedArguments parsed;
    ConvertArguments& a = parsed.arguments;
    const auto fail = [&parsed](std::string message) {
        parsed.error = std::move(message);
        return parsed;
    };
    const auto ranged = [](const std::string& value, long long low,
                           long long high) -> std::optional<int> {
        const auto number = Integer(value);
        if (!number || *number < low || *number > high) {
            return std::nullopt;
        }
        return static_cast<int>(*number);
    };
    struct Range {
        std::optional<int> ConvertArguments::*field;
        long long low;
        long long high;
    };
    const std::map<std::string, Range> adjustments = {
        {"--brightness", {&ConvertArguments::brightness, 0, 512}},
        {"--contrast", {&ConvertArguments::contrast, -100, 100}},
        {"--saturation", {&ConvertArguments::saturation, 0, 512}},
        {"--exposure", {&ConvertArguments::exposure, -255, 512}}};

    bool filesOnly = false;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::string& option = list[i];
        if (filesOnly || option.empty() || option[0] != '-' || option == "-") {
            a.files.emplace_back(option);
            continue;
        }
        if (option == "--") {
            filesOnly = true;
            continue;
        }
        if (option == "--help" || option == "-h") {
            a.help = true;
            continue;
        }
        if (option == "--list-profiles") {
            a.listProfiles = true;
            continue;
        }
        if (option == "--verbose") {
            a.verbose = true;
            continue;
        }
        if (i + 1 >= list.size()) {
            return fail("Option " + option + " needs a value");
        }
        const std::string& value = list[++i];
        if (const auto found = adjustments.find(option); found != adjustments.end()) {
            const Range& range = found->second;
            const auto number = ranged(value, range.low, range.high);
            if (!number) {
                return fail(option + " takes a whole number from " + std::to_string(range.low) +
                            " to " + std::to_string(range.high) + ", not \"" + value + "\"");
            }
            a.*range.field = number;
        } else if (option == "--profile") {
            const auto code = ranged(value, 0, 99999);
            if (!code) {
                return fail("--profile takes a profile code (see --list-profiles), not \"" + value +
                            "\"");
            }
            a.profile = code;
        } else if (option == "--output-dir") {
            if (value.empty()) {
                return fail("--output-dir needs a folder");
            }
            a.outputFolder = value;
        } else if (option == "--jobs") {
            const auto jobs = ranged(value, 1, 64);
            if (!jobs) {
                return fail("--jobs takes a number from 1 to 64, not \"" + value + "\"");
            }
            a.jobs = *jobs;
        } else if (option == "--trim") {
            const std::vector<std::string> parts = Split(value);
            const auto start = parts.size() == 2 ? Number(parts[0]) : std::nullopt;
            const auto length = parts.size() == 2 ? Number(parts[1]) : std::nullopt;
            if (!start || !length || *start < 0 || *length <= 0) {
                return fail(
                    "--trim takes START,LENGTH in seconds (START at least 0, LENGTH "
                    "more than 0), not \"" +
                    value + "\"");
            }
            a.trim = std::pair{*start, *length};
        } else if (option == "--crop") {
            const std::vector<std::string> parts = Split(value);
            std::array<int, 4> margins{};
            bool ok = parts.size() == 4;
            for (std::size_t side = 0; ok && side < 4; ++side) {
                const auto margin = ranged(parts[side], 0, 100000);
                ok = margin.has_value();
                margins[side] = margin.value_or(0);
            }
            if (!ok) {
                return fail("--crop takes TOP,BOTTOM,LEFT,RIGHT in pixels (0 or more), not \"" +
                            value + "\"");
            }
            a.crop = margins;
        } else if (option == "--watermark-text") {
            if (value.empty()) {
                return fail("--watermark-text needs a text");
            }
            a.watermarkText = value;
        } else if (option == "--watermark-image") {
            a.watermarkImage = value;
        } else {
            --i;
            return fail("Unknown option " + option);
        }
    }
    if (!a.help && !a.listProfiles && a.files.empty()) {
        return fail("No file to convert");
    }
    return parsed;
}

}  // namespace quillo::cli
