#pragma once

#include <QString>
#include <filesystem>
#include <string_view>
#include <vector>

namespace quillo::gui {

// Where the program's own files (skin pictures, the user guide) are looked for, in order:
// beside the executable, then the installed data folder next to it
// (<executable>/../share/quillo-video-converter), then the one of the install prefix.
std::vector<std::filesystem::path> DataFolders();
// The first existing file of that relative name in DataFolders(); empty when none has it.
std::filesystem::path FindDataFile(const std::filesystem::path& relative);

// The Add dialog's filter, in the "description|patterns|..." form of the job list.
extern const std::string_view AddFilesFilter;

// A "description|*.a;*.b;|..." filter in Qt's form: "description (*.a *.A *.b *.B);;...".
// Each pattern is given in lower and upper case, since some file dialogs match case
// exactly; empty patterns (a trailing ";") are dropped.
QString QtFileFilter(std::string_view filter);

}  // namespace quillo::gui
