#pragma once

#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>

namespace quillo::converter {

// A 64-bit time field holding this value is not applied.
inline constexpr std::int64_t TimeNotSet = std::numeric_limits<std::int64_t>::min();

// What the input of a task is and how it is opened.
struct InputOptions {
    std::filesystem::path FileName;       // empty: the file name given to AddTask
    std::string FileFormat;               // forces the container ("f"); empty = detect
    std::int64_t StartTime = TimeNotSet;  // seek position, microseconds ("ss")
    std::int32_t ProgramID = -1;          // "programid", applied when >= 0
    std::string ExtOptions;               // extra option lines for the input side
};

// Metadata written into an output file.
struct StreamInfo {
    double Timestamp = -1.0;  // local date-time in days from 1899-12-30; 0 = now; < 0 = not set
    std::int32_t Year = -1;
    std::int32_t Track = -1;
    std::string Title;
    std::string Author;
    std::string Rights;
    std::string Comment;
    std::string Album;
    std::string Genre;
};

// One output of a task. A field at its default is not applied, except the fields the converter
// always applies (the three languages, AudioSync, VideoSync, InputSync).
struct OutputOptions {
    std::filesystem::path FileName;  // empty: the file name given to SetOutputFile
    std::string FileFormat;
    std::int32_t PacketSize = -1;
    std::int32_t MuxRate = -1;
    float MuxDelay = -1.0f;    // seconds
    float MuxPreload = -1.0f;  // seconds
    std::string AudioCodec;
    std::string AudioPreset;
    bool DisableAudio = false;
    std::int32_t AudioVolume = -1;  // 256 = unchanged
    std::int32_t AudioChannels = -1;
    std::int32_t AudioSampleRate = -1;  // Hz
    std::int32_t AudioBitrate = -1;     // bit/s
    std::int32_t AudioBitrateTolerance = -1;
    std::string AudioLanguage;
    std::int32_t AudioSync = 0;
    std::string AudioTag;  // exactly four characters when set
    std::string VideoCodec;
    std::string VideoPreset;
    bool DisableVideo = false;
    std::string FrameRate;
    std::string FrameSize;    // width "x" height
    std::string AspectRatio;  // width ":" height, "4:3", "16:9"
    std::int32_t CropTop = -1;
    std::int32_t CropBottom = -1;
    std::int32_t CropLeft = -1;
    std::int32_t CropRight = -1;
    std::int32_t GopSize = -1;
    std::int32_t VideoBitrate = -1;  // bit/s
    std::int32_t MaxRate = -1;
    std::int32_t MinRate = -1;
    std::int32_t BitrateTolerance = -1;
    std::int32_t BufferSize = -1;
    std::int32_t VideoSync = -1;  // -1 = automatic
    std::string VideoTag;         // exactly four characters when set
    std::string VideoFilters;     // filters separated by ","
    std::string VideoLanguage;
    std::string SubtitleCodec;
    std::string SubtitlePreset;
    bool DisableSubtitle = false;
    std::string SubtitleLanguage;
    bool InputSync = false;
    bool CopyTimestamps = false;
    std::int64_t StartTime = TimeNotSet;  // microseconds ("ss" of this output)
    std::int64_t Duration = TimeNotSet;   // microseconds ("t")
    StreamInfo Metadata;
    std::int32_t Target = 0;             // 0 none, 1 "vcd", 2 "svcd", 3 "dvd"
    std::int32_t TargetNorm = 0;         // 0 "auto", 1 "pal", 2 "ntsc"; others "auto"
    std::int32_t TargetDefaultNorm = 1;  // 1 "pal", others "ntsc"
    bool CustomHook = false;             // raise OnCustomHook for every decoded video frame
    bool Join = false;                   // all inputs of the task go one after another here
    std::string ExtOptions;              // extra option lines for the output side
};

// Reset a record to its defaults; callers do this before filling one.
void InitInputOptions(InputOptions& options);
void InitOutputOptions(OutputOptions& options);

}  // namespace quillo::converter
