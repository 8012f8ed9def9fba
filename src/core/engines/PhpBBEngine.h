#pragma once

#include "engines/PageEngine.h"

namespace twk {

// The engine for forums whose script is "phpBB": both generations, the "/ucp.php" pages of
// phpBB 3 and the "/login.php" pages of phpBB 2. Owned by one job, like every engine.
class PhpBBEngine : public PageEngine {
public:
    PhpBBEngine();
    ResultCode SignIn(const std::wstring& login, const std::wstring& password,
                      std::wstring& forumTitle) override;
    ResultCode ReadSections(SectionList& sections) override;
    ResultCode PostTopic(const std::wstring& subject, const std::wstring& body,
                         std::wstring& topicUrl) override;
    ResultCode EditTopic(const std::wstring& topicUrl, const std::wstring& subject,
                         const std::wstring& body) override;
    ResultCode ReadReplies(const std::wstring& topicUrl, ReplyInfo& info) override;

protected:
    bool FillSignInForm(HtmlForm& form, const std::wstring& login,
                        const std::wstring& password) override;
    ResultCode NotSignedIn(bool refreshFollowed) override;
    bool FillNewTopicForm(HtmlForm& form, const std::wstring& subject,
                          const std::wstring& body) override;
    bool FillEditForm(HtmlForm& form, const std::wstring& subject,
                      const std::wstring& body) override;
    std::wstring EditAddress(int postId) override;
    bool ShowsSubject(const std::wstring& subject) override;
    std::vector<PagePost> FindPosts(const TopicSteps& steps) override;
    void ReadNewestPost(const PagePost& post, ReplyInfo& info) override;

private:
    // Set by FindPosts: the topic page came from phpBB 2, whose posts are anchors.
    bool second_generation_ = false;
};

}  // namespace twk
