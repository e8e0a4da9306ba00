// The progress report of a run: its figures, the report line, and the final summary.

#include <chrono>
#include <cmath>
#include <cstdio>

#include "converter/transcode_session.h"
#include "converter/transcoder.h"
#include "media/library_bindings.h"

namespace quillo::converter {

namespace {

using media::lib::avformat;

std::string Format(const char* format, auto... values) {
    char text[256];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

double Psnr(double error) {
    return -10.0 * std::log10(error);
}

}  // namespace

std::int64_t TranscodeSession::FirstOutputSize() const {
    if (engine_.OutputCount() == 0) {
        return 0;
    }
    const AVFormatContext& context = *engine_.Output(0).context;
    if ((context.oformat->flags & AVFMT_NOFILE) != 0 || context.pb == nullptr) {
        return 0;
    }
    const std::int64_t size = avformat.avio_size(context.pb);
    return size > 0 ? size : std::max<std::int64_t>(avformat.avio_seek(context.pb, 0, SEEK_CUR), 0);
}

void TranscodeSession::Report(int inputIndex, bool final) {
    const std::int64_t now = WallClockMicroseconds();
    const double elapsed = static_cast<double>(now - startWallTime_) / 1e6;
    const std::int64_t totalSize = FirstOutputSize();

    ProgressReport report;
    report.inputIndex = inputIndex;
    report.totalDuration = engine_.TotalDuration();
    std::string videoPart;
    std::string extraPart;
    bool firstVideo = true;
    double time = 1e10;
    for (const auto& entry : outputStreams_) {
        const OutputStreamState& output = *entry;
        if (output.active && output.stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            const float quality =
                output.encoder == nullptr || output.lastQuality < 0
                    ? -1.0F
                    : static_cast<float>(output.lastQuality) / static_cast<float>(FF_QP2LAMBDA);
            if (firstVideo) {
                if (output.frameCount == 0) {
                    return;  // nothing to tell before the first picture
                }
                firstVideo = false;
                report.frameNumber = output.frameCount;
                report.fps =
                    elapsed > 1.0 ? static_cast<int>(output.frameCount / elapsed + 0.5) : 0;
                report.quality = quality;
                videoPart = Format("frame=%5d fps=%3d q=%3.1f ", report.frameNumber, report.fps,
                                   static_cast<double>(quality));
                if (final) {
                    videoPart += "L";
                }
            } else {
                extraPart += Format("q=%2.1f ", static_cast<double>(quality));
            }
            if (options_.qpHistogram) {
                const long rounded = std::lround(quality);
                if (rounded >= 0 && rounded < static_cast<long>(qpHistogram_.size())) {
                    ++qpHistogram_[static_cast<std::size_t>(rounded)];
                }
                for (int q = 0; q < 32; ++q) {
                    extraPart += Format(
                        "%X", static_cast<unsigned>(std::lround(std::log2(qpHistogram_[q] + 1))));
                }
            }
            if (output.encoder != nullptr && (output.encoder->flags & AV_CODEC_FLAG_PSNR) != 0) {
                const AVCodecContext& encoder = *output.encoder;
                double scale = static_cast<double>(encoder.width) * encoder.height * 255.0 * 255.0;
                if (final) {
                    scale *= output.frameCount;
                }
                const std::uint64_t* errors = final ? output.totalError : output.lastError;
                double errorSum = 0;
                double scaleSum = 0;
                extraPart += "PSNR=";
                const char planes[] = {'Y', 'U', 'V'};
                for (int plane = 0; plane < 3; ++plane) {
                    const double planeScale = plane == 0 ? scale : scale / 4;
                    const auto error = static_cast<double>(errors[plane]);
                    extraPart += Format("%c:%2.2f ", planes[plane], Psnr(error / planeScale));
                    errorSum += error;
                    scaleSum += planeScale;
                }
                extraPart += Format("*:%2.2f ", Psnr(errorSum / scaleSum));
            }
        }
        // In join mode the parts already written stay at the time they reached.
        const double streamTime = static_cast<double>(output.outputTime) / 1e6;
        if (output.active && streamTime > 0 && streamTime < time) {
            time = streamTime;
        }
    }
    time = std::max(time, 0.01);

    const bool callback = static_cast<bool>(engine_.onProgress_);
    const double bitRate = static_cast<double>(totalSize) * 8.0 / time / 1000.0;
    report.bitRate = static_cast<float>(bitRate);
    report.totalSize = totalSize;
    report.time = static_cast<std::int64_t>(time * 1e6);
    if (callback || options_.verbose > 0 || final) {
        report.line = videoPart + extraPart +
                      Format("size=%8.0fkB time=%0.2f bitrate=%6.1fkbits/s",
                             static_cast<double>(totalSize) / 1024, time, bitRate);
        if (duplicatedFrames_ != 0 || droppedFrames_ != 0) {
            report.line += Format(" dup=%d drop=%d", duplicatedFrames_, droppedFrames_);
        }
        if (dupOrDropSeen_ && options_.verbose >= 0 && callback) {
            Log(media::LogLevel::llVerbose, report.line);
            dupOrDropSeen_ = false;
        }
    }
    if (callback) {
        engine_.onProgress_(engine_, report);
    } else if (options_.verbose >= 0 && !report.line.empty()) {
        Log(media::LogLevel::llVerbose, report.line);
    }

    if (final && options_.verbose >= 0) {
        const double sum = static_cast<double>(videoBytes_ + audioBytes_ + headerBytes_);
        const double overhead =
            sum > 0 ? 100.0 * (static_cast<double>(totalSize) - sum) / sum : 0.0;
        Log(media::LogLevel::llVerbose,
            Format("video:%1.0fkB audio:%1.0fkB global headers:%1.0fkB muxing overhead %f%%\r\n",
                   static_cast<double>(videoBytes_) / 1024, static_cast<double>(audioBytes_) / 1024,
                   static_cast<double>(headerBytes_) / 1024, overhead));
    }
}

}  // namespace quillo::converter
