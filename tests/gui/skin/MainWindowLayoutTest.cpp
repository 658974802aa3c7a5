// The main window's proportional layout, its skin gradients, the image buttons' looks and the
// enlarge and shrink buttons, on the real window offscreen.
#include <QtTest>

#include "SkinFixture.h"
#include "app/FlashControl.h"
#include "controls/FlatScrollBar.h"
#include "controls/Slider.h"
#include "controls/xpcheckbox.h"
#include "mainwindow/Form1.h"
#include "mainwindow/LayoutRules.h"
#include "options/Dialog.h"

using namespace zd;

class MainWindowLayoutTest : public QObject {
    Q_OBJECT

    testing::SkinFixture f;

    static Form1& shownMainWindow() {
        Form1& main = form1();
        main.show();
        return main;
    }

    static TwipRect screenRect() {
        const platform::ScreenMetrics screen = platform::screenMetrics();
        return {0, 0, screen.widthTwips(), screen.heightTwips()};
    }

  private slots:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void twiceTheReferenceDoublesEveryRectangleAndFont() {
        Form1& main = shownMainWindow();
        setTwipsGeometry(&main, {0, 0, 2.0 * main.RefScaleWidth, 2.0 * main.RefScaleHeight});
        int checked = 0;
        for (QObject* control : main.controls()) {
            auto* widget = qobject_cast<QWidget*>(control);
            if (!widget)
                continue;
            const layout::LayoutTag tag = layout::parseLayoutTag(Form1::layoutTag(control));
            TwipRect expected{2 * tag.left, 2 * tag.top, 2 * tag.width, 2 * tag.height};
            if (control == main.Label1 || control == main.Label2)
                expected.height = 255;
            QCOMPARE(twipsGeometry(widget), expected);
            if (Form1::hasFont(control))
                QCOMPARE(widget->font().pointSizeF(), 2 * tag.fontSize);
            ++checked;
        }
        QCOMPARE(checked, 28);  // every control but the six timers
        QCOMPARE(main.Label1->font().pointSizeF(), 13.5);
        QCOMPARE(twipsGeometry(main.SwFlash), (TwipRect{960, 720, 9000, 9000}));
    }

    void relayoutKeepsVisibilityAndLeavesTimersAlone() {
        Form1& main = shownMainWindow();
        main.TmrIfMove2->setEnabled(true);
        setTwipsGeometry(&main, {0, 0, 7000, 6000});
        QVERIFY(main.ImageBegin->isVisible());
        QVERIFY(main.ImagePause->isHidden());
        QVERIFY(main.ImgCapture->isHidden());
        QVERIFY(main.ImaListBar2->isHidden());
        QVERIFY(main.Text3->isHidden());
        QVERIFY(main.TmrIfMove2->enabled());
        QCOMPARE(main.TmrIfMove2->interval(), 1000);
        QCOMPARE(main.TimerScroll->interval(), 10);
        // Back at the reference size every control is at its design rectangle again.
        setTwipsGeometry(&main, {0, 0, 5250, 5295});
        QCOMPARE(twipsGeometry(main.HScroll1), (TwipRect{3840, 4730, 1095, 90}));
        QCOMPARE(twipsGeometry(main.ImageClose), (TwipRect{3960, 0, 270, 270}));
    }

    void widthOnlyChangeKeepsFontsAndLabelsStay255High() {
        Form1& main = shownMainWindow();
        main.setWidthTwips(10500);
        QCOMPARE(twipsGeometry(main.Text3), (TwipRect{4080, 2880, 1230, 270}));
        QCOMPARE(main.Text3->font().pointSizeF(), 9.0);
        QCOMPARE(main.Label1->font().pointSizeF(), 6.75);
        QCOMPARE(twipsGeometry(main.Label1), (TwipRect{0, 3720, 750, 255}));
        // Taller: the labels move down but keep their height.
        main.setHeightTwips(3 * 5295);
        QCOMPARE(twipsGeometry(main.Label2), (TwipRect{0, 3 * 3960, 750, 255}));
        QCOMPARE(twipsGeometry(main.Label1).height, 255.0);
        main.setHeightTwips(2000);
        QCOMPARE(twipsGeometry(main.Label1).height, 255.0);
    }

