#pragma once

// What the job-list tests share: an observer that writes down what it hears, and a settings
// folder of its own per test.

#include <filesystem>
#include <string>
#include <vector>

#include "app/global_object.h"
#include "app/job_list.h"
#include "profiles/ini_file.h"
#include "support/temp_folder.h"

namespace quillo::app::testing {

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
