#pragma once

// What the job-list and batch tests share: a recording stand-in for the system services,
// observers that write down what they hear, and a settings folder of its own per test.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/batch_controller.h"
#include "app/global_object.h"
#include "app/job_list.h"
#include "app/system_services.h"
#include "profiles/ini_file.h"
#include "support/temp_folder.h"

namespace quillo::app::testing {

// Records the requests; nothing is opened and nothing is switched off.
class RecordingSystemServices : public SystemServices {
public:
    bool OpenFolder(const std::filesystem::path& folder) override {
        openedFolders.push_back(folder);
        return true;
    }
    bool PowerOff() override {
        ++powerOffs;
        return true;
    }

    std::vector<std::filesystem::path> openedFolders;
    int powerOffs = 0;
};

// Every change of a job list as a line of text: "added 0", "removed 2", "changed 1",
// "cleared", "selected 0".
class JobListLog : public JobListObserver {
public:
    void RowAdded(int row) override { lines.push_back("added " + std::to_string(row)); }
    void RowRemoved(int row) override { lines.push_back("removed " + std::to_string(row)); }
    void RowChanged(int row) override { lines.push_back("changed " + std::to_string(row)); }
    void Cleared() override { lines.push_back("cleared"); }
    void SelectionChanged(int row) override { lines.push_back("selected " + std::to_string(row)); }

    std::vector<std::string> lines;
};

struct ProgressRecord {
    int task;
    int row;
    ProgressFields fields;
    std::optional<int> percent;
};

struct JobEndRecord {
    int task;
    int row;
    bool finished;
    std::string error;
};

class BatchLog : public BatchObserver {
public:
    void BatchStarted(int tasks) override { started.push_back(tasks); }
    void ProgressChanged(int task, int row, const ProgressFields& fields,
                         std::optional<int> percent) override {
        progress.push_back({task, row, fields, percent});
        if (whenProgress) {
            whenProgress(progress.back());
        }
    }
    void ButtonsChanged(const BatchButtons& state) override { buttons.push_back(state); }
    void JobEnded(int task, int row, bool finished, const std::string& error) override {
        ended.push_back({task, row, finished, error});
    }
    void BatchEnded(const BatchSummary& result) override { summary = result; }

    std::vector<int> started;
    std::vector<ProgressRecord> progress;
    std::vector<BatchButtons> buttons;
    std::vector<JobEndRecord> ended;
    std::optional<BatchSummary> summary;
    std::function<void(const ProgressRecord&)> whenProgress;
};

// A config folder with the shipped files and an output folder inside a fresh temporary
// folder.
class SettingsFolder {
public:
    SettingsFolder() : global_(temp_ / "config") {
        global_.PrepareConfigFolder();
        Settings().WriteString("settings", "OutPutDir", OutputFolder().string());
    }

    const profiles::ProfileFiles Files() const { return global_.Files(); }
    profiles::IniFile Settings() const { return profiles::IniFile(global_.SettingsFile()); }
    std::filesystem::path OutputFolder() const { return temp_ / "out"; }
    std::filesystem::path operator/(const std::string& name) const { return temp_ / name; }

private:
    quillo::testing::TempFolder temp_;
    GlobalObject global_;
};

}  // namespace quillo::app::testing
