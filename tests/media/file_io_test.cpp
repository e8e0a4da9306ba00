#include "media/file_io.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "media/library_bindings.h"
#include "media/library_error.h"
#include "media/system_libraries.h"
#include "support/temp_folder.h"

namespace quillo::media {
namespace {

namespace fs = std::filesystem;

class FileIoTest : public ::testing::Test {
protected:
    void SetUp() override { testing::LoadSystemLibraries(); }

    fs::path Write(const std::string& name, const std::string& content) {
        const fs::path path = folder_ / name;
        quillo::testing::WriteFile(path, content);
        return path;
    }

    quillo::testing::TempFolder temp_;
    const fs::path& folder_ = temp_.Path();
};

TEST_F(FileIoTest, ReadsSeeksAndReportsTheSize) {
    const fs::path path = Write("a:b \xff.bin", "0123456789abcdef");
    int error = 1;
    const auto io = FileIo::Open(path.string(), FileIo::Mode::Read, error);
    ASSERT_NE(io, nullptr);
    EXPECT_EQ(error, 0);

    EXPECT_EQ(lib::avformat.avio_size(io->Context()), 16);
    unsigned char buffer[4] = {};
    ASSERT_EQ(lib::avformat.avio_read(io->Context(), buffer, 4), 4);
    EXPECT_EQ(std::string(buffer, buffer + 4), "0123");
    EXPECT_EQ(lib::avformat.avio_seek(io->Context(), 10, SEEK_SET), 10);
    ASSERT_EQ(lib::avformat.avio_read(io->Context(), buffer, 4), 4);
    EXPECT_EQ(std::string(buffer, buffer + 4), "abcd");
    // Past the end the library sees the end of the file, not an error of ours.
    EXPECT_EQ(lib::avformat.avio_seek(io->Context(), 14, SEEK_SET), 14);
    ASSERT_EQ(lib::avformat.avio_read(io->Context(), buffer, 4), 2);
    EXPECT_EQ(lib::avformat.avio_read(io->Context(), buffer, 4), AVERROR_EOF);
}

TEST_F(FileIoTest, WritingTruncatesAnExistingFile) {
    const fs::path path = Write("out:put.bin", std::string(1000, 'x'));
    {
        int error = 1;
        const auto io = FileIo::Open(path.string(), FileIo::Mode::Write, error);
        ASSERT_NE(io, nullptr);
        const unsigned char text[] = {'n', 'e', 'w'};
        lib::avformat.avio_write(io->Context(), text, 3);
    }
    EXPECT_EQ(quillo::testing::ReadFile(path), "new");
}

TEST_F(FileIoTest, WritingCreatesAMissingFile) {
    const fs::path path = folder_ / "cr:eated.bin";
    {
        int error = 1;
        const auto io = FileIo::Open(path.string(), FileIo::Mode::ReadWrite, error);
        ASSERT_NE(io, nullptr);
        const std::string text(200'000, 'q');  // several buffers' worth
        lib::avformat.avio_write(io->Context(), reinterpret_cast<const unsigned char*>(text.data()),
                                 static_cast<int>(text.size()));
    }
    EXPECT_EQ(fs::file_size(path), 200'000U);
}

TEST_F(FileIoTest, FailuresGiveTheErrorOfTheirCause) {
    int error = 0;
    EXPECT_EQ(FileIo::Open((folder_ / "missing:file.mp4").string(), FileIo::Mode::Read, error),
              nullptr);
    EXPECT_EQ(FormatLibraryError("missing:file.mp4", error),
              "missing:file.mp4: No such file or directory");

    EXPECT_EQ(FileIo::Open(folder_.string(), FileIo::Mode::Read, error), nullptr);
    EXPECT_EQ(error, AVERROR(EISDIR));

    EXPECT_EQ(FileIo::Open((folder_ / "no/such/dir/out.mp4").string(), FileIo::Mode::Write, error),
              nullptr);
    EXPECT_EQ(error, AVERROR(ENOENT));
}

}  // namespace
}  // namespace quillo::media
