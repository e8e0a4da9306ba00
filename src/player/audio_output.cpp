#include "player/audio_output.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <thread>

#include "media/library_bindings.h"
#include "media/logger.h"
#include "player/clock_time.h"

namespace quillo::player {

namespace lib = media::lib;
using media::LoggerInstance;
using media::LogLevel;

namespace {

constexpr int kDeviceSamples = 1024;
// What the device gets when nothing is decoded: short, so that sound resumes quickly.
constexpr int kSilenceBytes = 1024;
// Room for the longest frames of the common decoders (FLAC's are up to 65535 samples), so
// that the buffer does not grow while a file plays.
constexpr int kOutputCapacitySamples = 65536;
constexpr int kBytesPerSample = 2;
// How often a decoder may refuse a packet before it is dropped: bounds the callback's work
// when a failing decoder neither gives output nor takes input.
constexpr int kMaxRefusals = 4;

}  // namespace

void AudioOutput::ConverterDeleter::operator()(SwrContext* converter) const {
    if (lib::swresample.swr_free != nullptr) {
        lib::swresample.swr_free(&converter);
    }
}

AudioOutput::AudioOutput(const media::MediaComponent* sender) : sender_(sender) {}

AudioOutput::~AudioOutput() {
    Close();
    if (lib::avutil.av_channel_layout_uninit != nullptr) {
        lib::avutil.av_channel_layout_uninit(&inputLayout_);
        lib::avutil.av_channel_layout_uninit(&outputLayout_);
    }
}

bool AudioOutput::Open(AVCodecContext* decoder, const AVStream* stream, PacketQueue* queue,
                       const AudioControls* controls, const std::atomic<bool>* paused,
                       SampleRing* ring) {
    Close();
    const int inputChannels = decoder->ch_layout.nb_channels;
    const int channels = inputChannels == 1 || inputChannels == 2 ? inputChannels : 2;
    if (decoder->sample_rate <= 0 || inputChannels <= 0) {
        LoggerInstance().Log(sender_, LogLevel::llError,
                             "SDL_OpenAudio() failed: the stream has no sample rate or channels");
        return false;
    }
    if (!packet_) {
        packet_.reset(lib::avcodec.av_packet_alloc());
    }
    if (!frame_) {
        frame_.reset(lib::avutil.av_frame_alloc());
    }
    if (!packet_ || !frame_) {
        LoggerInstance().Log(sender_, LogLevel::llError, "SDL_OpenAudio() failed: out of memory");
        return false;
    }

    decoder_ = decoder;
    stream_ = stream;
    queue_ = queue;
    controls_ = controls;
    paused_ = paused;
    ring_ = ring;
    channels_.store(channels);
    sampleRate_.store(decoder->sample_rate);
    streamDuration_.store(stream->duration == AV_NOPTS_VALUE || stream->duration < 0
                              ? -1
                              : lib::avutil.av_rescale_q(stream->duration, stream->time_base,
                                                         AVRational{1, AV_TIME_BASE}));
    lib::avutil.av_channel_layout_uninit(&outputLayout_);
    lib::avutil.av_channel_layout_default(&outputLayout_, channels);
    output_.assign(static_cast<std::size_t>(std::max(kOutputCapacitySamples, decoder->frame_size)) *
                       static_cast<std::size_t>(channels),
                   0);
    decodedClock_ = 0.0;
    clock_.store(0.0);
    outputSize_.store(0);
    outputIndex_.store(0);
    silent_.store(true);
    lastCallback_.store(-1);

    SDL_AudioSpec wanted{};
    wanted.freq = decoder->sample_rate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = static_cast<Uint8>(channels);
    wanted.silence = 0;
    wanted.samples = kDeviceSamples;
    wanted.callback = &AudioOutput::Callback;
    wanted.userdata = this;
    SDL_AudioSpec obtained{};
    // No changes allowed: SDL converts when the hardware plays another format.
    device_ = lib::sdl2.SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device_ == 0) {
        LoggerInstance().Log(sender_, LogLevel::llError,
                             std::string("SDL_OpenAudio() failed: ") + lib::sdl2.SDL_GetError());
        Close();
        return false;
    }
    lib::sdl2.SDL_PauseAudioDevice(device_, 0);
    return true;
}

