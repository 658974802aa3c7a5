#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>

class QWidget;

namespace zd {

// Drags a borderless window by one of its parts, as if its caption had been grabbed. Each press
// of the left button on the part asks the window system once, at the first move, to move the
// window until the button is released. Where no window manager takes the move (a bare X server,
// offscreen), the window follows the pointer itself until the release instead. Nothing else of
// the part's mouse handling changes.
class WindowDrag : public QObject {
    Q_OBJECT
  public:
    explicit WindowDrag(QWidget* part);
    // The window follows the pointer by itself (no window manager took the move).
    bool followingPointer() const { return following_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* part_;
    bool armed_ = false;
    bool following_ = false;
    QPoint grabOffset_;
};

}  // namespace zd
