#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <memory>

#include "platform/AppFolder.h"
#include "platform/RealServices.h"

namespace zd::platform {

namespace {

template <class Interface, class Real>
class Slot {
  public:
    Interface& get() {
        if (replacement_)
            return *replacement_;
        if (!real_)
            real_ = std::make_unique<Real>();
        return *real_;
    }
    void set(Interface* replacement) { replacement_ = replacement; }

  private:
    std::unique_ptr<Real> real_;
    Interface* replacement_ = nullptr;
};

Slot<SoundPlayer, QtSoundPlayer>& soundSlot() {
    static Slot<SoundPlayer, QtSoundPlayer> slot;
    return slot;
}
Slot<MessageBoxes, QtMessageBoxes>& messageSlot() {
    static Slot<MessageBoxes, QtMessageBoxes> slot;
    return slot;
}
Slot<CommonDialogs, QtCommonDialogs>& dialogSlot() {
    static Slot<CommonDialogs, QtCommonDialogs> slot;
    return slot;
}
Slot<Shell, DesktopShell>& shellSlot() {
    static Slot<Shell, DesktopShell> slot;
    return slot;
}
Slot<MixerDevice, AlsaMixerDevice>& mixerSlot() {
    static Slot<MixerDevice, AlsaMixerDevice> slot;
    return slot;
}
Slot<ScreenCapture, QtScreenCapture>& captureSlot() {
    static Slot<ScreenCapture, QtScreenCapture> slot;
    return slot;
}
Slot<WindowSystem, QtWindowSystem>& windowSystemSlot() {
    static Slot<WindowSystem, QtWindowSystem> slot;
    return slot;
}
std::optional<ScreenMetrics>& screenOverride() {
    static std::optional<ScreenMetrics> metrics;
    return metrics;
}
std::optional<QString>& commandLineOverride() {
    static std::optional<QString> text;
    return text;
}

}  // namespace

SoundPlayer& soundPlayer() {
    return soundSlot().get();
}
MessageBoxes& messageBoxes() {
    return messageSlot().get();
}
CommonDialogs& commonDialogs() {
    return dialogSlot().get();
}
Shell& shell() {
    return shellSlot().get();
}
MixerDevice& mixerDevice() {
    return mixerSlot().get();
}
ScreenCapture& screenCapture() {
    return captureSlot().get();
}
WindowSystem& windowSystem() {
    return windowSystemSlot().get();
}

void setSoundPlayer(SoundPlayer* replacement) {
    soundSlot().set(replacement);
}
void setMessageBoxes(MessageBoxes* replacement) {
    messageSlot().set(replacement);
}
void setCommonDialogs(CommonDialogs* replacement) {
    dialogSlot().set(replacement);
}
void setShell(Shell* replacement) {
    shellSlot().set(replacement);
}
void setMixerDevice(MixerDevice* replacement) {
    mixerSlot().set(replacement);
}
void setScreenCapture(ScreenCapture* replacement) {
    captureSlot().set(replacement);
}
void setWindowSystem(WindowSystem* replacement) {
    windowSystemSlot().set(replacement);
}
void setScreenMetrics(std::optional<ScreenMetrics> replacement) {
    screenOverride() = replacement;
}
void setCommandLineText(std::optional<QString> replacement) {
    commandLineOverride() = std::move(replacement);
}

ScreenMetrics screenMetrics() {
    if (screenOverride())
        return *screenOverride();
    ScreenMetrics metrics;
    const QScreen* screen = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                                ? QGuiApplication::primaryScreen()
                                : nullptr;
    if (screen) {
        const QRect geometry = screen->geometry();
        metrics.widthPixels = geometry.width();
        metrics.heightPixels = geometry.height();
        const double dpiX = screen->logicalDotsPerInchX();
        const double dpiY = screen->logicalDotsPerInchY();
        if (dpiX > 0)
            metrics.twipsPerPixelX = 1440.0 / dpiX;
        if (dpiY > 0)
            metrics.twipsPerPixelY = 1440.0 / dpiY;
    }
    return metrics;
}

QString joinArguments(const QStringList& arguments) {
    return arguments.join(QLatin1Char(' '));
}

QString commandLineText() {
    if (commandLineOverride())
        return *commandLineOverride();
    if (!QCoreApplication::instance())
        return {};
    return joinArguments(QCoreApplication::arguments().mid(1));
}

void playAppSound(const QString& relativePath) {
    soundPlayer().playAsync(appFile(relativePath));
}

}  // namespace zd::platform
