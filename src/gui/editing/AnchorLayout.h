#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <vector>

namespace twk::gui {

// The anchor layout of the tab pages, kept free of widgets so that it can be computed and
// tested on plain rectangles. A page's table says, for each resizable control, what each
// side is tied to; the margins are recorded once from the template and every resize
// places the controls again from them.

// Anchor values besides a control id.
constexpr int32_t kAnchorPage = -1;  // the page's own edge on that side
constexpr int32_t kAnchorFree = -2;  // the control keeps its size on that axis

constexpr uint32_t kCentreHorizontally = 1;
constexpr uint32_t kCentreVertically = 2;

struct LayoutEntry {
    int32_t control;
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
    uint32_t flags;
    uint32_t keep_erase;
};

// Edges as the dialog framework keeps them: right and bottom lie just outside.
struct LayoutRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool operator==(const LayoutRect&) const = default;
};

struct LayoutMargins {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// Control id to its rectangle in page coordinates.
using ControlRects = std::map<int32_t, LayoutRect>;

// One margin row per table row, from the controls as they stand in page.
std::vector<LayoutMargins> RecordMargins(std::span<const LayoutEntry> table, const LayoutRect& page,
                                         const ControlRects& rects);

// Moves the table's controls in rects for a page of the given size. Rows are placed in
// order, so a control anchored to another sees that control where it already stands.
void PlaceControls(std::span<const LayoutEntry> table, std::span<const LayoutMargins> margins,
                   const LayoutRect& page, ControlRects& rects);

// The far edge (right or bottom) of one axis from its anchor: the page edge, the near
// edge plus the kept size, or the facing edge of the anchor control.
int FarEdge(bool horizontal, int32_t anchor, int margin, int near_edge, const LayoutRect& page,
            const ControlRects& rects);

}  // namespace twk::gui
