// A message body through the BBCode to Markdown conversion for both boards. Besides not
// crashing, the Markdown must stay within a bound of the body's length and be built only
// of what the converter means to write: every unescaped '[', ']' and '<' belongs to a link,
// an image, an autolink or (on Discourse) a BBCode mark, every link goes to an http or
// https address, and a bold pair around bracket-free text leaves no tag behind.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzInput.h"
#include "text/MarkdownText.h"

namespace {

using twk::MarkdownFlavour;

[[noreturn]] void Fail(const char* what, const std::wstring& bbcode, const std::wstring& markdown) {
    std::fprintf(stderr, "%s\nBBCode: %s\nMarkdown: %s\n", what, twk::WideToUtf8(bbcode).c_str(),
                 twk::WideToUtf8(markdown).c_str());
    std::abort();
}

bool StartsWithWebScheme(std::wstring_view text) {
    std::wstring lower(text.substr(0, 8));
    for (wchar_t& c : lower) {
        c = (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c;
    }
    return lower.rfind(L"http://", 0) == 0 || lower.rfind(L"https://", 0) == 0;
}

constexpr std::array<std::wstring_view, 6> kBBCodeMarks = {L"[b]",  L"[/b]", L"[i]",
                                                           L"[/i]", L"[u]",  L"[/u]"};

// Reads the Markdown back the way the converter writes it; returns the fault or nullptr.
const char* StructureFault(const std::wstring& md, MarkdownFlavour flavour) {
    int open_links = 0;
    std::array<int, 3> open_marks = {0, 0, 0};
    for (size_t i = 0; i < md.size(); ++i) {
        const std::wstring_view rest = std::wstring_view(md).substr(i);
        switch (md[i]) {
            case L'\\':
                if (i + 1 == md.size()) {
                    return "a backslash ends the text";
                }
                ++i;
                break;
            case L'<': {
                size_t end = md.find(L'>', i);
                if (!StartsWithWebScheme(rest.substr(1)) || end == std::wstring::npos ||
                    md.find_first_of(L" \t\n<", i + 1) < end) {
                    return "a '<' that is no http autolink";
                }
                i = end;
                break;
            }
            case L'[': {
                auto mark =
                    std::find_if(kBBCodeMarks.begin(), kBBCodeMarks.end(),
                                 [&](std::wstring_view m) { return rest.rfind(m, 0) == 0; });
                // "[b](" is a link whose text is "b": Discourse reads links first.
                if (flavour == MarkdownFlavour::Discourse && mark != kBBCodeMarks.end() &&
                    rest.substr(mark->size(), 1) != L"(") {
                    const size_t index = static_cast<size_t>(mark - kBBCodeMarks.begin());
                    open_marks[index / 2] += index % 2 == 0 ? 1 : -1;
                    if (open_marks[index / 2] < 0) {
                        return "a BBCode mark closes before it opens";
                    }
                    i += mark->size() - 1;
                    break;
                }
                ++open_links;
                break;
            }
            case L']': {
                if (open_links == 0 || rest.rfind(L"](", 0) != 0) {
                    return "a ']' that closes no link";
                }
                --open_links;
                size_t dest = i + 2;
                if (!StartsWithWebScheme(std::wstring_view(md).substr(dest + (md[dest] == L'<')))) {
                    return "a link to something other than http or https";
                }
                // Skip the destination: escapes count inside it, '>' ends a pointy one.
                const bool pointy = md[dest] == L'<';
                size_t j = dest + (pointy ? 1 : 0);
                while (j < md.size() && md[j] != (pointy ? L'>' : L')') && md[j] != L'\n') {
                    j += md[j] == L'\\' ? 2 : 1;
                }
                if (j >= md.size() || md[j] == L'\n' ||
                    (pointy && (j + 1 >= md.size() || md[j + 1] != L')'))) {
                    return "a link destination that does not end";
                }
                i = pointy ? j + 1 : j;
                break;
            }
            default:
                break;
        }
    }
    if (open_links != 0) {
        return "a '[' that opens no link";
    }
    if (open_marks != std::array<int, 3>{0, 0, 0}) {
        return "a BBCode mark left open";
    }
    return nullptr;
}

void Check(const std::wstring& bbcode, MarkdownFlavour flavour) {
    const std::wstring md = twk::BBCodeToMarkdown(bbcode, flavour);
    if (md.size() > 12 * bbcode.size() + 16) {
        Fail("the Markdown outgrows its bound", bbcode, md);
    }
    if (md.find(L'\r') != std::wstring::npos || md.find(L"\n\n\n") != std::wstring::npos) {
        Fail("a CR or more than one blank line", bbcode, md);
    }
    if (!md.empty() && (md.front() == L'\n' || md.back() == L'\n')) {
        Fail("a line break at an end", bbcode, md);
    }
    if (md.find(L"\n ") != std::wstring::npos || md.find(L"\n\t") != std::wstring::npos ||
        (!md.empty() && (md.front() == L' ' || md.front() == L'\t'))) {
        Fail("an indented line", bbcode, md);
    }
    if (const char* fault = StructureFault(md, flavour)) {
        Fail(fault, bbcode, md);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    twk::fuzz::FuzzInput input(data, size);
    const MarkdownFlavour flavour =
        (input.Byte() & 1) != 0 ? MarkdownFlavour::NodeBB : MarkdownFlavour::Discourse;
    const std::wstring body = twk::Utf8ToWide(input.Rest());
    Check(body, flavour);

    // Around text without brackets a bold pair always matches, and NodeBB has no other way
    // to write it than **: not one bracket may be left.
    std::wstring plain;
    for (wchar_t c : body) {
        if (c != L'[' && c != L']' && c != L'\\') {
            plain += c;
        }
    }
    if (!plain.empty()) {
        const std::wstring bold = L"[B]" + plain + L"[/b]";
        Check(bold, flavour);
        const std::wstring md = twk::BBCodeToMarkdown(bold, MarkdownFlavour::NodeBB);
        if (md.find_first_of(L"[]") != std::wstring::npos) {
            Fail("a bold pair left a bracket", bold, md);
        }
    }
    return 0;
}
