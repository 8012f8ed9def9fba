#include "support/FakePhpBB.h"

#include <algorithm>
#include <charconv>
#include <ctime>
#include <functional>
#include <iomanip>
#include <sstream>
#include <utility>

#include "support/FakeSleeper.h"
#include "support/TempDir.h"
#include "text/Unicode.h"

namespace twk::test {

namespace {

const wchar_t* const kSiteName = L"Tallowick Test Board";
// The moment the board's clock starts, as the real 3.3.15 pages of the samples show it.
constexpr long kStartTime = 1796869173;
// phpBB's default form_token_lifetime.
constexpr long kFormTokenLifetime = 7200;

int IntParam(const httplib::Request& request, const std::string& name) {
    std::string text = request.get_param_value(name.c_str());
    int value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// PHP keeps the last of several fields of one name (the sign-in page has two "redirect").
std::string LastParam(const std::string& name, const httplib::Request& request) {
    size_t count = request.get_param_value_count(name.c_str());
    return count == 0 ? std::string() : request.get_param_value(name.c_str(), count - 1);
}

std::string CookieValue(const httplib::Request& request, const std::string& name) {
    std::string cookies = request.get_header_value("Cookie");
    size_t at = 0;
    while (at < cookies.size()) {
        size_t end = cookies.find(';', at);
        if (end == std::string::npos) {
            end = cookies.size();
        }
        std::string pair = cookies.substr(at, end - at);
        size_t first = pair.find_first_not_of(' ');
        if (first != std::string::npos) {
            pair.erase(0, first);
        }
        if (pair.compare(0, name.size() + 1, name + "=") == 0) {
            return pair.substr(name.size() + 1);
        }
        at = end + 1;
    }
    return {};
}

std::wstring ForumName(int forumId) {
    switch (forumId) {
        case FakePhpBB::kCategory:
            return L"Your first category";
        case FakePhpBB::kGeneralForum:
            return L"General";
        case FakePhpBB::kNewsForum:
            return L"Новости";
        case FakePhpBB::kReadOnlyForum:
            return L"Archive";
        default:
            return {};
    }
}

// phpBB 3's <time datetime> and a shown date.
std::wstring IsoTime(int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm parts{};
    gmtime_r(&t, &parts);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S+00:00", &parts);
    return FakeForum::Widen(text);
}

bool OpenForNewTopics(int forumId) {
    return forumId == FakePhpBB::kGeneralForum || forumId == FakePhpBB::kNewsForum;
}

}  // namespace

const wchar_t* const FakePhpBB::kLogin = L"Tester";
const wchar_t* const FakePhpBB::kPassword = L"p&ss=w rd%+1";

FakePhpBB::FakePhpBB(int generation, uint32_t codePage)
    : FakePhpBB(generation, codePage, Options{}) {}

FakePhpBB::FakePhpBB(int generation, uint32_t codePage, Options options)
    : FakeForum(codePage), generation_(generation), options_(std::move(options)) {
    SetAccount(kLogin, kPassword);
    if (options_.visitors_at_once > 0) {
        server_.new_task_queue = [count = options_.visitors_at_once] {
            return new httplib::ThreadPool(count);
        };
    }
    RegisterHandlers();
    Start();
}

FakePhpBB::~FakePhpBB() {
    // The handlers use this object's sessions: no request may run once they are gone.
    Stop();
}

std::wstring FakePhpBB::MainUrl() const {
    return Url("/index.php");
}

std::wstring FakePhpBB::SectionUrl(int forumId) const {
    return Url("/viewforum.php?f=" + std::to_string(forumId));
}

std::wstring FakePhpBB::SectionTitle(int forumId) const {
    auto renamed = options_.section_titles.find(forumId);
    return renamed != options_.section_titles.end() ? renamed->second : ForumName(forumId);
}

std::wstring FakePhpBB::TopicUrl(int topicId) const {
    std::string id = std::to_string(topicId);
    // phpBB 2 leads to the post with its anchor, phpBB 3.3 to the topic.
    return generation_ == 2 ? Url("/viewtopic.php?p=" + id + "#" + id)
                            : Url("/viewtopic.php?t=" + id);
}

std::vector<std::string> FakePhpBB::Problems() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return problems_;
}

void FakePhpBB::RegisterHandlers() {
    auto index = [this](const httplib::Request& request, httplib::Response& response) {
        Index(request, response);
    };
    server_.Get("/", index);
    server_.Get("/index.php", index);
    if (generation_ == 3) {
        server_.Get("/ucp.php",
                    [this](const httplib::Request& request, httplib::Response& response) {
                        std::string mode = request.get_param_value("mode");
                        if (mode == "logout") {
                            SignOut(request, response);
                            return;
                        }
                        Visit visit = Begin(request, response);
                        SignInPage(response, visit, L"", "index.php");
                    });
        server_.Post("/ucp.php",
                     [this](const httplib::Request& request, httplib::Response& response) {
                         SignInPost(request, response);
                     });
    } else {
        server_.Get("/login.php",
                    [this](const httplib::Request& request, httplib::Response& response) {
                        if (request.get_param_value("logout") == "true") {
                            SignOut(request, response);
                            return;
                        }
                        Visit visit = Begin(request, response);
                        SignInPage(response, visit, L"", request.get_param_value("redirect"));
                    });
        server_.Post("/login.php",
                     [this](const httplib::Request& request, httplib::Response& response) {
                         SignInPost(request, response);
                     });
    }
    server_.Get("/viewforum.php",
                [this](const httplib::Request& request, httplib::Response& response) {
                    Section(request, response);
                });
    auto posting = [this](const httplib::Request& request, httplib::Response& response) {
        Posting(request, response);
    };
    server_.Get("/posting.php", posting);
    server_.Post("/posting.php", posting);
    server_.Get("/viewtopic.php",
                [this](const httplib::Request& request, httplib::Response& response) {
                    Topic(request, response);
                });
}

std::string FakePhpBB::Cookie(const std::string& name) const {
    return (generation_ == 3 ? "phpbb3_tw_" : "phpbb2mysql_") + name;
}

FakePhpBB::Visit FakePhpBB::Begin(const httplib::Request& request, httplib::Response& response) {
    // As phpBB does: the cookie's session wins; without a cookie the "sid" of the
    // address; a session only counts for the browser that opened it.
    std::string cookieSid = CookieValue(request, Cookie("sid"));
    std::string sid = cookieSid.empty() ? request.get_param_value("sid") : cookieSid;
    std::string userAgent = request.get_header_value("User-Agent");
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = sessions_.find(sid);
        if (!sid.empty() && found != sessions_.end() && found->second.user_agent == userAgent) {
            Visit visit;
            visit.sid = sid;
            visit.signed_in = found->second.signed_in;
            visit.user = found->second.user;
            visit.sid_in_links = cookieSid.empty();
            return visit;
        }
    }
    Visit visit;
    visit.sid = NewSession(request, response, false, L"");
    return visit;
}

