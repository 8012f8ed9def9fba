#include "app/DialogUnits.h"

#include <QFontMetrics>
#include <QString>

namespace twk::gui {
namespace {

// Rounded like MulDiv: units * base / divisor to the nearest integer.
int Scale(int units, int base, int divisor) {
    long long product = static_cast<long long>(units) * base;
    long long half = divisor / 2;
    return static_cast<int>(product >= 0 ? (product + half) / divisor : (product - half) / divisor);
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
    QFontMetrics metrics(font);
    // The average width of the 52 Latin letters, rounded to the nearest pixel.
    int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    base_x_ = (letters / 26 + 1) / 2;
    base_y_ = metrics.height();
    if (base_x_ < 1) {
        base_x_ = 1;
    }
    if (base_y_ < 1) {
        base_y_ = 1;
    }
}

int DialogUnits::X(int units) const {
    return Scale(units, base_x_, 4);
}

int DialogUnits::Y(int units) const {
    return Scale(units, base_y_, 8);
}

QRect DialogUnits::Rect(int x, int y, int width, int height) const {
    int left = X(x);
    int top = Y(y);
    return QRect(left, top, X(x + width) - left, Y(y + height) - top);
}

QSize DialogUnits::Size(int width, int height) const {
    return QSize(X(width), Y(height));
}

}  // namespace twk::gui
