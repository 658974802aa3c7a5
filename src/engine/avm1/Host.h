#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "engine/swf/FilterRecords.h"

namespace zd::engine {
class FlvVideo;
}

namespace zd::avm1 {

class Object;

// A display object as scripts name it. Ids are never reused, so a script that keeps the id
// of a removed clip finds nothing instead of another clip. 0 names nothing.
using DisplayId = std::uint64_t;
constexpr DisplayId kNoDisplay = 0;

// The display properties by the index GetProperty/SetProperty use (also the `_x` style names).
enum class DisplayProperty : std::uint8_t {
    X = 0,
    Y = 1,
    XScale = 2,
    YScale = 3,
    CurrentFrame = 4,
    TotalFrames = 5,
    Alpha = 6,
    Visible = 7,
    Width = 8,
    Height = 9,
    Rotation = 10,
    Target = 11,
    FramesLoaded = 12,
    Name = 13,
    DropTarget = 14,
    Url = 15,
    HighQuality = 16,
    FocusRect = 17,
    SoundBufTime = 18,
    Quality = 19,
    XMouse = 20,
    YMouse = 21,
};
constexpr int kDisplayPropertyCount = 22;

// A display property's value: numbers for geometry and frames, strings for names and paths,
// booleans for flags; monostate when the object has no such property.
using DisplayValue = std::variant<std::monostate, double, bool, std::string>;

enum class UrlMethod : std::uint8_t { None, Get, Post };

class TextFieldHost;
struct DrawCommand;

// What the interpreter needs from the player around it. The runtime implements it over its
// display list; tests and the trace tool implement small ones.
class Host {
  public:
    virtual ~Host() = default;

    // Output of trace().
    virtual void trace(std::string_view line) = 0;
    // Milliseconds since the movie started.
    virtual double timer() = 0;
    // The wall clock for Date: ms since 1970 UTC, and the local zone's offset from UTC (minutes
    // east) at a moment.
    virtual double now() = 0;
    virtual double utcOffsetMinutes(double utcMs) = 0;
    // A uniformly random integer in [0, bound) (bound > 0).
    virtual std::uint32_t random(std::uint32_t bound) = 0;

    // --- Display objects (the host's list; all calls accept stale ids and then fail) ---
    virtual bool exists(DisplayId id) = 0;
    virtual DisplayId root() = 0;
    // The _root an object sees: the top of its level, or a loaded movie's clip that locks it.
    virtual DisplayId rootOf(DisplayId /*id*/) { return root(); }
    // _levelN, or none.
    virtual DisplayId level(int n) = 0;
    virtual DisplayId parent(DisplayId id) = 0;
    // A child by instance name (ignoring case when asked).
    virtual DisplayId child(DisplayId id, std::string_view name, bool ignoreCase) = 0;
    // Instance names of the children, in the order for-in lists them.
    virtual std::vector<std::string> childNames(DisplayId id) = 0;
    // Whether the object is a movie clip (has a timeline and the MovieClip methods), a text
    // field, a button or a video; scripts see each with its own prototype.
    enum class Kind : std::uint8_t { MovieClip, TextField, Button, Video, Other };
    virtual Kind kind(DisplayId id) = 0;

    virtual DisplayValue property(DisplayId id, DisplayProperty p) = 0;
    virtual void setProperty(DisplayId id, DisplayProperty p, const DisplayValue& v) = 0;

    // --- Timelines (frames count from 1, as scripts see them) ---
    // Goes to a frame (clamped to the timeline) without changing whether it plays.
    virtual void gotoFrame(DisplayId id, int frame) = 0;
    virtual void setPlaying(DisplayId id, bool playing) = 0;
    virtual void nextFrame(DisplayId id) = 0;
    virtual void prevFrame(DisplayId id) = 0;
    // Runs the actions of a frame of id's timeline now (ActionCall), without going there.
    virtual void callFrame(DisplayId id, int frame) = 0;
    // The frame a label names, if any (for WaitForFrame and goto by label).
    virtual std::optional<int> labelFrame(DisplayId id, std::string_view label) = 0;

