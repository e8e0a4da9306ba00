// One packet of an input stream: its time bookkeeping, decoding, and handing what comes out
// (or the packet itself, for copied streams) to the output streams it feeds.

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <thread>

#include "converter/transcode_session.h"
#include "converter/transcoder.h"
#include "media/library_bindings.h"
#include "media/media_error.h"

namespace quillo::converter {

namespace {

using media::MediaError;
using media::lib::avcodec;
using media::lib::avutil;

template <typename Sample, typename Wide>
void ScaleSamples(std::uint8_t* data, int count, int volume, Wide low, Wide high) {
    auto* samples = reinterpret_cast<Sample*>(data);
    for (int i = 0; i < count; ++i) {
        const Wide scaled = (static_cast<Wide>(samples[i]) * volume + 128) >> 8;
        samples[i] = static_cast<Sample>(std::clamp(scaled, low, high));
    }
}

template <typename Sample>
void ScaleRealSamples(std::uint8_t* data, int count, int volume) {
    auto* samples = reinterpret_cast<Sample*>(data);
    const Sample factor = static_cast<Sample>(volume) / static_cast<Sample>(256);
    for (int i = 0; i < count; ++i) {
        samples[i] *= factor;
    }
}

}  // namespace

bool TranscodeSession::OutputTimeReached(const InputStreamState& input) const {
    if (options_.startTime != 0 && input.currentTime < options_.startTime) {
        return false;
    }
    // Pictures the decoder still held when the recording time was reached are not wanted.
    return options_.recordingTime == INT64_MAX ||
           input.currentTime < options_.startTime + options_.recordingTime;
}

bool TranscodeSession::ProcessPacket(InputStreamState& input, AVPacket* packet) {
    if (input.nextTime == NoTime) {
        input.nextTime = input.currentTime;
    }
    if (packet != nullptr && packet->dts != AV_NOPTS_VALUE) {
        input.nextTime = input.currentTime =
            avutil.av_rescale_q(packet->dts, input.stream->time_base, Microseconds);
    }

    bool decoded = true;
    if (input.decodingNeeded) {
        decoded = input.stream->codecpar->codec_type == AVMEDIA_TYPE_SUBTITLE
                      ? DecodeSubtitle(input, packet)
                      : DecodeFrames(input, packet);
    } else {
        input.currentTime = input.nextTime;
        if (packet != nullptr) {
            AdvanceWithoutDecoding(input, packet);
        }
    }

    if (packet != nullptr && (options_.startTime == 0 || input.currentTime >= options_.startTime)) {
        for (auto& output : outputStreams_) {
            if (output->encoder == nullptr && output->active &&
                inputStreams_[output->sourceIndex].get() == &input) {
                CopyPacket(*output, input, *packet);
            }
        }
    }

    if (packet == nullptr) {
        if (input.decodingNeeded && input.stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            FlushPictureFilters(input);
        }
        const bool lastPart =
            !engine_.JoinMode() || input.fileIndex + 1 >= static_cast<int>(inputFiles_.size());
        if (lastPart) {
            FlushEncoders(input);
        }
    }
    return decoded;
}

void TranscodeSession::AdvanceWithoutDecoding(InputStreamState& input, const AVPacket* packet) {
    const AVCodecParameters& parameters = *input.stream->codecpar;
    if (parameters.codec_type == AVMEDIA_TYPE_AUDIO && parameters.frame_size > 0 &&
        parameters.sample_rate > 0) {
        input.nextTime +=
            static_cast<std::int64_t>(parameters.frame_size) * 1'000'000 / parameters.sample_rate;
        return;
    }
    if (parameters.codec_type == AVMEDIA_TYPE_VIDEO) {
        const std::int64_t duration = FrameDuration(input, nullptr);
        if (duration > 0) {
            input.nextTime += duration;
            return;
        }
    }
    if (packet->duration > 0) {
        input.nextTime +=
            avutil.av_rescale_q(packet->duration, input.stream->time_base, Microseconds);
    }
}

std::int64_t TranscodeSession::FrameDuration(const InputStreamState& input,
                                             const AVFrame* frame) const {
    AVRational rate = input.decoder ? input.decoder->framerate : AVRational{0, 1};
    if (rate.num <= 0 || rate.den <= 0) {
        rate = input.stream->avg_frame_rate;
    }
    if (rate.num <= 0 || rate.den <= 0) {
        rate = input.stream->r_frame_rate;
    }
    if (rate.num > 0 && rate.den > 0) {
        // A repeated field adds half a frame.
        const int halves = 2 + (frame != nullptr ? frame->repeat_pict : 0);
        return static_cast<std::int64_t>(rate.den) * 1'000'000 * halves / (2LL * rate.num);
    }
    if (frame != nullptr && frame->pkt_duration > 0) {
        return avutil.av_rescale_q(frame->pkt_duration, input.stream->time_base, Microseconds);
    }
    return 0;
}

bool TranscodeSession::DecodeFrames(InputStreamState& input, AVPacket* packet) {
    AVCodecContext& decoder = *input.decoder;
    const bool audio = decoder.codec_type == AVMEDIA_TYPE_AUDIO;
    int sent = avcodec.avcodec_send_packet(&decoder, packet);
    bool ok = sent >= 0 || sent == AVERROR_EOF;
    int frames = 0;
    for (;;) {
        const int received = avcodec.avcodec_receive_frame(&decoder, decoded_.get());
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) {
            if (sent == AVERROR(EAGAIN)) {
                // The decoder had pictures to give before it could take the packet.
                sent = avcodec.avcodec_send_packet(&decoder, packet);
                ok = sent >= 0 || sent == AVERROR_EOF;
                if (sent >= 0) {
                    continue;
                }
            }
            break;
        }
        if (received < 0) {
            ok = false;
            break;
        }
        ++frames;
        if (frames > 1 && packet != nullptr && audio &&
            (options_.verbose > 1 || (options_.verbose == 1 && !input.multipleFramesLogged))) {
            Log(media::LogLevel::llError,
                "Multiple frames in a packet from stream " + std::to_string(input.streamIndex));
            input.multipleFramesLogged = true;
        }
        AVFrame* frame = decoded_.get();
        // The frame's own time, which a decoder that trims its first samples moves on.
        const std::int64_t stamp =
            frame->pts != AV_NOPTS_VALUE ? frame->pts : frame->best_effort_timestamp;
        input.currentTime = stamp != AV_NOPTS_VALUE
                                ? avutil.av_rescale_q(stamp, input.stream->time_base, Microseconds)
                                : input.nextTime;
        if (audio) {
            input.nextTime =
                input.currentTime +
                (frame->sample_rate > 0
                     ? static_cast<std::int64_t>(frame->nb_samples) * 1'000'000 / frame->sample_rate
                     : 0);
        } else {
            input.nextTime = input.currentTime + FrameDuration(input, frame);
        }
        EmulateRate(input);
        if (audio) {
            HandleAudioFrame(input, frame);
        } else {
            HandleVideoFrame(input, frame);
        }
        avutil.av_frame_unref(frame);
    }
    if (packet == nullptr) {
        avcodec.avcodec_flush_buffers(&decoder);
    }
    return ok;
}

