#include "support/FakeIPBoard.h"

#include <algorithm>
#include <charconv>

#include "engines/ForumEngine.h"
#include "text/Unicode.h"
#include "web/Charsets.h"

namespace twk::test {

namespace {

// Themes that draw the form's buttons as BUTTON elements, named and valued like the inputs.
std::wstring ButtonsAsElements(std::wstring page, const FakeIPBoard::Options& options) {
    if (!options.button_elements) {
        return page;
    }
    for (const std::wstring name : {L"dosubmit", L"preview"}) {
        const std::wstring start = L"<input type=\"submit\" name=\"" + name + L"\"";
        for (size_t at = page.find(start); at != std::wstring::npos; at = page.find(start, at)) {
            size_t end = page.find(L"/>", at);
            page.replace(end, 2, L">Press</button>");
            page.replace(at, start.size(), L"<button type=\"submit\" name=\"" + name + L"\"");
        }
    }
    return page;
}

}  // namespace
namespace {

std::string Value(const std::multimap<std::string, std::string>& fields, const std::string& name) {
    auto it = fields.find(name);
    return it == fields.end() ? std::string() : it->second;
}

bool Has(const std::multimap<std::string, std::string>& fields, const std::string& name) {
    return fields.count(name) > 0;
}

int Number(const std::string& text) {
    int value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

}  // namespace

FakeIPBoard::FakeIPBoard(IPBoardGeneration generation, uint32_t codePage)
    : FakeForum(codePage), generation_(generation) {
    // IP.Board 3.0 offered its sign-in form on a page of its own; 3.4 hides one in every
    // page. Board 2 answered with redirect screens, IP.Board 3 with 302.
    options_.inline_sign_in = generation != IPBoardGeneration::k3;
    options_.refresh_answers = generation == IPBoardGeneration::k2;
    SetAccount(kLogin, kPassword);
    auto handler = [this](const httplib::Request& request, httplib::Response& response) {
        Handle(request, response);
    };
    server_.Get(".*", handler);
    server_.Post(".*", handler);
    Start();
}

FakeIPBoard::~FakeIPBoard() {
    Stop();
}

void FakeIPBoard::Update(const std::function<void(Options&)>& change) {
    std::lock_guard<std::mutex> lock(mutex_);
    change(options_);
}

FakeIPBoard::Options FakeIPBoard::CurrentOptions() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return options_;
}

std::vector<std::string> FakeIPBoard::SignInFieldNames() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return sign_in_field_names_;
}

std::vector<std::string> FakeIPBoard::Violations() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return violations_;
}

int FakeIPBoard::Served(const std::string& page) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = served_.find(page);
    return it == served_.end() ? 0 : it->second;
}

void FakeIPBoard::Count(const std::string& page) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++served_[page];
}

void FakeIPBoard::Violation(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    violations_.push_back(text);
}

FakeIPBoard::Session FakeIPBoard::SessionFor(const httplib::Request& request,
                                             const Options& options, httplib::Response& response) {
    std::string id = SessionOf(request);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = sessions_.find(id);
        if (it != sessions_.end()) {
            return it->second;
        }
    }
    // A browser without the cookie, or with one the board no longer knows: a guest, unless
    // the board plays a session that a previous run left signed in.
    Session session;
    session.id = OpenSession(response);
    std::lock_guard<std::mutex> lock(mutex_);
    session.key = "880ea6a14ea49e853634fbdc5015" + std::to_string(1000 + next_key_++);
    session.signed_in = sessions_.empty() && options.start_signed_in;
    sessions_[session.id] = session;
    return session;
}

void FakeIPBoard::SetSessionSignedIn(const std::string& id, bool signedIn) {
    SetSignedIn(id, signedIn);
    std::lock_guard<std::mutex> lock(mutex_);
    sessions_[id].signed_in = signedIn;
}

