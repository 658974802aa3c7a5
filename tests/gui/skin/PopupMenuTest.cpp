// The skinned popup menus: opacity, geometry, items, highlight, commands and the focus watch,
// on the real menu windows offscreen.
#include <QElapsedTimer>
#include <QtTest>

#include "SkinFixture.h"
#include "app/FlashControl.h"
#include "app/MenuItems.h"
#include "controls/FocusWait.h"
#include "controls/Slider.h"
#include "mainwindow/Form1.h"
#include "options/Dialog.h"
#include "popups/Form2.h"
#include "popups/FrmHelp.h"
#include "popups/MenuGeometry.h"
#include "popups/PopupMenu.h"

using namespace zd;

class PopupMenuTest : public QObject {
    Q_OBJECT

    testing::SkinFixture f;

    static Form1& activeMainWindow() {
        Form1& main = form1();
        main.showForm();
        return main;
    }

    // The items the menu shows now: captions of the visible labels by index, "-" for each
    // visible separator line at its slot.
    static QStringList shownEntries(const PopupMenuForm& menu) {
        QStringList entries;
        const int slotCount = qRound((twipsGeometry(menu.Pic4).height) / menu::kSlotHeight);
        for (int k = 0; k < slotCount; ++k)
            entries << QString();
        for (size_t k = 0; k < menu.menu.size(); ++k) {
            const LabelControl* label = menu.menu[k];
            if (label && !label->isHidden() && !label->caption().isEmpty())
                entries[static_cast<int>(k)] = label->caption();
        }
        for (size_t s = 1; s < menu.separator.size(); ++s) {
            const LineControl* line = menu.separator[s];
            if (!line->isHidden())
                entries[static_cast<int>((line->Y1() - 122) / menu::kSlotHeight)] += "-";
        }
        return entries;
    }

    static int highlighted(const PopupMenuForm& menu) {
        int count = 0;
        for (const LabelControl* label : menu.menu) {
            if (label && label->opaque()) {
                if (label->foreColor() != Qt::white || label->backColor() != QColor(192, 192, 255))
                    return -1;
                ++count;
            } else if (label && label->foreColor() != Qt::black) {
                return -1;
            }
        }
        return count;
    }

  private slots:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void opacityComesFromTheAdvancedWindowOnceAtLoad() {
        f.writeSettings("[MyApp6]\nlabel1=128\n");
        QVERIFY(!loadedForm2());
        PopupMenuForm& menu = form4();
        QVERIFY(loadedForm2());  // read invisibly
        QVERIFY(!loadedForm2()->isVisible());
        QCOMPARE(qRound(menu.windowOpacity() * 255), 128);
        // A value moved but not saved counts for a menu loaded later; a loaded one keeps its own.
        form2().Slider1->setValue(40);
        form2().Slider1_Scroll();
        QCOMPARE(form2().Label1->caption(), QStringLiteral("40"));
        QCOMPARE(qRound(form5().windowOpacity() * 255), 40);
        QCOMPARE(qRound(menu.windowOpacity() * 255), 128);
        // Not a byte value: 245.
        preferences().setText(Preferences::Item::MenuOpacity, QStringLiteral("300"));
        QCOMPARE(form2().Label1->caption(), QStringLiteral("300"));
        QCOMPARE(qRound(form6().windowOpacity() * 255), 245);
    }

    void missingOpacitySettingGives245() {
        QCOMPARE(qRound(form6().windowOpacity() * 255), 245);
        QCOMPARE(form2().Label1->caption(), QStringLiteral("label1"));
    }

