#include "controls/WindowDrag.h"

#include <QMouseEvent>
#include <QWidget>

#include "platform/Services.h"

namespace zd {

WindowDrag::WindowDrag(QWidget* part) : QObject(part), part_(part) {
    part->installEventFilter(this);
}

bool WindowDrag::eventFilter(QObject* watched, QEvent* event) {
    if (watched != part_)
        return false;
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            const auto* e = static_cast<QMouseEvent*>(event);
            if (e->button() == Qt::LeftButton) {
                armed_ = true;
                following_ = false;
            }
            break;
        }
        case QEvent::MouseMove: {
            const auto* e = static_cast<QMouseEvent*>(event);
            if (!(e->buttons() & Qt::LeftButton)) {
                armed_ = false;
                following_ = false;
                break;
            }
            QWidget* window = part_->window();
            if (armed_) {
                // Once per press: a window manager asked again would keep the window on the
                // pointer after the release.
                armed_ = false;
                following_ = !platform::windowSystem().startSystemMove(window);
                // As the system move does, from where the pointer is now.
                grabOffset_ = e->globalPosition().toPoint() - window->pos();
            }
            if (following_)
                window->move(e->globalPosition().toPoint() - grabOffset_);
            break;
        }
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
                armed_ = false;
                following_ = false;
            }
            break;
        default:
            break;
    }
    return false;
}

}  // namespace zd
