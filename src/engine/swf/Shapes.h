#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/swf/Records.h"

namespace zd::engine {

class ByteReader;

// A shape may hold at most this many edges; a hostile one is cut there (what was read is kept).
inline constexpr std::size_t kMaxShapeEdges = 500000;

struct GradientRecord {
    std::uint8_t ratio = 0;
    Rgba color;
    bool operator==(const GradientRecord&) const = default;
};

struct Gradient {
    enum Spread : std::uint8_t { Pad = 0, Reflect = 1, Repeat = 2 };
    std::uint8_t spread = Pad;
    bool linearRgb = false;
    std::vector<GradientRecord> records;
    double focalPoint = 0.0;  // -1..1, focal gradients only
};

struct FillStyle {
    enum Type : std::uint8_t {
        Solid = 0x00,
        LinearGradient = 0x10,
        RadialGradient = 0x12,
        FocalGradient = 0x13,
        RepeatingBitmap = 0x40,
        ClippedBitmap = 0x41,
        HardRepeatingBitmap = 0x42,
        HardClippedBitmap = 0x43,
    };
    std::uint8_t type = Solid;
    Rgba color;
    Matrix matrix;  // gradient or bitmap matrix
    Gradient gradient;
    std::uint16_t bitmapId = 0;

    bool isGradient() const { return type >= LinearGradient && type <= FocalGradient; }
    bool isBitmap() const { return type >= RepeatingBitmap && type <= HardClippedBitmap; }
    bool bitmapRepeats() const { return type == RepeatingBitmap || type == HardRepeatingBitmap; }
    bool bitmapSmoothed() const { return type == RepeatingBitmap || type == ClippedBitmap; }
};

struct LineStyle {
    enum Cap : std::uint8_t { RoundCap = 0, NoCap = 1, SquareCap = 2 };
    enum Join : std::uint8_t { RoundJoin = 0, BevelJoin = 1, MiterJoin = 2 };
    std::uint16_t width = 0;  // twips; 0 is a hairline
    Rgba color;
    std::uint8_t startCap = RoundCap;
    std::uint8_t endCap = RoundCap;
    std::uint8_t join = RoundJoin;
    double miterLimit = 3.0;
    bool noHScale = false;
    bool noVScale = false;
    bool pixelHinting = false;
    bool noClose = false;
    std::optional<FillStyle> fill;  // a stroke filled with a gradient or bitmap
};

struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
    bool operator==(const Point&) const = default;
};

// One shape record with absolute coordinates: a style change (which may move the pen and may
// bring new style arrays) or an edge from the pen position.
struct ShapeRecord {
    enum Kind : std::uint8_t { StyleChange, Straight, Curved };
    Kind kind = StyleChange;
    // StyleChange
    std::optional<Point> moveTo;
    std::optional<std::uint32_t> fill0;
    std::optional<std::uint32_t> fill1;
    std::optional<std::uint32_t> line;
    std::optional<std::uint32_t> newStyles;  // index into ShapeDefinition::styleGroups
    // Edges
    Point control;  // curved only
    Point to;
};

struct StyleGroup {
    std::vector<FillStyle> fills;
    std::vector<LineStyle> lines;
};

// DefineShape 1-4, a glyph, or one state of a morph: its style groups (the first is the
// shape's own arrays, later ones come from style changes) and its records.
struct ShapeDefinition {
    Rect bounds;
    Rect edgeBounds;
    bool windingRule = false;  // nonzero instead of even-odd
    std::vector<StyleGroup> styleGroups;
    std::vector<ShapeRecord> records;
    bool truncated = false;  // damaged or cut at the edge limit
};

// Reads a FILLSTYLE / LINESTYLE(2) array. shapeVersion 1-4 selects the format.
void readFillStyles(ByteReader& in, int shapeVersion, std::vector<FillStyle>& out);
void readLineStyles(ByteReader& in, int shapeVersion, std::vector<LineStyle>& out);
FillStyle readFillStyle(ByteReader& in, int shapeVersion);

// The body of DefineShape 1-4 after the character id.
ShapeDefinition parseShape(ByteReader& in, int shapeVersion);
// The SHAPE records of a glyph (no style arrays: fill style 1 is the text colour).
ShapeDefinition parseGlyph(ByteReader& in);
// Reads the records that follow the style arrays; group 0 must already be in out.
void readShapeRecords(ByteReader& in, int shapeVersion, ShapeDefinition& out);

// DefineMorphShape 1/2: both ends share styles and edges pairwise.
struct MorphFill {
    FillStyle start;
    FillStyle end;
};
struct MorphLine {
    LineStyle start;
    LineStyle end;
};
struct MorphShapeDefinition {
    Rect startBounds;
    Rect endBounds;
    std::vector<MorphFill> fills;
    std::vector<MorphLine> lines;
    ShapeDefinition startEdges;  // styles unused: the records only
    ShapeDefinition endEdges;
};

// The body of DefineMorphShape (version 1) or DefineMorphShape2 (2) after the character id.
MorphShapeDefinition parseMorphShape(ByteReader& in, int version);

// The shape at ratio (0..65535): styles and edges interpolated between both ends.
ShapeDefinition morphAt(const MorphShapeDefinition& morph, std::uint16_t ratio);

}  // namespace zd::engine
