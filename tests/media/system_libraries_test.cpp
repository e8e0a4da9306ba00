#include <gtest/gtest.h>

#include <fenv.h>
#include <cmath>

#include "media/library_bindings.h"
#include "media/library_loader.h"
#include "media/system_libraries.h"

namespace quillo::media {
namespace {

// The binding tables match the libraries the system really has: every entry resolves, and
// the libraries are the major versions the headers describe.
TEST(SystemLibrariesTest, PlayerSetLoadsWithTheHeadersMajorVersions) {
    testing::LoadSystemLibraries(PlayerLibrarySet);

    EXPECT_EQ(AV_VERSION_MAJOR(lib::avcodec.avcodec_version()), LIBAVCODEC_VERSION_MAJOR);
    EXPECT_EQ(AV_VERSION_MAJOR(lib::avfilter.avfilter_version()), LIBAVFILTER_VERSION_MAJOR);
    EXPECT_EQ(AV_VERSION_MAJOR(lib::avformat.avformat_version()), LIBAVFORMAT_VERSION_MAJOR);
    EXPECT_EQ(AV_VERSION_MAJOR(lib::avutil.avutil_version()), LIBAVUTIL_VERSION_MAJOR);
    EXPECT_EQ(AV_VERSION_MAJOR(lib::swscale.swscale_version()), LIBSWSCALE_VERSION_MAJOR);
    EXPECT_EQ(AV_VERSION_MAJOR(lib::swresample.swresample_version()), LIBSWRESAMPLE_VERSION_MAJOR);
    SDL_version sdlVersion{};
    lib::sdl2.SDL_GetVersion(&sdlVersion);
    EXPECT_EQ(sdlVersion.major, 2);
    EXPECT_FALSE(LibraryLoaderInstance().LibraryPath(LibraryIndex::avcodec).empty());
}

TEST(SystemLibrariesTest, DeviceLibraryLoadsOnRequest) {
    testing::LoadSystemLibraries(LibrarySet{LibraryIndex::avdevice});
    EXPECT_EQ(AV_VERSION_MAJOR(lib::avdevice.avdevice_version()), LIBAVDEVICE_VERSION_MAJOR);
}

TEST(SystemLibrariesTest, TheLoaderMasksFloatingPointTraps) {
    feenableexcept(FE_DIVBYZERO | FE_INVALID);
    LibraryLoaderInstance();
    volatile double zero = 0.0;
    // With a trap enabled this would stop the process.
    EXPECT_TRUE(std::isinf(1.0 / zero));
    EXPECT_EQ(fegetexcept() & FE_ALL_EXCEPT, 0);
}

}  // namespace
}  // namespace quillo::media
