#include "controls/TextBox.h"

#include "controls/MouseEventSource.h"

namespace zd {

TextBox::TextBox(QWidget* parent) : QLineEdit(parent), events_(new MouseEventSource(this)) {}

void TextBox::setBackColor(const QColor& color) {
    QPalette pal = palette();
    pal.setColor(QPalette::Base, color);
    setPalette(pal);
}

void TextBox::setBorder(bool single) {
    setFrame(single);
}

}  // namespace zd
