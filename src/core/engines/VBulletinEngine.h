#pragma once

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

private:
    // The absolute URL of the link under the link cursor, and whether it may name a section.
    bool IsSectionCandidate(std::wstring& url) const;

protected:
    bool FillSignInForm(HtmlForm& form, const std::wstring& login,
                        const std::wstring& password) override;
    bool FillNewTopicForm(HtmlForm& form, const std::wstring& subject,
                          const std::wstring& body) override;
};

}  // namespace twk
