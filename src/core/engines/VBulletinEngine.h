#pragma once

#include <vector>

#include "engines/TopicPageEngine.h"

namespace twk {

// The engine for forums whose script is "vBulletin" (version 3; version 4 shares its sign-in
// and posting fields). Owned by one job, like every engine.
class VBulletinEngine : public TopicPageEngine {
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
    // A post of the topic page: its id and its number in the topic ("#3").
    struct PostMark {
        std::wstring id;
        int number = 0;
    };
    // The posts of the current page, by the "postcount<id>" anchors both generations put
    // beside each post's number.
    std::vector<PostMark> PostMarks() const;
    // The newest reply's author and time on the current page.
    void ReadNewestPost(const PostMark& post, ReplyInfo& info);

    // The absolute URL of the link under the link cursor, and whether it may name a section.
    bool IsSectionCandidate(std::wstring& url) const;

protected:
    bool HasPosts() override;
    bool FillSignInForm(HtmlForm& form, const std::wstring& login,
                        const std::wstring& password) override;
    bool FillNewTopicForm(HtmlForm& form, const std::wstring& subject,
                          const std::wstring& body) override;
};

}  // namespace twk