void FakeIPBoard::Handle(const httplib::Request& request, httplib::Response& response) {
    const Options options = CurrentOptions();
    std::string agent = request.get_header_value("User-Agent");
    if (agent != WideToUtf8(DefaultUserAgent)) {
        Violation("a request with the User-Agent \"" + agent + "\"");
    }
    if (!options.failing_target.empty() && request.target == options.failing_target) {
        response.status = 500;
        response.set_content("<html><body>Internal Server Error</body></html>", "text/html");
        return;
    }

    Session session = SessionFor(request, options, response);
    size_t question = request.target.find('?');
    Fields query = ParseFormFields(question == std::string::npos
                                       ? std::string_view()
                                       : std::string_view(request.target).substr(question + 1));
    const bool board2 = generation_ == IPBoardGeneration::k2;

    if (request.method == "POST") {
        Fields fields = ParseFormFields(request.body);
        bool signIn = board2
                          ? Value(query, "act") == "Login" && Value(query, "CODE") == "01"
                          : Value(query, "section") == "login" && Value(query, "do") == "process";
        bool newTopic = board2 ? Value(fields, "act") == "Post" && Value(fields, "CODE") == "01"
                               : Value(fields, "do") == "new_post_do";
        bool edit = board2 ? Value(fields, "act") == "Post" && Value(fields, "CODE") == "09"
                           : Value(fields, "do") == "edit_post_do";
        if (signIn) {
            SignInPost(session, fields, options, response);
        } else if (newTopic) {
            NewTopicPost(session, fields, options, response);
        } else if (edit) {
            EditPost(session, fields, options, response);
        } else {
            response.status = 404;
        }
        return;
    }

    auto send = [&](const std::wstring& title, const std::wstring& content) {
        SendPage(response, Page(title, session, options, content));
    };
    const std::wstring board = BoardTitle();
    int sectionId = 0;
    if (generation_ == IPBoardGeneration::k34 && request.path.rfind("/forum/forum/", 0) == 0) {
        sectionId = Number(request.path.substr(13));
    } else if (request.path != "/forum/index.php") {
        response.status = 404;
        return;
    } else if (Has(query, "showforum")) {
        sectionId = Number(Value(query, "showforum"));
    }
    if (sectionId != 0) {
        send(board + L" -> " + SectionTitle(sectionId), SectionContent(sectionId, options));
        return;
    }

    if (Has(query, "showtopic")) {
        ServeTopic(session, query, options, response);
        return;
    }

    bool signInPage = board2 ? Value(query, "act") == "Login" && Value(query, "CODE") == "00"
                             : Value(query, "section") == "login" && !Has(query, "do");
    bool signOut = board2 ? Value(query, "act") == "Login" && Value(query, "CODE") == "03"
                          : Value(query, "section") == "login" && Value(query, "do") == "logout";
    bool newTopic = board2 ? Value(query, "act") == "post" && Value(query, "do") == "new_post"
                           : Value(query, "module") == "post" && Value(query, "do") == "new_post";
    if (signInPage && Has(query, "serviceClick")) {
        // The Facebook sign-in: a hand-over to another site, without the board's form.
        Count("facebook sign-in");
        send(L"Facebook - " + board, L"<p>Redirecting you to Facebook&hellip;</p>\n");
    } else if (signInPage) {
        Count("sign-in page");
        send(L"Sign In - " + board, SignInPageContent(session, options, L""));
    } else if (signOut) {
        Count("sign-out");
        SignOut(session, query, options, response);
    } else if (Value(query, "do") == "edit_post") {
        ServeEditForm(session, query, options, response);
    } else if (newTopic) {
        if (!session.signed_in) {
            send(L"Error - " + board,
                 L"<p class='message error'>Sorry, you must be signed in "
                 L"to start a topic.</p>\n");
        } else {
            send(L"Start New Topic - " + board,
                 ButtonsAsElements(
                     NewTopicContent(session, Number(Value(query, "f")), options, L""), options));
        }
    } else {
        send(board, IndexContent());
    }
}

void FakeIPBoard::SignInPost(const Session& session, const Fields& fields, const Options& options,
                             httplib::Response& response) {
    std::vector<std::string> names;
    for (const auto& field : fields) {
        names.push_back(field.first);
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        sign_in_field_names_ = names;
    }
    for (const char* rememberMe : {"rememberMe", "CookieDate"}) {
        if (Has(fields, rememberMe)) {
            Violation(std::string("the sign-in carried the remember-me field ") + rememberMe);
        }
    }
    std::string loginName = "username";
    std::string passwordName = "password";
    if (generation_ == IPBoardGeneration::k2) {
        loginName = "UserName";
        passwordName = "PassWord";
    } else if (generation_ == IPBoardGeneration::k34) {
        loginName = "ips_username";
        passwordName = "ips_password";
    }
    if (!Has(fields, loginName) || !Has(fields, passwordName)) {
        Violation("the sign-in lacked " + loginName + " or " + passwordName);
    }
    if (generation_ != IPBoardGeneration::k2 && Value(fields, "auth_key") != session.key) {
        Violation("the sign-in carried a wrong auth_key");
    }
    if (!CheckCredentials(Value(fields, loginName), Value(fields, passwordName))) {
        SendPage(response,
                 Page(L"Sign In - " + BoardTitle(), session, options,
                      SignInPageContent(session, options,
                                        L"Username or password incorrect. Please try again.")));
        return;
    }
    // Like the real boards, a new session cookie for the member.
    Session member;
    member.id = OpenSession(response);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        member.key = "9d4e1e23bd5b727046a9e3b4b7db" + std::to_string(1000 + next_key_++);
        sessions_[member.id] = member;
    }
    SetSessionSignedIn(member.id, true);
    Redirect(MainUrl(), options, response);
}

