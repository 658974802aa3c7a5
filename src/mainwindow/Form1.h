#pragma once

#include <QImage>
#include <QPointer>
#include <memory>
#include <optional>
#include <vector>

#include "app/Gradient.h"
#include "controls/Form.h"
#include "controls/FormTimer.h"
#include "controls/ImageControl.h"
#include "controls/LabelControl.h"
#include "controls/PictureBox.h"
#include "controls/TextBox.h"
#include "mainwindow/FullScreenMode.h"
#include "mainwindow/PlaybackState.h"

namespace zd {

class AdvancedLink;
class CSystrayIcon;
class Class1;
class FlashControl;
class FloatingLink;
class MenuLink;
class OptionsLink;
class ProgramActions;
class clsEx_Drag;
namespace controls {
class FlatScrollBar;
}

// The main player window: borderless, with its own title bar (Picture1), the movie area
// (SwFlash) and the main panel (PicMove) carrying the player's buttons. Design client area
// 5250 x 5295 twips; every control has a design rectangle in twips. The program runs its
// start-up and shut-down; the window reaches the other windows through the links it is given.
class Form1 : public Form {
    Q_OBJECT

  public:
    Form1(ProgramActions& program, OptionsLink& options, FloatingLink& floating, MenuLink& menus,
          AdvancedLink& advanced);
    ~Form1() override;

    // The controls in the window's collection order (the order the relayout visits them);
    // timers included.
    const std::vector<QObject*>& controls() const { return controls_; }

    // Layout tags: Left, Top, Width, Height and (for controls with a font) the font size, each
    // followed by one blank; written once at start-up.
    static QString layoutTag(QObject* control);
    static void setLayoutTag(QObject* control, const QString& tag);
    // Controls that have a font in the classic sense (picture boxes, text boxes, labels);
    // images, scroll bars, the movie control and timers have none.
    static bool hasFont(QObject* control);
    void writeLayoutTags();

    // Proportional layout: every control from its tag, scaled with the client size against
    // RefScaleWidth x RefScaleHeight; runs on every size change.
    void Form_Resize();
    // The title bar's and the panel's gradients in the colour page's colours (nothing while the
    // options window is not loaded); the gradient of one of the two.
    void paintSkin();
    void paintSkin(QWidget* area);
    // The colour page's preview: the window, the title bar and the panel in these colours.
    void previewSkin(const SkinColours& colours);
    // Enlarge and shrink buttons: their timers step the window size while the button is held.
    void imascrollbox1_MouseDown();
    void imascrollbox1_MouseUp();
    void imascrollbox3_MouseDown();
    void imascrollbox3_MouseUp();
    void TimerScroll_Timer();
    void TimerScroll2_Timer();
    // The containers resetting hover looks (the title bar also drags the window, through its
    // WindowDrag).
    void Picture1_MouseMove(int button, int shift, double x, double y);
    void PicMove_MouseMove(int button, int shift, double x, double y);

    // Player controller: the buttons and the bars; the state is `playback`.
    void ImageBegin_Click();
    void ImagePause_Click();
    void ImageStop_Click();
    void Scroll_Scroll();
    void HScroll1_Change();
    void Label1_Change();
    void SwFlash_OnReadyStateChange(qint32 newState);

    // Window commands: the title bar drags the window (Picture1_MouseMove) and toggles
    // maximise on a double click; the panel's right button opens the panel menu; presses hide
    // the menu windows.
    void ImageOption_Click();
    void ImageMax_Click();
    void ImageMin_Click();
    void ImageClose_Click();
    void Picture1_MouseDown();
    void Picture1_DblClick();
    void PicMove_MouseDown();
    void PicMove_MouseUp(int button, int shift, double x, double y);
    void Form_MouseDown();

    // Screen capture: the pixels the screen shows over a window's rectangle (relative to the
    // whole window, or to its client area), and over the upper 8/9 of the foreground window.
    void ImgCapture_Click();
    QImage CaptureWindow(const QWidget* window, bool client, int leftSrc, int topSrc, int widthSrc,
                         int heightSrc) const;
    QImage CaptureActiveWindow() const;

