#include "controls/Twips.h"

#include <QVariant>
#include <QWidget>
#include <cmath>

#include "platform/Services.h"

namespace zd {

namespace {

constexpr char kTwipsProperty[] = "zdTwips";

int roundToInt(double value) {
    return static_cast<int>(std::lround(value));
}

// Negative sizes are refused by the widget; treat them as empty.
QRect pixelRect(const TwipRect& rect) {
    return QRect(toPixelsX(rect.left), toPixelsY(rect.top), std::max(0, toPixelsX(rect.width)),
                 std::max(0, toPixelsY(rect.height)));
}

}  // namespace

double twipsPerPixelX() {
    return platform::screenMetrics().twipsPerPixelX;
}
double twipsPerPixelY() {
    return platform::screenMetrics().twipsPerPixelY;
}
int toPixelsX(double twips) {
    return roundToInt(twips / twipsPerPixelX());
}
int toPixelsY(double twips) {
    return roundToInt(twips / twipsPerPixelY());
}
double toTwipsX(int pixels) {
    return pixels * twipsPerPixelX();
}
double toTwipsY(int pixels) {
    return pixels * twipsPerPixelY();
}
QRect toPixels(const TwipRect& rect) {
    return pixelRect(rect);
}

TwipRect twipsGeometry(const QWidget* widget) {
    const QRect pixels =
        widget->isWindow() ? QRect(widget->pos(), widget->size()) : widget->geometry();
    const QVariant stored = widget->property(kTwipsProperty);
    if (stored.isValid()) {
        const auto rect = stored.value<QRectF>();
        const TwipRect twips{rect.x(), rect.y(), rect.width(), rect.height()};
        // Still ours only while the widget sits where we put it.
        if (pixelRect(twips) == pixels)
            return twips;
    }
    return TwipRect{toTwipsX(pixels.x()), toTwipsY(pixels.y()), toTwipsX(pixels.width()),
                    toTwipsY(pixels.height())};
}

void setTwipsGeometry(QWidget* widget, const TwipRect& rect) {
    const QRect pixels = pixelRect(rect);
    widget->setProperty(kTwipsProperty, QRectF(rect.left, rect.top, rect.width, rect.height));
    if (widget->isWindow()) {
        widget->move(pixels.topLeft());
        widget->resize(pixels.size());
    } else {
        widget->setGeometry(pixels);
    }
    // The property is written again: a resize handler may have moved things meanwhile.
    if ((widget->isWindow() ? QRect(widget->pos(), widget->size()) : widget->geometry()) ==
        pixels) {
        widget->setProperty(kTwipsProperty, QRectF(rect.left, rect.top, rect.width, rect.height));
    }
}

void setLeftTwips(QWidget* widget, double left) {
    TwipRect r = twipsGeometry(widget);
    r.left = left;
    setTwipsGeometry(widget, r);
}
void setTopTwips(QWidget* widget, double top) {
    TwipRect r = twipsGeometry(widget);
    r.top = top;
    setTwipsGeometry(widget, r);
}
void setWidthTwips(QWidget* widget, double width) {
    TwipRect r = twipsGeometry(widget);
    r.width = width;
    setTwipsGeometry(widget, r);
}
void setHeightTwips(QWidget* widget, double height) {
    TwipRect r = twipsGeometry(widget);
    r.height = height;
    setTwipsGeometry(widget, r);
}

}  // namespace zd
