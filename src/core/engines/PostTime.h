#pragma once

#include <cstdint>
#include <string>

namespace twk {

// The time a post shows, in seconds since the epoch, taking the board's clock as UTC:
// "2013-03-02T10:45:13+00:00", "23.03.2005, 19:46", "03-23-2005, 07:46 PM",
// "Dec 24 2005, 10:33 AM", and "Today"/"Yesterday" (also in Russian) with a time of day,
// counted from now. 0 when the text holds none of these.
int64_t ParsePostTime(const std::wstring& text, int64_t now);

}  // namespace twk