    // --- Making and removing clips; each returns the new object or kNoDisplay ---
    virtual DisplayId duplicate(DisplayId id, std::string_view name, int depth) = 0;
    virtual void remove(DisplayId id) = 0;
    virtual DisplayId attach(DisplayId parent, std::string_view exportName, std::string_view name,
                             int depth) = 0;
    // The pixels of the bitmap character a movie exports under that name (as the clips
    // below `from` see the movie): premultiplied ARGB, row by row.
    struct Pixels {
        int width = 0;
        int height = 0;
        std::vector<std::uint32_t> argb;
    };
    virtual std::optional<Pixels> exportedBitmap(DisplayId /*from*/, std::string_view /*name*/) {
        return std::nullopt;
    }
    // Shows a script's bitmap as a child of parent at depth; the pixels are read whenever the
    // picture is drawn.
    virtual DisplayId attachBitmap(DisplayId /*parent*/, int /*depth*/, int /*width*/,
                                   int /*height*/,
                                   std::shared_ptr<const std::vector<std::uint32_t>> /*pixels*/,
                                   bool /*smoothing*/) {
        return kNoDisplay;
    }
    // A clip's picture in its own coordinates as BitmapData.draw takes it: mapped to pixels by
    // matrix (a, b, c, d, tx, ty) into a transparent width x height picture, premultiplied ARGB
    // row by row. Nothing when the object is gone or has no timeline.
    virtual std::optional<std::vector<std::uint32_t>> drawClip(
        DisplayId /*id*/, int /*width*/, int /*height*/, const std::array<double, 6>& /*matrix*/) {
        return std::nullopt;
    }
    virtual DisplayId createEmpty(DisplayId parent, std::string_view name, int depth) = 0;
    virtual DisplayId createTextField(DisplayId parent, std::string_view name, int depth, double x,
                                      double y, double width, double height) = 0;
    // A clip attachMovie or duplicateMovieClip made has its init object: its class's
    // constructor and construct actions run now rather than when it loads.
    virtual void clipMade(DisplayId /*id*/) {}
    virtual std::optional<int> depth(DisplayId id) = 0;
    virtual void swapDepths(DisplayId id, int depth) = 0;
    virtual int nextHighestDepth(DisplayId id) = 0;
    virtual DisplayId instanceAtDepth(DisplayId parent, int depth) = 0;
    // A clip's movie as getSWFVersion and getBytesLoaded/Total see it: a sprite counts its
    // own tags, a root its movie file. Nothing for objects without a timeline.
    struct MovieInfo {
        int version = 0;
        double bytesLoaded = 0;
        double bytesTotal = 0;
    };
    virtual std::optional<MovieInfo> movieInfo(DisplayId /*id*/) { return std::nullopt; }
    // The stage's size in pixels as scripts read it: the movie's own frame, or with
    // noScale the area the player shows it in.
    virtual std::array<double, 2> stageSize(bool /*noScale*/) { return {0.0, 0.0}; }
    // The security sandbox of the movie a clip belongs to, as System.security.sandboxType.
    virtual std::string sandboxType(DisplayId /*clip*/) { return "localTrusted"; }
    // The built-ins of another group of SWF versions were just made (a movie of such a
    // version runs): what the host adds to _global's objects belongs there too.
    virtual void realmMade(Object* /*global*/) {}
    virtual void startDrag(DisplayId id, bool lockCenter,
                           std::optional<std::array<double, 4>> bounds) = 0;
    virtual void stopDrag() = 0;

    // --- Geometry, in pixels ---
    // The object's bounds (xMin, yMin, xMax, yMax) in the coordinates of `space` (kNoDisplay:
    // the stage's); strokes:
    // with the room lines take. Nothing when either object is gone or nothing is drawn.
    virtual std::optional<std::array<double, 4>> bounds(DisplayId /*id*/, DisplayId /*space*/,
                                                        bool /*strokes*/) {
        return std::nullopt;
    }
    // A point of the object's coordinates on the stage (toStage) or the other way.
    virtual std::optional<std::array<double, 2>> mapPoint(DisplayId /*id*/, double /*x*/,
                                                          double /*y*/, bool /*toStage*/) {
        return std::nullopt;
    }
    // Whether a stage point lies within the object's bounds, or (shape) on what it draws.
    virtual bool hitTest(DisplayId /*id*/, double /*x*/, double /*y*/, bool /*shape*/) {
        return false;
    }
    // The colour transform: red, green, blue, alpha multipliers (256 is 1), then the four
    // offsets; nothing for an object that is gone.
    using ColorTransform = std::array<std::int16_t, 8>;
    virtual std::optional<ColorTransform> colorTransform(DisplayId /*id*/) { return std::nullopt; }
    virtual void setColorTransform(DisplayId /*id*/, const ColorTransform& /*c*/) {}

