// Latency of a button sound: from the button's change of state (over to down) to the first
// mix holding its sound written to the sound output, with the output idle before each press
// (its thread asleep, the device corked), which is the slow case. The first press also opens
// the device. Also prints how much sound waits in the device's buffer then (heard after).
// Run: build/bench/ButtonLatency [PRESSES]

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "engine/audio/AudioOutput.h"
#include "engine/audio/MovieSound.h"
#include "engine/swf/MovieData.h"
#include "swfwriter/SwfWriter.h"

using namespace zd::engine;
namespace sw = zd::swfwriter;

namespace {

void wait(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int presses = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;

    // A button whose press plays a 50 ms click (uncompressed 44.1 kHz mono).
    sw::MovieWriter writer(8, {0, 2000, 0, 2000}, 24);
    std::vector<std::uint8_t> click(2205 * 2);
    for (std::size_t i = 0; i < click.size(); i += 2) {
        click[i + 1] = (i / 2) % 50 < 25 ? 0x20 : 0xe0;
    }
    writer.defineSound({3, 3, true, false}, 2205, click, 1);
    writer.defineButtonSound(9, {{{0, {}}, {0, {}}, {1, {}}, {0, {}}}});
    writer.showFrame();
    const auto movie = MovieData::fromBytes(writer.finish());

    AudioOutput output;
    MovieSound sound(output);
    sound.setMovie(movie.get());
    std::vector<double> latencies;
    for (int i = 0; i < presses; ++i) {
        wait(600);  // the click ends and the output goes to sleep
        if (output.active()) {
            std::printf("press %d: the output did not go idle\n", i);
        }
        QElapsedTimer t;
        t.start();
        sound.buttonTransition(9, 2);  // over, up to down
        while (!output.active() && t.nsecsElapsed() < 2'000'000'000) {
            QThread::usleep(50);
        }
        const double ms = double(t.nsecsElapsed()) / 1e6;
        wait(5);
        const double bufferedMs = double(output.queuedFrames()) * 1000.0 / Mixer::kRate;
        if (!output.audible()) {
            std::printf("no sound output: nothing to measure\n");
            return 1;
        }
        std::printf("press %d: first mix written %.3f ms after the press; %.1f ms buffered\n", i,
                    ms, bufferedMs);
        if (i > 0) {
            latencies.push_back(ms);
        }
    }
    if (!latencies.empty()) {
        std::sort(latencies.begin(), latencies.end());
        std::printf("after the first press: median %.3f ms, worst %.3f ms\n",
                    latencies[latencies.size() / 2], latencies.back());
    }
    return 0;
}
