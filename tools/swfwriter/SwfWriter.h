#pragma once

// Writes SWF movies: the bundled sample movie and the fixtures of the engine's tests.
// Coordinates are twips (1/20 pixel) throughout. Misuse (a style index that does not exist,
// more styles than a shape version can hold) throws std::invalid_argument.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace zd::swfwriter {

using Bytes = std::vector<std::uint8_t>;

struct Rect {
    std::int32_t xMin = 0;
    std::int32_t xMax = 0;
    std::int32_t yMin = 0;
    std::int32_t yMax = 0;
};

struct Rgba {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    std::uint8_t a = 255;
};

struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

// x' = scaleX*x + rotateSkew1*y + translateX, y' = rotateSkew0*x + scaleY*y + translateY.
struct Matrix {
    double scaleX = 1.0;
    double scaleY = 1.0;
    double rotateSkew0 = 0.0;
    double rotateSkew1 = 0.0;
    std::int32_t translateX = 0;
    std::int32_t translateY = 0;

    static Matrix translation(std::int32_t x, std::int32_t y);
    // Scales, then rotates (clockwise on screen, as y points down), then moves.
    static Matrix transform(double sx, double sy, double degrees, std::int32_t x, std::int32_t y);
};

// Multiply terms in 8.8 fixed point (256 = 1.0), add terms added after; order r, g, b, a.
struct ColorTransform {
    std::array<std::int16_t, 4> mult{256, 256, 256, 256};
    std::array<std::int16_t, 4> add{0, 0, 0, 0};
};

// Bit and byte writer in the file's order: bit fields MSB first, integers little-endian.
class BitWriter {
  public:
    void ub(std::uint32_t value, unsigned bits);
    void sb(std::int32_t value, unsigned bits);
    void fb(double value, unsigned bits);  // 16.16 fixed point
    void flag(bool set) { ub(set ? 1 : 0, 1); }
    void align();  // pads the current byte with zero bits

    void u8(std::uint8_t v);
    void u16(std::uint16_t v);
    void u32(std::uint32_t v);
    void fixed8(double v);
    void bytes(std::span<const std::uint8_t> data);
    void cstring(const std::string& s);  // with its terminating NUL

    const Bytes& data() const { return data_; }

    // Fewest bits for an unsigned / signed value (0 for 0).
    static unsigned unsignedBits(std::uint32_t value);
    static unsigned signedBits(std::int64_t value);
    static std::int32_t toFixed16(double value);

  private:
    Bytes data_;
    unsigned bitPos_ = 0;  // bits used in the last byte; 0 when aligned
};

void writeRect(BitWriter& out, const Rect& r);
void writeMatrix(BitWriter& out, const Matrix& m);
void writeColorTransform(BitWriter& out, const ColorTransform& cx, bool withAlpha);
void writeRgb(BitWriter& out, Rgba c);
void writeRgba(BitWriter& out, Rgba c);

struct GradientStop {
    std::uint8_t ratio = 0;
    Rgba color;
};

struct Gradient {
    enum class Spread : std::uint8_t { Pad = 0, Reflect = 1, Repeat = 2 };
    enum class Interpolation : std::uint8_t { Normal = 0, Linear = 1 };

    std::vector<GradientStop> stops;
    Spread spread = Spread::Pad;                          // DefineShape4 only
    Interpolation interpolation = Interpolation::Normal;  // DefineShape4 only
    double focalPoint = 0.0;                              // -1..1, focal gradients only
};

// Maps the gradient square (-16384..16384 on both axes) onto a box, its ramp turned by
// degrees within the box (90: top to bottom across the box's height).
Matrix gradientBox(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                   double degrees = 0.0);

struct FillStyle {
    enum class Type : std::uint8_t {
        Solid = 0x00,
        LinearGradient = 0x10,
        RadialGradient = 0x12,
        FocalGradient = 0x13,
        RepeatingBitmap = 0x40,
        ClippedBitmap = 0x41,
        HardRepeatingBitmap = 0x42,
        HardClippedBitmap = 0x43,
    };

    Type type = Type::Solid;
    Rgba color;
    Matrix matrix;  // gradient or bitmap matrix
    Gradient gradient;
    std::uint16_t bitmapId = 0;

    static FillStyle solid(Rgba color);
    static FillStyle linear(const Matrix& m, Gradient g);
    static FillStyle radial(const Matrix& m, Gradient g);
    static FillStyle focal(const Matrix& m, Gradient g);
    static FillStyle bitmap(std::uint16_t id, const Matrix& m, Type type = Type::RepeatingBitmap);
};

