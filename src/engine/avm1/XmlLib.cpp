// XMLNode, XML and LoadVars: documents parsed and written here; loading goes through the host.

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

#include "engine/avm1/Library.h"
#include "engine/avm1/Strings.h"
#include "engine/avm1/Vm.h"

namespace zd::avm1 {

namespace {

constexpr int kElement = 1;
constexpr int kText = 3;
constexpr std::size_t kMaxXmlDepth = 256;

}  // namespace

// A node of an XML tree. Structure lives in C++ fields; scripts see it through properties.
class XmlNode final : public Object {
  public:
    XmlNode(Object* proto, int type) : Object(proto, ObjectKind::XmlNode), type(type) {}

    int type;
    Value name;   // element name, or null
    Value value;  // text of a text node, or null
    XmlNode* parent = nullptr;
    std::vector<XmlNode*> children;
    Object* attributes = nullptr;
    ArrayObject* childArray = nullptr;  // what childNodes returns, rebuilt on changes

    bool getSpecial(Vm& vm, String* key, Value& out) override;
    bool setSpecial(Vm& vm, String* key, const Value& v) override;
    void trace(Tracer& t) override {
        Object::trace(t);
        t.mark(name);
        t.mark(value);
        t.markObject(parent);
        for (XmlNode* c : children) {
            t.markObject(c);
        }
        t.markObject(attributes);
        t.markObject(childArray);
    }
};

namespace {

XmlNode* asNode(const Value& v) {
    Object* o = v.asObject();
    return o != nullptr && o->kind() == ObjectKind::XmlNode ? static_cast<XmlNode*>(o) : nullptr;
}

void refreshChildren(Vm& vm, XmlNode* n) {
    if (n->childArray == nullptr) {
        n->childArray = vm.newArray();
    }
    std::vector<Value> items;
    for (XmlNode* c : n->children) {
        items.push_back(Value(c));
    }
    n->childArray->setElements(std::move(items));
}

XmlNode* makeNode(Vm& vm, int type, Object* proto = nullptr) {
    auto* n = vm.heap().make<XmlNode>(proto ? proto : vm.protos().xmlNode, type);
    n->name = Value::null();
    n->value = Value::null();
    n->attributes = vm.newObject();
    refreshChildren(vm, n);
    return n;
}

bool isAncestor(const XmlNode* maybe, const XmlNode* of) {
    for (const XmlNode* p = of; p != nullptr; p = p->parent) {
        if (p == maybe) {
            return true;
        }
    }
    return false;
}

void detach(Vm& vm, XmlNode* child) {
    if (XmlNode* p = child->parent) {
        p->children.erase(std::remove(p->children.begin(), p->children.end(), child),
                          p->children.end());
        refreshChildren(vm, p);
        child->parent = nullptr;
    }
}

void insertChild(Vm& vm, XmlNode* parent, XmlNode* child, std::size_t at) {
    if (child == parent || isAncestor(child, parent)) {
        return;  // a node cannot contain itself
    }
    detach(vm, child);
    at = std::min(at, parent->children.size());
    parent->children.insert(parent->children.begin() + static_cast<std::ptrdiff_t>(at), child);
    child->parent = parent;
    refreshChildren(vm, parent);
}

std::string escapeXml(std::string_view s) {
    std::string out;
    for (char c : s) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

void serialize(Vm& vm, XmlNode* n, std::string& out, std::size_t depth) {
    if (depth > kMaxXmlDepth) {
        return;
    }
    if (n->type == kText) {
        out += escapeXml(vm.toStdString(n->value));
        return;
    }
    const bool named = n->name.isString();
    if (named) {
        out += '<';
        out += n->name.string()->view();
        std::vector<String*> names = vm.enumerate(n->attributes);
        std::reverse(names.begin(), names.end());
        for (String* a : names) {
            out += ' ';
            out += a->view();
            out += "=\"";
            out += escapeXml(vm.toStdString(vm.get(Value(n->attributes), a)));
            out += '"';
        }
        if (n->children.empty()) {
            out += " />";
            return;
        }
        out += '>';
    }
    for (XmlNode* c : n->children) {
        serialize(vm, c, out, depth + 1);
    }
    if (named) {
        out += "</";
        out += n->name.string()->view();
        out += '>';
    }
}

std::string decodeEntities(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '&') {
            out.push_back(s[i]);
            continue;
        }
        const std::size_t semi = s.find(';', i);
        if (semi == std::string_view::npos || semi - i > 10) {
            out.push_back('&');
            continue;
        }
        const std::string_view e = s.substr(i + 1, semi - i - 1);
        std::string rep;
        if (e == "lt") {
            rep = "<";
        } else if (e == "gt") {
            rep = ">";
        } else if (e == "amp") {
            rep = "&";
        } else if (e == "quot") {
            rep = "\"";
        } else if (e == "apos") {
            rep = "'";
        } else if (e.size() > 1 && e[0] == '#') {
            const bool hex = e[1] == 'x' || e[1] == 'X';
            const std::string digits(e.substr(hex ? 2 : 1));
            char* endp = nullptr;
            const unsigned long cp = std::strtoul(digits.c_str(), &endp, hex ? 16 : 10);
            if (!digits.empty() && endp != nullptr && *endp == '\0' && cp > 0 && cp < 0x110000) {
                std::u16string u;
                if (cp >= 0x10000) {
                    u.push_back(static_cast<char16_t>(0xd800 + ((cp - 0x10000) >> 10)));
                    u.push_back(static_cast<char16_t>(0xdc00 + ((cp - 0x10000) & 0x3ff)));
                } else {
                    u.push_back(static_cast<char16_t>(cp));
                }
                rep = fromUtf16(u);
            }
        }
        if (rep.empty()) {
            out.push_back('&');
            continue;
        }
        out += rep;
        i = semi;
    }
    return out;
}

bool isWhite(std::string_view s) {
    return s.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// Parses text into doc's children; returns the status code scripts see (0 when well formed).
int parseInto(Vm& vm, XmlNode* doc, std::string_view src, bool ignoreWhite) {
    std::vector<XmlNode*> open{doc};
    std::size_t i = 0;
    int status = 0;
    auto addText = [&](std::string_view raw, bool decode) {
        if (raw.empty() || (ignoreWhite && isWhite(raw))) {
            return;
        }
        XmlNode* t = makeNode(vm, kText);
        t->value = Value(vm.str(decode ? decodeEntities(raw) : std::string(raw)));
        insertChild(vm, open.back(), t, open.back()->children.size());
    };
    while (i < src.size()) {
        const std::size_t lt = src.find('<', i);
        if (lt == std::string_view::npos) {
            addText(src.substr(i), true);
            break;
        }
        addText(src.substr(i, lt - i), true);
        i = lt;
        if (src.compare(i, 4, "<!--") == 0) {
            const std::size_t e = src.find("-->", i + 4);
            if (e == std::string_view::npos) {
                return -5;
            }
            i = e + 3;
        } else if (src.compare(i, 9, "<![CDATA[") == 0) {
            const std::size_t e = src.find("]]>", i + 9);
            if (e == std::string_view::npos) {
                return -2;
            }
            addText(src.substr(i + 9, e - i - 9), false);
            i = e + 3;
        } else if (src.compare(i, 2, "<?") == 0) {
            const std::size_t e = src.find("?>", i + 2);
            if (e == std::string_view::npos) {
                return -3;
            }
            vm.set(Value(doc), "xmlDecl", Value(vm.str(src.substr(i, e + 2 - i))));
            i = e + 2;
        } else if (src.compare(i, 2, "<!") == 0) {
            const std::size_t e = src.find('>', i + 2);
            if (e == std::string_view::npos) {
                return -4;
            }
            vm.set(Value(doc), "docTypeDecl", Value(vm.str(src.substr(i, e + 1 - i))));
            i = e + 1;
        } else if (src.compare(i, 2, "</") == 0) {
            const std::size_t e = src.find('>', i + 2);
            if (e == std::string_view::npos) {
                return -6;
            }
            std::string_view name = src.substr(i + 2, e - i - 2);
            while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) {
                name.remove_suffix(1);
            }
            if (open.size() <= 1) {
                return -10;
            }
            if (!open.back()->name.isString() || open.back()->name.string()->view() != name) {
                return -9;
            }
            open.pop_back();
            i = e + 1;
        } else {
            // A start tag: name, attributes, optional self-closing slash.
            std::size_t k = i + 1;
            while (k < src.size() && src[k] != ' ' && src[k] != '>' && src[k] != '/' &&
                   src[k] != '\t' && src[k] != '\r' && src[k] != '\n') {
                ++k;
            }
            if (k >= src.size()) {
                return -6;
            }
            XmlNode* el = makeNode(vm, kElement);
            el->name = Value(vm.str(src.substr(i + 1, k - i - 1)));
            bool selfClosing = false;
            std::vector<std::pair<std::string_view, std::string>> attrs;
            while (true) {
                while (k < src.size() &&
                       (src[k] == ' ' || src[k] == '\t' || src[k] == '\r' || src[k] == '\n')) {
                    ++k;
                }
                if (k >= src.size()) {
                    return -6;
                }
                if (src[k] == '>') {
                    ++k;
                    break;
                }
                if (src[k] == '/') {
                    if (k + 1 < src.size() && src[k + 1] == '>') {
                        selfClosing = true;
                        k += 2;
                        break;
                    }
                    return -6;
                }
                const std::size_t nameStart = k;
                while (k < src.size() && src[k] != '=' && src[k] != ' ' && src[k] != '>' &&
                       src[k] != '/') {
                    ++k;
                }
                const std::string_view attr = src.substr(nameStart, k - nameStart);
                while (k < src.size() && src[k] == ' ') {
                    ++k;
                }
                if (k >= src.size() || src[k] != '=') {
                    return -6;
                }
                ++k;
                while (k < src.size() && src[k] == ' ') {
                    ++k;
                }
                if (k >= src.size() || (src[k] != '"' && src[k] != '\'')) {
                    return -8;
                }
                const char quote = src[k];
                const std::size_t close = src.find(quote, k + 1);
                if (close == std::string_view::npos) {
                    return -8;
                }
                attrs.emplace_back(attr, decodeEntities(src.substr(k + 1, close - k - 1)));
                k = close + 1;
            }
            // Attributes are made last first, so for-in lists them in document order.
            for (auto it = attrs.rbegin(); it != attrs.rend(); ++it) {
                vm.set(Value(el->attributes), vm.intern(it->first), Value(vm.str(it->second)));
            }
            insertChild(vm, open.back(), el, open.back()->children.size());
            if (!selfClosing) {
                if (open.size() > kMaxXmlDepth) {
                    return -6;
                }
                open.push_back(el);
            }
            i = k;
        }
    }
    if (open.size() > 1) {
        status = -9;
    }
    return status;
}

// The prefix a namespace declaration binds: "xmlns:p" binds p, and any other name that starts
// with "xmlns" binds the default (empty) prefix. Nothing for ordinary attributes.
std::optional<std::string_view> declaredPrefix(std::string_view attr) {
    if (attr.substr(0, 5) != "xmlns") {
        return std::nullopt;
    }
    return attr.size() > 5 && attr[5] == ':' ? attr.substr(6) : std::string_view();
}

// Attribute names in document order.
std::vector<String*> attributeNames(Vm& vm, XmlNode* n) {
    std::vector<String*> names = vm.enumerate(n->attributes);
    std::reverse(names.begin(), names.end());
    return names;
}

// The URI the nearest declaration of `prefix` names, searching the node and then its
// ancestors, each in document order; null when none does.
Value namespaceForPrefix(Vm& vm, XmlNode* n, std::string_view prefix) {
    for (std::size_t depth = 0; n != nullptr && depth <= kMaxXmlDepth; n = n->parent, ++depth) {
        for (String* a : attributeNames(vm, n)) {
            const auto declared = declaredPrefix(a->view());
            if (declared && *declared == prefix) {
                return Value(vm.toString(vm.get(Value(n->attributes), a)));
            }
        }
    }
    return Value::null();
}

Value prefixForNamespace(Vm& vm, XmlNode* n, std::string_view uri) {
    for (std::size_t depth = 0; n != nullptr && depth <= kMaxXmlDepth; n = n->parent, ++depth) {
        for (String* a : attributeNames(vm, n)) {
            const auto declared = declaredPrefix(a->view());
            if (declared && vm.toStdString(vm.get(Value(n->attributes), a)) == uri) {
                return Value(vm.str(*declared));
            }
        }
    }
    return Value::null();
}

// "p:local" splits into its prefix ("" without a colon) and local name.
std::pair<std::string_view, std::string_view> splitQualified(std::string_view name) {
    const std::size_t colon = name.find(':');
    if (colon == std::string_view::npos) {
        return {std::string_view(), name};
    }
    return {name.substr(0, colon), name.substr(colon + 1)};
}

XmlNode* thisNode(const CallInfo& c) {
    return asNode(c.thisValue);
}

Value nodeConstructor(Vm& vm, const CallInfo& c) {
    XmlNode* n = thisNode(c);
    if (n == nullptr) {
        return Value();
    }
    n->type = static_cast<int>(vm.toNumber(c.arg(0)));
    if (n->type == kText) {
        n->value = c.count() > 1 ? Value(vm.toString(c.arg(1))) : Value::null();
    } else {
        n->name = c.count() > 1 ? Value(vm.toString(c.arg(1))) : Value::null();
    }
    return c.thisValue;
}

Object* allocateNode(Vm& vm, Object* proto) {
    return makeNode(vm, kElement, proto);
}

Value nodeGetNamespaceForPrefix(Vm& vm, const CallInfo& c) {
    XmlNode* n = thisNode(c);
    if (n == nullptr) {
        return Value();
    }
    return namespaceForPrefix(vm, n, vm.toStdString(c.arg(0)));
}

Value nodeGetPrefixForNamespace(Vm& vm, const CallInfo& c) {
    XmlNode* n = thisNode(c);
    if (n == nullptr) {
        return Value();
    }
    return prefixForNamespace(vm, n, vm.toStdString(c.arg(0)));
}

Value nodeAppendChild(Vm& vm, const CallInfo& c) {
    XmlNode* n = thisNode(c);
    XmlNode* child = asNode(c.arg(0));
    // A node already among this node's children stays where it is.
    if (n != nullptr && child != nullptr && child->parent != n) {
        insertChild(vm, n, child, n->children.size());
    }
    return Value();
}

Value nodeInsertBefore(Vm& vm, const CallInfo& c) {
    XmlNode* n = thisNode(c);
    XmlNode* child = asNode(c.arg(0));
    XmlNode* before = asNode(c.arg(1));
    if (n == nullptr || child == nullptr || before == nullptr) {
        return Value();
    }
    const auto it = std::find(n->children.begin(), n->children.end(), before);
    if (it != n->children.end() && child->parent != n) {
        insertChild(vm, n, child, static_cast<std::size_t>(it - n->children.begin()));
    }
    return Value();
}

Value nodeRemoveNode(Vm& vm, const CallInfo& c) {
    if (XmlNode* n = thisNode(c)) {
        detach(vm, n);
    }
    return Value();
}

XmlNode* cloneNode(Vm& vm, XmlNode* n, bool deep, std::size_t depth) {
    XmlNode* copy = makeNode(vm, n->type, n->proto());
    copy->name = n->name;
    copy->value = n->value;
    for (String* a : vm.enumerate(n->attributes)) {
        vm.set(Value(copy->attributes), a, vm.get(Value(n->attributes), a));
    }
    if (deep && depth < kMaxXmlDepth) {
        for (XmlNode* c : n->children) {
            insertChild(vm, copy, cloneNode(vm, c, true, depth + 1), copy->children.size());
        }
    }
    return copy;
}

Value nodeCloneNode(Vm& vm, const CallInfo& c) {
    XmlNode* n = thisNode(c);
    if (n == nullptr) {
        return Value();
    }
    return Value(cloneNode(vm, n, vm.toBoolean(c.arg(0)), 0));
}

Value nodeHasChildNodes(Vm&, const CallInfo& c) {
    XmlNode* n = thisNode(c);
    return Value::boolean(n != nullptr && !n->children.empty());
}

Value nodeToString(Vm& vm, const CallInfo& c) {
    XmlNode* n = thisNode(c);
    if (n == nullptr) {
        return Value();
    }
    std::string out;
    if (n->parent == nullptr && n->kind() == ObjectKind::XmlNode) {
        for (const char* decl : {"xmlDecl", "docTypeDecl"}) {
            const Value d = vm.get(c.thisValue, decl);
            if (!d.isUndefined() && !d.isNull()) {
                out += vm.toStdString(d);
            }
        }
    }
    serialize(vm, n, out, 0);
    return Value(vm.str(out));
}

// Elements with an id attribute are listed in the document's idMap by that id. Entries stay
// when the document is parsed again, as scripts may hold on to the map.
void registerIds(Vm& vm, const Value& idMap, XmlNode* n, std::size_t depth) {
    if (depth > kMaxXmlDepth) {
        return;
    }
    for (XmlNode* child : n->children) {
        if (child->type == kElement) {
            const Value id = vm.get(Value(child->attributes), "id");
            if (!id.isUndefined()) {
                vm.set(idMap, vm.toString(id), Value(child));
            }
        }
        registerIds(vm, idMap, child, depth + 1);
    }
}

void parseDocument(Vm& vm, XmlNode* n, const Value& self, const Value& text) {
    const int status =
        parseInto(vm, n, vm.toString(text)->view(), vm.toBoolean(vm.get(self, "ignoreWhite")));
    vm.set(self, "status", Value(static_cast<double>(status)));
    const Value idMap = vm.get(self, "idMap");
    if (idMap.isObject()) {
        registerIds(vm, idMap, n, 0);
    }
}

Value xmlConstructor(Vm& vm, const CallInfo& c) {
    XmlNode* n = thisNode(c);
    if (n == nullptr) {
        return Value();
    }
    n->type = kElement;
    vm.set(c.thisValue, "idMap", Value(vm.newObject()));
    if (c.count() > 0 && !c.arg(0).isUndefined() && !c.arg(0).isNull()) {
        parseDocument(vm, n, c.thisValue, c.arg(0));
    }
    return c.thisValue;
}

Value xmlParse(Vm& vm, const CallInfo& c) {
    XmlNode* n = thisNode(c);
    if (n == nullptr) {
        return Value();
    }
    while (!n->children.empty()) {
        detach(vm, n->children.back());
    }
    parseDocument(vm, n, c.thisValue, c.arg(0));
    return Value();
}

Value xmlCreateElement(Vm& vm, const CallInfo& c) {
    XmlNode* n = makeNode(vm, kElement);
    n->name = Value(vm.toString(c.arg(0)));
    return Value(n);
}

Value xmlCreateTextNode(Vm& vm, const CallInfo& c) {
    XmlNode* n = makeNode(vm, kText);
    n->value = Value(vm.toString(c.arg(0)));
    return Value(n);
}

Value startLoad(Vm& vm, const CallInfo& c, UrlMethod method, const std::string& body) {
    Object* self = c.thisObject();
    if (self == nullptr || c.count() == 0) {
        return Value::boolean(false);
    }
    vm.set(c.thisValue, "loaded", Value::boolean(false));
    vm.define(self, "_bytesLoaded", Value(0.0), kDontEnum | kDontDelete);
    vm.define(self, "_bytesTotal", Value(), kDontEnum | kDontDelete);
    vm.requestLoad(self, vm.toStdString(c.arg(0)), method, body);
    return Value::boolean(true);
}

Value xmlLoad(Vm& vm, const CallInfo& c) {
    return startLoad(vm, c, UrlMethod::Get, "");
}

Value getBytesLoaded(Vm& vm, const CallInfo& c) {
    return c.thisObject() ? vm.get(c.thisValue, "_bytesLoaded") : Value();
}

Value getBytesTotal(Vm& vm, const CallInfo& c) {
    return c.thisObject() ? vm.get(c.thisValue, "_bytesTotal") : Value();
}

Value xmlOnData(Vm& vm, const CallInfo& c) {
    const Value onLoad = vm.get(c.thisValue, vm.atoms().onLoad);
    if (c.arg(0).isUndefined()) {
        vm.call(onLoad, c.thisValue, std::vector<Value>{Value::boolean(false)});
        return Value();
    }
    const Value parse = vm.get(c.thisValue, "parseXML");
    vm.call(parse, c.thisValue, std::vector<Value>{c.arg(0)});
    vm.set(c.thisValue, "loaded", Value::boolean(true));
    vm.call(onLoad, c.thisValue, std::vector<Value>{Value::boolean(true)});
    return Value();
}

// --- LoadVars ---

Value loadVarsConstructor(Vm&, const CallInfo& c) {
    return c.thisValue;
}

Value loadVarsDecode(Vm& vm, const CallInfo& c) {
    if (c.thisObject() != nullptr) {
        lib::decodeVariables(vm, c.thisValue, vm.toString(c.arg(0))->view());
    }
    return Value();
}

Value loadVarsToString(Vm& vm, const CallInfo& c) {
    Object* o = c.thisObject();
    if (o == nullptr) {
        return Value();
    }
    std::string out;
    std::vector<String*> names = vm.enumerate(o);
    std::reverse(names.begin(), names.end());
    for (String* n : names) {
        if (!out.empty()) {
            out += '&';
        }
        out += urlEncode(n->view());
        out += '=';
        out += urlEncode(vm.toStdString(vm.get(c.thisValue, n)));
    }
    return Value(vm.str(out));
}

Value loadVarsLoad(Vm& vm, const CallInfo& c) {
    return startLoad(vm, c, UrlMethod::Get, "");
}

Value loadVarsSendAndLoad(Vm& vm, const CallInfo& c) {
    Object* target = c.arg(1).asObject();
    if (c.thisObject() == nullptr || target == nullptr || c.count() < 2) {
        return Value::boolean(false);
    }
    const std::string m = toLowerCase(c.count() > 2 ? vm.toStdString(c.arg(2)) : "post");
    const Value body = loadVarsToString(vm, c);
    vm.set(c.arg(1), "loaded", Value::boolean(false));
    vm.define(target, "_bytesLoaded", Value(0.0), kDontEnum | kDontDelete);
    vm.define(target, "_bytesTotal", Value(), kDontEnum | kDontDelete);
    vm.requestLoad(target, vm.toStdString(c.arg(0)), m == "get" ? UrlMethod::Get : UrlMethod::Post,
                   vm.toStdString(body));
    return Value::boolean(true);
}

Value loadVarsSend(Vm& vm, const CallInfo& c) {
    if (c.thisObject() == nullptr || c.count() == 0) {
        return Value::boolean(false);
    }
    const std::string m = toLowerCase(c.count() > 2 ? vm.toStdString(c.arg(2)) : "post");
    vm.host().getUrl(vm.toStdString(c.arg(0)), c.count() > 1 ? vm.toStdString(c.arg(1)) : "",
                     m == "get" ? UrlMethod::Get : UrlMethod::Post,
                     vm.toStdString(loadVarsToString(vm, c)));
    return Value::boolean(true);
}

Value loadVarsOnData(Vm& vm, const CallInfo& c) {
    const Value onLoad = vm.get(c.thisValue, vm.atoms().onLoad);
    if (c.arg(0).isUndefined()) {
        vm.call(onLoad, c.thisValue, std::vector<Value>{Value::boolean(false)});
        return Value();
    }
    lib::decodeVariables(vm, c.thisValue, vm.toString(c.arg(0))->view());
    vm.set(c.thisValue, "loaded", Value::boolean(true));
    vm.call(onLoad, c.thisValue, std::vector<Value>{Value::boolean(true)});
    return Value();
}

}  // namespace

