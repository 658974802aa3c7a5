// The Sound object and stopAllSounds. A Sound speaks for a clip (or, made without one, for the
// whole movie): its volume, pan and transform are the clip's, shared by every Sound made for
// that clip and applied to the sounds the clip starts. The host keeps that state and plays.

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/audio/Id3.h"
#include "engine/avm1/Library.h"
#include "engine/avm1/Vm.h"

namespace zd::avm1 {

namespace {

// Sound.prototype. Until some Sound of the movie first asks for a file, writes to duration,
// position and id3 leave own values on the object; from then on they are ignored.
class SoundPrototype final : public Object {
  public:
    explicit SoundPrototype(Object* proto) : Object(proto) {}
    bool loadAsked = false;
};

class SoundObject final : public Object {
  public:
    explicit SoundObject(Object* proto)
        : Object(proto), family(dynamic_cast<SoundPrototype*>(proto)) {}

    SoundPrototype* family;  // the prototype it was made with, if Sound's

    // What the constructor was given: a clip, a path, or nothing (the movie).
    Value owner;
    bool hasOwner = false;
    // Where a path is resolved from, and the path of a clip given as an object, so a clip
    // replaced under the same name is found again.
    DisplayId from = kNoDisplay;
    std::string clipPath;

    std::string attached;
    std::optional<double> duration;  // ms, of the sound attached
    bool started = false;
    bool playing = false;
    double startedAt = 0;  // host timer when it started
    double offsetMs = 0;
    int loops = 1;
    double stoppedAt = 0;  // position when stopped
    // onSoundComplete timers of the voices started (each start is a voice of its own).
    std::vector<int> completeTimers;
    // A loadSound under way: starts asked for meanwhile play once it has arrived.
    bool loading = false;
    bool streaming = false;
    int pendingStarts = 0;
    double pendingOffset = 0;
    int pendingLoops = 1;
    std::uint64_t serial = 0;   // names what it loaded to the host
    std::uint64_t request = 0;  // the load under way
    // A streaming load started playing from the part that had arrived; the whole file takes
    // its place where the voice has got to.
    bool early = false;
    // The ID3 tag of the file loaded, as an object without prototype (undefined: none).
    Value id3;
    bool id3Told = false;  // onID3 came while the file was still arriving

    void receiveProgress(Vm& vm, std::uint64_t requestId, std::string_view data) override;

    void trace(Tracer& t) override {
        Object::trace(t);
        t.mark(owner);
        t.mark(id3);
        if (family != nullptr) {
            t.markObject(family);
        }
    }
};

SoundObject* soundOf(const CallInfo& c) {
    return dynamic_cast<SoundObject*>(c.thisObject());
}

Object* allocateSound(Vm& vm, Object* proto) {
    return vm.heap().make<SoundObject>(proto);
}

// The clip a Sound speaks for now; kNoDisplay with ok for the movie's own, !ok when its clip
// is gone.
DisplayId ownerClip(Vm& vm, SoundObject* s, bool& ok) {
    ok = true;
    if (!s->hasOwner) {
        return kNoDisplay;
    }
    // A path names its clip from wherever the script asking runs now.
    DisplayId id = vm.displayOf(s->owner, s->clipPath.empty() ? vm.currentTarget() : s->from);
    if (!s->clipPath.empty() &&
        (id == kNoDisplay || !vm.host().exists(id) || vm.dotPath(id) != s->clipPath)) {
        // A clip given as an object is the one at its path: renamed, it is lost; another
        // clip put in its place under that name takes over.
        id = vm.resolvePath(vm.host().root(), s->clipPath);
    }
    ok = id != kNoDisplay && vm.host().exists(id);
    return ok ? id : kNoDisplay;
}

std::optional<Host::SoundMix> mixOf(Vm& vm, SoundObject* s, DisplayId& clip) {
    bool ok = false;
    clip = ownerClip(vm, s, ok);
    if (!ok) {
        return std::nullopt;
    }
    return vm.host().soundMix(clip);
}

// Volume and pan take the integer part as the processor truncates: NaN and numbers out of
// range become the smallest integer. A missing argument counts as 0.
std::int32_t truncatedArg(Vm& vm, const CallInfo& c, std::size_t i) {
    if (c.count() <= i) {
        return 0;
    }
    const double d = vm.toNumber(c.arg(i));
    if (std::isnan(d) || d >= 2147483648.0 || d < -2147483648.0) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(d);
}

std::int32_t wrapped(std::int64_t v) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(v)));
}

