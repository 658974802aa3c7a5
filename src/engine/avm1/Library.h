#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/avm1/FilterValues.h"
#include "engine/avm1/Object.h"

namespace zd::avm1 {

class Vm;
class BitmapPixels;
struct TextFormatValues;

// The built-in objects, installed into a fresh Vm in this order.
namespace lib {

void installObject(Vm& vm);
void installFunction(Vm& vm);
void installGlobals(Vm& vm);
void installArray(Vm& vm);
void installString(Vm& vm);
void installNumberAndBoolean(Vm& vm);
void installMath(Vm& vm);
void installDate(Vm& vm);
void installBroadcaster(Vm& vm);
void installSystem(Vm& vm);
void installPrintJob(Vm& vm);
// ContextMenu and ContextMenuItem.
void installContextMenu(Vm& vm);
void installXml(Vm& vm);
void installLoadVars(Vm& vm);
void installMovieClip(Vm& vm);
void installGeom(Vm& vm);
// Matrix and ColorTransform (called by installGeom).
void installGeomTransforms(Vm& vm);
// Key, Mouse and Selection (after AsBroadcaster).
void installInput(Vm& vm);
// A global object with AsBroadcaster's methods and an empty listener list.
Object* makeBroadcaster(Vm& vm, const char* name);
void installStage(Vm& vm);
void installDevices(Vm& vm);
// TextField's own members and TextFormat (after installMovieClip).
void installTextField(Vm& vm);
// TextField.StyleSheet, as a member of the TextField constructor.
void installStyleSheet(Vm& vm, Object* textFieldConstructor);
// A TextFormat object with these values ("block", "inline" or "none" display).
Value newTextFormat(Vm& vm, const TextFormatValues& values, std::string_view display);
// TextSnapshot and MovieClip's getTextSnapshot (after installMovieClip).
void installTextSnapshot(Vm& vm);
// A text field's script object just made: its own listener list.
void initTextFieldObject(Vm& vm, Object* field);
// The drawing methods and setMask on MovieClip's prototype.
void installDrawing(Vm& vm);
void installNet(Vm& vm);
// Methods that answer the same whatever they are asked.
Value returnsNothing(Vm& vm, const CallInfo& c);
Value returnsNull(Vm& vm, const CallInfo& c);
Value returnsFalse(Vm& vm, const CallInfo& c);
Value returnsThis(Vm& vm, const CallInfo& c);
void installMovieClipLoader(Vm& vm);
void installSharedObject(Vm& vm);
// Sound and stopAllSounds.
void installSound(Vm& vm);
void installColor(Vm& vm);
// NetConnection (local connections, and remote calls over posts).
void installNetConnection(Vm& vm);
void installXmlSocket(Vm& vm);
// What the host saw of an XMLSocket connection (Vm::requestSocket's id): the outcome of
// connecting, bytes received (split into messages here), the peer closing it.
void socketConnected(Vm& vm, std::uint64_t id, bool ok);
void socketReceived(Vm& vm, std::uint64_t id, std::string_view bytes);
void socketClosed(Vm& vm, std::uint64_t id);
// flash.net.FileReference and FileReferenceList (after AsBroadcaster and Date).
void installFileReference(Vm& vm);
// What scripts may know of a file the user picked or a download saved; NaN: not known.
struct FileFacts {
    std::uint64_t handle = 0;  // the host's name for a picked file (0: none to upload)
    std::string name;
    double size = std::numeric_limits<double>::quiet_NaN();
    double created = std::numeric_limits<double>::quiet_NaN();   // ms since 1970
    double modified = std::numeric_limits<double>::quiet_NaN();  // ms since 1970
};
// One stage of a FileReference request (Vm::requestFile's id), told to the listeners of its
// owner. `files` (on a select, or a completed download) replace what the owner knows; `last`
// ends the request, before the listeners hear of it so they may start the next.
struct FileEvent {
    enum class Kind : std::uint8_t {
        Select,
        Cancel,
        Open,
        Progress,
        Complete,
        HttpError,
        IoError,
        SecurityError
    };
    Kind kind = Kind::Cancel;
    std::vector<FileFacts> files;
    double loaded = 0;
    double total = 0;
    int httpStatus = 0;
    bool last = false;
};
void fileEvent(Vm& vm, std::uint64_t id, const FileEvent& event);
// flash.display.BitmapData (after installGeom: it makes rectangles).
void installBitmapData(Vm& vm);

// A BitmapData: its pixels, shared with whatever shows them, or none once disposed.
class BitmapDataObject final : public Object {
  public:
    explicit BitmapDataObject(Object* proto);
    std::shared_ptr<BitmapPixels> pixels;
    std::size_t footprint() const override;
};
// flash.filters and MovieClip.filters (after installBitmapData and installGeom).
void installFilters(Vm& vm);

// An instance of one of the flash.filters classes.
class FilterObject final : public Object {
  public:
    explicit FilterObject(Object* proto);
    FilterValues values;
    Value mapBitmap;  // the displacement map's BitmapData object, as set
    void trace(Tracer& t) override;
    std::size_t footprint() const override;
};
// NetStream and the Video object's methods.
void installNetStream(Vm& vm);

// A shared object's data in the stored file layout, and back (false: not a readable file;
// data then holds what came before the damage).
std::string encodeSharedObject(Vm& vm, std::string_view name, Object* data);
bool decodeSharedObject(Vm& vm, std::string_view bytes, Object* data);

// Sets the variables of a "name=value&..." text (URL-encoded) on target.
void decodeVariables(Vm& vm, const Value& target, std::string_view text);

// The object at a dotted path below _global ("flash.external"), made where missing.
Object* packageObject(Vm& vm, std::string_view dottedPath);

// A constructor with its prototype, bound as a global (when name is not empty).
FunctionObject* defineClass(Vm& vm, std::string_view name, NativeFunction ctor, Object* proto,
                            NativeAllocator allocator = nullptr);

// Array-like access used by Array methods on any object.
std::uint32_t lengthOf(Vm& vm, Object* o);
Value elementAt(Vm& vm, Object* o, std::uint32_t i);
void setElement(Vm& vm, Object* o, std::uint32_t i, const Value& v);

}  // namespace lib
}  // namespace zd::avm1
