#include "controls/MouseEventSource.h"

#include <QMouseEvent>
#include <QPointer>
#include <QWidget>

#include "controls/ClassicEvents.h"
#include "controls/Twips.h"

namespace zd {

namespace {

int code(Qt::MouseButtons buttons) {
    return controls::classicButtons(buttons);
}
int shift(const QMouseEvent* e) {
    return controls::classicShiftState(e->modifiers());
}
double x(const QMouseEvent* e) {
    return toTwipsX(qRound(e->position().x()));
}
double y(const QMouseEvent* e) {
    return toTwipsY(qRound(e->position().y()));
}

}  // namespace

MouseEventSource::MouseEventSource(QWidget* widget) : QObject(widget), widget_(widget) {
    widget->setMouseTracking(true);
    // The mouse over a control is over that control only: its container does not see the
    // event too (a move over a picture inside a page is not a move over the page).
    widget->setAttribute(Qt::WA_NoMousePropagation);
    widget->installEventFilter(this);
}

bool MouseEventSource::eventFilter(QObject* watched, QEvent* event) {
    if (watched != widget_)
        return false;
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto* e = static_cast<QMouseEvent*>(event);
            pressedInside_ = true;
            emit mouseDown(code(e->button()), shift(e), x(e), y(e));
            break;
        }
        case QEvent::MouseMove: {
            auto* e = static_cast<QMouseEvent*>(event);
            emit mouseMove(code(e->buttons()), shift(e), x(e), y(e));
            break;
        }
        case QEvent::MouseButtonRelease: {
            auto* e = static_cast<QMouseEvent*>(event);
            const bool inside = widget_->rect().contains(e->position().toPoint());
            QPointer<QWidget> alive(widget_);
            emit mouseUp(code(e->button()), shift(e), x(e), y(e));
            if (alive && pressedInside_ && inside && e->buttons() == Qt::NoButton) {
                pressedInside_ = false;
                emit click();
            }
            break;
        }
        case QEvent::MouseButtonDblClick: {
            auto* e = static_cast<QMouseEvent*>(event);
            // The second press of a double click is also a press, as the windows expect.
            emit mouseDown(code(e->button()), shift(e), x(e), y(e));
            pressedInside_ = false;
            emit dblClick();
            break;
        }
        default:
            break;
    }
    return false;
}

}  // namespace zd
