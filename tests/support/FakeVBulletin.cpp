#include "support/FakeVBulletin.h"

#include <algorithm>
#include <ctime>
#include <cwchar>
#include <stdexcept>

#include "support/TempDir.h"
#include "text/Unicode.h"

namespace twk::test {

namespace {

// Templates are kept in one fixture file per generation, each after a marker line.
std::map<std::string, std::wstring> ReadTemplates(const std::string& fixture) {
    const std::wstring marker = L"<!--#template ";
    std::wstring text = Utf8ToWide(ReadFixture(fixture));
    std::map<std::string, std::wstring> templates;
    size_t at = text.find(marker);
    while (at != std::wstring::npos) {
        size_t name_end = text.find(L"-->", at);
        size_t body_start = text.find(L'\n', name_end) + 1;
        size_t next = text.find(marker, body_start);
        std::wstring name = text.substr(at + marker.size(), name_end - at - marker.size());
        templates[WideToUtf8(name)] =
            text.substr(body_start, next == std::wstring::npos ? next : next - body_start);
        at = next;
    }
    return templates;
}

// Body fields of a form POST as received (bytes in the page charset), without the query.
httplib::Params BodyFields(const httplib::Request& request) {
    httplib::Params fields;
    httplib::detail::parse_query_text(request.body, fields);
    return fields;
}

std::string Field(const httplib::Params& fields, const std::string& name) {
    auto it = fields.find(name);
    return it == fields.end() ? std::string() : it->second;
}

int ForumIdOf(const httplib::Request& request) {
    std::string value = request.get_param_value("f");
    if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos ||
        value.size() > 6) {
        return 0;
    }
    return std::stoi(value);
}

}  // namespace

FakeVBulletin::FakeVBulletin(int generation, uint32_t codePage)
    : FakeForum(codePage), generation_(generation) {
    if (generation != 3 && generation != 4) {
        throw std::invalid_argument("FakeVBulletin serves generation 3 or 4");
    }
    templates_ = ReadTemplates("vbulletin/vb3.html");
    if (generation == 4) {
        for (auto& [name, text] : ReadTemplates("vbulletin/vb4.html")) {
            templates_[name] = text;
        }
        forums_ = {{1, L"Java Programming"},
                   {53, L"Collections and Generics"},
                   {58, L"AWT / Java Swing"},
                   {59, L"Java Applets"},
                   {62, L"What's Wrong With My Code?"}};
    } else {
        forums_ = {{1, L"Форумы врачебных консультаций"},
                   {2, L"Акушерство и гинекология"},
                   {12, L"Анестезиология и медицина критических состояний"},
                   {21, L"Медицинская техника и оборудование"},
                   {22, L"Лекарственные препараты"},
                   {77, L"Косметология-дерматология"},
                   {109, L"Анестезиология"},
                   {110, L"Интенсивная терапия в педиатрии"}};
    }
    SetAccount(kLogin, kPassword);

    auto bind = [this](void (FakeVBulletin::*serve)(const httplib::Request&, httplib::Response&)) {
        return [this, serve](const httplib::Request& request, httplib::Response& response) {
            (this->*serve)(request, response);
        };
    };
    server_.Get("/", bind(&FakeVBulletin::ServeForumHome));
    server_.Get("/index.php", bind(&FakeVBulletin::ServeForumHome));
    server_.Get("/forum.php", bind(&FakeVBulletin::ServeForumHome));
    server_.Get("/forumdisplay.php", bind(&FakeVBulletin::ServeSection));
    server_.Get("/newthread.php", bind(&FakeVBulletin::ServeNewThread));
    server_.Post("/newthread.php", bind(&FakeVBulletin::ServePostThread));
    server_.Get("/showthread.php", bind(&FakeVBulletin::ServeThread));
    server_.Post("/login.php", bind(&FakeVBulletin::ServeSignIn));
    server_.Get("/editpost.php", bind(&FakeVBulletin::ServeEditPost));
    server_.Post("/editpost.php", bind(&FakeVBulletin::ServeUpdatePost));
    server_.Get("/login.php", bind(&FakeVBulletin::ServeLoginPage));
    server_.Get("/broken.php", [](const httplib::Request&, httplib::Response& response) {
        response.status = 500;
        response.set_content("<html><body>Internal Server Error</body></html>", "text/html");
    });
    Start();
}

