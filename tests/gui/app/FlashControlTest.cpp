#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "app/FlashControl.h"
#include "swfwriter/SwfWriter.h"

using namespace zd;

class FlashControlTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir_;

    // A movie of `frames` frames with the background (10, 128, 240), or none of its own.
    QString movie(int frames, double rate = 24.0, bool ownBackground = true) {
        swfwriter::MovieWriter w(8, {0, 4000, 0, 3000}, rate);
        if (ownBackground)
            w.setBackgroundColor({10, 128, 240, 255});
        for (int i = 0; i < frames; ++i) {
            w.showFrame();
        }
        const QString path =
            dir_.filePath(QStringLiteral("m%1-%2-%3.swf").arg(frames).arg(rate).arg(ownBackground));
        w.save(path.toStdString(), {});
        return path;
    }

    static QColor centre(FlashControl& c) {
        const QImage image = c.grab().toImage();
        return image.pixelColor(image.width() / 2, image.height() / 2);
    }
    static QColor corner(FlashControl& c) { return c.grab().toImage().pixelColor(0, 0); }

  private slots:
    void readsFailWithNoMovie() {
        FlashControl control;
        QVERIFY(control.movie().isEmpty());
        QVERIFY(!control.frameNum().has_value());
        QVERIFY(!control.totalFrames().has_value());
        QVERIFY(!control.percentLoaded().has_value());
        QVERIFY(!control.setFrameNum(3));
        QVERIFY(!control.playing());
        QCOMPARE(control.backgroundColor(), 1);
        // The stop sequence with nothing loaded.
        control.setMovie(QString());
        control.setPlaying(false);
        QVERIFY(!control.frameNum().has_value());
    }

    void loadingRaisesReadyStateLater() {
        FlashControl control;
        QSignalSpy ready(&control, &FlashControl::readyStateChange);
        const QString path = movie(5);
        control.setMovie(path);
        QCOMPARE(ready.count(), 0);  // never from inside the put
        QCOMPARE(control.movie(), path);
        QTRY_VERIFY(ready.count() >= 1);
        QCOMPARE(control.totalFrames(), std::optional<qint32>(5));
        QCOMPARE(control.frameNum(), std::optional<qint32>(0));
        QCOMPARE(control.percentLoaded(), std::optional<qint32>(100));
    }

    void seekingShowsTheFrame() {
        FlashControl control;
        control.setMovie(movie(10));
        control.setPlaying(false);
        QSignalSpy shown(&control, &FlashControl::frameShown);
        QVERIFY(control.setFrameNum(7));
        QCOMPARE(control.frameNum(), std::optional<qint32>(7));
        QCOMPARE(shown.count(), 1);
        QVERIFY(!control.playing());
        QVERIFY(control.setFrameNum(500));
        QCOMPARE(control.frameNum(), std::optional<qint32>(9));
    }

    void playsToTheLastFrameAndStops() {
        FlashControl control;
        QSignalSpy shown(&control, &FlashControl::frameShown);
        control.setMovie(movie(5, 50.0));
        QVERIFY(control.playing());
        QTRY_COMPARE(control.frameNum(), std::optional<qint32>(4));
        QTRY_VERIFY(!control.playing());
        QVERIFY(shown.count() >= 5);  // the first frame and each advance
    }

    void failedLoadLeavesNoMovie() {
        FlashControl control;
        QSignalSpy ready(&control, &FlashControl::readyStateChange);
        control.setMovie(movie(3));
        control.setMovie(QStringLiteral("/no/such/movie.swf"));
        QVERIFY(control.movie().isEmpty());
        QTest::qWait(50);
        QCOMPARE(ready.count(), 0);  // nor the first movie's, which was replaced
        QVERIFY(!control.totalFrames().has_value());
        QVERIFY(!control.percentLoaded().has_value());
    }

    void minusOneShowsTheMoviesOwnBackground() {
        // -1 is the control's "no override": the movie's own colour shows, over the stage and
        // in the bands beside it; white for a movie that sets none, and while none is loaded.
        FlashControl control;
        control.resize(300, 100);
        control.setBackgroundColor(-1);
        QCOMPARE(centre(control), QColor(Qt::white));
        control.setMovie(movie(2));
        QCOMPARE(centre(control), QColor(10, 128, 240));
        QCOMPARE(corner(control), QColor(10, 128, 240));
        control.setMovie(movie(2, 24.0, false));
        QCOMPARE(centre(control), QColor(Qt::white));
        QCOMPARE(corner(control), QColor(Qt::white));
    }

    void anyOtherValueIsAColourPaintedInsteadOfTheMovies() {
        FlashControl control;
        control.resize(300, 100);
        // The control's own value, 000001: practically black.
        QCOMPARE(control.backgroundColor(), 1);
        QCOMPARE(centre(control), QColor(1, 0, 0));
        control.setMovie(movie(2));
        QCOMPARE(centre(control), QColor(1, 0, 0));
        QCOMPARE(corner(control), QColor(1, 0, 0));
        // 0x00BBGGRR: blue.
        control.setBackgroundColor(0xFF0000);
        QCOMPARE(centre(control), QColor(0, 0, 255));
        QCOMPARE(corner(control), QColor(0, 0, 255));
    }
};

QTEST_MAIN(FlashControlTest)
#include "FlashControlTest.moc"
