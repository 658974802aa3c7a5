// The tick and the display tree scripts work on: what one frame hands to scripts and sound,
// in which order; identity and safe handles; per-timeline playing; go-to semantics; what
// scripts may do to the tree.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "RenderSupport.h"
#include "engine/player/StagePlayer.h"

using namespace zd::engine;
using namespace zd::test;
namespace w = zd::swfwriter;

namespace {

// A DoAction whose first byte tells the blocks apart (the hooks never run them).
void doAction(w::Timeline& t, std::uint8_t marker) {
    const std::uint8_t body[] = {marker, 0};
    t.rawTag(12, body);
}

void doInitAction(w::Timeline& t, std::uint16_t sprite, std::uint8_t marker) {
    const std::uint8_t body[] = {static_cast<std::uint8_t>(sprite & 0xff),
                                 static_cast<std::uint8_t>(sprite >> 8), marker, 0};
    t.rawTag(59, body);
}

void startSound(w::Timeline& t, std::uint16_t sound) {
    const std::uint8_t body[] = {static_cast<std::uint8_t>(sound & 0xff),
                                 static_cast<std::uint8_t>(sound >> 8), 0};
    t.rawTag(15, body);
}

w::PlaceObject named(std::uint16_t depth, std::uint16_t id, const std::string& name) {
    auto p = w::PlaceObject::place(depth, id);
    p.name = name;
    return p;
}

std::string nameOf(const DisplayObject* o) {
    if (o == nullptr) {
        return "-";
    }
    return o->isRoot() ? "root" : o->name();
}

std::string hex(std::uint8_t v) {
    const char digits[] = "0123456789abcdef";
    return {digits[v >> 4], digits[v & 15]};
}

// Writes down everything the tick hands over, in order; acts as a script when told to.
struct Recorder : ScriptHooks, SoundHooks {
    std::vector<std::string> log;
    std::function<void(std::uint8_t marker, DisplayObject* target)> onAction;
    std::function<void(DisplayObject& object, ClipEvent event)> onEvent;
    bool enterFrames = true;
    bool ticksWanted = false;

    void runActions(const QueuedAction& action, DisplayObject* target,
                    std::span<const std::uint8_t> code) override {
        if (action.kind == QueuedAction::Kind::Construct) {
            log.push_back("construct " + nameOf(target));
            return;
        }
        const std::string kind = action.kind == QueuedAction::Kind::Init ? "init " : "do ";
        log.push_back(kind + (code.empty() ? "?" : hex(code[0])) + "@" + nameOf(target));
        if (onAction && !code.empty()) {
            onAction(code[0], target);
        }
    }
    void clipEvent(DisplayObject& object, ClipEvent event) override {
        if (event == kClipLoad) {
            log.push_back("load " + nameOf(&object));
        } else if (event == kClipUnload) {
            log.push_back("unload " + nameOf(&object) + (object.removed() ? "" : " (still on)"));
        } else if (event == kClipEnterFrame && enterFrames) {
            log.push_back("enter " + nameOf(&object));
        }
        if (onEvent) {
            onEvent(object, event);
        }
    }
    void runTimers(double) override { log.push_back("timers"); }
    bool wantsTicks() const override { return ticksWanted; }

    void timelineFrame(DisplayObject& clip, std::span<const FrameRange>, int frame, bool jumped,
                       bool) override {
        log.push_back("frame " + nameOf(&clip) + " " + std::to_string(frame) +
                      (jumped ? " jump" : ""));
    }
    void startSound(DisplayObject& clip, std::span<const std::uint8_t> body, int) override {
        log.push_back("sound " + nameOf(&clip) + " " + std::to_string(body.empty() ? -1 : body[0]));
    }
    void timelineStopped(DisplayObject& clip) override {
        log.push_back("stopped " + nameOf(&clip));
    }

    std::vector<std::string> take() { return std::exchange(log, {}); }
};

// A movie held in memory with its display tree and a recorder plugged in.
struct Scripted {
    explicit Scripted(const w::Bytes& file) : movie(MovieData::fromBytes(file)), player(*movie) {
        player.setScriptHooks(&hooks);
        player.setSoundHooks(&hooks);
    }
    std::unique_ptr<MovieData> movie;
    StagePlayer player;
    Recorder hooks;

