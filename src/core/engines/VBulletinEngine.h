#pragma once

#include <vector>

#include "engines/PageEngine.h"

namespace twk {

// The engine for forums whose script is "vBulletin" (version 3; version 4 shares its sign-in
// and posting fields). Owned by one job, like every engine.
class VBulletinEngine : public PageEngine {
public:
    VBulletinEngine();
    ResultCode SignIn(const std::wstring& login, const std::wstring& password,
                      std::wstring& forumTitle) override;
    ResultCode ReadSections(SectionList& sections) override;
    ResultCode PostTopic(const std::wstring& subject, const std::wstring& body,
                         std::wstring& topicUrl) override;
    ResultCode EditTopic(const std::wstring& topicUrl, const std::wstring& subject,
                         const std::wstring& body) override;
    ResultCode ReadReplies(const std::wstring& topicUrl, ReplyInfo& info) override;

private:
    // The absolute URL of the link under the link cursor, and whether it may name a section.
    bool IsSectionCandidate(std::wstring& url) const;

    // The thread whose pages are read ("t="); -1: any.
    int thread_ = -1;

protected:
    bool FillSignInForm(HtmlForm& form, const std::wstring& login,
                        const std::wstring& password) override;
    bool FillNewTopicForm(HtmlForm& form, const std::wstring& subject,
                          const std::wstring& body) override;
    bool FillEditForm(HtmlForm& form, const std::wstring& subject,
                      const std::wstring& body) override;
    std::wstring EditAddress(int postId) override;
    int PageValue(const std::wstring& url, const TopicSteps& steps) override;
    void ReadNewestPost(const PagePost& post, ReplyInfo& info) override;
};

}  // namespace twk
