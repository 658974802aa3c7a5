// The objects that talk to the world outside the movie: ExternalInterface and LocalConnection.
// Neither has a peer in this player: calls report failure, as they do when nobody listens.

#include <array>
#include <string>
#include <string_view>
#include <utility>

#include "engine/avm1/Library.h"
#include "engine/avm1/Vm.h"

namespace zd::avm1 {

namespace {

// The five entities XML knows, and nothing else (no numeric references, no other case).
constexpr std::array<std::pair<char, std::string_view>, 5> kEntities{{
    {'&', "&amp;"},
    {'<', "&lt;"},
    {'>', "&gt;"},
    {'"', "&quot;"},
    {'\'', "&apos;"},
}};

// Both helpers answer null for an empty or missing text.
Value escapeXml(Vm& vm, const CallInfo& c) {
    const std::string in = c.count() > 0 ? vm.toStdString(c.arg(0)) : std::string();
    if (in.empty()) {
        return Value::null();
    }
    std::string out;
    out.reserve(in.size());
    for (char ch : in) {
        bool replaced = false;
        for (const auto& [plain, entity] : kEntities) {
            if (ch == plain) {
                out += entity;
                replaced = true;
                break;
            }
        }
        if (!replaced) {
            out.push_back(ch);
        }
    }
    return Value(vm.str(std::move(out)));
}

Value unescapeXml(Vm& vm, const CallInfo& c) {
    const std::string in = c.count() > 0 ? vm.toStdString(c.arg(0)) : std::string();
    if (in.empty()) {
        return Value::null();
    }
    std::string out;
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size();) {
        bool replaced = false;
        if (in[i] == '&') {
            for (const auto& [plain, entity] : kEntities) {
                if (std::string_view(in).substr(i, entity.size()) == entity) {
                    out.push_back(plain);
                    i += entity.size();
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced) {
            out.push_back(in[i++]);
        }
    }
    return Value(vm.str(std::move(out)));
}

// A text made safe between double quotes for the page's script: only the quote is escaped
// (a backslash before it stays as it is), and an empty text is null like the XML helpers.
Value jsQuoteString(Vm& vm, const CallInfo& c) {
    const std::string in = c.count() > 0 ? vm.toStdString(c.arg(0)) : std::string();
    if (in.empty()) {
        return Value::null();
    }
    std::string out;
    out.reserve(in.size() + 8);
    for (char ch : in) {
        if (ch == '"') {
            out.push_back('\\');
        }
        out.push_back(ch);
    }
    return Value(vm.str(std::move(out)));
}

// The helpers that turn the page's XML answers into values. With no page to answer, the
// collection ones give empty results; _toAS reads one value node by its name (exactly
// "null", "true", "false", "string" or "number", given as text): a string or number node
// converts the text of its first child.
Value arrayToAs(Vm& vm, const CallInfo&) {
    return Value(vm.newArray());
}

Value objectToAs(Vm& vm, const CallInfo&) {
    return Value(vm.newObject(vm.protos().object));
}

Value toAs(Vm& vm, const CallInfo& c) {
    Object* node = c.arg(0).asObject();
    if (node == nullptr) {
        return Value();
    }
    const Vm::NoCollect hold(vm);
    Value name = vm.get(Value(node), "nodeName");
    if (name.isObject() && name.object()->kind() == ObjectKind::String) {
        name = static_cast<BoxObject*>(name.object())->value;
    }
    if (!name.isString()) {
        return Value();
    }
    const std::string_view n = name.string()->view();
    if (n == "null") {
        return Value::null();
    }
    if (n == "true" || n == "false") {
        return Value::boolean(n == "true");
    }
    if (n == "string") {
        return Value(vm.toString(vm.get(Value(node), "firstChild")));
    }
    if (n == "number") {
        // Read as text first: an object child counts by what its toString says.
        return Value(vm.toNumber(Value(vm.toString(vm.get(Value(node), "firstChild")))));
    }
    return Value();
}

Value localConnectionDomain(Vm& vm, const CallInfo&) {
    return Value(vm.intern("localhost"));
}

}  // namespace

namespace lib {

Value returnsNull(Vm&, const CallInfo&) {
    return Value::null();
}

Value returnsFalse(Vm&, const CallInfo&) {
    return Value::boolean(false);
}

Value returnsNothing(Vm&, const CallInfo&) {
    return Value();
}

Value returnsThis(Vm&, const CallInfo& c) {
    return c.thisValue;
}

Object* packageObject(Vm& vm, std::string_view dottedPath) {
    Object* at = vm.global();
    std::size_t i = 0;
    while (i <= dottedPath.size()) {
        std::size_t dot = dottedPath.find('.', i);
        if (dot == std::string_view::npos) {
            dot = dottedPath.size();
        }
        const std::string_view part = dottedPath.substr(i, dot - i);
        // Own properties only, whatever the movie's version may see.
        const Property* own = at->properties().find(vm.key(vm.intern(part)));
        Object* next = own != nullptr ? own->value.asObject() : nullptr;
        if (next == nullptr) {
            next = vm.newObject(vm.protos().object);
            // The packages came with SWF 8; older movies do not see them.
            vm.define(at, part, Value(next), at == vm.global() ? kDontEnum | kVersion8 : kDontEnum);
        }
        at = next;
        i = dot + 1;
    }
    return at;
}

void installNet(Vm& vm) {
    Object* external = packageObject(vm, "flash.external");
    Object* eiProto = vm.newObject(vm.protos().object);
    FunctionObject* eiClass = defineClass(vm, "", returnsThis, eiProto);
    vm.define(external, "ExternalInterface", Value(eiClass), kDontEnum);
    vm.define(eiClass, "available", Value::boolean(false), kDontEnum | kDontDelete | kReadOnly);
    vm.defineNative(eiClass, "addCallback", returnsFalse);
    vm.defineNative(eiClass, "call", returnsNothing);
    vm.defineNative(eiClass, "_escapeXML", escapeXml);
    vm.defineNative(eiClass, "_unescapeXML", unescapeXml);
    vm.defineNative(eiClass, "_jsQuoteString", jsQuoteString);
    vm.defineNative(eiClass, "_arrayToAS", arrayToAs);
    vm.defineNative(eiClass, "_argumentsToAS", arrayToAs);
    vm.defineNative(eiClass, "_objectToAS", objectToAs);
    vm.defineNative(eiClass, "_toAS", toAs);

    Object* lcProto = vm.newObject(vm.protos().object);
    defineClass(vm, "LocalConnection", returnsThis, lcProto);
    constexpr std::uint16_t kHidden = kDontEnum | kDontDelete;
    vm.defineNative(lcProto, "domain", localConnectionDomain, kHidden);
    vm.defineNative(lcProto, "connect", returnsFalse, kHidden);
    vm.defineNative(lcProto, "close", returnsNothing, kHidden);
    vm.defineNative(lcProto, "send", returnsFalse, kHidden);
}

}  // namespace lib
}  // namespace zd::avm1
