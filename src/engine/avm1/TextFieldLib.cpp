// TextField's own properties and methods, and TextFormat. The fields' state lives with the
// player (TextFieldHost); TextFormat objects hold their values natively so that every write
// is coerced as the field would take it.

#include <cmath>
#include <cstdint>
#include <limits>

#include "engine/avm1/InputLib.h"
#include "engine/avm1/Library.h"
#include "engine/avm1/Strings.h"
#include "engine/avm1/TextFieldHost.h"
#include "engine/avm1/Vm.h"

namespace zd::avm1 {

namespace {

class TextFormatObject final : public Object {
  public:
    explicit TextFormatObject(Object* proto) : Object(proto) {}
    TextFormatValues values;
    std::string display = "block";  // how a style sheet lays the text out
};

TextFormatObject* formatOf(const Value& v) {
    Object* o = v.asObject();
    return o != nullptr ? dynamic_cast<TextFormatObject*>(o) : nullptr;
}

DisplayId fieldOf(const CallInfo& c) {
    Object* o = c.thisObject();
    return o != nullptr && o->kind() == ObjectKind::Clip ? static_cast<ClipObject*>(o)->id
                                                         : kNoDisplay;
}

// Whole-pixel fields: rounded half to even; what an int cannot hold becomes its least value.
double roundedInt(double v) {
    if (!std::isfinite(v) || v >= 2147483648.0 || v < -2147483648.0) {
        return -2147483648.0;
    }
    return std::nearbyint(v);
}

// Margins cannot go below zero; what an int cannot hold is its least value still.
double roundedMargin(double v) {
    if (std::isnan(v) || v < 0) {
        return 0;
    }
    return roundedInt(v);
}

std::uint32_t colorValue(double v) {
    if (!std::isfinite(v)) {
        return 0;
    }
    const double t = std::trunc(std::fmod(v, 4294967296.0));
    return static_cast<std::uint32_t>(static_cast<std::int64_t>(t));
}

const char* alignName(std::uint8_t a) {
    switch (a) {
        case 1:
            return "right";
        case 2:
            return "center";
        case 3:
            return "justify";
        default:
            return "left";
    }
}

std::optional<std::uint8_t> alignOf(std::string_view s) {
    std::string l(s);
    for (char& ch : l) {
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    }
    if (l == "left") {
        return 0;
    }
    if (l == "right") {
        return 1;
    }
    if (l == "center") {
        return 2;
    }
    if (l == "justify") {
        return 3;
    }
    return std::nullopt;
}

// --- TextFormat fields, by index ---

// Font names are cut to this many characters.
constexpr std::size_t kMaxFontName = 64;

enum Field : int {
    Font,
    Size,
    Color,
    Bold,
    Italic,
    Underline,
    Url,
    Target,
    Align,
    LeftMargin,
    RightMargin,
    Indent,
    Leading,
    BlockIndent,
    LetterSpacing,
    Bullet,
    Kerning,
    TabStops,
    kFieldCount,
};

const char* const kFieldNames[kFieldCount] = {
    "font",    "size",        "color",         "bold",       "italic",      "underline",
    "url",     "target",      "align",         "leftMargin", "rightMargin", "indent",
    "leading", "blockIndent", "letterSpacing", "bullet",     "kerning",     "tabStops",
};

template <typename T>
Value optNumber(const std::optional<T>& v) {
    return v ? Value(static_cast<double>(*v)) : Value::null();
}

Value optBool(const std::optional<bool>& v) {
    return v ? Value::boolean(*v) : Value::null();
}

Value optString(Vm& vm, const std::optional<std::string>& v) {
    return v ? Value(vm.str(*v)) : Value::null();
}

Value fieldValue(Vm& vm, const TextFormatValues& f, int field) {
    switch (field) {
        case Font:
            return optString(vm, f.font);
        case Size:
            return optNumber(f.size);
        case Color:
            return optNumber(f.color);
        case Bold:
            return optBool(f.bold);
        case Italic:
            return optBool(f.italic);
        case Underline:
            return optBool(f.underline);
        case Url:
            return optString(vm, f.url);
        case Target:
            return optString(vm, f.target);
        case Align:
            return f.align ? Value(vm.str(std::string(alignName(*f.align)))) : Value::null();
        case LeftMargin:
            return optNumber(f.leftMargin);
        case RightMargin:
            return optNumber(f.rightMargin);
        case Indent:
            return optNumber(f.indent);
        case Leading:
            return optNumber(f.leading);
        case BlockIndent:
            return optNumber(f.blockIndent);
        case LetterSpacing:
            return optNumber(f.letterSpacing);
        case Bullet:
            return optBool(f.bullet);
        case Kerning:
            return optBool(f.kerning);
        case TabStops: {
            if (!f.tabStops) {
                return Value::null();
            }
            std::vector<Value> items;
            for (double d : *f.tabStops) {
                items.emplace_back(d);
            }
            return Value(vm.newArray(items));
        }
        default:
            return Value();
    }
}

// Version 7 movies and older cut whole-pixel fields toward zero.
double truncatedInt(double v) {
    if (!std::isfinite(v) || v >= 2147483648.0 || v < -2147483648.0) {
        return -2147483648.0;
    }
    return std::trunc(v);
}

// ...and their setters keep spacing from going below zero, which the constructor allows.
double truncatedSpacing(double v) {
    return std::isnan(v) || v < 0 ? 0 : truncatedInt(v);
}

// constructing: a value passed to the constructor rather than set on its own.
void setField(Vm& vm, TextFormatValues& f, int field, const Value& v, bool constructing = false) {
    const bool unset = v.isNullish();
    const bool old = vm.swfVersion() < 8;
    double (*const whole)(double) = old ? truncatedInt : roundedInt;
    double (*const margin)(double) = !old           ? roundedMargin
                                     : constructing ? truncatedInt
                                                    : truncatedSpacing;
    double (*const spacing)(double) = old && !constructing ? truncatedSpacing : whole;
    auto number = [&](std::optional<double>& to, double (*round)(double)) {
        if (unset) {
            to.reset();
        } else {
            to = round(vm.toNumber(v));
        }
    };
    auto flag = [&](std::optional<bool>& to) {
        if (unset) {
            to.reset();
        } else {
            to = vm.toBoolean(v);
        }
    };
    auto text = [&](std::optional<std::string>& to) {
        if (unset) {
            to.reset();
        } else {
            to = vm.toStdString(v);
        }
    };
    switch (field) {
        case Font:
            text(f.font);
            if (f.font && f.font->size() > kMaxFontName) {
                std::size_t n = kMaxFontName;
                while (n > 0 && (static_cast<unsigned char>((*f.font)[n]) & 0xc0) == 0x80) {
                    --n;  // not inside a character
                }
                f.font->resize(n);
            }
            break;
        case Size:
            number(f.size, whole);
            break;
        case Color:
            if (unset) {
                f.color.reset();
            } else {
                f.color = colorValue(vm.toNumber(v));
            }
            break;
        case Bold:
            flag(f.bold);
            break;
        case Italic:
            flag(f.italic);
            break;
        case Underline:
            flag(f.underline);
            break;
        case Url:
            text(f.url);
            break;
        case Target:
            text(f.target);
            break;
        case Align:
            // null and undefined are names like any other: no alignment, nothing changes.
            if (auto a = alignOf(vm.toStdString(v))) {
                f.align = a;
            }
            break;
        case LeftMargin:
            number(f.leftMargin, margin);
            break;
        case RightMargin:
            number(f.rightMargin, margin);
            break;
        case Indent:
            number(f.indent, spacing);
            break;
        case Leading:
            number(f.leading, spacing);
            break;
        case BlockIndent:
            number(f.blockIndent, spacing);
            break;
        case LetterSpacing:
            number(f.letterSpacing, [](double d) { return d; });
            break;
        case Bullet:
            flag(f.bullet);
            break;
        case Kerning:
            flag(f.kerning);
            break;
        case TabStops: {
            if (unset) {
                f.tabStops.reset();
                break;
            }
            // Any object with a length is read as a list, not only arrays.
            Object* o = v.asObject();
            if (o == nullptr) {
                break;
            }
            std::vector<double> stops;
            const std::uint32_t n = std::min<std::uint32_t>(lib::lengthOf(vm, o), 10000);
            for (std::uint32_t i = 0; i < n; ++i) {
                stops.push_back(roundedInt(vm.toNumber(lib::elementAt(vm, o, i))));
            }
            f.tabStops = std::move(stops);
            break;
        }
        default:
            break;
    }
}

template <int F>
Value formatGet(Vm& vm, const CallInfo& c) {
    TextFormatObject* t = formatOf(c.thisValue);
    return t != nullptr ? fieldValue(vm, t->values, F) : Value();
}

template <int F>
Value formatSet(Vm& vm, const CallInfo& c) {
    if (TextFormatObject* t = formatOf(c.thisValue)) {
        setField(vm, t->values, F, c.arg(0));
    }
    return Value();
}

template <int... F>
void defineFormatFields(Vm& vm, Object* proto, std::integer_sequence<int, F...>) {
    ((vm.defineAccessor(proto, kFieldNames[F], formatGet<F>, formatSet<F>)), ...);
}

Value formatGetDisplay(Vm& vm, const CallInfo& c) {
    TextFormatObject* t = formatOf(c.thisValue);
    return t != nullptr ? Value(vm.str(t->display)) : Value();
}

Value formatSetDisplay(Vm& vm, const CallInfo& c) {
    if (TextFormatObject* t = formatOf(c.thisValue); t != nullptr && c.count() > 0) {
        const std::string v = vm.toStdString(c.arg(0));
        t->display = v == "inline" || v == "none" ? v : std::string("block");
    }
    return Value();
}

Object* allocateFormat(Vm& vm, Object* proto) {
    return vm.heap().make<TextFormatObject>(proto);
}

Value textFormatConstructor(Vm& vm, const CallInfo& c) {
    TextFormatObject* t = formatOf(c.thisValue);
    if (t == nullptr) {
        return Value();
    }
    // new TextFormat(font, size, color, bold, italic, underline, url, target, align,
    // leftMargin, rightMargin, indent, leading)
    static constexpr int kOrder[] = {Font,   Size,  Color,      Bold,        Italic, Underline, Url,
                                     Target, Align, LeftMargin, RightMargin, Indent, Leading};
    for (std::size_t i = 0; i < std::size(kOrder) && i < c.count(); ++i) {
        setField(vm, t->values, kOrder[i], c.arg(i), true);
    }
    return c.thisValue;
}

Value makeFormat(Vm& vm, const TextFormatValues& values) {
    auto* t = vm.heap().make<TextFormatObject>(vm.protos().textFormat);
    t->values = values;
    return Value(t);
}

Value textFormatGetTextExtent(Vm& vm, const CallInfo& c) {
    TextFormatObject* t = formatOf(c.thisValue);
    TextFieldHost* host = vm.host().textFields();
    if (t == nullptr || host == nullptr || c.count() == 0) {
        return Value();
    }
    std::optional<double> width;
    if (c.count() > 1 && !c.arg(1).isUndefined()) {
        width = vm.toNumber(c.arg(1));
    }
    const auto size = host->measure(t->values, vm.toStdString(c.arg(0)), width);
    // A bare record: it inherits nothing, not even Object's methods.
    Object* o = vm.heap().make<Object>(nullptr);
    vm.set(Value(o), vm.intern("width"), Value(size[0]));
    vm.set(Value(o), vm.intern("height"), Value(size[1]));
    vm.set(Value(o), vm.intern("ascent"), Value(size[2]));
    vm.set(Value(o), vm.intern("descent"), Value(size[3]));
    // A field of the given width holds the text; without one it is the text's plus gutters.
    vm.set(Value(o), vm.intern("textFieldWidth"), Value(width ? *width : size[0] + 4));
    vm.set(Value(o), vm.intern("textFieldHeight"), Value(size[1] + 4));
    return Value(o);
}

// --- TextField properties ---

struct PropertyName {
    const char* name;
    TextProperty property;
    bool readOnly;
};

constexpr PropertyName kTextProperties[] = {
    {"text", TextProperty::Text, false},
    {"htmlText", TextProperty::HtmlText, false},
    {"html", TextProperty::Html, false},
    {"variable", TextProperty::Variable, false},
    {"autoSize", TextProperty::AutoSize, false},
    {"wordWrap", TextProperty::WordWrap, false},
    {"multiline", TextProperty::Multiline, false},
    {"border", TextProperty::Border, false},
    {"borderColor", TextProperty::BorderColor, false},
    {"background", TextProperty::Background, false},
    {"backgroundColor", TextProperty::BackgroundColor, false},
    {"textColor", TextProperty::TextColor, false},
    {"embedFonts", TextProperty::EmbedFonts, false},
    {"selectable", TextProperty::Selectable, false},
    {"type", TextProperty::Type, false},
    {"password", TextProperty::Password, false},
    {"maxChars", TextProperty::MaxChars, false},
    {"restrict", TextProperty::Restrict, false},
    {"condenseWhite", TextProperty::CondenseWhite, false},
    {"scroll", TextProperty::Scroll, false},
    {"maxscroll", TextProperty::MaxScroll, true},
    {"hscroll", TextProperty::HScroll, false},
    {"maxhscroll", TextProperty::MaxHScroll, true},
    {"bottomScroll", TextProperty::BottomScroll, true},
    {"textWidth", TextProperty::TextWidth, true},
    {"textHeight", TextProperty::TextHeight, true},
    {"length", TextProperty::Length, true},
    {"antiAliasType", TextProperty::AntiAliasType, false},
    {"gridFitType", TextProperty::GridFitType, false},
    {"sharpness", TextProperty::Sharpness, false},
    {"thickness", TextProperty::Thickness, false},
    {"mouseWheelEnabled", TextProperty::MouseWheelEnabled, false},
};
constexpr int kTextPropertyCount = static_cast<int>(std::size(kTextProperties));

template <int P>
Value fieldGet(Vm& vm, const CallInfo& c) {
    TextFieldHost* host = vm.host().textFields();
    const DisplayId id = fieldOf(c);
    if (host == nullptr || id == kNoDisplay) {
        return Value();
    }
    const TextProperty p = kTextProperties[P].property;
    const DisplayValue v = host->textProperty(id, p);
    if (std::holds_alternative<std::monostate>(v)) {
        return p == TextProperty::Variable || p == TextProperty::Restrict ? Value::null() : Value();
    }
    if (const double* d = std::get_if<double>(&v)) {
        return Value(*d);
    }
    if (const bool* b = std::get_if<bool>(&v)) {
        return Value::boolean(*b);
    }
    return Value(vm.str(std::get<std::string>(v)));
}

template <int P>
Value fieldSet(Vm& vm, const CallInfo& c) {
    TextFieldHost* host = vm.host().textFields();
    const DisplayId id = fieldOf(c);
    if (host == nullptr || id == kNoDisplay || kTextProperties[P].readOnly) {
        return Value();
    }
    const TextProperty p = kTextProperties[P].property;
    const Value v = c.arg(0);
    switch (p) {
        case TextProperty::Text:
        case TextProperty::HtmlText:
        case TextProperty::Type:
        case TextProperty::AntiAliasType:
        case TextProperty::GridFitType:
            host->setTextProperty(id, p, DisplayValue(vm.toStdString(v)));
            break;
        case TextProperty::Variable:
        case TextProperty::Restrict:
            host->setTextProperty(id, p,
                                  v.isNullish() ? DisplayValue() : DisplayValue(vm.toStdString(v)));
            break;
        case TextProperty::AutoSize:
            if (v.isBoolean()) {
                host->setTextProperty(id, p,
                                      DisplayValue(std::string(v.boolean() ? "left" : "none")));
            } else {
                host->setTextProperty(id, p, DisplayValue(vm.toStdString(v)));
            }
            break;
        case TextProperty::Html:
        case TextProperty::WordWrap:
        case TextProperty::Multiline:
        case TextProperty::Border:
        case TextProperty::Background:
        case TextProperty::EmbedFonts:
        case TextProperty::Selectable:
        case TextProperty::Password:
        case TextProperty::CondenseWhite:
        case TextProperty::MouseWheelEnabled:
            host->setTextProperty(id, p, DisplayValue(vm.toBoolean(v)));
            break;
        default:
            host->setTextProperty(id, p, DisplayValue(vm.toNumber(v)));
            break;
    }
    return Value();
}

// Properties fields have that nothing here fills yet: they read as undefined and writes are
// ignored.
constexpr const char* kFixedNames[] = {"styleSheet", "filters"};

Value nothing(Vm&, const CallInfo&) {
    return Value();
}

// The order for-in lists a field's properties in (they are listed last defined first).
constexpr const char* kEnumerationOrder[] = {
    "styleSheet",
    "mouseWheelEnabled",
    "condenseWhite",
    "restrict",
    "textHeight",
    "textWidth",
    "bottomScroll",
    "length",
    "selectable",
    "multiline",
    "password",
    "wordWrap",
    "background",
    "border",
    "html",
    "embedFonts",
    "maxChars",
    "maxhscroll",
    "hscroll",
    "variable",
    "htmlText",
    "type",
    "text",
    "autoSize",
    "tabIndex",
    "textColor",
    "backgroundColor",
    "borderColor",
    "maxscroll",
    "scroll",
    "filters",
    "sharpness",
    "thickness",
    "antiAliasType",
    "gridFitType",
};

template <int... P, int... F>
void defineFieldProperties(Vm& vm, Object* proto, std::integer_sequence<int, P...>,
                           std::integer_sequence<int, F...>) {
    struct Accessor {
        const char* name;
        NativeFunction get;
        NativeFunction set;
    };
    const Accessor accessors[] = {{kTextProperties[P].name, fieldGet<P>, fieldSet<P>}...,
                                  {kFixedNames[F], nothing, nothing}...,
                                  {"tabIndex", tabIndexGet, tabIndexSet}};
    // Filters and the rendering settings came with SWF 8; older movies see their names only.
    auto present = [&vm](std::string_view name) {
        return vm.swfVersion() >= 8 ||
               (name != "filters" && name != "sharpness" && name != "thickness" &&
                name != "antiAliasType" && name != "gridFitType");
    };
    for (std::size_t i = std::size(kEnumerationOrder); i-- > 0;) {
        for (const Accessor& a : accessors) {
            if (std::string_view(a.name) != kEnumerationOrder[i]) {
                continue;
            }
            if (present(a.name)) {
                vm.defineAccessor(proto, a.name, a.get, a.set);
            } else {
                vm.define(proto, a.name, Value(), 0);  // a plain slot, nothing behind it
            }
        }
    }
}

// --- TextField methods ---

int indexArg(Vm& vm, const Value& v, int fallback) {
    if (v.isUndefined()) {
        return fallback;
    }
    const double d = vm.toNumber(v);
    if (!std::isfinite(d)) {
        return fallback;
    }
    return static_cast<int>(std::clamp(d, -2147483648.0, 2147483647.0));
}

// getTextFormat(), getTextFormat(index), getTextFormat(begin, end).
Value tfGetTextFormat(Vm& vm, const CallInfo& c) {
    TextFieldHost* host = vm.host().textFields();
    const DisplayId id = fieldOf(c);
    if (host == nullptr || id == kNoDisplay) {
        return Value();
    }
    int begin = 0;
    int end = std::numeric_limits<int>::max();
    if (c.count() >= 1 && !c.arg(0).isUndefined()) {
        begin = indexArg(vm, c.arg(0), 0);
        end = begin + 1;
    }
    if (c.count() >= 2 && !c.arg(1).isUndefined()) {
        end = indexArg(vm, c.arg(1), end);
    }
    const auto f = host->textFormat(id, begin, end);
    return f ? makeFormat(vm, *f) : Value();
}

Value tfSetTextFormat(Vm& vm, const CallInfo& c) {
    TextFieldHost* host = vm.host().textFields();
    const DisplayId id = fieldOf(c);
    if (host == nullptr || id == kNoDisplay || c.count() == 0) {
        return Value();
    }
    // The format is the last argument; indices come before it.
    TextFormatObject* t = formatOf(c.arg(c.count() - 1));
    if (t == nullptr) {
        return Value();
    }
    int begin = 0;
    int end = std::numeric_limits<int>::max();
    if (c.count() == 2) {
        begin = indexArg(vm, c.arg(0), 0);
        end = begin + 1;
    } else if (c.count() >= 3) {
        begin = indexArg(vm, c.arg(0), 0);
        end = indexArg(vm, c.arg(1), end);
    }
    host->setTextFormat(id, begin, end, t->values);
    return Value();
}

Value tfGetNewTextFormat(Vm& vm, const CallInfo& c) {
    TextFieldHost* host = vm.host().textFields();
    const DisplayId id = fieldOf(c);
    if (host == nullptr || id == kNoDisplay) {
        return Value();
    }
    const auto f = host->newTextFormat(id);
    return f ? makeFormat(vm, *f) : Value();
}

Value tfSetNewTextFormat(Vm& vm, const CallInfo& c) {
    TextFieldHost* host = vm.host().textFields();
    const DisplayId id = fieldOf(c);
    TextFormatObject* t = formatOf(c.arg(0));
    if (host != nullptr && id != kNoDisplay && t != nullptr) {
        host->setNewTextFormat(id, t->values);
    }
    return Value();
}

Value tfReplaceText(Vm& vm, const CallInfo& c) {
    TextFieldHost* host = vm.host().textFields();
    const DisplayId id = fieldOf(c);
    if (host == nullptr || id == kNoDisplay || c.count() < 3) {
        return Value();
    }
    const int begin = indexArg(vm, c.arg(0), 0);
    const int end = indexArg(vm, c.arg(1), 0);
    if (begin < 0 || end < begin) {
        return Value();
    }
    host->replaceText(id, begin, end, vm.toStdString(c.arg(2)));
    return Value();
}

Value tfReplaceSel(Vm& vm, const CallInfo& c) {
    TextFieldHost* host = vm.host().textFields();
    const DisplayId id = fieldOf(c);
    if (host == nullptr || id == kNoDisplay || c.count() == 0) {
        return Value();
    }
    const auto sel = host->selection(id);
    host->replaceText(id, sel[0], sel[1], vm.toStdString(c.arg(0)));
    return Value();
}

Value tfRemoveTextField(Vm& vm, const CallInfo& c) {
    const DisplayId id = fieldOf(c);
    if (id != kNoDisplay) {
        if (auto d = vm.host().depth(id); d && *d >= 0) {
            vm.host().remove(id);
        }
    }
    return Value();
}

Value tfGetDepth(Vm& vm, const CallInfo& c) {
    const DisplayId id = fieldOf(c);
    if (id != kNoDisplay) {
        if (auto d = vm.host().depth(id)) {
            return Value(static_cast<double>(*d));
        }
    }
    return Value();
}

Value tfGetFontList(Vm& vm, const CallInfo&) {
    const Value names[] = {Value(vm.intern("_sans")), Value(vm.intern("_serif")),
                           Value(vm.intern("_typewriter"))};
    return Value(vm.newArray(names));
}

Value textFieldConstructor(Vm&, const CallInfo& c) {
    return c.thisValue;
}

}  // namespace

namespace lib {

void installTextField(Vm& vm) {
    Object* formatProto = vm.newObject();
    vm.protos().textFormat = formatProto;
    defineClass(vm, "TextFormat", textFormatConstructor, formatProto, allocateFormat);
    defineFormatFields(vm, formatProto, std::make_integer_sequence<int, kFieldCount>{});
    vm.defineAccessor(formatProto, "display", formatGetDisplay, formatSetDisplay);
    vm.defineNative(formatProto, "getTextExtent", textFormatGetTextExtent);

    Object* proto = vm.protos().textField;
    FunctionObject* ctor = defineClass(vm, "TextField", textFieldConstructor, proto);
    defineFieldProperties(vm, proto, std::make_integer_sequence<int, kTextPropertyCount>{},
                          std::make_integer_sequence<int, std::size(kFixedNames)>{});
    vm.defineNative(proto, "getTextFormat", tfGetTextFormat);
    vm.defineNative(proto, "setTextFormat", tfSetTextFormat);
    vm.defineNative(proto, "getNewTextFormat", tfGetNewTextFormat);
    vm.defineNative(proto, "setNewTextFormat", tfSetNewTextFormat);
    if (vm.swfVersion() >= 7) {
        vm.defineNative(proto, "replaceText", tfReplaceText);
    }
    vm.defineNative(proto, "replaceSel", tfReplaceSel);
    vm.defineNative(proto, "removeTextField", tfRemoveTextField);
    vm.defineNative(proto, "getDepth", tfGetDepth);
    vm.defineNative(ctor, "getFontList", tfGetFontList);
    installStyleSheet(vm, ctor);
    // Fields broadcast their own events (onChanged, onScroller) to their listeners.
    if (Object* broadcaster = vm.get(Value(vm.global()), "AsBroadcaster").asObject()) {
        for (const char* name : {"broadcastMessage", "addListener", "removeListener"}) {
            vm.define(proto, name, vm.get(Value(broadcaster), name), kDontEnum);
        }
    }
    installTextSnapshot(vm);
}

Value newTextFormat(Vm& vm, const TextFormatValues& values, std::string_view display) {
    auto* t = vm.heap().make<TextFormatObject>(vm.protos().textFormat);
    t->values = values;
    t->display = std::string(display);
    return Value(t);
}

void initTextFieldObject(Vm& vm, Object* field) {
    // A field listens to itself first.
    const Value self(field);
    vm.define(field, "_listeners", Value(vm.newArray(std::span<const Value>(&self, 1))), kDontEnum);
}

}  // namespace lib
}  // namespace zd::avm1
