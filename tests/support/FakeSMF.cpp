#include "support/FakeSMF.h"

#include <algorithm>
#include <charconv>
#include <utility>

#include "support/FakeSleeper.h"
#include "support/TempDir.h"
#include "text/Unicode.h"
#include "web/Charsets.h"

namespace twk::test {

namespace {

struct BoardInfo {
    const wchar_t* name;
    const wchar_t* description;
};

// The boards of the sample install, and one where members may only read.
BoardInfo BoardOf(int board) {
    switch (board) {
        case FakeSMF::kGeneralBoard:
            return {L"General", L"Feel free to talk about anything and everything in this board."};
        case FakeSMF::kAnnouncementsBoard:
            return {L"Announcements", L"Announcements board of the lab."};
        case FakeSMF::kCyrillicBoard:
            return {L"Тестирование", L"Доска для тестирования (UTF-8)."};
        case FakeSMF::kReadOnlyBoard:
            return {L"Archive", L"Old news, closed for new topics."};
        case FakeSMF::kChildBoard:
            return {L"Релизы", L"A child board of Announcements."};
        default:
            return {nullptr, nullptr};
    }
}

// The rows of the board index; the child board is listed in its parent's row.
constexpr int kIndexRows = 4;
// SMF keeps at most this many characters of a subject; the form lets a browser type 80.
constexpr size_t kStoredSubjectLength = 100;

// "N.0" or "N" as in board=3.0; -1 when it is no number.
int NumberOf(const std::string& text) {
    int value = -1;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end != text.data() ? value : -1;
}

std::string CookieValue(const httplib::Request& request, const std::string& name) {
    const std::string cookies = request.get_header_value("Cookie");
    const std::string wanted = name + "=";
    for (size_t at = 0; at < cookies.size();) {
        size_t end = cookies.find(';', at);
        if (end == std::string::npos) {
            end = cookies.size();
        }
        std::string pair = cookies.substr(at, end - at);
        pair.erase(0, pair.find_first_not_of(' '));
        if (pair.starts_with(wanted)) {
            return pair.substr(wanted.size());
        }
        at = end + 1;
    }
    return {};
}

}  // namespace

const wchar_t* const FakeSMF::kLogin = L"Тестер";
const wchar_t* const FakeSMF::kPassword = L"p&ss=w;rd%+1";
const wchar_t* const FakeSMF::kBoardName = L"Lab Board";

FakeSMF::FakeSMF() : FakeSMF(Options{}) {}

FakeSMF::FakeSMF(Options options) : FakeForum(kCodePageUtf8), options_(std::move(options)) {
    SetAccount(kLogin, kPassword);
    RegisterHandlers();
    Start();
}

FakeSMF::~FakeSMF() {
    // The handlers use this object's sessions: no request may run once they are gone.
    Stop();
}

std::wstring FakeSMF::MainUrl() const {
    return Url("/index.php");
}

std::wstring FakeSMF::BoardUrl(int board) const {
    return Url("/index.php?board=" + std::to_string(board) + ".0");
}

std::wstring FakeSMF::BoardTitle(int board) const {
    const wchar_t* name = BoardOf(board).name;
    return name == nullptr ? std::wstring() : name;
}

std::wstring FakeSMF::TopicUrl(int topic) const {
    return Url("/index.php?topic=" + std::to_string(topic) + ".0");
}

std::set<int> FakeSMF::HeldTopics() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return held_topics_;
}

std::vector<std::string> FakeSMF::Problems() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return problems_;
}

void FakeSMF::RegisterHandlers() {
    server_.Get("/index.php", [this](const httplib::Request& request, httplib::Response& response) {
        Get(request, response);
    });
    server_.Post("/index.php", [this](const httplib::Request& request,
                                      httplib::Response& response) { Post(request, response); });
}

std::string FakeSMF::Random(size_t length) {
    static const char* const kHex = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < length; ++i) {
        random_state_ = random_state_ * 6364136223846793005UL + 1442695040888963407UL;
        text += kHex[(random_state_ >> 33) % 16];
    }
    return text;
}

