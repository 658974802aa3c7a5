#include "controls/FocusWait.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

namespace zd {

bool WaitForFocus(QWidget* control, int timeoutMs) {
    if (!control)
        return false;
    QElapsedTimer clock;
    clock.start();
    // Wakes the wait below even when no event comes.
    QTimer beat;
    beat.start(5);
    bool activationAsked = false;
    for (;;) {
        QWidget* window = control->window();
        if (!control->isVisible() || window->isMinimized())
            return false;
        QCoreApplication::processEvents();
        QWidget* noted = QApplication::focusWidget();
        if (!window->isActiveWindow() && !activationAsked) {
            window->activateWindow();
            activationAsked = true;
        }
        control->setFocus(Qt::OtherFocusReason);
        if (noted == control)
            return true;
        if (clock.elapsed() >= timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

void SetTopMostWindow(QWidget* form, bool onTop) {
    if (!form)
        return;
    if (form->windowFlags().testFlag(Qt::WindowStaysOnTopHint) != onTop)
        form->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    const bool withoutActivating = form->testAttribute(Qt::WA_ShowWithoutActivating);
    form->setAttribute(Qt::WA_ShowWithoutActivating, true);
    form->show();
    form->raise();
    form->setAttribute(Qt::WA_ShowWithoutActivating, withoutActivating);
}

}  // namespace zd
