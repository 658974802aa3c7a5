// What the options-window tests share: the faked platform, files of the scratch application
// folder and synthetic mouse and drag events.
#pragma once

#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QMouseEvent>
#include <QtTest>
#include <memory>

#include "app/Program.h"
#include "app/Windows.h"
#include "platform/fake/FakePlatform.h"

namespace zd::testing {

class OptionsFixture {
  public:
    std::unique_ptr<platform::FakePlatform> fake;
    int processEnds = 0;

    void setUp() {
        qputenv("ZD_SPLASH_MS", "0");
        fake = std::make_unique<platform::FakePlatform>();
        processEnds = 0;
        markExitRoutineStarted(false);
        setEndProcessHandler([this] { ++processEnds; });
    }

    void tearDown() {
        discardAllWindows();
        setEndProcessHandler(nullptr);
        fake.reset();
    }

    QByteArray fileBytes(const QString& name) const {
        QFile f(fake->file(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    bool writeFile(const QString& name, const QByteArray& bytes) const {
        QFile f(fake->file(name));
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
    }

    QString sound(const char* name) const {
        return fake->file(QStringLiteral("sound/") + QLatin1String(name));
    }
};

// A mouse event as the window system delivers it, with the buttons held during the event.
inline void sendMouse(QWidget* widget, QEvent::Type type, QPoint pos,
                      Qt::MouseButton button = Qt::NoButton, Qt::MouseButtons held = Qt::NoButton) {
    QMouseEvent event(type, QPointF(pos), QPointF(widget->mapToGlobal(pos)), button, held,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
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