FakeSMF::Visit FakeSMF::Begin(const httplib::Request& request, httplib::Response& response) {
    const std::string user_agent = request.get_header_value("User-Agent");
    const std::string sid = CookieValue(request, "PHPSESSID");
    std::lock_guard<std::mutex> lock(mutex_);
    Visit visit;
    auto found = sessions_.find(sid);
    if (!sid.empty() && found != sessions_.end()) {
        if (found->second.user_agent == user_agent) {
            visit.sid = sid;
            visit.session = found->second;
            return visit;
        }
        problems_.push_back("a session came back with another User-Agent");
    }
    // A visitor without a session gets one, and links that carry it until the cookie
    // comes back.
    visit.sid = Random(26);
    visit.sid_in_links = true;
    visit.session.user_agent = user_agent;
    // The field's name begins with a letter, as SMF makes it.
    visit.session.var = "f" + Random(11);
    visit.session.id = Random(32);
    sessions_[visit.sid] = visit.session;
    response.set_header("Set-Cookie", "PHPSESSID=" + visit.sid + "; path=/; HttpOnly");
    return visit;
}

void FakeSMF::SaveSession(const Visit& visit) {
    std::lock_guard<std::mutex> lock(mutex_);
    sessions_[visit.sid] = visit.session;
}

void FakeSMF::Problem(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    problems_.push_back(text);
}

long FakeSMF::Now() const {
    return options_.clock == nullptr ? 0 : options_.clock->total_ms() / 1000;
}

FakeSMF::Fields FakeSMF::QueryOf(const httplib::Request& request) {
    const size_t question = request.target.find('?');
    if (question == std::string::npos) {
        return {};
    }
    std::string query = request.target.substr(question + 1);
    query = query.substr(0, query.find('#'));
    for (char& c : query) {
        if (c == ';') {
            c = '&';
        }
    }
    return ParseFormFields(query);
}

std::string FakeSMF::Field(const Fields& fields, const std::string& name) {
    auto found = fields.find(name);
    return found == fields.end() ? std::string() : found->second;
}

bool FakeSMF::SessionFieldMatches(const Visit& visit, const Fields& fields) const {
    auto found = fields.find(visit.session.var);
    return found != fields.end() && found->second == visit.session.id;
}

