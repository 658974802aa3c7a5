#include "engine/avm1/Object.h"

#include <algorithm>
#include <cmath>

#include "engine/avm1/Vm.h"

namespace zd::avm1 {

bool visibleToVersion(std::uint16_t flags, int swfVersion) {
    if ((flags & kVersionMask) == 0) {
        return true;
    }
    if ((flags & kVersion6) != 0 && swfVersion < 6) {
        return false;
    }
    if ((flags & kVersion7) != 0 && swfVersion < 7) {
        return false;
    }
    if ((flags & kVersion8) != 0 && swfVersion < 8) {
        return false;
    }
    if ((flags & kVersion9) != 0 && swfVersion < 9) {
        return false;
    }
    if ((flags & kVersion10) != 0 && swfVersion < 10) {
        return false;
    }
    return true;
}

Property* PropertyMap::find(String* key) {
    if (!index_.empty()) {
        auto it = index_.find(key);
        return it == index_.end() ? nullptr : &list_[it->second];
    }
    for (auto& p : list_) {
        if (p.key == key) {
            return &p;
        }
    }
    return nullptr;
}

Property& PropertyMap::add(String* key, String* name) {
    list_.push_back(Property{key, name, Value(), nullptr, nullptr, 0});
    if (!index_.empty()) {
        index_.emplace(key, static_cast<std::uint32_t>(list_.size() - 1));
    } else if (list_.size() >= kIndexFrom) {
        reindex();
    }
    return list_.back();
}

bool PropertyMap::remove(String* key) {
    auto it =
        std::find_if(list_.begin(), list_.end(), [&](const Property& p) { return p.key == key; });
    if (it == list_.end()) {
        return false;
    }
    list_.erase(it);
    index_.clear();
    if (list_.size() >= kIndexFrom) {
        reindex();
    }
    return true;
}

void PropertyMap::prepend(std::vector<Property> front) {
    front.insert(front.end(), std::make_move_iterator(list_.begin()),
                 std::make_move_iterator(list_.end()));
    list_ = std::move(front);
    index_.clear();
    if (list_.size() >= kIndexFrom) {
        reindex();
    }
}

void PropertyMap::reindex() {
    index_.clear();
    index_.reserve(list_.size());
    for (std::uint32_t i = 0; i < list_.size(); ++i) {
        index_.emplace(list_[i].key, i);
    }
}

void Object::trace(Tracer& t) {
    t.markObject(proto_);
    for (auto& p : props_.list()) {
        t.mark(p.key);
        t.mark(p.name);
        t.mark(p.value);
        t.markObject(p.getter);
        t.markObject(p.setter);
    }
    for (auto& w : watches_) {
        t.mark(w.key);
        t.markObject(w.callback);
        t.mark(w.userData);
    }
}

void ConstantPool::trace(Tracer& t) {
    for (auto& v : values) {
        t.mark(v);
    }
}

void Scope::trace(Tracer& t) {
    t.markObject(object);
    t.mark(parent);
}

void FunctionObject::trace(Tracer& t) {
    Object::trace(t);
    t.mark(scope);
    t.mark(pool);
    t.mark(baseClip);
    t.mark(data);
}

bool parseArrayIndex(std::string_view s, std::uint32_t& out) {
    if (s.empty() || s.size() > 10 || (s.size() > 1 && s[0] == '0')) {
        return false;
    }
    std::uint64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') {
            return false;
        }
        v = v * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (v >= 0xffffffffull) {
        return false;
    }
    out = static_cast<std::uint32_t>(v);
    return true;
}

bool parseElementIndex(std::string_view s, std::int32_t& out) {
    const bool negative = !s.empty() && s[0] == '-';
    if (negative) {
        s.remove_prefix(1);
    }
    if (s.empty() || (s.size() > 1 && s[0] == '0') || (negative && s == "0")) {
        return false;
    }
    std::uint32_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') {
            return false;
        }
        v = v * 10 + static_cast<std::uint32_t>(c - '0');
    }
    out = static_cast<std::int32_t>(negative ? 0u - v : v);
    return true;
}

void ArrayObject::setElements(std::vector<Value> items) {
    if (!props_.list().empty()) {
        props_.removeIf([](const Property& p) {
            std::int32_t i;
            return parseElementIndex(p.name->view(), i);
        });
    }
    length = static_cast<std::int32_t>(std::min<std::size_t>(items.size(), INT32_MAX));
    dense = std::move(items);
    top = dense.size();
    spilled = false;
}

