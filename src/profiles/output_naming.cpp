#include "profiles/output_naming.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>
#include <system_error>

#include "media/media_error.h"
#include "profiles/ini_file.h"
#include "profiles/settings_keys.h"

namespace quillo::profiles {

namespace {

std::filesystem::path Normal(const std::filesystem::path& name) {
    return name.lexically_normal();
}

bool CreateFolder(const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return std::filesystem::is_directory(folder, error);
}

// Any entry counts, a folder or a dangling link too: the conversion could not write there
// without harm.
bool Taken(const std::filesystem::path& name, const OutputNameBook* book) {
    std::error_code error;
    const bool exists = std::filesystem::exists(std::filesystem::symlink_status(name, error));
    return exists || (book != nullptr && book->Contains(name));
}

// The longest file name, in bytes, the Linux file systems take.
constexpr std::size_t MaxFileNameBytes = 255;

// The longest start of text that fits limit bytes and ends on a UTF-8 character boundary.
std::string_view CutOnCharacter(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) {
        return text;
    }
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;  // text[end] continues the character before it
    }
    return text.substr(0, end);
}

}  // namespace

bool OutputNameBook::Contains(const std::filesystem::path& name) const {
    return names_.contains(Normal(name));
}

void OutputNameBook::Add(const std::filesystem::path& name) {
    names_.insert(Normal(name));
}

std::filesystem::path DefaultOutputFolder() {
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') {
        const passwd* entry = getpwuid(getuid());
        home = entry != nullptr ? entry->pw_dir : "/tmp";
    }
    return std::filesystem::path(home) / "korvana";
}

std::filesystem::path MakeOutputFileName(const ProfileFiles& files,
                                         const std::filesystem::path& source,
                                         const std::string& extension, Prompter& prompter,
                                         OutputNameBook* book) {
    const IniFile settings(files.Settings);
    std::string folder = settings.ReadString(settings::Section, settings::OutputFolder,
                                             DefaultOutputFolder().string());
    // A relative folder (a Windows "c:\\korvana" among them) would move with the working
    // folder; it counts as a folder that cannot be made.
    if (!std::filesystem::path(folder).is_absolute() || !CreateFolder(folder)) {
        const std::filesystem::path fallback = DefaultOutputFolder();
        prompter.Warn("Warning", "Cannot create output directory:" + folder +
                                     ".It will create default directory " + fallback.string() +
                                     "!");
        if (!CreateFolder(fallback)) {
            throw media::MediaError("Cannot create output directory:" + fallback.string());
        }
        settings.WriteString(settings::Section, settings::OutputFolder, fallback.string());
        // The folder that failed would give a name nothing can be written to.
        folder = fallback.string();
    }
    if (folder.empty() || folder.back() != '/') {
        folder += '/';
    }
    const std::string fileName = source.filename().string();
    const std::size_t dot = fileName.rfind('.');
    const std::string_view stem =
        std::string_view(fileName).substr(0, dot == std::string::npos ? fileName.size() : dot);
    // Only the stem gives way: the suffix keeps the names apart and the extension their kind.
    const auto nameWith = [&](const std::string& suffix) {
        const std::string tail = suffix + extension;
        if (tail.size() > MaxFileNameBytes) {
            throw media::MediaError("Cannot name the output of " + source.string() +
                                    ": the extension \"" + extension + "\" is too long");
        }
        return std::filesystem::path(
            folder + std::string(CutOnCharacter(stem, MaxFileNameBytes - tail.size())) + tail);
    };

    std::filesystem::path name = nameWith("_(new)");
    for (long long n = 1; Taken(name, book); ++n) {
        name = nameWith("_(new_" + std::to_string(n) + ")");
    }
    if (book != nullptr) {
        book->Add(name);
    }
    return name;
}

}  // namespace quillo::profiles
