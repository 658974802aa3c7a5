#include "controls/Form.h"

#include <QPainter>

#include "controls/Canvas.h"
#include "controls/MouseEventSource.h"

namespace zd {

Form::Form(QWidget* parent) : QWidget(parent, Qt::Window), events_(new MouseEventSource(this)) {}

int Form::windowStateValue() const {
    if (windowState() & Qt::WindowMinimized)
        return kMinimized;
    if (windowState() & Qt::WindowMaximized)
        return kMaximized;
    return kNormal;
}

void Form::setWindowStateValue(int state) {
    Qt::WindowStates states = windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
    if (state == kMinimized)
        states |= Qt::WindowMinimized;
    if (state == kMaximized)
        states |= Qt::WindowMaximized;
    setWindowState(states);
}

void Form::showForm() {
    show();
    raise();
    activateWindow();
}

void Form::setBackColor(const QColor& color) {
    backColor_ = color;
    canvas_ = QImage();
    update();
}

QImage& Form::canvas() {
    return fitCanvas(canvas_, size(), backColor_);
}

void Form::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), backColor_);
    if (!canvas_.isNull())
        p.drawImage(0, 0, canvas_);
}

}  // namespace zd
