#include "engine/swf/BitmapDecoder.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <zlib.h>

#include "engine/swf/ByteReader.h"
#include "engine/swf/TagCodes.h"

namespace zd::engine {

namespace {

constexpr std::uint8_t kPngSignature[] = {0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a};
// A progressive JPEG may have any number of scans; real ones have about ten.
constexpr int kMaxJpegScans = 1000;

bool startsWith(std::span<const std::uint8_t> data, std::span<const std::uint8_t> prefix) {
    return data.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), data.begin());
}

void append(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> part) {
    out.insert(out.end(), part.begin(), part.end());
}

bool isStandaloneMarker(std::uint8_t m) {
    return m == 0x01 || (m >= 0xd0 && m <= 0xd7);
}

// Copies the marker segments of one stream into out, dropping SOI after the first and every
// EOI. Returns false once the rest was copied unparsed.
void copyJpegSegments(std::span<const std::uint8_t> s, std::vector<std::uint8_t>& out,
                      bool& sawSoi) {
    std::size_t i = 0;
    const std::size_t n = s.size();
    while (i + 1 < n) {
        if (s[i] != 0xff) {
            break;
        }
        const std::uint8_t m = s[i + 1];
        if (m == 0xff) {  // fill byte before a marker
            ++i;
            continue;
        }
        if (m == 0xd8) {
            if (!sawSoi) {
                out.push_back(0xff);
                out.push_back(0xd8);
                sawSoi = true;
            }
            i += 2;
            continue;
        }
        if (m == 0xd9) {
            i += 2;
            continue;
        }
        if (isStandaloneMarker(m)) {
            append(out, s.subspan(i, 2));
            i += 2;
            continue;
        }
        if (n - i < 4) {
            break;
        }
        const std::size_t length = std::size_t{s[i + 2]} << 8 | s[i + 3];
        if (length < 2 || length > n - i - 2) {
            break;
        }
        append(out, s.subspan(i, 2 + length));
        i += 2 + length;
        if (m == 0xda) {
            // Entropy-coded data runs to the next marker that is not a stuffed zero or restart.
            std::size_t j = i;
            while (j + 1 < n) {
                const std::uint8_t next = s[j + 1];
                if (s[j] == 0xff && next != 0x00 && next != 0xff && !isStandaloneMarker(next)) {
                    break;
                }
                ++j;
            }
            if (j + 1 >= n) {
                break;
            }
            append(out, s.subspan(i, j - i));
            i = j;
        }
    }
    append(out, s.subspan(std::min(i, n)));
}

struct JpegErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void jpegErrorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    std::longjmp(err->jump, 1);
}

void jpegSilentMessage(j_common_ptr, int) {}
void jpegSilentOutput(j_common_ptr) {}

void jpegProgress(j_common_ptr cinfo) {
    if (cinfo->is_decompressor) {
        auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
        if (d->input_scan_number > kMaxJpegScans) {
            cinfo->err->error_exit(cinfo);
        }
    }
}

std::uint8_t mul255(unsigned a, unsigned b) {
    const unsigned t = a * b + 128;
    return static_cast<std::uint8_t>((t + (t >> 8)) >> 8);
}

