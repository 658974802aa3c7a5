// Draws every picture of the player and writes it under the resources folder given on the
// command line, checking each file's size and bit depth as written. With --sheet FILE it also
// renders a contact sheet of everything (enlarged) for a look by eye.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontInfo>
#include <QGuiApplication>
#include <QHash>
#include <QPainter>
#include <QTextStream>
#include <cstdio>

#include "ArtKit.h"
#include "Pictures.h"

namespace {

QTextStream& err() {
    static QTextStream stream(stderr);
    return stream;
}

// Indexed pictures get an exact palette; more than 256 colours is an artwork fault to fix.
bool toIndexed(const QImage& source, QImage* out) {
    const QImage rgb = source.convertToFormat(QImage::Format_RGB32);
    QList<QRgb> palette;
    QHash<QRgb, int> index;
    for (int y = 0; y < rgb.height(); ++y) {
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb c = rgb.pixel(x, y);
            if (!index.contains(c)) {
                if (palette.size() == 256) {
                    return false;
                }
                index.insert(c, int(palette.size()));
                palette.append(c);
            }
        }
    }
    QImage indexed(rgb.size(), QImage::Format_Indexed8);
    indexed.setColorTable(palette);
    for (int y = 0; y < rgb.height(); ++y) {
        for (int x = 0; x < rgb.width(); ++x) {
            indexed.setPixel(x, y, uint(index.value(rgb.pixel(x, y))));
        }
    }
    *out = indexed;
    return true;
}

// An 8-bit BMP written by hand: Qt's writer leaves row padding uninitialised, which would make
// every run's files differ.
bool writeIndexedBmp(const QImage& image, const QString& path) {
    const int stride = (image.width() + 3) & ~3;
    const int colours = int(image.colorCount());
    const quint32 dataOffset = 14 + 40 + 4 * colours;
    const quint32 dataSize = quint32(stride) * image.height();
    QByteArray out;
    auto u16 = [&out](quint32 v) {
        out.append(char(v & 0xff));
        out.append(char((v >> 8) & 0xff));
    };
    auto u32 = [&u16](quint32 v) {
        u16(v & 0xffff);
        u16(v >> 16);
    };
    out.append("BM");
    u32(dataOffset + dataSize);
    u32(0);
    u32(dataOffset);
    u32(40);  // BITMAPINFOHEADER
    u32(quint32(image.width()));
    u32(quint32(image.height()));
    u16(1);
    u16(8);
    u32(0);  // uncompressed
    u32(dataSize);
    u32(3780);  // 96 dpi
    u32(3780);
    u32(quint32(colours));
    u32(0);
    for (QRgb c : image.colorTable()) {
        out.append(char(qBlue(c)));
        out.append(char(qGreen(c)));
        out.append(char(qRed(c)));
        out.append(char(0));
    }
    for (int y = image.height() - 1; y >= 0; --y) {
        QByteArray row(reinterpret_cast<const char*>(image.constScanLine(y)), image.width());
        row.append(QByteArray(stride - image.width(), '\0'));
        out.append(row);
    }
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(out) == out.size();
}

// Bits per pixel as stored: the BMP info header's count, or 8 x channels for an 8-bit PNG.
int storedBitsPerPixel(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const QByteArray head = file.read(32);
    if (head.startsWith("BM") && head.size() >= 30) {
        return uchar(head[28]) | (uchar(head[29]) << 8);
    }
    if (head.startsWith("\x89PNG") && head.size() >= 26) {
        const int depth = uchar(head[24]);
        switch (uchar(head[25])) {
            case 0:
                return depth;
            case 2:
                return depth * 3;
            case 3:
                return depth;
            case 4:
                return depth * 2;
            case 6:
                return depth * 4;
        }
    }
    return -1;
}

