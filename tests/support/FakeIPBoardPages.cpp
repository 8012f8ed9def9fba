// The pages of FakeIPBoard, trimmed from what Invision Power Board 2.1 and IP.Board 3.3
// and 3.4 serve: their links, forms and field names are the real ones. Topic pages and the
// edit form follow the boards' skin templates (board 2's post tables, IP.Board 3's post
// blocks) with the field and link names of their posting forms; no saved topic page backs
// them.
#include "support/FakeIPBoard.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "web/Charsets.h"

namespace twk::test {
namespace {

std::wstring Wide(const std::string& ascii) {
    return FakeForum::Widen(ascii);
}

// Posts show their line breaks, as IPBoard renders them.
std::wstring Escape(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : FakeForum::EscapeHtml(text)) {
        if (c == L'\n') {
            out += L"<br />";
        } else if (c != L'\r') {
            out += c;
        }
    }
    return out;
}

struct SectionInfo {
    int id;
    const wchar_t* title;
    const char* slug;
};
const SectionInfo kSections[] = {
    {1, L"General", "general"},
    {2, L"News & Announcements", "news-announcements"},
    {3, L"Курилка", "kurilka"},
    {4, L"Архив", "arhiv"},
};

}  // namespace

std::wstring FakeIPBoard::BoardUrl(const std::string& pathAndQuery) const {
    return Url(pathAndQuery);
}

std::wstring FakeIPBoard::MainUrl() const {
    return Url("/forum/index.php");
}

std::wstring FakeIPBoard::SectionUrl(int id) const {
    if (generation_ == IPBoardGeneration::k34) {
        for (const SectionInfo& section : kSections) {
            if (section.id == id) {
                return Url("/forum/forum/" + std::to_string(id) + "-" + section.slug + "/");
            }
        }
    }
    return Url("/forum/index.php?showforum=" + std::to_string(id));
}

std::wstring FakeIPBoard::SectionHref(int id) const {
    // Board 2 skins link sections relative to the index; IP.Board 3 writes full addresses.
    if (generation_ == IPBoardGeneration::k2) {
        return L"index.php?showforum=" + std::to_wstring(id);
    }
    return SectionUrl(id);
}

std::wstring FakeIPBoard::SectionTitle(int id) const {
    for (const SectionInfo& section : kSections) {
        if (section.id == id) {
            return section.title;
        }
    }
    return L"?";
}

std::wstring FakeIPBoard::TopicUrl(int topicId) const {
    return Url("/forum/index.php?showtopic=" + std::to_string(topicId));
}

std::wstring FakeIPBoard::TopicPageUrl(int topicId, int page) const {
    if (generation_ == IPBoardGeneration::k34) {
        return TopicUrl(topicId) + L"&page=" + std::to_wstring(page);
    }
    return TopicUrl(topicId) + L"&st=" + std::to_wstring((page - 1) * kPostsPerPage);
}

std::wstring FakeIPBoard::BoardTitle() const {
    std::wstring name =
        code_page_ == kCodePageUtf8 ? L"Форум тестеров 测试论坛" : L"Форум тестеров";
    return generation_ == IPBoardGeneration::k2 ? name + L" (Powered by Invision Power Board)"
                                                : name;
}

std::wstring FakeIPBoard::Page(const std::wstring& title, const Session& session,
                               const Options& options, const std::wstring& content) const {
    std::wstring charset = code_page_ == kCodePageUtf8 ? L"UTF-8" : L"windows-1251";
    return L"<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
           L"\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\n"
           L"<html xmlns=\"http://www.w3.org/1999/xhtml\">\n<head>\n"
           L"<meta http-equiv=\"content-type\" content=\"text/html; charset=" +
           charset + L"\" />\n<title>" + Escape(title) +
           L"</title>\n</head>\n<body id='ipboard_body'>\n<div id=\"ipbwrapper\">\n" +
           UserBar(session, options) + content +
           L"<p id='copyright'><a href='http://www.invisionpower.com/' title='Community Forum "
           L"Software by Invision Power Services'>Invision Power Board</a></p>\n"
           L"</div>\n</body>\n</html>\n";
}