bool TranscodeSession::DecodeSubtitle(InputStreamState& input, AVPacket* packet) {
    AVCodecContext& decoder = *input.decoder;
    if (packet == nullptr && (decoder.codec->capabilities & AV_CODEC_CAP_DELAY) == 0) {
        return true;
    }
    AVPacket* source = packet;
    if (source == nullptr) {
        avcodec.av_packet_unref(filtered_.get());  // an empty packet asks for what is held back
        source = filtered_.get();
    }
    for (int pass = 0;; ++pass) {
        AVSubtitle subtitle{};
        int got = 0;
        const int used = avcodec.avcodec_decode_subtitle2(&decoder, &subtitle, &got, source);
        if (used < 0) {
            return false;
        }
        if (got == 0) {
            return true;
        }
        if (pass > 0 && packet != nullptr &&
            (options_.verbose > 1 || (options_.verbose == 1 && !input.multipleFramesLogged))) {
            Log(media::LogLevel::llError,
                "Multiple frames in a packet from stream " + std::to_string(input.streamIndex));
            input.multipleFramesLogged = true;
        }
        input.currentTime = input.nextTime;
        if (OutputTimeReached(input)) {
            for (auto& output : outputStreams_) {
                if (output->encoder != nullptr && output->active &&
                    inputStreams_[output->sourceIndex].get() == &input) {
                    try {
                        SubtitleOut(*output, input, subtitle);
                    } catch (...) {
                        avcodec.avsubtitle_free(&subtitle);
                        throw;
                    }
                }
            }
        }
        avcodec.avsubtitle_free(&subtitle);
        if (packet != nullptr) {
            return true;
        }
    }
}