std::int64_t magnitude(std::int32_t v) {
    return v < 0 ? -static_cast<std::int64_t>(v) : v;
}

Value soundConstructor(Vm& vm, const CallInfo& c) {
    SoundObject* s = soundOf(c);
    if (s == nullptr) {
        return Value();
    }
    s->from = vm.currentTarget();
    if (c.count() > 0 && !c.arg(0).isUndefined()) {
        s->hasOwner = true;
        Value target = c.arg(0);
        if (Object* o = target.asObject(); o != nullptr && o->kind() != ObjectKind::Clip) {
            // Any other object names its clip by its text.
            target = Value(vm.toString(target));
        }
        s->owner = target;
        if (Object* o = target.asObject(); o != nullptr && o->kind() == ObjectKind::Clip) {
            s->clipPath = vm.dotPath(static_cast<ClipObject*>(o)->id);
        }
    }
    return Value();
}

Value getVolume(Vm& vm, const CallInfo& c) {
    SoundObject* s = soundOf(c);
    DisplayId clip = kNoDisplay;
    const auto mix = s != nullptr ? mixOf(vm, s, clip) : std::nullopt;
    return mix ? Value(static_cast<double>(mix->volume)) : Value();
}

Value setVolume(Vm& vm, const CallInfo& c) {
    SoundObject* s = soundOf(c);
    DisplayId clip = kNoDisplay;
    auto mix = s != nullptr ? mixOf(vm, s, clip) : std::nullopt;
    if (mix) {
        mix->volume = truncatedArg(vm, c, 0);
        vm.host().setSoundMix(clip, *mix);
    }
    return Value();
}

Value getPan(Vm& vm, const CallInfo& c) {
    SoundObject* s = soundOf(c);
    DisplayId clip = kNoDisplay;
    const auto mix = s != nullptr ? mixOf(vm, s, clip) : std::nullopt;
    if (!mix) {
        return Value();
    }
    // Whichever side is turned down tells the pan; the left side is asked first.
    const std::int64_t pan = mix->leftToLeft == 100 ? magnitude(mix->rightToRight) - 100
                                                    : 100 - magnitude(mix->leftToLeft);
    return Value(static_cast<double>(wrapped(pan)));
}

Value setPan(Vm& vm, const CallInfo& c) {
    SoundObject* s = soundOf(c);
    DisplayId clip = kNoDisplay;
    auto mix = s != nullptr ? mixOf(vm, s, clip) : std::nullopt;
    if (!mix) {
        return Value();
    }
    const std::int32_t pan = truncatedArg(vm, c, 0);
    mix->leftToRight = 0;
    mix->rightToLeft = 0;
    if (pan >= 0) {
        mix->leftToLeft = wrapped(std::int64_t{100} - pan);
        mix->rightToRight = 100;
    } else {
        mix->leftToLeft = 100;
        mix->rightToRight = wrapped(std::int64_t{100} + pan);
    }
    vm.host().setSoundMix(clip, *mix);
    return Value();
}

Value getTransform(Vm& vm, const CallInfo& c) {
    SoundObject* s = soundOf(c);
    DisplayId clip = kNoDisplay;
    const auto mix = s != nullptr ? mixOf(vm, s, clip) : std::nullopt;
    if (!mix) {
        return Value();
    }
    Object* o = vm.newObject(vm.protos().object);
    vm.set(Value(o), "ll", Value(static_cast<double>(mix->leftToLeft)));
    vm.set(Value(o), "lr", Value(static_cast<double>(mix->leftToRight)));
    vm.set(Value(o), "rr", Value(static_cast<double>(mix->rightToRight)));
    vm.set(Value(o), "rl", Value(static_cast<double>(mix->rightToLeft)));
    return Value(o);
}

