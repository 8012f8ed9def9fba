#include "CliSupport.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <filesystem>
#include <iostream>

#include "engines/ScriptNames.h"
#include "platform/DataLocation.h"
#include "platform/PrivateFiles.h"
#include "platform/ProgramDirectory.h"
#include "storage/Database.h"
#include "storage/Tables.h"
#include "submit/JobEventQueue.h"
#include "submit/ResultText.h"
#include "submit/SubmitJob.h"
#include "submit/SubmitLog.h"
#include "text/StringTable.h"
#include "text/Unicode.h"

namespace twk::cli {

bool Options::Parse(const std::vector<std::string>& args, const std::set<std::string>& allowed,
                    const std::set<std::string>& switches, std::string& error,
                    size_t maxArguments) {
    bool options_ended = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (maxArguments > 0 && arg == "--" && !options_ended) {
            options_ended = true;
            continue;
        }
        if (options_ended || arg.rfind("--", 0) != 0) {
            if (arguments_.size() == maxArguments) {
                error = "unexpected argument '" + arg + "'";
                return false;
            }
            arguments_.push_back(arg);
            continue;
        }
        std::string name = arg.substr(2);
        std::optional<std::string> value;
        size_t equals = name.find('=');
        if (equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        if (switches.count(name) != 0) {
            if (value) {
                error = "option --" + name + " takes no value";
                return false;
            }
            values_[name] = "";
            continue;
        }
        if (allowed.count(name) == 0) {
            error = "unknown option --" + name;
            return false;
        }
        // "--profile --message 5" is a forgotten value, not a profile named "--message".
        if (!value && i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0) {
            value = args[++i];
        }
        if (!value) {
            error = "option --" + name + " needs a value";
            return false;
        }
        values_[name] = *value;
    }
    return true;
}

std::optional<std::string> Options::Get(const std::string& name) const {
    auto it = values_.find(name);
    if (it == values_.end()) {
        return std::nullopt;
    }
    return it->second;
}

int UsageError(const std::string& command, const std::string& error, const std::string& usage) {
    std::cerr << "twk " << command << ": " << error << "\n" << usage;
    return kExitUsage;
}

std::string UnknownScriptError(const std::string& script) {
    return "unknown script '" + script + "' (" + Narrow(KnownScriptsText()) + ", in that spelling)";
}

std::string ShellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

DataLocation DefaultDataLocation() {
    return FindDataLocation(ExecutableDirectory());
}

bool OpenDatabaseOption(const Options& options, const std::string& command) {
    std::filesystem::path path;
    std::error_code error;
    if (options.Get("db")) {
        path = *options.Get("db");
        if (!std::filesystem::exists(path, error)) {
            std::cerr << "twk " << command << ": no database at " << path.string()
                      << " (create one with 'twk init-db PATH')\n";
            return false;
        }
    } else {
        const DataLocation location = DefaultDataLocation();
        path = location.database;
        const bool existed = std::filesystem::exists(path, error);
        std::wstring reason;
        if (!EnsureUserDatabase(location, reason)) {
            std::cerr << "twk " << command << ": " << Narrow(reason) << "\n";
            return false;
        }
        if (!existed && std::filesystem::exists(path, error)) {
            std::cerr << "twk " << command << ": created a new database at " << path.string()
                      << "\n";
        }
    }
    // OpenDatabase tells the user itself ("Invalid database file ...").
    if (!OpenDatabase(path)) {
        return false;
    }
    // Forum passwords are stored in it in the clear.
    if (OthersCanRead(path)) {
        std::cerr << "twk: warning: other users can read " << path.string()
                  << ", which holds forum passwords; make it private with: chmod 600 "
                  << ShellQuoted(path.string()) << "\n";
    }
    std::filesystem::path directory = std::filesystem::absolute(path, error).parent_path();
    if (!error) {
        SetProgramDirectory(directory);
    }
    return true;
}

int32_t FindProfile(const std::string& name, const std::string& command) {
    ProfileList profiles;
    ListProfiles(profiles);
    std::wstring wanted = Wide(name);
    for (const ProfileRecord& profile : profiles) {
        if (profile.name == wanted) {
            return profile.profile_id;
        }
    }
    std::cerr << "twk " << command << ": no profile named '" << name << "'";
    if (profiles.empty()) {
        std::cerr << " (the database has no profiles)\n";
        return -1;
    }
    std::cerr << "; profiles:";
    for (const ProfileRecord& profile : profiles) {
        std::cerr << " '" << Narrow(profile.name) << "'";
    }
    std::cerr << "\n";
    return -1;
}

int32_t OpenProfileOption(const Options& options, const std::string& command) {
    if (!OpenDatabaseOption(options, command)) {
        return -1;
    }
    return FindProfile(options.Get("profile").value_or(""), command);
}

bool FindMessage(const std::string& id, int32_t profileId, MessageRecord& message,
                 const std::string& command) {
    int32_t message_id = -1;
    auto [end, status] = std::from_chars(id.data(), id.data() + id.size(), message_id);
    if (status != std::errc() || end != id.data() + id.size() || message_id < 0) {
        std::cerr << "twk " << command << ": --message needs a message id (a number), not '" << id
                  << "'\n";
        return false;
    }
    if (LoadMessage(message, message_id) != 1 || message.profile_id != profileId) {
        std::cerr << "twk " << command << ": the profile has no message " << message_id;
        MessageList messages;
        messages.LoadForProfile(profileId);
        if (!messages.empty()) {
            std::cerr << "; its messages:";
            for (const MessageRecord& listed : messages) {
                std::cerr << "\n  " << listed.message_id << "  " << Narrow(listed.subject);
            }
        }
        std::cerr << "\n";
        return false;
    }
    return true;
}

namespace {

// The terminal settings to put back when the user interrupts the password prompt: a
// shell left without echo would look broken.
termios g_saved_terminal{};

void RestoreTerminalAndDie(int number) {
    tcsetattr(STDIN_FILENO, TCSANOW, &g_saved_terminal);
    signal(number, SIG_DFL);
    raise(number);
}

// Prints the status texts of a running scan until its result arrives, and returns it.
int ShowScanSteps(JobEventQueue& queue) {
    for (;;) {
        std::optional<JobEvent> event = queue.Wait(std::chrono::seconds(1));
        if (!event) {
            continue;
        }
        if (event->kind != JobEvent::kStatus) {
            return event->value;
        }
        std::cerr << Narrow(LoadText(event->value)) << "\n";
    }
}

}  // namespace

std::wstring ReadPassword(const std::string& prompt) {
    std::string line;
    termios saved{};
    if (isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved) == 0) {
        g_saved_terminal = saved;
        struct sigaction restore {};
        restore.sa_handler = RestoreTerminalAndDie;
        sigemptyset(&restore.sa_mask);
        struct sigaction previous_int {};
        struct sigaction previous_term {};
        sigaction(SIGINT, &restore, &previous_int);
        sigaction(SIGTERM, &restore, &previous_term);
        // Echo goes off before the prompt shows, so nothing typed after it is echoed.
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
        std::cerr << prompt << std::flush;
        std::getline(std::cin, line);
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);
        sigaction(SIGINT, &previous_int, nullptr);
        sigaction(SIGTERM, &previous_term, nullptr);
        std::cerr << "\n";
    } else {
        std::getline(std::cin, line);
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return Wide(line);
}

