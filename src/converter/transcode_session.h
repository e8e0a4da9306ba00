#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "converter/frame_hooks.h"
#include "converter/working_set.h"
#include "media/library_pointers.h"
#include "media/log_level.h"

namespace quillo::converter {

class Transcoder;
struct OptionState;

// One run of a task: builds the working set from the engine's open inputs and outputs,
// reads, decodes, converts, encodes and writes until the inputs end or a stop is asked,
// then flushes the encoders and finishes the files. Every failure raises MediaError.
class TranscodeSession {
public:
    explicit TranscodeSession(Transcoder& engine);
    ~TranscodeSession();
    TranscodeSession(const TranscodeSession&) = delete;
    TranscodeSession& operator=(const TranscodeSession&) = delete;

    void Run();
    // After a stop: outputs none of whose streams got a packet hold nothing worth keeping,
    // so they go with the files like a failed task's.
    void DropEmptyOutputs() const;
    // Closes every codec this run opened, each under the codec lock.
    void CloseCodecs();

private:
    // Setup.
    void BuildInputTable();
    void BuildOutputTable();
    void ChooseSources();
    InputStreamState* AutomaticSource(const OutputStreamState& output) const;
    void PrepareStream(OutputStreamState& output);
    void PrepareStreamCopy(OutputStreamState& output, const InputStreamState& input);
    void PrepareVideoEncoding(OutputStreamState& output, InputStreamState& input);
    void PrepareAudioEncoding(OutputStreamState& output, InputStreamState& input);
    void PrepareTwoPass(OutputStreamState& output, int position);
    void OpenEncoders();
    void OpenEncoder(OutputStreamState& output);
    void OpenDecoders();
    void SetInitialTimes();
    void CopyMetadataMaps();
    void CopyChapters();
    void PrepareBitstreamFilters(OutputStreamState& output);
    void WriteHeaders();
    void LogStreamMapping(media::LogLevel level) const;
    [[noreturn]] void FailWithMapping(const std::string& message) const;

    // The read loop.
    void Loop();
    int ChooseInput() const;
    bool MaxFramesReached(const OutputStreamState& output) const;
    void HandlePacket(int fileIndex, AVPacket& packet);
    void NextJoinGroup(int fileIndex);
    void FinishRun();

    // Packets and decoded frames.
    bool ProcessPacket(InputStreamState& input, AVPacket* packet);
    bool DecodeFrames(InputStreamState& input, AVPacket* packet);
    bool DecodeSubtitle(InputStreamState& input, AVPacket* packet);
    void AdvanceWithoutDecoding(InputStreamState& input, const AVPacket* packet);
    std::int64_t FrameDuration(const InputStreamState& input, const AVFrame* frame) const;
    bool OutputTimeReached(const InputStreamState& input) const;
    void HandleVideoFrame(InputStreamState& input, AVFrame* frame);
    // False (logged) when the picture could not be handed to the input's deinterlacer.
    bool Deinterlace(InputStreamState& input, AVFrame* frame);
    void DrainDeinterlacer(InputStreamState& input);
    // One picture, deinterlaced or as decoded: the hooks, then every output it feeds.
    void HandlePicture(InputStreamState& input, AVFrame* picture);
    void DrainFilterGraph(OutputStreamState& output, InputStreamState& input);
    // At the end of an input stream: the pictures its filters still hold.
    void FlushPictureFilters(InputStreamState& input);
    void HandleAudioFrame(InputStreamState& input, AVFrame* frame);
    void CopyPacket(OutputStreamState& output, InputStreamState& input, const AVPacket& packet);
    void ApplyVolume(AVFrame& frame) const;
    void EmulateRate(const InputStreamState& input) const;
    void FlushEncoders(const InputStreamState& input);

    // Video output.
    void VideoOut(OutputStreamState& output, InputStreamState& input, AVFrame* picture);
    int FramesToEncode(OutputStreamState& output, double syncTime);
    AVFrame* ConvertPicture(OutputStreamState& output, InputStreamState& input, AVFrame* picture);
    void RemakeScaler(OutputStreamState& output, const AVFrame& picture);
    AVFrame* WritablePicture(OutputStreamState& output);
    void EncodeVideo(OutputStreamState& output, AVFrame* frame);
    void ReceiveVideoPackets(OutputStreamState& output, int frameNumber);

    // Audio output.
    void AudioOut(OutputStreamState& output, InputStreamState& input, AVFrame* samples);
    void MakeResampler(OutputStreamState& output, const AVFrame& samples);
    void AddSilence(OutputStreamState& output, int samples);
    void AppendSamples(OutputStreamState& output, const AVFrame& samples, int skip);
    void EncodeAudioFromFifo(OutputStreamState& output, bool flushing);
    void SendAudio(OutputStreamState& output, AVFrame* frame);
    AVFrame& AudioFrame(OutputStreamState& output, int samples);

    // Subtitle output.
    void SubtitleOut(OutputStreamState& output, const InputStreamState& input,
                     AVSubtitle& subtitle);

    // Writing.
    void WritePacket(OutputStreamState& output, AVPacket* packet, AVRational timeBase);
    void Mux(OutputStreamState& output, AVPacket* packet, AVRational timeBase);
    void NoteCodedPicture(OutputStreamState& output, const AVPacket& packet);
    void WriteVideoStatistics(const OutputStreamState& output, int frameNumber, int frameSize);
    void WritePassOneStatistics(OutputStreamState& output);

    // Progress.
    void Report(int inputIndex, bool final);
    std::int64_t FirstOutputSize() const;

    void Log(media::LogLevel level, const std::string& text) const;
    bool ExitOnError() const;

    Transcoder& engine_;
    const OptionState& options_;
    FrameHooks hooks_;
    std::vector<InputFileState> inputFiles_;
    std::vector<std::unique_ptr<InputStreamState>> inputStreams_;
    std::vector<std::unique_ptr<OutputStreamState>> outputStreams_;
    int joinGroup_ = 0;  // the input whose outputs are active in join mode

    // Statistics of the run.
    std::int64_t videoBytes_ = 0;
    std::int64_t audioBytes_ = 0;
    std::int64_t headerBytes_ = 0;
    int duplicatedFrames_ = 0;
    int droppedFrames_ = 0;
    bool dupOrDropSeen_ = false;
    std::int64_t startWallTime_ = 0;
    std::int64_t lastReportTime_ = 0;
    std::array<int, 52> qpHistogram_{};
    FilePtr videoStatistics_;

    // Reused for every packet and frame.
    media::PacketPtr packet_;
    media::PacketPtr encoded_;
    media::PacketPtr filtered_;
    media::FramePtr decoded_;
    media::FramePtr filteredPicture_;
    media::FramePtr deinterlaced_;
    std::vector<std::uint8_t> subtitleBuffer_;
    std::vector<const std::uint8_t*> planes_;

    bool headersWritten_ = false;
};

}  // namespace quillo::converter
