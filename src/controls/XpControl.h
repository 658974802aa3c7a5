#pragma once

#include <QFont>
#include <QLabel>
#include <QTimer>
#include <QWidget>

namespace zd::controls {

// What the XP-style push button and check box share: the eight events (declared in the order
// containers bind them by position), the caption label, the 10 ms leave watch, key pass-through
// and the access key. Mouse coordinates are pixels of the control; the caption label lets the
// mouse through, so the pointer over the caption is over the control.
class XpControl : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(bool Enabled READ isEnabled WRITE setEnabled)
    Q_PROPERTY(QFont Font READ font WRITE setFont)
  public:
    // The caption follows the control's objectName (its display name in the container) until
    // it is set or read from stored properties.
    QString Caption() const { return lbl_->text(); }
    void setCaption(const QString& text);
    // Enabled and Font are the widget's own (setEnabled, setFont); their effects follow the
    // widget's change notifications, whoever makes the change.
    bool Enabled() const { return isEnabled(); }
    QFont Font() const { return font(); }

    QLabel* captionLabel() const { return lbl_; }
    bool isWatchingForLeave() const { return timer1_.isActive(); }

  signals:
    void Click();
    void KeyDown(qint16 KeyCode, qint16 Shift);
    void KeyPress(qint16 KeyAscii);
    void KeyUp(qint16 KeyCode, qint16 Shift);
    void MouseOut();
    void MouseDown(qint16 Button, qint16 Shift, float X, float Y);
    void MouseMove(qint16 Button, qint16 Shift, float X, float Y);
    void MouseUp(qint16 Button, qint16 Shift, float X, float Y);
    // A stored property changed (by its stored name): the container's saved copy is stale.
    void PropertyChanged(const QString& name);

  protected:
    explicit XpControl(QWidget* parent);

    QString ambientDisplayName() const { return objectName(); }
    QFont ambientFont() const;
    void setCaptionColour(const QColor& colour);
    // Caption text without recording a change (display-name default, stored properties).
    void applyCaption(const QString& text);

    // Leave watch: polls the pointer every 10 ms; once it is outside, stops and calls
    // pointerLeft(). Starting a running watch does not restart its interval.
    void watchForLeave();
    virtual void pointerLeft() = 0;
    // After the caption's text or font changed.
    virtual void relayout() = 0;
    // A completed left click on the control or its caption, or the access key.
    virtual void clicked() = 0;

    // 0 <= x <= width and 0 <= y <= height.
    bool isInside(const QPointF& pos) const;
    void raiseMouseDown(const QMouseEvent* event);
    void raiseMouseMove(const QMouseEvent* event);
    void raiseMouseUp(const QMouseEvent* event);
    // Press and release of the left button both over the control make a click.
    void notePress(const QMouseEvent* event);
    bool completesClick(const QMouseEvent* event);

    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QLabel* lbl_;
    QTimer timer1_;
    bool captionSet_ = false;
    bool leftPressedInside_ = false;
};

}  // namespace zd::controls
