#include "controls/Slider.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace zd::controls {

namespace {
const QColor kChannel(150, 164, 184);
const QColor kChannelLight(246, 248, 251);
const QColor kThumb(122, 142, 170);
const QColor kThumbDown(74, 96, 130);
const QColor kThumbEdge(52, 68, 92);
const QColor kTick(120, 134, 156);
constexpr int kMinTickSpacing = 5;
}  // namespace

Slider::Slider(QWidget* parent) : RangeControl(INT_MIN, INT_MAX, 10, 1, 5, parent) {
    setFocusPolicy(Qt::StrongFocus);
}

QSize Slider::sizeHint() const {
    return QSize(150, 21);
}

int Slider::thumbWidth() const {
    return std::min(11, std::max(3, width() / 4));
}

int Slider::tickSpace() const {
    return height() >= 14 ? 4 : 0;
}

QRect Slider::channelRect() const {
    const int half = thumbWidth() / 2 + 1;
    const int top = (height() - tickSpace()) / 2 - 1;
    return QRect(half, top, std::max(0, width() - 2 * half), 3);
}

int Slider::xForValue(int value) const {
    const QRect channel = channelRect();
    const double span = double(Max()) - Min();
    const double fraction = span == 0 ? 0.0 : (double(value) - Min()) / span;
    return channel.left() + int(std::lround(fraction * (channel.width() - 1)));
}

int Slider::valueForX(int x) const {
    const QRect channel = channelRect();
    if (channel.width() <= 1) {
        return Value();
    }
    return model().valueAt(double(x - channel.left()) / (channel.width() - 1));
}

QRect Slider::thumbRect() const {
    const int w = thumbWidth();
    const int h = std::max(3, height() - tickSpace() - 2);
    return QRect(xForValue(Value()) - w / 2, 1, w, h);
}

void Slider::pageTowardsMouse() {
    const QRect thumb = thumbRect();
    if (thumb.contains(lastMouse_.x(), thumb.center().y())) {
        return;
    }
    // Min lies at the left end whichever way the range runs.
    const bool towardsMin = lastMouse_.x() < thumb.left();
    moveByUser(model().steppedBy(towardsMin ? -qint64(LargeChange()) : LargeChange()), true);
}

void Slider::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    lastMouse_ = event->position().toPoint();
    const QRect thumb = thumbRect();
    if (thumb.contains(lastMouse_)) {
        dragging_ = true;
        dragOffset_ = lastMouse_.x() - xForValue(Value());
    } else {
        paging_ = true;
        startRepeat([this] { pageTowardsMouse(); });
    }
    update();
}

void Slider::mouseMoveEvent(QMouseEvent* event) {
    lastMouse_ = event->position().toPoint();
    if (dragging_) {
        moveByUser(valueForX(lastMouse_.x() - dragOffset_), true);
    }
}

void Slider::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    stopRepeat();
    dragging_ = false;
    paging_ = false;
    update();
}

void Slider::keyPressEvent(QKeyEvent* event) {
    const qint64 small = SmallChange();
    const qint64 large = LargeChange();
    switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Up:
            moveByUser(model().steppedBy(-small), true);
            break;
        case Qt::Key_Right:
        case Qt::Key_Down:
            moveByUser(model().steppedBy(small), true);
            break;
        case Qt::Key_PageUp:
            moveByUser(model().steppedBy(-large), true);
            break;
        case Qt::Key_PageDown:
            moveByUser(model().steppedBy(large), true);
            break;
        case Qt::Key_Home:
            moveByUser(Min(), true);
            break;
        case Qt::Key_End:
            moveByUser(Max(), true);
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    event->accept();
}

void Slider::wheelEvent(QWheelEvent* event) {
    const int steps = event->angleDelta().y() / 120;
    if (steps != 0) {
        moveByUser(model().steppedBy(qint64(steps) * SmallChange()), true);
    }
    event->accept();
}

void Slider::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const bool enabled = isEnabled();
    auto tone = [enabled](const QColor& c) {
        if (enabled) {
            return c;
        }
        const int grey = qGray(c.rgb());
        return QColor(grey, grey, grey).lighter(115);
    };
    const QRect channel = channelRect();
    p.setPen(tone(kChannel));
    p.setBrush(tone(kChannelLight));
    p.drawRect(channel.adjusted(0, 0, -1, -1));

    if (tickSpace() > 0 && channel.width() > 1) {
        // Ticks every LargeChange, thinned out until they stand apart.
        const double span = std::abs(double(Max()) - Min());
        double step = std::max(1, LargeChange());
        while (span > 0 && (channel.width() - 1) * step / span < kMinTickSpacing) {
            step *= 2;
        }
        p.setPen(tone(kTick));
        const int top = height() - tickSpace() + 1;
        const double direction = Max() >= Min() ? 1.0 : -1.0;
        for (double offset = 0; offset <= span; offset += step) {
            const int x = xForValue(int(Min() + direction * offset));
            p.drawLine(x, top, x, height() - 1);
        }
        const int last = xForValue(Max());
        p.drawLine(last, top, last, height() - 1);
    }

    const QRectF thumb = QRectF(thumbRect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    const double point = std::min(3.0, thumb.width() / 2);
    shape.moveTo(thumb.left(), thumb.top());
    shape.lineTo(thumb.right(), thumb.top());
    shape.lineTo(thumb.right(), thumb.bottom() - point);
    shape.lineTo(thumb.center().x(), thumb.bottom());
    shape.lineTo(thumb.left(), thumb.bottom() - point);
    shape.closeSubpath();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(tone(kThumbEdge));
    p.setBrush(tone(dragging_ ? kThumbDown : kThumb));
    p.drawPath(shape);
    if (hasFocus()) {
        p.setRenderHint(QPainter::Antialiasing, false);
        QPen dots(tone(kThumbEdge), 1, Qt::DotLine);
        p.setPen(dots);
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

}  // namespace zd::controls
