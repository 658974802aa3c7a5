#include "controls/LineControl.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "controls/Twips.h"

namespace zd {

LineControl::LineControl(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void LineControl::setLine(double x1, double y1, double x2, double y2) {
    x1_ = x1;
    y1_ = y1;
    x2_ = x2;
    y2_ = y2;
    setTwipsGeometry(this,
                     {std::min(x1, x2), std::min(y1, y2), std::abs(x2 - x1) + twipsPerPixelX(),
                      std::abs(y2 - y1) + twipsPerPixelY()});
}

void LineControl::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(palette().color(QPalette::WindowText));
    p.drawLine(0, 0, width() - 1, height() - 1);
}

}  // namespace zd