// The libjpeg part, kept free of objects with destructors: error_exit jumps back here.
bool runJpeg(const std::vector<std::uint8_t>& stream, QImage& image) {
    jpeg_decompress_struct cinfo;
    JpegErrorManager err;
    jpeg_progress_mgr progress;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = jpegErrorExit;
    err.pub.emit_message = jpegSilentMessage;
    err.pub.output_message = jpegSilentOutput;
    progress.progress_monitor = jpegProgress;
    // Scanline buffer for CMYK output; malloc'd so a jump out leaks nothing we cannot free.
    JSAMPLE* volatile row = nullptr;
    volatile JDIMENSION rowsDone = 0;

    if (setjmp(err.jump)) {
        std::free(row);
        jpeg_destroy_decompress(&cinfo);
        // Rows already decoded stay: a stream that broke after its header is a truncated image.
        return !image.isNull() && rowsDone > 0;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.progress = &progress;
    jpeg_mem_src(&cinfo, stream.data(), static_cast<unsigned long>(stream.size()));
    jpeg_read_header(&cinfo, TRUE);
    if (!bitmapSizeAllowed(cinfo.image_width, cinfo.image_height)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    jpeg_start_decompress(&cinfo);
    image = QImage(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height),
                   QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    // Parts a truncated stream never reaches show grey, as libjpeg fills them.
    image.fill(0xff808080u);
    if (cmyk) {
        row = static_cast<JSAMPLE*>(std::malloc(std::size_t{cinfo.output_width} * 4));
        if (row == nullptr) {
            jpeg_destroy_decompress(&cinfo);
            return false;
        }
    }
    // Adobe's encoders store CMYK inverted.
    const bool inverted = cinfo.saw_Adobe_marker;
    while (cinfo.output_scanline < cinfo.output_height) {
        auto* line = image.scanLine(static_cast<int>(cinfo.output_scanline));
        if (!cmyk) {
            JSAMPROW rows[1] = {line};
            jpeg_read_scanlines(&cinfo, rows, 1);
            rowsDone = cinfo.output_scanline;
            continue;
        }
        JSAMPROW rows[1] = {row};
        jpeg_read_scanlines(&cinfo, rows, 1);
        auto* px = reinterpret_cast<QRgb*>(line);
        for (JDIMENSION x = 0; x < cinfo.output_width; ++x) {
            unsigned c = row[x * 4], m = row[x * 4 + 1], y = row[x * 4 + 2], k = row[x * 4 + 3];
            if (!inverted) {
                c = 255 - c;
                m = 255 - m;
                y = 255 - y;
                k = 255 - k;
            }
            px[x] = qRgb(mul255(c, k), mul255(m, k), mul255(y, k));
        }
        rowsDone = cinfo.output_scanline;
    }
    std::free(row);
    row = nullptr;
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

// Stored colour that is already premultiplied; clamped so the image stays valid whatever the
// file holds.
QRgb clampPremultiplied(unsigned r, unsigned g, unsigned b, unsigned a) {
    return qRgba(std::min(r, a), std::min(g, a), std::min(b, a), a);
}

QImage decodeJpegWithAlpha(std::span<const std::uint8_t> data, bool deblock) {
    ByteReader in(data);
    const std::uint32_t alphaOffset = in.u32();
    if (deblock) {
        in.u16();
    }
    if (!in.ok()) {
        return {};
    }
    // An offset past the end is taken as "no alpha plane" rather than failing the image.
    const std::size_t imageSize = std::min<std::size_t>(alphaOffset, in.remaining());
    const auto imageData = in.bytes(imageSize);
    const auto alphaData = data.subspan(in.position());
    const ImagePayload kind = detectImagePayload(imageData);
    if (kind == ImagePayload::Png || kind == ImagePayload::Gif) {
        return decodeQtImage(imageData, kind);
    }
    QImage image = decodeJpeg(imageData);
    if (image.isNull() || alphaData.empty()) {
        return image;
    }
    const auto pixels = static_cast<std::size_t>(image.width()) * image.height();
    const auto alpha = inflateBounded(alphaData, pixels);
    if (alpha.empty()) {
        return image;
    }
    std::size_t i = 0;
    for (int y = 0; y < image.height(); ++y) {
        auto* px = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width() && i < alpha.size(); ++x, ++i) {
            const QRgb c = px[x];
            px[x] = clampPremultiplied(qRed(c), qGreen(c), qBlue(c), alpha[i]);
        }
    }
    return image;
}

}  // namespace

bool bitmapSizeAllowed(std::int64_t width, std::int64_t height) {
    return width > 0 && height > 0 && width <= kMaxBitmapSide && height <= kMaxBitmapSide &&
           width * height <= kMaxBitmapPixels;
}

ImagePayload detectImagePayload(std::span<const std::uint8_t> data) {
    static constexpr std::uint8_t gif89[] = {'G', 'I', 'F', '8', '9', 'a'};
    static constexpr std::uint8_t gif87[] = {'G', 'I', 'F', '8', '7', 'a'};
    static constexpr std::uint8_t soi[] = {0xff, 0xd8};
    static constexpr std::uint8_t straySoi[] = {0xff, 0xd9, 0xff, 0xd8};
    if (startsWith(data, kPngSignature)) {
        return ImagePayload::Png;
    }
    if (startsWith(data, gif89) || startsWith(data, gif87)) {
        return ImagePayload::Gif;
    }
    if (startsWith(data, soi) || startsWith(data, straySoi)) {
        return ImagePayload::Jpeg;
    }
    return ImagePayload::Unknown;
}

std::vector<std::uint8_t> joinJpegStreams(std::span<const std::uint8_t> first,
                                          std::span<const std::uint8_t> second) {
    std::vector<std::uint8_t> out;
    out.reserve(first.size() + second.size() + 4);
    bool sawSoi = false;
    copyJpegSegments(first, out, sawSoi);
    copyJpegSegments(second, out, sawSoi);
    out.push_back(0xff);
    out.push_back(0xd9);
    return out;
}

QImage decodeJpeg(std::span<const std::uint8_t> data, std::span<const std::uint8_t> tables) {
    if (data.empty()) {
        return {};
    }
    const auto stream = joinJpegStreams(tables, data);
    QImage image;
    if (!runJpeg(stream, image)) {
        return {};
    }
    return image;
}

QImage decodeQtImage(std::span<const std::uint8_t> data, ImagePayload kind) {
    if (kind != ImagePayload::Png && kind != ImagePayload::Gif) {
        return {};
    }
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data.data()),
                                               static_cast<qsizetype>(data.size()));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, kind == ImagePayload::Png ? "png" : "gif");
    const QSize size = reader.size();
    if (!size.isValid() || !bitmapSizeAllowed(size.width(), size.height())) {
        return {};
    }
    QImage image = reader.read();
    if (image.isNull() || !bitmapSizeAllowed(image.width(), image.height())) {
        return {};
    }
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage decodeDefineBits(std::span<const std::uint8_t> data, std::span<const std::uint8_t> tables) {
    return decodeJpeg(data, tables);
}

