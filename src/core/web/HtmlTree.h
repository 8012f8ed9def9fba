#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace twk {

// A page parsed with htmlcxx's tokenizer, laid out once in document (pre-order) order so
// that the questions the engines ask in loops - the i-th link, the i-th form, a link's
// enclosing cell - cost no more than a look-up: node i's descendants are the nodes i+1 up
// to SubtreeEnd(i), and the elements of each tag name are kept in an ordered index.
// Node 0 is the root above the page's top-level nodes; it is never an element.
//
// The tree is the one htmlcxx's own DOM parser builds (an end tag closes the nearest open
// element of its name, the open elements above it give their children to it, an end tag
// with no open element of its name stays as a comment), but built in time linear in the
// page: htmlcxx walks up every open element for each end tag and moves the children of
// each element it closes this way, so a page of unclosed tags and stray end tags took
// minutes. Here each node is written once and its final parent is found in one pass.
// Owned by HtmlDocument; htmlcxx stays behind this class.
class HtmlTree {
public:
    HtmlTree();
    ~HtmlTree();
    HtmlTree(const HtmlTree&) = delete;
    HtmlTree& operator=(const HtmlTree&) = delete;

    // Replaces the tree with the parse of html (raw page bytes).
    void Parse(std::string_view html);
    void Clear();

    int Size() const { return static_cast<int>(nodes_.size()); }
    bool Contains(int node) const { return node >= 0 && node < Size(); }

    int SubtreeEnd(int node) const { return nodes_[node].end; }
    int Parent(int node) const { return nodes_[node].parent; }
    // A text node: neither a tag, a comment nor the root.
    bool IsText(int node) const { return nodes_[node].kind == Kind::kText; }
    bool IsComment(int node) const { return nodes_[node].kind == Kind::kComment; }
    // The id of a tag name (compared whole, without regard to ASCII letter case), for
    // loops that test many nodes against the same names; -1 when no element has it.
    int TagId(std::string_view tag) const;
    // The node's tag id; -1 for text, comments, unmatched end tags and the root.
    int Tag(int node) const { return nodes_[node].tag; }
    // The node's source: the characters between tags, or a tag's own markup.
    std::string_view Source(int node) const;

    // The first element named tag at or after node from, in document order; -1 if none.
    int NextElement(std::string_view tag, int from) const;
    // The index-th element named tag (counting from 0); -1 if there is none.
    int NthElement(std::string_view tag, int index) const;
    // The nearest proper ancestor of node named tag; -1 if none.
    int NearestAncestor(int node, std::string_view tag) const;

    // The raw value of an attribute (name in lower case), or null when it is absent.
    // A tag's attributes are parsed on first use.
    const std::string* Attribute(int node, const std::string& name) const;

private:
    enum class Kind : uint8_t { kRoot, kText, kComment, kTag };
    struct FlatNode {
        uint32_t offset = 0;  // the node's source in html_
        uint32_t length = 0;
        int parent = -1;
        int end = 0;
        int tag = -1;  // tag id; -1 for text, comments, unmatched end tags and the root
        Kind kind = Kind::kRoot;
        // Closed by the end tag of an element above it: its children belong to its parent.
        bool flattened = false;
    };

    class Parser;
    friend class Parser;

    std::string html_;
    std::vector<FlatNode> nodes_;
    std::unordered_map<std::string, int> tag_ids_;  // lower-case name to id
    std::vector<std::vector<int>> elements_;        // per tag id, in document order
    // Per tag id asked for, each node's nearest proper ancestor of that tag (-1 if none);
    // built on first use in one pass.
    mutable std::unordered_map<int, std::vector<int>> ancestors_;
    // Per tag node asked for, its parsed attributes.
    mutable std::unordered_map<int, std::map<std::string, std::string>> attributes_;
};

}  // namespace twk
