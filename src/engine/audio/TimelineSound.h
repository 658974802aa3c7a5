#pragma once

#include <cstdint>
#include <unordered_map>
#include <unordered_set>

#include "engine/audio/MovieSound.h"
#include "engine/player/FrameHooks.h"

namespace zd::engine {

// A movie's sound as its tick hands it over: the StartSound tags of the frames run, the
// stream of each timeline (the root's and every sprite's) following the frame it shows, and
// stream sound leading the frames of its timeline.
class TimelineSound final : public SoundHooks {
  public:
    // The host outlives it.
    explicit TimelineSound(SoundHost& host);

    MovieSound& sound() { return sound_; }
    const MovieSound& sound() const { return sound_; }

    // Whether a stream sound sets the pace of its timeline (on by default). Off, every
    // timeline moves one frame a tick, whatever its sound does.
    void setLeadsTimelines(bool leads) { leads_ = leads; }
    // Holds every sound at its sample (the player paused), or lets them go on.
    void setHeld(bool held);
    bool held() const { return held_; }

    void movieChanged(const MovieData* movie) override;
    void timelineFrame(DisplayObject& clip, std::span<const FrameRange> frames, int frame,
                       bool jumped, bool complete) override;
    void startSound(DisplayObject& clip, std::span<const std::uint8_t> body, int version) override;
    void timelineStopped(DisplayObject& clip) override;
    int framesToAdvance(DisplayObject& clip, int shown) override;

    void setScriptMix(InstanceId owner, const ScriptMix& mix) override;
    bool startScriptSound(InstanceId owner, std::uint16_t soundId, double offset,
                          int loops) override;
    bool startScriptSoundData(InstanceId owner, std::uint32_t dataId,
                              std::span<const std::uint8_t> defineSound, double offset,
                              int loops) override;
    void stopScriptSounds(InstanceId owner, std::optional<std::uint32_t> soundId) override;
    void stopAllSounds() override;
    void buttonTransition(std::uint16_t buttonId, int transition) override;

    // The timeline a clip's stream plays under; nullopt for a clip that played none.
    std::optional<TimelineId> timelineOf(const DisplayObject& clip) const;

  private:
    TimelineId idFor(const DisplayObject& clip);

    SoundTransform transformOf(InstanceId owner) const;
    SoundKey scriptKey(InstanceId owner, std::uint32_t soundId);
    static SoundInfo scriptInfo(double offset, int loops);

    MovieSound sound_;
    // Keys of the sounds each owner started, by sound id, and each owner's mix.
    std::unordered_map<InstanceId, std::unordered_map<std::uint32_t, SoundKey>> scriptKeys_;
    // Loaded sounds by their data id, decoded once however often they start.
    std::unordered_map<std::uint32_t, std::shared_ptr<EventSound>> loaded_;
    std::unordered_map<InstanceId, ScriptMix> scriptMixes_;
    SoundKey nextScriptKey_ = MovieSound::kScriptKeys;
    std::unordered_map<InstanceId, TimelineId> timelines_;
    // Where the frames of sprites without a stream head begin.
    std::unordered_set<std::size_t> silentSprites_;
    TimelineId nextTimeline_ = kRootTimeline + 1;
    bool leads_ = true;
    bool held_ = false;
};

}  // namespace zd::engine
