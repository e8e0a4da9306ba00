// Target presets: the settings of video CD, super video CD, DVD and DV output.

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

    const auto assumeAspect = [this](double ratio, const char* text) {
        if (options_.frameAspectRatio == 0.0) {
            options_.frameAspectRatio = ratio;
            Log(media::LogLevel::llInfo, std::string("Assuming ") + text + " for aspect ratio");
        }
    };
    const auto stereo = [this] {
        if (options_.audioChannels == 1) {
            options_.audioChannels = 2;
        }
    };

    if (target == "vcd") {
        SetOption("vcodec", "mpeg1video");
        SetOption("acodec", "mp2");
        SetOption("f", "vcd");
        SetOption("s", pal ? "352x288" : "352x240");
        SetOption("r", FrameRateOf(*norm));
        SetLibraryOption("g", pal ? "15" : "18");
        SetLibraryOption("b", "1150000");
        SetLibraryOption("maxrate", "1150000");
        SetLibraryOption("minrate", "1150000");
        SetLibraryOption("bufsize", "327680");
        SetLibraryOption("ab", "224000");
        options_.audioSampleRate = 44100;
        options_.audioChannels = 2;
        SetLibraryOption("packetsize", "2324");
        SetLibraryOption("muxrate", "1411200");
        // A VCD player's buffer holds 0.44 s, not the 0.5 s other streams may assume.
        options_.muxPreload = 0.44F;
        assumeAspect(4.0 / 3.0, "4:3");
    } else if (target == "svcd") {
        SetOption("vcodec", "mpeg2video");
        SetOption("acodec", "mp2");
        SetOption("f", "svcd");
        SetOption("s", pal ? "480x576" : "480x480");
        SetOption("r", FrameRateOf(*norm));
        SetLibraryOption("g", pal ? "15" : "18");
        SetLibraryOption("b", "2040000");
        SetLibraryOption("maxrate", "2516000");
        SetLibraryOption("minrate", "0");
        SetLibraryOption("bufsize", "1835008");
        SetLibraryOption("flags", "+scan_offset");
        SetLibraryOption("ab", "224000");
        options_.audioSampleRate = 44100;
        stereo();
        SetLibraryOption("packetsize", "2324");
        assumeAspect(4.0 / 3.0, "4:3");
    } else if (target == "dvd") {
        SetOption("vcodec", "mpeg2video");
        SetOption("acodec", "ac3");
        SetOption("f", "dvd");
        SetOption("s", pal ? "720x576" : "720x480");
        SetOption("r", FrameRateOf(*norm));
        SetLibraryOption("g", pal ? "15" : "18");
        SetLibraryOption("b", "6000000");
        SetLibraryOption("maxrate", "9000000");
        SetLibraryOption("minrate", "0");
        SetLibraryOption("bufsize", "1835008");
        SetLibraryOption("ab", "448000");
        options_.audioSampleRate = 48000;
        stereo();
        SetLibraryOption("packetsize", "2048");
        SetLibraryOption("muxrate", "10080000");
        assumeAspect(16.0 / 9.0, "16:9");
    } else if (target == "dv" || target == "dv50") {
        SetOption("f", "dv");
        SetOption("s", pal ? "720x576" : "720x480");
        SetOption("r", FrameRateOf(*norm));
        SetOption("pix_fmt", target == "dv50" ? "yuv422p" : (pal ? "yuv420p" : "yuv411p"));
        options_.audioSampleRate = 48000;
        options_.audioChannels = 2;
    } else {
        throw media::MediaError("Unknown target type");
    }
}

}  // namespace quillo::converter