std::wstring FakeSMF::Render(const std::string& name, const Vars& vars,
                             const std::set<std::wstring>& flags) const {
    std::wstring text = Utf8ToWide(ReadFixture("smf/" + name + ".html"));
    // Blocks of the fixtures, not nested: <!-- IF X --> .. <!-- ELSE --> .. <!-- ENDIF -->.
    const std::wstring open = L"<!-- IF ";
    const std::wstring otherwise = L"<!-- ELSE -->";
    const std::wstring close = L"<!-- ENDIF -->";
    for (size_t at = text.find(open); at != std::wstring::npos; at = text.find(open, at)) {
        const size_t name_end = text.find(L" -->", at);
        const size_t end = text.find(close, name_end);
        const size_t else_at = text.find(otherwise, name_end);
        const std::wstring flag = text.substr(at + open.size(), name_end - at - open.size());
        const size_t body = name_end + 4;
        const bool has_else = else_at != std::wstring::npos && else_at < end;
        std::wstring chosen;
        if (flags.count(flag) != 0) {
            chosen = text.substr(body, (has_else ? else_at : end) - body);
        } else if (has_else) {
            chosen = text.substr(else_at + otherwise.size(), end - else_at - otherwise.size());
        }
        text.replace(at, end + close.size() - at, chosen);
        at += chosen.size();
    }
    // One pass, so that a value is never read as a template again.
    std::wstring out;
    size_t at = 0;
    for (size_t brace = text.find(L'{'); brace != std::wstring::npos; brace = text.find(L'{', at)) {
        const size_t end = text.find(L'}', brace);
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

std::wstring FakeSMF::LinkPrefix(const Visit& visit) const {
    std::wstring prefix = Widen(Base()) + L"/index.php?";
    if (visit.sid_in_links) {
        prefix += L"PHPSESSID=" + Widen(visit.sid) + L"&amp;";
    }
    return prefix;
}

void FakeSMF::SendBoardPage(httplib::Response& response, const Visit& visit,
                            const std::string& body, const std::wstring& title, Vars vars,
                            std::set<std::wstring> flags) {
    vars[L"BASE"] = Widen(Base());
    vars[L"Q"] = LinkPrefix(visit);
    vars[L"HOME"] = visit.sid_in_links ? LinkPrefix(visit) : Widen(Base()) + L"/index.php";
    vars[L"TITLE"] = EscapeHtml(title);
    vars[L"BOARD_NAME"] = kBoardName;
    vars[L"SESSION_VAR"] = Widen(visit.session.var);
    vars[L"SESSION_ID"] = Widen(visit.session.id);
    vars[L"MEMBER_ID"] = visit.signed_in() ? L"2" : L"0";
    vars[L"USERNAME"] = EscapeHtml(visit.session.user);
    if (visit.signed_in()) {
        flags.insert(L"SIGNED_IN");
    }
    SendPage(response, Render("header", vars, flags) + Render(body, vars, flags) +
                           Render("footer", vars, flags));
}

void FakeSMF::SendFatalError(httplib::Response& response, const Visit& visit,
                             const std::string& key, const std::wstring& text) {
    SendBoardPage(response, visit, "fatal_error", L"An error has occurred",
                  {{L"ERROR_KEY", Widen(key)}, {L"ERROR", text}}, {});
    // fatal_lang_error() answers with 403 unless told otherwise.
    response.status = 403;
}

void FakeSMF::Redirect(httplib::Response& response, const std::string& target) const {
    response.status = 302;
    response.set_header("Location", Base() + "/" + target);
}

void FakeSMF::Get(const httplib::Request& request, httplib::Response& response) {
    Visit visit = Begin(request, response);
    const Fields query = QueryOf(request);
    const std::string action = Field(query, "action");
    if (action == "login") {
        SignInPage(response, visit, L"", L"");
    } else if (action == "login2" && Field(query, "sa") == "check") {
        Redirect(response, "index.php");
    } else if (action == "logout") {
        if (SessionFieldMatches(visit, query)) {
            visit.session.user.clear();
            SaveSession(visit);
        }
        Redirect(response, "index.php");
    } else if (action == "post" && query.count("msg") != 0) {
        EditPage(response, visit, NumberOf(Field(query, "msg")));
    } else if (action == "post") {
        PostingPage(response, visit, NumberOf(Field(query, "board")), L"", L"", L"");
    } else if (query.count("topic") != 0) {
        const std::string topic = Field(query, "topic");
        const size_t dot = topic.find('.');
        Display(response, visit, NumberOf(topic),
                dot == std::string::npos ? std::string() : topic.substr(dot + 1));
    } else if (query.count("board") != 0) {
        MessageIndex(response, visit, NumberOf(Field(query, "board")));
    } else if (action.empty()) {
        BoardIndex(response, visit);
    } else {
        SendFatalError(response, visit, "not_found", L"The page you asked for does not exist.");
    }
}

void FakeSMF::Post(const httplib::Request& request, httplib::Response& response) {
    Visit visit = Begin(request, response);
    const Fields query = QueryOf(request);
    const std::string action = Field(query, "action");
    if (action == "login2") {
        SignInPost(request, response, visit);
    } else if (action == "post2" && query.count("msg") != 0) {
        EditPost(request, response, visit, NumberOf(Field(query, "msg")));
    } else if (action == "post2") {
        PostingPost(request, response, visit, NumberOf(Field(query, "board")));
    } else {
        SendFatalError(response, visit, "not_found", L"The page you asked for does not exist.");
    }
}

void FakeSMF::BoardIndex(httplib::Response& response, const Visit& visit) {
    const std::vector<FakeTopic> topics = Topics();
    std::wstring rows;
    for (int board = 1; board <= kIndexRows; ++board) {
        std::wstring last_post;
        for (const FakeTopic& topic : topics) {
            if (topic.section == std::to_string(board)) {
                const std::wstring id = std::to_wstring(topic.id);
                last_post = L"<p><strong>Last post: </strong><a href=\"" + LinkPrefix(visit) +
                            L"topic=" + id + L".msg" + id + L";boardseen#new\">" +
                            EscapeHtml(topic.subject) + L"</a></p>";
            }
        }
        rows += Render("board_row",
                       {{L"ID", std::to_wstring(board)},
                        {L"NAME", BoardOf(board).name},
                        {L"DESCRIPTION", BoardOf(board).description},
                        {L"LAST_POST", last_post},
                        {L"CHILD_ID", std::to_wstring(kChildBoard)},
                        {L"CHILD_NAME", BoardOf(kChildBoard).name},
                        {L"Q", LinkPrefix(visit)}},
                       board == kAnnouncementsBoard ? std::set<std::wstring>{L"CHILDREN"}
                                                    : std::set<std::wstring>{});
    }
    SendBoardPage(response, visit, "boardindex", std::wstring(kBoardName) + L" - Index",
                  {{L"BOARDS", rows}}, {});
}

void FakeSMF::SignInPage(httplib::Response& response, Visit& visit, const std::wstring& error,
                         const std::wstring& user) {
    // A new one-time token, of a new random name, each time the form is shown.
    visit.session.token_var = Random(12);
    visit.session.token = Random(32);
    SaveSession(visit);
    std::set<std::wstring> flags;
    if (!error.empty()) {
        flags.insert(L"ERROR");
    }
    SendBoardPage(response, visit, "login", L"Log in",
                  {{L"ERROR", EscapeHtml(error)},
                   {L"USER", EscapeHtml(user)},
                   {L"TOKEN_VAR", Widen(visit.session.token_var)},
                   {L"TOKEN", Widen(visit.session.token)}},
                  flags);
}

void FakeSMF::SignInPost(const httplib::Request& request, httplib::Response& response,
                         Visit& visit) {
    const Fields fields = ParseFormFields(request.body);
    if (!SessionFieldMatches(visit, fields)) {
        SendFatalError(response, visit, "session_verify_fail",
                       L"Session verification failed. Please try logging out and back in "
                       L"again, and then try again.");
        return;
    }
    auto token = fields.find(visit.session.token_var);
    if (options_.stale_sign_in_token || visit.session.token.empty() || token == fields.end() ||
        token->second != visit.session.token) {
        SendFatalError(response, visit, "token_verify_fail",
                       L"Token verification failed. Please go back and try again.");
        return;
    }
    if (fields.count("cookielength") == 0) {
        Problem("the sign-in form came without cookielength");
    }
    const std::string login = Field(fields, "user");
    if (!CheckCredentials(login, Field(fields, "passwrd"))) {
        const bool known = Decode(login) == kLogin;
        SignInPage(response, visit,
                   known ? L"Password incorrect" : L"That username does not exist.", Decode(login));
        return;
    }
    // Signing in gives a new PHPSESSID; the session field keeps its name and value.
    std::lock_guard<std::mutex> lock(mutex_);
    sessions_.erase(visit.sid);
    visit.sid = Random(26);
    visit.session.user = Decode(login);
    visit.session.token.clear();
    sessions_[visit.sid] = visit.session;
    response.set_header("Set-Cookie", "PHPSESSID=" + visit.sid + "; path=/; HttpOnly");
    response.set_header("Set-Cookie", "SMFCookie644=%7B%220%22%3A2%7D; path=/; HttpOnly");
    response.status = 302;
    response.set_header("Location", Base() + "/index.php?action=login2;sa=check;member=2");
}

void FakeSMF::MessageIndex(httplib::Response& response, const Visit& visit, int board) {
    const BoardInfo info = BoardOf(board);
    if (info.name == nullptr) {
        SendFatalError(response, visit, "no_board",
                       L"The board you specified doesn't exist or is off-limits to you.");
        return;
    }
    const std::vector<FakeTopic> topics = Topics();
    std::wstring rows;
    for (const FakeTopic& topic : topics) {
        std::wstring starter;
        bool held = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            starter = starters_[topic.id];
            held = held_topics_.count(topic.id) != 0;
        }
        // Topics waiting for a moderator are shown to the member who started them.
        if (topic.section != std::to_string(board) || (held && starter != visit.session.user)) {
            continue;
        }
        rows += Render("topic_row",
                       {{L"TOPIC", std::to_wstring(topic.id)},
                        {L"SUBJECT", EscapeHtml(topic.subject)},
                        {L"STARTER", EscapeHtml(starter)},
                        {L"Q", LinkPrefix(visit)}},
                       {});
    }
    std::set<std::wstring> flags;
    if (visit.signed_in() && board != kReadOnlyBoard) {
        flags.insert(L"CAN_POST");
    }
    SendBoardPage(response, visit, "messageindex", info.name,
                  {{L"ID", std::to_wstring(board)},
                   {L"BOARD_TITLE", info.name},
                   {L"DESCRIPTION", info.description},
                   {L"TOPICS", rows}},
                  flags);
}

void FakeSMF::PostingPage(httplib::Response& response, Visit& visit, int board,
                          const std::wstring& error, const std::wstring& subject,
                          const std::wstring& message) {
    if (BoardOf(board).name == nullptr) {
        SendFatalError(response, visit, "no_board",
                       L"The board you specified doesn't exist or is off-limits to you.");
        return;
    }
    if (!visit.signed_in() || board == kReadOnlyBoard) {
        SendFatalError(response, visit, "cannot_post_new",
                       L"Sorry, you aren't allowed to post new topics in this board.");
        return;
    }
    FakeTopic topic;
    topic.subject = subject;
    topic.body = message;
    SendPostForm(response, visit, board, 0, topic, error);
}

void FakeSMF::SendPostForm(httplib::Response& response, Visit& visit, int board, int msg,
                           const FakeTopic& topic, const std::wstring& error) {
    // A new seqnum each time the form is shown; it is good for one sending.
    const std::string seqnum = std::to_string(100000 + visit.session.seqnums.size() * 7919);
    visit.session.seqnums.insert(seqnum);
    SaveSession(visit);
    std::set<std::wstring> flags;
    if (!error.empty()) {
        flags.insert(L"ERROR");
    }
    if (options_.moderated_boards.count(board) != 0) {
        flags.insert(L"MODERATED");
    }
    // The edit form is the posting form with the message's number in its address, the
    // topic's, a reason for the edit, and "Save" for "Post".
    std::wstring limit = options_.subject_maxlength ? L"maxlength=\"80\"" : L"";
    if (msg > 0) {
        flags.insert(L"EDIT");
        limit = L"maxlength=\"84\"";
    }
    const std::wstring heading = msg > 0 ? L"Modify message" : L"Start new topic";
    SendBoardPage(response, visit, "post", heading,
                  {{L"ID", std::to_wstring(board)},
                   {L"MSG", std::to_wstring(msg)},
                   {L"TOPIC_FIELD", std::to_wstring(msg > 0 ? topic.id : 0)},
                   {L"HEADING", heading},
                   {L"BUTTON", msg > 0 ? L"Save" : L"Post"},
                   {L"ERROR", EscapeHtml(error)},
                   {L"SUBJECT", EscapeHtml(topic.subject)},
                   {L"SUBJECT_LIMIT", limit},
                   {L"MESSAGE", EscapeHtml(topic.body)},
                   {L"SEQNUM", Widen(seqnum)}},
                  flags);
}

void FakeSMF::PostingPost(const httplib::Request& request, httplib::Response& response,
                          Visit& visit, int board) {
    const Fields fields = ParseFormFields(request.body);
    const std::string seqnum = Field(fields, "seqnum");
    if (options_.stale_seqnum || visit.session.seqnums.erase(seqnum) == 0) {
        SendFatalError(response, visit, "error_form_already_submitted",
                       L"You cannot submit the same post twice.");
        return;
    }
    SaveSession(visit);
    if (!visit.signed_in() || BoardOf(board).name == nullptr || board == kReadOnlyBoard) {
        SendFatalError(response, visit, "cannot_post_new",
                       L"Sorry, you aren't allowed to post new topics in this board.");
        return;
    }
    const std::wstring subject = Decode(Field(fields, "subject"));
    const std::wstring message = Decode(Field(fields, "message"));
    for (const char* button : {"preview", "save_draft"}) {
        if (fields.count(button) != 0) {
            Problem(std::string("the posting form came with the button ") + button);
        }
    }
    if (fields.count("post") == 0) {
        Problem("the posting form came without the button post");
    }
    std::wstring error;
    if (options_.stale_post_session || !SessionFieldMatches(visit, fields)) {
        error = L"Your session timed out while posting. Please try to re-submit your message.";
    } else if (subject.empty()) {
        error = L"No subject was filled in.";
    } else if (message.empty()) {
        error = L"The message body was left empty.";
    }
    if (!error.empty()) {
        PostingPage(response, visit, board, error, subject, message);
        return;
    }
    if (options_.flood_seconds > 0) {
        // spamWaitTime counts per address, not per member.
        std::unique_lock<std::mutex> lock(mutex_);
        const long now = Now();
        const bool refused = last_post_time_ >= 0 && now - last_post_time_ < options_.flood_seconds;
        last_post_time_ = now;
        lock.unlock();
        if (refused) {
            SendFatalError(response, visit, "post_WaitTime_broken",
                           L"The last posting from your IP was less than " +
                               std::to_wstring(options_.flood_seconds) +
                               L" seconds ago. Please try again later.");
            return;
        }
    }
    FakeTopic topic;
    topic.section = std::to_string(board);
    // SMF cuts what the form's maxlength would have stopped, without a word.
    topic.subject = subject.substr(0, kStoredSubjectLength);
    topic.body = message;
    topic.pressed_button = fields.count("post") != 0 ? "post" : "";
    topic.fields = fields;
    const int id = AddTopic(topic);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        starters_[id] = visit.session.user;
        if (options_.moderated_boards.count(board) != 0) {
            held_topics_.insert(id);
        }
    }
    Redirect(response, Field(fields, "goback") == "1"
                           ? "index.php?topic=" + std::to_string(id) + ".new#new"
                           : "index.php?board=" + std::to_string(board) + ".0");
}

