#pragma once

#include <cstdint>
#include <string>

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavutil/frame.h>
}

namespace quillo::converter {

// The picture path of an output stream when it has a filter chain: the decoded picture goes
// into a "buffer" source, through crop and scale when asked, then through the chain, and
// comes out of a sink that gives only the encoder's pixel format.
class VideoFilterGraph {
public:
    struct Settings {
        int width = 0;  // of the decoded pictures
        int height = 0;
        AVPixelFormat pixelFormat = AV_PIX_FMT_NONE;
        AVRational timeBase{1, 1'000'000};
        AVRational sampleAspectRatio{0, 1};
        int cropTop = 0, cropBottom = 0, cropLeft = 0, cropRight = 0;
        int outputWidth = 0;  // wanted by the encoder, before the chain
        int outputHeight = 0;
        AVPixelFormat outputPixelFormat = AV_PIX_FMT_NONE;
        int scalerFlags = 0;
        std::string chain;  // the "vf" text
    };

    // Throws MediaError with the library's reason when the graph cannot be built.
    explicit VideoFilterGraph(const Settings& settings);
    ~VideoFilterGraph();
    VideoFilterGraph(const VideoFilterGraph&) = delete;
    VideoFilterGraph& operator=(const VideoFilterGraph&) = delete;

    // The size and shape arriving at the sink: what the encoder gets.
    int OutputWidth() const;
    int OutputHeight() const;
    AVRational OutputSampleAspectRatio() const;

    // Hands a picture in (null: no more pictures); it keeps its own reference. False on error.
    bool Push(AVFrame* frame);
    // The next finished picture, or false when none is ready.
    bool Pull(AVFrame* frame);
    // Tells the graph no more pictures come, so that it hands out those it holds; false
    // when it was told already or refuses.
    bool Finish();
    // A pulled picture's time in microseconds; NoTime when it has none.
    std::int64_t TimeOf(const AVFrame& frame) const;

private:
    AVFilterGraph* graph_ = nullptr;
    AVFilterContext* source_ = nullptr;
    AVFilterContext* sink_ = nullptr;
    bool finished_ = false;
};

}  // namespace quillo::converter
