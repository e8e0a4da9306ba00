#pragma once

#include <string>
#include <string_view>

namespace quillo::media {

// File names are handed to the media libraries through MakeMediaURL. A name the libraries
// would misread (one that looks like "scheme:rest", or is not valid UTF-8) travels as
// "unicode:utf8:" + name and is opened by our own file I/O (file_io.h) instead of theirs.

inline constexpr std::string_view UnicodeUrlPrefix = "unicode:utf8:";

bool NeedsUnicodeURL(std::string_view fileName);
std::string MakeMediaURL(std::string_view fileName);
// The file name inside a wrapped URL; any other name comes back unchanged.
std::string MediaURLToFileName(std::string_view url);
bool IsUnicodeURL(std::string_view url);

bool IsValidUtf8(std::string_view text);

}  // namespace quillo::media