std::string FakePhpBB::NewSession(const httplib::Request& request, httplib::Response& response,
                                  bool signedIn, const std::wstring& user) {
    std::string sid;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        int number = ++session_counter_;
        std::ostringstream id;
        id << std::hex << std::setfill('0') << std::setw(16)
           << std::hash<std::string>{}("session" + std::to_string(number)) << std::setw(16)
           << number;
        sid = id.str();
        sessions_[sid] = Session{request.get_header_value("User-Agent"), signedIn, user};
    }
    const std::string attributes = "; path=/; HttpOnly";
    if (generation_ == 3) {
        response.set_header("Set-Cookie", Cookie("u") + (signedIn ? "=2" : "=1") + attributes);
        response.set_header("Set-Cookie", Cookie("k") + "=" + attributes);
    } else {
        response.set_header("Set-Cookie", Cookie("data") + "=a%3A0%3A%7B%7D" + attributes);
    }
    response.set_header("Set-Cookie", Cookie("sid") + "=" + sid + attributes);
    return sid;
}

void FakePhpBB::EndSession(const std::string& sid) {
    std::lock_guard<std::mutex> lock(mutex_);
    sessions_.erase(sid);
}

void FakePhpBB::Problem(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    problems_.push_back(text);
}

long FakePhpBB::Now() const {
    return kStartTime + (options_.clock == nullptr ? 0 : options_.clock->total_ms() / 1000);
}

std::string FakePhpBB::FormToken(long creationTime, const std::string& sid,
                                 const std::string& formName) const {
    std::ostringstream token;
    token << std::hex << std::setfill('0') << std::setw(16)
          << std::hash<std::string>{}(std::to_string(creationTime) + sid + formName);
    return token.str();
}

bool FakePhpBB::CheckFormKey(const httplib::Request& request, const Visit& visit,
                             const std::string& formName) {
    if (!request.has_param("creation_time") || !request.has_param("form_token")) {
        Problem("the " + formName + " form came without its token");
        return false;
    }
    std::string created = request.get_param_value("creation_time");
    long creationTime = 0;
    std::from_chars(created.data(), created.data() + created.size(), creationTime);
    if (request.get_param_value("form_token") != FormToken(creationTime, visit.sid, formName)) {
        Problem("the " + formName + " form came with a token of another session");
        return false;
    }
    if (options_.clock == nullptr) {
        return true;
    }
    // phpBB 3.1 and later refuse a form sent within the second it was made.
    long age = Now() - creationTime;
    if (age <= 0 || age > kFormTokenLifetime) {
        Problem("the " + formName + " form was sent " + std::to_string(age) +
                " s after it was served");
        return false;
    }
    return true;
}

