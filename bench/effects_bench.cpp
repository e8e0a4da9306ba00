// Converts one file with a converter task, as the batch does, with the bench's XviD settings
// (MPEG-4 1500k tagged XVID, MP3 128k, AVI): plain, or with the batch's frame hook applying
// picture adjustments and two watermarks (a text and a BMP picture) to every frame.

#include <QImage>
#include <QString>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "app/conversion_hook.h"
#include "app/job_record.h"
#include "converter/converter.h"
#include "media/file_contents.h"
#include "media/logger.h"
#include "media/main_thread.h"

namespace {

using namespace quillo;

constexpr const char* Usage =
    "usage: quillo-bench-effects plain|hook INPUT OUTPUT.avi\n"
    "  plain: convert INPUT as it is\n"
    "  hook:  brightness, contrast, saturation and exposure changes, a text and a BMP\n"
    "         watermark on every frame, through the batch's frame hook\n";

// A 160 x 80 picture written next to the output, so that the run reads a real BMP file.
std::filesystem::path WriteLogo(const std::filesystem::path& output) {
    QImage image(160, 80, QImage::Format_RGB888);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            image.setPixel(x, y, qRgb(x * 255 / 159, y * 255 / 79, (x + y) % 256));
        }
    }
    std::filesystem::path logo = output;
    logo.replace_extension(".logo.bmp");
    if (!image.save(QString::fromStdString(logo.string()), "BMP")) {
        throw std::runtime_error("cannot write " + logo.string());
    }
    return logo;
}

app::JobRecord EffectsJob(const std::filesystem::path& logo) {
    app::JobRecord job;
    job.Brightness = 300;
    job.Contrast = 20;
    job.Saturation = 320;
    job.Exposure = 30;
    app::WmRec text;
    text.Text = "Quillo Video Converter";
    text.Font.Name = "DejaVu Sans";
    text.Font.Size = 26;
    text.Font.Bold = true;
    text.Font.Color = 0xFFFFFF;
    text.TextLeft = 40;
    text.TextTop = 30;
    text.TextWidth = 480;
    text.TextHeight = 40;
    text.TextOpacity = 200;
    text.EndSec = 1000000;
    app::WmRec image;
    image.Kind = app::WmRec::ImageKind;
    image.ImageFile = logo;
    image.ImageLeft = 1000;
    image.ImageTop = 560;
    image.ImageOpacity = 160;
    image.EndSec = 1000000;
    job.ReplaceWatermarks({text, image});
    return job;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 || (std::strcmp(argv[1], "plain") != 0 && std::strcmp(argv[1], "hook") != 0)) {
        std::fputs(Usage, stderr);
        return 2;
    }
    const bool hooked = std::strcmp(argv[1], "hook") == 0;
    const std::filesystem::path input = argv[2];
    const std::filesystem::path output = argv[3];

    std::atomic<int> errors = 0;
    media::LoggerInstance().SetTriggerEventInMainThread(false);
    media::LoggerInstance().SetOnLog([&errors](const media::MediaComponent*, std::uint32_t,
                                               media::LogLevel level, const std::string& message) {
        if (level <= media::LogLevel::llError) {
            ++errors;
            std::fprintf(stderr, "%s\n", message.c_str());
        }
    });

    try {
        // Made on the main thread, before the task starts, as the batch does.
        app::JobRecord job;
        std::unique_ptr<app::ConversionFrameHook> hook;
        if (hooked) {
            job = EffectsJob(WriteLogo(output));
            hook = std::make_unique<app::ConversionFrameHook>(
                [&job](int task) { return task == 0 ? &job : nullptr; });
        }

        converter::Converter converter;
        if (!converter.LoadMediaLibraries(media::ExecutableFolder() / "medialibs")) {
            std::fprintf(stderr, "%s\n", converter.LastErrMsg().c_str());
            return 1;
        }
        std::atomic<bool> ended = false;
        std::atomic<bool> finished = false;
        std::string failure;
        converter.OnTerminate = [&](converter::ConverterBase&,
                                    const converter::TerminateInfo& info) {
            if (info.TaskIndex < 0) {
                ended = true;
            } else {
                finished = info.Finished && !info.Exception;
                failure = info.ExceptionMsg;
            }
            media::NotifyMainThread();
        };
        std::atomic<int> frames = 0;
        if (hook) {
            converter.OnCustomHook = [&hook, &frames](converter::ConverterBase&,
                                                      converter::HookInfo* info) {
                ++frames;
                hook->Apply(*info);
            };
        }

        converter::OutputOptions options;
        options.VideoCodec = "mpeg4";
        options.VideoBitrate = 1500000;
        options.VideoTag = "XVID";
        options.AudioCodec = "libmp3lame";
        options.AudioBitrate = 128000;
        options.CustomHook = hooked;
        const int task = converter.AddTask(input);
        if (task < 0 || !converter.SetOutputFile(task, output, &options)) {
            std::fprintf(stderr, "%s\n", converter.LastErrMsg().c_str());
            return 1;
        }
        converter.StartTask(1);
        media::PumpMessagesUntil([&ended] { return ended.load(); });
        if (!finished) {
            std::fprintf(stderr, "the conversion failed: %s\n", failure.c_str());
            return 1;
        }
        if (hooked) {
            std::printf("frames through the hook: %d\n", frames.load());
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    // A hook error leaves frames untouched, which would make the run look cheaper than it is.
    return errors.load() == 0 ? 0 : 1;
}
