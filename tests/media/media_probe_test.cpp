#include "media/media_probe.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "fixtures/fixture_path.h"
#include "media/library_bindings.h"
#include "media/library_loader.h"
#include "media/logger.h"
#include "media/media_error.h"
#include "media/media_input.h"
#include "media/system_libraries.h"
#include "support/temp_folder.h"

namespace quillo::media {
namespace {

namespace fs = std::filesystem;
using quillo::testing::FixturePath;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class MediaProbeTest : public ::testing::Test {
protected:
    void SetUp() override { testing::LoadSystemLibraries(); }
    void TearDown() override {
        // A test may have taken the folder's permissions away.
        fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add);
    }

    std::string Load(const std::string& fixture) {
        const std::string path = FixturePath(fixture).string();
        EXPECT_TRUE(probe_.LoadFile(path)) << fixture << ": " << probe_.LastErrorMessage();
        return path;
    }

    quillo::testing::TempFolder temp_;
    const fs::path& folder_ = temp_.Path();
    MediaProbe probe_;
};

struct ClipCase {
    const char* file;
    int width;
    int height;
    double seconds;
};

TEST_F(MediaProbeTest, DescribesEachClip) {
    const ClipCase cases[] = {{"clip.mp4", 320, 240, 3.0},
                              {"clip.avi", 320, 240, 3.0},
                              {"clip.mkv", 320, 240, 3.0},
                              {"clip.ts", 320, 240, 3.0},
                              {"odd_size.mp4", 175, 97, 2.0}};
    for (const ClipCase& clip : cases) {
        SCOPED_TRACE(clip.file);
        const std::string path = Load(clip.file);
        EXPECT_EQ(probe_.StreamCount(), 2);
        EXPECT_EQ(probe_.VideoStreamCount(), 1);
        EXPECT_EQ(probe_.AudioStreamCount(), 1);
        EXPECT_EQ(probe_.SubtitleStreamCount(), 0);
        EXPECT_GE(probe_.FirstVideoStream(), 0);
        EXPECT_GE(probe_.FirstAudioStream(), 0);
        EXPECT_EQ(probe_.FileSize(), static_cast<std::int64_t>(fs::file_size(path)));
        EXPECT_EQ(probe_.FileName(), path);

        const VideoStreamInfo video = probe_.GetVideoInfo(-1);
        EXPECT_EQ(video.Width, clip.width);
        EXPECT_EQ(video.Height, clip.height);
        EXPECT_EQ(video.FrameRateNum * 1.0 / video.FrameRateDen, 25.0);
        EXPECT_FALSE(video.CodecName.empty());

        const AudioStreamInfo audio = probe_.GetAudioInfo(-1);
        EXPECT_GT(audio.SampleRate, 0);
        EXPECT_GT(audio.Channels, 0);

        const FileStreamInfo file = probe_.GetFileInfo();
        EXPECT_NEAR(file.Duration / 1e6, clip.seconds, 0.15);

        const std::string text = probe_.GetInfoText();
        EXPECT_TRUE(text.starts_with("File Name: " + path + "\r\n")) << text;
        EXPECT_TRUE(text.ends_with("\r\n"));
        EXPECT_TRUE(Contains(text, "Stream #0")) << text;
        EXPECT_TRUE(Contains(text, "Stream #1")) << text;
        EXPECT_TRUE(Contains(text, ", 25 fps")) << text;
    }
}

TEST_F(MediaProbeTest, FileWithoutVideoGivesNeutralVideoInfo) {
    Load("tagged.mp3");
    EXPECT_EQ(probe_.FirstVideoStream(), -1);
    EXPECT_EQ(probe_.VideoStreamCount(), 0);

    std::vector<std::string> logged;
    LoggerInstance().SetOnLog(
        [&](const MediaComponent* sender, std::uint32_t, LogLevel level, const std::string& text) {
            EXPECT_EQ(sender, &probe_);
            EXPECT_EQ(level, LogLevel::llError);
            logged.push_back(text);
        });
    const VideoStreamInfo video = probe_.GetVideoInfo(-1);
    LoggerInstance().SetOnLog({});

    EXPECT_EQ(video.Width, -1);
    EXPECT_EQ(video.Height, -1);
    EXPECT_EQ(video.DisplayAspect, -1.0F);
    EXPECT_EQ(video.DurationUs, -1);
    EXPECT_EQ(video.CodecName, "");
    EXPECT_EQ(probe_.LastErrorMessage(), "no video stream.");
    EXPECT_EQ(logged, std::vector<std::string>{"no video stream."});
}

TEST_F(MediaProbeTest, QueriesOfTheWrongKindOrIndexAreRefused) {
    Load("clip.mp4");
    const int video = probe_.FirstVideoStream();
    const int audio = probe_.FirstAudioStream();

    EXPECT_EQ(probe_.GetAudioInfo(video).SampleRate, -1);
    EXPECT_EQ(probe_.LastErrorMessage(),
              "stream #" + std::to_string(video) + " is not audio stream.");
    EXPECT_EQ(probe_.GetVideoInfo(audio).Width, -1);
    EXPECT_EQ(probe_.LastErrorMessage(),
              "stream #" + std::to_string(audio) + " is not video stream.");
    EXPECT_EQ(probe_.GetVideoInfo(7).Width, -1);
    EXPECT_EQ(probe_.LastErrorMessage(), "stream index #7 is invalid.");
    EXPECT_FALSE(probe_.IsAudioStream(2));
    EXPECT_EQ(probe_.LastErrorMessage(), "stream index #2 is invalid.");
    EXPECT_FALSE(probe_.IsVideoStream(-1));
    EXPECT_TRUE(probe_.IsVideoStream(video));
    EXPECT_TRUE(probe_.IsAudioStream(audio));
}

TEST_F(MediaProbeTest, WithoutAFileEveryQueryIsNeutral) {
    EXPECT_EQ(probe_.StreamCount(), -1);
    EXPECT_EQ(probe_.FileSize(), -1);
    EXPECT_EQ(probe_.FirstAudioStream(), -1);

    EXPECT_EQ(probe_.GetInfoText(), "");
    EXPECT_EQ(probe_.LastErrorMessage(), "file not loaded.");
    const FileStreamInfo file = probe_.GetFileInfo();
    EXPECT_EQ(file.Duration, -1);
    EXPECT_EQ(file.BitRate, -1);
    EXPECT_EQ(file.Title, "");
    EXPECT_EQ(probe_.GetAudioInfo(0).Channels, -1);
    EXPECT_EQ(probe_.FileName(), "");
    EXPECT_EQ(probe_.FormatName(), "");
    EXPECT_FALSE(probe_.IsVideoStream(0));
    EXPECT_EQ(probe_.LastErrorMessage(), "file not loaded.");
}

TEST_F(MediaProbeTest, Id3TagsShowUnderTheirMeaning) {
    Load("tagged.mp3");
    const FileStreamInfo file = probe_.GetFileInfo();
    EXPECT_EQ(file.Title, "Tagged title");
    EXPECT_EQ(file.Author, "Tagged artist");
    EXPECT_EQ(file.Album, "Tagged album");
    EXPECT_EQ(file.Genre, "Speech");
    EXPECT_EQ(file.Track, 7);

    const std::string text = probe_.GetInfoText();
    EXPECT_TRUE(Contains(text, "\r\nMetadata:\r\n")) << text;
    EXPECT_TRUE(Contains(text, "  title           : Tagged title\r\n")) << text;
    EXPECT_TRUE(Contains(text, "  artist          : Tagged artist\r\n")) << text;
    EXPECT_TRUE(Contains(text, "  album           : Tagged album\r\n")) << text;
    EXPECT_TRUE(Contains(text, "Format Name: mp3\r\n")) << text;
}

TEST_F(MediaProbeTest, NoMetadataLineWithoutTagsOrWithOnlyALanguage) {
    Load("no_metadata.avi");
    EXPECT_FALSE(Contains(probe_.GetInfoText(), "Metadata:")) << probe_.GetInfoText();

    // Only the transport stream's service names remain, under their program.
    Load("language_only.ts");
    const std::string text = probe_.GetInfoText();
    EXPECT_FALSE(Contains(text, "\r\nMetadata:")) << text;
    const auto languageLine = text.find("(eng), ");
    ASSERT_NE(languageLine, std::string::npos) << text;
    const auto nextLine = text.find("\r\n", languageLine) + 2;
    EXPECT_FALSE(text.substr(nextLine).starts_with("  Metadata:")) << text;
    EXPECT_EQ(probe_.GetAudioInfo(-1).Language, "eng");
}

TEST_F(MediaProbeTest, StreamLanguagesAndProgramsAreDescribed) {
    Load("clip.mkv");
    EXPECT_EQ(probe_.GetVideoInfo(-1).Language, "eng");
    EXPECT_EQ(probe_.GetAudioInfo(-1).Language, "fre");
    EXPECT_TRUE(Contains(probe_.GetInfoText(), "(eng)")) << probe_.GetInfoText();

    Load("programs.ts");
    EXPECT_EQ(probe_.ProgramCount(), 2);
    EXPECT_EQ(probe_.StreamCount(), 4);
    const std::string text = probe_.GetInfoText();
    std::size_t programLines = 0;
    for (std::size_t at = 0; (at = text.find("\r\nProgram ", at)) != std::string::npos; ++at) {
        ++programLines;
    }
    EXPECT_EQ(programLines, 2U) << text;
    for (int stream = 0; stream < 4; ++stream) {
        const std::string head = "Stream #" + std::to_string(stream) + "[0x";
        EXPECT_TRUE(Contains(text, head)) << text;
        // Listed under its program only, not again at the end.
        EXPECT_EQ(text.find(head), text.rfind(head)) << text;
    }
    EXPECT_FALSE(Contains(text, "N/A@N/A")) << text;
}

TEST_F(MediaProbeTest, StreamKindsAndAudioParameters) {
    Load("two_audio.mp4");
    EXPECT_EQ(probe_.AudioStreamCount(), 2);
    const AudioStreamInfo first = probe_.GetAudioInfo(probe_.FirstAudioStream());
    const AudioStreamInfo second = probe_.GetAudioInfo(probe_.FirstAudioStream() + 1);
    EXPECT_NEAR(first.DurationUs / 1e6, 2.0, 0.15);
    EXPECT_NEAR(second.DurationUs / 1e6, 4.0, 0.15);

    Load("surround.mka");
    const AudioStreamInfo surround = probe_.GetAudioInfo(-1);
    EXPECT_EQ(surround.Channels, 6);
    EXPECT_EQ(surround.SampleRate, 48000);
    EXPECT_EQ(surround.CodecName.substr(0, 3), "ac3");

    Load("subtitles.mkv");
    EXPECT_EQ(probe_.SubtitleStreamCount(), 1);
    EXPECT_GE(probe_.FirstSubtitleStream(), 0);
    EXPECT_TRUE(Contains(probe_.GetInfoText(), "Subtitle: dvd_subtitle")) << probe_.GetInfoText();
}

TEST_F(MediaProbeTest, UnknownDurationIsMinusOneAndNotAvailable) {
    Load("raw.h264");
    EXPECT_EQ(probe_.GetFileInfo().Duration, -1);
    EXPECT_TRUE(Contains(probe_.GetInfoText(), "\r\nDuration: N/A\r\n")) << probe_.GetInfoText();
}

TEST_F(MediaProbeTest, ForcedFormatIsUsedAndRemembered) {
    const std::string path = FixturePath("clip.ts").string();
    ASSERT_TRUE(probe_.LoadFile(path, "mpegts")) << probe_.LastErrorMessage();
    EXPECT_EQ(probe_.ForcedFormatName(), "mpegts");
    EXPECT_EQ(probe_.FormatName(), "mpegts");

    EXPECT_FALSE(probe_.LoadFile(path, "no-such-format"));
    EXPECT_EQ(probe_.LastErrorMessage(), "Unknown input format: no-such-format");
    EXPECT_EQ(probe_.Context(), nullptr);  // the first file was released
    EXPECT_EQ(probe_.ForcedFormatName(), "");
    EXPECT_EQ(probe_.StreamCount(), -1);
}

TEST_F(MediaProbeTest, FilesThatAreNotMediaAreRefusedWithTheirName) {
    fs::create_directory(folder_ / "a directory.mp4");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {FixturePath("truncated.mp4").string(), ""},
        {FixturePath("not_media.txt").string(), ""},
        {FixturePath("empty.bin").string(), ""},
        {(folder_ / "missing.mp4").string(), ": No such file or directory"},
        {(folder_ / "missing:name.mp4").string(), ": No such file or directory"},
        {"relative:missing.mp4", ": No such file or directory"},
        {(folder_ / "a directory.mp4").string(), ""},
    };
    for (const auto& [path, ending] : cases) {
        EXPECT_FALSE(probe_.LoadFile(path)) << path;
        EXPECT_TRUE(probe_.LastErrorMessage().starts_with(path + ": "))
            << probe_.LastErrorMessage();
        EXPECT_TRUE(probe_.LastErrorMessage().ends_with(ending)) << probe_.LastErrorMessage();
        EXPECT_EQ(probe_.Context(), nullptr);
    }
}

