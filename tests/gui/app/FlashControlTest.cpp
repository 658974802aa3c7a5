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

    // A movie of `frames` frames with the background (10, 128, 240).
    QString movie(int frames, double rate = 24.0) {
        swfwriter::MovieWriter w(8, {0, 4000, 0, 3000}, rate);
        w.setBackgroundColor({10, 128, 240, 255});
        for (int i = 0; i < frames; ++i) {
            w.showFrame();
        }
        const QString path = dir_.filePath(QStringLiteral("m%1-%2.swf").arg(frames).arg(rate));
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

    void paintsTheBackground() {
        FlashControl control;
        control.resize(300, 100);
        // No movie: the control's own colour (000001).
        QCOMPARE(centre(control), QColor(1, 0, 0));
        control.setBackgroundColor(-1);
        QCOMPARE(centre(control), QColor(Qt::white));

        control.setBackgroundColor(1);
        control.setMovie(movie(2));
        // The movie's colour over its ShowAll stage and the bars beside it.
        QCOMPARE(centre(control), QColor(10, 128, 240));
        QCOMPARE(corner(control), QColor(10, 128, 240));
        control.setBackgroundColor(-1);
        QCOMPARE(centre(control), QColor(Qt::white));
        QCOMPARE(corner(control), QColor(Qt::white));
    }
};

QTEST_MAIN(FlashControlTest)
#include "FlashControlTest.moc"
