#pragma once

#include "controls/Form.h"
#include "controls/ImageControl.h"
#include "controls/LabelControl.h"
#include "controls/PictureBox.h"

namespace zd {

// The about window: two gradient panels around the product artwork, a title, the version image
// and a close button that lights up under the mouse. Dragged by its panels, the artwork and the
// title. The splash borrows the picture of its Picture1.
class FrmHelp : public Form {
    Q_OBJECT
  public:
    FrmHelp();
    void formLoad() override;

    void PicButton1_MouseMove();
    void PicButton1_MouseDown();
    void PicButton1_MouseUp();
    void PicButton1_Click();
    void Pic1_MouseMove();

    PictureBox* Pic1 = nullptr;        // upper panel
    PictureBox* PicButton1 = nullptr;  // close button
    LabelControl* Label1 = nullptr;    // "关闭" under the close button while hovered
    LabelControl* Label2 = nullptr;    // title
    PictureBox* Pic2 = nullptr;        // lower panel
    ImageControl* Image1 = nullptr;    // version image
    PictureBox* Picture1 = nullptr;    // product artwork
};

}  // namespace zd
