// The player controller of the main window driven through its real widgets offscreen: play,
// pause, stop, seeking, the frame counter, the end of a movie, the ready-state and the volume.
#include <QSignalSpy>
#include <QtTest>

#include "ControllerFixture.h"
#include "controls/FlatScrollBar.h"
#include "options/Dialog.h"
#include "popups/Form3.h"

using namespace zd;

class PlayerControllerTest : public QObject {
    Q_OBJECT

    testing::ControllerFixture f;

    static engine::MovieRunner* runner() { return form1().SwFlash->runner(); }

    // Opens `path` through the file dialog and waits until the ready-state has started the
    // controller on it.
    void openAndWaitForPlay(const QString& path) {
        Form1& main = form1();
        f.fake->dialogs.openFileAnswers.push_back(path);
        main.OpenFiles();
        QTRY_VERIFY(main.TmrPlay->enabled() && !main.ImagePause->isHidden());
        QTRY_COMPARE(main.Label1->caption(), QStringLiteral("第0"));
    }

    static void stepFrames(int count) {
        for (int i = 0; i < count; ++i)
            QVERIFY(runner()->stepFrame());
    }

    // Drags the seek bar's thumb by `dx` pixels, as the user does.
    static void dragThumb(controls::FlatScrollBar* bar, int dx) {
        const QPoint grip = bar->thumbRect().center();
        QTest::mousePress(bar, Qt::LeftButton, {}, grip);
        QTest::mouseMove(bar, grip + QPoint(dx, 0));
        QTest::mouseRelease(bar, Qt::LeftButton, {}, grip + QPoint(dx, 0));
    }

  private slots:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void playWithNoMovieOpensTheDialogInstead() {
        Form1& main = f.shownMainWindow();
        QVERIFY(main.SwFlash->movie().isEmpty());
        f.click(main.ImageBegin);
        QCOMPARE(f.fake->dialogs.openFileRequests.size(), size_t(1));
        const platform::OpenFileRequest& request = f.fake->dialogs.openFileRequests[0];
        QCOMPARE(request.filters, (QStringList{QStringLiteral("Flash文件(*.swf)"),
                                               QStringLiteral("所有文件 (*.*)")}));
        QCOMPARE(request.filterIndex, 1);
        QCOMPARE(request.initialFile, QString());
        // Cancelled: still no movie, still the halted look.
        QVERIFY(main.SwFlash->movie().isEmpty());
        QVERIFY(!main.ImageBegin->isHidden());
        QVERIFY(main.ImagePause->isHidden());
        QVERIFY(!main.TmrPlay->enabled());
        QCOMPARE(main.Label1->caption(), QString());
        QCOMPARE(main.Label2->caption(), QString());
    }

    void counterFollowsEveryFrameAndTheMovieEndsOnItsLastFrame() {
        Form1& main = f.shownMainWindow();
        openAndWaitForPlay(f.movie("long.swf", 300));
        QVERIFY(main.ImageBegin->isHidden());
        QVERIFY(main.SwFlash->playing());
        QCOMPARE(main.Scroll->Max(), 300);
        QCOMPARE(main.Label2->caption(), QStringLiteral("/300帧"));

        QSignalSpy counter(main.Label1, &LabelControl::Change);
        stepFrames(12);
        QCOMPARE(counter.count(), 12);  // once for every frame shown
        QCOMPARE(main.Scroll->Value(), 12);
        QCOMPARE(main.Scroll->toolTip(), QStringLiteral("第12/300帧"));
        QCOMPARE(main.Label1->caption(), QStringLiteral("第12"));
        QCOMPARE(main.Label1->toolTip(), QStringLiteral("第12帧 "));
        QCOMPARE(main.Label2->toolTip(), QStringLiteral("共300帧"));

        stepFrames(298 - 12);
        QCOMPARE(main.Label1->caption(), QStringLiteral("第298"));
        QVERIFY(main.TmrPlay->enabled());
        QVERIFY(main.ImageBegin->isHidden());
        stepFrames(1);
        QCOMPARE(main.Label1->caption(), QStringLiteral("第299"));
        QCOMPARE(main.Scroll->Value(), 299);
        QVERIFY(!main.TmrPlay->enabled());
        QVERIFY(!main.ImageBegin->isHidden());
        QVERIFY(main.ImagePause->isHidden());
        QVERIFY(!runner()->stepFrame());  // no loop: it holds the last frame
        QCOMPARE(main.Label1->caption(), QStringLiteral("第299"));

        // Play on the last frame: the first tick finds the end again and brings the play
        // button back, though no further frame is shown.
        f.click(main.ImageBegin);
        QVERIFY(main.TmrPlay->enabled());
        QVERIFY(main.ImageBegin->isHidden());
        QCoreApplication::processEvents();  // the first tick comes at once, not a beat later
        QVERIFY(!main.TmrPlay->enabled());
        QVERIFY(!main.ImageBegin->isHidden());
        QVERIFY(main.ImagePause->isHidden());
        QCOMPARE(main.Label1->caption(), QStringLiteral("第299"));
    }

