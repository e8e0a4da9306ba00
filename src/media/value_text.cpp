#include "media/value_text.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

#include "media/media_error.h"

namespace quillo::media {

namespace {

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

char LowerChar(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::string Trim(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && IsBlank(text[end - 1])) {
        --end;
    }
    return std::string(text.substr(begin, end - begin));
}

std::string LowerAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        c = LowerChar(c);
    }
    return result;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerChar(a[i]) != LowerChar(b[i])) {
            return false;
        }
    }
    return true;
}

namespace {

template <typename Integer>
std::optional<Integer> ParseWhole(std::string_view text) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-') {
            return std::nullopt;
        }
    }
    if (text.empty()) {
        return std::nullopt;
    }
    Integer value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<int> ParseInteger(std::string_view text) {
    return ParseWhole<int>(text);
}

std::optional<std::int64_t> ParseInteger64(std::string_view text) {
    return ParseWhole<std::int64_t>(text);
}

std::optional<double> ParseNumber(std::string_view text) {
    std::string_view digits = text;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
        digits.remove_prefix(1);
    }
    // from_chars would also take "inf" and "nan", which are no numbers here.
    if (digits.empty() || !(IsDigit(digits.front()) || digits.front() == '.')) {
        return std::nullopt;
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return text.front() == '-' ? -value : value;
}

int StrictInteger(std::string_view text) {
    if (const auto value = ParseInteger(text)) {
        return *value;
    }
    throw ConversionError("'" + std::string(text) + "' is not a valid integer value");
}

std::int64_t StrictInteger64(std::string_view text) {
    if (const auto value = ParseInteger64(text)) {
        return *value;
    }
    throw ConversionError("'" + std::string(text) + "' is not a valid integer value");
}

double StrictNumber(std::string_view text) {
    if (const auto value = ParseNumber(text)) {
        return *value;
    }
    throw ConversionError("'" + std::string(text) + "' is not a valid floating point value");
}

std::vector<std::string> SplitValueList(std::string_view text) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        if (comma == std::string_view::npos) {
            pieces.emplace_back(text.substr(start));
            return pieces;
        }
        pieces.emplace_back(text.substr(start, comma - start));
        start = comma + 1;
    }
}

}  // namespace quillo::media