std::wstring FakeSMF::AuthorOf(const FakeTopic& topic) {
    if (!topic.author.empty()) {
        return topic.author;
    }
    std::wstring starter;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        starter = starters_[topic.id];
    }
    return starter.empty() ? AccountLogin() : starter;
}

// <div class="pagelinks floatleft"> as SMF 2.1.4 draws it (topic-many-p1, topic-many-last):
// the current page as a span, the others as "topic=T.<offset>" links, arrows around them.
std::wstring FakeSMF::PageLinks(const Visit& visit, int topic, int offset, int messages) const {
    const int pages = (messages + kMessagesPerPage - 1) / kMessagesPerPage;
    const int current = offset / kMessagesPerPage;
    const std::wstring link = L"<a class=\"nav_page\" href=\"" + LinkPrefix(visit) + L"topic=" +
                              std::to_wstring(topic) + L".";
    std::wstring html = L"<span class=\"pages\">Pages</span>";
    if (current > 0) {
        html += link + std::to_wstring((current - 1) * kMessagesPerPage) +
                L"\"><span class=\"main_icons previous_page\"></span></a> ";
    }
    for (int page = 0; page < pages; ++page) {
        const std::wstring number = std::to_wstring(page + 1);
        html += page == current
                    ? L"<span class=\"current_page\">" + number + L"</span> "
                    : link + std::to_wstring(page * kMessagesPerPage) + L"\">" + number + L"</a> ";
    }
    if (current + 1 < pages) {
        html += link + std::to_wstring((current + 1) * kMessagesPerPage) +
                L"\"><span class=\"main_icons next_page\"></span></a> ";
    }
    return html;
}

