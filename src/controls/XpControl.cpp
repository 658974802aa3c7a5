#include "controls/XpControl.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>

#include "controls/ClassicEvents.h"

namespace zd::controls {

namespace {
constexpr int kLeaveWatchMs = 10;
}  // namespace

XpControl::XpControl(QWidget* parent) : QWidget(parent), lbl_(new QLabel(this)) {
    setFocusPolicy(Qt::StrongFocus);
    lbl_->setAttribute(Qt::WA_TransparentForMouseEvents);
    lbl_->setAutoFillBackground(false);
    // With the control as its buddy the label underlines an access key ("&Save") and owns its
    // shortcut; the filter turns that shortcut into a click.
    lbl_->setBuddy(this);
    lbl_->installEventFilter(this);

    timer1_.setInterval(kLeaveWatchMs);
    connect(&timer1_, &QTimer::timeout, this, [this] {
        const QPoint pos = mapFromGlobal(QCursor::pos());
        if (pos.x() < 0 || pos.y() < 0 || pos.x() > width() || pos.y() > height()) {
            timer1_.stop();
            pointerLeft();
        }
    });
    connect(this, &QObject::objectNameChanged, this, [this](const QString& name) {
        if (!captionSet_) {
            lbl_->setText(name);
            lbl_->adjustSize();
            relayout();
        }
    });
}

QFont XpControl::ambientFont() const {
    return parentWidget() ? parentWidget()->font() : QApplication::font();
}

void XpControl::applyCaption(const QString& text) {
    captionSet_ = true;
    lbl_->setText(text);
    lbl_->adjustSize();
    relayout();
}

void XpControl::setCaption(const QString& text) {
    applyCaption(text);
    emit PropertyChanged(QStringLiteral("Caption"));
}

void XpControl::setCaptionColour(const QColor& colour) {
    QPalette pal = lbl_->palette();
    pal.setColor(QPalette::WindowText, colour);  // every colour group, disabled included
    lbl_->setPalette(pal);
}

void XpControl::watchForLeave() {
    if (!timer1_.isActive()) {
        timer1_.start();
    }
}

bool XpControl::isInside(const QPointF& pos) const {
    return pos.x() >= 0 && pos.y() >= 0 && pos.x() <= width() && pos.y() <= height();
}

void XpControl::raiseMouseDown(const QMouseEvent* event) {
    emit MouseDown(classicButtons(event->button()), classicShiftState(event->modifiers()),
                   float(event->position().x()), float(event->position().y()));
}

void XpControl::raiseMouseMove(const QMouseEvent* event) {
    emit MouseMove(classicButtons(event->buttons()), classicShiftState(event->modifiers()),
                   float(event->position().x()), float(event->position().y()));
}

void XpControl::raiseMouseUp(const QMouseEvent* event) {
    emit MouseUp(classicButtons(event->button()), classicShiftState(event->modifiers()),
                 float(event->position().x()), float(event->position().y()));
}

void XpControl::notePress(const QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        leftPressedInside_ = rect().contains(event->position().toPoint());
    }
}

bool XpControl::completesClick(const QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return false;
    }
    const bool click = leftPressedInside_ && rect().contains(event->position().toPoint());
    leftPressedInside_ = false;
    return click;
}

void XpControl::keyPressEvent(QKeyEvent* event) {
    emit KeyDown(classicKeyCode(event->key(), event->modifiers()),
                 classicShiftState(event->modifiers()));
    if (const qint16 ascii = classicKeyAscii(event->text())) {
        emit KeyPress(ascii);
    }
    event->accept();
}

void XpControl::keyReleaseEvent(QKeyEvent* event) {
    // A held key repeats its press only, as the keyboard itself does.
    if (!event->isAutoRepeat()) {
        emit KeyUp(classicKeyCode(event->key(), event->modifiers()),
                   classicShiftState(event->modifiers()));
    }
    event->accept();
}

void XpControl::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        lbl_->adjustSize();
        relayout();
        emit PropertyChanged(QStringLiteral("Font"));
    }
    QWidget::changeEvent(event);
}

bool XpControl::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lbl_ && event->type() == QEvent::Shortcut) {
        if (isEnabled() && isVisible()) {
            setFocus(Qt::ShortcutFocusReason);
            clicked();
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace zd::controls
