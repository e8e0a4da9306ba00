#include <gtest/gtest.h>
#include <stdlib.h>

#include <set>
#include <string>
#include <vector>

#include "media/media_error.h"
#include "profiles/ini_file.h"
#include "profiles/output_naming.h"
#include "profiles/test_support.h"

namespace quillo::profiles {
namespace {

using testing::ScriptedPrompter;
using testing::TempFolder;
using testing::WriteFile;

class NamingTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directory(out_);
        IniFile(files_.Settings).WriteString("settings", "OutPutDir", out_.string());
    }

    std::filesystem::path Name(const std::filesystem::path& source, OutputNameBook* book = nullptr,
                               const std::string& extension = ".avi") {
        return MakeOutputFileName(files_, source, extension, prompter_, book);
    }

    TempFolder folder_;
    std::filesystem::path out_ = folder_ / "out";
    ProfileFiles files_{folder_ / "settings.ini", folder_ / "catalogue.ini"};
    ScriptedPrompter prompter_;
};

TEST_F(NamingTest, NamesTheSourceWithNewAndANumberWhenTaken) {
    EXPECT_EQ(Name("/videos/clip.mpg"), out_ / "clip_(new).avi");
    WriteFile(out_ / "clip_(new).avi", "x");
    EXPECT_EQ(Name("/videos/clip.mpg"), out_ / "clip_(new_1).avi");
    WriteFile(out_ / "clip_(new_1).avi", "x");
    EXPECT_EQ(Name("/videos/clip.mpg"), out_ / "clip_(new_2).avi");
    EXPECT_EQ(Name("/videos/a.b.c.mpg"), out_ / "a.b.c_(new).avi");
    EXPECT_EQ(Name("/videos/noext", nullptr, ".mp3"), out_ / "noext_(new).mp3");
    EXPECT_TRUE(prompter_.warnings.empty());
}

TEST_F(NamingTest, ABatchNeverHandsOutANameTwice) {
    OutputNameBook book;
    WriteFile(out_ / "clip_(new).avi", "x");
    const auto first = Name("/one/clip.mpg", &book);
    const auto second = Name("/two/clip.mov", &book);
    const auto third = Name("/three/clip.avi", &book);
    EXPECT_EQ(first, out_ / "clip_(new_1).avi");
    EXPECT_EQ(second, out_ / "clip_(new_2).avi");
    EXPECT_EQ(third, out_ / "clip_(new_3).avi");
    EXPECT_TRUE(book.Contains(out_ / "." / "clip_(new_2).avi"));
    // Another batch starts with an empty book.
    EXPECT_EQ(Name("/one/clip.mpg"), out_ / "clip_(new_1).avi");
}

// Well-formed UTF-8: every lead byte followed by exactly its continuation bytes.
bool ValidUtf8(const std::string& text) {
    std::size_t position = 0;
    while (position < text.size()) {
        const auto lead = static_cast<unsigned char>(text[position]);
        const std::size_t length = lead < 0x80             ? 1
                                   : (lead & 0xE0) == 0xC0 ? 2
                                   : (lead & 0xF0) == 0xE0 ? 3
                                   : (lead & 0xF8) == 0xF0 ? 4
                                                           : 0;
        if (length == 0 || position + length > text.size()) {
            return false;
        }
        for (std::size_t next = position + 1; next < position + length; ++next) {
            if ((static_cast<unsigned char>(text[next]) & 0xC0) != 0x80) {
                return false;
            }
        }
        position += length;
    }
    return true;
}

std::string Repeat(const std::string& piece, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += piece;
    }
    return text;
}

TEST_F(NamingTest, ALongStemIsCutSoTheNameFitsTheFileSystem) {
    EXPECT_EQ(Name("/v/" + Repeat("a", 250) + ".mpg"), out_ / (Repeat("a", 245) + "_(new).avi"));

    struct Case {
        const char* name;
        std::string stem;
    };
    const std::vector<Case> cases = {
        {"ascii", Repeat("a", 250)},
        {"three-byte characters", Repeat("\xE6\x97\xA5", 83)},
        {"three-byte characters after one ASCII", "a" + Repeat("\xE6\x97\xA5", 83)},
        {"four-byte characters", Repeat("\xF0\x9F\x98\x80", 62)},
        {"two-byte characters", Repeat("\xC3\xA9", 125)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(ValidUtf8(c.stem));
        OutputNameBook book;
        std::set<std::filesystem::path> names;
        // Up to two-digit numbers, whose longer suffixes cut the stem further.
        for (int n = 0; n <= 11; ++n) {
            const std::filesystem::path name = Name("/v/" + c.stem + ".mkv", &book);
            const std::string fileName = name.filename().string();
            const std::string tail =
                (n == 0 ? "_(new)" : "_(new_" + std::to_string(n) + ")") + std::string(".avi");
            EXPECT_EQ(name.parent_path(), out_);
            EXPECT_LE(fileName.size(), 255u) << fileName;
            EXPECT_TRUE(ValidUtf8(fileName)) << fileName;
            ASSERT_TRUE(fileName.ends_with(tail)) << fileName;
            const std::string kept = fileName.substr(0, fileName.size() - tail.size());
            EXPECT_TRUE(c.stem.starts_with(kept)) << fileName;
            // No more is cut than the last, partial character.
            EXPECT_GT(kept.size() + tail.size(), 255u - 4u) << fileName;
            names.insert(name);
            // The file system takes the name.
            WriteFile(name, "x");
            EXPECT_TRUE(std::filesystem::exists(name)) << fileName;
        }
        EXPECT_EQ(names.size(), 12u);
    }
}

TEST_F(NamingTest, AnExtensionThatLeavesNoRoomIsRefused) {
    const std::string extension = "." + Repeat("x", 250);
    try {
        Name("/v/clip.mpg", nullptr, extension);
        ADD_FAILURE() << "a name longer than the file system takes";
    } catch (const media::MediaError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Cannot name the output of /v/clip.mpg: the extension \"" + extension +
                      "\" is too long");
    }
}

