// Target presets: the settings of video CD, super video CD, DVD and DV output.

#include <algorithm>
#include <cmath>

#include "converter/transcoder.h"
#include "media/library_bindings.h"
#include "media/value_text.h"

namespace quillo::converter {

namespace {

enum class Norm { Pal, Ntsc, Film };

const char* FrameRateOf(Norm norm) {
    switch (norm) {
        case Norm::Pal:
            return "25";
        case Norm::Ntsc:
            return "30000/1001";
        case Norm::Film:
            return "24000/1001";
    }
    return "25";
}

// The norm a frame rate stands for, by its rate in thousandths.
std::optional<Norm> NormOfRate(AVRational rate) {
    if (rate.num == 0 || rate.den == 0) {
        return std::nullopt;
    }
    const long thousandths = std::lround(av_q2d(rate) * 1000);
    if (thousandths == 25000) {
        return Norm::Pal;
    }
    if (thousandths == 29970 || thousandths == 23976) {
        return Norm::Ntsc;
    }
    return std::nullopt;
}

// What a disc player expects of its streams.
struct DiscTarget {
    std::string_view name;  // also the container format
    const char* videoCodec;
    const char* audioCodec;
    const char* palSize;
    const char* ntscSize;
    const char* bitRate;
    const char* maxRate;
    const char* minRate;
    const char* bufferSize;
    const char* videoFlags;  // null: none
    const char* audioBitRate;
    int sampleRate;
    bool alwaysStereo;  // else only mono becomes stereo
    const char* packetSize;
    const char* muxRate;  // null: unchanged
    float muxPreload;     // 0: unchanged; a VCD player buffers 0.44 s
    double aspect;        // when none is set
    const char* aspectText;
};

constexpr DiscTarget DiscTargets[] = {
    {"vcd", "mpeg1video", "mp2", "352x288", "352x240", "1150000", "1150000", "1150000", "327680",
     nullptr, "224000", 44100, true, "2324", "1411200", 0.44F, 4.0 / 3.0, "4:3"},
    {"svcd", "mpeg2video", "mp2", "480x576", "480x480", "2040000", "2516000", "0", "1835008",
     "+scan_offset", "224000", 44100, false, "2324", nullptr, 0.0F, 4.0 / 3.0, "4:3"},
    {"dvd", "mpeg2video", "ac3", "720x576", "720x480", "6000000", "9000000", "0", "1835008",
     nullptr, "448000", 48000, false, "2048", "10080000", 0.0F, 16.0 / 9.0, "16:9"},
};

}  // namespace

void Transcoder::SetTargetOption(const std::string& value) {
    const std::string target = media::Trim(value);
    for (const char* norm : {"pal", "ntsc", "film"}) {
        const std::string prefix = std::string(norm) + "-";
        if (target.starts_with(prefix)) {
            SetTarget(target.substr(prefix.size()), norm, "ntsc");
            return;
        }
    }
    SetTarget(target, "auto", "ntsc");
}

void Transcoder::SetTarget(std::string_view target, std::string_view normName,
                           std::string_view defaultNorm) {
    RequireLibraries();
    std::optional<Norm> norm;
    if (normName == "pal") {
        norm = Norm::Pal;
    } else if (normName == "ntsc") {
        norm = Norm::Ntsc;
    } else if (normName == "film") {
        norm = Norm::Film;
    } else {
        if (options_.frameRate.den == 0) {
            throw media::MediaError("frame_rate is invalid.");
        }
        norm = NormOfRate(options_.frameRate);
        // The inputs' video streams by their frame rates.
        for (std::size_t i = 0; !norm && i < inputs_.size(); ++i) {
            const AVFormatContext* input = inputs_[i]->input.Context();
            for (unsigned s = 0; !norm && s < input->nb_streams; ++s) {
                const AVStream* stream = input->streams[s];
                if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
                    norm = NormOfRate(stream->r_frame_rate);
                }
            }
        }
        if (!norm) {
            norm = defaultNorm == "film"   ? Norm::Film
                   : defaultNorm == "ntsc" ? Norm::Ntsc
                                           : Norm::Pal;
        }
        if (options_.verbose > 0) {
            Log(media::LogLevel::llVerbose,
                std::string("Assuming ") + (*norm == Norm::Pal ? "PAL" : "NTSC") + " for target.");
        }
    }
    const bool pal = *norm == Norm::Pal;

    if (target == "dv" || target == "dv50") {
        SetOption("f", "dv");
        SetOption("s", pal ? "720x576" : "720x480");
        SetOption("r", FrameRateOf(*norm));
        SetOption("pix_fmt", target == "dv50" ? "yuv422p" : (pal ? "yuv420p" : "yuv411p"));
        options_.audioSampleRate = 48000;
        options_.audioChannels = 2;
        return;
    }
    const auto disc = std::ranges::find(DiscTargets, target, &DiscTarget::name);
    if (disc == std::end(DiscTargets)) {
        throw media::MediaError("Unknown target type");
    }
    SetOption("vcodec", disc->videoCodec);
    SetOption("acodec", disc->audioCodec);
    SetOption("f", std::string(disc->name));
    SetOption("s", pal ? disc->palSize : disc->ntscSize);
    SetOption("r", FrameRateOf(*norm));
    SetLibraryOption("g", pal ? "15" : "18");
    SetLibraryOption("b", disc->bitRate);
    SetLibraryOption("maxrate", disc->maxRate);
    SetLibraryOption("minrate", disc->minRate);
    SetLibraryOption("bufsize", disc->bufferSize);
    if (disc->videoFlags != nullptr) {
        SetLibraryOption("flags", disc->videoFlags);
    }
    SetLibraryOption("ab", disc->audioBitRate);
    options_.audioSampleRate = disc->sampleRate;
    if (disc->alwaysStereo || options_.audioChannels == 1) {
        options_.audioChannels = 2;
    }
    SetLibraryOption("packetsize", disc->packetSize);
    if (disc->muxRate != nullptr) {
        SetLibraryOption("muxrate", disc->muxRate);
    }
    if (disc->muxPreload > 0) {
        options_.muxPreload = disc->muxPreload;
    }
    if (options_.frameAspectRatio == 0.0) {
        options_.frameAspectRatio = disc->aspect;
        Log(media::LogLevel::llInfo,
            std::string("Assuming ") + disc->aspectText + " for aspect ratio");
    }
}

}  // namespace quillo::converter
