#include "controls/xpcheckbox.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>

#include "platform/Services.h"
#include "resources/Resources.h"

namespace zd::controls {

namespace {
constexpr int kCell = 16;
constexpr double kBoxTwips = 240;
constexpr double kCaptionLeftTwips = 480;
const QColor kDisabledCaption(161, 161, 146);

// The screen's own factor, as every twips layout of the program uses.
double screenTwipsPerPixel() {
    return platform::screenMetrics().twipsPerPixelY;
}
}  // namespace

XpCheckBoxLayout xpCheckBoxLayout(int heightPx, int captionHeightPx, double twipsPerPixel) {
    const double height = heightPx * twipsPerPixel;
    const long boxTop = std::lround(height - kBoxTwips) / 2;
    const long captionTop = std::lround(height - captionHeightPx * twipsPerPixel) / 2;
    const int boxSide = int(std::lround(kBoxTwips / twipsPerPixel));
    return {QRect(0, int(std::lround(boxTop / twipsPerPixel)), boxSide, boxSide),
            QPoint(int(std::lround(kCaptionLeftTwips / twipsPerPixel)),
                   int(std::lround(captionTop / twipsPerPixel)))};
}

xpcheckbox::xpcheckbox(QWidget* parent) : XpControl(parent), skin_(res::xpCheckBoxSkin()) {
    setMouseTracking(true);
    setAutoFillBackground(true);
    backColor_ = defaultBackColor();
    applyColours();
    relayout();
    watchForLeave();
}

QColor xpcheckbox::defaultBackColor() const {
    return QApplication::palette().color(QPalette::Button);
}

QSize xpcheckbox::sizeHint() const {
    const QSize text = captionLabel()->sizeHint();
    const XpCheckBoxLayout layout = xpCheckBoxLayout(17, text.height(), screenTwipsPerPixel());
    return QSize(layout.caption.x() + text.width(), qMax(17, text.height()));
}

void xpcheckbox::applyColours() {
    QPalette pal = palette();
    pal.setColor(QPalette::Window, backColor_);
    setPalette(pal);
    setCaptionColour(isEnabled() ? foreColor_ : kDisabledCaption);
}

void xpcheckbox::setValue(int value) {
    value_ = value;
    paintBoxNormal();
    emit PropertyChanged(QStringLiteral("Value"));
}

void xpcheckbox::setBackColor(const QColor& colour) {
    backColor_ = colour;
    emit PropertyChanged(QStringLiteral("BackColor"));
    applyColours();
}

void xpcheckbox::setForeColor(const QColor& colour) {
    foreColor_ = colour;
    emit PropertyChanged(QStringLiteral("ForeColor"));
    applyColours();
}

void xpcheckbox::showCell(int cell) {
    if (cell != cell_) {
        cell_ = cell;
        update(box_);
    }
}

void xpcheckbox::showLook(int look) {
    if (value_ >= 0 && value_ <= 2) {
        showCell(value_ * 4 + look);
    }
}

void xpcheckbox::paintBoxNormal() {
    showLook(isEnabled() ? 0 : 3);
}

void xpcheckbox::paintEvent(QPaintEvent*) {
    if (skin_.isNull()) {
        return;
    }
    QPainter p(this);
    p.setClipRect(box_);
    p.drawPixmap(box_.topLeft(), skin_, QRect(0, cell_ * kCell, kCell, kCell));
}

void xpcheckbox::relayout() {
    QLabel* label = captionLabel();
    const XpCheckBoxLayout layout =
        xpCheckBoxLayout(height(), label->height(), screenTwipsPerPixel());
    const QRect old = box_;
    box_ = layout.box;
    label->move(layout.caption);
    update(old);
    update(box_);
}

void xpcheckbox::resizeEvent(QResizeEvent* event) {
    relayout();
    XpControl::resizeEvent(event);
}

void xpcheckbox::mousePressEvent(QMouseEvent* event) {
    notePress(event);
    showLook(2);
    raiseMouseDown(event);
}

void xpcheckbox::mouseMoveEvent(QMouseEvent* event) {
    watchForLeave();
    if (isInside(event->position())) {
        raiseMouseMove(event);
        showLook(event->buttons() & Qt::LeftButton ? 2 : 1);
    }
}

void xpcheckbox::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = completesClick(event);
    raiseMouseUp(event);
    if (click) {
        clicked();
    }
}

void xpcheckbox::clicked() {
    emit Click();
    if (value_ == 0) {
        setValue(1);
    } else if (value_ == 1 || value_ == 2) {
        setValue(0);
    } else {
        paintBoxNormal();
    }
}

void xpcheckbox::pointerLeft() {
    paintBoxNormal();
    emit MouseOut();
}

void xpcheckbox::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) {
        paintBoxNormal();
        applyColours();
    }
    XpControl::changeEvent(event);
}

void xpcheckbox::readProperties(const PropertyBag& bag) {
    setValue(bag.read(QStringLiteral("Value"), 0).toInt());
    applyCaption(bag.read(QStringLiteral("Caption"), ambientDisplayName()).toString());
    setEnabled(bag.read(QStringLiteral("Enabled"), true).toBool());
    setFont(bag.read(QStringLiteral("Font"), ambientFont()).value<QFont>());
    setBackColor(bag.read(QStringLiteral("BackColor"), defaultBackColor()).value<QColor>());
    setForeColor(bag.read(QStringLiteral("ForeColor"), QColor(Qt::black)).value<QColor>());
}

void xpcheckbox::writeProperties(PropertyBag& bag) const {
    bag.write(QStringLiteral("Font"), font(), ambientFont());
    bag.write(QStringLiteral("Value"), value_, 0);
    bag.write(QStringLiteral("Caption"), Caption(), ambientDisplayName());
    bag.write(QStringLiteral("Enabled"), isEnabled(), true);
    bag.write(QStringLiteral("BackColor"), backColor_, defaultBackColor());
    bag.write(QStringLiteral("ForeColor"), foreColor_, QColor(Qt::black));
}

}  // namespace zd::controls
