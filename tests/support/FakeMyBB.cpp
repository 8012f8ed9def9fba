#include "support/FakeMyBB.h"

#include <algorithm>
#include <ctime>

#include <stdexcept>

#include "support/FakeSleeper.h"
#include "support/TempDir.h"
#include "text/Unicode.h"
#include "web/Charsets.h"

namespace twk::test {

namespace {

// What the saved pages carry that belongs to the session that saved them.
const wchar_t* const kSavedBoard = L"http://127.0.0.1:18082";
const wchar_t* const kSavedGuestKey = L"3efe9c30df0102fb790fa8c80711affd";
const wchar_t* const kSavedMemberKey = L"4ff611b81b9fc2fb56e07f85e8a6019f";
const wchar_t* const kSavedLogoutKey = L"bbccfb4a8fb742cbf8e00b321fac19c9";
const wchar_t* const kSavedPostHash = L"02c89f985f985b0021b460cfb0bcedf2";
const wchar_t* const kSavedSubject = L"Проверка";
const wchar_t* const kSavedBadKeyText =
    L"Authorization code mismatch. Are you accessing this function correctly? Please go back "
    L"and try again.";

// This board's own keys: a signed-in user's post key comes from the account, a guest's
// from its session.
const char* const kMemberKey = "9d1c0b2a3f4e5d6c7b8a99887766aa01";
const char* const kLogoutKey = "5e4d3c2b1a0f9e8d7c6b5a4938271605";
const char* const kLoginKey = "2_Zx8sQ4pLmN0vR7tY2wK5bH9cJ3dF6gA1eU";

const std::map<int, std::wstring>& Forums() {
    static const std::map<int, std::wstring> forums = {
        {1, L"Lab Category"}, {2, L"General"}, {3, L"Announcements"}, {4, L"Тестирование"}};
    return forums;
}

void ReplaceAll(std::wstring& text, const std::wstring& from, const std::wstring& to) {
    for (size_t at = text.find(from); at != std::wstring::npos; at = text.find(from, at)) {
        text.replace(at, from.size(), to);
        at += to.size();
    }
}

// "tid=1" to "tid=7" without touching "tid=12".
void ReplaceId(std::wstring& text, const std::wstring& name, int from, int to) {
    const std::wstring old = name + std::to_wstring(from);
    const std::wstring replacement = name + std::to_wstring(to);
    for (size_t at = text.find(old); at != std::wstring::npos; at = text.find(old, at)) {
        const size_t end = at + old.size();
        if (end < text.size() && text[end] >= L'0' && text[end] <= L'9') {
            at = end;
            continue;
        }
        text.replace(at, old.size(), replacement);
        at += replacement.size();
    }
}

// The text between begin (included) and end (included), or empty.
std::wstring Cut(const std::wstring& text, const std::wstring& begin, const std::wstring& end,
                 size_t* start = nullptr) {
    size_t from = text.find(begin);
    size_t to = from == std::wstring::npos ? from : text.find(end, from);
    if (to == std::wstring::npos) {
        throw std::logic_error("saved MyBB page lacks " + WideToUtf8(begin));
    }
    if (start != nullptr) {
        *start = from;
    }
    return text.substr(from, to + end.size() - from);
}

std::string CookieValue(const httplib::Request& request, const std::string& name) {
    const std::string cookies = "; " + request.get_header_value("Cookie");
    const size_t at = cookies.find("; " + name + "=");
    if (at == std::string::npos) {
        return {};
    }
    const size_t start = at + name.size() + 3;
    const size_t end = cookies.find(';', start);
    return cookies.substr(start, end == std::string::npos ? end : end - start);
}

std::string Field(const std::multimap<std::string, std::string>& fields, const std::string& name) {
    auto it = fields.find(name);
    return it == fields.end() ? std::string() : it->second;
}

int NumberParam(const httplib::Request& request, const std::string& name) {
    const std::string value = request.get_param_value(name);
    if (value.empty() || value.size() > 6 ||
        value.find_first_not_of("0123456789") != std::string::npos) {
        return 0;
    }
    return std::stoi(value);
}

}  // namespace

FakeMyBB::FakeMyBB() : FakeMyBB(FakeMyBBSetup{}) {}

FakeMyBB::FakeMyBB(FakeMyBBSetup setup) : FakeForum(kCodePageUtf8), setup_(std::move(setup)) {
    for (const char* name :
         {"index-guest", "index-signed-in", "login", "login-wrong", "login-ok", "login-badkey",
          "logout", "section", "newthread", "newthread-answer", "newthread-guest", "flood",
          "moderated", "thread", "thread-paged", "edit-form", "edit-answer"}) {
        pages_[name] = Utf8ToWide(ReadFixture(std::string("mybb/pages/") + name + ".html"));
    }
    SetAccount(kLogin, kPassword);
    if (setup_.posted_at_start) {
        last_post_time_ = 0;
    }
    auto bind = [this](void (FakeMyBB::*serve)(const httplib::Request&, httplib::Response&)) {
        return [this, serve](const httplib::Request& request, httplib::Response& response) {
            (this->*serve)(request, response);
        };
    };
    server_.Get("/", bind(&FakeMyBB::Index));
    server_.Get("/index.php", bind(&FakeMyBB::Index));
    server_.Get("/member.php", bind(&FakeMyBB::Member));
    server_.Post("/member.php", bind(&FakeMyBB::SignInPost));
    server_.Get("/forumdisplay.php", bind(&FakeMyBB::Section));
    server_.Get("/newthread.php", bind(&FakeMyBB::NewThread));
    server_.Post("/newthread.php", bind(&FakeMyBB::PostThread));
    server_.Get("/showthread.php", bind(&FakeMyBB::Thread));
    server_.Get("/editpost.php", bind(&FakeMyBB::EditPost));
    server_.Post("/editpost.php", bind(&FakeMyBB::EditPost));
    Start();
}

FakeMyBB::~FakeMyBB() {
    Stop();
}

std::wstring FakeMyBB::MainUrl() const {
    return Url("/index.php");
}

std::wstring FakeMyBB::SectionUrl(int forumId) const {
    return Url("/forumdisplay.php?fid=" + std::to_string(forumId));
}

std::wstring FakeMyBB::TopicUrl(int topicId) const {
    return Url("/showthread.php?tid=" + std::to_string(topicId));
}

std::wstring FakeMyBB::ForumName(int forumId) {
    auto it = Forums().find(forumId);
    return it == Forums().end() ? std::wstring() : it->second;
}

std::vector<std::string> FakeMyBB::LastSignInFields() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return sign_in_fields_;
}

