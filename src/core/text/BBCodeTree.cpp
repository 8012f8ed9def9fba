#include "text/BBCodeTree.h"

#include <algorithm>
#include <array>
#include <optional>

namespace twk {
namespace {

enum Tag : size_t { kBold, kItalic, kUnderline, kUrl, kImage, kColor, kTagCount };

constexpr std::array<std::wstring_view, kTagCount> kTagNames = {L"b",   L"i",   L"u",
                                                                L"url", L"img", L"color"};

wchar_t AsciiLower(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool IsAsciiLetter(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (AsciiLower(text[i]) != prefix[i]) {
            return false;
        }
    }
    return true;
}

std::wstring_view Trim(std::wstring_view text) {
    constexpr std::wstring_view kSpace = L" \t\r\n";
    size_t first = text.find_first_not_of(kSpace);
    if (first == std::wstring_view::npos) {
        return {};
    }
    size_t last = text.find_last_not_of(kSpace);
    return text.substr(first, last - first + 1);
}

struct OpeningTag {
    Tag tag;
    std::optional<std::wstring_view> parameter;
    size_t end;  // just past the ']'
};

class Parser {
public:
    explicit Parser(const std::wstring& text) : text_(text) { FindClosingTags(); }

    std::vector<BBNode> Parse() {
        std::vector<BBNode> nodes;
        ParseRange(0, text_.size(), nodes);
        return nodes;
    }

private:
    // Every closing tag's position, per name and in order, so that finding the nearest one
    // is a binary search: a body full of unclosed tags must not cost a scan for each.
    void FindClosingTags() {
        const std::wstring_view text = text_;
        for (size_t pos = text.find(L"[/"); pos != std::wstring_view::npos;
             pos = text.find(L"[/", pos + 1)) {
            std::wstring_view rest = text.substr(pos + 2);
            for (size_t tag = 0; tag < kTagCount; ++tag) {
                const std::wstring_view name = kTagNames[tag];
                if (StartsWithNoCase(rest, name) && rest.size() > name.size() &&
                    rest[name.size()] == L']') {
                    closing_[tag].push_back(pos);
                }
            }
        }
    }

    std::optional<OpeningTag> ReadOpeningTag(size_t pos, size_t end) const {
        size_t name_end = pos + 1;
        while (name_end < end && IsAsciiLetter(text_[name_end])) {
            ++name_end;
        }
        if (name_end >= end || name_end == pos + 1) {
            return std::nullopt;
        }
        const std::wstring_view name(text_.data() + pos + 1, name_end - pos - 1);
        auto known = std::find_if(kTagNames.begin(), kTagNames.end(), [&](std::wstring_view n) {
            return n.size() == name.size() && StartsWithNoCase(name, n);
        });
        if (known == kTagNames.end()) {
            return std::nullopt;
        }
        const auto tag = static_cast<Tag>(known - kTagNames.begin());
        if (text_[name_end] == L']') {
            return OpeningTag{tag, std::nullopt, name_end + 1};
        }
        if (text_[name_end] != L'=') {
            return std::nullopt;
        }
        const size_t bracket = std::wstring_view(text_).substr(0, end).find(L']', name_end + 1);
        if (bracket == std::wstring_view::npos) {
            return std::nullopt;
        }
        return OpeningTag{tag,
                          std::wstring_view(text_.data() + name_end + 1, bracket - name_end - 1),
                          bracket + 1};
    }

    // The nearest closing tag of `tag` at or after `from` that ends by `end`.
    std::optional<size_t> FindClosingTag(Tag tag, size_t from, size_t end) const {
        const std::vector<size_t>& positions = closing_[tag];
        auto found = std::lower_bound(positions.begin(), positions.end(), from);
        if (found == positions.end() || *found + kTagNames[tag].size() + 3 > end) {
            return std::nullopt;
        }
        return *found;
    }

