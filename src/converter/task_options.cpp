#include "converter/task_options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <initializer_list>
#include <string_view>

namespace quillo::converter {

namespace {

// Days from 1899-12-30, where date-time stamps count from, to 1970-01-01.
constexpr double UnixEpochDays = 25569.0;
constexpr double SecondsPerDay = 86400.0;
constexpr double MinutesPerDay = 1440.0;

bool NamedIn(const std::string& name, std::initializer_list<std::string_view> names) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

std::string Decimal(std::int64_t value) {
    return std::to_string(value);
}

std::string Real(float value) {
    char text[32];
    const auto result = std::to_chars(std::begin(text), std::end(text), value);
    return std::string(text, result.ptr);
}

std::string NormName(std::int32_t norm) {
    return norm == 1 ? "pal" : norm == 2 ? "ntsc" : "auto";
}

// The lines of the extra text that set up a stream: codecs, presets, frame size and filters.
bool IsStreamOption(const std::string& name) {
    return NamedIn(name, {"acodec", "vcodec", "scodec", "apre", "vpre", "spre", "s", "vf"});
}

}  // namespace

std::string DurationText(std::int64_t microseconds) {
    const bool negative = microseconds < 0;
    const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(microseconds)
                                             : static_cast<std::uint64_t>(microseconds);
    char text[48];
    std::snprintf(text, sizeof text, "%s%llu.%06llu", negative ? "-" : "",
                  static_cast<unsigned long long>(magnitude / 1'000'000),
                  static_cast<unsigned long long>(magnitude % 1'000'000));
    return text;
}

std::string TimestampText(double timestamp) {
    if (timestamp < 0) {
        return {};
    }
    if (timestamp == 0) {
        return "now";
    }
    tzset();
    // timezone: seconds west of UTC in standard time, so UTC minus local time.
    const double biasMinutes = static_cast<double>(::timezone) / 60.0;
    const double seconds =
        std::round((timestamp - UnixEpochDays + biasMinutes / MinutesPerDay) * SecondsPerDay);
    const auto moment = static_cast<std::time_t>(seconds);
    std::tm utc{};
    gmtime_r(&moment, &utc);
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

void ApplyInputOptions(Transcoder& engine, const InputOptions& options) {
    for (const OptionLine& line : ExtraOptionLines(options.ExtOptions)) {
        // Stream creation, presets and filters belong to outputs.
        if (NamedIn(line.name, {"newvideo", "newaudio", "newsubtitle", "apre", "vpre", "spre",
                                "vfilters", "vf"})) {
            continue;
        }
        engine.SetOption(line.name, line.value);
    }
    if (!options.FileFormat.empty()) {
        engine.SetOption("f", options.FileFormat);
    }
    if (options.StartTime != TimeNotSet) {
        engine.SetOption("ss", DurationText(options.StartTime));
    }
    if (options.ProgramID >= 0) {
        engine.SetOption("programid", Decimal(options.ProgramID));
    }
}

OutputSetup::OutputSetup(const OutputOptions& options)
    : options_(options), lines_(ExtraOptionLines(options.ExtOptions)) {
    defaults_ = {{"acodec", options.AudioCodec},    {"vcodec", options.VideoCodec},
                 {"scodec", options.SubtitleCodec}, {"apre", options.AudioPreset},
                 {"vpre", options.VideoPreset},     {"spre", options.SubtitlePreset},
                 {"s", options.FrameSize},          {"vf", options.VideoFilters}};
    for (const OptionLine& line : lines_) {
        const std::string name = line.name == "vfilters" ? "vf" : line.name;
        if (!IsStreamOption(name) || line.value.empty()) {
            continue;
        }
        std::string& fallback = defaults_[name];
        if (fallback.empty()) {
            fallback = line.value;
        }
        queued_.push_back({name, line.value});
    }
}

const std::string& OutputSetup::Default(const std::string& name) const {
    return defaults_.at(name);
}

void OutputSetup::Prepare(Transcoder& engine) const {
    if (options_.Target >= 1 && options_.Target <= 3) {
        static constexpr std::string_view targets[] = {"vcd", "svcd", "dvd"};
        engine.SetTarget(targets[options_.Target - 1], NormName(options_.TargetNorm),
                         options_.TargetDefaultNorm == 1 ? "pal" : "ntsc");
    }
    for (const char* codec : {"acodec", "vcodec", "scodec"}) {
        if (!Default(codec).empty()) {
            engine.SetOption(codec, Default(codec));
        }
    }
    for (const char* preset : {"apre", "vpre", "spre"}) {
        engine.LoadPreset(preset, Default(preset));
    }
    for (const OptionLine& line : lines_) {
        if (NamedIn(line.name, {"newvideo", "newaudio", "newsubtitle", "apre", "vpre", "spre",
                                "vfilters", "vf", "acodec", "vcodec", "scodec", "s"})) {
            continue;
        }
        engine.SetOption(line.name, line.value);
    }
    ApplyFields(engine);
    ApplyMetadata(engine);
    engine.SetOption("s", Default("s"));
    engine.SetOption("vf", Default("vf"));
}

void OutputSetup::ApplyFields(Transcoder& engine) const {
    const OutputOptions& o = options_;
    // Numbers the libraries take themselves go to the library option setter directly, which
    // also spares them the engine's warning about bit rates given in kbit/s.
    const auto library = [&engine](const char* name, std::int32_t value) {
        if (value > 0) {
            engine.SetLibraryOption(name, Decimal(value));
        }
    };
    const auto positive = [&engine](const char* name, std::int32_t value) {
        if (value > 0) {
            engine.SetOption(name, Decimal(value));
        }
    };
    const auto text = [&engine](const char* name, const std::string& value) {
        if (!value.empty()) {
            engine.SetOption(name, value);
        }
    };
    const auto flag = [&engine](const char* name, bool value) {
        if (value) {
            engine.SetOption(name, "1");
        }
    };

    text("f", o.FileFormat);
    library("packetsize", o.PacketSize);
    library("muxrate", o.MuxRate);
    if (o.MuxDelay > 0) {
        engine.SetOption("muxdelay", Real(o.MuxDelay));
    }
    if (o.MuxPreload > 0) {
        engine.SetOption("muxpreload", Real(o.MuxPreload));
    }
    flag("an", o.DisableAudio);
    if (o.AudioVolume >= 0) {
        engine.SetOption("vol", Decimal(o.AudioVolume));
    }
    positive("ac", o.AudioChannels);
    positive("ar", o.AudioSampleRate);
    library("ab", o.AudioBitrate);
    library("abt", o.AudioBitrateTolerance);
    engine.SetOption("alang", o.AudioLanguage);
    engine.SetOption("async", Decimal(o.AudioSync));
    text("atag", o.AudioTag);
    flag("vn", o.DisableVideo);
    text("r", o.FrameRate);
    text("aspect", o.AspectRatio);
    positive("croptop", o.CropTop);
    positive("cropbottom", o.CropBottom);
    positive("cropleft", o.CropLeft);
    positive("cropright", o.CropRight);
    library("g", o.GopSize);
    library("vb", o.VideoBitrate);
    library("maxrate", o.MaxRate);
    library("minrate", o.MinRate);
    library("bt", o.BitrateTolerance);
    library("bufsize", o.BufferSize);
    engine.SetOption("vsync", Decimal(o.VideoSync));
    text("vtag", o.VideoTag);
    engine.SetOption("vlang", o.VideoLanguage);
    flag("sn", o.DisableSubtitle);
    engine.SetOption("slang", o.SubtitleLanguage);
    engine.SetOption("isync", o.InputSync ? "1" : "0");
    flag("copyts", o.CopyTimestamps);
    if (o.StartTime != TimeNotSet) {
        engine.SetOption("ss", DurationText(o.StartTime));
    }
    if (o.Duration != TimeNotSet) {
        engine.SetOption("t", DurationText(o.Duration));
    }
}

void OutputSetup::ApplyMetadata(Transcoder& engine) const {
    const StreamInfo& metadata = options_.Metadata;
    const std::string timestamp = TimestampText(metadata.Timestamp);
    if (!timestamp.empty()) {
        engine.SetOption("timestamp", timestamp);
    }
    const auto tag = [&engine](const char* key, const std::string& value) {
        if (!value.empty()) {
            engine.SetOption("metadata", std::string(key) + "=" + value);
        }
    };
    if (metadata.Year > 0) {
        tag("year", Decimal(metadata.Year));
    }
    if (metadata.Track > 0) {
        tag("track", Decimal(metadata.Track));
    }
    tag("title", metadata.Title);
    tag("author", metadata.Author);
    tag("copyright", metadata.Rights);
    tag("comment", metadata.Comment);
    tag("album", metadata.Album);
    tag("genre", metadata.Genre);
}

void OutputSetup::ApplyStreamOption(Transcoder& engine, const std::string& name) {
    const auto queued = std::find_if(queued_.begin(), queued_.end(),
                                     [&name](const OptionLine& line) { return line.name == name; });
    if (queued == queued_.end()) {
        engine.SetOption(name, Default(name));
        return;
    }
    const std::string value = queued->value;
    queued_.erase(queued);
    engine.SetOption(name, value);
}

void OutputSetup::AddStreams(Transcoder& engine) {
    static const std::map<std::string, std::vector<std::string>> streamOptions = {
        {"newaudio", {"acodec", "apre"}},
        {"newvideo", {"vcodec", "vpre", "s", "vf"}},
        {"newsubtitle", {"scodec", "spre"}}};
    for (const OptionLine& line : lines_) {
        const auto stream = streamOptions.find(line.name);
        if (stream == streamOptions.end()) {
            continue;
        }
        for (const std::string& name : stream->second) {
            ApplyStreamOption(engine, name);
        }
        engine.SetOption(line.name, line.value);
    }
}

}  // namespace quillo::converter
