#include "web/HtmlTree.h"

#include <htmlcxx/html/ParserDom.h>

#include <algorithm>
#include <utility>

namespace twk {
namespace {

using htmlcxx::HTML::Node;
using TreeNode = tree_node_<Node>;

std::string LowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

const std::string kEmpty;

}  // namespace

// Gives the flattening write access to the parser's tree, so that attributes can be
// parsed in place on first use instead of copying every node.
class HtmlTree::Parser : public htmlcxx::HTML::ParserDom {
public:
    tree<Node>& Tree() { return mHtmlTree; }
};

HtmlTree::HtmlTree() = default;
HtmlTree::~HtmlTree() = default;

void HtmlTree::Clear() {
    nodes_.clear();
    tag_ids_.clear();
    elements_.clear();
    ancestors_.clear();
    parser_.reset();
}

void HtmlTree::Parse(std::string_view html) {
    Clear();
    parser_ = std::make_unique<Parser>();
    parser_->parseTree(std::string(html));
    tree<Node>& dom = parser_->Tree();
    TreeNode* top = dom.begin().node;
    TreeNode* feet = dom.end().node;
    if (top == nullptr || top == feet) {
        nodes_.push_back(FlatNode{});
        return;
    }

    // Walked with an explicit stack: unclosed tags (<br>, <img>, <input> without an end
    // tag) nest, and a long page can be thousands of levels deep.
    std::vector<std::pair<TreeNode*, int>> pending;
    auto push_children = [&pending](TreeNode* parent, int index) {
        for (TreeNode* child = parent->last_child; child != nullptr; child = child->prev_sibling) {
            pending.emplace_back(child, index);
        }
    };
    nodes_.push_back(FlatNode{&top->data, -1, 0, -1, false, false});
    // The parser keeps a single top node; anything beside it still belongs to the page.
    std::vector<TreeNode*> beside;
    for (TreeNode* sibling = top->next_sibling; sibling != nullptr && sibling != feet;
         sibling = sibling->next_sibling) {
        beside.push_back(sibling);
    }
    for (auto it = beside.rbegin(); it != beside.rend(); ++it) {
        pending.emplace_back(*it, 0);
    }
    push_children(top, 0);

    while (!pending.empty()) {
        auto [tree_node, parent] = pending.back();
        pending.pop_back();
        const int index = Size();
        FlatNode flat;
        flat.node = &tree_node->data;
        flat.parent = parent;
        flat.comment = tree_node->data.isComment();
        if (tree_node->data.isTag() && !flat.comment && !tree_node->data.tagName().empty()) {
            std::string name = LowerAscii(tree_node->data.tagName());
            auto [it, added] =
                tag_ids_.emplace(std::move(name), static_cast<int>(elements_.size()));
            if (added) {
                elements_.emplace_back();
            }
            flat.tag = it->second;
            elements_[flat.tag].push_back(index);
        }
        nodes_.push_back(flat);
        push_children(tree_node, index);
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

    // htmlcxx frees its tree recursively, one stack frame per level, so a deep page would
    // overflow the stack when the document is replaced. The structure now lives in
    // nodes_; moving every node up to one level (the nodes themselves stay where they
    // are) makes freeing shallow.
    for (TreeNode* node = top->first_child; node != nullptr; node = node->next_sibling) {
        dom.flatten(tree<Node>::pre_order_iterator(node));
    }
    for (TreeNode* node = top->next_sibling; node != nullptr && node != feet;
         node = node->next_sibling) {
        dom.flatten(tree<Node>::pre_order_iterator(node));
    }
}

bool HtmlTree::IsText(int node) const {
    const FlatNode& flat = nodes_[node];
    return flat.node != nullptr && !flat.comment && !flat.node->isTag();
}

const std::string& HtmlTree::Source(int node) const {
    return nodes_[node].node != nullptr ? nodes_[node].node->text() : kEmpty;
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
    FlatNode& flat = nodes_[node];
    if (flat.tag < 0) {
        return nullptr;
    }
    if (!flat.attributes_parsed) {
        flat.node->parseAttributes();
        flat.attributes_parsed = true;
    }
    const auto& attributes = flat.node->attributes();
    auto it = attributes.find(name);
    return it == attributes.end() ? nullptr : &it->second;
}

}  // namespace twk
