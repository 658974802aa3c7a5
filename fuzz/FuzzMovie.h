#pragma once

// The work one fuzzing input gets, shared by the libFuzzer target and the unit test that
// replays its findings.

#include <cstdint>
#include <span>

namespace zd::fuzz {

// Makes the Qt application object rendering needs (fonts), once; offscreen when no platform
// is chosen.
void ensureGuiApp();

// Reads bytes as a movie (compressed ones inflated up to a small limit), decodes every
// bitmap and filter list of its root timeline, plays its sounds (event, stream, button) and
// the first frames of its videos, then runs and renders its first frames at a small size,
// seeks back and renders again, with and without antialiasing. Returns the frames rendered.
// Bytes starting as a FLV file go to runFlv instead (and count as no movie: 0).
int runMovie(std::span<const std::uint8_t> bytes);

// Reads bytes as a FLV file, growing (in a few steps) and then whole: its tags, script data,
// audio and video headers, and the pictures at several times, forwards and back. Returns the
// tags indexed.
int runFlv(std::span<const std::uint8_t> bytes);

}  // namespace zd::fuzz
