#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "engine/player/Dictionary.h"
#include "engine/player/FrameHooks.h"
#include "engine/player/TextFieldModel.h"
#include "engine/swf/DisplayTags.h"
#include "engine/swf/Records.h"

namespace zd::engine {

class DisplayContext;
class FlvVideo;
class MovieData;
class Timeline;

// A movie whose frames and characters timelines play: the one the player opened, or one a
// script loaded into a clip. Byte ranges that leave a timeline (queued actions, clip
// actions, sounds) are offset by its base, so they name the movie they came from.
struct MovieSource {
    std::shared_ptr<const MovieData> movie;  // null for the player's own
    std::unique_ptr<Dictionary> ownDictionary;
    Dictionary* dictionary = nullptr;
    std::span<const std::uint8_t> data;
    int version = 10;
    std::size_t base = 0;
    std::string url;

    ByteRange global(ByteRange local) const { return {local.begin + base, local.end + base}; }
    CharacterPtr character(std::uint16_t id) const { return dictionary->get(id, data); }
};
// Room each source has for its ranges: larger than any movie the loader accepts.
inline constexpr std::size_t kSourceStride = std::size_t{1} << 36;

// Depths as scripts see them. The depths of timeline tags sit below zero (tag depth d is
// d - 16384); objects made by scripts go at zero and above, where removeMovieClip reaches.
inline constexpr std::int32_t kTimelineDepthOffset = -16384;
inline constexpr std::int32_t kMaxScriptDepth = 1048575;
constexpr std::int32_t depthOfTag(std::uint16_t tagDepth) {
    return std::int32_t{tagDepth} + kTimelineDepthOffset;
}

// What a hostile movie may build at most; beyond, placements are left out of the picture.
struct DisplayLimits {
    int maxNesting = 32;              // sprites and buttons inside each other
    std::size_t maxObjects = 100000;  // display objects alive in the whole tree
    std::size_t maxTagsPerFrame = 1000000;
};

// A scroll rectangle in twips, kept in doubles: scripts set it in fractions of pixels.
struct ScrollRect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    bool operator==(const ScrollRect&) const = default;
};

// What a PlaceObject tag (or a script) sets on an object, besides its character.
struct DisplayProperties {
    Matrix matrix;
    ColorTransform colorTransform;
    std::uint16_t ratio = 0;
    std::string name;
    std::optional<std::int32_t> clipDepth;  // a mask for the depths above it up to this one
    std::uint8_t blendMode = 0;
    bool cacheAsBitmap = false;
    SharedFilters filters;  // null for none
    bool visible = true;
    std::optional<Rgba> opaqueBackground;  // filled under the object's bounds
    // What of the object shows, in its own twips: drawn shifted to the rectangle's corner and
    // cut to its size.
    std::optional<ScrollRect> scrollRect;

    // Filters compare by what they hold, not by where.
    bool operator==(const DisplayProperties& o) const;
};

// A clip action as placed: the events it answers and its action records in the movie data.
struct ClipAction {
    std::uint32_t events = 0;
    std::uint8_t keyCode = 0;
    ByteRange code;
};

// One object on a display list: a shape, text, bitmap, button, or a clip with its own
// timeline (sprites, the root). Owned by its parent's timeline; found by id through the
// context while it is on a list.
class DisplayObject {
  public:
    enum class Origin : std::uint8_t {
        Timeline,  // placed by a frame's tags, which may move or remove it
        Script,    // made or re-depthed by a script: the tags leave it alone
        Root,
    };

    DisplayObject(DisplayContext& context, Timeline* parent, std::int32_t depth,
                  std::uint16_t characterId, CharacterPtr character, Origin origin);
    ~DisplayObject();
    DisplayObject(const DisplayObject&) = delete;
    DisplayObject& operator=(const DisplayObject&) = delete;

    InstanceId id() const { return id_; }
    // The clip whose display list holds this one; nullptr for the root (and once removed).
    DisplayObject* parent() const;
    Timeline* parentTimeline() const { return parent_; }
    std::int32_t depth() const { return depth_; }
    Origin origin() const { return origin_; }
    bool isRoot() const { return origin_ == Origin::Root; }
    // Off every display list: its id finds nothing any more.
    bool removed() const { return removed_; }
    // For an object taken off its parent's list: that parent (its path still names it).
    InstanceId formerParent() const { return formerParent_; }
    // Removed while its unload handlers were still to run: it waits aside on its parent's
    // list, below every depth, until the next frame.
    bool unloading() const { return unloading_; }
    // Its unload handlers have run.
    bool unloaded() const { return unloaded_; }

