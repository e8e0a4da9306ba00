#include "app/progress_text.h"

#include <filesystem>

namespace quillo::app {

namespace {

bool ContinuesCharacter(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

std::size_t CharacterCount(const std::string& text) {
    std::size_t count = 0;
    for (const char byte : text) {
        count += ContinuesCharacter(byte) ? 0 : 1;
    }
    return count;
}

// The bytes of the first count characters of text.
std::string FirstCharacters(const std::string& text, std::size_t count) {
    std::size_t end = 0;
    for (std::size_t seen = 0; end < text.size(); ++end) {
        if (!ContinuesCharacter(text[end]) && seen++ == count) {
            break;
        }
    }
    return text.substr(0, end);
}

}  // namespace

std::optional<int> ProgressPercent(std::int64_t currentUs, std::int64_t totalUs) {
    if (totalUs <= 0) {
        return std::nullopt;
    }
    if (currentUs <= 0) {
        return 0;
    }
    if (currentUs >= totalUs) {
        return 100;
    }
    // Below total, so that times 100 cannot overflow for any length a file can have.
    return static_cast<int>(static_cast<__int128>(currentUs) * 100 / totalUs);
}

std::string PercentText(int percent) {
    return std::to_string(percent) + "%";
}

std::string SecondsText(std::int64_t microseconds) {
    return std::to_string(microseconds / 1000000) + " Second";
}

std::string KilobytesText(std::int64_t bytes) {
    return std::to_string(bytes / 1000) + " kb";
}

std::string TaskCounterText(int taskIndex, int taskCount) {
    return "[" + std::to_string(taskIndex + 1) + "/" + std::to_string(taskCount) + "]";
}

std::string ShortenedFileName(const std::string& caption) {
    if (CharacterCount(caption) < 51) {
        return caption;
    }
    return FirstCharacters(caption, 44) + ".." +
           std::filesystem::path(caption).extension().string();
}

ProgressFields MakeProgressFields(const converter::ProgressInfo& info, int taskCount,
                                  const std::string& caption) {
    ProgressFields fields;
    fields.CurrentTime = SecondsText(info.CurrentDuration);
    fields.Length = info.TotalDuration > 0 ? SecondsText(info.TotalDuration) : std::string();
    fields.FileSize = KilobytesText(info.TotalSize);
    fields.Counter = TaskCounterText(info.TaskIndex, taskCount);
    fields.File = ShortenedFileName(caption);
    return fields;
}

}  // namespace quillo::app