    void pauseThenSeekShowsTheNewFrameAndStaysHalted() {
        Form1& main = f.shownMainWindow();
        openAndWaitForPlay(f.movie("seek.swf", 300));
        stepFrames(20);
        f.click(main.ImagePause);
        QVERIFY(!main.ImageBegin->isHidden());
        QVERIFY(main.ImagePause->isHidden());
        QVERIFY(!main.TmrPlay->enabled());
        QVERIFY(!main.SwFlash->playing());

        dragThumb(main.Scroll, main.Scroll->trackRect().width() / 2);
        const int target = main.Scroll->Value();
        QVERIFY(target > 100 && target < 200);
        QCOMPARE(main.SwFlash->frameNum(), std::optional<qint32>(target));
        QVERIFY(!main.SwFlash->playing());
        QVERIFY(!main.TmrPlay->enabled());
        QCOMPARE(main.Label1->caption(), QStringLiteral("第20"));  // the counter keeps its text
        QVERIFY(!runner()->stepFrame());
        QCOMPARE(main.SwFlash->frameNum(), std::optional<qint32>(target));

        // Played again, it runs on from the frame it was put on.
        f.click(main.ImageBegin);
        QVERIFY(main.SwFlash->playing());
        stepFrames(1);
        QCOMPARE(main.Label1->caption(), QStringLiteral("第%1").arg(target + 1));
        QCOMPARE(main.Scroll->Value(), target + 1);
    }

    void seekWhilePlayingRunsOnAndTrackClicksAreUndoneByTheNextFrame() {
        Form1& main = f.shownMainWindow();
        openAndWaitForPlay(f.movie("running.swf", 300));
        stepFrames(5);
        dragThumb(main.Scroll, main.Scroll->trackRect().width() / 3);
        const int target = main.Scroll->Value();
        QVERIFY(target > 50);
        QCOMPARE(main.SwFlash->frameNum(), std::optional<qint32>(target));
        QVERIFY(main.SwFlash->playing());
        QVERIFY(main.TmrPlay->enabled());
        QCOMPARE(main.Label1->caption(), QStringLiteral("第%1").arg(target));
        stepFrames(1);
        QCOMPARE(main.Label1->caption(), QStringLiteral("第%1").arg(target + 1));

        // A click on the track only moves the thumb; the movie is not moved, and the next
        // frame puts the thumb back on it.
        const QRect track = main.Scroll->trackRect();
        QTest::mouseClick(main.Scroll, Qt::LeftButton, {}, QPoint(track.right() - 2, 4));
        QVERIFY(main.Scroll->Value() != target + 1);
        QCOMPARE(main.SwFlash->frameNum(), std::optional<qint32>(target + 1));
        stepFrames(1);
        QCOMPARE(main.Scroll->Value(), target + 2);
    }

