#pragma once

#include <QWidget>

namespace zd {

// A line control: one pixel thick from (X1, Y1) to (X2, Y2) in twips of its container, in the
// container's text colour; the mouse passes through it.
class LineControl : public QWidget {
    Q_OBJECT
  public:
    explicit LineControl(QWidget* parent = nullptr);
    double X1() const { return x1_; }
    double Y1() const { return y1_; }
    double X2() const { return x2_; }
    double Y2() const { return y2_; }
    void setLine(double x1, double y1, double x2, double y2);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    double x1_ = 0;
    double y1_ = 0;
    double x2_ = 0;
    double y2_ = 0;
};

}  // namespace zd
