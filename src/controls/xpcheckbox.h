#pragma once

#include <QColor>
#include <QPixmap>
#include <QPoint>
#include <QRect>

#include "controls/PropertyBag.h"
#include "controls/XpControl.h"

namespace zd::controls {

// Where the box and the caption go in a control `heightPx` high, laid out in twips as the
// check box is: the 240-twip box at the left, the caption at 480 twips, each centred
// vertically by whole twips.
struct XpCheckBoxLayout {
    QRect box;
    QPoint caption;
};
XpCheckBoxLayout xpCheckBoxLayout(int heightPx, int captionHeightPx, double twipsPerPixel);

// The XP-style check box: a 16 x 16 box from a skin of twelve cells (value 0, 1, 2 by normal,
// hover, pressed, disabled: cell = 4 * value + look) and a caption to its right. A click
// raises Click first and then changes Value (1 -> 0, 0 -> 1, 2 -> 0, others kept), so Click
// handlers see the value from before. The leave watch runs from creation until it first finds
// the pointer outside, then from each mouse move. No key changes the value.
class xpcheckbox : public XpControl {
    Q_OBJECT
    Q_PROPERTY(int Value READ Value WRITE setValue)
    Q_PROPERTY(QColor BackColor READ BackColor WRITE setBackColor)
    Q_PROPERTY(QColor ForeColor READ ForeColor WRITE setForeColor)
  public:
    // A newly placed box: captioned with its display name, enabled, unchecked, in the ambient
    // font, on the button-face colour with black text.
    explicit xpcheckbox(QWidget* parent = nullptr);

    // 0 unchecked, 1 checked, 2 mixed; other values are stored but leave the box image as it
    // was.
    int Value() const { return value_; }
    void setValue(int value);
    QColor BackColor() const { return backColor_; }
    void setBackColor(const QColor& colour);
    QColor ForeColor() const { return foreColor_; }
    void setForeColor(const QColor& colour);

    // The skin cell now shown and where the box sits.
    int currentCell() const { return cell_; }
    QRect boxRect() const { return box_; }

    // Read in the order "Value", "Caption", "Enabled", "Font", "BackColor", "ForeColor";
    // written as "Font", "Value", "Caption", "Enabled", "BackColor", "ForeColor".
    void readProperties(const PropertyBag& bag);
    void writeProperties(PropertyBag& bag) const;

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

    void pointerLeft() override;
    void relayout() override;
    void clicked() override;

  private:
    QColor defaultBackColor() const;
    void showCell(int cell);
    // Shows the cell of `look` (0 normal, 1 hover, 2 pressed, 3 disabled) for the value; a
    // value outside 0..2 keeps the current cell.
    void showLook(int look);
    void paintBoxNormal();
    void applyColours();

    QPixmap skin_;
    int value_ = 0;
    QColor backColor_;
    QColor foreColor_ = Qt::black;
    int cell_ = 0;
    QRect box_;
};

}  // namespace zd::controls
