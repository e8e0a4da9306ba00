// Subtitle output: each decoded subtitle re-encoded for the output, timed in its stream.

#include "converter/transcode_session.h"
#include "converter/transcoder.h"
#include "media/library_bindings.h"
#include "media/media_error.h"

namespace quillo::converter {

namespace {

using media::MediaError;
using media::lib::avcodec;
using media::lib::avutil;

constexpr std::size_t SubtitleBufferSize = 1024 * 1024;

}  // namespace

void TranscodeSession::SubtitleOut(OutputStreamState& output, const InputStreamState&,
                                   AVSubtitle& subtitle) {
    if (subtitle.pts == AV_NOPTS_VALUE) {
        if (options_.exitOnError) {
            throw MediaError("Subtitle packets must have a pts");
        }
        Log(media::LogLevel::llError, "Subtitle packets must have a pts");
        return;
    }
    if (subtitleBuffer_.empty()) {
        subtitleBuffer_.resize(SubtitleBufferSize);
    }
    AVCodecContext& encoder = *output.encoder;
    // Display times become relative to a presentation time that includes the start delay.
    const std::int64_t time = subtitle.pts +
                              static_cast<std::int64_t>(subtitle.start_display_time) * 1000 -
                              options_.startTime;
    subtitle.pts = time;
    subtitle.end_display_time -= subtitle.start_display_time;
    subtitle.start_display_time = 0;
    const bool dvb = encoder.codec_id == AV_CODEC_ID_DVB_SUBTITLE;
    const int passes = dvb ? 2 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        // The second DVB packet clears what the first showed.
        const unsigned shown = subtitle.num_rects;
        if (pass == 1) {
            subtitle.num_rects = 0;
        }
        const int size = avcodec.avcodec_encode_subtitle(
            &encoder, subtitleBuffer_.data(), static_cast<int>(subtitleBuffer_.size()), &subtitle);
        subtitle.num_rects = shown;
        if (size < 0) {
            throw MediaError("Subtitle encoding failed");
        }
        AVPacket* packet = encoded_.get();
        avcodec.av_packet_unref(packet);
        if (avcodec.av_new_packet(packet, size) < 0) {
            throw MediaError("Not enough memory");
        }
        std::copy(subtitleBuffer_.begin(), subtitleBuffer_.begin() + size, packet->data);
        const AVRational timeBase = output.stream->time_base;
        packet->pts = avutil.av_rescale_q(time, Microseconds, timeBase);
        if (dvb) {
            packet->pts += 90LL *
                           (pass == 0 ? subtitle.start_display_time : subtitle.end_display_time) *
                           timeBase.den / (90'000LL * timeBase.num);
        }
        packet->dts = packet->pts;
        packet->duration = avutil.av_rescale_q(
            static_cast<std::int64_t>(subtitle.end_display_time) * 1000, Microseconds, timeBase);
        WritePacket(output, packet, timeBase);
    }
    ++output.frameCount;
    output.outputTime = time;
}

}  // namespace quillo::converter