    DisplayObject* child(const std::string& path) {
        DisplayObject* o = &player.root();
        std::size_t at = 0;
        while (o != nullptr && at < path.size()) {
            const std::size_t slash = path.find('/', at);
            const std::string name = path.substr(at, slash - at);
            o = o->timeline() != nullptr ? o->timeline()->childByName(name, false) : nullptr;
            at = slash == std::string::npos ? path.size() : slash + 1;
        }
        return o;
    }
};

using Log = std::vector<std::string>;

// Root: an init block for sprite a, sprite a placed, a frame action; then a second frame.
// Sprite a places sprite b on its first frame; both have an action on each of two frames.
w::Bytes nestedMovie() {
    auto movie = smallMovie();
    w::Timeline b;
    doAction(b, 0x31);
    b.showFrame();
    doAction(b, 0x32);
    b.showFrame();
    const auto bId = movie.defineSprite(b);
    w::Timeline a;
    a.placeObject2(named(1, bId, "b"));
    doAction(a, 0x21);
    a.showFrame();
    doAction(a, 0x22);
    startSound(a, 7);
    a.showFrame();
    const auto aId = movie.defineSprite(a);
    doAction(movie, 0x10);  // before the placement: frame actions run at the frame's end anyway
    doInitAction(movie, aId, 0x50);
    movie.placeObject2(named(1, aId, "a"));
    movie.showFrame();
    doAction(movie, 0x11);
    movie.showFrame();
    return movie.finish();
}

}  // namespace

TEST(Tick, FirstFrameInitActionsAndConstructionThenParentsBeforeChildrenThenEventsThenSound) {
    Scripted s(nestedMovie());
    s.player.settle();
    EXPECT_EQ(s.hooks.take(),
              (Log{"init 50@root", "construct a", "construct b", "do 10@root", "load a", "load b",
                   "do 31@b", "do 21@a", "frame root 0 jump", "frame a 0 jump", "frame b 0 jump"}));
}

TEST(Tick, OneTickRunsEveryTimelineNewestFirstThenEnterFrameActionsTimersAndSound) {
    Scripted s(nestedMovie());
    s.player.settle();
    s.hooks.take();
    s.player.tick();
    // Clips made later move first and the root last, for frames and enterFrame alike;
    // enterFrame comes once the tags have run, before the actions they queued.
    EXPECT_EQ(s.hooks.take(),
              (Log{"enter b", "enter a", "enter root", "do 32@b", "do 22@a", "do 11@root", "timers",
                   "frame b 1", "frame a 1", "frame root 1", "sound a 7", "stopped root"}));
    EXPECT_FALSE(s.player.rootTimeline().playing());  // the root holds on its last frame...
    s.player.tick();
    // ...while its clips loop on, with their first frame's actions again.
    EXPECT_EQ(s.hooks.take(), (Log{"enter b", "enter a", "enter root", "do 31@b", "do 21@a",
                                   "timers", "frame b 0 jump", "frame a 0 jump"}));
    EXPECT_EQ(s.player.frame(), 1);
}

TEST(Tick, WorkQueuedBeforeATickIsHandedOverFirst) {
    Scripted s(nestedMovie());
    s.hooks.enterFrames = false;
    s.player.tick();  // no settle() after loading: the first frame's work comes first
    const Log log = s.hooks.take();
    ASSERT_GE(log.size(), 6u);
    EXPECT_EQ(Log(log.begin(), log.begin() + 6), (Log{"init 50@root", "construct a", "construct b",
                                                      "do 10@root", "load a", "load b"}));
    EXPECT_NE(std::find(log.begin(), log.end(), "do 11@root"), log.end());
}

TEST(Tick, StopInASpriteHoldsThatSpriteOnly) {
    Scripted s(nestedMovie());
    // The script of a's first frame stops a.
    s.hooks.onAction = [](std::uint8_t marker, DisplayObject* target) {
        if (marker == 0x21) {
            target->timeline()->setPlaying(false);
        }
    };
    s.player.settle();
    EXPECT_EQ(s.hooks.log.back(), "stopped a");
    s.hooks.take();
    s.hooks.enterFrames = false;
    for (int i = 0; i < 3; ++i) {
        s.player.tick();
    }
    DisplayObject* a = s.child("a");
    DisplayObject* b = s.child("a/b");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(a->timeline()->currentFrame(), 0);  // held
    EXPECT_FALSE(a->timeline()->playing());
    EXPECT_EQ(b->timeline()->currentFrame(), 1);  // 0, 1, 0, 1: plays on inside it
    EXPECT_EQ(s.player.frame(), 1);
    EXPECT_TRUE(s.player.needsTicks());  // b can still move

    // Holding the root holds the root only.
    Scripted t(nestedMovie());
    t.player.settle();
    t.player.rootTimeline().setPlaying(false);
    t.player.tick();
    EXPECT_EQ(t.player.frame(), 0);
    EXPECT_EQ(t.child("a")->timeline()->currentFrame(), 1);
    EXPECT_EQ(t.child("a/b")->timeline()->currentFrame(), 1);
}

