#pragma once

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include "platform/SystemTray.h"

namespace zd {

// One icon in the desktop's notification area, kept as the classic icon record: the window
// that receives the icon's mouse messages, id 1, the valid-field flags, the callback message,
// the icon and a fixed 64-character tip field (at most 63 characters of text, a NUL, blanks to
// the end). The icon is in the tray (Visible) only after a successful add and until a
// successful delete; a failed tray request raises NIError and changes nothing. Dropping the
// object removes its icon.
class CSystrayIcon : public QObject {
    Q_OBJECT
  public:
    static constexpr quint32 kRecordSize = 88;
    static constexpr quint32 kIconId = 1;
    static constexpr int kTipField = 64;
    static constexpr int kTipLength = kTipField - 1;
    static constexpr quint32 kAllFields =
        platform::kTrayFieldMessage | platform::kTrayFieldIcon | platform::kTrayFieldTip;

    CSystrayIcon() = default;
    ~CSystrayIcon() override;

    // Fills the record (nothing is sent to the tray); the icon starts not visible, with
    // UpdateOnChange on. Returns 0.
    qint32 Initialize(QWidget* hwnd, const QIcon& hIcon, const QString& sTip,
                      quint32 uCallbackMessage);
    // Adds the icon; false without asking the tray when it is visible already.
    bool ShowIcon();
    // Removes the icon; false without asking the tray when it is not visible.
    bool HideIcon();
    // Sends the whole record to a visible icon; false when not visible or refused.
    bool Update();

    // Setting one of these stores it and, with UpdateOnChange, sends just that field.
    QIcon IconHandle() const { return hIcon_; }
    void setIconHandle(const QIcon& hIcon);
    // The first 63 characters of the tip field: the text, then its NUL and the fill blanks.
    QString TipText() const { return szTip_.left(kTipLength); }
    void setTipText(const QString& sTip);
    quint32 CallbackMessage() const { return uCallbackMessage_; }
    void setCallbackMessage(quint32 uCallbackMessage);

    bool UpdateOnChange() const { return updateOnChange_; }
    void setUpdateOnChange(bool bUpdate) { updateOnChange_ = bUpdate; }
    bool Visible() const { return visible_; }
    void setVisible(bool bVisible);

    // The rest of the record.
    quint32 cbSize() const { return cbSize_; }
    QWidget* hWnd() const { return hWnd_; }
    quint32 uID() const { return uID_; }
    quint32 uFlags() const { return uFlags_; }
    // The tip as the tray shows it: the field up to its NUL.
    QString tipShown() const;

    // The fixed tip field for `text`.
    static QString tipField(const QString& text);

  signals:
    void NIError(qint32 ErrorNumber);

  private:
    bool notify(platform::SystemTray::Command command);
    // Sends one field (with UpdateOnChange), then marks the whole record valid again.
    void updateField(quint32 field);

    quint32 cbSize_ = 0;
    QPointer<QWidget> hWnd_;
    quint32 uID_ = 0;
    quint32 uFlags_ = 0;
    quint32 uCallbackMessage_ = 0;
    QIcon hIcon_;
    QString szTip_ = tipField(QString());
    bool visible_ = false;
    bool updateOnChange_ = false;
};

}  // namespace zd