void FakeSMF::KickGuest(httplib::Response& response, Visit& visit, const std::wstring& message) {
    // is_not_guest(): the sign-in form under the board's message, with a fresh token.
    visit.session.token_var = Random(12);
    visit.session.token = Random(32);
    SaveSession(visit);
    SendBoardPage(response, visit, "kick_guest", L"Log in",
                  {{L"ERROR", message},
                   {L"TOKEN_VAR", Widen(visit.session.token_var)},
                   {L"TOKEN", Widen(visit.session.token)}},
                  {});
}

void FakeSMF::Display(httplib::Response& response, Visit& visit, int topic,
                      const std::string& start) {
    const std::wstring gone =
        L"The topic or board you are looking for appears to be either missing or off limits "
        L"to you.";
    FakeTopic stored;
    if (!FindTopic(topic, stored) || stored.gone) {
        SendFatalError(response, visit, "topic_gone", gone);
        return;
    }
    if (!visit.signed_in() && options_.members_only_boards.count(NumberOf(stored.section)) != 0) {
        KickGuest(response, visit, gone);
        return;
    }
    const int messages = 1 + static_cast<int>(stored.replies.size());
    // "T.<offset>", "T.msgM" (the page holding message M) or "T.new".
    int offset = 0;
    if (start.starts_with("msg")) {
        const int msg = NumberOf(start.substr(3));
        offset = msg > topic * 1000 ? msg - topic * 1000 : 0;
    } else if (NumberOf(start) > 0) {
        offset = NumberOf(start);
    }
    offset = std::min(offset, messages - 1);
    offset -= offset % kMessagesPerPage;
    const bool held = HeldTopics().count(topic) != 0;
    const bool may_edit = visit.signed_in() && CheckEdit(topic) == EditRefusal::kNone;
    const std::wstring subject = EscapeHtml(stored.subject);
    std::wstring posts;
    int last_msg = topic;
    for (int n = offset; n < messages && n < offset + kMessagesPerPage; ++n) {
        const FakeReply* reply = n == 0 ? nullptr : &stored.replies[static_cast<size_t>(n) - 1];
        const std::wstring author = reply == nullptr ? AuthorOf(stored) : reply->author;
        const int msg = reply == nullptr ? topic : topic * 1000 + n;
        last_msg = msg;
        std::set<std::wstring> flags;
        if (reply == nullptr ? may_edit : visit.signed_in() && author == visit.session.user) {
            flags.insert(L"CAN_MODIFY");
        }
        if (reply != nullptr) {
            flags.insert(L"REPLY");
        } else if (held) {
            flags.insert(L"UNAPPROVED");
        }
        const std::wstring post_subject = reply == nullptr ? subject : L"Re: " + subject;
        posts += Render(
            "display_post",
            {{L"Q", LinkPrefix(visit)},
             {L"MSG", std::to_wstring(msg)},
             {L"TOPIC", std::to_wstring(topic)},
             {L"MEMBER", author == AccountLogin() ? L"2" : L"1"},
             {L"AUTHOR", EscapeHtml(author)},
             {L"POST_SUBJECT", post_subject},
             {L"NUMBER", std::to_wstring(n)},
             {L"DATE_TITLE",
              reply == nullptr ? subject : L"Reply #" + std::to_wstring(n) + L" - " + post_subject},
             {L"BODY", EscapeHtml(reply == nullptr ? stored.body : reply->body)}},
            flags);
    }
    std::set<std::wstring> flags;
    if (!stored.locked) {
        flags.insert(L"CAN_REPLY");
    }
    const std::string seqnum = std::to_string(900000 + visit.session.seqnums.size());
    visit.session.seqnums.insert(seqnum);
    SaveSession(visit);
    const std::wstring title =
        offset == 0 ? stored.subject
                    : stored.subject + L" - Page " + std::to_wstring(offset / kMessagesPerPage + 1);
    SendBoardPage(response, visit, "display", title,
                  {{L"TOPIC", std::to_wstring(topic)},
                   {L"ID", Widen(stored.section)},
                   {L"SUBJECT", subject},
                   {L"STARTER", EscapeHtml(AuthorOf(stored))},
                   {L"POSTS", posts},
                   {L"PAGES", PageLinks(visit, topic, offset, messages)},
                   {L"LAST_MSG", std::to_wstring(last_msg)},
                   {L"SEQNUM", Widen(seqnum)}},
                  flags);
}

