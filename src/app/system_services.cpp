#include "app/system_services.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <thread>
#include <utility>

extern char** environ;

namespace quillo::app {

namespace {

// Starts the program with its arguments and returns its process id, or -1.
pid_t Spawn(const std::vector<std::string>& arguments) {
    if (arguments.empty() || arguments.front().empty()) {
        return -1;
    }
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t child = -1;
    if (posix_spawnp(&child, argv.front(), nullptr, nullptr, argv.data(), environ) != 0) {
        return -1;
    }
    return child;
}

// The child's exit status, or -1 when it did not exit normally.
int WaitFor(pid_t child) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

DesktopSystemServices::DesktopSystemServices(SystemCommands commands)
    : commands_(std::move(commands)) {}

bool DesktopSystemServices::OpenFolder(const std::filesystem::path& folder) {
    std::vector<std::string> arguments = commands_.openFolder;
    arguments.push_back(folder.string());
    const pid_t child = Spawn(arguments);
    if (child < 0) {
        return false;
    }
    // A file manager started by the opener may keep it alive for long; nobody waits for
    // it, but its exit must be collected so that it leaves no zombie behind.
    std::thread([child] { WaitFor(child); }).detach();
    return true;
}

bool DesktopSystemServices::PowerOff() {
    const pid_t child = Spawn(commands_.powerOff);
    return child >= 0 && WaitFor(child) == 0;
}

}  // namespace quillo::app
