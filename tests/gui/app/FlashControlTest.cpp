#include <QFile>
#include <QImage>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "app/FlashControl.h"
#include "engine/audio/TimelineSound.h"
#include "engine/player/MovieRunner.h"
#include "swfwriter/ActionWriter.h"
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

    // Frames of a square moving right at 50 fps, then a hold.
    QString movingMovie(int frames) {
        swfwriter::MovieWriter w(8, {0, 4000, 0, 3000}, 50.0);
        w.setBackgroundColor({10, 128, 240, 255});
        swfwriter::ShapeBuilder box;
        box.fill0(box.addFillStyle(swfwriter::FillStyle::solid({200, 40, 40, 255})));
        box.rectangle(0, 0, 400, 400);
        const auto id = w.defineShape(box);
        for (int i = 0; i < frames; ++i) {
            w.placeObject2(i == 0 ? swfwriter::PlaceObject::place(1, id)
                                  : swfwriter::PlaceObject::modify(
                                        1, swfwriter::Matrix::translation(200 * i, 0)));
            w.showFrame();
        }
        const QString path = dir_.filePath(QStringLiteral("moving-%1.swf").arg(frames));
        w.save(path.toStdString(), {});
        return path;
    }

    // A 20-pixel square stepping 10 pixels right each frame along the top, a still 50-pixel
    // square lower right, then one frame that changes nothing.
    QString movingBesideStillMovie() {
        swfwriter::MovieWriter w(8, {0, 4000, 0, 3000}, 50.0);
        w.setBackgroundColor({10, 128, 240, 255});
        swfwriter::ShapeBuilder box;
        box.fill0(box.addFillStyle(swfwriter::FillStyle::solid({200, 40, 40, 255})));
        box.rectangle(0, 0, 400, 400);
        const auto small = w.defineShape(box);
        swfwriter::ShapeBuilder big;
        big.fill0(big.addFillStyle(swfwriter::FillStyle::solid({40, 200, 40, 255})));
        big.rectangle(0, 0, 1000, 1000);
        const auto still = w.defineShape(big);
        w.placeObject2(
            swfwriter::PlaceObject::place(2, still, swfwriter::Matrix::translation(2400, 1000)));
        w.placeObject2(swfwriter::PlaceObject::place(1, small));
        w.showFrame();
        for (int i = 1; i < 4; ++i) {
            w.placeObject2(
                swfwriter::PlaceObject::modify(1, swfwriter::Matrix::translation(200 * i, 0)));
            w.showFrame();
        }
        w.showFrame();
        const QString path = dir_.filePath(QStringLiteral("moving-beside-still.swf"));
        w.save(path.toStdString(), {});
        return path;
    }

    static QColor centre(FlashControl& c) {
        const QImage image = c.grab().toImage();
        return image.pixelColor(image.width() / 2, image.height() / 2);
    }
    static QColor corner(FlashControl& c) { return c.grab().toImage().pixelColor(0, 0); }

    // Ten frames streaming a quiet tone, each frame's block a tenth of a second.
    QString streamMovie() {
        swfwriter::MovieWriter w(8, {0, 4000, 0, 3000}, 10.0);
        w.soundStreamHead({3, 3, true, false}, 4410);
        for (int i = 0; i < 10; ++i) {
            std::vector<std::uint8_t> block(4410 * 2, 0x01);
            w.soundStreamBlock(block);
            w.showFrame();
        }
        const QString path = dir_.filePath(QStringLiteral("stream.swf"));
        w.save(path.toStdString(), {});
        return path;
    }

    // A 200 x 150 pixel stage with a clip acting as a button on its right half, which hides
    // itself when pressed.
    QString buttonMovie() {
        swfwriter::MovieWriter w(8, {0, 4000, 0, 3000}, 24.0);
        w.setBackgroundColor({10, 128, 240, 255});
        swfwriter::ShapeBuilder box;
        box.fill1(box.addFillStyle(swfwriter::FillStyle::solid({200, 40, 40, 255})));
        box.rectangle(0, 0, 2000, 3000);
        const auto shape = w.defineShape(box);
        swfwriter::Timeline inner;
        inner.placeObject2(swfwriter::PlaceObject::place(1, shape));
        inner.showFrame();
        const auto sprite = w.defineSprite(inner);
        auto place =
            swfwriter::PlaceObject::place(1, sprite, swfwriter::Matrix::translation(2000, 0));
        place.name = "clip";
        w.placeObject2(place);
        swfwriter::ActionWriter hide;
        hide.getVariable("clip").push({"_visible", false}).act(swfwriter::op::SetMember);
        swfwriter::ActionWriter a;
        a.getVariable("clip").push({"onPress"});
        a.defineFunction("", {}, hide).act(swfwriter::op::SetMember);
        w.rawTag(12, a.bytes());
        w.showFrame();
        const QString path = dir_.filePath(QStringLiteral("button.swf"));
        w.save(path.toStdString(), {});
        return path;
    }

    // A 200 x 150 pixel stage whose top half is an input field tracing "typed: " and its
    // text on every change.
    QString inputFieldMovie() {
        swfwriter::MovieWriter w(8, {0, 4000, 0, 3000}, 24.0);
        swfwriter::EditTextSpec spec;
        spec.bounds = {0, 4000, 0, 1500};
        spec.fontHeight = 400;
        spec.color = swfwriter::Rgba{0, 0, 0, 255};
        spec.text = "";
        const auto text = w.defineEditText(spec);
        auto place = swfwriter::PlaceObject::place(1, text);
        place.name = "field";
        w.placeObject2(place);
        swfwriter::ActionWriter changed;
        changed.push({"typed: "}).getVariable("field").push({"text"});
        changed.act(swfwriter::op::GetMember).act(swfwriter::op::Add2).act(swfwriter::op::Trace);
        swfwriter::ActionWriter a;
        a.getVariable("field").push({"onChanged"});
        a.defineFunction("", {}, changed).act(swfwriter::op::SetMember);
        a.act(swfwriter::op::Stop);
        w.rawTag(12, a.bytes());
        w.showFrame();
        const QString path = dir_.filePath(QStringLiteral("input-field.swf"));
        w.save(path.toStdString(), {});
        return path;
    }

    // A movie whose own menu hides the player's entries and offers "hello" (tracing "chose "
    // and its caption) and a disabled "off"; opening the menu renames "hello" to "Say hi".
    QString menuMovie() {
        namespace op = swfwriter::op;
        swfwriter::MovieWriter w(8, {0, 4000, 0, 3000}, 24.0);
        swfwriter::ActionWriter opened;
        opened.trace("opened").getVariable("menu").push({"customItems"}).act(op::GetMember);
        opened.push({0}).act(op::GetMember).push({"caption", "Say hi"}).act(op::SetMember);
        swfwriter::ActionWriter chose;
        chose.push({"chose "}).getVariable("item").push({"caption"}).act(op::GetMember);
        chose.act(op::Add2).act(op::Trace);
        swfwriter::ActionWriter a;
        a.push({"m"}).defineFunction("", {"obj", "menu"}, opened);
        a.push({1, "ContextMenu"}).act(op::NewObject).act(op::SetVariable);
        a.push({0}).getVariable("m").push({"hideBuiltInItems"}).act(op::CallMethod).act(op::Pop);
        auto addItem = [&](std::initializer_list<swfwriter::PushItem> switches, const char* name) {
            if (switches.size() > 0) {
                a.push(switches);
            }
            a.defineFunction("", {"obj", "item"}, chose);
            a.push({name, static_cast<int>(switches.size()) + 2, "ContextMenuItem"});
            a.act(op::NewObject).push({1}).getVariable("m").push({"customItems"});
            a.act(op::GetMember).push({"push"}).act(op::CallMethod).act(op::Pop);
        };
        addItem({}, "hello");
        addItem({false, true}, "off");  // enabled false, separator before
        a.getVariable("_root").push({"menu"}).getVariable("m").act(op::SetMember);
        a.act(op::Stop);
        w.rawTag(12, a.bytes());
        w.showFrame();
        const QString path = dir_.filePath(QStringLiteral("menu.swf"));
        w.save(path.toStdString(), {});
        return path;
    }

    // A movie's trace lines go to a file while this lives (read when the movie's scripts
    // start, which may be after setMovie returns).
    struct TraceFile {
        explicit TraceFile(const QString& path) : path(path) {
            qputenv("ZD_TRACE_FILE", path.toUtf8());
        }
        ~TraceFile() { qunsetenv("ZD_TRACE_FILE"); }
        QStringList lines() const { return linesOf(path); }
        QString path;
    };

    // Shows a movie in a 400 x 500 control: the stage at 400 x 300 from y = 100.
    static bool showMovie(FlashControl& control, const QString& movie) {
        control.resize(400, 500);
        control.setMovie(movie);
        control.show();
        return control.runner()->hasMovie();
    }

    static QStringList linesOf(const QString& path) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) {
            return {};
        }
        return QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }

  private slots:
    // The mouse reaches the movie through its ShowAll placement: the hand shows over what acts
    // as a button and not beside it, and a click there runs its handler.
    void theMouseReachesTheMovieThroughItsPlacement() {
        FlashControl control;
        control.resize(400, 500);  // the stage shows 400 x 300 from y = 100
        control.setBackgroundColor(FlashControl::kNoBackgroundOverride);
        control.setMovie(buttonMovie());
        QVERIFY(control.runner()->hasMovie());
        control.show();
        QCOMPARE(*control.stagePointOf(QPointF(300, 250)), QPointF(150, 75));
        QTest::mouseMove(&control, QPoint(100, 250));
        QCOMPARE(control.cursor().shape(), Qt::ArrowCursor);
        QTest::mouseMove(&control, QPoint(300, 250));
        QCOMPARE(control.cursor().shape(), Qt::PointingHandCursor);
        // Below the stage, in the band: nothing.
        QTest::mouseMove(&control, QPoint(300, 450));
        QCOMPARE(control.cursor().shape(), Qt::ArrowCursor);
        QTest::mouseClick(&control, Qt::LeftButton, {}, QPoint(300, 250));
        QCOMPARE(control.grab().toImage().pixelColor(300, 250), QColor(10, 128, 240));
        QCOMPARE(control.cursor().shape(), Qt::ArrowCursor);
    }

    // Text reaches a focused field as the desktop makes it: what a key types (an accented
    // letter after a dead key, nothing for the dead key itself) and what an input method
    // settles on; its composing text changes nothing the movie hears.
    void typedAndComposedTextReachTheFocusedField() {
        const TraceFile trace(dir_.filePath(QStringLiteral("typed.txt")));
        FlashControl control;
        QVERIFY(showMovie(control, inputFieldMovie()));
        QTest::mouseClick(&control, Qt::LeftButton, {}, QPoint(200, 150));

        QKeyEvent dead(QEvent::KeyPress, Qt::Key_Dead_Acute, {}, QString());
        QApplication::sendEvent(&control, &dead);
        QKeyEvent accented(QEvent::KeyPress, Qt::Key_E, {}, QStringLiteral("\u00e9"));
        QApplication::sendEvent(&control, &accented);
        QTRY_VERIFY(trace.lines().contains(QStringLiteral("typed: \u00e9")));

        QInputMethodEvent composing(QStringLiteral("zhong"), {});
        QApplication::sendEvent(&control, &composing);
        QInputMethodEvent settled;
        settled.setCommitString(QStringLiteral("\u4e2d"));
        QApplication::sendEvent(&control, &settled);
        QTRY_VERIFY(trace.lines().contains(QStringLiteral("typed: \u00e9\u4e2d")));
        for (const QString& line : trace.lines()) {
            QVERIFY2(!line.contains(u"zhong"), qPrintable(line));
        }
    }

    // A right click in the movie shows the menu the movie asks for once its onSelect has run:
    // its own entries (disabled ones greyed) and only the player's entries it keeps; choosing
    // an entry runs the entry's handler. Outside the stage the windows' menus answer.
    void theMovieShapesItsRightClickMenu() {
        const TraceFile trace(dir_.filePath(QStringLiteral("menu.txt")));
        FlashControl control;
        QVERIFY(showMovie(control, menuMovie()));
        QStringList shown;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY(menu != nullptr);
            for (QAction* action : menu->actions()) {
                shown << (action->isSeparator()
                              ? QStringLiteral("-")
                              : action->text() + (action->isEnabled() ? "" : "*"));
            }
            menu->actions().first()->trigger();
            menu->close();
        });
        QContextMenuEvent inside(QContextMenuEvent::Mouse, QPoint(200, 250), QPoint(200, 250));
        QApplication::sendEvent(&control, &inside);
        QCOMPARE(shown, (QStringList{"Say hi", "-", "off*", "-", "About"}));
        QTRY_COMPARE(trace.lines(), (QStringList{"opened", "chose Say hi"}));

        QContextMenuEvent below(QContextMenuEvent::Mouse, QPoint(200, 450), QPoint(200, 450));
        below.setAccepted(true);
        QApplication::sendEvent(&control, &below);
        QVERIFY(!below.isAccepted());
    }

    // The control's pause holds the sound with the picture; another movie, or none, stops
    // the last one's sound, and a movie put plays its sound at once.
    void soundFollowsPlayingAndTheMoviePut() {
        FlashControl control;
        engine::TimelineSound& sound = *control.sound();
        control.setMovie(streamMovie());
        QVERIFY(control.runner()->hasMovie());
        // The first frame runs once the movie has reported ready.
        QTRY_VERIFY(sound.sound().hasStream(engine::kRootTimeline));
        QVERIFY(!sound.held());
        control.setPlaying(false);
        QVERIFY(sound.held());
        control.setFrameNum(5);
        QVERIFY2(sound.held(), "a seek leaves a held movie held");
        control.setPlaying(true);
        QVERIFY(!sound.held());
        control.setPlaying(false);
        control.setMovie(QString());
        QVERIFY(!sound.sound().hasStream(engine::kRootTimeline));
        control.setMovie(streamMovie());
        QVERIFY(!sound.held());
        QTRY_VERIFY(sound.sound().hasStream(engine::kRootTimeline));
    }

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

    // A host starts the movie when it reports ready, as the main window does; a stop() in the
    // first frame still holds it there, because ready comes before that frame's actions.
    void aStopInTheFirstFrameOutlastsPlayOnReady() {
        swfwriter::MovieWriter w(8, {0, 4000, 0, 3000}, 50.0);
        swfwriter::ActionWriter stop;
        stop.act(swfwriter::op::Stop);
        w.rawTag(12, stop.bytes());
        for (int i = 0; i < 3; ++i) {
            w.showFrame();
        }
        const QString path = dir_.filePath(QStringLiteral("stops.swf"));
        w.save(path.toStdString(), {});
        FlashControl control;
        connect(&control, &FlashControl::readyStateChange, &control,
                [&control] { control.setPlaying(true); });
        control.setMovie(path);
        QTRY_VERIFY(!control.playing());
        QTest::qWait(200);  // ten frame intervals
        QCOMPARE(control.frameNum(), std::optional<qint32>(0));
        QVERIFY(!control.playing());
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

    // A movie that has ended or is paused, with nothing left that moves, is not drawn again
    // and runs no clock, however long it stays on screen.
    void aHeldStillMovieIsNotDrawnAgain() {
        FlashControl control;
        control.resize(200, 150);
        control.show();
        control.setMovie(movingMovie(4));
        QTRY_COMPARE(control.frameNum(), std::optional<qint32>(3));
        QTRY_VERIFY(!control.playing());
        QTRY_VERIFY(!control.runner()->isClockRunning());
        control.repaint();
        const int drawn = control.picturesDrawn();
        QVERIFY(drawn >= 2);
        QTest::qWait(300);
        control.repaint();  // shown again: the same picture
        control.resize(200, 151);
        control.repaint();  // a new size is a new picture
        QCOMPARE(control.picturesDrawn(), drawn + 1);
        QTest::qWait(200);
        control.repaint();
        QCOMPARE(control.picturesDrawn(), drawn + 1);

        // Paused half-way: the same.
        control.setMovie(movingMovie(200));
        QTRY_VERIFY(control.frameNum().value_or(0) >= 2);
        control.setPlaying(false);
        QVERIFY(!control.runner()->isClockRunning());
        control.repaint();
        const int paused = control.picturesDrawn();
        QTest::qWait(300);
        control.repaint();
        QCOMPARE(control.picturesDrawn(), paused);
        // Seeking draws the frame sought once.
        QVERIFY(control.setFrameNum(100));
        control.repaint();
        control.repaint();
        QCOMPARE(control.picturesDrawn(), paused + 1);
    }

    // Only where the moving square was and went is drawn again, to the same pixels a whole
    // redraw gives; a frame that changes nothing draws nothing.
    void onlyWhatMovedIsDrawnAgain() {
        FlashControl control;
        control.resize(200, 150);  // the stage's own size: one pixel a stage pixel
        control.show();
        QVERIFY(QTest::qWaitForWindowExposed(&control));
        control.setBackgroundColor(FlashControl::kNoBackgroundOverride);
        QSignalSpy ready(&control, &FlashControl::readyStateChange);
        control.setMovie(movingBesideStillMovie());
        control.runner()->setClockMode(engine::MovieRunner::ClockMode::Manual);
        QTRY_VERIFY(!ready.isEmpty());
        control.repaint();
        QCOMPARE(control.lastDrawnRegion(), QRegion(0, 0, 200, 150));
        const QRect still(120, 50, 50, 50);
        for (int frame = 1; frame < 4; ++frame) {
            const int drawn = control.picturesDrawn();
            control.runner()->stepFrame();
            control.repaint();
            QCOMPARE(control.picturesDrawn(), drawn + 1);
            const QRegion region = control.lastDrawnRegion();
            const QRect was(10 * (frame - 1), 0, 20, 20);
            const QRect now(10 * frame, 0, 20, 20);
            QVERIFY(region.contains(was) && region.contains(now));
            QVERIFY(!region.intersects(still));
            QVERIFY2(region.boundingRect().right() < now.right() + 4 &&
                         region.boundingRect().bottom() < now.bottom() + 4,
                     "more than the square's bounds drawn");
            const QImage partial = control.grab().toImage();
            control.setBackgroundColor(FlashControl::kNoBackgroundOverride);  // a whole redraw
            control.repaint();
            QCOMPARE(control.lastDrawnRegion(), QRegion(0, 0, 200, 150));
            QCOMPARE(control.grab().toImage(), partial);
            QCOMPARE(partial.pixelColor(now.center()), QColor(200, 40, 40));
            QCOMPARE(partial.pixelColor(was.left() + 2, 10), QColor(10, 128, 240));
            QCOMPARE(partial.pixelColor(still.center()), QColor(40, 200, 40));
        }
        const int drawn = control.picturesDrawn();
        control.runner()->stepFrame();  // the frame that changes nothing
        QCoreApplication::processEvents();
        control.repaint();
        QCOMPARE(control.picturesDrawn(), drawn);
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
