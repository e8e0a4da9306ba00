// quillo-transcode run in a child process the way a user runs it: its exit status, what it
// says on standard error and the files it leaves, checked with ffprobe and ffmpeg.

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "child_program.h"
#include "fixtures/external_commands.h"
#include "fixtures/fixture_path.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using quillo::testing::DecodeWithFfmpeg;
using quillo::testing::FixturePath;
using quillo::testing::ProbeReport;
using quillo::testing::RunCommand;
using quillo::testing::RunFfprobe;
using quillo::testing::ShellQuoted;
using quillo::testing::TempFolder;

using quillo::testing::kNobody;
using quillo::testing::Outcome;

// quillo-transcode as a child process.
class Program : public quillo::testing::Program {
public:
    explicit Program(const std::vector<std::string>& arguments,
                     const fs::path& program = QUILLO_TRANSCODE,
                     std::optional<uid_t> user = std::nullopt)
        : quillo::testing::Program(arguments, program, user) {}
};

// The lines of a program's text; the report line ends in a carriage return instead.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (const char character : text) {
        if (character == '\n' || character == '\r') {
            lines.push_back(line);
            line.clear();
        } else {
            line += character;
        }
    }
    if (!line.empty()) {
        lines.push_back(line);
    }
    return lines;
}

bool HasLine(const std::string& text, const std::string& wanted) {
    for (const std::string& line : Lines(text)) {
        if (line == wanted) {
            return true;
        }
    }
    return false;
}

// Replaces every "{key}" in the text by its value.
std::string Filled(std::string text, const std::map<std::string, std::string>& values) {
    for (const auto& [key, value] : values) {
        const std::string placeholder = "{" + key + "}";
        for (std::size_t at = text.find(placeholder); at != std::string::npos;
             at = text.find(placeholder, at + value.size())) {
            text.replace(at, placeholder.size(), value);
        }
    }
    return text;
}

std::vector<std::string> Filled(const std::vector<std::string>& words,
                                const std::map<std::string, std::string>& values) {
    std::vector<std::string> filled;
    for (const std::string& word : words) {
        filled.push_back(Filled(word, values));
    }
    return filled;
}

// The ffprobe fields of the first stream of the type, without their "streams.stream.N." part.
std::map<std::string, std::string> StreamOfType(const ProbeReport& report,
                                                const std::string& type) {
    for (int index = 0;; ++index) {
        const std::string prefix = "streams.stream." + std::to_string(index) + ".";
        const auto kind = report.fields.find(prefix + "codec_type");
        if (kind == report.fields.end()) {
            return {};
        }
        if (kind->second != type) {
            continue;
        }
        std::map<std::string, std::string> fields;
        for (const auto& [key, value] : report.fields) {
            if (key.starts_with(prefix)) {
                fields[key.substr(prefix.size())] = value;
            }
        }
        return fields;
    }
}

std::vector<fs::path> FilesIn(const fs::path& folder) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        files.push_back(entry.path());
    }
    return files;
}

std::string Joined(const std::vector<std::string>& words) {
    std::ostringstream text;
    for (const std::string& word : words) {
        text << ' ' << word;
    }
    return text.str();
}

TEST(QuilloTranscodeTest, HelpNamesTheGrammar) {
    Program help({"--help"});
    const Outcome shown = help.Wait();
    EXPECT_TRUE(shown.exited);
    EXPECT_EQ(shown.exitStatus, 0);
    EXPECT_TRUE(
        HasLine(shown.output, "usage: quillo-transcode [OPTIONS] -i INPUT [OPTIONS] OUTPUT"))
        << shown.output;
    for (const std::string part : {"-NAME VALUE", "-i FILE", "--help", "-an", "-newaudio"}) {
        EXPECT_NE(shown.output.find(part), std::string::npos) << part;
    }

    // Without arguments the same text goes to standard error, and the run fails.
    Program bare({});
    const Outcome refused = bare.Wait();
    EXPECT_TRUE(refused.exited);
    EXPECT_NE(refused.exitStatus, 0);
    EXPECT_TRUE(
        HasLine(refused.errors, "usage: quillo-transcode [OPTIONS] -i INPUT [OPTIONS] OUTPUT"))
        << refused.errors;
}

struct Conversion {
    std::string name;
    std::string input;                   // a fixture
    std::vector<std::string> arguments;  // "{in}" and "{out}" stand for the files
    std::string output;
    std::map<std::string, std::string> video;  // ffprobe fields the streams must have
    std::map<std::string, std::string> audio;
};

