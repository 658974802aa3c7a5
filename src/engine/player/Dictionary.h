#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <variant>
#include <vector>

#include "engine/swf/Characters.h"
#include "engine/swf/Shapes.h"
#include "engine/swf/TimelineIndex.h"
#include "engine/swf/VideoTags.h"

namespace zd::engine {

// A sprite's own timeline: where each of its frames' tags lie in the movie's data.
struct SpriteDefinition {
    std::uint16_t frameCount = 0;  // as the tag says
    std::vector<FrameRange> frames;
    // Goes back to its first frame after its last: only a sprite whose frames all end in a
    // ShowFrame and that has its End tag does.
    bool loops = true;
    // The bytes of its tags (the header's id and frame count not included).
    std::uint32_t byteLength = 0;
};

// A bitmap character as stored: its tag code and body (character id included), decoded only
// when it is drawn. DefineBits uses the movie's JPEGTables.
struct BitmapTag {
    std::uint16_t code = 0;
    std::vector<std::uint8_t> body;
};

// A bitmap a script draws into, shown as its pixels are now: premultiplied ARGB words, row by
// row (shared with the script's object, so drawing into it shows without a new character).
struct ScriptBitmap {
    int width = 0;
    int height = 0;
    std::shared_ptr<const std::vector<std::uint32_t>> pixels;
    bool smoothing = false;
};

struct Character {
    enum class Kind { Shape, Morph, Sprite, Font, Text, EditText, Button, Bitmap, Video };
    Kind kind = Kind::Shape;
    std::uint16_t id = 0;
    std::variant<ShapeDefinition, MorphShapeDefinition, SpriteDefinition, FontDefinition,
                 TextDefinition, EditTextDefinition, ButtonDefinition, BitmapTag,
                 VideoStreamDefinition, ScriptBitmap>
        def;

    template <typename T>
    const T* as() const {
        return std::get_if<T>(&def);
    }
};

using CharacterPtr = std::shared_ptr<const Character>;

// The characters a movie defines, indexed as its tags arrive and parsed when first used.
// Offsets only are kept while indexing: the data they point into may move as it grows.
class Dictionary {
  public:
    // Indexes the whole root tags in data[from, to) not seen yet (to: the end of the tags the
    // timeline index has taken).
    void update(std::span<const std::uint8_t> data, std::size_t firstTag, std::size_t to);

    // The character with that id, parsed; nullptr for an id not defined (yet).
    CharacterPtr get(std::uint16_t id, std::span<const std::uint8_t> data);
    bool contains(std::uint16_t id) const { return entries_.count(id) != 0; }
    // Where the root's tags begin, and the end of those indexed so far.
    std::size_t firstTag() const { return firstTag_; }
    std::size_t indexedEnd() const { return next_; }
    std::size_t size() const { return entries_.size(); }

    // The JPEGTables tag's body, if the movie has one.
    std::span<const std::uint8_t> jpegTables(std::span<const std::uint8_t> data) const;
    // Names given by ExportAssets.
    const std::map<std::string, std::uint16_t>& exports() const { return exports_; }
    // DefineScalingGrid rectangles by character id.
    const std::unordered_map<std::uint16_t, Rect>& scalingGrids() const { return grids_; }
    bool protectedMovie() const { return protected_; }
    // The ids of the fonts defined so far, in the order they came.
    const std::vector<std::uint16_t>& fontIds() const { return fontIds_; }
    bool useNetwork() const { return useNetwork_; }

  private:
    struct Entry {
        std::uint16_t code = 0;
        std::size_t body = 0;  // offset of the tag body in the data
        std::uint32_t length = 0;
    };
    struct Location {
        std::size_t body = 0;
        std::uint32_t length = 0;
        std::uint16_t code = 0;
    };

    void indexTag(std::span<const std::uint8_t> data, std::uint16_t code, std::size_t body,
                  std::uint32_t length);
    CharacterPtr parse(std::uint16_t id, const Entry& e, std::span<const std::uint8_t> data);

    std::size_t firstTag_ = 0;
    std::size_t next_ = 0;
    bool started_ = false;
    std::unordered_map<std::uint16_t, Entry> entries_;
    std::unordered_map<std::uint16_t, CharacterPtr> parsed_;
    std::unordered_map<std::uint16_t, std::vector<Location>> fontInfos_;
    std::unordered_map<std::uint16_t, Location> buttonCxforms_;
    std::unordered_map<std::uint16_t, Location> textSettings_;
    std::unordered_map<std::uint16_t, Rect> grids_;
    std::map<std::string, std::uint16_t> exports_;
    std::optional<Location> jpegTables_;
    std::vector<std::uint16_t> fontIds_;
    bool protected_ = false;
    bool useNetwork_ = false;
};

// Where the frames of a sprite body (after its id and frame count) lie; offsets are into the
// data the body lies in, starting at bodyOffset.
SpriteDefinition indexSprite(std::span<const std::uint8_t> data, std::size_t bodyOffset,
                             std::uint32_t length);

}  // namespace zd::engine
