#pragma once

#include "controls/RangeControl.h"

namespace zd::controls {

// A horizontal slider with tick marks: integer value (Min 0, Max 10, SmallChange 1,
// LargeChange 5 by default). Every move the user makes (dragging the thumb, clicking the
// channel, which pages by LargeChange, the arrow keys, Page Up/Down, Home/End, the wheel)
// raises Scroll and Change; a value set by the program raises Change only. Out-of-range
// values are refused.
class Slider : public RangeControl {
    Q_OBJECT
  public:
    explicit Slider(QWidget* parent = nullptr);

    QRect thumbRect() const;
    // The span the thumb's centre travels, from Min to Max.
    QRect channelRect() const;

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

  private:
    int thumbWidth() const;
    int tickSpace() const;
    int xForValue(int value) const;
    int valueForX(int x) const;
    void pageTowardsMouse();

    bool dragging_ = false;
    bool paging_ = false;
    int dragOffset_ = 0;
    QPoint lastMouse_;
};

}  // namespace zd::controls