Value setTransform(Vm& vm, const CallInfo& c) {
    SoundObject* s = soundOf(c);
    Object* from = c.arg(0).asObject();
    DisplayId clip = kNoDisplay;
    auto mix = s != nullptr && from != nullptr ? mixOf(vm, s, clip) : std::nullopt;
    if (!mix) {
        return Value();
    }
    // Only the object's own weights count; the others keep their values.
    const auto take = [&](std::string_view name, std::int32_t& into) {
        String* key = vm.key(name);
        if (vm.has(from, key, true)) {
            into = vm.toInt32(vm.get(Value(from), key));
        }
    };
    take("ll", mix->leftToLeft);
    take("lr", mix->leftToRight);
    take("rl", mix->rightToLeft);
    take("rr", mix->rightToRight);
    vm.host().setSoundMix(clip, *mix);
    return Value();
}

Value attachSound(Vm& vm, const CallInfo& c) {
    SoundObject* s = soundOf(c);
    if (s == nullptr || c.count() == 0) {
        return Value();
    }
    bool ok = false;
    DisplayId clip = ownerClip(vm, s, ok);
    if (!ok) {
        return Value();
    }
    const std::string name = vm.toStdString(c.arg(0));
    const auto length = vm.host().soundLength(clip, name);
    if (!length) {
        return Value();
    }
    s->attached = name;
    s->duration = *length;
    s->started = false;
    s->playing = false;
    s->stoppedAt = 0;
    return Value();
}

double positionOf(Vm& vm, SoundObject* s) {
    if (!s->duration || !s->started) {
        return 0;
    }
    if (!s->playing) {
        return s->stoppedAt;
    }
    const double length = *s->duration;
    const double elapsed = vm.host().timer() - s->startedAt + s->offsetMs;
    if (length <= 0 || elapsed >= length * s->loops) {
        return length;
    }
    return std::fmod(std::max(0.0, elapsed), length);
}

void cancelCompletion(Vm& vm, SoundObject* s) {
    for (int id : s->completeTimers) {
        vm.removeTimer(id);
    }
    s->completeTimers.clear();
}

// Plays what is attached (or loaded) now; false when nothing started.
bool play(Vm& vm, SoundObject* s, double offset, int loops) {
    bool ok = false;
    const DisplayId clip = ownerClip(vm, s, ok);
    if (!ok || !vm.host().startSound(clip, s->attached, offset, loops)) {
        return false;
    }
    s->started = true;
    s->playing = true;
    s->startedAt = vm.host().timer();
    s->offsetMs = offset * 1000.0;
    s->loops = loops;
    // Timers already fired are gone from the Vm; keep the list from growing with them.
    constexpr std::size_t kMaxTracked = 64;
    if (s->completeTimers.size() >= kMaxTracked) {
        vm.removeTimer(s->completeTimers.front());
        s->completeTimers.erase(s->completeTimers.begin());
    }
    Vm::Timer done;
    done.callback = Value(s);
    done.method = vm.intern("onSoundComplete");
    done.repeat = false;
    done.interval = std::max(0.0, s->duration.value_or(0) * loops - s->offsetMs);
    done.due = s->startedAt + done.interval;
    s->completeTimers.push_back(vm.addTimer(std::move(done)));
    return true;
}

Value startSound(Vm& vm, const CallInfo& c) {
    SoundObject* s = soundOf(c);
    if (s == nullptr) {
        return Value();
    }
    double offset = c.count() > 0 ? vm.toNumber(c.arg(0)) : 0;
    if (!std::isfinite(offset) || offset < 0) {
        offset = 0;
    }
    double loopCount = c.count() > 1 ? vm.toNumber(c.arg(1)) : 1;
    if (!std::isfinite(loopCount) || loopCount < 1) {
        loopCount = 1;
    }
    const int loops = static_cast<int>(std::min(loopCount, 65535.0));
    if (s->loading) {
        // Bounded: a script asking in a loop gets a voice limit, not a queue without end.
        s->pendingStarts = std::min(s->pendingStarts + 1, 64);
        s->pendingOffset = offset;
        s->pendingLoops = loops;
        return Value();
    }
    if (!s->attached.empty()) {
        play(vm, s, offset, loops);
    }
    return Value();
}

