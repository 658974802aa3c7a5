#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "swfwriter/SwfWriter.h"

namespace zd::test {

using Bytes = swfwriter::Bytes;

// The event loop some tests need (network, queued signals); made once, kept for the run.
void ensureApp();
// Runs the event loop until pred holds or timeoutMs passes; returns pred().
bool waitUntil(const std::function<bool()>& pred, int timeoutMs = 5000);
// Lets queued signals arrive.
void processEvents(int ms = 20);

inline std::span<const std::uint8_t> span(const Bytes& b) {
    return b;
}
inline QByteArray toQByteArray(const Bytes& b) {
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}
// Writes bytes to a new file in a folder kept for the run; returns its path.
QString writeTempFile(const Bytes& bytes, const QString& name);

struct MovieSpec {
    int frames = 3;
    std::uint8_t version = 10;
    swfwriter::Rect stage{0, 11000, 0, 8000};
    double frameRate = 24.0;
    std::optional<swfwriter::Rgba> background = swfwriter::Rgba{0x10, 0x80, 0xf0, 255};
    // Bytes of an unknown tag written in every frame, to make a movie of some size.
    std::size_t paddingPerFrame = 0;
    bool noisyPadding = false;  // padding that does not compress
    int spriteFrames = 4;       // of the sprite on the stage (1: a still one)
};

// A small movie: a background colour, a shape, a sprite, `frames` root frames with motion.
swfwriter::MovieWriter makeMovie(const MovieSpec& spec);
Bytes movieBytes(const MovieSpec& spec, swfwriter::Compression c = swfwriter::Compression::None);

// The shared corpus of real movies, or empty when it is absent.
QString corpusDir();

}  // namespace zd::test
