#include "profiles/ini_transaction.h"

#include <stdlib.h>

#include <string>
#include <system_error>

#include "media/file_contents.h"
#include "media/media_error.h"

namespace quillo::profiles {

namespace {

std::filesystem::path MakeScratchFolder() {
    std::error_code error;
    std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error) {
        base = "/tmp";
    }
    std::string pattern = (base / "quillo-settings-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw media::MediaError("Unable to make a scratch folder in " + base.string());
    }
    return pattern;
}

}  // namespace

IniTransaction::IniTransaction(std::filesystem::path target)
    : target_(std::move(target)), folder_(MakeScratchFolder()), scratch_(folder_ / "settings.ini") {
    const std::string content = media::ReadWholeFile(target_).value_or(std::string());
    if (const std::string reason = ReplaceFileAtomically(scratch_.Path(), content);
        !reason.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
        throw media::MediaError("Unable to write to " + scratch_.Path().string() + ": " + reason);
    }
}

IniTransaction::~IniTransaction() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

void IniTransaction::Commit() {
    const auto content = media::ReadWholeFile(scratch_.Path());
    if (!content) {
        throw media::MediaError("Unable to write to " + target_.string() +
                                ": the scratch copy is gone");
    }
    if (const std::string reason = ReplaceFileAtomically(target_, *content); !reason.empty()) {
        throw media::MediaError("Unable to write to " + target_.string() + ": " + reason);
    }
}

}  // namespace quillo::profiles