    void aWindowOfTheScreenSizeGoesToTheOrigin() {
        Form1& main = shownMainWindow();
        setTwipsGeometry(&main, {1500, 900, 6000, 6000});
        QCOMPARE(main.pos(), QPoint(100, 60));
        // Only the width matching is not enough.
        setTwipsGeometry(&main, {1500, 900, screenRect().width, 6000});
        QCOMPARE(main.pos(), QPoint(100, 60));
        setTwipsGeometry(&main, {1500, 900, screenRect().width, screenRect().height});
        QCOMPARE(twipsGeometry(&main), screenRect());
    }

    void gradientsAreRepaintedInTheOptionsColours() {
        Form1& main = shownMainWindow();
        Dialog& options = dialog();
        options.Slider1->setValue(100);
        options.Slider2->setValue(20);
        options.Slider3->setValue(200);
        options.Check1->setValue(1);
        main.setWidthTwips(6000);
        // The painter's own result for the options' colours (slider + 50).
        auto reference = [](const PictureBox* area, bool topDown) {
            return testing::SkinFixture::gradientLike(area, 150, 70, 250, topDown);
        };
        QCOMPARE(main.Picture1->canvas(), reference(main.Picture1, true));
        QCOMPARE(main.PicMove->canvas(), reference(main.PicMove, true));
        QCOMPARE(f.painted(main.PicMove, 399, 0), QColor(150, 70, 250));
        options.Check1->setValue(0);  // now the brightest band is at the bottom
        main.setWidthTwips(6450);
        // 63 bands of 78 twips leave the top 21 twips (two pixel rows) as they were painted.
        const QImage panel = main.PicMove->canvas();
        const QRect covered(0, 2, panel.width(), panel.height() - 2);
        QCOMPARE(panel.copy(covered), reference(main.PicMove, false).copy(covered));
        QCOMPARE(f.painted(main.PicMove, 10, main.PicMove->height() - 1), QColor(150, 70, 250));
    }

    void holdingEnlargeStopsExactlyAtTheScreenSizeAtTheOrigin() {
        Form1& main = shownMainWindow();
        setTwipsGeometry(&main, {1500, 1500, 5250, 5295});
        main.imascrollbox3->setEnabled(false);
        f.press(main.imascrollbox1);
        QVERIFY(f.shows(main.imascrollbox1, 103));
        QVERIFY(main.TimerScroll->enabled());
        QTRY_VERIFY_WITH_TIMEOUT(!main.TimerScroll->enabled(), 5000);
        QCOMPARE(twipsGeometry(&main), screenRect());
        QVERIFY(main.imascrollbox3->isEnabled());
        // The whole skin followed: the movie area is at its proportional place.
        QCOMPARE(twipsGeometry(main.SwFlash).left, 480.0 * screenRect().width / 5250);
        f.release(main.imascrollbox1);
        QVERIFY(f.shows(main.imascrollbox1, 102));
        QVERIFY(!main.TimerScroll->enabled());
    }

    void releasingEnlargeStopsTheGrowth() {
        Form1& main = shownMainWindow();
        f.press(main.imascrollbox1);
        QTRY_VERIFY(main.widthTwips() >= 5250 + 2 * 450);
        f.release(main.imascrollbox1);
        const double width = main.widthTwips();
        QTest::qWait(60);
        QCOMPARE(main.widthTwips(), width);
        QVERIFY(width < screenRect().width);
        QCOMPARE(std::fmod(width - 5250, 450.0), 0.0);
    }

    void holdingShrinkSnapsTo5220By5325() {
        Form1& main = shownMainWindow();
        setTwipsGeometry(&main, {0, 0, 12000, 9000});
        main.imascrollbox1->setEnabled(false);
        f.press(main.imascrollbox3);
        QVERIFY(f.shows(main.imascrollbox3, 105));
        QTRY_VERIFY_WITH_TIMEOUT(!main.TimerScroll2->enabled(), 5000);
        QCOMPARE(main.widthTwips(), 5220.0);
        QCOMPARE(main.heightTwips(), 5325.0);
        QVERIFY(main.imascrollbox1->isEnabled());
        QCOMPARE(twipsGeometry(main.Label1).height, 255.0);
        f.release(main.imascrollbox3);
        QVERIFY(f.shows(main.imascrollbox3, 104));
    }

