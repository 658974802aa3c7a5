#include "controls/LabelControl.h"

#include <QFontMetrics>
#include <QPainter>
#include <limits>

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

void LabelControl::setFitText(bool fit) {
    fit_ = fit;
    update();
}

bool LabelControl::fitsWith(const QFont& font) const {
    const int flags = static_cast<int>(alignment()) | (wordWrap() ? Qt::TextWordWrap : 0);
    const QRect needed = QFontMetrics(font).boundingRect(
        QRect(0, 0, width(), std::numeric_limits<int>::max() / 2), flags, text());
    return needed.width() <= width() && needed.height() <= height();
}

QFont LabelControl::shownFont() const {
    QFont shown = font();
    if (!fit_ || text().isEmpty() || fitsWith(shown))
        return shown;
    // Down in half points to a size still readable; below it the text is cut after all.
    constexpr double kSmallest = 4;
    for (double size = shown.pointSizeF() - 0.5; size >= kSmallest; size -= 0.5) {
        shown.setPointSizeF(size);
        if (fitsWith(shown))
            return shown;
    }
    return shown;
}

void LabelControl::paintEvent(QPaintEvent* event) {
    const QFont shown = shownFont();
    if (shown == font()) {
        QLabel::paintEvent(event);
        return;
    }
    // The background is filled already (auto fill, when opaque).
    QPainter p(this);
    p.setFont(shown);
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(rect(), static_cast<int>(alignment()) | (wordWrap() ? Qt::TextWordWrap : 0), text());
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