void TranscodeSession::EmulateRate(const InputStreamState& input) const {
    if (!options_.rateEmulation) {
        return;
    }
    const std::int64_t elapsed = WallClockMicroseconds() - input.wallClockStart;
    if (input.currentTime > elapsed + 1000) {
        std::this_thread::sleep_for(
            std::chrono::milliseconds((input.currentTime - elapsed) / 1000));
    }
}

void TranscodeSession::HandleVideoFrame(InputStreamState& input, AVFrame* frame) {
    hooks_.CountPicture();
    if (!options_.deinterlace || !Deinterlace(input, frame)) {
        HandlePicture(input, frame);
        return;
    }
    DrainDeinterlacer(input);
}

bool TranscodeSession::Deinterlace(InputStreamState& input, AVFrame* frame) {
    auto& graph = input.deinterlacer;
    const auto format = static_cast<AVPixelFormat>(frame->format);
    if (graph &&
        (input.deinterlacerWidth != frame->width || input.deinterlacerHeight != frame->height ||
         input.deinterlacerFormat != format)) {
        graph.reset();  // pictures it still held were of the old size
    }
    if (!graph) {
        VideoFilterGraph::Settings settings;
        settings.width = settings.outputWidth = frame->width;
        settings.height = settings.outputHeight = frame->height;
        settings.pixelFormat = settings.outputPixelFormat = format;
        settings.sampleAspectRatio = frame->sample_aspect_ratio;
        // Both fields of every picture, one picture out for each in; it looks one ahead.
        settings.chain = "yadif=mode=send_frame:parity=auto:deint=all";
        try {
            graph = std::make_unique<VideoFilterGraph>(settings);
        } catch (const MediaError&) {
            Log(media::LogLevel::llError, "Deinterlacing failed.");
            return false;
        }
        input.deinterlacerWidth = frame->width;
        input.deinterlacerHeight = frame->height;
        input.deinterlacerFormat = format;
    }
    frame->pts = input.currentTime;
    if (!graph->Push(frame)) {
        Log(media::LogLevel::llError, "Deinterlacing failed.");
        return false;
    }
    return true;
}

void TranscodeSession::DrainDeinterlacer(InputStreamState& input) {
    AVFrame* picture = deinterlaced_.get();
    while (input.deinterlacer->Pull(picture)) {
        try {
            // The deinterlacer hands a picture out one later: it keeps its own time.
            const PictureTime held(input, input.deinterlacer->TimeOf(*picture));
            HandlePicture(input, picture);
        } catch (...) {
            avutil.av_frame_unref(picture);
            throw;
        }
        avutil.av_frame_unref(picture);
    }
}

void TranscodeSession::HandlePicture(InputStreamState& input, AVFrame* picture) {
    if (!OutputTimeReached(input)) {
        return;
    }
    if (hooks_.Active()) {
        // A deinterlaced picture is this run's own; a decoded one belongs to the decoder.
        const bool owned =
            picture == deinterlaced_.get() && avutil.av_frame_is_writable(picture) != 0;
        picture = hooks_.Process(*picture, owned, input.currentTime);
    }
    for (auto& entry : outputStreams_) {
        OutputStreamState& output = *entry;
        if (output.encoder == nullptr || !output.active ||
            inputStreams_[output.sourceIndex].get() != &input) {
            continue;
        }
        if (!output.filterGraph) {
            VideoOut(output, input, picture);
            continue;
        }
        picture->pts = input.currentTime;
        if (!output.filterGraph->Push(picture)) {
            throw MediaError("Error while feeding the filters");
        }
        DrainFilterGraph(output, input);
    }
}

void TranscodeSession::DrainFilterGraph(OutputStreamState& output, InputStreamState& input) {
    AVFrame* filtered = filteredPicture_.get();
    while (output.filterGraph->Pull(filtered)) {
        try {
            // A filter may hold pictures back or make new ones: each has its own time.
            const PictureTime held(input, output.filterGraph->TimeOf(*filtered));
            VideoOut(output, input, filtered);
        } catch (...) {
            avutil.av_frame_unref(filtered);
            throw;
        }
        avutil.av_frame_unref(filtered);
    }
}