    void eachImageButtonSwapsItsBitmapsAsTheTableSays() {
        Form1& main = shownMainWindow();
        struct Row {
            ImageControl* image;
            int down;
            int hover;
            int up;
        };
        const Row rows[] = {
            {main.ImageMin, 120, 121, 119},      {main.ImageMax, 117, 118, 116},
            {main.ImageClose, 107, 108, 106},    {main.ImageTray, 129, 130, 128},
            {main.ImageOpen, 131, 132, 132},     {main.ImageOption, 134, 135, 0},
            {main.ImageFullScreen, 136, 137, 0}, {main.ImageResume, 136, 137, 0},
            {main.ImgCapture, 140, 141, 141},    {main.ImageBegin, 124, 0, 125},
            {main.ImagePause, 122, 0, 123},      {main.ImageStop, 126, 0, 127},
        };
        for (const Row& row : rows) {
            const QByteArray name = row.image->objectName().toLatin1();
            // A distinct starting look shows which events leave the picture unchanged.
            row.image->setPicture(res::bitmap(138));
            f.press(row.image);
            QVERIFY2(f.shows(row.image, row.down), name);
            f.hover(row.image, f.centre(row.image), Qt::LeftButton);
            QVERIFY2(f.shows(row.image, row.hover ? row.hover : row.down), name);
            f.release(row.image);
            QVERIFY2(f.shows(row.image, row.up ? row.up : row.hover ? row.hover : row.down), name);
        }
    }

    void titleButtonsResetTheirNeighboursAndTheTitleBarResetsThemAll() {
        Form1& main = shownMainWindow();
        f.hover(main.ImageMax);
        QVERIFY(f.shows(main.ImageMax, 118));
        f.hover(main.ImageMin);
        QVERIFY(f.shows(main.ImageMin, 121));
        QVERIFY(f.shows(main.ImageMax, 116));
        f.hover(main.ImageMax);
        QVERIFY(f.shows(main.ImageMin, 119));
        f.hover(main.ImageClose);
        QVERIFY(f.shows(main.ImageMax, 116));
        // The move over the button is not also a move over the title bar.
        QVERIFY(f.shows(main.ImageClose, 108));
        f.hover(main.ImageTray);
        QVERIFY(f.shows(main.ImageTray, 130));
        QVERIFY(f.shows(main.ImageClose, 108));  // the tray button resets nothing
        // From the close button onto the title bar: every title button back to normal.
        f.hover(main.Picture1, QPoint(20, 5));
        QVERIFY(f.shows(main.ImageClose, 106));
        QVERIFY(f.shows(main.ImageTray, 128));
        QVERIFY(f.shows(main.ImageMin, 119));
        QVERIFY(f.shows(main.ImageMax, 116));
    }

    void thePanelResetsItsHoverLooks() {
        Form1& main = shownMainWindow();
        for (ImageControl* image : {main.ImageOpen, main.ImageOption, main.ImageFullScreen,
                                    main.ImageResume, main.ImgCapture})
            f.hover(image);
        QVERIFY(f.shows(main.ImageOpen, 132));
        QVERIFY(f.shows(main.ImgCapture, 141));
        f.press(main.ImageBegin);
        f.hover(main.PicMove, QPoint(5, 100));
        QVERIFY(f.shows(main.ImageOpen, 131));
        QVERIFY(f.shows(main.ImageOption, 134));
        QVERIFY(f.shows(main.ImageFullScreen, 136));
        QVERIFY(f.shows(main.ImageResume, 136));
        QVERIFY(f.shows(main.ImgCapture, 140));
        QVERIFY(f.shows(main.ImageBegin, 124));  // pressed looks are not hover looks
    }

    void resumeHoverRestartsTheBarTimerOnlyWhileUnlocked() {
        Form1& main = shownMainWindow();
        main.ImageResume->show();
        f.hover(main.ImageResume);
        QVERIFY(!main.Timerfull->enabled());
        main.ImaListBar1->show();
        f.hover(main.ImageResume);
        QVERIFY(main.Timerfull->enabled());
        QVERIFY(f.shows(main.ImageResume, 137));
        main.Timerfull->setEnabled(false);
    }
};

QTEST_MAIN(MainWindowLayoutTest)
#include "MainWindowLayoutTest.moc"
