#include "controls/LabelControl.h"

#include "controls/MouseEventSource.h"

namespace zd {

LabelControl::LabelControl(QWidget* parent) : QLabel(parent), events_(new MouseEventSource(this)) {
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setAutoFillBackground(true);
    applyColors();
}

void LabelControl::setBackColor(const QColor& color) {
    backColor_ = color;
    applyColors();
}

void LabelControl::setForeColor(const QColor& color) {
    foreColor_ = color;
    applyColors();
}

void LabelControl::setOpaque(bool opaque) {
    opaque_ = opaque;
    applyColors();
}

void LabelControl::setCaption(const QString& caption) {
    if (caption == text())
        return;
    setText(caption);
    emit Change();
}

void LabelControl::applyColors() {
    QPalette pal = palette();
    pal.setColor(QPalette::Window, backColor_);
    pal.setColor(QPalette::WindowText, foreColor_);
    setPalette(pal);
    setAutoFillBackground(opaque_);
    update();
}

}  // namespace zd