std::wstring FakePhpBB::Render(const std::string& name, const Vars& vars,
                               const std::set<std::wstring>& flags) const {
    std::wstring text =
        Utf8ToWide(ReadFixture("phpbb/v" + std::to_string(generation_) + "/" + name + ".html"));
    // The template blocks of phpBB itself, not nested: <!-- IF X --> .. <!-- ELSE --> ..
    // <!-- ENDIF -->.
    const std::wstring open = L"<!-- IF ";
    const std::wstring otherwise = L"<!-- ELSE -->";
    const std::wstring close = L"<!-- ENDIF -->";
    for (size_t at = text.find(open); at != std::wstring::npos; at = text.find(open, at)) {
        size_t nameEnd = text.find(L" -->", at);
        size_t end = text.find(close, nameEnd);
        size_t elseAt = text.find(otherwise, nameEnd);
        std::wstring flag = text.substr(at + open.size(), nameEnd - at - open.size());
        size_t bodyStart = nameEnd + 4;
        bool hasElse = elseAt != std::wstring::npos && elseAt < end;
        std::wstring chosen;
        if (flags.count(flag) != 0) {
            chosen = text.substr(bodyStart, (hasElse ? elseAt : end) - bodyStart);
        } else if (hasElse) {
            chosen = text.substr(elseAt + otherwise.size(), end - elseAt - otherwise.size());
        }
        text.replace(at, end + close.size() - at, chosen);
        at += chosen.size();
    }
    // One pass, so that a value is never read as a template again.
    std::wstring out;
    size_t at = 0;
    while (at < text.size()) {
        size_t brace = text.find(L'{', at);
        if (brace == std::wstring::npos) {
            break;
        }
        size_t end = text.find(L'}', brace);
        auto found = end == std::wstring::npos ? vars.end()
                                               : vars.find(text.substr(brace + 1, end - brace - 1));
        if (found == vars.end()) {
            out.append(text, at, brace + 1 - at);
            at = brace + 1;
            continue;
        }
        out.append(text, at, brace - at);
        out += found->second;
        at = end + 1;
    }
    out.append(text, at, std::wstring::npos);
    return out;
}

void FakePhpBB::SendBoardPage(httplib::Response& response, const Visit& visit,
                              const std::string& body, Vars vars,
                              std::set<std::wstring> flags) const {
    std::wstring sid = Widen(visit.sid);
    vars[L"CHARSET"] = code_page_ == kCodePageUtf8 ? L"UTF-8" : L"windows-1251";
    vars[L"SITENAME"] = kSiteName;
    vars[L"SID"] = sid;
    vars[L"SID_Q"] = visit.sid_in_links ? L"?sid=" + sid : L"";
    vars[L"SID_A"] = visit.sid_in_links ? L"&amp;sid=" + sid : L"";
    vars[L"USERNAME"] = EscapeHtml(visit.user);
    vars[L"SECTION"] = Widen(body.substr(0, body.find('_')));
    // phpBB 3.3 names the board after a topic's or a forum's title, before any other.
    if (generation_ == 3 && (body == "viewtopic_body" || body == "viewforum_body")) {
        vars[L"PAGE_TITLE"] = vars[L"PAGE_TITLE"] + L" - " + kSiteName;
    } else if (generation_ == 3) {
        vars[L"PAGE_TITLE"] = std::wstring(kSiteName) + L" - " + vars[L"PAGE_TITLE"];
    }
    if (visit.signed_in) {
        flags.insert(L"SIGNED_IN");
    }
    if (visit.sid_in_links) {
        flags.insert(L"SID_IN_LINKS");
    }
    SendPage(response, Render("overall_header", vars, flags) + Render(body, vars, flags) +
                           Render("overall_footer", vars, flags));
}

std::string FakePhpBB::AbsoluteWithSid(const std::string& target, const Visit& visit) const {
    std::string path = target.empty() ? "index.php" : target;
    if (path.compare(0, 2, "./") == 0) {
        path.erase(0, 2);
    }
    // phpBB's reapply_sid: the old "sid" goes, the current one is added when needed.
    std::string query;
    size_t question = path.find('?');
    if (question != std::string::npos) {
        std::string rest = path.substr(question + 1);
        path.erase(question);
        size_t at = 0;
        while (at <= rest.size()) {
            size_t end = rest.find('&', at);
            if (end == std::string::npos) {
                end = rest.size();
            }
            std::string pair = rest.substr(at, end - at);
            if (!pair.empty() && pair.compare(0, 4, "sid=") != 0) {
                query += (query.empty() ? "" : "&") + pair;
            }
            at = end + 1;
        }
    }
    if (visit.sid_in_links) {
        query += (query.empty() ? "sid=" : "&sid=") + visit.sid;
    }
    return Base() + "/" + path + (query.empty() ? "" : "?" + query);
}

void FakePhpBB::Redirect(httplib::Response& response, const std::string& location) const {
    response.status = 302;
    response.set_header("Location", location);
}

void FakePhpBB::Message(httplib::Response& response, const Visit& visit, const std::wstring& title,
                        const std::wstring& text, const std::string& refreshTarget) {
    std::set<std::wstring> flags;
    if (!refreshTarget.empty()) {
        flags.insert(L"META");
    }
    SendBoardPage(response, visit, "message_body",
                  {{L"PAGE_TITLE", title},
                   {L"META_URL", Widen(refreshTarget)},
                   {L"MESSAGE_TITLE", title},
                   {L"MESSAGE_TEXT", text}},
                  flags);
}

