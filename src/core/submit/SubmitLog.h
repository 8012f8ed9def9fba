#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace twk {

class ForumEngine;

// The log of one forum and message: "log/log_<forum>_<message>.html" in the program
// directory. A scan uses message id -1, a forum not yet stored forum id -1.
std::filesystem::path LogFilePath(int32_t forumId, int32_t messageId);

// Writes the last page the engine saw (its address, then the page as text) as UTF-16
// little-endian with a byte-order mark, replacing an earlier log. Creates the log folder
// (0700) when it is missing; the file is 0600. Returns 0, or the system error number when
// the file cannot be written; a log never changes a job's result, but its failure is
// told to the user (LogFailureText).
int WriteSubmitLog(int32_t forumId, const ForumEngine& engine, int32_t messageId);

// "The log PATH could not be written: REASON", for an error number of WriteSubmitLog.
std::wstring LogFailureText(int32_t forumId, int32_t messageId, int error);

}  // namespace twk
