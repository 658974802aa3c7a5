#pragma once

#include <memory>

#include "app/Form.h"
#include "app/FormControls.h"

namespace zd {

class FlashControl;
class clsEx_Drag;
namespace controls {
class xpcmdbutton;
class xpcheckbox;
class Slider;
}  // namespace controls

// The options window: borderless and top-most, four tab pages (play, skin colours, play list,
// help). It is loaded hidden at start-up and then only shown and hidden. Its hidden text boxes
// are the in-memory copies of six settings, and it owns the play list (List1 names, List2 full
// paths, index-aligned).
class Dialog : public Form {
    Q_OBJECT

  public:
    Dialog();
    ~Dialog() override;

    void formLoad() override;

    // Title strip and tabs.
    PictureBox* PicMove2 = nullptr;
    ImageControl* Image1 = nullptr;
    controls::xpcmdbutton* Tabutton1 = nullptr;
    controls::xpcmdbutton* Tabutton2 = nullptr;
    controls::xpcmdbutton* Tabutton3 = nullptr;
    controls::xpcmdbutton* Tabutton4 = nullptr;
    PictureBox* Frame1 = nullptr;
    PictureBox* Frame2 = nullptr;
    PictureBox* Frame3 = nullptr;
    PictureBox* Frame4 = nullptr;

    // Play page.
    LabelControl* Label6 = nullptr;
    TextBox* TxtURL = nullptr;
    controls::xpcmdbutton* FlatBttn2 = nullptr;
    controls::xpcmdbutton* FlatBttn3 = nullptr;
    LabelControl* Label5 = nullptr;
    TextBox* TxtFrame = nullptr;
    controls::xpcmdbutton* FlatBttn1 = nullptr;
    LabelControl* Label4 = nullptr;
    TextBox* TxtPath = nullptr;
    ImageControl* ImgPath = nullptr;
    controls::xpcheckbox* Check2 = nullptr;
    controls::xpcmdbutton* Command2er = nullptr;
    TextBox* Text7 = nullptr;
    TextBox* Text8 = nullptr;

    // Colour page.
    controls::Slider* Slider1 = nullptr;
    controls::Slider* Slider2 = nullptr;
    controls::Slider* Slider3 = nullptr;
    LabelControl* Label1 = nullptr;
    LabelControl* Label2 = nullptr;
    LabelControl* Label3 = nullptr;
    PictureBox* Picture1 = nullptr;
    PictureBox* Picture2 = nullptr;
    PictureBox* Picture3 = nullptr;
    PictureBox* Picture4 = nullptr;
    controls::xpcheckbox* Check1 = nullptr;
    controls::xpcmdbutton* Command1 = nullptr;
    controls::xpcmdbutton* ComUse = nullptr;
    controls::xpcmdbutton* Command2 = nullptr;
    controls::xpcmdbutton* ComAdvanced = nullptr;
    TextBox* Text1 = nullptr;
    TextBox* Text2 = nullptr;
    TextBox* Text3 = nullptr;
    TextBox* Text4 = nullptr;

    // Play-list page.
    ListBox* List1 = nullptr;
    ListBox* List2 = nullptr;
    FlashControl* SFlash2 = nullptr;
    controls::xpcmdbutton* ComPlay = nullptr;
    controls::xpcmdbutton* ComDelete = nullptr;
    controls::xpcmdbutton* ComOk = nullptr;
    TextBox* Text5 = nullptr;
    TextBox* Text6 = nullptr;

    // Help page.
    ImageControl* Image2 = nullptr;
    LabelControl* Label7 = nullptr;
    controls::xpcmdbutton* buttonhelp = nullptr;
    controls::xpcmdbutton* xpcmdbutton1 = nullptr;

    // The drop object of the address box.
    std::unique_ptr<clsEx_Drag> obj;

    // The skin gradient's colour values as the main window paints them: slider value + 50.
    qint32 gradientRed() const;
    qint32 gradientGreen() const;
    qint32 gradientBlue() const;
    bool gradientTopDown() const;

    // Play-list loading (from List.Tov and List2.Tov) and the empty-entry pass.
    void loadPlayList();
    void removeEmptyEntriesPass();

    void obj_GetFileName(const QString& sFile);

  private:
    void buildControls();
};

}  // namespace zd
