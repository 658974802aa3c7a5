#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>

#include "engine/audio/EventSound.h"
#include "engine/audio/Mixer.h"
#include "engine/audio/SoundHost.h"
#include "engine/audio/StreamSound.h"
#include "engine/swf/MovieData.h"

namespace zd::engine {

// Names a timeline for its stream sound: the root is 0, others are numbered by whoever plays
// them (each sprite instance its own).
using TimelineId = std::uint32_t;
inline constexpr TimelineId kRootTimeline = 0;

// The sound of one movie, on the thread that plays its timelines: the sounds it defines and
// exports, the event sounds its frames and buttons start and the stream each timeline plays.
// It plays them through a host's mixer, reached only by commands; it never decodes or mixes
// on its own thread.
class MovieSound {
  public:
    // The host outlives it.
    explicit MovieSound(SoundHost& host);
    ~MovieSound();
    MovieSound(const MovieSound&) = delete;
    MovieSound& operator=(const MovieSound&) = delete;

    // The movie whose sounds play (nullptr: none); whatever played for the last one stops.
    void setMovie(const MovieData* movie);
    // Takes in the definitions that arrived since the last call (a movie still loading).
    void refresh();

    // A StartSound (version 1) or StartSound2 (2) tag met on a timeline.
    void startSoundTag(std::span<const std::uint8_t> body, int version);
    // Starts (or stops) a defined sound, as a StartSound would; false when nothing started.
    bool startSound(std::uint16_t soundId, const SoundInfo& info);
    // The sound DefineButtonSound gives a button for a state change (0 OverUpToIdle,
    // 1 IdleToOverUp, 2 OverUpToOverDown, 3 OverDownToOverUp); false when it has none.
    bool buttonTransition(std::uint16_t buttonId, int transition);

    // A timeline shows frame `frame` (from 0) of `frames`; jumped: it did not come straight
    // from the frame before (a seek, a loop, a go-to). Starts the timeline's stream from that
    // frame when it has one there and none plays, or after a jump.
    void timelineFrame(TimelineId id, std::span<const FrameRange> frames, int frame, bool jumped,
                       bool complete = true);
    // The timeline holds (stopped, paused) or is gone: its stream stops. Playing on starts it
    // again at the frame then shown.
    void timelineStopped(TimelineId id);
    // The timeline is gone for good: its stream stops and what was kept for it goes.
    void forgetTimeline(TimelineId id);
    // Whether the timeline has a stream head (as far as its frames have arrived).
    bool hasStream(TimelineId id) const;
    // The frame a timeline's stream sound has reached, by what has been heard of it: the frame
    // to show now (once the stream has ended, the frame where it ended). nullopt when it plays
    // no stream, or nothing is heard (no sound device).
    std::optional<int> streamFrame(TimelineId id) const;
    // The same in fractions of frames: 12.5 is halfway through the sound of frame 12.
    std::optional<double> streamPosition(TimelineId id) const;
    // How many frames the timeline should move on from `shown` at a clock tick: as the
    // stream's clock says (0 when the picture is ahead of the sound, several when behind),
    // or 1 when no stream leads it (any more).
    int framesToAdvance(TimelineId id, int shown) const;

    // The root timeline shows a frame: its StartSound tags run and its stream follows. A
    // frame other than the one after the last shown counts as a jump; the same one again
    // (the root holds) does nothing.
    void rootFrameShown(int frame);

    // Sounds started by scripts play under keys of their own (from kScriptKeys up), so that
    // each keeps the transform of the clip that started it.
    static constexpr SoundKey kScriptKeys = 0x40000000u;
    bool startKeyed(SoundKey key, std::uint16_t soundId, const SoundInfo& info,
                    const SoundTransform& transform);
    bool startKeyed(SoundKey key, std::shared_ptr<EventSound> sound, const SoundInfo& info,
                    const SoundTransform& transform);
    void stopKey(SoundKey key);
    void setTransform(SoundKey key, const SoundTransform& transform);

    void stopAll();
    // The movie's volume: 1 as recorded.
    void setVolume(float volume);
    // Holds every sound where it is, or lets them go on.
    void setPaused(bool paused);

    // The sound defined under id, ready for the mixer, which alone decodes it (the caller only
    // may when the host mixes on the caller's thread); nullptr when the movie defines none
    // (yet).
    std::shared_ptr<EventSound> eventSound(std::uint16_t id);
    // The id ExportAssets gave a name.
    std::optional<std::uint16_t> exportedId(const std::string& name) const;

  private:
    struct Location {
        std::size_t body = 0;
        std::uint32_t length = 0;
    };
    struct TimelineStream {
        std::size_t firstTag = 0;  // where the timeline's first frame starts: its identity
        std::size_t frameCount = 0;
        bool complete = false;
        bool scanned = false;
        std::shared_ptr<const StreamBlocks> blocks;
        std::shared_ptr<StreamSound> playing;  // only ever touched on the mixer's thread
        std::shared_ptr<StreamClock> clock;
    };

    static SoundKey streamKey(TimelineId id) { return 0x10000u + id; }
    std::span<const std::uint8_t> body(const Location& at) const;
    double frameRate() const;
    void updateBlocks(TimelineStream& t, std::span<const FrameRange> frames, bool complete);

    SoundHost& host_;
    const MovieData* movie_ = nullptr;
    std::size_t indexed_ = 0;  // offset of the next root tag to index
    std::unordered_map<std::uint16_t, Location> sounds_;
    std::unordered_map<std::uint16_t, Location> buttonSounds_;
    std::map<std::string, std::uint16_t> exports_;
    std::unordered_map<std::uint16_t, std::shared_ptr<EventSound>> decoded_;
    std::unordered_map<TimelineId, TimelineStream> streams_;
    int lastRootFrame_ = -1;
};

}  // namespace zd::engine
