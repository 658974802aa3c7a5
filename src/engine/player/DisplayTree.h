#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/player/Dictionary.h"
#include "engine/swf/DisplayTags.h"
#include "engine/swf/Records.h"

namespace zd::engine {

class Timeline;

// What a hostile movie may build at most; beyond, placements are left out of the picture.
struct DisplayLimits {
    int maxNesting = 32;              // sprites and buttons inside each other
    std::size_t maxObjects = 100000;  // display objects alive in the whole tree
    std::size_t maxTagsPerFrame = 1000000;
};

// One object on a display list.
struct DisplayObject {
    std::uint16_t depth = 0;
    std::uint16_t characterId = 0;
    CharacterPtr character;  // null for an id not defined
    Matrix matrix;
    ColorTransform colorTransform;
    std::uint16_t ratio = 0;
    std::string name;
    std::uint16_t clipDepth = 0;  // a mask for the depths above it up to this one
    std::uint8_t blendMode = 0;
    bool cacheAsBitmap = false;
    SharedFilters filters;  // null for none
    bool visible = true;
    int placedFrame = -1;  // the frame of its timeline that placed it
    // Sprites: their own timeline; buttons: the characters of their up state.
    std::unique_ptr<Timeline> children;

    bool isMask() const { return clipDepth != 0; }
};

// Shared by the whole tree of one movie: where characters come from, and the limits.
class DisplayContext {
  public:
    DisplayContext(Dictionary& dictionary, std::span<const std::uint8_t> data,
                   DisplayLimits limits = {})
        : dictionary_(dictionary), data_(data), limits_(limits) {}

    Dictionary& dictionary() { return dictionary_; }
    std::span<const std::uint8_t> data() const { return data_; }
    // The data grows while a movie loads; offsets stay valid.
    void setData(std::span<const std::uint8_t> data) { data_ = data; }
    const DisplayLimits& limits() const { return limits_; }
    CharacterPtr character(std::uint16_t id) { return dictionary_.get(id, data_); }

    std::size_t objects() const { return objects_; }
    bool takeObject() {
        if (objects_ >= limits_.maxObjects) {
            return false;
        }
        ++objects_;
        return true;
    }
    void releaseObject() {
        if (objects_ > 0) {
            --objects_;
        }
    }

  private:
    Dictionary& dictionary_;
    std::span<const std::uint8_t> data_;
    DisplayLimits limits_;
    std::size_t objects_ = 0;
};

// A timeline and its display list: the movie's root, a sprite's, or a button's up state
// (which has no frames). Objects are kept in depth order.
class Timeline {
  public:
    // frames: where its frames' tags lie (nullptr for a button); nesting: how deep it sits.
    Timeline(DisplayContext& context, const std::vector<FrameRange>* frames, int nesting);
    ~Timeline();
    Timeline(const Timeline&) = delete;
    Timeline& operator=(const Timeline&) = delete;

    // Runs the first frame's tags (a timeline begins on its first frame).
    void start();
    // One tick: the children advance, then this timeline shows its next frame. At the end a
    // sprite loops back to its first frame; the root holds unless loop is set.
    void advance(bool loop);
    // Only the children advance (a held timeline whose sprites play on).
    void advanceChildren();
    // Frames this timeline can show now (a root still loading has fewer than its header says).
    std::size_t frameCount() const { return frames_ ? frames_->size() : 0; }
    // The frame shown, counted from 0; -1 before start().
    int currentFrame() const { return current_; }
    // Goes to the first frame again the way a loop does: objects placed on the first frame
    // and still there are kept, the rest is rebuilt.
    void restart();

    const std::map<std::uint16_t, DisplayObject>& objects() const { return list_; }
    // For a button: puts the characters of its up state.
    void placeButtonState(const ButtonDefinition& button, std::uint8_t state);

  private:
    void runFrame(std::size_t frame);
    void place(const PlaceObjectTag& p, int frame);
    void remove(std::uint16_t depth);
    // Gives an object placed now its character's own state (a sprite's timeline, ...).
    void instantiate(DisplayObject& object);

    DisplayContext& context_;
    const std::vector<FrameRange>* frames_;
    int nesting_;
    int current_ = -1;
    std::map<std::uint16_t, DisplayObject> list_;
    const std::vector<std::uint16_t>* keptDepths_ = nullptr;  // while restart() replays
};

}  // namespace zd::engine
