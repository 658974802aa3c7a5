#include "engine/audio/MovieSound.h"

#include <algorithm>
#include <cmath>

#include "engine/player/FrameClock.h"
#include "engine/swf/ByteReader.h"
#include "engine/swf/TagCodes.h"
#include "engine/swf/TagWalker.h"

namespace zd::engine {

MovieSound::MovieSound(SoundHost& host) : host_(host) {}

MovieSound::~MovieSound() {
    stopAll();
}

void MovieSound::setMovie(const MovieData* movie) {
    stopAll();
    movie_ = movie;
    indexed_ = 0;
    sounds_.clear();
    buttonSounds_.clear();
    exports_.clear();
    decoded_.clear();
    streams_.clear();
    lastRootFrame_ = -1;
    refresh();
}

void MovieSound::refresh() {
    if (movie_ == nullptr || movie_->header() == nullptr) {
        return;
    }
    const auto data = movie_->data();
    if (indexed_ == 0) {
        indexed_ = movie_->header()->size;
    }
    const std::size_t to = std::min(movie_->timeline().scannedOffset(), data.size());
    if (indexed_ >= to) {
        return;
    }
    TagWalker walker(data.first(to), indexed_);
    while (const auto tag = walker.next()) {
        indexed_ = tag->end();
        const Location at{tag->bodyOffset, tag->length};
        const auto tagBody = walker.body(*tag);
        switch (static_cast<TagCode>(tag->code)) {
            case TagCode::DefineSound:
                if (tag->length >= 2) {
                    // The first definition of an id holds, as for every character.
                    sounds_.emplace(static_cast<std::uint16_t>(tagBody[0] | tagBody[1] << 8), at);
                }
                break;
            case TagCode::DefineButtonSound:
                if (tag->length >= 2) {
                    buttonSounds_.emplace(static_cast<std::uint16_t>(tagBody[0] | tagBody[1] << 8),
                                          at);
                }
                break;
            case TagCode::ExportAssets: {
                ByteReader in(tagBody);
                const unsigned count = in.u16();
                for (unsigned i = 0; i < count && in.ok(); ++i) {
                    const std::uint16_t id = in.u16();
                    std::string name = in.cstring();
                    if (in.ok()) {
                        exports_.emplace(std::move(name), id);
                    }
                }
                break;
            }
            default:
                break;
        }
    }
}

double MovieSound::frameRate() const {
    const MovieHeader* header = movie_ != nullptr ? movie_->header() : nullptr;
    return playableFrameRate(header != nullptr ? header->frameRate() : 0.0);
}

std::span<const std::uint8_t> MovieSound::body(const Location& at) const {
    const auto data = movie_->data();
    if (at.body > data.size() || at.length > data.size() - at.body) {
        return {};
    }
    return data.subspan(at.body, at.length);
}

std::shared_ptr<EventSound> MovieSound::eventSound(std::uint16_t id) {
    if (const auto it = decoded_.find(id); it != decoded_.end()) {
        return it->second;
    }
    refresh();
    const auto it = sounds_.find(id);
    if (it == sounds_.end()) {
        return nullptr;
    }
    const auto def = parseDefineSound(body(it->second));
    if (!def) {
        return nullptr;
    }
    auto sound = std::make_shared<EventSound>(SoundSource::fromDefinition(*def));
    decoded_.emplace(id, sound);
    return sound;
}

std::optional<std::uint16_t> MovieSound::exportedId(const std::string& name) const {
    const auto it = exports_.find(name);
    return it != exports_.end() ? std::optional(it->second) : std::nullopt;
}

bool MovieSound::startSound(std::uint16_t soundId, const SoundInfo& info) {
    if (info.stop) {
        host_.run([soundId](Mixer& m) { m.stop(soundId); });
        return false;
    }
    auto sound = eventSound(soundId);
    if (!sound) {
        return false;
    }
    host_.run(
        [sound = std::move(sound), soundId, info](Mixer& m) { m.play(sound, soundId, info); });
    return true;
}

void MovieSound::startSoundTag(std::span<const std::uint8_t> tagBody, int version) {
    const auto tag = parseStartSound(tagBody, version);
    if (!tag) {
        return;
    }
    if (version >= 2) {
        refresh();
        if (const auto id = exportedId(tag->className)) {
            startSound(*id, tag->info);
        }
        return;
    }
    startSound(tag->soundId, tag->info);
}

bool MovieSound::buttonTransition(std::uint16_t buttonId, int transition) {
    refresh();
    const auto it = buttonSounds_.find(buttonId);
    if (it == buttonSounds_.end() || transition < 0 || transition > 3) {
        return false;
    }
    const auto sounds = parseDefineButtonSound(body(it->second));
    if (!sounds) {
        return false;
    }
    const auto& entry = sounds->transitions[static_cast<std::size_t>(transition)];
    return entry.soundId != 0 && startSound(entry.soundId, entry.info);
}

void MovieSound::updateBlocks(TimelineStream& t, std::span<const FrameRange> frames,
                              bool complete) {
    const std::size_t firstTag = frames.empty() ? 0 : frames.front().begin;
    if (t.scanned && t.firstTag == firstTag && t.frameCount == frames.size() &&
        t.complete == complete) {
        return;
    }
    // A timeline only ever grows (a movie still loading); anything else is another one.
    const bool grew = t.scanned && t.firstTag == firstTag && t.frameCount <= frames.size();
    auto blocks = StreamBlocks::collect(movie_->data(), frames, frameRate(), complete,
                                        grew ? t.blocks.get() : nullptr);
    t.firstTag = firstTag;
    t.frameCount = frames.size();
    t.complete = complete;
    t.scanned = true;
    if (t.playing && blocks && grew) {
        // The stream playing reads on into what arrived.
        host_.run([s = t.playing, blocks](Mixer&) { s->extend(blocks); });
    }
    t.blocks = std::move(blocks);
}

void MovieSound::timelineFrame(TimelineId id, std::span<const FrameRange> frames, int frame,
                               bool jumped, bool complete) {
    if (movie_ == nullptr || frame < 0) {
        return;
    }
    TimelineStream& t = streams_[id];
    const bool playing = t.clock && !t.clock->ended();
    if (playing && !jumped) {
        // While the movie loads, the stream playing takes over the frames that arrived a
        // second's worth at a time, or sooner when its sound nears the end of what it has.
        const std::size_t second = static_cast<std::size_t>(std::ceil(frameRate()));
        const auto soundAt =
            static_cast<std::size_t>(std::max(0, t.clock->frameAt(t.clock->mixed())));
        if (complete != t.complete ||
            (frames.size() > t.frameCount &&
             (frames.size() - t.frameCount >= second || soundAt + 2 * second >= t.frameCount))) {
            updateBlocks(t, frames, complete);
        }
        return;
    }
    updateBlocks(t, frames, complete);
    if (!t.blocks) {
        return;
    }
    if (!t.blocks->nextBlock(static_cast<std::size_t>(frame))) {
        if (playing) {
            timelineStopped(id);
        }
        return;
    }
    auto stream = std::make_shared<StreamSound>(t.blocks, frame);
    t.clock = stream->clock();
    t.playing = stream;
    host_.run(
        [stream = std::move(stream), key = streamKey(id)](Mixer& m) { m.playStream(stream, key); });
}

void MovieSound::timelineStopped(TimelineId id) {
    const auto it = streams_.find(id);
    if (it == streams_.end() || !it->second.clock) {
        return;
    }
    host_.run([key = streamKey(id)](Mixer& m) { m.stop(key); });
    it->second.clock.reset();
    it->second.playing.reset();
}

void MovieSound::forgetTimeline(TimelineId id) {
    timelineStopped(id);
    streams_.erase(id);
}

bool MovieSound::hasStream(TimelineId id) const {
    const auto it = streams_.find(id);
    return it != streams_.end() && it->second.blocks != nullptr;
}

std::optional<double> MovieSound::streamPosition(TimelineId id) const {
    const auto it = streams_.find(id);
    if (it == streams_.end() || !it->second.clock || !host_.audible()) {
        return std::nullopt;
    }
    const StreamClock& clock = *it->second.clock;
    const std::uint64_t mixed = clock.mixed();
    const std::uint64_t queued = host_.queuedFrames();
    return clock.positionAt(mixed > queued ? mixed - queued : 0);
}

std::optional<int> MovieSound::streamFrame(TimelineId id) const {
    const auto position = streamPosition(id);
    if (!position) {
        return std::nullopt;
    }
    // The small allowance keeps a position at a frame's exact start from rounding down.
    return static_cast<int>(std::min(std::floor(*position + 1e-9), 1e9));
}

int MovieSound::framesToAdvance(TimelineId id, int shown) const {
    const auto due = streamFrame(id);
    if (!due) {
        return 1;
    }
    const auto it = streams_.find(id);
    if (it->second.clock->ended() && *due <= shown) {
        return 1;  // past the end of its sound the timeline keeps its own time
    }
    return std::max(0, *due - shown);
}

void MovieSound::rootFrameShown(int frame) {
    if (movie_ == nullptr || frame < 0 || frame == lastRootFrame_) {
        return;
    }
    const bool jumped = frame != lastRootFrame_ + 1;
    lastRootFrame_ = frame;
    refresh();
    const auto& frames = movie_->timeline().frames();
    if (static_cast<std::size_t>(frame) >= frames.size()) {
        return;
    }
    const FrameRange range = frames[static_cast<std::size_t>(frame)];
    const auto data = movie_->data();
    if (range.end <= data.size()) {
        TagWalker walker(data.first(range.end), range.begin);
        while (const auto tag = walker.next()) {
            if (tag->code == static_cast<std::uint16_t>(TagCode::StartSound)) {
                startSoundTag(walker.body(*tag), 1);
            } else if (tag->code == static_cast<std::uint16_t>(TagCode::StartSound2)) {
                startSoundTag(walker.body(*tag), 2);
            }
        }
    }
    const bool complete = movie_->timeline().state() != TimelineIndex::State::Scanning;
    timelineFrame(kRootTimeline, frames, frame, jumped, complete);
}

bool MovieSound::startKeyed(SoundKey key, std::uint16_t soundId, const SoundInfo& info,
                            const SoundTransform& transform) {
    return startKeyed(key, eventSound(soundId), info, transform);
}

bool MovieSound::startKeyed(SoundKey key, std::shared_ptr<EventSound> sound, const SoundInfo& info,
                            const SoundTransform& transform) {
    if (!sound) {
        return false;
    }
    host_.run([sound = std::move(sound), key, info, transform](Mixer& m) {
        m.setTransform(key, transform);
        m.play(sound, key, info);
    });
    return true;
}

void MovieSound::stopKey(SoundKey key) {
    host_.run([key](Mixer& m) { m.stop(key); });
}

void MovieSound::setTransform(SoundKey key, const SoundTransform& transform) {
    host_.run([key, transform](Mixer& m) { m.setTransform(key, transform); });
}

void MovieSound::stopAll() {
    host_.run([](Mixer& m) { m.stopAll(); });
    for (auto& [id, t] : streams_) {
        t.clock.reset();
        t.playing.reset();
    }
}

void MovieSound::setVolume(float volume) {
    host_.run([volume](Mixer& m) { m.setVolume(volume); });
}

void MovieSound::setPaused(bool paused) {
    host_.setPaused(paused);
}

}  // namespace zd::engine