std::wstring FakeIPBoard::UserBar(const Session& session, const Options& options) const {
    const std::wstring home = MainUrl();
    const std::wstring key = Wide(session.key);
    std::wstring bar;
    if (generation_ == IPBoardGeneration::k2) {
        if (session.signed_in) {
            bar = L"<div id=\"userlinks\"><p class=\"home\"><b>Logged in as:  <a href=\"" + home +
                  L"?showuser=7\">" + Escape(kLogin) + L"</a></b> ( <a href=\"" + home +
                  L"?act=Login&amp;CODE=03&amp;k=" + key + L"\">Log Out</a> )</p></div>\n";
        } else {
            bar =
                L"<div id=\"userlinksguest\"><p class=\"pcen\"><b>Welcome Guest</b> ( <a href=\"" +
                home + L"?act=Login&amp;CODE=00\">Log In</a> | <a href=\"" + home +
                L"?act=Reg&amp;CODE=00\">Register</a> )</p></div>\n";
        }
    } else {
        if (session.signed_in) {
            bar =
                L"<div id='user_navigation' class='logged_in'><ul class='ipsList_inline "
                L"right'><li><a href='" +
                home + L"?showuser=7' id='user_link'>" + Escape(kLogin) +
                L"</a></li><li><a href='" + home +
                L"?app=core&amp;module=global&amp;section=login&amp;do=logout&amp;k=" + key +
                L"'>Sign Out</a></li></ul></div>\n";
        } else {
            bar =
                L"<div id='user_navigation' class='not_logged_in'><ul class='ipsList_inline "
                L"right'><li><span class='services'><a href='" +
                home +
                L"?app=core&amp;module=global&amp;section=login&amp;serviceClick=facebook'>"
                L"<img src='public/style_images/master/loginmethods/facebook.png' alt='Log in "
                L"with Facebook' /></a></span>&nbsp;&nbsp;<a href='" +
                home +
                L"?app=core&amp;module=global&amp;section=login' title='Sign In' "
                L"id='sign_in'>Sign In</a>&nbsp;&nbsp;</li><li><a href=\"" +
                home +
                L"?app=core&amp;module=global&amp;section=register\" title='Create Account' "
                L"id='register_link'>Create Account</a></li></ul></div>\n";
        }
        bar += L"<div id='search' class='right'><form action=\"" + home +
               L"?app=core&amp;module=search&amp;do=search&amp;fromMainBar=1\" method=\"post\" "
               L"id='search-box'><fieldset><input type='text' id='main_search' "
               L"name='search_term' class='inactive' size='17' /><input type='submit' "
               L"class='submit_input clickable' value='Search' /></fieldset></form></div>\n";
    }
    if (!session.signed_in && options.inline_sign_in) {
        bar += InlineSignInForm(session);
    }
    return bar;
}

std::wstring FakeIPBoard::InlineSignInForm(const Session& session) const {
    const std::wstring home = MainUrl();
    if (generation_ == IPBoardGeneration::k2) {
        // The quick sign-in box of the board header: placeholder values, the remember-me
        // choice in the action and an unnamed image button.
        return L"<table width=\"100%\"><tr><td align=\"right\"><form action=\"" + home +
               L"?act=Login&amp;CODE=01&amp;CookieDate=1\" method=\"post\">Login:&nbsp;<input "
               L"type=\"text\" size=\"20\" name=\"UserName\" onfocus=\"this.value=''\" "
               L"value=\"User Name\" /><br />Password: <input type=\"password\" size=\"20\" "
               L"name=\"PassWord\" onfocus=\"this.value=''\" value=\"ibfrules\" /><br /><input "
               L"class=\"button\" type=\"image\" src=\"style_images/login-button.gif\" "
               L"/></form></td></tr></table>\n";
    }
    return L"<div id='inline_login_form' style=\"display:none\"><form action=\"" + home +
           L"?app=core&amp;module=global&amp;section=login&amp;do=process\" method=\"post\" "
           L"id='login'><input type='hidden' name='auth_key' value='" +
           Wide(session.key) + L"' /><input type=\"hidden\" name=\"referer\" value=\"" + home +
           L"\" /><h3>Sign In</h3><ul><li class='ipsField ipsField_primary'><label "
           L"for='ips_username' class='ipsField_title'>Username</label><input id='ips_username' "
           L"type='text' class='input_text' name='ips_username' size='30' tabindex='0' /></li>"
           L"<li class='ipsField ipsField_primary'><label for='ips_password' "
           L"class='ipsField_title'>Password</label><input id='ips_password' type='password' "
           L"class='input_text' name='ips_password' size='30' tabindex='0' /></li><li "
           L"class='ipsField ipsField_checkbox'><input type='checkbox' id='inline_remember' "
           L"checked='checked' name='rememberMe' value='1' class='input_check' /></li><li "
           L"class='ipsField ipsField_checkbox'><input type='checkbox' id='inline_invisible' "
           L"name='anonymous' value='1' class='input_check' /></li></ul><div "
           L"class='ipsForm_submit ipsForm_center'><input type='submit' class='ipsButton' "
           L"value='Sign In' /></div></form></div>\n";
}