TEST(Tick, NothingNeedsTicksOnceEveryTimelineIsHeldOrStill) {
    Scripted s(nestedMovie());
    s.player.settle();
    EXPECT_TRUE(s.player.needsTicks());
    s.player.tick();  // the root reaches its end
    EXPECT_TRUE(s.player.needsTicks());
    s.child("a")->timeline()->setPlaying(false);
    EXPECT_TRUE(s.player.needsTicks());
    s.child("a/b")->timeline()->setPlaying(false);
    EXPECT_FALSE(s.player.needsTicks());
    const std::uint64_t changes = s.player.changes();
    s.player.tick();
    EXPECT_EQ(s.player.changes(), changes);  // a tick that moves nothing changes nothing
    // A script that wants ticks (an interval, an enterFrame handler) keeps them coming.
    s.hooks.ticksWanted = true;
    EXPECT_TRUE(s.player.needsTicks());
}

TEST(Tick, DisplayObjectsHaveIdentityParentsAndSignedDepths) {
    Scripted s(nestedMovie());
    s.player.settle();
    DisplayObject& root = s.player.root();
    DisplayObject* a = s.child("a");
    DisplayObject* b = s.child("a/b");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(root.id(), kNoInstance);
    EXPECT_NE(a->id(), root.id());
    EXPECT_NE(b->id(), a->id());
    EXPECT_EQ(s.player.context().find(a->id()), a);
    EXPECT_EQ(a->parent(), &root);
    EXPECT_EQ(b->parent(), a);
    EXPECT_EQ(root.parent(), nullptr);
    EXPECT_TRUE(a->isClip());
    EXPECT_EQ(a->depth(), -16383);  // tag depth 1
    EXPECT_EQ(root.timeline()->at(depthOfTag(1)), a);
    EXPECT_EQ(root.timeline()->childByName("A", true), a);
    EXPECT_EQ(root.timeline()->childByName("A", false), nullptr);
}

TEST(Tick, RemovedObjectsLoseTheirIdAtOnceButStayReadableUntilTheTickEnds) {
    Scripted s(nestedMovie());
    s.player.settle();
    DisplayObject* a = s.child("a");
    const InstanceId aId = a->id();
    const InstanceId bId = s.child("a/b")->id();
    std::vector<std::string> seenAtUnload;
    s.hooks.onEvent = [&](DisplayObject& o, ClipEvent e) {
        if (e == kClipUnload) {
            // Still whole: its name, its timeline, its children.
            seenAtUnload.push_back(o.name() + ":" + std::to_string(o.timeline()->currentFrame()));
        }
    };
    // The script of b's second frame (the newest clip's, so the first to run) removes a.
    s.hooks.onAction = [&](std::uint8_t marker, DisplayObject*) {
        if (marker == 0x32) {
            Timeline& root = s.player.rootTimeline();
            DisplayObject* clip = root.childByName("a", false);
            ASSERT_TRUE(root.remove(*clip));
            EXPECT_TRUE(clip->removed());
            EXPECT_EQ(s.player.context().find(aId), nullptr);
            EXPECT_EQ(s.player.context().find(bId), nullptr);  // its children went with it
            EXPECT_EQ(clip->name(), "a");                      // the object is still there
        }
    };
    s.hooks.take();
    s.player.tick();
    const Log log = s.hooks.take();
    // a's frame had run, but its queued block is dropped; the root's still runs.
    EXPECT_EQ(std::count(log.begin(), log.end(), "do 22@a"), 0);
    EXPECT_EQ(std::count(log.begin(), log.end(), "do 11@root"), 1);
    EXPECT_NE(std::find(log.begin(), log.end(), "unload a"), log.end());
    EXPECT_NE(std::find(log.begin(), log.end(), "unload b"), log.end());
    EXPECT_NE(std::find(log.begin(), log.end(), "stopped a"), log.end());
    EXPECT_EQ(seenAtUnload, (std::vector<std::string>{"b:1", "a:1"}));  // inner clips first
    EXPECT_EQ(s.player.rootTimeline().objects().size(), 0u);
    EXPECT_TRUE(s.player.context().retired().empty());  // let go when the tick ended
}

