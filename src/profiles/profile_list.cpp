#include "profiles/profile_list.h"

#include "media/value_text.h"
#include "profiles/ini_file.h"
#include "profiles/profile_catalogue.h"

namespace quillo::profiles {

namespace {

constexpr const char* ListSection = "lstformat";

std::vector<ProfileLine> GroupProfiles(int group, const std::string& tag) {
    std::vector<ProfileLine> lines;
    for (int position = 0; position < PositionSlots; ++position) {
        std::string text = ProfileText(group, position);
        if (!text.empty()) {
            lines.push_back({std::move(text), ItemInfo{.IsProfile = true,
                                                       .IsGroup = false,
                                                       .Tag = tag,
                                                       .Collapsed = false,
                                                       .Code = ProfileCode(group, position)}});
        }
    }
    return lines;
}

}  // namespace

void ProfileList::Build(const ProfileFiles& files) {
    lines_.clear();
    const IniFile settings(files.Settings);
    for (int group = 0; group < GroupCount; ++group) {
        const bool collapsed = settings.ReadBool(ListSection, std::to_string(group), true);
        lines_.push_back({GroupText(group), ItemInfo{.IsProfile = false,
                                                     .IsGroup = true,
                                                     .Tag = {},
                                                     .Collapsed = collapsed,
                                                     .Code = group}});
        if (!collapsed) {
            const auto profiles = GroupProfiles(group, {});
            lines_.insert(lines_.end(), profiles.begin(), profiles.end());
        }
    }
    ShowCurrent(files);
}

bool ProfileList::ToggleGroup(int index) {
    if (index < 0 || index >= static_cast<int>(lines_.size()) || !lines_[index].Info.IsGroup) {
        return false;
    }
    ItemInfo& header = lines_[index].Info;
    const auto next = lines_.begin() + index + 1;
    if (header.Collapsed) {
        const auto profiles = GroupProfiles(header.Code, "Apple iPod");
        lines_.insert(next, profiles.begin(), profiles.end());
        lines_[index].Info.Collapsed = false;
    } else {
        auto end = next;
        while (end != lines_.end() && end->Info.IsProfile) {
            ++end;
        }
        lines_.erase(next, end);
        header.Collapsed = true;
    }
    SelectBoxLine();
    return true;
}

void ProfileList::SaveState(const ProfileFiles& files) const {
    const IniFile settings(files.Settings);
    for (const ProfileLine& line : lines_) {
        if (line.Info.IsGroup) {
            settings.WriteBool(ListSection, std::to_string(line.Info.Code), line.Info.Collapsed);
        }
    }
}

bool ProfileList::SelectProfile(const ProfileFiles& files, int index) {
    if (!IsProfileLine(index)) {
        return false;
    }
    StoreCurrentProfile(files, lines_[index].Info.Code, lines_[index].Text);
    return PickProfile(index);
}

bool ProfileList::PickProfile(int index) {
    if (!IsProfileLine(index)) {
        return false;
    }
    boxText_ = lines_[index].Text;
    selected_ = index;
    return true;
}

bool ProfileList::IsProfileLine(int index) const {
    return index >= 0 && index < static_cast<int>(lines_.size()) && lines_[index].Info.IsProfile;
}

void ProfileList::ShowCurrent(const ProfileFiles& files) {
    boxText_ = CurrentFormatName(files);
    SelectBoxLine();
}

void ProfileList::SelectBoxLine() {
    const std::string wanted = media::Trim(boxText_);
    selected_ = -1;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].Text == wanted) {
            selected_ = static_cast<int>(i);
            return;
        }
    }
}

}  // namespace quillo::profiles
