#include "engine/player/StagePlayer.h"

#include <algorithm>

#include "engine/player/FrameClock.h"

namespace zd::engine {

namespace {

// Frames one timeline moves on in a tick at most when a stream sound runs ahead.
constexpr int kMaxCatchUpFrames = 4;
// Action blocks one tick hands over at most: frames that go to each other for ever cannot
// hold the player in one tick.
constexpr std::size_t kMaxActionBlocksPerTick = 100000;
// Rounds of actions and the events they cause, per phase.
constexpr int kMaxSettleRounds = 64;

template <typename F>
void forEachClip(DisplayObject& object, F&& f) {
    if (object.isClip()) {
        f(object);
    }
    if (Timeline* t = object.timeline()) {
        for (const auto& [depth, child] : t->objects()) {
            forEachClip(*child, f);
        }
    }
}

template <typename F>
void forEachClipInnerFirst(DisplayObject& object, F&& f) {
    if (Timeline* t = object.timeline()) {
        for (const auto& [depth, child] : t->objects()) {
            forEachClipInnerFirst(*child, f);
        }
    }
    if (object.isClip()) {
        f(object);
    }
}

// Set aside (or inside a clip set aside) for its unload handlers: it has left the frames.
bool leaving(const DisplayObject& object) {
    for (const DisplayObject* o = &object; o != nullptr; o = o->parent()) {
        if (o->unloading()) {
            return true;
        }
    }
    return false;
}

}  // namespace

StagePlayer::StagePlayer(const MovieData& movie, DisplayLimits limits)
    : movie_(movie),
      context_(dictionary_, movie.data(), limits,
               movie.header() != nullptr ? movie.header()->version : 10) {
    root_ = std::make_unique<DisplayObject>(context_, nullptr, 0, 0, nullptr,
                                            DisplayObject::Origin::Root);
    root_->timeline_ = std::make_unique<Timeline>(context_, *root_, &movie_.timeline().frames(), 0);
    refresh();
}

StagePlayer::~StagePlayer() {
    levels_.clear();
    root_.reset();  // before the context its objects count in
}

void StagePlayer::setScriptHooks(ScriptHooks* hooks) {
    scripts_ = hooks;
    if (hooks != nullptr) {
        context_.setUnloadTest([hooks](DisplayObject& clip) {
            for (const ClipAction& a : clip.clipActions()) {
                if ((a.events & kClipUnload) != 0) {
                    return true;
                }
            }
            return hooks->handlesUnload(clip);
        });
    } else {
        context_.setUnloadTest(nullptr);
    }
}

DisplayObject* StagePlayer::level(int n) {
    if (n == 0) {
        return root_.get();
    }
    const auto it = levels_.find(n);
    return it != levels_.end() ? it->second.get() : nullptr;
}

DisplayObject* StagePlayer::makeLevel(int n) {
    if (n < 0 || n > kMaxLevel) {
        return nullptr;
    }
    if (DisplayObject* existing = level(n)) {
        return existing;
    }
    auto top = std::make_unique<DisplayObject>(context_, nullptr, n, 0, nullptr,
                                               DisplayObject::Origin::Root);
    top->timeline_ = std::make_unique<Timeline>(context_, *top, nullptr, 0);
    DisplayObject* raw = top.get();
    levels_.emplace(n, std::move(top));
    return raw;
}

void StagePlayer::removeLevel(int n) {
    const auto it = levels_.find(n);
    if (it == levels_.end()) {
        return;
    }
    std::unique_ptr<DisplayObject> gone = std::move(it->second);
    levels_.erase(it);
    context_.retire(std::move(gone));
}

int StagePlayer::levelOf(const DisplayObject& object) const {
    if (&object == root_.get()) {
        return 0;
    }
    for (const auto& [n, top] : levels_) {
        if (top.get() == &object) {
            return n;
        }
    }
    return -1;
}

void StagePlayer::setRootFrameLimit(std::size_t frames) {
    rootFrameLimit_ = frames;
    rootTimeline().setFrameLimit(rootFrameLimit_, !movie_.complete());
}

bool StagePlayer::refresh() {
    context_.setData(movie_.data());
    if (movie_.header() != nullptr) {
        dictionary_.update(movie_.data(), movie_.header()->size, movie_.timeline().scannedOffset());
    }
    Timeline& t = rootTimeline();
    t.setFrameLimit(rootFrameLimit_, !movie_.complete());
    if (t.currentFrame() < 0) {
        t.start();
        return t.currentFrame() >= 0;
    }
    return false;
}

std::size_t StagePlayer::framesAvailable() const {
    return root_->timeline()->showableFrames();
}

void StagePlayer::tick(double movieTimeMs) {
    const bool started = refresh();
    if (!context_.work().empty()) {
        runWork(false);  // what was queued before this tick (the first frame, a seek)
    }
    deliverInput();
    context_.nextTick();
    actionsThisTick_ = 0;
    const double interval =
        1000.0 / playableFrameRate(movie_.header() != nullptr ? movie_.header()->frameRate() : 0);
    movieTimeMs_ = movieTimeMs >= 0 ? movieTimeMs : movieTimeMs_ + interval;
    if (!started) {
        dropUnloaded();
        advanceAll();
    }
    runWork(true);
}

void StagePlayer::dropUnloaded() {
    for (const InstanceId id : context_.takeUnloading()) {
        DisplayObject* o = context_.find(id);
        if (o != nullptr && o->unloading() && o->parentTimeline() != nullptr) {
            o->parentTimeline()->removeNow(*o);
        }
    }
}

void StagePlayer::deliverInput() {
    if (input_.empty()) {
        return;
    }
    if (scripts_ == nullptr) {
        input_.clear();
        return;
    }
    while (!input_.empty()) {
        const InputEvent e = input_.take();
        scripts_->inputEvent(e);
        runWork(false);
    }
}

void StagePlayer::settle() {
    runWork(false);
}

void StagePlayer::step(DisplayObject& clip, bool force) {
    Timeline* t = clip.timeline();
    if (t == nullptr) {
        return;
    }
    const bool root = clip.isRoot();
    if (clip.bornTick() != context_.tickNumber() && (t->playing() || (force && root))) {
        int steps = 1;
        if (sound_ != nullptr && !seeking_ && t->frameCount() > 0) {
            steps =
                std::clamp(sound_->framesToAdvance(clip, t->currentFrame()), 0, kMaxCatchUpFrames);
        }
        for (int i = 0; i < steps; ++i) {
            if (!t->step(root ? rootLoops_ : true)) {
                break;
            }
        }
        if (root && !rootLoops_ && !seeking_ && t->playing() && t->atEnd()) {
            t->setPlaying(false);  // the root holds on its last frame
        }
    }
}

void StagePlayer::advance(DisplayObject& clip, bool force) {
    step(clip, force);
    if (Timeline* t = clip.timeline()) {
        for (const auto& [depth, child] : t->objects()) {
            advance(*child, false);
        }
    }
}

std::vector<InstanceId> StagePlayer::clipsNewestFirst() {
    std::vector<InstanceId> clips;
    forEachClip(*root_, [&clips](DisplayObject& clip) { clips.push_back(clip.id()); });
    for (const auto& [n, top] : levels_) {
        forEachClip(*top, [&clips](DisplayObject& clip) { clips.push_back(clip.id()); });
    }
    // Ids grow as objects are made, and the root is made first.
    std::sort(clips.begin(), clips.end(), std::greater<>());
    return clips;
}

void StagePlayer::advanceAll() {
    // The clips made last move first and the root last: what their frames queue runs in that
    // order (clips a frame places run their first frame right after it).
    for (const InstanceId id : clipsNewestFirst()) {
        DisplayObject* clip = id == root_->id() ? root_.get() : context_.find(id);
        if (clip != nullptr) {
            step(*clip, false);
        }
    }
}

int StagePlayer::gotoFrame(int frame) {
    refresh();
    Timeline& t = rootTimeline();
    if (frame < 0 || framesAvailable() == 0) {
        return this->frame();
    }
    const int target = std::min(frame, static_cast<int>(framesAvailable()) - 1);
    if (target == t.currentFrame()) {
        return target;
    }
    if (!context_.work().empty()) {
        runWork(false);
    }
    seeking_ = true;
    FrameWork& work = context_.work();
    // The frames passed over run their display-list tags only.
    if (target < t.currentFrame()) {
        work.displayOnly = target != 0;
        context_.nextTick();
        t.restartFromScratch();
    }
    while (t.currentFrame() < target) {
        work.displayOnly = t.currentFrame() + 1 < target;
        context_.nextTick();
        const int before = t.currentFrame();
        advance(*root_, true);
        if (t.currentFrame() == before) {
            break;
        }
    }
    work.displayOnly = false;
    seeking_ = false;
    work.framesShown.push_back({root_->id(), t.currentFrame(), true});
    runWork(false);
    return t.currentFrame();
}

void StagePlayer::runWork(bool ticking) {
    if (scripts_ != nullptr) {
        scripts_->tickBegins();
    }
    auto drain = [this] {
        for (int round = 0; round < kMaxSettleRounds; ++round) {
            runActions();
            if (!deliverLifecycle()) {
                break;
            }
        }
    };
    if (ticking) {
        // The clips already there hear enterFrame once the frame's tags have run, before its
        // actions.
        deliverEnterFrame();
    }
    drain();
    if (ticking) {
        if (scripts_ != nullptr) {
            scripts_->runTimers(movieTimeMs_);
        }
        drain();
    }
    deliverWarnings();
    deliverSound();
    context_.collectRemoved();
    if (scripts_ != nullptr) {
        scripts_->tickEnds();
    }
}

void StagePlayer::deliverWarnings() {
    FrameWork& w = context_.work();
    if (scripts_ != nullptr) {
        for (std::size_t i = 0; i < w.warnings.size(); ++i) {
            scripts_->warning(w.warnings[i]);
        }
    }
    w.warnings.clear();
}

void StagePlayer::runActions() {
    FrameWork& w = context_.work();
    if (scripts_ == nullptr) {
        w.initActions.clear();
        w.constructs.clear();
        w.frameActions.clear();
        w.warnings.clear();
        constructsInitialized_ = 0;
        return;
    }
    deliverWarnings();
    while (!w.initActions.empty() || !w.constructs.empty() || !w.frameActions.empty()) {
        if (w.initActions.empty() && !w.constructs.empty()) {
            // Every clip waiting for its construction hears initialize before any of them is
            // constructed (a clip and the clips its first frame placed); once for each.
            // Those at the front heard it already; handlers may queue more behind.
            for (; constructsInitialized_ < w.constructs.size(); ++constructsInitialized_) {
                if (DisplayObject* made =
                        context_.find(w.constructs[constructsInitialized_].target)) {
                    scripts_->clipEvent(*made, kClipInitialize);
                }
            }
        }
        auto& queue = !w.initActions.empty()  ? w.initActions
                      : !w.constructs.empty() ? w.constructs
                                              : w.frameActions;
        const QueuedAction action = queue.front();
        queue.pop_front();
        if (&queue == &w.constructs && constructsInitialized_ > 0) {
            --constructsInitialized_;
        }
        if (++actionsThisTick_ > kMaxActionBlocksPerTick) {
            w.initActions.clear();
            w.constructs.clear();
            w.frameActions.clear();
            constructsInitialized_ = 0;
            break;
        }
        DisplayObject* target = context_.find(action.target);
        if (action.kind != QueuedAction::Kind::Init && target == nullptr) {
            continue;  // its clip has gone (and hears its unload as it goes)
        }
        if (action.kind == QueuedAction::Kind::Unload) {
            deliverUnload(*target);
        } else if (action.kind == QueuedAction::Kind::Load) {
            scripts_->clipEvent(*target, kClipLoad);
        } else {
            scripts_->runActions(action, target, context_.bytes(action.code));
        }
        deliverWarnings();
    }
}

bool StagePlayer::deliverLifecycle() {
    FrameWork& w = context_.work();
    if (scripts_ == nullptr) {
        w.placed.clear();
        context_.retiredHandled = context_.retired().size();
        return false;
    }
    bool any = false;
    while (!w.placed.empty()) {
        const std::vector<InstanceId> placed = std::move(w.placed);
        w.placed.clear();
        for (const InstanceId id : placed) {
            if (DisplayObject* o = context_.find(id)) {
                scripts_->clipEvent(*o, kClipLoad);
                any = true;
            }
        }
    }
    while (context_.retiredHandled < context_.retired().size()) {
        DisplayObject* gone = context_.retired()[context_.retiredHandled++].get();
        deliverUnload(*gone);
        any = true;
    }
    return any;
}

void StagePlayer::deliverUnload(DisplayObject& object) {
    // The clips inside first, then the clip; listed first, as handlers may change the tree.
    // One still on a list is found again (a handler may remove it); one gone stays readable
    // until the tick ends.
    std::vector<std::pair<InstanceId, DisplayObject*>> clips;
    forEachClipInnerFirst(object,
                          [&clips](DisplayObject& clip) { clips.emplace_back(clip.id(), &clip); });
    const bool listed = !object.removed();
    for (const auto& [id, gone] : clips) {
        DisplayObject* clip = listed ? context_.find(id) : gone;
        if (clip == nullptr || (listed && clip->unloaded())) {
            continue;
        }
        scripts_->clipEvent(*clip, kClipUnload);
        clip->unloaded_ = true;
    }
}

void StagePlayer::deliverEnterFrame() {
    if (scripts_ == nullptr) {
        return;
    }
    // Every clip on the stage now, newest first as frames run; each is looked up again, as
    // earlier handlers may remove it.
    for (const InstanceId id : clipsNewestFirst()) {
        DisplayObject* clip = id == root_->id() ? root_.get() : context_.find(id);
        if (clip != nullptr && !leaving(*clip) && clip->bornTick() != context_.tickNumber()) {
            scripts_->clipEvent(*clip, kClipEnterFrame);
        }
    }
}

void StagePlayer::deliverSound() {
    FrameWork& w = context_.work();
    if (sound_ != nullptr) {
        // One report per timeline: the frame it ended on, a jump if any step was one.
        std::vector<FrameWork::Shown> shown;
        for (const FrameWork::Shown& s : w.framesShown) {
            auto same = std::find_if(shown.begin(), shown.end(),
                                     [&s](const FrameWork::Shown& x) { return x.clip == s.clip; });
            if (same == shown.end()) {
                shown.push_back(s);
            } else {
                same->frame = s.frame;
                same->jumped = same->jumped || s.jumped;
            }
        }
        for (const FrameWork::Shown& s : shown) {
            DisplayObject* clip = context_.find(s.clip);
            if (clip != nullptr && clip->timeline() != nullptr) {
                sound_->timelineFrame(*clip, clip->timeline()->frames(), s.frame, s.jumped,
                                      !clip->isRoot() || movie_.complete());
            }
        }
        for (const FrameWork::Sound& s : w.sounds) {
            if (DisplayObject* clip = context_.find(s.clip)) {
                sound_->startSound(*clip, context_.bytes(s.body), s.version);
            }
        }
        for (const InstanceId id : w.stopped) {
            // One held and played again before its sound heard of it plays on undisturbed.
            DisplayObject* clip = context_.find(id);
            if (clip != nullptr && !(clip->timeline() != nullptr && clip->timeline()->playing())) {
                sound_->timelineStopped(*clip);
            }
        }
        for (const auto& gone : context_.retired()) {
            forEachClip(*gone, [this](DisplayObject& clip) { sound_->timelineStopped(clip); });
        }
    }
    w.framesShown.clear();
    w.sounds.clear();
    w.stopped.clear();
}

bool StagePlayer::canMove(const DisplayObject& clip) const {
    const Timeline* t = clip.timeline();
    if (t == nullptr) {
        return false;
    }
    // A playing root always needs the tick that stops it at its end.
    if (t->playing() && (clip.isRoot() || t->frameCount() > 1)) {
        return true;
    }
    for (const auto& [depth, child] : t->objects()) {
        if (canMove(*child)) {
            return true;
        }
    }
    return false;
}

bool StagePlayer::needsTicks() const {
    if ((scripts_ != nullptr && scripts_->wantsTicks()) ||
        (sound_ != nullptr && sound_->wantsTicks())) {
        return true;
    }
    for (const auto& [n, top] : levels_) {
        if (canMove(*top)) {
            return true;
        }
    }
    return canMove(*root_);
}

}  // namespace zd::engine
