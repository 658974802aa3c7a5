#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "engine/player/InputEvents.h"
#include "engine/swf/DisplayTags.h"
#include "engine/swf/TimelineIndex.h"

namespace zd::engine {

class DisplayObject;
class MovieData;

// Identity of a display object: never reused while the movie plays, so a stale id finds
// nothing rather than another object. 0 names nothing.
using InstanceId = std::uint64_t;
inline constexpr InstanceId kNoInstance = 0;

// Bytes of the movie's uncompressed data, as offsets (the data may move as it grows).
struct ByteRange {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t size() const { return end > begin ? end - begin : 0; }
    bool operator==(const ByteRange&) const = default;
};

// A block of actions a frame queued: DoInitAction blocks run before DoAction blocks. A clip
// made by a frame queues its construction (no code) to run between the two, after the frame's
// init blocks (which may register its class) and before the actions of the frame that placed
// it: the clips waiting to be constructed all hear initialize first, then each in turn is
// constructed; its load event (no code) queues among the frame blocks where the tag placed it,
// before the blocks of its own first frame. A clip removed while something in it answers unload
// queues its unload events (no code) among the frame blocks, where the removal happened.
struct QueuedAction {
    enum class Kind : std::uint8_t { Init, Frame, Construct, Load, Unload };
    Kind kind = Kind::Frame;
    // The clip whose timeline holds the tag (for Init: the timeline that reached it; for
    // Construct: the new clip).
    InstanceId target = kNoInstance;
    // Init only: the sprite the actions initialise.
    std::uint16_t spriteId = 0;
    ByteRange code;  // the action records, as the tag holds them
};

// Where scripts plug into the tick. Every call happens on the thread that plays the movie, in
// the order the tick gives; defaults do nothing, so a movie plays its timelines without a
// script host. An object handed over may be changed, removed or re-depthed by the script;
// objects removed in a tick stay valid (removed() true) until that tick ends. Keep ids
// (InstanceId, found again through DisplayContext::find) across ticks, never pointers. A hook
// must not put another movie or destroy the player from inside a call: queue that instead.
class ScriptHooks {
  public:
    virtual ~ScriptHooks() = default;

    // Brackets each run of queued work (a tick, a settle, a seek): the scripts between share
    // one time budget.
    virtual void tickBegins() {}
    virtual void tickEnds() {}

    // A block of queued actions. target: the clip it runs on, nullptr when that clip has
    // gone since (Frame and Construct work then is not handed over; Init blocks are). code:
    // the bytes, valid for this call (empty for Construct). Actions may go to frames and place or
    // remove objects: what that queues runs in the same tick.
    virtual void runActions(const QueuedAction& /*action*/, DisplayObject* /*target*/,
                            std::span<const std::uint8_t> /*code*/) {}
    // An event of one object: kClipLoad once it is on a display list, kClipUnload once it
    // has left it (it is still readable; removed() is true), kClipEnterFrame for every clip
    // there before the tick, after the frame's tags and before its actions; kClipInitialize
    // for each clip made, before it is constructed. A clip whose removal waits for its
    // handlers hears kClipUnload twice: while still listed aside (unloading(), the handlers
    // are due) and once gone (unloaded(): only forget it). The object's own clip actions for
    // the event are for the host to run (see DisplayObject::clipActions()).
    virtual void clipEvent(DisplayObject& /*object*/, ClipEvent /*event*/) {}
    // What the user did, in the order done, before the tick moves any timeline on. What the
    // handlers queue runs right after each event.
    virtual void inputEvent(const InputEvent& /*event*/) {}
    // Once per tick after the clip events: intervals and timeouts fall due by movie time.
    virtual void runTimers(double /*movieTimeMs*/) {}
    // Whether something answers the unload event of this clip (its clip actions, an onUnload
    // method): removing it then waits for its handlers (see Timeline::remove).
    virtual bool handlesUnload(DisplayObject& /*clip*/) { return false; }
    // Whether the script needs ticks although no timeline moves (enterFrame handlers,
    // intervals). Without them a still movie runs no clock at all.
    virtual bool wantsTicks() const { return false; }
    // A warning about the movie, in the order the player ran into it among the actions.
    virtual void warning(std::string_view /*text*/) {}
};

// Where sound plugs into the tick: the frames timelines show, the sounds they start.
class SoundHooks {
  public:
    virtual ~SoundHooks() = default;

    // Another movie is put (nullptr: none any more), before its first frame is shown:
    // whatever sounded for the last one stops.
    virtual void movieChanged(const MovieData* /*movie*/) {}
    // A timeline showed frame `frame` (from 0) of `frames` this tick. jumped: not straight
    // from the frame before (a go-to, a loop, a seek). complete: no more frames will come.
    virtual void timelineFrame(DisplayObject& /*clip*/, std::span<const FrameRange> /*frames*/,
                               int /*frame*/, bool /*jumped*/, bool /*complete*/) {}
    // A StartSound (version 1) or StartSound2 (2) tag of a frame shown; body valid for the
    // call.
    virtual void startSound(DisplayObject& /*clip*/, std::span<const std::uint8_t> /*body*/,
                            int /*version*/) {}
    // The timeline stopped playing, or its clip left the display list.
    virtual void timelineStopped(DisplayObject& /*clip*/) {}
    // How many frames a playing timeline moves on this tick from `shown`: 1 unless a stream
    // sound leads it (0 while the picture is ahead of the sound, more when behind).
    virtual int framesToAdvance(DisplayObject& /*clip*/, int /*shown*/) { return 1; }
    // Whether sound needs ticks although no timeline moves.
    virtual bool wantsTicks() const { return false; }

    // Sounds scripts play. owner: the clip whose mix applies (kNoInstance: the movie's own);
    // weights in percent as scripts give them (left to left, left to right, right to left,
    // right to right) and the volume.
    struct ScriptMix {
        double volume = 100;
        double ll = 100, lr = 0, rl = 0, rr = 100;
    };
    virtual void setScriptMix(InstanceId /*owner*/, const ScriptMix& /*mix*/) {}
    // Starts a sound the movie defines, `offset` seconds in, played `loops` times.
    virtual bool startScriptSound(InstanceId /*owner*/, std::uint16_t /*soundId*/,
                                  double /*offset*/, int /*loops*/) {
        return false;
    }
    // Starts a sound given as a DefineSound body (a loaded file), known by dataId (a new id
    // for other bytes), as startScriptSound does.
    virtual bool startScriptSoundData(InstanceId /*owner*/, std::uint32_t /*dataId*/,
                                      std::span<const std::uint8_t> /*defineSound*/,
                                      double /*offset*/, int /*loops*/) {
        return false;
    }
    // Stops what the owner started of that sound (none: all the owner started). Loaded
    // sounds count by their dataId.
    virtual void stopScriptSounds(InstanceId /*owner*/, std::optional<std::uint32_t> /*id*/) {}
    // Every sound stops (stopAllSounds); timelines start their streams again as they play on.
    virtual void stopAllSounds() {}
    // A button changed state: the sound its DefineButtonSound gives that change plays.
    // transition: 0 OverUpToIdle, 1 IdleToOverUp, 2 OverUpToOverDown, 3 OverDownToOverUp.
    virtual void buttonTransition(std::uint16_t /*buttonId*/, int /*transition*/) {}
};

}  // namespace zd::engine
