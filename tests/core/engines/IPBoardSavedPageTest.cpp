#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

#include "engines/IPBoardEngine.h"
#include "support/FakeForum.h"
#include "support/TempDir.h"
#include "web/Charsets.h"

namespace twk {
namespace {

using ::testing::Contains;
using ::testing::Not;

// Serves a saved index page of a real board with the board's own address replaced by the
// local one, and answers any sign-in form with a page that shows a sign-out link.
class SavedBoard : public test::FakeForum {
public:
    SavedBoard(const std::string& fixture, const std::vector<std::string>& boardAddresses,
               const std::wstring& signedInPage)
        : FakeForum(kCodePageUtf8) {
        SetAccount(L"Тестер", L"pass word");
        std::string page = test::ReadFixture(fixture);
        server_.Get(".*", [this, page, boardAddresses](const httplib::Request&,
                                                       httplib::Response& response) {
            std::string local = page;
            for (const std::string& address : boardAddresses) {
                for (size_t at = local.find(address); at != std::string::npos;
                     at = local.find(address, at)) {
                    local.replace(at, address.size(), Base());
                    at += Base().size();
                }
            }
            response.set_content(local, "text/html; charset=UTF-8");
        });
        server_.Post(".*", [this, signedInPage](const httplib::Request& request,
                                                httplib::Response& response) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                sign_in_target_ = request.target;
                sign_in_fields_ = ParseFormFields(request.body);
            }
            std::wstring answer = signedInPage;
            std::string local = Base();
            std::wstring base(local.begin(), local.end());
            for (size_t at = answer.find(L"BASE"); at != std::wstring::npos;
                 at = answer.find(L"BASE")) {
                answer.replace(at, 4, base);
            }
            SendPage(response, answer);
        });
        Start();
    }
    ~SavedBoard() override { Stop(); }

    std::multimap<std::string, std::string> SignInFields() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return sign_in_fields_;
    }
    std::string SignInTarget() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return sign_in_target_;
    }

private:
    std::string sign_in_target_;
    std::multimap<std::string, std::string> sign_in_fields_;
};

std::vector<std::string> Names(const std::multimap<std::string, std::string>& fields) {
    std::vector<std::string> names;
    for (const auto& field : fields) {
        names.push_back(field.first);
    }
    return names;
}

TEST(IPBoardSavedPageTest, Board2IndexOfARealBoard) {
    SavedBoard board("ipboard/board2-index.html", {"https://www.sudmed.ru", "http://www.sudmed.ru"},
                     L"<a href=\"BASE/index.php?act=Login&amp;CODE=03&amp;k=1\">Выход</a>");
    IPBoardEngine engine;
    engine.SetBaseUrl(board.Url("/index.php"));

    std::wstring title;
    ASSERT_EQ(engine.SignIn(L"Тестер", L"pass word", title), kOk);
    EXPECT_EQ(title, L"Форум судебных медиков России");
    // The quick sign-in box: placeholders replaced, remember-me choice left in the action.
    EXPECT_EQ(board.SignInTarget(), "/index.php?act=Login&CODE=01&CookieDate=1");
    std::multimap<std::string, std::string> fields = board.SignInFields();
    EXPECT_THAT(Names(fields), ::testing::UnorderedElementsAre("UserName", "PassWord"));
    EXPECT_EQ(fields.find("UserName")->second, "Тестер");

    // Category titles appear twice on the page; every section is listed once.
    SectionList sections;
    ASSERT_EQ(engine.ReadSections(sections), kOk);
    ASSERT_EQ(sections.size(), 60u);
    std::set<std::wstring> keys;
    for (const SectionRecord& section : sections) {
        keys.insert(section.key);
    }
    EXPECT_EQ(keys.size(), sections.size());
    EXPECT_EQ(sections[0].key, board.Url("/index.php?showforum=25"));
    EXPECT_EQ(sections[0].title, L"Судебная медицина и судебно-медицинская экспертиза");
    EXPECT_EQ(sections[1].key, board.Url("/index.php?showforum=16"));
    EXPECT_EQ(sections[1].title, L"Консультационный центр");
}

// IP.Board 3.4 reads only "ips_username" and "ips_password"; the form on every page has
// nothing else, so a board of that generation is signed in with those names.
TEST(IPBoardSavedPageTest, Board34IndexOfARealBoard) {
    SavedBoard board("ipboard/board34-index.html", {"http://help.com"},
                     L"<a href='BASE/forum/index.php?app=core&amp;module=global&amp;section=login"
                     L"&amp;do=logout&amp;k=1'>Sign Out</a>");
    IPBoardEngine engine;
    engine.SetBaseUrl(board.Url("/forum/"));

    std::wstring title;
    ASSERT_EQ(engine.SignIn(L"Тестер", L"pass word", title), kOk);
    EXPECT_EQ(title, L"Help.com");
    EXPECT_EQ(board.SignInTarget(),
              "/forum/index.php?app=core&module=global&section=login&do=process");
    std::multimap<std::string, std::string> fields = board.SignInFields();
    EXPECT_THAT(Names(fields), Contains("ips_username"));
    EXPECT_THAT(Names(fields), Contains("ips_password"));
    EXPECT_THAT(Names(fields), Contains("auth_key"));
    EXPECT_THAT(Names(fields), Not(Contains("rememberMe")));
    EXPECT_EQ(fields.find("ips_username")->second, "Тестер");
    EXPECT_TRUE(fields.find("ips_password")->second == "pass word");

    // Friendly addresses: no "showforum=", the forums are the H4 headings.
    SectionList sections;
    ASSERT_EQ(engine.ReadSections(sections), kOk);
    ASSERT_EQ(sections.size(), 2u);
    EXPECT_EQ(sections[0].key, board.Url("/forum/forum/3-main-forum/"));
    EXPECT_EQ(sections[0].title, L"Main Forum");
    EXPECT_EQ(sections[1].key, board.Url("/forum/forum/10-support-feedback/"));
    EXPECT_EQ(sections[1].title, L"Support & Feedback");
}

}  // namespace
}  // namespace twk
