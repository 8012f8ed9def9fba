#pragma once

// What the NodeBB engine's two files (NodeBBEngine.cpp, NodeBBTopics.cpp) share.

#include <nlohmann/json.hpp>
#include <string>

#include "engines/JsonEngine.h"
#include "web/Charsets.h"

namespace twk::nodebb {

// The pre-send pause, as a person takes to write the topic.
inline constexpr int kPauseBeforeSending = 10;

// A signed-in member's token belongs to the session; a write without it is refused with
// a bare "Forbidden".
inline bool IsTokenRefusal(int status, const std::string& body) {
    return status == 403 && body.rfind("Forbidden", 0) == 0;
}

inline std::wstring Title(const nlohmann::json& item) {
    // "titleRaw" is the title as typed; "title" has HTML entities for <, > and &.
    if (item.contains("titleRaw") && item["titleRaw"].is_string()) {
        return JsonText(item["titleRaw"]);
    }
    return DecodeEntities(JsonText(item.value("title", nlohmann::json())));
}

}  // namespace twk::nodebb
