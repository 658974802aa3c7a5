#pragma once

#include "controls/RangeControl.h"

namespace zd::controls {

// A flat horizontal scroll bar: an arrow at each end, a thumb on the track between them. The
// value is a 16-bit signed number (Min 0, Max 32767, steps 1 by default); setting anything
// outside that type or outside [Min, Max] fails and changes nothing. The arrows step by
// SmallChange and the track by LargeChange, repeating while the button is held; both raise
// only Change. Dragging the thumb raises Scroll (and Change) for each new value. Tool tip and
// mouse pointer are the widget's own (setToolTip, setCursor). Usable down to about 5 pixels
// high.
class FlatScrollBar : public RangeControl {
    Q_OBJECT
  public:
    explicit FlatScrollBar(QWidget* parent = nullptr);

    QRect leftArrowRect() const;
    QRect rightArrowRect() const;
    QRect trackRect() const;
    QRect thumbRect() const;
    bool isDragging() const { return pressed_ == Part::Thumb; }

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    enum class Part { None, LeftArrow, RightArrow, TrackBefore, TrackAfter, Thumb };

    int arrowWidth() const;
    int thumbWidth() const;
    Part partAt(const QPoint& pos) const;
    void stepFromPress();

    Part pressed_ = Part::None;
    Part hovered_ = Part::None;
    QPoint lastMouse_;
    int dragOffset_ = 0;
};

}  // namespace zd::controls