// The tag's frames by their ids, the common ones also by the names scripts know them by;
// comments gather in an array (the name `comment` keeps the last).
Object* id3Object(Vm& vm, const std::vector<engine::Id3Frame>& frames) {
    static constexpr std::pair<std::string_view, std::string_view> kAliases[] = {
        {"TIT2", "songname"}, {"TPE1", "artist"}, {"TALB", "album"},   {"TYER", "year"},
        {"TRCK", "track"},    {"TCON", "genre"},  {"COMM", "comment"},
    };
    // No prototype: the object converts to nothing and equals undefined.
    Object* o = vm.heap().make<Object>(nullptr);
    const Value tag(o);
    ArrayObject* comments = nullptr;
    for (const engine::Id3Frame& f : frames) {
        const Value text(vm.str(f.text));
        for (const auto& [id, alias] : kAliases) {
            if (id == f.id) {
                vm.set(tag, alias, text);
            }
        }
        if (f.id == "COMM") {
            if (comments == nullptr) {
                comments = vm.newArray();
                vm.set(tag, "COMM", Value(comments));
            }
            lib::setElement(vm, comments, comments->size(), text);
        } else {
            vm.set(tag, f.id, text);
        }
    }
    return o;
}

Value loadSound(Vm& vm, const CallInfo& c) {
    SoundObject* s = soundOf(c);
    if (s == nullptr || c.count() == 0) {
        return Value();
    }
    static std::uint64_t serials = 0;
    if (s->serial == 0) {
        s->serial = ++serials;
    }
    const std::string url = vm.toStdString(c.arg(0));
    if (s->request != 0) {
        vm.cancelLoad(std::exchange(s->request, 0));
    }
    if (s->early && s->playing) {
        // What played was part of the file this load replaces.
        bool ok = false;
        const DisplayId clip = ownerClip(vm, s, ok);
        if (ok) {
            vm.host().stopSound(clip, s->attached);
        }
        cancelCompletion(vm, s);
    }
    s->early = false;
    s->id3Told = false;
    s->streaming = c.count() > 1 && vm.toBoolean(c.arg(1));
    s->loading = true;
    if (s->family != nullptr) {
        s->family->loadAsked = true;
    }
    s->id3 = Value();
    s->pendingStarts = 0;
    s->attached.clear();
    s->duration.reset();
    s->started = false;
    s->playing = false;
    s->request = vm.requestLoad(s, url, UrlMethod::Get, "");
    return Value();
}

std::string loadedName(const SoundObject* s) {
    return "\x01loaded:" + std::to_string(s->serial);
}

// Tells onID3 of the tag read, with the success of the load as onLoad has it. False when a
// handler began another load meanwhile.
bool tellId3(Vm& vm, SoundObject* s, const std::vector<engine::Id3Frame>& frames) {
    s->id3 = Value(id3Object(vm, frames));
    if (!s->duration) {
        s->duration = 0;  // the tag comes before the sound: its length is not known yet
    }
    const std::uint64_t request = s->request;
    const Value onId3 = vm.get(Value(s), "onID3");
    if (onId3.isObject() && onId3.object()->isFunction()) {
        const Value success = Value::boolean(true);
        vm.call(onId3, Value(s), std::span<const Value>(&success, 1));
    }
    return s->request == request;
}

// Least sound a streaming load needs before it starts playing from what has arrived: less
// would run dry before the next part is in.
constexpr double kEarlyStartMs = 500;

