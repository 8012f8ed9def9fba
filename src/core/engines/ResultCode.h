#pragma once

namespace twk {

// The outcome of every engine step, job and scan. Stored in [submit].[result], so the
// numbering is part of the stored data.
enum ResultCode : int {
    // Never stored: the topic's page asks for a sign-in (ReadReplies before SignIn).
    kSignInNeeded = -2,
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
    // The topic is not there any more: the board says so, or its address answers 404/410.
    kTopicGone = 12,
    // The board does not take an edit of the topic: its time limit passed, the post is not
    // the account's own, the topic is locked.
    kEditRefused = 13,
};

}  // namespace twk
