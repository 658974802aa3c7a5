// The player controller's state on its own, with a movie control, a seek bar and a timer but no
// window: what it announces as a movie is played, paused, followed to its end and stopped.
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "app/FlashControl.h"
#include "controls/FlatScrollBar.h"
#include "controls/FormTimer.h"
#include "engine/player/MovieRunner.h"
#include "mainwindow/PlaybackState.h"
#include "swfwriter/SwfWriter.h"

using namespace zd;

class PlaybackStateTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    QString movie(int frames) {
        swfwriter::MovieWriter writer(8, {0, 4000, 0, 3000}, 12.0);
        for (int i = 0; i < frames; ++i)
            writer.showFrame();
        const QString path = dir_.filePath(QStringLiteral("m%1.swf").arg(frames));
        writer.save(path.toStdString(), {});
        return path;
    }

    struct Player {
        FlashControl movie;
        controls::FlatScrollBar bar;
        FormTimer timer{1};
        PlaybackState state{movie, bar, timer};
        Player() {
            movie.runner()->setClockMode(engine::MovieRunner::ClockMode::Manual);
            bar.setMax(32767);
        }
        void load(const QString& path) {
            QSignalSpy ready(&movie, &FlashControl::readyStateChange);
            movie.setMovie(path);
            QVERIFY(ready.wait(5000) || ready.count() > 0);
        }
        void step(int frames) {
            for (int i = 0; i < frames; ++i)
                QVERIFY(movie.runner()->stepFrame());
        }
    };

    static QVariant last(const QSignalSpy& spy) { return spy.last().at(0); }

  private slots:
    void playAnnouncesThePauseLookTheCountAndFollows() {
        Player p;
        p.load(movie(20));
        QSignalSpy look(&p.state, &PlaybackState::lookChanged);
        QSignalSpy count(&p.state, &PlaybackState::countCaptionChanged);
        p.state.play();
        QCOMPARE(look.count(), 1);
        QCOMPARE(last(look).toBool(), true);
        QCOMPARE(last(count).toString(), QStringLiteral("/20帧"));
        QVERIFY(p.state.following());
        QVERIFY(p.movie.playing());
        QCOMPARE(p.bar.Max(), 20);
    }

    void eachFrameShownMovesTheCounterAndItsTips() {
        Player p;
        p.load(movie(20));
        p.state.play();
        QSignalSpy frame(&p.state, &PlaybackState::frameCaptionChanged);
        QSignalSpy frameTip(&p.state, &PlaybackState::frameTipChanged);
        QSignalSpy countTip(&p.state, &PlaybackState::countTipChanged);
        p.step(3);
        QCOMPARE(frame.count(), 3);
        QCOMPARE(last(frame).toString(), QStringLiteral("第3"));
        QCOMPARE(last(frameTip).toString(), QStringLiteral("第3帧 "));
        QCOMPARE(last(countTip).toString(), QStringLiteral("共20帧"));
        QCOMPARE(p.bar.Value(), 3);
        QCOMPARE(p.bar.toolTip(), QStringLiteral("第3/20帧"));
    }

    void theLastFrameEndsTheFollowingOnceAndLeavesTheMovieAlone() {
        Player p;
        p.load(movie(6));
        p.state.play();
        QSignalSpy end(&p.state, &PlaybackState::endOfMovie);
        QSignalSpy look(&p.state, &PlaybackState::lookChanged);
        p.step(4);
        QCOMPARE(end.count(), 0);
        p.step(1);  // frame 5 of 6: the last
        QCOMPARE(end.count(), 1);
        QCOMPARE(last(look).toBool(), false);
        QVERIFY(!p.state.following());
        QVERIFY(!p.state.playingLook());
        QCOMPARE(p.state.frameCaption(), QStringLiteral("第5"));
        // A halted controller does not follow: further ticks of the movie change nothing.
        p.movie.runner()->stepFrame();
        QCOMPARE(end.count(), 1);
    }

    void aSettledMovieLeavesTheTimerOnButQuiet() {
        Player p;
        p.load(movie(20));
        p.state.play();
        p.step(3);
        // All loaded, the thumb on the frame: nothing to put back, so no beat for a movie that
        // shows no further frame (one a script stopped), yet the controller still follows.
        QVERIFY(p.state.following());
        QVERIFY(p.timer.enabled());
        QVERIFY(p.timer.interval() >= 60 * 60 * 1000);
        // The thumb moved while no frame comes: the beat is back and puts it back.
        p.bar.setValue(9);
        QCOMPARE(p.timer.interval(), 50);
        QTRY_COMPARE(p.bar.Value(), 3);
        QVERIFY(p.timer.interval() >= 60 * 60 * 1000);
        // Paused and played again, it starts at the beat.
        p.state.pause();
        p.state.play();
        QCOMPARE(p.timer.interval(), 50);
    }

    void pauseHoldsTheFrameAndKeepsTheCounter() {
        Player p;
        p.load(movie(20));
        p.state.play();
        p.step(2);
        QSignalSpy look(&p.state, &PlaybackState::lookChanged);
        QSignalSpy frame(&p.state, &PlaybackState::frameCaptionChanged);
        p.state.pause();
        QCOMPARE(look.count(), 1);
        QCOMPARE(last(look).toBool(), false);
        QVERIFY(!p.movie.playing());
        QVERIFY(!p.state.following());
        QCOMPARE(frame.count(), 0);
        QCOMPARE(p.state.frameCaption(), QStringLiteral("第2"));
    }

    void seekingAHaltedMovieKeepsItHalted() {
        Player p;
        p.load(movie(20));
        p.state.play();
        p.state.pause();
        p.bar.setValue(9);
        p.state.seek();
        QCOMPARE(p.movie.frameNum(), std::optional<qint32>(9));
        QVERIFY(!p.movie.playing());
        p.state.play();
        p.bar.setValue(4);
        p.state.seek();
        QCOMPARE(p.movie.frameNum(), std::optional<qint32>(4));
        QVERIFY(p.movie.playing());
    }

    void stopEmptiesTheCounterAndPutsTheBarBack() {
        Player p;
        p.load(movie(20));
        p.state.play();
        p.step(7);
        QSignalSpy frame(&p.state, &PlaybackState::frameCaptionChanged);
        QSignalSpy count(&p.state, &PlaybackState::countCaptionChanged);
        p.movie.setMovie(QString());
        p.state.stop();
        QCOMPARE(last(frame).toString(), QString());
        QCOMPARE(last(count).toString(), QString());
        QCOMPARE(p.bar.Value(), 0);
        QVERIFY(!p.state.following());
        QVERIFY(!p.state.playingLook());
    }

    void followingStartsWithATickFromTheEventLoop() {
        Player p;
        p.load(movie(3));
        p.step(2);  // already on the last frame: no frame will come
        QSignalSpy end(&p.state, &PlaybackState::endOfMovie);
        p.state.follow();
        QCOMPARE(end.count(), 0);  // not inside the call
        QTRY_COMPARE(end.count(), 1);
    }
};

QTEST_MAIN(PlaybackStateTest)
#include "PlaybackStateTest.moc"
