// TextField.StyleSheet: named styles kept as the plain objects scripts gave (in _css) and as
// the text formats transform() made of them (in _styles), so that a subclass overriding
// transform sees every style pass through it.

#include <cmath>
#include <limits>

#include "engine/avm1/Library.h"
#include "engine/avm1/StyleSheet.h"
#include "engine/avm1/TextFieldHost.h"
#include "engine/avm1/Vm.h"

namespace zd::avm1 {

namespace {

constexpr std::uint16_t kFixed = kDontEnum | kDontDelete | kReadOnly;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Decimal parseInt as style values are read: blanks, a sign, digits; NaN without digits.
double cssInteger(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && isBlank(s[i])) {
        ++i;
    }
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
        negative = s[i] == '-';
        ++i;
    }
    double v = 0;
    bool any = false;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        v = v * 10 + (s[i] - '0');
        any = true;
    }
    if (!any) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    return negative ? -v : v;
}

// Whole pixels a format holds: NaN becomes 0, what an int cannot hold its least value.
double wholePixels(double v) {
    if (std::isnan(v)) {
        return 0;
    }
    if (!std::isfinite(v) || v >= 2147483648.0 || v < -2147483648.0) {
        return -2147483648.0;
    }
    return std::nearbyint(v);
}

std::optional<std::uint32_t> cssColor(std::string_view s) {
    if (s.size() != 7 || s[0] != '#') {
        return std::nullopt;
    }
    std::uint32_t c = 0;
    for (std::size_t i = 1; i < 7; ++i) {
        const char d = static_cast<char>(std::tolower(static_cast<unsigned char>(s[i])));
        if (d >= '0' && d <= '9') {
            c = c << 4 | static_cast<std::uint32_t>(d - '0');
        } else if (d >= 'a' && d <= 'f') {
            c = c << 4 | static_cast<std::uint32_t>(d - 'a' + 10);
        } else {
            return std::nullopt;
        }
    }
    return c;
}

// "a, b" lists: each name loses its leading blanks, empty ones go, generic families become
// the device fonts that stand for them.
std::string fontList(std::string_view s) {
    std::string out;
    while (true) {
        const std::size_t comma = s.find(',');
        std::string_view one = s.substr(0, comma);
        while (!one.empty() && isBlank(one.front())) {
            one.remove_prefix(1);
        }
        if (!one.empty()) {
            if (one == "sans-serif") {
                one = "_sans";
            } else if (one == "serif") {
                one = "_serif";
            } else if (one == "mono") {
                one = "_typewriter";
            }
            out += out.empty() ? "" : ",";
            out += one;
        }
        if (comma == std::string_view::npos) {
            return out;
        }
        s.remove_prefix(comma + 1);
    }
}

Value ssConstructor(Vm&, const CallInfo& c) {
    return c.thisValue;
}

Value ssTransform(Vm& vm, const CallInfo& c) {
    const Value style = c.arg(0);
    if (style.isNullish()) {
        return Value::null();
    }
    TextFormatValues f;
    std::string display = "block";
    // A property counts when it is set to something true; its text is what is read.
    auto text = [&](const char* name) -> std::optional<std::string> {
        const Value v = vm.get(style, name);
        if (!vm.toBoolean(v)) {
            return std::nullopt;
        }
        return vm.toStdString(v);
    };
    // Keywords are matched only when the value is that very string.
    auto keyword = [&](const char* name) -> std::string {
        const Value v = vm.get(style, name);
        return v.isString() ? std::string(v.string()->view()) : std::string();
    };
    if (auto v = text("textAlign")) {
        std::string l = *v;
        for (char& ch : l) {
            ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        }
        if (l == "left" || l == "right" || l == "center" || l == "justify") {
            f.align = l == "left" ? 0 : l == "right" ? 1 : l == "center" ? 2 : 3;
        }
    }
    const std::string weight = keyword("fontWeight");
    if (weight == "bold" || weight == "normal") {
        f.bold = weight == "bold";
    }
    if (auto v = text("color")) {
        f.color = cssColor(*v);
    }
    if (auto v = text("display"); v && (*v == "inline" || *v == "none")) {
        display = *v;
    }
    if (auto v = text("fontFamily")) {
        f.font = fontList(*v);
    }
    if (auto v = text("fontSize")) {
        const double size = cssInteger(*v);
        if (size > 0) {
            f.size = wholePixels(size);
        }
    }
    const std::string fontStyle = keyword("fontStyle");
    if (fontStyle == "italic" || fontStyle == "normal") {
        f.italic = fontStyle == "italic";
    }
    // Kerning is always said: on for "true" or a number other than zero.
    const Value kerning = vm.get(style, "kerning");
    const double k = cssInteger(vm.toStdString(kerning));
    f.kerning =
        (kerning.isString() && kerning.string()->view() == "true") || (!std::isnan(k) && k != 0);
    if (auto v = text("leading")) {
        f.leading = wholePixels(cssInteger(*v));
    }
    if (auto v = text("letterSpacing")) {
        f.letterSpacing = cssInteger(*v);
    }
    if (auto v = text("marginLeft")) {
        f.leftMargin = std::max(0.0, wholePixels(cssInteger(*v)));
    }
    if (auto v = text("marginRight")) {
        f.rightMargin = std::max(0.0, wholePixels(cssInteger(*v)));
    }
    const std::string decoration = keyword("textDecoration");
    if (decoration == "underline" || decoration == "none") {
        f.underline = decoration == "underline";
    }
    if (auto v = text("textIndent")) {
        f.indent = wholePixels(cssInteger(*v));
    }
    return lib::newTextFormat(vm, f, display);
}

