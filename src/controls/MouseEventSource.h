#pragma once

#include <QObject>

class QWidget;

namespace zd {

// Emits the mouse events of a window's control, with the classic button and shift codes and
// positions in twips of the control. Click comes on a release over the control after a press
// on it. The control's container does not see the events too.
class MouseEventSource : public QObject {
    Q_OBJECT
  public:
    explicit MouseEventSource(QWidget* widget);

  signals:
    void mouseDown(int button, int shift, double x, double y);
    void mouseMove(int button, int shift, double x, double y);
    void mouseUp(int button, int shift, double x, double y);
    void click();
    void dblClick();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* widget_;
    bool pressedInside_ = false;
};

}  // namespace zd
