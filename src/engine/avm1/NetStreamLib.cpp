// NetStream: plays a FLV file over a local connection, progressively: loaded beside the movie
// (or from a web address through the host's loader), its clock runs with the player's, its
// sound plays from the play time (started again after a seek or pause), its script tags
// (onMetaData, onCuePoint, ...) call the stream's methods of those names as the play time reaches
// them, and a Video the stream is attached to shows its pictures. What happens is told through
// onStatus, always from the stream's own tick, after the frame's actions, so a script hears of its
// seek once its own statements have run.

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/avm1/Library.h"
#include "engine/avm1/Vm.h"
#include "engine/video/FlvVideo.h"

namespace zd::avm1 {

namespace {

class StreamObject final : public Object {
  public:
    explicit StreamObject(Object* proto) : Object(proto) {}

    enum class State : std::uint8_t { Idle, Loading, Playing, Ended };
    State state = State::Idle;
    bool paused = false;
    std::shared_ptr<engine::FlvVideo> media = std::make_shared<engine::FlvVideo>();
    double time = 0;          // play time, ms
    double lastTick = 0;      // host timer at the last tick
    std::size_t nextTag = 0;  // the first tag whose script call has not come yet
    double bufferTime = 0.1;
    int tickTimer = 0;
    std::uint64_t request = 0;  // the load under way (0: none)
    // Statuses waiting for the next tick: level, code.
    std::vector<std::pair<const char*, const char*>> pending;
    // The file's sound, kept by the host under this name (empty: none), and whether it plays.
    std::string sound;
    double soundLength = 0;  // ms
    bool soundPlaying = false;

    // A file from the network plays while it arrives: the play time waits at the end of
    // what is in (the buffer empty) until more comes.
    bool arriving = false;
    bool starved = false;

