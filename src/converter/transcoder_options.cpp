// The engine's option table: every option name of the classic command-line vocabulary and
// what it does to the option state.

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <unordered_map>

extern "C" {
#include <libavcodec/bsf.h>
#include <libavutil/opt.h>
#include <libavutil/parseutils.h>
#include <libavutil/pixdesc.h>
}

#include "converter/legacy_names.h"
#include "converter/transcoder.h"
#include "media/file_contents.h"
#include "media/library_bindings.h"
#include "media/logger.h"
#include "media/value_text.h"

namespace quillo::converter {

namespace {

using media::MediaError;
using media::lib::avcodec;
using media::lib::avutil;

std::int64_t ParseDuration(const std::string& name, const std::string& value) {
    std::int64_t microseconds = 0;
    if (avutil.av_parse_time(&microseconds, value.c_str(), 1) < 0) {
        throw MediaError("Invalid duration specification for " + name + ": " + value);
    }
    return microseconds;
}

std::int64_t ParseDateSeconds(const std::string& name, const std::string& value) {
    std::int64_t microseconds = 0;
    if (avutil.av_parse_time(&microseconds, value.c_str(), 0) < 0) {
        throw MediaError("Invalid date specification for " + name + ": " + value);
    }
    return std::llround(static_cast<double>(microseconds) / 1'000'000);
}

// A number as the C library reads it, by default with base detection ("0x10", "010", "7");
// returns the position after it.
long LeadingNumber(const char*& position, int base = 0) {
    char* end = nullptr;
    const long number = std::strtol(position, &end, base);
    position = end;
    return number;
}

}  // namespace

bool Transcoder::TakesNoValue(std::string_view name) {
    static constexpr std::string_view switches[] = {
        "dump",     "hex",         "re",        "loop_input", "intra",     "vn",
        "sameq",    "deinterlace", "psnr",      "qphist",     "force_fps", "an",
        "sn",       "isync",       "shortest",  "copyts",     "xerror",    "newvideo",
        "newaudio", "newsubtitle", "L",         "h",          "version",   "formats",
        "codecs",   "bsfs",        "protocols", "filters",    "y",         "benchmark"};
    return std::find(std::begin(switches), std::end(switches), name) != std::end(switches);
}

void Transcoder::SetBoolean(bool& flag, const std::string& value) const {
    flag = value != "0";
}

bool Transcoder::SetOption(const std::string& name, const std::string& value) {
    RequireLibraries();
    if (name == "b" || name == "vb" || name == "ab") {
        return SetBitRate(name, value);
    }
    using Handler =
        std::function<void(Transcoder&, const std::string& name, const std::string& value)>;
    const auto integer = [](int OptionState::*field) {
        return Handler([field](Transcoder& t, const std::string&, const std::string& v) {
            t.options_.*field = media::StrictInteger(v);
        });
    };
    const auto real = [](float OptionState::*field) {
        return Handler([field](Transcoder& t, const std::string&, const std::string& v) {
            t.options_.*field = static_cast<float>(media::StrictNumber(v));
        });
    };
    const auto boolean = [](bool OptionState::*field) {
        return Handler([field](Transcoder& t, const std::string&, const std::string& v) {
            t.SetBoolean(t.options_.*field, v);
        });
    };
    const auto text = [](std::string OptionState::*field) {
        return Handler([field](Transcoder& t, const std::string&, const std::string& v) {
            t.options_.*field = v;
        });
    };
    const auto codecName = [](std::string OptionState::*field, bool OptionState::*copy) {
        return Handler([field, copy](Transcoder& t, const std::string&, const std::string& v) {
            if (!v.empty()) {
                t.options_.*field = v;
                t.options_.*copy = v == "copy";
            }
        });
    };
    const auto refuse = [](const std::string& message) {
        return Handler([message](Transcoder&, const std::string&, const std::string&) {
            throw MediaError(message);
        });
    };
    const auto nothing = Handler([](Transcoder& t, const std::string& n, const std::string&) {
        t.Log(media::LogLevel::llInfo, "Do nothing: option - " + n);
    });

    static const std::unordered_map<std::string, Handler> handlers = [&] {
        std::unordered_map<std::string, Handler> table = {
        {"loglevel",
         [](Transcoder&, const std::string&, const std::string& v) { media::LoggerInstance().SetLogLevelByName(v); }},
        {"f",
         [](Transcoder& t, const std::string&, const std::string& v) {
             if (v == "pgmyuv") {
                 t.options_.fileFormat = "image2";
                 t.options_.pgmyuvCompatibility = true;
                 t.Log(media::LogLevel::llInfo, "pgmyuv format is deprecated, use image2");
             } else {
                 t.options_.fileFormat = v;
             }
         }},
        {"map", [](Transcoder& t, const std::string&, const std::string& v) { t.AddStreamMap(v); }},
        {"map_meta_data", [](Transcoder& t, const std::string&, const std::string& v) { t.AddMetaDataMap(v); }},
        {"t",
         [](Transcoder& t, const std::string&, const std::string& v) {
             t.options_.recordingTime = ParseDuration("t", v);
             t.totalDuration_ = t.options_.recordingTime;
         }},
        {"fs",
         [](Transcoder& t, const std::string&, const std::string& v) {
             t.options_.limitFileSize = media::StrictInteger64(v);
         }},
        {"ss",
         [](Transcoder& t, const std::string&, const std::string& v) { t.options_.startTime = ParseDuration("ss", v); }},
        {"itsoffset",
         [](Transcoder& t, const std::string&, const std::string& v) {
             t.options_.inputTimeOffset = ParseDuration("itsoffset", v);
         }},
        {"itsscale", [](Transcoder& t, const std::string&, const std::string& v) { t.SetTimestampScale(v); }},
        {"timestamp",
         [](Transcoder& t, const std::string&, const std::string& v) {
             t.options_.recordingTimestamp = ParseDateSeconds("timestamp", v);
         }},
        {"metadata", [](Transcoder& t, const std::string&, const std::string& v) { t.AddMetadata(v); }},
        {"dframes", integer(&OptionState::maxDataFrames)},
        {"vframes", integer(&OptionState::maxVideoFrames)},
        {"aframes", integer(&OptionState::maxAudioFrames)},
        {"timelimit",
         [](Transcoder& t, const std::string&, const std::string&) {
             t.Log(media::LogLevel::llWarning, "Warning: -timelimit not implemented on Windows");
         }},
        {"dump", boolean(&OptionState::packetDump)},
        {"hex", boolean(&OptionState::hexDump)},
        {"re", boolean(&OptionState::rateEmulation)},
        {"loop_input", boolean(&OptionState::loopInput)},
        {"intra", boolean(&OptionState::intraOnly)},
        {"vn", boolean(&OptionState::videoDisable)},
        {"sameq", boolean(&OptionState::sameQuality)},
        {"deinterlace", boolean(&OptionState::deinterlace)},
        {"psnr", boolean(&OptionState::psnr)},
        {"qphist", boolean(&OptionState::qpHistogram)},
        {"force_fps", boolean(&OptionState::forceFps)},
        {"an", boolean(&OptionState::audioDisable)},
        {"sn", boolean(&OptionState::subtitleDisable)},
        {"isync", boolean(&OptionState::inputSync)},
        {"shortest", boolean(&OptionState::shortest)},
        {"loop_output", integer(&OptionState::loopOutput)},
        {"v", integer(&OptionState::verbose)},
        {"target", [](Transcoder& t, const std::string&, const std::string& v) { t.SetTargetOption(v); }},
        {"threads", refuse("TODO: option - threads")},
        {"vsync", integer(&OptionState::videoSyncMethod)},
        {"async", integer(&OptionState::audioSyncMethod)},
        {"vglobal", integer(&OptionState::videoGlobalHeader)},
        {"programid", integer(&OptionState::programId)},
        {"copyinkf", integer(&OptionState::copyInitialNonKeyframes)},
        {"vdt", integer(&OptionState::videoDiscard)},
        {"dc", integer(&OptionState::intraDcPrecision)},
        {"adrift_threshold", real(&OptionState::audioDriftThreshold)},
        {"dts_delta_threshold", real(&OptionState::dtsDeltaThreshold)},
        {"copyts", [](Transcoder& t, const std::string&, const std::string&) { t.options_.copyTimestamps = true; }},
        {"xerror", [](Transcoder& t, const std::string&, const std::string&) { t.options_.exitOnError = true; }},
        {"r", [](Transcoder& t, const std::string&, const std::string& v) { t.SetFrameRate(v); }},
        {"s", [](Transcoder& t, const std::string&, const std::string& v) { t.SetFrameSize(v); }},
        {"aspect", [](Transcoder& t, const std::string&, const std::string& v) { t.SetAspect(v); }},
        {"pix_fmt", [](Transcoder& t, const std::string&, const std::string& v) { t.SetPixelFormat(v); }},
        {"croptop", [](Transcoder& t, const std::string&, const std::string& v) { t.SetCropBand("croptop", v); }},
        {"cropbottom", [](Transcoder& t, const std::string&, const std::string& v) { t.SetCropBand("cropbottom", v); }},
        {"cropleft", [](Transcoder& t, const std::string&, const std::string& v) { t.SetCropBand("cropleft", v); }},
        {"cropright", [](Transcoder& t, const std::string&, const std::string& v) { t.SetCropBand("cropright", v); }},
        {"padtop", refuse("Please use vfilters=pad")},
        {"padbottom", refuse("Please use vfilters=pad")},
        {"padleft", refuse("Please use vfilters=pad")},
        {"padright", refuse("Please use vfilters=pad")},
        {"padcolor", refuse("Please use vfilters=pad")},
        {"qscale",
         [](Transcoder& t, const std::string&, const std::string& v) {
             const double scale = media::StrictNumber(v);
             if (scale <= 0.0 || scale > 255) {
                 throw MediaError("qscale must be > 0.0 and <= 255");
             }
             t.options_.videoQScale = static_cast<float>(scale);
         }},
        {"rc_override", text(&OptionState::rcOverride)},
        {"vcodec", codecName(&OptionState::videoCodecName, &OptionState::videoStreamCopy)},
        {"acodec", codecName(&OptionState::audioCodecName, &OptionState::audioStreamCopy)},
        {"scodec", codecName(&OptionState::subtitleCodecName, &OptionState::subtitleStreamCopy)},
        {"me_threshold", integer(&OptionState::meThreshold)},
        {"pass",
         [](Transcoder& t, const std::string&, const std::string& v) {
             const int pass = media::StrictInteger(v);
             if (pass != 1 && pass != 2) {
                 throw MediaError("pass number can be only 1 or 2");
             }
             t.options_.pass = pass;
         }},
        {"passlogfile", text(&OptionState::passLogFileName)},
        {"vstats", [](Transcoder& t, const std::string&, const std::string& v) { t.SetVideoStatsFile(v); }},
        {"vstats_file", text(&OptionState::videoStatsFileName)},
        {"vhook",
         [](Transcoder& t, const std::string&, const std::string& v) {
             if (!t.hookModules_.Add(v)) {
                 throw MediaError("Failed to add video hook function: " + v);
             }
         }},
        {"vfilters", text(&OptionState::videoFilters)},
        {"vf", text(&OptionState::videoFilters)},
        {"intra_matrix",
         [](Transcoder& t, const std::string&, const std::string& v) { t.SetMatrix(t.options_.intraMatrix, v); }},
        {"inter_matrix",
         [](Transcoder& t, const std::string&, const std::string& v) { t.SetMatrix(t.options_.interMatrix, v); }},
        {"top", integer(&OptionState::topFieldFirst)},
        {"vtag",
         [](Transcoder& t, const std::string&, const std::string& v) {
             t.SetCodecTag(t.options_.videoCodecTag, v, "video");
         }},
        {"atag",
         [](Transcoder& t, const std::string&, const std::string& v) {
             t.SetCodecTag(t.options_.audioCodecTag, v, "audio");
         }},
        {"stag",
         [](Transcoder& t, const std::string&, const std::string& v) {
             t.SetCodecTag(t.options_.subtitleCodecTag, v, "subtitle");
         }},
        {"newvideo", [](Transcoder& t, const std::string&, const std::string&) { t.AddVideoStream(); }},
        {"newaudio", [](Transcoder& t, const std::string&, const std::string&) { t.AddAudioStream(); }},
        {"newsubtitle", [](Transcoder& t, const std::string&, const std::string&) { t.AddSubtitleStream(); }},
        {"vlang", text(&OptionState::videoLanguage)},
        {"alang", text(&OptionState::audioLanguage)},
        {"slang", text(&OptionState::subtitleLanguage)},
        {"streamid",
         [](Transcoder& t, const std::string& n, const std::string& v) { t.SetStreamId(n, v); }},
        {"aq", real(&OptionState::audioQScale)},
        {"ar",
         [](Transcoder& t, const std::string&, const std::string& v) {
             if (const int rate = media::StrictInteger(v); rate > 0) {
                 t.options_.audioSampleRate = rate;
             }
         }},
        {"ac",
         [](Transcoder& t, const std::string&, const std::string& v) {
             if (const int channels = media::StrictInteger(v); channels > 0) {
                 t.options_.audioChannels = channels;
             }
         }},
        {"vol", integer(&OptionState::audioVolume)},
        {"sample_fmt", [](Transcoder& t, const std::string&, const std::string& v) { t.SetSampleFormat(v); }},
        {"vc", integer(&OptionState::videoChannel)},
        {"tvstd", text(&OptionState::videoStandard)},
        {"muxdelay", real(&OptionState::muxMaxDelay)},
        {"muxpreload", real(&OptionState::muxPreload)},
        {"absf",
         [](Transcoder& t, const std::string&, const std::string& v) {
             t.AddBitstreamFilter(t.options_.audioBitstreamFilters, v);
         }},
        {"vbsf",
         [](Transcoder& t, const std::string&, const std::string& v) {
             t.AddBitstreamFilter(t.options_.videoBitstreamFilters, v);
         }},
        {"sbsf",
         [](Transcoder& t, const std::string&, const std::string& v) {
             t.AddBitstreamFilter(t.options_.subtitleBitstreamFilters, v);
         }},
        {"apre", [](Transcoder& t, const std::string&, const std::string& v) { t.LoadPreset("apre", v); }},
        {"vpre", [](Transcoder& t, const std::string&, const std::string& v) { t.LoadPreset("vpre", v); }},
        {"spre", [](Transcoder& t, const std::string&, const std::string& v) { t.LoadPreset("spre", v); }},
        {"fpre", [](Transcoder& t, const std::string&, const std::string& v) { t.LoadPreset("fpre", v); }},
        };
        for (const char* ignored : {"L", "h", "version", "formats", "codecs", "bsfs", "protocols",
                                    "filters", "i", "y", "benchmark"}) {
            table.emplace(ignored, nothing);
        }
        return table;
    }();

    if (const auto found = handlers.find(name); found != handlers.end()) {
        try {
            found->second(*this, name, value);
        } catch (const media::ConversionError& error) {
            // The number alone does not tell which option it was given to.
            throw MediaError(std::string(error.what()) + " for option \"" + name + "\"");
        }
        return true;
    }
    return SetLibraryOption(name, value);
}

bool Transcoder::SetBitRate(const std::string& name, const std::string& value) {
    if (!SetLibraryOption(name, value)) {
        return false;
    }
    const AVMediaType type = name == "ab" ? AVMEDIA_TYPE_AUDIO : AVMEDIA_TYPE_VIDEO;
    if (libraryOptions_->Codec(type).bit_rate < 1000) {
        Log(media::LogLevel::llWarning,
            "WARNING: The bitrate parameter is set too low. It takes bits/s as argument, not "
            "kbits/s");
    }
    return true;
}

void Transcoder::SetFrameRate(const std::string& value) {
    AVRational rate{0, 0};
    if (avutil.av_parse_video_rate(&rate, value.c_str()) < 0) {
        throw MediaError("Incorrect frame rate");
    }
    options_.frameRate = rate;
}

void Transcoder::SetFrameSize(const std::string& value) {
    if (value.empty()) {
        return;
    }
    int width = 0;
    int height = 0;
    if (avutil.av_parse_video_size(&width, &height, value.c_str()) < 0) {
        throw MediaError("Incorrect frame size");
    }
    options_.frameWidth = width;
    options_.frameHeight = height;
}

void Transcoder::SetAspect(const std::string& value) {
    double ratio = 0.0;
    if (const auto colon = value.find(':'); colon != std::string::npos) {
        const int width = media::StrictInteger(value.substr(0, colon));
        const int height = media::StrictInteger(value.substr(colon + 1));
        ratio = height > 0 ? static_cast<double>(width) / height : 0.0;
    } else {
        ratio = media::StrictNumber(value);
    }
    if (ratio == 0.0) {
        throw MediaError("Incorrect aspect ratio specification.");
    }
    options_.frameAspectRatio = ratio;
}

void Transcoder::SetPixelFormat(const std::string& value) {
    if (value == "list") {
        for (const AVPixFmtDescriptor* descriptor = avutil.av_pix_fmt_desc_next(nullptr);
             descriptor != nullptr; descriptor = avutil.av_pix_fmt_desc_next(descriptor)) {
            Log(media::LogLevel::llInfo, descriptor->name);
        }
        return;
    }
    const AVPixelFormat format = avutil.av_get_pix_fmt(value.c_str());
    if (format == AV_PIX_FMT_NONE) {
        throw MediaError("Unknown pixel format requested: " + value);
    }
    options_.framePixelFormat = format;
}

void Transcoder::SetSampleFormat(const std::string& value) {
    if (value == "list") {
        for (int format = 0; format < AV_SAMPLE_FMT_NB; ++format) {
            const char* formatName =
                avutil.av_get_sample_fmt_name(static_cast<AVSampleFormat>(format));
            if (formatName != nullptr) {
                Log(media::LogLevel::llInfo, formatName);
            }
        }
        return;
    }
    const AVSampleFormat format = avutil.av_get_sample_fmt(value.c_str());
    if (format == AV_SAMPLE_FMT_NONE) {
        throw MediaError("Unknown sample format requested: " + value);
    }
    options_.audioSampleFormat = format;
}

void Transcoder::SetCropBand(const std::string& name, const std::string& value) {
    const int band = media::StrictInteger(value);
    if (band <= 0) {
        return;
    }
    const bool vertical = name == "croptop" || name == "cropbottom";
    int& dimension = vertical ? options_.frameHeight : options_.frameWidth;
    if (band >= dimension) {
        throw MediaError(std::string(vertical ? "Vertical" : "Horizontal") +
                         " crop dimensions are outside the range of the original image.\n"
                         "Remember to crop first and scale second.");
    }
    std::string shown = name.substr(4);
    shown[0] = static_cast<char>(shown[0] - 'a' + 'A');
    Log(media::LogLevel::llWarning,
        "Crop" + shown + " is deprecated in favor of the crop avfilter");
    int& stored = name == "croptop"      ? options_.frameTopBand
                  : name == "cropbottom" ? options_.frameBottomBand
                  : name == "cropleft"   ? options_.frameLeftBand
                                         : options_.frameRightBand;
    stored = band;
    dimension -= band;
}

void Transcoder::SetMatrix(std::optional<QuantiserMatrix>& matrix, const std::string& value) const {
    QuantiserMatrix coefficients{};
    const char* position = value.c_str();
    for (int index = 0; index < 64; ++index) {
        // Decimal, leading zeros and all: "08" is eight, not a bad octal number.
        coefficients[index] = static_cast<std::uint16_t>(LeadingNumber(position, 10));
        if (index < 63) {
            if (*position != ',') {
                throw MediaError("Syntax error in matrix \"" + value + "\" at coeff " +
                                 std::to_string(index));
            }
            ++position;
        }
    }
    matrix = coefficients;
}

void Transcoder::SetCodecTag(std::string& tag, const std::string& value, const char* kind) const {
    if (value.size() != 4) {
        throw MediaError(std::string(kind) + " tag parameter must be 4 chars");
    }
    tag = value;
}

void Transcoder::SetStreamId(const std::string& name, const std::string& value) {
    const auto colon = value.find(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == value.size()) {
        throw MediaError("Invalid value \"" + value + "\" for option \"" + name +
                         "\", required syntax is \"index:value\"");
    }
    const int index = media::StrictInteger(value.substr(0, colon));
    if (index < 0 || index >= MaxStreams) {
        throw MediaError("Invalid stream index " + std::to_string(index) + " for option \"" + name +
                         "\": it must be 0 to " + std::to_string(MaxStreams - 1));
    }
    options_.streamIdMap[index] = media::StrictInteger(value.substr(colon + 1));
}

void Transcoder::AddStreamMap(const std::string& value) {
    if (options_.streamMaps.size() >= MaxStreamMaps) {
        throw MediaError("Too many stream maps: at most " + std::to_string(MaxStreamMaps));
    }
    StreamMap map;
    const char* position = value.c_str();
    map.fileIndex = static_cast<int>(LeadingNumber(position));
    if (*position != '\0') {
        ++position;
    }
    map.streamIndex = static_cast<int>(LeadingNumber(position));
    if (*position != '\0') {
        ++position;
        map.syncFileIndex = static_cast<int>(LeadingNumber(position));
        if (*position != '\0') {
            ++position;
        }
        map.syncStreamIndex = static_cast<int>(LeadingNumber(position));
    } else {
        map.syncFileIndex = map.fileIndex;
        map.syncStreamIndex = map.streamIndex;
    }
    options_.streamMaps.push_back(map);
}

void Transcoder::AddMetaDataMap(const std::string& value) {
    if (options_.metaDataMaps.size() >= MaxMetaDataMaps) {
        throw MediaError("Too many metadata maps: at most " + std::to_string(MaxMetaDataMaps));
    }
    MetaDataMap map;
    const char* position = value.c_str();
    map.outputFile = static_cast<int>(LeadingNumber(position));
    if (*position != '\0') {
        ++position;
    }
    map.inputFile = static_cast<int>(LeadingNumber(position));
    options_.metaDataMaps.push_back(map);
}

void Transcoder::AddMetadata(const std::string& value) {
    const auto equals = value.find('=');
    if (equals == std::string::npos) {
        throw MediaError("Missing =");
    }
    options_.metadata.emplace_back(value.substr(0, equals), value.substr(equals + 1));
}

void Transcoder::AddBitstreamFilter(std::vector<std::string>& chain,
                                    const std::string& value) const {
    // "name=arguments": the name ends at an "=" after its first character.
    const auto equals = value.find('=', 1);
    const std::string filterName = equals == std::string::npos ? value : value.substr(0, equals);
    if (avcodec.av_bsf_get_by_name(filterName.c_str()) == nullptr) {
        throw MediaError("Unknown bitstream filter " + filterName);
    }
    chain.push_back(value);
}

void Transcoder::SetTimestampScale(const std::string& value) {
    std::size_t digits = 0;
    while (digits < value.size() && std::isdigit(static_cast<unsigned char>(value[digits]))) {
        ++digits;
    }
    const int index = media::StrictInteger(value.substr(0, digits));
    if (index >= MaxStreams) {
        throw MediaError("stream index over MAX_STREAMS(" + std::to_string(MaxStreams) + ")");
    }
    const std::string scale = digits + 1 <= value.size() ? value.substr(digits + 1) : "";
    options_.inputTimestampScale[index] = media::StrictNumber(scale);
}

void Transcoder::SetVideoStatsFile(const std::string&) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char clock[16];
    std::strftime(clock, sizeof clock, "%H%M%S", &local);
    options_.videoStatsFileName =
        (media::ExecutableFolder() / ("vstats_" + std::string(clock) + ".log")).string();
}

