#include "engines/JsonEngine.h"

#include <nlohmann/json.hpp>

#include "engines/BoardText.h"
#include "text/StringTable.h"
#include "text/Unicode.h"
#include "web/Charsets.h"

namespace twk {

JsonEngine::JsonEngine() = default;

int JsonEngine::SetBaseUrl(const std::wstring& mainUrl) {
    ForumEngine::SetBaseUrl(mainUrl);
    std::wstring root = mainUrl;
    const size_t end = root.find_first_of(L"?#");
    if (end != std::wstring::npos) {
        root.erase(end);
    }
    // An address of one of the board's pages still names the board: the folder it lives
    // in is what comes before the page's route.
    for (const wchar_t* route : {L"/category/", L"/topic/", L"/c/", L"/t/", L"/latest",
                                 L"/categories", L"/login", L"/recent"}) {
        const size_t scheme = root.find(L"://");
        const size_t at = root.find(route, scheme == std::wstring::npos ? 0 : scheme + 3);
        if (at != std::wstring::npos) {
            root.erase(at);
        }
    }
    while (!root.empty() && root.back() == L'/') {
        root.pop_back();
    }
    root_ = root;
    return 0;
}

bool JsonEngine::Call(const std::wstring& method, const std::wstring& path, const std::string& body,
                      const std::string& contentType) {
    return Request(method, path, body, contentType, true);
}

bool JsonEngine::CallJson(const std::wstring& method, const std::wstring& path,
                          const nlohmann::json& body) {
    return Request(method, path, body.dump(), "application/json; charset=utf-8", true);
}

bool JsonEngine::SendOnce(const std::wstring& method, const std::wstring& path,
                          const std::string& body, const std::string& contentType) {
    return Request(method, path, body, contentType, false);
}

bool JsonEngine::SendJsonOnce(const std::wstring& method, const std::wstring& path,
                              const nlohmann::json& body) {
    return Request(method, path, body.dump(), "application/json; charset=utf-8", false);
}

bool JsonEngine::Request(const std::wstring& method, const std::wstring& path,
                         const std::string& body, const std::string& contentType, bool retry) {
    if (stop_requested) {
        return false;
    }
    HttpRequest request;
    request.method = method;
    request.url = Address(path);
    request.headers = {"Accept: application/json, text/javascript, */*; q=0.01",
                       "X-Requested-With: XMLHttpRequest"};
    if (!csrf_token.empty()) {
        request.headers.push_back("X-CSRF-Token: " + csrf_token);
    }
    request.headers.insert(request.headers.end(), extra_headers.begin(), extra_headers.end());
    request.body = body;
    request.content_type = contentType;
    bool answered = false;
    auto send = [&] {
        answered = web.Send(request);
        return answered && !web.passing_fault;
    };
    if (!retry) {
        send();
    } else if (RetryPassingFaults(send) == kStopped) {
        return false;
    }
    if (!answered) {
        failure_text = web.error_text;
        return false;
    }
    return true;
}

bool JsonEngine::AnswerJson(nlohmann::json& answer) const {
    answer = nlohmann::json::parse(web.body, nullptr, false);
    if (answer.is_discarded()) {
        answer = nullptr;
        return false;
    }
    return true;
}

std::wstring JsonEngine::AnswerText() const {
    return BoardWords(Utf8ToWide(web.body));
}

std::wstring JsonEngine::ReadableMessageKey(const std::wstring& text) {
    std::wstring out;
    size_t at = 0;
    while (at < text.size()) {
        const size_t open = text.find(L"[[", at);
        const size_t close = open == std::wstring::npos ? open : text.find(L"]]", open);
        if (close == std::wstring::npos) {
            out += text.substr(at);
            break;
        }
        out += text.substr(at, open - at);
        // "[[namespace:some-key, 10]]" reads "Some key (10)": the board's language file is
        // not at hand, and the key names what happened.
        std::wstring key = text.substr(open + 2, close - open - 2);
        std::wstring arguments;
        const size_t comma = key.find(L',');
        if (comma != std::wstring::npos) {
            arguments = CollapseWhitespace(key.substr(comma + 1));
            key.erase(comma);
        }
        const size_t colon = key.find(L':');
        if (colon != std::wstring::npos) {
            key.erase(0, colon + 1);
        }
        for (wchar_t& c : key) {
            if (c == L'-' || c == L'_' || c == L'.') {
                c = L' ';
            }
        }
        key = CollapseWhitespace(key);
        if (!key.empty() && key[0] >= L'a' && key[0] <= L'z') {
            key[0] = static_cast<wchar_t>(key[0] - L'a' + L'A');
        }
        out += key;
        if (!arguments.empty()) {
            out += L" (" + arguments + L")";
        }
        at = close + 2;
    }
    return out;
}

std::wstring JsonEngine::BoardWords(const std::wstring& text) const {
    return CleanBoardText(DecodeEntities(ReadableMessageKey(text)));
}

ResultCode JsonEngine::LostAnswer(const std::wstring& subject,
                                  const std::vector<std::wstring>& known, std::wstring& topicUrl) {
    if (web.status_code != 0) {
        failure_text = web.status_line;
    }
    return FindTopicAfterLostAnswer(subject, known, topicUrl);
}

ResultCode JsonEngine::SettleEdit(const std::function<ResultCode(bool&)>& readBack,
                                  bool answerLost) {
    const std::wstring answered = web.status_code != 0 ? web.status_line : web.error_text;
    bool shown = false;
    const ResultCode read = readBack(shown);
    if (read == kOk && shown) {
        failure_text.clear();
        return kOk;
    }
    if (answerLost) {
        failure_text = FormatText(LoadText(kIdsEditAnswerLost), answered);
    } else if (read == kOk) {
        failure_text = LoadText(kIdsOldSubjectStillShown);
    } else {
        // The edit was taken; what the topic shows now could not be seen.
        failure_text = FormatText(LoadText(kIdsEditNotReadBack),
                                  failure_text.empty() ? web.status_line : failure_text);
    }
    return kCheckResult;
}

std::wstring JsonText(const nlohmann::json& value) {
    if (value.is_string()) {
        return Utf8ToWide(value.get<std::string>());
    }
    if (value.is_number_integer()) {
        return std::to_wstring(value.get<long long>());
    }
    return {};
}

long long JsonNumber(const nlohmann::json& value, long long fallback) {
    if (value.is_number_integer()) {
        return value.get<long long>();
    }
    if (value.is_number_float()) {
        return static_cast<long long>(value.get<double>());
    }
    if (value.is_string()) {
        const std::string text = value.get<std::string>();
        if (!text.empty() && text.size() < 19 &&
            text.find_first_not_of("0123456789") == std::string::npos) {
            return std::stoll(text);
        }
    }
    return fallback;
}

}  // namespace twk
