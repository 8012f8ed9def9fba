#pragma once

#include <string>
#include <vector>

#include "engines/TopicPageEngine.h"

namespace twk {

// The engine for forums whose script is "IPBoard": Invision Power Board 2 ("act=Login"
// addresses) and IP.Board 3 ("section=login" addresses). Created per job by CreateEngine.
class IPBoardEngine : public TopicPageEngine {
public:
    IPBoardEngine();
    ResultCode SignIn(const std::wstring& login, const std::wstring& password,
                      std::wstring& forumTitle) override;
    ResultCode ReadSections(SectionList& sections) override;
    ResultCode PostTopic(const std::wstring& subject, const std::wstring& body,
                         std::wstring& topicUrl) override;
    ResultCode EditTopic(const std::wstring& topicUrl, const std::wstring& subject,
                         const std::wstring& body) override;
    ResultCode ReadReplies(const std::wstring& topicUrl, ReplyInfo& info) override;

private:
    bool FindNewTopicForm(HtmlForm& form, const std::wstring& subject);
    // The "entry<post id>" anchors both generations put before each post, in page order.
    std::vector<HtmlCursor> PostAnchors() const;
    // The author's name and the time of the post after anchor.
    std::wstring PostAuthor(HtmlCursor anchor);
    int64_t PostTime(HtmlCursor anchor) const;
    // Why the first post offers no edit link: a locked topic, another member's post, or
    // (neither shown) the time limit.
    ResultCode EditLinkMissing(HtmlCursor firstPost);

    std::wstring login_;

protected:
    bool HasPosts() override;
    bool FillSignInForm(HtmlForm& form, const std::wstring& login,
                        const std::wstring& password) override;
    bool FillNewTopicForm(HtmlForm& form, const std::wstring& subject,
                          const std::wstring& body) override;
};

}  // namespace twk
