#include "controls/FlatScrollBar.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace zd::controls {

namespace {

struct Colours {
    QColor track{223, 228, 235};
    QColor arrow{200, 209, 221};
    QColor arrowHover{182, 195, 213};
    QColor arrowDown{146, 163, 188};
    QColor glyph{52, 68, 92};
    QColor thumb{122, 142, 170};
    QColor thumbHover{98, 120, 152};
    QColor thumbDown{70, 92, 126};
    QColor frame{164, 176, 192};
};

QColor greyed(const QColor& c) {
    const int grey = qGray(c.rgb());
    return QColor(grey, grey, grey).lighter(112);
}

}  // namespace

FlatScrollBar::FlatScrollBar(QWidget* parent) : RangeControl(-32768, 32767, 32767, 1, 1, parent) {
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QSize FlatScrollBar::sizeHint() const {
    return QSize(120, 12);
}

int FlatScrollBar::arrowWidth() const {
    return std::min(std::clamp(height(), 8, 17), width() / 3);
}

int FlatScrollBar::thumbWidth() const {
    const int track = std::max(0, width() - 2 * arrowWidth());
    return std::min(std::clamp(height() + 6, 10, 24), track);
}

QRect FlatScrollBar::leftArrowRect() const {
    return QRect(0, 0, arrowWidth(), height());
}

QRect FlatScrollBar::rightArrowRect() const {
    const int a = arrowWidth();
    return QRect(width() - a, 0, a, height());
}

QRect FlatScrollBar::trackRect() const {
    const int a = arrowWidth();
    return QRect(a, 0, std::max(0, width() - 2 * a), height());
}

QRect FlatScrollBar::thumbRect() const {
    const QRect track = trackRect();
    const int w = thumbWidth();
    const int travel = track.width() - w;
    const int left = track.left() + int(std::lround(model().fraction() * travel));
    return QRect(left, 0, w, height());
}

FlatScrollBar::Part FlatScrollBar::partAt(const QPoint& pos) const {
    if (!rect().contains(pos)) {
        return Part::None;
    }
    if (leftArrowRect().contains(pos)) {
        return Part::LeftArrow;
    }
    if (rightArrowRect().contains(pos)) {
        return Part::RightArrow;
    }
    const QRect thumb = thumbRect();
    if (thumb.contains(pos)) {
        return Part::Thumb;
    }
    return pos.x() < thumb.left() ? Part::TrackBefore : Part::TrackAfter;
}

// One step of the arrow or track the button went down on, while the pointer is still over it:
// a held track click stops once the thumb has reached the pointer.
void FlatScrollBar::stepFromPress() {
    if (partAt(lastMouse_) != pressed_) {
        return;
    }
    switch (pressed_) {
        case Part::LeftArrow:
            moveByUser(model().steppedBy(-SmallChange()), false);
            break;
        case Part::RightArrow:
            moveByUser(model().steppedBy(SmallChange()), false);
            break;
        case Part::TrackBefore:
            moveByUser(model().steppedBy(-LargeChange()), false);
            break;
        case Part::TrackAfter:
            moveByUser(model().steppedBy(LargeChange()), false);
            break;
        default:
            break;
    }
}

void FlatScrollBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    lastMouse_ = event->position().toPoint();
    pressed_ = partAt(lastMouse_);
    if (pressed_ == Part::Thumb) {
        dragOffset_ = lastMouse_.x() - thumbRect().left();
    } else if (pressed_ != Part::None) {
        startRepeat([this] { stepFromPress(); });
    }
    update();
}

void FlatScrollBar::mouseMoveEvent(QMouseEvent* event) {
    lastMouse_ = event->position().toPoint();
    if (pressed_ == Part::Thumb) {
        const QRect track = trackRect();
        const int travel = track.width() - thumbWidth();
        if (travel > 0) {
            const double fraction = double(lastMouse_.x() - dragOffset_ - track.left()) / travel;
            moveByUser(model().valueAt(fraction), true);
        }
        return;
    }
    const Part part = partAt(lastMouse_);
    if (part != hovered_) {
        hovered_ = part;
        update();
    }
}

void FlatScrollBar::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    stopRepeat();
    pressed_ = Part::None;
    hovered_ = partAt(event->position().toPoint());
    update();
}

void FlatScrollBar::leaveEvent(QEvent* event) {
    hovered_ = Part::None;
    update();
    QWidget::leaveEvent(event);
}

void FlatScrollBar::paintEvent(QPaintEvent*) {
    const Colours base;
    const bool enabled = isEnabled();
    auto tone = [enabled](const QColor& c) { return enabled ? c : greyed(c); };
    QPainter p(this);
    p.fillRect(rect(), tone(base.track));

    const bool framed = height() >= 9;
    auto arrowFill = [&](Part part) {
        if (pressed_ == part && partAt(lastMouse_) == part) {
            return tone(base.arrowDown);
        }
        return tone(hovered_ == part && pressed_ == Part::None ? base.arrowHover : base.arrow);
    };
    for (Part part : {Part::LeftArrow, Part::RightArrow}) {
        const QRect r = part == Part::LeftArrow ? leftArrowRect() : rightArrowRect();
        p.fillRect(r, arrowFill(part));
        // The glyph keeps a pixel of margin and never grows past the arrow's width.
        const double half = std::max(1.5, std::min(r.height() - 2, r.width() - 3) / 2.0);
        const QPointF c = QRectF(r).center();
        const double reach = half * 0.8;
        QPainterPath glyph;
        if (part == Part::LeftArrow) {
            glyph.moveTo(c.x() - reach, c.y());
            glyph.lineTo(c.x() + reach, c.y() - half);
            glyph.lineTo(c.x() + reach, c.y() + half);
        } else {
            glyph.moveTo(c.x() + reach, c.y());
            glyph.lineTo(c.x() - reach, c.y() - half);
            glyph.lineTo(c.x() - reach, c.y() + half);
        }
        glyph.closeSubpath();
        p.setRenderHint(QPainter::Antialiasing, true);
        p.fillPath(glyph, tone(base.glyph));
        p.setRenderHint(QPainter::Antialiasing, false);
    }

    if (trackRect().width() > 0) {
        QColor fill = base.thumb;
        if (pressed_ == Part::Thumb) {
            fill = base.thumbDown;
        } else if (hovered_ == Part::Thumb) {
            fill = base.thumbHover;
        }
        const QRect thumb = thumbRect().adjusted(0, framed ? 1 : 0, 0, framed ? -1 : 0);
        const double radius = std::min(2.0, thumb.height() / 3.0);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(Qt::NoPen);
        p.setBrush(tone(fill));
        p.drawRoundedRect(QRectF(thumb), radius, radius);
        p.setRenderHint(QPainter::Antialiasing, false);
    }
    if (framed) {
        p.setPen(tone(base.frame));
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

}  // namespace zd::controls
