#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TempDir.h"
#include "web/HtmlDocument.h"

namespace twk {
namespace {

const std::wstring kPageUrl = L"http://forum.test/board/index.php?x=1";

void Load(HtmlDocument& doc, std::string_view html) {
    doc.LoadBytes(html, kPageUrl, L"text/html; charset=utf-8");
}

// The id of the element at a cursor; "end" for the end position.
std::wstring IdAt(HtmlDocument& doc, HtmlCursor cursor) {
    if (cursor.AtEnd()) {
        return L"end";
    }
    doc.element_cursor = cursor;
    return doc.ElementId();
}

TEST(HtmlDocumentTest, TagNamesMatchWholeInAnyCase) {
    HtmlDocument doc;
    Load(doc,
         "<abbr id=ab>x</abbr><A id=a1 href=1>one</A><p><a id=a2 href=2>two</a></p>"
         "<Form id=f1></Form><FORM id=f2></FORM><h4 id=h>t</h4>");
    struct Row {
        int index;
        const char* tag;
        const wchar_t* id;
    } rows[] = {
        {0, "A", L"a1"},     {1, "a", L"a2"},   {2, "A", L"end"},   {-1, "A", L"end"},
        {0, "abbr", L"ab"},  {0, "ab", L"end"}, {0, "FORM", L"f1"}, {1, "form", L"f2"},
        {2, "FORM", L"end"}, {0, "H4", L"h"},   {0, "", L"end"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(IdAt(doc, doc.FindElement(row.index, row.tag)), row.id)
            << row.tag << " " << row.index;
    }
    EXPECT_TRUE(doc.SelectLink(1));
    EXPECT_FALSE(doc.SelectLink(2));
    EXPECT_TRUE(doc.link_cursor.AtEnd());
    EXPECT_EQ(doc.LinkUrl(), L"");
    EXPECT_EQ(doc.LinkText(), L"");
}

TEST(HtmlDocumentTest, NestedElementsCountInDocumentOrder) {
    HtmlDocument doc;
    Load(doc,
         "<form id=outer><form id=inner></form><input name=a></form>"
         "<form id=last></form>");
    HtmlCursor outer = doc.FindElement(0, "FORM");
    EXPECT_EQ(IdAt(doc, outer), L"outer");
    EXPECT_EQ(IdAt(doc, doc.FindElement(1, "FORM")), L"inner");
    EXPECT_EQ(IdAt(doc, doc.FindNextElement("FORM", outer, false)), L"inner");
    EXPECT_EQ(IdAt(doc, doc.FindNextElement("FORM", outer, true)), L"last");
    EXPECT_EQ(IdAt(doc, doc.FindNextElement("FORM", doc.FindElement(2, "FORM"), false)), L"end");
    EXPECT_EQ(IdAt(doc, doc.FindNextElement("FORM", HtmlCursor{}, false)), L"end");
}

TEST(HtmlDocumentTest, LinkUrlsAreDecodedAndMadeAbsolute) {
    HtmlDocument doc;
    Load(doc,
         "<a href=\"t.php?x=1&amp;y=2\">1</a>"
         "<a name=\"top\">2</a>"
         "<a href=\"./viewforum.php?f=2&amp;sid=ab\">3</a>"
         "<a href='../up.php'>4</a>"
         "<a href=/abs>5</a>"
         "<a href=\"http://other.test/x\">6</a>"
         "<a href=\"search.php?q=a b&amp;w=\xC3\xBC\">7</a>"
         "<a href=\"#frag\">8</a>"
         "<a href=\"\">9</a>");
    const std::vector<std::wstring> expected = {
        L"http://forum.test/board/t.php?x=1&y=2",
        kPageUrl,
        L"http://forum.test/board/viewforum.php?f=2&sid=ab",
        L"http://forum.test/up.php",
        L"http://forum.test/abs",
        L"http://other.test/x",
        L"http://forum.test/board/search.php?q=a b&w=\u00FC",
        L"http://forum.test/board/index.php?x=1#frag",
        kPageUrl,
    };
    std::vector<std::wstring> urls;
    for (int i = 0; doc.SelectLink(i); ++i) {
        urls.push_back(doc.LinkUrl());
    }
    EXPECT_EQ(urls, expected);
}

TEST(HtmlDocumentTest, ElementTextKeepsWhiteSpaceAndLinkTextJoinsLines) {
    HtmlDocument doc;
    Load(doc,
         "<a href=x class=\"forumlink big\">Line one<br>next <!-- skipped --> <b>Q&amp;A</b>\r\n"
         "  indented\n</a>");
    ASSERT_TRUE(doc.SelectLink(0));
    EXPECT_EQ(doc.ElementText(doc.link_cursor), L"Line one\r\nnext  Q&A\r\n  indented\n");
    EXPECT_EQ(doc.LinkText(), L"Line one next  Q&A   indented\n");
    EXPECT_EQ(doc.LinkClass(), L"forumlink big");
}

// An anchor that is never closed holds the rest of the page in the tree; as a link its
// text is only what comes before the next link.
TEST(HtmlDocumentTest, UnclosedLinkTextEndsWhereTheNextLinkStarts) {
    HtmlDocument doc;
    Load(doc, "<a name=top>Top <b>of</b> page<a href=f1>One</a> after<a href=f2>Two");
    std::vector<std::wstring> texts;
    for (int i = 0; doc.SelectLink(i); ++i) {
        texts.push_back(doc.LinkText());
    }
    EXPECT_EQ(texts, (std::vector<std::wstring>{L"Top of page", L"One", L"Two"}));
    ASSERT_TRUE(doc.SelectLink(0));
    EXPECT_EQ(doc.ElementText(doc.link_cursor), L"Top of pageOne afterTwo");
}

TEST(HtmlDocumentTest, BaseCountsOnlyInsideHead) {
    struct Row {
        const char* page;
        const wchar_t* link_base;
        const wchar_t* link_url;
    } rows[] = {
        {"<html><head><base href=\"http://cdn.test/forum/\"></head><body><a href=v.php>v</a>",
         L"http://cdn.test/forum/", L"http://cdn.test/forum/v.php"},
        {"<html><head></head><body><base href=\"http://cdn.test/forum/\"><a href=v.php>v</a>",
         kPageUrl.c_str(), L"http://forum.test/board/v.php"},
        // A BASE that only sets a target, or a relative one, still leaves the page's own
        // address to resolve against.
        {"<head><base target=_blank></head><a href=v.php>v</a>", L"",
         L"http://forum.test/board/v.php"},
        {"<head><base href=\"/forum/\"></head><a href=v.php>v</a>", L"/forum/",
         L"http://forum.test/forum/v.php"},
    };
    for (const Row& row : rows) {
        HtmlDocument doc;
        Load(doc, row.page);
        EXPECT_EQ(doc.link_base, row.link_base) << row.page;
        ASSERT_TRUE(doc.SelectLink(0));
        EXPECT_EQ(doc.LinkUrl(), row.link_url) << row.page;
    }
}

TEST(HtmlDocumentTest, MetaRefreshTargets) {
    struct Row {
        const char* page;
        bool found;
        const wchar_t* out;
    } rows[] = {
        {"<meta http-equiv=\"refresh\" content=\"5; URL='next.php'\">", true,
         L"http://forum.test/board/'next.php'"},
        {"<meta http-equiv=\"Refresh\" content=\"5\">", true, kPageUrl.c_str()},
        {"<meta http-equiv=\"content-type\" content=\"text/html\">"
         "<META HTTP-EQUIV=REFRESH CONTENT=\"0;url=index.php?a=1&amp;b=2\">",
         true, L"http://forum.test/board/index.php?a=1&b=2"},
        {"<meta http-equiv=\"refreshing\" content=\"0;url=x.php\">", false, L"unchanged"},
        {"<p>no meta</p>", false, L"unchanged"},
    };
    for (const Row& row : rows) {
        HtmlDocument doc;
        Load(doc, row.page);
        std::wstring out = L"unchanged";
        if (row.found) {
            out.clear();
        }
        EXPECT_EQ(doc.MetaRefreshUrl(out), row.found) << row.page;
        EXPECT_EQ(out, row.out) << row.page;
    }
}

TEST(HtmlDocumentTest, Title) {
    HtmlDocument doc;
    std::wstring title = L"before";
    Load(doc, "<head><title>Board &amp; Co &#x1F600;</title></head>");
    EXPECT_TRUE(doc.Title(title));
    EXPECT_EQ(title, L"Board & Co \U0001F600");
    Load(doc, "<head><title></title></head>");
    EXPECT_TRUE(doc.Title(title));
    EXPECT_EQ(title, L"");
    title = L"before";
    Load(doc, "<head></head><body>no title</body>");
    EXPECT_FALSE(doc.Title(title));
    EXPECT_EQ(title, L"before");
}

TEST(HtmlDocumentTest, SelectAncestorClimbsToEnclosingCells) {
    HtmlDocument doc;
    Load(doc,
         "<table><tr><td id=\"outer\"><table><tr><td id=\"f12\"><div><strong>"
         "<a href=\"forumdisplay.php?f=12\">Section</a></strong></div></td></tr></table>"
         "</td></tr></table>");
    ASSERT_TRUE(doc.SelectLink(0));
    doc.element_cursor = doc.link_cursor;
    EXPECT_EQ(doc.ElementId(), L"");
    EXPECT_FALSE(doc.SelectAncestor("h4"));
    EXPECT_EQ(doc.element_cursor, doc.link_cursor);
    EXPECT_TRUE(doc.SelectAncestor("TD"));
    EXPECT_EQ(doc.ElementId(), L"f12");
    EXPECT_TRUE(doc.SelectAncestor("td"));
    EXPECT_EQ(doc.ElementId(), L"outer");
    HtmlCursor outer = doc.element_cursor;
    EXPECT_FALSE(doc.SelectAncestor("TD"));
    EXPECT_EQ(doc.element_cursor, outer);

    doc.element_cursor = HtmlCursor{};
    EXPECT_FALSE(doc.SelectAncestor("TD"));
    EXPECT_EQ(doc.ElementId(), L"");
    doc.element_cursor = HtmlCursor{0};  // the root above the page
    EXPECT_FALSE(doc.SelectAncestor("TD"));
}

TEST(HtmlDocumentTest, EmptyDocumentAndReloadAreSafe) {
    HtmlDocument doc;
    EXPECT_FALSE(doc.SelectLink(0));
    EXPECT_EQ(doc.LinkUrl(), L"");
    std::wstring out;
    EXPECT_FALSE(doc.Title(out));
    EXPECT_FALSE(doc.MetaRefreshUrl(out));
    doc.element_cursor = HtmlCursor{5};
    EXPECT_FALSE(doc.SelectAncestor("TD"));

    Load(doc, "<a href=a>a</a><a href=b>b</a>");
    ASSERT_TRUE(doc.SelectLink(1));
    doc.element_cursor = doc.link_cursor;
    doc.form_cursor = doc.link_cursor;
    Load(doc, "");
    EXPECT_TRUE(doc.link_cursor.AtEnd());
    EXPECT_TRUE(doc.element_cursor.AtEnd());
    EXPECT_TRUE(doc.form_cursor.AtEnd());
    EXPECT_FALSE(doc.SelectLink(0));
}

// Void elements written without an end tag nest in the parser's tree; a long page of them
// (or one cut off before its end tags) must neither exhaust the stack nor lose links.
TEST(HtmlDocumentTest, DeeplyNestedPageKeepsEveryLink) {
    std::string page = "<html><body><table><tr><td id=cell>";
    const int kDepth = 200000;
    const int kLinks = kDepth / 1000;
    for (int i = 0; i < kDepth; ++i) {
        page += "<img src=i.gif>";
        if (i % 1000 == 999) {
            page += "<a href=\"t.php?t=" + std::to_string(i / 1000) + "\">T</a>";
        }
    }
    HtmlDocument doc;
    Load(doc, page);
    ASSERT_TRUE(doc.SelectLink(kLinks - 1));
    EXPECT_EQ(doc.LinkUrl(), L"http://forum.test/board/t.php?t=199");
    EXPECT_EQ(doc.LinkText(), L"T");
    doc.element_cursor = doc.link_cursor;
    EXPECT_TRUE(doc.SelectAncestor("TD"));
    EXPECT_EQ(doc.ElementId(), L"cell");
    EXPECT_FALSE(doc.SelectLink(kLinks));
    Load(doc, "<a href=next.php>next</a>");
    EXPECT_TRUE(doc.SelectLink(0));
}

struct SectionLink {
    std::wstring url;
    std::wstring title;
    bool operator==(const SectionLink&) const = default;
};

std::vector<SectionLink> ForumTitleLinks(HtmlDocument& doc) {
    std::vector<SectionLink> links;
    for (int i = 0; doc.SelectLink(i); ++i) {
        if (doc.LinkClass() == L"forumtitle") {
            links.push_back({doc.LinkUrl(), doc.LinkText()});
        }
    }
    return links;
}

TEST(HtmlDocumentTest, PhpBb3IndexGivesItsForums) {
    HtmlDocument doc;
    doc.LoadBytes(test::ReadFixture("web/phpbb3-index-forums.html"),
                  L"https://www.paragon.fi/forum/index.php", L"text/html");
    std::wstring title;
    EXPECT_TRUE(doc.Title(title));
    EXPECT_EQ(title, L"Paragon | Index page");
    const std::vector<SectionLink> expected = {
        {L"https://www.paragon.fi/forum/viewforum.php%3Ff=4.html", L"General Discussion"},
        {L"https://www.paragon.fi/forum/viewforum.php%3Ff=20.html", L"UIs & Macros"},
        {L"https://www.paragon.fi/forum/viewforum.php%3Ff=21.html", L"Off-Topic"},
    };
    EXPECT_EQ(ForumTitleLinks(doc), expected);
}

TEST(HtmlDocumentTest, PhpBb3GuestIndexGivesForumAndLoginForm) {
    HtmlDocument doc;
    doc.LoadBytes(test::ReadFixture("web/phpbb3-index-guest.html"),
                  L"http://127.0.0.1:8089/index.php", L"text/html; charset=UTF-8");
    const std::wstring sid = L"sid=5bc97308978377b0577b70c329953698";
    const std::vector<SectionLink> expected = {
        {L"http://127.0.0.1:8089/viewforum.php?f=2&" + sid, L"Your first forum"}};
    EXPECT_EQ(ForumTitleLinks(doc), expected);

    doc.form_cursor = doc.FindElement(0, "FORM");
    HtmlForm form;
    doc.ReadForm(form);
    EXPECT_EQ(form.action, L"http://127.0.0.1:8089/ucp.php?mode=login&" + sid);
    EXPECT_EQ(form.method, L"POST");
    std::vector<std::wstring> names;
    for (const FormField& field : form.fields) {
        names.push_back(field.name);
    }
    EXPECT_EQ(names, (std::vector<std::wstring>{L"username", L"password", L"autologin", L"login",
                                                L"redirect", L"creation_time", L"form_token"}));
    EXPECT_EQ(form.fields[3].type, kFieldSubmit);
    EXPECT_TRUE(form.fields[3].selected);
    EXPECT_EQ(form.fields[4].value, L"./index.php?" + sid);
    EXPECT_TRUE(doc.FindElement(1, "FORM").AtEnd());
}

}  // namespace
}  // namespace twk
