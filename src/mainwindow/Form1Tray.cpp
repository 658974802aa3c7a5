// The main window's tray: the tray button, the icon and the icon's mouse messages.
#include <QEvent>
#include <QIcon>

#include "app/FloatingLink.h"
#include "app/MenuItems.h"
#include "app/MenuLink.h"
#include "controls/MouseEventSource.h"
#include "mainwindow/CSystrayIcon.h"
#include "mainwindow/Form1.h"
#include "platform/Services.h"
#include "platform/SystemTray.h"

namespace zd {

namespace {

// The icon reports its mouse messages with this callback message.
constexpr quint32 kTrayCallbackMessage = 512;

// Hands the tray icon's messages to the window. Only the tray posts them: mouse moves over the
// window itself never count as tray clicks.
class TrayMessageFilter : public QObject {
  public:
    explicit TrayMessageFilter(Form1* form) : QObject(form), form_(form) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != form_ || event->type() != platform::TrayMessageEvent::eventType())
            return false;
        const auto* message = static_cast<const platform::TrayMessageEvent*>(event);
        if (message->callbackMessage() == kTrayCallbackMessage)
            form_->SysIcon_MouseMessage(message->mouseMessage());
        return true;
    }

  private:
    Form1* form_;
};

}  // namespace

void Form1::connectTray() {
    connect(ImageTray->events(), &MouseEventSource::click, this, &Form1::ImageTray_Click);
    installEventFilter(new TrayMessageFilter(this));
}

void Form1::ImageTray_Click() {
    // The floating window comes first: on a desktop without a tray it is the way back.
    floating_.showFloatingWindow();
    // A new icon each time; the previous one goes with its object.
    SysIcon = std::make_unique<CSystrayIcon>();
    SysIcon->Initialize(this, QIcon(Picture2->picture()), QStringLiteral("ZephyrDeck"),
                        kTrayCallbackMessage);
    SysIcon->ShowIcon();
    hide();
}

void Form1::SysIcon_MouseMessage(quint32 mouseMessage) {
    switch (mouseMessage) {
        case platform::kTrayLeftButtonDown:
            // Out of the minimised state too, or the window shown would stay out of sight.
            setWindowStateValue(kNormal);
            showForm();
            floating_.hideFloatingWindow();
            break;
        case platform::kTrayRightButtonUp: {
            const platform::ScreenMetrics screen = platform::screenMetrics();
            menus_.showMenu(MenuLink::Menu::Floating, this, menuitems::floating(),
                            screen.widthPixels / 0.08, screen.heightPixels / 0.109,
                            menuitems::kMenuWidth);
            platform::playAppSound(QStringLiteral("sound/menu.wav"));
            break;
        }
        default:
            break;
    }
}

}  // namespace zd
