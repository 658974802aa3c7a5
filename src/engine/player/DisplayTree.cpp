#include "engine/player/DisplayTree.h"

#include <algorithm>

#include "engine/swf/TagCodes.h"
#include "engine/swf/TagWalker.h"

namespace zd::engine {

namespace {

// Applies a PlaceObject to a display list without building anything; tells whether the
// object at its depth now shows a character it did not show before.
bool applyPlace(std::map<std::uint16_t, DisplayObject>& list, const PlaceObjectTag& p, int frame,
                DisplayObject** touched) {
    auto it = list.find(p.depth);
    bool fresh = false;
    if (p.characterId) {
        if (it == list.end()) {
            it = list.emplace(p.depth, DisplayObject{}).first;
            it->second.depth = p.depth;
        } else if (!p.move) {
            // A new character at an occupied depth starts afresh.
            DisplayObject replacement;
            replacement.depth = p.depth;
            it->second = std::move(replacement);
        }
        fresh = true;
        it->second.placedFrame = frame;
        it->second.characterId = *p.characterId;
    } else if (it == list.end()) {
        *touched = nullptr;
        return false;  // nothing there to change
    }
    DisplayObject& o = it->second;
    if (p.matrix) {
        o.matrix = *p.matrix;
    }
    if (p.colorTransform) {
        o.colorTransform = *p.colorTransform;
    }
    if (p.ratio) {
        o.ratio = *p.ratio;
    }
    if (p.name) {
        o.name = *p.name;
    }
    if (p.clipDepth) {
        o.clipDepth = *p.clipDepth;
    }
    if (p.blendMode) {
        o.blendMode = *p.blendMode;
    }
    if (p.cacheAsBitmap) {
        o.cacheAsBitmap = *p.cacheAsBitmap;
    }
    if (p.filters) {
        o.filters = std::make_shared<const FilterList>(*p.filters);
    }
    if (p.visible) {
        o.visible = *p.visible;
    }
    *touched = &o;
    return fresh;
}

}  // namespace

Timeline::Timeline(DisplayContext& context, const std::vector<FrameRange>* frames, int nesting)
    : context_(context), frames_(frames), nesting_(nesting) {}

Timeline::~Timeline() {
    for (std::size_t i = 0; i < list_.size(); ++i) {
        context_.releaseObject();
    }
}

void Timeline::start() {
    if (current_ >= 0 || frameCount() == 0) {
        return;
    }
    current_ = 0;
    runFrame(0);
}

void Timeline::advanceChildren() {
    for (auto& [depth, object] : list_) {
        if (object.children) {
            object.children->advance(true);
        }
    }
}

void Timeline::advance(bool loop) {
    advanceChildren();
    if (current_ < 0) {
        start();
        return;
    }
    const auto next = static_cast<std::size_t>(current_) + 1;
    if (next < frameCount()) {
        current_ = static_cast<int>(next);
        runFrame(next);
    } else if (loop && frameCount() > 1) {
        restart();
    }
}

void Timeline::restart() {
    if (frameCount() == 0) {
        return;
    }
    // What the first frame alone builds.
    std::map<std::uint16_t, DisplayObject> wanted;
    const FrameRange range = (*frames_)[0];
    const auto data = context_.data();
    if (range.end <= data.size()) {
        TagWalker walker(data.first(range.end), range.begin);
        while (auto tag = walker.next()) {
            const auto code = static_cast<TagCode>(tag->code);
            const int version = code == TagCode::PlaceObject    ? 1
                                : code == TagCode::PlaceObject2 ? 2
                                : code == TagCode::PlaceObject3 ? 3
                                                                : 0;
            if (version != 0) {
                if (auto p = parsePlaceObject(walker.body(*tag), version)) {
                    DisplayObject* touched = nullptr;
                    applyPlace(wanted, *p, 0, &touched);
                }
            } else if (code == TagCode::RemoveObject || code == TagCode::RemoveObject2) {
                if (auto depth = parseRemoveObject(walker.body(*tag),
                                                   code == TagCode::RemoveObject ? 1 : 2)) {
                    wanted.erase(*depth);
                }
            }
        }
    }
    // Objects that have been there since the first frame stay as they are (their sprites play
    // on) with the first frame's properties; the others go and the replay places them anew.
    std::vector<std::uint16_t> kept;
    for (auto it = list_.begin(); it != list_.end();) {
        const auto w = wanted.find(it->first);
        if (w != wanted.end() && it->second.placedFrame == 0 &&
            w->second.characterId == it->second.characterId) {
            DisplayObject& o = it->second;
            const DisplayObject& first = w->second;
            o.matrix = first.matrix;
            o.colorTransform = first.colorTransform;
            o.ratio = first.ratio;
            o.clipDepth = first.clipDepth;
            o.name = first.name;
            o.blendMode = first.blendMode;
            o.filters = first.filters;
            o.cacheAsBitmap = first.cacheAsBitmap;
            o.visible = first.visible;
            kept.push_back(it->first);
            ++it;
        } else {
            it = list_.erase(it);
            context_.releaseObject();
        }
    }
    current_ = 0;
    keptDepths_ = &kept;
    runFrame(0);
    keptDepths_ = nullptr;
}

void Timeline::runFrame(std::size_t frame) {
    if (frame >= frameCount()) {
        return;
    }
    const FrameRange range = (*frames_)[frame];
    const auto data = context_.data();
    if (range.end > data.size() || range.begin > range.end) {
        return;
    }
    TagWalker walker(data.first(range.end), range.begin);
    std::size_t tags = 0;
    while (auto tag = walker.next()) {
        if (++tags > context_.limits().maxTagsPerFrame) {
            break;
        }
        const auto code = static_cast<TagCode>(tag->code);
        switch (code) {
            case TagCode::PlaceObject:
            case TagCode::PlaceObject2:
            case TagCode::PlaceObject3: {
                const int version = code == TagCode::PlaceObject    ? 1
                                    : code == TagCode::PlaceObject2 ? 2
                                                                    : 3;
                if (auto p = parsePlaceObject(walker.body(*tag), version)) {
                    place(*p, static_cast<int>(frame));
                }
                break;
            }
            case TagCode::RemoveObject:
            case TagCode::RemoveObject2:
                if (auto depth = parseRemoveObject(walker.body(*tag),
                                                   code == TagCode::RemoveObject ? 1 : 2)) {
                    remove(*depth);
                }
                break;
            default:
                break;
        }
    }
}

void Timeline::place(const PlaceObjectTag& p, int frame) {
    if (keptDepths_ != nullptr &&
        std::find(keptDepths_->begin(), keptDepths_->end(), p.depth) != keptDepths_->end()) {
        return;  // kept through a loop, already as the first frame leaves it
    }
    const bool existed = list_.count(p.depth) != 0;
    if (!existed && p.characterId && !context_.takeObject()) {
        return;  // the tree is full
    }
    DisplayObject* o = nullptr;
    if (applyPlace(list_, p, frame, &o) && o != nullptr) {
        o->character = context_.character(*p.characterId);
        o->children.reset();
        if (!o->character) {
            // An id not defined (yet): the depth stays taken, showing nothing.
            return;
        }
        instantiate(*o);
    }
}

void Timeline::remove(std::uint16_t depth) {
    if (list_.erase(depth) != 0) {
        context_.releaseObject();
    }
}

void Timeline::instantiate(DisplayObject& object) {
    if (nesting_ >= context_.limits().maxNesting) {
        return;  // too deep: shown empty
    }
    if (const auto* sprite = object.character->as<SpriteDefinition>()) {
        object.children = std::make_unique<Timeline>(context_, &sprite->frames, nesting_ + 1);
        object.children->start();
    } else if (const auto* button = object.character->as<ButtonDefinition>()) {
        object.children = std::make_unique<Timeline>(context_, nullptr, nesting_ + 1);
        object.children->placeButtonState(*button, ButtonRecord::Up);
    }
}

void Timeline::placeButtonState(const ButtonDefinition& button, std::uint8_t state) {
    for (const ButtonRecord& r : button.records) {
        if (!(r.states & state) || list_.count(r.depth) != 0 || !context_.takeObject()) {
            continue;
        }
        DisplayObject o;
        o.depth = r.depth;
        o.characterId = r.characterId;
        o.character = context_.character(r.characterId);
        o.matrix = r.matrix;
        o.colorTransform = r.colorTransform;
        o.blendMode = r.blendMode;
        o.filters = r.filters;
        o.placedFrame = 0;
        DisplayObject& placed = list_.emplace(r.depth, std::move(o)).first->second;
        if (placed.character) {
            instantiate(placed);
        }
    }
}

}  // namespace zd::engine
