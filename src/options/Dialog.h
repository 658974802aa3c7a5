#pragma once

#include <memory>
#include <optional>

#include "app/Form.h"
#include "app/FormControls.h"

class QDropEvent;
class QMimeData;

namespace zd {

// The contact address of the help page and its mail link.
inline constexpr char kContactAddress[] = "deck@quillon.example";

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

    // The last List1 top index copied to List2; empty counts as 0.
    std::optional<int> rememberedTopIndex;

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
    // Whether a drag carries text the play page takes (files go to the address box instead).
    static bool isDroppedText(const QMimeData* data);

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
    // The play list's upkeep, run on the next pass of the event loop after anything changes
    // the lists (an append adds to both boxes one after the other, so pairs are whole only
    // afterwards): later copies of a path leave both boxes, and List2 takes List1's selection
    // and scroll position.
    void removeDuplicatePairs();
    void followList1();
    // The entry row under a point `yTwips` below the list's top, counted from `firstVisible`.
    int rowUnderMouse(double yTwips, int firstVisible) const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    void connectPages();
    void connectPlayList();
    void paintPreview(PictureBox* target, qint32 red, qint32 green, qint32 blue);
    // Text4 from Check1.
    void storeDirection();
    // Hides the play-list menu, when it is open.
    void hideForm6();
    void scheduleListUpkeep();
    void scheduleFollow();
    bool takeDrag(QObject* target, QDropEvent* event);

    bool duplicatePassPending_ = false;
    bool followPending_ = false;
    // A move of the window by its title strip when the platform cannot move it itself.
    bool draggingByHand_ = false;
    QPoint dragStartGlobal_;
    QPoint dragStartPos_;
};

}  // namespace zd
