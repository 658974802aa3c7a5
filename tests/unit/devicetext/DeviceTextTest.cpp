// Text in fonts the movie does not carry, drawn from the system's font outlines.

#include <QGuiApplication>
#include <QtTest>
#include <cmath>

#include "RenderSupport.h"
#include "engine/render/DeviceFonts.h"

using namespace zd::engine;
using namespace zd::test;
namespace w = zd::swfwriter;

namespace {

QByteArray bigEndianTable(std::initializer_list<int> words) {
    QByteArray b;
    for (const int v : words) {
        b.append(static_cast<char>((v >> 8) & 0xff));
        b.append(static_cast<char>(v & 0xff));
    }
    return b;
}

// A "head" table holding only what is read: the em at byte 18.
QByteArray headWithEm(int em) {
    QByteArray b(18, '\0');
    return b + bigEndianTable({em});
}

// A field in the sans device font, as movies name it: a font of that name with no glyphs.
w::EditTextSpec sansField(w::MovieWriter& movie, const std::string& text) {
    w::FontSpec font;
    font.name = "_sans";
    font.version = 3;
    w::EditTextSpec e;
    e.bounds = {0, 2000, 0, 2000};
    e.fontId = movie.defineFont(font);
    e.fontHeight = 400;
    e.color = {0, 0, 0, 255};
    e.text = text;
    return e;
}

bool inked(const QImage& f, int x, int y) {
    return rgb(f, x, y) != rgb(255, 255, 255);
}

}  // namespace

class DeviceTextTest : public QObject {
    Q_OBJECT

  private slots:
    void extentComesFromTheLineMetricsOverTheEm() {
        // version 1.0, ascender 1069, descender -293
        const QByteArray hhea = bigEndianTable({1, 0, 1069, 0x10000 - 293});
        const auto e = horizontalExtent(hhea, headWithEm(1000));
        QVERIFY(e.has_value());
        QCOMPARE(e->ascent, 1.069);
        QCOMPARE(e->descent, 0.293);
        QVERIFY(!horizontalExtent(hhea.left(7), headWithEm(1000)).has_value());
        QVERIFY(!horizontalExtent(hhea, headWithEm(1000).left(19)).has_value());
        QVERIFY(!horizontalExtent(hhea, headWithEm(0)).has_value());
    }

    void fontsAreKeptPerFaceAndStyle() {
        DeviceFonts fonts;
        DeviceFont* sans = fonts.font("_sans", false, false);
        QVERIFY(sans != nullptr);
        QCOMPARE(fonts.font("_sans", false, false), sans);
        QVERIFY(fonts.font("_sans", true, false) != sans);
        QVERIFY(fonts.font("No Such Family Here", false, false) != nullptr);
        QVERIFY(sans->ascent() > 0);
        QVERIFY(sans->descent() > 0);

        const DeviceFont::Glyph* k = sans->glyph(U'K');
        QVERIFY(k != nullptr);
        QCOMPARE(sans->glyph(U'K'), k);
        QVERIFY(!k->outline.isEmpty());
        QVERIFY(!k->polygons.empty());
        // An upright capital stands on the baseline, below the ascent, in 1024 units per em.
        const QRectF box = k->outline.boundingRect();
        QVERIFY(box.bottom() <= 1 && box.bottom() >= -1);
        QVERIFY(-box.top() > 400 && -box.top() < sans->ascent());
        QVERIFY(k->advance > box.width() * 0.9 && k->advance < DeviceFont::kUnitsPerEm);
        const DeviceFont::Glyph* space = sans->glyph(U' ');
        QVERIFY(space != nullptr);
        QVERIFY(space->outline.isEmpty());
        QVERIFY(space->advance > 0);
        QCOMPARE(sans->glyph(U'\U0010FFFD'), nullptr);  // private use: in no font
    }

    void fieldsLayOutDeviceTextLikeEmbeddedText() {
        // Eight I in the sans device font at 20 pixels, aliased: the first baseline lies the
        // gutter plus the ascent floored to twips below the top, and each glyph repeats the
        // first a whole number of pixels further right (fractional advances would drift).
        auto movie = smallMovie();
        movie.placeObject2(
            w::PlaceObject::place(1, movie.defineEditText(sansField(movie, "IIIIIIII"))));
        movie.showFrame();
        Stage stage(movie.finish());
        const QImage f = stage.render();

        DeviceFonts fonts;
        DeviceFont* sans = fonts.font("_sans", false, false);
        QVERIFY(sans != nullptr);
        const DeviceFont::Glyph* i = sans->glyph(U'I');
        QVERIFY(i != nullptr);
        const double scale = 400 / DeviceFont::kUnitsPerEm;
        const double baseline = 40 + std::floor(sans->ascent() * scale);
        const QRectF box = i->outline.boundingRect();
        const int bottomRow =
            static_cast<int>(std::ceil((baseline + box.bottom() * scale) / 20 - 0.5)) - 1;
        const int topRow = static_cast<int>(std::ceil((baseline + box.top() * scale) / 20 - 0.5));
        const int step = static_cast<int>(std::round(i->advance * scale / 20));
        QVERIFY(step > 0);

        auto inkInRow = [&](int y) {
            int n = 0;
            for (int x = 0; x < f.width(); ++x) {
                n += inked(f, x, y) ? 1 : 0;
            }
            return n;
        };
        QVERIFY(inkInRow(bottomRow) > 0);
        QCOMPARE(inkInRow(bottomRow + 1), 0);
        QVERIFY(inkInRow(topRow) > 0);
        QCOMPARE(inkInRow(topRow - 1), 0);
        // Column by column, each I is the first moved by whole advances.
        int firstInk = -1;
        for (int x = 0; x < f.width() && firstInk < 0; ++x) {
            for (int y = topRow; y <= bottomRow && firstInk < 0; ++y) {
                firstInk = inked(f, x, y) ? x : -1;
            }
        }
        QVERIFY(firstInk >= 2);
        for (int k = 1; k < 8; ++k) {
            for (int x = firstInk; x < firstInk + step; ++x) {
                for (int y = topRow; y <= bottomRow; ++y) {
                    QCOMPARE(inked(f, x + k * step, y), inked(f, x, y));
                }
            }
        }
    }

    void antialiasedDeviceTextInksItsGlyphs() {
        auto movie = smallMovie();
        movie.placeObject2(w::PlaceObject::place(1, movie.defineEditText(sansField(movie, "H"))));
        movie.showFrame();
        Stage stage(movie.finish(), true);
        const QImage f = stage.render();
        int dark = 0;
        for (int y = 0; y < 30; ++y) {
            for (int x = 0; x < 30; ++x) {
                dark += qGray(f.pixel(x, y)) < 64 ? 1 : 0;
            }
        }
        QVERIFY(dark > 20);
    }
};

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    DeviceTextTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "DeviceTextTest.moc"
