#pragma once

#include <QColor>
#include <QLineEdit>

namespace zd {

class MouseEventSource;

// A one-line text box; hidden ones show the windows' copies of settings and counters.
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
