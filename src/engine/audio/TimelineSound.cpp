#include "engine/audio/TimelineSound.h"

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

}  // namespace zd::engine