void FakeIPBoard::SignOut(Session session, const Fields& query, const Options& options,
                          httplib::Response& response) {
    if (Value(query, "k") != session.key) {
        Violation("a sign-out with a wrong key");
    } else {
        SetSessionSignedIn(session.id, false);
    }
    Redirect(MainUrl(), options, response);
}

void FakeIPBoard::NewTopicPost(const Session& session, const Fields& fields, const Options& options,
                               httplib::Response& response) {
    Count("new topic");
    const std::wstring board = BoardTitle();
    auto refuse = [&](const std::string& violation, const std::wstring& message) {
        Violation(violation);
        SendPage(response, Page(L"Error - " + board, session, options,
                                L"<p class='message error'>" + message + L"</p>\n"));
    };
    if (!session.signed_in) {
        refuse("a new topic from a session that is not signed in", L"You must be signed in.");
        return;
    }
    if (Value(fields, "auth_key") != session.key) {
        refuse("a new topic with a wrong auth_key", L"The security key did not match.");
        return;
    }
    bool dosubmit = Has(fields, "dosubmit");
    bool preview = Has(fields, "preview");
    if (dosubmit == preview) {
        refuse(dosubmit ? "a new topic with both dosubmit and preview pressed"
                        : "a new topic without a pressed button",
               L"Please choose to post or to preview.");
        return;
    }
    int sectionId = Number(Value(fields, "f"));
    if (preview) {
        // A preview shows the post and the form again and stores nothing.
        if (options.omitted_post_fields.count("dosubmit") == 0) {
            Violation("preview pressed in a form that has dosubmit");
        }
        SendPage(response,
                 Page(L"Post Preview - " + board, session, options,
                      NewTopicContent(session, sectionId, options, Decode(Value(fields, "Post")))));
        return;
    }

    FakeTopic topic;
    topic.section = Value(fields, "f");
    topic.subject = Decode(Value(fields, "TopicTitle"));
    topic.body = Decode(Value(fields, "Post"));
    topic.pressed_button = "dosubmit";
    topic.fields = fields;
    if (topic.subject.empty() || topic.body.empty()) {
        SendPage(response, Page(L"Error - " + board, session, options,
                                L"<p class='message error'>You must enter a topic title and a "
                                L"post.</p>\n"));
        return;
    }
    int id = AddTopic(topic);
    Redirect(options.post_refresh_fails
                 ? BoardUrl("/forum/gone.php?showtopic=" + std::to_string(id))
                 : TopicUrl(id),
             options, response);
}

void FakeIPBoard::Redirect(const std::wstring& target, const Options& options,
                           httplib::Response& response) const {
    if (!options.refresh_answers) {
        response.set_redirect(WideToUtf8(target), 302);
        return;
    }
    std::wstring charset = code_page_ == kCodePageUtf8 ? L"UTF-8" : L"windows-1251";
    std::wstring escaped;
    for (wchar_t c : target) {
        escaped += c == L'&' ? std::wstring(L"&amp;") : std::wstring(1, c);
    }
    SendPage(response,
             L"<html>\n<head>\n<meta http-equiv=\"content-type\" content=\"text/html; charset=" +
                 charset + L"\" />\n<title>" + BoardTitle() +
                 L"</title>\n<meta http-equiv=\"refresh\" content=\"2; url=" + escaped +
                 L"\" />\n</head>\n<body>\n<div id=\"redirectwrap\"><h4>Thanks</h4><p>Please "
                 L"wait while we transfer you...</p><p class=\"redirectfoot\">(<a href=\"" +
                 escaped +
                 L"\">Or click here if you do not wish to wait</a>)</p></div>\n"
                 L"</body>\n</html>\n");
}

int FakeIPBoard::TopicOfPost(int postId) {
    if (postId >= 1000000) {
        return (postId - 1000000) / 1000;
    }
    return postId > 1000 ? postId - 1000 : 0;
}

void FakeIPBoard::SendError(const Session& session, const Options& options,
                            const std::wstring& message, httplib::Response& response, int status) {
    // Board 2's error box, IP.Board 3's error message; under it a guest may sign in.
    std::wstring content =
        generation_ == IPBoardGeneration::k2
            ? L"<div class=\"errorwrap\"><h4>The error returned was:</h4><p>" + message +
                  L"</p></div>\n"
            : L"<h1 class='ipsType_pagetitle'>An Error Occurred</h1>\n<div class='message "
              L"error'>" +
                  message + L"</div>\n";
    if (!session.signed_in) {
        content += SignInPageContent(session, options, L"");
    }
    SendPage(response, Page(L"Board Message - " + BoardTitle(), session, options, content));
    response.status = status;
}

