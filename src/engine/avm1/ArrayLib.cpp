// Array.

#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>

#include "engine/avm1/Library.h"
#include "engine/avm1/Strings.h"
#include "engine/avm1/Vm.h"

namespace zd::avm1::lib {

std::uint32_t lengthOf(Vm& vm, Object* o) {
    if (o->kind() == ObjectKind::Array) {
        return static_cast<ArrayObject*>(o)->size();
    }
    const double n = vm.toNumber(vm.get(Value(o), vm.atoms().length));
    return n > 0 && n < 4294967295.0 ? static_cast<std::uint32_t>(n) : 0;
}

Value elementAt(Vm& vm, Object* o, std::uint32_t i) {
    // Array methods read the elements an object holds itself: no prototypes, no getters.
    if (o->kind() == ObjectKind::Array) {
        auto* a = static_cast<ArrayObject*>(o);
        if (!a->spilled) {
            return i < a->dense.size() && !a->dense[i].isHole() ? a->dense[i] : Value();
        }
    }
    // An accessor's getter is not called: what it was made over is read instead.
    const Property* p = o->properties().find(vm.key(std::to_string(i)));
    return p != nullptr ? p->value : Value();
}

void setElement(Vm& vm, Object* o, std::uint32_t i, const Value& v) {
    if (o->kind() == ObjectKind::Array && o->watches().empty()) {
        auto* a = static_cast<ArrayObject*>(o);
        if (i < a->dense.size() && !a->dense[i].isHole()) {
            a->dense[i] = v;
            return;
        }
    }
    vm.set(Value(o), vm.intern(std::to_string(i)), v);
}

namespace {

enum SortFlag : int {
    kCaseInsensitive = 1,
    kDescending = 2,
    kUniqueSort = 4,
    kReturnIndexedArray = 8,
    kNumeric = 16,
};

// The elements of an array-like, holes as holes.
std::vector<Value> elementsOf(Vm& vm, Object* o) {
    std::vector<Value> out;
    const std::uint32_t n = std::min<std::uint32_t>(lengthOf(vm, o), 1u << 24);
    out.reserve(n);
    if (o->kind() == ObjectKind::Array) {
        auto* a = static_cast<ArrayObject*>(o);
        if (!a->spilled && a->dense.size() == a->size()) {
            return a->dense;
        }
    }
    for (std::uint32_t i = 0; i < n; ++i) {
        vm.step();
        out.push_back(elementAt(vm, o, i));
    }
    return out;
}

// Replaces an array's elements (plain objects get indexed properties and a length).
void assign(Vm& vm, Object* o, const std::vector<Value>& items) {
    if (o->kind() == ObjectKind::Array) {
        static_cast<ArrayObject*>(o)->setElements(items);
        return;
    }
    const std::uint32_t old = lengthOf(vm, o);
    for (std::uint32_t i = 0; i < items.size(); ++i) {
        vm.step();
        setElement(vm, o, i, items[i]);
    }
    for (std::uint32_t i = static_cast<std::uint32_t>(items.size()); i < old; ++i) {
        vm.step();
        vm.remove(o, vm.intern(std::to_string(i)));
    }
    vm.set(Value(o), vm.atoms().length, Value(static_cast<double>(items.size())));
}

Value arrayConstructor(Vm& vm, const CallInfo& c) {
    ArrayObject* a = nullptr;
    if (c.construct && c.thisObject() != nullptr && c.thisObject()->kind() == ObjectKind::Array) {
        a = static_cast<ArrayObject*>(c.thisObject());
    } else {
        a = vm.newArray();
        if (c.construct && c.thisObject() != nullptr) {
            a->setProtoLink(c.thisObject()->proto());
        }
    }
    if (c.count() == 1 && c.arg(0).isNumber()) {
        // A lone whole number is the length, as a 32-bit integer (it may be negative).
        const double n = c.arg(0).number();
        if (n == std::trunc(n) && n >= -2147483648.0 && n < 4294967296.0) {
            a->setElements({});
            a->length = vm.toInt32(c.arg(0));
            return Value(a);
        }
    }
    a->setElements(std::vector<Value>(c.args.begin(), c.args.end()));
    return Value(a);
}

Object* allocateArray(Vm& vm, Object* proto) {
    ArrayObject* a = vm.newArray();
    a->setProtoLink(proto);
    return a;
}

std::string joinElements(Vm& vm, Object* o, std::string_view sep) {
    std::string out;
    const std::uint32_t n = lengthOf(vm, o);
    for (std::uint32_t i = 0; i < n; ++i) {
        vm.step();
        if (i > 0) {
            out += sep;
        }
        const Value v = elementAt(vm, o, i);
        if (v.isUndefined()) {
            out += vm.swfVersion() >= 7 ? "undefined" : "";
        } else {
            out += vm.toString(v)->view();
        }
        if (out.size() > (256u << 20)) {
            break;  // a string this long would only exhaust memory
        }
    }
    return out;
}

Value arrayJoin(Vm& vm, const CallInfo& c) {
    Object* o = c.thisObject();
    if (o == nullptr) {
        return Value();
    }
    const std::string sep =
        c.count() > 0 && !c.arg(0).isUndefined() ? vm.toStdString(c.arg(0)) : std::string(",");
    return Value(vm.str(joinElements(vm, o, sep)));
}

Value arrayToString(Vm& vm, const CallInfo& c) {
    Object* o = c.thisObject();
    if (o == nullptr) {
        return Value();
    }
    return Value(vm.str(joinElements(vm, o, ",")));
}

Value arrayPush(Vm& vm, const CallInfo& c) {
    Object* o = c.thisObject();
    if (o == nullptr) {
        return Value();
    }
    if (o->kind() == ObjectKind::Array) {
        auto* a = static_cast<ArrayObject*>(o);
        if (!a->spilled && a->dense.size() == a->size() && a->top == a->dense.size() &&
            a->properties().size() == 0 && a->size() + c.count() < INT32_MAX) {
            a->dense.insert(a->dense.end(), c.args.begin(), c.args.end());
            a->top = a->dense.size();
            a->length = static_cast<std::int32_t>(a->dense.size());
            return Value(static_cast<double>(a->length));
        }
    }
    std::uint32_t n = lengthOf(vm, o);
    for (const Value& v : c.args) {
        vm.step();
        setElement(vm, o, n++, v);
    }
    vm.set(Value(o), vm.atoms().length, Value(static_cast<double>(n)));
    return Value(static_cast<double>(n));
}

Value arrayPop(Vm& vm, const CallInfo& c) {
    Object* o = c.thisObject();
    if (o == nullptr) {
        return Value();
    }
    const std::uint32_t n = lengthOf(vm, o);
    if (n == 0) {
        return Value();
    }
    const Value last = elementAt(vm, o, n - 1);
    vm.remove(o, vm.intern(std::to_string(n - 1)));
    vm.set(Value(o), vm.atoms().length, Value(static_cast<double>(n - 1)));
    return last;
}

Value holeless(const Value& v) {
    return v.isHole() ? Value() : v;
}

// Deletes the elements [0, n) (except keep) and then stores writes in order, one property
// operation at a time as far as anyone can tell: an element that cannot be deleted keeps its
// place (and its value when read-only), the others are made anew after all the rest.
void rewriteElements(Vm& vm, Object* o, std::uint32_t n, std::uint32_t keep,
                     const std::vector<std::pair<std::uint32_t, Value>>& writes) {
    auto* a = o->kind() == ObjectKind::Array ? static_cast<ArrayObject*>(o) : nullptr;
    if (a == nullptr || !o->watches().empty()) {
        for (std::uint32_t i = 0; i < n; ++i) {
            vm.step();
            if (i != keep) {
                vm.remove(o, vm.intern(std::to_string(i)));
            }
        }
        for (const auto& [i, v] : writes) {
            vm.step();
            vm.set(Value(o), vm.intern(std::to_string(i)), v);
        }
        return;
    }
    a->spill(vm);
    a->properties().removeIf([&](const Property& p) {
        std::uint32_t i;
        return (p.flags & kDontDelete) == 0 && parseArrayIndex(p.name->view(), i) && i < n &&
               i != keep;
    });
    for (const auto& [i, v] : writes) {
        vm.step();
        String* name = vm.intern(std::to_string(i));
        Property* p = a->properties().find(vm.key(name));
        if (p == nullptr) {
            a->properties().add(vm.key(name), name).value = v;
            if (static_cast<std::int64_t>(i) >= a->length) {
                a->setLength(static_cast<std::int32_t>(i + 1));
            }
        } else if (p->isAccessor()) {
            vm.set(Value(o), name, v);
        } else if ((p->flags & kReadOnly) == 0) {
            p->value = v;
        }
    }
}

Value arrayShift(Vm& vm, const CallInfo& c) {
    Object* o = c.thisObject();
    if (o == nullptr) {
        return Value();
    }
    const std::uint32_t n = std::min<std::uint32_t>(lengthOf(vm, o), 1u << 24);
    if (n == 0) {
        return Value();
    }
    if (o->kind() == ObjectKind::Array) {
        // Elements made in order, without holes, shift in place.
        auto* a = static_cast<ArrayObject*>(o);
        if (!a->spilled && a->dense.size() == n && a->properties().size() == 0 &&
            std::none_of(a->dense.begin(), a->dense.end(),
                         [](const Value& v) { return v.isHole(); })) {
            const Value first = a->dense.front();
            a->dense.erase(a->dense.begin());
            a->top = a->dense.size();
            a->length = static_cast<std::int32_t>(a->dense.size());
            return first;
        }
    }
    const std::vector<Value> items = elementsOf(vm, o);
    std::vector<std::pair<std::uint32_t, Value>> writes;
    for (std::uint32_t i = 1; i < n; ++i) {
        writes.emplace_back(i - 1, holeless(items[i]));
    }
    rewriteElements(vm, o, n, UINT32_MAX, writes);
    vm.set(Value(o), vm.atoms().length, Value(static_cast<double>(n - 1)));
    return holeless(items.front());
}

Value arrayUnshift(Vm& vm, const CallInfo& c) {
    Object* o = c.thisObject();
    if (o == nullptr) {
        return Value();
    }
    const std::uint32_t n = std::min<std::uint32_t>(lengthOf(vm, o), 1u << 24);
    const auto k = static_cast<std::uint32_t>(c.count());
    // The old elements move up from the last one down, then the new ones go in front.
    const std::vector<Value> items = elementsOf(vm, o);
    std::vector<std::pair<std::uint32_t, Value>> writes;
    for (std::uint32_t i = n; i-- > 0;) {
        writes.emplace_back(i + k, holeless(items[i]));
    }
    for (std::uint32_t i = 0; i < k; ++i) {
        writes.emplace_back(i, c.args[i]);
    }
    rewriteElements(vm, o, n, UINT32_MAX, writes);
    const double total = static_cast<double>(n) + k;
    vm.set(Value(o), vm.atoms().length, Value(total));
    return Value(total);
}

Value arrayReverse(Vm& vm, const CallInfo& c) {
    Object* o = c.thisObject();
    if (o == nullptr) {
        return Value();
    }
    const std::uint32_t n = std::min<std::uint32_t>(lengthOf(vm, o), 1u << 24);
    if (n < 2) {
        return c.thisValue;
    }
    // Each pair from the ends inwards is deleted, then stored low first: holes become
    // undefined elements and the middle one stays as it was.
    const std::vector<Value> items = elementsOf(vm, o);
    std::vector<std::pair<std::uint32_t, Value>> writes;
    for (std::uint32_t i = 0; i < n / 2; ++i) {
        writes.emplace_back(i, holeless(items[n - 1 - i]));
        writes.emplace_back(n - 1 - i, holeless(items[i]));
    }
    rewriteElements(vm, o, n, n % 2 == 1 ? n / 2 : UINT32_MAX, writes);
    return c.thisValue;
}

// A relative index (negative counts from the end) clamped to [0, length].
std::uint32_t clampIndex(Vm& vm, const Value& v, std::uint32_t length, std::uint32_t fallback) {
    if (v.isUndefined()) {
        return fallback;
    }
    double d = vm.toNumber(v);
    if (std::isnan(d)) {
        return 0;
    }
    d = std::trunc(d);
    if (d < 0) {
        d += length;
    }
    return static_cast<std::uint32_t>(std::clamp(d, 0.0, static_cast<double>(length)));
}

Value arraySlice(Vm& vm, const CallInfo& c) {
    Object* o = c.thisObject();
    if (o == nullptr) {
        return Value();
    }
    std::vector<Value> items = elementsOf(vm, o);
    const auto n = static_cast<std::uint32_t>(items.size());
    const std::uint32_t begin = clampIndex(vm, c.arg(0), n, 0);
    const std::uint32_t end = clampIndex(vm, c.arg(1), n, n);
    std::vector<Value> out;
    for (std::uint32_t i = begin; i < end; ++i) {
        out.push_back(items[i].isHole() ? Value() : items[i]);
    }
    return Value(vm.newArray(out));
}

Value arraySplice(Vm& vm, const CallInfo& c) {
    Object* o = c.thisObject();
    if (o == nullptr || c.count() == 0) {
        return Value();
    }
    std::vector<Value> items = elementsOf(vm, o);
    const auto n = static_cast<std::uint32_t>(items.size());
    const std::uint32_t start = clampIndex(vm, c.arg(0), n, 0);
    std::uint32_t count = n - start;
    if (c.count() > 1) {
        const double d = vm.toNumber(c.arg(1));
        count =
            std::isnan(d) || d < 0 ? 0 : static_cast<std::uint32_t>(std::min<double>(d, n - start));
    }
    std::vector<Value> removed(items.begin() + start, items.begin() + start + count);
    for (auto& v : removed) {
        if (v.isHole()) {
            v = Value();
        }
    }
    items.erase(items.begin() + start, items.begin() + start + count);
    if (c.count() > 2) {
        items.insert(items.begin() + start, c.args.begin() + 2, c.args.end());
    }
    assign(vm, o, items);
    return Value(vm.newArray(removed));
}

Value arrayConcat(Vm& vm, const CallInfo& c) {
    Object* o = c.thisObject();
    if (o == nullptr) {
        return Value();
    }
    std::vector<Value> items = elementsOf(vm, o);
    for (const Value& v : c.args) {
        Object* a = v.asObject();
        if (a != nullptr && a->kind() == ObjectKind::Array) {
            std::vector<Value> more = elementsOf(vm, a);
            items.insert(items.end(), more.begin(), more.end());
        } else {
            items.push_back(v);
        }
    }
    return Value(vm.newArray(items));
}

// A quicksort around each range's first element that rescans both ends after a swap:
// movies observe exactly this order of comparisons, for equal keys and for inconsistent
// comparators alike. Every index stays in bounds whatever the comparator answers, and
// the ranges wait on a heap stack, so sorted input cannot exhaust the C++ stack.
void quickSort(std::vector<std::size_t>& idx,
               const std::function<int(std::size_t, std::size_t)>& cmp) {
    if (idx.size() < 2) {
        return;
    }
    std::vector<std::pair<std::size_t, std::size_t>> ranges{{0, idx.size() - 1}};
    while (!ranges.empty()) {
        const auto [lo, hi] = ranges.back();
        ranges.pop_back();
        const std::size_t pivot = idx[lo];
        std::size_t i = lo + 1;
        std::size_t j = hi;
        for (;;) {
            while (i < j && cmp(pivot, idx[i]) > 0) {
                ++i;
            }
            while (j > lo && cmp(pivot, idx[j]) <= 0) {
                --j;
            }
            if (i >= j) {
                break;
            }
            std::swap(idx[i], idx[j]);
        }
        std::swap(idx[lo], idx[j]);
        // The left part is sorted first.
        if (j + 1 < hi) {
            ranges.emplace_back(j + 1, hi);
        }
        if (j > lo + 1) {
            ranges.emplace_back(lo, j - 1);
        }
    }
}

int compareDefault(Vm& vm, const Value& a, const Value& b, int flags) {
    // Undefined sorts last, whatever else.
    if (a.isUndefined() || b.isUndefined()) {
        if (a.isUndefined() && b.isUndefined()) {
            return 0;
        }
        return a.isUndefined() ? 1 : -1;
    }
    // NaN sorts after every number, so the order stays consistent.
    auto numeric = [](double x, double y) {
        if (std::isnan(x) || std::isnan(y)) {
            return std::isnan(x) == std::isnan(y) ? 0 : std::isnan(x) ? 1 : -1;
        }
        return x < y ? -1 : x > y ? 1 : 0;
    };
    if ((flags & kNumeric) != 0 && a.isNumber() && b.isNumber()) {
        return numeric(a.number(), b.number());
    }
    // Anything but two numbers compares as text, even under NUMERIC.
    std::string x = vm.toStdString(a);
    std::string y = vm.toStdString(b);
    if ((flags & kCaseInsensitive) != 0) {
        x = toLowerCase(x);
        y = toLowerCase(y);
    }
    const std::u16string ux = toUtf16(x);
    const std::u16string uy = toUtf16(y);
    return ux < uy ? -1 : ux > uy ? 1 : 0;
}

// Sorts items with flags and an optional comparator; returns false when UNIQUESORT found
// equal elements. order receives the sorted indices.
bool sortItems(Vm& vm, const std::vector<Value>& items, const Value& comparator, int flags,
               std::vector<std::size_t>& order,
               const std::function<Value(const Value&)>& keyOf = nullptr) {
    order.resize(items.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    bool duplicate = false;
    const bool descending = (flags & kDescending) != 0;
    std::vector<Value> keys;
    if (keyOf) {
        for (const Value& v : items) {
            keys.push_back(keyOf(v));
        }
    }
    const std::vector<Value>& k = keyOf ? keys : items;
    auto cmp = [&](std::size_t ia, std::size_t ib) {
        vm.step();
        int r;
        const Value a = k[ia].isHole() ? Value() : k[ia];
        const Value b = k[ib].isHole() ? Value() : k[ib];
        if (comparator.isObject() && comparator.object()->isFunction()) {
            const Value args[] = {a, b};
            const double d = vm.toNumber(vm.call(comparator, Value(), args));
            r = d < 0 ? -1 : d > 0 ? 1 : 0;
        } else {
            r = compareDefault(vm, a, b, flags);
        }
        if (r == 0) {
            duplicate = true;
        }
        return descending ? -r : r;
    };
    quickSort(order, cmp);
    return !(duplicate && (flags & kUniqueSort) != 0);
}

Value finishSort(Vm& vm, Object* o, const std::vector<Value>& items,
                 const std::vector<std::size_t>& order, int flags) {
    if ((flags & kReturnIndexedArray) != 0) {
        std::vector<Value> idx;
        for (std::size_t i : order) {
            idx.push_back(Value(static_cast<double>(i)));
        }
        return Value(vm.newArray(idx));
    }
    std::vector<Value> sorted;
    for (std::size_t i : order) {
        sorted.push_back(items[i]);
    }
    assign(vm, o, sorted);
    return Value(o);
}

Value arraySort(Vm& vm, const CallInfo& c) {
    Object* o = c.thisObject();
    if (o == nullptr) {
        return Value();
    }
    // sort(comparator, flags): a first argument that is no function is ignored when flags
    // follow, else it is the flags.
    Value comparator;
    int flags = 0;
    const bool function = c.arg(0).isObject() && c.arg(0).object()->isFunction();
    if (function) {
        comparator = c.arg(0);
    } else if (c.count() > 0 &&
               (c.arg(0).isUndefined() || c.arg(0).isNull() || c.arg(0).isBoolean())) {
        return Value();  // no comparator, and no flags either: nothing is sorted
    }
    if (c.count() > 1 && !c.arg(1).isUndefined()) {
        flags = vm.toInt32(c.arg(1));
    } else if (!function && c.count() > 0) {
        flags = vm.toInt32(c.arg(0));
    }
    const std::vector<Value> items = elementsOf(vm, o);
    std::vector<std::size_t> order;
    if (!sortItems(vm, items, comparator, flags, order)) {
        return Value(0.0);
    }
    return finishSort(vm, o, items, order, flags);
}

// sortOn reads an element's own stored field: neither prototypes nor getters answer, so a
// sort never runs script. Anything but an object is its own key.
Value sortKey(Vm& vm, const Value& item, String* field) {
    Object* o = item.asObject();
    if (o == nullptr) {
        return item.isHole() ? Value() : item;
    }
    String* key = vm.key(field);
    Value v;
    if (o->getSpecial(vm, key, v)) {
        return v;
    }
    const Property* p = o->properties().find(key);
    return p != nullptr && !p->isAccessor() ? p->value : Value();
}

Value arraySortOn(Vm& vm, const CallInfo& c) {
    Object* o = c.thisObject();
    if (o == nullptr || c.count() == 0) {
        return Value();
    }
    std::vector<String*> fields;
    std::vector<int> fieldFlags;
    if (Object* list = c.arg(0).asObject(); list != nullptr && list->kind() == ObjectKind::Array) {
        const std::uint32_t n = lengthOf(vm, list);
        for (std::uint32_t i = 0; i < n; ++i) {
            vm.step();
            fields.push_back(vm.toString(elementAt(vm, list, i)));
        }
    } else {
        fields.push_back(vm.toString(c.arg(0)));
    }
    int flags = 0;
    if (Object* list = c.arg(1).asObject(); list != nullptr && list->kind() == ObjectKind::Array) {
        const std::uint32_t n = lengthOf(vm, list);
        for (std::uint32_t i = 0; i < n; ++i) {
            vm.step();
            fieldFlags.push_back(vm.toInt32(elementAt(vm, list, i)));
        }
        // The first field's flags also choose what the call returns; a list of another
        // length than the fields counts for nothing.
        if (fieldFlags.size() != fields.size()) {
            fieldFlags.clear();
        } else if (!fieldFlags.empty()) {
            flags = fieldFlags.front();
        }
    } else if (c.count() > 1) {
        flags = vm.toInt32(c.arg(1));
    }
    const std::vector<Value> items = elementsOf(vm, o);
    std::vector<std::size_t> order(items.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    bool duplicate = false;
    auto cmp = [&](std::size_t ia, std::size_t ib) {
        vm.step();
        for (std::size_t f = 0; f < fields.size(); ++f) {
            const int ff = fieldFlags.empty() ? flags : fieldFlags[f];
            const Value a = sortKey(vm, items[ia], fields[f]);
            const Value b = sortKey(vm, items[ib], fields[f]);
            int r = compareDefault(vm, a, b, ff);
            if ((ff & kDescending) != 0) {
                r = -r;
            }
            if (r != 0) {
                return r;
            }
        }
        duplicate = true;
        return 0;
    };
    quickSort(order, cmp);
    if (duplicate && (flags & kUniqueSort) != 0) {
        return Value(0.0);
    }
    return finishSort(vm, o, items, order, flags);
}

}  // namespace

void installArray(Vm& vm) {
    auto* proto = vm.heap().make<ArrayObject>(vm.protos().object);
    vm.protos().array = proto;
    FunctionObject* ctor = defineClass(vm, "Array", arrayConstructor, proto, allocateArray);
    vm.defineNative(proto, "push", arrayPush);
    vm.defineNative(proto, "pop", arrayPop);
    vm.defineNative(proto, "shift", arrayShift);
    vm.defineNative(proto, "unshift", arrayUnshift);
    vm.defineNative(proto, "reverse", arrayReverse);
    vm.defineNative(proto, "slice", arraySlice);
    vm.defineNative(proto, "splice", arraySplice);
    vm.defineNative(proto, "concat", arrayConcat);
    vm.defineNative(proto, "join", arrayJoin);
    vm.defineNative(proto, "toString", arrayToString);
    vm.defineNative(proto, "sort", arraySort);
    vm.defineNative(proto, "sortOn", arraySortOn);
    const std::uint16_t constant = kDontEnum | kDontDelete | kReadOnly;
    vm.define(ctor, "CASEINSENSITIVE", Value(1.0), constant);
    vm.define(ctor, "DESCENDING", Value(2.0), constant);
    vm.define(ctor, "UNIQUESORT", Value(4.0), constant);
    vm.define(ctor, "RETURNINDEXEDARRAY", Value(8.0), constant);
    vm.define(ctor, "NUMERIC", Value(16.0), constant);
}

}  // namespace zd::avm1::lib
