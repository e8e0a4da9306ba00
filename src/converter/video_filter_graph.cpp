#include "converter/video_filter_graph.h"

#include <cstdio>

extern "C" {
#include <libavutil/opt.h>
}

#include "media/library_bindings.h"
#include "media/library_error.h"
#include "media/media_error.h"

namespace quillo::converter {

namespace {

using media::MediaError;
using media::lib::avfilter;
using media::lib::avutil;

std::string Text(const char* format, auto... values) {
    char text[512];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

void Check(int result, const std::string& step) {
    if (result < 0) {
        char reason[AV_ERROR_MAX_STRING_SIZE] = {};
        avutil.av_strerror(result, reason, sizeof reason);
        throw MediaError(step + ": " + reason);
    }
}

AVFilterContext* CreateFilter(AVFilterGraph* graph, const char* filterName, const char* name,
                              const std::string& arguments) {
    const AVFilter* filter = avfilter.avfilter_get_by_name(filterName);
    if (filter == nullptr) {
        throw MediaError(std::string("no such filter: ") + filterName);
    }
    AVFilterContext* context = nullptr;
    Check(avfilter.avfilter_graph_create_filter(&context, filter, name,
                                                arguments.empty() ? nullptr : arguments.c_str(),
                                                nullptr, graph),
          std::string("cannot create the ") + filterName + " filter");
    return context;
}

// An in/out list entry for the chain parser; the parser frees what it is given.
AVFilterInOut* Endpoint(const char* label, AVFilterContext* context) {
    AVFilterInOut* endpoint = avfilter.avfilter_inout_alloc();
    if (endpoint == nullptr) {
        throw MediaError("Not enough memory");
    }
    endpoint->name = avutil.av_strdup(label);
    endpoint->filter_ctx = context;
    endpoint->pad_idx = 0;
    endpoint->next = nullptr;
    return endpoint;
}

}  // namespace

VideoFilterGraph::VideoFilterGraph(const Settings& settings) {
    graph_ = avfilter.avfilter_graph_alloc();
    if (graph_ == nullptr) {
        throw MediaError("Not enough memory");
    }
    try {
        const AVRational aspect =
            settings.sampleAspectRatio.num > 0 ? settings.sampleAspectRatio : AVRational{0, 1};
        source_ = CreateFilter(
            graph_, "buffer", "src",
            Text("video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d", settings.width,
                 settings.height, settings.pixelFormat, settings.timeBase.num,
                 settings.timeBase.den, aspect.num, aspect.den > 0 ? aspect.den : 1));
        sink_ = CreateFilter(graph_, "buffersink", "out", {});
        const AVPixelFormat formats[] = {settings.outputPixelFormat, AV_PIX_FMT_NONE};
        Check(
            avutil.av_opt_set_bin(sink_, "pix_fmts", reinterpret_cast<const std::uint8_t*>(formats),
                                  sizeof(formats[0]), AV_OPT_SEARCH_CHILDREN),
            "cannot set the pixel format of the sink");

        AVFilterContext* last = source_;
        const bool crop = settings.cropTop != 0 || settings.cropBottom != 0 ||
                          settings.cropLeft != 0 || settings.cropRight != 0;
        const int croppedWidth = settings.width - settings.cropLeft - settings.cropRight;
        const int croppedHeight = settings.height - settings.cropTop - settings.cropBottom;
        if (crop) {
            // Named, because the crop filter orders its numbers width first.
            AVFilterContext* cropFilter =
                CreateFilter(graph_, "crop", "crop",
                             Text("x=%d:y=%d:w=%d:h=%d", settings.cropLeft, settings.cropTop,
                                  croppedWidth, croppedHeight));
            Check(avfilter.avfilter_link(last, 0, cropFilter, 0), "cannot link the crop filter");
            last = cropFilter;
        }
        if (croppedWidth != settings.outputWidth || croppedHeight != settings.outputHeight) {
            AVFilterContext* scale =
                CreateFilter(graph_, "scale", "scale",
                             Text("%d:%d:flags=%u", settings.outputWidth, settings.outputHeight,
                                  static_cast<unsigned>(settings.scalerFlags)));
            Check(avfilter.avfilter_link(last, 0, scale, 0), "cannot link the scale filter");
            last = scale;
        }
        graph_->scale_sws_opts =
            avutil.av_strdup(Text("flags=%u", static_cast<unsigned>(settings.scalerFlags)).c_str());

        AVFilterInOut* outputs = Endpoint("in", last);
        AVFilterInOut* inputs = Endpoint("out", sink_);
        const int parsed = avfilter.avfilter_graph_parse_ptr(graph_, settings.chain.c_str(),
                                                             &inputs, &outputs, nullptr);
        avfilter.avfilter_inout_free(&inputs);
        avfilter.avfilter_inout_free(&outputs);
        Check(parsed, "cannot parse \"" + settings.chain + "\"");
        Check(avfilter.avfilter_graph_config(graph_, nullptr), "cannot configure the filters");
    } catch (...) {
        avfilter.avfilter_graph_free(&graph_);
        throw;
    }
}

VideoFilterGraph::~VideoFilterGraph() {
    if (graph_ != nullptr && avfilter.avfilter_graph_free != nullptr) {
        avfilter.avfilter_graph_free(&graph_);
    }
}

int VideoFilterGraph::OutputWidth() const {
    return avfilter.av_buffersink_get_w(sink_);
}

int VideoFilterGraph::OutputHeight() const {
    return avfilter.av_buffersink_get_h(sink_);
}

AVRational VideoFilterGraph::OutputSampleAspectRatio() const {
    return avfilter.av_buffersink_get_sample_aspect_ratio(sink_);
}

bool VideoFilterGraph::Push(AVFrame* frame) {
    return avfilter.av_buffersrc_add_frame_flags(source_, frame, AV_BUFFERSRC_FLAG_KEEP_REF) >= 0;
}

bool VideoFilterGraph::Pull(AVFrame* frame) {
    return avfilter.av_buffersink_get_frame(sink_, frame) >= 0;
}

bool VideoFilterGraph::Finish() {
    if (finished_) {
        return false;
    }
    finished_ = true;
    return avfilter.av_buffersrc_add_frame_flags(source_, nullptr, 0) >= 0;
}

std::int64_t VideoFilterGraph::TimeOf(const AVFrame& frame) const {
    if (frame.pts == AV_NOPTS_VALUE) {
        return AV_NOPTS_VALUE;
    }
    return avutil.av_rescale_q(frame.pts, avfilter.av_buffersink_get_time_base(sink_),
                               AVRational{1, 1'000'000});
}

}  // namespace quillo::converter
