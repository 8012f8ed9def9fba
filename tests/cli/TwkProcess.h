#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace twk::test {

// The twk tool running as a child process, as a user would start it: standard input from
// the given text (or from a terminal of its own), standard output and error into files of
// their own.
class TwkProcess {
public:
    TwkProcess(const std::vector<std::string>& args, const std::filesystem::path& workDir,
               const std::string& input = "");
    // Standard input is a pseudo-terminal that the test types into.
    struct Terminal {};
    TwkProcess(const std::vector<std::string>& args, const std::filesystem::path& workDir,
               Terminal);
    // Kills the process if it still runs.
    ~TwkProcess();
    TwkProcess(const TwkProcess&) = delete;
    TwkProcess& operator=(const TwkProcess&) = delete;

    bool started() const { return pid_ > 0; }
    void Signal(int signal) const;
    // Waits for the exit and returns its code; -1 when the process did not start, died of
    // a signal, or was still running after limit (it is then killed, so that a hanging
    // tool fails the test instead of blocking it).
    int Wait(std::chrono::seconds limit = std::chrono::seconds(60));
    // Waits until standard error contains text; false when the process ended or limit
    // passed first.
    bool WaitForError(const std::string& text,
                      std::chrono::seconds limit = std::chrono::seconds(30)) const;

    std::string Output() const;
    std::string Error() const;

    // Types into the terminal, and reads what it showed so far (its echo).
    void Type(const std::string& text) const;
    std::string TerminalShown() const;

private:
    void Spawn(const std::vector<std::string>& args, const std::filesystem::path& workDir,
               const std::string& inputPath);

    pid_t pid_ = -1;
    int terminal_ = -1;
    std::filesystem::path out_path_;
    std::filesystem::path err_path_;
};

// Runs twk to its end.
struct TwkResult {
    int code = -1;
    std::string out;
    std::string err;
};
TwkResult RunTwk(const std::vector<std::string>& args, const std::filesystem::path& workDir,
                 const std::string& input = "");

}  // namespace twk::test
