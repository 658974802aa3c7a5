#include "controls/xpcmdbutton.h"

#include <QMouseEvent>
#include <QPainter>

#include "controls/NineSlice.h"
#include "resources/Resources.h"

namespace zd::controls {

namespace {
constexpr int kCellWidth = 18;
constexpr int kCellHeight = 21;
const QColor kDisabledCaption(161, 161, 146);
}  // namespace

xpcmdbutton::xpcmdbutton(QWidget* parent) : XpControl(parent), skin_(res::xpButtonSkin()) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCaptionColour(Qt::black);
    refresh();
}

QSize xpcmdbutton::sizeHint() const {
    const QSize text = captionLabel()->sizeHint();
    return QSize(qMax(75, text.width() + 16), qMax(kCellHeight, text.height() + 8));
}

void xpcmdbutton::setState(int state) {
    state_ = state;
    emit PropertyChanged(QStringLiteral("State"));
    refresh();
}

void xpcmdbutton::refresh() {
    if (state_ == 1) {
        restingFace_ = 4;
    } else if (state_ == 0) {
        restingFace_ = 0;
    }
    paintFace(isEnabled() ? restingFace_ : 2);
}

void xpcmdbutton::paintFace(int face) {
    if (face != face_) {
        face_ = face;
        update();
    }
}

void xpcmdbutton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (skin_.isNull()) {
        p.fillRect(rect(), palette().button());
        return;
    }
    if (width() < 6 || height() < 6) {
        p.fillRect(rect(), palette().window());  // the pieces no longer cover the face
    }
    const QPoint cell(face_ * kCellWidth, 0);
    for (const NineSlicePart& part : nineSliceParts(width(), height())) {
        if (!part.target.isEmpty()) {
            p.drawPixmap(part.target, skin_, part.source.translated(cell));
        }
    }
}

void xpcmdbutton::relayout() {
    refresh();
    QLabel* label = captionLabel();
    label->move((width() - label->width()) / 2, (height() - label->height()) / 2);
}

void xpcmdbutton::resizeEvent(QResizeEvent* event) {
    relayout();
    XpControl::resizeEvent(event);
}

void xpcmdbutton::showEvent(QShowEvent* event) {
    refresh();
    XpControl::showEvent(event);
}

void xpcmdbutton::mousePressEvent(QMouseEvent* event) {
    notePress(event);
    raiseMouseDown(event);
    paintFace(1);
}

void xpcmdbutton::mouseMoveEvent(QMouseEvent* event) {
    watchForLeave();
    if (isInside(event->position())) {
        raiseMouseMove(event);
        paintFace(event->buttons() & Qt::LeftButton ? 1 : 3);
    }
}

void xpcmdbutton::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = completesClick(event);
    raiseMouseUp(event);
    refresh();
    if (click) {
        clicked();
    }
}

void xpcmdbutton::pointerLeft() {
    emit MouseOut();
    refresh();
}

void xpcmdbutton::clicked() {
    emit Click();
}

void xpcmdbutton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) {
        setCaptionColour(isEnabled() ? QColor(Qt::black) : kDisabledCaption);
        emit PropertyChanged(QStringLiteral("Enabled"));
        refresh();
    }
    XpControl::changeEvent(event);
}

void xpcmdbutton::readProperties(const PropertyBag& bag) {
    setState(bag.read(QStringLiteral("State"), 0).toInt());
    setEnabled(bag.read(QStringLiteral("Enabled"), true).toBool());
    applyCaption(bag.read(QStringLiteral("Caption"), ambientDisplayName()).toString());
    setFont(bag.read(QStringLiteral("Font"), ambientFont()).value<QFont>());
}

void xpcmdbutton::writeProperties(PropertyBag& bag) const {
    bag.write(QStringLiteral("State"), state_, 0);
    bag.write(QStringLiteral("Enabled"), isEnabled(), true);
    bag.write(QStringLiteral("Caption"), Caption(), ambientDisplayName());
    bag.write(QStringLiteral("Font"), font(), ambientFont());
}

}  // namespace zd::controls
