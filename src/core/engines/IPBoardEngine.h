#pragma once

#include "engines/PageEngine.h"

namespace twk {

// The engine for forums whose script is "IPBoard": Invision Power Board 2 ("act=Login"
// addresses) and IP.Board 3 ("section=login" addresses). Created per job by CreateEngine.
class IPBoardEngine : public PageEngine {
public:
    IPBoardEngine();
    ResultCode SignIn(const std::wstring& login, const std::wstring& password,
                      std::wstring& forumTitle) override;
    ResultCode ReadSections(SectionList& sections) override;
    ResultCode PostTopic(const std::wstring& subject, const std::wstring& body,
                         std::wstring& topicUrl) override;

private:
    bool FindNewTopicForm(HtmlForm& form, const std::wstring& subject);

protected:
    bool FillSignInForm(HtmlForm& form, const std::wstring& login,
                        const std::wstring& password) override;
    bool FillNewTopicForm(HtmlForm& form, const std::wstring& subject,
                          const std::wstring& body) override;
};

}  // namespace twk
