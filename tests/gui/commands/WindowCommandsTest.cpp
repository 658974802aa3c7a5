// The main window's own title bar and commands: maximise and restore, double click, dragging,
// minimise, close, and the panel menu with the presses that hide the menu windows.
#include <QtTest>

#include "CommandsFixture.h"
#include "app/MenuItems.h"
#include "app/Settings.h"
#include "controls/WindowDrag.h"
#include "options/Dialog.h"
#include "popups/Form3.h"
#include "popups/FrmHelp.h"
#include "popups/PopupMenu.h"

using namespace zd;

class WindowCommandsTest : public QObject {
    Q_OBJECT

    testing::CommandsFixture f;

    static void doubleClick(QWidget* widget, QPoint pos) {
        using F = testing::SkinFixture;
        F::mouse(widget, QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton);
        F::mouse(widget, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
        F::mouse(widget, QEvent::MouseButtonDblClick, pos, Qt::LeftButton, Qt::LeftButton);
        F::mouse(widget, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
    }

    static void rightClick(QWidget* widget, QPoint pos) {
        using F = testing::SkinFixture;
        F::mouse(widget, QEvent::MouseButtonPress, pos, Qt::RightButton, Qt::RightButton);
        F::mouse(widget, QEvent::MouseButtonRelease, pos, Qt::RightButton, Qt::NoButton);
    }

    static bool isMaximisedRect(const Form1& main) {
        const TwipRect screen = testing::CommandsFixture::screenRect();
        return twipsGeometry(&main) == TwipRect{0, 0, screen.width, screen.height - 380};
    }

  private slots:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void maximiseFillsTheWidthAndASecondClickRestoresExactly() {
        const TwipRect before{1500, 900, 6300, 5700};
        Form1& main = f.shownMainWindow(before);
        f.click(main.ImageMax);
        QVERIFY(isMaximisedRect(main));
        QCOMPARE(main.ImageMax->toolTip(), QStringLiteral("向下还原"));
        QVERIFY(f.shows(main.ImageMax, 116));  // the same face in both states
        // The skin followed the new size.
        QCOMPARE(twipsGeometry(main.SwFlash).width, 4500.0 * 15360 / 5250);
        f.click(main.ImageMax);
        QCOMPARE(twipsGeometry(&main), before);
        QCOMPARE(main.ImageMax->toolTip(), QStringLiteral("最大化"));
        QCOMPARE(twipsGeometry(main.SwFlash).width, 4500.0 * 6300 / 5250);
        // Maximising again saves the rectangle of that moment.
        setTwipsGeometry(&main, {300, 450, 7500, 6000});
        f.click(main.ImageMax);
        f.click(main.ImageMax);
        QCOMPARE(twipsGeometry(&main), (TwipRect{300, 450, 7500, 6000}));
    }

    void doubleClickOnTheTitleBarTogglesLikeTheButton() {
        const TwipRect before{750, 600, 5250, 5295};
        Form1& main = f.shownMainWindow(before);
        doubleClick(main.Picture1, QPoint(40, 8));
        QVERIFY(isMaximisedRect(main));
        QCOMPARE(main.ImageMax->toolTip(), QStringLiteral("向下还原"));
        doubleClick(main.Picture1, QPoint(40, 8));
        QCOMPARE(twipsGeometry(&main), before);
        QCOMPARE(main.ImageMax->toolTip(), QStringLiteral("最大化"));
    }

    void aScreenWideWindowWithNothingSavedRestoresTheDesignSize() {
        // Made screen-sized by the enlarge button: it counts as maximised, with nothing saved.
        Form1& main = f.shownMainWindow(f.screenRect());
        f.click(main.ImageMax);
        QCOMPARE(twipsGeometry(&main), (TwipRect{0, 0, 5250, 5295}));
        QCOMPARE(twipsGeometry(main.SwFlash), (TwipRect{480, 360, 4500, 4500}));
        // Only the width decides: a screen-wide window of any height is restored.
        setTwipsGeometry(&main, {0, 0, f.screenRect().width, 7000});
        f.click(main.ImageMax);
        QCOMPARE(twipsGeometry(&main), (TwipRect{0, 0, 5250, 5295}));
    }

    void theLeftButtonDragsTheWindowTheRightButtonDoesNot() {
        Form1& main = f.shownMainWindow({1500, 1500, 5250, 5295});
        QCOMPARE(main.pos(), QPoint(100, 100));
        // Right button held: the window stays, the title-bar faces are reset all the same.
        main.ImageClose->setPicture(res::bitmap(108));
        main.ImageMin->setPicture(res::bitmap(121));
        f.mouse(main.Picture1, QEvent::MouseButtonPress, QPoint(20, 5), Qt::RightButton,
                Qt::RightButton);
        f.hover(main.Picture1, QPoint(20, 5), Qt::RightButton);
        f.hover(main.Picture1, QPoint(60, 25), Qt::RightButton);
        QCOMPARE(main.pos(), QPoint(100, 100));
        QVERIFY(f.shows(main.ImageClose, 106));
        QVERIFY(f.shows(main.ImageMin, 119));
        f.mouse(main.Picture1, QEvent::MouseButtonRelease, QPoint(60, 25), Qt::RightButton,
                Qt::NoButton);
        // Left button held: offscreen there is no system move, so the window follows the mouse
        // until the button is released.
        f.mouse(main.Picture1, QEvent::MouseButtonPress, QPoint(20, 5), Qt::LeftButton,
                Qt::LeftButton);
        f.hover(main.Picture1, QPoint(20, 5), Qt::LeftButton);
        f.hover(main.Picture1, QPoint(60, 25), Qt::LeftButton);
        QCOMPARE(main.pos(), QPoint(140, 120));
        f.mouse(main.Picture1, QEvent::MouseButtonRelease, QPoint(20, 5), Qt::LeftButton,
                Qt::NoButton);
        f.hover(main.Picture1, QPoint(90, 5));
        QCOMPARE(main.pos(), QPoint(140, 120));
    }

    void underAWindowManagerEachPressStartsOneSystemMove() {
        // The window manager moves the window until the button is released; asked again on a
        // later move of the same press, it would keep the window on the pointer after release.
        f.fake->windowSystem.windowManager = true;
        Form1& main = f.shownMainWindow();
        Dialog& options = dialog();
        options.show();
        Form3& floating = form3();
        FrmHelp& about = frmHelp();
        about.show();
        const std::pair<QWidget*, QWidget*> parts[] = {{main.Picture1, &main},
                                                       {options.PicMove2, &options},
                                                       {floating.Image1, &floating},
                                                       {about.Pic1, &about},
                                                       {about.Picture1, &about}};
        for (const auto& [part, window] : parts) {
            std::vector<QWidget*>& moves = f.fake->windowSystem.systemMoves;
            moves.clear();
            const QPoint before = window->pos();
            for (size_t press = 1; press <= 2; ++press) {
                f.mouse(part, QEvent::MouseButtonPress, QPoint(20, 5), Qt::LeftButton,
                        Qt::LeftButton);
                for (int i = 0; i < 4; ++i)
                    f.hover(part, QPoint(21 + 5 * i, 6 + i), Qt::LeftButton);
                f.mouse(part, QEvent::MouseButtonRelease, QPoint(40, 9), Qt::LeftButton,
                        Qt::NoButton);
                f.hover(part, QPoint(80, 9));
                QCOMPARE(moves.size(), press);
                QCOMPARE(moves.back(), window);
            }
            // The window manager moves it; the window does not follow the pointer itself.
            QCOMPARE(window->pos(), before);
        }
    }

    void minimiseAndClose() {
        Form1& main = f.shownMainWindow();
        f.click(main.ImageMin);
        QCOMPARE(main.windowStateValue(), int(Form::kMinimized));
        main.setWindowStateValue(Form::kNormal);
        // Close: the whole exit routine, the counter saved on the way.
        main.Text3->setText(QStringLiteral("12"));
        f.click(main.ImageClose);
        QCOMPARE(f.processEnds, 1);
        QVERIFY(!loadedForm1());
        QVERIFY(!loadedDialog());
        QCOMPARE(settings::read(QStringLiteral("MyApp9"), QStringLiteral("Text3")),
                 QStringLiteral("12"));
    }

    void aRightClickOnThePanelOpensTheMenuUnderTheClick() {
        Form1& main = f.shownMainWindow({1500, 900, 5250, 5295});
        // A left click opens nothing and loads no menu.
        f.click(main.PicMove);
        QVERIFY(!loadedForm4());
        rightClick(main.PicMove, QPoint(50, 40));
        PopupMenuForm* menu = loadedForm4();
        QVERIFY(menu);
        QVERIFY(menu->isVisible());
        QCOMPARE(menu->owner(), static_cast<QWidget*>(&main));
        // The window's top + the click + 360: the menu opens where the panel was clicked.
        QCOMPARE(twipsGeometry(menu), (TwipRect{1500 + 750, 900 + 600 + 360, 1950, 2475}));
        const QStringList texts{"打开", "选项", "关于", "帮助", "退出"};
        for (int k = 0; k < texts.size(); ++k)
            QCOMPARE(menu->menu[2 * k]->caption(), texts[k]);
        QCOMPARE(menu->separator.size(), size_t(5));
        QCOMPARE(f.fake->sound.played.size(), 1);
        QVERIFY(f.fake->sound.played.last().endsWith(QStringLiteral("sound/menu.wav")));
        // A press on the panel hides it; so does a press on the title bar.
        f.press(main.PicMove);
        QVERIFY(menu->isHidden());
        f.release(main.PicMove);
        rightClick(main.PicMove, QPoint(10, 10));
        QVERIFY(menu->isVisible());
        f.press(main.Picture1);
        QVERIFY(menu->isHidden());
    }

    void inFullScreenTheMenuTopIsTheClickHeightTimesSevenAndAHalf() {
        Form1& main = f.shownMainWindow();
        f.enterFullScreen(main);
        rightClick(main.PicMove, QPoint(50, 12));
        PopupMenuForm* menu = loadedForm4();
        QVERIFY(menu && menu->isVisible());
        QCOMPARE(twipsGeometry(menu), (TwipRect{750, 180 * 7.5, 1950, 2475}));
    }

    void aPressOnTheWindowItselfHidesTheFloatingMenuOnly() {
        Form1& main = f.shownMainWindow();
        // Nothing loaded: nothing is loaded to be hidden.
        f.press(&main);
        f.press(main.Picture1);
        QVERIFY(!loadedForm4());
        QVERIFY(!loadedForm5());
        form5().showMenu(&main, menuitems::floating(), 0, 0, 1950);
        QVERIFY(form5().isVisible());
        f.press(main.Picture1);
        f.press(main.PicMove);
        QVERIFY(form5().isVisible());
        f.press(&main);
        QVERIFY(form5().isHidden());
        QVERIFY(!loadedForm4());
    }
};

QTEST_MAIN(WindowCommandsTest)
#include "WindowCommandsTest.moc"
