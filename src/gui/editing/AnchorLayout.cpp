#include "editing/AnchorLayout.h"

namespace twk::gui {
namespace {

LayoutRect RectOf(const ControlRects& rects, int32_t control) {
    auto it = rects.find(control);
    return it == rects.end() ? LayoutRect{} : it->second;
}

// One axis seen through its own names, so that both axes share one computation.
struct Axis {
    bool horizontal;
    int Near(const LayoutRect& r) const { return horizontal ? r.left : r.top; }
    int Far(const LayoutRect& r) const { return horizontal ? r.right : r.bottom; }
    int Size(const LayoutRect& r) const { return horizontal ? r.width() : r.height(); }
};

// Near and far edge of one control on one axis.
void PlaceAxis(const Axis& axis, int32_t near_anchor, int32_t far_anchor, bool centred,
               int near_margin, int far_margin, const LayoutRect& page, const ControlRects& rects,
               int& near_edge, int& far_edge) {
    if (centred) {
        int lo =
            near_anchor == kAnchorPage ? axis.Near(page) : axis.Far(RectOf(rects, near_anchor));
        int hi = far_anchor == kAnchorPage ? axis.Far(page) : axis.Near(RectOf(rects, far_anchor));
        near_edge = lo + (hi - lo) / 2 - near_margin;
        far_edge = near_edge + far_margin;
        return;
    }
    if (near_anchor == kAnchorFree) {
        far_edge = FarEdge(axis.horizontal, far_anchor, far_margin, 0, page, rects);
        near_edge = far_edge - near_margin;
        return;
    }
    near_edge = near_anchor == kAnchorPage ? near_margin
                                           : axis.Far(RectOf(rects, near_anchor)) + near_margin;
    far_edge = FarEdge(axis.horizontal, far_anchor, far_margin, near_edge, page, rects);
}

}  // namespace

int FarEdge(bool horizontal, int32_t anchor, int margin, int near_edge, const LayoutRect& page,
            const ControlRects& rects) {
    Axis axis{horizontal};
    if (anchor == kAnchorPage) {
        return axis.Far(page) - margin;
    }
    if (anchor == kAnchorFree) {
        return near_edge + margin;
    }
    return axis.Near(RectOf(rects, anchor)) - margin;
}

std::vector<LayoutMargins> RecordMargins(std::span<const LayoutEntry> table, const LayoutRect& page,
                                         const ControlRects& rects) {
    std::vector<LayoutMargins> margins;
    margins.reserve(table.size());
    for (const LayoutEntry& entry : table) {
        LayoutRect r = RectOf(rects, entry.control);
        LayoutMargins m;
        m.left = entry.left == kAnchorPage   ? r.left
                 : entry.left == kAnchorFree ? r.width()
                                             : r.left - RectOf(rects, entry.left).right;
        m.top = entry.top == kAnchorPage   ? r.top
                : entry.top == kAnchorFree ? r.height()
                                           : r.top - RectOf(rects, entry.top).bottom;
        m.right = entry.right == kAnchorPage   ? page.right - r.right
                  : entry.right == kAnchorFree ? r.width()
                                               : RectOf(rects, entry.right).left - r.right;
        m.bottom = entry.bottom == kAnchorPage   ? page.bottom - r.bottom
                   : entry.bottom == kAnchorFree ? r.height()
                                                 : RectOf(rects, entry.bottom).top - r.bottom;
        if (entry.flags & kCentreHorizontally) {
            m.left = r.width() / 2;
            m.right = r.width();
        }
        if (entry.flags & kCentreVertically) {
            m.top = r.height() / 2;
            m.bottom = r.height();
        }
        margins.push_back(m);
    }
    return margins;
}

void PlaceControls(std::span<const LayoutEntry> table, std::span<const LayoutMargins> margins,
                   const LayoutRect& page, ControlRects& rects) {
    for (size_t i = 0; i < table.size() && i < margins.size(); ++i) {
        const LayoutEntry& entry = table[i];
        const LayoutMargins& m = margins[i];
        LayoutRect placed;
        PlaceAxis(Axis{true}, entry.left, entry.right, (entry.flags & kCentreHorizontally) != 0,
                  m.left, m.right, page, rects, placed.left, placed.right);
        PlaceAxis(Axis{false}, entry.top, entry.bottom, (entry.flags & kCentreVertically) != 0,
                  m.top, m.bottom, page, rects, placed.top, placed.bottom);
        rects[entry.control] = placed;
    }
}

}  // namespace twk::gui
