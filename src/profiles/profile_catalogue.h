#pragma once

#include <string>
#include <vector>

#include "profiles/profile_files.h"

namespace quillo::profiles {

inline constexpr int GroupCount = 6;
// Slots per group in the text table; a group uses fewer.
inline constexpr int PositionSlots = 51;

// Shown in the current-profile box before the user ever picks a profile (code 1).
inline constexpr const char* DefaultFormatName = "Apple iPod Video MPEG-4 Movie (*.mp4)";
inline constexpr int DefaultFormatCode = 1;

// Header text of a group 0..5, empty for others.
std::string GroupText(int group);

// Display name of the profile at a position of a group, empty for an unused slot.
std::string ProfileText(int group, int position);

// group * 100 + position.
int ProfileCode(int group, int position);

// Every code of the list (group order, then position order), and code 1 first.
std::vector<int> CatalogueCodes();

// "formatInfo" + code; the same in both files.
std::string FormatSection(int code);

// The list of a catalogue key split into its entries; empty for "null" or a missing key.
std::vector<std::string> ReadValueList(const ProfileFiles& files, int code, const std::string& key);

// The current profile as the settings file holds it.
int CurrentFormatCode(const ProfileFiles& files);
std::string CurrentFormatName(const ProfileFiles& files);
std::string CurrentSection(const ProfileFiles& files);
// Output file extension without dot, default "mp4".
std::string CurrentExtension(const ProfileFiles& files);
// Zoom keyword of the current profile, default "lbox".
std::string CurrentZoom(const ProfileFiles& files);

// Stores the profile as the current one ("FormatName" and "FormatCode").
void StoreCurrentProfile(const ProfileFiles& files, int code, const std::string& name);

}  // namespace quillo::profiles
