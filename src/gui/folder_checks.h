#pragma once

// The checks the output and snapshot folders share: making a folder, and what becomes of a
// folder chosen in a folder dialog.

#include <QString>
#include <filesystem>
#include <optional>

#include "gui/message_boxes.h"

namespace quillo::gui {

// Creates folder with every missing parent; true when it is a folder afterwards.
bool MakeFolder(const std::filesystem::path& folder);

// The folder to store for one chosen in a dialog: nullopt for a path shorter than 4 characters
// (after the warning "The path ... is not a valid directory."), the default folder for one in
// which no file can be created (after the warning that the user has no permission there), the
// folder itself otherwise. Warnings go through show with the caption "Warning".
std::optional<std::filesystem::path> AcceptChosenFolder(const QString& folder,
                                                        const MessageFunction& show);

}  // namespace quillo::gui
