#pragma once

#include <string_view>

namespace quillo::player {

// What the player reports through OnState.
enum class PlayState { psPlay, psPause, psResume, psStep, psStop, psEnd };

// "psPlay", "psPause" …
std::string_view PlayStateName(PlayState state);

}  // namespace quillo::player
