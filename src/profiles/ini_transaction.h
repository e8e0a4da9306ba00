#pragma once

#include <filesystem>

#include "profiles/ini_file.h"

namespace quillo::profiles {

// Writes to an INI file that take effect together or not at all: they go to a scratch copy
// of the file, which replaces the file whole (atomically, keeping its mode) on Commit. A
// transaction that ends without Commit, or whose Commit fails, leaves the file as it was.
class IniTransaction {
public:
    // Copies the file as it is now; a missing file starts the copy empty. Raises a MediaError
    // when no scratch copy can be made.
    explicit IniTransaction(std::filesystem::path target);
    ~IniTransaction();

    IniTransaction(const IniTransaction&) = delete;
    IniTransaction& operator=(const IniTransaction&) = delete;

    // Reads and writes of the transaction; the target sees none of them before Commit.
    const IniFile& File() const { return scratch_; }
    // Raises a MediaError "Unable to write to <target>: <reason>" when the target cannot be
    // replaced.
    void Commit();

private:
    std::filesystem::path target_;
    std::filesystem::path folder_;  // the scratch copy's own folder, removed at the end
    IniFile scratch_;
};

}  // namespace quillo::profiles
