#include <QCursor>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include "controls/PropertyBag.h"
#include "controls/xpcheckbox.h"
#include "platform/Services.h"

using zd::controls::PropertyBag;
using zd::controls::xpcheckbox;

namespace {

QImage skinCell(int cell) {
    return QImage(QStringLiteral(":/skins/xpcheckbox.bmp"))
        .copy(0, cell * 16, 16, 16)
        .convertToFormat(QImage::Format_RGB32);
}

QImage shownBox(xpcheckbox& box) {
    return box.grab(box.boxRect()).toImage().convertToFormat(QImage::Format_RGB32);
}

bool captionHas(QLabel* label, QRgb colour) {
    const QImage image = label->grab().toImage().convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if ((image.pixel(x, y) & 0xffffff) == (colour & 0xffffff)) {
                return true;
            }
        }
    }
    return false;
}

// A shown check box in a window of its own size, the pointer parked far away and the
// creation-time leave report already delivered.
struct Fixture {
    QWidget window;
    xpcheckbox* box;
    Fixture() {
        QCursor::setPos(QPoint(790, 590));
        window.resize(160, 17);
        box = new xpcheckbox(&window);
        box->setGeometry(0, 0, 160, 17);
        box->setCaption(QStringLiteral("以白色为播放背景"));
        window.show();
    }
    bool ready() {
        return QTest::qWaitForWindowExposed(&window) &&
               QTest::qWaitFor([this] { return !box->isWatchingForLeave(); });
    }
};

}  // namespace

class XpCheckBoxTest : public QObject {
    Q_OBJECT
  private slots:
    void leaveWatchRunsFromCreationAndReportsOnce() {
        QCursor::setPos(QPoint(790, 590));
        xpcheckbox box;
        box.resize(100, 17);
        QSignalSpy outs(&box, &xpcheckbox::MouseOut);
        QVERIFY(box.isWatchingForLeave());
        QTRY_COMPARE(outs.count(), 1);
        QVERIFY(!box.isWatchingForLeave());
        QTest::qWait(60);
        QCOMPARE(outs.count(), 1);
    }

    void clickSeesThePreviousValueThenShowsTheNewCell() {
        Fixture f;
        QVERIFY(f.ready());
        QList<int> seen;
        connect(f.box, &xpcheckbox::Click, [&] { seen << f.box->Value(); });
        QCOMPARE(f.box->currentCell(), 0);

        QTest::mouseClick(f.box, Qt::LeftButton, {}, QPoint(8, 8));
        QCOMPARE(seen, QList<int>({0}));
        QCOMPARE(f.box->Value(), 1);
        QCOMPARE(f.box->currentCell(), 4);
        QCOMPARE(shownBox(*f.box), skinCell(4));

        QTest::mouseMove(f.box, QPoint(60, 8));  // a hover over the caption
        QTRY_COMPARE(f.box->currentCell(), 5);
        QTest::mouseMove(f.box, QPoint(400, 300));
        QTRY_COMPARE(f.box->currentCell(), 4);

        QTest::mouseClick(f.box, Qt::LeftButton, {}, QPoint(100, 8));  // on the caption
        QCOMPARE(seen, QList<int>({0, 1}));
        QCOMPARE(f.box->Value(), 0);
        QCOMPARE(shownBox(*f.box), skinCell(0));
    }

    void pressShowsThePressedCellBeforeMouseDown() {
        Fixture f;
        QVERIFY(f.ready());
        f.box->setValue(2);
        int cellAtMouseDown = -1;
        connect(f.box, &xpcheckbox::MouseDown, [&] { cellAtMouseDown = f.box->currentCell(); });
        QTest::mousePress(f.box, Qt::LeftButton, {}, QPoint(8, 8));
        QCOMPARE(cellAtMouseDown, 10);
        QTest::mouseRelease(f.box, Qt::LeftButton, {}, QPoint(8, 8));
    }

    void mixedBecomesUncheckedNeverChecked() {
        Fixture f;
        QVERIFY(f.ready());
        f.box->setValue(2);
        QCOMPARE(f.box->currentCell(), 8);
        QTest::mouseClick(f.box, Qt::LeftButton, {}, QPoint(8, 8));
        QCOMPARE(f.box->Value(), 0);
        QCOMPARE(f.box->currentCell(), 0);
        QTest::mouseClick(f.box, Qt::LeftButton, {}, QPoint(8, 8));
        QCOMPARE(f.box->Value(), 1);
    }

    void unknownValueIsKeptAndLeavesTheImage() {
        Fixture f;
        QVERIFY(f.ready());
        f.box->setValue(1);
        const QImage before = shownBox(*f.box);
        f.box->setValue(3);
        QCOMPARE(f.box->Value(), 3);
        QCOMPARE(f.box->currentCell(), 4);
        QCOMPARE(shownBox(*f.box), before);
        QSignalSpy clicks(f.box, &xpcheckbox::Click);
        QTest::mouseClick(f.box, Qt::LeftButton, {}, QPoint(8, 8));
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(f.box->Value(), 3);
        QCOMPARE(f.box->currentCell(), 4);
    }

