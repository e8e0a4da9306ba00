#pragma once

#include <filesystem>

#include "profiles/profile_files.h"

namespace quillo::app {

// The start-up checks of the two folders in the program settings: a stored folder that is
// relative, or in which no file can be created (a first run included, when nothing is stored
// yet), is replaced by $HOME/korvana, and the replacement is stored. The folder is not created
// here; the naming rule creates the output folder when it needs it. Each returns the folder
// to show.
std::filesystem::path CheckOutputFolder(const profiles::ProfileFiles& files);
std::filesystem::path CheckSnapshotFolder(const profiles::ProfileFiles& files);

}  // namespace quillo::app
