// Writing a packet of an output stream: through its bitstream filters into the interleaving
// writer of its container.

#include <algorithm>
#include <cstdio>

#include "converter/transcode_session.h"
#include "converter/transcoder.h"
#include "media/library_bindings.h"
#include "media/library_error.h"
#include "media/media_error.h"

namespace quillo::converter {

namespace {

using media::MediaError;
using media::lib::avcodec;
using media::lib::avformat;
using media::lib::avutil;

std::string ErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    avutil.av_strerror(code, text, sizeof text);
    return text;
}

}  // namespace

void TranscodeSession::WritePacket(OutputStreamState& output, AVPacket* packet,
                                   AVRational timeBase) {
    if (output.bitstreamFilters.empty()) {
        Mux(output, packet, timeBase);
        return;
    }
    if (output.filterPackets.size() < output.bitstreamFilters.size()) {
        output.filterPackets.resize(output.bitstreamFilters.size());
        for (auto& filtered : output.filterPackets) {
            if (!filtered) {
                filtered.reset(avcodec.av_packet_alloc());
            }
        }
    }
    const auto report = [&](std::size_t index, int code) {
        const char* codec = output.encoder != nullptr && output.encoder->codec != nullptr
                                ? output.encoder->codec->name
                                : "copy";
        char text[512];
        std::snprintf(text, sizeof text, "%s failed for stream %d, codec %s: %s",
                      output.bitstreamFilterNames[index].c_str(), output.stream->index, codec,
                      ErrorText(code).c_str());
        if (options_.exitOnError) {
            throw MediaError(text);
        }
        Log(media::LogLevel::llError, text);
    };
    // Each filter's output goes through the rest of the chain before the filter is asked again.
    const auto through = [&](auto& self, std::size_t index, AVPacket* current,
                             AVRational currentBase) -> void {
        if (index == output.bitstreamFilters.size()) {
            Mux(output, current, currentBase);
            return;
        }
        AVBSFContext* filter = output.bitstreamFilters[index].get();
        const int sent = avcodec.av_bsf_send_packet(filter, current);
        if (sent < 0) {
            report(index, sent);
            self(self, index + 1, current, currentBase);  // passed on as it was
            return;
        }
        AVPacket* filtered = output.filterPackets[index].get();
        for (;;) {
            const int received = avcodec.av_bsf_receive_packet(filter, filtered);
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) {
                return;
            }
            if (received < 0) {
                report(index, received);
                return;
            }
            self(self, index + 1, filtered, filter->time_base_out);
        }
    };
    through(through, 0, packet, timeBase);
}

void TranscodeSession::Mux(OutputStreamState& output, AVPacket* packet, AVRational timeBase) {
    AVStream& stream = *output.stream;
    packet->stream_index = stream.index;
    avcodec.av_packet_rescale_ts(packet, timeBase, stream.time_base);
    AVFormatContext& context = *output.file->context;
    if ((context.oformat->flags & AVFMT_NOTIMESTAMPS) == 0 && packet->dts != AV_NOPTS_VALUE &&
        output.lastMuxedDts != NoTime) {
        // Muxers refuse decoding times that go back; a damaged source must not end the task.
        const std::int64_t least =
            output.lastMuxedDts + ((context.oformat->flags & AVFMT_TS_NONSTRICT) != 0 ? 0 : 1);
        if (packet->dts < least) {
            if (options_.verbose > 1) {
                Log(media::LogLevel::llWarning, "Non-monotonous DTS in output stream " +
                                                    std::to_string(output.fileIndex) + ":" +
                                                    std::to_string(stream.index) +
                                                    "; changing to " + std::to_string(least));
            }
            if (packet->pts != AV_NOPTS_VALUE && packet->pts >= packet->dts) {
                packet->pts = std::max(packet->pts, least);
            }
            packet->dts = least;
        }
    }
    if (packet->dts != AV_NOPTS_VALUE) {
        output.lastMuxedDts = packet->dts;
    }
    if (output.encoder == nullptr) {
        const std::int64_t time = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
        if (time != AV_NOPTS_VALUE) {
            output.outputTime =
                avutil.av_rescale_q(time + packet->duration, stream.time_base, Microseconds);
        }
    }
    output.wroteFrame = true;
    const int written = avformat.av_interleaved_write_frame(&context, packet);
    if (written < 0) {
        throw MediaError(media::FormatLibraryError("av_interleaved_write_frame()", written));
    }
}

void TranscodeSession::DropEmptyOutputs() const {
    for (int index = 0; index < engine_.OutputCount(); ++index) {
        OutputFile& file = engine_.Output(index);
        const bool wrote = std::any_of(
            outputStreams_.begin(), outputStreams_.end(),
            [&file](const auto& output) { return output->file == &file && output->wroteFrame; });
        if (!wrote) {
            file.removeWhenClosed = true;
        }
    }
}

}  // namespace quillo::converter