bool ArrayObject::hasEnumerableProperties() const {
    return std::any_of(props_.list().begin(), props_.list().end(),
                       [](const Property& p) { return (p.flags & kDontEnum) == 0; });
}

void ArrayObject::spill(Vm& vm) {
    if (spilled) {
        return;
    }
    std::vector<Property> front;
    for (std::size_t i = 0; i < dense.size(); ++i) {
        if (!dense[i].isHole()) {
            String* name = vm.intern(std::to_string(i));
            front.push_back(Property{vm.key(name), name, dense[i], nullptr, nullptr, 0});
        }
    }
    dense.clear();
    dense.shrink_to_fit();
    top = 0;
    spilled = true;
    props_.prepend(std::move(front));
}

void ArrayObject::setLength(std::int32_t n) {
    if (n < length) {
        // Elements in [max(n, 0), old length) go; ones that cannot be deleted stay.
        const auto from = static_cast<std::uint32_t>(std::max(n, 0));
        const auto to = static_cast<std::uint32_t>(length);
        if (from < dense.size()) {
            dense.resize(from);
            top = std::min(top, dense.size());
        }
        props_.removeIf([&](const Property& p) {
            std::uint32_t i;
            return (p.flags & kDontDelete) == 0 && parseArrayIndex(p.name->view(), i) &&
                   i >= from && i < to;
        });
    }
    length = n;
}

bool ArrayObject::getSpecial(Vm& vm, String* key, Value& out) {
    if (key == vm.atoms().length) {
        out = Value(static_cast<double>(length));
        return true;
    }
    std::uint32_t i;
    if (!dense.empty() && parseArrayIndex(key->view(), i) && i < dense.size()) {
        if (dense[i].isHole()) {
            return false;
        }
        out = dense[i];
        return true;
    }
    return false;
}

bool ArrayObject::setSpecial(Vm& vm, String* key, const Value& v) {
    if (key == vm.atoms().length) {
        setLength(vm.toInt32(v));
        return true;
    }
    std::int32_t i;
    if (!parseElementIndex(key->view(), i)) {
        return false;
    }
    if (!spilled) {
        const auto u = static_cast<std::size_t>(i);
        if (i >= 0 && u < dense.size() && !dense[u].isHole()) {
            dense[u] = v;
            return true;
        }
        // A new element stays inline only when it is made after every other one.
        if (i >= 0 && i < INT32_MAX && u >= top &&
            (u < dense.size() || u - dense.size() < kMaxDenseGap) && !hasEnumerableProperties()) {
            if (u >= dense.size()) {
                dense.resize(u + 1, Value::hole());
            }
            dense[u] = v;
            top = u + 1;
            if (i >= length) {
                length = i + 1;
            }
            return true;
        }
        spill(vm);
    }
    // The length grows before the element is stored (and may wrap negative, deleting).
    if (i >= length) {
        setLength(static_cast<std::int32_t>(static_cast<std::uint32_t>(i) + 1u));
    }
    return false;
}

bool ArrayObject::deleteSpecial(Vm& vm, String* key, bool& deleted) {
    if (key == vm.atoms().length) {
        deleted = false;
        return true;
    }
    std::uint32_t i;
    if (!dense.empty() && parseArrayIndex(key->view(), i) && i < dense.size()) {
        deleted = !dense[i].isHole();
        dense[i] = Value::hole();
        return true;
    }
    return false;
}

void ArrayObject::specialNames(Vm& vm, std::vector<String*>& names) {
    for (std::size_t i = 0; i < dense.size(); ++i) {
        if (!dense[i].isHole()) {
            names.push_back(vm.intern(std::to_string(i)));
        }
    }
}

void ArrayObject::trace(Tracer& t) {
    Object::trace(t);
    for (auto& v : dense) {
        t.mark(v);
    }
}

void BoxObject::trace(Tracer& t) {
    Object::trace(t);
    t.mark(value);
}

void SuperObject::trace(Tracer& t) {
    Object::trace(t);
    t.markObject(thisObject);
    t.markObject(home);
}

}  // namespace zd::avm1
