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

    // With fitting on, a text that does not fit the label at its font's size is drawn at the
    // largest smaller size at which it shows whole (with the label's word wrap).
    void setFitText(bool fit);
    bool fitText() const { return fit_; }
    // The font the text is drawn with now.
    QFont shownFont() const;

  signals:
    void Change();

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void applyColors();
    bool fitsWith(const QFont& font) const;
    MouseEventSource* events_;
    QColor backColor_ = QColor(224, 224, 224);
    QColor foreColor_ = Qt::black;
    bool opaque_ = true;
    bool fit_ = false;
};

}  // namespace zd