    // Tray: the tray button sends the window to the tray, the icon's mouse messages bring it
    // back or open the floating menu.
    void ImageTray_Click();
    void SysIcon_MouseMessage(quint32 mouseMessage);

    // Opening movies: the file dialog, the open button and files dropped on the panel.
    void OpenFiles();
    void ImageOpen_Click();
    void obj_GetFileName(const QString& sFile);

    // The screenshot counter from the settings file (at start-up), and back to it (at the
    // end) once it was read: a counter never read is not written over the stored one.
    void loadCounter();
    void saveCounter();
    bool counterLoaded() const { return counterLoaded_; }
    // The tray icon leaves with the window.
    void removeTrayIcon();

    // Hidden boxes and helpers.
    TextBox* Text3 = nullptr;  // screenshot counter
    PictureBox* Pic3 = nullptr;
    TextBox* Text2 = nullptr;
    TextBox* Text1 = nullptr;
    FormTimer* TimerScroll2 = nullptr;
    FormTimer* TimerScroll = nullptr;
    // Title bar.
    PictureBox* Picture1 = nullptr;
    ImageControl* ImageTray = nullptr;
    ImageControl* ImageClose = nullptr;
    ImageControl* ImageMax = nullptr;
    ImageControl* ImageMin = nullptr;
    // The movie.
    FlashControl* SwFlash = nullptr;
    // Main panel.
    PictureBox* PicMove = nullptr;
    FormTimer* Timerfull = nullptr;
    FormTimer* TmrIfMove2 = nullptr;
    FormTimer* TmrIfMove1 = nullptr;  // never started: cursor moves do its work
    PictureBox* Picture2 = nullptr;
    controls::FlatScrollBar* Scroll = nullptr;
    FormTimer* TmrPlay = nullptr;
    controls::FlatScrollBar* HScroll1 = nullptr;
    ImageControl* ImgCapture = nullptr;
    ImageControl* ImageStop = nullptr;
    ImageControl* ImageOption = nullptr;
    LabelControl* Label2 = nullptr;
    LabelControl* Label1 = nullptr;
    ImageControl* ImageBegin = nullptr;
    ImageControl* ImageResume = nullptr;
    ImageControl* ImaListBar1 = nullptr;
    ImageControl* ImaListBar2 = nullptr;
    ImageControl* ImageOpen = nullptr;
    ImageControl* ImageFullScreen = nullptr;
    ImageControl* imascrollbox3 = nullptr;
    ImageControl* imascrollbox1 = nullptr;
    ImageControl* ImagePause = nullptr;

    // The window before the last maximise; empty until the first.
    std::optional<FullScreenMode::SavedRect> RestoreRect;

    // The design client area, also what a restore without a saved rectangle gives.
    static constexpr double kDesignWidth = 5250;
    static constexpr double kDesignHeight = 5295;

    // Client size in twips at load time, the reference of the proportional relayout.
    qint32 RefScaleWidth = 0;
    qint32 RefScaleHeight = 0;

    // The drop objects of the main panel and of the movie area, and the mixer object.
    std::unique_ptr<clsEx_Drag> obj;
    std::unique_ptr<clsEx_Drag> movieDrop;
    std::unique_ptr<Class1> mixer;
    // The tray icon, from the first use of the tray button on.
    std::unique_ptr<CSystrayIcon> SysIcon;

    // The player controller's state and the full-screen mode.
    PlaybackState* playback = nullptr;
    FullScreenMode* fullScreen = nullptr;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void buildControls();
    void connectController();
    void connectOpen();
    void connectLayout();
    void connectCommands();
    void connectCapture();
    void connectTray();
    template <class T>
    T* addControl(T* control, const char* name, const TwipRect& design, bool visible = true);
    template <class T>
    T* addTimer(T* timer, const char* name);

    ProgramActions& program_;
    OptionsLink& options_;
    FloatingLink& floating_;
    MenuLink& menus_;
    AdvancedLink& advanced_;
    std::vector<QObject*> controls_;
    bool counterLoaded_ = false;
};

}  // namespace zd
