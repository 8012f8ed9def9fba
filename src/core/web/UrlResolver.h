#pragma once

#include <string>
#include <string_view>

namespace twk {

// Resolves a URL reference against an absolute base URL the way RFC 3986 (section 5)
// describes, with the leniency of browsers: tabs and line breaks anywhere and blanks at
// either end are dropped, and a reference whose scheme equals the base's ("http:x.php")
// is taken as relative. Dot segments are removed from the result's path, the scheme is
// written in lower case, and an http or https URL with an empty path gets "/". An empty
// reference gives the base without its fragment.
//
// With escape, characters that may not appear in a URL are percent-encoded in the
// result's path, query and fragment: controls, space, non-ASCII characters (as UTF-8
// bytes), the characters " < > \ ^ ` { | } and a "%" that does not start an escape.
// Existing escapes are kept, so escaping twice changes nothing. Without escape the text
// is kept as it is (for links and form actions, which are escaped when requested).
//
// Empty when the base is not an absolute URL.
std::wstring ResolveUrl(std::wstring_view base, std::wstring_view reference, bool escape);

}  // namespace twk
