// Opening an output: its container, the streams it gets and their encoder settings, its
// metadata and its file.

#include <sys/stat.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <utility>

extern "C" {
#include <libavutil/opt.h>
}

#include "converter/codec_lookup.h"
#include "converter/transcoder.h"
#include "media/library_bindings.h"
#include "media/library_error.h"
#include "media/media_url.h"
#include "media/value_text.h"

namespace quillo::converter {

namespace {

using media::MediaError;
using media::lib::avcodec;
using media::lib::avformat;
using media::lib::avutil;

std::size_t PixelFormatCount(const AVPixelFormat* formats) {
    std::size_t count = 0;
    while (formats[count] != AV_PIX_FMT_NONE) {
        ++count;
    }
    return count;
}

// A channel layout that releases what it holds.
struct ChannelLayout {
    AVChannelLayout value{};
    ChannelLayout() = default;
    ChannelLayout(const ChannelLayout&) = delete;
    ChannelLayout& operator=(const ChannelLayout&) = delete;
    ~ChannelLayout() { avutil.av_channel_layout_uninit(&value); }
};

std::uint32_t CodecTag(const std::string& tag) {
    return MKTAG(tag[0], tag[1], tag[2], tag[3]);
}

// "2026-12-10T04:31:50.000000Z" for a count of seconds since 1970.
std::string IsoTime(std::int64_t seconds) {
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm utc{};
    gmtime_r(&time, &utc);
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S.000000Z", &utc);
    return text;
}

// Sets an option of the muxer when it has one of that name.
void SetMuxerOption(AVFormatContext& context, const char* name, std::int64_t value) {
    if (context.priv_data != nullptr &&
        avutil.av_opt_find(context.priv_data, name, nullptr, 0, 0) != nullptr) {
        avutil.av_opt_set_int(context.priv_data, name, value, 0);
    }
}

}  // namespace

OutputFile& Transcoder::LastOutput() {
    if (outputFiles_.empty()) {
        throw MediaError("At least one output file must be specified");
    }
    return *outputFiles_.back();
}

void Transcoder::AddVideoStream() {
    RequireLibraries();
    NewVideoStream(LastOutput());
}

void Transcoder::AddAudioStream() {
    RequireLibraries();
    NewAudioStream(LastOutput());
}

void Transcoder::AddSubtitleStream() {
    RequireLibraries();
    NewSubtitleStream(LastOutput());
}

int Transcoder::OpenOutput(const std::string& fileName, bool join) {
    RequireLibraries();
    const std::size_t entriesBefore = outputs_.size();
    const std::size_t filesBefore = outputFiles_.size();
    try {
        if (join_) {
            throw MediaError("Cannot join more than one output file.");
        }
        if (outputs_.size() >= static_cast<std::size_t>(MaxFiles)) {
            throw MediaError("max output files " + std::to_string(MaxFiles) + " reached");
        }
        auto output = std::make_unique<OutputFile>();
        output->fileName = fileName;

        const AVOutputFormat* format = nullptr;
        if (!options_.fileFormat.empty()) {
            // Consumed by this output whether or not it exists.
            const std::string formatName = std::exchange(options_.fileFormat, {});
            format = avformat.av_guess_format(formatName.c_str(), nullptr, nullptr);
            if (format == nullptr) {
                throw MediaError("Requested output format '" + formatName +
                                 "' is not a suitable output format");
            }
        } else {
            format = avformat.av_guess_format(nullptr, fileName.c_str(), nullptr);
            if (format == nullptr) {
                throw MediaError("Unable to find a suitable output format for '" + fileName + "'");
            }
        }
        const std::string url = media::MakeMediaURL(fileName);
        if (avformat.avformat_alloc_output_context2(&output->context, format, nullptr,
                                                    url.c_str()) < 0) {
            throw MediaError("avformat_alloc_context failed");
        }

        CreateOutputStreams(*output);

        if (options_.recordingTimestamp != 0) {
            avutil.av_dict_set(&output->context->metadata, "creation_time",
                               IsoTime(options_.recordingTimestamp).c_str(), 0);
        }
        // Last added first, each replacing: of two values for one key the first wins.
        for (auto pair = options_.metadata.rbegin(); pair != options_.metadata.rend(); ++pair) {
            avutil.av_dict_set(&output->context->metadata, pair->first.c_str(),
                               pair->second.c_str(), 0);
        }
        options_.metadata.clear();

        OutputFile& added = *output;
        outputFiles_.push_back(std::move(output));
        outputs_.push_back(&added);

        if ((format->flags & AVFMT_NEEDNUMBER) != 0 &&
            avformat.av_filename_number_test(fileName.c_str()) == 0) {
            throw MediaError(media::FormatLibraryError(fileName, AVERROR(EDOM)));
        }
        RefuseInputAsOutput(fileName);
        OpenOutputFile(added);

        AVFormatContext& context = *added.context;
        SetMuxerOption(context, "preload", static_cast<std::int64_t>(options_.muxPreload * 1e6));
        context.max_delay = static_cast<int>(options_.muxMaxDelay * 1e6);
        SetMuxerOption(context, "loop", options_.loopOutput);
        context.flags |= AVFMT_FLAG_NONBLOCK;
        libraryOptions_->CopyContainerOptions(context, AV_OPT_FLAG_ENCODING_PARAM);
        libraryOptions_->ApplyContainerPrivateOptions(context);
        options_.streamIdMap.fill(0);

        if (join && inputs_.size() > 1) {
            join_ = true;
            std::int64_t sum = 0;
            for (const auto& input : inputs_) {
                const std::int64_t duration = input->input.Context()->duration;
                if (duration != AV_NOPTS_VALUE && duration > 0) {
                    sum += duration;
                }
            }
            totalDuration_ = sum == 0 ? -1 : sum;
            for (std::size_t i = 1; i < inputs_.size(); ++i) {
                outputs_.push_back(&added);
            }
        }
    } catch (const MediaError& error) {
        outputs_.resize(entriesBefore);
        outputFiles_.resize(filesBefore);
        lastErrorMessage_ = error.what();
        return -1;
    }
    return static_cast<int>(outputs_.size());
}

void Transcoder::RefuseInputAsOutput(const std::string& fileName) const {
    // Opening an output empties its file: that must never be a file being read.
    struct stat output {};
    if (stat(fileName.c_str(), &output) != 0) {
        return;
    }
    for (std::size_t index = 0; index < inputs_.size(); ++index) {
        struct stat input {};
        if (stat(inputs_[index]->fileName.c_str(), &input) == 0 && input.st_dev == output.st_dev &&
            input.st_ino == output.st_ino) {
            throw MediaError("Output file '" + fileName + "' is the same file as input file #" +
                             std::to_string(index));
        }
    }
}

void Transcoder::OpenOutputFile(OutputFile& output) {
    AVFormatContext& context = *output.context;
    if ((context.oformat->flags & AVFMT_NOFILE) != 0) {
        return;
    }
    int error = 0;
    const std::string url = media::MakeMediaURL(output.fileName);
    if (media::IsUnicodeURL(url)) {
        output.io = media::FileIo::Open(output.fileName, media::FileIo::Mode::Write, error);
        if (output.io) {
            context.pb = output.io->Context();
        }
    } else {
        error = avformat.avio_open(&context.pb, url.c_str(), AVIO_FLAG_WRITE);
    }
    if (error < 0) {
        throw MediaError(media::FormatLibraryError(output.fileName, error));
    }
}

void Transcoder::CreateOutputStreams(OutputFile& output) {
    const AVOutputFormat& format = *output.context->oformat;
    bool wantVideo = options_.videoStreamCopy || format.video_codec != AV_CODEC_ID_NONE ||
                     !options_.videoCodecName.empty();
    bool wantAudio = options_.audioStreamCopy || format.audio_codec != AV_CODEC_ID_NONE ||
                     !options_.audioCodecName.empty();
    bool wantSubtitle = options_.subtitleStreamCopy || format.subtitle_codec != AV_CODEC_ID_NONE ||
                        !options_.subtitleCodecName.empty();
    if (!inputs_.empty()) {
        bool hasVideo = false;
        bool hasAudio = false;
        bool hasSubtitle = false;
        const std::size_t checked = join_ ? 1 : inputs_.size();
        for (std::size_t i = 0; i < checked; ++i) {
            const AVFormatContext* input = inputs_[i]->input.Context();
            for (unsigned s = 0; s < input->nb_streams; ++s) {
                switch (input->streams[s]->codecpar->codec_type) {
                    case AVMEDIA_TYPE_VIDEO:
                        hasVideo = true;
                        break;
                    case AVMEDIA_TYPE_AUDIO:
                        hasAudio = true;
                        break;
                    case AVMEDIA_TYPE_SUBTITLE:
                        hasSubtitle = true;
                        break;
                    case AVMEDIA_TYPE_DATA:
                    case AVMEDIA_TYPE_ATTACHMENT:
                    case AVMEDIA_TYPE_UNKNOWN:
                        break;
                    default:
                        throw MediaError(
                            "check_audio_video_sub_inputs fail: invalid codec_type of input file");
                }
            }
        }
        wantVideo = wantVideo && hasVideo;
        wantAudio = wantAudio && hasAudio;
        wantSubtitle = wantSubtitle && hasSubtitle;
    }
    const auto create = [this, &output](bool wanted, const char* kind, auto newStream) {
        if (!wanted) {
            return;
        }
        try {
            (this->*newStream)(output);
        } catch (const MediaError& error) {
            throw MediaError(std::string("new_") + kind + "_stream fail: " + error.what());
        }
    };
    create(wantVideo && !options_.videoDisable, "video", &Transcoder::NewVideoStream);
    create(wantAudio && !options_.audioDisable, "audio", &Transcoder::NewAudioStream);
    create(wantSubtitle && !options_.subtitleDisable, "subtitle", &Transcoder::NewSubtitleStream);
}

std::unique_ptr<OutputStream> Transcoder::PrepareStream(const OutputFile& output, AVMediaType type,
                                                        const AVCodec* codec) const {
    auto added = std::make_unique<OutputStream>();
    added->codec = codec;
    added->bitstreamFilters = type == AVMEDIA_TYPE_VIDEO   ? options_.videoBitstreamFilters
                              : type == AVMEDIA_TYPE_AUDIO ? options_.audioBitstreamFilters
                                                           : options_.subtitleBitstreamFilters;
    added->streamCopy = type == AVMEDIA_TYPE_VIDEO   ? options_.videoStreamCopy
                        : type == AVMEDIA_TYPE_AUDIO ? options_.audioStreamCopy
                                                     : options_.subtitleStreamCopy;
    if (!added->streamCopy) {
        added->encoder.reset(avcodec.avcodec_alloc_context3(codec));
        if (!added->encoder) {
            throw MediaError("Could not alloc stream");
        }
        added->encoder->codec_type = type;
        added->encoder->codec_id =
            codec != nullptr ? codec->id
                             : avformat.av_guess_codec(output.context->oformat, nullptr,
                                                       output.fileName.c_str(), nullptr, type);
        added->encoder->thread_count = 0;  // the libraries choose
        const std::string& tag = type == AVMEDIA_TYPE_VIDEO   ? options_.videoCodecTag
                                 : type == AVMEDIA_TYPE_AUDIO ? options_.audioCodecTag
                                                              : options_.subtitleCodecTag;
        if (!tag.empty()) {
            added->encoder->codec_tag = CodecTag(tag);
        }
    }
    return added;
}

OutputStream& Transcoder::AttachStream(OutputFile& output, std::unique_ptr<OutputStream> added,
                                       AVMediaType type) {
    if (output.context->nb_streams >= MaxStreams) {
        throw MediaError("Could not alloc stream");
    }
    AVStream* stream = avformat.avformat_new_stream(output.context, nullptr);
    if (stream == nullptr) {
        throw MediaError("Could not alloc stream");
    }
    // Nothing below can fail: the stream and the option state change together.
    added->stream = stream;
    stream->id = options_.streamIdMap[stream->index];
    stream->codecpar->codec_type = type;
    stream->sample_aspect_ratio = added->sampleAspectRatio;
    stream->codecpar->sample_aspect_ratio = added->sampleAspectRatio;

    std::string* tag = &options_.subtitleCodecTag;
    std::string* language = &options_.subtitleLanguage;
    switch (type) {
        case AVMEDIA_TYPE_VIDEO:
            tag = &options_.videoCodecTag;
            language = &options_.videoLanguage;
            options_.videoBitstreamFilters.clear();
            options_.videoDisable = false;
            options_.videoCodecName.clear();
            options_.videoStreamCopy = false;
            options_.framePixelFormat = AV_PIX_FMT_NONE;
            break;
        case AVMEDIA_TYPE_AUDIO:
            tag = &options_.audioCodecTag;
            language = &options_.audioLanguage;
            options_.audioBitstreamFilters.clear();
            options_.audioDisable = false;
            options_.audioCodecName.clear();
            options_.audioStreamCopy = false;
            break;
        default:
            options_.subtitleBitstreamFilters.clear();
            options_.subtitleDisable = false;
            options_.subtitleCodecName.clear();
            options_.subtitleStreamCopy = false;
            break;
    }
    if (!tag->empty()) {
        stream->codecpar->codec_tag = CodecTag(*tag);
    }
    if (!language->empty()) {
        avutil.av_dict_set(&stream->metadata, "language", language->c_str(), 0);
        language->clear();
    }
    output.streams.push_back(std::move(added));
    return *output.streams.back();
}

const AVCodec* Transcoder::ChooseEncoder(const OutputFile& output, AVMediaType type,
                                         const std::string& name, bool streamCopy) const {
    if (streamCopy) {
        return nullptr;
    }
    const int strictness = libraryOptions_->Codec(type).strict_std_compliance;
    if (const AVCodec* named = FindCodec(name, type, true, false, strictness)) {
        return named;
    }
    const AVCodecID guessed = avformat.av_guess_codec(output.context->oformat, nullptr,
                                                      output.fileName.c_str(), nullptr, type);
    return guessed != AV_CODEC_ID_NONE ? avcodec.avcodec_find_encoder(guessed) : nullptr;
}

void Transcoder::NewVideoStream(OutputFile& output) {
    const AVCodec* codec = ChooseEncoder(output, AVMEDIA_TYPE_VIDEO, options_.videoCodecName,
                                         options_.videoStreamCopy);
    std::unique_ptr<OutputStream> prepared = PrepareStream(output, AVMEDIA_TYPE_VIDEO, codec);
    OutputStream& added = *prepared;

    // The picture's display shape as a pixel shape, in small terms.
    const double pixelAspect =
        options_.frameWidth != 0 && options_.frameHeight != 0
            ? options_.frameAspectRatio * options_.frameHeight / options_.frameWidth
            : options_.frameAspectRatio * 3.0 / 4.0;
    const AVRational sampleAspect = avutil.av_d2q(pixelAspect, 255);
    added.sampleAspectRatio = sampleAspect;

    if (!added.streamCopy) {
        added.cropTop = options_.frameTopBand;
        added.cropBottom = options_.frameBottomBand;
        added.cropLeft = options_.frameLeftBand;
        added.cropRight = options_.frameRightBand;
        added.videoFilters = options_.videoFilters;
        AVCodecContext& encoder = *added.encoder;
        libraryOptions_->CopyCodecOptions(AVMEDIA_TYPE_VIDEO, encoder,
                                          AV_OPT_FLAG_VIDEO_PARAM | AV_OPT_FLAG_ENCODING_PARAM);
        libraryOptions_->ApplyPrivateOptions(AVMEDIA_TYPE_VIDEO, encoder);
        const AVOutputFormat& format = *output.context->oformat;
        if ((options_.videoGlobalHeader & 1) != 0 ||
            (options_.videoGlobalHeader == 0 && (format.flags & AVFMT_GLOBALHEADER) != 0)) {
            encoder.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
            libraryOptions_->Codec(AVMEDIA_TYPE_VIDEO).flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        }
        if ((options_.videoGlobalHeader & 2) != 0) {
            encoder.flags2 |= AV_CODEC_FLAG2_LOCAL_HEADER;
            libraryOptions_->Codec(AVMEDIA_TYPE_VIDEO).flags2 |= AV_CODEC_FLAG2_LOCAL_HEADER;
        }

        AVRational frameRate = options_.frameRate.num > 0 && options_.frameRate.den > 0
                                   ? options_.frameRate
                                   : AVRational{25, 1};
        if (codec != nullptr && codec->supported_framerates != nullptr && !options_.forceFps) {
            frameRate = codec->supported_framerates[avutil.av_find_nearest_q_idx(
                frameRate, codec->supported_framerates)];
        }
        encoder.time_base = av_inv_q(frameRate);
        encoder.framerate = frameRate;
        encoder.width = options_.frameWidth;
        encoder.height = options_.frameHeight;
        encoder.sample_aspect_ratio = sampleAspect;

        encoder.pix_fmt = options_.framePixelFormat;
        if (codec != nullptr && codec->pix_fmts != nullptr) {
            const bool listed =
                std::find(codec->pix_fmts, codec->pix_fmts + PixelFormatCount(codec->pix_fmts),
                          encoder.pix_fmt) != codec->pix_fmts + PixelFormatCount(codec->pix_fmts);
            const bool mjpegKeeps =
                codec->id == AV_CODEC_ID_MJPEG &&
                encoder.strict_std_compliance < FF_COMPLIANCE_NORMAL &&
                (encoder.pix_fmt == AV_PIX_FMT_YUV420P || encoder.pix_fmt == AV_PIX_FMT_YUV422P);
            if (!listed && !mjpegKeeps) {
                encoder.pix_fmt = codec->pix_fmts[0];
            }
        }
        if (options_.intraOnly) {
            encoder.gop_size = 0;
        }
        if (options_.videoQScale > 0 || options_.sameQuality) {
            encoder.flags |= AV_CODEC_FLAG_QSCALE;
            encoder.global_quality = static_cast<int>(FF_QP2LAMBDA * options_.videoQScale);
        }
        if (options_.intraMatrix) {
            encoder.intra_matrix = CopyMatrix(*options_.intraMatrix);
        }
        if (options_.interMatrix) {
            encoder.inter_matrix = CopyMatrix(*options_.interMatrix);
        }
        ApplyRateControlOverride(encoder);
        if (encoder.rc_initial_buffer_occupancy == 0) {
            encoder.rc_initial_buffer_occupancy = encoder.rc_buffer_size * 3 / 4;
        }
        encoder.intra_dc_precision = options_.intraDcPrecision - 8;
        if (options_.psnr) {
            encoder.flags |= AV_CODEC_FLAG_PSNR;
        }
        if (options_.pass == 1) {
            encoder.flags |= AV_CODEC_FLAG_PASS1;
        } else if (options_.pass == 2) {
            encoder.flags |= AV_CODEC_FLAG_PASS2;
        }
    }
    AttachStream(output, std::move(prepared), AVMEDIA_TYPE_VIDEO);
}

void Transcoder::NewAudioStream(OutputFile& output) {
    const AVCodec* codec = ChooseEncoder(output, AVMEDIA_TYPE_AUDIO, options_.audioCodecName,
                                         options_.audioStreamCopy);
    std::unique_ptr<OutputStream> prepared = PrepareStream(output, AVMEDIA_TYPE_AUDIO, codec);

    // Keep the input's layout only when it has the channel count asked for.
    ChannelLayout layout;
    if (options_.audioChannelLayout != 0 &&
        std::popcount(options_.audioChannelLayout) == options_.audioChannels) {
        avutil.av_channel_layout_from_mask(&layout.value, options_.audioChannelLayout);
    } else {
        avutil.av_channel_layout_default(&layout.value, options_.audioChannels);
    }

    if (!prepared->streamCopy) {
        AVCodecContext& encoder = *prepared->encoder;
        libraryOptions_->CopyCodecOptions(AVMEDIA_TYPE_AUDIO, encoder,
                                          AV_OPT_FLAG_AUDIO_PARAM | AV_OPT_FLAG_ENCODING_PARAM);
        libraryOptions_->ApplyPrivateOptions(AVMEDIA_TYPE_AUDIO, encoder);
        // After the copied options, which may carry a whole "flags" value.
        if ((output.context->oformat->flags & AVFMT_GLOBALHEADER) != 0) {
            encoder.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        }
        if (options_.audioQScale > -99999.0F) {
            encoder.flags |= AV_CODEC_FLAG_QSCALE;
            encoder.global_quality = static_cast<int>(FF_QP2LAMBDA * options_.audioQScale);
        }
        avutil.av_channel_layout_uninit(&encoder.ch_layout);
        avutil.av_channel_layout_copy(&encoder.ch_layout, &layout.value);
        encoder.sample_fmt = options_.audioSampleFormat;
        encoder.sample_rate = options_.audioSampleRate;
        if (codec != nullptr && codec->sample_fmts != nullptr) {
            bool listed = false;
            for (const AVSampleFormat* format = codec->sample_fmts; *format != AV_SAMPLE_FMT_NONE;
                 ++format) {
                listed = listed || *format == encoder.sample_fmt;
            }
            if (!listed) {
                encoder.sample_fmt = codec->sample_fmts[0];
            }
        }
        if (codec != nullptr && codec->supported_samplerates != nullptr) {
            int closest = codec->supported_samplerates[0];
            for (const int* rate = codec->supported_samplerates; *rate != 0; ++rate) {
                if (std::abs(*rate - encoder.sample_rate) <
                    std::abs(closest - encoder.sample_rate)) {
                    closest = *rate;
                }
            }
            if (closest != encoder.sample_rate) {
                Log(media::LogLevel::llWarning,
                    "Requested sampling rate unsupported using closest supported (" +
                        std::to_string(closest) + ")");
                encoder.sample_rate = closest;
            }
        }
        encoder.time_base = AVRational{1, encoder.sample_rate > 0 ? encoder.sample_rate : 1};
    }
    OutputStream& added = AttachStream(output, std::move(prepared), AVMEDIA_TYPE_AUDIO);
    if (added.streamCopy) {
        AVCodecParameters& parameters = *added.stream->codecpar;
        avutil.av_channel_layout_copy(&parameters.ch_layout, &layout.value);
        parameters.sample_rate = options_.audioSampleRate;
    }
}

void Transcoder::NewSubtitleStream(OutputFile& output) {
    const AVCodec* codec = ChooseEncoder(output, AVMEDIA_TYPE_SUBTITLE, options_.subtitleCodecName,
                                         options_.subtitleStreamCopy);
    std::unique_ptr<OutputStream> prepared = PrepareStream(output, AVMEDIA_TYPE_SUBTITLE, codec);
    if (!prepared->streamCopy) {
        libraryOptions_->CopyCodecOptions(AVMEDIA_TYPE_SUBTITLE, *prepared->encoder,
                                          AV_OPT_FLAG_SUBTITLE_PARAM | AV_OPT_FLAG_ENCODING_PARAM);
        libraryOptions_->ApplyPrivateOptions(AVMEDIA_TYPE_SUBTITLE, *prepared->encoder);
    }
    AttachStream(output, std::move(prepared), AVMEDIA_TYPE_SUBTITLE);
}

std::uint16_t* Transcoder::CopyMatrix(const QuantiserMatrix& matrix) const {
    // The codec context frees its matrices with the library's allocator.
    auto* copy = static_cast<std::uint16_t*>(avutil.av_malloc(sizeof(std::uint16_t) * 64));
    if (copy == nullptr) {
        throw MediaError("Not enough memory");
    }
    std::copy(matrix.begin(), matrix.end(), copy);
    return copy;
}

void Transcoder::ApplyRateControlOverride(AVCodecContext& encoder) const {
    if (options_.rcOverride.empty()) {
        return;
    }
    std::vector<RcOverride> overrides;
    std::size_t start = 0;
    while (start <= options_.rcOverride.size()) {
        std::size_t end = options_.rcOverride.find('/', start);
        if (end == std::string::npos) {
            end = options_.rcOverride.size();
        }
        const std::string group = options_.rcOverride.substr(start, end - start);
        int first = 0;
        int last = 0;
        int quality = 0;
        int consumed = 0;
        if (std::sscanf(group.c_str(), "%d,%d,%d%n", &first, &last, &quality, &consumed) != 3 ||
            consumed != static_cast<int>(group.size())) {
            throw MediaError("error parsing rc_override");
        }
        RcOverride entry{};
        entry.start_frame = first;
        entry.end_frame = last;
        if (quality > 0) {
            entry.qscale = quality;
            entry.quality_factor = 1.0F;
        } else {
            entry.qscale = 0;
            entry.quality_factor = static_cast<float>(-quality) / 100.0F;
        }
        overrides.push_back(entry);
        start = end + 1;
    }
    auto* copy = static_cast<RcOverride*>(avutil.av_malloc(sizeof(RcOverride) * overrides.size()));
    if (copy == nullptr) {
        throw MediaError("Not enough memory");
    }
    std::copy(overrides.begin(), overrides.end(), copy);
    avutil.av_freep(&encoder.rc_override);
    encoder.rc_override = copy;
    encoder.rc_override_count = static_cast<int>(overrides.size());
}

}  // namespace quillo::converter
