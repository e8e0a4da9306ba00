#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace quillo::profiles {

// One INI file, read and written the way the Windows profile-file routines do it: section and
// key names compare case-insensitively, the first of duplicate sections or keys counts, values
// are trimmed and lose one pair of enclosing quotes, and a missing file, section or key gives
// the caller's default. Nothing is cached: every call goes to the file. A write changes only
// the one line it concerns and replaces the file atomically, so a failed write leaves the
// previous file whole. Reads accept CRLF or LF line ends, a UTF-8 byte-order mark and a last
// line without line end; writes keep the file's mark and line-end style.
class IniFile {
public:
    explicit IniFile(std::filesystem::path path) : path_(std::move(path)) {}

    const std::filesystem::path& Path() const { return path_; }

    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    // The default unless the value is a decimal integer.
    int ReadInteger(std::string_view section, std::string_view key, int defaultValue) const;
    // An integer value other than 0 is true; the default when the value is no integer.
    bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;
    bool SectionExists(std::string_view section) const;

    // Raise a MediaError "Unable to write to <path>" (with the reason) when the file cannot be
    // written, or when a name or value holds a line break or a character that would change the
    // meaning of the line.
    void WriteString(std::string_view section, std::string_view key, std::string_view value) const;
    void WriteInteger(std::string_view section, std::string_view key, int value) const;
    void WriteBool(std::string_view section, std::string_view key, bool value) const;

private:
    std::filesystem::path path_;
};

// Writes text as the whole content of path, through a temporary file in the same folder that
// is renamed over the target, so readers see the old or the new file and never a part.
// Returns an empty text on success, else the reason.
std::string ReplaceFileAtomically(const std::filesystem::path& path, std::string_view text);

// Like ReplaceFileAtomically, but never replaces an existing file: the reason is "exists"
// when path is already there.
std::string CreateFileAtomically(const std::filesystem::path& path, std::string_view text);

}  // namespace quillo::profiles
