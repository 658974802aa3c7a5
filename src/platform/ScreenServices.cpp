#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include "platform/RealServices.h"

namespace zd::platform {

QImage QtScreenCapture::grabScreenArea(const QRect& area) {
    if (area.isEmpty() || !qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return {};
    QScreen* screen = QGuiApplication::screenAt(area.topLeft());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    // The grab takes coordinates relative to the screen it reads.
    const QPoint origin = area.topLeft() - screen->geometry().topLeft();
    return screen->grabWindow(0, origin.x(), origin.y(), area.width(), area.height()).toImage();
}

void QtWindowSystem::setFullScreen(QWidget* window, bool on) {
    if (!window)
        return;
    Qt::WindowStates states = window->windowState();
    if (states.testFlag(Qt::WindowFullScreen) == on)
        return;
    states.setFlag(Qt::WindowFullScreen, on);
    window->setWindowState(states);
}

bool QtWindowSystem::startSystemMove(QWidget* window) {
    QWindow* handle = window ? window->window()->windowHandle() : nullptr;
    return handle && handle->startSystemMove();
}

}  // namespace zd::platform