std::wstring FakeIPBoard::IndexContent() const {
    const std::wstring home = MainUrl();
    const std::wstring lastPost = L"<a href=\"" + home +
                                  L"?showtopic=90&amp;view=getlastpost\" title=\"Go to the last "
                                  L"post\">Welcome to the board</a>";
    auto link = [&](int id) {
        return L"<a href=\"" + SectionHref(id) + L"\" title=\"" + Escape(SectionTitle(id)) +
               L"\">" + Escape(SectionTitle(id)) + L"</a>";
    };
    if (generation_ == IPBoardGeneration::k2) {
        auto row = [&](int id, const std::wstring& subforums) {
            std::wstring number = std::to_wstring(id);
            return L"<tr><td align=\"center\" class=\"row2\" width=\"1%\"><a id=\"f-" + number +
                   L"\" href=\"" + home + L"?act=Login&amp;CODE=04&amp;f=" + number +
                   L"&amp;fromforum=&amp;i=1\" title=\"Mark forum as read?\"><img "
                   L"src=\"style_images/bf_new.gif\" alt=\"New Posts\" /></a></td>\n<td "
                   L"class=\"row2\" width=\"55%\"><b>" +
                   link(id) + L"</b><br /><span class=\"forumdesc\">Talk" + subforums +
                   L"</span></td>\n<td class=\"row1\">Last post in: " + lastPost + L"</td></tr>\n";
        };
        // The category title is written twice: once for the collapsed and once for the
        // expanded view.
        return L"<div class=\"borderwrap\" style=\"display:none\" id=\"fc_1\"><div "
               L"class=\"maintitlecollapse\"><p>" +
               link(1) +
               L"</p></div></div>\n<div class=\"borderwrap\" id=\"fo_1\"><div "
               L"class=\"maintitle\"><p>" +
               link(1) + L"</p></div>\n<table class=\"ipbtable\" cellspacing=\"1\">\n" +
               row(2, L"") + row(3, L"<br /><b>&#151; Subforums:</b> " + link(4)) +
               L"</table></div>\n";
    }
    auto row = [&](int id, const std::wstring& subforums) {
        return L"<tr class=''><td class='col_c_icon'><img "
               L"src='public/style_images/master/f_icon_read.png' /></td>\n<td "
               L"class='col_c_forum'><h4>" +
               link(id) + L"</h4><p class='desc __forum_desc ipsType_small'>Talk</p>" + subforums +
               L"</td>\n<td class='col_c_post'><ul class='last_post ipsType_small'><li>" +
               lastPost + L"</li></ul></td></tr>\n";
    };
    return L"<div id='board_index' class='ipsLayout'><div id='categories'><div id='category_1' "
           L"class='category_block block_wrap'><h3 class='maintitle'><a class='toggle right' "
           L"href='#' title=\"Toggle General\">Toggle General</a> " +
           link(1) + L"</h3>\n<table class='ipb_table' summary=\"Forums within the category\">\n" +
           row(2, L"") +
           row(3, L"<ol class='ipsList_inline ipsType_small subforums'><li class='unread'>" +
                      link(4) + L"</li></ol>") +
           L"</table></div></div></div>\n";
}