void AudioOutput::Close() {
    if (device_ != 0) {
        // Returns once the callback has finished: nothing touches the decoder after this.
        if (lib::sdl2.SDL_CloseAudioDevice != nullptr) {
            lib::sdl2.SDL_CloseAudioDevice(device_);
        }
        device_ = 0;
    }
    converter_.reset();
    inputKnown_ = false;
    if (packet_ && lib::avcodec.av_packet_unref != nullptr) {
        lib::avcodec.av_packet_unref(packet_.get());
    }
    packetPending_ = false;
    if (frame_ && lib::avutil.av_frame_unref != nullptr) {
        lib::avutil.av_frame_unref(frame_.get());
    }
    decoder_ = nullptr;
    stream_ = nullptr;
    queue_ = nullptr;
    controls_ = nullptr;
    paused_ = nullptr;
    ring_ = nullptr;
    channels_.store(0);
    sampleRate_.store(0);
    outputSize_.store(0);
    outputIndex_.store(0);
    silent_.store(true);
}

void AudioOutput::Callback(void* userData, Uint8* stream, int length) {
    static_cast<AudioOutput*>(userData)->Fill(stream, length);
}

void AudioOutput::Fill(Uint8* stream, int length) {
    lastCallback_.store(NowMicroseconds());
    if (decoder_ == nullptr) {
        std::memset(stream, 0, static_cast<std::size_t>(std::max(0, length)));
        return;
    }
    const bool mute = controls_ != nullptr && controls_->mute.load();
    const int volume = controls_ != nullptr
                           ? std::clamp(controls_->volume.load(), 0, AudioControls::kFullVolume)
                           : AudioControls::kFullVolume;
    while (length > 0) {
        int index = outputIndex_.load();
        const int size = outputSize_.load();
        if (index >= size) {
            const int decoded = DecodeBlock();
            if (decoded < 0) {
                std::memset(output_.data(), 0, kSilenceBytes);
                StartBlock(kSilenceBytes, true);
            } else {
                if (ring_ != nullptr && decoded > 0) {
                    ring_->Write(output_.data(), decoded / kBytesPerSample);
                }
                StartBlock(decoded, false);
            }
            continue;
        }
        const int count = std::min(size - index, length);
        const Uint8* source = reinterpret_cast<const Uint8*>(output_.data()) + index;
        if (mute || volume == 0) {
            std::memset(stream, 0, static_cast<std::size_t>(count));
        } else if (volume == AudioControls::kFullVolume) {
            std::memcpy(stream, source, static_cast<std::size_t>(count));
        } else {
            // SDL's buffer holds whatever was there before: mixing needs a silent start.
            std::memset(stream, 0, static_cast<std::size_t>(count));
            lib::sdl2.SDL_MixAudioFormat(stream, source, AUDIO_S16SYS, static_cast<Uint32>(count),
                                         volume);
        }
        stream += count;
        length -= count;
        index += count;
        outputIndex_.store(index);
    }
}

void AudioOutput::StartBlock(int size, bool silent) {
    blockVersion_.fetch_add(1);
    if (!silent) {
        clock_.store(decodedClock_);
    }
    outputSize_.store(size);
    outputIndex_.store(0);
    silent_.store(silent);
    blockVersion_.fetch_add(1);
}

AudioOutput::BlockState AudioOutput::ReadBlock() const {
    for (;;) {
        const unsigned version = blockVersion_.load();
        if ((version & 1U) == 0) {
            BlockState block{clock_.load(), outputSize_.load(), outputIndex_.load(),
                             silent_.load()};
            if (blockVersion_.load() == version) {
                return block;
            }
        }
        std::this_thread::yield();
    }
}

double AudioOutput::Clock() const {
    const BlockState block = ReadBlock();
    const int rate = sampleRate_.load();
    const int channels = channels_.load();
    if (rate <= 0 || channels <= 0 || block.silent) {
        return block.clock;
    }
    const int waiting = std::max(0, block.size - block.index);
    return block.clock -
           static_cast<double>(waiting) / (static_cast<double>(rate) * kBytesPerSample * channels);
}

int AudioOutput::BytesWaiting() const {
    const BlockState block = ReadBlock();
    return block.silent ? 0 : std::max(0, block.size - block.index);
}