TEST_F(NamingTest, FoldersAndDanglingLinksCountAsTaken) {
    std::filesystem::create_directory(out_ / "clip_(new).avi");
    std::filesystem::create_symlink(folder_ / "nowhere", out_ / "clip_(new_1).avi");
    EXPECT_EQ(Name("/v/clip.mpg"), out_ / "clip_(new_2).avi");
}

TEST_F(NamingTest, MissingOutputFolderIsCreatedWithItsParents) {
    const auto deep = folder_ / "a" / "b" / "c";
    IniFile(files_.Settings).WriteString("settings", "OutPutDir", deep.string() + "/");
    EXPECT_EQ(Name("/v/clip.mpg"), deep / "clip_(new).avi");
    EXPECT_TRUE(std::filesystem::is_directory(deep));
}

TEST_F(NamingTest, AFolderThatCannotBeMadeFallsBackToTheDefaultAfterAWarning) {
    const testing::ScopedEnvironment home({"HOME"});
    setenv("HOME", folder_.Path().c_str(), 1);
    WriteFile(folder_ / "file", "x");
    const std::string bad = (folder_ / "file" / "sub").string();
    IniFile(files_.Settings).WriteString("settings", "OutPutDir", bad);
    const auto name = Name("/v/clip.mpg");
    const auto fallback = folder_ / "korvana";
    ASSERT_EQ(prompter_.warnings.size(), 1u);
    EXPECT_EQ(prompter_.warnings[0], "Warning|Cannot create output directory:" + bad +
                                         ".It will create default directory " + fallback.string() +
                                         "!");
    EXPECT_EQ(IniFile(files_.Settings).ReadString("settings", "OutPutDir", ""), fallback.string());
    EXPECT_EQ(name, fallback / "clip_(new).avi");
    EXPECT_TRUE(std::filesystem::is_directory(fallback));
}

TEST_F(NamingTest, ARelativeFolderFallsBackToTheDefault) {
    const testing::ScopedEnvironment home({"HOME"});
    setenv("HOME", folder_.Path().c_str(), 1);
    // A settings file from Windows, read in a working folder of its own.
    const auto work = folder_ / "work";
    std::filesystem::create_directory(work);
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(work);
    IniFile(files_.Settings).WriteString("settings", "OutPutDir", "c:\\korvana");
    const auto name = Name("/v/clip.mpg");
    std::filesystem::current_path(previous);

    EXPECT_EQ(name, folder_ / "korvana" / "clip_(new).avi");
    EXPECT_EQ(prompter_.warnings.size(), 1u);
    EXPECT_TRUE(std::filesystem::is_empty(work));
}

TEST_F(NamingTest, NoStoredFolderMeansTheDefaultOne) {
    const testing::ScopedEnvironment home({"HOME"});
    setenv("HOME", folder_.Path().c_str(), 1);
    std::filesystem::remove(files_.Settings);
    EXPECT_EQ(DefaultOutputFolder(), folder_ / "korvana");
    EXPECT_EQ(Name("/v/clip.mpg"), folder_ / "korvana" / "clip_(new).avi");
}

TEST_F(NamingTest, ADefaultFolderThatCannotBeMadeEitherIsAnError) {
    WriteFile(folder_ / "home", "not a folder");
    const testing::ScopedEnvironment home({"HOME"});
    setenv("HOME", (folder_ / "home").c_str(), 1);
    IniFile(files_.Settings).WriteString("settings", "OutPutDir", (folder_ / "home/x").string());
    const std::string before = testing::ReadFile(files_.Settings);
    EXPECT_THROW(Name("/v/clip.mpg"), media::MediaError);
    EXPECT_EQ(prompter_.warnings.size(), 1u);
    EXPECT_EQ(testing::ReadFile(files_.Settings), before);
}

}  // namespace
}  // namespace quillo::profiles
