#include "FuzzMovie.h"

#include <QGuiApplication>
#include <QImage>

#include "engine/audio/MovieSound.h"
#include "engine/audio/SoundHost.h"
#include "engine/audio/TimelineSound.h"
#include "engine/player/Dictionary.h"
#include "engine/player/StagePlayer.h"
#include "engine/render/Filters.h"
#include "engine/render/Renderer.h"
#include "engine/render/StandardHooks.h"
#include "engine/swf/BitmapDecoder.h"
#include "engine/swf/ByteReader.h"
#include "engine/swf/MovieData.h"
#include "engine/swf/TagCodes.h"
#include "engine/swf/TagWalker.h"
#include "engine/video/FlvFile.h"
#include "engine/video/FlvVideo.h"
#include "engine/video/VideoStream.h"

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

// Every sound of the movie, as its timelines and buttons would start them: each defined sound
// once, the root's frames with their stream (then a seek back), each sprite's stream, each
// button's sounds; mixed for a short while after each.
void playSounds(const engine::MovieData& movie) {
    using namespace zd::engine;
    DirectSoundHost host;
    MovieSound sound(host);
    sound.setMovie(&movie);
    const auto data = movie.data();
    constexpr std::size_t kSlice = Mixer::kRate / 10;
    TagWalker walker(data, movie.header()->size);
    TimelineId sprites = 1;
    while (const auto tag = walker.next()) {
        const auto body = walker.body(*tag);
        const auto code = static_cast<TagCode>(tag->code);
        if (code == TagCode::DefineSound && body.size() >= 2) {
            const auto id = static_cast<std::uint16_t>(body[0] | body[1] << 8);
            if (const auto decoded = sound.eventSound(id)) {
                decoded->decodeUntil(Mixer::kRate * 5);  // all of a short sound
            }
            sound.startSound(id, {});
            host.advance(kSlice);
        } else if (code == TagCode::DefineButtonSound && body.size() >= 2) {
            for (int transition = 0; transition < 4; ++transition) {
                sound.buttonTransition(static_cast<std::uint16_t>(body[0] | body[1] << 8),
                                       transition);
            }
            host.advance(kSlice);
        } else if (code == TagCode::DefineSprite && sprites < 16) {
            const SpriteDefinition sprite = indexSprite(data, tag->bodyOffset, tag->length);
            sound.timelineFrame(sprites++, sprite.frames, 0, true);
            host.advance(kSlice);
        } else if (code == TagCode::End) {
            break;
        }
    }
    sound.stopAll();
    for (int frame = 0; frame < kFrames; ++frame) {
        sound.rootFrameShown(frame);
        host.advance(kSlice);
    }
    sound.rootFrameShown(0);
    host.advance(kSlice);
}

// Every video stream's first frames, then a seek back to its first.
void playVideos(const engine::MovieData& movie) {
    using namespace zd::engine;
    VideoLibrary library;
    const auto data = movie.data();
    library.update(data, movie.header()->size, data.size());
    TagWalker walker(data, movie.header()->size);
    while (const auto tag = walker.next()) {
        if (tag->code != std::uint16_t(TagCode::DefineVideoStream)) {
            continue;
        }
        const auto def = parseDefineVideoStream(walker.body(*tag));
        const VideoStreamDefinition* stream = def ? library.stream(def->id) : nullptr;
        if (stream == nullptr) {
            continue;
        }
        VideoPlayer player(*stream);
        for (const int frame : {0, 1, 2, 0}) {
            player.frame(library, data, frame);
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

int runFlv(std::span<const std::uint8_t> bytes) {
    using namespace zd::engine;
    if (bytes.size() > kMaxFuzzMovieBytes) {
        bytes = bytes.first(kMaxFuzzMovieBytes);
    }
    FlvFile growing;
    for (std::size_t part = 1; part <= 4; ++part) {
        growing.update(bytes.first(bytes.size() * part / 4), part == 4);
    }
    FlvVideo video;
    video.setData(std::string(bytes.begin(), bytes.end()), true);
    const FlvFile& file = video.file();
    for (const FlvTag& tag : file.tags()) {
        const auto body = bytes.subspan(tag.offset, tag.size);
        if (tag.type == FlvTag::Script) {
            parseFlvScript(body);
        } else if (tag.type == FlvTag::Audio) {
            parseFlvAudio(body);
        }
    }
    // The sound as NetStream plays it: ADPCM and AAC decoded packet by packet.
    flvSoundTrack(file, bytes);
    // Forwards through the first frames, a jump to the end and back to the middle.
    const double last = file.lastTimestamp();
    for (const double t : {0.0, 40.0, 80.0, 120.0, last, last / 2, file.seekTime(last / 3)}) {
        video.setTime(t);
        video.picture();
    }
    return static_cast<int>(file.tags().size());
}

int runMovie(std::span<const std::uint8_t> bytes) {
    using namespace zd::engine;
    ensureGuiApp();
    if (bytes.size() >= 3 && bytes[0] == 'F' && bytes[1] == 'L' && bytes[2] == 'V') {
        runFlv(bytes);
        return 0;
    }
    const auto movie = MovieData::fromBytes(bytes, kMaxFuzzMovieBytes);
    const MovieHeader* header = movie->header();
    if (header == nullptr) {
        return 0;
    }
    decodeDefinitions(movie->data(), header->size);
    playSounds(*movie);
    playVideos(*movie);

    // The movie's own tick plays its sound too: every sprite's stream and the sounds its
    // frames start.
    DirectSoundHost host;
    TimelineSound timelines(host);
    timelines.movieChanged(movie.get());
    StagePlayer player(*movie);
    player.setSoundHooks(&timelines);
    player.setRootLoops(true);
    Renderer renderer(standardRenderHooks());
    QImage image(64, 48, QImage::Format_ARGB32_Premultiplied);
    const QRectF target(0, 0, image.width(), image.height());
    int rendered = 0;
    for (int i = 0; i < kFrames; ++i) {
        renderer.renderStage(image, target, player, header->frameSize, Qt::white);
        ++rendered;
        player.tick();
        host.advance(Mixer::kRate / 10);
    }
    // Seeking back rebuilds the state from the first frame; drawn again without antialiasing
    // too (the other rasterizer, lines outlined from their chords).
    player.gotoFrame(0);
    renderer.renderStage(image, target, player, header->frameSize, Qt::white);
    RenderOptions aliased;
    aliased.antialias = false;
    renderer.setOptions(aliased);
    renderer.renderStage(image, target, player, header->frameSize, Qt::white);
    return rendered + 2;
}

}  // namespace zd::fuzz
