#pragma once

#include <QColor>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

class QMouseEvent;

namespace zd {

// Mouse buttons and shift state as the windows' handlers receive them.
enum MouseButton { kLeftButton = 1, kRightButton = 2, kMiddleButton = 4 };
enum ShiftState { kShiftKey = 1, kCtrlKey = 2, kAltKey = 4 };

int buttonCode(Qt::MouseButton button);
int buttonsCode(Qt::MouseButtons buttons);
int shiftCode(Qt::KeyboardModifiers modifiers);

// Emits the mouse events of the windows' controls, with positions in twips of the control.
// Click comes on a release over the control after a press on it.
class MouseEventSource : public QObject {
    Q_OBJECT
  public:
    explicit MouseEventSource(QWidget* widget);

  signals:
    void mouseDown(int button, int shift, double x, double y);
    void mouseMove(int button, int shift, double x, double y);
    void mouseUp(int button, int shift, double x, double y);
    void click();
    void dblClick();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* widget_;
    bool pressedInside_ = false;
};

// A timer with the classic switch: enabling a running timer leaves it running, disabling and
// enabling again restarts its interval, changing the interval of a running timer restarts it.
class FormTimer : public QTimer {
    Q_OBJECT
  public:
    explicit FormTimer(int intervalMs, QObject* parent = nullptr);
    void setEnabled(bool enabled);
    bool enabled() const { return isActive(); }
    // Disable, then enable: the next tick comes one full interval from now.
    void restart();
};

// Fits a persistent drawing surface to `size`, keeping what is drawn on it and filling new
// area with `fill`.
QImage& fitCanvas(QImage& canvas, QSize size, const QColor& fill);

// A picture box: a back colour, an optional picture at its top-left and a persistent drawing
// surface that keeps what was painted on it (the skin gradients) until the back colour changes.
class PictureBox : public QWidget {
    Q_OBJECT
  public:
    explicit PictureBox(QWidget* parent = nullptr);

    MouseEventSource* events() const { return events_; }

    QColor backColor() const { return backColor_; }
    // Like the classic control, a new back colour clears what was drawn.
    void setBackColor(const QColor& color);
    const QPixmap& picture() const { return picture_; }
    void setPicture(const QPixmap& picture);

    // The drawing surface, in pixels, the size of the control; callers paint on it and then
    // call update().
    QImage& canvas();
    void clearCanvas();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    MouseEventSource* events_;
    QColor backColor_ = QColor(224, 224, 224);
    QPixmap picture_;
    QImage canvas_;
};

// An image control: shows its picture stretched over its rectangle; transparent elsewhere.
class ImageControl : public QWidget {
    Q_OBJECT
  public:
    explicit ImageControl(QWidget* parent = nullptr);
    MouseEventSource* events() const { return events_; }
    const QPixmap& picture() const { return picture_; }
    void setPicture(const QPixmap& picture);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    MouseEventSource* events_;
    QPixmap picture_;
};

// A label with the classic colours and an opaque or transparent back style.
class LabelControl : public QLabel {
    Q_OBJECT
  public:
    explicit LabelControl(QWidget* parent = nullptr);
    MouseEventSource* events() const { return events_; }
    QColor backColor() const { return backColor_; }
    void setBackColor(const QColor& color);
    QColor foreColor() const { return foreColor_; }
    void setForeColor(const QColor& color);
    bool opaque() const { return opaque_; }
    void setOpaque(bool opaque);  // back style 1 (opaque) or 0 (transparent)

    // The caption; setting a different text through setCaption raises Change (setText, the
    // plain label call, does not).
    QString caption() const { return text(); }
    void setCaption(const QString& caption);

  signals:
    void Change();

  private:
    void applyColors();
    MouseEventSource* events_;
    QColor backColor_ = QColor(224, 224, 224);
    QColor foreColor_ = Qt::black;
    bool opaque_ = true;
};

// A one-line text box; hidden ones hold the windows' copies of settings and counters.
class TextBox : public QLineEdit {
    Q_OBJECT
  public:
    explicit TextBox(QWidget* parent = nullptr);
    MouseEventSource* events() const { return events_; }
    void setBackColor(const QColor& color);
    void setBorder(bool single);

  private:
    MouseEventSource* events_;
};

}  // namespace zd

#include <QListWidget>

namespace zd {

// A list box with the classic operations; a failing operation (an index out of range) returns
// false and changes nothing, so callers can skip it.
class ListBox : public QListWidget {
    Q_OBJECT
  public:
    explicit ListBox(QWidget* parent = nullptr);
    MouseEventSource* events() const { return events_; }

    int listCount() const { return count(); }
    QString list(int index) const;  // "" outside the list
    void addItem(const QString& text);
    bool removeItem(int index);
    void clearList() { clear(); }
    int listIndex() const;  // -1 when nothing is selected
    bool setListIndex(int index);
    int topIndex() const;
    bool setTopIndex(int index);
    QString text() const;  // the selected entry, "" when none

  private:
    MouseEventSource* events_;
};

}  // namespace zd