std::wstring FakeIPBoard::SignInPageContent(const Session& session, const Options& options,
                                            const std::wstring& error) const {
    const std::wstring home = MainUrl();
    std::wstring content;
    if (!error.empty()) {
        content += L"<div class=\"errorwrap\"><h4>The error returned was:</h4><p>" + error +
                   L"</p></div>\n";
    }
    if (!options.sign_in_page_form) {
        return content + L"<p>Members sign in through the portal of our site.</p>\n";
    }
    if (generation_ == IPBoardGeneration::k2) {
        return content + L"<form action=\"" + home +
               L"?act=Login&amp;CODE=01\" method=\"post\" name=\"LOGIN\" onsubmit=\"return "
               L"ValidateForm()\">\n<input type=\"hidden\" name=\"referer\" value=\"" +
               home +
               L"?\" />\n<div class=\"borderwrap\"><div class=\"maintitle\">Log In</div>\n"
               L"<table class=\"ipbtable\"><tr><td class=\"pformleft\">Enter your user "
               L"name</td><td class=\"pformright\"><input type=\"text\" size=\"25\" "
               L"maxlength=\"64\" name=\"UserName\" class=\"forminput\" /></td></tr>\n<tr><td "
               L"class=\"pformleft\">Enter your password</td><td class=\"pformright\"><input "
               L"type=\"password\" size=\"25\" name=\"PassWord\" class=\"forminput\" "
               L"/></td></tr></table>\n<table class=\"ipbtable\"><tr><td class=\"row1\"><input "
               L"type=\"checkbox\" name=\"CookieDate\" value=\"1\" checked=\"checked\" "
               L"/></td><td class=\"row1\"><b>Remember me?</b></td></tr>\n<tr><td "
               L"class=\"row1\"><input type=\"checkbox\" name=\"Privacy\" value=\"1\" "
               L"/></td><td class=\"row1\"><b>Log in as invisible</b></td></tr></table>\n<div "
               L"class=\"formbuttonrow\"><input class=\"button\" type=\"submit\" value=\"Log me "
               L"in\" /></div></div>\n</form>\n";
    }
    const bool ips = generation_ == IPBoardGeneration::k34;
    return content + L"<form action=\"" + home +
           L"?app=core&amp;module=global&amp;section=login&amp;do=process\" method=\"post\" "
           L"id='login'>\n<input type='hidden' name='auth_key' value='" +
           Wide(session.key) + L"' />\n<input type=\"hidden\" name=\"referer\" value=\"" + home +
           L"\" />\n<h2>Sign In</h2>\n<div class='ipsForm_vertical'><div class='ipsField'><label "
           L"for='username' class='ipsField_title'>Username</label><input id='username' "
           L"type='text' class='input_text' name='" +
           (ips ? L"ips_username" : L"username") +
           L"' size='30' /></div>\n<div class='ipsField'><label for='password' "
           L"class='ipsField_title'>Password</label><input id='password' type='password' "
           L"class='input_text' name='" +
           (ips ? L"ips_password" : L"password") +
           L"' size='30' /></div>\n<h3>Sign In Options</h3><div class='ipsField "
           L"ipsField_checkbox'><input type='checkbox' id='remember' checked='checked' "
           L"name='rememberMe' value='1' class='input_check' /><label for='remember'>Remember "
           L"me</label></div>\n<div class='ipsField ipsField_checkbox'><input type='checkbox' "
           L"id='invisible' name='anonymous' value='1' class='input_check' /><label "
           L"for='invisible'>Sign in anonymously</label></div></div>\n<div class='submit'><input "
           L"type='submit' class='button' value='Sign In' /></div>\n</form>\n";
}

std::wstring FakeIPBoard::SectionContent(int id, const Options& options) const {
    const std::wstring home = MainUrl();
    const std::wstring number = std::to_wstring(id);
    const std::wstring title = Escape(SectionTitle(id));
    if (generation_ == IPBoardGeneration::k2) {
        std::wstring newTopic;
        if (options.new_topic_link) {
            newTopic = L"<td align=\"right\"><a href=\"" + home +
                       L"?act=post&amp;do=new_post&amp;f=" + number +
                       L"\"><img src=\"style_images/t_new.gif\" alt=\"Start new topic\" "
                       L"/></a></td>";
        }
        return L"<div id=\"navstrip\"><a href=\"" + home + L"\">Board</a> -&gt; <a href=\"" +
               SectionHref(id) + L"\">" + title + L"</a></div>\n<table><tr><td><a href=\"" + home +
               L"?act=Login&amp;CODE=04&amp;f=" + number + L"&amp;fromforum=" + number +
               L"\">Mark forum as read</a></td>" + newTopic +
               L"</tr></table>\n<div class=\"borderwrap\"><div class=\"maintitle\">" + title +
               L"</div><table class=\"ipbtable\"><tr><td class=\"row2\"><a "
               L"id=\"tid-link-90\" href=\"" +
               home + L"?showtopic=90\">Welcome to the board</a></td></tr></table></div>\n";
    }
    std::wstring newTopic;
    if (options.new_topic_link) {
        newTopic = L"<ul class='topic_buttons'><li><a href='" + home +
                   L"?app=forums&amp;module=post&amp;section=post&amp;do=new_post&amp;f=" + number +
                   L"' title='Start new topic' accesskey='s'>Start New "
                   L"Topic</a></li></ul>\n";
    }
    return L"<h1 class='ipsType_pagetitle'>" + title + L"</h1>\n" + newTopic +
           L"<table class='ipb_table topic_list hover_rows' id='forum_table'><tr "
           L"class='__topic'><td class='col_f_content'><h4><a href='" +
           home +
           L"?showtopic=90' class='topic_title'>Welcome to the board</a></h4></td></tr>"
           L"</table>\n";
}

