#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "converter/frame_hook_modules.h"
#include "converter/library_option_contexts.h"
#include "converter/option_state.h"
#include "converter/preview_window.h"
#include "converter/thread_priority.h"
#include "media/bitmap.h"
#include "media/file_io.h"
#include "media/log_level.h"
#include "media/media_component.h"
#include "media/media_error.h"
#include "media/media_input.h"

namespace quillo::converter {

// One opened input with what the engine keeps about it.
struct InputFile {
    media::MediaInput input;
    std::string fileName;
    std::int64_t timeOffset = 0;  // microseconds added to its timestamps
    std::array<double, MaxStreams> timestampScale{};
    std::vector<const AVCodec*> forcedDecoders;  // one per stream; null: by codec id
    bool programSelected = false;                // only the streams of one program are read
};

// One stream of an output, with the encoder settings the engine made for it.
struct OutputStream {
    AVStream* stream = nullptr;      // belongs to the output's context
    media::CodecContextPtr encoder;  // the settings to encode with; null for a copied stream
    bool encoderOpen = false;
    const AVCodec* codec = nullptr;  // chosen by name or guessed; null when none was found
    bool streamCopy = false;
    std::vector<std::string> bitstreamFilters;
    AVRational sampleAspectRatio{0, 1};  // video: of stream and encoder alike
    // Video: the source bands to crop away and the filter chain, as set when it was created.
    int cropTop = 0;
    int cropBottom = 0;
    int cropLeft = 0;
    int cropRight = 0;
    std::string videoFilters;
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
    bool removeWhenClosed = false;  // the task failed: what was written is no result
};

// What a progress report tells: figures of the task so far and the report line.
struct ProgressReport {
    int inputIndex = -1;         // input of the last packet read; -1 in the final report
    int frameNumber = -1;        // frames encoded on the first video output; -1: no video output
    int fps = -1;                // -1: no video output
    float quality = -1.0F;       // of the last encoded video frame; -1: none (copied or no video)
    float bitRate = 0.0F;        // kbit/s
    std::int64_t totalSize = 0;  // bytes of the first output
    std::int64_t time = 0;       // microseconds of output reached
    std::int64_t totalDuration = -1;  // microseconds expected; -1: not known
    std::string line;                 // "frame=... fps=... q=... size=... time=... bitrate=..."
};

class Transcoder;
using ProgressCallback = std::function<void(Transcoder& engine, const ProgressReport& report)>;
using TerminateCallback = std::function<void(Transcoder& engine)>;
// Every decoded picture as a bitmap; the handler may edit it and ask for it to be written
// back (update) or for no more pictures (stopHook).
using CustomHookCallback =
    std::function<void(Transcoder& engine, media::Bitmap& bitmap, int frameNumber,
                       std::int64_t time, bool& update, bool& stopHook)>;

// An encoded picture for the preview, at most ten a second.
using PreviewCallback = std::function<void(Transcoder& engine, const media::Bitmap& bitmap,
                                           int frameNumber, std::int64_t time)>;

// Bits of the preview flags.
inline constexpr int PreviewWindowFlag = 1;
inline constexpr int PreviewBitmapFlag = 2;

// The transcoding engine. It is driven by option name/value pairs in the vocabulary of the
// classic command-line tool: options given before an input or output is opened apply to it,
// per-stream options to the next stream created. Refusals raise media::MediaError.
class Transcoder : public media::MediaComponent {
public:
    Transcoder();
    ~Transcoder() override;

    // Releases every file and restores every option default.
    void ResetOptions();

    // False when no option of the engine or the media libraries has the name, or a library
    // refused the value (logged at error level); the engine goes on either way, since a
    // profile may name an option an older library had. Other refusals raise MediaError.
    bool SetOption(const std::string& name, const std::string& value);
    // Options that are switches (or add a stream) and so take no value on a command line.
    static bool TakesNoValue(std::string_view name);
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