std::wstring FakeVBulletin::MainUrl() const {
    return Url(generation_ == 4 ? "/forum.php" : "/index.php");
}

std::wstring FakeVBulletin::SectionUrl(int forumId) const {
    return Url("/forumdisplay.php?f=" + std::to_string(forumId));
}

std::wstring FakeVBulletin::TopicUrl(int topicId) const {
    return Url("/showthread.php?t=" + std::to_string(topicId));
}

std::wstring FakeVBulletin::BoardTitle() const {
    return generation_ == 4 ? L"Java Programming Forums - The Java Community"
                            : L"Дискуссионный Клуб Русского Медицинского Сервера";
}

std::wstring FakeVBulletin::SectionTitle(int forumId) const {
    return ForumName(forumId) + L" - " + BoardTitle();
}

void FakeVBulletin::Configure(const FakeVBulletinSetup& setup) {
    std::lock_guard<std::mutex> lock(mutex_);
    setup_ = setup;
}

std::vector<std::string> FakeVBulletin::LastSignInFields() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return sign_in_fields_;
}

FakeVBulletinSetup FakeVBulletin::Setup() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return setup_;
}

FakeVBulletin::Visit FakeVBulletin::Begin(const httplib::Request& request,
                                          httplib::Response& response) {
    Visit visit;
    visit.session = SessionOf(request);
    if (visit.session.empty()) {
        visit.session = OpenSession(response);
        visit.signed_in = Setup().signed_in_at_start;
        SetSignedIn(visit.session, visit.signed_in);
    } else {
        visit.signed_in = IsSignedIn(request);
    }
    visit.security_token = visit.signed_in ? "1604991234-token-" + visit.session : "guest";
    visit.logout_hash = "1604991234-logout-" + visit.session;
    return visit;
}

std::wstring FakeVBulletin::Template(const std::string& name) const {
    auto it = templates_.find(name);
    if (it == templates_.end()) {
        throw std::logic_error("no vBulletin template " + name);
    }
    return it->second;
}

std::wstring FakeVBulletin::Fill(std::wstring text, const Values& values) {
    for (const auto& [name, value] : values) {
        std::wstring key = L"{{" + Widen(name) + L"}}";
        for (size_t at = text.find(key); at != std::wstring::npos;
             at = text.find(key, at + value.size())) {
            text.replace(at, key.size(), value);
        }
    }
    return text;
}

std::wstring FakeVBulletin::Page(const Visit& visit, const FakeVBulletinSetup& setup,
                                 const std::wstring& title, const std::wstring& body) const {
    std::wstring navbar;
    std::wstring navlinks;
    if (visit.signed_in) {
        navbar = Template("navbar_member");
        navlinks = Template("navlinks_member");
    } else {
        navbar = Template(setup.sign_in_form ? "navbar_guest" : "navbar_link_only");
        navlinks = Template("navlinks_guest");
    }
    if (generation_ == 4 && setup.navbar_new_thread) {
        navlinks += Template("navtab_new_thread");
    }
    Values member = {{"logouthash", Widen(visit.logout_hash)}, {"user", kLogin}};
    return Fill(Template("page"), {{"charset", CharsetName()},
                                   {"board", BoardTitle()},
                                   {"securitytoken", Widen(visit.security_token)},
                                   {"navbar", Fill(navbar, member)},
                                   {"navlinks", Fill(navlinks, member)},
                                   {"title", title},
                                   {"body", body}});
}