void TranscodeSession::FlushPictureFilters(InputStreamState& input) {
    if (input.deinterlacer && input.deinterlacer->Finish()) {
        DrainDeinterlacer(input);
    }
    for (auto& entry : outputStreams_) {
        OutputStreamState& output = *entry;
        if (output.filterGraph && output.encoder != nullptr && output.active &&
            inputStreams_[output.sourceIndex].get() == &input && output.filterGraph->Finish()) {
            DrainFilterGraph(output, input);
        }
    }
}

void TranscodeSession::ApplyVolume(AVFrame& frame) const {
    if (avutil.av_frame_make_writable(&frame) < 0) {
        throw MediaError("Not enough memory");
    }
    const auto format = static_cast<AVSampleFormat>(frame.format);
    const bool planar = avutil.av_sample_fmt_is_planar(format) != 0;
    const int channels = frame.ch_layout.nb_channels;
    const int planes = planar ? channels : 1;
    const int count = planar ? frame.nb_samples : frame.nb_samples * channels;
    const int volume = options_.audioVolume;
    for (int plane = 0; plane < planes; ++plane) {
        std::uint8_t* data = frame.extended_data[plane];
        switch (format) {
            case AV_SAMPLE_FMT_S16:
            case AV_SAMPLE_FMT_S16P:
                ScaleSamples<std::int16_t, int>(data, count, volume, -32768, 32767);
                break;
            case AV_SAMPLE_FMT_S32:
            case AV_SAMPLE_FMT_S32P:
                ScaleSamples<std::int32_t, std::int64_t>(data, count, volume, INT32_MIN, INT32_MAX);
                break;
            case AV_SAMPLE_FMT_FLT:
            case AV_SAMPLE_FMT_FLTP:
                ScaleRealSamples<float>(data, count, volume);
                break;
            case AV_SAMPLE_FMT_DBL:
            case AV_SAMPLE_FMT_DBLP:
                ScaleRealSamples<double>(data, count, volume);
                break;
            default:
                break;  // 8-bit and 64-bit integer samples are left as they are
        }
    }
}

void TranscodeSession::HandleAudioFrame(InputStreamState& input, AVFrame* frame) {
    if (!OutputTimeReached(input)) {
        return;
    }
    if (options_.audioVolume != 256) {
        ApplyVolume(*frame);
    }
    for (auto& output : outputStreams_) {
        if (output->encoder != nullptr && output->active &&
            inputStreams_[output->sourceIndex].get() == &input) {
            AudioOut(*output, input, frame);
        }
    }
    // Only the first samples are aligned to small offsets; later drift is for "async" above 1.
    input.atStart = false;
}

void TranscodeSession::CopyPacket(OutputStreamState& output, InputStreamState& input,
                                  const AVPacket& packet) {
    if (!output.wroteFrame && (packet.flags & AV_PKT_FLAG_KEY) == 0 &&
        options_.copyInitialNonKeyframes == 0) {
        return;
    }
    AVPacket* copy = encoded_.get();
    if (avcodec.av_packet_ref(copy, &packet) < 0) {
        throw MediaError("Not enough memory");
    }
    const AVRational timeBase = input.stream->time_base;
    const std::int64_t shift = avutil.av_rescale_q(options_.startTime, Microseconds, timeBase);
    if (copy->pts != AV_NOPTS_VALUE) {
        copy->pts -= shift;
    }
    copy->dts = copy->dts == AV_NOPTS_VALUE
                    ? avutil.av_rescale_q(input.currentTime, Microseconds, timeBase)
                    : copy->dts - shift;
    const AVMediaType type = input.stream->codecpar->codec_type;
    if (type == AVMEDIA_TYPE_VIDEO) {
        videoBytes_ += copy->size;
        ++output.syncCounter;
    } else if (type == AVMEDIA_TYPE_AUDIO) {
        audioBytes_ += copy->size;
    }
    WritePacket(output, copy, timeBase);
    ++output.frameCount;
}

void TranscodeSession::FlushEncoders(const InputStreamState& input) {
    for (auto& entry : outputStreams_) {
        OutputStreamState& output = *entry;
        if (output.encoder == nullptr || !output.active ||
            inputStreams_[output.sourceIndex].get() != &input) {
            continue;
        }
        switch (output.encoder->codec_type) {
            case AVMEDIA_TYPE_AUDIO:
                if (output.encoder->frame_size > 1) {
                    EncodeAudioFromFifo(output, true);
                    SendAudio(output, nullptr);
                }
                break;
            case AVMEDIA_TYPE_VIDEO:
                EncodeVideo(output, nullptr);
                break;
            default:
                break;
        }
    }
}

}  // namespace quillo::converter
