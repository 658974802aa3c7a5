#pragma once

#include <QColor>

#include "app/Form.h"
#include "app/FormControls.h"

namespace zd {

// What the shared common dialog remembers between uses: the file chosen last, the colour.
struct CommonDialogState {
    QString FileName;
    QString FileTitle;
    QColor Color = Qt::black;
};

// The advanced window: popup-menu opacity and the floating window's colour. Other windows read
// its labels (the menus Label1, the floating window Label2) and use its common dialog.
class Form2 : public Form {
    Q_OBJECT
  public:
    Form2();
    void formLoad() override;
    void formUnload() override;

    PictureBox* Picture1 = nullptr;
    LabelControl* Label1 = nullptr;  // menu opacity as text
    LabelControl* Label2 = nullptr;  // floating-window colour as decimal text (hidden)
    LabelControl* Label3 = nullptr;  // colour swatch
    CommonDialogState CommonDialog1;
};

}  // namespace zd