std::set<int> FakeMyBB::HeldTopics() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return held_topics_;
}

long FakeMyBB::Now() const {
    return setup_.clock == nullptr ? 0 : setup_.clock->total_ms() / 1000;
}

FakeMyBB::Visit FakeMyBB::Begin(const httplib::Request& request, httplib::Response& response) {
    Visit visit;
    visit.sid = CookieValue(request, "sid");
    std::string user = CookieValue(request, "mybbuser");
    bool known = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        known = sids_.count(visit.sid) != 0;
        if (!known) {
            char sid[40];
            std::snprintf(sid, sizeof sid, "%032d", ++sid_counter_);
            visit.sid = sid;
            sids_.insert(visit.sid);
        }
    }
    if (!known) {
        response.set_header("Set-Cookie", "sid=" + visit.sid + "; path=/; HttpOnly");
        bool first_visit = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            first_visit = sid_counter_ == 1;
        }
        if (setup_.signed_in_at_start && first_visit) {
            user = kLoginKey;
            response.set_header("Set-Cookie",
                                std::string("mybbuser=") + kLoginKey + "; path=/; HttpOnly");
        }
    }
    visit.signed_in = user == kLoginKey;
    visit.post_key = visit.signed_in ? kMemberKey : "a1b2c3d4" + visit.sid.substr(8);
    return visit;
}

FakeMyBB::Fields FakeMyBB::FormFields(const httplib::Request& request) {
    // PHP reads both encodings the same way, and so does MyBB.
    if (request.is_multipart_form_data()) {
        Fields fields;
        for (const auto& [name, part] : request.files) {
            fields.emplace(name, part.content);
        }
        return fields;
    }
    return ParseFormFields(request.body);
}

std::wstring FakeMyBB::Page(const std::string& name, const Visit& visit) const {
    std::wstring text = pages_.at(name);
    const std::wstring shown =
        setup_.stale_post_key ? L"00000000000000000000000000000000" : Widen(visit.post_key);
    ReplaceAll(text, kSavedBoard, Widen(Base()));
    ReplaceAll(text, kSavedGuestKey, shown);
    ReplaceAll(text, kSavedMemberKey, shown);
    ReplaceAll(text, kSavedLogoutKey, Widen(kLogoutKey));
    return text;
}

