#pragma once

#include <QColor>

#include "app/CommonDialogState.h"
#include "app/Preferences.h"
#include "controls/Form.h"
#include "controls/ImageControl.h"
#include "controls/LabelControl.h"
#include "controls/PictureBox.h"
#include "controls/TextBox.h"

namespace zd {

class OptionsLink;
class ProgramActions;
namespace controls {
class Slider;
class xpcmdbutton;
}  // namespace controls

// The advanced window: popup-menu opacity and the floating window's colour, saved to
// Settings.Tov. Its labels show the two preferences as they are now (a value moved on the
// slider but not yet saved counts); each load reads them anew, and hides the options window. It
// also keeps the common dialog's memory.
class Form2 : public Form {
    Q_OBJECT
  public:
    Form2(Preferences& preferences, OptionsLink& options, ProgramActions& program);
    void formLoad() override;
    void formUnload() override;

    void Slider1_Scroll();
    void xpcmdbutton1_Click();  // "悬浮窗口背景色": the colour dialog
    void Label3_Click();
    void xpcmdbutton2_Click();  // "保存"
    void xpcmdbutton3_Click();  // "关闭"
    void xpcmdbutton4_Click();  // "关闭ZephyrDeck"
    void Image1_Click();
    void Image1_MouseMove();
    void Picture1_MouseDown(int button, int shift, double x, double y);
    void Picture1_MouseMove(int button, int shift, double x, double y);
    void Picture1_MouseUp(int button, int shift, double x, double y);

    PictureBox* Picture1 = nullptr;  // the skin
    ImageControl* Image1 = nullptr;  // close button
    LabelControl* Label5 = nullptr;
    controls::Slider* Slider1 = nullptr;
    LabelControl* Label1 = nullptr;  // menu opacity as text
    TextBox* label6 = nullptr;       // the slider's verbal mark
    LabelControl* Label4 = nullptr;
    controls::xpcmdbutton* xpcmdbutton1 = nullptr;
    LabelControl* Label3 = nullptr;  // colour swatch
    LabelControl* Label2 = nullptr;  // floating-window colour as decimal text (hidden)
    controls::xpcmdbutton* xpcmdbutton4 = nullptr;
    controls::xpcmdbutton* xpcmdbutton2 = nullptr;
    controls::xpcmdbutton* xpcmdbutton3 = nullptr;
    CommonDialogState CommonDialog1;

    // The slider's mark for a value: "全透明" at 0, "默认" at 245, "不透明" at 255, else empty.
    static QString opacityMark(int value);

  private:
    void showPreference(Preferences::Item item);

    Preferences& preferences_;
    OptionsLink& options_;
    ProgramActions& program_;
    bool dragging_ = false;
    qint16 dragX_ = 0;
    qint16 dragY_ = 0;
};

}  // namespace zd
