// Opening an input: probing it, positioning it, and taking its picture and sound parameters
// as the defaults of the outputs.

#include <cstdio>
#include <mutex>

extern "C" {
#include <libavutil/opt.h>
}

#include "converter/codec_lookup.h"
#include "converter/transcoder.h"
#include "media/codec_lock.h"
#include "media/library_bindings.h"
#include "media/library_error.h"
#include "media/media_url.h"

namespace quillo::converter {

namespace {

using media::MediaError;
using media::lib::avformat;
using media::lib::avutil;

// Demuxer options that describe raw and capture inputs, set only for formats that have them.
void SetFormatParameter(AVDictionary** parameters, const AVInputFormat* format, const char* name,
                        const std::string& value) {
    const AVClass* formatClass = format != nullptr ? format->priv_class : nullptr;
    if (formatClass != nullptr &&
        avutil.av_opt_find(&formatClass, name, nullptr, 0, AV_OPT_SEARCH_FAKE_OBJ) != nullptr) {
        avutil.av_dict_set(parameters, name, value.c_str(), 0);
    }
}

}  // namespace

bool Transcoder::OpenInput(const std::string& fileName) {
    RequireLibraries();
    if (static_cast<int>(inputs_.size()) >= MaxFiles) {
        lastErrorMessage_ = "max input files " + std::to_string(MaxFiles) + " reached";
        return false;
    }

    const AVInputFormat* format = nullptr;
    if (!options_.fileFormat.empty()) {
        format = avformat.av_find_input_format(options_.fileFormat.c_str());
        if (format == nullptr) {
            throw MediaError("Unknown input format: \"" + options_.fileFormat + "\"");
        }
        options_.fileFormat.clear();
    }

    media::FormatContextPtr context(avformat.avformat_alloc_context());
    if (!context) {
        throw MediaError("avformat_alloc_context failed");
    }

    media::Dictionary parameters;
    SetFormatParameter(parameters.Address(), format, "sample_rate",
                       std::to_string(options_.audioSampleRate));
    SetFormatParameter(parameters.Address(), format, "channels",
                       std::to_string(options_.audioChannels));
    if (options_.frameRate.num > 0 && options_.frameRate.den > 0) {
        SetFormatParameter(
            parameters.Address(), format, "framerate",
            std::to_string(options_.frameRate.num) + "/" + std::to_string(options_.frameRate.den));
    }
    if (options_.frameWidth > 0 && options_.frameHeight > 0) {
        SetFormatParameter(
            parameters.Address(), format, "video_size",
            std::to_string(options_.frameWidth) + "x" + std::to_string(options_.frameHeight));
    }
    if (options_.framePixelFormat != AV_PIX_FMT_NONE) {
        SetFormatParameter(parameters.Address(), format, "pixel_format",
                           avutil.av_get_pix_fmt_name(options_.framePixelFormat));
    }
    if (options_.videoChannel != 0) {
        SetFormatParameter(parameters.Address(), format, "channel",
                           std::to_string(options_.videoChannel));
    }
    if (!options_.videoStandard.empty()) {
        SetFormatParameter(parameters.Address(), format, "standard", options_.videoStandard);
    }
    if (options_.loopInput) {
        SetFormatParameter(parameters.Address(), format, "loop", "1");
    }
    libraryOptions_->CopyContainerOptions(*context, AV_OPT_FLAG_DECODING_PARAM);

    const AVCodec* videoDecoder = nullptr;
    const AVCodec* audioDecoder = nullptr;
    const AVCodec* subtitleDecoder = nullptr;
    try {
        videoDecoder =
            FindCodec(options_.videoCodecName, AVMEDIA_TYPE_VIDEO, false, options_.videoStreamCopy);
        audioDecoder =
            FindCodec(options_.audioCodecName, AVMEDIA_TYPE_AUDIO, false, options_.audioStreamCopy);
        subtitleDecoder = FindCodec(options_.subtitleCodecName, AVMEDIA_TYPE_SUBTITLE, false,
                                    options_.subtitleStreamCopy);
    } catch (const MediaError& error) {
        lastErrorMessage_ = error.what();
        return false;
    }
    if (videoDecoder != nullptr) {
        context->video_codec_id = videoDecoder->id;
        context->video_codec = videoDecoder;
    }
    if (audioDecoder != nullptr) {
        context->audio_codec_id = audioDecoder->id;
        context->audio_codec = audioDecoder;
    }
    if (subtitleDecoder != nullptr) {
        context->subtitle_codec_id = subtitleDecoder->id;
        context->subtitle_codec = subtitleDecoder;
    }
    context->flags |= AVFMT_FLAG_NONBLOCK;
    if (options_.pgmyuvCompatibility) {
        context->video_codec_id = AV_CODEC_ID_PGMYUV;
    }

    auto input = std::make_unique<InputFile>();
    input->fileName = fileName;
    const int opened = input->input.Open(media::MakeMediaURL(fileName), format,
                                         parameters.Address(), context.release());
    if (opened < 0) {
        lastErrorMessage_ = media::FormatLibraryError(fileName, opened);
        return false;
    }
    AVFormatContext* ic = input->input.Context();

    if (options_.programId != 0) {
        const AVProgram* chosen = nullptr;
        for (unsigned p = 0; p < ic->nb_programs; ++p) {
            if (ic->programs[p]->id == options_.programId) {
                chosen = ic->programs[p];
            }
        }
        options_.programId = 0;
        if (chosen == nullptr) {
            lastErrorMessage_ = "Specified program id not found";
            return false;
        }
        for (unsigned s = 0; s < ic->nb_streams; ++s) {
            ic->streams[s]->discard = AVDISCARD_ALL;
        }
        for (unsigned s = 0; s < chosen->nb_stream_indexes; ++s) {
            ic->streams[chosen->stream_index[s]]->discard = AVDISCARD_DEFAULT;
        }
        for (unsigned p = 0; p < ic->nb_programs; ++p) {
            if (ic->programs[p] != chosen) {
                ic->programs[p]->discard = AVDISCARD_ALL;
            }
        }
        input->programSelected = true;
    }

    int probed;
    {
        std::scoped_lock lock(media::CodecLock());
        probed = avformat.avformat_find_stream_info(ic, nullptr);
    }
    if (probed < 0 && options_.verbose >= 0) {
        lastErrorMessage_ = fileName + ": could not find codec parameters";
        Log(media::LogLevel::llVerbose, lastErrorMessage_);
        return false;
    }

    const std::int64_t seekPosition =
        options_.startTime + (ic->start_time != AV_NOPTS_VALUE ? ic->start_time : 0);
    if (options_.startTime != 0) {
        if (avformat.av_seek_frame(ic, -1, seekPosition, AVSEEK_FLAG_BACKWARD) < 0 &&
            options_.verbose > 0) {
            char seconds[64];
            std::snprintf(seconds, sizeof seconds, "%0.3f", seekPosition / 1e6);
            Log(media::LogLevel::llVerbose, fileName + ": could not seek to position " + seconds);
        }
        options_.startTime = 0;
    }

    std::int64_t lowResolution = 0;
    avutil.av_opt_get_int(&libraryOptions_->Codec(AVMEDIA_TYPE_VIDEO), "lowres", 0, &lowResolution);
    input->forcedDecoders.assign(ic->nb_streams, nullptr);
    for (unsigned s = 0; s < ic->nb_streams; ++s) {
        AVStream* stream = ic->streams[s];
        const AVCodecParameters& codec = *stream->codecpar;
        switch (codec.codec_type) {
            case AVMEDIA_TYPE_AUDIO:
                options_.audioChannelLayout =
                    codec.ch_layout.order == AV_CHANNEL_ORDER_NATIVE ? codec.ch_layout.u.mask : 0;
                options_.audioChannels = codec.ch_layout.nb_channels;
                options_.audioSampleRate = codec.sample_rate;
                options_.audioSampleFormat = static_cast<AVSampleFormat>(codec.format);
                input->forcedDecoders[s] = audioDecoder;
                if (options_.audioDisable) {
                    stream->discard = AVDISCARD_ALL;
                }
                break;
            case AVMEDIA_TYPE_VIDEO: {
                options_.frameWidth = codec.width >> lowResolution;
                options_.frameHeight = codec.height >> lowResolution;
                const AVRational ratio = stream->sample_aspect_ratio.num != 0
                                             ? stream->sample_aspect_ratio
                                             : codec.sample_aspect_ratio;
                if (codec.width != 0 && codec.height != 0) {
                    options_.frameAspectRatio =
                        (ratio.num != 0 ? av_q2d(ratio) : 1.0) * codec.width / codec.height;
                } else if (options_.frameAspectRatio == 0.0) {
                    options_.frameAspectRatio = 4.0 / 3.0;
                }
                options_.framePixelFormat = codec.format == AV_PIX_FMT_NONE
                                                ? static_cast<AVPixelFormat>(0)
                                                : static_cast<AVPixelFormat>(codec.format);
                options_.frameRate = stream->r_frame_rate;
                input->forcedDecoders[s] = videoDecoder;
                if (options_.videoDisable) {
                    stream->discard = AVDISCARD_ALL;
                } else if (options_.videoDiscard != 0) {
                    stream->discard = static_cast<AVDiscard>(options_.videoDiscard);
                }
                break;
            }
            case AVMEDIA_TYPE_DATA:
            case AVMEDIA_TYPE_SUBTITLE:
                input->forcedDecoders[s] = subtitleDecoder;
                if (options_.subtitleDisable) {
                    stream->discard = AVDISCARD_ALL;
                }
                break;
            case AVMEDIA_TYPE_ATTACHMENT:
            case AVMEDIA_TYPE_UNKNOWN:
                break;
            default:
                throw MediaError("invalid codec_type");
        }
    }

    if (ic->duration != AV_NOPTS_VALUE && ic->duration > totalDuration_) {
        totalDuration_ = ic->duration;
    }
    input->timeOffset = options_.copyTimestamps ? options_.inputTimeOffset
                                                : options_.inputTimeOffset - seekPosition;
    input->timestampScale = options_.inputTimestampScale;
    options_.inputTimestampScale = OptionState{}.inputTimestampScale;

    if (options_.verbose >= 0) {
        avformat.av_dump_format(ic, static_cast<int>(inputs_.size()), fileName.c_str(), 0);
    }
    inputs_.push_back(std::move(input));
    options_.videoChannel = 0;
    options_.videoCodecName.clear();
    options_.audioCodecName.clear();
    options_.subtitleCodecName.clear();
    return true;
}

}  // namespace quillo::converter
