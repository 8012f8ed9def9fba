#pragma once

#include <cstdint>
#include <filesystem>

namespace twk {

class ForumEngine;

// The log of one forum and message: "log/log_<forum>_<message>.html" in the program
// directory. A scan uses message id -1, a forum not yet stored forum id -1.
std::filesystem::path LogFilePath(int32_t forumId, int32_t messageId);

// Writes the last page the engine saw (its address, then the page as text) as UTF-16
// little-endian with a byte-order mark, replacing an earlier log. Creates the log folder
// when it is missing. Returns 0, or the system error number when the file cannot be
// written; callers ignore it, a log never changes a job's result.
int WriteSubmitLog(int32_t forumId, const ForumEngine& engine, int32_t messageId);

}  // namespace twk
