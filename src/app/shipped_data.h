#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace quillo::app {

inline constexpr const char* CatalogueFileName = "quilloxvidformat.ini";
inline constexpr const char* SettingsFileName = "quilloxvidconverter.ini";

// The copies of data/ built into the program.
std::string_view BuiltInCatalogue();
std::string_view BuiltInSettings();

// The content of a shipped data file: "data/<name>" beside the executable, else the installed
// data folder (<prefix>/share/quillo-video-converter), else the built-in copy.
std::string ShippedDataText(const std::string& name);

}  // namespace quillo::app
