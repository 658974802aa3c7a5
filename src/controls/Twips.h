#pragma once

#include <QRect>

class QWidget;

namespace zd {

// Positions and sizes of the windows are kept in twips (1/1440 inch) as the program put them,
// so reading a value back gives exactly what was written (1137.78 stays 1137.78); the pixel
// geometry is derived with the screen's own twips per pixel.
struct TwipRect {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
    bool operator==(const TwipRect&) const = default;
};

double twipsPerPixelX();
double twipsPerPixelY();
int toPixelsX(double twips);
int toPixelsY(double twips);
double toTwipsX(int pixels);
double toTwipsY(int pixels);
QRect toPixels(const TwipRect& rect);

// The twips geometry of a widget: what was last put, or its pixel geometry converted when
// nothing was put since it last moved by other means.
TwipRect twipsGeometry(const QWidget* widget);
void setTwipsGeometry(QWidget* widget, const TwipRect& rect);
void setLeftTwips(QWidget* widget, double left);
void setTopTwips(QWidget* widget, double top);
void setWidthTwips(QWidget* widget, double width);
void setHeightTwips(QWidget* widget, double height);

}  // namespace zd