std::wstring FakeMyBB::ErrorPage(const Visit& visit, const std::wstring& message) const {
    std::wstring text = Page("login-badkey", visit);
    ReplaceAll(text, kSavedBadKeyText, message);
    return text;
}

std::wstring FakeMyBB::NewThreadPage(const Visit& visit, int forumId, const std::wstring& error,
                                     const std::wstring& subject, const std::wstring& body) const {
    std::wstring text = Page("newthread", visit);
    if (setup_.stale_thread_key) {
        ReplaceAll(text, Widen(visit.post_key), L"0000000000000000000000000000dead");
    }
    ReplaceId(text, L"fid=", 2, forumId);
    ReplaceAll(text, kSavedPostHash, L"0f1e2d3c4b5a69788796a5b4c3d2e1f" + std::to_wstring(forumId));
    ReplaceAll(
        text, L"name=\"subject\" size=\"40\" maxlength=\"85\" value=\"\"",
        L"name=\"subject\" size=\"40\" maxlength=\"85\" value=\"" + EscapeHtml(subject) + L"\"");
    ReplaceAll(text, L"tabindex=\"2\"></textarea>",
               L"tabindex=\"2\">" + EscapeHtml(body) + L"</textarea>");
    if (!error.empty()) {
        // The inline error box of the flood answer, with this error in it, above the form.
        std::wstring box = Cut(pages_.at("flood"), L"<div class=\"error\">", L"</div>");
        size_t item = 0;
        std::wstring old = Cut(box, L"<li>", L"</li>", &item);
        box.replace(item, old.size(), L"<li>" + error + L"</li>");
        text.insert(text.find(L"<form action=\"newthread.php"), box + L"\n");
    }
    return text;
}

void FakeMyBB::Answer(httplib::Response& response, const std::wstring& redirectPage,
                      const std::string& target) const {
    if (setup_.location_redirects) {
        response.set_redirect(Base() + "/" + target, 302);
        return;
    }
    SendPage(response, redirectPage);
}

void FakeMyBB::Index(const httplib::Request& request, httplib::Response& response) {
    Visit visit = Begin(request, response);
    SendPage(response, Page(visit.signed_in ? "index-signed-in" : "index-guest", visit));
}

void FakeMyBB::Member(const httplib::Request& request, httplib::Response& response) {
    Visit visit = Begin(request, response);
    const std::string action = request.get_param_value("action");
    if (action == "login") {
        SendPage(response, Page("login", visit));
        return;
    }
    if (action != "logout") {
        SendPage(response, ErrorPage(visit, L"Invalid action."));
        return;
    }
    if (!visit.signed_in || request.get_param_value("logoutkey") != kLogoutKey) {
        SendPage(response, ErrorPage(visit,
                                     L"Your user ID could not be verified to log you "
                                     L"out. This may have been because a malicious "
                                     L"Javascript was attempting to log you out."));
        return;
    }
    // MyBB deletes both cookies; the next page starts a new guest session.
    response.set_header("Set-Cookie", "mybbuser=; expires=Thu, 01 Jan 1970 00:00:01 GMT; path=/");
    response.set_header("Set-Cookie", "sid=; expires=Thu, 01 Jan 1970 00:00:01 GMT; path=/");
    SendPage(response, Page("logout", visit));
}

void FakeMyBB::SignInPost(const httplib::Request& request, httplib::Response& response) {
    Visit visit = Begin(request, response);
    const Fields fields = FormFields(request);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        sign_in_fields_.clear();
        for (const auto& field : fields) {
            sign_in_fields_.push_back(field.first);
        }
    }
    if (Field(fields, "action") != "do_login" || Field(fields, "my_post_key") != visit.post_key) {
        SendPage(response, Page("login-badkey", visit));
        return;
    }
    // The header's quick form sends its own names.
    const bool quick = Field(fields, "quick_login") == "1";
    const std::string login = Field(fields, quick ? "quick_username" : "username");
    const std::string password = Field(fields, quick ? "quick_password" : "password");
    if (!CheckCredentials(login, password)) {
        SendPage(response, Page("login-wrong", visit));
        return;
    }
    const bool remember = Field(fields, quick ? "quick_remember" : "remember") == "yes";
    response.set_header("Set-Cookie", std::string("mybbuser=") + kLoginKey + "; path=/" +
                                          (remember ? "; max-age=31536000" : "") + "; HttpOnly");
    Answer(response, Page("login-ok", visit), "index.php");
}