TEST(QuilloTranscodeTest, ConversionGivesTheAskedStreams) {
    const std::vector<Conversion> conversions = {
        // The bit rates stand before the input and still reach the output's encoders; FLV's
        // header records the bit rates the encoders were given.
        {"flv",
         "clip.mp4",
         {"-b", "300k", "-ab", "64k", "-i", "{in}", "-vcodec", "flv", "-s", "160x120", "-acodec",
          "libmp3lame", "-ar", "22050", "{out}"},
         "out.flv",
         {{"codec_name", "flv1"}, {"width", "160"}, {"height", "120"}, {"bit_rate", "300000"}},
         {{"codec_name", "mp3"}, {"sample_rate", "22050"}, {"bit_rate", "64000"}}},
        // Constant-rate MP3 frames carry their bit rate.
        {"xvid avi",
         "clip.avi",
         {"-i", "{in}", "-vcodec", "mpeg4", "-vtag", "XVID", "-b", "1500k", "-s", "176x144",
          "-acodec", "libmp3lame", "-ab", "128k", "-ac", "1", "{out}"},
         "out.avi",
         {{"codec_name", "mpeg4"},
          {"codec_tag_string", "XVID"},
          {"width", "176"},
          {"height", "144"}},
         {{"codec_name", "mp3"}, {"channels", "1"}, {"bit_rate", "128000"}}},
        {"h264 mp4",
         "clip.mkv",
         {"-i", "{in}", "-vcodec", "libx264", "-s", "240x180", "-r", "15", "-acodec", "aac", "-ar",
          "32000", "{out}"},
         "out.mp4",
         {{"codec_name", "h264"}, {"width", "240"}, {"height", "180"}, {"r_frame_rate", "15/1"}},
         {{"codec_name", "aac"}, {"sample_rate", "32000"}, {"channels", "2"}}},
    };
    for (const Conversion& conversion : conversions) {
        SCOPED_TRACE(conversion.name);
        TempFolder folder;
        const fs::path output = folder / conversion.output;
        const std::vector<std::string> arguments =
            Filled(conversion.arguments,
                   {{"in", FixturePath(conversion.input).string()}, {"out", output.string()}});
        Program program(arguments);
        const Outcome outcome = program.Wait();
        ASSERT_TRUE(outcome.exited);
        ASSERT_EQ(outcome.exitStatus, 0) << Joined(arguments) << "\n" << outcome.errors;

        const ProbeReport report = RunFfprobe(output, "-show_streams");
        ASSERT_EQ(report.exitStatus, 0);
        const auto video = StreamOfType(report, "video");
        for (const auto& [key, value] : conversion.video) {
            EXPECT_EQ(video.contains(key) ? video.at(key) : "(none)", value) << "video " << key;
        }
        const auto audio = StreamOfType(report, "audio");
        for (const auto& [key, value] : conversion.audio) {
            EXPECT_EQ(audio.contains(key) ? audio.at(key) : "(none)", value) << "audio " << key;
        }
        const auto decoded = DecodeWithFfmpeg(output);
        EXPECT_EQ(decoded.exitStatus, 0);
        EXPECT_EQ(decoded.output, "");
    }
}

struct Refusal {
    std::string name;
    // "{clip}", "{not_media}", "{empty}" stand for fixtures, "{folder}" for a fresh folder.
    std::vector<std::string> arguments;
    std::string message;  // a whole line of standard error
};