bool Transcoder::SetLibraryOption(const std::string& name, const std::string& value) {
    RequireLibraries();
    const std::string trimmedName = media::Trim(name);
    const std::string trimmedValue = media::Trim(value);
    if (trimmedName.empty() || trimmedValue.empty()) {
        return false;
    }
    const std::string videoEncoder = SuccessorEncoderName(options_.videoCodecName);
    for (const auto& [optionName, optionValue] :
         TranslateLegacyOption(videoEncoder, trimmedName, trimmedValue)) {
        // What the chosen encoder itself calls this name wins over the generic option of
        // the same name (libx264's text "level" over the generic number, say).
        auto outcome = SetEncoderPrivateOption(optionName, optionValue);
        if (outcome == LibraryOptionContexts::Outcome::NotFound) {
            outcome = libraryOptions_->SetGeneric(optionName, optionValue,
                                                  IsVideoOnlyLegacyOption(optionName));
        }
        if (outcome == LibraryOptionContexts::Outcome::NotFound) {
            outcome = SetContainerPrivateOption(optionName, optionValue);
        }
        if (outcome == LibraryOptionContexts::Outcome::Refused) {
            avutil.av_log(nullptr, AV_LOG_ERROR, "Invalid value \"%s\" for option \"%s\"\n",
                          trimmedValue.c_str(), trimmedName.c_str());
            return false;
        }
        if (outcome == LibraryOptionContexts::Outcome::NotFound) {
            return false;
        }
    }
    if (libraryOptions_->DebugRequested()) {
        media::LoggerInstance().SetLogLevel(media::LogLevel::llDebug);
    }
    return true;
}