    // Reads the tag at text_[pos] == '[' into `nodes`; false leaves the '[' to be text.
    bool ReadTag(size_t pos, size_t end, std::vector<BBNode>& nodes, size_t& next) {
        const std::optional<OpeningTag> opening = ReadOpeningTag(pos, end);
        if (!opening) {
            return false;
        }
        const std::optional<size_t> closing = FindClosingTag(opening->tag, opening->end, end);
        if (!closing || *closing == opening->end) {
            return false;
        }
        const size_t inner_begin = opening->end;
        const size_t inner_end = *closing;
        const std::wstring_view inner(text_.data() + inner_begin, inner_end - inner_begin);
        const auto& parameter = opening->parameter;
        switch (opening->tag) {
            case kBold:
            case kItalic:
            case kUnderline: {
                if (parameter) {
                    return false;
                }
                BBNode node;
                node.kind = opening->tag == kBold     ? BBNode::Kind::Bold
                            : opening->tag == kItalic ? BBNode::Kind::Italic
                                                      : BBNode::Kind::Underline;
                ParseRange(inner_begin, inner_end, node.children);
                AppendNode(nodes, std::move(node));
                break;
            }
            case kColor:
                if (!parameter || parameter->empty()) {
                    return false;
                }
                ParseRange(inner_begin, inner_end, nodes);
                break;
            case kUrl: {
                BBNode node;
                node.kind = BBNode::Kind::Link;
                node.bare = !parameter;
                node.url = Trim(parameter ? *parameter : inner);
                if (!IsWebAddress(node.url)) {
                    return false;
                }
                if (node.bare) {
                    node.text = node.url;
                } else {
                    ParseRange(inner_begin, inner_end, node.children);
                }
                AppendNode(nodes, std::move(node));
                break;
            }
            case kImage: {
                BBNode node;
                node.kind = BBNode::Kind::Image;
                node.url = Trim(parameter ? *parameter : inner);
                if (!IsWebAddress(node.url)) {
                    return false;
                }
                if (parameter) {
                    node.text = inner;
                }
                AppendNode(nodes, std::move(node));
                break;
            }
            case kTagCount:
                return false;
        }
        next = inner_end + kTagNames[opening->tag].size() + 3;
        return true;
    }

    void ParseRange(size_t begin, size_t end, std::vector<BBNode>& nodes) {
        size_t pos = begin;
        while (pos < end) {
            size_t bracket = text_.find(L'[', pos);
            if (bracket == std::wstring::npos || bracket >= end) {
                AppendText(nodes, std::wstring_view(text_.data() + pos, end - pos));
                return;
            }
            AppendText(nodes, std::wstring_view(text_.data() + pos, bracket - pos));
            size_t next = 0;
            if (ReadTag(bracket, end, nodes, next)) {
                pos = next;
            } else {
                AppendText(nodes, L"[");
                pos = bracket + 1;
            }
        }
    }

    static void AppendText(std::vector<BBNode>& nodes, std::wstring_view text) {
        if (text.empty()) {
            return;
        }
        if (!nodes.empty() && nodes.back().kind == BBNode::Kind::Text) {
            nodes.back().text += text;
            return;
        }
        BBNode node;
        node.text = text;
        nodes.push_back(std::move(node));
    }

    // "[b]a[/b][b]b[/b]" reads as one bold run: two runs side by side would be written as
    // "**a****b**", which Markdown does not read as two.
    static void AppendNode(std::vector<BBNode>& nodes, BBNode node) {
        const bool style = node.kind == BBNode::Kind::Bold || node.kind == BBNode::Kind::Italic ||
                           node.kind == BBNode::Kind::Underline;
        if (!style || nodes.empty() || nodes.back().kind != node.kind) {
            nodes.push_back(std::move(node));
            return;
        }
        for (BBNode& child : node.children) {
            if (child.kind == BBNode::Kind::Text) {
                AppendText(nodes.back().children, child.text);
            } else {
                AppendNode(nodes.back().children, std::move(child));
            }
        }
    }

    const std::wstring& text_;
    std::array<std::vector<size_t>, kTagCount> closing_;
};

}  // namespace

std::vector<BBNode> ParseBBCode(const std::wstring& text) {
    return Parser(text).Parse();
}

bool IsWebAddress(std::wstring_view address) {
    size_t scheme = StartsWithNoCase(address, L"http://")    ? 7
                    : StartsWithNoCase(address, L"https://") ? 8
                                                             : 0;
    if (scheme == 0 || address.size() == scheme) {
        return false;
    }
    return std::none_of(address.begin(), address.end(),
                        [](wchar_t c) { return c < 0x20 || c == 0x7F; });
}

}  // namespace twk
