#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "media/media_error.h"
#include "profiles/ini_transaction.h"
#include "support/temp_folder.h"

namespace quillo::profiles {
namespace {

using quillo::testing::ReadFile;
using quillo::testing::TempFolder;
using quillo::testing::WriteFile;

class IniTransactionTest : public ::testing::Test {
protected:
    TempFolder folder_;
    std::filesystem::path target_ = folder_ / "settings.ini";
};

TEST_F(IniTransactionTest, WritesReachTheFileTogetherOnCommitAndTheRestStaysAsItWas) {
    WriteFile(target_, "; kept\r\n[settings]\r\nFormatCode=1\r\n[other]\r\nkey=value\r\n");
    IniTransaction transaction(target_);
    transaction.File().WriteString("settings", "FormatCode", "402");
    transaction.File().WriteString("formatInfo402", "paraZoom", "pan");
    EXPECT_EQ(transaction.File().ReadString("settings", "formatcode", ""), "402");
    EXPECT_EQ(ReadFile(target_),
              "; kept\r\n[settings]\r\nFormatCode=1\r\n[other]\r\nkey=value\r\n");

    transaction.Commit();
    EXPECT_EQ(ReadFile(target_),
              "; kept\r\n[settings]\r\nFormatCode=402\r\n[other]\r\nkey=value\r\n"
              "[formatInfo402]\r\nparaZoom=pan\r\n");
}

TEST_F(IniTransactionTest, WithoutCommitTheFileIsUntouchedAndTheScratchCopyGoes) {
    WriteFile(target_, "[settings]\nFormatCode=1\n");
    std::filesystem::path scratch;
    {
        IniTransaction transaction(target_);
        scratch = transaction.File().Path();
        transaction.File().WriteString("settings", "FormatCode", "2");
        EXPECT_TRUE(std::filesystem::exists(scratch));
        EXPECT_NE(scratch.parent_path(), target_.parent_path());
    }
    EXPECT_EQ(ReadFile(target_), "[settings]\nFormatCode=1\n");
    EXPECT_FALSE(std::filesystem::exists(scratch));
    EXPECT_FALSE(std::filesystem::exists(scratch.parent_path()));
}

TEST_F(IniTransactionTest, AMissingFileIsMadeOnCommit) {
    IniTransaction transaction(target_);
    EXPECT_EQ(transaction.File().ReadString("settings", "FormatCode", "none"), "none");
    transaction.File().WriteString("settings", "FormatCode", "7");
    EXPECT_FALSE(std::filesystem::exists(target_));
    transaction.Commit();
    EXPECT_EQ(ReadFile(target_), "[settings]\nFormatCode=7\n");
}

TEST_F(IniTransactionTest, CommitKeepsTheFilesMode) {
    WriteFile(target_, "[settings]\n");
    ASSERT_EQ(chmod(target_.c_str(), 0600), 0);
    IniTransaction transaction(target_);
    transaction.File().WriteString("settings", "FormatCode", "7");
    transaction.Commit();
    struct stat info {};
    ASSERT_EQ(stat(target_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
}

TEST_F(IniTransactionTest, AFailedCommitSaysWhyAndLeavesNoFile) {
    const std::filesystem::path gone = folder_ / "gone";
    std::filesystem::create_directories(gone);
    const std::filesystem::path target = gone / "settings.ini";
    IniTransaction transaction(target);
    transaction.File().WriteString("settings", "FormatCode", "7");
    std::filesystem::remove_all(gone);
    try {
        transaction.Commit();
        ADD_FAILURE() << "the commit into a missing folder succeeded";
    } catch (const media::MediaError& error) {
        EXPECT_EQ(
            std::string(error.what()).rfind("Unable to write to " + target.string() + ": ", 0), 0u)
            << error.what();
    }
    EXPECT_FALSE(std::filesystem::exists(target));
}

}  // namespace
}  // namespace quillo::profiles
