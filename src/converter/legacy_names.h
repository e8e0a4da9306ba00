#pragma once

// The one place where names of the 2010 media libraries (the engine's option vocabulary) are
// mapped to their FFmpeg 5.1 successors: encoder names, and codec option names and values.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillo::converter {

// The encoder FFmpeg 5.1 offers for a 2010 encoder name: "libfaac" gives "aac", "libflac"
// "flac", "vorbis" gives "libvorbis" when the loaded libavcodec has that encoder. Names with
// no successor (such as "libamr_nb") and every current name come back unchanged, so the
// caller's lookup reports them as not found. Needs libavcodec loaded for the "when present"
// cases; without it those names stay as given.
std::string SuccessorEncoderName(std::string_view name);

// The FFmpeg 5.1 options that mean what the 2010 option name=value meant for the given
// encoder: usually the pair itself, a renamed pair or a rewritten value; one legacy line can
// become several pairs (a flags2 line sets one libx264 option per flag), and none when the
// setting never had an effect on that encoder. The names are to be set on the encoder's
// codec context with its private options searched (AV_OPT_SEARCH_CHILDREN).
std::vector<std::pair<std::string, std::string>> TranslateLegacyOption(std::string_view encoderName,
                                                                       std::string_view name,
                                                                       std::string_view value);

// Options that were for video codecs only and now also belong to audio codecs ("b",
// "maxrate", "minrate", "bufsize"). Set for audio as well, a video bit rate reaches the audio
// encoder, which then refuses to open; they go to the video codecs only.
bool IsVideoOnlyLegacyOption(std::string_view name);

}  // namespace quillo::converter
