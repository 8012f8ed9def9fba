#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

namespace twk::gui {

// Converts dialog-template units to pixels for a font, the way dialog templates are
// meant to be read: x in quarters of the average character width, y in eighths of the
// character height. Windows keep their proportions whatever font and screen they meet.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

    int X(int units) const;
    int Y(int units) const;
    QRect Rect(int x, int y, int width, int height) const;
    QSize Size(int width, int height) const;

    int base_x() const { return base_x_; }
    int base_y() const { return base_y_; }

private:
    int base_x_;
    int base_y_;
};

}  // namespace twk::gui
