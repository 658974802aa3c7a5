#pragma once

#include <memory>

#include "engine/player/Dictionary.h"
#include "engine/player/DisplayTree.h"
#include "engine/swf/MovieData.h"

namespace zd::engine {

// The display state of a movie's root timeline and everything on it, kept in step with the
// frame shown. Seeking rebuilds exactly what a straight run from the first frame reaches.
class StagePlayer {
  public:
    explicit StagePlayer(const MovieData& movie, DisplayLimits limits = {});
    ~StagePlayer();
    StagePlayer(const StagePlayer&) = delete;
    StagePlayer& operator=(const StagePlayer&) = delete;

    // Takes in the frames and characters that arrived since the last call.
    void refresh();
    // Shows root frame `frame` (counted from 0), as a straight run reaches it; frames that
    // have not arrived are not run. Returns the frame shown.
    int gotoFrame(int frame);
    // One clock tick: sprites play on and the root shows its next frame; at its end the root
    // holds, or loops back when loop is set.
    void tick(bool loop);
    // One clock tick with the root held: only the sprites on it play on.
    void tickHeld();
    // The root frame shown, -1 before the first one has arrived.
    int frame() const { return root_ ? root_->currentFrame() : -1; }
    std::size_t framesAvailable() const;

    const Timeline& root() const { return *root_; }
    Dictionary& dictionary() { return dictionary_; }
    DisplayContext& context() { return context_; }
    std::span<const std::uint8_t> data() const { return movie_.data(); }

  private:
    void rebuild();

    const MovieData& movie_;
    Dictionary dictionary_;
    DisplayContext context_;
    std::unique_ptr<Timeline> root_;
};

}  // namespace zd::engine
