#pragma once

namespace twk {

// The outcome of every engine step, job and scan. Stored in [submit].[result], so the
// numbering is part of the stored data.
enum ResultCode : int {
    kPending = -1,
    kOk = 0,
    kUnknownError = 1,
    kConnectionError = 2,
    kStopped = 3,
    kPageError = 4,
    kCharsetError = 5,
    kNotScript = 6,
    kInvalidLogin = 7,
    kNewTopicNotAllowed = 8,
    kCheckResult = 9,
    kNoMessageForm = 10,
    kServerError = 11,
};

}  // namespace twk
