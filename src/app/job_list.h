#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "app/job_record.h"
#include "profiles/profile_files.h"
#include "profiles/prompter.h"

namespace quillo::converter {
class Converter;
}

namespace quillo::app {

// The columns of the job list, in display order.
enum class JobColumn { Source, Length, TrimmedLength, Destination, Progress };
inline constexpr std::size_t JobColumnCount = 5;

struct JobColumnInfo {
    const char* Caption;
    int Width;  // pixels
};

// "Source", "Length", "Trimmed Length", "Destination File", "Progress" with their widths.
const std::array<JobColumnInfo, JobColumnCount>& JobColumns();

// One row: the five column texts, the check box and the job's record.
struct JobRow {
    std::array<std::string, JobColumnCount> Texts;
    bool Checked = true;
    JobRecord Record;

    const std::string& Text(JobColumn column) const {
        return Texts[static_cast<std::size_t>(column)];
    }
    // The source path, as the row shows it.
    const std::string& Caption() const { return Text(JobColumn::Source); }
};

// Told about every change of a job list, on the thread that made it (the main thread).
// Each call comes after the change; rows are indices at that moment.
class JobListObserver {
public:
    virtual ~JobListObserver() = default;

    virtual void RowAdded(int /*row*/) {}
    virtual void RowRemoved(int /*row*/) {}
    // A cell text, the check box or the record changed.
    virtual void RowChanged(int /*row*/) {}
    // Every row is gone and none is selected; no SelectionChanged follows.
    virtual void Cleared() {}
    // The selected row is now row (-1: none).
    virtual void SelectionChanged(int /*row*/) {}
};

// Why a path given to AddFiles got no row.
enum class SkipReason { Folder, Duplicate, Unreadable };

struct SkippedFile {
    std::filesystem::path Path;
    SkipReason Reason;
};

struct AddFilesResult {
    bool LibrariesLoaded = false;  // false: nothing else was done
    std::string LibraryError;      // the loader's reason when they could not be loaded
    int Added = 0;
    std::vector<SkippedFile> Skipped;  // in the order given; the job list shows no message
};

// The media library folder of the converter: "medialibs" beside the executable.
std::filesystem::path DefaultMediaLibraryFolder();

// The table of source files of a batch, without any window: the rows and their texts, check
// boxes and records, the selected row, and the commands Add, Remove and Clear. Used on the
// main thread. While the converter works (a batch runs) the rows cannot be added, removed or
// cleared: those raise converter::ConverterBusyError.
class JobList {
public:
    // The converter and the prompter must outlive the list. The prompter only hears of an
    // output folder that cannot be created.
    JobList(converter::Converter& converter, profiles::ProfileFiles files,
            profiles::Prompter& prompter,
            std::filesystem::path libraryFolder = DefaultMediaLibraryFolder());

    // Loads the converter's libraries from the library folder; false with the reason in
    // error. AddFiles calls it first; a front end may call it before it shows a file dialog.
    bool LoadMediaLibraries(std::string* error = nullptr);

    // Adds a row for every path in the order given, leaving out folders, paths a row already
    // has (case-sensitive) and files the converter cannot open. Each row gets the current
    // profile's output name and zoom mode and the probed duration in whole seconds, and is
    // checked; row 0 is selected afterwards. The files are probed on a few worker threads at
    // once; the main thread keeps running queued main-thread calls meanwhile. Raises the
    // naming rule's MediaError when not even the default output folder can be made.
    AddFilesResult AddFiles(const std::vector<std::filesystem::path>& paths);

    // Removes the selected row and selects the row now in its place, or the new last row.
    // False when no row is selected.
    bool RemoveSelected();
    // Removes every row and empties the converter's task list; nothing on an empty list.
    void Clear();

    int RowCount() const { return static_cast<int>(rows_.size()); }
    bool Empty() const { return rows_.empty(); }
    // Throws std::out_of_range for a row that does not exist, as do the setters below.
    const JobRow& Row(int row) const;
    const JobRecord& Record(int row) const { return Row(row).Record; }
    int CheckedCount() const;

    int Selected() const { return selected_; }
    // -1, or a row that does not exist, clears the selection.
    void Select(int row);

    void SetChecked(int row, bool checked);
    // The editing windows' "Ok": the row's new record.
    void SetRecord(int row, JobRecord record);
    // The trim window's "Trimmed Length", the batch's "Progress".
    void SetText(int row, JobColumn column, std::string text);

    // One observer at a time; nullptr detaches it. It must outlive the list or be detached.
    void SetObserver(JobListObserver* observer) { observer_ = observer; }

private:
    JobRow& At(int row);
    void RefuseWhileConverting() const;

    converter::Converter& converter_;
    profiles::ProfileFiles files_;
    profiles::Prompter& prompter_;
    std::filesystem::path libraryFolder_;
    std::vector<JobRow> rows_;
    int selected_ = -1;
    JobListObserver* observer_ = nullptr;
};

}  // namespace quillo::app