std::wstring FakeIPBoard::NewTopicContent(const Session& session, int sectionId,
                                          const Options& options,
                                          const std::wstring& preview) const {
    const std::wstring home = MainUrl();
    const std::wstring key = Wide(session.key);
    const std::wstring number = std::to_wstring(sectionId);
    auto field = [&](const char* name, const std::wstring& markup) {
        return options.omitted_post_fields.count(name) ? std::wstring() : markup;
    };
    std::wstring content;
    if (!preview.empty()) {
        content =
            L"<h2 class='maintitle'>Post Preview</h2><div class='post_wrap' "
            L"id='post_preview'><div class='post entry-content'>" +
            Escape(preview) + L"</div></div>\n";
    }
    if (generation_ == IPBoardGeneration::k2) {
        return content + L"<form action=\"" + home +
               L"?act=Search&amp;CODE=01\" method=\"post\" name=\"search\"><input type=\"text\" "
               L"size=\"20\" name=\"keywords\" value=\"Enter Keywords\" /><input "
               L"type=\"submit\" value=\"Search\" class=\"button\" /></form>\n<form "
               L"id=\"postingform\" action=\"" +
               home +
               L"\" method=\"post\" name=\"REPLIER\" onsubmit=\"return ValidateForm()\" "
               L"enctype=\"multipart/form-data\">\n<input type=\"hidden\" name=\"st\" value=\"0\" "
               L"/>\n<input type=\"hidden\" name=\"act\" value=\"Post\" />\n<input type=\"hidden\" "
               L"name=\"s\" value=\"\" />\n<input type=\"hidden\" name=\"f\" value=\"" +
               number + L"\" />\n<input type=\"hidden\" name=\"auth_key\" value=\"" + key +
               L"\" />\n<input type=\"hidden\" name=\"removeattachid\" value=\"0\" />\n<input "
               L"type=\"hidden\" name=\"CODE\" value=\"01\" />\n" +
               field("TopicTitle",
                     L"<input type=\"text\" size=\"40\" maxlength=\"50\" name=\"TopicTitle\" "
                     L"value=\"\" tabindex=\"1\" class=\"forminput\" />\n") +
               L"<input type=\"text\" size=\"40\" maxlength=\"40\" name=\"TopicDesc\" value=\"\" "
               L"tabindex=\"2\" class=\"forminput\" />\n" +
               field("Post",
                     L"<textarea name=\"Post\" rows=\"15\" cols=\"70\" tabindex=\"3\" "
                     L"class=\"textinput\">" +
                         Escape(preview) + L"</textarea>\n") +
               L"<input type=\"checkbox\" name=\"enableemo\" value=\"yes\" checked=\"checked\" "
               L"/>\n<input type=\"checkbox\" name=\"enablesig\" value=\"yes\" checked=\"checked\" "
               L"/>\n" +
               field("dosubmit",
                     L"<input type=\"submit\" name=\"dosubmit\" value=\"Post New "
                     L"Topic\" tabindex=\"7\" class=\"button\" accesskey=\"s\" "
                     L"/>&nbsp;\n") +
               field("preview",
                     L"<input type=\"submit\" name=\"preview\" value=\"Preview "
                     L"Post\" tabindex=\"8\" class=\"button\" />\n") +
               L"</form>\n";
    }
    return content +
           L"<h1 class='ipsType_pagetitle'>Start New Topic</h1>\n<form "
           L"id='postingform' action='" +
           home +
           L"?' method='post' enctype='multipart/form-data'>\n<div class='ipsBox'><ul "
           L"class='ipsForm ipsForm_vertical ipsPad'>\n" +
           field("TopicTitle",
                 L"<li class='ipsField ipsField_primary'><label for='topic_title' "
                 L"class='ipsField_title'>Topic Title</label><input "
                 L"id='topic_title' class='input_text' type=\"text\" size=\"60\" "
                 L"maxlength=\"150\" name=\"TopicTitle\" value=\"\" tabindex=\"0\" "
                 L"/></li>\n") +
           field("Post",
                 L"<li class='ipsField ipsField_editor'><textarea name=\"Post\" "
                 L"class='input_rte' rows='8' cols='50' tabindex='0'>" +
                     Escape(preview) + L"</textarea></li>\n") +
           L"</ul><input type=\"checkbox\" name=\"enableemo\" class=\"input_check\" value=\"yes\" "
           L"id='enable_emo' checked='checked' /><input type=\"checkbox\" name=\"enablesig\" "
           L"class=\"input_check\" value=\"yes\" id='enable_sig' checked='checked' /><input "
           L"type=\"checkbox\" name=\"enabletrack\" class=\"input_check\" id='enable_track' "
           L"value=\"1\" /></div>\n<fieldset class='submit clear'>\n<input type='hidden' "
           L"name='st' value='0' />\n<input type='hidden' name='app' value='forums' />\n<input "
           L"type='hidden' name='module' value='post' />\n<input type='hidden' name='section' "
           L"value='post' />\n<input type='hidden' name='do' value='new_post_do' />\n<input "
           L"type='hidden' name='s' value='' />\n<input type='hidden' name='p' value='0' "
           L"/>\n<input type='hidden' name='t' value='' />\n<input type='hidden' name='f' value='" +
           number +
           L"' />\n<input type='hidden' name='attach_post_key' "
           L"value='c8ebac2e2a4bb0f5e1d8fa0f9ebf60d0' />\n<input type='hidden' "
           L"name='auth_key' value='" +
           key + L"' />\n<input type='hidden' name='removeattachid' value='0' />\n" +
           field("dosubmit",
                 L"<input type=\"submit\" name=\"dosubmit\" value=\"Post New Topic\" "
                 L"tabindex=\"3\" class=\"input_submit\" accesskey=\"s\" "
                 L"/>&nbsp;\n") +
           field("preview",
                 L"<input type=\"submit\" name=\"preview\" value=\"Preview Post\" "
                 L"tabindex=\"0\" class=\"input_submit alt\" />\n") +
           L"or <a href='" + SectionUrl(sectionId) +
           L"' title='Cancel' class='cancel'>Cancel</a>\n</fieldset>\n</form>\n";
}

