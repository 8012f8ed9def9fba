#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/FakeForum.h"

namespace twk::test {

// The IPBoard generations the engine drives, as their pages differ.
enum class IPBoardGeneration {
    // Invision Power Board 2.1 to 2.3: "act=Login&CODE=00" links, "UserName" and
    // "PassWord", "CookieDate=1" in the quick sign-in form's action, redirect screens with
    // a META refresh after signing in, out and posting.
    k2,
    // IP.Board 3.0 and 3.1: "section=login" links after a Facebook sign-in link,
    // "username" and "password" on a separate sign-in page, 302 answers.
    k3,
    // IP.Board 3.2 to 3.4 with friendly addresses: "ips_username" and "ips_password" in a
    // sign-in form on every page, forums as H4 headings without "showforum=".
    k34,
};

// An IPBoard on 127.0.0.1 built from the markup real boards serve. It keeps sessions in
// a cookie, hands out per-session form keys, checks what arrives (credentials, absence of
// the remember-me fields, the pressed button, the form key, the User-Agent) and records
// the topics it accepts. The account is kLogin / kPassword unless SetAccount changes it.
class FakeIPBoard : public FakeForum {
public:
    // Ways to make the board differ from the ordinary one; change with Update before the
    // engine runs.
    struct Options {
        bool inline_sign_in = true;     // a sign-in form on the board index
        bool sign_in_page_form = true;  // the sign-in page has its form
        bool start_signed_in = false;   // the first visitor's session is signed in already
        bool refresh_answers = true;    // redirect screens (META refresh) instead of 302
        bool new_topic_link = true;     // the section page offers a new topic
        std::set<std::string> omitted_post_fields;  // left out of the new-topic form
        bool post_refresh_fails = false;            // the answer to a post leads to a 404
        bool reply_link = true;                     // topic pages offer a reply
        std::string failing_target;                 // a request for exactly this target gets 500
        bool button_elements = false;   // the new-topic form draws its buttons as BUTTON
        bool edit_answer_lost = false;  // an edit is stored, then its answer is lost (a 502)
        int members_only_section = 0;   // topics of this section are shown to members only
    };

    static constexpr const wchar_t* kLogin = L"Тестер";
    static constexpr const wchar_t* kPassword = L"s3cret pass&word";
    // The section tests post to.
    static constexpr int kSectionId = 2;
    // Posts on one page of a topic, the boards' default.
    static constexpr int kPostsPerPage = 20;

    FakeIPBoard(IPBoardGeneration generation, uint32_t codePage);
    ~FakeIPBoard() override;

    void Update(const std::function<void(Options&)>& change);

    IPBoardGeneration generation() const { return generation_; }
    std::wstring MainUrl() const;
    std::wstring SectionUrl(int id = kSectionId) const;
    std::wstring TopicUrl(int topicId) const;
    // The address the topic's page links for its page number page (from 1): "st=" counting
    // the posts before it (board 2, IP.Board 3.0), "page=" (IP.Board 3.4).
    std::wstring TopicPageUrl(int topicId, int page) const;
    // The board's name as its pages' TITLE shows it.
    std::wstring BoardTitle() const;
    // A section's name as its link shows it (entities resolved).
    std::wstring SectionTitle(int id) const;

    // Names of the fields the last sign-in form sent (values are not kept: one of them is
    // a password).
    std::vector<std::string> SignInFieldNames() const;
    // How often the board served "sign-in page", "facebook sign-in", "sign-out", "new
    // topic" and "edit" (forms received, previews and refused ones included). Counted before
    // the answer goes out, so a client that has its answer sees the count.
    int Served(const std::string& page) const;
    // Everything the board found wrong in what it received, in words.
    std::vector<std::string> Violations() const;

private:
    struct Session {
        std::string id;
        std::string key;  // the form key ("auth_key" and the sign-out "k")
        bool signed_in = false;
    };
    using Fields = std::multimap<std::string, std::string>;

    void Handle(const httplib::Request& request, httplib::Response& response);
    Session SessionFor(const httplib::Request& request, const Options& options,
                       httplib::Response& response);
    void SetSessionSignedIn(const std::string& id, bool signedIn);
    Options CurrentOptions() const;
    void Violation(const std::string& text);
    void Count(const std::string& page);

    void SignInPost(const Session& session, const Fields& fields, const Options& options,
                    httplib::Response& response);
    void SignOut(Session session, const Fields& query, const Options& options,
                 httplib::Response& response);
    void NewTopicPost(const Session& session, const Fields& fields, const Options& options,
                      httplib::Response& response);
    // Topic pages and editing a topic's first post (FakeIPBoardTopics.cpp).
    void ServeTopic(const Session& session, const Fields& query, const Options& options,
                    httplib::Response& response);
    void ServeEditForm(const Session& session, const Fields& query, const Options& options,
                       httplib::Response& response);
    void EditPost(const Session& session, const Fields& fields, const Options& options,
                  httplib::Response& response);
    // The board's error page: its message, and for a guest the sign-in form.
    void SendError(const Session& session, const Options& options, const std::wstring& message,
                   httplib::Response& response, int status = 200);
    // The board's refusal of an edit of that topic's first post, or empty.
    std::wstring EditRefusalText(int topicId) const;
    // First posts are 1000 + topic id, replies 1000000 + 1000 * topic id + reply number.
    static int TopicOfPost(int postId);
    // A redirect screen with a META refresh, or a 302, to target.
    void Redirect(const std::wstring& target, const Options& options,
                  httplib::Response& response) const;

    // Pages (FakeIPBoardPages.cpp).
    std::wstring Page(const std::wstring& title, const Session& session, const Options& options,
                      const std::wstring& content) const;
    std::wstring UserBar(const Session& session, const Options& options) const;
    std::wstring InlineSignInForm(const Session& session) const;
    std::wstring IndexContent() const;
    std::wstring SignInPageContent(const Session& session, const Options& options,
                                   const std::wstring& error) const;
    std::wstring SectionContent(int id, const Options& options) const;
    std::wstring NewTopicContent(const Session& session, int sectionId, const Options& options,
                                 const std::wstring& preview) const;
    std::wstring TopicContent(const FakeTopic& topic, const Session& session,
                              const Options& options, int page) const;
    std::wstring PostContent(const FakeTopic& topic, size_t index, bool editable,
                             bool locked) const;
    std::wstring Pagination(int topicId, int page, int pages) const;
    std::wstring EditContent(const Session& session, const FakeTopic& topic) const;
    // "act=post&do=" (board 2) or "app=forums&module=post&section=post&do=" (IP.Board 3).
    std::wstring PostHref(const std::wstring& step, const FakeTopic& topic) const;
    std::wstring SectionHref(int id) const;
    std::wstring BoardUrl(const std::string& pathAndQuery) const;

    const IPBoardGeneration generation_;
    // Guarded by mutex_.
    Options options_;
    std::map<std::string, Session> sessions_;
    int next_key_ = 1;
    std::vector<std::string> sign_in_field_names_;
    std::map<std::string, int> served_;
    std::vector<std::string> violations_;
};

}  // namespace twk::test