bool FakeSMF::MayEdit(httplib::Response& response, const Visit& visit, int topic) {
    // The keys and words of SMF 2.1.4's answers (edit-not-own, edit-locked, edit-too-late,
    // topic-gone).
    switch (CheckEdit(topic)) {
        case EditRefusal::kNone:
            return true;
        case EditRefusal::kGone:
            SendFatalError(response, visit, "topic_gone",
                           L"The topic or board you are looking for appears to be either "
                           L"missing or off limits to you.");
            return false;
        case EditRefusal::kNotOwn:
            SendFatalError(response, visit, "cannot_modify_any",
                           L"You aren't allowed to modify posts.");
            return false;
        case EditRefusal::kLocked:
            SendFatalError(response, visit, "topic_locked",
                           L"This topic is locked, you are not allowed to post or modify "
                           L"messages.");
            return false;
        case EditRefusal::kTooLate:
            SendFatalError(response, visit, "modify_post_time_passed",
                           L"You may not modify this post, as the time limit for edits has "
                           L"passed.");
            return false;
    }
    return false;
}

void FakeSMF::EditPage(httplib::Response& response, Visit& visit, int msg) {
    if (msg >= 1000) {
        Problem("the edit form of a reply was asked for");
        SendFatalError(response, visit, "cannot_modify_any",
                       L"You aren't allowed to modify posts.");
        return;
    }
    if (!visit.signed_in()) {
        KickGuest(response, visit, L"You aren't allowed to modify posts.");
        return;
    }
    if (!MayEdit(response, visit, msg)) {
        return;
    }
    FakeTopic topic;
    FindTopic(msg, topic);
    SendPostForm(response, visit, NumberOf(topic.section), msg, topic, L"");
}