std::wstring FakeIPBoard::EditRefusalText(int topicId) const {
    switch (CheckEdit(topicId)) {
        case EditRefusal::kNone:
            return {};
        case EditRefusal::kGone:
            return L"Sorry, the link that brought you to this page seems to be out of date or "
                   L"broken.";
        case EditRefusal::kNotOwn:
            return L"Sorry, you do not have permission to edit this post.";
        case EditRefusal::kLocked:
            return L"This topic is locked.";
        case EditRefusal::kTooLate:
            return L"Sorry, the time limit for editing this post has passed.";
    }
    return {};
}

void FakeIPBoard::ServeTopic(const Session& session, const Fields& query, const Options& options,
                             httplib::Response& response) {
    FakeTopic topic;
    if (!FindTopic(Number(Value(query, "showtopic")), topic) || topic.gone) {
        // IP.Board 3 answers a missing topic with its error page and status 404.
        if (generation_ == IPBoardGeneration::k2) {
            SendError(session, options, EditRefusalText(0), response);
        } else {
            SendError(session, options, L"Sorry, the topic you were looking for does not exist.",
                      response, 404);
        }
        return;
    }
    if (!session.signed_in && options.members_only_section != 0 &&
        topic.section == std::to_string(options.members_only_section)) {
        SendError(session, options,
                  L"Sorry, you do not have permission to view this topic. If you are not signed "
                  L"in, you may do so below.",
                  response);
        return;
    }
    const int total = 1 + static_cast<int>(topic.replies.size());
    const int pages = (total + kPostsPerPage - 1) / kPostsPerPage;
    int page = 1;
    if (Has(query, "st")) {
        page = Number(Value(query, "st")) / kPostsPerPage + 1;
    } else if (Has(query, "page")) {
        page = Number(Value(query, "page"));
    }
    page = std::min(std::max(1, page), pages);
    SendPage(response, Page(topic.subject + L" - " + BoardTitle(), session, options,
                            TopicContent(topic, session, options, page)));
}

void FakeIPBoard::ServeEditForm(const Session& session, const Fields& query, const Options& options,
                                httplib::Response& response) {
    const int post = Number(Value(query, "p"));
    const int id = TopicOfPost(post);
    FakeTopic topic;
    std::wstring refusal = EditRefusalText(id);
    if (!session.signed_in) {
        refusal = L"Sorry, you must be signed in to edit posts.";
    } else if (refusal.empty() &&
               (post != 1000 + id || !FindTopic(id, topic) ||
                Value(query, "t") != std::to_string(id) || Value(query, "f") != topic.section)) {
        refusal = EditRefusalText(0);
    }
    if (!refusal.empty()) {
        SendError(session, options, refusal, response);
        return;
    }
    SendPage(response, Page(L"Editing Post - " + BoardTitle(), session, options,
                            ButtonsAsElements(EditContent(session, topic), options)));
}

void FakeIPBoard::EditPost(const Session& session, const Fields& fields, const Options& options,
                           httplib::Response& response) {
    Count("edit");
    const int post = Number(Value(fields, "p"));
    const int id = TopicOfPost(post);
    if (!session.signed_in) {
        Violation("an edit from a session that is not signed in");
        SendError(session, options, L"Sorry, you must be signed in to edit posts.", response);
        return;
    }
    if (Value(fields, "auth_key") != session.key) {
        Violation("an edit with a wrong auth_key");
        SendError(session, options, L"The security key did not match.", response);
        return;
    }
    if (post != 1000 + id || Value(fields, "t") != std::to_string(id) || !Has(fields, "dosubmit") ||
        Has(fields, "preview")) {
        Violation("an edit without the post's ids or the submit button");
        SendError(session, options, EditRefusalText(0), response);
        return;
    }
    const std::wstring refusal = EditRefusalText(id);
    if (!refusal.empty()) {
        SendError(session, options, refusal, response);
        return;
    }
    ApplyEdit(id, Decode(Value(fields, "TopicTitle")), Decode(Value(fields, "Post")), fields);
    if (options.edit_answer_lost) {
        response.status = 502;
        response.set_content("<html><body><h1>502 Bad Gateway</h1></body></html>", "text/html");
        return;
    }
    Redirect(TopicUrl(id), options, response);
}

}  // namespace twk::test