bool XmlNode::getSpecial(Vm& vm, String* key, Value& out) {
    const std::string_view k = key->view();
    auto is = [&](const char* name) { return vm.key(name) == key || k == name; };
    if (is("nodeType")) {
        out = Value(static_cast<double>(type));
    } else if (is("nodeName")) {
        out = type == kElement ? name : Value::null();
    } else if (is("nodeValue")) {
        out = type == kText ? value : Value::null();
    } else if (is("childNodes")) {
        if (childArray == nullptr) {
            refreshChildren(vm, this);
        }
        out = Value(childArray);
    } else if (is("firstChild")) {
        out = children.empty() ? Value::null() : Value(children.front());
    } else if (is("lastChild")) {
        out = children.empty() ? Value::null() : Value(children.back());
    } else if (is("parentNode")) {
        out = parent ? Value(parent) : Value::null();
    } else if (is("nextSibling") || is("previousSibling")) {
        out = Value::null();
        if (parent != nullptr) {
            auto& sib = parent->children;
            const auto it = std::find(sib.begin(), sib.end(), this);
            if (it != sib.end()) {
                if (is("nextSibling") && it + 1 != sib.end()) {
                    out = Value(*(it + 1));
                } else if (is("previousSibling") && it != sib.begin()) {
                    out = Value(*(it - 1));
                }
            }
        }
    } else if (is("attributes")) {
        out = Value(attributes);
    } else if (is("prefix") || is("localName")) {
        out = Value::null();
        if (type == kElement && name.isString()) {
            const auto [prefix, local] = splitQualified(name.string()->view());
            out = Value(vm.str(is("prefix") ? prefix : local));
        }
    } else if (is("namespaceURI")) {
        out = Value::null();
        if (type == kElement && name.isString()) {
            out = namespaceForPrefix(vm, this, splitQualified(name.string()->view()).first);
        }
    } else {
        return false;
    }
    return true;
}