std::wstring FakeVBulletin::MessagePage(const Visit& visit, const FakeVBulletinSetup& setup,
                                        const std::wstring& message) const {
    return Page(visit, setup, BoardTitle(), Fill(Template("message"), {{"message", message}}));
}

std::wstring FakeVBulletin::RedirectPage(const std::wstring& url,
                                         const std::wstring& message) const {
    return Fill(
        Template("redirect"),
        {{"charset", CharsetName()}, {"board", BoardTitle()}, {"url", url}, {"message", message}});
}

std::wstring FakeVBulletin::CharsetName() const {
    return code_page_ == kCodePageUtf8 ? L"UTF-8" : L"windows-1251";
}

std::wstring FakeVBulletin::ForumName(int forumId) const {
    auto it = forums_.find(forumId);
    return it == forums_.end() ? std::wstring() : it->second;
}

void FakeVBulletin::ServeForumHome(const httplib::Request& request, httplib::Response& response) {
    FakeVBulletinSetup setup = Setup();
    if (setup.index_status != 200) {
        response.status = setup.index_status;
        response.set_content("<html><body>Service Unavailable</body></html>", "text/html");
        return;
    }
    Visit visit = Begin(request, response);
    std::wstring forums = setup.custom_forum_list;
    if (forums.empty()) {
        forums =
            Template(generation_ == 4 && setup.friendly_urls ? "forumhome_friendly" : "forumhome");
    }
    SendPage(response, Page(visit, setup, BoardTitle(), forums));
}

void FakeVBulletin::ServeSection(const httplib::Request& request, httplib::Response& response) {
    FakeVBulletinSetup setup = Setup();
    Visit visit = Begin(request, response);
    int forum = ForumIdOf(request);
    if (ForumName(forum).empty()) {
        SendPage(response, MessagePage(visit, setup,
                                       L"Неверно указан раздел. Если вы следовали по "
                                       L"правильной ссылке, сообщите администратору."));
        return;
    }
    std::wstring id = std::to_wstring(forum);
    std::wstring button;
    if (setup.new_thread_link && forum != 1) {
        button = Fill(Template("newthread_button"), {{"forumid", id}});
    }
    std::wstring body =
        Fill(Template("forumdisplay"), {{"securitytoken", Widen(visit.security_token)},
                                        {"newthread", button},
                                        {"forumid", id},
                                        {"forum", ForumName(forum)}});
    SendPage(response, Page(visit, setup, SectionTitle(forum), body));
}

void FakeVBulletin::ServeNewThread(const httplib::Request& request, httplib::Response& response) {
    FakeVBulletinSetup setup = Setup();
    Visit visit = Begin(request, response);
    int forum = ForumIdOf(request);
    if (!visit.signed_in) {
        SendPage(response, MessagePage(visit, setup,
                                       L"Вы не зарегистрированы или у вас нет прав доступа "
                                       L"к этой странице."));
        return;
    }
    if (ForumName(forum).empty() || forum == 1) {
        SendPage(response, MessagePage(visit, setup, L"Неверно указан раздел."));
        return;
    }
    std::wstring form = Fill(Template("newthread"), {{"forumid", std::to_wstring(forum)},
                                                     {"securitytoken", Widen(visit.security_token)},
                                                     {"posthash", L"9f8e7d6c5b4a"},
                                                     {"preview", L""}});
    // Drop whole lines: the form's fields are written one to a line.
    auto drop_line_with = [&form](const std::wstring& mark) {
        size_t at = form.find(mark);
        if (at == std::wstring::npos) {
            return;
        }
        size_t start = form.rfind(L'\n', at) + 1;
        size_t end = form.find(L'\n', at);
        form.erase(start, end - start + 1);
    };
    if (!setup.subject_field) {
        drop_line_with(L"name=\"subject\"");
    }
    if (!setup.message_field) {
        drop_line_with(L"<textarea name=\"message\"");
    }
    if (!setup.submit_button) {
        drop_line_with(L"name=\"sbutton\"");
    }
    SendPage(response, Page(visit, setup, L"Новая тема - " + BoardTitle(), form));
}

