#include <QFile>
#include <QIcon>
#include <QTest>

#include "resources/Resources.h"

namespace {

// Bits per pixel as the file stores them (BMP info header, or PNG colour type x depth).
int storedBits(const QByteArray& head) {
    if (head.startsWith("BM") && head.size() >= 30) {
        return uchar(head[28]) | (uchar(head[29]) << 8);
    }
    if (head.startsWith("\x89PNG") && head.size() >= 26) {
        const int depth = uchar(head[24]);
        switch (uchar(head[25])) {
            case 2:
                return depth * 3;
            case 6:
                return depth * 4;
            default:
                return depth;
        }
    }
    return -1;
}

QRgb pixelOf(const QImage& image, int x, int y) {
    return image.pixel(x, y) & 0xffffffu;
}

bool near(QRgb a, QColor b, int slack) {
    return qAbs(qRed(a) - b.red()) <= slack && qAbs(qGreen(a) - b.green()) <= slack &&
           qAbs(qBlue(a) - b.blue()) <= slack;
}

}  // namespace

class ArtworkTest : public QObject {
    Q_OBJECT
  private slots:
    void everyFileHasItsSizeAndDepth_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("bits");
        auto add = [](const QString& path, QSize size, int bits) {
            QTest::newRow(qPrintable(path)) << path << size << bits;
        };
        for (int id :
             {102, 103, 104, 105, 106, 107, 108, 116, 117, 118, 119, 120, 121, 128, 129, 130}) {
            add(zd::res::bitmapPath(id), QSize(18, 18), 8);
        }
        for (int id = 122; id <= 127; ++id) {
            add(zd::res::bitmapPath(id), QSize(17, 10), 24);
        }
        for (int id : {131, 132, 134, 135, 136, 137, 140, 141}) {
            add(zd::res::bitmapPath(id), QSize(17, 16), 24);
        }
        add(zd::res::bitmapPath(138), QSize(13, 13), 24);
        add(zd::res::bitmapPath(139), QSize(13, 13), 24);
        add(":/cursors/101.png", QSize(32, 32), 32);
        add(":/icons/zephyrdeck.png", QSize(48, 48), 24);
        add(":/pictures/panel.png", QSize(37, 32), 24);
        add(":/pictures/lock.png", QSize(21, 22), 24);
        add(":/pictures/unlock.png", QSize(20, 21), 24);
        add(":/pictures/options-title.png", QSize(359, 21), 24);
        add(":/pictures/help-page.png", QSize(328, 165), 24);
        add(":/pictures/advanced-skin.png", QSize(209, 236), 24);
        add(":/pictures/about.png", QSize(338, 209), 24);
        add(":/pictures/version.png", QSize(129, 30), 24);
        add(":/skins/xpbutton.bmp", QSize(90, 21), 8);
        add(":/skins/xpcheckbox.bmp", QSize(16, 192), 24);
    }
    void everyFileHasItsSizeAndDepth() {
        QFETCH(QString, path);
        QFETCH(QSize, size);
        QFETCH(int, bits);
        QFile file(path);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
        QCOMPARE(storedBits(file.read(32)), bits);
        const QImage image(path);
        QCOMPARE(image.size(), size);
        switch (bits) {
            case 8:
                QCOMPARE(image.format(), QImage::Format_Indexed8);
                break;
            case 24:
                QVERIFY(!image.hasAlphaChannel());
                break;
            default:
                QVERIFY(image.hasAlphaChannel());
                break;
        }
    }

    void accessorsHandOutThePictures() {
        QCOMPARE(zd::res::bitmap(102).size(), QSize(18, 18));
        QCOMPARE(zd::res::bitmap(141).size(), QSize(17, 16));
        QVERIFY(zd::res::bitmap(133).isNull());  // no such face
        QCOMPARE(zd::res::picture(QStringLiteral("about")).size(), QSize(338, 209));
        QVERIFY(zd::res::picture(QStringLiteral("missing")).isNull());
        QCOMPARE(zd::res::programIconPixmap().size(), QSize(48, 48));
        QVERIFY(zd::res::programIcon().availableSizes().contains(QSize(48, 48)));
        QCOMPARE(zd::res::xpButtonSkin().size(), QSize(90, 21));
        QCOMPARE(zd::res::xpCheckBoxSkin().size(), QSize(16, 192));
    }

    void handCursorPointsWithItsFingertip() {
        const QCursor cursor = zd::res::handCursor();
        QCOMPARE(cursor.shape(), Qt::BitmapCursor);
        QCOMPARE(cursor.hotSpot(), zd::res::handCursorHotSpot());
        const QImage image = cursor.pixmap().toImage();
        const QPoint hot = cursor.hotSpot();
        QVERIFY(qAlpha(image.pixel(hot)) > 0);   // on the finger
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);  // around it, see-through
        for (int y = 0; y < hot.y(); ++y) {      // nothing above the tip
            for (int x = 0; x < 32; ++x) {
                QCOMPARE(qAlpha(image.pixel(x, y)), 0);
            }
        }
    }

    // The cells carry the looks the controls name them by.
    void buttonSkinCellsInOrder() {
        const QImage skin = zd::res::xpButtonSkin().toImage();
        const QColor border(0, 60, 116);
        for (int cell : {0, 1, 3, 4}) {
            QVERIFY(near(pixelOf(skin, cell * 18 + 9, 0), border, 0));
        }
        QVERIFY(near(pixelOf(skin, 2 * 18 + 9, 0), QColor(201, 199, 186), 0));
        QVERIFY(near(pixelOf(skin, 2 * 18 + 9, 10), QColor(245, 244, 234), 0));
        QVERIFY(near(pixelOf(skin, 0 * 18 + 9, 10), QColor(243, 243, 239), 8));
        QVERIFY(near(pixelOf(skin, 1 * 18 + 9, 10), QColor(226, 225, 218), 8));
        QVERIFY(near(pixelOf(skin, 3 * 18 + 9, 1), QColor(255, 240, 207), 0));
        QVERIFY(near(pixelOf(skin, 3 * 18 + 9, 19), QColor(229, 151, 0), 0));
        QVERIFY(near(pixelOf(skin, 4 * 18 + 9, 1), QColor(206, 231, 255), 0));
        QVERIFY(near(pixelOf(skin, 4 * 18 + 9, 19), QColor(105, 130, 238), 0));
    }

    void checkBoxSkinCellsInOrder() {
        const QImage skin = zd::res::xpCheckBoxSkin().toImage();
        auto hasColour = [&](int cell, const QColor& colour, int slack) {
            for (int y = 0; y < 16; ++y) {
                for (int x = 0; x < 16; ++x) {
                    if (near(pixelOf(skin, x, cell * 16 + y), colour, slack)) {
                        return true;
                    }
                }
            }
            return false;
        };
        for (int value = 0; value < 3; ++value) {
            for (int look = 0; look < 3; ++look) {
                QVERIFY(
                    near(pixelOf(skin, 0, (value * 4 + look) * 16 + 8), QColor(31, 80, 128), 0));
            }
            const int disabled = value * 4 + 3;
            QVERIFY(near(pixelOf(skin, 0, disabled * 16 + 8), QColor(207, 207, 191), 0));
            QVERIFY(near(pixelOf(skin, 8, disabled * 16 + 1), Qt::white, 0));
            QVERIFY(hasColour(value * 4 + 1, QColor(255, 223, 159), 0));  // hover frame
            QVERIFY(!hasColour(value * 4, QColor(255, 223, 159), 30));
        }
        for (int cell : {0, 1, 2, 3}) {
            QVERIFY(!hasColour(cell, QColor(32, 160, 32), 40));  // empty boxes
        }
        QVERIFY(hasColour(4, QColor(32, 160, 32), 0));
        QVERIFY(hasColour(5, QColor(32, 160, 32), 0));
        QVERIFY(hasColour(6, QColor(31, 128, 31), 0));
        QVERIFY(hasColour(8, QColor(160, 208, 160), 0));
        QVERIFY(!hasColour(8, QColor(32, 160, 32), 10));
    }
};

QTEST_MAIN(ArtworkTest)
#include "ArtworkTest.moc"