TEST(QuilloTranscodeTest, RefusalsExitWithTheMessageAndLeaveNoOutput) {
    const std::string encoderRefused =
        "Error while opening encoder for output stream #0.0 (Video) - maybe incorrect "
        "parameters such as bit_rate, rate, width or height. Please check error log message to "
        "find out more detail information.";
    const std::vector<Refusal> refusals = {
        // An output named before the refusal must not be left behind either.
        {"value missing",
         {"-i", "{clip}", "{folder}/out.avi", "-vcodec"},
         "Missing argument for option 'vcodec'"},
        {"file name missing", {"-vcodec", "mpeg4", "-i"}, "Missing file name after -i"},
        {"no output", {"-i", "{clip}"}, "At least one output file must be specified"},
        {"input missing",
         {"-i", "{folder}/absent.mp4", "{folder}/out.avi"},
         "{folder}/absent.mp4: No such file or directory"},
        {"input not media",
         {"-i", "{not_media}", "{folder}/out.avi"},
         "{not_media}: Invalid data found when processing input"},
        {"input empty",
         {"-i", "{empty}", "{folder}/out.avi"},
         "{empty}: Invalid data found when processing input"},
        {"output folder missing",
         {"-i", "{clip}", "{folder}/missing/out.avi"},
         "{folder}/missing/out.avi: No such file or directory"},
        {"output folder a file",
         {"-i", "{clip}", "{not_media}/out.avi"},
         "{not_media}/out.avi: Not a directory"},
        {"second output folder missing",
         {"-i", "{clip}", "{folder}/first.avi", "{folder}/missing/out.avi"},
         "{folder}/missing/out.avi: No such file or directory"},
        {"video encoder unknown",
         {"-i", "{clip}", "-vcodec", "nosuchcodec", "{folder}/out.avi"},
         "new_video_stream fail: Unknown encoder 'nosuchcodec'"},
        {"audio encoder unknown",
         {"-i", "{clip}", "-acodec", "nosuchcodec", "{folder}/out.avi"},
         "new_audio_stream fail: Unknown encoder 'nosuchcodec'"},
        // x264 takes only even sizes for 4:2:0 pictures: the encoder refuses to open.
        {"encoder refuses its settings",
         {"-i", "{clip}", "-vcodec", "libx264", "-s", "321x241", "{folder}/out.mp4"},
         encoderRefused},
        {"option value refused",
         {"-i", "{clip}", "-pix_fmt", "yuv999", "{folder}/out.avi"},
         "Unknown pixel format requested: yuv999"},
        {"number refused",
         {"-i", "{clip}", "-vframes", "ten", "{folder}/out.avi"},
         "'ten' is not a valid integer value for option \"vframes\""},
        {"option refused",
         {"-i", "{clip}", "-threads", "2", "{folder}/out.avi"},
         "TODO: option - threads"},
    };
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.name);
        TempFolder folder;
        const std::map<std::string, std::string> values = {
            {"clip", FixturePath("clip.mp4").string()},
            {"not_media", FixturePath("not_media.txt").string()},
            {"empty", FixturePath("empty.bin").string()},
            {"folder", folder.Path().string()}};
        const std::vector<std::string> arguments = Filled(refusal.arguments, values);
        Program program(arguments);
        const Outcome outcome = program.Wait();
        EXPECT_TRUE(outcome.exited);
        EXPECT_NE(outcome.exitStatus, 0) << Joined(arguments);
        EXPECT_TRUE(HasLine(outcome.errors, Filled(refusal.message, values)))
            << Joined(arguments) << "\n"
            << outcome.errors;
        EXPECT_EQ(FilesIn(folder.Path()), std::vector<fs::path>{});
    }
}

TEST(QuilloTranscodeTest, UnknownOptionsAndRefusedValuesAreRefused) {
    const std::vector<std::pair<std::string, std::string>> options = {{"frobnicate", "3"},
                                                                      {"b", "fast"}};
    for (const auto& [name, value] : options) {
        SCOPED_TRACE(name);
        TempFolder folder;
        Program program({"-i", FixturePath("clip.mp4").string(), "-" + name, value,
                         (folder / "out.avi").string()});
        const Outcome outcome = program.Wait();
        EXPECT_TRUE(outcome.exited);
        EXPECT_NE(outcome.exitStatus, 0);
        // The message names the option, in either kind of quotes.
        EXPECT_TRUE(outcome.errors.find("'" + name + "'") != std::string::npos ||
                    outcome.errors.find('"' + name + '"') != std::string::npos)
            << outcome.errors;
        EXPECT_EQ(FilesIn(folder.Path()), std::vector<fs::path>{});
    }
}

TEST(QuilloTranscodeTest, UnwritableOutputFolderIsRefused) {
    // Root writes anywhere, so root runs the program as nobody; the program and its input are
    // copied where nobody may read them, since the build folder may be closed to others.
    TempFolder folder;
    fs::permissions(folder.Path(), fs::perms::group_exec | fs::perms::others_exec,
                    fs::perm_options::add);
    const fs::path program = folder / "quillo-transcode";
    fs::copy_file(QUILLO_TRANSCODE, program);
    fs::permissions(program, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                 fs::perms::others_read | fs::perms::others_exec);
    const fs::path input = folder / "clip.mp4";
    fs::copy_file(FixturePath("clip.mp4"), input);
    fs::permissions(input, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                               fs::perms::others_read);
    const fs::path locked = folder / "locked";
    fs::create_directory(locked);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read |
                                fs::perms::others_exec);
    const fs::path output = locked / "out.avi";

    std::optional<uid_t> user;
    if (geteuid() == 0) {
        user = kNobody;
    }
    Program run({"-i", input.string(), "-vcodec", "mpeg4", output.string()}, program, user);
    const Outcome outcome = run.Wait();
    fs::permissions(locked, fs::perms::owner_all, fs::perm_options::add);
    ASSERT_TRUE(outcome.exited);
    ASSERT_NE(outcome.exitStatus, 126) << "cannot run as nobody";
    ASSERT_NE(outcome.exitStatus, 127) << "cannot start " << program;
    EXPECT_NE(outcome.exitStatus, 0);
    EXPECT_TRUE(HasLine(outcome.errors, output.string() + ": Permission denied")) << outcome.errors;
    EXPECT_EQ(FilesIn(locked), std::vector<fs::path>{});
}

