// Video output: how often a decoded picture goes into the output (duplicate or drop against
// the output's frame clock), conversion to the encoder's size and format, and encoding.

#include <algorithm>
#include <cmath>
#include <cstdio>

extern "C" {
#include <libavutil/intreadwrite.h>
#include <libavutil/pixdesc.h>
}

#include "converter/transcode_session.h"
#include "converter/transcoder.h"
#include "media/library_bindings.h"
#include "media/media_error.h"

namespace quillo::converter {

namespace {

using media::MediaError;
using media::lib::avcodec;
using media::lib::avutil;

// Most pictures pass through a few buffers at most; the encoder's look-ahead holds the rest.
constexpr std::size_t PicturesBeforeWarning = 64;

int EvenBelow(long long value) {
    return static_cast<int>(value) & ~1;
}

}  // namespace

int TranscodeSession::FramesToEncode(OutputStreamState& output, double syncTime) {
    if (options_.videoSyncMethod == 0) {
        output.syncCounter = std::llrint(syncTime);
        return 1;
    }
    int frames = 1;
    const double delta = syncTime - static_cast<double>(output.syncCounter);
    const bool variableRate = options_.videoSyncMethod == 2 ||
                              (options_.videoSyncMethod < 0 &&
                               (output.file->context->oformat->flags & AVFMT_VARIABLE_FPS) != 0);
    if (delta < -1.1) {
        frames = 0;
    } else if (variableRate) {
        if (delta <= -0.6) {
            frames = 0;
        } else if (delta > 0.6) {
            output.syncCounter = std::llrint(syncTime);
        }
    } else if (delta > 1.1) {
        frames = static_cast<int>(std::llrint(delta));
    }
    if (frames == 0) {
        ++droppedFrames_;
        dupOrDropSeen_ = true;
        if (options_.verbose > 2) {
            Log(media::LogLevel::llVerbose, "*** drop!");
        }
    } else if (frames > 1) {
        duplicatedFrames_ += frames - 1;
        dupOrDropSeen_ = true;
        if (options_.verbose > 2) {
            Log(media::LogLevel::llVerbose, "*** " + std::to_string(frames - 1) + " dup!");
        }
    }
    return frames;
}

void TranscodeSession::VideoOut(OutputStreamState& output, InputStreamState& input,
                                AVFrame* picture) {
    AVCodecContext& encoder = *output.encoder;
    const double syncTime =
        static_cast<double>(output.syncSource->currentTime - options_.startTime) / 1e6 /
        av_q2d(encoder.time_base);
    int frames = FramesToEncode(output, syncTime);
    frames = std::min(frames, options_.maxVideoFrames - output.frameCount);
    if (frames <= 0) {
        return;
    }
    AVFrame* frame = ConvertPicture(output, input, picture);
    if (frame == nullptr) {
        return;
    }
    const bool interlacedCoding =
        (encoder.flags & (AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME)) != 0;
    const AVPictureType pictureType = picture->pict_type;
    const int quality = picture->quality;
    const int interlaced = picture->interlaced_frame;
    const int topFieldFirst = picture->top_field_first;
    for (int i = 0; i < frames && !engine_.StopRequested(); ++i) {
        engine_.WaitWhilePaused();
        frame->pts = output.syncCounter;
        frame->pict_type = options_.meThreshold != 0 ? pictureType : AV_PICTURE_TYPE_NONE;
        frame->quality = options_.sameQuality ? quality : encoder.global_quality;
        frame->interlaced_frame = interlaced;
        if (interlacedCoding) {
            frame->top_field_first =
                options_.topFieldFirst == -1 ? topFieldFirst : options_.topFieldFirst;
        }
        EncodeVideo(output, frame);
        hooks_.Preview(*frame,
                       avutil.av_rescale_q(output.syncCounter, encoder.time_base, Microseconds));
        ++output.syncCounter;
        ++output.frameCount;
        output.outputTime =
            avutil.av_rescale_q(output.syncCounter, encoder.time_base, Microseconds);
    }
}

AVFrame* TranscodeSession::ConvertPicture(OutputStreamState& output, InputStreamState& input,
                                          AVFrame* picture) {
    if (output.filterGraph) {
        return picture;
    }
    const auto format = static_cast<AVPixelFormat>(picture->format);
    int croppedWidth = picture->width - output.cropLeft - output.cropRight;
    int croppedHeight = picture->height - output.cropTop - output.cropBottom;
    if (croppedWidth != output.resampleWidth || croppedHeight != output.resampleHeight ||
        format != output.resamplePixelFormat) {
        char text[256];
        std::snprintf(text, sizeof text, "Input Stream #%d.%d frame size changed to %dx%d, %s",
                      input.fileIndex, input.streamIndex, picture->width, picture->height,
                      avutil.av_get_pix_fmt_name(format));
        Log(media::LogLevel::llQuiet, text);
        if (output.crop && output.firstInputWidth > 0 && output.firstInputHeight > 0) {
            output.cropTop =
                EvenBelow(1LL * output.firstCropTop * picture->height / output.firstInputHeight);
            output.cropBottom =
                EvenBelow(1LL * output.firstCropBottom * picture->height / output.firstInputHeight);
            output.cropLeft =
                EvenBelow(1LL * output.firstCropLeft * picture->width / output.firstInputWidth);
            output.cropRight =
                EvenBelow(1LL * output.firstCropRight * picture->width / output.firstInputWidth);
            croppedWidth = picture->width - output.cropLeft - output.cropRight;
            croppedHeight = picture->height - output.cropTop - output.cropBottom;
        }
        RemakeScaler(output, *picture);
    }

    if (!output.resample) {
        if (!output.crop) {
            return picture;
        }
        AVFrame* cropped = output.cropped.get();
        if (cropped == nullptr) {
            output.cropped.reset(avutil.av_frame_alloc());
            cropped = output.cropped.get();
        }
        avutil.av_frame_unref(cropped);
        bool croppedOk = cropped != nullptr && avutil.av_frame_ref(cropped, picture) >= 0;
        if (croppedOk) {
            cropped->crop_top = static_cast<std::size_t>(output.cropTop);
            cropped->crop_bottom = static_cast<std::size_t>(output.cropBottom);
            cropped->crop_left = static_cast<std::size_t>(output.cropLeft);
            cropped->crop_right = static_cast<std::size_t>(output.cropRight);
            croppedOk = avutil.av_frame_apply_cropping(cropped, AV_FRAME_CROP_UNALIGNED) >= 0;
        }
        if (!croppedOk) {
            if (options_.exitOnError) {
                throw MediaError("error cropping picture");
            }
            Log(media::LogLevel::llError, "error cropping picture");
            return nullptr;
        }
        return cropped;
    }

    // Scale from the picture's cropped area, found by offsetting each plane's start.
    const std::uint8_t* source[4] = {};
    const AVPixFmtDescriptor* descriptor = avutil.av_pix_fmt_desc_get(format);
    const int planes = avutil.av_pix_fmt_count_planes(format);
    for (int plane = 0; plane < planes && plane < 4; ++plane) {
        const bool chroma = plane == 1 || plane == 2;
        const int top = chroma && descriptor != nullptr
                            ? output.cropTop >> descriptor->log2_chroma_h
                            : output.cropTop;
        const int left =
            output.cropLeft > 0 ? avutil.av_image_get_linesize(format, output.cropLeft, plane) : 0;
        source[plane] = picture->data[plane] +
                        static_cast<std::ptrdiff_t>(top) * picture->linesize[plane] +
                        std::max(left, 0);
    }
    AVFrame* target = WritablePicture(output);
    media::lib::swscale.sws_scale(output.scaler.get(), source, picture->linesize, 0, croppedHeight,
                                  target->data, target->linesize);
    target->sample_aspect_ratio = output.encoder->sample_aspect_ratio;
    return target;
}

void TranscodeSession::RemakeScaler(OutputStreamState& output, const AVFrame& picture) {
    const AVCodecContext& encoder = *output.encoder;
    const auto format = static_cast<AVPixelFormat>(picture.format);
    const int croppedWidth = picture.width - output.cropLeft - output.cropRight;
    const int croppedHeight = picture.height - output.cropTop - output.cropBottom;
    output.resampleWidth = croppedWidth;
    output.resampleHeight = croppedHeight;
    output.resamplePixelFormat = format;
    output.resample = croppedWidth != encoder.width || croppedHeight != encoder.height ||
                      format != encoder.pix_fmt;
    if (!output.resample) {
        output.scaler.reset();
        return;
    }
    std::int64_t flags = SWS_BICUBIC;
    if (avutil.av_opt_get_int(&engine_.LibraryOptions().Scaler(), "sws_flags", 0, &flags) < 0) {
        flags = SWS_BICUBIC;
    }
    if (!output.scaler) {
        ++engine_.scalersMade_;
    }
    SwsContext* remade = media::lib::swscale.sws_getCachedContext(
        output.scaler.release(), croppedWidth, croppedHeight, format, encoder.width, encoder.height,
        encoder.pix_fmt, static_cast<int>(flags), nullptr, nullptr, nullptr);
    output.scaler.reset(remade);
    if (!output.scaler) {
        throw MediaError("Cannot get resampling context");
    }
}

AVFrame* TranscodeSession::WritablePicture(OutputStreamState& output) {
    for (auto& picture : output.pictures) {
        if (avutil.av_frame_is_writable(picture.get()) != 0) {
            return picture.get();
        }
    }
    // Every picture made so far is still held by the encoder: make one more.
    const AVCodecContext& encoder = *output.encoder;
    media::FramePtr picture(avutil.av_frame_alloc());
    if (!picture) {
        throw MediaError("Cannot allocate temp picture, check pix fmt");
    }
    picture->format = encoder.pix_fmt;
    picture->width = encoder.width;
    picture->height = encoder.height;
    if (avutil.av_frame_get_buffer(picture.get(), 0) < 0) {
        throw MediaError("Cannot allocate temp picture, check pix fmt");
    }
    if (output.pictures.size() == PicturesBeforeWarning) {
        Log(media::LogLevel::llWarning, "The encoder holds back many pictures");
    }
    output.pictures.push_back(std::move(picture));
    return output.pictures.back().get();
}

void TranscodeSession::EncodeVideo(OutputStreamState& output, AVFrame* frame) {
    const int sent = avcodec.avcodec_send_frame(output.encoder, frame);
    if (sent < 0 && sent != AVERROR_EOF) {
        throw MediaError("Video encoding failed");
    }
    // The statistics count the frame being encoded as one of the stream's frames.
    ReceiveVideoPackets(output, output.frameCount + (frame != nullptr ? 1 : 0));
}

void TranscodeSession::ReceiveVideoPackets(OutputStreamState& output, int frameNumber) {
    AVCodecContext& encoder = *output.encoder;
    for (;;) {
        const int received = avcodec.avcodec_receive_packet(&encoder, encoded_.get());
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) {
            return;
        }
        if (received < 0) {
            throw MediaError("Video encoding failed");
        }
        NoteCodedPicture(output, *encoded_);
        const int size = encoded_->size;
        videoBytes_ += size;
        WritePacket(output, encoded_.get(), encoder.time_base);
        if (!options_.videoStatsFileName.empty()) {
            WriteVideoStatistics(output, frameNumber, size);
        }
        WritePassOneStatistics(output);
    }
}

