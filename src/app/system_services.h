#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace quillo::app {

// What the application asks of the desktop and the system: showing a folder in the file
// manager and switching the computer off. The core calls only this interface, so that tests
// can record the requests instead of carrying them out, and the GUI may supply its own.
class SystemServices {
public:
    virtual ~SystemServices() = default;

    // Shows the folder in the file manager without waiting for it. False when the request
    // could not be made.
    virtual bool OpenFolder(const std::filesystem::path& folder) = 0;

    // Asks the system to power the computer off. False when the request was refused.
    virtual bool PowerOff() = 0;
};

// The programs that carry the requests out; each is a program name (looked up in PATH) and
// its arguments, run without a shell.
struct SystemCommands {
    std::vector<std::string> openFolder = {"xdg-open"};  // the folder is appended
    std::vector<std::string> powerOff = {"systemctl", "poweroff"};
};

// SystemServices through external programs: OpenFolder starts the open command and leaves it
// running (its exit is collected in the background); PowerOff runs the power-off command and
// waits for its answer.
class DesktopSystemServices final : public SystemServices {
public:
    explicit DesktopSystemServices(SystemCommands commands = {});

    bool OpenFolder(const std::filesystem::path& folder) override;
    bool PowerOff() override;

private:
    SystemCommands commands_;
};

}  // namespace quillo::app