QImage decodeDefineBitsJpeg2(std::span<const std::uint8_t> data) {
    const ImagePayload kind = detectImagePayload(data);
    if (kind == ImagePayload::Png || kind == ImagePayload::Gif) {
        return decodeQtImage(data, kind);
    }
    return decodeJpeg(data);
}

QImage decodeDefineBitsJpeg3(std::span<const std::uint8_t> data) {
    return decodeJpegWithAlpha(data, false);
}

QImage decodeDefineBitsJpeg4(std::span<const std::uint8_t> data) {
    return decodeJpegWithAlpha(data, true);
}

std::vector<std::uint8_t> inflateBounded(std::span<const std::uint8_t> zlibData,
                                         std::size_t maxOutput) {
    std::vector<std::uint8_t> out(maxOutput);
    if (maxOutput == 0 || zlibData.empty()) {
        return {};
    }
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK) {
        return {};
    }
    std::size_t inUsed = 0;
    std::size_t outUsed = 0;
    // zlib counts in uInt; feed and drain in slices so any size works.
    constexpr std::size_t kSlice = 1u << 30;
    for (;;) {
        if (zs.avail_in == 0 && inUsed < zlibData.size()) {
            const std::size_t take = std::min(kSlice, zlibData.size() - inUsed);
            zs.next_in = const_cast<Bytef*>(zlibData.data() + inUsed);
            zs.avail_in = static_cast<uInt>(take);
            inUsed += take;
        }
        const std::size_t room = std::min(kSlice, maxOutput - outUsed);
        zs.next_out = out.data() + outUsed;
        zs.avail_out = static_cast<uInt>(room);
        const int rc = inflate(&zs, Z_NO_FLUSH);
        const std::size_t produced = room - zs.avail_out;
        outUsed += produced;
        if (rc == Z_STREAM_END || outUsed == maxOutput) {
            break;
        }
        if (rc != Z_OK || (produced == 0 && zs.avail_in == 0 && inUsed == zlibData.size())) {
            break;  // broken stream, or input ran out
        }
    }
    inflateEnd(&zs);
    out.resize(outUsed);
    return out;
}

