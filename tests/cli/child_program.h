#pragma once

// A command-line program of ours run in a child process, the way a user runs it: its
// standard output and error read through pipes, its exit status.

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace quillo::testing {

inline constexpr uid_t kNobody = 65534;
inline constexpr gid_t kNogroup = 65534;

struct Outcome {
    bool exited = false;  // false when a signal ended the program
    int exitStatus = -1;
    std::string output;
    std::string errors;
};

// The program in a child process, its standard output and error read through pipes.
class Program {
public:
    Program(const std::vector<std::string>& arguments, const std::filesystem::path& program,
            std::optional<uid_t> user = std::nullopt) {
        int output[2];
        int errors[2];
        if (pipe2(output, O_CLOEXEC) != 0 || pipe2(errors, O_CLOEXEC) != 0) {
            throw std::runtime_error("cannot make pipes");
        }
        // Everything the child uses is ready before fork: it may only make plain system calls.
        const std::string path = program.string();
        std::vector<std::string> words = {path};
        words.insert(words.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& word : words) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
        pid_ = fork();
        if (pid_ < 0) {
            throw std::runtime_error("cannot fork");
        }
        if (pid_ == 0) {
            const int nothing = open("/dev/null", O_RDONLY);
            if (nothing < 0 || dup2(nothing, 0) < 0 || dup2(output[1], 1) < 0 ||
                dup2(errors[1], 2) < 0) {
                _exit(125);
            }
            if (user &&
                (setgroups(0, nullptr) != 0 || setgid(kNogroup) != 0 || setuid(*user) != 0)) {
                _exit(126);
            }
            execv(path.c_str(), argv.data());
            _exit(127);
        }
        close(output[1]);
        close(errors[1]);
        outputFd_ = output[0];
        errorsFd_ = errors[0];
    }

    ~Program() {
        CloseStreams();
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Reads until standard error holds the text; false when the stream ends first.
    bool ReadErrorsUntil(const std::string& text) {
        while (errors_.find(text) == std::string::npos) {
            if (errorsFd_ < 0) {
                return false;
            }
            ReadSome();
        }
        return true;
    }

    // Reads until standard output holds the text; false when the stream ends first.
    bool ReadOutputUntil(const std::string& text) {
        while (output_.find(text) == std::string::npos) {
            if (outputFd_ < 0) {
                return false;
            }
            ReadSome();
        }
        return true;
    }

    const std::string& Errors() const { return errors_; }

    void Signal(int number) const { kill(pid_, number); }

    // Reads both streams to their end and reaps the program.
    Outcome Wait() {
        while (outputFd_ >= 0 || errorsFd_ >= 0) {
            ReadSome();
        }
        Outcome outcome;
        int status = 0;
        if (waitpid(pid_, &status, 0) == pid_) {
            outcome.exited = WIFEXITED(status);
            outcome.exitStatus = outcome.exited ? WEXITSTATUS(status) : -1;
        }
        pid_ = -1;
        outcome.output = output_;
        outcome.errors = errors_;
        return outcome;
    }

private:
    void ReadSome() {
        pollfd fds[2] = {{outputFd_, POLLIN, 0}, {errorsFd_, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                return;
            }
            throw std::runtime_error("poll failed");
        }
        Drain(fds[0], outputFd_, output_);
        Drain(fds[1], errorsFd_, errors_);
    }

    static void Drain(const pollfd& polled, int& fd, std::string& text) {
        if (fd < 0 || (polled.revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
            return;
        }
        char buffer[4096];
        const ssize_t count = read(fd, buffer, sizeof buffer);
        if (count > 0) {
            text.append(buffer, static_cast<std::size_t>(count));
        } else if (count == 0 || errno != EINTR) {
            close(fd);
            fd = -1;
        }
    }

    void CloseStreams() {
        for (int* fd : {&outputFd_, &errorsFd_}) {
            if (*fd >= 0) {
                close(*fd);
                *fd = -1;
            }
        }
    }

    pid_t pid_ = -1;
    int outputFd_ = -1;
    int errorsFd_ = -1;
    std::string output_;
    std::string errors_;
};

}  // namespace quillo::testing
