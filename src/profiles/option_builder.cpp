#include "profiles/option_builder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

#include "media/media_error.h"
#include "media/value_text.h"
#include "profiles/ini_file.h"
#include "profiles/profile_catalogue.h"

namespace quillo::profiles {

namespace {

using converter::InputOptions;
using converter::OutputOptions;

constexpr std::string_view AsSource = "as source";

// Sizes the H.263 encoder accepts; any other is refused when the encoder opens.
constexpr std::array<std::string_view, 5> H263Sizes = {"128x96", "176x144", "352x288", "704x576",
                                                       "1408x1152"};

std::int64_t Even(std::int64_t value) {
    return (value / 2) * 2;
}

// The letterbox pad for a scaled length inside a side.
int Pad(int side, long double length) {
    return static_cast<int>(((side - Even(static_cast<std::int64_t>(std::trunc(length)))) / 4) * 2);
}

std::string SizeText(int width, int height) {
    return std::to_string(width) + "x" + std::to_string(height);
}

std::string RatioText(int width, int height) {
    return std::to_string(width) + ":" + std::to_string(height);
}

bool IsOneOf(std::string_view value, std::initializer_list<std::string_view> words) {
    return std::find(words.begin(), words.end(), value) != words.end();
}

// Kilobits to bits, refusing what a 32-bit bit rate cannot hold.
std::int32_t KilobitsToBits(double kilobits, std::string_view text) {
    const double bits = std::trunc(kilobits * 1000.0);
    if (bits > std::numeric_limits<std::int32_t>::max()) {
        throw media::MediaError("Bit rate " + std::string(text) + " kbit/s is too large");
    }
    return static_cast<std::int32_t>(bits);
}

struct Margins {
    int top;
    int bottom;
    int left;
    int right;
    bool Applied() const { return top > 0 || bottom > 0 || left > 0 || right > 0; }
};

Margins MarginsOf(const JobFraming& job) {
    // Negative margins mean nothing; the arithmetic below must not see them.
    return {std::max(0, job.CropTop), std::max(0, job.CropBottom), std::max(0, job.CropLeft),
            std::max(0, job.CropRight)};
}

void CheckCropLeavesPicture(const Margins& crop, int sourceWidth, int sourceHeight) {
    if (crop.left + crop.right >= sourceWidth || crop.top + crop.bottom >= sourceHeight) {
        throw media::MediaError("The crop margins leave nothing of the " +
                                SizeText(sourceWidth, sourceHeight) + " picture");
    }
}

void Full(const Margins& crop, int width, int height, OutputOptions& output) {
    if (crop.Applied()) {
        output.CropTop = crop.top;
        output.CropBottom = crop.bottom;
        output.CropLeft = crop.left;
        output.CropRight = crop.right;
    }
    output.FrameSize = SizeText(width, height);
    output.AspectRatio = RatioText(width, height);
}

std::string Letterbox(const Margins& crop, int width, int height, int sourceWidth, int sourceHeight,
                      OutputOptions& output) {
    const long double sw = sourceWidth;
    const long double sh = sourceHeight;
    const long double w = width;
    const long double h = height;
    int padV = 0;
    int padH = 0;
    if (width <= sourceWidth && height >= sourceHeight) {
        padV = Pad(height, sh / (sw / w));
        padH = 0;
    }
    if (width >= sourceWidth && height <= sourceHeight) {
        padH = Pad(width, sw / (sh / h));
        padV = 0;
    }
    const long double f = sw / w;
    const long double g = sh / h;
    if (width >= sourceWidth && height >= sourceHeight) {
        if (f > g) {
            padV = Pad(height, sh / f);
            padH = 0;
        } else if (f < g) {
            padH = Pad(width, sw / g);
            padV = 0;
        } else {
            padV = Pad(height, sh / f);
            padH = Pad(width, sw / g);
        }
    }
    if (width <= sourceWidth && height <= sourceHeight) {
        if (f > g) {
            padV = Pad(height, sh / f);
            padH = 0;
        } else if (f < g) {
            padH = Pad(width, sw / g);
            padV = 0;
        } else {
            padH = Pad(width, sw / g);
            padV = 0;
        }
    }
    if (width == sourceWidth && height == sourceHeight) {
        padV = 0;
        padH = 0;
    }
    // An extreme source shape must still leave a picture to scale to.
    padH = std::min(padH, (width - 2) / 2);
    padV = std::min(padV, (height - 2) / 2);
    const int innerWidth = width - 2 * padH;
    const int innerHeight = height - 2 * padV;
    const std::string pad = "pad=" + std::to_string(width) + ":" + std::to_string(height) + ":" +
                            std::to_string(padH) + ":" + std::to_string(padV);
    output.AspectRatio = RatioText(innerWidth, innerHeight);
    if (!crop.Applied()) {
        output.FrameSize = SizeText(innerWidth, innerHeight);
        return pad;
    }
    // The filter crops, in coordinates of the whole source; the crop fields would cut the
    // picture a second time before the filter sees it, so they must not.
    CheckCropLeavesPicture(crop, sourceWidth, sourceHeight);
    output.CropTop = 0;
    output.CropBottom = 0;
    output.CropLeft = 0;
    output.CropRight = 0;
    // Named values: the crop filter's positional order is width, height, x, y.
    return "crop=x=" + std::to_string(crop.left) + ":y=" + std::to_string(crop.top) +
           ":w=" + std::to_string(sourceWidth - crop.left - crop.right) +
           ":h=" + std::to_string(sourceHeight - crop.top - crop.bottom) +
           ",scale=" + std::to_string(innerWidth) + ":" + std::to_string(innerHeight) + "," + pad;
}

// Pan and scan: crops the sides (or top and bottom) so that what stays is 4:3.
void PanAndScan(const Margins& crop, int width, int height, int sourceWidth, int sourceHeight,
                OutputOptions& output) {
    const int croppedWidth = sourceWidth - crop.left - crop.right;
    const int croppedHeight = sourceHeight - crop.top - crop.bottom;
    if (croppedWidth > 0 && croppedHeight > 0) {
        const long double ratio = static_cast<long double>(croppedWidth) / croppedHeight;
        const long double fourThirds = 4.0L / 3.0L;
        // The excess over 4:3 is split between the two sides; multiplying before dividing
        // keeps exact results exact.
        if (ratio > fourThirds) {
            const long double excess = croppedWidth - croppedHeight * 4.0L / 3.0L;
            const std::int64_t x =
                std::max<std::int64_t>(0, static_cast<std::int64_t>(std::trunc(excess)) / 2);
            output.CropLeft = static_cast<int>(Even(x + crop.left));
            output.CropRight = static_cast<int>(Even(x + crop.right));
        } else if (ratio < fourThirds) {
            const long double excess = croppedHeight - croppedWidth * 3.0L / 4.0L;
            const std::int64_t y =
                std::max<std::int64_t>(0, static_cast<std::int64_t>(std::trunc(excess)) / 2);
            output.CropTop = static_cast<int>(Even(y + crop.top));
            output.CropBottom = static_cast<int>(Even(y + crop.bottom));
        }
    }
    output.FrameSize = SizeText(width, height);
    output.AspectRatio = RatioText(width, height);
}

struct PadPlan {
    int frameWidth;
    int frameHeight;
    int width;
    int height;
    int x;
    int y;
};

// Centre: the source placed on a padded canvas, by the same case table as the letterbox.
std::string Centre(int width, int height, int sourceWidth, int sourceHeight,
                   OutputOptions& output) {
    const long double sw = sourceWidth;
    const long double sh = sourceHeight;
    const long double f = sw / width;
    const long double g = sh / height;
    PadPlan plan{width, height, width, height, 0, 0};
    // Cases that compute only the vertical pad leave the horizontal one at 0.
    const auto vertical = [&](int padV, int canvasWidth, int canvasHeight) {
        plan = {width, height, canvasWidth, canvasHeight, 0, padV};
    };
    const auto horizontal = [&](int padH) {
        plan = {width - 2 * padH, height, sourceWidth + 2 * padH, sourceHeight, padH, 0};
    };
    const auto both = [&](int padV, int padH) {
        plan = {width - 2 * padH,
                height - 2 * padH,
                sourceWidth + 2 * padH,
                sourceHeight + 2 * padV,
                padH,
                padV};
    };
    if (width <= sourceWidth && height >= sourceHeight) {
        const int padV = Pad(height, sh / (sw / width));
        vertical(padV, sourceWidth, sourceHeight + 2 * padV);
    }
    if (width >= sourceWidth && height <= sourceHeight) {
        horizontal(Pad(width, sw / (sh / height)));
    }
    if (width >= sourceWidth && height >= sourceHeight) {
        if (f > g) {
            const int padV = Pad(height, sh / f);
            vertical(padV, sourceWidth, sourceHeight + 2 * padV);
        } else if (f < g) {
            horizontal(Pad(width, sw / g));
        } else {
            both(Pad(height, sh / f), Pad(width, sw / g));
        }
    }
    if (width <= sourceWidth && height <= sourceHeight) {
        if (f > g) {
            vertical(Pad(height, sh / f), width, height);
        } else if (f < g) {
            horizontal(Pad(width, sw / g));
        } else {
            both(Pad(height, sh / f), Pad(width, sw / g));
        }
    }
    // A frame that does not fit its canvas at the offset would make the pad filter refuse
    // the conversion; it shrinks to sit centred on the canvas instead.
    if (plan.frameWidth + plan.x > plan.width) {
        plan.frameWidth = plan.width - 2 * plan.x;
    }
    if (plan.frameHeight + plan.y > plan.height) {
        plan.frameHeight = plan.height - 2 * plan.y;
    }
    output.AspectRatio = RatioText(width, height);
    if (plan.frameWidth < 2 || plan.frameHeight < 2) {
        output.FrameSize = SizeText(width, height);
        return {};
    }
    output.FrameSize = SizeText(plan.frameWidth, plan.frameHeight);
    return "pad=" + std::to_string(plan.width) + ":" + std::to_string(plan.height) + ":" +
           std::to_string(plan.x) + ":" + std::to_string(plan.y) + ":black";
}

// Reads the user's parameters of one profile and the catalogue's keys of it.
class ProfileReader {
public:
    ProfileReader(const ProfileFiles& files, int code)
        : files_(files),
          code_(code),
          section_(FormatSection(code)),
          settings_(files.Settings),
          catalogue_(files.Catalogue) {}

