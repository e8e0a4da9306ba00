#pragma once

#include <filesystem>
#include <set>
#include <string>

#include "profiles/profile_files.h"
#include "profiles/prompter.h"

namespace quillo::profiles {

// The output names handed out in one batch: none of them is handed out twice, since no output
// exists on disk before its task runs.
class OutputNameBook {
public:
    bool Contains(const std::filesystem::path& name) const;
    void Add(const std::filesystem::path& name);

private:
    std::set<std::filesystem::path> names_;
};

// The folder outputs go to when none is stored or the stored one cannot be created:
// $HOME/korvana.
std::filesystem::path DefaultOutputFolder();

// The output path for a source: the stored output folder, the source's name without its
// extension, "_(new)" or "_(new_" n ")", then extension (with its leading "."). A long stem
// is cut, on a UTF-8 character boundary, so that the file name fits 255 bytes; an extension
// too long for that raises a MediaError. A name is never one that exists on disk, nor one
// already in book. A stored folder that cannot be
// created is reported through the prompter and replaced by the default folder; a default
// folder that cannot be created either raises a MediaError.
std::filesystem::path MakeOutputFileName(const ProfileFiles& files,
                                         const std::filesystem::path& source,
                                         const std::string& extension, Prompter& prompter,
                                         OutputNameBook* book = nullptr);

}  // namespace quillo::profiles
