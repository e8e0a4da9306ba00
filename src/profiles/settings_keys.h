#pragma once

// The keys of the program settings file's "settings" section and the values read when a key
// is missing, so that every window and the naming rule agree on one file layout.

namespace quillo::profiles::settings {

inline constexpr const char* Section = "settings";

inline constexpr const char* OutputFolder = "OutPutDir";        // default: DefaultOutputFolder()
inline constexpr const char* SnapshotFolder = "SnapOutPutDir";  // default: the same folder
inline constexpr const char* FormatCode = "FormatCode";
inline constexpr const char* FormatName = "FormatName";

inline constexpr const char* Volume = "volume";  // 0..128
inline constexpr int VolumeDefault = 0;
inline constexpr const char* Mute = "mute";  // 0 or 1
inline constexpr int MuteDefault = 0;
inline constexpr const char* Priority = "priority";  // 0..3, conversion thread priority
inline constexpr int PriorityDefault = 1;

inline constexpr const char* SnapFullSize = "snapFullSize";
inline constexpr const char* SnapSmallSize = "snapSmallSize";
inline constexpr const char* SnapBmp = "snapBmp";
inline constexpr const char* SnapJpg = "snapJpg";
inline constexpr int SnapDefault = 1;                 // each of the four above
inline constexpr const char* JpegQuality = "jpgCmp";  // 1..100
inline constexpr int JpegQualityDefault = 30;

}  // namespace quillo::profiles::settings
