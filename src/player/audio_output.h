#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

#include <SDL2/SDL_audio.h>

#include "media/library_pointers.h"
#include "media/media_component.h"
#include "player/audio_controls.h"
#include "player/audio_waveform.h"
#include "player/packet_queue.h"

namespace quillo::player {

// Plays one audio stream through an SDL audio device. The device pulls sound from a callback
// on SDL's audio thread; the callback takes packets from the stream's queue without waiting,
// decodes them, converts them to signed 16-bit interleaved samples (down-mixing more than two
// channels to stereo), applies mute and volume and keeps the audio clock: the time of the
// sound the device is about to play, which the video follows. While the playback is paused,
// or when no packet is waiting, the device plays silence and the clock stands still.
// SDL's audio subsystem must be initialised before Open. Needs avcodec, avutil, swresample
// and SDL2.
class AudioOutput {
public:
    // sender names the player in log lines.
    explicit AudioOutput(const media::MediaComponent* sender);
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;
    ~AudioOutput();

    // Opens the device for an opened decoder of stream and starts it. The queue (already
    // started), the controls, the paused flag and the ring (null: no waveform) must outlive
    // the output; null controls play at full volume, a null paused flag never pauses. False,
    // after logging "SDL_OpenAudio() failed: " and SDL's error, when the device cannot be
    // opened.
    bool Open(AVCodecContext* decoder, const AVStream* stream, PacketQueue* queue,
              const AudioControls* controls, const std::atomic<bool>* paused, SampleRing* ring);
    // Stops and closes the device and frees the converter; the decoder may be closed after.
    // Safe to call again.
    void Close();
    bool IsOpen() const { return device_ != 0; }
    // The open device, for SDL_LockAudioDevice; 0 while closed.
    SDL_AudioDeviceID Device() const { return device_; }

    // What the device callback does: writes length bytes of sound into stream, decoding as
    // needed, silence when there is nothing to play. Besides the device, only a caller that
    // holds the device lock (SDL_LockAudioDevice) while the output is open may call it.
    void Fill(Uint8* stream, int length);

    // The presentation time, in seconds, of the sound the device gets next: the time of the
    // end of what was decoded, less what still waits in the output buffer. Silence played
    // while nothing is decoded does not move it.
    double Clock() const;
    // The output's format: what the device plays; 0 while closed.
    int Channels() const { return channels_.load(); }
    int SampleRate() const { return sampleRate_.load(); }
    // Decoded bytes not yet handed to the device.
    int BytesWaiting() const;
    // NowMicroseconds() of the last callback; -1 before the first.
    std::int64_t LastCallbackMicroseconds() const { return lastCallback_.load(); }
    // The stream's own duration in microseconds, -1 when it has none.
    std::int64_t StreamDurationMicroseconds() const { return streamDuration_.load(); }

private:
    struct ConverterDeleter {
        void operator()(SwrContext* converter) const;
    };
    // What the device plays from: the current block of the output buffer, read as one.
    struct BlockState {
        double clock = 0.0;
        int size = 0;
        int index = 0;
        bool silent = true;
    };

    static void Callback(void* userData, Uint8* stream, int length);
    // Decodes the next block of sound into the output buffer; its byte count, or -1 when
    // there is nothing to play now.
    int DecodeBlock();
    // Converts frame_ into the output buffer and moves decodedClock_ past it; its byte
    // count, or -1 when the frame cannot be converted.
    int ConvertFrame();
    // Makes the converter for the frame's input when that input differs from the last one.
    void PrepareConverter(const AVFrame* frame);
    void DropConverterDelay();
    void StartBlock(int size, bool silent);
    BlockState ReadBlock() const;

    const media::MediaComponent* sender_;
    AVCodecContext* decoder_ = nullptr;
    const AVStream* stream_ = nullptr;
    PacketQueue* queue_ = nullptr;
    const AudioControls* controls_ = nullptr;
    const std::atomic<bool>* paused_ = nullptr;
    SampleRing* ring_ = nullptr;
    SDL_AudioDeviceID device_ = 0;

    std::atomic<int> channels_{0};
    std::atomic<int> sampleRate_{0};
    std::atomic<std::int64_t> streamDuration_{-1};

    // Only the callback (or a Fill caller holding the device lock) touches these.
    media::PacketPtr packet_;
    media::FramePtr frame_;
    bool packetPending_ = false;  // packet_ holds data the decoder has not taken yet
    std::unique_ptr<SwrContext, ConverterDeleter> converter_;
    bool inputKnown_ = false;  // the converter (or its failure) belongs to the input below
    int inputFormat_ = AV_SAMPLE_FMT_NONE;
    int inputRate_ = 0;
    AVChannelLayout inputLayout_{};
    AVChannelLayout outputLayout_{};
    std::vector<std::int16_t> output_;  // converted samples of the current block
    double decodedClock_ = 0.0;         // the time of the end of the decoded sound

    // The block the device plays from, shared with Clock() and BytesWaiting(). The callback
    // makes blockVersion_ odd while it replaces the block, so that a reader never mixes the
    // clock of one block with the size of another.
    std::atomic<unsigned> blockVersion_{0};
    std::atomic<double> clock_{0.0};
    std::atomic<int> outputSize_{0};
    std::atomic<int> outputIndex_{0};
    std::atomic<bool> silent_{true};
    std::atomic<std::int64_t> lastCallback_{-1};
};

}  // namespace quillo::player
