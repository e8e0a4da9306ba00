#pragma once

#include <stdexcept>
#include <string>

namespace quillo::media {

// A refusal or failure of the media layer, carrying the text shown to the user.
class MediaError : public std::runtime_error {
public:
    explicit MediaError(const std::string& message) : std::runtime_error(message) {}
};

// A text that should have been a number: the refusal names the text.
class ConversionError : public MediaError {
public:
    using MediaError::MediaError;
};

}  // namespace quillo::media
