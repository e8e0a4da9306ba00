#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "app/conversion_hook.h"
#include "converter/converter_test_support.h"
#include "effects/effects_test_support.h"
#include "effects/frame_effects.h"
#include "fixtures/external_commands.h"

namespace quillo::app {
namespace {

using converter::testing::EventLog;
using converter::testing::PumpUntil;
using quillo::testing::FixturePath;
using quillo::testing::RunCommand;
using quillo::testing::ShellQuoted;

void RunFfmpeg(const std::string& arguments) {
    const quillo::testing::CommandResult run = RunCommand(
        std::string(QUILLO_FFMPEG) + " -nostdin -v error -y -sws_flags bicubic " + arguments, true);
    EXPECT_EQ(run.exitStatus, 0) << arguments << "\n" << run.output;
}

// Raw 24-bit B, G, R frames, rows unpadded, one after another.
std::vector<media::Bitmap> ReadRawFrames(const std::filesystem::path& file, int width, int height) {
    std::ifstream raw(file, std::ios::binary);
    std::vector<media::Bitmap> frames;
    const auto rowBytes = static_cast<std::streamsize>(width) * 3;
    while (raw.peek() != std::char_traits<char>::eof()) {
        media::Bitmap frame(width, height);
        for (int y = 0; y < height; ++y) {
            raw.read(reinterpret_cast<char*>(frame.ScanLine(y)), rowBytes);
        }
        if (!raw) {
            ADD_FAILURE() << "a partial frame at the end of " << file;
            break;
        }
        frames.push_back(std::move(frame));
    }
    return frames;
}

void WriteRawFrames(const std::filesystem::path& file, const std::vector<media::Bitmap>& frames) {
    std::ofstream raw(file, std::ios::binary);
    for (const media::Bitmap& frame : frames) {
        for (int y = 0; y < frame.Height(); ++y) {
            raw.write(reinterpret_cast<const char*>(frame.ScanLine(y)),
                      static_cast<std::streamsize>(frame.Width()) * 3);
        }
    }
}

// Every frame of a file as ffmpeg decodes it to 24-bit B, G, R.
std::vector<media::Bitmap> DecodeFrames(const std::filesystem::path& file, int width, int height,
                                        const std::filesystem::path& scratch) {
    RunFfmpeg("-i " + ShellQuoted(file) + " -map 0:v:0 -f rawvideo -pix_fmt bgr24 " +
              ShellQuoted(scratch));
    return ReadRawFrames(scratch, width, height);
}

// The frames after the trip the converter gives a hooked picture on its way to the encoder:
// into the source's 4:2:0 format and, for the comparison, back to B, G, R.
std::vector<media::Bitmap> Through420(const std::vector<media::Bitmap>& frames, int width,
                                      int height, const std::filesystem::path& scratch) {
    const std::filesystem::path in = scratch.string() + ".in";
    WriteRawFrames(in, frames);
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    RunFfmpeg("-f rawvideo -pix_fmt bgr24 -s " + size + " -i " + ShellQuoted(in) +
              " -vf format=yuv420p -f rawvideo -pix_fmt bgr24 " + ShellQuoted(scratch));
    return ReadRawFrames(scratch, width, height);
}

struct Difference {
    double mean = 0;  // per byte
    int largest = 0;
};

// Over the rectangle (left, top, width, height), clipped to the frame.
Difference Compare(const media::Bitmap& a, const media::Bitmap& b, int left, int top, int width,
                   int height) {
    Difference difference;
    long long sum = 0;
    long long count = 0;
    for (int y = std::max(top, 0); y < std::min(top + height, a.Height()); ++y) {
        for (int x = std::max(left, 0); x < std::min(left + width, a.Width()); ++x) {
            for (int c = 0; c < 3; ++c) {
                const int d = std::abs(a.ScanLine(y)[x * 3 + c] - b.ScanLine(y)[x * 3 + c]);
                sum += d;
                ++count;
                difference.largest = std::max(difference.largest, d);
            }
        }
    }
    difference.mean = count > 0 ? double(sum) / double(count) : 0.0;
    return difference;
}

// A real conversion through the converter: every encoded frame is the decoded source frame
// with the job's adjustments and the watermarks of its second, as the effect functions draw
// them. ffv1 keeps the pictures as written; what remains is the colour conversion around the
// hook, 4:2:0 chroma included, so the items are drawn in colours that survive it.
TEST(ConversionHookRun, EncodedFramesCarryTheJobsEffects) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);  // the hook's GUI application needs no display
    media::testing::LoadSystemLibraries();
    std::mutex logMutex;
    std::vector<std::string> hookErrors;
    media::LoggerInstance().SetTriggerEventInMainThread(false);
    media::LoggerInstance().SetOnLog([&](const media::MediaComponent*, std::uint32_t,
                                         media::LogLevel, const std::string& message) {
        if (message.find("OnCustomHook") != std::string::npos) {
            std::scoped_lock lock(logMutex);
            hookErrors.push_back(message);
        }
    });
    quillo::testing::TempFolder folder;
    const std::filesystem::path logo = folder / "logo.bmp";
    // 2 x 2 blocks of one colour at even places keep 4:2:0 chroma exact.
    media::Bitmap picture(24, 16);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 24; ++x) {
            const auto shade = std::uint8_t(60 + (x / 2) * 12);
            effects::testing::Set(picture, x, y, {shade, std::uint8_t(200 - (y / 2) * 10), 90});
        }
    }
    effects::testing::WriteBmp(logo, picture);

    JobRecord job;
    job.Brightness = 300;
    job.Contrast = 20;
    job.Saturation = 320;
    job.Exposure = 30;
    WmRec text;
    text.Text = "Quillo";
    text.Font.Name = "DejaVu Sans";
    text.Font.Size = 14;
    text.Font.Color = 0xF0F0F0;
    text.TextLeft = 10;
    text.TextTop = 8;
    text.TextWidth = 80;
    text.TextHeight = 24;
    text.HasBackground = true;
    text.BackColor = 0x303030;
    text.TextOpacity = 220;
    text.StartSec = 0;
    text.EndSec = 1;
    WmRec image;
    image.Kind = WmRec::ImageKind;
    image.ImageFile = logo;
    image.ImageLeft = 200;
    image.ImageTop = 100;
    image.ImageOpacity = 160;
    image.StartSec = 1;
    image.EndSec = 2;
    job.ReplaceWatermarks({text, image});

    ConversionFrameHook hook([&job](int task) { return task == 0 ? &job : nullptr; });
    auto converter = std::make_unique<converter::Converter>();
    EventLog events;
    events.Watch(*converter);
    converter->OnCustomHook = hook.AsHandler();
    converter::OutputOptions output;
    output.CustomHook = true;
    output.VideoCodec = "ffv1";
    output.DisableAudio = true;
    const std::filesystem::path encoded = folder / "effects.mkv";
    ASSERT_EQ(converter->AddTask(FixturePath("clip.mp4")), 0) << converter->LastErrMsg();
    ASSERT_TRUE(converter->SetOutputFile(0, encoded, &output)) << converter->LastErrMsg();
    converter->StartTask(1);
    ASSERT_TRUE(PumpUntil([&] { return events.RunEnded(); })) << "the run did not end";
    converter.reset();
    media::LoggerInstance().SetOnLog({});
    ASSERT_FALSE(events.Terminated().empty());
    EXPECT_TRUE(events.Terminated()[0].info.Finished) << events.Terminated()[0].info.ExceptionMsg;
    EXPECT_TRUE(hookErrors.empty()) << hookErrors.front();

    const quillo::testing::ProbeReport probe = quillo::testing::RunFfprobe(
        FixturePath("clip.mp4"), "-select_streams v:0 -show_entries stream=width,height");
    const int width = std::atoi(probe.fields.at("streams.stream.0.width").c_str());
    const int height = std::atoi(probe.fields.at("streams.stream.0.height").c_str());
    ASSERT_GT(width, image.ImageLeft + 24);
    ASSERT_GT(height, image.ImageTop + 16);
    std::vector<media::Bitmap> expected =
        DecodeFrames(FixturePath("clip.mp4"), width, height, folder / "source.bgr");
    const std::vector<media::Bitmap> actual =
        DecodeFrames(encoded, width, height, folder / "effects.bgr");
    ASSERT_EQ(actual.size(), expected.size());
    ASSERT_EQ(expected.size(), 75u);

    effects::WatermarkImageCache images;
    const effects::PictureAdjustments adjustments{job.Brightness, job.Contrast, job.Saturation,
                                                  job.Exposure};
    std::vector<media::Bitmap> adjustedOnly = expected;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto pts = static_cast<std::int64_t>(i) * 40000;  // 25 pictures per second
        effects::ApplyFrameEffects(expected[i], pts, adjustments, job.Watermarks, images);
        effects::ApplyFrameEffects(adjustedOnly[i], pts, adjustments, {}, images);
    }
    expected = Through420(expected, width, height, folder / "expected.bgr");
    adjustedOnly = Through420(adjustedOnly, width, height, folder / "adjusted.bgr");
    ASSERT_EQ(expected.size(), actual.size());

    // What the engine and the ffmpeg tool each make of the same 4:2:0 picture differs in a
    // few pixels at sharp coloured edges; everywhere else the bytes agree.
    const auto bytesPerFrame = static_cast<double>(width) * height * 3;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(::testing::Message() << "frame " << i);
        const Difference whole = Compare(actual[i], expected[i], 0, 0, width, height);
        EXPECT_LT(whole.mean, 0.05);
        int farOff = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width * 3; ++x) {
                farOff += std::abs(actual[i].ScanLine(y)[x] - expected[i].ScanLine(y)[x]) > 4;
            }
        }
        EXPECT_LT(farOff, bytesPerFrame * 0.0005);
        EXPECT_LE(Compare(actual[i], expected[i], text.TextLeft, text.TextTop, text.TextWidth,
                          text.TextHeight)
                      .largest,
                  2);
        EXPECT_LE(Compare(actual[i], expected[i], image.ImageLeft, image.ImageTop, 24, 16).largest,
                  2);
    }

    // The comparison above means something: the adjustments change every frame, and each
    // item shows in its own seconds only.
    struct Shown {
        std::size_t frame;
        const WmRec& item;
        bool shows;
    };
    const std::vector<Shown> shown = {
        {10, text, true},  {10, image, false}, {30, text, true},
        {30, image, true}, {60, text, false},  {60, image, true},
    };
    for (const Shown& test : shown) {
        const bool isText = &test.item == &text;
        const Difference fromAdjusted =
            isText ? Compare(actual[test.frame], adjustedOnly[test.frame], text.TextLeft,
                             text.TextTop, text.TextWidth, text.TextHeight)
                   : Compare(actual[test.frame], adjustedOnly[test.frame], image.ImageLeft,
                             image.ImageTop, 24, 16);
        EXPECT_EQ(fromAdjusted.mean > 10.0, test.shows)
            << (isText ? "text" : "image") << " at frame " << test.frame << ": "
            << fromAdjusted.mean;
    }
    EXPECT_GT(
        Compare(actual[40],
                DecodeFrames(FixturePath("clip.mp4"), width, height, folder / "plain.bgr")[40], 0,
                0, width, height)
            .mean,
        5.0);
}

}  // namespace
}  // namespace quillo::app
