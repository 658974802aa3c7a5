#pragma once

// Decoding of the bitmap definition tags into images ready to draw.
//
// Conventions shared by every function here:
// - Input is the tag body AFTER its 2-byte CharacterID (decodeBitmapTag alone takes the whole
//   body, id included). The bytes are borrowed for the call only.
// - Output is a QImage in Format_ARGB32_Premultiplied, or a null QImage when the data cannot
//   give an image (bad signature, unreadable header, size out of bounds, broken zlib before
//   any pixel). Nothing here throws, aborts or reads outside its input.
// - Truncated pixel data still gives an image: a JPEG cut short shows what was decoded (the
//   decoder fills the rest), lossless data cut short leaves the missing pixels zero, a short
//   alpha plane leaves the missing pixels opaque.
// - Images are bounded by kMaxBitmapSide and kMaxBitmapPixels; zlib output never exceeds what
//   the header declares.

#include <QImage>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace zd::engine {

// Larger bitmaps are refused. 16 Mpixel (64 MiB as ARGB32) is the most a movie's bitmap may
// hold in the reference player too, and it keeps a hostile file's cost bounded.
inline constexpr int kMaxBitmapSide = 8192;
inline constexpr std::int64_t kMaxBitmapPixels = std::int64_t{1} << 24;

bool bitmapSizeAllowed(std::int64_t width, std::int64_t height);

enum class ImagePayload { Jpeg, Png, Gif, Unknown };

// Tells the payload of DefineBitsJPEG2/3/4 by its signature. JPEG data may begin with the
// stray EOI+SOI pair that encoders before SWF 8 wrote.
ImagePayload detectImagePayload(std::span<const std::uint8_t> data);

// Rewrites JPEG data as one well-formed stream: a single SOI, every marker segment of the
// parts in order, a single EOI at the end. Mends the stray EOI/SOI pairs of old encoders and
// joins a JPEGTables stream with a DefineBits image. Unparseable remainders are kept as they
// are, for the decoder to judge.
std::vector<std::uint8_t> joinJpegStreams(std::span<const std::uint8_t> first,
                                          std::span<const std::uint8_t> second = {});

// A JPEG stream (optionally preceded by a tables-only stream) through libjpeg. Grayscale,
// colour and CMYK/YCCK images are read; the result is opaque.
QImage decodeJpeg(std::span<const std::uint8_t> data, std::span<const std::uint8_t> tables = {});

// PNG or GIF through Qt's image readers, premultiplied.
QImage decodeQtImage(std::span<const std::uint8_t> data, ImagePayload kind);

// DefineBits (6): JPEG image data sharing the movie's JPEGTables (8) body; tables may be
// empty (some encoders put complete streams in DefineBits).
QImage decodeDefineBits(std::span<const std::uint8_t> data, std::span<const std::uint8_t> tables);

// DefineBitsJPEG2 (21): a complete JPEG, PNG or GIF.
QImage decodeDefineBitsJpeg2(std::span<const std::uint8_t> data);

// DefineBitsJPEG3 (35): UI32 AlphaDataOffset, the image, then a zlib alpha plane of one byte
// per pixel applied to JPEG data (the stored colour is taken as already multiplied by it).
// PNG and GIF payloads keep their own alpha and ignore the plane.
QImage decodeDefineBitsJpeg3(std::span<const std::uint8_t> data);

// DefineBitsJPEG4 (90): like JPEG3 with a UI16 deblocking parameter after the offset, which is
// ignored.
QImage decodeDefineBitsJpeg4(std::span<const std::uint8_t> data);

// DefineBitsLossless (20, withAlpha false) and DefineBitsLossless2 (36, withAlpha true):
// format 3 (colour-mapped, rows padded to 4 bytes), 4 (15-bit, Lossless only) and 5 (24-bit
// xRGB / premultiplied ARGB). Colour-map indices past the table give transparent black.
QImage decodeDefineBitsLossless(std::span<const std::uint8_t> data, bool withAlpha);

// Inflates a zlib stream into at most maxOutput bytes; stops there even if more would come.
// Returns what was inflated (possibly short of maxOutput when the stream ends or breaks).
std::vector<std::uint8_t> inflateBounded(std::span<const std::uint8_t> zlibData,
                                         std::size_t maxOutput);

bool isBitmapTag(std::uint16_t tagCode);

struct BitmapDefinition {
    std::uint16_t characterId = 0;
    QImage image;  // null when the data is bad
};

// Any bitmap definition tag from its whole body (CharacterID first). nullopt when the code is
// not a bitmap tag or the body cannot hold an id. jpegTables: the movie's JPEGTables body,
// used by DefineBits only.
std::optional<BitmapDefinition> decodeBitmapTag(std::uint16_t tagCode,
                                                std::span<const std::uint8_t> body,
                                                std::span<const std::uint8_t> jpegTables = {});

}  // namespace zd::engine