// The sheet's own table of that name, made when it has none yet.
Object* table(Vm& vm, const Value& self, const char* name) {
    if (Object* o = vm.get(self, name).asObject()) {
        return o;
    }
    Object* o = vm.newObject();
    vm.set(self, name, Value(o));
    return o;
}

Object* shallowCopy(Vm& vm, Object* from) {
    Object* to = vm.newObject();
    for (String* key : vm.enumerate(from)) {
        vm.set(Value(to), key, vm.get(Value(from), key));
    }
    return to;
}

// Keeps a style (null when it is no object: the name stays listed) and what transform
// makes of it.
void storeStyle(Vm& vm, const Value& self, String* name, Object* style) {
    Object* css = table(vm, self, "_css");
    Object* styles = table(vm, self, "_styles");
    const Value arg = style != nullptr ? Value(style) : Value::null();
    vm.set(Value(css), name, arg);
    const Value made = vm.call(vm.get(self, "transform"), self, std::span<const Value>(&arg, 1));
    vm.set(Value(styles), name, made);
}

Value ssSetStyle(Vm& vm, const CallInfo& c) {
    if (c.thisObject() == nullptr) {
        return Value();
    }
    Object* given = c.arg(1).asObject();
    Object* style = given != nullptr && !given->isFunction() ? shallowCopy(vm, given) : nullptr;
    storeStyle(vm, c.thisValue, vm.toString(c.arg(0)), style);
    return Value();
}

Value ssGetStyle(Vm& vm, const CallInfo& c) {
    Object* css = vm.get(c.thisValue, "_css").asObject();
    if (css == nullptr) {
        return Value::null();
    }
    String* name = vm.toString(c.arg(0));
    if (!vm.has(css, name, true)) {
        return Value::null();
    }
    Object* style = vm.get(Value(css), name).asObject();
    return style != nullptr ? Value(shallowCopy(vm, style)) : Value::null();
}

Value ssGetStyleNames(Vm& vm, const CallInfo& c) {
    std::vector<Value> names;
    if (Object* css = vm.get(c.thisValue, "_css").asObject()) {
        for (String* key : vm.enumerate(css)) {
            names.emplace_back(key);
        }
    }
    return Value(vm.newArray(names));
}

Value ssClear(Vm& vm, const CallInfo& c) {
    if (c.thisObject() != nullptr) {
        vm.set(c.thisValue, "_css", Value(vm.newObject()));
        vm.set(c.thisValue, "_styles", Value(vm.newObject()));
    }
    return Value();
}

// A sheet that cannot be read leaves every style as it was.
Value ssParseCss(Vm& vm, const CallInfo& c) {
    if (c.thisObject() == nullptr) {
        return Value::boolean(false);
    }
    const auto rules = parseCss(vm.toStdString(c.arg(0)));
    if (!rules) {
        return Value::boolean(false);
    }
    for (const CssRule& rule : *rules) {
        Object* style = vm.newObject();
        for (const auto& [name, value] : rule.properties) {
            vm.set(Value(style), vm.str(name), Value(vm.str(value)));
        }
        storeStyle(vm, c.thisValue, vm.str(rule.selector), style);
    }
    return Value::boolean(true);
}

Value ssLoad(Vm& vm, const CallInfo& c) {
    Object* self = c.thisObject();
    if (self == nullptr || c.count() == 0) {
        return Value::boolean(false);
    }
    vm.set(c.thisValue, "loaded", Value::boolean(false));
    vm.requestLoad(self, vm.toStdString(c.arg(0)), UrlMethod::Get, "");
    return Value::boolean(true);
}

Value ssOnData(Vm& vm, const CallInfo& c) {
    const Value onLoad = vm.get(c.thisValue, "onLoad");
    bool ok = false;
    if (!c.arg(0).isUndefined()) {
        const Value src = c.arg(0);
        ok = vm.toBoolean(
            vm.call(vm.get(c.thisValue, "parse"), c.thisValue, std::span<const Value>(&src, 1)));
        vm.set(c.thisValue, "loaded", Value::boolean(ok));
    }
    const Value arg = Value::boolean(ok);
    vm.call(onLoad, c.thisValue, std::span<const Value>(&arg, 1));
    return Value();
}

}  // namespace

namespace lib {

void installStyleSheet(Vm& vm, Object* textFieldConstructor) {
    Object* proto = vm.newObject();
    FunctionObject* ctor = defineClass(vm, "", ssConstructor, proto);
    vm.define(textFieldConstructor, "StyleSheet", Value(ctor), kDontEnum | kVersion7);
    vm.defineNative(proto, "transform", ssTransform, kFixed);
    vm.defineNative(proto, "setStyle", ssSetStyle, kFixed);
    vm.defineNative(proto, "parseCSS", ssParseCss, kFixed);
    vm.defineNative(proto, "parse", ssParseCss, kFixed);
    vm.defineNative(proto, "load", ssLoad, kFixed);
    vm.defineNative(proto, "onData", ssOnData, kFixed);
    vm.defineNative(proto, "getStyleNames", ssGetStyleNames, kFixed);
    vm.defineNative(proto, "getStyle", ssGetStyle, kFixed);
    vm.defineNative(proto, "clear", ssClear, kFixed);
}

}  // namespace lib
}  // namespace zd::avm1
