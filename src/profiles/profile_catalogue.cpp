#include "profiles/profile_catalogue.h"

#include <array>

#include "media/value_text.h"
#include "profiles/ini_file.h"
#include "profiles/settings_keys.h"

namespace quillo::profiles {

namespace {

struct Group {
    const char* header;
    std::vector<const char*> profiles;
};

const std::array<Group, GroupCount>& Groups() {
    static const std::array<Group, GroupCount> groups = {{
        {"XviD Video Format", {"XviD Video Format (*.avi)"}},
        {"3GP Video",
         {"3GPP -mpeg4 -3rd Generation Partnership Project (*.3gp)",
          "3GPP2 -mpeg4 -3rd Generation Partnership Project2 (*.3g2)",
          "Mobile Phone MPEG-4 Video(*.mp4)"}},
        {"Flash Video", {"Flash Video Format (*.flv)"}},
        {"Quick Time Video - MOV", {"MOV - Quick Time Video (*.mov)"}},
        {"General Video formates",
         {"MPEG-1 Video (*.mpg)", "MPEG-2 Video (*.mpg)", "MPEG-4 Video (*.mp4)",
          "H.264/MPEG-4 AVC Video (*.mp4)", "AVI Video (*.avi)", "WMV Video (*.wmv)",
          "Divx Video (*.avi)", "Xvid Video (*.avi)", "DV - NTSC -Digital Video Format (*.dv)",
          "DV - PAL -Digital Video Format (*.dv)"}},
        {"General Audio formates",
         {"MP3 MPEG Layer-3 Audio (*.mp3)", "AAC Advenced Audio Codec (*.aac)",
          "M4A MPEG-4 Audio (*.m4a)", "WMA - Windows Meida Audio (*.wma)",
          "WAV - Waveform Audio (*.wav)", "OGG Vorbis Audio Codec (*.ogg)",
          "AC-3 Audio Codec (*.ac3)"}},
    }};
    return groups;
}

}  // namespace

std::string GroupText(int group) {
    if (group < 0 || group >= GroupCount) {
        return {};
    }
    return Groups()[group].header;
}

std::string ProfileText(int group, int position) {
    if (group < 0 || group >= GroupCount || position < 0) {
        return {};
    }
    const auto& profiles = Groups()[group].profiles;
    return position < static_cast<int>(profiles.size()) ? profiles[position] : std::string();
}

int ProfileCode(int group, int position) {
    return group * 100 + position;
}

std::vector<int> CatalogueCodes() {
    std::vector<int> codes{DefaultFormatCode};
    for (int group = 0; group < GroupCount; ++group) {
        for (int position = 0; position < PositionSlots; ++position) {
            if (!ProfileText(group, position).empty()) {
                codes.push_back(ProfileCode(group, position));
            }
        }
    }
    return codes;
}

std::string FormatSection(int code) {
    return "formatInfo" + std::to_string(code);
}

std::vector<std::string> ReadValueList(const ProfileFiles& files, int code,
                                       const std::string& key) {
    const std::string text = IniFile(files.Catalogue).ReadString(FormatSection(code), key, "null");
    if (text == "null" || media::Trim(text).empty()) {
        return {};
    }
    return media::SplitValueList(text);
}

int CurrentFormatCode(const ProfileFiles& files) {
    return IniFile(files.Settings)
        .ReadInteger(settings::Section, settings::FormatCode, DefaultFormatCode);
}

std::string CurrentFormatName(const ProfileFiles& files) {
    return IniFile(files.Settings)
        .ReadString(settings::Section, settings::FormatName, DefaultFormatName);
}

std::string CurrentSection(const ProfileFiles& files) {
    return FormatSection(CurrentFormatCode(files));
}

std::string CurrentExtension(const ProfileFiles& files) {
    return IniFile(files.Catalogue).ReadString(CurrentSection(files), "FileExt", "mp4");
}

std::string CurrentZoom(const ProfileFiles& files) {
    return IniFile(files.Settings).ReadString(CurrentSection(files), "parazoom", "lbox");
}

void StoreCurrentProfile(const ProfileFiles& files, int code, const std::string& name) {
    const IniFile settings(files.Settings);
    settings.WriteString(settings::Section, settings::FormatName, name);
    settings.WriteInteger(settings::Section, settings::FormatCode, code);
}

}  // namespace quillo::profiles
