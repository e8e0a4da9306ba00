#include <gtest/gtest.h>
#include <stdlib.h>

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