void FakeVBulletin::ServePostThread(const httplib::Request& request, httplib::Response& response) {
    FakeVBulletinSetup setup = Setup();
    Visit visit = Begin(request, response);
    httplib::Params fields = BodyFields(request);
    int forum = ForumIdOf(request);
    auto refuse = [&](const std::wstring& message) {
        SendPage(response, MessagePage(visit, setup, message));
    };
    if (!visit.signed_in) {
        refuse(L"Вы не зарегистрированы или у вас нет прав доступа к этой странице.");
        return;
    }
    if (Field(fields, "securitytoken") != visit.security_token) {
        refuse(L"Your submission could not be processed because a security token was missing.");
        return;
    }
    if (ForumName(forum).empty() || forum == 1 || Field(fields, "do") != "postthread" ||
        Field(fields, "f") != std::to_string(forum) || Field(fields, "posthash").empty()) {
        refuse(L"Неверно указан раздел.");
        return;
    }
    bool submitted = fields.count("sbutton") == 1;
    if (!submitted || fields.count("preview") != 0) {
        // vBulletin shows the form again with the preview above it.
        std::wstring form =
            Fill(Template("newthread"), {{"forumid", std::to_wstring(forum)},
                                         {"securitytoken", Widen(visit.security_token)},
                                         {"posthash", L"9f8e7d6c5b4a"},
                                         {"preview", L" (предварительный просмотр)"}});
        SendPage(response, Page(visit, setup, L"Новая тема - " + BoardTitle(), form));
        return;
    }
    FakeTopic topic;
    topic.section = std::to_string(forum);
    topic.subject = Decode(Field(fields, "subject"));
    topic.body = Decode(Field(fields, "message"));
    if (Field(fields, "wysiwyg") == "1") {
        // The board reads the message as the WYSIWYG editor's HTML, where line breaks are
        // mere white space, and drops them.
        std::wstring flattened;
        for (wchar_t c : topic.body) {
            if (c != L'\r' && c != L'\n') {
                flattened += c;
            }
        }
        topic.body = flattened;
    }
    if (topic.subject.empty() || topic.body.empty()) {
        refuse(L"Пожалуйста, заполните заголовок и текст сообщения.");
        return;
    }
    if (setup.flood_refusals > 0) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            --setup_.flood_refusals;
        }
        refuse(
            L"Этот форум требует, чтобы вы подождали 30 секунд между сообщениями. "
            L"Пожалуйста, повторите попытку через 12 секунд.");
        return;
    }
    topic.pressed_button = "sbutton";
    topic.fields.insert(fields.begin(), fields.end());
    int id = AddTopic(topic);
    if (setup.moderated) {
        SendPage(response, RedirectPage(L"forumdisplay.php?f=" + std::to_wstring(forum),
                                        L"Спасибо за сообщение! Ваше сообщение будет доступно "
                                        L"после проверки модератором."));
        return;
    }

    std::string thread = "showthread.php?t=" + std::to_string(id);
    if (setup.post_answer_refresh) {
        std::wstring target = setup.post_refresh_broken ? L"broken.php" : Widen(thread);
        SendPage(response, RedirectPage(target,
                                        L"Спасибо за сообщение! Сейчас вы будете "
                                        L"перемещены в созданную тему."));
        return;
    }
    response.set_redirect(Base() + "/" + thread, 302);
}

int FakeVBulletin::TopicOfPost(int postId) {
    if (postId >= 1000000) {
        return (postId - 1000000) / 1000;
    }
    return postId > 1000 ? postId - 1000 : 0;
}