bool XmlNode::setSpecial(Vm& vm, String* key, const Value& v) {
    if (key == vm.key("nodeName")) {
        // Writing undefined leaves the name; null clears it.
        if (!v.isUndefined()) {
            name = v.isNull() ? Value::null() : Value(vm.toString(v));
        }
        return true;
    }
    if (key == vm.key("nodeValue")) {
        value = v.isNullish() ? Value::null() : Value(vm.toString(v));
        return true;
    }
    if (key == vm.key("attributes")) {
        if (Object* o = v.asObject()) {
            attributes = o;
        }
        return true;
    }
    return key == vm.key("nodeType") || key == vm.key("childNodes") ||
           key == vm.key("firstChild") || key == vm.key("lastChild") ||
           key == vm.key("parentNode") || key == vm.key("nextSibling") ||
           key == vm.key("previousSibling") || key == vm.key("prefix") ||
           key == vm.key("localName") || key == vm.key("namespaceURI");
}

namespace lib {

void decodeVariables(Vm& vm, const Value& target, std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t amp = text.find('&', i);
        if (amp == std::string_view::npos) {
            amp = text.size();
        }
        const std::string_view pair = text.substr(i, amp - i);
        const std::size_t eq = pair.find('=');
        if (!pair.empty()) {
            const std::string name = urlDecode(pair.substr(0, eq));
            const std::string value =
                eq == std::string_view::npos ? "" : urlDecode(pair.substr(eq + 1));
            vm.set(target, vm.intern(name), Value(vm.str(value)));
        }
        i = amp + 1;
    }
}

