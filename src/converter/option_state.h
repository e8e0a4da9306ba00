#pragma once

#include <array>
#include <climits>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/pixfmt.h>
#include <libavutil/rational.h>
#include <libavutil/samplefmt.h>
#include <libswscale/swscale.h>
}

namespace quillo::converter {

// How many inputs, outputs and streams per output the engine holds.
inline constexpr int MaxFiles = 20;
inline constexpr int MaxStreams = 20;
inline constexpr int MaxStreamMaps = 400;
inline constexpr int MaxMetaDataMaps = 20;

struct StreamMap {
    int fileIndex = 0;
    int streamIndex = 0;
    int syncFileIndex = 0;
    int syncStreamIndex = 0;
};

struct MetaDataMap {
    int outputFile = 0;
    int inputFile = 0;
};

using QuantiserMatrix = std::array<std::uint16_t, 64>;

// Everything the engine's options set, with the defaults a new task starts from. Options are
// positional: per-file values are consumed by the next open, per-stream values by the next
// stream created.
struct OptionState {
    // Frame and picture.
    int frameWidth = 0;
    int frameHeight = 0;
    AVRational frameRate{0, 0};
    double frameAspectRatio = 0.0;
    AVPixelFormat framePixelFormat = AV_PIX_FMT_NONE;
    int frameTopBand = 0;
    int frameBottomBand = 0;
    int frameLeftBand = 0;
    int frameRightBand = 0;
    float videoQScale = 0.0F;
    bool intraOnly = false;
    bool sameQuality = false;
    bool deinterlace = false;
    int topFieldFirst = -1;
    int intraDcPrecision = 8;
    std::optional<QuantiserMatrix> intraMatrix;
    std::optional<QuantiserMatrix> interMatrix;
    std::string rcOverride;
    int meThreshold = 0;
    bool qpHistogram = false;
    bool forceFps = false;
    int videoDiscard = 0;

    // Video stream.
    bool videoDisable = false;
    std::string videoCodecName;
    bool videoStreamCopy = false;
    std::string videoCodecTag;
    std::string videoLanguage;
    std::string videoFilters;
    int videoGlobalHeader = 0;
    int videoChannel = 0;
    std::string videoStandard;

    // Audio stream.
    bool audioDisable = false;
    std::string audioCodecName;
    bool audioStreamCopy = false;
    std::string audioCodecTag;
    std::string audioLanguage;
    int audioSampleRate = 44100;
    int audioChannels = 2;
    std::uint64_t audioChannelLayout = 0;  // channel mask; 0 = none known
    AVSampleFormat audioSampleFormat = AV_SAMPLE_FMT_NONE;
    float audioQScale = -99999.0F;  // only values above take effect
    int audioVolume = 256;

    // Subtitle stream.
    bool subtitleDisable = false;
    std::string subtitleCodecName;
    bool subtitleStreamCopy = false;
    std::string subtitleCodecTag;
    std::string subtitleLanguage;

    // Frame limits.
    int maxVideoFrames = INT_MAX;
    int maxAudioFrames = INT_MAX;
    int maxDataFrames = INT_MAX;

    // Times, in microseconds ("timestamp" in seconds).
    std::int64_t recordingTime = INT64_MAX;
    std::int64_t startTime = 0;
    std::int64_t inputTimeOffset = 0;
    std::int64_t recordingTimestamp = 0;
    std::int64_t limitFileSize = 0;

    // Muxing.
    float muxPreload = 0.5F;
    float muxMaxDelay = 0.7F;
    bool loopInput = false;
    int loopOutput = -1;
    int programId = 0;
    std::array<double, MaxStreams> inputTimestampScale = [] {
        std::array<double, MaxStreams> scales{};
        scales.fill(1.0);
        return scales;
    }();
    std::array<int, MaxStreams> streamIdMap{};

    // Synchronisation.
    int videoSyncMethod = -1;
    int audioSyncMethod = 0;
    float audioDriftThreshold = 0.1F;
    float dtsDeltaThreshold = 10.0F;
    bool copyTimestamps = false;
    bool shortest = false;
    bool inputSync = false;
    int copyInitialNonKeyframes = 0;
    bool rateEmulation = false;

    // Two-pass encoding.
    int pass = 0;
    std::string passLogFileName;

    // Diagnostics.
    int verbose = 1;
    bool packetDump = false;
    bool hexDump = false;
    bool psnr = false;
    std::string videoStatsFileName;
    bool exitOnError = false;

    // Mapping.
    std::vector<StreamMap> streamMaps;
    std::vector<MetaDataMap> metaDataMaps;
    std::vector<std::pair<std::string, std::string>> metadata;  // for the next output

    // Bitstream filter chains for the next stream of each kind.
    std::vector<std::string> videoBitstreamFilters;
    std::vector<std::string> audioBitstreamFilters;
    std::vector<std::string> subtitleBitstreamFilters;

    // Container format for the next input or output ("f").
    std::string fileFormat;
    bool pgmyuvCompatibility = false;

    int scalerFlags = SWS_BICUBIC;
};

}  // namespace quillo::converter
