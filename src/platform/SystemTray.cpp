#include "platform/SystemTray.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QWidget>
#include <map>
#include <memory>
#include <utility>

namespace zd::platform {

namespace {

quint32 mouseMessageFor(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
        case QSystemTrayIcon::Trigger:
            return kTrayLeftButtonDown;
        case QSystemTrayIcon::DoubleClick:
            return kTrayLeftButtonDoubleClick;
        // The desktop asks for the icon's menu: the classic right-button release.
        case QSystemTrayIcon::Context:
            return kTrayRightButtonUp;
        case QSystemTrayIcon::MiddleClick:
            return kTrayMiddleButtonDown;
        case QSystemTrayIcon::Unknown:
            break;
    }
    return 0;
}

// The notification area through QSystemTrayIcon: one Qt icon per (window, id).
class QtSystemTray final : public SystemTray {
  public:
    bool notifyIcon(Command command, const TrayIconData& data) override {
        error_ = 0;
        if (!data.window)
            return fail(kTrayNoWindow);
        const Key key{data.window, data.id};
        auto found = icons_.find(key);
        switch (command) {
            case Command::Add: {
                if (found != icons_.end() && found->second.window)
                    return fail(kTrayIconExists);
                if (!QSystemTrayIcon::isSystemTrayAvailable())
                    return fail(kTrayUnavailable);
                Entry& entry = icons_[key];
                entry.window = data.window;
                entry.icon = std::make_unique<QSystemTrayIcon>();
                QSystemTrayIcon* icon = entry.icon.get();
                QObject::connect(icon, &QSystemTrayIcon::activated, icon,
                                 [this, key](QSystemTrayIcon::ActivationReason reason) {
                                     activated(key, reason);
                                 });
                // A window that goes takes its icons with it.
                QObject::connect(data.window, &QObject::destroyed, icon,
                                 [this, key] { forget(key); });
                apply(entry, data);
                icon->show();
                return true;
            }
            case Command::Modify:
                if (found == icons_.end() || !found->second.window)
                    return fail(kTrayNoSuchIcon);
                apply(found->second, data);
                return true;
            case Command::Delete:
                if (found == icons_.end() || !found->second.window)
                    return fail(kTrayNoSuchIcon);
                found->second.icon->hide();
                forget(key);
                return true;
        }
        return fail(kTrayNoSuchIcon);
    }

    qint32 lastError() const override { return error_; }

  private:
    using Key = std::pair<const QWidget*, quint32>;
    struct Entry {
        QPointer<QWidget> window;
        std::unique_ptr<QSystemTrayIcon> icon;
        quint32 callbackMessage = 0;
        bool reportsMouse = false;
    };

    bool fail(qint32 error) {
        error_ = error;
        return false;
    }

    static void apply(Entry& entry, const TrayIconData& data) {
        if (data.fields & kTrayFieldMessage) {
            entry.callbackMessage = data.callbackMessage;
            entry.reportsMouse = true;
        }
        if (data.fields & kTrayFieldIcon)
            entry.icon->setIcon(data.icon);
        if (data.fields & kTrayFieldTip)
            entry.icon->setToolTip(data.tip);
    }

    void activated(const Key& key, QSystemTrayIcon::ActivationReason reason) {
        const auto found = icons_.find(key);
        if (found == icons_.end() || !found->second.reportsMouse)
            return;
        if (const quint32 message = mouseMessageFor(reason))
            postTrayMessage(found->second.window, found->second.callbackMessage, message);
    }

    void forget(const Key& key) {
        const auto found = icons_.find(key);
        if (found == icons_.end())
            return;
        // Often called from one of the icon's own signals.
        found->second.icon.release()->deleteLater();
        icons_.erase(found);
    }

    std::map<Key, Entry> icons_;
    qint32 error_ = 0;
};

SystemTray*& replacementTray() {
    static SystemTray* tray = nullptr;
    return tray;
}

}  // namespace

TrayMessageEvent::TrayMessageEvent(quint32 callbackMessage, quint32 mouseMessage)
    : QEvent(eventType()), callbackMessage_(callbackMessage), mouseMessage_(mouseMessage) {}

QEvent::Type TrayMessageEvent::eventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void postTrayMessage(QWidget* window, quint32 callbackMessage, quint32 mouseMessage) {
    if (window)
        QCoreApplication::postEvent(window, new TrayMessageEvent(callbackMessage, mouseMessage));
}

SystemTray& systemTray() {
    if (replacementTray())
        return *replacementTray();
    // Never destroyed: a Qt icon must not go after the application object.
    static auto* real = new QtSystemTray;
    return *real;
}

void setSystemTray(SystemTray* replacement) {
    replacementTray() = replacement;
}

}  // namespace zd::platform