QImage decodeDefineBitsLossless(std::span<const std::uint8_t> data, bool withAlpha) {
    ByteReader in(data);
    const std::uint8_t format = in.u8();
    const int width = in.u16();
    const int height = in.u16();
    if (!in.ok() || !bitmapSizeAllowed(width, height)) {
        return {};
    }
    std::size_t tableEntries = 0;
    std::size_t rowBytes = 0;
    const std::size_t entryBytes = withAlpha ? 4 : 3;
    switch (format) {
        case 3:
            tableEntries = std::size_t{in.u8()} + 1;
            rowBytes = (static_cast<std::size_t>(width) + 3) & ~std::size_t{3};
            break;
        case 4:
            if (withAlpha) {
                return {};
            }
            rowBytes = (static_cast<std::size_t>(width) * 2 + 3) & ~std::size_t{3};
            break;
        case 5:
            rowBytes = static_cast<std::size_t>(width) * 4;
            break;
        default:
            return {};
    }
    if (!in.ok()) {
        return {};
    }
    const std::size_t tableBytes = tableEntries * entryBytes;
    const auto raw = inflateBounded(data.subspan(in.position()),
                                    tableBytes + rowBytes * static_cast<std::size_t>(height));
    if (raw.size() < tableBytes || raw.size() == 0) {
        return {};
    }
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        return {};
    }
    // Missing pixels stay zero: transparent where alpha is stored, black otherwise.
    image.fill(withAlpha ? 0u : 0xff000000u);

    QRgb palette[256] = {};
    for (std::size_t i = 0; i < tableEntries; ++i) {
        const std::uint8_t* e = raw.data() + i * entryBytes;
        // Lossless2 colour maps are premultiplied like its ARGB pixels (real movies show it:
        // their translucent entries keep one hue at every alpha).
        palette[i] =
            withAlpha ? clampPremultiplied(e[0], e[1], e[2], e[3]) : qRgb(e[0], e[1], e[2]);
    }
    const std::uint8_t* pixels = raw.data() + tableBytes;
    const std::size_t pixelBytes = raw.size() - tableBytes;
    for (int y = 0; y < height; ++y) {
        const std::size_t rowStart = static_cast<std::size_t>(y) * rowBytes;
        if (rowStart >= pixelBytes) {
            break;
        }
        const std::uint8_t* row = pixels + rowStart;
        const std::size_t avail = std::min(rowBytes, pixelBytes - rowStart);
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const auto ux = static_cast<std::size_t>(x);
            if (format == 3) {
                if (ux >= avail) {
                    break;
                }
                // Indices past the table stay transparent black (palette is zeroed beyond).
                const QRgb c = row[ux] < tableEntries ? palette[row[ux]] : 0u;
                out[x] = c;
            } else if (format == 4) {
                if (ux * 2 + 2 > avail) {
                    break;
                }
                const unsigned v = unsigned{row[ux * 2]} << 8 | row[ux * 2 + 1];
                const unsigned r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
                out[x] = qRgb((r << 3) | (r >> 2), (g << 3) | (g >> 2), (b << 3) | (b >> 2));
            } else {
                if (ux * 4 + 4 > avail) {
                    break;
                }
                const std::uint8_t* p = row + ux * 4;
                out[x] =
                    withAlpha ? clampPremultiplied(p[1], p[2], p[3], p[0]) : qRgb(p[1], p[2], p[3]);
            }
        }
    }
    return image;
}

bool isBitmapTag(std::uint16_t tagCode) {
    switch (static_cast<TagCode>(tagCode)) {
        case TagCode::DefineBits:
        case TagCode::DefineBitsJPEG2:
        case TagCode::DefineBitsJPEG3:
        case TagCode::DefineBitsJPEG4:
        case TagCode::DefineBitsLossless:
        case TagCode::DefineBitsLossless2:
            return true;
        default:
            return false;
    }
}

std::optional<BitmapDefinition> decodeBitmapTag(std::uint16_t tagCode,
                                                std::span<const std::uint8_t> body,
                                                std::span<const std::uint8_t> jpegTables) {
    if (!isBitmapTag(tagCode) || body.size() < 2) {
        return std::nullopt;
    }
    BitmapDefinition def;
    def.characterId = static_cast<std::uint16_t>(body[0] | body[1] << 8);
    const auto data = body.subspan(2);
    switch (static_cast<TagCode>(tagCode)) {
        case TagCode::DefineBits:
            def.image = decodeDefineBits(data, jpegTables);
            break;
        case TagCode::DefineBitsJPEG2:
            def.image = decodeDefineBitsJpeg2(data);
            break;
        case TagCode::DefineBitsJPEG3:
            def.image = decodeDefineBitsJpeg3(data);
            break;
        case TagCode::DefineBitsJPEG4:
            def.image = decodeDefineBitsJpeg4(data);
            break;
        case TagCode::DefineBitsLossless:
            def.image = decodeDefineBitsLossless(data, false);
            break;
        default:
            def.image = decodeDefineBitsLossless(data, true);
            break;
    }
    return def;
}

}  // namespace zd::engine