    std::uint16_t characterId() const { return characterId_; }
    // Null for an id not defined (the depth is taken, nothing shows) and for the root.
    const CharacterPtr& character() const { return character_; }
    // The clip's own display list and frames (sprites, buttons, the root); null otherwise.
    Timeline* timeline() const { return timeline_.get(); }
    // A movie clip as scripts see it: a sprite or the root.
    bool isClip() const;

    const DisplayProperties& properties() const { return props_; }
    const Matrix& matrix() const { return props_.matrix; }
    const ColorTransform& colorTransform() const { return props_.colorTransform; }
    std::uint16_t ratio() const { return props_.ratio; }
    const std::string& name() const { return props_.name; }
    std::optional<std::int32_t> clipDepth() const { return props_.clipDepth; }
    bool isMask() const { return props_.clipDepth.has_value(); }
    std::uint8_t blendMode() const { return props_.blendMode; }
    bool cacheAsBitmap() const { return props_.cacheAsBitmap; }
    const SharedFilters& filters() const { return props_.filters; }
    bool visible() const { return props_.visible; }
    const std::optional<Rgba>& opaqueBackground() const { return props_.opaqueBackground; }
    const std::optional<ScrollRect>& scrollRect() const { return props_.scrollRect; }

    // Changes count as changes of the picture (a redraw follows).
    void setProperties(const DisplayProperties& props);
    // A script placing the object: from then on the timeline leaves its matrix alone.
    void setMatrix(const Matrix& m);
    void setColorTransform(const ColorTransform& c);
    void setName(std::string name);
    void setVisible(bool visible);

    // A text field's text and state; null for other objects.
    TextFieldModel* textField() const { return textField_.get(); }
    // What the drawing methods drew, under the children: a shape character, or null.
    const CharacterPtr& drawing() const { return drawing_; }
    void setDrawing(CharacterPtr shape);
    // The object a script made this one's mask, or none.
    InstanceId scriptMask() const { return scriptMask_; }
    void setScriptMask(InstanceId mask);
    // Whether a script made this object another's mask: it is then drawn only as one.
    bool masksByScript() const { return masksByScript_; }
    void setMasksByScript(bool masks);

    // A Video's pictures from a stream a script attached (null: its own frames, if any).
    const std::shared_ptr<FlvVideo>& attachedVideo() const { return attachedVideo_; }
    void setAttachedVideo(std::shared_ptr<FlvVideo> source);

    // The frame of its parent's timeline that placed it (-1: not placed by a frame).
    int placedFrame() const { return placedFrame_; }
    const std::vector<ClipAction>& clipActions() const { return clipActions_; }
    // The tick it was made in: it shows its first frame then and moves on from the next.
    std::uint64_t bornTick() const { return bornTick_; }

  private:
    friend class Timeline;
    friend class DisplayContext;
    friend class StagePlayer;

    // Gives a new object what its character brings: a sprite's timeline, a button's state.
    // A sprite's first frame runs now.
    void instantiate(int nesting);
    void markRemoved();

    DisplayContext& context_;
    Timeline* parent_;
    InstanceId id_ = kNoInstance;
    std::int32_t depth_;
    std::uint16_t characterId_;
    CharacterPtr character_;
    Origin origin_;
    bool removed_ = false;
    bool unloading_ = false;
    bool unloaded_ = false;
    InstanceId formerParent_ = kNoInstance;
    DisplayProperties props_;
    int placedFrame_ = -1;
    std::vector<ClipAction> clipActions_;
    std::uint64_t bornTick_ = 0;
    std::unique_ptr<Timeline> timeline_;
    std::unique_ptr<TextFieldModel> textField_;
    std::shared_ptr<FlvVideo> attachedVideo_;
    CharacterPtr drawing_;
    InstanceId scriptMask_ = kNoInstance;
    bool masksByScript_ = false;
    bool matrixByScript_ = false;
};