namespace {

// A post's time as board 2 writes it ("Dec 24 2005, 10:33 AM") and as IP.Board 3 puts it
// in its <abbr class="published"> title ("2013-03-02T10:45:00+00:00"), the board's clock
// being UTC.
std::wstring PostTime(int64_t time, bool iso) {
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::time_t at = static_cast<std::time_t>(time);
    std::tm parts{};
    gmtime_r(&at, &parts);
    char text[96];
    if (iso) {
        std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d+00:00",
                      parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
                      parts.tm_min, parts.tm_sec);
    } else {
        const int hour = parts.tm_hour % 12 == 0 ? 12 : parts.tm_hour % 12;
        std::snprintf(text, sizeof text, "%s %d %04d, %02d:%02d %s", kMonths[parts.tm_mon],
                      parts.tm_mday, parts.tm_year + 1900, hour, parts.tm_min,
                      parts.tm_hour < 12 ? "AM" : "PM");
    }
    return Wide(text);
}

}  // namespace

std::wstring FakeIPBoard::PostHref(const std::wstring& step, const FakeTopic& topic) const {
    return MainUrl() +
           (generation_ == IPBoardGeneration::k2
                ? L"?act=post&amp;do="
                : L"?app=forums&amp;module=post&amp;section=post&amp;do=") +
           step + L"&amp;f=" + Wide(topic.section) + L"&amp;t=" + std::to_wstring(topic.id);
}

std::wstring FakeIPBoard::PostContent(const FakeTopic& topic, size_t index, bool editable,
                                      bool locked) const {
    const bool first = index == 0;
    const FakeReply post =
        first ? FakeReply{topic.author, topic.posted_at, topic.body} : topic.replies[index - 1];
    const std::wstring author = post.author.empty() ? std::wstring(kLogin) : post.author;
    const std::wstring user = author == kLogin ? L"7" : std::to_wstring(100 + index);
    const std::wstring pid = std::to_wstring(
        first ? 1000 + topic.id : 1000000 + 1000 * topic.id + static_cast<int>(index));
    const std::wstring profile = MainUrl() + L"?showuser=" + user;
    const std::wstring edit = PostHref(L"edit_post", topic) + L"&amp;p=" + pid + L"&amp;st=0";
    const std::wstring quote = PostHref(L"reply_post", topic) + L"&amp;qpid=" + pid;
    if (generation_ == IPBoardGeneration::k2) {
        // Invision Power Board 2's post table: the anchor and name in the first row, the
        // date in its "postdetails", the buttons in the last row.
        return L"<a name=\"entry" + pid +
               L"\"></a>\n<div class=\"borderwrap\"><table class=\"ipbtable\" "
               L"cellspacing=\"1\">\n<tr><td class=\"row4\" valign=\"middle\"><span "
               L"class=\"normalname\"><a href=\"" +
               profile + L"\">" + Escape(author) +
               L"</a></span></td>\n<td class=\"row4\" valign=\"top\"><div style=\"float: "
               L"left;\"><span class=\"postdetails\"> <a title=\"Show the link to this post\" "
               L"href=\"#\" onclick=\"link_to_post(" +
               pid +
               L"); return false;\"><img src=\"style_images/1/to_post_off.gif\" alt=\"post\" "
               L"border=\"0\" /></a> " +
               PostTime(post.time, false) +
               L"</span></div><div align=\"right\"><span class=\"postdetails\"> Post <a "
               L"title=\"Show the link to this post\" href=\"#\" onclick=\"link_to_post(" +
               pid + L"); return false;\">#" + std::to_wstring(index + 1) +
               L"</a></span></div></td></tr>\n<tr><td class=\"post2\"><span "
               L"class=\"postdetails\">Group: Members</span></td><td class=\"post2\"><div "
               L"class=\"postcolor\" id=\"post-" +
               pid + L"\">" + Escape(post.body) +
               L"</div></td></tr>\n<tr><td class=\"formbuttonrow\"><a href=\"#top\">Top</a>"
               L"</td><td class=\"formbuttonrow\"><div align=\"right\">" +
               (editable ? L"<a href=\"" + edit +
                               L"\"><img src=\"style_images/1/p_edit.gif\" border=\"0\" "
                               L"alt=\"Edit Post\" /></a>"
                         : L"") +
               (locked ? L""
                       : L"<a href=\"" + quote +
                             L"\"><img src=\"style_images/1/p_quote.gif\" border=\"0\" "
                             L"alt=\"Quote Post\" /></a>") +
               L"</div></td></tr>\n</table></div>\n";
    }
    // IP.Board 3's post block: the anchor, the author's vCard, the published time, the
    // post controls.
    return L"<a id='entry" + pid +
           L"'></a>\n<div class='post_block hentry clear clearfix' "
           L"id='post_id_" +
           pid +
           L"'><div class='post_wrap'>\n<h3 class='row2'><span class=\"author vcard\"><a "
           L"class=\"url fn name___\" href='" +
           profile + L"' title='View Profile'><span itemprop=\"name\">" + Escape(author) +
           L"</span></a></span></h3>\n<div class='post_body'><p class='posted_info desctext "
           L"ipsType_small'>Posted <abbr class=\"published\" itemprop=\"commentTime\" title=\"" +
           PostTime(post.time, true) + L"\">" + PostTime(post.time, false) +
           L"</abbr></p>\n<div itemprop=\"commentText\" class='post entry-content '>" +
           Escape(post.body) + L"</div></div>\n<ul id='postControlsNormal_" + pid +
           L"' class='post_controls clear clearfix'>" +
           (editable ? L"<li class='post_edit' id='edit_post_" + pid + L"'><a href='" + edit +
                           L"' title='Edit this post' class='ipsButton_secondary'>Edit</a></li>"
                     : L"") +
           (locked ? L""
                   : L"<li><a href='" + quote +
                         L"' title='Reply quoting this post' class='ipsButton_secondary'>"
                         L"Quote</a></li>") +
           L"</ul></div></div>\n";
}

