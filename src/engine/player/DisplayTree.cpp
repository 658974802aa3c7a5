#include "engine/player/DisplayTree.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "engine/swf/ByteReader.h"
#include "engine/swf/MovieData.h"
#include "engine/swf/TagCodes.h"
#include "engine/swf/TagWalker.h"

namespace zd::engine {

namespace {

int placeVersion(TagCode code) {
    switch (code) {
        case TagCode::PlaceObject:
            return 1;
        case TagCode::PlaceObject2:
            return 2;
        case TagCode::PlaceObject3:
            return 3;
        default:
            return 0;
    }
}

// What a PlaceObject changes, applied to what was there.
void applyTag(DisplayProperties& o, const PlaceObjectTag& p) {
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
        // A clip depth of 0 masks nothing.
        o.clipDepth = *p.clipDepth != 0 ? std::optional(depthOfTag(*p.clipDepth)) : std::nullopt;
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
    if (p.opaqueBackground) {
        o.opaqueBackground = *p.opaqueBackground;
    }
}

bool sameName(std::string_view a, std::string_view b, bool ignoreCase) {
    if (!ignoreCase) {
        return a == b;
    }
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

bool DisplayProperties::operator==(const DisplayProperties& o) const {
    const bool sameFilters =
        filters == o.filters || (filters && o.filters && *filters == *o.filters);
    return sameFilters && matrix == o.matrix && colorTransform == o.colorTransform &&
           ratio == o.ratio && name == o.name && clipDepth == o.clipDepth &&
           blendMode == o.blendMode && cacheAsBitmap == o.cacheAsBitmap && visible == o.visible &&
           opaqueBackground == o.opaqueBackground && scrollRect == o.scrollRect;
}

// ---------------------------------------------------------------------------------------------

DisplayObject::DisplayObject(DisplayContext& context, Timeline* parent, std::int32_t depth,
                             std::uint16_t characterId, CharacterPtr character, Origin origin)
    : context_(context),
      parent_(parent),
      depth_(depth),
      characterId_(characterId),
      character_(std::move(character)),
      origin_(origin) {
    id_ = context_.enlist(this);
    bornTick_ = context_.tickNumber();
}

DisplayObject::~DisplayObject() {
    timeline_.reset();  // the children leave before their parent
    if (!removed_) {
        context_.delist(id_);
        if (origin_ != Origin::Root) {
            context_.releaseObject();
        }
    }
}

DisplayObject* DisplayObject::parent() const {
    return parent_ != nullptr ? &parent_->owner() : nullptr;
}

bool DisplayObject::isClip() const {
    return timeline_ != nullptr &&
           (origin_ == Origin::Root || (character_ && character_->kind == Character::Kind::Sprite));
}

void DisplayObject::setProperties(const DisplayProperties& props) {
    if (!(props_ == props)) {
        props_ = props;
        context_.changed(*this);
    }
}

void DisplayObject::setMatrix(const Matrix& m) {
    matrixByScript_ = true;
    if (!(props_.matrix == m)) {
        props_.matrix = m;
        context_.changed(*this);
    }
}

void DisplayObject::setColorTransform(const ColorTransform& c) {
    if (!(props_.colorTransform == c)) {
        props_.colorTransform = c;
        context_.changed(*this);
    }
}

void DisplayObject::setName(std::string name) {
    props_.name = std::move(name);  // names do not show
}

void DisplayObject::setVisible(bool visible) {
    if (props_.visible != visible) {
        props_.visible = visible;
        context_.changed(*this);
    }
}

void DisplayObject::setAttachedVideo(std::shared_ptr<FlvVideo> source) {
    attachedVideo_ = std::move(source);
    context_.changed(*this);
}

void DisplayObject::setDrawing(CharacterPtr shape) {
    drawing_ = std::move(shape);
    context_.changed();
}

void DisplayObject::setScriptMask(InstanceId mask) {
    if (scriptMask_ != mask) {
        scriptMask_ = mask;
        context_.changed();
    }
}

void DisplayObject::setMasksByScript(bool masks) {
    if (masksByScript_ != masks) {
        masksByScript_ = masks;
        context_.changed();
    }
}

void DisplayObject::instantiate(int nesting) {
    if (!character_ || nesting >= context_.limits().maxNesting) {
        return;  // nothing to show, or too deep: shown empty
    }
    if (const auto* edit = character_->as<EditTextDefinition>()) {
        std::string fontName;
        const FontDefinition* fontDef = nullptr;
        if (edit->fontId) {
            const MovieSource& source =
                parent_ != nullptr ? parent_->source() : context_.mainSource();
            if (CharacterPtr font = source.character(*edit->fontId)) {
                if ((fontDef = font->as<FontDefinition>()) != nullptr) {
                    fontName = fontDef->name;
                }
            }
        }
        textField_ =
            std::make_unique<TextFieldModel>(*edit, fontName, context_.swfVersion(), fontDef);
        if (!textField_->variable.empty()) {
            ++context_.boundFieldsPlaced_;
        }
        return;
    }
    if (const auto* sprite = character_->as<SpriteDefinition>()) {
        timeline_ = std::make_unique<Timeline>(context_, *this, &sprite->frames, nesting + 1,
                                               parent_ != nullptr ? &parent_->source() : nullptr);
        timeline_->setLoops(sprite->loops);
        if (origin_ == Origin::Timeline && !context_.work().displayOnly) {
            context_.work().frameActions.push_back({QueuedAction::Kind::Load, id_, 0, ByteRange{}});
        } else {
            context_.work().placed.push_back(id_);
        }
        context_.work().constructs.push_back({QueuedAction::Kind::Construct, id_, 0, ByteRange{}});
        timeline_->start();
    } else if (const auto* button = character_->as<ButtonDefinition>()) {
        timeline_ = std::make_unique<Timeline>(context_, *this, nullptr, nesting + 1,
                                               parent_ != nullptr ? &parent_->source() : nullptr);
        timeline_->placeButtonState(*button, ButtonRecord::Up);
    }
}

void DisplayObject::markRemoved() {
    if (removed_) {
        return;
    }
    removed_ = true;
    context_.delist(id_);
    if (origin_ != Origin::Root) {
        context_.releaseObject();
    }
    if (timeline_) {
        for (auto& [depth, child] : timeline_->list_) {
            child->markRemoved();
        }
    }
}

// ---------------------------------------------------------------------------------------------

DisplayContext::DisplayContext(Dictionary& dictionary, std::span<const std::uint8_t> data,
                               DisplayLimits limits, int swfVersion)
    : dictionary_(dictionary), data_(data), limits_(limits), swfVersion_(swfVersion) {
    auto own = std::make_unique<MovieSource>();
    own->dictionary = &dictionary_;
    own->data = data;
    own->version = swfVersion;
    sources_.push_back(std::move(own));
}

DisplayContext::~DisplayContext() = default;

const MovieSource& DisplayContext::sourceOf(ByteRange r) const {
    const std::size_t index = r.begin / kSourceStride;
    return index < sources_.size() ? *sources_[index] : *sources_.front();
}

std::span<const std::uint8_t> DisplayContext::bytes(ByteRange r) const {
    const std::size_t index = r.begin / kSourceStride;
    if (index >= sources_.size()) {
        return {};
    }
    const MovieSource& source = *sources_[index];
    const std::size_t begin = r.begin - source.base;
    const std::size_t end = r.end - source.base;
    if (r.end < source.base || begin > end || end > source.data.size()) {
        return {};
    }
    return source.data.subspan(begin, end - begin);
}

const MovieSource* DisplayContext::addSource(std::shared_ptr<const MovieData> movie,
                                             std::string url) {
    // Each load keeps its movie for the rest of the run (scripts may hold its functions).
    constexpr std::size_t kMaxSources = 256;
    if (!movie || movie->header() == nullptr || sources_.size() >= kMaxSources ||
        movie->data().size() >= kSourceStride) {
        return nullptr;
    }
    auto source = std::make_unique<MovieSource>();
    source->ownDictionary = std::make_unique<Dictionary>();
    source->dictionary = source->ownDictionary.get();
    source->data = movie->data();
    source->version = movie->header()->version;
    source->base = sources_.size() * kSourceStride;
    source->url = std::move(url);
    source->dictionary->update(source->data, movie->header()->size,
                               movie->timeline().scannedOffset());
    source->movie = std::move(movie);
    sources_.push_back(std::move(source));
    return sources_.back().get();
}

CharacterPtr DisplayContext::emptyClipCharacter() {
    if (!emptyClip_) {
        auto c = std::make_shared<Character>();
        c->kind = Character::Kind::Sprite;
        c->def = SpriteDefinition{};
        emptyClip_ = std::move(c);
    }
    return emptyClip_;
}

bool DisplayContext::takeObject() {
    if (objects_ >= limits_.maxObjects) {
        return false;
    }
    ++objects_;
    return true;
}

void DisplayContext::releaseObject() {
    if (objects_ > 0) {
        --objects_;
    }
}

InstanceId DisplayContext::enlist(DisplayObject* object) {
    const InstanceId id = nextId_++;
    live_.emplace(id, object);
    return id;
}

void DisplayContext::delist(InstanceId id) {
    live_.erase(id);
}

DisplayObject* DisplayContext::find(InstanceId id) const {
    const auto it = live_.find(id);
    return it == live_.end() ? nullptr : it->second;
}

bool DisplayContext::waitsForUnload(DisplayObject& object) {
    if (!unloadTest_ || object.unloading_ || object.removed_) {
        return false;
    }
    if (object.isClip() && unloadTest_(object)) {
        return true;
    }
    if (const Timeline* t = object.timeline()) {
        for (const auto& [depth, child] : t->objects()) {
            if (waitsForUnload(*child)) {
                return true;
            }
        }
    }
    return false;
}

void DisplayContext::retire(std::unique_ptr<DisplayObject> object) {
    object->markRemoved();
    if (object->parent_ != nullptr) {
        object->formerParent_ = object->parent_->owner().id();
    }
    object->parent_ = nullptr;
    changed(*object);
    retired_.push_back(std::move(object));
}

void DisplayContext::changed(const DisplayObject& object) {
    ++changes_;
    if (touchedAll_) {
        return;
    }
    // Past this many the picture is as good as new: draw it whole.
    constexpr std::size_t kMaxTouched = 4096;
    if (touched_.size() >= kMaxTouched) {
        touchedAll_ = true;
        touched_.clear();
        return;
    }
    touched_.push_back(object.id());
}

void DisplayContext::setTextFocus(InstanceId field, bool caretShown) {
    caretShown = caretShown && field != kNoInstance;
    if (field == focusedField_ && caretShown == caretShown_) {
        return;
    }
    if (const DisplayObject* o = find(field)) {
        changed(*o);
    }
    if (const DisplayObject* o = focusedField_ != field ? find(focusedField_) : nullptr) {
        changed(*o);
    }
    focusedField_ = field;
    caretShown_ = caretShown;
}

bool DisplayContext::takeTouched(std::vector<InstanceId>& ids) {
    const bool all = touchedAll_;
    ids.swap(touched_);
    touched_.clear();
    touchedAll_ = false;
    return all;
}

void DisplayContext::collectRemoved() {
    // Destroying them may not retire anything more; move them out first all the same.
    std::vector<std::unique_ptr<DisplayObject>> gone = std::move(retired_);
    retired_.clear();
    retiredHandled = 0;
}

// ---------------------------------------------------------------------------------------------

Timeline::Timeline(DisplayContext& context, DisplayObject& owner,
                   const std::vector<FrameRange>* frames, int nesting, const MovieSource* source)
    : context_(context),
      owner_(owner),
      frames_(frames),
      nesting_(nesting),
      source_(source != nullptr ? source : &context.mainSource()) {}

Timeline::~Timeline() = default;

std::span<const FrameRange> Timeline::frames() const {
    if (frames_ == nullptr) {
        return {};
    }
    return {frames_->data(), frames_->size()};
}

void Timeline::setFrameLimit(std::size_t frames, bool stillLoading) {
    frameLimit_ = frames;
    stillLoading_ = stillLoading;
}

std::size_t Timeline::showableFrames() const {
    if (frameLimit_ == SIZE_MAX) {
        return frameCount();
    }
    return stillLoading_ ? std::min(frameCount(), frameLimit_) : frameLimit_;
}

void Timeline::setPlaying(bool playing) {
    if (playing_ && !playing) {
        context_.work().stopped.push_back(owner_.id());
    }
    playing_ = playing;
}

void Timeline::start() {
    if (current_ >= 0 || frameCount() == 0 || frameLimit_ == 0) {
        return;
    }
    current_ = 0;
    shown(true);
    runFrame(0);
}

bool Timeline::atEnd() const {
    const auto next = static_cast<std::size_t>(current_ + 1);
    if (next < showableFrames()) {
        return false;
    }
    return !(stillLoading_ && next < frameLimit_);
}

bool Timeline::step(bool loop) {
    if (current_ < 0) {
        start();
        return current_ >= 0;
    }
    const auto next = static_cast<std::size_t>(current_) + 1;
    if (next < showableFrames()) {
        current_ = static_cast<int>(next);
        shown(false);
        runFrame(next);
        return true;
    }
    if (!atEnd()) {
        return false;  // the next frame is still on its way
    }
    if (loop && loops_ && showableFrames() > 1) {
        gotoFrame(0, false);
        return true;
    }
    return false;
}

void Timeline::gotoFrame(int frame, bool madeClipsFirst) {
    const std::size_t shownFrames = showableFrames();
    if (shownFrames == 0) {
        return;
    }
    const int target = std::clamp(frame, 0, static_cast<int>(shownFrames) - 1);
    if (current_ < 0) {
        start();
    }
    if (target == current_) {
        return;
    }
    Placements wanted;
    int from = 0;
    if (target > current_) {
        // Forward: what the list holds now, then the frames up to the target.
        for (const auto& [depth, object] : list_) {
            if (object->origin() == DisplayObject::Origin::Timeline) {
                wanted[depth] = {object->characterId(), object->placedFrame(), object->properties(),
                                 object->clipActions()};
            }
        }
        from = current_ + 1;
    } else {
        // Going back rebuilds the timeline's depths: what scripts made or moved below zero
        // goes with the rest, and the frames place their own objects there again.
        for (auto it = list_.begin(); it != list_.end() && it->first < 0;) {
            const auto next = std::next(it);
            if (it->second->origin() != DisplayObject::Origin::Timeline) {
                retire(it);
            }
            it = next;
        }
    }
    current_ = target;
    shown(true);
    auto& queued = context_.work().frameActions;
    const std::size_t before = queued.size();
    for (int f = from; f <= target; ++f) {
        replayFrame(static_cast<std::size_t>(f), wanted, f == target);
    }
    if (!madeClipsFirst) {
        reconcile(wanted, nullptr);
        return;
    }
    // A script's go-to runs the frame's actions and the first frames of the clips it makes
    // in the order of their tags, after what the clips it removes queue.
    std::deque<QueuedAction> frameBlocks(queued.begin() + static_cast<std::ptrdiff_t>(before),
                                         queued.end());
    queued.erase(queued.begin() + static_cast<std::ptrdiff_t>(before), queued.end());
    reconcile(wanted, &frameBlocks);
    queued.insert(queued.end(), frameBlocks.begin(), frameBlocks.end());
}

void Timeline::restartFromScratch() {
    while (!list_.empty()) {
        retire(list_.begin());
    }
    current_ = -1;
    start();
}

void Timeline::replaceMovie(const MovieSource* source) {
    while (!list_.empty()) {
        retire(list_.begin());
    }
    current_ = -1;
    playing_ = true;
    frameLimit_ = SIZE_MAX;
    stillLoading_ = false;
    loadedImage_.reset();
    if (source != nullptr) {
        source_ = source;
        frames_ = &source->movie->timeline().frames();
        loadedRoot_ = true;
        start();
    } else {
        frames_ = nullptr;
    }
    context_.changed(owner_);
}

void Timeline::shown(bool jumped) {
    if (!context_.work().displayOnly) {
        context_.work().framesShown.push_back({owner_.id(), current_, jumped});
    }
}

void Timeline::queueFrameTag(std::uint16_t code, ByteRange body) {
    FrameWork& work = context_.work();
    switch (static_cast<TagCode>(code)) {
        case TagCode::DoAction:
            if (!work.displayOnly) {
                work.frameActions.push_back(
                    {QueuedAction::Kind::Frame, owner_.id(), 0, source_->global(body)});
            }
            break;
        case TagCode::DoInitAction: {
            // Once per sprite, even on a frame a go-to passes over.
            ByteReader in(context_.bytes(source_->global(body)));
            const std::uint16_t sprite = in.u16();
            if (in.ok() && context_.firstInit(*source_, sprite)) {
                work.initActions.push_back({QueuedAction::Kind::Init, owner_.id(), sprite,
                                            source_->global({body.begin + 2, body.end})});
            }
            break;
        }
        case TagCode::StartSound:
        case TagCode::StartSound2:
            if (!work.displayOnly) {
                work.sounds.push_back({owner_.id(), source_->global(body),
                                       static_cast<TagCode>(code) == TagCode::StartSound ? 1 : 2});
            }
            break;
        default:
            break;
    }
}

void Timeline::runFrame(std::size_t frame) {
    if (frame >= frameCount()) {
        return;
    }
    const FrameRange range = (*frames_)[frame];
    const auto data = source_->data;
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
        if (const int version = placeVersion(code)) {
            if (auto p = parsePlaceObject(walker.body(*tag), version, source_->version)) {
                placeTag(*p, tag->bodyOffset, static_cast<int>(frame));
            }
        } else if (code == TagCode::RemoveObject || code == TagCode::RemoveObject2) {
            if (auto depth =
                    parseRemoveObject(walker.body(*tag), code == TagCode::RemoveObject ? 1 : 2)) {
                removeAtDepth(depthOfTag(*depth));
            }
        } else {
            queueFrameTag(tag->code, {tag->bodyOffset, tag->end()});
        }
    }
}

void Timeline::replayFrame(std::size_t frame, Placements& placements, bool queue) {
    if (frame >= frameCount()) {
        return;
    }
    const FrameRange range = (*frames_)[frame];
    const auto data = source_->data;
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
        if (const int version = placeVersion(code)) {
            const auto p = parsePlaceObject(walker.body(*tag), version, source_->version);
            if (!p) {
                continue;
            }
            const std::int32_t depth = depthOfTag(p->depth);
            if (const auto it = list_.find(depth);
                it != list_.end() && it->second->origin() != DisplayObject::Origin::Timeline) {
                continue;  // a script's object: the tags leave it alone
            }
            auto it = placements.find(depth);
            if (p->characterId && it != placements.end() && !p->move) {
                continue;  // the depth is taken: the object there stays
            }
            if (p->characterId) {
                Placement fresh;
                if (it != placements.end() && p->move) {
                    fresh.props = it->second.props;  // another character, where the old one was
                }
                fresh.characterId = *p->characterId;
                fresh.placedFrame = static_cast<int>(frame);
                fresh.clipActions = clipActionsOf(*p, tag->bodyOffset);
                fresh.tagOffset = tag->offset;
                applyTag(fresh.props, *p);
                placements[depth] = std::move(fresh);
            } else if (it != placements.end()) {
                applyTag(it->second.props, *p);
            }
        } else if (code == TagCode::RemoveObject || code == TagCode::RemoveObject2) {
            if (auto depth =
                    parseRemoveObject(walker.body(*tag), code == TagCode::RemoveObject ? 1 : 2)) {
                placements.erase(depthOfTag(*depth));
            }
        } else if (queue || code == TagCode::DoInitAction) {
            queueFrameTag(tag->code, {tag->bodyOffset, tag->end()});
        }
    }
}

std::vector<ClipAction> Timeline::clipActionsOf(const PlaceObjectTag& p,
                                                std::size_t bodyOffset) const {
    std::vector<ClipAction> actions;
    actions.reserve(p.clipActions.size());
    for (const ClipActionRecord& r : p.clipActions) {
        actions.push_back({r.events, r.keyCode,
                           source_->global({bodyOffset + r.codeBegin, bodyOffset + r.codeEnd})});
    }
    return actions;
}

void Timeline::placeTag(const PlaceObjectTag& p, std::size_t bodyOffset, int frame) {
    const std::int32_t depth = depthOfTag(p.depth);
    const auto it = list_.find(depth);
    if (it != list_.end() && it->second->origin() != DisplayObject::Origin::Timeline) {
        return;  // a script's object: the tags leave it alone
    }
    if (!p.characterId) {
        if (it != list_.end()) {
            DisplayProperties props = it->second->properties();
            applyTag(props, p);
            if (it->second->matrixByScript_) {
                props.matrix = it->second->matrix();
            }
            it->second->setProperties(props);
        }
        return;
    }
    DisplayProperties props;
    if (it != list_.end()) {
        if (!p.move) {
            // A new object needs a free depth: the one there stays.
            if (!context_.work().displayOnly) {
                context_.work().warnings.push_back("Warning: Failed to place object at depth " +
                                                   std::to_string(p.depth) + ".");
            }
            return;
        }
        props = it->second->properties();  // another character, where the old one was
        retire(it);
    }
    applyTag(props, p);
    DisplayObject* o = create(depth, *p.characterId, source_->character(*p.characterId),
                              DisplayObject::Origin::Timeline);
    if (o == nullptr) {
        return;  // the tree is full
    }
    o->props_ = std::move(props);
    nameIfUnnamed(*o);
    o->placedFrame_ = frame;
    o->clipActions_ = clipActionsOf(p, bodyOffset);
    // An id not defined (yet) keeps the depth taken, showing nothing. A sprite runs its
    // first frame here: its actions queue between the actions of the tags around it.
    o->instantiate(nesting_);
}

void Timeline::nameIfUnnamed(DisplayObject& o) {
    if (!o.props_.name.empty()) {
        return;
    }
    // Only what scripts can reach is named (and counted).
    const CharacterPtr& c = o.character();
    if (c != nullptr && (c->kind == Character::Kind::Sprite || c->kind == Character::Kind::Button ||
                         c->kind == Character::Kind::EditText)) {
        o.props_.name = context_.nextInstanceName();
    }
}

void Timeline::removeAtDepth(std::int32_t depth) {
    // Whatever is at the depth goes, a clip moved there by a script too.
    const auto it = list_.find(depth);
    if (it != list_.end()) {
        leave(it);
    }
}

void Timeline::reconcile(const Placements& wanted, std::deque<QueuedAction>* frameBlocks) {
    for (auto it = list_.begin(); it != list_.end();) {
        DisplayObject& o = *it->second;
        if (o.origin() != DisplayObject::Origin::Timeline) {
            ++it;
            continue;
        }
        const auto w = wanted.find(it->first);
        if (w == wanted.end() || w->second.characterId != o.characterId() ||
            w->second.placedFrame != o.placedFrame()) {
            // Set aside lands below every depth the loop has passed.
            const auto next = std::next(it);
            leave(it);
            it = next;
            continue;
        }
        // Placed the same way: kept as it is (its clip plays on), as the frame leaves it.
        DisplayProperties props = w->second.props;
        if (o.matrixByScript_) {
            props.matrix = o.matrix();
        }
        o.setProperties(props);
        o.clipActions_ = w->second.clipActions;
        ++it;
    }
    // What is made anew is made in the order of the tags placing it.
    std::vector<std::pair<std::size_t, std::int32_t>> fresh;
    for (const auto& [depth, w] : wanted) {
        if (list_.count(depth) == 0) {  // else kept, or a script's object there
            fresh.emplace_back(w.tagOffset, depth);
        }
    }
    std::sort(fresh.begin(), fresh.end());
    for (const auto& [offset, depth] : fresh) {
        const Placement& w = wanted.at(depth);
        while (frameBlocks != nullptr && !frameBlocks->empty() &&
               frameBlocks->front().code.begin - source_->base < offset) {
            context_.work().frameActions.push_back(frameBlocks->front());
            frameBlocks->pop_front();
        }
        DisplayObject* o = create(depth, w.characterId, source_->character(w.characterId),
                                  DisplayObject::Origin::Timeline);
        if (o == nullptr) {
            continue;
        }
        o->props_ = w.props;
        nameIfUnnamed(*o);
        o->placedFrame_ = w.placedFrame;
        o->clipActions_ = w.clipActions;
        o->instantiate(nesting_);
    }
}

DisplayObject* Timeline::create(std::int32_t depth, std::uint16_t characterId,
                                CharacterPtr character, DisplayObject::Origin origin) {
    if (list_.count(depth) != 0 || !context_.takeObject()) {
        return nullptr;
    }
    auto object = std::make_unique<DisplayObject>(context_, this, depth, characterId,
                                                  std::move(character), origin);
    DisplayObject* raw = object.get();
    list_.emplace(depth, std::move(object));
    context_.changed(*raw);
    return raw;
}

void Timeline::retire(List::iterator it) {
    std::unique_ptr<DisplayObject> object = std::move(it->second);
    list_.erase(it);
    context_.retire(std::move(object));
}

void Timeline::leave(List::iterator it) {
    DisplayObject& o = *it->second;
    if (context_.work().displayOnly || !context_.waitsForUnload(o)) {
        retire(it);
        return;
    }
    // Mirrored below the lowest depth anything can be placed at, so the depth it leaves is
    // free at once and scripts can still reach it by name until its handlers have run.
    const std::int64_t aside = std::int64_t{-32769} - it->first;
    if (aside < std::numeric_limits<std::int32_t>::min() ||
        list_.count(static_cast<std::int32_t>(aside)) != 0) {
        retire(it);  // another one still waits there
        return;
    }
    std::unique_ptr<DisplayObject> moving = std::move(it->second);
    list_.erase(it);
    moving->depth_ = static_cast<std::int32_t>(aside);
    moving->origin_ = DisplayObject::Origin::Script;  // the tags leave it alone
    moving->unloading_ = true;
    context_.changed(*moving);
    context_.work().frameActions.push_back(
        {QueuedAction::Kind::Unload, moving->id(), 0, ByteRange{}});
    context_.unloading_.push_back(moving->id());
    list_.emplace(moving->depth_, std::move(moving));
}

std::optional<int> Timeline::labelFrame(std::string_view label, bool ignoreCase) const {
    const auto data = source_->data;
    for (std::size_t f = 0; f < frameCount(); ++f) {
        const FrameRange range = (*frames_)[f];
        if (range.end > data.size() || range.begin > range.end) {
            break;
        }
        TagWalker walker(data.first(range.end), range.begin);
        while (auto tag = walker.next()) {
            if (static_cast<TagCode>(tag->code) != TagCode::FrameLabel) {
                continue;
            }
            ByteReader in(walker.body(*tag));
            const std::string name = in.cstring();
            if (in.ok() && sameName(name, label, ignoreCase)) {
                return static_cast<int>(f);
            }
        }
    }
    return std::nullopt;
}

std::vector<ByteRange> Timeline::frameActions(int frame) const {
    std::vector<ByteRange> blocks;
    if (frame < 0 || static_cast<std::size_t>(frame) >= frameCount()) {
        return blocks;
    }
    const FrameRange range = (*frames_)[static_cast<std::size_t>(frame)];
    const auto data = source_->data;
    if (range.end > data.size() || range.begin > range.end) {
        return blocks;
    }
    TagWalker walker(data.first(range.end), range.begin);
    while (auto tag = walker.next()) {
        if (static_cast<TagCode>(tag->code) == TagCode::DoAction) {
            blocks.push_back(source_->global({tag->bodyOffset, tag->end()}));
        }
    }
    return blocks;
}

DisplayObject* Timeline::at(std::int32_t depth) const {
    const auto it = list_.find(depth);
    return it == list_.end() ? nullptr : it->second.get();
}

DisplayObject* Timeline::childByName(std::string_view name, bool ignoreCase) const {
    for (const auto& [depth, object] : list_) {
        if (sameName(object->name(), name, ignoreCase)) {
            return object.get();
        }
    }
    return nullptr;
}

std::int32_t Timeline::nextHighestDepth() const {
    if (list_.empty() || list_.rbegin()->first < 0) {
        return 0;
    }
    return list_.rbegin()->first == std::numeric_limits<std::int32_t>::max()
               ? list_.rbegin()->first
               : list_.rbegin()->first + 1;
}

DisplayObject* Timeline::placeCharacter(std::int32_t depth, std::uint16_t characterId,
                                        CharacterPtr character, const std::string& name) {
    if (const auto it = list_.find(depth); it != list_.end()) {
        retire(it);
    }
    DisplayObject* o =
        create(depth, characterId, std::move(character), DisplayObject::Origin::Script);
    if (o == nullptr) {
        return nullptr;
    }
    o->props_.name = name;
    o->instantiate(nesting_);
    return o;
}

DisplayObject* Timeline::duplicate(const DisplayObject& child, std::int32_t depth,
                                   const std::string& name) {
    if (child.parentTimeline() != this) {
        return nullptr;
    }
    // Copied first: the child itself may sit at the depth the copy takes.
    DisplayProperties props = child.properties();
    props.name = name;
    const std::vector<ClipAction> actions = child.clipActions();
    const std::uint16_t id = child.characterId();
    CharacterPtr character = child.character();
    CharacterPtr drawing = child.drawing();
    std::optional<TextFieldModel> text;
    if (child.textField() != nullptr) {
        text.emplace(*child.textField());
    }
    if (const auto it = list_.find(depth); it != list_.end()) {
        retire(it);
    }
    DisplayObject* o = create(depth, id, std::move(character), DisplayObject::Origin::Script);
    if (o == nullptr) {
        return nullptr;
    }
    o->props_ = std::move(props);
    o->clipActions_ = actions;
    o->instantiate(nesting_);
    o->drawing_ = std::move(drawing);
    if (text && o->textField_) {
        *o->textField_ = std::move(*text);
    }
    return o;
}

bool Timeline::remove(DisplayObject& child) {
    const auto it = list_.find(child.depth());
    if (it == list_.end() || it->second.get() != &child) {
        return false;
    }
    leave(it);
    return true;
}

bool Timeline::removeNow(DisplayObject& child) {
    const auto it = list_.find(child.depth());
    if (it == list_.end() || it->second.get() != &child) {
        return false;
    }
    retire(it);
    return true;
}

bool Timeline::swapDepths(DisplayObject& child, std::int32_t depth) {
    const auto it = list_.find(child.depth());
    if (it == list_.end() || it->second.get() != &child) {
        return false;
    }
    child.origin_ = DisplayObject::Origin::Script;  // the timeline lets go of it
    if (depth == child.depth()) {
        return true;
    }
    std::unique_ptr<DisplayObject> moving = std::move(it->second);
    list_.erase(it);
    const auto there = list_.find(depth);
    if (there != list_.end()) {
        std::unique_ptr<DisplayObject> other = std::move(there->second);
        list_.erase(there);
        other->depth_ = moving->depth_;
        other->origin_ = DisplayObject::Origin::Script;
        list_.emplace(other->depth_, std::move(other));
    }
    moving->depth_ = depth;
    context_.changed(*moving);
    list_.emplace(depth, std::move(moving));
    return true;
}

void Timeline::placeButtonState(const ButtonDefinition& button, std::uint8_t state) {
    // What the new state shows at the same depth with the same character stays as it is.
    for (auto it = list_.begin(); it != list_.end();) {
        const DisplayObject& o = *it->second;
        const bool kept =
            o.origin() != DisplayObject::Origin::Timeline ||
            std::any_of(button.records.begin(), button.records.end(), [&](const ButtonRecord& r) {
                return (r.states & state) && depthOfTag(r.depth) == it->first &&
                       r.characterId == o.characterId();
            });
        if (kept) {
            ++it;
        } else {
            const auto next = std::next(it);
            retire(it);
            it = next;
            context_.changed();
        }
    }
    for (const ButtonRecord& r : button.records) {
        const std::int32_t depth = depthOfTag(r.depth);
        if (!(r.states & state) || list_.count(depth) != 0) {
            continue;
        }
        DisplayObject* o = create(depth, r.characterId, source_->character(r.characterId),
                                  DisplayObject::Origin::Timeline);
        if (o == nullptr) {
            continue;
        }
        o->props_.matrix = r.matrix;
        o->props_.colorTransform = button.version == 1 && button.colorTransform
                                       ? *button.colorTransform
                                       : r.colorTransform;
        o->props_.blendMode = r.blendMode;
        o->props_.filters = r.filters;
        nameIfUnnamed(*o);
        o->placedFrame_ = 0;
        o->instantiate(nesting_);
    }
}

}  // namespace zd::engine