void FakeMyBB::Section(const httplib::Request& request, httplib::Response& response) {
    Visit visit = Begin(request, response);
    const int forum = NumberParam(request, "fid");
    if (ForumName(forum).empty()) {
        SendPage(response, ErrorPage(visit, L"Invalid forum"));
        return;
    }
    std::wstring text = Page("section", visit);
    size_t row_at = 0;
    const std::wstring row = Cut(text, L"<!-- start: forumdisplay_thread -->",
                                 L"<!-- end: forumdisplay_thread -->", &row_at);
    std::wstring rows;
    const std::set<int> held = HeldTopics();
    for (const FakeTopic& topic : Topics()) {
        if (topic.section != std::to_string(forum) || held.count(topic.id) != 0) {
            continue;
        }
        std::wstring one = row;
        ReplaceId(one, L"tid=", 1, topic.id);
        ReplaceId(one, L"tid_", 1, topic.id);
        ReplaceAll(one, kSavedSubject, EscapeHtml(topic.subject));
        rows += one;
    }
    text.replace(row_at, row.size(), rows);
    if (forum == kCategory || setup_.read_only_forums.count(forum) != 0) {
        const std::wstring button =
            L"<a href=\"newthread.php?fid=2\" class=\"button "
            L"new_thread_button\"><span>Post Thread</span></a>";
        ReplaceAll(text, button, L"");
    }
    ReplaceId(text, L"fid=", 2, forum);
    ReplaceAll(text, L"General", ForumName(forum));
    SendPage(response, text);
}

void FakeMyBB::NewThread(const httplib::Request& request, httplib::Response& response) {
    Visit visit = Begin(request, response);
    const int forum = NumberParam(request, "fid");
    if (!visit.signed_in || forum == kCategory || setup_.read_only_forums.count(forum) != 0) {
        SendPage(response, Page("newthread-guest", visit));
        return;
    }
    if (ForumName(forum).empty()) {
        SendPage(response, ErrorPage(visit, L"Invalid forum"));
        return;
    }
    SendPage(response, NewThreadPage(visit, forum, L"", L"", L""));
}

void FakeMyBB::PostThread(const httplib::Request& request, httplib::Response& response) {
    Visit visit = Begin(request, response);
    const int forum = NumberParam(request, "fid");
    const Fields fields = FormFields(request);
    if (!visit.signed_in || forum == kCategory || setup_.read_only_forums.count(forum) != 0) {
        SendPage(response, Page("newthread-guest", visit));
        return;
    }
    if (Field(fields, "my_post_key") != visit.post_key) {
        SendPage(response, Page("login-badkey", visit));
        return;
    }
    if (ForumName(forum).empty() || Field(fields, "action") != "do_newthread" ||
        Field(fields, "posthash").empty()) {
        SendPage(response, ErrorPage(visit, L"Invalid forum"));
        return;
    }
    FakeTopic topic;
    topic.section = std::to_string(forum);
    topic.subject = Decode(Field(fields, "subject"));
    topic.body = Decode(Field(fields, "message"));
    topic.fields = fields;
    // Only "Post Thread" posts; the other buttons preview, save a draft or upload.
    if (fields.count("submit") != 1 || fields.count("previewpost") != 0 ||
        fields.count("savedraft") != 0 || fields.count("newattachment") != 0) {
        SendPage(response, NewThreadPage(visit, forum, L"", topic.subject, topic.body));
        return;
    }
    topic.pressed_button = "submit";
    std::wstring error;
    const long now = Now();
    if (topic.subject.empty()) {
        error = L"The subject is missing. Please enter a subject.";
    } else if (topic.subject.size() > 85) {
        // MyBB counts characters, not bytes, and refuses rather than cuts.
        error =
            L"The subject is too long. Please enter a subject shorter than 85 characters "
            L"(currently " +
            std::to_wstring(topic.subject.size()) + L").";
    } else if (topic.body.empty()) {
        error = L"The message is missing. Please enter a message.";
    } else if (setup_.flood_seconds > 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        const long left = last_post_time_ < 0 ? 0 : last_post_time_ + setup_.flood_seconds - now;
        if (left > 0) {
            error =
                L"You are trying to post a message too quickly after posting a previous "
                L"message. Please wait " +
                std::to_wstring(left) + (left == 1 ? L" more second." : L" more seconds.");
        }
    }
    if (!error.empty()) {
        SendPage(response, NewThreadPage(visit, forum, error, topic.subject, topic.body));
        return;
    }
    const int id = AddTopic(topic);
    const bool held = setup_.moderated_forums.count(forum) != 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        last_post_time_ = now;
        if (held) {
            held_topics_.insert(id);
        }
    }
    if (held) {
        std::wstring text = Page("moderated", visit);
        ReplaceId(text, L"fid=", 4, forum);
        Answer(response, text, "forumdisplay.php?fid=" + std::to_string(forum));
        return;
    }
    std::wstring text = Page("newthread-answer", visit);
    ReplaceId(text, L"tid=", 1, id);
    ReplaceId(text, L"fid=", 2, forum);
    Answer(response, text, "showthread.php?tid=" + std::to_string(id));
}

