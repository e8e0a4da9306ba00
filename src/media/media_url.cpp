#include "media/media_url.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace quillo::media {

namespace {

// Protocols whose names are passed to the libraries as they are.
constexpr std::array<std::string_view, 7> PassedProtocols = {"stream", "gopher", "http", "pipe",
                                                             "rtp",    "tcp",    "udp"};

bool IsSchemeCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '+' || c == '-' || c == '.';
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length;
        char32_t codePoint;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            codePoint = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            codePoint = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            codePoint = lead & 0x07;
        } else {
            return false;
        }
        if (i + length > text.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto continuation = static_cast<unsigned char>(text[i + k]);
            if ((continuation & 0xC0) != 0x80) {
                return false;
            }
            codePoint = (codePoint << 6) | (continuation & 0x3F);
        }
        // Overlong forms, surrogates and values past the Unicode range are not UTF-8.
        constexpr char32_t Smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (codePoint < Smallest[length] || codePoint > 0x10FFFF ||
            (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}

bool IsUnicodeURL(std::string_view url) {
    return url.size() > UnicodeUrlPrefix.size() && url.starts_with(UnicodeUrlPrefix);
}

bool NeedsUnicodeURL(std::string_view fileName) {
    if (IsUnicodeURL(fileName)) {
        return false;  // already wrapped
    }
    const auto colon = fileName.find(':');
    if (colon != std::string_view::npos) {
        const std::string_view prefix = fileName.substr(0, colon);
        if (std::ranges::find(PassedProtocols, prefix) != PassedProtocols.end()) {
            return false;
        }
        // The libraries would take the prefix for a protocol name and fail to find it.
        if (std::ranges::all_of(prefix, IsSchemeCharacter)) {
            return true;
        }
    }
    return !IsValidUtf8(fileName);
}

std::string MakeMediaURL(std::string_view fileName) {
    if (NeedsUnicodeURL(fileName)) {
        return std::string(UnicodeUrlPrefix) + std::string(fileName);
    }
    return std::string(fileName);
}

std::string MediaURLToFileName(std::string_view url) {
    if (IsUnicodeURL(url)) {
        return std::string(url.substr(UnicodeUrlPrefix.size()));
    }
    return std::string(url);
}

}  // namespace quillo::media
