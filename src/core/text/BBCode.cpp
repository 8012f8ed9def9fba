#include "text/BBCode.h"

#include <array>
#include <boost/algorithm/string/predicate.hpp>
#include <boost/algorithm/string/trim.hpp>
#include <boost/regex.hpp>
#include <vector>

namespace twk {
namespace {

struct TagRow {
    const wchar_t* name;
    bool parameter;
};

constexpr std::array<TagRow, 6> kTags = {{
    {L"b", false},
    {L"i", false},
    {L"u", false},
    {L"img", false},
    {L"url", false},
    {L"url", true},
}};

struct Replacement {
    const wchar_t* pattern;
    const wchar_t* format;
};

// Order matters: the escapes run first so that the HTML produced by the tag steps is not
// escaped again, and the line breaks last so that a tag spanning lines is still matched.
const std::array<Replacement, 12> kPreviewSteps = {{
    {L"&", L"&amp;"},
    {L"<", L"&lt;"},
    {L">", L"&gt;"},
    {L"\\[b\\](.+?)\\[/b\\]", L"<b>$1</b>"},
    {L"\\[i\\](.+?)\\[/i\\]", L"<i>$1</i>"},
    {L"\\[u\\](.+?)\\[/u\\]", L"<u>$1</u>"},
    {L"\\[url=(https?://[^\\]]+)\\]([^\\]]+)\\[/url\\]", L"<a href=\"$1\">$2</a>"},
    {L"\\[url](https?://.+?)\\[/url\\]", L"<a href=\"$1\">$1</a>"},
    {L"\\[img=(https?://[^\\]]+)\\]([^\\]]+)\\[/img\\]", L"<img src=\"$1\" alt=\"$2\">"},
    {L"\\[img](https?://.+?)\\[/img\\]", L"<img src=\"$1\">"},
    {L"\\[color=([^\\]]+)\\]([^\\]]+)\\[/color\\]", L"<font color=\"$1\">$2</font>"},
    {L"\r\n", L"<br>\r\n"},
}};

}  // namespace

std::wstring MakeTag(int row, const std::wstring& inner, const std::wstring& parameter) {
    const TagRow& tag = kTags.at(static_cast<size_t>(row));
    std::wstring result = L"[";
    result += tag.name;
    if (tag.parameter) {
        result += L"=" + parameter;
    }
    result += L"]" + inner + L"[/" + tag.name + L"]";
    return result;
}

UrlDialogFields UrlFieldsForSelection(const std::wstring& selection) {
    std::wstring trimmed = boost::algorithm::trim_copy(selection);
    if (boost::algorithm::starts_with(trimmed, L"http://") ||
        boost::algorithm::starts_with(trimmed, L"https://")) {
        return {trimmed, trimmed};
    }
    return {std::wstring(), selection};
}

std::wstring UrlTagFor(const UrlDialogFields& fields) {
    if (fields.url != fields.text && !fields.text.empty()) {
        return MakeTag(kTagUrlWithText, fields.text, fields.url);
    }
    return MakeTag(kTagUrl, fields.url);
}

std::wstring BBCodeToHtml(const std::wstring& text) {
    // Compiled once: the patterns never change and the preview may run often.
    static const std::vector<boost::wregex> expressions = [] {
        std::vector<boost::wregex> list;
        for (const Replacement& step : kPreviewSteps) {
            list.emplace_back(step.pattern, boost::regex::perl);
        }
        return list;
    }();
    std::wstring result = text;
    for (size_t i = 0; i < kPreviewSteps.size(); ++i) {
        result = boost::regex_replace(result, expressions[i], kPreviewSteps[i].format);
    }
    return result;
}

std::wstring MakePreviewPage(const std::wstring& body) {
    return L"<html><head><meta http-equiv='Content-Type' "
           L"content='text/html;charset=utf-8'></head><body>" +
           BBCodeToHtml(body) + L"</body>";
}

}  // namespace twk
