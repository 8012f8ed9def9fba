#pragma once

#include <string>
#include <vector>

#include "engines/JsonEngine.h"

namespace twk {

// The engine for forums whose script is "NodeBB" (3.x and 4.x): the board draws its pages
// in the browser, so everything goes through its JSON write API and its page API. A
// section is a category, /category/<cid>/<slug>. Owned by one job, like every engine.
class NodeBBEngine : public JsonEngine {
public:
    NodeBBEngine();
    ResultCode SignIn(const std::wstring& login, const std::wstring& password,
                      std::wstring& forumTitle) override;
    ResultCode ReadSections(SectionList& sections) override;
    ResultCode OpenSection(const std::wstring& url) override;
    ResultCode PostTopic(const std::wstring& subject, const std::wstring& body,
                         std::wstring& topicUrl) override;
    ResultCode EditTopic(const std::wstring& topicUrl, const std::wstring& subject,
                         const std::wstring& body) override;
    ResultCode ReadReplies(const std::wstring& topicUrl, ReplyInfo& info) override;

    // What the board publishes in /api/config and enforces, in characters; -1 where it
    // says nothing.
    struct Limits {
        int min_title = -1;
        int max_title = -1;
        int min_post = -1;
        int max_post = -1;
    };

protected:
    ResultCode ReadSectionTopics(TopicList& topics) override;

private:
    // Reads /api/config: the session's CSRF token, whether it is signed in, the limits.
    ResultCode ReadConfig(bool& signedIn);
    // The failure of an answer that refused what was sent: the board's words and the code.
    ResultCode Refusal(ResultCode code);
    std::wstring AnswerMessage() const;
    std::wstring TopicAddress(const std::wstring& slug) const;
    // The page data of a topic (/api/topic/<tid>, ?page=N after the first): kTopicGone,
    // kSignInNeeded for a guest the board sends to its sign-in, kOk with posts[] in data.
    ResultCode ReadTopicPage(long long tid, int page, nlohmann::json& data);

    Limits limits_;
    std::wstring board_title_;
    long long category_ = -1;
    std::wstring category_title_;
    bool may_create_ = false;
    bool signed_in_ = false;
};

// The category id an address names: /category/<cid>/... ; -1 when none.
long long NodeBBCategoryOf(const std::wstring& url);
// The topic id an address names: /topic/<tid>/... ; -1 when none.
long long NodeBBTopicOf(const std::wstring& url);

}  // namespace twk