void FakeMyBB::Thread(const httplib::Request& request, httplib::Response& response) {
    Visit visit = Begin(request, response);
    const int id = NumberParam(request, "tid");
    FakeTopic topic;
    if (!FindTopic(id, topic) || topic.gone || HeldTopics().count(id) != 0) {
        SendPage(response, ErrorPage(visit, L"The specified thread does not exist."));
        return;
    }
    if (!visit.signed_in && setup_.members_only_forums.count(std::atoi(topic.section.c_str()))) {
        SendPage(response, Page("newthread-guest", visit));
        return;
    }
    SendPage(response, ThreadPage(visit, topic, std::max(1, NumberParam(request, "page"))));
}

std::wstring FakeMyBB::ThreadPage(const Visit& visit, const FakeTopic& topic, int page) const {
    constexpr int kPerPage = 10;
    const std::wstring saved = Page("thread-paged", visit);
    const std::wstring start = L"<!-- start: postbit -->";
    const std::wstring end = L"<!-- end: postbit -->";
    const size_t first = saved.find(start);
    const size_t block_end = saved.find(end, first) + end.size();
    const size_t last_end = saved.rfind(end) + end.size();
    const std::wstring block = saved.substr(first, block_end - first);
    std::wstring text = saved.substr(0, first);
    const int posts = static_cast<int>(topic.replies.size()) + 1;
    const int pages = (posts + kPerPage - 1) / kPerPage;
    page = std::min(page, pages);
    for (int n = (page - 1) * kPerPage; n < posts && n < page * kPerPage; ++n) {
        const bool opening = n == 0;
        const FakeReply post =
            opening ? FakeReply{topic.author.empty() ? Widen("tester") : topic.author,
                                topic.posted_at, topic.body}
                    : topic.replies[static_cast<size_t>(n - 1)];
        const int pid = opening ? topic.id : ReplyPostId(topic.id, n);
        std::wstring row = block;
        for (const wchar_t* name :
             {L"pid=", L"pid", L"pid_", L"post_", L"edited_by_", L"edit_post_"}) {
            ReplaceId(row, name, 3, pid);
        }
        ReplaceAll(row, L"uid=2\">tester</a>", L"uid=2\">" + EscapeHtml(post.author) + L"</a>");
        ReplaceAll(row, L">#1</a>", L">#" + std::to_wstring(n + 1) + L"</a>");
        const std::time_t when = static_cast<std::time_t>(post.time);
        std::tm parts{};
        gmtime_r(&when, &parts);
        char date[32];
        std::strftime(date, sizeof date, "%m-%d-%Y, %I:%M %p", &parts);
        ReplaceAll(row, L"title=\"12-10-2026, 05:07 PM\"", L"title=\"" + Widen(date) + L"\"");
        size_t body_at = 0;
        const std::wstring open =
            L"<div class=\"post_body scaleimages\" id=\"pid_" + std::to_wstring(pid) + L"\">";
        const std::wstring body = Cut(row, open, L"</div>", &body_at);
        row.replace(body_at, body.size(), open + EscapeHtml(post.body) + L"</div>");
        // The edit link (and its popup) only where the member may edit.
        const bool editable =
            visit.signed_in &&
            (opening ? CheckEdit(topic.id) == EditRefusal::kNone : post.author == Widen("tester"));
        const std::wstring link = L"<a href=\"editpost.php?pid=" + std::to_wstring(pid) + L"\"";
        const size_t link_at = row.find(link);
        const std::wstring popup_end = L"Full Edit</a></div></div>";
        if (!editable && link_at != std::wstring::npos) {
            row.erase(link_at, row.find(popup_end, link_at) + popup_end.size() - link_at);
        }
        text += row;
    }
    text += saved.substr(last_end);
    // Both pagination blocks: every page but the current one linked (page 1 without page=).
    std::wstring pagination;
    if (pages > 1) {
        pagination = L"<div class=\"pagination\">\n<span class=\"pages\">Pages (" +
                     std::to_wstring(pages) + L"):</span>\n";
        for (int n = 1; n <= pages; ++n) {
            pagination +=
                n == page
                    ? L" <span class=\"pagination_current\">" + std::to_wstring(n) + L"</span>\n"
                    : L"<a href=\"showthread.php?tid=3" +
                          (n == 1 ? L"" : L"&amp;page=" + std::to_wstring(n)) +
                          L"\" class=\"pagination_page\">" + std::to_wstring(n) + L"</a>\n";
        }
        pagination += L"</div>\n";
    }
    const std::wstring multipage = L"<!-- start: multipage -->";
    const std::wstring multipage_end = L"<!-- end: multipage -->";
    for (size_t at = text.find(multipage); at != std::wstring::npos;
         at = text.find(multipage, at + pagination.size())) {
        const size_t stop = text.find(multipage_end, at) + multipage_end.size();
        text.replace(at, stop - at, pagination);
    }
    ReplaceId(text, L"tid=", 3, topic.id);
    ReplaceAll(text, L"Thread with 45 replies", EscapeHtml(topic.subject));
    return text;
}

