#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "media/dynamic_library.h"
#include "media/library_bindings.h"
#include "media/library_loader.h"
#include "media/media_error.h"
#include "support/temp_folder.h"

namespace quillo::media {
namespace {

namespace fs = std::filesystem;

constexpr LibraryIndex AllIndexes[] = {
    LibraryIndex::avcodec, LibraryIndex::avdevice, LibraryIndex::avfilter,   LibraryIndex::avformat,
    LibraryIndex::avutil,  LibraryIndex::swscale,  LibraryIndex::swresample, LibraryIndex::sdl2};

// The real table with every base name prefixed, so that only the stand-in libraries match
// and the system's search never finds a real library in their place.
LibraryTable FakeLibraryTable() {
    LibraryTable table = DefaultLibraryTable();
    for (LibraryItem& item : table) {
        item.baseName = "quillotest_" + item.baseName;
    }
    return table;
}

fs::path FakeLibrary(const std::string& baseName) {
    return fs::path(QUILLO_FAKE_LIBRARY_DIR) / ("libquillotest_" + baseName + ".so");
}

class LibraryLoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(folder_);
        loader_.SetLibraryFolder(folder_);
    }

    // Every hold a test took goes, so no binding outlives its test.
    void TearDown() override {
        const LibrarySet all = PlayerLibrarySet | LibrarySet{LibraryIndex::avdevice};
        while (std::any_of(std::begin(AllIndexes), std::end(AllIndexes),
                           [&](LibraryIndex index) { return loader_.LibraryLoaded(index); })) {
            loader_.UnloadLibraries(all);
        }
    }

    // Puts the stand-in for index into the library folder under the name the loader wants.
    void Provide(LibraryIndex index, const std::string& fakeBaseName = {}) {
        std::string baseName = fakeBaseName;
        if (baseName.empty()) {
            baseName = DefaultLibraryTable()[static_cast<std::size_t>(index)].baseName;
        }
        fs::copy_file(FakeLibrary(baseName), folder_ / loader_.LibraryFileName(index),
                      fs::copy_options::overwrite_existing);
    }

    void ProvideSet(LibrarySet set) {
        for (const LibraryIndex index : AllIndexes) {
            if (set.Contains(index)) {
                Provide(index);
            }
        }
    }

    void ExpectNothingLoaded() {
        for (const LibraryIndex index : AllIndexes) {
            EXPECT_FALSE(loader_.LibraryLoaded(index)) << loader_.LibraryFileName(index);
        }
        EXPECT_EQ(lib::avcodec.avcodec_version, nullptr);
        EXPECT_EQ(lib::avfilter.avfilter_version, nullptr);
        EXPECT_EQ(lib::avformat.avformat_open_input, nullptr);
        EXPECT_EQ(lib::avutil.av_malloc, nullptr);
        EXPECT_EQ(lib::swscale.sws_scale, nullptr);
        EXPECT_EQ(lib::swresample.swresample_version, nullptr);
        EXPECT_EQ(lib::sdl2.SDL_Init, nullptr);
    }

    quillo::testing::TempFolder root_;
    const fs::path folder_ = root_ / "medialibs";
    LibraryLoader loader_{FakeLibraryTable()};
};

TEST(LibraryFileNameTest, FollowsTheMajorVersionsOfTheHeaders) {
    const LibraryLoader loader;
    EXPECT_EQ(loader.LibraryFileName(LibraryIndex::avcodec),
              "libavcodec.so." + std::to_string(LIBAVCODEC_VERSION_MAJOR));
    EXPECT_EQ(loader.LibraryFileName(LibraryIndex::avutil),
              "libavutil.so." + std::to_string(LIBAVUTIL_VERSION_MAJOR));
    EXPECT_EQ(loader.LibraryFileName(LibraryIndex::swresample),
              "libswresample.so." + std::to_string(LIBSWRESAMPLE_VERSION_MAJOR));
    EXPECT_EQ(loader.LibraryFileName(LibraryIndex::sdl2), "libSDL2-2.0.so.0");

    LibraryTable table = DefaultLibraryTable();
    table[0].version = -1;
    EXPECT_EQ(LibraryLoader(table).LibraryFileName(LibraryIndex::avcodec), "libavcodec.so");
}

