#pragma once

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QWidget>

namespace zd {

class MouseEventSource;

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

}  // namespace zd
