#pragma once

// What one run of a task works with: the input and output stream tables and each stream's
// decoding, conversion and encoding state. It lives from the start of the run to its end.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libswresample/swresample.h>
}

#include "converter/video_filter_graph.h"
#include "media/library_pointers.h"

namespace quillo::converter {

class OutputFile;
struct OutputStream;

struct SwrContextDeleter {
    void operator()(SwrContext* context) const {
        if (media::lib::swresample.swr_free != nullptr) {
            media::lib::swresample.swr_free(&context);
        }
    }
};
struct AudioFifoDeleter {
    void operator()(AVAudioFifo* fifo) const {
        if (media::lib::avutil.av_audio_fifo_free != nullptr) {
            media::lib::avutil.av_audio_fifo_free(fifo);
        }
    }
};
struct BsfContextDeleter {
    void operator()(AVBSFContext* context) const {
        if (media::lib::avcodec.av_bsf_free != nullptr) {
            media::lib::avcodec.av_bsf_free(&context);
        }
    }
};
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using SwrContextPtr = std::unique_ptr<SwrContext, SwrContextDeleter>;
using AudioFifoPtr = std::unique_ptr<AVAudioFifo, AudioFifoDeleter>;
using BsfContextPtr = std::unique_ptr<AVBSFContext, BsfContextDeleter>;
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

inline constexpr std::int64_t NoTime = AV_NOPTS_VALUE;
inline constexpr AVRational Microseconds{1, 1'000'000};

// A monotonic clock for pacing and reports.
inline std::int64_t WallClockMicroseconds() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct InputStreamState {
    int fileIndex = 0;
    int streamIndex = 0;  // within its file
    AVStream* stream = nullptr;
    bool discard = true;  // until an output stream takes it
    bool decodingNeeded = false;
    media::CodecContextPtr decoder;  // open while decodingNeeded and the run goes on
    std::int64_t nextTime = NoTime;  // microseconds, expected time of the next frame
    std::int64_t currentTime = 0;    // microseconds, time of the frame being handled
    bool atStart = true;
    bool pastRecordingTime = false;
    bool flushed = false;
    bool multipleFramesLogged = false;
    std::int64_t wallClockStart = 0;  // with rate emulation
    // With "deinterlace": the filter, made for pictures of this size and format.
    std::unique_ptr<VideoFilterGraph> deinterlacer;
    int deinterlacerWidth = 0;
    int deinterlacerHeight = 0;
    AVPixelFormat deinterlacerFormat = AV_PIX_FMT_NONE;
};

// While it lives, the input's current time is that of a picture a filter handed out later
// than it came in (NoTime: the input's own time stays).
class PictureTime {
public:
    PictureTime(InputStreamState& input, std::int64_t time)
        : input_(input), saved_(input.currentTime) {
        if (time != NoTime) {
            input.currentTime = time;
        }
    }
    ~PictureTime() { input_.currentTime = saved_; }
    PictureTime(const PictureTime&) = delete;
    PictureTime& operator=(const PictureTime&) = delete;

private:
    InputStreamState& input_;
    std::int64_t saved_;
};

struct InputFileState {
    int firstStream = 0;  // index of its first entry in the input stream table
    int streamCount = 0;
    bool endOfFile = false;
    bool noPacket = false;
};

struct OutputStreamState {
    OutputStreamState() = default;
    OutputStreamState(const OutputStreamState&) = delete;
    OutputStreamState& operator=(const OutputStreamState&) = delete;
    ~OutputStreamState() {
        if (media::lib::avutil.av_channel_layout_uninit != nullptr) {
            media::lib::avutil.av_channel_layout_uninit(&resamplerInputLayout);
        }
    }

    int fileIndex = 0;    // entry of the output list (in join mode one per input)
    int streamIndex = 0;  // within its output
    int sourceIndex = 0;  // the input stream feeding it
    OutputFile* file = nullptr;
    OutputStream* output = nullptr;  // the stream and its encoder
    AVStream* stream = nullptr;
    AVCodecContext* encoder = nullptr;  // null for a copied stream
    bool encodingNeeded = false;
    bool active = true;  // in join mode only the current input's group
    int frameCount = 0;
    InputStreamState* syncSource = nullptr;
    std::int64_t syncCounter = 0;  // encoder time-base units: frames or samples
    std::int64_t outputTime = 0;   // microseconds reached, for the input choice and reports
    std::vector<BsfContextPtr> bitstreamFilters;
    std::vector<std::string> bitstreamFilterNames;
    std::vector<media::PacketPtr> filterPackets;  // one per bitstream filter
    std::int64_t lastMuxedDts = NoTime;           // in the stream's time base
    bool wroteFrame = false;

    // Video: crop and scale by the scaler, or a filter graph.
    bool resample = false;
    media::SwsContextPtr scaler;
    int resampleWidth = 0;  // what the scaler was made for: the cropped input
    int resampleHeight = 0;
    AVPixelFormat resamplePixelFormat = AV_PIX_FMT_NONE;
    int firstInputWidth = 0;
    int firstInputHeight = 0;
    bool crop = false;
    int cropTop = 0, cropBottom = 0, cropLeft = 0, cropRight = 0;
    int firstCropTop = 0, firstCropBottom = 0, firstCropLeft = 0, firstCropRight = 0;
    std::unique_ptr<VideoFilterGraph> filterGraph;
    // Converted pictures, reused once the encoder has let go of them.
    std::vector<media::FramePtr> pictures;
    media::FramePtr cropped;  // a reference to the decoded picture with its bands cut away

    // Audio.
    bool audioResample = false;
    SwrContextPtr resampler;
    AVSampleFormat resamplerInputFormat = AV_SAMPLE_FMT_NONE;
    int resamplerInputRate = 0;
    AVChannelLayout resamplerInputLayout{};
    AudioFifoPtr fifo;
    media::FramePtr audioFrame;  // samples handed to the encoder
    int audioFrameCapacity = 0;
    media::FramePtr converted;  // the resampler's output
    int convertedCapacity = 0;
    media::FramePtr silence;
    int silenceCapacity = 0;

    // Last coded picture, from the encoder's quality side data.
    int lastQuality = -1;
    char lastPictureType = '?';
    std::uint64_t lastError[3] = {};
    std::uint64_t totalError[3] = {};

    std::string passLogFileName;
    FilePtr passLogFile;  // pass 1: written statistics
};

}  // namespace quillo::converter