void FakePhpBB::Index(const httplib::Request& request, httplib::Response& response) {
    if (options_.index_status != 200) {
        response.status = options_.index_status;
        SendPage(response, L"<html><body><h1>General Error</h1></body></html>");
        return;
    }
    Visit visit = Begin(request, response);
    std::wstring sidAmp = visit.sid_in_links ? L"&amp;sid=" + Widen(visit.sid) : L"";
    std::wstring rows;
    for (int forumId : {kGeneralForum, kNewsForum, kReadOnlyForum}) {
        // Some phpBB 2 templates mark forums with new posts by a longer class name.
        std::wstring linkClass = forumId == kNewsForum ? L"forumlink_new" : L"forumlink";
        rows += Render("forum_row",
                       {{L"FORUM_ID", std::to_wstring(forumId)},
                        {L"FORUM_NAME", EscapeHtml(SectionTitle(forumId))},
                        {L"FORUM_DESC", L"About " + EscapeHtml(SectionTitle(forumId))},
                        {L"FORUM_CLASS", linkClass},
                        {L"SID_A", sidAmp}},
                       {});
    }
    std::set<std::wstring> flags;
    if (!visit.signed_in && options_.sign_in_form_on_index) {
        flags.insert(L"QUICK_LOGIN");
    }
    long now = Now();
    SendBoardPage(response, visit, "index_body",
                  {{L"PAGE_TITLE", generation_ == 3 ? L"Index page" : L"Index"},
                   {L"FORUM_ROWS", rows},
                   {L"FIRST_FORUM_NAME", SectionTitle(kGeneralForum)},
                   {L"CREATION_TIME", std::to_wstring(now)},
                   {L"FORM_TOKEN", Widen(FormToken(now, visit.sid, "login"))}},
                  flags);
}

void FakePhpBB::SignInPage(httplib::Response& response, const Visit& visit,
                           const std::wstring& error, const std::string& redirect) {
    if (visit.signed_in) {
        Redirect(response, AbsoluteWithSid("index.php", visit));
        return;
    }
    if (!options_.sign_in_page_has_form) {
        Message(response, visit, L"Information",
                L"Signing in is switched off for maintenance. Please come back later.", "");
        return;
    }
    bool forPosting = redirect.find("posting.php") != std::string::npos;
    std::set<std::wstring> flags;
    if (!error.empty()) {
        flags.insert(L"LOGIN_ERROR");
    }
    long now = Now();
    SendBoardPage(
        response, visit, "login_body",
        {{L"PAGE_TITLE", L"Login"},
         {L"LOGIN_EXPLAIN",
          forPosting ? L"You need to login in order to post within this forum."
          : redirect.find("viewtopic.php") != std::string::npos
              ? L"The board requires you to be registered and logged in to view this forum."
              : L"Login"},
         {L"LOGIN_ERROR", error},
         {L"REDIRECT", EscapeHtml(Widen(redirect))},
         {L"CREATION_TIME", std::to_wstring(now)},
         {L"FORM_TOKEN", Widen(FormToken(now, visit.sid, "login"))}},
        flags);
}

void FakePhpBB::SignInPost(const httplib::Request& request, httplib::Response& response) {
    Visit visit = Begin(request, response);
    std::string redirect = LastParam("redirect", request);
    if (!request.has_param("login")) {
        SignInPage(response, visit, L"", redirect);
        return;
    }
    if (generation_ == 3 && !CheckFormKey(request, visit, "login")) {
        SignInPage(response, visit, L"The submitted form was invalid. Try submitting again.",
                   redirect);
        return;
    }
    std::string login = request.get_param_value("username");
    bool accepted = CheckCredentials(login, request.get_param_value("password"));
    if (accepted) {
        if (request.has_param("autologin")) {
            Problem("the sign-in was sent with autologin");
        }
        EndSession(visit.sid);
        visit.user = Decode(login);
        visit.sid = NewSession(request, response, true, visit.user);
        visit.signed_in = true;
        visit.sid_in_links = true;
    }
    switch (options_.sign_in_answer) {
        case SignInAnswer::kRedirect:
            if (accepted) {
                Redirect(response, AbsoluteWithSid(redirect, visit));
            } else if (generation_ == 3) {
                SignInPage(response, visit,
                           options_.wrong_password_text.empty()
                               ? L"You have specified an incorrect password. Please check your "
                                 L"password and try again."
                               : EscapeHtml(options_.wrong_password_text),
                           redirect);
            } else {
                Message(response, visit, L"Information",
                        (options_.wrong_password_text.empty()
                             ? L"You have specified an incorrect or inactive username, or an "
                               L"invalid password."
                             : EscapeHtml(options_.wrong_password_text)) +
                            L"<br /><br />Click <a href=\"login.php?redirect=\">Here</a> "
                            L"to try again",
                        "login.php?redirect=");
            }
            return;
        case SignInAnswer::kRefresh: {
            // Drawn before the new session counts, as a guest sees it; the refresh leads
            // on in the new session.
            Visit guest = visit;
            guest.signed_in = false;
            Message(response, guest, L"Information",
                    accepted ? L"You have been successfully logged in." : L"Login failed.",
                    "./index.php?sid=" + visit.sid);
            return;
        }
        case SignInAnswer::kBlank:
            SendPage(response,
                     L"<html><head><title>Login</title></head>"
                     L"<body><p>Thank you.</p></body></html>");
            return;
    }
}