std::wstring FakeIPBoard::Pagination(int topicId, int page, int pages) const {
    if (pages < 2) {
        return {};
    }
    // Pages within two of the current one; the first and last ones behind arrows.
    const bool board2 = generation_ == IPBoardGeneration::k2;
    auto link = [&](const std::wstring& box, int number, const std::wstring& title,
                    const std::wstring& text) {
        const std::wstring href = TopicPageUrl(topicId, number);
        std::wstring escaped;
        for (wchar_t c : href) {
            escaped += c == L'&' ? std::wstring(L"&amp;") : std::wstring(1, c);
        }
        return (board2 ? L"<span class=\"" + box + L"\">" : L"<li class='" + box + L"'>") +
               L"<a href=\"" + escaped + L"\" title=\"" + title + L"\">" + text + L"</a>" +
               (board2 ? L"</span>&nbsp;" : L"</li>");
    };
    std::wstring links;
    const std::wstring plain = board2 ? L"pagelink" : L"page";
    const std::wstring edge = board2 ? L"pagelinklast" : L"last";
    if (page > 3) {
        links += link(board2 ? edge : L"first", 1, L"First page", L"&laquo;");
    }
    for (int number = std::max(1, page - 2); number <= std::min(pages, page + 2); ++number) {
        const std::wstring text = std::to_wstring(number);
        if (number == page) {
            links += board2 ? L"<span class=\"pagecurrent\">" + text + L"</span>&nbsp;"
                            : L"<li class='page active'>" + text + L"</li>";
        } else {
            links += link(plain, number, text, text);
        }
    }
    if (page + 2 < pages) {
        links += link(edge, pages, L"Last page", L"&raquo;");
    }
    const std::wstring count = std::to_wstring(pages) + L" Pages";
    if (board2) {
        return L"<div><span class=\"pagelink\" id=\"page-jump\">" + count + L"</span>&nbsp;" +
               links + L"</div>\n";
    }
    return L"<ul class='pagination left'><li class='pagejump'><a href='#'>Page " +
           std::to_wstring(page) + L" of " + std::to_wstring(pages) + L"</a></li>" + links +
           L"</ul>\n";
}