struct LineStyle {
    enum class Cap : std::uint8_t { Round = 0, None = 1, Square = 2 };
    enum class Join : std::uint8_t { Round = 0, Bevel = 1, Miter = 2 };

    std::uint16_t width = 20;
    Rgba color;
    // The rest is written by DefineShape4 only (LINESTYLE2).
    Cap startCap = Cap::Round;
    Cap endCap = Cap::Round;
    Join join = Join::Round;
    double miterLimit = 3.0;
    bool noHScale = false;
    bool noVScale = false;
    bool pixelHinting = false;
    bool noClose = false;
    std::optional<FillStyle> fill;  // a filled stroke instead of color

    static LineStyle solid(std::uint16_t width, Rgba color);
};

// Builds the styles and records of a shape from simple paths. Points are absolute (shape
// coordinates); the builder writes the deltas. Style selections and moves are gathered into
// one style-change record before the next edge.
class ShapeBuilder {
  public:
    ShapeBuilder() : groups_(1) {}

    // Adds a style to the current style group; returns its index (from 1) for the setters.
    int addFillStyle(const FillStyle& style);
    int addLineStyle(const LineStyle& style);
    // Starts a new style group (DefineShape2 and later): later styles go to fresh arrays,
    // indices start again from 1.
    ShapeBuilder& newStyleGroup();

    // 0 selects no fill / no line.
    ShapeBuilder& fill0(int index);
    ShapeBuilder& fill1(int index);
    ShapeBuilder& line(int index);

    ShapeBuilder& moveTo(std::int32_t x, std::int32_t y);
    ShapeBuilder& lineTo(std::int32_t x, std::int32_t y);
    ShapeBuilder& curveTo(std::int32_t cx, std::int32_t cy, std::int32_t x, std::int32_t y);

    // Closed figures with the styles selected now; they start with a move.
    ShapeBuilder& rectangle(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h);
    ShapeBuilder& ellipse(std::int32_t cx, std::int32_t cy, std::int32_t rx, std::int32_t ry);
    ShapeBuilder& polygon(const std::vector<Point>& points);

    // Bounds of the edges (control points included), and with half the widest line around.
    Rect edgeBounds() const;
    Rect bounds() const;
    // Overrides the computed bounds (both).
    void setBounds(const Rect& r) { boundsOverride_ = r; }

    // SHAPEWITHSTYLE for DefineShape version 1 to 4.
    Bytes encode(int shapeVersion) const;
    // SHAPE: the records alone (bit counts from the first style group), as glyphs and the
    // edges of morph shapes are stored.
    Bytes encodeRecords(int shapeVersion) const;
    const std::vector<FillStyle>& fillStyles() const { return groups_[0].fills; }
    const std::vector<LineStyle>& lineStyles() const { return groups_[0].lines; }
    bool usesNonScalingStrokes() const;
    bool usesScalingStrokes() const;

  private:
    struct StyleGroup {
        std::vector<FillStyle> fills;
        std::vector<LineStyle> lines;
    };
    struct StyleChange {
        std::optional<Point> moveTo;
        std::optional<int> fill0;
        std::optional<int> fill1;
        std::optional<int> line;
        std::optional<std::size_t> newGroup;  // index into groups_
    };
    struct Straight {
        Point to;
    };
    struct Curve {
        Point control;
        Point to;
    };
    using Record = std::variant<StyleChange, Straight, Curve>;

    StyleChange& pending();
    void flush();
    void writeRecords(BitWriter& out, int shapeVersion) const;
    void extend(Point p);

    std::vector<StyleGroup> groups_;
    std::size_t currentGroup_ = 0;
    std::vector<Record> records_;
    std::optional<StyleChange> pending_;
    std::optional<Rect> extent_;
    std::optional<Rect> boundsOverride_;
};

void writeFillStyle(BitWriter& out, const FillStyle& f, int shapeVersion);

// A font for DefineFont2 (version 2) or DefineFont3 (3, glyph coordinates 20 times finer).
// Glyphs are ShapeBuilders drawn with fill style 1 and no styles added.
struct FontSpec {
    std::string name = "Test";
    int version = 2;
    bool bold = false;
    bool italic = false;
    std::vector<ShapeBuilder> glyphs;
    std::vector<std::uint16_t> codes;  // one per glyph, ascending
    // Layout, written when advances are given (one per glyph).
    std::vector<std::int16_t> advances;
    std::uint16_t ascent = 0;
    std::uint16_t descent = 0;
    std::int16_t leading = 0;
};

struct GlyphEntry {
    std::uint32_t index = 0;
    std::int32_t advance = 0;
};

