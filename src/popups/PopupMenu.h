#pragma once

#include <QPointer>
#include <QStringList>
#include <functional>
#include <map>
#include <vector>

#include "controls/Form.h"
#include "controls/FormTimer.h"
#include "controls/LabelControl.h"
#include "controls/LineControl.h"
#include "controls/PictureBox.h"

namespace zd {

class AdvancedLink;

// The skinned popup menu: a borderless, top-most, translucent window with a light-grey frame,
// an optional vertical banner on the left and one label per item. The program makes one window
// per menu, each with its own action table and its own state (owner, loaded items), so the
// three menus can be open independently. The window's opacity is read once, when it is first
// loaded, from the advanced window's value.
class PopupMenuForm : public Form {
    Q_OBJECT
  public:
    enum class Kind { MainWindow, Floating, PlayList };
    // What each item index does; indices without an action only close the menu.
    using Actions = std::map<int, std::function<void()>>;

    PopupMenuForm(Kind kind, Actions actions, AdvancedLink& advanced);
    Kind kind() const { return kind_; }

    void formLoad() override;

    // Lays out and shows the menu for the window `owner` whose event opened it: `items` are the
    // texts by index ("-" a separator line), the menu's top-left is at (leftTwips, topTwips) in
    // screen twips and it is `widthTwips` wide. The menu becomes the active window and stays
    // open while the active window is the menu or the owner; it closes without an action as
    // soon as another window of the program or another program becomes active. An item runs
    // its action once, on the release of any mouse button over it, after the menu has closed.
    // Another handler may hide the menu directly (`hide()`); it is then cleared as soon as the
    // focus leaves the menu and its owner.
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
    std::vector<LineControl*> separator;
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
    Actions actions_;
    AdvancedLink& advanced_;
    QPointer<QWidget> owner_;
    bool watching_ = false;
};

}  // namespace zd
