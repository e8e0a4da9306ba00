#include <filesystem>
#include <fstream>

#include "media/library_error.h"
#include "player_test_support.h"

namespace quillo::player::testing {
namespace {

namespace fs = std::filesystem;

using PlayerFailureTest = PlayerTest;

// Each refusal says why, leaves nothing open and Paused() true.
TEST_F(PlayerFailureTest, FilesThatCannotPlayAreRefusedWithTheirMessage) {
    const std::string notMedia = FixturePath("not_media.txt").string();
    const std::string missing = FixturePath("no_such_file.mp4").string();
    const std::string subtitlesOnly = FixturePath("subtitles_only.mkv").string();
    struct Case {
        std::string file;
        std::string message;
    } const cases[] = {
        {notMedia, notMedia + ": Invalid data found when processing input"},
        {missing, missing + ": No such file or directory"},
        {subtitlesOnly, subtitlesOnly + ": could not open codecs, no stream to play."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        EXPECT_FALSE(player_->Open(c.file, &surface_));
        EXPECT_EQ(player_->LastErrorMessage(), c.message);
        EXPECT_TRUE(player_->Paused());
    }
    EXPECT_TRUE(states_.empty());
    // The player still plays what it can.
    ASSERT_TRUE(Open("clip.mp4"));
    EXPECT_TRUE(player_->LastErrorMessage().empty());
    EXPECT_TRUE(WaitForPictures(1));
}

TEST(PlayerWithoutLibrariesTest, OpenSaysTheLibrariesAreNotLoaded) {
    Player player;
    TestSurface surface;
    EXPECT_FALSE(player.MediaLibrariesLoaded());
    EXPECT_FALSE(player.Open(FixturePath("clip.mp4").string(), &surface));
    EXPECT_EQ(player.LastErrorMessage(), "libav or libsdl not loaded.");
    player.Stop(true);
    EXPECT_TRUE(player.Paused());
}

TEST(PlayerWithoutLibrariesTest, LoadsFromTheSystemWithoutAMedialibsFolder) {
    Player player;
    // No medialibs folder here: the system's copies serve.
    EXPECT_TRUE(player.LoadMediaLibraries(fs::temp_directory_path() / "quillo-no-medialibs"));
    EXPECT_TRUE(player.MediaLibrariesLoaded());
}

using PlayerBadInputTest = PlayerTest;

// What is there plays to its end.
TEST_F(PlayerBadInputTest, ATruncatedFilePlaysToWhereItEnds) {
    ASSERT_TRUE(Open("truncated.ts"));
    ASSERT_TRUE(WaitForState(PlayState::psEnd));
    EXPECT_GT(player_->PicturesShown(), 0);
    player_->Stop(true);
    EXPECT_EQ(states_.back(), PlayState::psStop);
}

// A file cut to nothing while it plays ends the playback instead of hanging it.
TEST_F(PlayerBadInputTest, AFileCutShortWhilePlayingEnds) {
    const fs::path copy =
        fs::temp_directory_path() / ("quillo-player-cut-" + std::to_string(::getpid()) + ".ts");
    fs::copy_file(FixturePath("clip.ts"), copy, fs::copy_options::overwrite_existing);
    ASSERT_TRUE(player_->Open(copy.string(), &surface_));
    ASSERT_TRUE(WaitForPictures(2));
    fs::resize_file(copy, 0);
    EXPECT_TRUE(WaitForState(PlayState::psEnd));
    player_->Stop(true);
    EXPECT_EQ(states_.back(), PlayState::psStop);
    fs::remove(copy);
}

// Stopping while paused, twice, or with nothing open always returns.
TEST_F(PlayerBadInputTest, StopAlwaysReturns) {
    player_->Stop(true);
    ASSERT_TRUE(Open("clip.mp4"));
    player_->Pause();
    player_->Stop(false);
    ASSERT_TRUE(WaitForState(PlayState::psStop));
    EXPECT_TRUE(player_->Paused());  // nothing open any more
    player_->Stop(true);
    player_->Stop(true);
    EXPECT_TRUE(player_->Paused());
    EXPECT_EQ(states_.back(), PlayState::psStop);
}

}  // namespace
}  // namespace quillo::player::testing
