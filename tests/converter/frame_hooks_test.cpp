// What a running task does with its pictures besides encoding them: the custom hook that may
// edit each decoded picture, frame-hook modules, deinterlacing and filters that hold pictures
// back, and the preview of encoded pictures.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "converter/preview_window.h"
#include "converter/transcoder.h"
#include "fixtures/external_commands.h"
#include "fixtures/fixture_path.h"
#include "transcoder_test_support.h"

namespace quillo::converter {
namespace {

namespace fs = std::filesystem;
using quillo::testing::FixturePath;
using quillo::testing::RunCommand;
using quillo::testing::ShellQuoted;

constexpr int ClipFrames = 75;  // clip.mp4: 3 s at 25 frames a second, 320x240

// The MD5 of every decoded video frame, in order.
std::vector<std::string> FrameHashes(const fs::path& file) {
    const auto result = RunCommand(std::string(QUILLO_FFMPEG) + " -v error -i " +
                                       ShellQuoted(file) + " -map 0:v -f framemd5 -",
                                   false);
    std::vector<std::string> hashes;
    std::istringstream lines(result.output);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line[0] != '#') {
            hashes.push_back(line.substr(line.rfind(',') + 1));
        }
    }
    return hashes;
}

// The luma plane of one decoded frame, a byte per pixel.
std::string Luma(const fs::path& file, int frame) {
    return RunCommand(std::string(QUILLO_FFMPEG) + " -v error -i " + ShellQuoted(file) +
                          " -vf 'select=eq(n\\," + std::to_string(frame) +
                          ")' -frames:v 1 -f rawvideo -pix_fmt gray -",
                      false)
        .output;
}

using HookHandler = std::function<void(media::Bitmap& bitmap, int frameNumber, std::int64_t time,
                                       bool& update, bool& stopHook)>;

void PaintWhite(media::Bitmap& bitmap) {
    for (int y = 0; y < bitmap.Height(); ++y) {
        std::fill_n(bitmap.ScanLine(y), bitmap.Width() * 3, std::uint8_t{255});
    }
}

class FrameHooksTest : public testing::TranscoderTest {
protected:
    // Converts clip.mp4 losslessly, without sound, with the options given before the output.
    void Convert(Transcoder& engine, const std::string& output,
                 std::initializer_list<std::pair<std::string, std::string>> options = {}) {
        ASSERT_TRUE(engine.OpenInput(FixturePath("clip.mp4").string()))
            << engine.LastErrorMessage();
        engine.SetOption("vcodec", "ffv1");
        engine.SetOption("an", "1");
        for (const auto& [name, value] : options) {
            engine.SetOption(name, value);
        }
        ASSERT_GE(engine.OpenOutput(Out(output), false), 0) << engine.LastErrorMessage();
        engine.StartConvert(false);
        ASSERT_TRUE(engine.Finished()) << engine.ErrorText();
    }

    // A task runs once: each conversion has an engine of its own.
    void ConvertWithHook(const std::string& output, const HookHandler& handler) {
        Transcoder engine;
        engine.SetCustomHook([&](Transcoder&, media::Bitmap& bitmap, int frameNumber,
                                 std::int64_t time, bool& update, bool& stopHook) {
            ++hookCalls_;
            handler(bitmap, frameNumber, time, update, stopHook);
        });
        Convert(engine, output);
    }

    const std::vector<std::string>& PlainHashes() {
        if (plainHashes_.empty()) {
            Transcoder plain;
            Convert(plain, "plain.mkv");
            plainHashes_ = FrameHashes(Out("plain.mkv"));
        }
        return plainHashes_;
    }

    int Count(const std::string& text) const {
        return static_cast<int>(std::count_if(
            logged_.begin(), logged_.end(), [&](const auto& line) { return line.second == text; }));
    }

    int hookCalls_ = 0;
    std::vector<std::string> plainHashes_;
};

