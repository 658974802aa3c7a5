#include "controls/ImageControl.h"

#include <QPainter>

#include "controls/MouseEventSource.h"

namespace zd {

ImageControl::ImageControl(QWidget* parent) : QWidget(parent), events_(new MouseEventSource(this)) {
    setAttribute(Qt::WA_TranslucentBackground);
}

void ImageControl::setPicture(const QPixmap& picture) {
    picture_ = picture;
    update();
}

void ImageControl::paintEvent(QPaintEvent*) {
    if (picture_.isNull())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawPixmap(rect(), picture_);
}

}  // namespace zd
