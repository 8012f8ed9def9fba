#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engines/DiscourseAnswer.h"
#include "support/TempDir.h"

namespace twk::discourse {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::string Saved(const std::string& name) {
    return test::ReadFixture("discourse/saved/" + name + ".json");
}

struct SignInCase {
    const char* file;
    int status;
    const wchar_t* retry_after;
    SignInAnswer::Kind kind;
    const wchar_t* words;
    int wait = -1;
};

TEST(DiscourseSavedAnswerTest, SignInAnswersAreToldApart) {
    const SignInCase cases[] = {
        {"session-ok", 200, L"", SignInAnswer::kSignedIn, L""},
        {"session-wrong-password", 200, L"", SignInAnswer::kRefused,
         L"Incorrect username, email or password"},
        {"session-not-activated", 200, L"", SignInAnswer::kRefused,
         L"You can't log in yet. We sent an activation email to you. Please follow the "
         L"instructions in the email to activate your account."},
        {"session-not-approved", 200, L"", SignInAnswer::kRefused,
         L"Your account hasn't been approved yet. You will be notified by email when you are "
         L"ready to log in."},
        {"session-suspended", 200, L"", SignInAnswer::kRefused,
         L"Account suspended until January 12, 2027: spam"},
        {"session-password-expired", 200, L"", SignInAnswer::kPasswordExpired, L"expired"},
        {"session-2fa-required", 200, L"", SignInAnswer::kSecondFactor,
         L"The selected two-factor method is invalid."},
        {"session-2fa-invalid-code", 200, L"", SignInAnswer::kSecondFactor,
         L"Invalid authentication code. Each code can only be used once."},
        {"session-local-login-disabled", 403, L"", SignInAnswer::kSingleSignOnOnly,
         L"You are not permitted to view the requested resource."},
        {"session-rate-limited", 429, L"42", SignInAnswer::kRateLimited,
         L"You\u2019ve performed this action too many times. Please wait 42 seconds before "
         L"trying again.",
         42},
        {"bad-csrf", 403, L"", SignInAnswer::kBadCsrf, L"[\"BAD CSRF\"]"},
        {"read-only", 503, L"", SignInAnswer::kReadOnly,
         L"The site is in read only mode. Interactions are disabled."},
        // The answer of another request is no sign-in.
        {"logout-xhr", 200, L"", SignInAnswer::kUnknown, L""},
    };
    for (const SignInCase& row : cases) {
        SCOPED_TRACE(row.file);
        const SignInAnswer answer = ReadSignInAnswer(row.status, Saved(row.file), row.retry_after);
        EXPECT_EQ(answer.kind, row.kind);
        EXPECT_EQ(answer.words, row.words);
        EXPECT_EQ(answer.wait_seconds, row.wait);
    }
}

TEST(DiscourseSavedAnswerTest, RateLimitWaitComesFromTheBodyOrElseTheHeader) {
    // extras.wait_seconds comes first; a 429 without it (or without JSON: a proxy's own
    // limit) leaves the Retry-After header.
    EXPECT_EQ(ReadSignInAnswer(429, Saved("session-rate-limited"), L"").wait_seconds, 42);
    EXPECT_EQ(ReadPostAnswer(429, Saved("posts-create-rate-limited"), L"99").wait_seconds, 7);
    EXPECT_EQ(ReadSignInAnswer(429, R"({"errors":["Slow down"]})", L" 12 ").wait_seconds, 12);
    EXPECT_EQ(ReadSignInAnswer(429, "<html>Too Many Requests</html>", L"5").wait_seconds, 5);
    EXPECT_EQ(ReadPostAnswer(429, "<html>Too Many Requests</html>", L"5").kind,
              PostAnswer::kRateLimited);
    EXPECT_EQ(ReadPostAnswer(429, "{}", L"Wed, 21 Oct 2026 07:28:00 GMT").wait_seconds, -1);
}

struct PostCase {
    const char* file;
    int status;
    PostAnswer::Kind kind;
    const wchar_t* words;
    long long topic_id = -1;
    const wchar_t* slug = L"";
    int wait = -1;
};

TEST(DiscourseSavedAnswerTest, NewTopicAnswersAreToldApart) {
    const PostCase cases[] = {
        {"posts-create-ok", 200, PostAnswer::kCreated, L"", 21,
         L"1412a036bfe-6480718525e-9f71f98ef46"},
        {"posts-create-ok-nested", 200, PostAnswer::kCreated, L"", 21,
         L"1412a036bfe-6480718525e-9f71f98ef46"},
        {"posts-create-ok-2016", 200, PostAnswer::kCreated, L"", 17,
         L"b793cb62-e23e-c2da-7e55-9f332f3963d0"},
        // Queued: a 200 with success true, and no topic yet.
        {"posts-create-enqueued", 200, PostAnswer::kEnqueued, L""},
        {"posts-create-enqueued-2x", 200, PostAnswer::kEnqueued, L"new topics unless trust level"},
        {"posts-create-body-too-short", 422, PostAnswer::kInvalid,
         L"Body is too short (minimum is 20 characters)"},
        {"posts-create-category-blank", 422, PostAnswer::kInvalid, L"Category can't be blank"},
        {"posts-create-title-taken", 422, PostAnswer::kInvalid, L"Title has already been used"},
        {"posts-create-title-too-long", 422, PostAnswer::kInvalid,
         L"Title is too long (maximum is 255 characters)"},
        {"posts-create-title-too-short", 422, PostAnswer::kInvalid,
         L"Title is too short (minimum is 15 characters)"},
        {"posts-create-title-unclear", 422, PostAnswer::kInvalid,
         L"Title seems unclear, is it a complete sentence?"},
        {"posts-create-too-similar", 422, PostAnswer::kInvalid,
         L"Body is too similar to what you recently posted"},
        {"posts-create-rate-limited", 429, PostAnswer::kRateLimited,
         L"You\u2019re creating topics a bit too quickly. Please wait 7 seconds before trying "
         L"again.",
         -1, L"", 7},
        {"posts-create-first-day-limit", 429, PostAnswer::kRateLimited,
         L"We appreciate your enthusiasm! That said, for the safety of our community, "
         L"you\u2019ve reached the maximum number of topics a new user can create on their "
         L"first day. Please wait 23 hours and you\u2019ll be able to create more new topics.",
         -1, L"", 84000},
        {"posts-create-forbidden", 403, PostAnswer::kForbidden,
         L"You are not permitted to view the requested resource."},
        {"posts-create-invalid-category", 400, PostAnswer::kNoCategory,
         L"You supplied invalid parameters to the request: category"},
        {"not-logged-in", 403, PostAnswer::kSignedOut, L"You need to be logged in to do that."},
        {"bad-csrf", 403, PostAnswer::kBadCsrf, L"[\"BAD CSRF\"]"},
        {"read-only", 503, PostAnswer::kReadOnly,
         L"The site is in read only mode. Interactions are disabled."},
    };
    for (const PostCase& row : cases) {
        SCOPED_TRACE(row.file);
        const PostAnswer answer = ReadPostAnswer(row.status, Saved(row.file), L"");
        EXPECT_EQ(answer.kind, row.kind);
        EXPECT_EQ(answer.words, row.words);
        EXPECT_EQ(answer.topic_id, row.topic_id);
        EXPECT_EQ(answer.topic_slug, row.slug);
        EXPECT_EQ(answer.wait_seconds, row.wait);
    }
}

TEST(DiscourseSavedAnswerTest, AnswersThatAreNotDiscoursesAreLost) {
    // A gateway's page, an empty body, a post without its topic: the board may have stored
    // the topic all the same.
    EXPECT_EQ(ReadPostAnswer(502, "<html><body>502 Bad Gateway</body></html>", L"").kind,
              PostAnswer::kLost);
    EXPECT_EQ(ReadPostAnswer(200, "", L"").kind, PostAnswer::kLost);
    EXPECT_EQ(ReadPostAnswer(200, R"({"action":"create_post","success":true})", L"").kind,
              PostAnswer::kLost);
    EXPECT_EQ(ReadPostAnswer(500, R"({"errors":["Oops"]})", L"").kind, PostAnswer::kLost);
    // A refusal of another parameter is no missing category.
    EXPECT_EQ(ReadPostAnswer(400,
                             R"({"errors":["You supplied invalid parameters to the request: )"
                             R"(tags"],"error_type":"invalid_parameters"})",
                             L"")
                  .kind,
              PostAnswer::kInvalidParameters);
}

