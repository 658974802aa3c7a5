#include "controls/WindowDrag.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>
#include <QWindow>

namespace zd {

namespace {

// Moves its window with the mouse until the left button is released.
class MouseFollower : public QObject {
  public:
    MouseFollower(QWidget* window, const QPoint& globalPos)
        : window_(window), grabOffset_(globalPos - window->pos()) {
        qApp->installEventFilter(this);
    }

    const QWidget* window() const { return window_; }
    bool active() const { return active_; }
    void finish() {
        if (!active_)
            return;
        active_ = false;
        qApp->removeEventFilter(this);
        deleteLater();
    }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
            case QEvent::MouseMove: {
                const auto* e = static_cast<QMouseEvent*>(event);
                if (!window_ || !(e->buttons() & Qt::LeftButton)) {
                    finish();
                    break;
                }
                window_->move(e->globalPosition().toPoint() - grabOffset_);
                break;
            }
            case QEvent::MouseButtonRelease:
                if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
                    finish();
                break;
            default:
                break;
        }
        return false;
    }

  private:
    QPointer<QWidget> window_;
    QPoint grabOffset_;
    bool active_ = true;
};

QPointer<MouseFollower> follower;

}  // namespace

void dragWindow(QWidget* window, const QPoint& globalPos) {
    if (!window)
        return;
    window = window->window();
    if (isFollowingMouse(window))
        return;
    if (QWindow* handle = window->windowHandle(); handle && handle->startSystemMove())
        return;
    if (follower)
        follower->finish();
    follower = new MouseFollower(window, globalPos);
}

bool isFollowingMouse(const QWidget* window) {
    return follower && follower->active() && window && follower->window() == window->window();
}

}  // namespace zd