bool writePicture(const QString& root, const Picture& picture) {
    const QString path = root + QLatin1Char('/') + picture.path;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImage image;
    int bits = 24;
    const char* format = "PNG";
    switch (picture.storage) {
        case Storage::Bmp8:
            if (!toIndexed(picture.image, &image)) {
                err() << picture.path << ": more than 256 colours\n";
                return false;
            }
            bits = 8;
            format = "BMP";
            break;
        case Storage::Bmp24:
            image = picture.image.convertToFormat(QImage::Format_RGB32);
            format = "BMP";
            break;
        case Storage::Png24:
            image = picture.image.convertToFormat(QImage::Format_RGB32);
            break;
        case Storage::Png32:
            image = picture.image.convertToFormat(QImage::Format_ARGB32);
            bits = 32;
            break;
    }
    const bool saved =
        picture.storage == Storage::Bmp8 ? writeIndexedBmp(image, path) : image.save(path, format);
    if (!saved) {
        err() << path << ": cannot write\n";
        return false;
    }
    const QImage back(path);
    const int stored = storedBitsPerPixel(path);
    if (back.size() != picture.image.size() || stored != bits) {
        err() << path << ": wrote " << back.width() << "x" << back.height() << ", " << stored
              << " bits\n";
        return false;
    }
    QTextStream(stdout) << picture.path << "  " << back.width() << "x" << back.height() << "  "
                        << bits << "-bit\n";
    return true;
}

// Every picture enlarged by whole factors (no smoothing), labelled, on a neutral ground.
QImage contactSheet(const QString& root, const std::vector<Picture>& pictures) {
    const int sheetWidth = 1500;
    struct Placed {
        QImage image;
        QString label;
        QRect at;
    };
    std::vector<Placed> placed;
    int x = 12, y = 12, rowHeight = 0;
    for (const Picture& picture : pictures) {
        QImage image(root + QLatin1Char('/') + picture.path);
        const int longest = qMax(image.width(), image.height());
        const int factor = qBound(1, 240 / qMax(1, longest), 8);
        image = image.scaled(image.size() * factor, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        const int cellWidth = qMax(image.width(), 110);
        if (x + cellWidth > sheetWidth - 12) {
            x = 12;
            y += rowHeight + 30;
            rowHeight = 0;
        }
        placed.push_back({image, QStringLiteral("%1 x%2").arg(picture.path).arg(factor),
                          QRect(QPoint(x, y), image.size())});
        x += cellWidth + 16;
        rowHeight = qMax(rowHeight, image.height());
    }
    QImage sheet(sheetWidth, y + rowHeight + 40, QImage::Format_RGB32);
    sheet.fill(QColor(150, 156, 164));
    QPainter p(&sheet);
    p.setFont(artkit::uiFont(11));
    for (const Placed& item : placed) {
        // A checkerboard shows through transparent pixels (the cursor).
        for (int cy = 0; cy < item.at.height(); cy += 8) {
            for (int cx = 0; cx < item.at.width(); cx += 8) {
                const bool dark = ((cx + cy) / 8) % 2;
                p.fillRect(QRect(item.at.left() + cx, item.at.top() + cy, 8, 8),
                           dark ? QColor(200, 200, 200) : QColor(240, 240, 240));
            }
        }
        p.drawImage(item.at.topLeft(), item.image);
        p.setPen(Qt::black);
        p.drawText(QPoint(item.at.left(), item.at.bottom() + 16), item.label);
    }
    return sheet;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty() || args.first().startsWith(QLatin1Char('-'))) {
        err() << "usage: make-artwork RESOURCES_DIR [--sheet FILE.png]\n";
        return 2;
    }
    const QString root = args.first();
    QString sheetPath;
    const qsizetype sheetAt = args.indexOf(QStringLiteral("--sheet"));
    if (sheetAt > 0 && sheetAt + 1 < args.size()) {
        sheetPath = args.at(sheetAt + 1);
    }

    const QFontInfo font(artkit::uiFont(12));
    if (font.family() != QStringLiteral("WenQuanYi Micro Hei")) {
        err() << "the font \"WenQuanYi Micro Hei\" is not installed (got \"" << font.family()
              << "\"); install fonts-wqy-microhei\n";
        return 1;
    }

    const std::vector<Picture> pictures = allPictures();
    bool ok = true;
    for (const Picture& picture : pictures) {
        ok = writePicture(root, picture) && ok;
    }
    if (ok && !sheetPath.isEmpty()) {
        ok = contactSheet(root, pictures).save(sheetPath);
    }
    return ok ? 0 : 1;
}