void SoundObject::receiveProgress(Vm& vm, std::uint64_t requestId, std::string_view data) {
    if (requestId != request || !loading) {
        return;
    }
    Vm::NoCollect hold(vm);
    const auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
    if (!id3Told) {
        // The tag at the start of the file is told as soon as all of it is in.
        if (const auto size = engine::id3Version2Size(bytes); size && *size <= bytes.size()) {
            id3Told = true;
            const auto frames = engine::readId3(bytes.first(*size));
            if (!frames.empty() && !tellId3(vm, this, frames)) {
                return;
            }
        }
    }
    if (!streaming || early) {
        return;
    }
    const std::string name = loadedName(this);
    const auto length = vm.host().addLoadedSound(name, data);
    if (!length || *length < kEarlyStartMs) {
        return;
    }
    early = true;
    attached = name;
    duration = *length;
    if (play(vm, this, 0, 1)) {
        // The part ending is not the sound ending: completion waits for the whole file.
        cancelCompletion(vm, this);
    }
}

// The loaded file arrives (undefined: it did not).
Value soundLoaded(Vm& vm, const CallInfo& c) {
    SoundObject* s = soundOf(c);
    if (s == nullptr || !s->loading) {
        return Value();
    }
    s->loading = false;
    const bool early = std::exchange(s->early, false);
    const int starts = s->pendingStarts + (s->streaming && !early ? 1 : 0);
    s->pendingStarts = 0;
    std::optional<double> length;
    const std::string name = loadedName(s);
    Vm::NoCollect hold(vm);
    std::optional<double> resumeAt;  // ms into the sound where the early voice had got to
    if (early && s->playing) {
        resumeAt = positionOf(vm, s);
        bool ok = false;
        const DisplayId clip = ownerClip(vm, s, ok);
        if (ok) {
            vm.host().stopSound(clip, s->attached);
        }
        s->playing = false;
        cancelCompletion(vm, s);
    }
    if (c.arg(0).isString()) {
        const std::string_view bytes = c.arg(0).string()->view();
        if (!s->id3Told) {
            const auto frames = engine::readId3(
                {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
            if (!frames.empty()) {
                s->duration.reset();
                if (!tellId3(vm, s, frames)) {
                    return Value();  // another load began meanwhile
                }
            }
        }
        length = vm.host().addLoadedSound(name, bytes);
    }
    s->request = 0;
    if (length) {
        s->attached = name;
        s->duration = *length;
    } else {
        s->duration.reset();
    }
    const Value ok = Value::boolean(length.has_value());
    const Value onLoad = vm.get(Value(s), "onLoad");
    if (onLoad.isObject() && onLoad.object()->isFunction()) {
        vm.call(onLoad, Value(s), std::span<const Value>(&ok, 1));
    }
    if (length && s->attached == name) {
        if (resumeAt && *resumeAt < *length) {
            play(vm, s, *resumeAt / 1000.0, 1);
        }
        for (int i = 0; i < starts; ++i) {
            play(vm, s, s->streaming ? 0 : s->pendingOffset, s->streaming ? 1 : s->pendingLoops);
        }
    }
    return Value();
}

Value bytesLoaded(Vm& vm, const CallInfo& c) {
    Object* o = c.thisObject();
    return o != nullptr && soundOf(c) != nullptr ? vm.get(Value(o), "_bytesLoaded") : Value();
}

Value bytesTotal(Vm& vm, const CallInfo& c) {
    Object* o = c.thisObject();
    return o != nullptr && soundOf(c) != nullptr ? vm.get(Value(o), "_bytesTotal") : Value();
}

Value stopSound(Vm& vm, const CallInfo& c) {
    SoundObject* s = soundOf(c);
    if (s == nullptr) {
        return Value();
    }
    bool ok = false;
    const DisplayId clip = ownerClip(vm, s, ok);
    if (!ok) {
        return Value();
    }
    const std::string name = c.count() > 0 ? vm.toStdString(c.arg(0)) : std::string();
    vm.host().stopSound(clip, name);
    if (s->playing && (name.empty() || name == s->attached)) {
        s->stoppedAt = positionOf(vm, s);
        s->playing = false;
        cancelCompletion(vm, s);
    }
    return Value();
}

Value getDuration(Vm& vm, const CallInfo& c) {
    SoundObject* s = soundOf(c);
    bool ok = false;
    if (s == nullptr || !s->duration || (ownerClip(vm, s, ok), !ok)) {
        return Value();
    }
    return Value(std::round(*s->duration));
}

Value getPosition(Vm& vm, const CallInfo& c) {
    SoundObject* s = soundOf(c);
    bool ok = false;
    if (s == nullptr || !s->duration || (ownerClip(vm, s, ok), !ok)) {
        return Value();
    }
    return Value(std::round(positionOf(vm, s)));
}

// Writing duration, position or id3 before any Sound asked for a file leaves an own value on
// the object that hides the prototype's (deleting it shows the prototype's again); after,
// the writes are ignored.
void shadow(Vm& vm, const CallInfo& c, std::string_view name) {
    Object* o = c.thisObject();
    if (o == nullptr || c.count() == 0) {
        return;
    }
    if (SoundObject* s = soundOf(c); s != nullptr && s->family != nullptr && s->family->loadAsked) {
        return;
    }
    vm.define(o, name, c.arg(0), 0);
}

Value shadowDuration(Vm& vm, const CallInfo& c) {
    shadow(vm, c, "duration");
    return Value();
}

Value shadowPosition(Vm& vm, const CallInfo& c) {
    shadow(vm, c, "position");
    return Value();
}

Value shadowId3(Vm& vm, const CallInfo& c) {
    shadow(vm, c, "id3");
    return Value();
}

Value getId3(Vm&, const CallInfo& c) {
    SoundObject* s = soundOf(c);
    return s != nullptr ? s->id3 : Value();
}

Value stopAllSounds(Vm& vm, const CallInfo&) {
    vm.host().stopSounds();
    return Value();
}

}  // namespace

namespace lib {

void installSound(Vm& vm) {
    Object* proto = vm.heap().make<SoundPrototype>(vm.protos().object);
    defineClass(vm, "Sound", soundConstructor, proto, allocateSound);
    constexpr std::uint16_t kHidden = kDontEnum | kDontDelete;
    constexpr std::uint16_t kLater = kHidden | kVersion6;
    vm.defineNative(proto, "getPan", getPan, kHidden);
    vm.defineNative(proto, "getTransform", getTransform, kHidden);
    vm.defineNative(proto, "getVolume", getVolume, kHidden);
    vm.defineNative(proto, "setPan", setPan, kHidden);
    vm.defineNative(proto, "setTransform", setTransform, kHidden);
    vm.defineNative(proto, "setVolume", setVolume, kHidden);
    vm.defineNative(proto, "stop", stopSound, kHidden);
    vm.defineNative(proto, "attachSound", attachSound, kHidden);
    vm.defineNative(proto, "start", startSound, kHidden);
    vm.defineNative(proto, "getDuration", getDuration, kLater);
    vm.defineNative(proto, "setDuration", returnsNothing, kLater);
    vm.defineNative(proto, "getPosition", getPosition, kLater);
    vm.defineNative(proto, "setPosition", returnsNothing, kLater);
    vm.defineNative(proto, "loadSound", loadSound, kLater);
    vm.defineNative(proto, "getBytesLoaded", bytesLoaded, kLater);
    vm.defineNative(proto, "getBytesTotal", bytesTotal, kLater);
    // Where a loaded file arrives.
    vm.defineNative(proto, "onData", soundLoaded, kLater);
    vm.defineAccessor(proto, "duration", getDuration, shadowDuration, kLater);
    vm.defineAccessor(proto, "id3", getId3, shadowId3, kLater);
    vm.defineAccessor(proto, "position", getPosition, shadowPosition, kLater);

    vm.defineNative(vm.global(), "stopAllSounds", stopAllSounds);
}

}  // namespace lib
}  // namespace zd::avm1
