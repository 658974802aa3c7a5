#include "controls/PictureBox.h"

#include <QPainter>

#include "controls/Canvas.h"
#include "controls/MouseEventSource.h"

namespace zd {

PictureBox::PictureBox(QWidget* parent) : QWidget(parent), events_(new MouseEventSource(this)) {}

void PictureBox::setBackColor(const QColor& color) {
    backColor_ = color;
    clearCanvas();
}

void PictureBox::setPicture(const QPixmap& picture) {
    picture_ = picture;
    update();
}

QImage& PictureBox::canvas() {
    return fitCanvas(canvas_, size(), backColor_);
}

void PictureBox::clearCanvas() {
    canvas_ = QImage();
    update();
}

void PictureBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), backColor_);
    if (!canvas_.isNull())
        p.drawImage(0, 0, canvas_);
    if (!picture_.isNull())
        p.drawPixmap(0, 0, picture_);
}

void PictureBox::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!canvas_.isNull())
        canvas();  // keep the drawing, grow or cut it to the new size
}

}  // namespace zd
