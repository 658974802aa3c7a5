#pragma once

#include <QPixmap>

#include "controls/PropertyBag.h"
#include "controls/XpControl.h"

namespace zd::controls {

// The XP-style push button: one of five skin cells (0 normal, 1 pressed, 2 disabled, 3 hover,
// 4 default), nine-slice painted to any size with unscaled 3-pixel corners, and a centred
// caption. The face follows the mouse: hover on a move, pressed while the left button is
// down, back to the resting face (0, or 4 when State is 1) on release or when the leave watch
// finds the pointer outside. A disabled button shows cell 2 with a grey caption.
class xpcmdbutton : public XpControl {
    Q_OBJECT
    Q_PROPERTY(int State READ State WRITE setState)
  public:
    // A newly placed button: enabled, captioned with its display name, in the ambient font.
    explicit xpcmdbutton(QWidget* parent = nullptr);

    // 1 makes the default face (cell 4) the resting look, 0 the normal face; any other value
    // is stored and keeps the resting face as it was.
    int State() const { return state_; }
    void setState(int state);

    // The skin cell now shown.
    int currentFace() const { return face_; }

    // Stored as "State" (0), "Enabled" (true), "Caption" (display name), "Font" (ambient).
    void readProperties(const PropertyBag& bag);
    void writeProperties(PropertyBag& bag) const;

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

    void pointerLeft() override;
    void relayout() override;
    void clicked() override;

  private:
    void refresh();
    void paintFace(int face);

    QPixmap skin_;
    int state_ = 0;
    int restingFace_ = 0;
    int face_ = 0;
};

}  // namespace zd::controls
