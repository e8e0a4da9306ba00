#include "media/system_libraries.h"

#include <gtest/gtest.h>

#include "media/library_loader.h"

namespace quillo::media::testing {

void LoadSystemLibraries(LibrarySet set) {
    LibraryLoader& loader = LibraryLoaderInstance();
    ASSERT_TRUE(loader.LoadLibraries(set)) << loader.LastErrorMessage();
}

}  // namespace quillo::media::testing
