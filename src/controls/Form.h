#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>

#include "controls/Twips.h"

namespace zd {

class MouseEventSource;

// A top-level window of the program. The program creates each window on first use and runs
// its load step (the window stays hidden unless that step shows it); its load, query-unload and
// unload steps are the overridable hooks below.
class Form : public QWidget {
    Q_OBJECT
  public:
    enum WindowStateValue { kNormal = 0, kMinimized = 1, kMaximized = 2 };

    explicit Form(QWidget* parent = nullptr);

    virtual void formLoad() {}
    virtual void formQueryUnload() {}
    virtual void formUnload() {}

  signals:
    // The window asks to be unloaded (its own close controls); the program unloads it.
    void unloadRequested();

  public:
    MouseEventSource* events() const { return events_; }

    // Outer position and size in twips; the windows are borderless, so the client area is the
    // same rectangle (ScaleWidth and ScaleHeight).
    double leftTwips() const { return twipsGeometry(this).left; }
    double topTwips() const { return twipsGeometry(this).top; }
    double widthTwips() const { return twipsGeometry(this).width; }
    double heightTwips() const { return twipsGeometry(this).height; }
    double scaleWidth() const { return widthTwips(); }
    double scaleHeight() const { return heightTwips(); }
    void setLeftTwips(double v) { zd::setLeftTwips(this, v); }
    void setTopTwips(double v) { zd::setTopTwips(this, v); }
    void setWidthTwips(double v) { zd::setWidthTwips(this, v); }
    void setHeightTwips(double v) { zd::setHeightTwips(this, v); }

    int windowStateValue() const;
    void setWindowStateValue(int state);

    // Show: visible, in front and active.
    void showForm();
    void hideForm() { hide(); }

    QColor backColor() const { return backColor_; }
    void setBackColor(const QColor& color);
    // The persistent drawing surface of the form itself (its skin gradient).
    QImage& canvas();

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    MouseEventSource* events_;
    QColor backColor_ = QColor(224, 224, 224);
    QImage canvas_;
};

}  // namespace zd
