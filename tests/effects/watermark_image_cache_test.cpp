#include "effects/watermark_image_cache.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "effects/watermark_error.h"
#include "effects_test_support.h"
#include "support/temp_folder.h"

namespace quillo::effects {
namespace {

using quillo::testing::TempFolder;
using testing::Noise;

// A file written long ago is trusted by its stamp; one written just now by its bytes.
void WritePicture(const std::filesystem::path& file, const media::Bitmap& picture, bool aged) {
    testing::WriteBmp(file, picture);
    if (aged) {
        std::filesystem::last_write_time(
            file, std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
    }
}

TEST(WatermarkImageCache, DecodesAPictureOnceWhileTheFileStaysTheSame) {
    for (const bool aged : {false, true}) {
        SCOPED_TRACE(aged ? "written an hour ago" : "written just now");
        TempFolder folder;
        const auto file = folder / "logo.bmp";
        WritePicture(file, Noise(9, 4), aged);
        WatermarkImageCache cache;
        const auto first = cache.Picture(file);
        EXPECT_EQ(*first, Noise(9, 4));
        for (int frame = 0; frame < 3; ++frame) {
            EXPECT_EQ(cache.Picture(file).get(), first.get());
        }
        cache.Clear();
        const auto again = cache.Picture(file);
        EXPECT_EQ(*again, *first);
    }
}

// The same as reading the file for every frame: a rewritten file gives its new picture, a
// removed one raises on every look-up, and one put back is drawn again.
TEST(WatermarkImageCache, FollowsTheFileAndKeepsNoFailure) {
    for (const bool aged : {false, true}) {
        SCOPED_TRACE(aged ? "written an hour ago" : "written just now");
        TempFolder folder;
        const auto file = folder / "logo.bmp";
        WatermarkImageCache cache;
        for (int frame = 0; frame < 2; ++frame) {
            EXPECT_THROW(cache.Picture(file), WatermarkError) << frame;
        }
        WritePicture(file, Noise(9, 4, 1), aged);
        EXPECT_EQ(*cache.Picture(file), Noise(9, 4, 1));
        EXPECT_EQ(*cache.Picture(file), Noise(9, 4, 1));
        testing::WriteBmp(file, Noise(9, 4, 2));  // same size, new pixels
        EXPECT_EQ(*cache.Picture(file), Noise(9, 4, 2));
        const auto replacement = folder / "other.bmp";
        WritePicture(replacement, Noise(5, 6, 3), aged);
        std::filesystem::rename(replacement, file);
        EXPECT_EQ(*cache.Picture(file), Noise(5, 6, 3));
        std::filesystem::remove(file);
        for (int frame = 0; frame < 2; ++frame) {
            EXPECT_THROW(cache.Picture(file), WatermarkError) << frame;
        }
        quillo::testing::WriteFile(file, "not a picture");
        EXPECT_THROW(cache.Picture(file), WatermarkError);
        EXPECT_THROW(cache.Picture(file), WatermarkError);
        WritePicture(file, Noise(9, 4, 4), aged);
        EXPECT_EQ(*cache.Picture(file), Noise(9, 4, 4));
    }
}

}  // namespace
}  // namespace quillo::effects
