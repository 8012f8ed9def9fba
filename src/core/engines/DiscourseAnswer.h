#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engines/ForumEngine.h"

namespace twk::discourse {

// What Discourse's JSON answers say, read without a connection: DiscourseEngine asks and
// these functions read, so that the saved answers and a fuzzer reach them directly. Every
// function takes any bytes; text that is not the expected JSON gives the "unknown" reading,
// never an exception. Words are the board's own, not yet cleaned for a result.

// POST /session. Every refused sign-in is a 200 with "error" (and a "reason" for some);
// the site's gates (CSRF, rate limit, single sign-on only) answer with an error status.
struct SignInAnswer {
    enum Kind {
        kSignedIn,
        kRefused,           // wrong password, not activated, not approved, suspended, IP
        kPasswordExpired,   // the board's only word for it is "expired"
        kSecondFactor,      // the account needs a code or a security key as well
        kSingleSignOnOnly,  // no password sign-in on this site (403 invalid_access)
        kRateLimited,
        kBadCsrf,
        kReadOnly,
        kUnknown,
    };
    Kind kind = kUnknown;
    std::wstring words;
    int wait_seconds = -1;  // kRateLimited: extras.wait_seconds, else Retry-After; -1: none
    bool json = false;      // the answer was JSON at all
};
SignInAnswer ReadSignInAnswer(int status, std::string_view body, const std::wstring& retryAfter);

// POST /posts.
struct PostAnswer {
    enum Kind {
        kCreated,
        kEnqueued,  // held for a moderator: nothing is public yet
        kInvalid,   // 422: the board's validations refused title or body
        kRateLimited,
        kForbidden,          // 403 invalid_access: no right to start topics there
        kNoCategory,         // 400 invalid_parameters naming the category
        kInvalidParameters,  // 400 invalid_parameters naming something else
        kSignedOut,          // 403 not_logged_in
        kBadCsrf,
        kReadOnly,
        kRefused,  // any other refusal in Discourse's JSON error shape
        kLost,     // no answer of Discourse's: a proxy's page, an error page
    };
    Kind kind = kLost;
    std::wstring words;
    int wait_seconds = -1;
    long long topic_id = -1;  // kCreated
    std::wstring topic_slug;  // kCreated
};
PostAnswer ReadPostAnswer(int status, std::string_view body, const std::wstring& retryAfter);

// The words of any answer in Discourse's error shape ("errors" joined, else "error").
std::wstring ReadWords(std::string_view body);

// GET /session/csrf.json: the token, or empty (also when it holds characters no token has).
std::string ReadCsrf(std::string_view body);

// A category of /site.json.
struct Category {
    long long id = -1;
    long long parent_id = -1;
    std::wstring name;
    std::wstring slug;
    bool may_create = false;  // permission == 1: the account may start topics there
};
struct Site {
    std::vector<Category> categories;
    long long uncategorized_id = -1;
};
// GET /site.json; false when the answer has no category list.
bool ReadSite(std::string_view body, Site& site);
// The category's path below the site: "/c/<slug>/<id>", "/c/<parent>/<slug>/<id>".
std::wstring CategoryPath(const Site& site, const Category& category);
const Category* FindCategory(const Site& site, long long id);

// What a site publishes of its settings (/site/basic-info.json, /site/settings.json);
// -1 for a limit it does not publish.
struct Settings {
    std::wstring title;
    int min_title = -1;
    int max_title = -1;
    int min_first_post = -1;
    int max_post = -1;
    bool allow_uncategorized = false;
};
// Takes what body publishes into settings and leaves the rest as it was.
void ReadSettings(std::string_view body, Settings& settings);

// PUT /posts/<id>.json and PUT /t/<slug>/<id>.json, the two halves of an edit: read as a
// new post's answer, kCreated meaning the site took it (a 200 with the post or the topic).
PostAnswer ReadEditAnswer(int status, std::string_view body, const std::wstring& retryAfter);

// A post of a topic view (post_stream.posts).
struct TopicPost {
    long long id = -1;
    long long post_number = -1;
    std::wstring username;
    int64_t created_at = 0;  // seconds since 1970; 0 when not given
    bool yours = false;      // the signed-in account's own post
};

// GET /t/<id>.json and /t/<id>/<post_number>.json: the topic and the posts the answer
// carries (the first twenty, or those around the post number).
struct Topic {
    long long id = -1;
    std::wstring title;
    std::wstring slug;
    long long posts_count = -1;  // the first post included
    long long highest_post_number = -1;
    std::vector<TopicPost> posts;
};
bool ReadTopic(std::string_view body, Topic& topic);
// The post of topic with the highest number; null when it carries none.
const TopicPost* NewestPost(const Topic& topic);
// The topic id an address names: /t/<slug>/<id>[/<post_number>] or /t/<id>; -1 when none.
long long TopicIdOf(const std::wstring& url);

// GET /c/.../l/latest.json: topic_list.topics, addressed below root.
TopicList ReadTopicList(std::string_view body, const std::wstring& root);

// The address of a topic below root.
std::wstring TopicAddress(const std::wstring& root, const std::wstring& slug, long long id);

// Whether Discourse stored subject as storedTitle: it capitalises the first letter,
// writes an all-capital title in small letters, folds runs of space, "!!" and "??", and
// drops the periods at the end.
bool SameTitle(const std::wstring& storedTitle, const std::wstring& subject);

// What Discourse counts of a title or a body: the text trimmed, each run of white space
// one space.
std::wstring CountedText(const std::wstring& text);

}  // namespace twk::discourse
