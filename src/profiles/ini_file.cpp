#include "profiles/ini_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

#include "media/file_contents.h"
#include "media/media_error.h"
#include "media/value_text.h"

namespace quillo::profiles {

namespace {

constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

struct Document {
    bool byteOrderMark = false;
    std::string lineEnd = "\n";
    bool finalLineEnd = true;
    std::vector<std::string> lines;
};

Document Parse(std::string_view content) {
    Document document;
    if (content.starts_with(ByteOrderMark)) {
        document.byteOrderMark = true;
        content.remove_prefix(ByteOrderMark.size());
    }
    const std::size_t firstBreak = content.find('\n');
    if (firstBreak != std::string_view::npos && firstBreak > 0 && content[firstBreak - 1] == '\r') {
        document.lineEnd = "\r\n";
    }
    document.finalLineEnd = content.empty() || content.back() == '\n';
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        const std::size_t next = end == std::string_view::npos ? content.size() : end + 1;
        if (end == std::string_view::npos) {
            end = content.size();
        }
        std::string_view text = content.substr(start, end - start);
        if (!text.empty() && text.back() == '\r') {
            text.remove_suffix(1);
        }
        document.lines.emplace_back(text);
        start = next;
    }
    return document;
}

std::string Serialise(const Document& document) {
    std::string text;
    if (document.byteOrderMark) {
        text += ByteOrderMark;
    }
    for (std::size_t i = 0; i < document.lines.size(); ++i) {
        text += document.lines[i];
        if (i + 1 < document.lines.size() || document.finalLineEnd) {
            text += document.lineEnd;
        }
    }
    return text;
}

// The section name of a header line, or nullopt for other lines.
std::optional<std::string> SectionName(std::string_view line) {
    const std::string trimmed = media::Trim(line);
    if (trimmed.empty() || trimmed.front() != '[') {
        return std::nullopt;
    }
    const std::size_t close = trimmed.find(']');
    return media::Trim(std::string_view(trimmed).substr(
        1, close == std::string::npos ? std::string::npos : close - 1));
}

// The key of a key line and the position of its "=", or nullopt for comments and other lines.
std::optional<std::pair<std::string, std::size_t>> KeyOf(std::string_view line) {
    const std::string trimmed = media::Trim(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#') {
        return std::nullopt;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
        return std::nullopt;
    }
    return std::make_pair(media::Trim(line.substr(0, equals)), equals);
}

std::string ValueOf(std::string_view line, std::size_t equals) {
    std::string value = media::Trim(line.substr(equals + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return value;
}

struct Location {
    std::optional<std::size_t> header;  // line of the section header
    std::optional<std::size_t> key;     // line of the key inside that section
    std::size_t lastContent = 0;        // last non-blank line of the section
};

Location Find(const std::vector<std::string>& lines, std::string_view section,
              std::string_view key) {
    Location location;
    bool inSection = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (const auto name = SectionName(lines[i])) {
            if (inSection) {
                break;  // only the first section of that name counts
            }
            if (media::EqualsIgnoreCase(*name, section)) {
                inSection = true;
                location.header = i;
                location.lastContent = i;
            }
            continue;
        }
        if (!inSection) {
            continue;
        }
        if (!media::Trim(lines[i]).empty()) {
            location.lastContent = i;
        }
        if (!location.key && !key.empty()) {
            if (const auto found = KeyOf(lines[i]);
                found && media::EqualsIgnoreCase(found->first, key)) {
                location.key = i;
            }
        }
    }
    return location;
}

[[noreturn]] void WriteFailed(const std::filesystem::path& path, const std::string& reason) {
    throw media::MediaError("Unable to write to " + path.string() + ": " + reason);
}

std::string SystemReason() {
    return std::strerror(errno);
}

// Writes text to a new temporary file beside path; returns its name, or empty with reason.
std::filesystem::path WriteTemporary(const std::filesystem::path& path, std::string_view text,
                                     mode_t mode, std::string& reason) {
    std::string name = path.string() + ".XXXXXX";
    const int descriptor = mkstemp(name.data());
    if (descriptor < 0) {
        reason = SystemReason();
        return {};
    }
    bool ok = fchmod(descriptor, mode) == 0;
    const char* data = text.data();
    std::size_t left = text.size();
    while (ok && left > 0) {
        const ssize_t written = write(descriptor, data, left);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        ok = written > 0;
        if (ok) {
            data += written;
            left -= static_cast<std::size_t>(written);
        }
    }
    ok = ok && fsync(descriptor) == 0;
    if (!ok) {
        reason = SystemReason();
    }
    if (close(descriptor) != 0 && ok) {
        ok = false;
        reason = SystemReason();
    }
    if (!ok) {
        unlink(name.c_str());
        return {};
    }
    return name;
}

// A symbolic link is written through, so the link itself stays in place.
std::filesystem::path ResolveTarget(const std::filesystem::path& path) {
    std::error_code error;
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(path, error))) {
        const auto target = std::filesystem::weakly_canonical(path, error);
        if (!error) {
            return target;
        }
    }
    return path;
}