LibraryOptionContexts::Outcome Transcoder::SetEncoderPrivateOption(const std::string& name,
                                                                   const std::string& value) {
    const std::pair<AVMediaType, const std::string*> kinds[] = {
        {AVMEDIA_TYPE_VIDEO, &options_.videoCodecName},
        {AVMEDIA_TYPE_AUDIO, &options_.audioCodecName},
        {AVMEDIA_TYPE_SUBTITLE, &options_.subtitleCodecName}};
    for (const auto& [type, codecName] : kinds) {
        if (codecName->empty() || *codecName == "copy") {
            continue;
        }
        const AVCodec* encoder =
            avcodec.avcodec_find_encoder_by_name(SuccessorEncoderName(*codecName).c_str());
        if (encoder == nullptr) {
            continue;
        }
        const auto outcome = libraryOptions_->SetPrivate(type, *encoder, name, value);
        if (outcome != LibraryOptionContexts::Outcome::NotFound) {
            return outcome;
        }
    }
    return LibraryOptionContexts::Outcome::NotFound;
}

LibraryOptionContexts::Outcome Transcoder::SetContainerPrivateOption(const std::string& name,
                                                                     const std::string& value) {
    if (options_.fileFormat.empty()) {
        return libraryOptions_->SetAnyContainerPrivate(name, value);
    }
    const AVOutputFormat* format =
        media::lib::avformat.av_guess_format(options_.fileFormat.c_str(), nullptr, nullptr);
    return format != nullptr ? libraryOptions_->SetContainerPrivate(*format, name, value)
                             : LibraryOptionContexts::Outcome::NotFound;
}

}  // namespace quillo::converter
