#pragma once

#include <QColor>
#include <QLabel>

namespace zd {

class MouseEventSource;

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

}  // namespace zd