TEST(QuilloTranscodeTest, VideoFrameLimitWritesExactlyThatMany) {
    // x264 holds pictures back for its look-ahead: the limit must count encoded pictures.
    const std::vector<std::vector<std::string>> cases = {
        {"clip.mp4", "out.avi", "-vcodec", "mpeg4"},
        {"clip.mkv", "out.mp4", "-vcodec", "libx264"},
        {"clip.ts", "out.mpg", "-vcodec", "mpeg2video"},
    };
    for (const auto& words : cases) {
        SCOPED_TRACE(words[0] + " " + words[1]);
        TempFolder folder;
        const fs::path output = folder / words[1];
        Program program({"-i", FixturePath(words[0]).string(), "-vframes", "10", words[2], words[3],
                         output.string()});
        const Outcome outcome = program.Wait();
        ASSERT_TRUE(outcome.exited);
        ASSERT_EQ(outcome.exitStatus, 0) << outcome.errors;
        const ProbeReport report = RunFfprobe(
            output, "-count_frames -select_streams v -show_entries stream=nb_read_frames");
        ASSERT_EQ(report.exitStatus, 0);
        EXPECT_EQ(StreamOfType(RunFfprobe(output, "-show_streams"), "video")["codec_name"],
                  words[3] == "libx264" ? "h264" : words[3]);
        EXPECT_EQ(report.fields.at("streams.stream.0.nb_read_frames"), "10");
    }
}

TEST(QuilloTranscodeTest, FileSizeLimitFailsCleanly) {
    TempFolder folder;
    const fs::path output = folder / "out.avi";
    // 40 blocks of the shell's limit hold a small part of the 3 s conversion; the program
    // ignores the limit's signal, so its writes fail instead.
    const std::string command = "ulimit -f 40 && exec " + ShellQuoted(QUILLO_TRANSCODE) + " -i " +
                                ShellQuoted(FixturePath("clip.mp4")) +
                                " -vcodec mpeg4 -b 1500k -acodec libmp3lame " + ShellQuoted(output);
    const auto run = RunCommand(command, true);
    // -1 would mean the signal killed it.
    EXPECT_GT(run.exitStatus, 0) << run.output;
    EXPECT_NE(run.output.find("File too large"), std::string::npos) << run.output;
    EXPECT_FALSE(fs::exists(output));
    EXPECT_EQ(FilesIn(folder.Path()), std::vector<fs::path>{});
}

TEST(QuilloTranscodeTest, InterruptStopsAndLeavesAReadableFile) {
    TempFolder folder;
    const fs::path output = folder / "stopped.avi";
    // Endless pictures and sound read at their own pace: unless the interrupt stops it, the
    // run goes on to its frame limit, a minute of video, and then exits 0.
    Program program({"-re",     "-f",         "rawvideo",     "-s",    "320x240",   "-pix_fmt",
                     "yuv420p", "-r",         "25",           "-i",    "/dev/zero", "-re",
                     "-f",      "s16le",      "-ar",          "44100", "-ac",       "2",
                     "-i",      "/dev/zero",  "-vframes",     "1500",  "-vcodec",   "mpeg4",
                     "-acodec", "libmp3lame", output.string()});
    ASSERT_TRUE(program.ReadErrorsUntil("frame=")) << program.Errors();
    program.Signal(SIGINT);
    const Outcome outcome = program.Wait();
    ASSERT_TRUE(outcome.exited) << outcome.errors;
    // A stopped task has not finished.
    EXPECT_NE(outcome.exitStatus, 0) << outcome.errors;

    const ProbeReport report = RunFfprobe(output, "-count_frames -show_streams");
    ASSERT_EQ(report.exitStatus, 0);
    auto video = StreamOfType(report, "video");
    auto audio = StreamOfType(report, "audio");
    EXPECT_EQ(video["codec_name"], "mpeg4");
    EXPECT_EQ(audio["codec_name"], "mp3");
    EXPECT_GT(std::stoi(video["nb_read_frames"]), 0);
    EXPECT_LT(std::stoi(video["nb_read_frames"]), 1500);
    EXPECT_GT(std::stoi(audio["nb_read_frames"]), 0);
    const auto decoded = DecodeWithFfmpeg(output);
    EXPECT_EQ(decoded.exitStatus, 0);
    EXPECT_EQ(decoded.output, "");
}

}  // namespace