void FakeMyBB::EditPost(const httplib::Request& request, httplib::Response& response) {
    Visit visit = Begin(request, response);
    const int pid = NumberParam(request, "pid");
    if (!visit.signed_in) {
        SendPage(response, Page("newthread-guest", visit));
        return;
    }
    switch (CheckEdit(pid)) {
        case EditRefusal::kGone:
            SendPage(response, ErrorPage(visit, L"The specified post does not exist."));
            return;
        case EditRefusal::kNotOwn:
            SendPage(response, Page("newthread-guest", visit));
            return;
        case EditRefusal::kLocked:
            SendPage(response, ErrorPage(visit,
                                         L"You cannot edit existing posts in this thread "
                                         L"because it has been closed by a moderator."));
            return;
        case EditRefusal::kTooLate:
            SendPage(response,
                     ErrorPage(visit,
                               L"Sorry but you cannot edit your post. The Administrator has set "
                               L"it so that posts can only be edited within 1 minutes of "
                               L"posting."));
            return;
        case EditRefusal::kNone:
            break;
    }
    FakeTopic topic;
    FindTopic(pid, topic);
    if (request.method == "GET") {
        std::wstring text = Page("edit-form", visit);
        ReplaceAll(text, L"e0fb2e280fff29d78bd36f8d7f9ba17b", Widen(visit.post_key));
        ReplaceId(text, L"pid=", 1, pid);
        ReplaceId(text, L"tid=", 1, pid);
        ReplaceAll(text, L"Tester thread to edit", EscapeHtml(topic.subject));
        ReplaceAll(text, L"First post written by tester. [b]Bold[/b] text.",
                   EscapeHtml(topic.body));
        SendPage(response, text);
        return;
    }
    const Fields fields = FormFields(request);
    if (Field(fields, "my_post_key") != visit.post_key) {
        SendPage(response, Page("login-badkey", visit));
        return;
    }
    if (Field(fields, "action") != "do_editpost" || fields.count("submitbutton") != 1) {
        SendPage(response, ErrorPage(visit, L"Invalid action."));
        return;
    }
    ApplyEdit(pid, Decode(Field(fields, "subject")), Decode(Field(fields, "message")), fields);
    if (setup_.gateway_error_after_edit) {
        response.status = 502;
        response.set_content("<html><head><title>502 Bad Gateway</title></head></html>",
                             "text/html");
        return;
    }
    std::wstring text = Page("edit-answer", visit);
    ReplaceId(text, L"tid=", 1, pid);
    ReplaceId(text, L"pid=", 1, pid);
    ReplaceId(text, L"pid", 1, pid);
    const std::string id = std::to_string(pid);
    Answer(response, text, "showthread.php?tid=" + id + "&pid=" + id + "#pid" + id);
}

}  // namespace twk::test
