#pragma once

#include "engines/PageEngine.h"

namespace twk {

// The engine for forums whose script is "SMF": Simple Machines Forum 2.1, whose addresses
// separate their parameters with ";" (index.php?action=post;board=3.0). Owned by one job,
// like every engine.
class SMFEngine : public PageEngine {
public:
    SMFEngine();
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
    bool FillNewTopicForm(HtmlForm& form, const std::wstring& subject,
                          const std::wstring& body) override;
    bool FillEditForm(HtmlForm& form, const std::wstring& subject,
                      const std::wstring& body) override;
    std::wstring EditAddress(int postId) override;
    int PageValue(const std::wstring& url, const TopicSteps& steps) override;
    void ReadNewestPost(const PagePost& post, ReplyInfo& info) override;

private:
    // True when the link under the cursor stands in a board's list of child boards.
    bool InChildBoardList();
    // The page of an answer the client counts as failed: SMF's error pages come with 403.
    bool LoadErrorPage();
};

}  // namespace twk