void TranscodeSession::NoteCodedPicture(OutputStreamState& output, const AVPacket& packet) {
    std::size_t size = 0;
    const std::uint8_t* stats =
        avcodec.av_packet_get_side_data(&packet, AV_PKT_DATA_QUALITY_STATS, &size);
    if (stats == nullptr || size < 5) {
        return;
    }
    output.lastQuality = static_cast<int>(AV_RL32(stats));
    output.lastPictureType = avutil.av_get_picture_type_char(static_cast<AVPictureType>(stats[4]));
    const int errors = size >= 6 ? stats[5] : 0;
    for (int plane = 0; plane < 3; ++plane) {
        output.lastError[plane] = 0;
        if (plane < errors && size >= 8 + 8 * static_cast<std::size_t>(plane + 1)) {
            output.lastError[plane] = AV_RL64(stats + 8 + 8 * plane);
            output.totalError[plane] += output.lastError[plane];
        }
    }
}

void TranscodeSession::WritePassOneStatistics(OutputStreamState& output) {
    if (output.passLogFile && output.encoder->stats_out != nullptr) {
        std::fputs(output.encoder->stats_out, output.passLogFile.get());
    }
}

void TranscodeSession::WriteVideoStatistics(const OutputStreamState& output, int frameNumber,
                                            int frameSize) {
    if (!videoStatistics_) {
        videoStatistics_.reset(std::fopen(options_.videoStatsFileName.c_str(), "w"));
        if (!videoStatistics_) {
            throw MediaError("fopen fail: " + options_.videoStatsFileName);
        }
    }
    const AVCodecContext& encoder = *output.encoder;
    std::FILE* file = videoStatistics_.get();
    std::fprintf(file, "frame= %5d q= %2.1f ", frameNumber,
                 static_cast<double>(output.lastQuality) / FF_QP2LAMBDA);
    if ((encoder.flags & AV_CODEC_FLAG_PSNR) != 0) {
        const double scale = static_cast<double>(encoder.width) * encoder.height * 255.0 * 255.0;
        std::fprintf(file, "PSNR= %6.2f ",
                     -10.0 * std::log10(static_cast<double>(output.lastError[0]) / scale));
    }
    std::fprintf(file, "f_size= %6d ", frameSize);
    const double timeBase = av_q2d(encoder.time_base);
    const double time = std::max(static_cast<double>(output.syncCounter) * timeBase, 0.01);
    const double bitRate = frameSize * 8.0 / timeBase / 1000.0;
    const double averageBitRate = static_cast<double>(videoBytes_) * 8.0 / time / 1000.0;
    std::fprintf(file, "s_size= %8.0fkB time= %0.3f br= %7.1fkbits/s avg_br= %7.1fkbits/s ",
                 static_cast<double>(videoBytes_) / 1024, time, bitRate, averageBitRate);
    std::fprintf(file, "type= %c\n", output.lastPictureType);
}

}  // namespace quillo::converter
