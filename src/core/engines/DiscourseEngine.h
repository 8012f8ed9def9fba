#pragma once

#include <string>
#include <vector>

#include "engines/DiscourseAnswer.h"
#include "engines/JsonEngine.h"

namespace twk {

// The "Discourse" script (Discourse 2.7-3.x): signs in with the session's CSRF token as the
// site's own composer does, lists the categories the account may start topics in, and
// starts a topic from Markdown, sending the typing times a person's composer sends (a
// first topic without them is queued and the account silenced). Works for a site in a
// folder (https://host/forum). What the answers say is read by DiscourseAnswer.h.
class DiscourseEngine : public JsonEngine {
public:
    ResultCode SignIn(const std::wstring& login, const std::wstring& password,
                      std::wstring& forumTitle) override;
    ResultCode ReadSections(SectionList& sections) override;
    ResultCode OpenSection(const std::wstring& url) override;
    ResultCode PostTopic(const std::wstring& subject, const std::wstring& body,
                         std::wstring& topicUrl) override;
    ResultCode EditTopic(const std::wstring& topicUrl, const std::wstring& subject,
                         const std::wstring& body) override;
    ResultCode ReadReplies(const std::wstring& topicUrl, ReplyInfo& info) override;

protected:
    ResultCode ReadSectionTopics(TopicList& topics) override;

private:
    ResultCode FetchCsrf();
    ResultCode ReadSite(discourse::Site& site);
    bool MayStartTopics(const discourse::Site& site, const discourse::Category& category) const;
    ResultCode CheckLimits(const std::wstring& subject, const std::wstring& raw);
    ResultCode ConfirmTopic(const std::wstring& subject, const discourse::PostAnswer& answer,
                            std::wstring& topicUrl);
    // Reads a topic view (/t/<id>.json, /t/<id>/<post_number>.json): kTopicGone, and
    // kSignInNeeded for a guest the site refuses.
    ResultCode ReadTopicView(const std::wstring& path, discourse::Topic& topic);
    // Sends one half of an edit (the body or the title); kOk when the site took it. lost:
    // no answer of the site's came, and the topic read again decides.
    ResultCode SendEditPart(const std::wstring& path, const std::string& form, bool& lost);
    ResultCode EditRefused(const discourse::PostAnswer& answer);
    // A request that got no answer: stopped, or a connection error.
    ResultCode NoAnswer() const;
    // An answer that says none of what Discourse says there.
    ResultCode NotUnderstood();
    ResultCode Fail(ResultCode code, const std::wstring& text);

    discourse::Settings settings_;
    long long category_id_ = -1;
    std::wstring category_path_;
    // The subject of the topic being sent: the board stores it prettified, and the topics
    // read after a lost answer are matched to it.
    std::wstring subject_;
    TopicList known_topics_;
    bool signed_in_ = false;
};

}  // namespace twk
