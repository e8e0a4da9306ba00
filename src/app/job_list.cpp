#include "app/job_list.h"

#include <set>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "app/file_probing.h"
#include "converter/converter.h"
#include "media/file_contents.h"
#include "profiles/output_naming.h"
#include "profiles/profile_catalogue.h"

namespace quillo::app {

namespace {

std::string SecondsText(std::int64_t microseconds) {
    return std::to_string(microseconds / 1000000);
}

bool IsFolder(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

}  // namespace

const std::array<JobColumnInfo, JobColumnCount>& JobColumns() {
    static const std::array<JobColumnInfo, JobColumnCount> columns{{{"Source", 140},
                                                                    {"Length", 65},
                                                                    {"Trimmed Length", 90},
                                                                    {"Destination File", 120},
                                                                    {"Progress", 60}}};
    return columns;
}

std::filesystem::path DefaultMediaLibraryFolder() {
    return media::ExecutableFolder() / "medialibs";
}

JobList::JobList(converter::Converter& converter, profiles::ProfileFiles files,
                 profiles::Prompter& prompter, std::filesystem::path libraryFolder)
    : converter_(converter),
      files_(std::move(files)),
      prompter_(prompter),
      libraryFolder_(std::move(libraryFolder)) {}

bool JobList::LoadMediaLibraries(std::string* error) {
    if (converter_.LoadMediaLibraries(libraryFolder_)) {
        return true;
    }
    if (error != nullptr) {
        *error = converter_.LastErrMsg();
    }
    return false;
}

AddFilesResult JobList::AddFiles(const std::vector<std::filesystem::path>& paths) {
    AddFilesResult result;
    result.LibrariesLoaded = LoadMediaLibraries(&result.LibraryError);
    if (!result.LibrariesLoaded) {
        return result;
    }
    RefuseWhileConverting();
    converter_.ClearTasks();
    const std::string extension = "." + profiles::CurrentExtension(files_);
    const std::string zoom = profiles::CurrentZoom(files_);

    // Names first, in the order given, since naming may warn about the output folder and
    // change it for the names after; probing then runs for all the files at once.
    struct Candidate {
        std::size_t given;
        std::filesystem::path output;
    };
    std::vector<Candidate> candidates;
    std::vector<std::filesystem::path> toProbe;
    std::set<std::string> captions;
    for (const JobRow& row : rows_) {
        captions.insert(row.Caption());
    }
    std::vector<std::pair<std::size_t, SkipReason>> skipped;
    for (std::size_t index = 0; index < paths.size(); ++index) {
        const std::filesystem::path& path = paths[index];
        if (IsFolder(path)) {
            skipped.emplace_back(index, SkipReason::Folder);
        } else if (!captions.insert(path.string()).second) {
            skipped.emplace_back(index, SkipReason::Duplicate);
        } else {
            candidates.push_back(
                {index, profiles::MakeOutputFileName(files_, path, extension, prompter_)});
            toProbe.push_back(path);
        }
    }
    const std::vector<ProbeOutcome> outcomes = ProbeFiles(toProbe);

    std::size_t nextSkip = 0;
    const auto reportSkipsBefore = [&](std::size_t given) {
        for (; nextSkip < skipped.size() && skipped[nextSkip].first < given; ++nextSkip) {
            result.Skipped.push_back({paths[skipped[nextSkip].first], skipped[nextSkip].second});
        }
    };
    for (std::size_t index = 0; index < candidates.size(); ++index) {
        const std::filesystem::path& path = paths[candidates[index].given];
        reportSkipsBefore(candidates[index].given);
        if (!outcomes[index]) {
            result.Skipped.push_back({path, SkipReason::Unreadable});
            continue;
        }
        const std::filesystem::path& output = candidates[index].output;
        JobRow row;
        row.Texts = {path.string(), SecondsText(*outcomes[index]), SecondsText(*outcomes[index]),
                     output.filename().string(), std::string()};
        row.Record = NewJobRecord(zoom, path, output, *outcomes[index]);
        rows_.push_back(std::move(row));
        ++result.Added;
        if (observer_ != nullptr) {
            observer_->RowAdded(RowCount() - 1);
        }
        Select(0);
    }
    reportSkipsBefore(paths.size());
    converter_.ClearTasks();
    return result;
}

bool JobList::RemoveSelected() {
    if (selected_ < 0 || selected_ >= RowCount()) {
        return false;
    }
    RefuseWhileConverting();
    const int removed = selected_;
    rows_.erase(rows_.begin() + removed);
    // Another row, or none, is selected now even when the index stays the same.
    selected_ = rows_.empty() ? -1 : std::min(removed, RowCount() - 1);
    if (observer_ != nullptr) {
        observer_->RowRemoved(removed);
        observer_->SelectionChanged(selected_);
    }
    return true;
}

void JobList::Clear() {
    if (rows_.empty()) {
        return;
    }
    RefuseWhileConverting();
    converter_.ClearTasks();
    rows_.clear();
    selected_ = -1;
    if (observer_ != nullptr) {
        observer_->Cleared();
    }
}

const JobRow& JobList::Row(int row) const {
    if (row < 0 || row >= RowCount()) {
        throw std::out_of_range("Job list row " + std::to_string(row) + " does not exist (" +
                                std::to_string(RowCount()) + " rows)");
    }
    return rows_[static_cast<std::size_t>(row)];
}

JobRow& JobList::At(int row) {
    return const_cast<JobRow&>(std::as_const(*this).Row(row));
}

int JobList::CheckedCount() const {
    int count = 0;
    for (const JobRow& row : rows_) {
        count += row.Checked ? 1 : 0;
    }
    return count;
}

void JobList::Select(int row) {
    const int selected = row >= 0 && row < RowCount() ? row : -1;
    if (selected == selected_) {
        return;
    }
    selected_ = selected;
    if (observer_ != nullptr) {
        observer_->SelectionChanged(selected_);
    }
}

void JobList::SetChecked(int row, bool checked) {
    At(row).Checked = checked;
    if (observer_ != nullptr) {
        observer_->RowChanged(row);
    }
}

void JobList::SetRecord(int row, JobRecord record) {
    At(row).Record = std::move(record);
    if (observer_ != nullptr) {
        observer_->RowChanged(row);
    }
}

void JobList::SetText(int row, JobColumn column, std::string text) {
    At(row).Texts[static_cast<std::size_t>(column)] = std::move(text);
    if (observer_ != nullptr) {
        observer_->RowChanged(row);
    }
}

void JobList::RefuseWhileConverting() const {
    if (converter_.Working()) {
        throw converter::ConverterBusyError("Cannot change the job list while converting.");
    }
}

}  // namespace quillo::app
