#pragma once

#include <QStringList>

class QWidget;

namespace zd {

// The three skinned popup menus as the windows that open them use them.
class MenuLink {
  public:
    enum class Menu {
        Panel,     // the main window's panel
        Floating,  // the tray icon and the floating window
        PlayList,  // the options window's play list
    };
    virtual ~MenuLink() = default;
    // Shows `menu` for the window `owner`: `items` by index ("-" a separator line), its
    // top-left at (leftTwips, topTwips) on the screen, `widthTwips` wide.
    virtual void showMenu(Menu menu, QWidget* owner, const QStringList& items, double leftTwips,
                          double topTwips, double widthTwips) = 0;
    // Hides the menu when it is loaded (it is cleared once the focus leaves it and its owner).
    virtual void hideMenu(Menu menu) = 0;
};

}  // namespace zd
