#pragma once

#include <QPointer>
#include <QStringList>
#include <vector>

#include "app/Form.h"
#include "app/FormControls.h"

namespace zd {

// One separator line of a menu, drawn from (X1, Y1) to (X2, Y2) in twips of its container.
class MenuSeparator : public QWidget {
    Q_OBJECT
  public:
    explicit MenuSeparator(QWidget* parent = nullptr);
    double X1() const { return x1_; }
    double Y1() const { return y1_; }
    double X2() const { return x2_; }
    double Y2() const { return y2_; }
    void setLine(double x1, double y1, double x2, double y2);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    double x1_ = 0;
    double y1_ = 0;
    double x2_ = 0;
    double y2_ = 0;
};

// The skinned popup menu: a borderless, top-most, translucent window with a light-grey frame,
// an optional vertical banner on the left and one label per item. One window per menu, each
// with its own action table and its own state (owner, loaded items), so the three menus can be
// open independently:
//   form4() - the main window's panel menu: 0 open, 2 options, 4 about, 6 help, 8 exit;
//   form5() - the tray and floating-window menu: 0 show main window, 2 close main window,
//             4 options window, 6 hide floating window, 8 show floating window, 10 about,
//             12 help, 14 exit;
//   form6() - the play-list menu: 0 play, 2 remove (then the recycle sound), 4 properties.
// The window's opacity is read once, when it is first loaded, from the advanced window's Label1.
class PopupMenuForm : public Form {
    Q_OBJECT
  public:
    enum class Kind { MainWindow, Floating, PlayList };
    explicit PopupMenuForm(Kind kind);
    Kind kind() const { return kind_; }

    void formLoad() override;

    // Lays out and shows the menu; see ShowPopupMenu below.
    void showMenu(QWidget* owner, const QStringList& items, double leftTwips, double topTwips,
                  double widthTwips);
    // Closes the menu (its items unloaded, the window hidden) and runs the action of `index`;
    // -1 and indices without an action only close it.
    void PopupMenuCommand(int index);

    // Item events: a move highlights the item (and only it) until another item is hovered;
    // releasing any mouse button over it runs its command.
    void menu_MouseMove(int index);
    void menu_MouseUp(int index);
    // The focus watch: closes the menu without an action once the active window is neither the
    // menu nor its owner (another window of the program, another program, or none).
    void Timer1_Timer();
    // True from showing until the menu closes (also while another handler merely hid it).
    bool isWatchingFocus() const { return watching_; }
    QWidget* owner() const { return owner_; }

    PictureBox* Pic2 = nullptr;      // top strip
    PictureBox* Pic3 = nullptr;      // bottom strip
    PictureBox* Pic1 = nullptr;      // left strip
    LabelControl* Label1 = nullptr;  // the banner (none on the play-list menu)
    PictureBox* Pic4 = nullptr;      // item area
    // Element k shows item k; separators have no label (nullptr). Element 0 always exists.
    std::vector<LabelControl*> menu;
    // Separator lines numbered from 1 in order of appearance; element 0 is never shown.
    std::vector<MenuSeparator*> separator;
    // Starts the focus check a moment after the focus or the active window changed, once the
    // window system has settled (a change of window passes through "no window").
    FormTimer* Timer1 = nullptr;

  protected:
    bool event(QEvent* event) override;

  private:
    void focusMayHaveMoved();
    LabelControl* itemLabel(int index);
    void unloadItem(int index);
    void unloadSeparatorsFrom(int number);
    void runAction(int index);

    Kind kind_;
    QPointer<QWidget> owner_;
    bool watching_ = false;
};

// Shows `menu` (form4(), form5() or form6()) for the window `owner` whose event opened it:
// `items` are the texts by index ("-" a separator line), the menu's top-left is at
// (leftTwips, topTwips) in screen twips and it is `widthTwips` wide (1950 for every caller:
// menu::kStandardWidth). The menu becomes the active window and stays open while the active
// window is the menu or the owner; it closes without an action as soon as another window of
// the program or another program becomes active. An item runs its action once, on the release
// of any mouse button over it, after the menu has closed. Another handler may hide the menu
// directly (`hide()`); it is then cleared as soon as the focus leaves the menu and its owner.
// Callers play "sound/menu.wav" around the call and, except the tray, first give the clicked
// control the focus with WaitForFocus.
void ShowPopupMenu(PopupMenuForm& menu, QWidget* owner, const QStringList& items, double leftTwips,
                   double topTwips, double widthTwips);

// Puts `form` on top of other windows (or back among them) and shows it without activating it.
void SetTopMostWindow(QWidget* form, bool onTop);

// Gives `control` the keyboard focus (activating its window) and waits, letting events run,
// until it holds it. Returns false without waiting when the control is hidden or its window is
// minimised, and gives up after `timeoutMs` when the focus still cannot be given, so a caller
// never hangs on a window that cannot take the focus.
bool WaitForFocus(QWidget* control, int timeoutMs = 500);

// The item lists of the three menus' callers.
QStringList panelMenuItems();     // main window's panel: 9 entries
QStringList floatingMenuItems();  // tray icon and floating window: 15 entries
QStringList playListMenuItems();  // play list: 5 entries

}  // namespace zd