TEST(DiscourseSavedAnswerTest, CsrfTokenAndSiteTitle) {
    EXPECT_EQ(
        ReadCsrf(Saved("session-csrf")),
        "q0tJ7yG3mVxCkT9uW2nZbA5rLpE8sHdF1oYiUcRwKjN4vMgQx6zB3eTaS7hD0lPfXy2uV5oR9cWqK1nJmL8sAg");
    // The token goes into a header line: one with a line break in it is no token.
    EXPECT_EQ(ReadCsrf("{\"csrf\":\"abc\\r\\nX-Evil: 1\"}"), "");
    EXPECT_EQ(ReadCsrf(Saved("site")), "");

    Settings settings;
    ReadSettings(Saved("site-basic-info"), settings);
    EXPECT_EQ(settings.title, L"Example Forum");
    // The basic information publishes no limits.
    EXPECT_EQ(settings.max_title, -1);
    EXPECT_EQ(settings.min_first_post, -1);
    EXPECT_FALSE(settings.allow_uncategorized);
}

TEST(DiscourseSavedAnswerTest, SiteListsEveryCategoryWithItsPermissionAndPath) {
    Site site;
    ASSERT_TRUE(ReadSite(Saved("site"), site));

    EXPECT_EQ(site.uncategorized_id, 1);
    std::vector<std::wstring> paths;
    std::vector<std::wstring> open;
    for (const Category& category : site.categories) {
        paths.push_back(CategoryPath(site, category));
        if (category.may_create) {
            open.push_back(category.name);
        }
    }
    EXPECT_THAT(paths,
                ElementsAre(L"/c/uncategorized/1", L"/c/general/4", L"/c/general/help/7",
                            L"/c/announcements/5", L"/c/site-feedback/2", L"/c/members-only/6"));
    // permission null: read and reply only.
    EXPECT_THAT(open, ElementsAre(L"General", L"Help", L"Site Feedback", L"Members Only"));
}

TEST(DiscourseSavedAnswerTest, CategoriesPageIsNotTheSiteList) {
    // /categories.json lists only the top level, below "category_list": the engine reads
    // /site.json, and an answer of another shape is not taken for it.
    Site site;
    EXPECT_FALSE(ReadSite(Saved("categories"), site));
    EXPECT_FALSE(ReadSite(Saved("categories-2013-anonymous"), site));
    EXPECT_THAT(site.categories, IsEmpty());
}

TEST(DiscourseSavedAnswerTest, StoredTitlesMatchTheSubjectAsDiscoursePrettifiesIt) {
    const struct {
        const wchar_t* stored;
        const wchar_t* subject;
        bool same;
    } cases[] = {
        {L"Hello there, first topic", L"hello there, first topic", true},
        {L"Проверка связи", L"проверка  связи ", true},
        {L"École ouverte", L"école ouverte", true},
        {L"Release notes", L"Release notes...", true},
        {L"Is it out?", L"Is it out???", true},
        {L"新しい話題", L"新しい話題", true},
        {L"Hello there, second topic", L"Hello there, first topic", false},
        {L"", L"", false},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(SameTitle(row.stored, row.subject), row.same) << row.subject;
    }
}

}  // namespace
}  // namespace twk::discourse