std::wstring FakeIPBoard::TopicContent(const FakeTopic& topic, const Session& session,
                                       const Options& options, int page) const {
    const int total = 1 + static_cast<int>(topic.replies.size());
    const int pages = (total + kPostsPerPage - 1) / kPostsPerPage;
    const bool locked = topic.locked || !options.reply_link;
    std::wstring buttons;
    if (locked) {
        buttons = L"<p class='message'>This topic is locked.</p>\n";
    } else {
        buttons = L"<ul class='topic_buttons'><li class='important'><a href='" +
                  PostHref(L"reply_post", topic) +
                  L"' title='Reply to this topic' accesskey='r'>Reply to this topic</a></li>"
                  L"</ul>\n";
    }
    // The board offers Edit only where the account may edit the post: the first one as
    // CheckEdit decides, its own replies while the topic is open.
    const bool firstEditable = session.signed_in && CheckEdit(topic.id) == EditRefusal::kNone;
    std::wstring posts;
    for (int index = (page - 1) * kPostsPerPage; index < std::min(total, page * kPostsPerPage);
         ++index) {
        const bool editable =
            index == 0 ? firstEditable
                       : session.signed_in && !locked &&
                             topic.replies[static_cast<size_t>(index) - 1].author == kLogin;
        posts += PostContent(topic, static_cast<size_t>(index), editable, locked);
    }
    const std::wstring pagination = Pagination(topic.id, page, pages);
    return L"<h1 class='ipsType_pagetitle'>" + Escape(topic.subject) + L"</h1>\n" + pagination +
           buttons + posts + pagination;
}

std::wstring FakeIPBoard::EditContent(const Session& session, const FakeTopic& topic) const {
    const std::wstring home = MainUrl();
    const std::wstring key = Wide(session.key);
    const std::wstring pid = std::to_wstring(1000 + topic.id);
    const std::wstring hidden =
        L"<input type=\"hidden\" name=\"st\" value=\"0\" />\n<input type=\"hidden\" "
        L"name=\"f\" value=\"" +
        Wide(topic.section) + L"\" />\n<input type=\"hidden\" name=\"t\" value=\"" +
        std::to_wstring(topic.id) + L"\" />\n<input type=\"hidden\" name=\"p\" value=\"" + pid +
        L"\" />\n<input type=\"hidden\" name=\"auth_key\" value=\"" + key + L"\" />\n";
    const std::wstring fields =
        L"<textarea name=\"Post\" rows=\"15\" cols=\"70\" class=\"textinput\">" +
        EscapeHtml(topic.body) +
        L"</textarea>\n<input type=\"checkbox\" name=\"enableemo\" value=\"yes\" "
        L"checked=\"checked\" />\n<input type=\"checkbox\" name=\"enablesig\" value=\"yes\" "
        L"checked=\"checked\" />\n<input type=\"checkbox\" name=\"add_edit\" value=\"1\" "
        L"checked=\"checked\" /> Show 'Edited by' line\n<input type=\"submit\" "
        L"name=\"dosubmit\" value=\"Submit Modified Post\" class=\"button\" accesskey=\"s\" "
        L"/>\n<input type=\"submit\" name=\"preview\" value=\"Preview Post\" class=\"button\" "
        L"/>\n</form>\n";
    if (generation_ == IPBoardGeneration::k2) {
        // Board 2's edit form: the new-topic form with "CODE=09", the post's ids and its
        // current text; the title fields only for the post that opens the topic.
        return L"<form id=\"postingform\" action=\"" + home +
               L"\" method=\"post\" name=\"REPLIER\" onsubmit=\"return ValidateForm()\" "
               L"enctype=\"multipart/form-data\">\n<input type=\"hidden\" name=\"act\" "
               L"value=\"Post\" />\n<input type=\"hidden\" name=\"s\" value=\"\" />\n<input "
               L"type=\"hidden\" name=\"CODE\" value=\"09\" />\n" +
               hidden +
               L"<input type=\"text\" size=\"40\" maxlength=\"50\" name=\"TopicTitle\" value=\"" +
               EscapeHtml(topic.subject) +
               L"\" class=\"forminput\" />\n<input type=\"text\" size=\"40\" maxlength=\"40\" "
               L"name=\"TopicDesc\" value=\"\" class=\"forminput\" />\n" +
               fields;
    }
    return L"<h1 class='ipsType_pagetitle'>Editing Post</h1>\n<form id='postingform' action='" +
           home +
           L"?' method='post' enctype='multipart/form-data'>\n<input type='hidden' name='app' "
           L"value='forums' />\n<input type='hidden' name='module' value='post' />\n<input "
           L"type='hidden' name='section' value='post' />\n<input type='hidden' name='do' "
           L"value='edit_post_do' />\n<input type='hidden' name='attach_post_key' "
           L"value='c8ebac2e2a4bb0f5e1d8fa0f9ebf60d0' />\n" +
           hidden +
           L"<label for='topic_title'>Topic Title</label><input id='topic_title' "
           L"class='input_text' type=\"text\" size=\"60\" maxlength=\"150\" name=\"TopicTitle\" "
           L"value=\"" +
           EscapeHtml(topic.subject) +
           L"\" />\n<label for='post_edit_reason'>Reason for edit</label><input type='text' "
           L"class='input_text' id='post_edit_reason' name='post_edit_reason' value='' />\n" +
           fields;
}

}  // namespace twk::test
