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

// Needs a process of its own (ctest runs each test alone): the mask is set when the loader is
// first used.
TEST(SystemLibrariesTest, TheLoaderMasksFloatingPointTraps) {
    feenableexcept(FE_DIVBYZERO | FE_INVALID);
    LibraryLoaderInstance();
    const int trapsLeft = fegetexcept() & FE_ALL_EXCEPT;
    fedisableexcept(FE_ALL_EXCEPT);  // whatever happened, the rest of the process goes on
    EXPECT_EQ(trapsLeft, 0);
    volatile double zero = 0.0;
    EXPECT_TRUE(std::isinf(1.0 / zero));
}

}  // namespace
}  // namespace quillo::media
