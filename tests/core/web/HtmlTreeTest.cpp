// The flat tree must be exactly the tree htmlcxx's own DOM parser builds: every answer of
// HtmlDocument rests on its shape. This is the one test that uses htmlcxx directly, as
// the reference the tree is held to.
#include <gtest/gtest.h>
#include <htmlcxx/html/ParserDom.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "web/HtmlTree.h"

namespace twk {
namespace {

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

// One line per node below the root, in document order: depth, kind, name and source.
std::string DescribeReference(const std::string& html) {
    htmlcxx::HTML::ParserDom parser;
    const tree<htmlcxx::HTML::Node>& dom = parser.parseTree(html);
    std::ostringstream out;
    for (auto it = dom.begin(); it != dom.end(); ++it) {
        const int depth = dom.depth(it);
        if (depth == 0) {
            continue;
        }
        const char kind = it->isComment() ? 'C' : it->isTag() ? 'T' : 'X';
        out << depth << kind << (kind == 'T' ? Lower(it->tagName()) : "") << '|' << it->text()
            << '\n';
    }
    return out.str();
}

std::string Describe(const HtmlTree& tree, const std::string& html) {
    std::vector<int> depth(tree.Size(), 0);
    std::ostringstream out;
    for (int i = 1; i < tree.Size(); ++i) {
        depth[i] = depth[tree.Parent(i)] + 1;
        const char kind = tree.IsComment(i) ? 'C' : tree.IsText(i) ? 'X' : 'T';
        std::string name;
        if (kind == 'T') {
            // The name as the tokenizer takes it: letters and digits after "<".
            std::string_view source = tree.Source(i);
            size_t end = 1;
            while (end < source.size() && std::isalnum(static_cast<unsigned char>(source[end]))) {
                ++end;
            }
            name = Lower(std::string(source.substr(1, end - 1)));
        }
        out << depth[i] << kind << name << '|' << tree.Source(i) << '\n';
        if (tree.SubtreeEnd(i) > tree.SubtreeEnd(tree.Parent(i))) {
            ADD_FAILURE() << "node " << i << " reaches beyond its parent in " << html;
        }
    }
    return out.str();
}

void ExpectSameAsReference(const std::string& html, const std::string& label) {
    HtmlTree tree;
    tree.Parse(html);
    EXPECT_EQ(Describe(tree, html), DescribeReference(html)) << label;
}

TEST(HtmlTreeTest, MalformedMarkupGivesTheReferenceTree) {
    const char* cases[] = {
        "",
        "plain text",
        "<div><b>bold<i>both</div>after",
        "<b>1<b>2<b>3</b>4</b>5</b>6</b>7",
        "<p>a</i>b</p></p>",
        "<table><tr><td><a href=x>l</td><td>c</table><br>tail",
        "<div><span><div>inner</div>x</span></div></div>",
        "<form><input name=a><select><option>1<option>2</select></form>",
        "<ul><li>one<li>two<ul><li>three</ul><li>four</ul>",
        "<script>if (a < b) { x = '</div>'; }</script><div>d</div>",
        "<style>p{}</STYLE ><textarea><b>t</b></textarea>",
        "<!-- c -- > --> <! doctype html><?xml x?><%asp%>",
        "</ >< / >x<>y</3>",
        "<a b='c>d'>e</a><a b=\"unclosed>f",
        "<DIV><Div><div>x</DIV>y</dIv>z",
        "<xmp><b></xmp><plaintext><i></plaintext>",
        "<b><i><u>x</b>y</i>z</u>",
    };
    for (const char* html : cases) {
        ExpectSameAsReference(html, html);
    }
}

TEST(HtmlTreeTest, RealPagesGiveTheReferenceTree) {
    namespace fs = std::filesystem;
    std::vector<fs::path> roots = {fs::path(TWK_FIXTURES_DIR)};
    // The real board pages live beside the repository where the project keeps them.
    fs::path samples = fs::path(TWK_SOURCE_DIR) / ".." / "shared" / "samples";
    if (fs::is_directory(samples)) {
        roots.push_back(samples);
    }
    int pages = 0;
    for (const fs::path& root : roots) {
        for (const auto& entry : fs::recursive_directory_iterator(root)) {
            if (!entry.is_regular_file() || entry.path().extension() != ".html") {
                continue;
            }
            std::ifstream file(entry.path(), std::ios::binary);
            std::string html((std::istreambuf_iterator<char>(file)),
                             std::istreambuf_iterator<char>());
            ExpectSameAsReference(html, entry.path().string());
            ++pages;
        }
    }
    EXPECT_GT(pages, 5);
}

}  // namespace
}  // namespace twk