void FakeSMF::EditPost(const httplib::Request& request, httplib::Response& response, Visit& visit,
                       int msg) {
    const Fields fields = ParseFormFields(request.body);
    if (visit.session.seqnums.erase(Field(fields, "seqnum")) == 0) {
        SendFatalError(response, visit, "error_form_already_submitted",
                       L"You cannot submit the same post twice.");
        return;
    }
    SaveSession(visit);
    if (!visit.signed_in() || msg >= 1000) {
        SendFatalError(response, visit, "cannot_modify_any",
                       L"You aren't allowed to modify posts.");
        return;
    }
    // Post2 checks again what the form's page checked.
    if (!MayEdit(response, visit, msg)) {
        return;
    }
    for (const char* button : {"preview", "save_draft"}) {
        if (fields.count(button) != 0) {
            Problem(std::string("the edit form came with the button ") + button);
        }
    }
    if (fields.count("post") == 0) {
        Problem("the edit form came without the button post");
    }
    if (Field(fields, "topic") != std::to_string(msg)) {
        Problem("the edit form came without its topic");
    }
    FakeTopic topic;
    FindTopic(msg, topic);
    topic.subject = Decode(Field(fields, "subject"));
    topic.body = Decode(Field(fields, "message"));
    std::wstring error;
    if (!SessionFieldMatches(visit, fields) || !SessionFieldMatches(visit, QueryOf(request))) {
        error = L"Your session timed out while posting. Please try to re-submit your message.";
    } else if (topic.subject.empty()) {
        error = L"No subject was filled in.";
    } else if (topic.body.empty()) {
        error = L"The message body was left empty.";
    }
    if (!error.empty()) {
        SendPostForm(response, visit, NumberOf(topic.section), msg, topic, error);
        return;
    }
    ApplyEdit(msg, topic.subject.substr(0, kStoredSubjectLength), topic.body, fields);
    if (options_.gateway_error_after_edit) {
        response.status = 502;
        response.set_content(
            "<html><head><title>502 Bad Gateway</title></head><body><h1>502 "
            "Bad Gateway</h1></body></html>",
            "text/html");
        return;
    }
    // edit-answer: back to the message edited.
    Redirect(response, Field(fields, "goback") == "1"
                           ? "index.php?topic=" + std::to_string(msg) + ".msg" +
                                 std::to_string(msg) + "#msg" + std::to_string(msg)
                           : "index.php?board=" + topic.section + ".0");
}

}  // namespace twk::test