TEST(LibraryTableTest, OutOfOrderTableIsRefused) {
    LibraryTable table = DefaultLibraryTable();
    std::swap(table[0], table[1]);
    EXPECT_THROW(LibraryLoader{table}, std::invalid_argument);
}

TEST_F(LibraryLoaderTest, LoadsTheConverterSetFromTheFolderAndBindsEveryEntry) {
    ProvideSet(PlayerLibrarySet);

    ASSERT_TRUE(loader_.LoadLibraries(ConverterLibrarySet)) << loader_.LastErrorMessage();

    EXPECT_TRUE(loader_.LibrariesLoaded(ConverterLibrarySet));
    EXPECT_FALSE(loader_.LibraryLoaded(LibraryIndex::sdl2));
    EXPECT_FALSE(loader_.LibraryLoaded(LibraryIndex::avdevice));
    EXPECT_FALSE(loader_.LibrariesLoaded(PlayerLibrarySet));
    EXPECT_NE(lib::avcodec.avcodec_get_name, nullptr);
    EXPECT_NE(lib::avformat.avio_context_free, nullptr);
    EXPECT_NE(lib::avutil.av_get_pix_fmt_name, nullptr);
    EXPECT_NE(lib::swscale.sws_freeContext, nullptr);
    EXPECT_NE(lib::swresample.swresample_version, nullptr);
    EXPECT_EQ(lib::sdl2.SDL_Init, nullptr);
    EXPECT_EQ(loader_.LibraryPath(LibraryIndex::avcodec),
              folder_ / loader_.LibraryFileName(LibraryIndex::avcodec));
    EXPECT_EQ(loader_.LastErrorMessage(), "");
}

TEST_F(LibraryLoaderTest, FolderWithATrailingSlashWorksTheSame) {
    ProvideSet(ConverterLibrarySet);
    loader_.SetLibraryFolder(folder_.string() + "/");

    ASSERT_TRUE(loader_.LoadLibraries(ConverterLibrarySet)) << loader_.LastErrorMessage();
    EXPECT_TRUE(loader_.LibraryPath(LibraryIndex::avutil).string().starts_with(folder_.string()));
}

TEST_F(LibraryLoaderTest, SecondLoadLoadsNothingNewAndRunsTheHooksAgain) {
    ProvideSet(ConverterLibrarySet);
    std::vector<std::string> hookRuns;
    loader_.AddLoadHook(LibraryIndex::avformat, [&] { hookRuns.push_back("avformat"); });
    loader_.AddLoadHook(LibraryIndex::avutil, [&] { hookRuns.push_back("avutil"); });

    ASSERT_TRUE(loader_.LoadLibraries(ConverterLibrarySet)) << loader_.LastErrorMessage();
    // Were anything opened again, it would now fail: the files are gone.
    fs::remove_all(folder_);
    ASSERT_TRUE(loader_.LoadLibraries(ConverterLibrarySet)) << loader_.LastErrorMessage();

    EXPECT_EQ(hookRuns, (std::vector<std::string>{"avformat", "avutil", "avformat", "avutil"}));
    EXPECT_TRUE(loader_.LibrariesLoaded(ConverterLibrarySet));
}

TEST_F(LibraryLoaderTest, MissingLibraryNamesTheFolderAndTheFile) {
    ProvideSet(ConverterLibrarySet);
    const std::string missing = loader_.LibraryFileName(LibraryIndex::avformat);
    fs::remove(folder_ / missing);

    EXPECT_FALSE(loader_.LoadLibraries(ConverterLibrarySet));

    const std::string expectedStart = "Load library " + (folder_ / missing).string() + " error: ";
    EXPECT_TRUE(loader_.LastErrorMessage().starts_with(expectedStart))
        << loader_.LastErrorMessage();
    // The system's own text follows.
    EXPECT_GT(loader_.LastErrorMessage().size(), expectedStart.size());
    ExpectNothingLoaded();
}

TEST_F(LibraryLoaderTest, WithoutAFolderTheSystemSearchIsUsed) {
    loader_.SetLibraryFolder({});
    ProvideSet(ConverterLibrarySet);  // present in the folder, but no folder is set

    EXPECT_FALSE(loader_.LoadLibraries(ConverterLibrarySet));
    EXPECT_TRUE(loader_.LastErrorMessage().starts_with(
        "Load library " + loader_.LibraryFileName(LibraryIndex::avcodec) + " error: "))
        << loader_.LastErrorMessage();
}

