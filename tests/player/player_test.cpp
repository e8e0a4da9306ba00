#include <algorithm>
#include <atomic>
#include <csignal>

#include "player/playback_context.h"
#include "player_test_support.h"

namespace quillo::player::testing {
namespace {

constexpr std::int64_t kClipDuration = 3'000'000;

using PlayerOpenTest = PlayerTest;

// The form learns the duration and picture size, and the display gets the size the form
// chose, else the surface's own.
TEST_F(PlayerOpenTest, ReportsDurationAndSizesAndUsesTheChosenScreenSize) {
    struct Case {
        int chosenWidth;
        int chosenHeight;
        int expectedWidth;
        int expectedHeight;
    } const cases[] = {{0, 0, 400, 300}, {200, 150, 200, 150}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chosenWidth);
        surface_.SetClientSize(400, 300);
        std::int64_t duration = 0;
        int frameWidth = 0;
        int frameHeight = 0;
        player_->SetScreenWidth(0);
        player_->SetScreenHeight(0);
        player_->SetOnFileOpen([&](PlayerBase&, std::int64_t fileDuration, int width, int height,
                                   int& screenWidth, int& screenHeight) {
            duration = fileDuration;
            frameWidth = width;
            frameHeight = height;
            screenWidth = c.chosenWidth;
            screenHeight = c.chosenHeight;
        });
        const int before = surface_.Count();
        ASSERT_TRUE(Open("clip.mp4")) << player_->LastErrorMessage();
        EXPECT_NEAR(static_cast<double>(duration), kClipDuration, 50'000);
        EXPECT_EQ(frameWidth, 320);
        EXPECT_EQ(frameHeight, 240);
        EXPECT_EQ(player_->ScreenWidth(), c.expectedWidth);
        EXPECT_EQ(player_->ScreenHeight(), c.expectedHeight);
        ASSERT_TRUE(WaitForPictures(before + 1));
        const DisplayFrame shown = surface_.Last();
        EXPECT_EQ(shown.width, c.expectedWidth);
        EXPECT_EQ(shown.height, c.expectedHeight);
        player_->Stop(true);
    }
}

using PlayerPositionTest = PlayerTest;

// Positions only move forward, by more than 10 ms each, and the last one is the end.
// The host program stays the one that decides what SIGTERM and SIGINT do.
TEST_F(PlayerOpenTest, PlayingLeavesTheTerminationSignalsAlone) {
    struct sigaction before[2]{};
    sigaction(SIGTERM, nullptr, &before[0]);
    sigaction(SIGINT, nullptr, &before[1]);
    ASSERT_TRUE(Open("clip.mp4")) << player_->LastErrorMessage();
    struct sigaction after[2]{};
    sigaction(SIGTERM, nullptr, &after[0]);
    sigaction(SIGINT, nullptr, &after[1]);
    EXPECT_EQ(after[0].sa_handler, before[0].sa_handler);
    EXPECT_EQ(after[1].sa_handler, before[1].sa_handler);
}

TEST_F(PlayerPositionTest, PositionsIncreaseAreApartAndEndAtTheDuration) {
    ASSERT_TRUE(Open("clip.mp4"));
    player_->Seek(0, true, 1'500'000);
    positions_.clear();
    ASSERT_TRUE(WaitForState(PlayState::psEnd));
    ASSERT_GE(positions_.size(), 10U);
    // The end itself is reported even when it is closer than that.
    const std::int64_t end = player_->Probe().GetFileInfo().Duration;
    EXPECT_EQ(positions_.back(), end);
    for (std::size_t i = 1; i < positions_.size(); ++i) {
        if (positions_[i] != end) {
            EXPECT_GT(positions_[i] - positions_[i - 1], 10'000) << "at " << i;
        } else {
            EXPECT_GT(positions_[i], positions_[i - 1]);
        }
    }
    player_->Stop(true);
    EXPECT_EQ(states_.front(), PlayState::psPlay);
    EXPECT_EQ(states_.back(), PlayState::psStop);
}

using PlayerStateTest = PlayerTest;

// Resume without a pause and a second pause report nothing.
TEST_F(PlayerStateTest, PauseTwiceReportsOnePauseAndResumeWithoutPauseNothing) {
    ASSERT_TRUE(Open("clip.mp4"));
    ASSERT_TRUE(WaitForState(PlayState::psPlay));
    EXPECT_FALSE(player_->Paused());
    player_->Resume();
    // A seek with wait runs the main thread's calls long enough for a stray state to arrive.
    player_->Seek(0, true, 0);
    player_->Pause();
    EXPECT_TRUE(player_->Paused());
    player_->Pause();
    player_->Seek(0, true, 500'000);
    EXPECT_TRUE(player_->Paused());
    player_->Stop(true);
    EXPECT_TRUE(player_->Paused());
    EXPECT_EQ(states_,
              (std::vector<PlayState>{PlayState::psPlay, PlayState::psPause, PlayState::psStop}));
}

// A step from pause shows one picture and pauses again; a second step in a row shows one
// more without a second psStep.
TEST_F(PlayerStateTest, StepShowsExactlyOneMorePicture) {
    ASSERT_TRUE(Open("clip.mp4"));
    ASSERT_TRUE(WaitFor([&] { return player_->PicturesShown() >= 3; }));
    player_->Pause();
    ASSERT_TRUE(WaitForState(PlayState::psPause));
    for (int step = 1; step <= 2; ++step) {
        SCOPED_TRACE(step);
        const int before = player_->PicturesShown();
        player_->Step();
        ASSERT_TRUE(
            WaitFor([&] { return player_->Paused() && player_->PicturesShown() > before; }));
        // A redraw is handled after everything the step started: nothing else comes after it.
        const int presented = surface_.Count();
        player_->Redraw();
        ASSERT_TRUE(WaitForPictures(presented + 1));
        EXPECT_EQ(player_->PicturesShown(), before + 1);
        EXPECT_TRUE(player_->Paused());
    }
    player_->Stop(true);
    EXPECT_EQ(states_, (std::vector<PlayState>{PlayState::psPlay, PlayState::psPause,
                                               PlayState::psStep, PlayState::psStop}));
}

// While paused, a seek shows the picture of the new place and stays paused, also when the
// pause came before the first picture.
TEST_F(PlayerStateTest, SeekWhilePausedShowsTheNewPictureAndStaysPaused) {
    for (const int picturesBeforePause : {2, 0}) {
        SCOPED_TRACE(picturesBeforePause);
        const int before = surface_.Count();
        ASSERT_TRUE(Open("clip.mp4"));
        ASSERT_TRUE(WaitForPictures(before + picturesBeforePause));
        player_->Pause();
        player_->Seek(0, true, 2'000'000);
        const bool landed = WaitFor([&] {
            const std::vector<Presented> records = surface_.Records();
            return std::any_of(records.begin() + before, records.end(),
                               [](const Presented& p) { return p.pts >= 1'900'000; });
        });
        ASSERT_TRUE(landed);
        std::int64_t pts = -1;
        player_->CurrentFrame(pts);
        EXPECT_GE(pts, 1'500'000);  // the key frame at or before 2 s
        EXPECT_TRUE(player_->Paused());
        const int shown = player_->PicturesShown();
        const int presented = surface_.Count();
        player_->Redraw();
        ASSERT_TRUE(WaitForPictures(presented + 1));
        EXPECT_EQ(player_->PicturesShown(), shown);
        player_->Stop(true);
    }
}

using PlayerSeekTest = PlayerTest;

TEST_F(PlayerSeekTest, SeekWithWaitBeyondTheEndLandsAtTheEnd) {
    ASSERT_TRUE(Open("clip.mp4"));
    player_->Seek(0, true, 10 * kClipDuration);
    ASSERT_TRUE(WaitForState(PlayState::psEnd));
    ASSERT_FALSE(positions_.empty());
    EXPECT_EQ(positions_.back(), player_->Probe().GetFileInfo().Duration);
}

// A request made while another waits for the read thread is dropped.
TEST_F(PlayerSeekTest, ASecondRequestWhileOneIsPendingIsDropped) {
    PlaybackContext context(*player_, FixturePath("clip.mp4").string());
    context.RequestSeek(0, false, 0, 2'000'000);
    context.RequestSeek(0, false, 0, 500'000);
    std::int64_t target = 0;
    EXPECT_TRUE(context.PendingSeek(target));
    EXPECT_EQ(target, 2'000'000);
}

using PlayerDisplayAreaTest = PlayerTest;

// 320 x 240 pictures in a 400 x 200 area: the stream's own shape leaves bands that are not
// painted; -1 fills the area; a forced ratio of 1 leaves wider bands.
TEST_F(PlayerDisplayAreaTest, AspectRatioKeepsTheShapeFillsOrForcesIt) {
    struct Case {
        float ratio;
        int bandWidth;
    } const cases[] = {{0.0F, 67}, {-1.0F, 0}, {1.0F, 100}};
    player_->SetOnFileOpen([](PlayerBase&, std::int64_t, int, int, int& width, int& height) {
        width = 400;
        height = 200;
    });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ratio);
        player_->SetAspectRatio(c.ratio);
        const int before = surface_.Count();
        ASSERT_TRUE(Open("clip.mp4"));
        ASSERT_TRUE(WaitForPictures(before + 1));
        const DisplayFrame frame = surface_.Last();
        ASSERT_EQ(frame.width, 400);
        EXPECT_EQ(frame.picture.x, c.bandWidth);
        EXPECT_EQ(frame.picture.width, 400 - 2 * c.bandWidth);
        EXPECT_EQ(frame.picture.height, 200);
        if (c.bandWidth > 0) {
            EXPECT_EQ(PixelAt(frame, c.bandWidth - 1, 100)[3], 0);
            EXPECT_EQ(PixelAt(frame, 400 - c.bandWidth, 100)[3], 0);
        }
        EXPECT_EQ(PixelAt(frame, c.bandWidth, 100)[3], 255);
        EXPECT_EQ(PixelAt(frame, 200, 100)[3], 255);
        player_->Stop(true);
    }
}

// A file without pictures shows its sound: 640 x 480 without a size of its own, one band per
// channel, a white line between them.
TEST_F(PlayerDisplayAreaTest, AudioOnlyFileDrawsAWaveformWithOneBandPerChannel) {
    ASSERT_TRUE(Open("tagged.mp3"));
    ASSERT_TRUE(WaitFor([&] {
        const DisplayFrame frame = surface_.Last();
        // Wait for sound in the ring: a white pixel off the separator line.
        if (frame.width != 640 || frame.height != 480) {
            return false;
        }
        for (int y = 0; y < 480; ++y) {
            if (y != 240 && PixelAt(frame, 320, y)[0] == 255) {
                return true;
            }
        }
        return false;
    }));
    const DisplayFrame frame = surface_.Last();
    EXPECT_EQ(frame.pts, -1);
    for (int x = 0; x < 640; x += 7) {
        EXPECT_EQ(PixelAt(frame, x, 240)[0], 255) << x;
        EXPECT_EQ(PixelAt(frame, x, 0)[0], 0) << x;
        EXPECT_EQ(PixelAt(frame, x, 479)[0], 0) << x;
    }
    // Each band has sound drawn from its own centre line.
    for (const int centre : {120, 360}) {
        int white = 0;
        for (int x = 0; x < 640; ++x) {
            white += PixelAt(frame, x, centre)[0] == 255 ? 1 : 0;
        }
        EXPECT_GT(white, 100) << centre;
    }
}

// The redrawn picture of a paused player takes a new display size.
TEST_F(PlayerDisplayAreaTest, ResizeWhilePausedRedrawsAtTheNewSize) {
    surface_.SetClientSize(320, 240);
    ASSERT_TRUE(Open("clip.mp4"));
    ASSERT_TRUE(WaitForPictures(1));
    player_->Pause();
    player_->ResizeDisplay(160, 120);
    ASSERT_TRUE(WaitFor([&] { return surface_.Last().width == 160; }));
    EXPECT_EQ(surface_.Last().height, 120);
    EXPECT_EQ(player_->ScreenWidth(), 160);
    EXPECT_EQ(player_->ScreenHeight(), 120);
}

using PlayerSubtitleTest = PlayerTest;

// The subtitles' black outline is the only black above the fixture's bottom strip.
int SubtitleOutlinePixels(const DisplayFrame& frame) {
    int count = 0;
    for (int y = 150; y < 224 && y < frame.height; ++y) {
        for (int x = 0; x < frame.width; ++x) {
            const std::uint8_t* pixel = PixelAt(frame, x, y);
            count += pixel[0] < 30 && pixel[1] < 30 && pixel[2] < 30 ? 1 : 0;
        }
    }
    return count;
}

// Three subtitles, shown from 0.2 to 1.0 s, 1.2 to 2.0 s and 2.2 to 2.9 s.
TEST_F(PlayerSubtitleTest, BitmapSubtitlesAppearAndDisappearOnTime) {
    surface_.SetMeasure(SubtitleOutlinePixels);
    player_->SetOnFileOpen([](PlayerBase&, std::int64_t, int, int, int& width, int& height) {
        width = 320;
        height = 240;
    });
    ASSERT_TRUE(Open("subtitles.mkv"));
    ASSERT_TRUE(WaitForState(PlayState::psEnd));
    struct Window {
        std::int64_t from;
        std::int64_t to;
        bool shown;
    } const windows[] = {{0, 160'000, false},           {240'000, 960'000, true},
                         {1'040'000, 1'160'000, false}, {1'240'000, 1'960'000, true},
                         {2'040'000, 2'160'000, false}, {2'240'000, 2'860'000, true},
                         {2'940'000, 3'000'000, false}};
    int checked = 0;
    for (const Presented& picture : surface_.Records()) {
        for (const Window& window : windows) {
            if (picture.pts >= window.from && picture.pts <= window.to) {
                EXPECT_EQ(picture.measure > 50, window.shown)
                    << "picture at " << picture.pts << " has " << picture.measure;
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 40);
}

using PlayerHookTest = PlayerTest;

// What the hook draws is shown; a hook that raises leaves the plain picture and is logged.
TEST_F(PlayerHookTest, WhatTheHookDrawsIsShownUnlessItRaises) {
    std::atomic<int> errorsLogged{0};
    media::LoggerInstance().SetOnLog(
        [&](const media::MediaComponent*, std::uint32_t, media::LogLevel, const std::string& text) {
            if (text == "Error occurs OnHook: drawing failed") {
                ++errorsLogged;
            }
        });
    for (const bool raises : {false, true}) {
        SCOPED_TRACE(raises);
        player_->SetHook(true);
        player_->SetOnHook([raises](PlayerBase&, media::Bitmap& bitmap, std::int64_t) {
            for (int y = 0; y < bitmap.Height(); ++y) {
                std::uint8_t* row = bitmap.ScanLine(y);
                for (int x = 0; x < bitmap.Width(); ++x) {
                    row[3 * x] = 0;
                    row[3 * x + 1] = 0;
                    row[3 * x + 2] = 255;
                }
            }
            if (raises) {
                throw std::runtime_error("drawing failed");
            }
        });
        const int before = surface_.Count();
        ASSERT_TRUE(Open("clip.mp4"));
        ASSERT_TRUE(WaitForPictures(before + 3));
        const DisplayFrame frame = surface_.Last();
        const std::uint8_t* pixel = PixelAt(frame, frame.width / 2, frame.height / 2);
        const bool red = pixel[2] > 200 && pixel[1] < 60 && pixel[0] < 60;
        EXPECT_EQ(red, !raises);
        player_->Stop(true);
    }
    EXPECT_TRUE(WaitFor([&] { return errorsLogged.load() >= 3; }));
}

using PlayerLifetimeTest = PlayerTest;

TEST_F(PlayerLifetimeTest, DestroyingAPlayingPlayerDeliversNoFurtherEvent) {
    bool destroying = false;
    int lateEvents = 0;
    player_->SetOnState([&](PlayerBase&, PlayState) { lateEvents += destroying ? 1 : 0; });
    player_->SetOnPosition([&](PlayerBase&, std::int64_t) { lateEvents += destroying ? 1 : 0; });
    ASSERT_TRUE(Open("clip.mp4"));
    ASSERT_TRUE(WaitForPictures(5));
    destroying = true;
    player_.reset();
    media::PumpMessages();
    EXPECT_EQ(lateEvents, 0);
}

using PlayerSnapshotTest = PlayerTest;

// Nothing open: 0 x 0; open but nothing shown yet: black of the video's size; then the
// picture on screen.
TEST_F(PlayerSnapshotTest, CurrentFrameBeforeAndAfterTheFirstPicture) {
    std::int64_t pts = 0;
    EXPECT_EQ(player_->CurrentFrame(pts).Width(), 0);
    EXPECT_EQ(pts, -1);
    bool blackBeforeFirstPicture = false;
    player_->SetOnFileOpen([&](PlayerBase& sender, std::int64_t, int, int, int&, int&) {
        const media::Bitmap& bitmap = sender.CurrentFrame();
        blackBeforeFirstPicture =
            bitmap.Width() == 320 && bitmap.Height() == 240 && bitmap == media::Bitmap(320, 240);
    });
    ASSERT_TRUE(Open("clip.mp4"));
    EXPECT_TRUE(blackBeforeFirstPicture);
    ASSERT_TRUE(WaitForPictures(3));
    const media::Bitmap& bitmap = player_->CurrentFrame(pts);
    EXPECT_EQ(bitmap.Width(), 320);
    EXPECT_EQ(bitmap.Height(), 240);
    EXPECT_NE(bitmap, media::Bitmap(320, 240));
    EXPECT_GE(pts, 0);
    EXPECT_LT(pts, kClipDuration);
}

}  // namespace
}  // namespace quillo::player::testing
