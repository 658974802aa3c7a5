#pragma once

#include <QEvent>
#include <QIcon>
#include <QString>

class QWidget;

namespace zd::platform {

// The mouse messages an icon reports to its window, by their classic numbers.
inline constexpr quint32 kTrayLeftButtonDown = 513;
inline constexpr quint32 kTrayLeftButtonDoubleClick = 515;
inline constexpr quint32 kTrayRightButtonUp = 517;
inline constexpr quint32 kTrayMiddleButtonDown = 519;

// Which fields of an icon's record an add or a modify uses.
enum TrayField : quint32 { kTrayFieldMessage = 1, kTrayFieldIcon = 2, kTrayFieldTip = 4 };

// Why a tray request failed.
enum TrayError : qint32 {
    kTrayUnavailable = 1,  // the desktop has no notification area
    kTrayIconExists = 2,   // an add for an icon already there
    kTrayNoSuchIcon = 3,   // a modify or delete for an icon not there
    kTrayNoWindow = 4,     // the record names no window
};

// One icon's record: the icon is known by its window and id.
struct TrayIconData {
    QWidget* window = nullptr;  // receives the icon's mouse messages
    quint32 id = 0;
    quint32 fields = 0;  // TrayField bits
    quint32 callbackMessage = 0;
    QIcon icon;
    QString tip;
};

// Posted to an icon's window for mouse activity on the icon (when the record carries a
// callback message): the record's callback message and the mouse message.
class TrayMessageEvent : public QEvent {
  public:
    TrayMessageEvent(quint32 callbackMessage, quint32 mouseMessage);
    static QEvent::Type eventType();
    quint32 callbackMessage() const { return callbackMessage_; }
    quint32 mouseMessage() const { return mouseMessage_; }

  private:
    quint32 callbackMessage_;
    quint32 mouseMessage_;
};

// Posts a TrayMessageEvent to `window`; nothing when the window is gone.
void postTrayMessage(QWidget* window, quint32 callbackMessage, quint32 mouseMessage);

// The desktop's notification area.
class SystemTray {
  public:
    enum class Command { Add = 0, Modify = 1, Delete = 2 };
    virtual ~SystemTray() = default;
    // Adds, changes (the fields named in `data.fields`) or removes the icon of `data`. True on
    // success; otherwise lastError() tells why and nothing changed.
    virtual bool notifyIcon(Command command, const TrayIconData& data) = 0;
    virtual qint32 lastError() const = 0;
};

// The tray in use: the desktop's own (through Qt), unless a test installed a replacement
// (nullptr restores the real one; the caller keeps ownership).
SystemTray& systemTray();
void setSystemTray(SystemTray* replacement);

}  // namespace zd::platform