void FakePhpBB::SignOut(const httplib::Request& request, httplib::Response& response) {
    Visit visit = Begin(request, response);
    if (visit.signed_in && request.get_param_value("sid") != visit.sid) {
        Message(response, visit, L"Information", L"Logout failed.", "./index.php");
        return;
    }
    if (visit.signed_in) {
        EndSession(visit.sid);
        visit = Visit{};
        visit.sid = NewSession(request, response, false, L"");
    }
    Redirect(response, AbsoluteWithSid("index.php", visit));
}

void FakePhpBB::Section(const httplib::Request& request, httplib::Response& response) {
    Visit visit = Begin(request, response);
    int forumId = IntParam(request, "f");
    if (ForumName(forumId).empty()) {
        Message(response, visit, L"Information", L"The forum you selected does not exist.", "");
        return;
    }
    // Both generations show the new-topic button to guests too; the posting page then
    // asks them to sign in.
    std::set<std::wstring> flags;
    if (OpenForNewTopics(forumId)) {
        flags.insert(L"CAN_POST");
    }
    // The section lists its topics newest first, as phpBB does; held ones are not shown.
    std::wstring rows;
    std::vector<FakeTopic> topics = Topics();
    std::wstring sidAmp = visit.sid_in_links ? L"&amp;sid=" + Widen(visit.sid) : L"";
    for (size_t i = topics.size(); i-- > 0;) {
        int id = static_cast<int>(i) + 1;
        bool held = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            held = held_topics_.count(id) != 0;
        }
        if (held || topics[i].section != std::to_string(forumId)) {
            continue;
        }
        std::wstring link = L"<a href=\"./viewtopic.php?t=" + std::to_wstring(id) + sidAmp +
                            L"\" class=\"topictitle\">" + EscapeHtml(topics[i].subject) + L"</a>";
        rows += generation_ == 3 ? L"<li class=\"row bg1\"><dl class=\"row-item\"><dt><div "
                                   L"class=\"list-inner\">" +
                                       link + L"</div></dt></dl></li>\n"
                                 : L"<tr><td class=\"row1\" width=\"100%\"><span "
                                   L"class=\"topictitle\">" +
                                       link + L"</span></td></tr>\n";
    }
    SendBoardPage(response, visit, "viewforum_body",
                  {{L"PAGE_TITLE", SectionTitle(forumId)},
                   {L"TOPIC_ROWS", rows},
                   {L"FORUM_ID", std::to_wstring(forumId)},
                   {L"FORUM_NAME", EscapeHtml(SectionTitle(forumId))},
                   {L"PERMISSIONS", OpenForNewTopics(forumId)
                                        ? L"You <strong>can</strong> post new topics in this forum"
                                        : L"You <strong>cannot</strong> post new topics in this "
                                          L"forum"}},
                  flags);
}

void FakePhpBB::PostingPage(httplib::Response& response, const Visit& visit, int forumId,
                            const std::wstring& error, const std::wstring& preview) {
    std::set<std::wstring> flags;
    if (options_.posting_form_without != "subject") {
        flags.insert(L"SUBJECT_FIELD");
    }
    if (options_.posting_form_without != "message") {
        flags.insert(L"MESSAGE_FIELD");
    }
    if (options_.posting_form_without != "post") {
        flags.insert(L"POST_BUTTON");
    }
    if (!error.empty()) {
        flags.insert(L"ERROR");
    }
    if (!preview.empty()) {
        flags.insert(L"PREVIEW");
    }
    long now = Now();
    SendBoardPage(
        response, visit, "posting_body",
        {{L"PAGE_TITLE", L"Post a new topic"},
         {L"POSTING_TITLE", L"Post a new topic"},
         {L"FORM_ACTION", L"./posting.php?mode=post&amp;f=" + std::to_wstring(forumId) +
                              (visit.sid_in_links ? L"&amp;sid=" + Widen(visit.sid) : L"")},
         {L"SUBJECT_VALUE", L""},
         {L"MESSAGE_VALUE", L""},
         {L"FORUM_ID", std::to_wstring(forumId)},
         {L"FORUM_NAME", EscapeHtml(SectionTitle(forumId))},
         {L"ERROR", error},
         {L"PREVIEW_TEXT", EscapeHtml(preview)},
         {L"CREATION_TIME", std::to_wstring(now)},
         {L"FORM_TOKEN", Widen(FormToken(now, visit.sid, "posting"))}},
        flags);
}

