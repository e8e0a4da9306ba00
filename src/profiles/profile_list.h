#pragma once

#include <string>
#include <vector>

#include "profiles/profile_files.h"

namespace quillo::profiles {

// What a line of the profile list stands for.
struct ItemInfo {
    bool IsProfile = false;
    bool IsGroup = false;
    std::string Tag;         // free text; nothing reads it
    bool Collapsed = false;  // header lines: the group's profiles are hidden
    int Code = 0;            // header: group number; profile line: profile code
};

struct ProfileLine {
    std::string Text;
    ItemInfo Info;
};

// The two-level list of groups and profiles through which the user picks the current profile,
// without any widget: the main window and the settings editor draw it.
class ProfileList {
public:
    // Rebuilds every line from the group table and the stored collapse states, then shows the
    // stored current profile.
    void Build(const ProfileFiles& files);

    // Expands a collapsed header or collapses an expanded one; false for other lines.
    bool ToggleGroup(int index);

    // Writes every header's collapse state to "lstformat".
    void SaveState(const ProfileFiles& files) const;

    // Makes the profile on that line the stored current profile; false (and nothing stored)
    // when the line is no profile line.
    bool SelectProfile(const ProfileFiles& files, int index);

    // Shows the profile on that line in the box without storing it, as the settings editor
    // picks the profile it edits; false for other lines.
    bool PickProfile(int index);

    // Re-reads the stored name and selects the line that shows it.
    void ShowCurrent(const ProfileFiles& files);

    const std::vector<ProfileLine>& Lines() const { return lines_; }
    // The current-profile box text.
    const std::string& BoxText() const { return boxText_; }
    // The line whose text equals the box text, -1 when none does.
    int SelectedIndex() const { return selected_; }

private:
    void SelectBoxLine();
    bool IsProfileLine(int index) const;

    std::vector<ProfileLine> lines_;
    std::string boxText_;
    int selected_ = -1;
};

}  // namespace quillo::profiles