void installXml(Vm& vm) {
    Object* nodeProto = vm.newObject();
    vm.protos().xmlNode = nodeProto;
    defineClass(vm, "XMLNode", nodeConstructor, nodeProto, allocateNode);
    vm.defineNative(nodeProto, "appendChild", nodeAppendChild);
    vm.defineNative(nodeProto, "insertBefore", nodeInsertBefore);
    vm.defineNative(nodeProto, "removeNode", nodeRemoveNode);
    vm.defineNative(nodeProto, "cloneNode", nodeCloneNode);
    vm.defineNative(nodeProto, "hasChildNodes", nodeHasChildNodes);
    vm.defineNative(nodeProto, "toString", nodeToString);
    vm.defineNative(nodeProto, "getNamespaceForPrefix", nodeGetNamespaceForPrefix);
    vm.defineNative(nodeProto, "getPrefixForNamespace", nodeGetPrefixForNamespace);

    Object* xmlProto = vm.newObject(nodeProto);
    vm.protos().xml = xmlProto;
    defineClass(vm, "XML", xmlConstructor, xmlProto, allocateNode);
    vm.defineNative(xmlProto, "parseXML", xmlParse);
    vm.defineNative(xmlProto, "createElement", xmlCreateElement);
    vm.defineNative(xmlProto, "createTextNode", xmlCreateTextNode);
    vm.defineNative(xmlProto, "load", xmlLoad);
    vm.defineNative(xmlProto, "onData", xmlOnData);
    vm.defineNative(xmlProto, "getBytesLoaded", getBytesLoaded);
    vm.defineNative(xmlProto, "getBytesTotal", getBytesTotal);
    vm.define(xmlProto, "ignoreWhite", Value::boolean(false));
    vm.define(xmlProto, "contentType", Value(vm.intern("application/x-www-form-urlencoded")));
    vm.define(xmlProto, "loaded", Value());
    vm.define(xmlProto, "status", Value(0.0));
}

void installLoadVars(Vm& vm) {
    Object* proto = vm.newObject();
    vm.protos().loadVars = proto;
    defineClass(vm, "LoadVars", loadVarsConstructor, proto);
    vm.defineNative(proto, "decode", loadVarsDecode);
    vm.defineNative(proto, "toString", loadVarsToString);
    vm.defineNative(proto, "load", loadVarsLoad);
    vm.defineNative(proto, "send", loadVarsSend);
    vm.defineNative(proto, "sendAndLoad", loadVarsSendAndLoad);
    vm.defineNative(proto, "onData", loadVarsOnData);
    vm.defineNative(proto, "getBytesLoaded", getBytesLoaded);
    vm.defineNative(proto, "getBytesTotal", getBytesTotal);
    vm.define(proto, "contentType", Value(vm.intern("application/x-www-form-urlencoded")));
}

}  // namespace lib
}  // namespace zd::avm1