TEST(Tick, ScriptsMakeRemoveAndRedepthObjects) {
    auto movie = smallMovie();
    const auto square = movie.defineShape(solidRect(0, 0, 100, 100, {0, 0, 0, 255}));
    w::Timeline inner;
    inner.showFrame();
    inner.showFrame();
    const auto clip = movie.defineSprite(inner);
    movie.placeObject2(named(1, clip, "c"));
    movie.placeObject2(w::PlaceObject::place(2, square, w::Matrix::translation(20, 0)));
    movie.showFrame();
    movie.placeObject2(w::PlaceObject::modify(1, w::Matrix::translation(400, 0)));
    movie.showFrame();
    movie.removeObject2(1);
    movie.showFrame();
    Scripted s(movie.finish());
    s.player.settle();
    Timeline& root = s.player.rootTimeline();
    EXPECT_EQ(root.nextHighestDepth(), 0);  // timeline depths are all below zero

    // attachMovie: a character at a script depth, with its first frame.
    DisplayObject* made = root.placeCharacter(5, clip, s.player.context().character(clip), "m");
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->depth(), 5);
    EXPECT_EQ(made->origin(), DisplayObject::Origin::Script);
    EXPECT_EQ(made->timeline()->currentFrame(), 0);
    EXPECT_EQ(root.nextHighestDepth(), 6);
    // Placed again at an occupied depth: the old one goes.
    const InstanceId old = made->id();
    DisplayObject* again = root.placeCharacter(5, clip, s.player.context().character(clip), "m2");
    EXPECT_EQ(s.player.context().find(old), nullptr);
    EXPECT_EQ(root.at(5), again);
    // createEmptyMovieClip.
    DisplayObject* empty =
        root.placeCharacter(7, 0, s.player.context().emptyClipCharacter(), "holder");
    ASSERT_NE(empty, nullptr);
    EXPECT_TRUE(empty->isClip());
    EXPECT_EQ(empty->timeline()->frameCount(), 0u);

    // duplicateMovieClip copies the placement, not the name.
    DisplayObject* c = root.childByName("c", false);
    DisplayObject* copy = root.duplicate(*c, 9, "c2");
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->characterId(), clip);
    EXPECT_EQ(copy->name(), "c2");
    EXPECT_EQ(copy->matrix(), c->matrix());

    // swapDepths takes a clip out of its timeline's hands: later tags neither move nor
    // remove it.
    ASSERT_TRUE(root.swapDepths(*c, 20));
    EXPECT_EQ(c->depth(), 20);
    EXPECT_EQ(root.at(depthOfTag(1)), nullptr);
    s.player.tick();
    s.player.tick();
    EXPECT_EQ(s.player.frame(), 2);
    EXPECT_EQ(root.at(20), c);
    EXPECT_EQ(c->matrix().tx, 0);
    // Two objects trade depths.
    DisplayObject* shape = root.at(depthOfTag(2));
    ASSERT_NE(shape, nullptr);
    ASSERT_TRUE(root.swapDepths(*shape, 20));
    EXPECT_EQ(root.at(20), shape);
    EXPECT_EQ(root.at(depthOfTag(2)), c);

    // removeMovieClip.
    EXPECT_TRUE(root.remove(*copy));
    EXPECT_FALSE(root.remove(*copy));  // not on the list any more
    EXPECT_EQ(root.at(9), nullptr);
    s.player.settle();
}

