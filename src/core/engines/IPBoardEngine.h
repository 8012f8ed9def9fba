#pragma once

#include <string>
#include <vector>

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
    ResultCode EditTopic(const std::wstring& topicUrl, const std::wstring& subject,
                         const std::wstring& body) override;
    ResultCode ReadReplies(const std::wstring& topicUrl, ReplyInfo& info) override;

private:
    bool FindNewTopicForm(HtmlForm& form, const std::wstring& subject);
    // The topic a link belongs to: "showtopic=N", or "/topic/N-" in friendly addresses; -1.
    static int TopicOf(const std::wstring& url);
    // The author's name and the time of the post after anchor.
    std::wstring PostAuthor(HtmlCursor anchor);
    int64_t PostTime(HtmlCursor anchor) const;

    std::wstring login_;
    // The topic whose pages are read ("showtopic=N", "/topic/N-"); -1: any.
    int topic_ = -1;

protected:
    bool FillSignInForm(HtmlForm& form, const std::wstring& login,
                        const std::wstring& password) override;
    bool FillNewTopicForm(HtmlForm& form, const std::wstring& subject,
                          const std::wstring& body) override;
    bool FillEditForm(HtmlForm& form, const std::wstring& subject,
                      const std::wstring& body) override;
    ResultCode NoEditLink(const PagePost& first, std::wstring& editUrl) override;
    std::vector<PagePost> FindPosts(const TopicSteps& steps) override;
    int PageValue(const std::wstring& url, const TopicSteps& steps) override;
    int PostsBefore(const std::wstring& pageUrl, int value, int perPage,
                    const TopicSteps& steps) override;
    void ReadNewestPost(const PagePost& post, ReplyInfo& info) override;
};

}  // namespace twk
