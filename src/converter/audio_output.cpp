// Audio output: conversion to the encoder's sample format, rate and channels, keeping the
// sound in step with its timestamps (silence, trimming, drift compensation), and framing the
// samples the way the encoder wants them.

#include <algorithm>
#include <cmath>
#include <cstdio>

extern "C" {
#include <libavutil/opt.h>
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
using media::lib::swresample;

std::string Format(const char* format, auto... values) {
    char text[256];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

// Gives frame room for capacity samples of the encoder's kind, keeping what it had otherwise.
void EnsureSamples(media::FramePtr& frame, int& capacity, const AVCodecContext& encoder,
                   int samples) {
    if (frame && capacity >= samples && avutil.av_frame_is_writable(frame.get()) != 0) {
        return;
    }
    if (!frame) {
        frame.reset(avutil.av_frame_alloc());
        if (!frame) {
            throw MediaError("Out of memory in do_audio_out");
        }
    }
    avutil.av_frame_unref(frame.get());
    const int wanted = std::max(samples, capacity);
    frame->format = encoder.sample_fmt;
    frame->sample_rate = encoder.sample_rate;
    frame->nb_samples = wanted;
    if (avutil.av_channel_layout_copy(&frame->ch_layout, &encoder.ch_layout) < 0 ||
        avutil.av_frame_get_buffer(frame.get(), 0) < 0) {
        throw MediaError("Out of memory in do_audio_out");
    }
    capacity = wanted;
}

}  // namespace

void TranscodeSession::MakeResampler(OutputStreamState& output, const AVFrame& samples) {
    const AVCodecContext& encoder = *output.encoder;
    SwrContext* made = nullptr;
    const auto format = static_cast<AVSampleFormat>(samples.format);
    AVChannelLayout outputLayout = encoder.ch_layout;
    AVChannelLayout inputLayout = samples.ch_layout;
    int result = swresample.swr_alloc_set_opts2(&made, &outputLayout, encoder.sample_fmt,
                                                encoder.sample_rate, &inputLayout, format,
                                                samples.sample_rate, 0, nullptr);
    SwrContextPtr resampler(made);
    if (result >= 0) {
        avutil.av_opt_set_int(made, "filter_size", 16, 0);
        avutil.av_opt_set_int(made, "phase_shift", 10, 0);
        avutil.av_opt_set_int(made, "linear_interp", 0, 0);
        avutil.av_opt_set_double(made, "cutoff", 0.8, 0);
        result = swresample.swr_init(made);
    }
    if (result < 0) {
        throw MediaError(Format("Can not resample %d channels @ %d Hz to %d channels @ %d Hz",
                                samples.ch_layout.nb_channels, samples.sample_rate,
                                encoder.ch_layout.nb_channels, encoder.sample_rate));
    }
    output.resampler = std::move(resampler);
    output.resamplerInputFormat = format;
    output.resamplerInputRate = samples.sample_rate;
    avutil.av_channel_layout_uninit(&output.resamplerInputLayout);
    avutil.av_channel_layout_copy(&output.resamplerInputLayout, &samples.ch_layout);
}

void TranscodeSession::AudioOut(OutputStreamState& output, InputStreamState& input,
                                AVFrame* samples) {
    AVCodecContext& encoder = *output.encoder;
    if (!output.fifo) {
        output.fifo.reset(
            avutil.av_audio_fifo_alloc(encoder.sample_fmt, encoder.ch_layout.nb_channels, 1024));
        if (!output.fifo) {
            throw MediaError("av_fifo_alloc fail");
        }
    }
    const auto format = static_cast<AVSampleFormat>(samples->format);
    const bool convert =
        output.audioResample || format != encoder.sample_fmt ||
        samples->sample_rate != encoder.sample_rate ||
        avutil.av_channel_layout_compare(&samples->ch_layout, &encoder.ch_layout) != 0;
    if (convert && (!output.resampler || output.resamplerInputFormat != format ||
                    output.resamplerInputRate != samples->sample_rate ||
                    avutil.av_channel_layout_compare(&output.resamplerInputLayout,
                                                     &samples->ch_layout) != 0)) {
        MakeResampler(output, *samples);
    } else if (!convert) {
        output.resampler.reset();
    }

    const int encoderRate = encoder.sample_rate;
    const int decoderRate = samples->sample_rate;
    const double syncTime =
        static_cast<double>(output.syncSource->currentTime - options_.startTime) / 1e6;
    // Samples converted but not encoded yet, and those the resampler still holds, come
    // before these: the next sample to encode is that far ahead of the block's time.
    const std::int64_t held =
        output.resampler ? swresample.swr_get_delay(output.resampler.get(), encoderRate) : 0;
    const std::int64_t queued = avutil.av_audio_fifo_size(output.fifo.get()) + held;
    int skip = 0;
    if (options_.audioSyncMethod != 0) {
        const double delta = syncTime * encoderRate - static_cast<double>(output.syncCounter) -
                             static_cast<double>(queued);
        const double inputDelta = delta * decoderRate / encoderRate;
        const int sampleDelta = static_cast<int>(inputDelta);
        if (std::fabs(delta) > 50) {
            if (input.atStart || std::fabs(delta) > options_.audioDriftThreshold * encoderRate) {
                if (sampleDelta < 0) {
                    skip = std::min(-sampleDelta, samples->nb_samples);
                    if (options_.verbose > 2) {
                        Log(media::LogLevel::llVerbose,
                            Format("discarding %d audio samples", -sampleDelta));
                    }
                } else if (sampleDelta > 0) {
                    if (options_.verbose > 2) {
                        Log(media::LogLevel::llVerbose,
                            Format("adding %d audio samples of silence", sampleDelta));
                    }
                    AddSilence(output, sampleDelta);
                }
                input.atStart = false;
                if (skip >= samples->nb_samples) {
                    return;
                }
            } else if (options_.audioSyncMethod > 1) {
                const int compensation = std::clamp(
                    static_cast<int>(delta), -options_.audioSyncMethod, options_.audioSyncMethod);
                if (options_.verbose > 2) {
                    Log(media::LogLevel::llVerbose,
                        Format("compensating audio timestamp drift:%f compensation:%d in:%d", delta,
                               compensation, encoderRate));
                }
                if (!output.resampler) {
                    throw MediaError("Assertion failure");
                }
                swresample.swr_set_compensation(output.resampler.get(), compensation, encoderRate);
            }
        }
    } else {
        output.syncCounter = std::llrint(syncTime * encoderRate) - queued;
    }

    AppendSamples(output, *samples, skip);
    EncodeAudioFromFifo(output, false);
}

void TranscodeSession::AddSilence(OutputStreamState& output, int samples) {
    if (output.resampler) {
        // Silence of the input's kind, placed before the samples still to come.
        swresample.swr_inject_silence(output.resampler.get(), samples);
        return;
    }
    const AVCodecContext& encoder = *output.encoder;
    EnsureSamples(output.silence, output.silenceCapacity, encoder, samples);
    avutil.av_samples_set_silence(output.silence->extended_data, 0, samples,
                                  encoder.ch_layout.nb_channels, encoder.sample_fmt);
    if (avutil.av_audio_fifo_write(output.fifo.get(),
                                   reinterpret_cast<void**>(output.silence->extended_data),
                                   samples) < samples) {
        throw MediaError("av_fifo_realloc2() failed");
    }
}

void TranscodeSession::AppendSamples(OutputStreamState& output, const AVFrame& samples, int skip) {
    const auto format = static_cast<AVSampleFormat>(samples.format);
    const int channels = samples.ch_layout.nb_channels;
    const bool planar = avutil.av_sample_fmt_is_planar(format) != 0;
    const int bytesPerSample = avutil.av_get_bytes_per_sample(format);
    const int count = samples.nb_samples - skip;
    const int planes = planar ? channels : 1;
    planes_.resize(static_cast<std::size_t>(planes));
    for (int plane = 0; plane < planes; ++plane) {
        planes_[plane] = samples.extended_data[plane] + static_cast<std::ptrdiff_t>(skip) *
                                                            bytesPerSample *
                                                            (planar ? 1 : channels);
    }

    if (!output.resampler) {
        if (avutil.av_audio_fifo_write(
                output.fifo.get(),
                reinterpret_cast<void**>(const_cast<std::uint8_t**>(planes_.data())),
                count) < count) {
            throw MediaError("av_fifo_realloc2() failed");
        }
        return;
    }
    const AVCodecContext& encoder = *output.encoder;
    const int room = swresample.swr_get_out_samples(output.resampler.get(), count);
    if (room < 0) {
        throw MediaError("Buffer sizes too large in do_audio_out");
    }
    EnsureSamples(output.converted, output.convertedCapacity, encoder, room);
    const int converted = swresample.swr_convert(
        output.resampler.get(), output.converted->extended_data, room, planes_.data(), count);
    if (converted < 0) {
        if (options_.exitOnError) {
            throw MediaError("av_audio_convert() failed");
        }
        Log(media::LogLevel::llError, "av_audio_convert() failed");
        return;
    }
    if (avutil.av_audio_fifo_write(output.fifo.get(),
                                   reinterpret_cast<void**>(output.converted->extended_data),
                                   converted) < converted) {
        throw MediaError("av_fifo_realloc2() failed");
    }
}

AVFrame& TranscodeSession::AudioFrame(OutputStreamState& output, int samples) {
    EnsureSamples(output.audioFrame, output.audioFrameCapacity, *output.encoder, samples);
    output.audioFrame->nb_samples = samples;
    return *output.audioFrame;
}

void TranscodeSession::EncodeAudioFromFifo(OutputStreamState& output, bool flushing) {
    if (!output.fifo) {
        return;
    }
    AVCodecContext& encoder = *output.encoder;
    AVAudioFifo* fifo = output.fifo.get();
    const int frameSize = encoder.frame_size;
    if (frameSize <= 1) {
        // Encoders of any frame length (PCM and the like) take everything at once.
        const int available = avutil.av_audio_fifo_size(fifo);
        if (available > 0) {
            AVFrame& frame = AudioFrame(output, available);
            avutil.av_audio_fifo_read(fifo, reinterpret_cast<void**>(frame.extended_data),
                                      available);
            SendAudio(output, &frame);
        }
        return;
    }
    while (avutil.av_audio_fifo_size(fifo) >= frameSize) {
        AVFrame& frame = AudioFrame(output, frameSize);
        avutil.av_audio_fifo_read(fifo, reinterpret_cast<void**>(frame.extended_data), frameSize);
        SendAudio(output, &frame);
    }
    const int left = avutil.av_audio_fifo_size(fifo);
    if (!flushing || left == 0) {
        return;
    }
    const bool shortLastFrame =
        (encoder.codec->capabilities &
         (AV_CODEC_CAP_SMALL_LAST_FRAME | AV_CODEC_CAP_VARIABLE_FRAME_SIZE)) != 0;
    AVFrame& frame = AudioFrame(output, shortLastFrame ? left : frameSize);
    avutil.av_audio_fifo_read(fifo, reinterpret_cast<void**>(frame.extended_data), left);
    if (!shortLastFrame) {
        avutil.av_samples_set_silence(frame.extended_data, left, frameSize - left,
                                      encoder.ch_layout.nb_channels, encoder.sample_fmt);
    }
    SendAudio(output, &frame);
}

void TranscodeSession::SendAudio(OutputStreamState& output, AVFrame* frame) {
    AVCodecContext& encoder = *output.encoder;
    if (frame != nullptr) {
        engine_.WaitWhilePaused();
        frame->pts = output.syncCounter;
    }
    const int sent = avcodec.avcodec_send_frame(&encoder, frame);
    if (sent < 0 && sent != AVERROR_EOF) {
        throw MediaError("Audio encoding failed");
    }
    if (frame != nullptr) {
        output.syncCounter += frame->nb_samples;
        output.frameCount += 1;
        output.outputTime = avutil.av_rescale_q(output.syncCounter,
                                                AVRational{1, encoder.sample_rate}, Microseconds);
    }
    for (;;) {
        const int received = avcodec.avcodec_receive_packet(&encoder, encoded_.get());
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) {
            return;
        }
        if (received < 0) {
            throw MediaError("Audio encoding failed");
        }
        audioBytes_ += encoded_->size;
        WritePacket(output, encoded_.get(), encoder.time_base);
    }
}

}  // namespace quillo::converter