void FakePhpBB::Posting(const httplib::Request& request, httplib::Response& response) {
    Visit visit = Begin(request, response);
    int forumId = IntParam(request, "f");
    std::string mode = request.get_param_value("mode");
    if (mode == (generation_ == 3 ? "edit" : "editpost")) {
        Edit(request, response, visit);
        return;
    }
    if (mode != (generation_ == 3 ? "post" : "newtopic") || !OpenForNewTopics(forumId)) {
        Message(response, visit, L"Information",
                L"You are not authorised to post new topics in this forum.", "");
        return;
    }
    std::string here = "posting.php?mode=" + mode + "&f=" + std::to_string(forumId);
    if (!visit.signed_in) {
        if (generation_ == 3) {
            SignInPage(response, visit, L"", "./" + here);
        } else {
            Redirect(response, AbsoluteWithSid("login.php?redirect=" + here, visit));
        }
        return;
    }
    if (request.method == "GET") {
        PostingPage(response, visit, forumId, L"", L"");
        return;
    }

    if (generation_ == 3 && !CheckFormKey(request, visit, "posting")) {
        PostingPage(response, visit, forumId,
                    L"The submitted form was invalid. Try submitting again.", L"");
        return;
    }
    if (generation_ == 2 && request.get_param_value("sid") != visit.sid) {
        Message(response, visit, L"Information", L"Invalid Session. Please resubmit the form.", "");
        return;
    }
    std::wstring subject = Decode(request.get_param_value("subject"));
    std::wstring body = Decode(request.get_param_value("message"));
    if (!request.has_param("post")) {
        std::string pressed = request.has_param("preview") ? "preview"
                              : request.has_param("save")  ? "save"
                                                           : "no button";
        Problem("the posting form was sent with " + pressed + " instead of post");
        PostingPage(response, visit, forumId, L"", body);
        return;
    }
    if (subject.empty()) {
        PostingPage(response, visit, forumId,
                    L"You must specify a subject when posting a new topic.", L"");
        return;
    }
    if (body.empty()) {
        PostingPage(response, visit, forumId, L"You must enter a message when posting.", L"");
        return;
    }

    if (options_.flood_interval > 0 && last_post_time_ >= 0 &&
        Now() - last_post_time_ < options_.flood_interval) {
        if (generation_ == 3) {
            PostingPage(response, visit, forumId,
                        L"You cannot make another post so soon after your last.", L"");
        } else {
            Message(response, visit, L"Information",
                    L"You cannot make another post so soon after your last; please try again "
                    L"in a short while.",
                    "");
        }
        return;
    }
    last_post_time_ = Now();

    FakeTopic topic;
    topic.section = std::to_string(forumId);
    topic.subject = subject;
    topic.body = body;
    topic.pressed_button = "post";
    topic.fields =
        std::multimap<std::string, std::string>(request.params.begin(), request.params.end());
    int stored = AddTopic(topic);
    std::string id = std::to_string(stored);
    if (options_.moderated_forums.count(forumId) != 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        held_topics_.insert(stored);
    }
    if (options_.gateway_error_after_post) {
        response.status = 502;
        response.set_content(
            "<html><head><title>502 Bad Gateway</title></head><body><center>"
            "<h1>502 Bad Gateway</h1></center><hr><center>nginx</center>"
            "</body></html>",
            "text/html");
        return;
    }
    if (options_.moderated_forums.count(forumId) != 0) {
        std::string forum = "viewforum.php?f=" + std::to_string(forumId);
        Message(response, visit, L"Information",
                L"This message has been submitted successfully, but it will need to be "
                L"approved by a moderator before it is publicly viewable.<br /><br /><a href=\"" +
                    Widen(forum) + L"\">Return to the forum</a>",
                forum);
        return;
    }
    if (generation_ == 3) {
        // phpBB 3.1 and later: an empty redirect to the new topic.
        Redirect(response, AbsoluteWithSid("viewtopic.php?t=" + id, visit));
        return;
    }
    std::string sidAmp = visit.sid_in_links ? "&amp;sid=" + visit.sid : "";
    std::string topicLink = "viewtopic.php?p=" + id + sidAmp + "#" + id;
    Message(response, visit, L"Information",
            L"Your message has been entered successfully.<br /><br />Click <a href=\"" +
                Widen(topicLink) +
                L"\">Here</a> to view your message<br /><br />Click <a "
                L"href=\"viewforum.php?f=" +
                std::to_wstring(forumId) + Widen(sidAmp) + L"\">Here</a> to return to the forum",
            topicLink);
}

