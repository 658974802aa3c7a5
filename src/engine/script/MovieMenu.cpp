#include "engine/script/MovieMenu.h"

#include <algorithm>
#include <array>
#include <utility>

#include "engine/avm1/Library.h"
#include "engine/avm1/Vm.h"

namespace zd::script {

namespace {

bool callable(const avm1::Value& v) {
    return v.isObject() && v.object()->isFunction();
}

// A switch a script left out (or deleted) keeps its default.
bool flag(avm1::Vm& vm, const avm1::Value& from, const char* name, bool otherwise) {
    const avm1::Value v = vm.get(from, name);
    return v.isUndefined() ? otherwise : vm.toBoolean(v);
}

}  // namespace

MovieMenus::~MovieMenus() {
    release();
}

void MovieMenus::keep(avm1::Object* o) {
    vm_.addRoot(o);
    kept_.push_back(o);
}

void MovieMenus::release() {
    for (avm1::Object* o : kept_) {
        vm_.removeRoot(o);
    }
    kept_.clear();
    items_.clear();
    owner_ = nullptr;
    menu_ = MovieMenu{};
}

void MovieMenus::open(avm1::Object* owner) {
    release();
    if (owner == nullptr) {
        return;
    }
    avm1::Vm::NoCollect hold(vm_);
    const avm1::Value menu = vm_.get(avm1::Value(owner), "menu");
    if (!menu.isObject()) {
        return;
    }
    owner_ = owner;
    keep(owner);
    keep(menu.object());
    const avm1::Value onSelect = vm_.get(menu, "onSelect");
    if (callable(onSelect)) {
        const avm1::Value args[] = {avm1::Value(owner), menu};
        vm_.callFromHost(onSelect, menu, args);
    }

    const avm1::Value builtIn = vm_.get(menu, "builtInItems");
    if (builtIn.isObject()) {
        menu_.zoom = flag(vm_, builtIn, "zoom", true);
        menu_.quality = flag(vm_, builtIn, "quality", true);
        menu_.play = flag(vm_, builtIn, "play", true);
        menu_.loop = flag(vm_, builtIn, "loop", true);
        menu_.rewind = flag(vm_, builtIn, "rewind", true);
        menu_.forwardBack = flag(vm_, builtIn, "forward_back", true);
    }
    avm1::Object* custom = vm_.get(menu, "customItems").asObject();
    if (custom == nullptr) {
        return;
    }
    // Bounded however long the script made the array.
    const std::uint32_t count = std::min<std::uint32_t>(avm1::lib::lengthOf(vm_, custom), 1024);
    for (std::uint32_t i = 0; i < count && menu_.items.size() < kMaxItems; ++i) {
        const avm1::Value item = avm1::lib::elementAt(vm_, custom, i);
        if (!item.isObject() || !flag(vm_, item, "visible", true)) {
            continue;
        }
        MovieMenu::Item shown;
        const avm1::Value caption = vm_.get(item, "caption");
        shown.caption = caption.isUndefined() ? std::string() : vm_.toStdString(caption);
        // Entries without words would be blank lines nobody can tell apart.
        if (shown.caption.find_first_not_of(" \t\r\n") == std::string::npos) {
            continue;
        }
        shown.enabled = flag(vm_, item, "enabled", true);
        shown.separatorBefore = flag(vm_, item, "separatorBefore", false);
        menu_.items.push_back(std::move(shown));
        items_.push_back(item.object());
        keep(item.object());
    }
}

void MovieMenus::choose(std::size_t index) {
    if (index >= items_.size() || index >= menu_.items.size() || !menu_.items[index].enabled) {
        return;
    }
    avm1::Vm::NoCollect hold(vm_);
    const avm1::Value item(items_[index]);
    const avm1::Value onSelect = vm_.get(item, "onSelect");
    if (callable(onSelect)) {
        const avm1::Value args[] = {avm1::Value(owner_), item};
        vm_.callFromHost(onSelect, item, args);
    }
}

}  // namespace zd::script