// Root: four frames; a sprite y lives on frames 1 only, a sprite z from frame 2 on.
TEST(Tick, GoToRunsOnlyTheTargetFramesActionsAndKeepsWhatStaysPlaced) {
    auto movie = smallMovie();
    const auto square = movie.defineShape(solidRect(0, 0, 100, 100, {0, 0, 0, 255}));
    w::Timeline one;
    one.showFrame();
    const auto y = movie.defineSprite(one);
    const auto z = movie.defineSprite(one);
    movie.placeObject2(w::PlaceObject::place(1, square));
    doAction(movie, 0x10);
    movie.showFrame();
    movie.placeObject2(named(2, y, "y"));
    doAction(movie, 0x11);
    movie.showFrame();
    movie.removeObject2(2);
    movie.placeObject2(named(3, z, "z"));
    movie.placeObject2(w::PlaceObject::modify(1, w::Matrix::translation(300, 0)));
    doAction(movie, 0x12);
    doInitAction(movie, z, 0x52);
    startSound(movie, 3);
    movie.showFrame();
    doAction(movie, 0x13);
    movie.showFrame();
    Scripted s(movie.finish());
    s.player.settle();
    s.hooks.take();
    Timeline& root = s.player.rootTimeline();
    const InstanceId square0 = root.at(depthOfTag(1))->id();

    root.gotoFrame(3);
    s.player.settle();
    // Init actions of a frame passed over still run; nothing else of it does, and y, placed
    // and removed on the way, was never made.
    EXPECT_EQ(s.hooks.take(), (Log{"init 52@root", "construct z", "load z", "do 13@root",
                                   "frame root 3 jump", "frame z 0 jump"}));
    EXPECT_EQ(root.at(depthOfTag(1))->id(), square0);
    EXPECT_EQ(root.at(depthOfTag(1))->matrix().tx, 300);
    EXPECT_EQ(root.at(depthOfTag(2)), nullptr);

    // Back to frame 1: z goes, y comes, the square is kept with frame 1's matrix.
    root.gotoFrame(1);
    s.player.settle();
    EXPECT_EQ(s.hooks.take(), (Log{"construct y", "load y", "do 11@root", "unload z",
                                   "frame root 1 jump", "frame y 0 jump", "stopped z"}));
    EXPECT_EQ(root.at(depthOfTag(1))->id(), square0);
    EXPECT_EQ(root.at(depthOfTag(1))->matrix().tx, 0);
    // The same frame again does nothing.
    root.gotoFrame(1);
    s.player.settle();
    EXPECT_TRUE(s.hooks.take().empty());
    // Forward again: the init block is not run twice.
    root.gotoFrame(2);
    s.player.settle();
    EXPECT_EQ(s.hooks.take(),
              (Log{"construct z", "load z", "do 12@root", "unload y", "frame root 2 jump",
                   "frame z 0 jump", "sound root 3", "stopped y"}));
    EXPECT_EQ(root.labelFrame("nowhere", true), std::nullopt);
}

TEST(Tick, GoToRunsTheFramesActionsAndTheNewClipsFirstFramesInTagOrder) {
    auto movie = smallMovie();
    w::Timeline c;
    doAction(c, 0x41);
    c.showFrame();
    const auto cId = movie.defineSprite(c);
    movie.showFrame();
    doAction(movie, 0x20);
    movie.placeObject2(named(1, cId, "c"));
    doAction(movie, 0x21);
    movie.showFrame();
    Scripted s(movie.finish());
    s.player.settle();
    s.hooks.take();
    s.player.rootTimeline().gotoFrame(1);
    s.player.settle();
    EXPECT_EQ(s.hooks.take(), (Log{"construct c", "do 20@root", "load c", "do 41@c", "do 21@root",
                                   "frame root 1 jump", "frame c 0 jump"}));
}

TEST(Tick, FrameLabelsAndTheActionsOfAFrame) {
    auto movie = smallMovie();
    movie.showFrame();
    movie.frameLabel("Intro");
    doAction(movie, 0x41);
    doAction(movie, 0x42);
    movie.showFrame();
    Scripted s(movie.finish());
    Timeline& root = s.player.rootTimeline();
    EXPECT_EQ(root.labelFrame("intro", true), std::optional<int>(1));
    EXPECT_EQ(root.labelFrame("intro", false), std::nullopt);
    const auto blocks = root.frameActions(1);
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(s.player.context().bytes(blocks[1]).front(), 0x42);
    EXPECT_TRUE(root.frameActions(7).empty());
}

// Frames that go to each other from their scripts cannot hold a tick for ever.
TEST(Tick, ScriptsGoingBackAndForthAreCutOff) {
    auto movie = smallMovie();
    doAction(movie, 0x10);
    movie.showFrame();
    doAction(movie, 0x11);
    movie.showFrame();
    Scripted s(movie.finish());
    s.hooks.onAction = [&](std::uint8_t marker, DisplayObject* target) {
        target->timeline()->gotoFrame(marker == 0x10 ? 1 : 0);
    };
    s.player.settle();
    s.player.tick();
    EXPECT_LE(s.hooks.log.size(), 300000u);
    EXPECT_GT(s.hooks.log.size(), 1000u);
}