struct TextRecordSpec {
    std::optional<std::uint16_t> fontId;  // with height
    std::uint16_t height = 240;
    std::optional<Rgba> color;
    std::optional<std::int16_t> x;
    std::optional<std::int16_t> y;
    std::vector<GlyphEntry> glyphs;
};

struct EditTextSpec {
    Rect bounds;
    std::optional<std::uint16_t> fontId;
    std::uint16_t fontHeight = 240;
    std::optional<Rgba> color;
    std::optional<std::string> text;
    bool html = false;
    bool useOutlines = false;
    bool multiline = false;
    bool wordWrap = false;
    bool border = false;
    std::uint8_t align = 0;  // with layout: 0 left, 1 right, 2 centre, 3 justify
    bool layout = false;
    std::uint16_t leftMargin = 0;
    std::uint16_t rightMargin = 0;
    std::int16_t leading = 0;
    std::string variable;
};

struct ButtonRecordSpec {
    std::uint8_t states = 1;  // 1 up, 2 over, 4 down, 8 hit test
    std::uint16_t characterId = 0;
    std::uint16_t depth = 1;
    Matrix matrix;
    std::optional<ColorTransform> colorTransform;  // DefineButton2
};

// Placing a character on the display list (PlaceObject2, or PlaceObject3 for the extra
// fields).
struct PlaceObject {
    std::uint16_t depth = 1;
    std::optional<std::uint16_t> characterId;
    bool move = false;  // modifies what is at depth
    std::optional<Matrix> matrix;
    std::optional<ColorTransform> colorTransform;
    std::optional<std::uint16_t> ratio;
    std::optional<std::string> name;
    std::optional<std::uint16_t> clipDepth;
    // PlaceObject3 only:
    std::optional<std::string> className;
    std::optional<Bytes> filterList;  // FILTERLIST as stored, count byte first
    std::optional<std::uint8_t> blendMode;
    std::optional<bool> cacheAsBitmap;

    // A new character at depth.
    static PlaceObject place(std::uint16_t depth, std::uint16_t characterId,
                             std::optional<Matrix> matrix = std::nullopt);
    // Changes to what is at depth already.
    static PlaceObject modify(std::uint16_t depth, std::optional<Matrix> matrix = std::nullopt);
};

enum class Compression { None, Zlib, Lzma };  // FWS, CWS, ZWS

// SOUNDINFO: how StartSound plays a sound. Positions count 44.1 kHz samples.
struct SoundInfoSpec {
    bool stop = false;
    bool noMultiple = false;
    std::optional<std::uint32_t> inPoint;
    std::optional<std::uint32_t> outPoint;
    std::optional<std::uint16_t> loops;
    struct EnvelopePoint {
        std::uint32_t position44 = 0;
        std::uint16_t left = 32768;
        std::uint16_t right = 32768;
    };
    std::vector<EnvelopePoint> envelope;  // written when not empty
};

void writeSoundInfo(BitWriter& out, const SoundInfoSpec& info);

// The coding of a sound: format number (0 raw native-endian, 1 ADPCM, 2 MP3, 3 raw
// little-endian, 4-6 Nellymoser, 11 Speex), rate code (0 5.5 kHz to 3 44 kHz), sample size,
// channels.
struct SoundFormatSpec {
    std::uint8_t format = 3;
    std::uint8_t rateCode = 3;
    bool sixteenBit = true;
    bool stereo = false;
};

// A timeline's tag stream: the movie's root timeline, or a sprite's.
class Timeline {
  public:
    // Any tag, as is. longHeader forces the 6-byte header on a short body.
    void rawTag(std::uint16_t code, std::span<const std::uint8_t> body, bool longHeader = false);
    void showFrame();
    void frameLabel(const std::string& name, bool namedAnchor = false);
    void placeObject2(const PlaceObject& p);
    void placeObject3(const PlaceObject& p);
    void removeObject2(std::uint16_t depth);
    // PlaceObject (the first version): character, depth, matrix and an optional CXFORM.
    void placeObject1(std::uint16_t characterId, std::uint16_t depth, const Matrix& matrix,
                      std::optional<ColorTransform> colorTransform = std::nullopt);
    void removeObject1(std::uint16_t characterId, std::uint16_t depth);
    // StartSound, or StartSound2 naming an exported sound.
    void startSound(std::uint16_t soundId, const SoundInfoSpec& info = {});
    void startSound2(const std::string& className, const SoundInfoSpec& info = {});
    // SoundStreamHead (version 1) or SoundStreamHead2 (2); the latency is written for MP3.
    void soundStreamHead(const SoundFormatSpec& stream, std::uint16_t samplesPerBlock,
                         int version = 2, std::int16_t latencySeek = 0);
    // SoundStreamBlock with the data as given (for MP3: sample count and seek samples first).
    void soundStreamBlock(std::span<const std::uint8_t> data);
    void videoFrame(std::uint16_t streamId, std::uint16_t frameNum,
                    std::span<const std::uint8_t> data);
    void end();

