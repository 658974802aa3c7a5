#include "engine/audio/TimelineSound.h"

#include <algorithm>

#include "engine/player/DisplayTree.h"

namespace zd::engine {

TimelineSound::TimelineSound(SoundHost& host) : sound_(host) {}

void TimelineSound::setHeld(bool held) {
    if (held != held_) {
        held_ = held;
        sound_.setPaused(held);
    }
}

void TimelineSound::movieChanged(const MovieData* movie) {
    sound_.setMovie(movie);
    scriptKeys_.clear();
    scriptMixes_.clear();
    loaded_.clear();
    nextScriptKey_ = MovieSound::kScriptKeys;
    timelines_.clear();
    silentSprites_.clear();
    nextTimeline_ = kRootTimeline + 1;
}

std::optional<TimelineId> TimelineSound::timelineOf(const DisplayObject& clip) const {
    if (clip.isRoot()) {
        return kRootTimeline;
    }
    const auto it = timelines_.find(clip.id());
    return it != timelines_.end() ? std::optional(it->second) : std::nullopt;
}

TimelineId TimelineSound::idFor(const DisplayObject& clip) {
    if (clip.isRoot()) {
        return kRootTimeline;
    }
    const auto [it, added] = timelines_.try_emplace(clip.id(), nextTimeline_);
    if (added) {
        // Wrapping past the 32-bit count would take billions of sprites placed.
        ++nextTimeline_;
    }
    return it->second;
}

void TimelineSound::timelineFrame(DisplayObject& clip, std::span<const FrameRange> frames,
                                  int frame, bool jumped, bool complete) {
    if (clip.removed() || frames.empty()) {
        return;
    }
    if (clip.isRoot()) {
        sound_.timelineFrame(kRootTimeline, frames, frame, jumped, complete);
        return;
    }
    // Most sprites stream nothing: each is looked through once, not once an instance.
    const std::size_t firstTag = frames.front().begin;
    if (silentSprites_.contains(firstTag)) {
        return;
    }
    const TimelineId id = idFor(clip);
    sound_.timelineFrame(id, frames, frame, jumped, complete);
    if (complete && !sound_.hasStream(id)) {
        silentSprites_.insert(firstTag);
        sound_.forgetTimeline(id);
        timelines_.erase(clip.id());
    }
}

void TimelineSound::startSound(DisplayObject& /*clip*/, std::span<const std::uint8_t> body,
                               int version) {
    sound_.startSoundTag(body, version);
}

void TimelineSound::timelineStopped(DisplayObject& clip) {
    const auto id = timelineOf(clip);
    if (!id) {
        return;
    }
    if (clip.removed()) {
        sound_.forgetTimeline(*id);
        timelines_.erase(clip.id());
        return;
    }
    sound_.timelineStopped(*id);
}

int TimelineSound::framesToAdvance(DisplayObject& clip, int shown) {
    if (!leads_) {
        return 1;
    }
    const auto id = timelineOf(clip);
    return id ? sound_.framesToAdvance(*id, shown) : 1;
}

SoundTransform TimelineSound::transformOf(InstanceId owner) const {
    const auto it = scriptMixes_.find(owner);
    if (it == scriptMixes_.end()) {
        return {};
    }
    // Percent as scripts give them; a negative weight turns the side's phase over.
    const ScriptMix& m = it->second;
    SoundTransform t;
    t.leftToLeft = static_cast<float>(m.ll / 100.0);
    t.leftToRight = static_cast<float>(m.lr / 100.0);
    t.rightToLeft = static_cast<float>(m.rl / 100.0);
    t.rightToRight = static_cast<float>(m.rr / 100.0);
    t.volume = static_cast<float>(std::max(0.0, m.volume) / 100.0);
    return t;
}

void TimelineSound::setScriptMix(InstanceId owner, const ScriptMix& mix) {
    scriptMixes_[owner] = mix;
    if (owner == kNoInstance) {
        // The movie's own Sound sets the volume of everything it plays.
        sound_.setVolume(static_cast<float>(std::max(0.0, mix.volume) / 100.0));
    }
    const auto keys = scriptKeys_.find(owner);
    if (keys == scriptKeys_.end()) {
        return;
    }
    const SoundTransform t = transformOf(owner);
    for (const auto& [id, key] : keys->second) {
        sound_.setTransform(key, t);
    }
}

SoundKey TimelineSound::scriptKey(InstanceId owner, std::uint32_t soundId) {
    auto& keys = scriptKeys_[owner];
    auto [it, added] = keys.try_emplace(soundId, nextScriptKey_);
    if (added) {
        // Wraps only after a billion distinct clip and sound pairs.
        ++nextScriptKey_;
    }
    return it->second;
}

SoundInfo TimelineSound::scriptInfo(double offset, int loops) {
    SoundInfo info;
    const double in = std::clamp(offset, 0.0, 4.0e4) * Mixer::kRate;
    if (in >= 1) {
        info.inPoint = static_cast<std::uint32_t>(in);
    }
    info.loops = static_cast<std::uint16_t>(std::clamp(loops, 1, 65535));
    return info;
}

bool TimelineSound::startScriptSound(InstanceId owner, std::uint16_t soundId, double offset,
                                     int loops) {
    return sound_.startKeyed(scriptKey(owner, soundId), soundId, scriptInfo(offset, loops),
                             transformOf(owner));
}

bool TimelineSound::startScriptSoundData(InstanceId owner, std::uint32_t dataId,
                                         std::span<const std::uint8_t> defineSound, double offset,
                                         int loops) {
    auto it = loaded_.find(dataId);
    if (it == loaded_.end()) {
        const auto def = parseDefineSound(defineSound);
        if (!def) {
            return false;
        }
        if (loaded_.size() >= 16) {
            loaded_.clear();  // voices playing keep their own reference
        }
        it =
            loaded_.emplace(dataId, std::make_shared<EventSound>(SoundSource::fromDefinition(*def)))
                .first;
    }
    return sound_.startKeyed(scriptKey(owner, dataId), it->second, scriptInfo(offset, loops),
                             transformOf(owner));
}

void TimelineSound::stopScriptSounds(InstanceId owner, std::optional<std::uint32_t> soundId) {
    const auto keys = scriptKeys_.find(owner);
    if (keys == scriptKeys_.end()) {
        return;
    }
    for (const auto& [id, key] : keys->second) {
        if (!soundId || *soundId == id) {
            sound_.stopKey(key);
        }
    }
}

void TimelineSound::stopAllSounds() {
    sound_.stopAll();
}

void TimelineSound::buttonTransition(std::uint16_t buttonId, int transition) {
    sound_.buttonTransition(buttonId, transition);
}

}  // namespace zd::engine
