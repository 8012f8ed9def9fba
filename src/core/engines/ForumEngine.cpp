#include "engines/ForumEngine.h"

#include "engines/IPBoardEngine.h"
#include "engines/PhpBBEngine.h"
#include "engines/VBulletinEngine.h"

namespace twk {

const wchar_t* const DefaultUserAgent =
    L"Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 5.1; Trident/4.0; .NET CLR 2.0.50727; "
    L".NET CLR 1.1.4322; .NET CLR 3.0.04506.30; .NET CLR 3.0.04506.648)";

ForumEngine::ForumEngine() : web(DefaultUserAgent), sleeper_(&RealSleeper()) {}

ForumEngine::~ForumEngine() = default;

ResultCode ForumEngine::OpenSection(const std::wstring& url) {
    return OpenUrl(url, false);
}

int ForumEngine::SetBaseUrl(const std::wstring& mainUrl) {
    base_url = mainUrl;
    return 0;
}

ResultCode ForumEngine::OpenUrl(const std::wstring& url, bool followRefresh) {
    if (stop_requested) {
        return kStopped;
    }
    if (!web.Get(url, 5)) {
        failure_text = web.error_text;
        return kConnectionError;
    }
    page.Load(web);
    if (followRefresh) {
        if (stop_requested) {
            return kStopped;
        }
        std::wstring target;
        if (page.MetaRefreshUrl(target)) {
            return OpenUrl(target, false);
        }
    }
    return kOk;
}

ResultCode ForumEngine::SubmitForm(const HtmlForm& form, bool followRefresh) {
    if (stop_requested) {
        return kStopped;
    }
    if (!web.PostForm(form)) {
        failure_text = web.error_text;
        return kConnectionError;
    }
    page.Load(web);
    if (followRefresh) {
        if (stop_requested) {
            return kStopped;
        }
        std::wstring target;
        if (page.MetaRefreshUrl(target)) {
            return OpenUrl(target, false);
        }
    }
    return kOk;
}

bool ForumEngine::Pause(int seconds) {
    int left = seconds;
    for (;;) {
        --left;
        if (stop_requested) {
            return true;
        }
        sleeper_->Sleep(std::chrono::milliseconds(1000));
        if (left <= 0) {
            return false;
        }
    }
}

bool ForumEngine::FindLink(const std::vector<std::wstring>& patterns,
                           const std::vector<std::wstring>& excluded) {
    auto contains_any = [](const std::wstring& url, const std::vector<std::wstring>& list) {
        for (const std::wstring& pattern : list) {
            if (url.find(pattern) != std::wstring::npos) {
                return true;
            }
        }
        return false;
    };
    for (int i = 0; page.SelectLink(i); ++i) {
        std::wstring url = page.LinkUrl();
        if (contains_any(url, patterns) && !contains_any(url, excluded)) {
            return true;
        }
    }
    return false;
}

bool ForumEngine::FindForm(HtmlForm& form, const std::function<bool(HtmlForm&)>& fits) {
    for (int i = 0;; ++i) {
        page.form_cursor = page.FindElement(i, "FORM");
        if (page.form_cursor.AtEnd()) {
            return false;
        }
        page.ReadForm(form);
        if (fits(form)) {
            return true;
        }
    }
}

void ForumEngine::AddSection(SectionList& sections, const std::wstring& url,
                             const std::wstring& title) {
    for (const SectionRecord& section : sections) {
        if (section.key == url) {
            return;
        }
    }
    sections.push_back(SectionRecord{url, title, url});
}

ResultCode ForumEngine::CheckPostResult(const std::wstring& replyPattern, std::wstring& topicUrl) {
    topicUrl.clear();
    if (page.MetaRefreshUrl(topicUrl)) {
        ResultCode opened = OpenUrl(topicUrl, false);
        topicUrl.clear();
        if (opened != kOk) {
            return kCheckResult;
        }
    }
    if (!FindLink({replyPattern})) {
        return kCheckResult;
    }
    topicUrl = web.current_url;
    return kOk;
}

std::unique_ptr<ForumEngine> CreateEngine(const std::wstring& scriptName) {
    if (scriptName == L"phpBB") {
        return std::make_unique<PhpBBEngine>();
    }
    if (scriptName == L"vBulletin") {
        return std::make_unique<VBulletinEngine>();
    }
    if (scriptName == L"IPBoard") {
        return std::make_unique<IPBoardEngine>();
    }
    return nullptr;
}

}  // namespace twk
