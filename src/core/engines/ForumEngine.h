#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engines/ResultCode.h"
#include "engines/Sleeper.h"
#include "web/WebClient.h"

namespace twk {

// One forum section found by ReadSections.
struct SectionRecord {
    std::wstring key;    // absolute URL of the section link; stored in [forum_key]
    std::wstring title;  // link text (or page title); stored in [forum_title]
    std::wstring url;    // the URL to open; the same as key
};
using SectionList = std::vector<SectionRecord>;

// A topic listed in a section, newest first where the board sorts that way.
struct TopicEntry {
    std::wstring url;
    std::wstring title;
    // Where the board shows them: who started the topic, and when (seconds since the
    // epoch; 0 when not shown).
    std::wstring author = {};
    int64_t started = 0;
};
using TopicList = std::vector<TopicEntry>;

// What a topic shows of its replies (ReadReplies).
struct ReplyInfo {
    // Posts after the first one.
    int replies = 0;
    // The newest reply's author and time (seconds since the epoch) where the board shows
    // them; empty and 0 otherwise, and for a topic without replies.
    std::wstring newest_author = {};
    int64_t newest_time = 0;
    // The page that shows the newest reply (the topic's last page), without a session id;
    // the topic's address when the board has one page.
    std::wstring newest_url = {};
    // Topic pages (or answers) fetched to learn this.
    int pages_read = 0;
};

extern const wchar_t* const DefaultUserAgent;

// What every forum engine is and shares, whatever the board speaks: the operations a job
// calls, the pauses and the stop, the status reports, the board's words as one line
// without the password, the flood wait, the lost-answer check in the section's newest
// topics, and the length limits a board declares. Boards driven through their pages
// derive from PageEngine; boards that answer in JSON derive from this class directly.
// One engine per job, created, used and destroyed on the job's worker thread; another
// thread only sets stop_requested and aborts the client (under the job's lock).
class ForumEngine {
public:
    ForumEngine();
    virtual ~ForumEngine();
    ForumEngine(const ForumEngine&) = delete;
    ForumEngine& operator=(const ForumEngine&) = delete;

    virtual ResultCode SignIn(const std::wstring& login, const std::wstring& password,
                              std::wstring& forumTitle) = 0;
    virtual ResultCode ReadSections(SectionList& sections) = 0;
    virtual ResultCode OpenSection(const std::wstring& url) = 0;
    virtual ResultCode PostTopic(const std::wstring& subject, const std::wstring& body,
                                 std::wstring& topicUrl) = 0;
    // After SignIn: edits the first post of the topic at topicUrl (an address PostTopic gave
    // for this account) so that it carries subject and body, with the pre-send pause of a
    // post and the send gate passed before the edit goes out. Never posts a new topic.
    // kOk only when the topic shows the new subject afterwards. A refusal keeps the board's
    // words in failure_text: kEditRefused (time limit, another account's post, a locked
    // topic), kTopicGone, kCheckResult (held for a moderator; a lost answer after which the
    // topic still shows the old subject).
    virtual ResultCode EditTopic(const std::wstring& topicUrl, const std::wstring& subject,
                                 const std::wstring& body);
    // Reads the replies of the topic at topicUrl. Called first without SignIn: kSignInNeeded
    // when the board shows the topic only to members (the job signs in and calls again).
    // kTopicGone with the board's words when the topic is gone, never a count of 0.
    virtual ResultCode ReadReplies(const std::wstring& topicUrl, ReplyInfo& info);
    virtual int SetBaseUrl(const std::wstring& mainUrl);
    // The last answer as text for the HTML log: a page as it came, anything else escaped.
    virtual std::wstring LastAnswerText() const;

    // Replaces the sleeper used by Pause; not owned. Tests install one that does not wait.
    void SetSleeper(Sleeper& sleeper) { sleeper_ = &sleeper; }
    // Receives the string id of a step the engine starts on its own (the wait for a flood
    // limit, then the second sending); called on the worker thread.
    void SetStatusReporter(std::function<void(int textId)> reporter) {
        status_reporter_ = std::move(reporter);
    }
    // Called on the worker thread right before a request that changes the board leaves;
    // false keeps it from leaving (the job was stopped while the owner recorded it).
    void SetSendGate(std::function<bool()> gate) { send_gate_ = std::move(gate); }
    // Reports a step the job starts ("Opening forum ..."). The engine's own waits report
    // themselves and then show this step again.
    void ReportStep(int textId);

    // Before a forum is posted to again whose earlier post may have gone out (a run ended
    // after sending without storing the result): the section's topics are read and the
    // earlier post is looked for. subject, login and attemptTime (seconds since the epoch)
    // are those of the earlier sending, listedBefore what TopicsListedBeforeSending gave
    // then. 0 with the topic's address (without a session id) when the post is there;
    // kPending when the section was read and the post is not there, so that it goes out
    // as usual; any other code when the section could not be read: then nothing may be
    // sent, since the post may be there.
    ResultCode FindInterruptedPost(const std::wstring& subject, const std::wstring& login,
                                   int64_t attemptTime,
                                   const std::vector<std::wstring>& listedBefore,
                                   std::wstring& topicUrl);
    // The addresses (without session ids) of the topics with the subject that the section
    // listed right before the last sending; kept with the record of that sending.
    const std::vector<std::wstring>& TopicsListedBeforeSending() const {
        return listed_before_sending_;
    }