void CheckName(const std::filesystem::path& path, std::string_view text, bool isKey) {
    const bool bad =
        text.find_first_of("\r\n") != std::string_view::npos ||
        (isKey && (text.find('=') != std::string_view::npos || media::Trim(text).empty() ||
                   media::Trim(text).front() == '[' || media::Trim(text).front() == ';'));
    if (bad) {
        WriteFailed(path, "the name \"" + std::string(text) + "\" cannot be stored");
    }
}

}  // namespace

std::string ReplaceFileAtomically(const std::filesystem::path& path, std::string_view text) {
    const std::filesystem::path target = ResolveTarget(path);
    struct stat info {};
    const mode_t mode = stat(target.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0644;
    std::string reason;
    const std::filesystem::path temporary = WriteTemporary(target, text, mode, reason);
    if (temporary.empty()) {
        return reason;
    }
    if (rename(temporary.c_str(), target.c_str()) != 0) {
        reason = SystemReason();
        unlink(temporary.c_str());
        return reason;
    }
    return {};
}

std::string CreateFileAtomically(const std::filesystem::path& path, std::string_view text) {
    std::string reason;
    const std::filesystem::path temporary = WriteTemporary(path, text, 0644, reason);
    if (temporary.empty()) {
        return reason;
    }
    // Both refuse an existing target, so a file that appeared meanwhile is kept. Some file
    // systems have no hard links; renameat2 then still gives the same guarantee.
    if (link(temporary.c_str(), path.c_str()) == 0) {
        unlink(temporary.c_str());
        return {};
    }
    if (errno != EEXIST &&
        renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0) {
        return {};
    }
    reason = errno == EEXIST ? "exists" : SystemReason();
    unlink(temporary.c_str());
    return reason;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const {
    const auto content = media::ReadWholeFile(path_);
    if (!content) {
        return std::string(defaultValue);
    }
    const Document document = Parse(*content);
    const Location location = Find(document.lines, section, key);
    if (!location.key) {
        return std::string(defaultValue);
    }
    const std::string& line = document.lines[*location.key];
    return ValueOf(line, line.find('='));
}

int IniFile::ReadInteger(std::string_view section, std::string_view key, int defaultValue) const {
    return media::ParseInteger(ReadString(section, key, "")).value_or(defaultValue);
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

bool IniFile::SectionExists(std::string_view section) const {
    const auto content = media::ReadWholeFile(path_);
    return content && Find(Parse(*content).lines, section, "").header.has_value();
}

void IniFile::WriteString(std::string_view section, std::string_view key,
                          std::string_view value) const {
    CheckName(path_, section, false);
    if (section.find(']') != std::string_view::npos || media::Trim(section).empty()) {
        WriteFailed(path_, "the section name \"" + std::string(section) + "\" cannot be stored");
    }
    CheckName(path_, key, true);
    if (value.find_first_of("\r\n") != std::string_view::npos) {
        WriteFailed(path_, "a value cannot hold a line break");
    }

    std::error_code error;
    const bool exists = std::filesystem::exists(path_, error);
    std::optional<std::string> content = std::string();
    if (exists) {
        content = media::ReadWholeFile(path_);
        if (!content) {
            WriteFailed(path_, "the file cannot be read");
        }
    }
    Document document = Parse(*content);
    const Location location = Find(document.lines, section, key);
    if (location.key) {
        std::string& line = document.lines[*location.key];
        line = line.substr(0, line.find('=') + 1) + std::string(value);
    } else if (location.header) {
        document.lines.insert(document.lines.begin() + location.lastContent + 1,
                              std::string(key) + "=" + std::string(value));
    } else {
        document.lines.push_back("[" + std::string(section) + "]");
        document.lines.push_back(std::string(key) + "=" + std::string(value));
    }
    const std::string reason = ReplaceFileAtomically(path_, Serialise(document));
    if (!reason.empty()) {
        WriteFailed(path_, reason);
    }
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, int value) const {
    WriteString(section, key, std::to_string(value));
}

void IniFile::WriteBool(std::string_view section, std::string_view key, bool value) const {
    WriteString(section, key, value ? "1" : "0");
}

}  // namespace quillo::profiles
