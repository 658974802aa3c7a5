// Frames per second rendering the real corpus movies: every frame of each, at its stage size
// and at 1920x1080 ("ShowAll"), by wall time on one core. Run, for example:
//   taskset -c 0 build/bench/RenderBench --benchmark_filter=1920x1080
// The target: at 1920x1080 each movie renders at least 10 times faster than its frame rate
// ("fps" at least ten times "movie_fps"). The renderer keeps rasterisations of outlines drawn
// again unchanged, as playback would: every run but the first one through the movie uses them.

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <cmath>
#include <memory>
#include <vector>

#include "engine/player/StagePlayer.h"
#include "engine/render/Renderer.h"
#include "engine/render/StandardHooks.h"
#include "engine/swf/MovieData.h"

using namespace zd::engine;

namespace {

struct BenchMovie {
    std::string name;
    std::vector<std::uint8_t> bytes;
};

// Renders every frame of the movie, in order, at the given size.
void renderAllFrames(benchmark::State& state, const BenchMovie& m, bool fullHd) {
    const auto movie = MovieData::fromBytes(m.bytes);
    const MovieHeader* h = movie->header();
    if (h == nullptr) {
        state.SkipWithError("not a loadable movie");
        return;
    }
    const QSize stage(std::max(1, int(std::lround(h->frameSize.width() / 20.0))),
                      std::max(1, int(std::lround(h->frameSize.height() / 20.0))));
    const QSize size = fullHd ? QSize(1920, 1080) : stage;
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    const QRectF target(0, 0, size.width(), size.height());
    const int frames = std::max<int>(1, h->frameCount);
    // Loading (definitions, bitmap decoding) happens once, as in the player: one warm-up run
    // through the movie, then every timed iteration renders all its frames again, looping.
    StagePlayer player(*movie);
    player.setRootLoops(true);
    Renderer renderer(standardRenderHooks());
    auto runThrough = [&] {
        for (int f = 0; f < frames; ++f) {
            renderer.renderStage(image, target, player, h->frameSize, Qt::white);
            benchmark::DoNotOptimize(image.constBits());
            player.tick();
        }
    };
    runThrough();
    std::int64_t drawn = 0;
    for (auto _ : state) {
        runThrough();
        drawn += frames;
    }
    state.counters["fps"] = benchmark::Counter(double(drawn), benchmark::Counter::kIsRate);
    state.counters["movie_fps"] = h->frameRate();
    state.counters["frames"] = frames;
    state.counters["width"] = size.width();
    state.counters["height"] = size.height();
}

std::vector<BenchMovie> loadMovies() {
    std::vector<BenchMovie> movies;
    const QString root = QStringLiteral(ZD_SHARED_DIR "/corpus/real");
    QStringList files;
    for (const QString& f : QDir(root).entryList({"*.swf"}, QDir::Files, QDir::Name)) {
        files << root + "/" + f;
    }
    for (const QString& sub : QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        for (const QString& f : QDir(root + "/" + sub).entryList({"*.swf"}, QDir::Files)) {
            files << root + "/" + sub + "/" + f;
        }
    }
    for (const QString& path : files) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            continue;
        }
        const QByteArray data = file.readAll();
        movies.push_back({QDir(root).relativeFilePath(path).toStdString(),
                          std::vector<std::uint8_t>(data.begin(), data.end())});
    }
    return movies;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);  // fonts for text
    static const std::vector<BenchMovie> movies = loadMovies();
    if (movies.empty()) {
        std::fprintf(stderr, "RenderBench: no movies in %s/corpus/real\n", ZD_SHARED_DIR);
    }
    for (const BenchMovie& m : movies) {
        benchmark::RegisterBenchmark(("stage/" + m.name).c_str(),
                                     [&m](benchmark::State& s) { renderAllFrames(s, m, false); })
            ->Unit(benchmark::kMillisecond)
            ->MinTime(1.0)
            ->UseRealTime();
        benchmark::RegisterBenchmark(("1920x1080/" + m.name).c_str(),
                                     [&m](benchmark::State& s) { renderAllFrames(s, m, true); })
            ->Unit(benchmark::kMillisecond)
            ->MinTime(1.0)
            ->UseRealTime();
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
