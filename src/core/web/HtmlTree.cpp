#include "web/HtmlTree.h"

#include <htmlcxx/html/ParserSax.h>

#include <algorithm>
#include <utility>

namespace twk {
namespace {

using htmlcxx::HTML::Node;

std::string LowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

// htmlcxx's attribute parser, run on a tag's markup; the attributes are moved out rather
// than copied, as an engine's walk over a page's links parses every link.
class ParsedTag : public Node {
public:
    explicit ParsedTag(std::string_view markup) {
        mText.assign(markup);
        mIsHtmlTag = true;
        mComment = false;
        parseAttributes();
    }
    std::map<std::string, std::string> TakeAttributes() { return std::move(mAttributes); }
};

}  // namespace

// Takes the tokens of htmlcxx's tokenizer and builds the flat tree. The open elements are
// kept on a stack with a count per tag name, so that an end tag without an open element
// of its name costs one look-up, and an end tag that closes elements above its own pops
// each of them once.
class HtmlTree::Parser : public htmlcxx::HTML::ParserSax {
public:
    explicit Parser(HtmlTree& tree) : tree_(tree) {}

protected:
    void foundTag(Node node, bool isEnd) override {
        const int id = TagIdOf(node.tagName());
        if (!isEnd) {
            const int index = Append(node, Kind::kTag, id);
            tree_.elements_[id].push_back(index);
            open_.push_back(index);
            ++open_counts_[id];
            return;
        }
        if (open_counts_[id] == 0) {
            // As htmlcxx does: an end tag that closes nothing is kept as a comment.
            Append(node, Kind::kComment, -1);
            return;
        }
        for (;;) {
            const int top = open_.back();
            open_.pop_back();
            const int top_id = tree_.nodes_[top].tag;
            --open_counts_[top_id];
            if (top_id == id) {
                break;
            }
            tree_.nodes_[top].flattened = true;
        }
    }
    void foundText(Node node) override { Append(node, Kind::kText, -1); }
    void foundComment(Node node) override { Append(node, Kind::kComment, -1); }

private:
    int TagIdOf(const std::string& name) {
        auto [it, added] =
            tree_.tag_ids_.emplace(LowerAscii(name), static_cast<int>(tree_.elements_.size()));
        if (added) {
            tree_.elements_.emplace_back();
            open_counts_.push_back(0);
        }
        return it->second;
    }

    int Append(const Node& node, Kind kind, int tag) {
        FlatNode flat;
        flat.offset = node.offset();
        flat.length = static_cast<uint32_t>(node.text().size());
        flat.parent = open_.empty() ? 0 : open_.back();
        flat.tag = tag;
        flat.kind = kind;
        tree_.nodes_.push_back(flat);
        return tree_.Size() - 1;
    }

    HtmlTree& tree_;
    std::vector<int> open_;         // open elements, innermost last
    std::vector<int> open_counts_;  // per tag id, how many of open_ have it
};

HtmlTree::HtmlTree() = default;
HtmlTree::~HtmlTree() = default;

void HtmlTree::Clear() {
    html_.clear();
    nodes_.clear();
    tag_ids_.clear();
    elements_.clear();
    ancestors_.clear();
    attributes_.clear();
}

void HtmlTree::Parse(std::string_view html) {
    Clear();
    html_.assign(html);
    nodes_.push_back(FlatNode{});
    Parser parser(*this);
    // The tokenizer is a template in htmlcxx's header; instantiating it here lets the
    // sanitizer and fuzzer builds see into it.
    parser.parse(html_.data(), html_.data() + html_.size());

    // Nodes were written in document order, which the moves below do not change. A node
    // whose parent was flattened belongs to that parent's own parent, already final
    // because it comes earlier.
    for (int i = 1; i < Size(); ++i) {
        const int parent = nodes_[i].parent;
        if (nodes_[parent].flattened) {
            nodes_[i].parent = nodes_[parent].parent;
        }
    }
    // Pre-order: a node's descendants follow it directly, so subtree sizes add up from
    // the back.
    std::vector<int> sizes(nodes_.size(), 1);
    for (int i = Size() - 1; i > 0; --i) {
        sizes[nodes_[i].parent] += sizes[i];
    }
    for (int i = 0; i < Size(); ++i) {
        nodes_[i].end = i + sizes[i];
    }
}

std::string_view HtmlTree::Source(int node) const {
    const FlatNode& flat = nodes_[node];
    return std::string_view(html_).substr(flat.offset, flat.length);
}

int HtmlTree::TagId(std::string_view tag) const {
    auto it = tag_ids_.find(LowerAscii(tag));
    return it == tag_ids_.end() ? -1 : it->second;
}

int HtmlTree::NextElement(std::string_view tag, int from) const {
    int id = TagId(tag);
    if (id < 0) {
        return -1;
    }
    const std::vector<int>& list = elements_[id];
    auto it = std::lower_bound(list.begin(), list.end(), from);
    return it == list.end() ? -1 : *it;
}

int HtmlTree::NthElement(std::string_view tag, int index) const {
    int id = TagId(tag);
    if (id < 0 || index < 0 || static_cast<size_t>(index) >= elements_[id].size()) {
        return -1;
    }
    return elements_[id][index];
}

int HtmlTree::NearestAncestor(int node, std::string_view tag) const {
    int id = TagId(tag);
    if (id < 0 || !Contains(node)) {
        return -1;
    }
    auto [it, added] = ancestors_.try_emplace(id);
    std::vector<int>& nearest = it->second;
    if (added) {
        nearest.assign(nodes_.size(), -1);
        for (int i = 1; i < Size(); ++i) {
            int parent = nodes_[i].parent;
            nearest[i] = nodes_[parent].tag == id ? parent : nearest[parent];
        }
    }
    return nearest[node];
}

const std::string* HtmlTree::Attribute(int node, const std::string& name) const {
    if (nodes_[node].tag < 0) {
        return nullptr;
    }
    auto [it, added] = attributes_.try_emplace(node);
    if (added) {
        it->second = ParsedTag(Source(node)).TakeAttributes();
    }
    auto found = it->second.find(name);
    return found == it->second.end() ? nullptr : &found->second;
}

}  // namespace twk