// What frames and scripts did in the current tick that others consume: the actions queued,
// the frames shown, the sounds started, the objects that came and went.
struct FrameWork {
    struct Sound {
        InstanceId clip = kNoInstance;
        ByteRange body;
        int version = 1;
    };
    struct Shown {
        InstanceId clip = kNoInstance;
        int frame = 0;
        bool jumped = false;
    };
    std::deque<QueuedAction> initActions;
    std::deque<QueuedAction> constructs;  // after the init blocks, before the frame blocks
    std::deque<QueuedAction> frameActions;
    std::vector<Sound> sounds;
    std::vector<Shown> framesShown;
    std::vector<InstanceId> placed;
    std::vector<InstanceId> stopped;
    // What the movie did wrong that the player tells of (a placement on a taken depth).
    std::vector<std::string> warnings;
    // While set, frames run only their display-list tags (the frames a seek passes over).
    bool displayOnly = false;

    bool empty() const {
        return initActions.empty() && constructs.empty() && frameActions.empty() &&
               sounds.empty() && framesShown.empty() && placed.empty() && stopped.empty() &&
               warnings.empty();
    }
};

// Shared by the whole tree of one movie: where characters come from, the limits, the ids of
// the objects on display lists, the work the current tick collects.
class DisplayContext {
  public:
    DisplayContext(Dictionary& dictionary, std::span<const std::uint8_t> data,
                   DisplayLimits limits = {}, int swfVersion = 10);
    ~DisplayContext();
    DisplayContext(const DisplayContext&) = delete;
    DisplayContext& operator=(const DisplayContext&) = delete;

    Dictionary& dictionary() { return dictionary_; }
    std::span<const std::uint8_t> data() const { return data_; }
    // The data grows while a movie loads; offsets stay valid.
    void setData(std::span<const std::uint8_t> data) {
        data_ = data;
        sources_.front()->data = data;
    }
    // The bytes of a range of any source's movie.
    std::span<const std::uint8_t> bytes(ByteRange r) const;
    // The player's own movie, and the one a range of queued work comes from.
    const MovieSource& mainSource() const { return *sources_.front(); }
    const MovieSource& sourceOf(ByteRange r) const;
    // Takes in a loaded movie (complete) for a clip to play; null once too many were loaded.
    const MovieSource* addSource(std::shared_ptr<const MovieData> movie, std::string url);
    const DisplayLimits& limits() const { return limits_; }
    int swfVersion() const { return swfVersion_; }
    CharacterPtr character(std::uint16_t id) { return dictionary_.get(id, data_); }
    // The character createEmptyMovieClip places: a sprite of no frames.
    CharacterPtr emptyClipCharacter();

    // The name an object placed without one gets: "instance1", "instance2", ... counted
    // over the whole movie.
    std::string nextInstanceName() { return "instance" + std::to_string(++unnamed_); }

    // Display objects alive (removed ones until their tick ends included).
    std::size_t objects() const { return objects_; }
    bool takeObject();
    void releaseObject();

    // The object on a display list with that id; nullptr once it has left.
    DisplayObject* find(InstanceId id) const;

    // Asked of a clip being removed: whether something answers its unload event.
    void setUnloadTest(std::function<bool(DisplayObject&)> test) { unloadTest_ = std::move(test); }
    // Whether removing the object waits for unload handlers (its own or its clips').
    bool waitsForUnload(DisplayObject& object);
    // The objects set aside for their unload handlers since the last call.
    std::vector<InstanceId> takeUnloading() { return std::exchange(unloading_, {}); }

    // Objects removed in this tick: kept readable until collectRemoved().
    void retire(std::unique_ptr<DisplayObject> object);
    const std::vector<std::unique_ptr<DisplayObject>>& retired() const { return retired_; }
    std::size_t retiredHandled = 0;  // how many of retired() had their unload delivered
    void collectRemoved();

    FrameWork& work() { return work_; }
    std::uint64_t tickNumber() const { return tick_; }
    void nextTick() { ++tick_; }

    // Counts changes of the picture; equal counts mean nothing visible changed in between.
    std::uint64_t changes() const { return changes_; }
    // Anything may look different.
    void changed() {
        ++changes_;
        touchedAll_ = true;
    }
    // That object was added, removed, moved or changed (its children go with it).
    void changed(const DisplayObject& object);
    // The objects changed since the last call (in ids, order kept, repeats possible); true
    // when anything may have changed instead.
    bool takeTouched(std::vector<InstanceId>& ids);

    // The object showing the focus rectangle (kNoInstance: none); the picture changes with it.
    InstanceId highlighted() const { return highlighted_; }
    void setHighlighted(InstanceId id) {
        if (id != highlighted_) {
            highlighted_ = id;
            changed();
        }
    }