    std::string Parameter(std::string_view key, std::string_view defaultValue) const {
        return settings_.ReadString(section_, key, defaultValue);
    }
    std::string Catalogue(std::string_view key, std::string_view defaultValue) const {
        return catalogue_.ReadString(section_, key, defaultValue);
    }
    bool InRange(const std::string& parameter, double value) const {
        return SourceValueInRange(files_, parameter, value, code_);
    }

private:
    const ProfileFiles& files_;
    int code_;
    std::string section_;
    IniFile settings_;
    IniFile catalogue_;
};

// The catalogue's fallback when it is a positive number of the kind parse reads; anything
// else ("as source", "none", empty) is no fallback, and the option is left unset.
template <typename Parse>
auto PositiveFallback(const ProfileReader& profile, std::string_view key,
                      std::string_view defaultValue, Parse parse)
    -> decltype(parse(std::string_view())) {
    const auto value = parse(media::Trim(profile.Catalogue(key, defaultValue)));
    if (value && *value > 0) {
        return value;
    }
    return std::nullopt;
}

void SampleRate(const ProfileReader& profile, const SourceFacts& source, OutputOptions& output) {
    const std::string value = profile.Parameter("paraSampleRate", "44100");
    if (value != AsSource) {
        if (const auto rate = media::ParseInteger(value)) {
            if (*rate > 0) {
                output.AudioSampleRate = *rate;
            }
            return;
        }
    }
    if (profile.InRange("audiosamplerate", source.AudioSampleRate)) {
        output.AudioSampleRate = source.AudioSampleRate;
        return;
    }
    if (const auto rate =
            PositiveFallback(profile, "paraSampleRate", "44100", media::ParseInteger)) {
        output.AudioSampleRate = *rate;
    }
}

void AudioBitrate(const ProfileReader& profile, const SourceFacts& source, OutputOptions& output) {
    const std::string value = profile.Parameter("paraAudioBitRate", "128");
    if (value != AsSource) {
        if (const auto kilobits = media::ParseNumber(value)) {
            if (!media::Trim(value).empty() && *kilobits * 1000.0 > 0) {
                output.AudioBitrate = KilobitsToBits(*kilobits, value);
            }
            return;
        }
    }
    if (profile.InRange("audiobitrate", source.AudioBitRate)) {
        output.AudioBitrate = source.AudioBitRate;
        return;
    }
    if (const auto kilobits =
            PositiveFallback(profile, "paraAudioBitRate", "128", media::ParseNumber)) {
        output.AudioBitrate = KilobitsToBits(*kilobits, std::to_string(*kilobits));
    }
}

void AudioVolume(const ProfileReader& profile, OutputOptions& output) {
    const std::string volume = profile.Parameter("paraVolume", "256");
    if (volume != "256") {
        output.AudioVolume = media::StrictInteger(volume);
    }
}

void AudioOnly(const ProfileReader& profile, const std::string& format, const SourceFacts& source,
               OutputOptions& output, InputOptions& input) {
    output.AudioCodec = profile.Parameter("paraAudioEncoder", "libfaac");
    if (IsOneOf(format, {"amr", "ac3", "asf", "aiff", "au", "voc", "flac", "flv", "avi", "matroska",
                         "mmf"})) {
        output.FileFormat = format;
    }
    const std::string channels = profile.Parameter("paraChannel", "2");
    if (channels != AsSource) {
        if (const auto count = media::ParseInteger(channels); count && *count > 0) {
            output.AudioChannels = *count;
        }
    }
    SampleRate(profile, source, output);
    AudioBitrate(profile, source, output);
    AudioVolume(profile, output);
    input.ExtOptions = "vn=1";
    output.DisableVideo = true;
    output.DisableSubtitle = true;
}

void VideoCodec(const std::string& encoder, const std::string& format, OutputOptions& output) {
    if (IsOneOf(encoder, {"mpeg4", "libxvid", "mpeg1video", "msmpeg4", "msmpeg4v1", "msmpeg4v2",
                          "huffyuv", "dvvideo", "rawvideo", "h263p", "h263", "rv10", "rv20",
                          "ljpeg", "mjpeg", "svq1", "zlib", "wmv1", "wmv2"})) {
        output.VideoCodec = encoder;
    } else if (encoder == "mpeg2video") {
        output.VideoCodec = encoder;
        output.Target = 3;
    } else if (encoder == "libx264") {
        output.VideoCodec = encoder;
        if (format == "psp") {
            output.VideoPreset = "libx264-psp";
        } else if (format == "ipod") {
            output.VideoPreset = "libx264-ipod";
        } else if (format == "ps3") {
            output.VideoPreset = "libx264-ps3";
        } else {
            output.VideoPreset = "libx264-mp4";
        }
    }
}

void VideoBitrate(const ProfileReader& profile, const SourceFacts& source, OutputOptions& output) {
    const std::string value = profile.Parameter("paraVideoBitRate", "512");
    if (value != AsSource) {
        if (const auto kilobits = media::ParseInteger(value)) {
            if (*kilobits > 0) {
                output.VideoBitrate = KilobitsToBits(*kilobits, value);
            }
            return;
        }
    }
    if (profile.InRange("videobitrate", source.VideoBitRate)) {
        output.VideoBitrate = source.VideoBitRate;
        return;
    }
    if (const auto kilobits =
            PositiveFallback(profile, "paraVideoBitRate", "256", media::ParseInteger)) {
        output.VideoBitrate = KilobitsToBits(*kilobits, std::to_string(*kilobits));
    }
}

// The frame size the profile asks for; width or height <= 0 when it cannot be known.
std::pair<int, int> FrameSize(const ProfileReader& profile, const std::string& videoCodec,
                              const SourceFacts& source, Prompter& prompter) {
    const std::string value = profile.Parameter("paraVideoSize", "null");
    int width = source.Width;
    int height = source.Height;
    if (value != AsSource) {
        const std::size_t x = value.find('x');
        if (x != std::string::npos && x >= 1 && x + 1 < value.size()) {
            const auto w = media::ParseInteger(std::string_view(value).substr(0, x));
            const auto h = media::ParseInteger(std::string_view(value).substr(x + 1));
            width = w && *w > 0 ? *w : source.Width;
            height = h && *h > 0 ? *h : source.Height;
        } else if (prompter.AskYesNo("Warning",
                                     "Error output Video Size.Use the default size 320x240?")) {
            width = 320;
            height = 240;
        }
    }
    // Whatever the size came from, H.263 takes only its own few sizes.
    if (media::LowerAscii(videoCodec) == "h263" && width > 0 && height > 0 &&
        std::find(H263Sizes.begin(), H263Sizes.end(), SizeText(width, height)) == H263Sizes.end()) {
        if (width > 352) {
            width = 704;
            height = 576;
        } else if (width > 176) {
            width = 352;
            height = 288;
        } else {
            width = 176;
            height = 144;
        }
    }
    return {width, height};
}

void Audio(const ProfileReader& profile, const SourceFacts& source, OutputOptions& output) {
    output.AudioCodec = profile.Parameter("paraAudioEncoder", "");
    if (output.AudioCodec == "libamr_nb") {
        output.AudioCodec = "libopencore_amrnb";
    }
    if (media::Trim(output.AudioCodec).empty()) {
        output.DisableAudio = true;
    }
    const std::string channels = profile.Parameter("paraChannel", "2");
    if (channels != AsSource) {
        if (const auto count = media::ParseInteger(channels)) {
            output.AudioChannels = *count;
        }
    }
    AudioVolume(profile, output);
    SampleRate(profile, source, output);
    AudioBitrate(profile, source, output);
}

void Video(const ProfileReader& profile, const std::string& encoder, const std::string& format,
           const JobFraming& job, const SourceFacts& source, OutputOptions& output,
           Prompter& prompter) {
    VideoCodec(encoder, format, output);
    if (source.VideoStreamCount < 1) {
        output.DisableVideo = true;
    } else {
        VideoBitrate(profile, source, output);
        const std::string frameRate = profile.Parameter("paraFrameRate", "29.97");
        if (frameRate != AsSource) {
            if (const auto rate = media::ParseNumber(frameRate); rate && *rate > 0) {
                output.FrameRate = frameRate;
            }
        }
        if (IsOneOf(format, {"ipod", "3gp", "3g2", "avi", "psp", "mov", "vcd", "flv", "mpegts",
                             "vob", "asf", "dv"})) {
            output.FileFormat = profile.Catalogue("Format", "null");
        }
        const auto [width, height] = FrameSize(profile, output.VideoCodec, source, prompter);
        for (int* crop :
             {&output.CropTop, &output.CropBottom, &output.CropLeft, &output.CropRight}) {
            if (*crop == -1) {
                *crop = 0;
            }
        }
        const std::string filters =
            ApplyZoom(job, width, height, source.Width, source.Height, output);
        if (!filters.empty()) {
            output.VideoFilters =
                output.VideoFilters.empty() ? filters : output.VideoFilters + "," + filters;
        }
        // NTSC DV is 4:1:1; the encoder refuses the 4:2:0 pictures it would get otherwise.
        if (output.VideoCodec == "dvvideo" && width == 720 && height == 480) {
            output.ExtOptions += output.ExtOptions.empty() ? "" : "\n";
            output.ExtOptions += "pix_fmt=yuv411p";
        }
    }
    Audio(profile, source, output);
    // DV weaves each frame's sound into the frame, so its muxer refuses sound that starts even
    // a few milliseconds after the picture; padding the start of the sound keeps them together.
    if (format == "dv" && !output.DisableAudio) {
        output.AudioSync = 1;
    }
}

}  // namespace

std::string ApplyZoom(const JobFraming& job, int width, int height, int sourceWidth,
                      int sourceHeight, OutputOptions& output) {
    if (width <= 0 || height <= 0) {
        return {};  // no size to aim at: the engine keeps the source's
    }
    const Margins crop = MarginsOf(job);
    const std::string mode = media::LowerAscii(job.ZoomMode);
    const bool sourceKnown = sourceWidth > 0 && sourceHeight > 0;
    if (mode == "full" || (!sourceKnown && IsOneOf(mode, {"lbox", "pan", "center"}))) {
        Full(crop, width, height, output);
        return {};
    }
    if (mode == "lbox") {
        return Letterbox(crop, width, height, sourceWidth, sourceHeight, output);
    }
    if (mode == "pan") {
        PanAndScan(crop, width, height, sourceWidth, sourceHeight, output);
        return {};
    }
    if (mode == "center") {
        return Centre(width, height, sourceWidth, sourceHeight, output);
    }
    return {};
}

bool SourceValueInRange(const ProfileFiles& files, const std::string& parameter, double sourceValue,
                        int profileCode) {
    std::string key;
    double listUnit = 1.0;  // the list's unit, in the source value's
    if (parameter == "audiosamplerate") {
        key = "SampleRate";
    } else if (parameter == "audiobitrate") {
        key = "AudioBitRate";
        listUnit = 1000.0;  // kbit/s in the catalogue
    } else if (parameter == "videobitrate") {
        key = "VideoBitRate";
        listUnit = 1000.0;
    } else {
        return false;
    }
    const std::string list =
        IniFile(files.Catalogue).ReadString(FormatSection(profileCode), key, "null");
    const std::size_t first = list.find(',');
    if (first == std::string::npos || first == 0) {
        return false;
    }
    const std::size_t last = list.rfind(',');
    const std::string firstEntry = list.substr(0, first);
    std::string minimum = firstEntry;
    if (first + 1 < list.size() && media::LowerAscii(firstEntry) == AsSource) {
        const std::size_t next = list.find(',', first + 1);
        minimum = list.substr(first + 1,
                              next == std::string::npos ? std::string::npos : next - first - 1);
    }
    const std::string maximum = first < last ? list.substr(last + 1) : minimum;
    return media::StrictNumber(media::Trim(minimum)) * listUnit <= sourceValue &&
           sourceValue <= media::StrictNumber(media::Trim(maximum)) * listUnit;
}

void BuildProfileOptions(const ProfileFiles& files, int profileCode, const JobFraming& job,
                         const SourceFacts& source, OutputOptions& output, InputOptions& input,
                         Prompter& prompter) {
    const ProfileReader profile(files, profileCode);
    const std::string format = media::LowerAscii(profile.Catalogue("Format", "null"));

    struct Standard {
        std::string_view format;
        int target;
        int norm;
        std::string_view wideSize;  // a DVD of this size is 16:9
    };
    static constexpr std::array<Standard, 6> Standards = {{{"ntsc-dvd", 3, 2, "720x480"},
                                                           {"pal-dvd", 3, 1, "720x576"},
                                                           {"ntsc-vcd", 1, 2, ""},
                                                           {"pal-vcd", 1, 1, ""},
                                                           {"ntsc-svcd", 2, 2, ""},
                                                           {"pal-svcd", 2, 1, ""}}};
    for (const Standard& standard : Standards) {
        if (format == standard.format) {
            output.Target = standard.target;
            output.TargetNorm = standard.norm;
            output.AspectRatio = "4:3";
            if (!standard.wideSize.empty() &&
                profile.Parameter("paraVideoSize", "null") == standard.wideSize) {
                output.AspectRatio = "16:9";
            }
        }
    }

    const std::string encoder = profile.Parameter("paraVideoEncoder", "");
    if (media::Trim(encoder).empty()) {
        AudioOnly(profile, format, source, output, input);
    } else {
        Video(profile, encoder, format, job, source, output, prompter);
    }
}

}  // namespace quillo::profiles
