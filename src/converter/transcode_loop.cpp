// The read loop of a run: which input to read next, timestamp repair, the end of inputs,
// join mode, and finishing the files.

#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <thread>

#include "converter/transcode_session.h"
#include "converter/transcoder.h"
#include "media/library_bindings.h"
#include "media/library_error.h"
#include "media/media_error.h"
#include "media/media_text.h"

namespace quillo::converter {

namespace {

using media::MediaError;
using media::lib::avcodec;
using media::lib::avformat;
using media::lib::avutil;

}  // namespace

bool TranscodeSession::MaxFramesReached(const OutputStreamState& output) const {
    switch (output.stream->codecpar->codec_type) {
        case AVMEDIA_TYPE_VIDEO:
            return output.frameCount >= options_.maxVideoFrames;
        case AVMEDIA_TYPE_AUDIO:
            return output.frameCount >= options_.maxAudioFrames;
        case AVMEDIA_TYPE_DATA:
        case AVMEDIA_TYPE_SUBTITLE:
            return output.frameCount >= options_.maxDataFrames;
        default:
            return false;
    }
}

int TranscodeSession::ChooseInput() const {
    if (engine_.JoinMode()) {
        for (const auto& output : outputStreams_) {
            if (output->fileIndex == joinGroup_ && MaxFramesReached(*output)) {
                return -1;
            }
        }
        return joinGroup_;
    }
    int chosen = -1;
    double smallestInputTime = 1e300;
    double smallestOutputTime = 1e300;
    for (const auto& output : outputStreams_) {
        const InputStreamState& source = *inputStreams_[output->sourceIndex];
        const InputFileState& file = inputFiles_[source.fileIndex];
        if (source.pastRecordingTime || file.noPacket) {
            continue;
        }
        const double outputTime = static_cast<double>(output->outputTime) / 1e6;
        const auto inputTime = static_cast<double>(source.currentTime);
        if (!file.endOfFile) {
            if (inputTime < smallestInputTime) {
                smallestInputTime = inputTime;
                if (options_.inputSync) {
                    chosen = source.fileIndex;
                }
            }
            if (outputTime < smallestOutputTime) {
                smallestOutputTime = outputTime;
                if (!options_.inputSync) {
                    chosen = source.fileIndex;
                }
            }
        }
        if (MaxFramesReached(*output)) {
            return -1;
        }
    }
    return chosen;
}

void TranscodeSession::Loop() {
    const bool limitSize = options_.limitFileSize > 0 && engine_.OutputCount() > 0 &&
                           engine_.Output(0).context->pb != nullptr;
    while (!engine_.StopRequested()) {
        engine_.WaitWhilePaused();
        if (engine_.StopRequested()) {
            break;
        }
        const int fileIndex = ChooseInput();
        if (fileIndex < 0) {
            bool waiting = false;
            for (InputFileState& file : inputFiles_) {
                waiting = waiting || file.noPacket;
                file.noPacket = false;
            }
            if (engine_.JoinMode() || !waiting) {
                break;
            }
            // An input that had nothing to give yet (a live source): ask again shortly.
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        if (limitSize && avformat.avio_seek(engine_.Output(0).context->pb, 0, SEEK_CUR) >=
                             options_.limitFileSize) {
            break;
        }

        AVFormatContext* context = engine_.Input(fileIndex).input.Context();
        const int read = avformat.av_read_frame(context, packet_.get());
        if (read == AVERROR(EAGAIN)) {
            inputFiles_[fileIndex].noPacket = true;
            continue;
        }
        if (read < 0) {
            inputFiles_[fileIndex].endOfFile = true;
            if (engine_.JoinMode()) {
                if (fileIndex + 1 >= static_cast<int>(inputFiles_.size())) {
                    break;
                }
                NextJoinGroup(fileIndex);
                continue;
            }
            if (options_.shortest) {
                break;
            }
            continue;
        }
        for (InputFileState& file : inputFiles_) {
            file.noPacket = false;
        }
        if (options_.packetDump) {
            const int index = packet_->stream_index;
            if (index >= 0 && index < static_cast<int>(context->nb_streams)) {
                avformat.av_pkt_dump_log2(nullptr, AV_LOG_INFO, packet_.get(),
                                          options_.hexDump ? 1 : 0, context->streams[index]);
            }
        }
        HandlePacket(fileIndex, *packet_);
        avcodec.av_packet_unref(packet_.get());

        const std::int64_t now = WallClockMicroseconds();
        if (now - lastReportTime_ > engine_.ProgressInterval()) {
            Report(fileIndex, false);
            lastReportTime_ = now;
        }
    }
}

void TranscodeSession::HandlePacket(int fileIndex, AVPacket& packet) {
    const InputFileState& file = inputFiles_[fileIndex];
    if (packet.stream_index < 0 || packet.stream_index >= file.streamCount) {
        return;
    }
    InputStreamState& input = *inputStreams_[file.firstStream + packet.stream_index];
    if (input.discard) {
        return;
    }
    InputFile& source = *engine_.inputs_[fileIndex];
    const AVRational timeBase = input.stream->time_base;
    const std::int64_t offset = avutil.av_rescale_q(source.timeOffset, Microseconds, timeBase);
    if (packet.dts != AV_NOPTS_VALUE) {
        packet.dts += offset;
    }
    if (packet.pts != AV_NOPTS_VALUE) {
        packet.pts += offset;
    }
    if (packet.stream_index < MaxStreams) {
        const double scale = source.timestampScale[packet.stream_index];
        if (scale != 1.0) {
            if (packet.dts != AV_NOPTS_VALUE) {
                packet.dts = std::llround(static_cast<double>(packet.dts) * scale);
            }
            if (packet.pts != AV_NOPTS_VALUE) {
                packet.pts = std::llround(static_cast<double>(packet.pts) * scale);
            }
        }
    }

    const AVFormatContext* context = source.input.Context();
    if (packet.dts != AV_NOPTS_VALUE && input.nextTime != NoTime &&
        (context->iformat->flags & AVFMT_TS_DISCONT) != 0 && !options_.copyTimestamps) {
        const std::int64_t packetTime = avutil.av_rescale_q(packet.dts, timeBase, Microseconds);
        const std::int64_t delta = packetTime - input.nextTime;
        if (std::llabs(delta) > static_cast<std::int64_t>(options_.dtsDeltaThreshold * 1e6) ||
            packetTime + 1 < input.currentTime) {
            source.timeOffset -= delta;
            const std::int64_t shift = avutil.av_rescale_q(delta, Microseconds, timeBase);
            packet.dts -= shift;
            if (packet.pts != AV_NOPTS_VALUE) {
                packet.pts -= shift;
            }
            if (options_.verbose >= 3) {
                char text[128];
                std::snprintf(text, sizeof text, "timestamp discontinuity %lld, new offset= %lld",
                              static_cast<long long>(delta),
                              static_cast<long long>(source.timeOffset));
                Log(media::LogLevel::llVerbose, text);
            }
        }
    }

    if (options_.recordingTime != INT64_MAX && packet.dts != AV_NOPTS_VALUE &&
        avutil.av_compare_ts(packet.dts, timeBase, options_.startTime + options_.recordingTime,
                             Microseconds) >= 0) {
        input.pastRecordingTime = true;
        return;
    }

    if (!ProcessPacket(input, &packet)) {
        char text[160];
        std::snprintf(text, sizeof text, "Error while decoding stream #%d.%d (%s)", input.fileIndex,
                      input.streamIndex,
                      media::MediaTypeName(input.stream->codecpar->codec_type).c_str());
        if (options_.exitOnError) {
            throw MediaError(text);
        }
        if (options_.verbose >= 0) {
            Log(media::LogLevel::llVerbose, text);
        }
    }
}

void TranscodeSession::NextJoinGroup(int fileIndex) {
    // Pictures and samples still inside this input's decoders belong to its part of the output.
    for (int s = 0; s < inputFiles_[fileIndex].streamCount; ++s) {
        InputStreamState& input = *inputStreams_[inputFiles_[fileIndex].firstStream + s];
        if (input.decodingNeeded && !input.flushed) {
            ProcessPacket(input, nullptr);
            input.flushed = true;
        }
    }
    const int next = fileIndex + 1;
    std::int64_t reached = 0;
    for (auto& output : outputStreams_) {
        if (output->fileIndex == fileIndex) {
            reached = std::max(reached, output->outputTime);
        }
    }
    for (auto& output : outputStreams_) {
        if (output->fileIndex != fileIndex) {
            continue;
        }
        for (auto& peer : outputStreams_) {
            if (peer->fileIndex != next || peer->streamIndex != output->streamIndex) {
                continue;
            }
            // The next input's part continues the same streams of the same file.
            peer->frameCount = output->frameCount;
            peer->syncCounter = output->syncCounter;
            peer->outputTime = output->outputTime;
            peer->wroteFrame = output->wroteFrame;
            peer->lastMuxedDts = output->lastMuxedDts;
            peer->lastQuality = output->lastQuality;
            peer->fifo = std::move(output->fifo);
            peer->audioFrame = std::move(output->audioFrame);
            peer->audioFrameCapacity = output->audioFrameCapacity;
            peer->active = true;
        }
        output->active = false;
    }
    engine_.inputs_[next]->timeOffset += reached;
    joinGroup_ = next;
}

void TranscodeSession::FinishRun() {
    for (auto& input : inputStreams_) {
        if (input->decodingNeeded && !input->flushed) {
            ProcessPacket(*input, nullptr);
            input->flushed = true;
        }
    }
    for (int entry = 0; entry < engine_.OutputCount(); ++entry) {
        if (engine_.JoinMode() && entry > 0) {
            break;
        }
        const int written = avformat.av_write_trailer(engine_.Output(entry).context);
        if (written < 0) {
            throw MediaError(media::FormatLibraryError("av_write_trailer()", written));
        }
    }
    Report(-1, true);
    CloseCodecs();
}

}  // namespace quillo::converter
