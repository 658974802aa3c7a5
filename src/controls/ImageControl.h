#pragma once

#include <QPixmap>
#include <QWidget>

namespace zd {

class MouseEventSource;

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

}  // namespace zd