int AudioOutput::DecodeBlock() {
    int refusals = 0;
    for (;;) {
        const int received = lib::avcodec.avcodec_receive_frame(decoder_, frame_.get());
        if (received >= 0) {
            const int bytes = ConvertFrame();
            lib::avutil.av_frame_unref(frame_.get());
            if (bytes >= 0) {
                return bytes;
            }
            continue;
        }
        if (received == AVERROR_EOF) {
            // Drained after the end packet; a flushed decoder takes packets again after a seek.
            lib::avcodec.avcodec_flush_buffers(decoder_);
            DropConverterDelay();
            return -1;
        }
        if (received != AVERROR(EAGAIN)) {
            LoggerInstance().Log(sender_, LogLevel::llInfo, "avcodec_decode_audio2() failed");
        }

        if ((paused_ != nullptr && paused_->load()) || queue_->Aborted()) {
            return -1;
        }
        if (!packetPending_) {
            switch (queue_->Get(packet_.get(), false)) {
                case PacketQueue::Result::Aborted:
                case PacketQueue::Result::Empty:
                    return -1;
                case PacketQueue::Result::Flush:
                    // A seek: nothing decoded before it may be heard after it.
                    lib::avcodec.avcodec_flush_buffers(decoder_);
                    DropConverterDelay();
                    continue;
                case PacketQueue::Result::Packet:
                    packetPending_ = true;
                    break;
            }
        }
        const int sent = lib::avcodec.avcodec_send_packet(decoder_, packet_.get());
        if (sent == AVERROR(EAGAIN) && ++refusals < kMaxRefusals) {
            // The decoder has output to give first; the packet waits for the next turn.
            continue;
        }
        if (sent < 0) {
            LoggerInstance().Log(sender_, LogLevel::llInfo, "avcodec_decode_audio2() failed");
        }
        lib::avcodec.av_packet_unref(packet_.get());
        packetPending_ = false;
    }
}

void AudioOutput::PrepareConverter(const AVFrame* frame) {
    AVChannelLayout unordered{};
    const AVChannelLayout* layout = &frame->ch_layout;
    if (layout->order == AV_CHANNEL_ORDER_UNSPEC) {
        // Only a count: the converter needs to know which channel is which to down-mix.
        lib::avutil.av_channel_layout_default(&unordered, layout->nb_channels);
        layout = &unordered;
    }
    if (inputKnown_ && frame->format == inputFormat_ && frame->sample_rate == inputRate_ &&
        lib::avutil.av_channel_layout_compare(layout, &inputLayout_) == 0) {
        return;
    }
    converter_.reset();
    inputKnown_ = true;
    inputFormat_ = frame->format;
    inputRate_ = frame->sample_rate;
    lib::avutil.av_channel_layout_uninit(&inputLayout_);
    if (lib::avutil.av_channel_layout_copy(&inputLayout_, layout) < 0) {
        inputKnown_ = false;
    }

    SwrContext* made = nullptr;
    const auto format = static_cast<AVSampleFormat>(frame->format);
    // The layout is only read; the function's signature just lacks the const.
    if (lib::swresample.swr_alloc_set_opts2(
            &made, &outputLayout_, AV_SAMPLE_FMT_S16, sampleRate_.load(),
            const_cast<AVChannelLayout*>(layout), format, frame->sample_rate, 0, nullptr) < 0 ||
        lib::swresample.swr_init(made) < 0) {
        lib::swresample.swr_free(&made);
        const char* name = lib::avutil.av_get_sample_fmt_name(format);
        // Logged once per input: the same input is not tried again.
        LoggerInstance().LogFmt(sender_, LogLevel::llError,
                                "Cannot convert %s sample format to %s sample format",
                                name != nullptr ? name : "unknown", "s16");
        return;
    }
    converter_.reset(made);
}

void AudioOutput::DropConverterDelay() {
    // Re-initialising empties the resampler's buffered input.
    if (converter_ && lib::swresample.swr_init(converter_.get()) < 0) {
        converter_.reset();
        inputKnown_ = false;
    }
}

int AudioOutput::ConvertFrame() {
    const AVFrame* frame = frame_.get();
    PrepareConverter(frame);
    if (!converter_) {
        return -1;
    }
    const int channels = channels_.load();
    const int frameBytes = kBytesPerSample * channels;
    const int upperBound = lib::swresample.swr_get_out_samples(converter_.get(), frame->nb_samples);
    const auto needed = static_cast<std::size_t>(std::max(0, upperBound)) * channels;
    if (needed > output_.size()) {
        output_.resize(needed);  // an unusually long frame; kept for the next ones
    }
    auto* destination = reinterpret_cast<std::uint8_t*>(output_.data());
    const int capacity = static_cast<int>(output_.size() / static_cast<std::size_t>(channels));
    const int samples = lib::swresample.swr_convert(
        converter_.get(), &destination, capacity,
        const_cast<const std::uint8_t**>(frame->extended_data), frame->nb_samples);
    if (samples < 0) {
        LoggerInstance().Log(sender_, LogLevel::llError, "av_audio_convert() failed");
        return -1;
    }
    const int bytes = samples * frameBytes;
    if (frame->best_effort_timestamp != AV_NOPTS_VALUE) {
        decodedClock_ =
            static_cast<double>(frame->best_effort_timestamp) * av_q2d(stream_->time_base);
    }
    decodedClock_ += static_cast<double>(bytes) /
                     (static_cast<double>(frameBytes) * static_cast<double>(sampleRate_.load()));
    return bytes;
}

}  // namespace quillo::player
