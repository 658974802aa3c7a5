#include "mainwindow/CSystrayIcon.h"

namespace zd {

using platform::SystemTray;

CSystrayIcon::~CSystrayIcon() {
    HideIcon();
}

QString CSystrayIcon::tipField(const QString& text) {
    QString field = text.left(kTipLength);
    field += QChar(u'\0');
    return field.leftJustified(kTipField, QLatin1Char(' '));
}

QString CSystrayIcon::tipShown() const {
    return szTip_.left(szTip_.indexOf(QChar(u'\0')));
}

qint32 CSystrayIcon::Initialize(QWidget* hwnd, const QIcon& hIcon, const QString& sTip,
                                quint32 uCallbackMessage) {
    hIcon_ = hIcon;
    hWnd_ = hwnd;
    cbSize_ = kRecordSize;
    szTip_ = tipField(sTip);
    uFlags_ = kAllFields;
    uCallbackMessage_ = uCallbackMessage;
    uID_ = kIconId;
    visible_ = false;
    updateOnChange_ = true;
    return 0;
}

bool CSystrayIcon::notify(SystemTray::Command command) {
    platform::TrayIconData data;
    data.window = hWnd_;
    data.id = uID_;
    data.fields = uFlags_;
    data.callbackMessage = uCallbackMessage_;
    data.icon = hIcon_;
    data.tip = tipShown();
    platform::SystemTray& tray = platform::systemTray();
    if (tray.notifyIcon(command, data))
        return true;
    emit NIError(tray.lastError());
    return false;
}

bool CSystrayIcon::ShowIcon() {
    if (visible_)
        return false;
    const bool added = notify(SystemTray::Command::Add);
    if (added)
        visible_ = true;
    return added;
}

bool CSystrayIcon::HideIcon() {
    if (!visible_)
        return false;
    const bool removed = notify(SystemTray::Command::Delete);
    if (removed)
        visible_ = false;
    return removed;
}

bool CSystrayIcon::Update() {
    if (!visible_)
        return false;
    return notify(SystemTray::Command::Modify);
}

void CSystrayIcon::updateField(quint32 field) {
    if (!updateOnChange_)
        return;
    uFlags_ = field;
    Update();
    uFlags_ = kAllFields;
}

void CSystrayIcon::setIconHandle(const QIcon& hIcon) {
    hIcon_ = hIcon;
    updateField(platform::kTrayFieldIcon);
}

void CSystrayIcon::setTipText(const QString& sTip) {
    szTip_ = tipField(sTip);
    updateField(platform::kTrayFieldTip);
}

void CSystrayIcon::setCallbackMessage(quint32 uCallbackMessage) {
    uCallbackMessage_ = uCallbackMessage;
    updateField(platform::kTrayFieldMessage);
}

void CSystrayIcon::setVisible(bool bVisible) {
    if (bVisible) {
        ShowIcon();
    } else {
        HideIcon();
    }
}

}  // namespace zd
