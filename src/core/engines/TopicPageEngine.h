#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engines/PageEngine.h"

namespace twk {

// What the topic steps of a script need: the words (lower case) by which its boards say a
// topic or post does not exist, the sign-out links that show a member's page, and the
// pause before an edit goes out (the script's pause before a post).
struct TopicPageSteps {
    std::vector<std::wstring> gone_phrases;
    std::vector<std::wstring> sign_out_links;
    std::vector<std::wstring> moderation_phrases;
    int pause_before = 10;
};

// The topic steps the IPBoard and vBulletin engines share: opening a topic page (gone,
// members only), sending an edit form and proving it by the subject the topic shows
// afterwards, and reading the times posts show.
class TopicPageEngine : public PageEngine {
protected:
    TopicPageEngine(const BoardWords& words, const TopicPageSteps& steps);

    // Opens a topic page: kOk when it shows posts (HasPosts); kTopicGone for a 404 or 410
    // answer or a page that says the topic does not exist; kSignInNeeded for a guest's
    // page without posts; kPageError with the board's words for a member's. counter, when
    // given, counts the page fetched.
    ResultCode OpenTopicPage(const std::wstring& url, int* counter = nullptr);
    // Whether the current page shows a topic's posts.
    virtual bool HasPosts() = 0;

    // Where the current page is not the edit form: kTopicGone or kEditRefused with the
    // board's words.
    ResultCode EditRefusedHere();
    // The pause, the send gate, the sending of a filled edit form and the proof: the answer
    // is not an error and the topic, read again, shows subject. A lost answer is settled
    // by reading the topic again.
    ResultCode SendEdit(const HtmlForm& form, const std::wstring& topicUrl,
                        const std::wstring& subject);
    // True when the page's title is subject, alone or before the board's name.
    bool TitleShows(const std::wstring& subject);

    // The time a post shows, in seconds since the epoch, taking the board's clock as UTC:
    // "2013-03-02T10:45:13+00:00", "23.03.2005, 19:46", "03-23-2005, 07:46 PM",
    // "Dec 24 2005, 10:33 AM", and "Today"/"Yesterday" (also in Russian) with a time of
    // day, counted from now. 0 when the text holds none of these.
    static int64_t ParsePostTime(const std::wstring& text, int64_t now);

private:
    ResultCode ConfirmEdit(const std::wstring& topicUrl, const std::wstring& subject,
                           const std::wstring& lostAnswer);

    const TopicPageSteps& steps_;
};

}  // namespace twk