    // The text field with the keyboard focus (kNoInstance: none) and whether its caret shows
    // now: a blink redraws that field alone.
    InstanceId focusedField() const { return focusedField_; }
    bool caretShown() const { return caretShown_; }
    void setTextFocus(InstanceId field, bool caretShown);

    // Counts text fields placed with a variable to show (scripts bind them on first sight).
    std::uint64_t boundFieldsPlaced() const { return boundFieldsPlaced_; }

    // DoInitAction runs once per sprite: true the first time a sprite is asked for.
    bool firstInit(const MovieSource& source, std::uint16_t spriteId) {
        return initialised_.insert(source.base | spriteId).second;
    }

  private:
    friend class DisplayObject;
    friend class Timeline;
    InstanceId enlist(DisplayObject* object);
    void delist(InstanceId id);

    Dictionary& dictionary_;
    std::span<const std::uint8_t> data_;
    DisplayLimits limits_;
    int swfVersion_;
    std::size_t objects_ = 0;
    InstanceId nextId_ = 1;
    std::unordered_map<InstanceId, DisplayObject*> live_;
    std::vector<std::unique_ptr<DisplayObject>> retired_;
    std::function<bool(DisplayObject&)> unloadTest_;
    std::vector<InstanceId> unloading_;
    FrameWork work_;
    std::uint64_t tick_ = 0;
    std::uint64_t changes_ = 0;
    std::uint64_t unnamed_ = 0;
    std::uint64_t boundFieldsPlaced_ = 0;
    InstanceId highlighted_ = kNoInstance;
    InstanceId focusedField_ = kNoInstance;
    bool caretShown_ = false;
    std::vector<InstanceId> touched_;
    bool touchedAll_ = true;  // nothing drawn yet
    std::unordered_set<std::size_t> initialised_;
    CharacterPtr emptyClip_;
    std::vector<std::unique_ptr<MovieSource>> sources_;
};

// A clip's frames and display list: the root's, a sprite's, or a button's up state (no
// frames). Objects are kept in depth order. Each timeline plays or holds on its own.
class Timeline {
  public:
    using List = std::map<std::int32_t, std::unique_ptr<DisplayObject>>;

    // frames: where its frames' tags lie (nullptr for a button); nesting: how deep it sits;
    // source: the movie they are in (null: the player's own).
    Timeline(DisplayContext& context, DisplayObject& owner, const std::vector<FrameRange>* frames,
             int nesting, const MovieSource* source = nullptr);
    ~Timeline();
    Timeline(const Timeline&) = delete;
    Timeline& operator=(const Timeline&) = delete;

    DisplayObject& owner() const { return owner_; }
    int nesting() const { return nesting_; }

    // --- Frames ---
    // Frames this timeline can show now (a root still loading has fewer than it will have).
    std::size_t frameCount() const { return frames_ ? frames_->size() : 0; }
    std::span<const FrameRange> frames() const;
    // The frame shown, counted from 0; -1 before the first one has run.
    int currentFrame() const { return current_; }
    // The root: it has this many frames (the header's count), and more may still arrive
    // while loading. Once loaded, frames the count has and the data lacks show as empty.
    void setFrameLimit(std::size_t frames, bool stillLoading);
    // Frames that can be shown now.
    std::size_t showableFrames() const;
    bool playing() const { return playing_; }
    // Plays on or holds this timeline only; clips inside it go on as they were.
    void setPlaying(bool playing);
    // On the last frame there is, with none still on its way.
    bool atEnd() const;

    // Runs the first frame (a timeline begins on its first frame).
    void start();
    // One frame on: the next one, or at the end back to the first when it loops (sprites
    // do; the root when asked) or a hold. Returns whether another frame is shown.
    bool step(bool loop);
    // A sprite whose frames cannot loop (cut short, or ending in a frame with no ShowFrame)
    // holds on its last frame whatever step() is asked.
    void setLoops(bool loops) { loops_ = loops; }
    // Shows `frame` as a go-to does: what the frames passed over place and remove is
    // applied, only the actions and sounds of the frame arrived at are queued, and objects
    // still placed the same way are kept as they are (their clips play on). A script's
    // go-to runs the first frames of the clips it made before the frame's own actions; a
    // timeline looping back runs them after, as any frame does.
    void gotoFrame(int frame, bool madeClipsFirst = true);
    // Empties the list and shows the first frame anew, as if just placed.
    void restartFromScratch();
    // Empties the list and plays another movie's root frames from its first (loadMovie);
    // null: plays nothing any more (unloadMovie).
    void replaceMovie(const MovieSource* source);
    const MovieSource& source() const { return *source_; }
    // The clip plays a movie loaded into it: it is that movie's root.
    bool loadedRoot() const { return source_ != &context_.mainSource() && loadedRoot_; }
    // An image file loaded in place of a movie: where it came from and how long it is. The
    // next replaceMovie forgets it.
    struct LoadedImage {
        std::string url;
        std::size_t bytes = 0;
    };
    void setLoadedImage(LoadedImage image) { loadedImage_ = std::move(image); }
    const std::optional<LoadedImage>& loadedImage() const { return loadedImage_; }