    void stopEmptiesEverythingAndPlayThenOpensTheDialog() {
        Form1& main = f.shownMainWindow();
        const QString path = f.movie("stop.swf", 50);
        openAndWaitForPlay(path);
        stepFrames(7);
        dialog().TxtURL->setText(QStringLiteral("http://example.org/a.swf"));
        f.click(main.ImageStop);
        QVERIFY(main.SwFlash->movie().isEmpty());
        QVERIFY(!main.SwFlash->playing());
        QCOMPARE(dialog().TxtURL->text(), QString());
        QCOMPARE(main.Label1->caption(), QString());
        QCOMPARE(main.Label2->caption(), QString());
        QVERIFY(!main.TmrPlay->enabled());
        QCOMPARE(main.Scroll->Value(), 0);
        QVERIFY(!main.ImageBegin->isHidden());
        QVERIFY(main.ImagePause->isHidden());
        // The turn of TmrPlay that clearing the counter caused must not tick after the stop.
        QTest::qWait(20);
        QVERIFY(!main.TmrPlay->enabled());
        QCOMPARE(main.Label1->caption(), QString());

        const size_t asked = f.fake->dialogs.openFileRequests.size();
        f.click(main.ImageBegin);
        QCOMPARE(f.fake->dialogs.openFileRequests.size(), asked + 1);
        QCOMPARE(f.fake->dialogs.openFileRequests.back().initialFile, path);
        QVERIFY(main.SwFlash->movie().isEmpty());
    }

    void aNewMovieWhileOnePlaysRestartsTheController() {
        Form1& main = f.shownMainWindow();
        openAndWaitForPlay(f.movie("first.swf", 300));
        stepFrames(50);
        QCOMPARE(main.Label1->caption(), QStringLiteral("第50"));

        const QString second = f.movie("second.swf", 20);
        f.fake->dialogs.openFileAnswers.push_back(second);
        main.OpenFiles();
        // The dialog leaves the halted look until the new movie reports ready.
        QVERIFY(!main.ImageBegin->isHidden());
        QVERIFY(main.ImagePause->isHidden());
        QTRY_COMPARE(main.Label1->caption(), QStringLiteral("第0"));
        QCOMPARE(main.SwFlash->movie(), second);
        QCOMPARE(main.Scroll->Max(), 20);
        QCOMPARE(main.Scroll->Value(), 0);
        QCOMPARE(main.Label2->caption(), QStringLiteral("/20帧"));
        QVERIFY(main.TmrPlay->enabled());
        QVERIFY(main.ImageBegin->isHidden());
        stepFrames(19);
        QCOMPARE(main.Label1->caption(), QStringLiteral("第19"));
        QVERIFY(!main.TmrPlay->enabled());
        QVERIFY(!main.ImageBegin->isHidden());

        // A file dropped on the panel restarts it the same way.
        const QString third = f.movie("third.swf", 40);
        main.obj_GetFileName(third);
        QTRY_COMPARE(main.Label2->caption(), QStringLiteral("/40帧"));
        QVERIFY(main.TmrPlay->enabled());
        QVERIFY(main.ImageBegin->isHidden());
        QCOMPARE(main.Label1->caption(), QStringLiteral("第0"));
    }

    void readyMovieBringsBackAHiddenOrMinimisedMainWindow() {
        Form1& main = f.shownMainWindow();
        main.hide();
        Form3& floating = form3();
        floating.show();
        main.SwFlash->setMovie(f.movie("back.swf", 10));
        QTRY_VERIFY(main.isVisible());
        QVERIFY(floating.isHidden());
        QCOMPARE(main.windowStateValue(), int(Form::kNormal));
        QTRY_VERIFY(main.TmrPlay->enabled());

        main.setWindowStateValue(Form::kMinimized);
        QCOMPARE(main.windowStateValue(), int(Form::kMinimized));
        main.SwFlash->setMovie(f.movie("again.swf", 10));
        QTRY_COMPARE(main.windowStateValue(), int(Form::kNormal));
        QVERIFY(main.isVisible());
    }

    void readyWithoutFloatingWindowDoesNotLoadIt() {
        Form1& main = f.shownMainWindow();
        main.SwFlash->setMovie(f.movie("plain.swf", 10));
        QTRY_VERIFY(main.TmrPlay->enabled());
        QVERIFY(loadedForm3() == nullptr);
    }