    // --- Text fields, drawing and masks ---
    // The text fields' state (null: the host has no text fields).
    virtual TextFieldHost* textFields() { return nullptr; }
    // Applies a drawing method to a clip's own drawing.
    virtual void draw(DisplayId /*id*/, const DrawCommand& /*command*/) {}
    // Makes `mask` the mask of `id` (kNoDisplay: unmasks it).
    virtual void setMask(DisplayId /*id*/, DisplayId /*mask*/) {}
    // The blend mode as PlaceObject3 numbers it (1 normal .. 14 hardlight; 0 reads as normal);
    // nullopt for an object that is gone.
    virtual std::optional<std::uint8_t> blendMode(DisplayId /*id*/) { return std::nullopt; }
    virtual void setBlendMode(DisplayId /*id*/, std::uint8_t /*mode*/) {}
    // The filters drawn on the object (empty for none); nullopt for an object that is gone.
    virtual std::optional<engine::FilterList> filters(DisplayId /*id*/) { return std::nullopt; }
    virtual void setFilters(DisplayId /*id*/, engine::FilterList /*filters*/) {}
    // The scroll rectangle in the object's own pixels (x, y, width, height), none unset;
    // nullopt also for an object that is gone.
    using ScrollRect = std::array<double, 4>;
    virtual std::optional<ScrollRect> scrollRect(DisplayId /*id*/) { return std::nullopt; }
    virtual void setScrollRect(DisplayId /*id*/, std::optional<ScrollRect> /*rect*/) {}
    // The colour (0xRRGGBB) filled under the object, or none.
    virtual std::optional<std::uint32_t> opaqueBackground(DisplayId /*id*/) { return std::nullopt; }
    virtual void setOpaqueBackground(DisplayId /*id*/, std::optional<std::uint32_t> /*rgb*/) {}
    virtual bool cacheAsBitmap(DisplayId /*id*/) { return false; }
    virtual void setCacheAsBitmap(DisplayId /*id*/, bool /*cache*/) {}

    // --- Requests (the host loads; results come back through the Vm) ---
    // getURL, including "FSCommand:" targets.
    virtual void getUrl(std::string_view url, std::string_view window, UrlMethod method,
                        std::string_view variables) = 0;
    virtual void loadMovie(DisplayId target, std::string_view url, UrlMethod method,
                           std::string_view variables) = 0;
    virtual void loadMovieLevel(int level, std::string_view url, UrlMethod method,
                                std::string_view variables) = 0;
    virtual void unloadMovie(DisplayId target) = 0;
    // A MovieClipLoader load into target, or (target none) into _level`level`; the host
    // reports its stages through Vm::clipLoadEvent.
    virtual void loadClip(std::uint64_t /*requestId*/, DisplayId /*target*/, int /*level*/,
                          std::string_view /*url*/) {}
    virtual void loadVariables(DisplayId target, std::string_view url, UrlMethod method,
                               std::string_view variables) = 0;
    // Loads a document for an XML or LoadVars object; the host calls Vm::deliverLoad later.
    virtual void loadData(std::uint64_t requestId, std::string_view url, UrlMethod method,
                          std::string_view body) = 0;
    // Drops a load asked for: nothing of it is delivered any more.
    virtual void cancelLoad(std::uint64_t /*requestId*/) {}
    // Posts a body of that content type (remote calls); the answer comes back as loadData's
    // does. By default it goes as a plain post.
    virtual void postData(std::uint64_t requestId, std::string_view url,
                          std::string_view /*contentType*/, std::string_view body) {
        loadData(requestId, url, UrlMethod::Post, body);
    }

    // XMLSocket connections under the Vm's ids: opening one (false: refused; else the outcome
    // comes later through lib::socketConnected), sending bytes, closing it from this side.
    virtual bool openSocket(std::uint64_t /*id*/, std::string_view /*host*/, int /*port*/) {
        return false;
    }
    virtual void socketSend(std::uint64_t /*id*/, std::string_view /*bytes*/) {}
    virtual void closeSocket(std::uint64_t /*id*/) {}

