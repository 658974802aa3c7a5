// TextSnapshot: the static text of a clip as it was when the snapshot was taken, searchable
// and selectable by character index. Line ends are not characters: they only show in the
// text when asked for.

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "engine/avm1/Library.h"
#include "engine/avm1/Strings.h"
#include "engine/avm1/TextFieldHost.h"
#include "engine/avm1/Vm.h"

namespace zd::avm1 {

namespace {

class TextSnapshotObject final : public Object {
  public:
    explicit TextSnapshotObject(Object* proto) : Object(proto) {}

    std::u16string chars;
    std::vector<bool> lineStart;  // a new line begins before this character
    std::vector<bool> selected;
    double selectColor = 0xffff00;

    int count() const { return static_cast<int>(chars.size()); }
};

TextSnapshotObject* snapshotOf(const CallInfo& c) {
    Object* o = c.thisObject();
    return o != nullptr ? dynamic_cast<TextSnapshotObject*>(o) : nullptr;
}

Object* allocateSnapshot(Vm& vm, Object* proto) {
    return vm.heap().make<TextSnapshotObject>(proto);
}

// An index argument as a whole number (NaN and what is no number count as 0).
double indexArg(Vm& vm, const Value& v) {
    const double d = vm.toNumber(v);
    return std::isfinite(d) ? std::trunc(d) : 0;
}

// The characters of [from, to), with '\n' before each that starts a line after the first.
std::string textOf(const TextSnapshotObject& s, int from, int to, bool lineEnds,
                   bool selectedOnly) {
    std::u16string out;
    bool pendingLine = false;
    for (int i = from; i < to; ++i) {
        const auto k = static_cast<std::size_t>(i);
        pendingLine = pendingLine || s.lineStart[k];
        if (selectedOnly && !s.selected[k]) {
            continue;
        }
        if (lineEnds && pendingLine && !out.empty()) {
            out += u'\n';
        }
        pendingLine = false;
        out += s.chars[k];
    }
    return fromUtf16(out);
}

Value snapshotConstructor(Vm& vm, const CallInfo& c) {
    TextSnapshotObject* s = snapshotOf(c);
    if (s == nullptr) {
        return Value();
    }
    Object* clip = c.arg(0).asObject();
    TextFieldHost* host = vm.host().textFields();
    if (clip == nullptr || clip->kind() != ObjectKind::Clip || host == nullptr) {
        return c.thisValue;
    }
    const std::u16string text = host->staticText(static_cast<ClipObject*>(clip)->id);
    bool line = false;
    for (const char16_t ch : text) {
        if (ch == u'\n') {
            line = true;
            continue;
        }
        s->chars += ch;
        s->lineStart.push_back(line);
        line = false;
    }
    s->selected.assign(s->chars.size(), false);
    return c.thisValue;
}

Value snapshotGetCount(Vm&, const CallInfo& c) {
    const TextSnapshotObject* s = snapshotOf(c);
    return s != nullptr && c.count() == 0 ? Value(static_cast<double>(s->count())) : Value();
}

// [from, to) as getText and the selection methods read their arguments: from within the
// text, and at least one character.
std::pair<int, int> rangeArgs(Vm& vm, const CallInfo& c, const TextSnapshotObject& s) {
    const double n = s.count();
    const double from = std::clamp(indexArg(vm, c.arg(0)), 0.0, n - 1);
    const double to = std::clamp(indexArg(vm, c.arg(1)), from + 1, n);
    return {static_cast<int>(from), static_cast<int>(to)};
}

Value snapshotGetText(Vm& vm, const CallInfo& c) {
    const TextSnapshotObject* s = snapshotOf(c);
    if (s == nullptr || c.count() < 2 || c.count() > 3 || s->count() == 0) {
        return Value();
    }
    const auto [from, to] = rangeArgs(vm, c, *s);
    const bool lineEnds = c.count() > 2 && vm.toBoolean(c.arg(2));
    return Value(vm.intern(textOf(*s, from, to, lineEnds, false)));
}

Value snapshotFindText(Vm& vm, const CallInfo& c) {
    const TextSnapshotObject* s = snapshotOf(c);
    if (s == nullptr || c.count() != 3) {
        return Value();
    }
    const double start = indexArg(vm, c.arg(0));
    const std::u16string needle = toUtf16(vm.toStdString(c.arg(1)));
    const bool caseSensitive = vm.toBoolean(c.arg(2));
    if (start < 0 || start >= s->count() || needle.empty()) {
        return Value(-1.0);
    }
    std::u16string hay = s->chars;
    std::u16string what = needle;
    if (!caseSensitive) {
        hay = toUtf16(toLowerCase(fromUtf16(hay)));
        what = toUtf16(toLowerCase(fromUtf16(what)));
    }
    const std::size_t at = hay.find(what, static_cast<std::size_t>(start));
    return Value(at == std::u16string::npos ? -1.0 : static_cast<double>(at));
}

Value snapshotSetSelected(Vm& vm, const CallInfo& c) {
    TextSnapshotObject* s = snapshotOf(c);
    if (s == nullptr || c.count() != 3 || s->count() == 0) {
        return Value();
    }
    const auto [from, to] = rangeArgs(vm, c, *s);
    const bool on = vm.toBoolean(c.arg(2));
    for (int i = from; i < to; ++i) {
        s->selected[static_cast<std::size_t>(i)] = on;
    }
    return Value();
}

Value snapshotGetSelected(Vm& vm, const CallInfo& c) {
    const TextSnapshotObject* s = snapshotOf(c);
    if (s == nullptr || c.count() != 2 || s->count() == 0) {
        return Value();
    }
    const auto [from, to] = rangeArgs(vm, c, *s);
    for (int i = from; i < to; ++i) {
        if (s->selected[static_cast<std::size_t>(i)]) {
            return Value::boolean(true);
        }
    }
    return Value::boolean(false);
}

Value snapshotGetSelectedText(Vm& vm, const CallInfo& c) {
    const TextSnapshotObject* s = snapshotOf(c);
    if (s == nullptr || c.count() > 1) {
        return Value();
    }
    const bool lineEnds = c.count() > 0 && vm.toBoolean(c.arg(0));
    return Value(vm.intern(textOf(*s, 0, s->count(), lineEnds, true)));
}

Value snapshotSetSelectColor(Vm& vm, const CallInfo& c) {
    TextSnapshotObject* s = snapshotOf(c);
    if (s != nullptr && c.count() == 1) {
        s->selectColor =
            static_cast<double>(static_cast<std::uint32_t>(vm.toInt32(c.arg(0))) & 0xffffffu);
    }
    return Value();
}

// The positions of glyphs are not kept with the snapshot: there is no run information or
// character near a point to give.
Value snapshotNoGlyphPositions(Vm&, const CallInfo&) {
    return Value();
}

Value clipGetTextSnapshot(Vm& vm, const CallInfo& c) {
    // Whatever TextSnapshot names now makes the snapshot, as `new TextSnapshot(this)` would.
    const Value ctor = vm.get(Value(vm.global()), "TextSnapshot");
    Object* f = ctor.asObject();
    if (f == nullptr || !f->isFunction()) {
        return Value();
    }
    return vm.construct(ctor, std::span<const Value>(&c.thisValue, 1));
}

}  // namespace

namespace lib {

void installTextSnapshot(Vm& vm) {
    Object* proto = vm.newObject();
    defineClass(vm, "TextSnapshot", snapshotConstructor, proto, allocateSnapshot);
    // Scripts can see and replace these, but not delete them.
    const std::pair<const char*, NativeFunction> methods[] = {
        {"getCount", snapshotGetCount},
        {"setSelected", snapshotSetSelected},
        {"getSelected", snapshotGetSelected},
        {"getText", snapshotGetText},
        {"getSelectedText", snapshotGetSelectedText},
        {"hitTestTextNearPos", snapshotNoGlyphPositions},
        {"findText", snapshotFindText},
        {"setSelectColor", snapshotSetSelectColor},
        {"getTextRunInfo", snapshotNoGlyphPositions},
    };
    for (const auto& [name, fn] : methods) {
        vm.defineNative(proto, name, fn, kDontDelete);
    }
    if (Object* clipProto = vm.protos().movieClip) {
        vm.defineNative(clipProto, "getTextSnapshot", clipGetTextSnapshot);
    }
}

}  // namespace lib
}  // namespace zd::avm1