    // Running the task. Start refuses (false) when the task runs or has ended; a task without
    // input or output ends at once with its error. With inThread the task runs on a worker
    // thread of the given priority and Start returns at once; otherwise it runs to its end
    // on the calling thread.
    bool StartConvert(bool inThread, ThreadPriority priority = ThreadPriority::tpNormal);
    // Asks a running task to stop: it still flushes its encoders and finishes its files. With
    // wait, returns when the worker is done, running main-thread calls meanwhile when called
    // on the main thread. A task never started is ended at once (not finished).
    void StopConvert(bool wait);
    // Holds a worker-thread task at its next packet or frame; no effect on a task run on the
    // caller's thread. A paused task holds no lock.
    void Pause();
    void Resume();
    bool Paused() const { return paused_.load(); }
    // True while a paused worker is actually holding, between two packets or frames.
    bool HeldAtPause() const { return heldAtPause_.load(); }

    bool Running() const { return running_.load(); }
    bool Ended() const { return ended_.load(); }
    bool Finished() const { return finished_.load(); }  // ended with no stop request
    bool StopRequested() const { return stopRequested_.load(); }
    bool Failed() const { return failed_.load(); }
    std::string ErrorText() const;

    void SetProgressInterval(std::int64_t microseconds) { progressInterval_ = microseconds; }
    std::int64_t ProgressInterval() const { return progressInterval_; }
    void SetProgressCallback(ProgressCallback callback) { onProgress_ = std::move(callback); }
    void SetTerminateCallback(TerminateCallback callback) { onTerminate_ = std::move(callback); }
    void SetCustomHook(CustomHookCallback callback) { customHook_ = std::move(callback); }
    bool HasCustomHook() const { return static_cast<bool>(customHook_); }
    void SetPreviewCallback(PreviewCallback callback) { onPreview_ = std::move(callback); }
    // Bit PreviewBitmapFlag raises the preview callback, else bit PreviewWindowFlag shows the
    // pictures in a PreviewWindow; clearing that bit closes the task's window. Both setters
    // may be called while the task runs.
    void SetPreviewFlags(int flags);
    void ChangePreviewFlag(int flag, bool on);
    int PreviewFlags() const { return previewFlags_.load(); }
    // Picture scalers the last run made: none when every picture went to the encoder as it
    // was decoded (or through the filter graph).
    int ScalersMade() const { return scalersMade_.load(); }

protected:
    void Log(media::LogLevel level, const std::string& text) const;

private:
    friend class TranscodeSession;
    friend class FrameHooks;

    void RequireLibraries() const;
    // Releases every file and what the last run left; outputs that are empty, or that belong
    // to a failed task, are deleted.
    void CloseFiles();
    void RefuseInputAsOutput(const std::string& fileName) const;

    // The task's preview window, made on first use while bit PreviewWindowFlag is set; null
    // otherwise or without a window factory. Shared, so that clearing the bit meanwhile
    // cannot free a window being shown.
    std::shared_ptr<PreviewWindow> PreviewWindowToShow();
    void ChangePreviewFlags(const std::function<int(int)>& change);
    void ClosePreviewWindow();

    void TaskBody();
    void EndOfTask();
    void RecordError(const std::string& message);
    // Blocks a worker-thread task while it is paused and no stop is requested.
    void WaitWhilePaused();
    void WaitForWorker();
    void WaitForTerminator();
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
    bool SetBitRate(const std::string& name, const std::string& value);
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

    // Run state.
    std::atomic<bool> running_{false};
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> finished_{false};
    std::atomic<bool> ended_{false};
    std::atomic<bool> failed_{false};
    std::atomic<bool> paused_{false};
    std::atomic<bool> heldAtPause_{false};
    std::atomic<int> scalersMade_{0};
    std::atomic<int> previewFlags_{0};
    mutable std::mutex stateMutex_;  // guards the error text, the pause gate and worker-done
    std::condition_variable stateChanged_;
    std::string errorText_;
    bool workerActive_ = false;      // set while a worker thread runs the task body
    bool terminatorActive_ = false;  // set while a never-started task is being ended
    std::thread worker_;
    std::thread terminator_;
    std::int64_t progressInterval_ = 500'000;
    ProgressCallback onProgress_;
    TerminateCallback onTerminate_;
    CustomHookCallback customHook_;
    PreviewCallback onPreview_;
    std::shared_ptr<PreviewWindow> previewWindow_;  // guarded by the preview lock
};

}  // namespace quillo::converter