    // --- Files the user picks (FileReference); results come back through lib::fileEvent ---
    // A choice of file types a browse dialog offers: its description and its patterns
    // ("*.jpg;*.png").
    struct FileFilter {
        std::string description;
        std::string extensions;
    };
    // Shows a dialog to pick files to open (several with `multiple`); false when none can be
    // shown now.
    virtual bool browseFiles(std::uint64_t /*id*/, std::span<const FileFilter> /*filters*/,
                             bool /*multiple*/) {
        return false;
    }
    // Brings the document at url to a file the user chooses (suggestedName proposed; empty:
    // the address's own); false when the address is none the player may download from.
    virtual bool downloadFile(std::uint64_t /*id*/, std::string_view /*url*/,
                              std::string_view /*suggestedName*/) {
        return false;
    }
    // Posts a file the user picked (its handle from a select event) to url as the form field
    // `field`; false when the handle or the address is refused.
    virtual bool uploadFile(std::uint64_t /*id*/, std::uint64_t /*file*/, std::string_view /*url*/,
                            std::string_view /*field*/) {
        return false;
    }
    // Ends a dialog's wait or a transfer: nothing more is reported under the id.
    virtual void cancelFile(std::uint64_t /*id*/) {}

    // Local shared objects: the stored bytes of one by name, and storing them (false when
    // refused, e.g. over the movie's allowance). By default nothing is kept.
    virtual std::optional<std::string> readSharedObject(std::string_view /*name*/) {
        return std::nullopt;
    }
    virtual bool writeSharedObject(std::string_view /*name*/, std::string_view /*bytes*/) {
        return false;
    }

    // A script was aborted or failed (time or recursion limit, a malformed action).
    virtual void scriptError(std::string_view /*message*/) {}

    // --- Sounds scripts play (the Sound object) ---
    // Volume and the four channel weights, in percent, as scripts set and read them.
    struct SoundMix {
        std::int32_t volume = 100;
        std::int32_t leftToLeft = 100;
        std::int32_t leftToRight = 0;
        std::int32_t rightToLeft = 0;
        std::int32_t rightToRight = 100;
    };
    // The mix of the sounds a clip starts (kNoDisplay: the whole movie's); nothing for a clip
    // that is gone or a host without sound state.
    virtual std::optional<SoundMix> soundMix(DisplayId /*clip*/) { return std::nullopt; }
    virtual void setSoundMix(DisplayId /*clip*/, const SoundMix& /*mix*/) {}
    // The length in ms of the sound the clip's movie exports under name; nothing when there
    // is none.
    virtual std::optional<double> soundLength(DisplayId /*clip*/, std::string_view /*name*/) {
        return std::nullopt;
    }
    // Starts an exported sound under the clip's mix, `offset` seconds in, played `loops`
    // times; false when nothing started.
    virtual bool startSound(DisplayId /*clip*/, std::string_view /*name*/, double /*offset*/,
                            int /*loops*/) {
        return false;
    }
    // Stops the clip's sounds of that name (empty: all the clip's sounds).
    virtual void stopSound(DisplayId /*clip*/, std::string_view /*name*/) {}
    // Keeps the bytes of a loaded MP3 file as a sound startSound plays under `name` (in place
    // of any kept under it before); its length in ms, or nothing when they hold no MP3.
    virtual std::optional<double> addLoadedSound(std::string_view /*name*/,
                                                 std::string_view /*bytes*/) {
        return std::nullopt;
    }

    // --- Video objects ---
    // Shows the pictures of a stream in a Video object (nullptr: nothing; the stream's own
    // are shown again). False when the id names no Video.
    virtual bool attachVideo(DisplayId /*video*/, std::shared_ptr<engine::FlvVideo> /*source*/) {
        return false;
    }
    // Forgets the picture a Video object shows.
    virtual void clearVideo(DisplayId /*video*/) {}

    // Keeps a DefineSound body (a stream's sound track) as a sound startSound plays under
    // `name`; its length in ms, or nothing when the body is no sound.
    virtual std::optional<double> addSoundBody(std::string_view /*name*/,
                                               std::span<const std::uint8_t> /*body*/) {
        return std::nullopt;
    }

    // Sounds and quality toggles that have no script object.
    virtual void stopSounds() {}
    virtual void toggleQuality() {}
};

}  // namespace zd::avm1