    // ShowFrame tags written so far.
    int frameCount() const { return frames_; }
    bool ended() const { return ended_; }
    const Bytes& tags() const { return tags_; }

  private:
    Bytes tags_;
    int frames_ = 0;
    bool ended_ = false;
};

class MovieWriter : public Timeline {
  public:
    MovieWriter(std::uint8_t version, const Rect& frameSize, double frameRate);

    std::uint16_t nextCharacterId() { return nextId_++; }
    void setBackgroundColor(Rgba color);
    // DefineShape, DefineShape2, DefineShape3 or DefineShape4; returns the character id.
    std::uint16_t defineShape(const ShapeBuilder& shape, int shapeVersion = 1,
                              std::optional<std::uint16_t> id = std::nullopt,
                              bool longHeader = false);
    // A sprite with the tags of `sprite` (an End is added if it has none).
    std::uint16_t defineSprite(const Timeline& sprite,
                               std::optional<std::uint16_t> id = std::nullopt);
    // DefineMorphShape (version 1) or DefineMorphShape2 (2): styles pair up by index, the
    // end shape holds moves and edges only (one edge for each of the start shape's).
    std::uint16_t defineMorphShape(const ShapeBuilder& start, const ShapeBuilder& end,
                                   int version = 1);
    std::uint16_t defineFont(const FontSpec& font);
    // DefineText (version 1, RGB colours) or DefineText2 (2, RGBA).
    std::uint16_t defineText(const Rect& bounds, const Matrix& matrix,
                             const std::vector<TextRecordSpec>& records, int version = 2);
    std::uint16_t defineEditText(const EditTextSpec& text);
    // DefineButton2 with no actions.
    std::uint16_t defineButton2(const std::vector<ButtonRecordSpec>& records);
    // DefineButton2 with condition actions: each the condition flags as the file orders them
    // (bit 0 IdleToOverUp ... bit 7 IdleToOverDown, bit 8 OverDownToIdle), a key code (0 for
    // none) and action records (End included).
    struct ButtonAction {
        std::uint16_t conditions = 0;
        std::uint8_t key = 0;
        Bytes actions;
    };
    std::uint16_t defineButton2(const std::vector<ButtonRecordSpec>& records,
                                const std::vector<ButtonAction>& actions, bool trackAsMenu = false);
    // DefineBitsLossless2 (format 5) from unpremultiplied 0xAARRGGBB pixels, row by row.
    std::uint16_t defineBitsLossless2(int width, int height,
                                      const std::vector<std::uint32_t>& argb);
    // DefineSound with its data as coded (for MP3: seek samples first).
    std::uint16_t defineSound(const SoundFormatSpec& format, std::uint32_t sampleCount,
                              std::span<const std::uint8_t> data,
                              std::optional<std::uint16_t> id = std::nullopt);
    void exportAssets(const std::vector<std::pair<std::uint16_t, std::string>>& names);
    // DefineButtonSound: a sound id (0 for none) and its info for each of the four changes.
    void defineButtonSound(std::uint16_t buttonId,
                           const std::array<std::pair<std::uint16_t, SoundInfoSpec>, 4>& sounds);
    // DefineVideoStream: codec 2 Sorenson H.263, 3 Screen Video, 4 VP6, 5 VP6 with alpha,
    // 6 Screen Video 2.
    std::uint16_t defineVideoStream(std::uint16_t frameCount, std::uint16_t width,
                                    std::uint16_t height, std::uint8_t codec,
                                    std::uint8_t deblocking = 0, bool smoothing = false);

    struct Output {
        Compression compression = Compression::None;
        // Header fields to write instead of the true ones (to make lying headers).
        std::optional<std::uint32_t> fileLength;
        std::optional<std::uint16_t> frameCount;
        bool endTag = true;  // add an End tag if the timeline has none
    };
    Bytes finish(const Output& output) const;
    Bytes finish() const { return finish(Output{}); }
    // Writes finish(output) to a file; false when it cannot be written.
    bool save(const std::string& path, const Output& output) const;

  private:
    std::uint8_t version_;
    Rect frameSize_;
    double frameRate_;
    std::uint16_t nextId_ = 1;
};

// Compresses an uncompressed (FWS) file as CWS or ZWS, keeping its version and length field.
// Bytes after the first 8 are compressed whatever they hold, so broken files can be made too.
Bytes compressMovie(std::span<const std::uint8_t> fws, Compression compression);

}  // namespace zd::swfwriter
