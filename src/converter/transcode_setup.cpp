// Building a run's working set: which input stream feeds each output stream, copy or encode,
// the picture and sound conversion paths, two-pass files, codecs, metadata, chapters and the
// container headers.

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <mutex>

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

#include "converter/transcode_session.h"
#include "converter/transcoder.h"
#include "media/codec_lock.h"
#include "media/library_bindings.h"
#include "media/logger.h"
#include "media/media_error.h"
#include "media/media_text.h"

namespace quillo::converter {

namespace {

using media::MediaError;
using media::lib::avcodec;
using media::lib::avformat;
using media::lib::avutil;

std::string Format(const char* format, auto... values) {
    char text[1024];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

AVMediaType TypeOf(const AVStream* stream) {
    return stream->codecpar->codec_type;
}

std::string TypeName(const AVStream* stream) {
    return media::MediaTypeName(TypeOf(stream));
}

// How many frames of the stream the libraries looked at while probing the input: those of its
// first seconds, up to the probing duration. The libraries keep their own count private.
std::int64_t ProbedFrames(const AVFormatContext& context, const AVStream& stream) {
    constexpr std::int64_t DefaultProbingDuration = 5'000'000;
    const std::int64_t window =
        context.max_analyze_duration > 0 ? context.max_analyze_duration : DefaultProbingDuration;
    std::int64_t duration =
        stream.duration != AV_NOPTS_VALUE
            ? avutil.av_rescale_q(stream.duration, stream.time_base, AVRational{1, 1'000'000})
            : context.duration;
    duration = duration > 0 ? std::min(duration, window) : window;
    const AVCodecParameters& parameters = *stream.codecpar;
    double perSecond = 0.0;
    if (parameters.codec_type == AVMEDIA_TYPE_VIDEO) {
        const AVRational rate =
            stream.avg_frame_rate.num > 0 ? stream.avg_frame_rate : stream.r_frame_rate;
        perSecond = rate.num > 0 && rate.den > 0 ? av_q2d(rate) : 0.0;
    } else if (parameters.codec_type == AVMEDIA_TYPE_AUDIO && parameters.sample_rate > 0) {
        perSecond = static_cast<double>(parameters.sample_rate) /
                    (parameters.frame_size > 0 ? parameters.frame_size : 1024);
    }
    return static_cast<std::int64_t>(perSecond * static_cast<double>(duration) / 1e6);
}

// The scaler flags the user chose through the scaler options.
int ScalerFlags(const LibraryOptionContexts& options) {
    std::int64_t flags = SWS_BICUBIC;
    if (avutil.av_opt_get_int(&options.Scaler(), "sws_flags", 0, &flags) < 0) {
        flags = SWS_BICUBIC;
    }
    return static_cast<int>(flags);
}

}  // namespace

TranscodeSession::TranscodeSession(Transcoder& engine)
    : engine_(engine), options_(engine.options_), hooks_(engine) {
    packet_.reset(avcodec.av_packet_alloc());
    encoded_.reset(avcodec.av_packet_alloc());
    filtered_.reset(avcodec.av_packet_alloc());
    decoded_.reset(avutil.av_frame_alloc());
    filteredPicture_.reset(avutil.av_frame_alloc());
    deinterlaced_.reset(avutil.av_frame_alloc());
    if (!packet_ || !encoded_ || !filtered_ || !decoded_ || !filteredPicture_ || !deinterlaced_) {
        throw MediaError("Not enough memory");
    }
}

TranscodeSession::~TranscodeSession() {
    CloseCodecs();
}

void TranscodeSession::Log(media::LogLevel level, const std::string& text) const {
    engine_.Log(level, text);
}

bool TranscodeSession::ExitOnError() const {
    return options_.exitOnError;
}

void TranscodeSession::Run() {
    BuildInputTable();
    BuildOutputTable();
    ChooseSources();
    for (auto& output : outputStreams_) {
        PrepareStream(*output);
    }
    // Decoders first: a text subtitle encoder takes its style header from its decoder.
    OpenDecoders();
    OpenEncoders();
    SetInitialTimes();
    CopyMetadataMaps();
    CopyChapters();
    WriteHeaders();
    if (options_.verbose >= 0) {
        LogStreamMapping(media::LogLevel::llVerbose);
    }
    startWallTime_ = WallClockMicroseconds();
    lastReportTime_ = startWallTime_;
    Loop();
    FinishRun();
}

void TranscodeSession::BuildInputTable() {
    const std::int64_t now = WallClockMicroseconds();
    for (int file = 0; file < engine_.InputCount(); ++file) {
        const AVFormatContext* context = engine_.Input(file).input.Context();
        InputFileState state;
        state.firstStream = static_cast<int>(inputStreams_.size());
        state.streamCount = static_cast<int>(context->nb_streams);
        inputFiles_.push_back(state);
        for (unsigned index = 0; index < context->nb_streams; ++index) {
            auto stream = std::make_unique<InputStreamState>();
            stream->fileIndex = file;
            stream->streamIndex = static_cast<int>(index);
            stream->stream = context->streams[index];
            if (options_.rateEmulation) {
                stream->wallClockStart = now;
            }
            inputStreams_.push_back(std::move(stream));
        }
    }
}

void TranscodeSession::BuildOutputTable() {
    for (int entry = 0; entry < engine_.OutputCount(); ++entry) {
        OutputFile& file = engine_.Output(entry);
        if (file.streams.empty()) {
            avformat.av_dump_format(file.context, entry, file.fileName.c_str(), 1);
            throw MediaError(Format("Output file #%d does not contain any stream", entry));
        }
        for (std::size_t index = 0; index < file.streams.size(); ++index) {
            auto state = std::make_unique<OutputStreamState>();
            state->fileIndex = entry;
            state->streamIndex = static_cast<int>(index);
            state->file = &file;
            state->output = file.streams[index].get();
            state->stream = state->output->stream;
            state->encoder = state->output->encoder.get();
            state->bitstreamFilterNames = state->output->bitstreamFilters;
            // In join mode the outputs of the first input are the ones working at first.
            state->active = !engine_.JoinMode() || entry == 0;
            outputStreams_.push_back(std::move(state));
        }
    }

    const auto& maps = options_.streamMaps;
    if (!maps.empty() && maps.size() != outputStreams_.size()) {
        throw MediaError("Number of stream maps must match number of output streams");
    }
    const auto exists = [this](int file, int stream) {
        return file >= 0 && file < static_cast<int>(inputFiles_.size()) && stream >= 0 &&
               stream < inputFiles_[file].streamCount;
    };
    for (const StreamMap& map : maps) {
        if (!exists(map.fileIndex, map.streamIndex)) {
            throw MediaError(
                Format("Could not find input stream #%d.%d", map.fileIndex, map.streamIndex));
        }
        if (!exists(map.syncFileIndex, map.syncStreamIndex)) {
            throw MediaError(Format("Could not find sync stream #%d.%d", map.syncFileIndex,
                                    map.syncStreamIndex));
        }
    }
}

void TranscodeSession::FailWithMapping(const std::string& message) const {
    for (int entry = 0; entry < engine_.OutputCount(); ++entry) {
        const OutputFile& file = engine_.Output(entry);
        avformat.av_dump_format(file.context, entry, file.fileName.c_str(), 1);
    }
    throw MediaError(message);
}

void TranscodeSession::ChooseSources() {
    const auto& maps = options_.streamMaps;
    for (std::size_t n = 0; n < outputStreams_.size(); ++n) {
        OutputStreamState& output = *outputStreams_[n];
        InputStreamState* source = nullptr;
        if (!maps.empty()) {
            const StreamMap& map = maps[n];
            source = inputStreams_[inputFiles_[map.fileIndex].firstStream + map.streamIndex].get();
            if (TypeOf(source->stream) != TypeOf(output.stream)) {
                FailWithMapping(Format("Codec type mismatch for mapping #%d.%d (%s) -> #%d.%d (%s)",
                                       map.fileIndex, map.streamIndex,
                                       TypeName(source->stream).c_str(), output.fileIndex,
                                       output.streamIndex, TypeName(output.stream).c_str()));
            }
            output.syncSource =
                inputStreams_[inputFiles_[map.syncFileIndex].firstStream + map.syncStreamIndex]
                    .get();
        } else {
            source = AutomaticSource(output);
            if (source == nullptr) {
                FailWithMapping(
                    Format("Could not find input stream matching output stream #%d.%d (%s)",
                           output.fileIndex, output.streamIndex, TypeName(output.stream).c_str()));
            }
            output.syncSource = source;
        }
        source->discard = false;
        output.sourceIndex = static_cast<int>(std::distance(
            inputStreams_.begin(),
            std::find_if(inputStreams_.begin(), inputStreams_.end(),
                         [source](const auto& entry) { return entry.get() == source; })));
    }
}

InputStreamState* TranscodeSession::AutomaticSource(const OutputStreamState& output) const {
    const AVMediaType type = TypeOf(output.stream);
    const bool join = engine_.JoinMode();
    const auto usable = [&](const InputStreamState& input) {
        return input.stream->discard != AVDISCARD_ALL && TypeOf(input.stream) == type &&
               (!join || input.fileIndex == output.fileIndex);
    };
    InputStreamState* chosen = nullptr;
    std::int64_t mostFrames = -1;
    for (const auto& entry : inputStreams_) {
        InputStreamState& input = *entry;
        if (!input.discard || !usable(input)) {
            continue;
        }
        const std::int64_t frames =
            ProbedFrames(*engine_.Input(input.fileIndex).input.Context(), *input.stream);
        if (frames > mostFrames) {
            mostFrames = frames;
            chosen = &input;
        }
    }
    if (chosen != nullptr) {
        return chosen;
    }
    bool programSelected = false;
    for (int file = 0; file < engine_.InputCount(); ++file) {
        programSelected = programSelected || engine_.Input(file).programSelected;
    }
    if (programSelected || join) {
        return nullptr;
    }
    for (auto input = inputStreams_.rbegin(); input != inputStreams_.rend(); ++input) {
        if (usable(**input)) {
            return input->get();
        }
    }
    return nullptr;
}

void TranscodeSession::PrepareStream(OutputStreamState& output) {
    InputStreamState& input = *inputStreams_[output.sourceIndex];
    AVStream& stream = *output.stream;
    const AVStream& source = *input.stream;
    avutil.av_dict_copy(&stream.metadata, source.metadata, AV_DICT_DONT_OVERWRITE);
    stream.disposition = source.disposition;

    if (output.encoder == nullptr) {
        PrepareStreamCopy(output, input);
        return;
    }
    AVCodecContext& encoder = *output.encoder;
    encoder.chroma_sample_location = source.codecpar->chroma_location;
    switch (encoder.codec_type) {
        case AVMEDIA_TYPE_VIDEO:
            PrepareVideoEncoding(output, input);
            break;
        case AVMEDIA_TYPE_AUDIO:
            PrepareAudioEncoding(output, input);
            break;
        case AVMEDIA_TYPE_SUBTITLE:
            // Bitmap subtitle encoders place their pictures on the source's frame.
            if (encoder.width == 0 || encoder.height == 0) {
                encoder.width = source.codecpar->width;
                encoder.height = source.codecpar->height;
            }
            encoder.time_base = AVRational{1, 1'000'000};
            break;
        default:
            throw MediaError("invalid codec_type of output stream");
    }
    input.decodingNeeded = true;
    output.encodingNeeded = true;
    const auto position = std::distance(
        outputStreams_.begin(),
        std::find_if(outputStreams_.begin(), outputStreams_.end(),
                     [&output](const auto& entry) { return entry.get() == &output; }));
    PrepareTwoPass(output, static_cast<int>(position));
}

void TranscodeSession::PrepareStreamCopy(OutputStreamState& output, const InputStreamState& input) {
    AVCodecParameters& parameters = *output.stream->codecpar;
    const AVCodecParameters& source = *input.stream->codecpar;
    switch (source.codec_type) {
        case AVMEDIA_TYPE_VIDEO:
            if (engine_.HasCustomHook()) {
                throw MediaError(
                    "-vcodec copy and CustomHook are incompatible (frames are not decoded)");
            }
            if (!engine_.HookModules().Empty()) {
                throw MediaError(
                    "-vcodec copy and -vhook are incompatible (frames are not decoded)");
            }
            if (engine_.PreviewFlags() != 0) {
                throw MediaError(
                    "-vcodec copy and PostHooks are incompatible (frames are not decoded)");
            }
            break;
        case AVMEDIA_TYPE_AUDIO:
            if (options_.audioVolume != 256) {
                throw MediaError("-acodec copy and -vol are incompatible (frames are not decoded)");
            }
            break;
        case AVMEDIA_TYPE_SUBTITLE:
        case AVMEDIA_TYPE_DATA:
            break;
        default:
            throw MediaError("invalid codec_type of output stream");
    }
    if (source.extradata_size > INT_MAX - 8) {
        throw MediaError("icodec.extradata_size is invalid (too large)");
    }
    const std::uint32_t wantedTag = parameters.codec_tag;  // from "vtag"/"atag"
    if (avcodec.avcodec_parameters_copy(&parameters, &source) < 0) {
        throw MediaError("av_mallocz fail");
    }
    const AVOutputFormat& format = *output.file->context->oformat;
    if (wantedTag != 0) {
        parameters.codec_tag = wantedTag;
    } else if (format.codec_tag != nullptr && source.codec_tag != 0 &&
               avformat.av_codec_get_id(format.codec_tag, source.codec_tag) != source.codec_id &&
               avformat.av_codec_get_tag(format.codec_tag, source.codec_id) > 0) {
        parameters.codec_tag = 0;
    }
    output.stream->time_base = input.stream->time_base;
    output.stream->avg_frame_rate = input.stream->avg_frame_rate;
    output.stream->r_frame_rate = input.stream->r_frame_rate;
    if (source.codec_type == AVMEDIA_TYPE_VIDEO) {
        output.stream->sample_aspect_ratio = input.stream->sample_aspect_ratio;
    } else if (source.codec_type == AVMEDIA_TYPE_AUDIO) {
        if (source.codec_id == AV_CODEC_ID_AC3 ||
            (source.codec_id == AV_CODEC_ID_MP3 && parameters.block_align == 1)) {
            parameters.block_align = 0;
        }
    }
}

void TranscodeSession::PrepareVideoEncoding(OutputStreamState& output, InputStreamState& input) {
    AVCodecContext& encoder = *output.encoder;
    const AVCodecParameters& source = *input.stream->codecpar;
    if (source.format == AV_PIX_FMT_NONE) {
        throw MediaError("Video pixel format is unknown, stream cannot be encoded");
    }
    const OutputStream& stream = *output.output;
    output.cropTop = output.firstCropTop = stream.cropTop;
    output.cropBottom = output.firstCropBottom = stream.cropBottom;
    output.cropLeft = output.firstCropLeft = stream.cropLeft;
    output.cropRight = output.firstCropRight = stream.cropRight;
    output.crop = stream.cropTop != 0 || stream.cropBottom != 0 || stream.cropLeft != 0 ||
                  stream.cropRight != 0;
    const int croppedWidth = source.width - output.cropLeft - output.cropRight;
    const int croppedHeight = source.height - output.cropTop - output.cropBottom;
    const auto sourceFormat = static_cast<AVPixelFormat>(source.format);
    output.resample = croppedWidth != encoder.width || croppedHeight != encoder.height ||
                      sourceFormat != encoder.pix_fmt;
    output.resampleWidth = croppedWidth;
    output.resampleHeight = croppedHeight;
    output.resamplePixelFormat = sourceFormat;

    if (const AVPixFmtDescriptor* descriptor = avutil.av_pix_fmt_desc_get(encoder.pix_fmt)) {
        encoder.bits_per_raw_sample =
            std::min(source.bits_per_raw_sample, descriptor->comp[0].depth);
    }

    if (!stream.videoFilters.empty()) {
        VideoFilterGraph::Settings settings;
        settings.width = source.width;
        settings.height = source.height;
        settings.pixelFormat = sourceFormat;
        settings.sampleAspectRatio = encoder.sample_aspect_ratio;
        settings.cropTop = output.cropTop;
        settings.cropBottom = output.cropBottom;
        settings.cropLeft = output.cropLeft;
        settings.cropRight = output.cropRight;
        settings.outputWidth = encoder.width;
        settings.outputHeight = encoder.height;
        settings.outputPixelFormat = encoder.pix_fmt;
        settings.scalerFlags = ScalerFlags(engine_.LibraryOptions());
        settings.chain = stream.videoFilters;
        try {
            output.filterGraph = std::make_unique<VideoFilterGraph>(settings);
        } catch (const MediaError& error) {
            const std::string reason = error.what();
            throw MediaError(reason.empty() ? "Error opening filters!"
                                            : "Error opening filters: " + reason);
        }
        encoder.width = output.filterGraph->OutputWidth();
        encoder.height = output.filterGraph->OutputHeight();
        return;
    }
    if (output.resample) {
        output.scaler.reset(media::lib::swscale.sws_getContext(
            croppedWidth, croppedHeight, sourceFormat, encoder.width, encoder.height,
            encoder.pix_fmt, ScalerFlags(engine_.LibraryOptions()), nullptr, nullptr, nullptr));
        if (!output.scaler) {
            throw MediaError("Cannot get resampling context");
        }
        ++engine_.scalersMade_;
    }
    output.firstInputWidth = source.width;
    output.firstInputHeight = source.height;
}

void TranscodeSession::PrepareAudioEncoding(OutputStreamState& output, InputStreamState& input) {
    AVCodecContext& encoder = *output.encoder;
    const AVCodecParameters& source = *input.stream->codecpar;
    output.audioResample =
        source.sample_rate != encoder.sample_rate || options_.audioSyncMethod > 1;
    if (source.format == encoder.sample_fmt) {
        encoder.bits_per_raw_sample = source.bits_per_raw_sample;
    }
}

void TranscodeSession::PrepareTwoPass(OutputStreamState& output, int position) {
    AVCodecContext& encoder = *output.encoder;
    if ((encoder.flags & (AV_CODEC_FLAG_PASS1 | AV_CODEC_FLAG_PASS2)) == 0) {
        return;
    }
    const std::string prefix =
        options_.passLogFileName.empty() ? "ffmpeg2pass" : options_.passLogFileName;
    std::string name = prefix + "-" + std::to_string(position) + ".log";
    if (name.size() > 1023) {
        name.resize(1023);
    }
    output.passLogFileName = name;
    // Some encoders keep their statistics file themselves; they are told its name.
    if (encoder.priv_data != nullptr &&
        avutil.av_opt_find(encoder.priv_data, "stats", nullptr, 0, 0) != nullptr) {
        avutil.av_opt_set(encoder.priv_data, "stats", name.c_str(), 0);
        return;
    }
    if ((encoder.flags & AV_CODEC_FLAG_PASS1) != 0) {
        output.passLogFile.reset(std::fopen(name.c_str(), "wb"));
        if (!output.passLogFile) {
            throw MediaError("Cannot write log file " + name + " for pass-1 encoding");
        }
        return;
    }
    std::ifstream file(name, std::ios::binary);
    if (!file) {
        throw MediaError("Cannot read file: Error reading log file \"" + name +
                         "\" for pass-2 encoding");
    }
    const std::string statistics((std::istreambuf_iterator<char>(file)),
                                 std::istreambuf_iterator<char>());
    if (file.bad()) {
        throw MediaError("Cannot read file: Error reading log file \"" + name +
                         "\" for pass-2 encoding");
    }
    auto* text = static_cast<char*>(avutil.av_malloc(statistics.size() + 1));
    if (text == nullptr) {
        throw MediaError("Could not allocate file buffer: Error reading log file \"" + name +
                         "\" for pass-2 encoding");
    }
    std::copy(statistics.begin(), statistics.end(), text);
    text[statistics.size()] = '\0';
    encoder.stats_in = text;
}

void TranscodeSession::OpenEncoders() {
    for (auto& output : outputStreams_) {
        // In join mode the outputs of every input share the first input's encoders.
        if (output->encodingNeeded && output->fileIndex == 0) {
            OpenEncoder(*output);
        }
    }
    for (auto& output : outputStreams_) {
        if (output->encodingNeeded && output->fileIndex != 0) {
            output->stream->time_base = output->encoder->time_base;
        }
    }
}

void TranscodeSession::OpenEncoder(OutputStreamState& output) {
    AVCodecContext& encoder = *output.encoder;
    const AVCodec* codec = output.output->codec != nullptr
                               ? output.output->codec
                               : avcodec.avcodec_find_encoder(encoder.codec_id);
    const std::string typeName = media::MediaTypeName(encoder.codec_type);
    if (codec == nullptr) {
        LogStreamMapping(media::LogLevel::llError);
        const std::string message =
            Format("Encoder (codec id %d) not found for output stream #%d.%d (%s)",
                   encoder.codec_id, output.fileIndex, output.streamIndex, typeName.c_str());
        Log(media::LogLevel::llError, message);
        throw MediaError(message);
    }
    if (encoder.codec_type == AVMEDIA_TYPE_SUBTITLE && encoder.subtitle_header == nullptr) {
        const AVCodecContext* decoder = inputStreams_[output.sourceIndex]->decoder.get();
        if (decoder != nullptr && decoder->subtitle_header_size > 0) {
            encoder.subtitle_header = static_cast<std::uint8_t*>(
                avutil.av_mallocz(static_cast<std::size_t>(decoder->subtitle_header_size) + 1));
            if (encoder.subtitle_header == nullptr) {
                throw MediaError("Not enough memory");
            }
            std::copy(decoder->subtitle_header,
                      decoder->subtitle_header + decoder->subtitle_header_size,
                      encoder.subtitle_header);
            encoder.subtitle_header_size = decoder->subtitle_header_size;
        }
    }
    int opened;
    {
        std::scoped_lock lock(media::CodecLock());
        opened = avcodec.avcodec_open2(&encoder, codec, nullptr);
    }
    if (opened < 0) {
        const std::string message = Format(
            "Error while opening encoder for output stream #%d.%d (%s) - maybe incorrect "
            "parameters such as bit_rate, rate, width or height. Please check error log message "
            "to find out more detail information.",
            output.fileIndex, output.streamIndex, typeName.c_str());
        Log(media::LogLevel::llError, message);
        throw MediaError(message);
    }
    output.output->encoderOpen = true;
    headerBytes_ += encoder.extradata_size;
    AVStream& stream = *output.stream;
    if (avcodec.avcodec_parameters_from_context(stream.codecpar, &encoder) < 0) {
        throw MediaError("Not enough memory");
    }
    stream.time_base = encoder.time_base;
    // What the encoder declares about its stream (buffer sizes and rates) the muxer reads here.
    for (int index = 0; index < encoder.nb_coded_side_data; ++index) {
        const AVPacketSideData& side = encoder.coded_side_data[index];
        std::uint8_t* copy = avformat.av_stream_new_side_data(&stream, side.type, side.size);
        if (copy == nullptr) {
            throw MediaError("Not enough memory");
        }
        std::copy(side.data, side.data + side.size, copy);
    }
    if (encoder.codec_type == AVMEDIA_TYPE_VIDEO) {
        stream.avg_frame_rate = encoder.framerate;
        stream.sample_aspect_ratio = encoder.sample_aspect_ratio;
    }
}

void TranscodeSession::OpenDecoders() {
    for (auto& entry : inputStreams_) {
        InputStreamState& input = *entry;
        if (!input.decodingNeeded) {
            continue;
        }
        const AVCodecParameters& parameters = *input.stream->codecpar;
        const InputFile& file = engine_.Input(input.fileIndex);
        const AVCodec* codec = file.forcedDecoders.at(input.streamIndex);
        if (codec == nullptr) {
            codec = avcodec.avcodec_find_decoder(parameters.codec_id);
        }
        const std::string typeName = media::MediaTypeName(parameters.codec_type);
        if (codec == nullptr) {
            throw MediaError(Format("Decoder (codec id %d) not found for input stream #%d.%d (%s)",
                                    parameters.codec_id, input.fileIndex, input.streamIndex,
                                    typeName.c_str()));
        }
        input.decoder.reset(avcodec.avcodec_alloc_context3(codec));
        if (!input.decoder ||
            avcodec.avcodec_parameters_to_context(input.decoder.get(), &parameters) < 0) {
            throw MediaError("Not enough memory");
        }
        AVCodecContext& decoder = *input.decoder;
        decoder.pkt_timebase = input.stream->time_base;
        engine_.LibraryOptions().CopyCodecOptions(
            parameters.codec_type, decoder,
            (parameters.codec_type == AVMEDIA_TYPE_VIDEO   ? AV_OPT_FLAG_VIDEO_PARAM
             : parameters.codec_type == AVMEDIA_TYPE_AUDIO ? AV_OPT_FLAG_AUDIO_PARAM
                                                           : AV_OPT_FLAG_SUBTITLE_PARAM) |
                AV_OPT_FLAG_DECODING_PARAM);
        decoder.thread_count = 0;  // the libraries choose
        int opened;
        {
            std::scoped_lock lock(media::CodecLock());
            opened = avcodec.avcodec_open2(&decoder, codec, nullptr);
        }
        if (opened < 0) {
            input.decoder.reset();
            throw MediaError(Format("Error while opening decoder for input stream #%d.%d (%s)",
                                    input.fileIndex, input.streamIndex, typeName.c_str()));
        }
    }
}

void TranscodeSession::SetInitialTimes() {
    for (auto& entry : inputStreams_) {
        InputStreamState& input = *entry;
        const AVRational rate = input.stream->avg_frame_rate;
        const int delay = input.stream->codecpar->video_delay;
        input.currentTime = rate.num > 0 && rate.den > 0
                                ? -std::llround(delay * 1'000'000.0 * rate.den / rate.num)
                                : 0;
        input.nextTime = NoTime;
        input.atStart = true;
    }
}

void TranscodeSession::CopyMetadataMaps() {
    for (const MetaDataMap& map : options_.metaDataMaps) {
        if (map.outputFile < 0 || map.outputFile >= engine_.OutputCount()) {
            throw MediaError(Format("Invalid output file index %d map_meta_data(%d,%d)",
                                    map.outputFile, map.outputFile, map.inputFile));
        }
        if (map.inputFile < 0 || map.inputFile >= engine_.InputCount()) {
            throw MediaError(Format("Invalid input file index %d map_meta_data(%d,%d)",
                                    map.inputFile, map.outputFile, map.inputFile));
        }
        // The 5.1 libraries use the same generic key names for every format.
        avutil.av_dict_copy(&engine_.Output(map.outputFile).context->metadata,
                            engine_.Input(map.inputFile).input.Context()->metadata,
                            AV_DICT_DONT_OVERWRITE);
    }
}

void TranscodeSession::CopyChapters() {
    for (int file = 0; file < engine_.InputCount(); ++file) {
        const AVFormatContext& input = *engine_.Input(file).input.Context();
        if (input.nb_chapters == 0) {
            continue;
        }
        const std::int64_t offset = engine_.Input(file).timeOffset;
        for (int entry = 0; entry < engine_.OutputCount(); ++entry) {
            if (engine_.JoinMode() && entry > 0) {
                break;
            }
            AVFormatContext& output = *engine_.Output(entry).context;
            for (unsigned c = 0; c < input.nb_chapters; ++c) {
                const AVChapter& chapter = *input.chapters[c];
                const std::int64_t shift = avutil.av_rescale_q(
                    options_.startTime - offset, AVRational{1, 1'000'000}, chapter.time_base);
                const std::int64_t recording =
                    options_.recordingTime == INT64_MAX
                        ? INT64_MAX
                        : avutil.av_rescale_q(options_.recordingTime, AVRational{1, 1'000'000},
                                              chapter.time_base);
                if (chapter.end < shift) {
                    continue;
                }
                if (recording != INT64_MAX && chapter.start > shift + recording) {
                    break;
                }
                auto* copy = static_cast<AVChapter*>(avutil.av_mallocz(sizeof(AVChapter)));
                if (copy == nullptr) {
                    throw MediaError("Not enough memory");
                }
                copy->id = chapter.id;
                copy->time_base = chapter.time_base;
                copy->start = std::max<std::int64_t>(0, chapter.start - shift);
                copy->end = std::min(recording, chapter.end - shift);
                avutil.av_dict_copy(&copy->metadata, chapter.metadata, 0);
                auto** grown = static_cast<AVChapter**>(
                    avutil.av_malloc(sizeof(AVChapter*) * (output.nb_chapters + 1)));
                if (grown == nullptr) {
                    avutil.av_dict_free(&copy->metadata);
                    avutil.av_free(copy);
                    throw MediaError("Not enough memory");
                }
                std::copy(output.chapters, output.chapters + output.nb_chapters, grown);
                grown[output.nb_chapters] = copy;
                avutil.av_free(output.chapters);
                output.chapters = grown;
                ++output.nb_chapters;
            }
        }
    }
}

void TranscodeSession::PrepareBitstreamFilters(OutputStreamState& output) {
    AVRational timeBase =
        output.encoder != nullptr ? output.encoder->time_base : output.stream->time_base;
    for (const std::string& name : output.bitstreamFilterNames) {
        AVBSFContext* filter = nullptr;
        if (avcodec.av_bsf_list_parse_str(name.c_str(), &filter) < 0 || filter == nullptr) {
            throw MediaError("Unknown bitstream filter " + name);
        }
        BsfContextPtr owned(filter);
        avcodec.avcodec_parameters_copy(filter->par_in, output.stream->codecpar);
        filter->time_base_in = timeBase;
        if (avcodec.av_bsf_init(filter) < 0) {
            throw MediaError("Error initializing bitstream filter: " + name);
        }
        avcodec.avcodec_parameters_copy(output.stream->codecpar, filter->par_out);
        timeBase = filter->time_base_out;
        output.bitstreamFilters.push_back(std::move(owned));
    }
}

void TranscodeSession::WriteHeaders() {
    for (auto& output : outputStreams_) {
        if (output->fileIndex == 0 || !engine_.JoinMode()) {
            PrepareBitstreamFilters(*output);
        }
    }
    bool everyOutputIsRtp = engine_.OutputCount() > 0;
    for (int entry = 0; entry < engine_.OutputCount(); ++entry) {
        if (engine_.JoinMode() && entry > 0) {
            break;
        }
        AVFormatContext* context = engine_.Output(entry).context;
        if (avformat.avformat_write_header(context, nullptr) < 0) {
            const std::string message = Format(
                "Could not write header for output file #%d (incorrect codec parameters ?)", entry);
            Log(media::LogLevel::llError, message);
            throw MediaError(message);
        }
        everyOutputIsRtp = everyOutputIsRtp && std::string(context->oformat->name) == "rtp";
    }
    headersWritten_ = true;
    if (everyOutputIsRtp) {
        std::vector<AVFormatContext*> contexts;
        for (int entry = 0; entry < engine_.OutputCount(); ++entry) {
            contexts.push_back(engine_.Output(entry).context);
        }
        char sdp[16384] = {};
        avformat.av_sdp_create(contexts.data(), static_cast<int>(contexts.size()), sdp, sizeof sdp);
        Log(media::LogLevel::llInfo, std::string("SDP:\r\n") + sdp);
    }
}

void TranscodeSession::LogStreamMapping(media::LogLevel level) const {
    for (int entry = 0; entry < engine_.OutputCount(); ++entry) {
        if (engine_.JoinMode() && entry > 0) {
            break;
        }
        const OutputFile& file = engine_.Output(entry);
        avformat.av_dump_format(file.context, entry, file.fileName.c_str(), 1);
    }
    if (options_.verbose < 0) {
        return;
    }
    Log(level, "Stream mapping:");
    for (const auto& output : outputStreams_) {
        const InputStreamState& source = *inputStreams_[output->sourceIndex];
        std::string line =
            Format("  Stream #%d.%d -> #%d.%d (%s)", source.fileIndex, source.streamIndex,
                   output->fileIndex, output->streamIndex, TypeName(output->stream).c_str());
        if (output->syncSource != nullptr && output->syncSource != &source) {
            line += Format(" [sync #%d.%d (%s)]", output->syncSource->fileIndex,
                           output->syncSource->streamIndex,
                           TypeName(output->syncSource->stream).c_str());
        }
        Log(level, line);
    }
}

void TranscodeSession::CloseCodecs() {
    std::scoped_lock lock(media::CodecLock());
    for (auto& output : outputStreams_) {
        OutputStream& stream = *output->output;
        if (stream.encoder) {
            avutil.av_freep(&stream.encoder->stats_in);
        }
        if (stream.encoderOpen) {
            stream.encoder.reset();
            stream.encoderOpen = false;
        }
        output->encoder = nullptr;
    }
    for (auto& input : inputStreams_) {
        input->decoder.reset();
    }
}

}  // namespace quillo::converter
