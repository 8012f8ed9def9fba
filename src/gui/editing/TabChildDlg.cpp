#include "editing/TabChildDlg.h"

#include <QKeyEvent>
#include <QLabel>

namespace twk::gui {

CTabChildDlg::CTabChildDlg(CTabHost& host, QWidget* parent)
    : QWidget(parent), host_(host), units_(font()) {}

void CTabChildDlg::OnActivatePage(bool) {}

QWidget* CTabChildDlg::Control(int id) const {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

void CTabChildDlg::Place(int id, QWidget* widget, int x, int y, int width, int height) {
    widget->setParent(this);
    widget->setGeometry(units_.Rect(x, y, width, height));
    controls_[id] = widget;
}

QLabel* CTabChildDlg::AddLabel(const QString& text, int x, int y, int width, int height) {
    auto* label = new QLabel(text, this);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setGeometry(units_.Rect(x, y, width, height));
    return label;
}

void CTabChildDlg::FinishTemplate(int width, int height) {
    resize(units_.Size(width, height));
    Layout(true);
    Layout(false);
}

ControlRects CTabChildDlg::CurrentRects() const {
    ControlRects rects;
    for (const auto& [id, widget] : controls_) {
        QRect g = widget->geometry();
        rects[id] = LayoutRect{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
    }
    return rects;
}

void CTabChildDlg::Layout(bool record) {
    const LayoutRect page{0, 0, width(), height()};
    ControlRects rects = CurrentRects();
    if (record) {
        margins_ = RecordMargins(LayoutTable(), page, rects);
        return;
    }
    PlaceControls(LayoutTable(), margins_, page, rects);
    for (const LayoutEntry& entry : LayoutTable()) {
        if (QWidget* widget = Control(entry.control)) {
            const LayoutRect& r = rects[entry.control];
            widget->setGeometry(r.left, r.top, r.width(), r.height());
        }
    }
    update();
}

void CTabChildDlg::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // Margins are recorded at the end of construction; a resize before that has nothing
    // to place.
    if (!margins_.empty()) {
        Layout(false);
    }
}

void CTabChildDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            event->accept();
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}

}  // namespace twk::gui
