#pragma once

#include "media/library_set.h"

namespace quillo::media::testing {

// Loads the set through the process-wide loader from the system's copies of the libraries;
// the calling test fails when they cannot be loaded.
void LoadSystemLibraries(LibrarySet set = ConverterLibrarySet);

}  // namespace quillo::media::testing
