#pragma once

// What the Discourse engine's two files (DiscourseEngine.cpp, DiscourseTopics.cpp) share.

namespace twk::discourse {

// Discourse's routes below the site's folder, as its own scripts call them.
struct Routes {
    const wchar_t* basic_info = L"/site/basic-info.json";  // the site's title
    const wchar_t* csrf = L"/session/csrf.json";
    const wchar_t* session = L"/session.json";
    const wchar_t* settings = L"/site/settings.json";  // the client site settings
    const wchar_t* site = L"/site.json";               // the categories
    const wchar_t* posts = L"/posts.json";
    const wchar_t* topic = L"/t/";              // + id + ".json"; + slug + "/" + id + ".json"
    const wchar_t* post = L"/posts/";           // + id + ".json"
    const wchar_t* newest = L"/l/latest.json";  // after a category's path
};
inline constexpr Routes kRoutes{};

inline constexpr const char* kFormType = "application/x-www-form-urlencoded; charset=UTF-8";

// The pause before the topic leaves, as for the other scripts.
inline constexpr int kPauseBeforeSending = 10;

}  // namespace twk::discourse
