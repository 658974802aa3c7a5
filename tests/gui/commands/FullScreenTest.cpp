// Full-screen mode on a 1024 x 768 screen at 15 twips per pixel: entering, the bar that comes
// with a cursor move and goes two seconds later, the low cursor and the lock that keep it, and
// leaving back to the window as it was.
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>
#include <cmath>

#include "CommandsFixture.h"
#include "controls/FlatScrollBar.h"

using namespace zd;

namespace {
constexpr double W = 15360;
constexpr double H = 11520;

double hundredths(double v) {
    return std::round(v * 100) / 100;
}
}  // namespace

class FullScreenTest : public QObject {
    Q_OBJECT

    testing::CommandsFixture f;

  private slots:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void enteringPutsTheMovieOverTheWholeScreen() {
        Form1& main = f.shownMainWindow({1500, 900, 6000, 6600});
        const TwipRect movie = twipsGeometry(main.SwFlash);
        const double seekLeft = twipsGeometry(main.Scroll).left;
        f.enterFullScreen(main);
        QCOMPARE(twipsGeometry(&main), (TwipRect{0, 0, W, H}));
        QCOMPARE(f.fake->windowSystem.requests.size(), size_t(1));
        QCOMPARE(f.fake->windowSystem.requests[0].window, static_cast<QWidget*>(&main));
        QVERIFY(f.fake->windowSystem.requests[0].on);
        QCOMPARE(twipsGeometry(main.SwFlash), (TwipRect{0, 0, W, H - H / 1125}));
        QCOMPARE(hundredths(twipsGeometry(main.SwFlash).height), 11509.76);
        QVERIFY(main.fullScreen->isFullScreen());
        for (QWidget* hidden :
             {static_cast<QWidget*>(main.Picture1), static_cast<QWidget*>(main.ImageMin),
              static_cast<QWidget*>(main.ImageMax), static_cast<QWidget*>(main.ImageClose),
              static_cast<QWidget*>(main.ImageResume)})
            QVERIFY2(hidden->isHidden(), qPrintable(hidden->objectName()));
        for (QWidget* shown : {main.ImaListBar1, main.ImaListBar2, main.ImgCapture})
            QVERIFY2(!shown->isHidden(), qPrintable(shown->objectName()));
        // The panel waits just below the movie, black under its picture.
        QCOMPARE(twipsGeometry(main.PicMove).top, H - H / 1125);
        QCOMPARE(main.PicMove->backColor(), QColor(Qt::black));
        QCOMPARE(hundredths(twipsGeometry(main.Scroll).left), 1137.78);
        QCOMPARE(twipsGeometry(main.HScroll1).top, 960.0);
        // What leaving needs, saved.
        QVERIFY(main.fullScreen->SavedWindowRect);
        QCOMPARE(main.fullScreen->SavedWindowRect->Left, 1500.0f);
        QCOMPARE(main.fullScreen->SavedWindowRect->Top, 900.0f);
        QCOMPARE(main.fullScreen->SavedWindowRect->Height, 6600.0f);
        QCOMPARE(main.fullScreen->SavedWindowRect->Width, 6000.0f);
        QCOMPARE(main.fullScreen->SavedFlashRect->Width, float(movie.width));
        QCOMPARE(*main.fullScreen->SavedScrollLeft, float(seekLeft));
        QVERIFY(f.fake->sound.played.last().endsWith(QStringLiteral("sound/menu.wav")));
        // No bar yet.
        QVERIFY(!main.Timerfull->enabled());
        QVERIFY(main.TmrIfMove2->enabled());
    }

