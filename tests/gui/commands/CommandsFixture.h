// What the window-command, full-screen and capture tests share beyond the skin tests' fixture:
// the main window shown, the screen in twips, and full screen entered with the bar brought up.
#pragma once

#include <QCursor>
#include <QtTest>

#include "../skin/SkinFixture.h"
#include "app/FlashControl.h"
#include "mainwindow/Form1.h"

namespace zd::testing {

class CommandsFixture : public SkinFixture {
  public:
    static Form1& shownMainWindow(const TwipRect& rect = {1500, 900, 6000, 6600}) {
        Form1& main = form1();
        main.showForm();
        setTwipsGeometry(&main, rect);
        return main;
    }

    static TwipRect screenRect() {
        const platform::ScreenMetrics screen = platform::screenMetrics();
        return {0, 0, screen.widthTwips(), screen.heightTwips()};
    }

    // The bar is up: the movie has made room for the panel.
    static bool barShown(const Form1& main) {
        return twipsGeometry(main.PicMove).top < twipsGeometry(main.SwFlash).height;
    }

    // Enters full screen with the cursor resting at `rest` (screen pixels), as a user who clicked
    // the button and let go of the mouse.
    void enterFullScreen(Form1& main, QPoint rest = QPoint(500, 300)) {
        QCursor::setPos(rest);
        QCoreApplication::processEvents();
        click(main.ImageFullScreen);
    }
};

}  // namespace zd::testing
