// What the options-window tests share: the faked platform, files of the scratch application
// folder and synthetic mouse and drag events.
#pragma once

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QtTest>

#include "../common/GuiFixture.h"

namespace zd::testing {

class OptionsFixture : public GuiFixture {
  public:
    QString sound(const char* name) const {
        return fake->file(QStringLiteral("sound/") + QLatin1String(name));
    }
};

// A mouse event as the window system delivers it, with the buttons held during the event.
inline void sendMouse(QWidget* widget, QEvent::Type type, QPoint pos,
                      Qt::MouseButton button = Qt::NoButton, Qt::MouseButtons held = Qt::NoButton) {
    GuiFixture::mouse(widget, type, pos, button, held);
}

inline void moveOver(QWidget* widget, QPoint pos = QPoint(2, 2)) {
    sendMouse(widget, QEvent::MouseMove, pos);
}

// Drags `data` onto `target` and drops it; whether the drop was taken.
inline bool dropOn(QWidget* target, const QMimeData* data, QPoint pos = QPoint(5, 5)) {
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    QDragEnterEvent enter(pos, actions, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPointF(pos), actions, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

// The colour a gradient target shows in its first row and in its last row.
inline QColor topColour(const QImage& canvas) {
    return canvas.pixelColor(canvas.width() / 2, 0);
}
inline QColor bottomColour(const QImage& canvas) {
    return canvas.pixelColor(canvas.width() / 2, canvas.height() - 1);
}

inline bool samePicture(const QPixmap& a, const QPixmap& b) {
    return !a.isNull() && a.toImage() == b.toImage();
}

}  // namespace zd::testing