TEST_F(FrameHooksTest, EditedPicturesAreEncodedWithTheirNumbersAndTimes) {
    std::vector<int> numbers;
    std::vector<std::int64_t> times;
    ConvertWithHook("white.mkv", [&](media::Bitmap& bitmap, int frameNumber, std::int64_t time,
                                     bool& update, bool& stopHook) {
        EXPECT_TRUE(update);
        EXPECT_FALSE(stopHook);
        EXPECT_EQ(bitmap.Width(), 320);
        EXPECT_EQ(bitmap.Height(), 240);
        numbers.push_back(frameNumber);
        times.push_back(time);
        PaintWhite(bitmap);
    });

    ASSERT_EQ(hookCalls_, ClipFrames);
    for (int i = 0; i < ClipFrames; ++i) {
        EXPECT_EQ(numbers[i], i + 1);
        EXPECT_NEAR(static_cast<double>(times[i]), i * 40'000.0, 1.0) << i;
    }
    ASSERT_EQ(FrameHashes(Out("white.mkv")).size(), static_cast<std::size_t>(ClipFrames));
    for (const int frame : {0, ClipFrames - 1}) {
        const std::string luma = Luma(Out("white.mkv"), frame);
        ASSERT_EQ(luma.size(), 320u * 240u);
        EXPECT_TRUE(std::all_of(luma.begin(), luma.end(),
                                [](char value) { return static_cast<std::uint8_t>(value) >= 250; }))
            << "frame " << frame;
    }
}

TEST_F(FrameHooksTest, HandlersThatDeclineStopOrFailLeaveTheirFramesAsDecoded) {
    struct Case {
        const char* name;
        HookHandler handler;
        int calls;
        int changedFrames;  // from the first
        int errorLines;
    };
    const Case cases[] = {
        {"update false",
         [](media::Bitmap& bitmap, int, std::int64_t, bool& update, bool&) {
             PaintWhite(bitmap);
             update = false;
         },
         ClipFrames, 0, 0},
        {"stop on the first frame",
         [](media::Bitmap& bitmap, int, std::int64_t, bool&, bool& stopHook) {
             PaintWhite(bitmap);
             stopHook = true;
         },
         1, 1, 0},
        {"exception on every frame",
         [](media::Bitmap& bitmap, int, std::int64_t, bool&, bool&) {
             PaintWhite(bitmap);
             throw std::runtime_error("boom");
         },
         ClipFrames, 0, ClipFrames},
    };
    const std::vector<std::string> plain = PlainHashes();
    ASSERT_EQ(plain.size(), static_cast<std::size_t>(ClipFrames));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        logged_.clear();
        hookCalls_ = 0;
        const std::string output = std::string(c.name) + ".mkv";
        ConvertWithHook(output, c.handler);
        EXPECT_EQ(hookCalls_, c.calls);
        EXPECT_EQ(Count("Error occurs OnCustomHook: boom"), c.errorLines);
        const std::vector<std::string> hashes = FrameHashes(Out(output));
        ASSERT_EQ(hashes.size(), plain.size());
        for (int i = 0; i < ClipFrames; ++i) {
            EXPECT_EQ(hashes[i] != plain[i], i < c.changedFrames) << "frame " << i;
        }
    }
}