namespace {

// "23.03.2005, 19:46", as the Russian boards write a post's date.
std::wstring PostDate(int64_t time) {
    std::time_t at = static_cast<std::time_t>(time);
    std::tm parts{};
    gmtime_r(&at, &parts);
    wchar_t text[32];
    std::swprintf(text, 32, L"%02d.%02d.%04d, %02d:%02d", parts.tm_mday, parts.tm_mon + 1,
                  parts.tm_year + 1900, parts.tm_hour, parts.tm_min);
    return text;
}

int NumberParam(const httplib::Request& request, const std::string& name) {
    std::string value = request.get_param_value(name.c_str());
    if (value.empty() || value.size() > 9 ||
        value.find_first_not_of("0123456789") != std::string::npos) {
        return 0;
    }
    return std::stoi(value);
}

}  // namespace

std::wstring FakeVBulletin::PostBit(const FakeTopic& topic, size_t index, bool editable,
                                    const FakeVBulletinSetup& setup) const {
    const bool first = index == 0;
    const FakeReply reply =
        first ? FakeReply{topic.author, topic.posted_at, topic.body} : topic.replies[index - 1];
    const std::wstring author = reply.author.empty() ? std::wstring(kLogin) : reply.author;
    const std::wstring post = std::to_wstring(
        first ? 1000 + topic.id : 1000000 + 1000 * topic.id + static_cast<int>(index));
    const std::wstring edit = editable ? Fill(Template("edit_button"), {{"postid", post}}) : L"";
    const std::wstring quote = setup.reply_link && !topic.locked
                                   ? Fill(Template("quote_button"), {{"postid", post}})
                                   : L"";
    return Fill(Template("postbit"),
                {{"edit", edit},
                 {"quote", quote},
                 {"postid", post},
                 {"number", std::to_wstring(index + 1)},
                 {"date", PostDate(reply.time)},
                 {"userid", author == kLogin ? L"7" : std::to_wstring(100 + index)},
                 {"user", EscapeHtml(author)},
                 {"message", EscapeHtml(reply.body)}});
}

void FakeVBulletin::ServeThread(const httplib::Request& request, httplib::Response& response) {
    FakeVBulletinSetup setup = Setup();
    Visit visit = Begin(request, response);
    int id = NumberParam(request, "t");
    if (id == 0) {
        id = TopicOfPost(NumberParam(request, "p"));
    }
    FakeTopic topic;
    if (!FindTopic(id, topic) || topic.gone) {
        SendPage(response, MessagePage(visit, setup, L"Неверно указана тема."));
        return;
    }
    if (!visit.signed_in && setup.members_only_forum != 0 &&
        topic.section == std::to_string(setup.members_only_forum)) {
        SendPage(response, MessagePage(visit, setup,
                                       L"Вы не зарегистрированы или у вас нет прав доступа "
                                       L"к этой странице."));
        return;
    }
    const int total = 1 + static_cast<int>(topic.replies.size());
    const int pages = (total + kPostsPerPage - 1) / kPostsPerPage;
    const int page = std::min(std::max(1, NumberParam(request, "page")), pages);
    const std::wstring thread = std::to_wstring(topic.id);

    // vBulletin's page navigation: pages within three of the current one, and a "Last"
    // link when the last page is further.
    std::wstring pagenav;
    if (pages > 1) {
        auto link = [&](const char* name, int number) {
            const int from = (number - 1) * kPostsPerPage + 1;
            const int to = std::min(total, number * kPostsPerPage);
            return Fill(Template(name), {{"threadid", thread},
                                         {"page", std::to_wstring(number)},
                                         {"from", std::to_wstring(from)},
                                         {"to", std::to_wstring(to)},
                                         {"total", std::to_wstring(total)}});
        };
        std::wstring links;
        for (int number = std::max(1, page - 3); number <= std::min(pages, page + 3); ++number) {
            links += link(number == page ? "pagelink_current" : "pagelink", number);
        }
        if (pages > page + 3) {
            links += link("pagelink_last", pages);
        }
        pagenav = Fill(
            Template("pagenav"),
            {{"page", std::to_wstring(page)}, {"pages", std::to_wstring(pages)}, {"links", links}});
    }
    const bool editable = visit.signed_in && CheckEdit(topic.id) == EditRefusal::kNone;
    std::wstring posts;
    for (int index = (page - 1) * kPostsPerPage; index < std::min(total, page * kPostsPerPage);
         ++index) {
        posts += PostBit(topic, static_cast<size_t>(index), index == 0 && editable, setup);
    }
    std::wstring firstPost = std::to_wstring(1000 + topic.id);
    std::wstring reply =
        Fill(Template(setup.reply_link && !topic.locked ? "reply_button" : "closed_button"),
             {{"postid", firstPost}});
    std::wstring body =
        Fill(Template("showthread"), {{"reply", reply}, {"pagenav", pagenav}, {"posts", posts}});
    SendPage(response, Page(visit, setup, EscapeHtml(topic.subject) + L" - " + BoardTitle(), body));
}

