// Plays a file without a window and prints what the player did: a developer's and benchmark
// driver for the preview player. Sound goes to SDL's audio driver as the environment chooses
// it (SDL_AUDIODRIVER=dummy plays silence at the real pace).

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "media/file_contents.h"
#include "media/logger.h"
#include "media/main_thread.h"
#include "player/player.h"

namespace {

constexpr const char* Usage =
    "usage: quillo-play [--seconds N] [--seek SECONDS] [--pause-at SECONDS] FILE\n"
    "Plays FILE without a window for N seconds (default: to its end) and prints the\n"
    "pictures shown and dropped, the last position and state, and the wall time.\n";

struct PlayArguments {
    std::optional<double> seconds;
    std::optional<double> seek;
    std::optional<double> pauseAt;
    std::string file;
};

// Counts the pictures the player presents, as a window would show them.
class CountingSurface : public quillo::player::VideoSurface {
public:
    void ClientSize(int& width, int& height) const override {
        width = 0;
        height = 0;
    }
    void Present(const quillo::player::DisplayFrame&) override { ++presented_; }
    int Presented() const { return presented_.load(); }

private:
    std::atomic<int> presented_{0};
};

bool ParseSeconds(const char* text, std::optional<double>& value) {
    char* end = nullptr;
    const double parsed = std::strtod(text, &end);
    if (end == text || *end != '\0' || !(parsed >= 0.0)) {
        return false;
    }
    value = parsed;
    return true;
}

std::optional<PlayArguments> ParseArguments(int argc, char** argv) {
    PlayArguments arguments;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        std::optional<double>* target = nullptr;
        if (option == "--seconds") {
            target = &arguments.seconds;
        } else if (option == "--seek") {
            target = &arguments.seek;
        } else if (option == "--pause-at") {
            target = &arguments.pauseAt;
        } else if (!option.empty() && option[0] == '-' && option != "-") {
            std::fprintf(stderr, "quillo-play: unknown option %s\n", option.c_str());
            return std::nullopt;
        } else if (arguments.file.empty()) {
            arguments.file = option;
            continue;
        } else {
            std::fprintf(stderr, "quillo-play: only one file is played\n");
            return std::nullopt;
        }
        if (i + 1 >= argc || !ParseSeconds(argv[i + 1], *target)) {
            std::fprintf(stderr, "quillo-play: %s needs a number of seconds\n", option.c_str());
            return std::nullopt;
        }
        ++i;
    }
    if (arguments.file.empty()) {
        std::fputs(Usage, stderr);
        return std::nullopt;
    }
    return arguments;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(Usage, stdout);
            return 0;
        }
    }
    const std::optional<PlayArguments> arguments = ParseArguments(argc, argv);
    if (!arguments) {
        return 2;
    }

    using quillo::player::PlayState;
    // Errors while playing are shown as they happen; a refused file is reported once below.
    std::atomic<bool> opened{false};
    quillo::media::LoggerInstance().SetOnLog([&opened](const quillo::media::MediaComponent*,
                                                       std::uint32_t, quillo::media::LogLevel level,
                                                       const std::string& message) {
        if (opened && level <= quillo::media::LogLevel::llError) {
            std::fprintf(stderr, "%s\n", message.c_str());
        }
    });

    const auto started = std::chrono::steady_clock::now();
    CountingSurface surface;
    quillo::player::Player player;
    if (!player.LoadMediaLibraries(quillo::media::ExecutableFolder() / "medialibs")) {
        std::fprintf(stderr, "%s\n", player.LastErrorMessage().c_str());
        return 1;
    }
    std::int64_t lastPosition = -1;
    std::optional<PlayState> lastState;
    bool ended = false;
    player.SetOnPosition([&](quillo::player::PlayerBase& sender, std::int64_t position) {
        lastPosition = position;
        if (arguments->pauseAt && position >= std::llround(*arguments->pauseAt * 1e6) &&
            !sender.Paused()) {
            sender.Pause();
        }
    });
    player.SetOnState([&](quillo::player::PlayerBase&, PlayState state) {
        lastState = state;
        ended = ended || state == PlayState::psEnd;
    });
    if (!player.Open(arguments->file, &surface)) {
        std::fprintf(stderr, "quillo-play: %s\n", player.LastErrorMessage().c_str());
        return 1;
    }
    opened = true;
    if (arguments->seek) {
        player.Seek(0, true, std::llround(*arguments->seek * 1e6));
    }
    const auto limit = arguments->seconds
                           ? std::chrono::milliseconds(std::llround(*arguments->seconds * 1000.0))
                           : std::chrono::hours(24 * 365);
    quillo::media::PumpMessagesFor(std::chrono::duration_cast<std::chrono::milliseconds>(limit),
                                   [&] { return ended; });
    // The figures are those of the playback, before stopping adds its own state.
    const int shown = surface.Presented();
    const int dropped = player.PicturesDropped();
    const std::int64_t position = lastPosition;
    const std::optional<PlayState> state = lastState;
    player.Stop(true);
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    std::printf("frames shown %d\n", shown);
    std::printf("frames dropped %d\n", dropped);
    std::printf("position %.3f\n", position >= 0 ? static_cast<double>(position) / 1e6 : -1.0);
    std::printf("state %s\n",
                state ? std::string(quillo::player::PlayStateName(*state)).c_str() : "none");
    std::printf("wall %.3f\n", wall);
    return 0;
}