    void fifteenEntriesMakeA3825HighMenuWithItsStripsAndBanner() {
        Form1& main = activeMainWindow();
        PopupMenuForm& menu = form5();
        menu.showMenu(&main, menuitems::floating(), 12800, 7050, menuitems::kMenuWidth);
        QVERIFY(menu.isVisible());
        QCOMPARE(twipsGeometry(&menu), (TwipRect{12800, 7050, 1950, 3825}));
        QCOMPARE(twipsGeometry(menu.Pic3), (TwipRect{0, 3655, 1950, 170}));
        QCOMPARE(twipsGeometry(menu.Pic2), (TwipRect{0, 0, 1950, 220}));
        QCOMPARE(twipsGeometry(menu.Pic1), (TwipRect{0, 220, 300, 3375}));
        QCOMPARE(twipsGeometry(menu.Pic4), (TwipRect{300, 220, 1800, 3375}));
        QCOMPARE(shownEntries(menu), menuitems::floating());
        QCOMPARE(twipsGeometry(menu.menu[14]), (TwipRect{150, 3150, 1650, 225}));
        QCOMPARE(menu.separator.size(), size_t(8));
        QCOMPARE(menu.separator[7]->Y1(), 13 * 225 + 122.0);
        QCOMPARE(menu.separator[7]->X2(), 1800.0);
        // The banners: at 360 on this menu, at the top on the panel's, none on the list's.
        QVERIFY(menu.Label1 && menu.Label1->isVisibleTo(&menu));
        QCOMPARE(twipsGeometry(menu.Label1), (TwipRect{105, 360, 255, 2895}));
        QCOMPARE(twipsGeometry(form4().Label1).top, 0.0);
        QVERIFY(form6().Label1 == nullptr);
        QVERIFY(menu.windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(menu.windowFlags() & Qt::FramelessWindowHint);
    }

    void aLeadingSeparatorDrawsAt122AndLeavesTheFirstLabelAsItWas() {
        Form1& main = activeMainWindow();
        PopupMenuForm& menu = form4();
        menu.showMenu(&main, {"-", "a", "-"}, 0, 0, 1950);
        QCOMPARE(menu.separator[1]->Y1(), 122.0);
        QCOMPARE(menu.separator[1]->Y2(), 122.0);
        QCOMPARE(menu.separator[1]->X1(), 150.0);
        QCOMPARE(menu.separator[2]->Y1(), 2 * 225 + 122.0);
        QCOMPARE(menu.menu[0]->caption(), QString());
        QCOMPARE(menu.menu[1]->caption(), QStringLiteral("a"));
        QCOMPARE(twipsGeometry(&menu).height, 5 * 225.0);
    }

    void showingActingAndReshowingGivesExactlyTheNewEntries() {
        Form1& main = activeMainWindow();
        f.setLists({"a.swf", "b.swf"}, {"/m/a.swf", "/m/b.swf"});
        dialog().List1->setListIndex(0);
        dialog().List2->setListIndex(0);
        PopupMenuForm& menu = form6();
        menu.showMenu(&main, menuitems::playList(), 100, 100, 1950);
        f.click(menu.menu[4]);  // "文件属性"
        QCOMPARE(f.fake->shell.propertiesShown, QStringList{"/m/a.swf"});
        QVERIFY(!menu.isVisible());
        f.settle();
        menu.showMenu(&main, menuitems::playList(), 100, 100, 1950);
        f.settle();
        QCOMPARE(shownEntries(menu), menuitems::playList());
        QCOMPARE(menu.Pic4->findChildren<LabelControl*>().size(), 3);
        QCOMPARE(menu.Pic4->findChildren<LineControl*>().size(), 3);  // with element 0
    }

    void aShorterListAfterALongerOneShowsOnlyItsOwnEntries() {
        Form1& main = activeMainWindow();
        PopupMenuForm& menu = form5();
        menu.showMenu(&main, menuitems::floating(), 0, 0, 1950);
        // Shown again while open (another handler only hid it), with fewer entries.
        menu.hide();
        menu.showMenu(&main, {"x", "-", "y"}, 0, 0, 1950);
        f.settle();
        QCOMPARE(shownEntries(menu), (QStringList{"x", "-", "y"}));
        QCOMPARE(menu.Pic4->findChildren<LabelControl*>().size(), 2);
        QCOMPARE(menu.Pic4->findChildren<LineControl*>().size(), 2);
    }

    void hoveringLeavesExactlyOneItemHighlighted() {
        Form1& main = activeMainWindow();
        PopupMenuForm& menu = form4();
        menu.showMenu(&main, menuitems::panel(), 0, 0, 1950);
        QCOMPARE(highlighted(menu), 0);
        for (int k : {0, 4, 8, 2}) {
            f.hover(menu.menu[k]);
            QCOMPARE(highlighted(menu), 1);
            QVERIFY(menu.menu[k]->opaque());
        }
        // Off the items: the last one stays highlighted.
        f.hover(menu.Pic4, QPoint(2, 2));
        f.hover(menu.Pic2, QPoint(2, 2));
        QCOMPARE(highlighted(menu), 1);
        QVERIFY(menu.menu[2]->opaque());
    }

    void anyButtonReleasedOnAnItemRunsItsActionOnce() {
        Form1& main = activeMainWindow();
        f.setLists({"a.swf", "b.swf", "c.swf"}, {"/a.swf", "/b.swf", "/c.swf"});
        dialog().List1->setListIndex(1);
        dialog().List2->setListIndex(1);
        PopupMenuForm& menu = form6();
        menu.showMenu(&main, menuitems::playList(), 0, 0, 1950);
        f.click(menu.menu[2], Qt::RightButton);  // "从列表中删除"
        QCOMPARE(dialog().List1->listCount(), 2);
        QCOMPARE(dialog().List2->list(1), QStringLiteral("/c.swf"));
        QCOMPARE(f.fake->sound.played.count(f.fake->file("sound/recycle.wav")), 1);
        QVERIFY(!menu.isVisible());
        QVERIFY(!menu.isWatchingFocus());
        // Its labels are gone: later events reach nothing.
        f.settle();
        QCOMPARE(menu.menu.size(), size_t(1));

        PopupMenuForm& panel = form4();
        panel.showMenu(&main, menuitems::panel(), 0, 0, 1950);
        f.click(panel.menu[6], Qt::MiddleButton);  // "帮助"
        QCOMPARE(f.fake->shell.opened, QStringList{f.fake->file("ZephyrDeck.chm")});
        f.settle();
        QCOMPARE(f.fake->shell.opened.size(), 1);
    }

    void theFloatingMenuRunsTheWindowRoutines() {
        Form1& main = activeMainWindow();
        PopupMenuForm& menu = form5();
        menu.showMenu(&main, menuitems::floating(), 0, 0, 1950);
        f.click(menu.menu[10]);  // "关于"
        QVERIFY(loadedFrmHelp() && loadedFrmHelp()->isVisible());
        menu.showMenu(&main, menuitems::floating(), 0, 0, 1950);
        f.click(menu.menu[14]);  // "退出"
        QCOMPARE(f.processEnds, 1);
    }

    void clickingInTheOwnerKeepsTheMenuAnotherWindowClosesItWithoutAction() {
        Form1& main = activeMainWindow();
        f.setLists({"a.swf"}, {"/a.swf"});
        dialog().List1->setListIndex(0);
        dialog().List2->setListIndex(0);
        PopupMenuForm& menu = form6();
        menu.showMenu(&main, menuitems::playList(), 0, 0, 1950);
        QTRY_VERIFY(menu.isActiveWindow());
        // The owner takes the focus back: the menu stays.
        main.activateWindow();
        QTRY_VERIFY(main.isActiveWindow());
        QTest::qWait(100);
        QVERIFY(menu.isVisible());
        QVERIFY(menu.isWatchingFocus());
        // Another window of the program: the menu goes, nothing runs.
        QWidget other;
        other.setGeometry(500, 500, 50, 50);
        other.show();
        other.activateWindow();
        QTRY_VERIFY(!menu.isVisible());
        QVERIFY(!menu.isWatchingFocus());
        QCOMPARE(dialog().List1->listCount(), 1);
        QVERIFY(f.fake->shell.propertiesShown.isEmpty());
        QVERIFY(f.fake->sound.played.isEmpty());
        f.settle();
        QCOMPARE(menu.menu.size(), size_t(1));
        QCOMPARE(menu.separator.size(), size_t(1));
    }

    void leavingTheProgramClosesTheMenu() {
        Form1& main = activeMainWindow();
        PopupMenuForm& menu = form4();
        menu.showMenu(&main, menuitems::panel(), 0, 0, 1950);
        QTRY_VERIFY(menu.isActiveWindow());
        // No window of the program is active any more.
        QApplication::setActiveWindow(nullptr);
        QTRY_VERIFY(!menu.isVisible());
        QVERIFY(!menu.isWatchingFocus());
    }

    void aMenuHiddenByAnotherHandlerIsClearedOnceTheFocusLeaves() {
        Form1& main = activeMainWindow();
        PopupMenuForm& menu = form4();
        menu.showMenu(&main, menuitems::panel(), 0, 0, 1950);
        QTRY_VERIFY(menu.isActiveWindow());
        menu.hide();
        main.activateWindow();
        QTest::qWait(100);
        QVERIFY(menu.isWatchingFocus());  // the owner has the focus: still loaded
        QCOMPARE(menu.menu[8]->caption(), QStringLiteral("退出"));
        QWidget other;
        other.show();
        other.activateWindow();
        QTRY_VERIFY(!menu.isWatchingFocus());
        QCOMPARE(menu.menu[0]->caption(), QString());
        QCOMPARE(f.processEnds, 0);
    }

    void theFocusWaitGivesTheFocusOrGivesUp() {
        Form1& main = form1();
        main.show();
        QVERIFY(WaitForFocus(main.PicMove));
        QCOMPARE(QApplication::focusWidget(), main.PicMove);
        // Hidden or minimised: no wait at all.
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!WaitForFocus(main.ImgCapture));  // hidden
        main.showMinimized();
        QVERIFY(!WaitForFocus(main.PicMove));
        QVERIFY(clock.elapsed() < 100);
        // A window that never takes the focus: the wait ends after its bound.
        QWidget refusing(nullptr, Qt::Window | Qt::WindowDoesNotAcceptFocus);
        auto* field = new QWidget(&refusing);
        refusing.show();
        clock.restart();
        WaitForFocus(field, 150);
        QVERIFY(clock.elapsed() < 1000);
    }
};

QTEST_MAIN(PopupMenuTest)
#include "PopupMenuTest.moc"