TEST_F(MediaProbeTest, UnreadableFileIsRefused) {
    // Only the file's own permissions stand in the way.
    fs::permissions(folder_, fs::perms::others_exec | fs::perms::group_exec, fs::perm_options::add);
    const fs::path path = folder_ / "locked.mp4";
    fs::copy_file(FixturePath("clip.mp4"), path);
    fs::permissions(path, fs::perms::none);
    const auto refused = [&] {
        return !probe_.LoadFile(path.string()) &&
               probe_.LastErrorMessage().starts_with(path.string() + ": ") &&
               probe_.Context() == nullptr;
    };
    if (geteuid() != 0) {
        EXPECT_TRUE(refused()) << probe_.LastErrorMessage();
        return;
    }
    // Root reads anything: try as an ordinary user, in a child process.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const bool dropped = setgid(65534) == 0 && setuid(65534) == 0;
        _exit(!dropped ? 2 : refused() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(MediaProbeTest, AnyFileNameOpens) {
    const std::vector<std::string> names = {"a:b.mp4", "été ü €.mp4", "\xff\xfe name.mp4",
                                            "clip:1.avi", "unicode:x.mp4"};
    for (const std::string& name : names) {
        const fs::path path = folder_ / name;
        fs::copy_file(FixturePath("clip.mp4"), path);
        // Relative names too: the colon then comes first.
        const fs::path previous = fs::current_path();
        fs::current_path(folder_);
        const bool loaded = probe_.LoadFile(name);
        fs::current_path(previous);
        ASSERT_TRUE(loaded) << name << ": " << probe_.LastErrorMessage();
        EXPECT_EQ(probe_.FileName(), name);
        EXPECT_EQ(probe_.FileSize(), static_cast<std::int64_t>(fs::file_size(path)));
        EXPECT_EQ(probe_.StreamCount(), 2);

        ASSERT_TRUE(probe_.LoadFile(path.string())) << probe_.LastErrorMessage();
        EXPECT_EQ(probe_.FileName(), path.string());
    }
}

TEST_F(MediaProbeTest, ContainerWithoutASizeGetsItFromTheFileSystem) {
    const std::string path = FixturePath("clip.mp4").string();
    MediaInput input;
    ASSERT_EQ(input.Open(path, nullptr, nullptr), 0);
    AVIOContext* io = input.Context()->pb;
    input.Context()->pb = nullptr;  // as for formats that do their own I/O

    probe_.AttachContext(input.Context());
    EXPECT_EQ(probe_.FileSize(), static_cast<std::int64_t>(fs::file_size(path)));
    probe_.CloseFile();
    input.Context()->pb = io;
}

TEST_F(MediaProbeTest, AttachedContextIsDescribedButNotClosed) {
    const std::string path = FixturePath("clip.mkv").string();
    MediaInput input;
    ASSERT_EQ(input.Open(path, nullptr, nullptr), 0);
    ASSERT_GE(lib::avformat.avformat_find_stream_info(input.Context(), nullptr), 0);

    probe_.AttachContext(input.Context());
    EXPECT_EQ(probe_.StreamCount(), 2);
    EXPECT_EQ(probe_.FormatName(), "matroska,webm");
    probe_.CloseFile();
    // Still open and usable by its owner.
    ASSERT_TRUE(input.IsOpen());
    EXPECT_EQ(input.Context()->nb_streams, 2U);
}

TEST_F(MediaProbeTest, ZeroOverZeroTimeBaseIsMendedBeforeRescaling) {
    const std::string path = FixturePath("clip.mp4").string();
    MediaInput input;
    ASSERT_EQ(input.Open(path, nullptr, nullptr), 0);
    ASSERT_GE(lib::avformat.avformat_find_stream_info(input.Context(), nullptr), 0);
    probe_.AttachContext(input.Context());
    AVStream* stream = input.Context()->streams[probe_.FirstVideoStream()];
    stream->time_base = {0, 0};

    const VideoStreamInfo video = probe_.GetVideoInfo(-1);

    EXPECT_EQ(stream->time_base.num, 0);
    EXPECT_EQ(stream->time_base.den, 1);
    EXPECT_EQ(video.DurationUs, 0);
    EXPECT_EQ(video.Width, 320);
}

// A few dozen damaged copies of the fixtures: each is refused or described, never a crash.
TEST_F(MediaProbeTest, DamagedFilesAreRefusedOrDescribed) {
    std::mt19937 random(20261210);
    const char* sources[] = {"clip.mp4",   "clip.avi",    "clip.mkv",      "clip.ts",
                             "tagged.mp3", "programs.ts", "subtitles.mkv", "surround.mka"};
    int loaded = 0;
    int refused = 0;
    for (const char* source : sources) {
        std::ifstream in(FixturePath(source), std::ios::binary);
        const std::string original{std::istreambuf_iterator<char>(in), {}};
        for (int copy = 0; copy < 5; ++copy) {
            std::string damaged = original;
            if (copy % 2 == 0) {
                // Flip bytes, more of them in the header where the structure is.
                for (int flip = 0; flip < 40; ++flip) {
                    const std::size_t limit =
                        flip < 20 ? std::min<std::size_t>(4096, damaged.size()) : damaged.size();
                    damaged[random() % limit] = static_cast<char>(random());
                }
            } else {
                damaged.resize(random() % damaged.size());
            }
            const fs::path path = folder_ / ("damaged_" + std::to_string(copy) + "_" + source);
            std::ofstream(path, std::ios::binary) << damaged;
            if (probe_.LoadFile(path.string())) {
                ++loaded;
                probe_.GetInfoText();
                probe_.GetFileInfo();
                for (int stream = 0; stream < probe_.StreamCount(); ++stream) {
                    probe_.GetAudioInfo(stream);
                    probe_.GetVideoInfo(stream);
                }
            } else {
                ++refused;
                EXPECT_FALSE(probe_.LastErrorMessage().empty());
            }
        }
    }
    EXPECT_EQ(loaded + refused, 40);
}

// The probe sees what an independent reader sees: ffprobe, run on the same files.
std::string RunFfprobe(const std::string& arguments) {
    std::string output;
    FILE* pipe = popen(("ffprobe -v error " + arguments + " 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        return output;
    }
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        output += buffer;
    }
    pclose(pipe);
    return output;
}

TEST_F(MediaProbeTest, AgreesWithFfprobeOnStreamsAndDuration) {
    const char* files[] = {"clip.mp4",      "clip.avi",     "clip.mkv",        "clip.ts",
                           "programs.ts",   "tagged.mp3",   "two_audio.mp4",   "surround.mka",
                           "subtitles.mkv", "odd_size.mp4", "language_only.ts"};
    for (const char* file : files) {
        SCOPED_TRACE(file);
        const std::string path = Load(file);
        const std::string quoted = "'" + path + "'";
        std::string types;
        std::istringstream lines(RunFfprobe("-show_entries stream=codec_type -of flat " + quoted));
        for (std::string line; std::getline(lines, line);) {
            if (line.starts_with("streams.")) {
                types += line.substr(line.find('=') + 1) + "\n";
            }
        }
        std::string ours;
        for (int stream = 0; stream < probe_.StreamCount(); ++stream) {
            const AVMediaType type = probe_.Context()->streams[stream]->codecpar->codec_type;
            ours += std::string(type == AVMEDIA_TYPE_VIDEO      ? "\"video\""
                                : type == AVMEDIA_TYPE_AUDIO    ? "\"audio\""
                                : type == AVMEDIA_TYPE_SUBTITLE ? "\"subtitle\""
                                                                : "\"data\"") +
                    "\n";
        }
        EXPECT_EQ(ours, types);

        const double seconds =
            std::stod(RunFfprobe("-show_entries format=duration -of csv=p=0 " + quoted));
        const std::int64_t theirs = std::llround(seconds * 1e6) / 1000;
        EXPECT_EQ(probe_.GetFileInfo().Duration / 1000, theirs);
    }
}

// A player set that fails to load must not take the converter libraries from under a live
// probe: it goes on working and closes its file when it goes.
TEST_F(MediaProbeTest, ALiveProbeSurvivesAFailedPlayerLoad) {
    Load("clip.mp4");
    LibraryLoader& loader = LibraryLoaderInstance();
    // The real avutil under SDL's name: it opens, but lacks every SDL export.
    const fs::path sdlStandIn = folder_ / loader.LibraryFileName(LibraryIndex::sdl2);
    fs::copy_file(loader.LibraryPath(LibraryIndex::avutil), sdlStandIn);
    const fs::path previousFolder = loader.LibraryFolder();
    loader.SetLibraryFolder(folder_);
    const bool loaded = loader.LoadLibraries(PlayerLibrarySet);
    loader.SetLibraryFolder(previousFolder);

    ASSERT_FALSE(loaded);
    EXPECT_TRUE(loader.LastErrorMessage().starts_with("Load function SDL_"))
        << loader.LastErrorMessage();
    EXPECT_TRUE(loader.LibrariesLoaded(ConverterLibrarySet));
    EXPECT_FALSE(loader.LibraryLoaded(LibraryIndex::sdl2));
    EXPECT_EQ(probe_.StreamCount(), 2);
    EXPECT_TRUE(Contains(probe_.GetInfoText(), "Stream #1")) << probe_.GetInfoText();
    probe_.CloseFile();
    Load("clip.mkv");
    EXPECT_EQ(probe_.GetVideoInfo(-1).Width, 320);
}

TEST(MediaProbeLibrariesTest, RefusesToWorkWithoutTheLibraries) {
    if (LibraryLoaderInstance().LibrariesLoaded(ConverterLibrarySet)) {
        GTEST_SKIP() << "needs a process without the libraries, as ctest runs each test";
    }
    MediaProbe probe;
    try {
        probe.LoadFile("clip.mp4");
        ADD_FAILURE() << "loaded a file without libraries";
    } catch (const MediaError& error) {
        EXPECT_STREQ(error.what(), "LibAVCodec not loaded.");
    }
}

}  // namespace
}  // namespace quillo::media
