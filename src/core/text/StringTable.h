#pragma once

#include <boost/format.hpp>
#include <locale>
#include <string>

namespace twk {

// Ids of the user-visible texts.
enum StringId : int {
    kIdsAboutBox = 101,
    kIdsTabMessage = 102,
    kIdsTabSubmit = 103,
    kIdsColumnForum = 104,
    kIdsColumnSection = 105,
    kIdsColumnResult = 106,
    kIdsColumnUsername = 107,
    kIdsProfileExists = 108,
    kIdsError = 109,
    kIdsColumnSubmitDate = 110,
    kIdsDeleteMessage = 111,
    kIdsDeleteProfile = 112,
    kIdsWarning = 113,
    kIdsSendingLogin = 114,
    kIdsEmptySubject = 115,
    kIdsOpeningForum = 116,
    kIdsSendingMessage = 117,
    kIdsColumnTopicUrl = 118,
    kIdsInvalidDatabase = 119,
    kIdsReadingForumList = 120,
    kIdsDeleteForums = 123,
    kIdsNoProfileName = 124,
    kIdsThreadCount = 126,
    kIdsOptionsForProfile = 127,
    kIdsProxyAddress = 128,
    kIdsProxyPort = 129,
    kIdsProxyLogin = 130,
    kIdsProxyPassword = 131,
    kIdsConnection = 132,
    kIdsConnectionAuto = 133,
    kIdsConnectionDirect = 134,
    kIdsConnectionProxy = 135,
    kIdsDatabaseSaved = 136,
    kIdsCopyError = 137,
    kIdsBlankCaption = 138,
    kIdsMoveError = 139,
    kIdsDeleteError = 140,
    kIdsItemsFound = 141,
    kIdsNoSection = 142,
    kIdsInvalidMainUrl = 143,
    kIdsLoginMandatory = 144,
    kIdsPasswordMandatory = 145,
    kIdsProfileNotCreated = 146,
    // Texts of the engines' own failures and steps.
    kIdsWaitingFloodLimit = 150,
    kIdsSubjectTooLong = 151,
    kIdsMessageTooLong = 152,
    kIdsAnswerLostAfterSending = 153,
    kIdsForumBusy = 154,
    // A post that went out in a run that ended before its result was stored.
    kIdsInterruptedPost = 155,
    kIdsStoppedAfterSending = 156,
    kIdsLookingForPost = 157,
    kIdsSendingNotRecorded = 158,
    kIdsSectionNotReadable = 159,
    // Texts of the boards that answer in JSON.
    kIdsSubjectTooShort = 160,
    kIdsMessageTooShort = 161,
    kIdsSignInNotKept = 162,
    kIdsCategoryNotFound = 163,
    kIdsNoRightToStartTopics = 164,
    kIdsTopicNotReadBack = 165,
    // Texts of the Discourse engine.
    kIdsSecondFactorNeeded = 172,
    kIdsSingleSignOnOnly = 173,
    kIdsPasswordExpired = 174,
    kIdsNoSuchCategory = 175,
    kIdsCategoryClosed = 176,
    kIdsHeldForModerator = 177,
    kIdsTopicNotShown = 178,
    // Updating topics and reading replies.
    kIdsUpdatingTopic = 180,
    kIdsReadingReplies = 181,
    kIdsWaitingForAccount = 182,
    kIdsUpdateInterrupted = 183,
    kIdsUpdateNotRecorded = 184,
    kIdsOldSubjectStillShown = 185,
    kIdsTopicAnswered = 186,
    kIdsCannotEditTopics = 187,
    kIdsCannotReadReplies = 188,
    kIdsTopicHiddenFromAccount = 179,
    kIdsRunSummary = 170,
    kIdsColumnReplies = 171,
    // Editing and reply reading of the boards driven through their pages.
    kIdsNoEditLink = 190,
    kIdsAnsweredOldSubject = 191,
    kIdsNoPostsShown = 192,
    // Editing topics and reading replies on the boards that answer in JSON.
    kIdsNotOwnFirstPost = 230,
    kIdsEditAnswerLost = 231,
    kIdsEditNotReadBack = 232,
    kIdsNoTopicInAddress = 233,
    // Editing a topic on IPBoard and vBulletin.
    kIdsEditFormNoSubject = 210,
    kIdsEditNotOwnPost = 211,
    kIdsEditLinkMissing = 212,
};

// The string with that id from the string table; empty when there is none.
std::wstring LoadText(int id);

namespace detail {
inline void FeedFormat(boost::wformat&) {}
template <typename First, typename... Rest>
void FeedFormat(boost::wformat& format, const First& first, const Rest&... rest) {
    format % first;
    FeedFormat(format, rest...);
}
}  // namespace detail

// Fills "%1%", "%2%" of a text with the arguments in order. Arguments are wide strings
// or integers. A malformed text or a wrong argument count gives the text unfilled
// rather than an exception: a message must never bring the program down.
// Integers are written in plain decimal whatever the global locale says.
template <typename... Args>
std::wstring FormatText(const std::wstring& text, const Args&... args) {
    try {
        boost::wformat format(text, std::locale::classic());
        detail::FeedFormat(format, args...);
        return format.str();
    } catch (const boost::io::format_error&) {
        return text;
    }
}

// LoadText(id) filled with the arguments.
template <typename... Args>
std::wstring LoadFormatted(int id, const Args&... args) {
    return FormatText(LoadText(id), args...);
}

}  // namespace twk
