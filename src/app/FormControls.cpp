#include "app/FormControls.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QSignalBlocker>

#include "app/Twips.h"

namespace zd {

int buttonCode(Qt::MouseButton button) {
    switch (button) {
        case Qt::LeftButton:
            return kLeftButton;
        case Qt::RightButton:
            return kRightButton;
        case Qt::MiddleButton:
            return kMiddleButton;
        default:
            return 0;
    }
}

int buttonsCode(Qt::MouseButtons buttons) {
    int code = 0;
    if (buttons & Qt::LeftButton)
        code |= kLeftButton;
    if (buttons & Qt::RightButton)
        code |= kRightButton;
    if (buttons & Qt::MiddleButton)
        code |= kMiddleButton;
    return code;
}

int shiftCode(Qt::KeyboardModifiers modifiers) {
    int code = 0;
    if (modifiers & Qt::ShiftModifier)
        code |= kShiftKey;
    if (modifiers & Qt::ControlModifier)
        code |= kCtrlKey;
    if (modifiers & Qt::AltModifier)
        code |= kAltKey;
    return code;
}

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
            emit mouseDown(buttonCode(e->button()), shiftCode(e->modifiers()),
                           toTwipsX(qRound(e->position().x())),
                           toTwipsY(qRound(e->position().y())));
            break;
        }
        case QEvent::MouseMove: {
            auto* e = static_cast<QMouseEvent*>(event);
            emit mouseMove(buttonsCode(e->buttons()), shiftCode(e->modifiers()),
                           toTwipsX(qRound(e->position().x())),
                           toTwipsY(qRound(e->position().y())));
            break;
        }
        case QEvent::MouseButtonRelease: {
            auto* e = static_cast<QMouseEvent*>(event);
            const bool inside = widget_->rect().contains(e->position().toPoint());
            QPointer<QWidget> alive(widget_);
            emit mouseUp(buttonCode(e->button()), shiftCode(e->modifiers()),
                         toTwipsX(qRound(e->position().x())), toTwipsY(qRound(e->position().y())));
            if (alive && pressedInside_ && inside && e->buttons() == Qt::NoButton) {
                pressedInside_ = false;
                emit click();
            }
            break;
        }
        case QEvent::MouseButtonDblClick: {
            auto* e = static_cast<QMouseEvent*>(event);
            // The second press of a double click is also a press, as the windows expect.
            emit mouseDown(buttonCode(e->button()), shiftCode(e->modifiers()),
                           toTwipsX(qRound(e->position().x())),
                           toTwipsY(qRound(e->position().y())));
            pressedInside_ = false;
            emit dblClick();
            break;
        }
        default:
            break;
    }
    return false;
}

FormTimer::FormTimer(int intervalMs, QObject* parent) : QTimer(parent) {
    setInterval(intervalMs);
    setTimerType(Qt::PreciseTimer);
}

void FormTimer::setEnabled(bool enabled) {
    if (enabled) {
        if (!isActive())
            start();
    } else {
        stop();
    }
}

void FormTimer::restart() {
    stop();
    start();
}

PictureBox::PictureBox(QWidget* parent) : QWidget(parent), events_(new MouseEventSource(this)) {}

void PictureBox::setBackColor(const QColor& color) {
    backColor_ = color;
    clearCanvas();
}

void PictureBox::setPicture(const QPixmap& picture) {
    picture_ = picture;
    update();
}

QImage& fitCanvas(QImage& canvas, QSize size, const QColor& fill) {
    size = size.expandedTo(QSize(1, 1));
    if (canvas.size() != size) {
        QImage resized(size, QImage::Format_RGB32);
        resized.fill(fill);
        if (!canvas.isNull()) {
            QPainter p(&resized);
            p.drawImage(0, 0, canvas);
        }
        canvas = resized;
    }
    return canvas;
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
    if (canvas_.isNull()) {
        p.fillRect(rect(), backColor_);
    } else {
        p.fillRect(rect(), backColor_);
        p.drawImage(0, 0, canvas_);
    }
    if (!picture_.isNull())
        p.drawPixmap(0, 0, picture_);
}

void PictureBox::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!canvas_.isNull())
        canvas();  // keep the drawing, grow or cut it to the new size
}

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

TextBox::TextBox(QWidget* parent) : QLineEdit(parent), events_(new MouseEventSource(this)) {}

void TextBox::setBackColor(const QColor& color) {
    QPalette pal = palette();
    pal.setColor(QPalette::Base, color);
    setPalette(pal);
}

void TextBox::setBorder(bool single) {
    setFrame(single);
}

}  // namespace zd

namespace zd {

ListBox::ListBox(QWidget* parent) : QListWidget(parent), events_(new MouseEventSource(viewport())) {
    setSelectionMode(QAbstractItemView::SingleSelection);
}

QString ListBox::list(int index) const {
    const QListWidgetItem* it = item(index);
    return it ? it->text() : QString();
}

void ListBox::addItem(const QString& text) {
    QListWidget::addItem(text);
}

bool ListBox::removeItem(int index) {
    if (index < 0 || index >= count())
        return false;
    const bool selected = index == currentRow();
    delete takeItem(index);
    // The view would move the selection to a neighbour; the classic list selects nothing.
    if (selected)
        setCurrentRow(-1);
    return true;
}

int ListBox::listIndex() const {
    return currentRow();
}

bool ListBox::setListIndex(int index) {
    if (index < -1 || index >= count())
        return false;
    setCurrentRow(index);
    return true;
}

int ListBox::topIndex() const {
    const QModelIndex top = indexAt(QPoint(1, 1));
    return top.isValid() ? top.row() : 0;
}

bool ListBox::setTopIndex(int index) {
    if (index < 0 || index >= count())
        return false;
    scrollToItem(item(index), QAbstractItemView::PositionAtTop);
    return true;
}

QString ListBox::text() const {
    return list(currentRow());
}

}  // namespace zd
