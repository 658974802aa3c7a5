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

bool ArrayObject::getSpecial(Vm& vm, String* key, Value& out) {
    if (key == vm.atoms().length) {
        out = Value(static_cast<double>(length));
        return true;
    }
    std::uint32_t i;
    if (parseArrayIndex(key->view(), i) && i < dense.size()) {
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
        const double n = vm.toNumber(v);
        if (!(n >= 0) || n > 4294967295.0) {
            return true;
        }
        const auto newLength = static_cast<std::uint32_t>(n);
        if (newLength < dense.size()) {
            dense.resize(newLength);
        }
        if (newLength < length) {
            // Sparse elements past the new end go too.
            std::vector<String*> doomed;
            for (auto& p : props_.list()) {
                std::uint32_t i;
                if (parseArrayIndex(p.name->view(), i) && i >= newLength) {
                    doomed.push_back(p.key);
                }
            }
            for (String* k : doomed) {
                props_.remove(k);
            }
        }
        length = newLength;
        return true;
    }
    std::uint32_t i;
    if (!parseArrayIndex(key->view(), i)) {
        return false;
    }
    if (i < dense.size()) {
        dense[i] = v;
    } else if (i - dense.size() < kMaxDenseGap && props_.size() < 64) {
        dense.resize(i + 1, Value::hole());
        dense[i] = v;
    } else {
        return false;  // stored as a plain property; length follows below
    }
    if (i >= length) {
        length = i + 1;
    }
    return true;
}

bool ArrayObject::deleteSpecial(Vm& vm, String* key, bool& deleted) {
    if (key == vm.atoms().length) {
        deleted = false;
        return true;
    }
    std::uint32_t i;
    if (parseArrayIndex(key->view(), i) && i < dense.size()) {
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