void FakePhpBB::Topic(const httplib::Request& request, httplib::Response& response) {
    if (options_.topic_page_status != 200) {
        response.status = options_.topic_page_status;
        SendPage(response, L"<html><body><h1>General Error</h1><p>SQL ERROR</p></body></html>");
        return;
    }
    Visit visit = Begin(request, response);
    int id = request.has_param("t") ? IntParam(request, "t") : IntParam(request, "p");
    if (id >= 1000) {
        id /= 1000;
    }
    FakeTopic topic;
    if (!FindTopic(id, topic) || topic.gone) {
        // phpBB 3 sends its message with 404; phpBB 2 with 200 and its own words.
        if (generation_ == 3) {
            response.status = 404;
            Message(response, visit, L"Information", L"The requested topic does not exist.", "");
        } else {
            Message(response, visit, L"Information",
                    L"The topic or post you requested does not exist", "");
        }
        return;
    }
    if (!visit.signed_in &&
        options_.members_only_forums.count(std::atoi(topic.section.c_str())) != 0) {
        std::string here = "viewtopic.php?t=" + std::to_string(id);
        if (generation_ == 3) {
            SignInPage(response, visit, L"", "./" + here);
        } else {
            Redirect(response, AbsoluteWithSid("login.php?redirect=" + here, visit));
        }
        return;
    }
    const int posts = static_cast<int>(topic.replies.size()) + 1;
    const int per_page = options_.posts_per_page;
    int start = std::max(0, IntParam(request, "start"));
    start -= start % per_page;
    const int pages = (posts + per_page - 1) / per_page;
    // phpBB's pagination: every page's link but the current one (page 1 without start=).
    std::wstring sidAmp = visit.sid_in_links ? L"&amp;sid=" + Widen(visit.sid) : L"";
    std::wstring links;
    for (int page = 0; page < pages && pages > 1; ++page) {
        std::wstring href = L"./viewtopic.php?t=" + std::to_wstring(id) +
                            (page == 0 ? L"" : L"&amp;start=" + std::to_wstring(page * per_page)) +
                            sidAmp;
        if (generation_ == 2) {
            href.erase(0, 2);
            links += page * per_page == start
                         ? L"<b>" + std::to_wstring(page + 1) + L"</b>, "
                         : L"<a href=\"" + href + L"\">" + std::to_wstring(page + 1) + L"</a>, ";
        } else {
            links +=
                page * per_page == start
                    ? L"<li class=\"active\"><span>" + std::to_wstring(page + 1) + L"</span></li>\n"
                    : L"<li><a class=\"button\" href=\"" + href + L"\" role=\"button\">" +
                          std::to_wstring(page + 1) + L"</a></li>\n";
        }
    }
    if (!links.empty()) {
        links = generation_ == 3 ? L"<ul>\n" + links + L"</ul>" : L"Goto page " + links;
    }
    std::set<std::wstring> flags;
    if (options_.topic_page_has_reply_link && !topic.locked) {
        flags.insert(L"CAN_REPLY");
    }
    SendBoardPage(
        response, visit, "viewtopic_body",
        // phpBB 2's viewtopic.php: "View topic - " and the subject.
        {{L"PAGE_TITLE", (generation_ == 2 ? L"View topic - " : L"") + EscapeHtml(topic.subject)},
         {L"TOPIC_ID", std::to_wstring(id)},
         {L"TOPIC_TITLE", EscapeHtml(topic.subject)},
         {L"POST_COUNT", std::to_wstring(posts) + (posts == 1 ? L" post" : L" posts")},
         {L"PAGE_LINKS", links},
         {L"PAGE_NUMBER", std::to_wstring(start / per_page + 1)},
         {L"PAGE_TOTAL", std::to_wstring(pages)},
         {L"POST_ROWS", PostRows(visit, topic, start)}},
        flags);
}

std::wstring FakePhpBB::PostRows(const Visit& visit, const FakeTopic& topic, int start) const {
    const std::wstring account = AccountLogin();
    std::wstring sidAmp = visit.sid_in_links ? L"&amp;sid=" + Widen(visit.sid) : L"";
    std::wstring rows;
    const int posts = static_cast<int>(topic.replies.size()) + 1;
    for (int n = start; n < posts && n < start + options_.posts_per_page; ++n) {
        const bool first = n == 0;
        const FakeReply reply = first ? FakeReply{topic.author.empty() ? account : topic.author,
                                                  topic.posted_at, topic.body}
                                      : topic.replies[static_cast<size_t>(n - 1)];
        std::set<std::wstring> flags;
        // The edit link shows where the member may edit: the own first post while the
        // board allows it, and the member's own replies.
        if (visit.signed_in &&
            (first ? CheckEdit(topic.id) == EditRefusal::kNone : reply.author == account)) {
            flags.insert(L"CAN_EDIT");
        }
        rows += Render("post_row",
                       {{L"POST_ID", std::to_wstring(first ? topic.id : ReplyPostId(topic.id, n))},
                        {L"POST_AUTHOR", EscapeHtml(reply.author)},
                        {L"POST_SUBJECT", EscapeHtml((first ? L"" : L"Re: ") + topic.subject)},
                        {L"FIRST_CLASS", first ? L"class=\"first\"" : L""},
                        {L"POST_ISO_TIME", IsoTime(reply.time)},
                        {L"POST_TIME", IsoTime(reply.time)},
                        {L"POST_TEXT", EscapeHtml(reply.body)},
                        {L"SID_A", sidAmp}},
                       flags);
    }
    return rows;
}