    void releasingElsewhereIsNoClick() {
        Fixture f;
        QVERIFY(f.ready());
        QSignalSpy clicks(f.box, &xpcheckbox::Click);
        QSignalSpy ups(f.box, &xpcheckbox::MouseUp);
        QTest::mousePress(f.box, Qt::LeftButton, {}, QPoint(8, 8));
        QTest::mouseRelease(f.box, Qt::LeftButton, {}, QPoint(300, 8));
        QCOMPARE(ups.count(), 1);
        QCOMPARE(clicks.count(), 0);
        QCOMPARE(f.box->Value(), 0);
        QTest::mouseClick(f.box, Qt::RightButton, {}, QPoint(8, 8));
        QCOMPARE(f.box->Value(), 0);
    }

    void disablingGreysBoxAndCaptionWithoutRecording() {
        Fixture f;
        QVERIFY(f.ready());
        QFont big = f.box->font();
        big.setPixelSize(20);
        big.setBold(true);
        f.box->setFont(big);
        f.box->setCaption(QStringLiteral("HIH"));
        f.box->setForeColor(QColor(200, 0, 0));
        f.box->setValue(1);
        QSignalSpy recorded(f.box, &xpcheckbox::PropertyChanged);

        f.box->setEnabled(false);
        QCOMPARE(f.box->currentCell(), 7);
        QVERIFY(captionHas(f.box->captionLabel(), qRgb(161, 161, 146)));
        QVERIFY(!captionHas(f.box->captionLabel(), qRgb(200, 0, 0)));
        f.box->setEnabled(true);
        QCOMPARE(f.box->currentCell(), 4);
        QVERIFY(captionHas(f.box->captionLabel(), qRgb(200, 0, 0)));
        QVERIFY(!recorded.contains(QVariantList{QStringLiteral("Enabled")}));
    }

    void keysNeverToggle() {
        Fixture f;
        QVERIFY(f.ready());
        f.box->setFocus();
        QSignalSpy downs(f.box, &xpcheckbox::KeyDown);
        QSignalSpy presses(f.box, &xpcheckbox::KeyPress);
        QSignalSpy ups(f.box, &xpcheckbox::KeyUp);
        QSignalSpy clicks(f.box, &xpcheckbox::Click);
        QTest::keyClick(f.box, Qt::Key_Space);
        QTest::keyClick(f.box, Qt::Key_Return);
        QTest::keyClick(f.box, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(downs.count(), 3);
        QCOMPARE(presses.count(), 3);
        QCOMPARE(ups.count(), 3);
        QCOMPARE(downs.at(0).at(0).value<qint16>(), qint16(32));
        QCOMPARE(downs.at(1).at(0).value<qint16>(), qint16(13));
        QCOMPARE(clicks.count(), 0);
        QCOMPARE(f.box->Value(), 0);
        QCOMPARE(f.box->currentCell(), 0);
    }

    void layoutPutsBoxLeftAndCaptionAt480Twips() {
        QWidget window;
        auto* box = new xpcheckbox(&window);
        box->setCaption(QStringLiteral("由下到上"));
        box->resize(97, 40);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const double twips = zd::platform::screenMetrics().twipsPerPixelY;
        QCOMPARE(box->boxRect().left(), 0);
        QCOMPARE(box->boxRect().width(), qRound(240 / twips));
        QVERIFY(qAbs(box->boxRect().center().y() - 19) <= 1);
        QLabel* label = box->captionLabel();
        QCOMPARE(label->x(), qRound(480 / twips));
        QVERIFY(qAbs(label->geometry().center().y() - 19) <= 1);
    }

    void storedPropertiesInTheirOrder() {
        QWidget form;
        auto* saved = new xpcheckbox(&form);
        saved->setObjectName(QStringLiteral("Check1"));
        QCOMPARE(saved->Caption(), QStringLiteral("Check1"));
        PropertyBag untouched;
        saved->writeProperties(untouched);
        QVERIFY(untouched.names().isEmpty());

        QFont font = saved->font();
        font.setPixelSize(17);
        saved->setForeColor(QColor(1, 2, 3));
        saved->setBackColor(QColor(224, 224, 224));
        saved->setEnabled(false);
        saved->setCaption(QStringLiteral("由下到上"));
        saved->setValue(2);
        saved->setFont(font);
        PropertyBag bag;
        saved->writeProperties(bag);
        QCOMPARE(bag.names(),
                 QStringList({"Font", "Value", "Caption", "Enabled", "BackColor", "ForeColor"}));

        auto* loaded = new xpcheckbox(&form);
        loaded->setObjectName(QStringLiteral("Check1"));
        loaded->readProperties(bag);
        QCOMPARE(loaded->Value(), 2);
        QCOMPARE(loaded->Caption(), QStringLiteral("由下到上"));
        QVERIFY(!loaded->isEnabled());
        QCOMPARE(loaded->currentCell(), 11);
        QCOMPARE(loaded->font().pixelSize(), 17);
        QCOMPARE(loaded->BackColor(), QColor(224, 224, 224));
        QCOMPARE(loaded->palette().color(QPalette::Window), QColor(224, 224, 224));
        QCOMPARE(loaded->ForeColor(), QColor(1, 2, 3));
    }
};

QTEST_MAIN(XpCheckBoxTest)
#include "XpCheckBoxTest.moc"