TEST_F(FrameHooksTest, ModulesProcessEveryPictureInOrder) {
    const std::string log = Out("module.log");
    engine_.SetOption("vhook", std::string(QUILLO_HOOK_MODULE) + " " + log);
    Convert(engine_, "module.mkv");
    engine_.ResetOptions();  // releases the module

    std::ifstream lines(log);
    std::vector<std::string> calls;
    for (std::string line; std::getline(lines, line);) {
        calls.push_back(line);
    }
    ASSERT_EQ(calls.size(), static_cast<std::size_t>(ClipFrames) + 2);
    EXPECT_EQ(calls.front().rfind("configure ", 0), 0u);
    for (int i = 0; i < ClipFrames; ++i) {
        EXPECT_EQ(calls[i + 1], "process " + std::to_string(AV_PIX_FMT_YUV420P) + " 320x240 " +
                                    std::to_string(i * 40'000));
    }
    EXPECT_EQ(calls.back(), "release");

    // The module paints the top-left block; the rest of the picture is as decoded.
    Transcoder plain;
    Convert(plain, "plain.mkv");
    const std::string painted = Luma(Out("module.mkv"), 10);
    const std::string decoded = Luma(Out("plain.mkv"), 10);
    ASSERT_EQ(painted.size(), 320u * 240u);
    ASSERT_EQ(decoded.size(), painted.size());
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const std::size_t at = static_cast<std::size_t>(y) * 320 + x;
            if (x < 8 && y < 8) {
                EXPECT_EQ(static_cast<std::uint8_t>(painted[at]), 255) << x << "," << y;
            } else {
                EXPECT_EQ(painted[at], decoded[at]) << x << "," << y;
            }
        }
    }
}

// Deinterlacing and a filter chain that looks ahead hand their pictures out late: every one
// still reaches the output, at its own time.
TEST_F(FrameHooksTest, FiltersThatHoldPicturesBackLoseNone) {
    Transcoder plain;
    Convert(plain, "plain.mkv");
    const auto plainTimes =
        quillo::testing::RunFfprobe(Out("plain.mkv"), "-select_streams v -show_entries packet=pts");
    const std::vector<std::string> plainHashes = FrameHashes(Out("plain.mkv"));

    const std::pair<std::string, std::string> settings[] = {{"deinterlace", "1"},
                                                            {"vf", "yadif=deint=all"}};
    for (const auto& [name, value] : settings) {
        SCOPED_TRACE(name);
        Transcoder engine;
        const std::string output = name + ".mkv";
        Convert(engine, output, {{name, value}});
        const auto times =
            quillo::testing::RunFfprobe(Out(output), "-select_streams v -show_entries packet=pts");
        EXPECT_EQ(times.fields, plainTimes.fields);
        const std::vector<std::string> hashes = FrameHashes(Out(output));
        ASSERT_EQ(hashes.size(), plainHashes.size());
        int changed = 0;
        for (std::size_t i = 0; i < hashes.size(); ++i) {
            changed += hashes[i] != plainHashes[i] ? 1 : 0;
        }
        EXPECT_GT(changed, ClipFrames / 2);  // the moving picture's fields were filtered
    }
}

// A stop keeps what was written: an output that got pictures is finished, one that got none
// holds nothing and is not kept.
TEST_F(FrameHooksTest, StoppedTaskKeepsOnlyOutputsThatGotPictures) {
    for (const int stopAt : {1, 10}) {
        SCOPED_TRACE(stopAt);
        Transcoder engine;
        engine.SetCustomHook([stopAt](Transcoder& running, media::Bitmap&, int frameNumber,
                                      std::int64_t, bool&, bool&) {
            if (frameNumber == stopAt) {
                running.StopConvert(false);
            }
        });
        const std::string output = Out("stopped" + std::to_string(stopAt) + ".mkv");
        ASSERT_TRUE(engine.OpenInput(FixturePath("clip.mp4").string()));
        engine.SetOption("vcodec", "ffv1");
        engine.SetOption("an", "1");
        ASSERT_GE(engine.OpenOutput(output, false), 0) << engine.LastErrorMessage();
        engine.StartConvert(false);
        EXPECT_TRUE(engine.Ended());
        EXPECT_FALSE(engine.Finished());
        EXPECT_FALSE(engine.Failed()) << engine.ErrorText();
        if (stopAt == 1) {
            EXPECT_FALSE(fs::exists(output));
        } else {
            ASSERT_TRUE(fs::exists(output));
            const std::size_t frames = FrameHashes(output).size();
            EXPECT_GE(frames, 9u);
            EXPECT_LE(frames, 10u);
        }
    }
}

