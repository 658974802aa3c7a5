#pragma once

#include <memory>
#include <optional>

#include "app/Gradient.h"
#include "app/Preferences.h"
#include "controls/Form.h"
#include "controls/ImageControl.h"
#include "controls/LabelControl.h"
#include "controls/PictureBox.h"
#include "controls/TextBox.h"
#include "options/PlayList.h"
#include "options/PlayListView.h"

class QDropEvent;

namespace zd {

// The contact address of the help page and its mail link.
inline constexpr char kContactAddress[] = "deck@quillon.example";

class AdvancedLink;
class FlashControl;
class FloatingLink;
class MenuLink;
class PlayerLink;
class ProgramActions;
class clsEx_Drag;
namespace controls {
class xpcmdbutton;
class xpcheckbox;
class Slider;
}  // namespace controls

// The options window: borderless and top-most, four tab pages (play, skin colours, play list,
// help). It is loaded hidden at start-up and then only shown and hidden. Its hidden text boxes
// show six of the preferences, and it keeps the play list (List1 its names, List2 its paths).
class Dialog : public Form {
    Q_OBJECT

  public:
    Dialog(Preferences& preferences, PlayerLink& player, FloatingLink& floating, MenuLink& menus,
           AdvancedLink& advanced, ProgramActions& program);
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
    PlayListView* List1 = nullptr;
    PlayListView* List2 = nullptr;
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

    PlayList& playList() { return playList_; }

    // The skin colours as the colour page shows them: slider positions + 50 and the direction
    // box.
    SkinColours skinColours() const;

    // The shared routines that work on this window: the list written to its files (SaveLists),
    // the empty-entry pass followed by selecting the first entry (RemoveEmptyEntries), the
    // capture folder chosen with the folder browser (BrowseCaptureFolder).
    bool saveLists();
    void removeEmptyEntries();
    void browseCaptureFolder();
    // The main window's options button: shown in front with the list cleaned.
    void raiseFromOptionsButton();
    // Shown, and the list cleaned of empty entries.
    void showAndClean();
    // Shown, and the capture folder asked for.
    void askForCaptureFolder();

    void obj_GetFileName(const QString& sFile);

    // Title strip and tabs.
    void PicMove2_MouseDown(int button, int shift, double x, double y);
    void PicMove2_MouseMove(int button, int shift, double x, double y);
    void PicMove2_MouseUp(int button, int shift, double x, double y);
    void Image1_Click();
    void Image1_MouseMove();
    void showPage(PictureBox* frame);

    // Play page.
    void FlatBttn1_Click();
    void FlatBttn2_Click();
    void FlatBttn3_Click();
    void ImgPath_Click();
    void Command2er_Click();
    // The text dropped on the play page: the main window loads it.
    void Frame1_OLEDragDrop(const QString& text);
    void Frame1_MouseMove();
    void Frame2to4_MouseMove();
    void Frame3_MouseDown();

    // Colour page.
    void Slider_Scroll(int index);
    void Check1_Click();
    void Command1_Click();
    void ComUse_Click();
    void Command2_Click();
    void ComAdvanced_Click();
    // The four previews from the sliders and Check1.
    void paintPreviews();

    // Help page.
    void buttonhelp_Click();
    void xpcmdbutton1_Click();
    void Label7_Click();
    void Label7_MouseMove();

    // Play list.
    void List1_MouseDown(int button, int shift, double x, double y);
    void List1_MouseMove(int button, int shift, double x, double y);
    void List1_MouseUp(int button, int shift, double x, double y);
    void List1_DblClick();
    void ComPlay_Click();
    void ComDelete_Click();
    void ComOk_Click();
    // Later copies of a path leave the list; run on the next pass of the event loop after an
    // entry joins (so a save right after an append still holds the copy).
    void removeDuplicatePairs();
    // The entry row under a point `yTwips` below the list's top, counted from `firstVisible`.
    int rowUnderMouse(double yTwips, int firstVisible) const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    void connectPages();
    void connectPlayList();
    void showPreferences();
    void showPreference(Preferences::Item item);
    void applyPlaybackBackground();
    void loadPlayList();
    void paintPreview(PictureBox* target, qint32 red, qint32 green, qint32 blue);
    // The direction from Check1 kept as the preference.
    void storeDirection();
    void hideForm6();
    void scheduleDuplicatePass();
    bool takeDrag(QObject* target, QDropEvent* event);

    Preferences& preferences_;
    PlayerLink& player_;
    FloatingLink& floating_;
    MenuLink& menus_;
    AdvancedLink& advanced_;
    ProgramActions& program_;
    PlayList playList_;
    bool duplicatePassPending_ = false;
};

}  // namespace zd
