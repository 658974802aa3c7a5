#include "FuzzMovie.h"

#include <QGuiApplication>
#include <QImage>

#include "engine/player/StagePlayer.h"
#include "engine/render/Filters.h"
#include "engine/render/Renderer.h"
#include "engine/render/StandardHooks.h"
#include "engine/swf/BitmapDecoder.h"
#include "engine/swf/ByteReader.h"
#include "engine/swf/MovieData.h"
#include "engine/swf/TagCodes.h"
#include "engine/swf/TagWalker.h"

namespace zd::fuzz {

namespace {

// Enough for the movies worth fuzzing; keeps decompression bombs cheap.
constexpr std::size_t kMaxFuzzMovieBytes = std::size_t{8} << 20;
constexpr int kFrames = 3;

void decodeDefinitions(std::span<const std::uint8_t> data, std::size_t firstTag) {
    using namespace zd::engine;
    TagWalker walker(data, firstTag);
    std::span<const std::uint8_t> tables;
    while (const auto tag = walker.next()) {
        const auto body = walker.body(*tag);
        if (tag->code == std::uint16_t(TagCode::JPEGTables)) {
            tables = body;
        }
        if (const auto def = decodeBitmapTag(tag->code, body, tables)) {
            if (!def->image.isNull()) {
                // Filters on a decoded picture: a cheap way to reach them with real pixels.
                const QImage small = def->image.width() * std::int64_t{def->image.height()} <= 4096
                                         ? def->image
                                         : def->image.copy(0, 0, 64, 64);
                applyFilters(small, {BlurFilter{3, 3, 2}, GlowFilter{}}, 1, 1);
            }
        }
        if (tag->code == std::uint16_t(TagCode::End)) {
            break;
        }
    }
}

}  // namespace

void ensureGuiApp() {
    if (QCoreApplication::instance() != nullptr) {
        return;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    static int argc = 1;
    static char name[] = "zephyrdeck-fuzz";
    static char* argv[] = {name, nullptr};
    static auto* app = new QGuiApplication(argc, argv);
    (void)app;
}

int runMovie(std::span<const std::uint8_t> bytes) {
    using namespace zd::engine;
    ensureGuiApp();
    const auto movie = MovieData::fromBytes(bytes, kMaxFuzzMovieBytes);
    const MovieHeader* header = movie->header();
    if (header == nullptr) {
        return 0;
    }
    decodeDefinitions(movie->data(), header->size);

    StagePlayer player(*movie);
    player.setRootLoops(true);
    Renderer renderer(standardRenderHooks());
    QImage image(64, 48, QImage::Format_ARGB32_Premultiplied);
    const QRectF target(0, 0, image.width(), image.height());
    int rendered = 0;
    for (int i = 0; i < kFrames; ++i) {
        renderer.renderStage(image, target, player, header->frameSize, Qt::white);
        ++rendered;
        player.tick();
    }
    // Seeking back rebuilds the state from the first frame.
    player.gotoFrame(0);
    renderer.renderStage(image, target, player, header->frameSize, Qt::white);
    return rendered + 1;
}

}  // namespace zd::fuzz