    bool receiveLoad(Vm& vm, bool ok, std::string_view data) override;
    void receiveProgress(Vm& vm, std::uint64_t requestId, std::string_view data) override;
};

StreamObject* streamOf(const CallInfo& c) {
    return dynamic_cast<StreamObject*>(c.thisObject());
}

Object* allocateStream(Vm& vm, Object* proto) {
    return vm.heap().make<StreamObject>(proto);
}

void queue(StreamObject* s, const char* level, const char* code) {
    // Bounded: a script seeking in a loop gets its latest statuses, not a queue without end.
    constexpr std::size_t kMaxPending = 64;
    if (s->pending.size() >= kMaxPending) {
        s->pending.erase(s->pending.begin());
    }
    s->pending.emplace_back(level, code);
}

// The file's sound, once all of it is in; it joins the picture with the stream's next tick.
void addSoundTrack(Vm& vm, StreamObject* s) {
    if (const auto track = engine::flvSoundTrack(s->media->file(), s->media->bytes())) {
        static std::uint64_t serials = 0;
        const std::string name = "\x01stream:" + std::to_string(++serials);
        if (const auto length = vm.host().addSoundBody(name, *track)) {
            s->sound = name;
            s->soundLength = *length;
        }
    }
}

void StreamObject::receiveProgress(Vm& vm, std::uint64_t requestId, std::string_view data) {
    if (requestId != request || (state != State::Loading && !arriving)) {
        return;
    }
    media->setData(std::string(data), false);
    const engine::FlvFile& file = media->file();
    if (state != State::Loading) {
        if (starved && file.lastTimestamp() >= time + bufferTime * 1000.0) {
            starved = false;
            queue(this, "status", "NetStream.Buffer.Full");
        }
        return;
    }
    // Playing starts once the buffer time has arrived (a file that is no FLV fails at its
    // end, as a local one does).
    if (!file.valid() || file.tags().empty() || file.lastTimestamp() < bufferTime * 1000.0) {
        return;
    }
    arriving = true;
    starved = false;
    state = State::Playing;
    time = 0;
    nextTag = 0;
    lastTick = vm.host().timer();
    media->setTime(0);
    queue(this, "status", "NetStream.Play.Start");
    queue(this, "status", "NetStream.Buffer.Full");
}

bool StreamObject::receiveLoad(Vm& vm, bool ok, std::string_view data) {
    request = 0;
    if (std::exchange(arriving, false) && state != State::Idle) {
        // Started while arriving: the whole file takes over where the play time is.
        if (std::exchange(starved, false)) {
            queue(this, "status", "NetStream.Buffer.Full");
        }
        if (ok) {
            media->setData(std::string(data), true);
        } else {
            media->setData(std::string(media->bytes().begin(), media->bytes().end()), true);
        }
        addSoundTrack(vm, this);
        return true;
    }
    if (state != State::Loading) {
        return true;
    }
    if (!ok) {
        state = State::Idle;
        queue(this, "error", "NetStream.Play.StreamNotFound");
        return true;
    }
    media->setData(std::string(data), true);
    if (!media->file().valid()) {
        // Not a FLV file: as good as none.
        media->clear();
        state = State::Idle;
        queue(this, "error", "NetStream.Play.StreamNotFound");
        return true;
    }
    addSoundTrack(vm, this);
    state = State::Playing;
    time = 0;
    nextTag = 0;
    lastTick = vm.host().timer();
    media->setTime(0);
    queue(this, "status", "NetStream.Play.Start");
    // The whole file is here at once: the buffer is as full as it gets.
    queue(this, "status", "NetStream.Buffer.Full");
    return true;
}

Value toValue(Vm& vm, const engine::AmfValue& v) {
    using T = engine::AmfValue::Type;
    switch (v.type) {
        case T::Number:
            return Value(v.number);
        case T::Boolean:
            return Value::boolean(v.boolean);
        case T::String:
            return Value(vm.str(v.string));
        case T::Null:
            return Value::null();
        case T::Undefined:
            return Value();
        case T::Date: {
            const Value ms(v.number);
            return vm.construct(vm.get(Value(vm.global()), "Date"), std::span(&ms, 1));
        }
        case T::StrictArray: {
            ArrayObject* a = vm.newArray();
            const Value array(a);
            for (std::size_t i = 0; i < v.members.size(); ++i) {
                lib::setElement(vm, a, static_cast<std::uint32_t>(i),
                                toValue(vm, v.members[i].second));
            }
            return array;
        }
        case T::Object:
        case T::EcmaArray: {
            Object* o = vm.newObject(vm.protos().object);
            const Value object(o);
            for (const auto& [name, member] : v.members) {
                vm.set(object, vm.intern(name), toValue(vm, member));
            }
            return object;
        }
    }
    return Value();
}

void callMethod(Vm& vm, StreamObject* s, std::string_view name, std::span<const Value> args) {
    const Value fn = vm.get(Value(s), name);
    if (fn.isObject() && fn.object()->isFunction()) {
        vm.call(fn, Value(s), args);
    }
}

void status(Vm& vm, StreamObject* s, const char* level, const char* code) {
    Object* info = vm.newObject(vm.protos().object);
    const Value arg(info);
    vm.set(arg, "code", Value(vm.intern(code)));
    vm.set(arg, "level", Value(vm.intern(level)));
    callMethod(vm, s, "onStatus", std::span(&arg, 1));
}

// The script tags the play time has reached call the stream's methods of their names.
void runScriptTags(Vm& vm, StreamObject* s) {
    const auto& tags = s->media->file().tags();
    while (s->nextTag < tags.size() && tags[s->nextTag].timestamp <= s->time) {
        const engine::FlvTag tag = tags[s->nextTag++];
        if (tag.type != engine::FlvTag::Script) {
            continue;
        }
        const auto call = engine::parseFlvScript(s->media->bytes().subspan(tag.offset, tag.size));
        if (!call || call->name.empty()) {
            continue;
        }
        std::vector<Value> args;
        for (const auto& a : call->args) {
            args.push_back(toValue(vm, a));
        }
        callMethod(vm, s, call->name, args);
        if (s->media->file().tags().empty()) {
            return;  // closed by the call
        }
    }
}

// The sound stops where the picture stops; it starts again, at the play time, with the
// stream's next tick.
void stopSound(Vm& vm, StreamObject* s) {
    if (s->soundPlaying) {
        vm.host().stopSound(kNoDisplay, s->sound);
        s->soundPlaying = false;
    }
}

void dropSound(Vm& vm, StreamObject* s) {
    stopSound(vm, s);
    if (!s->sound.empty()) {
        vm.host().addSoundBody(s->sound, {});
        s->sound.clear();
    }
}

void followSound(Vm& vm, StreamObject* s) {
    if (s->sound.empty() || s->soundPlaying || s->paused ||
        s->state != StreamObject::State::Playing || s->time >= s->soundLength) {
        return;
    }
    s->soundPlaying = vm.host().startSound(kNoDisplay, s->sound, s->time / 1000.0, 1);
}

Value tick(Vm& vm, const CallInfo& c) {
    StreamObject* s = streamOf(c);
    if (s == nullptr) {
        return Value();
    }
    Vm::NoCollect hold(vm);
    const double now = vm.host().timer();
    if (s->state == StreamObject::State::Playing && !s->paused) {
        s->time += std::max(0.0, now - s->lastTick);
        if (s->arriving && s->time >= s->media->file().lastTimestamp()) {
            // The play time caught up with the download: it waits there.
            s->time = s->media->file().lastTimestamp();
            if (!s->starved) {
                s->starved = true;
                queue(s, "status", "NetStream.Buffer.Empty");
            }
        }
    }
    s->lastTick = now;
    auto pending = std::move(s->pending);
    s->pending.clear();
    for (const auto& [level, code] : pending) {
        status(vm, s, level, code);
    }
    if (s->state != StreamObject::State::Playing) {
        return Value();
    }
    runScriptTags(vm, s);
    if (s->state != StreamObject::State::Playing) {
        return Value();
    }
    const engine::FlvFile& file = s->media->file();
    if (s->nextTag >= file.tags().size() && file.finished() && s->time >= file.lastTimestamp()) {
        stopSound(vm, s);
        s->state = StreamObject::State::Ended;
        s->time = file.lastTimestamp();
        s->media->setTime(s->time);
        status(vm, s, "status", "NetStream.Buffer.Flush");
        status(vm, s, "status", "NetStream.Play.Stop");
        status(vm, s, "status", "NetStream.Buffer.Empty");
        return Value();
    }
    s->media->setTime(s->time);
    followSound(vm, s);
    return Value();
}

void stopTicking(Vm& vm, StreamObject* s) {
    if (s->tickTimer != 0) {
        vm.removeTimer(s->tickTimer);
        s->tickTimer = 0;
    }
}

void startTicking(Vm& vm, StreamObject* s) {
    if (s->tickTimer != 0) {
        return;
    }
    Vm::Timer t;
    t.callback = Value(vm.newNative(tick));
    t.thisValue = Value(s);
    t.repeat = true;
    t.interval = 0;  // every tick
    t.due = vm.host().timer();
    s->tickTimer = vm.addTimer(std::move(t));
}

void closeStream(Vm& vm, StreamObject* s) {
    if (s->request != 0) {
        vm.cancelLoad(std::exchange(s->request, 0));
    }
    s->arriving = false;
    s->starved = false;
    stopTicking(vm, s);
    dropSound(vm, s);
    s->state = StreamObject::State::Idle;
    s->paused = false;
    s->time = 0;
    s->nextTag = 0;
    s->pending.clear();
    s->media->clear();
}

// Every stream plays over the local connection: the one given adds nothing.
Value construct(Vm&, const CallInfo&) {
    return Value();
}

Value play(Vm& vm, const CallInfo& c) {
    StreamObject* s = streamOf(c);
    if (s == nullptr) {
        return Value();
    }
    closeStream(vm, s);
    startTicking(vm, s);
    if (c.count() == 0 || c.arg(0).isNullish()) {
        queue(s, "error", "NetStream.Play.StreamNotFound");
        return Value();
    }
    s->state = StreamObject::State::Loading;
    s->request = vm.requestLoad(s, vm.toStdString(c.arg(0)), UrlMethod::Get, "");
    return Value();
}

Value pause(Vm& vm, const CallInfo& c) {
    StreamObject* s = streamOf(c);
    if (s == nullptr) {
        return Value();
    }
    const bool to = c.count() > 0 && !c.arg(0).isUndefined() ? vm.toBoolean(c.arg(0)) : !s->paused;
    if (!to && s->paused) {
        s->lastTick = vm.host().timer();
    }
    s->paused = to;
    if (to) {
        stopSound(vm, s);
    }
    return Value();
}

Value seek(Vm& vm, const CallInfo& c) {
    StreamObject* s = streamOf(c);
    if (s == nullptr) {
        return Value();
    }
    double seconds = c.count() > 0 ? vm.toNumber(c.arg(0)) : 0;
    if (!std::isfinite(seconds) || seconds < 0) {
        seconds = 0;
    }
    if (s->state == StreamObject::State::Idle || s->state == StreamObject::State::Loading) {
        return Value();
    }
    const engine::FlvFile& file = s->media->file();
    // Seeks land on the key frame at or before the time asked for.
    s->time = std::min(file.seekTime(seconds * 1000.0), static_cast<double>(file.lastTimestamp()));
    s->lastTick = vm.host().timer();
    // Script tags at or before the landing point have had their say.
    const auto& tags = file.tags();
    s->nextTag = 0;
    while (s->nextTag < tags.size() && tags[s->nextTag].timestamp <= s->time) {
        ++s->nextTag;
    }
    s->state = StreamObject::State::Playing;
    s->media->setTime(s->time);
    stopSound(vm, s);
    queue(s, "status", "NetStream.Seek.Notify");
    return Value();
}

Value close(Vm& vm, const CallInfo& c) {
    if (StreamObject* s = streamOf(c)) {
        closeStream(vm, s);
    }
    return Value();
}

Value setBufferTime(Vm& vm, const CallInfo& c) {
    if (StreamObject* s = streamOf(c); s != nullptr && c.count() > 0) {
        const double t = vm.toNumber(c.arg(0));
        s->bufferTime = std::isfinite(t) && t > 0 ? t : 0;
    }
    return Value();
}

Value getTime(Vm&, const CallInfo& c) {
    StreamObject* s = streamOf(c);
    return s != nullptr ? Value(s->time / 1000.0) : Value();
}

Value getBufferTime(Vm&, const CallInfo& c) {
    StreamObject* s = streamOf(c);
    return s != nullptr ? Value(s->bufferTime) : Value();
}

Value getBufferLength(Vm&, const CallInfo& c) {
    StreamObject* s = streamOf(c);
    if (s == nullptr) {
        return Value();
    }
    const double ahead = s->media->file().lastTimestamp() - s->time;
    return Value(std::max(0.0, ahead) / 1000.0);
}

Value getBytesLoaded(Vm&, const CallInfo& c) {
    StreamObject* s = streamOf(c);
    return s != nullptr ? Value(static_cast<double>(s->media->size())) : Value();
}

Value ignoreWrite(Vm&, const CallInfo&) {
    return Value();
}

// Video.attachVideo(stream): the Video shows the stream's pictures; anything else shows none.
Value attachVideo(Vm& vm, const CallInfo& c) {
    Object* self = c.thisObject();
    const DisplayId id = self != nullptr ? vm.displayOf(Value(self), kNoDisplay) : kNoDisplay;
    if (id == kNoDisplay) {
        return Value();
    }
    auto* s = dynamic_cast<StreamObject*>(c.arg(0).asObject());
    vm.host().attachVideo(id, s != nullptr ? s->media : nullptr);
    return Value();
}

Value clearVideo(Vm& vm, const CallInfo& c) {
    Object* self = c.thisObject();
    const DisplayId id = self != nullptr ? vm.displayOf(Value(self), kNoDisplay) : kNoDisplay;
    if (id != kNoDisplay) {
        vm.host().clearVideo(id);
    }
    return Value();
}

Value makeVideo(Vm&, const CallInfo&) {
    return Value();
}

}  // namespace

namespace lib {

void installNetStream(Vm& vm) {
    Object* proto = vm.newObject(vm.protos().object);
    defineClass(vm, "NetStream", construct, proto, allocateStream);
    constexpr std::uint16_t kHidden = kDontEnum | kDontDelete | kVersion6;
    vm.defineNative(proto, "play", play, kHidden);
    vm.defineNative(proto, "pause", pause, kHidden);
    vm.defineNative(proto, "seek", seek, kHidden);
    vm.defineNative(proto, "close", close, kHidden);
    vm.defineNative(proto, "setBufferTime", setBufferTime, kHidden);
    vm.defineAccessor(proto, "time", getTime, ignoreWrite, kHidden);
    vm.defineAccessor(proto, "bufferTime", getBufferTime, ignoreWrite, kHidden);
    vm.defineAccessor(proto, "bufferLength", getBufferLength, ignoreWrite, kHidden);
    vm.defineAccessor(proto, "bytesLoaded", getBytesLoaded, ignoreWrite, kHidden);
    vm.defineAccessor(proto, "bytesTotal", getBytesLoaded, ignoreWrite, kHidden);

    Object* video = vm.newObject(vm.protos().object);
    defineClass(vm, "Video", makeVideo, video);
    vm.defineNative(video, "attachVideo", attachVideo, kHidden);
    vm.defineNative(video, "clear", clearVideo, kHidden);
    vm.protos().video = video;
}

}  // namespace lib
}  // namespace zd::avm1
