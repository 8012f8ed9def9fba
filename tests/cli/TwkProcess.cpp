#include "TwkProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <thread>

extern char** environ;

namespace twk::test {
namespace {

std::string ReadWhole(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::atomic<int> g_counter{0};

}  // namespace

TwkProcess::TwkProcess(const std::vector<std::string>& args, const std::filesystem::path& workDir,
                       const std::string& input) {
    std::filesystem::path in_path = workDir / ("twk-in-" + std::to_string(++g_counter) + ".txt");
    std::ofstream(in_path, std::ios::binary) << input;
    Spawn(args, workDir, in_path.string());
}

TwkProcess::TwkProcess(const std::vector<std::string>& args, const std::filesystem::path& workDir,
                       Terminal) {
    terminal_ = posix_openpt(O_RDWR | O_NOCTTY);
    char name[128];
    if (terminal_ < 0 || grantpt(terminal_) != 0 || unlockpt(terminal_) != 0 ||
        ptsname_r(terminal_, name, sizeof name) != 0) {
        return;
    }
    Spawn(args, workDir, name);
}

void TwkProcess::Spawn(const std::vector<std::string>& args, const std::filesystem::path& workDir,
                       const std::string& inputPath) {
    std::string tag = std::to_string(++g_counter);
    out_path_ = workDir / ("twk-out-" + tag + ".txt");
    err_path_ = workDir / ("twk-err-" + tag + ".txt");

    std::vector<std::string> words{TWK_CLI_PATH};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, inputPath.c_str(), O_RDWR | O_NOCTTY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, err_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    if (terminal_ >= 0) {
        posix_spawn_file_actions_addclose(&actions, terminal_);
    }
    pid_t pid = 0;
    if (posix_spawn(&pid, TWK_CLI_PATH, &actions, nullptr, argv.data(), environ) == 0) {
        pid_ = pid;
    }
    posix_spawn_file_actions_destroy(&actions);
}

TwkProcess::~TwkProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (terminal_ >= 0) {
        close(terminal_);
    }
}

void TwkProcess::Type(const std::string& text) const {
    if (terminal_ >= 0) {
        ssize_t written = write(terminal_, text.data(), text.size());
        static_cast<void>(written);
    }
}

std::string TwkProcess::TerminalShown() const {
    std::string shown;
    if (terminal_ < 0) {
        return shown;
    }
    pollfd ready{terminal_, POLLIN, 0};
    char buffer[256];
    while (poll(&ready, 1, 0) > 0 && (ready.revents & POLLIN) != 0) {
        ssize_t got = read(terminal_, buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        shown.append(buffer, static_cast<size_t>(got));
    }
    return shown;
}

void TwkProcess::Signal(int signal) const {
    if (pid_ > 0) {
        kill(pid_, signal);
    }
}

int TwkProcess::Wait(std::chrono::seconds limit) {
    if (pid_ <= 0) {
        return -1;
    }
    auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    for (;;) {
        pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            break;
        }
        if (done < 0) {
            pid_ = -1;
            return -1;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool TwkProcess::WaitForError(const std::string& text, std::chrono::seconds limit) const {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (Error().find(text) != std::string::npos) {
            return true;
        }
        // Ended (looked at without reaping it): what it wrote is all there will be.
        siginfo_t info{};
        if (pid_ <= 0 ||
            waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) != 0 ||
            info.si_pid != 0) {
            return Error().find(text) != std::string::npos;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

std::string TwkProcess::Output() const {
    return ReadWhole(out_path_);
}

std::string TwkProcess::Error() const {
    return ReadWhole(err_path_);
}

TwkResult RunTwk(const std::vector<std::string>& args, const std::filesystem::path& workDir,
                 const std::string& input) {
    TwkProcess process(args, workDir, input);
    TwkResult result;
    result.code = process.Wait();
    result.out = process.Output();
    result.err = process.Error();
    return result;
}

}  // namespace twk::test