int RunForumScan(SubmitJob& job, const ConnectionOptions& connection, bool noPauses,
                 const std::string& command) {
    NoPauseSleeper no_pauses;
    JobEventQueue queue;
    PrepareJob(job, &queue, 0, connection);
    if (noPauses) {
        job.sleeper = &no_pauses;
    }
    const bool started = StartJob(job, RunScan);
    if (!started) {
        std::cerr << "twk " << command << ": cannot start a worker thread\n";
    }
    const int code = started ? ShowScanSteps(queue) : kUnknownError;
    WaitForJob(job);
    // The queue and the sleeper go away with this call.
    job.sink = nullptr;
    job.sleeper = nullptr;
    if (started && job.log_error != 0) {
        std::cerr << "twk " << command << ": "
                  << Narrow(LogFailureText(job.forum_copy.forum_id, -1, job.log_error)) << "\n";
    }
    if (started && code != kOk) {
        std::cerr << "twk " << command << ": "
                  << Narrow(ResultText(code, job.failure_text, job.forum_copy.engine)) << "\n";
    }
    return code;
}

std::string ForumLineName(const ForumRecord& forum) {
    std::string name = Narrow(forum.title.empty() ? forum.main_url : forum.title);
    if (!forum.forum_title.empty()) {
        name += " / " + Narrow(forum.forum_title);
    }
    return name;
}

std::wstring Wide(const std::string& utf8) {
    return Utf8ToWide(utf8);
}

std::string Narrow(const std::wstring& text) {
    return WideToUtf8(text);
}

}  // namespace twk::cli