// A window that says it was closed after a given number of pictures.
class TestWindow : public PreviewWindow {
public:
    TestWindow(int& shown, int closeAfter) : shown_(shown), closeAfter_(closeAfter) {}
    bool Show(const media::Bitmap& bitmap, int, std::int64_t) override {
        EXPECT_EQ(bitmap.Width(), 160);
        ++shown_;
        return shown_ < closeAfter_;
    }

private:
    int& shown_;
    int closeAfter_;
};

class PreviewTest : public FrameHooksTest {
protected:
    void TearDown() override {
        SetPreviewWindowFactory({});
        FrameHooksTest::TearDown();
    }

    // A paced conversion, so that it lasts long enough for several previews.
    void ConvertPaced(Transcoder& engine, const std::string& output) {
        engine.SetOption("re", "1");
        Convert(engine, output, {{"s", "160x120"}});
    }
};

TEST_F(PreviewTest, EventShowsTheEncodedPicture) {
    struct Preview {
        int width;
        int height;
        int frameNumber;
        std::int64_t time;
        std::uint8_t firstByte;
    };
    std::vector<Preview> previews;
    engine_.SetPreviewCallback(
        [&](Transcoder&, const media::Bitmap& bitmap, int frameNumber, std::int64_t time) {
            previews.push_back(
                {bitmap.Width(), bitmap.Height(), frameNumber, time, bitmap.ScanLine(0)[0]});
        });
    engine_.SetPreviewFlags(PreviewBitmapFlag | PreviewWindowFlag);
    int windows = 0;
    SetPreviewWindowFactory([&windows]() -> std::unique_ptr<PreviewWindow> {
        ++windows;
        return nullptr;
    });
    engine_.SetCustomHook([](Transcoder&, media::Bitmap& bitmap, int, std::int64_t, bool&, bool&) {
        PaintWhite(bitmap);
    });
    ConvertPaced(engine_, "previewed.mkv");

    ASSERT_FALSE(previews.empty());
    EXPECT_LT(previews.size(), static_cast<std::size_t>(ClipFrames));
    EXPECT_EQ(windows, 0);  // the event wins over the window
    for (std::size_t i = 0; i < previews.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(previews[i].width, 160);  // as encoded: scaled,
        EXPECT_EQ(previews[i].height, 120);
        EXPECT_GE(previews[i].firstByte, 250);  // and after the hook
        if (i > 0) {
            EXPECT_GT(previews[i].frameNumber, previews[i - 1].frameNumber);
            EXPECT_GT(previews[i].time, previews[i - 1].time);
        }
    }
}

TEST_F(PreviewTest, ClosedWindowEndsTheTasksPreviewsAndTheNextTaskOpensAnother) {
    int made = 0;
    int shown = 0;
    SetPreviewWindowFactory([&]() -> std::unique_ptr<PreviewWindow> {
        ++made;
        return std::make_unique<TestWindow>(shown, 1);
    });
    engine_.SetPreviewFlags(PreviewWindowFlag);
    ConvertPaced(engine_, "first.mkv");
    EXPECT_EQ(made, 1);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(engine_.PreviewFlags(), 0);

    Transcoder next;
    next.SetPreviewFlags(PreviewWindowFlag);
    ConvertPaced(next, "second.mkv");
    EXPECT_EQ(made, 2);
    EXPECT_EQ(shown, 2);
}

TEST_F(PreviewTest, OpenWindowShowsPicturesUntilTheTaskEnds) {
    int made = 0;
    int shown = 0;
    SetPreviewWindowFactory([&]() -> std::unique_ptr<PreviewWindow> {
        ++made;
        return std::make_unique<TestWindow>(shown, ClipFrames + 1);
    });
    engine_.SetPreviewFlags(PreviewWindowFlag);
    ConvertPaced(engine_, "shown.mkv");
    EXPECT_EQ(made, 1);
    EXPECT_GT(shown, 1);
    EXPECT_LT(shown, ClipFrames);
    EXPECT_EQ(engine_.PreviewFlags(), PreviewWindowFlag);
}

}  // namespace
}  // namespace quillo::converter