    // The longest failure text kept from a board.
    static constexpr size_t kMaxBoardMessage = 300;
    // The flood wait when the board names no number of seconds, and the longest one.
    static constexpr int kDefaultFloodWait = 30;
    static constexpr int kMaxFloodWait = 120;
    // Passing faults: how often a request is tried again, the first pause (each next one
    // is twice as long) and the longest wait a board's Retry-After is followed for.
    static constexpr int kPassingFaultRetries = 2;
    static constexpr int kFirstRetryPause = 2;
    static constexpr int kMaxRetryAfter = 60;
    // How much earlier than our clock said a board's clock may date the post we sent.
    static constexpr int64_t kClockSlack = 300;

    std::wstring base_url;
    WebClient web;
    // Set once from another thread, read by the worker before each request and pause.
    std::atomic<bool> stop_requested{false};
    std::wstring failure_text;

protected:
    // Sleeps seconds one second at a time, checking the stop flag before each; true if a
    // stop was seen.
    bool Pause(int seconds);
    void ReportStatus(int textId);
    // True when the request that changes the board may leave now; false when a stop came
    // first (nothing is sent then).
    bool ClearToSend();
    // Runs a request that changes nothing on the board (a page read, a sign-in; never the
    // new-topic form), and while it fails with a passing fault (WebClient::passing_fault)
    // tries it again, at most kPassingFaultRetries times, after the wait the board names in
    // Retry-After (at most kMaxRetryAfter seconds) or a short growing pause, reporting that
    // the forum is busy. kOk when a try succeeded; kStopped when a stop came during a wait;
    // kConnectionError when the last try failed (web.error_text says why).
    ResultCode RetryPassingFaults(const std::function<bool()>& request);
    // Remembers the addresses of the topics titled with the subject that the section listed
    // before the sending about to go out (TopicsListedBeforeSending).
    void NoteTopicsBeforeSending(const std::vector<std::wstring>& urls);

    // Appends a section unless its address is already listed: board indexes often link
    // the same section twice (its title and a "last post in" link).
    static void AddSection(SectionList& sections, const std::wstring& url,
                           const std::wstring& title);

    // Remembers what sign-in saw, for the failure texts: the board's own title, and the
    // password, which never goes into a failure text.
    void NoteSignIn(const std::wstring& boardTitle, const std::wstring& password);
    const std::wstring& BoardTitle() const { return board_title_; }
    // Board text made fit for a result: one line, the password masked, at most
    // kMaxBoardMessage characters.
    std::wstring CleanBoardText(const std::wstring& text) const;

    // The wait after a flood refusal: the seconds the board named (negative: none named),
    // kept between 1 and kMaxFloodWait, reported as a status; true if a stop came.
    bool WaitOutFloodLimit(int namedSeconds);

    // A failure (10, both lengths in the text) when subject or body is longer, in
    // characters, than the board accepts; a negative limit is none. 0 otherwise.
    ResultCode CheckLengthLimits(const std::wstring& subject, const std::wstring& body,
                                 int maxSubject, int maxBody);
    // The same for the shortest subject and body a board takes (the ends' white space
    // not counted, as boards trim); a limit of 0 or less is none.
    ResultCode CheckMinimumLengths(const std::wstring& subject, const std::wstring& body,
                                   int minSubject, int minBody);

    // The topics the opened section lists now, newest first where the board says. Used
    // after a sending whose answer was lost.
    virtual ResultCode ReadSectionTopics(TopicList& topics);
    // The addresses of the topics listed titled subject (white space folded).
    static std::vector<std::wstring> TopicsTitled(const TopicList& topics,
                                                  const std::wstring& subject);
    // After a sending whose answer was lost: the section's topics are read again and a
    // topic titled with the subject that was not listed before (knownTopics) is taken as
    // the post (0 with its address); otherwise 9 with the lost answer in the text.
    ResultCode FindTopicAfterLostAnswer(const std::wstring& subject,
                                        const std::vector<std::wstring>& knownTopics,
                                        std::wstring& topicUrl);

private:
    Sleeper* sleeper_;
    std::function<void(int)> status_reporter_;
    std::function<bool()> send_gate_;
    int step_status_ = 0;
    std::vector<std::wstring> listed_before_sending_;
    std::wstring board_title_;
    std::wstring password_;
};

// A new engine for a forum's script name, compared exactly with the names KnownScripts()
// lists. Null for any other name.
std::unique_ptr<ForumEngine> CreateEngine(const std::wstring& scriptName);

}  // namespace twk
