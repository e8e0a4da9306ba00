#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "converter/frame_hook_modules.h"
#include "converter/library_option_contexts.h"
#include "converter/option_state.h"
#include "media/file_io.h"
#include "media/log_level.h"
#include "media/media_component.h"
#include "media/media_error.h"
#include "media/media_input.h"

namespace quillo::converter {

// One opened input with what the engine keeps about it.
struct InputFile {
    media::MediaInput input;
    std::int64_t timeOffset = 0;  // microseconds added to its timestamps
    std::array<double, MaxStreams> timestampScale{};
    std::vector<const AVCodec*> forcedDecoders;  // one per stream; null: by codec id
};

// One stream of an output, with the encoder settings the engine made for it.
struct OutputStream {
    AVStream* stream = nullptr;      // belongs to the output's context
    media::CodecContextPtr encoder;  // the settings to encode with; null for a copied stream
    const AVCodec* codec = nullptr;  // chosen by name or guessed; null when none was found
    bool streamCopy = false;
    std::vector<std::string> bitstreamFilters;
    AVRational sampleAspectRatio{0, 1};  // video: of stream and encoder alike
};

// One opened output container and its file.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    AVFormatContext* context = nullptr;
    std::unique_ptr<media::FileIo> io;  // for a wrapped file name
    std::string fileName;
    std::vector<std::unique_ptr<OutputStream>> streams;
};

// The transcoding engine. It is driven by option name/value pairs in the vocabulary of the
// classic command-line tool: options given before an input or output is opened apply to it,
// per-stream options to the next stream created. Refusals raise media::MediaError.
class Transcoder : public media::MediaComponent {
public:
    Transcoder();
    ~Transcoder() override;

    // Releases every file and restores every option default.
    void ResetOptions();

    void SetOption(const std::string& name, const std::string& value);
    bool SetLibraryOption(const std::string& name, const std::string& value);
    void SetTarget(std::string_view target, std::string_view norm, std::string_view defaultNorm);
    void LoadPreset(std::string_view kind, std::string_view name);

    bool OpenInput(const std::string& fileName);
    // The number of outputs, or -1 with LastErrorMessage() saying why.
    int OpenOutput(const std::string& fileName, bool join);
    void AddVideoStream();
    void AddAudioStream();
    void AddSubtitleStream();

    const OptionState& Options() const { return options_; }
    const LibraryOptionContexts& LibraryOptions() const { return *libraryOptions_; }
    const FrameHookModules& HookModules() const { return hookModules_; }
    std::int64_t TotalDuration() const { return totalDuration_; }
    bool JoinMode() const { return join_; }
    const std::string& LastErrorMessage() const { return lastErrorMessage_; }

    int InputCount() const { return static_cast<int>(inputs_.size()); }
    const InputFile& Input(int index) const { return *inputs_.at(index); }
    // Outputs as entered in the output list: in join mode one output stands there once per
    // input.
    int OutputCount() const { return static_cast<int>(outputs_.size()); }
    OutputFile& Output(int index) const { return *outputs_.at(index); }

protected:
    void Log(media::LogLevel level, const std::string& text) const;

private:
    void RequireLibraries() const;
    void CloseFiles();
    void SetBoolean(bool& flag, const std::string& value) const;
    void SetFrameRate(const std::string& value);
    void SetFrameSize(const std::string& value);
    void SetAspect(const std::string& value);
    void SetPixelFormat(const std::string& value);
    void SetSampleFormat(const std::string& value);
    void SetCropBand(const std::string& name, const std::string& value);
    void SetMatrix(std::optional<QuantiserMatrix>& matrix, const std::string& value) const;
    void SetCodecTag(std::string& tag, const std::string& value, const char* kind) const;
    void SetStreamId(const std::string& name, const std::string& value);
    void AddStreamMap(const std::string& value);
    void AddMetaDataMap(const std::string& value);
    void AddMetadata(const std::string& value);
    void AddBitstreamFilter(std::vector<std::string>& chain, const std::string& value) const;
    void SetTimestampScale(const std::string& value);
    void SetVideoStatsFile(const std::string& value);
    void SetBitRate(const std::string& name, const std::string& value);
    void SetTargetOption(const std::string& value);
    LibraryOptionContexts::Outcome SetEncoderPrivateOption(const std::string& name,
                                                           const std::string& value);
    LibraryOptionContexts::Outcome SetContainerPrivateOption(const std::string& name,
                                                             const std::string& value);

    // Output setup.
    void CreateOutputStreams(OutputFile& output);
    // A stream is prepared completely before it joins its output, so a refusal on the way
    // leaves the output and the option state as they were.
    std::unique_ptr<OutputStream> PrepareStream(const OutputFile& output, AVMediaType type,
                                                const AVCodec* codec) const;
    OutputStream& AttachStream(OutputFile& output, std::unique_ptr<OutputStream> added,
                               AVMediaType type);
    const AVCodec* ChooseEncoder(const OutputFile& output, AVMediaType type,
                                 const std::string& name, bool streamCopy) const;
    std::uint16_t* CopyMatrix(const QuantiserMatrix& matrix) const;
    void ApplyRateControlOverride(AVCodecContext& encoder) const;
    void NewVideoStream(OutputFile& output);
    void NewAudioStream(OutputFile& output);
    void NewSubtitleStream(OutputFile& output);
    void OpenOutputFile(OutputFile& output);
    OutputFile& LastOutput();

    OptionState options_;
    std::unique_ptr<LibraryOptionContexts> libraryOptions_;
    FrameHookModules hookModules_;
    std::vector<std::unique_ptr<InputFile>> inputs_;
    std::vector<std::unique_ptr<OutputFile>> outputFiles_;
    std::vector<OutputFile*> outputs_;
    bool join_ = false;
    std::int64_t totalDuration_ = -1;
    std::string lastErrorMessage_;
};

}  // namespace quillo::converter