void FakePhpBB::EditPage(httplib::Response& response, const Visit& visit, const FakeTopic& topic,
                         const std::wstring& error) {
    std::set<std::wstring> flags = {L"SUBJECT_FIELD", L"MESSAGE_FIELD", L"POST_BUTTON", L"EDIT"};
    if (!error.empty()) {
        flags.insert(L"ERROR");
    }
    const std::wstring id = std::to_wstring(topic.id);
    long now = Now();
    SendBoardPage(
        response, visit, "posting_body",
        {{L"PAGE_TITLE", L"Edit post"},
         {L"POSTING_TITLE", L"Edit post"},
         {L"FORM_ACTION", L"./posting.php?mode=edit&amp;p=" + id +
                              (visit.sid_in_links ? L"&amp;sid=" + Widen(visit.sid) : L"")},
         {L"POST_ID", id},
         {L"SUBJECT_VALUE", EscapeHtml(topic.subject)},
         {L"MESSAGE_VALUE", EscapeHtml(topic.body)},
         {L"MESSAGE_CHECKSUM", L"81dbf2f1578bd64614e65b38b90fd7e2"},
         {L"SUBJECT_CHECKSUM", L"289f8dfda00eee93a1773874a4ca4bdf"},
         {L"FORUM_ID", Widen(topic.section)},
         {L"FORUM_NAME", EscapeHtml(SectionTitle(std::atoi(topic.section.c_str())))},
         {L"ERROR", error},
         {L"PREVIEW_TEXT", L""},
         {L"CREATION_TIME", std::to_wstring(now)},
         {L"FORM_TOKEN", Widen(FormToken(now, visit.sid, "posting"))}},
        flags);
}

void FakePhpBB::Edit(const httplib::Request& request, httplib::Response& response,
                     const Visit& visit) {
    const int id = IntParam(request, "p");
    if (!visit.signed_in) {
        if (generation_ == 3) {
            SignInPage(response, visit, L"", "./posting.php?mode=edit&p=" + std::to_string(id));
        } else {
            Redirect(response, AbsoluteWithSid("login.php?redirect=posting.php?mode=editpost&p=" +
                                                   std::to_string(id),
                                               visit));
        }
        return;
    }
    // The words of phpBB 3.3's refusals, in its order: locked topic, not the member's
    // post, edit time passed; phpBB 2.0's (lang_main.php: No_such_post, Topic_locked,
    // Edit_own_posts) on its message page. phpBB 2 has no edit time limit.
    const bool second = generation_ == 2;
    switch (CheckEdit(id)) {
        case EditRefusal::kGone:
            Message(response, visit, L"Information",
                    second ? L"There is no such post. Please return and try again."
                           : L"The requested post does not exist.",
                    "");
            return;
        case EditRefusal::kLocked:
            Message(response, visit, L"Information",
                    second ? L"This topic is locked: you cannot edit posts or make replies."
                           : L"This topic is locked, you cannot edit posts or make further "
                             L"replies.",
                    "");
            return;
        case EditRefusal::kNotOwn:
            Message(response, visit, L"Information",
                    second ? L"Sorry, but you can only edit your own posts."
                           : L"You cannot edit posts in this forum.",
                    "");
            return;
        case EditRefusal::kTooLate:
            Message(response, visit, L"Information", L"You can no longer edit or delete that post.",
                    "");
            return;
        case EditRefusal::kNone:
            break;
    }
    FakeTopic topic;
    FindTopic(id, topic);
    if (request.method == "GET") {
        EditPage(response, visit, topic, L"");
        return;
    }
    if (generation_ == 3 && !CheckFormKey(request, visit, "posting")) {
        EditPage(response, visit, topic, L"The submitted form was invalid. Try submitting again.");
        return;
    }
    if (generation_ == 2 && request.get_param_value("sid") != visit.sid) {
        Message(response, visit, L"Information", L"Invalid Session. Please resubmit the form.", "");
        return;
    }
    if (!request.has_param("post")) {
        Problem("the edit form was sent without post");
        EditPage(response, visit, topic, L"");
        return;
    }
    const std::wstring subject = Decode(request.get_param_value("subject"));
    if (subject.empty()) {
        EditPage(response, visit, topic, L"You must specify a subject when posting a new topic.");
        return;
    }
    ApplyEdit(
        id, subject, Decode(request.get_param_value("message")),
        std::multimap<std::string, std::string>(request.params.begin(), request.params.end()));
    if (options_.gateway_error_after_post) {
        response.status = 502;
        response.set_content(
            "<html><head><title>502 Bad Gateway</title></head><body><center>"
            "<h1>502 Bad Gateway</h1></center></body></html>",
            "text/html");
        return;
    }
    if (generation_ == 2) {
        // phpBB 2.0: the message page of a stored post, whose refresh leads to it.
        const std::string sidAmp = visit.sid_in_links ? "&amp;sid=" + visit.sid : "";
        const std::string link =
            "viewtopic.php?p=" + std::to_string(id) + sidAmp + "#" + std::to_string(id);
        Message(response, visit, L"Information",
                L"Your message has been entered successfully.<br /><br />Click <a href=\"" +
                    Widen(link) + L"\">Here</a> to view your message",
                link);
        return;
    }
    // phpBB 3.3: an empty 302 to the edited post.
    Redirect(response, AbsoluteWithSid("viewtopic.php?p=" + std::to_string(id), visit) + "#p" +
                           std::to_string(id));
}

}  // namespace twk::test
