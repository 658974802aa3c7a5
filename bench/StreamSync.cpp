// Drift between a stream's sound and the frame shown. A movie of SECONDS at 24 frames a
// second streams a tone on its root (one block a frame) and moves a bar each frame; it plays
// through the sound output, and at each tick the timeline moves on as far as the sound heard
// has come (frames dropped, never slowed), then the picture is drawn, each one SLOW_MS slower
// than it takes; the next tick comes when the sound reaches the next frame. Both clocks are logged
// at each tick (LOG, when given); the largest drift is printed: where the sound stands, in frames,
// less the frame chosen, when chosen and when its picture is done. Run: build/bench/StreamSync
// [SECONDS [SLOW_MS [LOG]]] The target: the sound stays within the frame chosen (drift from 0 up to
// 1 frame).

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/audio/AudioOutput.h"
#include "engine/audio/TimelineSound.h"
#include "engine/player/MovieRunner.h"
#include "engine/render/Renderer.h"
#include "engine/render/StandardHooks.h"
#include "swfwriter/SwfWriter.h"

using namespace zd::engine;
namespace sw = zd::swfwriter;

namespace {

constexpr double kFps = 24;
constexpr int kRate = 22050;

// The movie: a bar growing across the stage, a 440 Hz tone streamed with it (uncompressed,
// 22 kHz; blocks of 918 or 919 samples, as the format asks for an uneven share).
QString writeMovie(const QString& path, int frames) {
    sw::MovieWriter movie(8, {0, 6400, 0, 4800}, kFps);
    movie.setBackgroundColor({255, 255, 255, 255});
    sw::ShapeBuilder bar;
    bar.fill1(bar.addFillStyle(sw::FillStyle::solid({20, 60, 200, 255})));
    bar.rectangle(0, 0, 6000, 600);
    const auto id = movie.defineShape(bar);
    movie.soundStreamHead({3, 2, true, false}, 919);
    std::int64_t written = 0;
    for (int f = 0; f < frames; ++f) {
        const auto due = static_cast<std::int64_t>(std::llround((f + 1) * kRate / kFps));
        sw::BitWriter block;
        for (; written < due; ++written) {
            const double v = 8000 * std::sin(2 * M_PI * 440 * double(written) / kRate);
            block.u16(static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(v))));
        }
        movie.soundStreamBlock(block.data());
        sw::PlaceObject p = sw::PlaceObject::place(1, id);
        p.move = f > 0;
        if (f > 0) {
            p.characterId.reset();
        }
        p.matrix = sw::Matrix::transform(double(f + 1) / frames, 1.0, 0, 200, 2000);
        movie.placeObject2(p);
        movie.showFrame();
    }
    movie.save(path.toStdString(), {});
    return path;
}

struct Drift {
    double atChoice = 0;
    double atPicture = 0;
    double worstChoiceLow = 1e9;
    double worstChoiceHigh = -1e9;
    double worstPictureHigh = -1e9;
    int dropped = 0;
    int ticks = 0;
};

Drift run(int frames, int slowMs, QFile* log) {
    QTemporaryDir dir;
    const QString path = writeMovie(dir.filePath("stream.swf"), frames);
    AudioOutput output;
    TimelineSound timelines(output);
    const MovieSound& sound = timelines.sound();
    MovieRunner runner;
    runner.setClockMode(MovieRunner::ClockMode::Manual);
    runner.setSoundHooks(&timelines);
    runner.setMovie(path);
    Renderer renderer(standardRenderHooks());
    QImage image(320, 240, QImage::Format_ARGB32_Premultiplied);

    Drift d;
    QElapsedTimer wall;
    wall.start();
    QEventLoop loop;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setSingleShot(true);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        // One tick of the movie: the stream's clock decides how far the root moves.
        const int before = runner.currentFrame();
        runner.stepFrame();
        const int advance = runner.currentFrame() - before;
        d.dropped += std::max(0, advance - 1);
        ++d.ticks;
        const auto chosen = sound.streamPosition(kRootTimeline);
        if (StagePlayer* display = runner.display()) {
            renderer.renderStage(image, QRectF(0, 0, 320, 240), *display, runner.stage(),
                                 runner.backgroundColor());
        }
        if (slowMs > 0) {
            QThread::msleep(static_cast<unsigned long>(slowMs));
        }
        const auto done = sound.streamPosition(kRootTimeline);
        const int frame = runner.currentFrame();
        if (chosen && done && frame < frames - 1) {
            d.worstChoiceLow = std::min(d.worstChoiceLow, *chosen - frame);
            d.worstChoiceHigh = std::max(d.worstChoiceHigh, *chosen - frame);
            d.worstPictureHigh = std::max(d.worstPictureHigh, *done - frame);
        }
        if (log != nullptr) {
            log->write(QString("%1 %2 %3 %4\n")
                           .arg(wall.elapsed())
                           .arg(frame)
                           .arg(chosen.value_or(-1), 0, 'f', 3)
                           .arg(done.value_or(-1), 0, 'f', 3)
                           .toUtf8());
        }
        if (frame >= frames - 1 || wall.elapsed() > (frames / kFps + 10) * 1000) {
            loop.quit();
        }
        // The next tick when the sound reaches the next frame (a frame interval without it).
        const auto now = sound.streamPosition(kRootTimeline);
        const double wait = now ? (std::floor(*now) + 1 - *now) * 1000 / kFps : 1000 / kFps;
        tick.start(std::max(1, static_cast<int>(std::ceil(wait))));
    });
    tick.start(0);
    loop.exec();
    if (!output.audible()) {
        std::printf("no sound output: nothing leads the frames\n");
    }
    return d;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    const int slowMs = argc > 2 ? std::max(0, std::atoi(argv[2])) : 100;
    QFile log(argc > 3 ? argv[3] : "");
    if (argc > 3 && !log.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "cannot write %s\n", argv[3]);
        return 1;
    }
    const int frames = static_cast<int>(seconds * kFps);
    for (const int slow : {0, slowMs}) {
        if (log.isOpen()) {
            log.write(QString("# slowed by %1 ms: wall_ms frame sound_at_choice sound_at_picture\n")
                          .arg(slow)
                          .toUtf8());
        }
        const Drift d = run(frames, slow, log.isOpen() ? &log : nullptr);
        std::printf(
            "picture slowed by %d ms: %d ticks, %d frames dropped; sound less frame when chosen "
            "%.3f to %.3f frames, when drawn up to %.3f\n",
            slow, d.ticks, d.dropped, d.worstChoiceLow, d.worstChoiceHigh, d.worstPictureHigh);
    }
    return 0;
}
