#include "support/FakeSMF.h"

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
    } else if (action == "post") {
        PostingPage(response, visit, NumberOf(Field(query, "board")), L"", L"", L"");
    } else if (query.count("topic") != 0) {
        Display(response, visit, NumberOf(Field(query, "topic")));
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
    SendBoardPage(response, visit, "post", L"Start new topic",
                  {{L"ID", std::to_wstring(board)},
                   {L"ERROR", EscapeHtml(error)},
                   {L"SUBJECT", EscapeHtml(subject)},
                   {L"SUBJECT_LIMIT", options_.subject_maxlength ? L"maxlength=\"80\"" : L""},
                   {L"MESSAGE", EscapeHtml(message)},
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

void FakeSMF::Display(httplib::Response& response, Visit& visit, int topic) {
    for (const FakeTopic& stored : Topics()) {
        if (stored.id != topic) {
            continue;
        }
        std::set<std::wstring> flags;
        if (HeldTopics().count(topic) != 0) {
            flags.insert(L"UNAPPROVED");
        }
        const std::string seqnum = std::to_string(900000 + visit.session.seqnums.size());
        visit.session.seqnums.insert(seqnum);
        SaveSession(visit);
        std::wstring starter;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            starter = starters_[topic];
        }
        SendBoardPage(response, visit, "display", stored.subject,
                      {{L"TOPIC", std::to_wstring(topic)},
                       {L"ID", Widen(stored.section)},
                       {L"SUBJECT", EscapeHtml(stored.subject)},
                       {L"STARTER", EscapeHtml(starter)},
                       {L"BODY", EscapeHtml(stored.body)},
                       {L"SEQNUM", Widen(seqnum)}},
                      flags);
        return;
    }
    SendFatalError(response, visit, "not_a_topic",
                   L"The topic or board you are looking for appears to be either missing or "
                   L"off limits to you.");
}

}  // namespace twk::test