    void theBarsButtonsKeepTheirSizesAndNoneCoversAnother_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("1024x768") << 1024 << 768;
        QTest::newRow("1920x1080") << 1920 << 1080;
    }
    void theBarsButtonsKeepTheirSizesAndNoneCoversAnother() {
        QFETCH(int, width);
        QFETCH(int, height);
        f.fake->setScreen(width, height);
        Form1& main = f.shownMainWindow();
        f.enterFullScreen(main);
        main.fullScreen->showBar();
        // On the screen, in pixels: the panel's place plus each button's place in it.
        const QRect panel = main.PicMove->geometry();
        const std::pair<QWidget*, QSize> buttons[] = {
            {main.ImageBegin, {17, 10}},  {main.Scroll, {0, 9}},       {main.ImaListBar1, {21, 22}},
            {main.ImageResume, {17, 16}}, {main.ImgCapture, {17, 16}}, {main.HScroll1, {73, 6}}};
        const QRect screen(0, 0, width, height);
        for (size_t i = 0; i < std::size(buttons); ++i) {
            const QRect place = buttons[i].first->geometry().translated(panel.topLeft());
            const QString name = buttons[i].first->objectName();
            QVERIFY2(screen.contains(place), qPrintable(name));
            if (buttons[i].second.width() > 0)
                QCOMPARE(place.size(), buttons[i].second);
            else
                QCOMPARE(place.height(), buttons[i].second.height());
            for (size_t j = i + 1; j < std::size(buttons); ++j) {
                const QRect other = buttons[j].first->geometry().translated(panel.topLeft());
                QVERIFY2(!place.intersects(other),
                         qPrintable(name + " covers " + buttons[j].first->objectName()));
            }
        }
    }

    void theModeAnnouncesEnteringTheBarTheLockAndLeaving() {
        Form1& main = f.shownMainWindow();
        FullScreenMode& mode = *main.fullScreen;
        QSignalSpy fullScreen(&mode, &FullScreenMode::fullScreenChanged);
        QSignalSpy bar(&mode, &FullScreenMode::barShownChanged);
        QSignalSpy lock(&mode, &FullScreenMode::lockChanged);
        f.enterFullScreen(main);
        QCOMPARE(fullScreen.count(), 1);
        QCOMPARE(fullScreen.last().at(0).toBool(), true);
        QCOMPARE(bar.count(), 0);  // the bar waits for the cursor
        // Three ticks of the bar's timer: it shows on the first and goes on the third.
        QCursor::setPos(500, 300);
        mode.barTimerTick();
        QCOMPARE(bar.count(), 1);
        QVERIFY(mode.barShown());
        mode.barTimerTick();
        QCOMPARE(bar.count(), 1);
        mode.barTimerTick();
        QCOMPARE(bar.count(), 2);
        QVERIFY(!mode.barShown());
        // Locked, the ticks leave the bar as it is.
        mode.showBar();
        f.click(main.ImaListBar1);
        QCOMPARE(lock.count(), 1);
        QVERIFY(mode.locked());
        for (int i = 0; i < 4; ++i)
            mode.barTimerTick();
        QVERIFY(mode.barShown());
        f.click(main.ImaListBar2);
        QCOMPARE(lock.last().at(0).toBool(), false);
        QVERIFY(!mode.locked());
        f.click(main.ImageResume);
        QCOMPARE(fullScreen.count(), 2);
        QCOMPARE(fullScreen.last().at(0).toBool(), false);
        QVERIFY(!mode.barShown());
        QVERIFY(!mode.isFullScreen());
    }

    void theBarComesWithAMoveAndGoesAboutTwoSecondsLater() {
        Form1& main = f.shownMainWindow();
        f.enterFullScreen(main, QPoint(500, 300));
        // A still cursor, across a one-second sample: no bar, even when the window system
        // reports a move where the cursor rests (as when a window appears under it).
        QMouseEvent rest(QEvent::MouseMove, QPointF(500, 300), QPointF(500, 300), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(main.windowHandle(), &rest);
        QTest::qWait(1150);
        QVERIFY(!main.Timerfull->enabled());
        QVERIFY(!f.barShown(main));
        QVERIFY(main.ImageResume->isHidden());

        QElapsedTimer clock;
        clock.start();
        QCursor::setPos(520, 310);
        QTRY_VERIFY_WITH_TIMEOUT(f.barShown(main), 500);
        QVERIFY(clock.elapsed() < 400);
        // The bar's places (children of the panel are relative to it).
        QCOMPARE(twipsGeometry(main.SwFlash).height, H * 8 / 9);
        QCOMPARE(twipsGeometry(main.PicMove).top, H / 1.1278);
        QVERIFY(twipsGeometry(main.PicMove).top < H * 8 / 9);  // a few twips under the movie
        QCOMPARE(twipsGeometry(main.Scroll).top, H / 22.5);
        QVERIFY(!main.ImageResume->isHidden());
        QCOMPARE(twipsGeometry(main.ImageResume).top, H / 22.5);
        QCOMPARE(twipsGeometry(main.ImgCapture).left, twipsGeometry(main.ImageResume).left);
        QCOMPARE(twipsGeometry(main.ImgCapture).top, H / 13);
        for (QWidget* play : {main.ImageBegin, main.ImagePause}) {
            QCOMPARE(twipsGeometry(play).top, H / 22.5);
            QCOMPARE(twipsGeometry(play).left, W / 21);
        }
        QCOMPARE(twipsGeometry(main.ImaListBar1).top, H / 22.5);
        QCOMPARE(twipsGeometry(main.ImaListBar2).top, H / 22.5);
        QVERIFY(main.imascrollbox1->isHidden());
        QVERIFY(main.imascrollbox3->isHidden());
        // The panel wears its gradient again, not plain black.
        QVERIFY(f.painted(main.PicMove, 300, 5) != QColor(Qt::black));

        QTRY_VERIFY_WITH_TIMEOUT(!f.barShown(main), 4000);
        const qint64 shownFor = clock.elapsed();
        QVERIFY2(shownFor >= 1900 && shownFor < 3500, qPrintable(QString::number(shownFor)));
        QCOMPARE(twipsGeometry(main.SwFlash), (TwipRect{0, 0, W, H - H / 1125}));
        QCOMPARE(twipsGeometry(main.PicMove).top, H - H / 1125);
        QCOMPARE(main.PicMove->backColor(), QColor(Qt::black));
        QVERIFY(main.ImageOption->isHidden());  // gone until full screen is left
        QVERIFY(!main.Timerfull->enabled());
        QCOMPARE(main.Timerfull->interval(), 10);
        QCOMPARE(main.fullScreen->HideTicks, qint16(0));
        // The cursor rests high: the bar stays away.
        QTest::qWait(300);
        QVERIFY(!f.barShown(main));
        // The next move brings it back.
        QCursor::setPos(530, 320);
        QTRY_VERIFY_WITH_TIMEOUT(f.barShown(main), 500);
    }

    void theThirdTickHidesUnlessTheCursorIsLowOrHasMoved() {
        Form1& main = f.shownMainWindow();
        f.enterFullScreen(main, QPoint(500, 300));
        // The ticks are run by hand here, with no one-second samples in between.
        main.TmrIfMove2->setEnabled(false);
        // The ticks still due up to and including the hiding one.
        auto ticksToTheHiding = [&main] {
            main.Timerfull->setEnabled(false);
            for (int i = main.fullScreen->HideTicks; i < 3; ++i)
                main.fullScreen->barTimerTick();
        };
        auto moveCursor = [](QPoint to) {
            QCursor::setPos(to);
            QCoreApplication::processEvents();
        };

        main.fullScreen->barTimerTick();
        QVERIFY(f.barShown(main));
        QCOMPARE(main.Timerfull->interval(), 1000);
        QCOMPARE(main.fullScreen->HideTicks, qint16(1));
        // A still cursor high on the screen: the third tick hides the bar for good.
        ticksToTheHiding();
        QVERIFY(!f.barShown(main));
        QVERIFY(!main.Timerfull->enabled());
        QCOMPARE(main.Timerfull->interval(), 10);
        QCOMPARE(main.fullScreen->HideTicks, qint16(0));

        // Low, 678 pixels against 11520 / 17 twips: hidden and at once shown again, counting
        // from nothing.
        moveCursor(QPoint(500, 678));
        main.fullScreen->sampleCursor();
        ticksToTheHiding();
        QVERIFY(f.barShown(main));
        QVERIFY(main.Timerfull->enabled());
        QCOMPARE(main.Timerfull->interval(), 1000);
        QCOMPARE(main.fullScreen->HideTicks, qint16(0));
        // 677 pixels is not low.
        moveCursor(QPoint(500, 677));
        main.fullScreen->sampleCursor();
        ticksToTheHiding();
        QVERIFY(!f.barShown(main));
        QVERIFY(!main.Timerfull->enabled());

        // Moved since the last sample: the hiding tick wakes the bar again at once.
        moveCursor(QPoint(520, 310));
        ticksToTheHiding();
        QVERIFY(!f.barShown(main));
        QVERIFY(main.Timerfull->enabled());
        QCOMPARE(main.Timerfull->interval(), 10);
        main.fullScreen->barTimerTick();
        QVERIFY(f.barShown(main));

        // Locked: the lock shows its other face and the ticks change nothing.
        f.click(main.ImaListBar1);
        QVERIFY(main.ImaListBar1->isHidden());
        QVERIFY(!main.ImaListBar2->isHidden());
        const qint16 ticks = main.fullScreen->HideTicks;
        for (int i = 0; i < 5; ++i)
            main.fullScreen->barTimerTick();
        QVERIFY(f.barShown(main));
        QCOMPARE(main.fullScreen->HideTicks, ticks);
        // Nor does a move over the lock restart the countdown.
        main.Timerfull->setEnabled(false);
        f.hover(main.ImaListBar2);
        QVERIFY(!main.Timerfull->enabled());
        // Unlocked: a move over the lock or the resume button starts the second again.
        f.click(main.ImaListBar2);
        QVERIFY(!main.ImaListBar1->isHidden());
        QVERIFY(main.ImaListBar2->isHidden());
        f.hover(main.ImaListBar1);
        QVERIFY(main.Timerfull->enabled());
        QCOMPARE(main.Timerfull->interval(), 1000);
        QVERIFY(main.Timerfull->remainingTime() > 900);
        main.Timerfull->setEnabled(false);
        f.hover(main.ImageResume);
        QVERIFY(main.Timerfull->enabled());
        ticksToTheHiding();
        QVERIFY(!f.barShown(main));
    }

    void aLowCursorKeepsTheBarUp() {
        Form1& main = f.shownMainWindow();
        f.enterFullScreen(main, QPoint(500, 300));
        QCursor::setPos(500, 700);
        QTRY_VERIFY_WITH_TIMEOUT(f.barShown(main), 500);
        QTest::qWait(2500);
        QVERIFY(f.barShown(main));
        QVERIFY(main.Timerfull->enabled());
    }

    void bothLockImagesShowingTheLockIsTheOneOnTop() {
        Form1& main = f.shownMainWindow();
        f.enterFullScreen(main);
        QCursor::setPos(520, 310);
        QTRY_VERIFY_WITH_TIMEOUT(f.barShown(main), 500);
        QWidget* hit = main.PicMove->childAt(main.ImaListBar2->geometry().center());
        QCOMPARE(hit, static_cast<QWidget*>(main.ImaListBar1));
    }

    void leavingRestoresTheWindowAsItWas() {
        Form1& main = f.shownMainWindow({1500, 900, 6000, 6600});
        std::vector<std::pair<QWidget*, QRect>> before;
        for (QObject* control : main.controls()) {
            if (auto* widget = qobject_cast<QWidget*>(control))
                before.emplace_back(widget, widget->geometry());
        }
        f.enterFullScreen(main);
        QCursor::setPos(520, 310);
        QTRY_VERIFY_WITH_TIMEOUT(f.barShown(main), 500);
        main.fullScreen->hideBar();  // as the third tick leaves it
        main.fullScreen->showBar();
        f.click(main.ImageResume);

        QCOMPARE(twipsGeometry(&main), (TwipRect{1500, 900, 6000, 6600}));
        // Every control where it was (the movie and the seek bar from their saved
        // single-precision values).
        for (const auto& [widget, rect] : before)
            QVERIFY2(widget->geometry() == rect, qPrintable(widget->objectName()));
        QVERIFY(!f.fake->windowSystem.requests.back().on);
        QCOMPARE(main.ImageMax->toolTip(), QStringLiteral("最大化"));
        QVERIFY(main.ImgCapture->isHidden());
        QVERIFY(main.ImageResume->isHidden());
        QVERIFY(main.ImaListBar1->isHidden());
        QVERIFY(main.ImaListBar2->isHidden());
        for (QWidget* shown :
             {static_cast<QWidget*>(main.ImageOption), static_cast<QWidget*>(main.Picture1),
              static_cast<QWidget*>(main.ImageMin), static_cast<QWidget*>(main.ImageMax),
              static_cast<QWidget*>(main.ImageClose), static_cast<QWidget*>(main.ImageOpen),
              static_cast<QWidget*>(main.ImageFullScreen),
              static_cast<QWidget*>(main.imascrollbox1), static_cast<QWidget*>(main.imascrollbox3)})
            QVERIFY2(!shown->isHidden(), qPrintable(shown->objectName()));
        QVERIFY(!main.fullScreen->isFullScreen());
        QVERIFY(!main.Timerfull->enabled());
        QCOMPARE(main.Timerfull->interval(), 10);
        // Detection stays on, but outside full screen a move wakes nothing.
        QVERIFY(main.TmrIfMove2->enabled());
        QCursor::setPos(100, 100);
        QTest::qWait(50);
        QVERIFY(!main.Timerfull->enabled());
        QCOMPARE(main.Text1->text(), QStringLiteral(" 100 100"));
    }

    void theMaximisedWindowComesBackAndKeepsItsOwnRestoreRectangle() {
        Form1& main = f.shownMainWindow({1500, 900, 6000, 6600});
        f.click(main.ImageMax);
        const TwipRect maximised = twipsGeometry(&main);
        f.enterFullScreen(main);
        f.click(main.ImageResume);
        QCOMPARE(twipsGeometry(&main), maximised);
        // The tool tip says maximise although the window is maximised; the button restores.
        QCOMPARE(main.ImageMax->toolTip(), QStringLiteral("最大化"));
        f.click(main.ImageMax);
        QCOMPARE(twipsGeometry(&main), (TwipRect{1500, 900, 6000, 6600}));
    }
};

QTEST_MAIN(FullScreenTest)
#include "FullScreenTest.moc"
