#include "editing/AnchorLayout.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <array>

#include "app/MainDlg.h"
#include "editing/TabMessage.h"
#include "support/GuiTest.h"

namespace twk::gui {
namespace {

constexpr int32_t P = kAnchorPage;
constexpr int32_t F = kAnchorFree;

// A page of 400 x 300 with one control of each kind of anchoring.
class AnchorLayoutTest : public testing::Test {
protected:
    static constexpr std::array<LayoutEntry, 7> kTable = {{
        {1, F, P, P, F, 0, 0},  // button at the top right
        {2, P, P, P, F, 0, 0},  // list stretching horizontally
        {3, P, P, P, P, 0, 0},  // body stretching both ways
        {4, F, F, P, P, 0, 0},  // button at the bottom right
        {5, P, F, F, P, 0, 0},  // button at the bottom left
        {6, P, P, F, F, 0, 0},  // button that never moves
        {7, 4, F, P, P, 0, 0},  // tied to the right of control 4, after 4 has moved
    }};

    ControlRects template_rects = {
        {1, {300, 10, 360, 30}},   {2, {40, 10, 290, 30}},  {3, {40, 50, 380, 250}},
        {4, {320, 260, 360, 280}}, {5, {40, 260, 80, 280}}, {6, {40, 40, 60, 48}},
        {7, {365, 260, 390, 280}},
    };
    const LayoutRect page{0, 0, 400, 300};
};

TEST_F(AnchorLayoutTest, RecordsMarginsPerAnchor) {
    std::vector<LayoutMargins> m = RecordMargins(kTable, page, template_rects);
    ASSERT_EQ(m.size(), kTable.size());
    EXPECT_EQ(m[0].left, 60);  // free: the width
    EXPECT_EQ(m[0].top, 10);   // page: the distance to the edge
    EXPECT_EQ(m[0].right, 40);
    EXPECT_EQ(m[0].bottom, 20);  // free: the height
    EXPECT_EQ(m[2].bottom, 50);
    EXPECT_EQ(m[6].left, 5);  // control: the gap to its right edge
}

TEST_F(AnchorLayoutTest, ResizingMovesAndStretchesByTheSameAmount) {
    std::vector<LayoutMargins> margins = RecordMargins(kTable, page, template_rects);
    ControlRects rects = template_rects;

    PlaceControls(kTable, margins, LayoutRect{0, 0, 350, 330}, rects);

    EXPECT_EQ(rects[1], (LayoutRect{250, 10, 310, 30}));
    EXPECT_EQ(rects[2], (LayoutRect{40, 10, 240, 30}));
    EXPECT_EQ(rects[3], (LayoutRect{40, 50, 330, 280}));
    EXPECT_EQ(rects[4], (LayoutRect{270, 290, 310, 310}));
    EXPECT_EQ(rects[5], (LayoutRect{40, 290, 80, 310}));
    EXPECT_EQ(rects[6], template_rects[6]);
    EXPECT_EQ(rects[7], (LayoutRect{315, 290, 340, 310}));

    // Back to the template size gives the template back: nothing drifts.
    PlaceControls(kTable, margins, page, rects);
    EXPECT_EQ(rects, template_rects);
}

TEST_F(AnchorLayoutTest, CentredControlKeepsItsSizeBetweenItsAnchors) {
    const std::array<LayoutEntry, 1> table = {{{9, P, P, P, F, kCentreHorizontally, 0}}};
    ControlRects rects = {{9, {150, 10, 250, 30}}};
    std::vector<LayoutMargins> margins = RecordMargins(table, page, rects);

    PlaceControls(table, margins, LayoutRect{0, 0, 600, 300}, rects);

    EXPECT_EQ(rects[9], (LayoutRect{250, 10, 350, 30}));
}

TEST_F(AnchorLayoutTest, FarEdgeFollowsItsAnchor) {
    EXPECT_EQ(FarEdge(true, P, 40, 0, page, template_rects), 360);
    EXPECT_EQ(FarEdge(true, F, 60, 100, page, template_rects), 160);
    EXPECT_EQ(FarEdge(false, 4, 10, 0, page, template_rects), 250);
}

// The same on the real Message page inside the main window.
class MessagePageLayoutTest : public test::GuiTest {};

QRect GeometryOf(CTabMessage& page, int id) {
    return page.Control(id)->geometry();
}

TEST_F(MessagePageLayoutTest, NarrowingTheWindowMovesTheTopRightButtonsAndNarrowsTheFields) {
    CMainDlg window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    CTabMessage& page = window.message_page();
    const int moved[] = {kIdNewProfile, kIdDeleteProfile, kIdNewMessage, kIdDeleteMessage};
    const int narrowed[] = {kIdProfileList, kIdMessageList, kIdSubject, kIdBody};
    const int fixed[] = {kIdBold, kIdItalic, kIdUnderline, kIdImage, kIdUrl};
    std::map<int, QRect> before;
    for (int id : {kIdNewProfile, kIdDeleteProfile, kIdNewMessage, kIdDeleteMessage, kIdProfileList,
                   kIdMessageList, kIdSubject, kIdBody, kIdBold, kIdItalic, kIdUnderline, kIdImage,
                   kIdUrl, kIdPreview, kIdContinue}) {
        before[id] = GeometryOf(page, id);
    }
    const int page_width = page.width();

    window.resize(window.width() - 100, window.height());
    QApplication::processEvents();
    const int dx = page.width() - page_width;
    ASSERT_EQ(dx, -100);

    for (int id : moved) {
        EXPECT_EQ(GeometryOf(page, id), before[id].translated(dx, 0)) << id;
    }
    for (int id : narrowed) {
        EXPECT_EQ(GeometryOf(page, id).left(), before[id].left()) << id;
        EXPECT_EQ(GeometryOf(page, id).width(), before[id].width() + dx) << id;
    }
    for (int id : fixed) {
        EXPECT_EQ(GeometryOf(page, id), before[id]) << id;
    }
    EXPECT_EQ(GeometryOf(page, kIdContinue), before[kIdContinue].translated(dx, 0));
    EXPECT_EQ(GeometryOf(page, kIdPreview), before[kIdPreview]);

    // Taller: the body grows, the bottom buttons follow the bottom edge.
    const int page_height = page.height();
    window.resize(window.width(), window.height() + 60);
    QApplication::processEvents();
    const int dy = page.height() - page_height;
    ASSERT_EQ(dy, 60);
    EXPECT_EQ(GeometryOf(page, kIdBody).height(), before[kIdBody].height() + dy);
    EXPECT_EQ(GeometryOf(page, kIdPreview), before[kIdPreview].translated(0, dy));
    EXPECT_EQ(GeometryOf(page, kIdProfileList).height(), before[kIdProfileList].height());
}

}  // namespace
}  // namespace twk::gui
