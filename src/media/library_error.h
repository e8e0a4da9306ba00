#pragma once

#include <string>
#include <string_view>

namespace quillo::media {

// "name: text", the text describing a media library error code by its meaning.
std::string FormatLibraryError(std::string_view name, int code);

}  // namespace quillo::media