    // The first frame a FrameLabel names, if any.
    std::optional<int> labelFrame(std::string_view label, bool ignoreCase) const;
    // Where the DoAction blocks of a frame lie (ActionCall runs them without going there).
    std::vector<ByteRange> frameActions(int frame) const;

    // --- The display list ---
    const List& objects() const { return list_; }
    DisplayObject* at(std::int32_t depth) const;
    // The first child (in depth order) of that instance name.
    DisplayObject* childByName(std::string_view name, bool ignoreCase) const;
    // One above the highest depth in use, at least 0.
    std::int32_t nextHighestDepth() const;

    // What scripts do; each returns the object made, or nullptr when it cannot be made (the
    // tree is full, too deep). Whatever was at the depth goes.
    DisplayObject* placeCharacter(std::int32_t depth, std::uint16_t characterId,
                                  CharacterPtr character, const std::string& name);
    // A copy of a child at another depth: its character, properties and clip actions, its
    // timeline from its first frame.
    DisplayObject* duplicate(const DisplayObject& child, std::int32_t depth,
                             const std::string& name);
    // Takes a child off the list (its id then finds nothing); false when it is not here. A
    // clip whose unload something answers is set aside instead (see unloading()) and queues
    // its unload events; removeNow() takes it off at once.
    bool remove(DisplayObject& child);
    bool removeNow(DisplayObject& child);
    // Puts a child at another depth, swapping with whatever is there.
    bool swapDepths(DisplayObject& child, std::int32_t depth);

    // For a button: shows the characters of a state (up, over, down), keeping those the
    // state shares with what is shown.
    void placeButtonState(const ButtonDefinition& button, std::uint8_t state);

  private:
    friend class DisplayObject;

    // One depth as the timeline's own tags leave it.
    struct Placement {
        std::uint16_t characterId = 0;
        int placedFrame = -1;
        DisplayProperties props;
        std::vector<ClipAction> clipActions;
        std::size_t tagOffset = 0;  // where the placing tag lies: objects are made in tag order
    };
    using Placements = std::map<std::int32_t, Placement>;

    // Runs a frame's tags on the list itself.
    void runFrame(std::size_t frame);
    // Applies a frame's display-list tags to placements only (building nothing); with
    // `queue`, also queues its actions and sounds.
    void replayFrame(std::size_t frame, Placements& placements, bool queue);
    // Queues what a frame's non-display tags ask for.
    void queueFrameTag(std::uint16_t code, ByteRange body);
    void placeTag(const PlaceObjectTag& p, std::size_t bodyOffset, int frame);
    void removeAtDepth(std::int32_t depth);
    // Gives an object placed without a name the next default one.
    void nameIfUnnamed(DisplayObject& o);
    // Makes the placements the list: keeps objects placed the same way, replaces the rest.
    // frameBlocks (in tag order): the frame's actions, queued each before the clips that tags
    // after it make.
    void reconcile(const Placements& wanted, std::deque<QueuedAction>* frameBlocks);
    DisplayObject* create(std::int32_t depth, std::uint16_t characterId, CharacterPtr character,
                          DisplayObject::Origin origin);
    void retire(List::iterator it);
    // Removes as the timeline and scripts do: aside while unload handlers are due.
    void leave(List::iterator it);
    void shown(bool jumped);
    std::vector<ClipAction> clipActionsOf(const PlaceObjectTag& p, std::size_t bodyOffset) const;

    DisplayContext& context_;
    DisplayObject& owner_;
    const std::vector<FrameRange>* frames_;
    int nesting_;
    const MovieSource* source_;
    bool loadedRoot_ = false;
    std::optional<LoadedImage> loadedImage_;
    int current_ = -1;
    bool playing_ = true;
    bool loops_ = true;
    std::size_t frameLimit_ = SIZE_MAX;
    bool stillLoading_ = false;
    List list_;
};

}  // namespace zd::engine
