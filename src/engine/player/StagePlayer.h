#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include "engine/player/Dictionary.h"
#include "engine/player/DisplayTree.h"
#include "engine/player/FrameHooks.h"
#include "engine/swf/MovieData.h"

namespace zd::engine {

// A movie's display tree and everything that happens to it frame by frame. tick() is the
// only place a frame happens, in this order:
//   1. the frame tags of every playing timeline, the clips made last first and the root last
//      (clips placed in this tick show their first frame at once and move on from the next);
//   2. enterFrame for every clip that was there before the tick and is still there, newest
//      first;
//   3. the queued actions: DoInitAction blocks before DoAction blocks, in the order their
//      timelines ran (what they queue runs too, in the same order), with the clip events
//      they lead to: load for clips placed, unload for clips removed (a clip whose unload
//      something answers hears it among the actions, where it was removed, and stays aside,
//      hearing no enterFrame, until the next frame begins);
//   4. timers;
//   5. sound: the frames timelines showed, the sounds their frames start, timelines that
//      stopped;
//   then what was removed is let go, and changes() tells whether a redraw is due.
// Scripts and sound take part only through the hooks (ScriptHooks, SoundHooks).
class StagePlayer {
  public:
    explicit StagePlayer(const MovieData& movie, DisplayLimits limits = {});
    ~StagePlayer();
    StagePlayer(const StagePlayer&) = delete;
    StagePlayer& operator=(const StagePlayer&) = delete;

    // Where scripts and sound plug in (nullptr: none). Work queued before is handed over
    // on the next tick() or settle().
    void setScriptHooks(ScriptHooks* hooks);
    void setSoundHooks(SoundHooks* hooks) { sound_ = hooks; }
    SoundHooks* soundHooks() const { return sound_; }
    // At its last frame the root goes back to its first (else it holds and stops playing).
    void setRootLoops(bool loops) { rootLoops_ = loops; }

    // The root shows at most this many frames (the header's count, for the movie control);
    // without it, every frame the movie holds.
    void setRootFrameLimit(std::size_t frames);
    // Takes in the frames and characters that arrived since the last call. Returns whether
    // the root's first frame ran now (its work is queued).
    bool refresh();
    // Queues what the user did; the next tick (or deliverInput) hands it to the scripts.
    void postInput(InputEvent event) { input_.push(std::move(event)); }
    // Hands the queued input over now, each event followed by the actions it caused.
    void deliverInput();
    // One frame of the movie, after the input queued since the last. movieTimeMs: the movie's clock
    // for timers (negative: one frame interval after the last tick).
    void tick(double movieTimeMs = -1);
    // Hands over what was queued outside a tick (the first frame, a seek, a script run from
    // elsewhere): actions, clip events, sound; then lets removed objects go.
    void settle();
    // Shows root frame `frame` (counted from 0) as a straight run from the first frame
    // reaches it: the root and the clips on it move on frame by frame, running only their
    // display-list tags, and the actions of the frames arrived at run. Frames that have not
    // arrived are not run. Returns the frame shown.
    int gotoFrame(int frame);

    // Whether anything can change without outside help: a playing root, a playing clip of
    // more than one frame, or hooks that want ticks. When false nothing needs a clock.
    bool needsTicks() const;
    // Counts changes of the picture; unchanged means nothing needs drawing again.
    std::uint64_t changes() const { return context_.changes(); }

    // The root frame shown, -1 before the first one has arrived.
    int frame() const { return root_->timeline()->currentFrame(); }
    std::size_t framesAvailable() const;
    double movieTime() const { return movieTimeMs_; }

    // _levelN: level 0 is the root; the others exist from the first movie loaded into them
    // until unloaded (nullptr when there is none).
    DisplayObject* level(int n);
    // The level, made empty when missing (nullptr beyond the levels a movie may use).
    DisplayObject* makeLevel(int n);
    void removeLevel(int n);
    // The level an object is the top of, or -1.
    int levelOf(const DisplayObject& object) const;
    static constexpr int kMaxLevel = 16000;

    DisplayObject& root() { return *root_; }
    const DisplayObject& root() const { return *root_; }
    Timeline& rootTimeline() { return *root_->timeline(); }
    const Timeline& rootTimeline() const { return *root_->timeline(); }
    Dictionary& dictionary() { return dictionary_; }
    DisplayContext& context() { return context_; }
    std::span<const std::uint8_t> data() const { return movie_.data(); }

  private:
    // Moves one clip's timeline on. force: move even while held (a seek).
    void step(DisplayObject& clip, bool force);
    // Moves a clip's timeline on, then the clips on it (a seek).
    void advance(DisplayObject& clip, bool force);
    // Moves every playing timeline on, newest clip first (a tick).
    void advanceAll();
    std::vector<InstanceId> clipsNewestFirst();
    void runWork(bool ticking);
    void runActions();
    // Hands the warnings gathered so far to the scripts (dropped without them).
    void deliverWarnings();
    // Load and unload events for what came and went; whether any was handed over.
    bool deliverLifecycle();
    // Unload events for an object and the clips in it that have not heard theirs.
    void deliverUnload(DisplayObject& object);
    // What waited aside for its unload handlers leaves as a new frame begins.
    void dropUnloaded();
    void deliverEnterFrame();
    void deliverSound();
    bool canMove(const DisplayObject& clip) const;

    const MovieData& movie_;
    Dictionary dictionary_;
    DisplayContext context_;
    std::unique_ptr<DisplayObject> root_;
    std::map<int, std::unique_ptr<DisplayObject>> levels_;  // above 0
    ScriptHooks* scripts_ = nullptr;
    SoundHooks* sound_ = nullptr;
    bool rootLoops_ = false;
    std::size_t rootFrameLimit_ = SIZE_MAX;
    bool seeking_ = false;
    double movieTimeMs_ = 0;
    std::size_t actionsThisTick_ = 0;
    // How many constructions at the front of the queue have had their initialize event.
    std::size_t constructsInitialized_ = 0;
    InputQueue input_;
};

}  // namespace zd::engine
