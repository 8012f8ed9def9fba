#pragma once

#include <string>
#include <vector>

namespace twk {

// Helpers for the words and addresses of board pages, shared by the engines.

// Text made into one line: every run of white space becomes one space; the ends are trimmed.
std::wstring CollapseWhitespace(const std::wstring& text);

// At most limit characters; a longer text is cut at a space where one is near the end and
// ends with "...".
std::wstring ShortenText(const std::wstring& text, size_t limit);

// Lower case for ASCII and Cyrillic letters: enough for the phrases boards use.
std::wstring LowerText(std::wstring text);

// True when text contains one of the phrases (given in lower case), ignoring letter case.
bool ContainsAnyPhrase(const std::wstring& text, const std::vector<std::wstring>& phrases);

// The number of seconds a text names last ("Please try again in 12 seconds."), or -1.
int SecondsNamed(const std::wstring& text);

// The whole-number value of a query parameter (parameters split at "&" or ";"), or -1.
int NumericQueryParam(const std::wstring& url, const std::wstring& name);

// An address without the session a board writes into its links for visitors without a
// cookie ("sid=", "s=", "PHPSESSID=") and without its fragment: the same topic has the same
// address in every session.
std::wstring WithoutSessionId(const std::wstring& url);

// The forum id a section address names: "f=N", "showforum=N", "fid=N", "board=N", or a
// friendly address with "/forum/N-", "/forums/N-" or "forumdisplay.php?N-". -1 when it names
// none.
int ForumIdOfSection(const std::wstring& url);

// The forum id a posting link carries: "f=N", "fid=N" or "board=N"; -1 when none.
int ForumIdOfLink(const std::wstring& url);

}  // namespace twk