std::wstring FakeVBulletin::EditRefusalText(int topicId) const {
    switch (CheckEdit(topicId)) {
        case EditRefusal::kNone:
            return {};
        case EditRefusal::kGone:
            return L"Неверно указано сообщение. Если вы следовали по правильной ссылке, "
                   L"сообщите администратору.";
        case EditRefusal::kNotOwn:
            return L"Вы не зарегистрированы или у вас нет прав доступа к этой странице.";
        case EditRefusal::kLocked:
            return L"Извините! Эта тема закрыта!";
        case EditRefusal::kTooLate:
            return L"Вы можете редактировать свои сообщения только в течение 30 минут после "
                   L"их публикации.";
    }
    return {};
}

void FakeVBulletin::ServeEditPost(const httplib::Request& request, httplib::Response& response) {
    FakeVBulletinSetup setup = Setup();
    Visit visit = Begin(request, response);
    const int post = NumberParam(request, "p");
    const int id = TopicOfPost(post);
    FakeTopic topic;
    std::wstring refusal = EditRefusalText(id);
    if (!visit.signed_in) {
        refusal = L"Вы не зарегистрированы или у вас нет прав доступа к этой странице.";
    } else if (refusal.empty() && (request.get_param_value("do") != "editpost" ||
                                   post != 1000 + id || !FindTopic(id, topic))) {
        refusal = L"Неверно указано сообщение.";
    }
    if (!refusal.empty()) {
        SendPage(response, MessagePage(visit, setup, refusal));
        return;
    }
    std::wstring form = Fill(Template("editpost"), {{"postid", std::to_wstring(post)},
                                                    {"securitytoken", Widen(visit.security_token)},
                                                    {"title", EscapeHtml(topic.subject)},
                                                    {"message", EscapeHtml(topic.body)}});
    SendPage(response, Page(visit, setup, L"Редактирование сообщения - " + BoardTitle(), form));
}