    void framesBeyondSixteenBitsLeaveTheBarWhereItWasAndNothingStops() {
        Form1& main = f.shownMainWindow();
        const int barMax = main.Scroll->Max();
        openAndWaitForPlay(f.movie("huge.swf", 2, 40000));
        QCOMPARE(main.SwFlash->totalFrames(), std::optional<qint32>(40000));
        QCOMPARE(main.Scroll->Max(), barMax);  // 40000 does not fit: refused
        QCOMPARE(main.Label2->caption(), QStringLiteral("/40000帧"));

        QVERIFY(runner()->gotoFrame(32766));
        QCOMPARE(main.Scroll->Value(), 32766);
        stepFrames(1);
        QCOMPARE(main.Scroll->Value(), 32767);
        stepFrames(1);
        QCOMPARE(main.Scroll->Value(), 32767);  // frame 32768 is refused by the bar
        QCOMPARE(main.Label1->caption(), QStringLiteral("第32768"));
        QCOMPARE(main.Scroll->toolTip(), QStringLiteral("第32768/40000帧"));
        QVERIFY(main.TmrPlay->enabled());
        QVERIFY(main.SwFlash->playing());
        QVERIFY(main.ImageBegin->isHidden());

        // Even the movie's last frame no longer ends the controller: the end test compares
        // with the last value that fitted.
        QVERIFY(runner()->gotoFrame(39999));
        QCOMPARE(main.Label1->caption(), QStringLiteral("第39999"));
        QCOMPARE(main.Scroll->Value(), 32767);
        QVERIFY(main.TmrPlay->enabled());
        QVERIFY(main.ImageBegin->isHidden());
    }

    void tickWithNoMovieLeavesBarAndCounterAsTheyWere() {
        Form1& main = f.shownMainWindow();
        openAndWaitForPlay(f.movie("nine.swf", 9));
        stepFrames(5);
        QCOMPARE(main.Label1->caption(), QStringLiteral("第5"));
        // The movie goes without the stop button (another window emptied the control).
        main.SwFlash->setMovie(QString());
        QVERIFY(main.TmrPlay->enabled());
        main.playback->tick();
        QCOMPARE(main.Scroll->Value(), 5);
        QCOMPARE(main.Scroll->toolTip(), QStringLiteral("第5/9帧"));
        QCOMPARE(main.Label1->caption(), QStringLiteral("第5"));
        QCOMPARE(main.Label1->toolTip(), QStringLiteral("第5帧 "));
        QCOMPARE(main.Label2->caption(), QStringLiteral("/9帧"));
        QCOMPARE(main.Label2->toolTip(), QStringLiteral("共9帧"));
        QVERIFY(main.TmrPlay->enabled());
    }

    void counterCaptionChangesTurnThePlayTimerOn() {
        Form1& main = f.shownMainWindow();
        QSignalSpy changes(main.Label1, &LabelControl::Change);
        QVERIFY(!main.TmrPlay->enabled());
        main.Label1->setCaption(QString());  // no change, no notification
        QCOMPARE(changes.count(), 0);
        QVERIFY(!main.TmrPlay->enabled());
        main.Label1->setCaption(QStringLiteral("第1"));
        QCOMPARE(changes.count(), 1);
        QVERIFY(main.TmrPlay->enabled());
        main.Label1->setText(QStringLiteral("第2"));  // the plain label call stays quiet
        QCOMPARE(changes.count(), 1);
    }

    void volumeBarHandsTwiceItsValueToTheSpeaker() {
        f.fake->mixer.speaker = platform::VolumeRange{0, 20000};
        Form1& main = f.shownMainWindow();
        QCOMPARE(main.HScroll1->Max(), 10000);
        QVERIFY(main.HScroll1->setValue(1234));
        QCOMPARE(f.fake->mixer.speakerWrites.back(), 2468L);
        const size_t before = f.fake->mixer.speakerWrites.size();
        dragThumb(main.HScroll1, -main.HScroll1->trackRect().width());
        QCOMPARE(main.HScroll1->Value(), 0);
        QVERIFY(f.fake->mixer.speakerWrites.size() > before);
        QCOMPARE(f.fake->mixer.speakerWrites.back(), 0L);
    }

    void volumeBarWithoutMixerChangesNoDevice() {
        f.fake->mixer.openError = 1;
        Form1& main = f.shownMainWindow();
        QVERIFY(main.HScroll1->setValue(20));
        QVERIFY(f.fake->mixer.speakerWrites.empty());
    }
};

QTEST_MAIN(PlayerControllerTest)
#include "PlayerControllerTest.moc"
