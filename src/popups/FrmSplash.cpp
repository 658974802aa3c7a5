#include "popups/FrmSplash.h"

#include <QEventLoop>
#include <QTimer>

#include "platform/Services.h"

namespace zd {

namespace {
constexpr int kDefaultSplashMs = 1500;
}

FrmSplash::FrmSplash() {
    setObjectName(QStringLiteral("frmSplash"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    const platform::ScreenMetrics screen = platform::screenMetrics();
    setTwipsGeometry(
        this, {(screen.widthTwips() - 5070) / 2, (screen.heightTwips() - 3135) / 2, 5070, 3135});
    Image1 = new ImageControl(this);
    setTwipsGeometry(Image1, {0, 0, 5070, 3135});
}

int FrmSplash::displayMilliseconds() {
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("ZD_SPLASH_MS", &ok);
    return ok && ms >= 0 ? ms : kDefaultSplashMs;
}

void FrmSplash::Main(const QPixmap& picture) {
    showForm();
    Image1->setPicture(picture);
    raise();
    // Other windows' messages and timers go on while the splash is up.
    QEventLoop wait;
    wait_ = &wait;
    QTimer::singleShot(displayMilliseconds(), &wait, &QEventLoop::quit);
    wait.exec();
    wait_ = nullptr;
    hide();
}

void FrmSplash::interrupt() {
    if (wait_)
        wait_->quit();
}

}  // namespace zd
