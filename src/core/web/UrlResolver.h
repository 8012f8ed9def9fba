#pragma once

#include <string>

namespace twk {

// Resolves a reference found on a page or in a Location header against the address it is
// relative to, as RFC 3986 section 5 does (dot segments removed, the base's query and
// fragment dropped where the reference replaces them).
//
// escape false keeps the reference's characters as they are (spaces, non-ASCII): links and
// form actions are shown and sent the way the page wrote them. escape true writes
// characters that may not appear in an address (controls, space, non-ASCII as UTF-8 bytes,
// and " < > \ ^ ` { | }) as %XX escapes in the path, query and fragment; escapes that are
// already there stay. That is the flavour for redirect targets.
//
// Empty when the two cannot be combined: the reference has no scheme and the base is not
// an absolute address.
std::wstring ResolveReference(const std::wstring& base, const std::wstring& relative, bool escape);

// True when text starts with a scheme ("http:", "mailto:"...).
bool HasUrlScheme(const std::wstring& text);

}  // namespace twk
