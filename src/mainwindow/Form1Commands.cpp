// The main window's commands: the title bar's buttons, dragging and double click, the options
// button, the panel menu, and the presses that hide the menu windows.
#include <QPointer>

#include "app/FlashControl.h"
#include "app/MenuItems.h"
#include "app/MenuLink.h"
#include "app/OptionsLink.h"
#include "app/ProgramActions.h"
#include "controls/ClassicEvents.h"
#include "controls/FocusWait.h"
#include "controls/MouseEventSource.h"
#include "mainwindow/Form1.h"
#include "platform/Services.h"

namespace zd {

namespace {

// A maximised window leaves this much of the screen's height free (twips).
constexpr double kMaximisedHeightGap = 380;
// The panel menu opens this far below the window's top plus the click, the panel's own top.
constexpr double kPanelMenuOffset = 360;
// In full screen the menu's top is the click's height times this.
constexpr double kFullScreenMenuFactor = 7.5;

}  // namespace

void Form1::connectCommands() {
    connect(ImageOption->events(), &MouseEventSource::click, this, &Form1::ImageOption_Click);
    connect(ImageMax->events(), &MouseEventSource::click, this, &Form1::ImageMax_Click);
    connect(ImageMin->events(), &MouseEventSource::click, this, &Form1::ImageMin_Click);
    connect(ImageClose->events(), &MouseEventSource::click, this, &Form1::ImageClose_Click);
    // Dragging by the title bar is part of Picture1_MouseMove (with the hover resets).
    connect(Picture1->events(), &MouseEventSource::mouseDown, this, &Form1::Picture1_MouseDown);
    connect(Picture1->events(), &MouseEventSource::dblClick, this, &Form1::Picture1_DblClick);
    connect(PicMove->events(), &MouseEventSource::mouseDown, this, &Form1::PicMove_MouseDown);
    connect(PicMove->events(), &MouseEventSource::mouseUp, this, &Form1::PicMove_MouseUp);
    connect(events(), &MouseEventSource::mouseDown, this, &Form1::Form_MouseDown);
}

void Form1::ImageOption_Click() {
    options_.raiseFromOptionsButton();
    platform::playAppSound(QStringLiteral("sound/menu.wav"));
}

void Form1::ImageMax_Click() {
    const platform::ScreenMetrics screen = platform::screenMetrics();
    // Maximised is only ever derived: a window exactly as wide as the screen.
    if (widthTwips() != screen.widthTwips()) {
        RestoreRect = FullScreenMode::SavedRect{
            static_cast<float>(leftTwips()), static_cast<float>(topTwips()),
            static_cast<float>(heightTwips()), static_cast<float>(widthTwips())};
        setLeftTwips(0);
        setTopTwips(0);
        setHeightTwips(screen.heightTwips() - kMaximisedHeightGap);
        setWidthTwips(screen.widthTwips());
        ImageMax->setToolTip(QStringLiteral("向下还原"));
        return;
    }
    // Made screen-wide without this button (the enlarge button), there is nothing saved to go
    // back to: the design size at the origin rather than a window of no size.
    const FullScreenMode::SavedRect restore = RestoreRect.value_or(FullScreenMode::SavedRect{
        0, 0, static_cast<float>(kDesignHeight), static_cast<float>(kDesignWidth)});
    setLeftTwips(restore.Left);
    setTopTwips(restore.Top);
    setHeightTwips(restore.Height);
    setWidthTwips(restore.Width);
    ImageMax->setToolTip(QStringLiteral("最大化"));
}

void Form1::ImageMin_Click() {
    setWindowStateValue(kMinimized);
}

void Form1::ImageClose_Click() {
    program_.quitProgram();
}

void Form1::Picture1_MouseDown() {
    menus_.hideMenu(MenuLink::Menu::Panel);
}

void Form1::Picture1_DblClick() {
    ImageMax_Click();
}

void Form1::PicMove_MouseDown() {
    menus_.hideMenu(MenuLink::Menu::Panel);
}

void Form1::Form_MouseDown() {
    menus_.hideMenu(MenuLink::Menu::Floating);
}

void Form1::PicMove_MouseUp(int button, int, double x, double y) {
    if (button != kRightButton)
        return;
    const QStringList items = menuitems::panel();
    const bool windowed = twipsGeometry(SwFlash).left != 0;
    // The menu watches the focus from its owner: the panel takes it first (away from the
    // movie, typically). The wait lets events run, which may close the window.
    QPointer<Form1> alive(this);
    WaitForFocus(PicMove);
    if (!alive)
        return;
    const double left = leftTwips() + x;
    const double top = windowed ? topTwips() + y + kPanelMenuOffset : y * kFullScreenMenuFactor;
    menus_.showMenu(MenuLink::Menu::Panel, this, items, left, top, menuitems::kMenuWidth);
    platform::playAppSound(QStringLiteral("sound/menu.wav"));
}

}  // namespace zd