TEST_F(LibraryLoaderTest, LibraryLackingAnExportEndsUnloadedWithTheExportNamed) {
    ProvideSet(ConverterLibrarySet);
    Provide(LibraryIndex::avutil, "avutil_incomplete");

    EXPECT_FALSE(loader_.LoadLibraries(ConverterLibrarySet));

    const std::string fileName = loader_.LibraryFileName(LibraryIndex::avutil);
    EXPECT_TRUE(loader_.LastErrorMessage().starts_with("Load function av_log_set_level@" +
                                                       fileName + " error: "))
        << loader_.LastErrorMessage();
    EXPECT_NE(loader_.LastErrorMessage().find("av_log_set_level"), std::string::npos);
    // Entries bound before the missing one are reset too.
    EXPECT_EQ(lib::avutil.avutil_version, nullptr);
    EXPECT_EQ(lib::avutil.av_log, nullptr);
    EXPECT_EQ(loader_.LibraryPath(LibraryIndex::avutil), fs::path());
    ExpectNothingLoaded();
}

// The converter set's users keep their libraries whatever becomes of the player set.
TEST_F(LibraryLoaderTest, FailedPlayerLoadLeavesTheConverterSetLoaded) {
    struct Case {
        const char* name;
        const char* sdlStandIn;  // nullptr: no SDL library at all
        std::string messageStart;
    };
    const std::string sdlFile = loader_.LibraryFileName(LibraryIndex::sdl2);
    const std::vector<Case> cases = {
        {"missing", nullptr, "Load library " + (folder_ / sdlFile).string() + " error: "},
        // A library without one SDL export: the avutil stand-in under the SDL name.
        {"lacking exports", "avutil", "Load function SDL_"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ProvideSet(ConverterLibrarySet);
        fs::remove(folder_ / sdlFile);
        if (c.sdlStandIn != nullptr) {
            Provide(LibraryIndex::sdl2, c.sdlStandIn);
        }
        ASSERT_TRUE(loader_.LoadLibraries(ConverterLibrarySet)) << loader_.LastErrorMessage();

        EXPECT_FALSE(loader_.LoadLibraries(PlayerLibrarySet));

        EXPECT_TRUE(loader_.LastErrorMessage().starts_with(c.messageStart))
            << loader_.LastErrorMessage();
        EXPECT_TRUE(loader_.LibrariesLoaded(ConverterLibrarySet));
        EXPECT_FALSE(loader_.LibraryLoaded(LibraryIndex::sdl2));
        EXPECT_NE(lib::avformat.avformat_close_input, nullptr);
        EXPECT_NE(lib::avutil.av_malloc, nullptr);
        EXPECT_EQ(lib::sdl2.SDL_Init, nullptr);
        EXPECT_EQ(loader_.LibraryPath(LibraryIndex::avformat),
                  folder_ / loader_.LibraryFileName(LibraryIndex::avformat));

        // The failed call took no hold: one release of the converter set's empties it.
        loader_.UnloadLibraries(ConverterLibrarySet);
        ExpectNothingLoaded();
    }
}

TEST_F(LibraryLoaderTest, FailedLoadReleasesOnlyTheHoldsItTook) {
    ProvideSet(ConverterLibrarySet);
    fs::remove(folder_ / loader_.LibraryFileName(LibraryIndex::swresample));
    const LibrarySet held{LibraryIndex::avcodec, LibraryIndex::avutil};
    ASSERT_TRUE(loader_.LoadLibraries(held)) << loader_.LastErrorMessage();

    EXPECT_FALSE(loader_.LoadLibraries(ConverterLibrarySet));

    EXPECT_TRUE(loader_.LibrariesLoaded(held));
    EXPECT_NE(lib::avcodec.avcodec_version, nullptr);
    EXPECT_NE(lib::avutil.av_malloc, nullptr);
    // What the failed call opened itself is closed again.
    for (const LibraryIndex index :
         {LibraryIndex::avfilter, LibraryIndex::avformat, LibraryIndex::swscale}) {
        EXPECT_FALSE(loader_.LibraryLoaded(index)) << loader_.LibraryFileName(index);
        EXPECT_EQ(loader_.LibraryPath(index), fs::path()) << loader_.LibraryFileName(index);
    }
    EXPECT_EQ(lib::avformat.avformat_open_input, nullptr);
    EXPECT_EQ(lib::swscale.sws_scale, nullptr);

    loader_.UnloadLibraries(held);
    ExpectNothingLoaded();
}

TEST_F(LibraryLoaderTest, LibraryStaysUntilItsLastHolderLetsGo) {
    ProvideSet(PlayerLibrarySet);
    ASSERT_TRUE(loader_.LoadLibraries(ConverterLibrarySet)) << loader_.LastErrorMessage();
    ASSERT_TRUE(loader_.LoadLibraries(PlayerLibrarySet)) << loader_.LastErrorMessage();

    loader_.UnloadLibraries(ConverterLibrarySet);
    EXPECT_TRUE(loader_.LibrariesLoaded(PlayerLibrarySet));
    EXPECT_NE(lib::avformat.avformat_open_input, nullptr);

    // The player set was the converter libraries' last holder and SDL's only one.
    loader_.UnloadLibraries(PlayerLibrarySet);
    ExpectNothingLoaded();

    // Letting go of what nobody holds changes nothing, and a later load starts afresh.
    loader_.UnloadLibraries(PlayerLibrarySet);
    ExpectNothingLoaded();
    ASSERT_TRUE(loader_.LoadLibraries(ConverterLibrarySet)) << loader_.LastErrorMessage();
    loader_.UnloadLibraries(ConverterLibrarySet);
    ExpectNothingLoaded();
}

TEST_F(LibraryLoaderTest, ErrorMessageSurvivesALaterSuccess) {
    EXPECT_FALSE(loader_.LoadLibraries(ConverterLibrarySet));
    const std::string message = loader_.LastErrorMessage();
    ASSERT_FALSE(message.empty());

    ProvideSet(ConverterLibrarySet);
    ASSERT_TRUE(loader_.LoadLibraries(ConverterLibrarySet));
    EXPECT_EQ(loader_.LastErrorMessage(), message);
}

TEST_F(LibraryLoaderTest, UnloadResetsTheEntriesOfThatLibraryOnly) {
    ProvideSet(ConverterLibrarySet);
    ASSERT_TRUE(loader_.LoadLibraries(ConverterLibrarySet));

    loader_.UnloadLibrary(LibraryIndex::swscale);

    EXPECT_FALSE(loader_.LibraryLoaded(LibraryIndex::swscale));
    EXPECT_EQ(lib::swscale.sws_getCachedContext, nullptr);
    EXPECT_TRUE(loader_.LibraryLoaded(LibraryIndex::avutil));
    EXPECT_NE(lib::avutil.av_malloc, nullptr);
    EXPECT_FALSE(loader_.LibrariesLoaded(ConverterLibrarySet));
}

TEST_F(LibraryLoaderTest, EmptySetIsRefused) {
    EXPECT_THROW(loader_.LoadLibraries(LibrarySet{}), std::invalid_argument);
    EXPECT_THROW(loader_.LibrariesLoaded(LibrarySet{}), std::invalid_argument);
    EXPECT_THROW(loader_.UnloadLibraries(LibrarySet{}), std::invalid_argument);
}

TEST_F(LibraryLoaderTest, MissingVariableIsReportedAsAVariable) {
    const fs::path path = FakeLibrary("avutil");
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr);

    int* present = nullptr;
    BindVariable("libx.so", handle, "quillo_fake_variable", present);
    ASSERT_NE(present, nullptr);
    EXPECT_EQ(*present, 7);

    int* absent = nullptr;
    try {
        BindVariable("libx.so", handle, "no_such_variable", absent);
        ADD_FAILURE() << "a missing variable was bound";
    } catch (const MediaError& error) {
        EXPECT_TRUE(
            std::string(error.what()).starts_with("Load variable no_such_variable@libx.so error: "))
            << error.what();
    }
    dlclose(handle);
}

}  // namespace
}  // namespace quillo::media
