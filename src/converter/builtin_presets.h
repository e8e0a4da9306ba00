#pragma once

// The codec presets built into the engine ("vpre" and friends look here before the file
// system). Their texts use the option names of the 2010 command-line tool; the legacy-names
// module translates them for the encoders of FFmpeg 5.1.

#include <span>
#include <string_view>

namespace quillo::converter {

// One preset: its name ("libx264-slow") and its text, lines of the form name=value
// separated by "\n".
struct OptionsPreset {
    std::string_view Name;
    std::string_view Text;
};

// Every built-in preset, in table order.
std::span<const OptionsPreset> BuiltinPresets();

// The built-in preset of that name, compared without regard to case; null when there is none.
const OptionsPreset* FindBuiltinPreset(std::string_view name);

}  // namespace quillo::converter
