#pragma once

#include "engines/PageEngine.h"

namespace twk {

// The engine for forums whose script is "MyBB" (MyBB 1.8): member.php sign-in with its
// post key, forumdisplay.php?fid=N sections, the newthread.php form and the redirect pages
// MyBB answers with. Owned by one job, like every engine.
class MyBBEngine : public PageEngine {
public:
    MyBBEngine();
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
    void ReadNewestPost(const PagePost& post, ReplyInfo& info) override;
    bool AsksForSignIn() override;
    std::wstring TopicPageMessage() override;

private:
    // The text of a whole-page error (see WithPageError); empty when the page has none.
    std::wstring PageErrorText();
    // MyBB's whole-page errors (a wrong post key, no permission) stand in a table headed
    // with the board's name, which the message boxes cannot tell from the index's tables.
    // Puts that text into failure_text when the page said nothing else; returns code.
    ResultCode WithPageError(ResultCode code);

    std::wstring board_name_;
    std::wstring password_;
};

}  // namespace twk