void FakeVBulletin::ServeUpdatePost(const httplib::Request& request, httplib::Response& response) {
    FakeVBulletinSetup setup = Setup();
    Visit visit = Begin(request, response);
    httplib::Params fields = BodyFields(request);
    const int post = NumberParam(request, "p");
    const int id = TopicOfPost(post);
    auto refuse = [&](const std::wstring& message) {
        SendPage(response, MessagePage(visit, setup, message));
    };
    if (!visit.signed_in) {
        refuse(L"Вы не зарегистрированы или у вас нет прав доступа к этой странице.");
        return;
    }
    if (Field(fields, "securitytoken") != visit.security_token) {
        refuse(L"Your submission could not be processed because a security token was missing.");
        return;
    }
    if (Field(fields, "do") != "updatepost" || Field(fields, "p") != std::to_string(post) ||
        post != 1000 + id || fields.count("sbutton") != 1 || fields.count("preview") != 0 ||
        fields.count("deletepost") != 0) {
        refuse(L"Неверно указано сообщение.");
        return;
    }
    const std::wstring refusal = EditRefusalText(id);
    if (!refusal.empty()) {
        refuse(refusal);
        return;
    }
    FakeTopic topic;
    FindTopic(id, topic);
    std::wstring body = Decode(Field(fields, "message"));
    if (Field(fields, "wysiwyg") == "1") {
        std::erase_if(body, [](wchar_t c) { return c == L'\r' || c == L'\n'; });
    }
    const std::wstring title =
        setup.keep_thread_title ? topic.subject : Decode(Field(fields, "title"));
    ApplyEdit(id, title, body, {fields.begin(), fields.end()});
    if (setup.edit_answer_lost) {
        response.status = 502;
        response.set_content("<html><body><h1>502 Bad Gateway</h1></body></html>", "text/html");
        return;
    }
    const std::string target =
        "showthread.php?p=" + std::to_string(post) + "#post" + std::to_string(post);
    if (setup.post_answer_refresh) {
        SendPage(response,
                 RedirectPage(
                     Widen(target),
                     L"Спасибо за редактирование сообщения! Сейчас вы будете перемещены к нему."));
        return;
    }
    response.set_redirect(Base() + "/" + target, 302);
}

void FakeVBulletin::ServeSignIn(const httplib::Request& request, httplib::Response& response) {
    FakeVBulletinSetup setup = Setup();
    Visit visit = Begin(request, response);
    httplib::Params fields = BodyFields(request);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        sign_in_fields_.clear();
        for (const auto& field : fields) {
            sign_in_fields_.push_back(field.first);
        }
    }
    // With both md5 fields empty vBulletin hashes the plain password itself; a filled md5
    // field would be checked instead, and this board knows no hashes.
    bool md5_empty = fields.count("vb_login_md5password") == 1 &&
                     fields.count("vb_login_md5password_utf") == 1 &&
                     Field(fields, "vb_login_md5password").empty() &&
                     Field(fields, "vb_login_md5password_utf").empty();
    bool accepted =
        md5_empty && Field(fields, "do") == "login" &&
        CheckCredentials(Field(fields, "vb_login_username"), Field(fields, "vb_login_password"));
    if (!accepted) {
        SetSignedIn(visit.session, false);
        visit.signed_in = false;
        SendPage(response,
                 MessagePage(visit, setup,
                             L"Вы ввели неправильное имя или пароль. Пожалуйста, "
                             L"вернитесь назад, введите правильные данные и попробуйте снова."));
        return;
    }
    SetSignedIn(visit.session, true);
    std::wstring target = setup.sign_in_refresh_broken ? L"broken.php"
                          : generation_ == 4           ? L"forum.php"
                                                       : L"index.php";
    SendPage(response, RedirectPage(target, L"Спасибо, что зашли, " + std::wstring(kLogin) + L"."));
}

void FakeVBulletin::ServeLoginPage(const httplib::Request& request, httplib::Response& response) {
    FakeVBulletinSetup setup = Setup();
    Visit visit = Begin(request, response);
    if (request.get_param_value("do") != "logout") {
        SendPage(response, MessagePage(visit, setup, L"Вы не вошли на форум."));
        return;
    }
    if (!visit.signed_in || request.get_param_value("logouthash") != visit.logout_hash) {
        SendPage(response, MessagePage(visit, setup,
                                       L"Запрос на выход не может быть проверен. "
                                       L"Пожалуйста, подтвердите выход."));
        return;
    }
    SetSignedIn(visit.session, false);
    visit.signed_in = false;
    visit.security_token = "guest";
    if (setup.form_after_sign_out) {
        SendPage(response, MessagePage(visit, setup, L"Все cookies очищены! Вы вышли с форума."));
    } else {
        SendPage(response, RedirectPage(generation_ == 4 ? L"forum.php" : L"index.php",
                                        L"Все cookies очищены! Вы вышли с форума."));
    }
}

}  // namespace twk::test
