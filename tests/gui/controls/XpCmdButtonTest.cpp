#include <QCursor>
#include <QLabel>
#include <QMetaMethod>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include "controls/PropertyBag.h"
#include "controls/xpcmdbutton.h"
#include "resources/Resources.h"

using zd::controls::PropertyBag;
using zd::controls::xpcmdbutton;

namespace {

// Where a face pixel comes from in its 18 x 21 cell: unscaled 3-pixel borders, the middle
// stretched (nearest neighbour, so allow the neighbouring source row or column).
int sourceCoordinate(int d, int size, int cellSize) {
    if (d < 3) {
        return d;
    }
    if (d >= size - 3) {
        return cellSize - 3 + (d - (size - 3));
    }
    return 3 + int((d - 3 + 0.5) * (cellSize - 6) / double(size - 6));
}

bool inMiddle(int d, int size) {
    return d >= 3 && d < size - 3;
}

QString faceMismatch(const QImage& face, const QImage& skin, int cell) {
    for (int y = 0; y < face.height(); ++y) {
        for (int x = 0; x < face.width(); ++x) {
            const int sx = sourceCoordinate(x, face.width(), 18);
            const int sy = sourceCoordinate(y, face.height(), 21);
            const int slackX = inMiddle(x, face.width()) ? 1 : 0;
            const int slackY = inMiddle(y, face.height()) ? 1 : 0;
            bool found = false;
            for (int dy = -slackY; dy <= slackY && !found; ++dy) {
                for (int dx = -slackX; dx <= slackX && !found; ++dx) {
                    const int cx = qBound(0, sx + dx, 17);
                    const int cy = qBound(0, sy + dy, 20);
                    found = face.pixel(x, y) == skin.pixel(cell * 18 + cx, cy);
                }
            }
            if (!found) {
                return QStringLiteral("pixel (%1,%2) is %3, source (%4,%5) is %6")
                    .arg(x)
                    .arg(y)
                    .arg(face.pixel(x, y), 0, 16)
                    .arg(sx)
                    .arg(sy)
                    .arg(skin.pixel(cell * 18 + sx, sy), 0, 16);
            }
        }
    }
    return {};
}

QSet<QRgb> colours(const QImage& image) {
    QSet<QRgb> out;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            out.insert(image.pixel(x, y) | 0xff000000u);
        }
    }
    return out;
}

// A 100 x 30 button filling a window of its own, so a pointer off the button is off every
// window and reaches nothing.
struct ShownButton {
    QWidget window;
    xpcmdbutton* button = new xpcmdbutton(&window);
    ShownButton() {
        window.resize(100, 30);
        button->setGeometry(0, 0, 100, 30);
        window.show();
    }
    bool exposed() { return QTest::qWaitForWindowExposed(&window); }
};

}  // namespace

class XpCmdButtonTest : public QObject {
    Q_OBJECT
  private slots:
    void init() { QCursor::setPos(QPoint(790, 590)); }

    void eventsAreDeclaredInBindingOrder() {
        const QMetaObject* meta = &zd::controls::XpControl::staticMetaObject;
        QStringList signalNames;
        for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
            if (meta->method(i).methodType() == QMetaMethod::Signal) {
                signalNames << QString::fromLatin1(meta->method(i).methodSignature());
            }
        }
        const QStringList expected = {
            "Click()",
            "KeyDown(short,short)",
            "KeyPress(short)",
            "KeyUp(short,short)",
            "MouseOut()",
            "MouseDown(short,short,float,float)",
            "MouseMove(short,short,float,float)",
            "MouseUp(short,short,float,float)",
        };
        QCOMPARE(signalNames.mid(0, 8), expected);
    }

    // A 100 x 30 face: corners unscaled, edges and the 12 x 15 centre stretched to 94 x 24.
    void nineSlicePaintsEveryPixelFromTheCell_data() {
        QTest::addColumn<int>("state");
        QTest::addColumn<int>("cell");
        QTest::addColumn<QSize>("size");
        QTest::newRow("normal 100x30") << 0 << 0 << QSize(100, 30);
        QTest::newRow("default 100x30") << 1 << 4 << QSize(100, 30);
        QTest::newRow("normal at cell size") << 0 << 0 << QSize(18, 21);
        QTest::newRow("default 49x17") << 1 << 4 << QSize(49, 17);
    }
    void nineSlicePaintsEveryPixelFromTheCell() {
        QFETCH(int, state);
        QFETCH(int, cell);
        QFETCH(QSize, size);
        const QImage skin =
            QImage(QStringLiteral(":/skins/xpbutton.bmp")).convertToFormat(QImage::Format_RGB32);
        QVERIFY(!skin.isNull());
        xpcmdbutton button;
        button.setCaption(QString());
        button.setState(state);
        button.resize(size);
        QCOMPARE(button.currentFace(), cell);
        const QImage face = button.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(face.size(), size);
        const QString mismatch = faceMismatch(face, skin, cell);
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
        // The corners are the cell's own pixels, exactly.
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 3; ++x) {
                QCOMPARE(face.pixel(x, y), skin.pixel(cell * 18 + x, y));
                QCOMPARE(face.pixel(size.width() - 3 + x, size.height() - 3 + y),
                         skin.pixel(cell * 18 + 15 + x, 18 + y));
            }
        }
    }

    void faceFollowsHoverPressAndLeave() {
        ShownButton shown;
        QVERIFY(shown.exposed());
        xpcmdbutton* button = shown.button;
        QSignalSpy moves(button, &xpcmdbutton::MouseMove);
        QSignalSpy outs(button, &xpcmdbutton::MouseOut);

        QTest::mouseMove(button, QPoint(40, 12));  // moves the pointer: a real hover
        QTRY_COMPARE(button->currentFace(), 3);
        QCOMPARE(moves.count(), 1);
        QCOMPARE(moves.at(0).at(0).value<qint16>(), qint16(0));
        QVERIFY(button->isWatchingForLeave());

        QTest::mouseMove(button, QPoint(300, 200));  // off the window
        QTRY_COMPARE(outs.count(), 1);
        QCOMPARE(button->currentFace(), 0);
        QVERIFY(!button->isWatchingForLeave());
        QCOMPARE(moves.count(), 1);
    }

    void pressAndDragOutRaisesNoMoveAndMouseOutRestoresRestingFace() {
        ShownButton shown;
        QVERIFY(shown.exposed());
        xpcmdbutton* button = shown.button;
        QSignalSpy moves(button, &xpcmdbutton::MouseMove);
        QSignalSpy outs(button, &xpcmdbutton::MouseOut);
        QSignalSpy clicks(button, &xpcmdbutton::Click);
        QSignalSpy ups(button, &xpcmdbutton::MouseUp);

        QCursor::setPos(button->mapToGlobal(QPoint(10, 10)));
        QTRY_COMPARE(moves.count(), 1);  // the pointer arriving is a hover move
        moves.clear();
        QTest::mousePress(button, Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(button->currentFace(), 1);
        QTest::mouseMove(button, QPoint(30, 10));  // button held: an event, the pointer stays
        QCOMPARE(moves.count(), 1);
        QCOMPARE(moves.at(0).at(0).value<qint16>(), qint16(1));  // left button held
        QCOMPARE(button->currentFace(), 1);

        const QPoint outside(250, 90);
        QCursor::setPos(button->mapToGlobal(outside));
        QElapsedTimer clock;
        clock.start();
        // The drag goes on outside: moves keep coming faster than the watch's interval, and
        // must neither raise MouseMove nor put the leave report off.
        qint64 reportedAt = -1;
        connect(button, &xpcmdbutton::MouseOut, [&] {
            if (reportedAt < 0) {
                reportedAt = clock.elapsed();
            }
        });
        for (int i = 0; i < 20; ++i) {
            QTest::mouseMove(button, outside + QPoint(i, 0));
            QTest::qWait(4);
        }
        QCOMPARE(moves.count(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(outs.count() >= 1, 1000);
        QVERIFY2(reportedAt >= 0 && reportedAt < 60, qPrintable(QString::number(reportedAt)));
        QCOMPARE(button->currentFace(), 0);  // resting although the button is still held

        QTest::mouseRelease(button, Qt::LeftButton, {}, outside);
        QCOMPARE(ups.count(), 1);
        QCOMPARE(clicks.count(), 0);  // released away from the button
    }

    void clickRaisesDownUpThenClick() {
        xpcmdbutton button;
        button.resize(80, 24);
        QStringList order;
        connect(&button, &xpcmdbutton::MouseDown, [&] { order << "down"; });
        connect(&button, &xpcmdbutton::MouseUp, [&] { order << "up"; });
        connect(&button, &xpcmdbutton::Click, [&] { order << "click"; });
        QSignalSpy downs(&button, &xpcmdbutton::MouseDown);
        QTest::mouseClick(&button, Qt::LeftButton, Qt::ShiftModifier, QPoint(20, 7));
        QCOMPARE(order, QStringList({"down", "up", "click"}));
        QCOMPARE(downs.at(0).at(0).value<qint16>(), qint16(1));
        QCOMPARE(downs.at(0).at(1).value<qint16>(), qint16(1));  // Shift
        QCOMPARE(downs.at(0).at(2).toFloat(), 20.0f);
        QCOMPARE(downs.at(0).at(3).toFloat(), 7.0f);

        order.clear();
        QTest::mouseClick(&button, Qt::RightButton, {}, QPoint(20, 7));
        QCOMPARE(order, QStringList({"down", "up"}));
    }

    void stateChoosesTheRestingFace() {
        xpcmdbutton button;
        button.resize(60, 20);
        QCOMPARE(button.currentFace(), 0);
        button.setState(1);
        QCOMPARE(button.currentFace(), 4);
        button.setState(7);  // stored, resting face unchanged
        QCOMPARE(button.State(), 7);
        QCOMPARE(button.currentFace(), 4);
        QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(button.currentFace(), 4);  // the release refreshes to the kept resting face
        button.setState(0);
        QCOMPARE(button.currentFace(), 0);
        button.setState(-3);
        QCOMPARE(button.currentFace(), 0);
    }

    void disablingGreysFaceAndCaption() {
        QWidget window;
        auto* button = new xpcmdbutton(&window);
        QFont big = button->font();
        big.setPixelSize(22);
        big.setBold(true);
        button->setFont(big);
        button->setCaption(QStringLiteral("HIH"));
        button->resize(120, 40);
        QSignalSpy recorded(button, &xpcmdbutton::PropertyChanged);

        button->setEnabled(false);
        QCOMPARE(button->currentFace(), 2);
        QVERIFY(recorded.contains(QVariantList{QStringLiteral("Enabled")}));
        QLabel* label = button->captionLabel();
        QVERIFY(label->width() > 20);
        QSet<QRgb> seen = colours(label->grab().toImage());
        QVERIFY(seen.contains(qRgb(161, 161, 146)));
        QVERIFY(!seen.contains(qRgb(0, 0, 0)));

        button->setEnabled(true);
        QCOMPARE(button->currentFace(), 0);
        seen = colours(label->grab().toImage());
        QVERIFY(seen.contains(qRgb(0, 0, 0)));
        QVERIFY(!seen.contains(qRgb(161, 161, 146)));

        button->setState(1);
        button->setEnabled(false);
        QCOMPARE(button->currentFace(), 2);
        button->setEnabled(true);
        QCOMPARE(button->currentFace(), 4);
    }

    void captionDefaultsToDisplayNameAndStaysCentred() {
        QWidget window;
        window.resize(300, 100);
        auto* button = new xpcmdbutton(&window);
        button->resize(140, 40);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        button->setObjectName(QStringLiteral("Command1"));
        QCOMPARE(button->Caption(), QStringLiteral("Command1"));
        button->setCaption(QStringLiteral("悬浮窗口背景色"));
        button->setObjectName(QStringLiteral("Renamed"));
        QCOMPARE(button->Caption(), QStringLiteral("悬浮窗口背景色"));
        const QRect label = button->captionLabel()->geometry();
        QVERIFY(label.width() > 0);
        QVERIFY(qAbs(label.center().x() - button->rect().center().x()) <= 1);
        QVERIFY(qAbs(label.center().y() - button->rect().center().y()) <= 1);
        button->resize(200, 60);
        QVERIFY(qAbs(button->captionLabel()->geometry().center().x() - 99) <= 1);
        QFont font = button->font();
        font.setPixelSize(30);
        button->setFont(font);
        QVERIFY(button->captionLabel()->height() >= 30);
        QVERIFY(qAbs(button->captionLabel()->geometry().center().y() - 29) <= 1);
    }

    void keysPassThroughWithoutClicking() {
        QWidget window;
        auto* button = new xpcmdbutton(&window);
        button->resize(80, 24);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        button->setFocus();
        QSignalSpy downs(button, &xpcmdbutton::KeyDown);
        QSignalSpy presses(button, &xpcmdbutton::KeyPress);
        QSignalSpy ups(button, &xpcmdbutton::KeyUp);
        QSignalSpy clicks(button, &xpcmdbutton::Click);
        QTest::keyClick(button, Qt::Key_Space);
        QTest::keyClick(button, Qt::Key_Return);
        QTest::keyClick(button, 'A', Qt::ShiftModifier);
        QTest::keyClick(button, Qt::Key_Left);
        QCOMPARE(clicks.count(), 0);
        QList<qint16> codes;
        for (const QList<QVariant>& args : downs) {
            codes << args.at(0).value<qint16>();
        }
        QCOMPARE(codes, QList<qint16>({32, 13, 16, 65, 37}));  // Shift goes down before A
        QCOMPARE(ups.count(), 5);
        QCOMPARE(downs.at(3).at(1).value<qint16>(), qint16(1));
        QCOMPARE(presses.count(), 3);  // Left types nothing
        QCOMPARE(presses.at(0).at(0).value<qint16>(), qint16(32));
        QCOMPARE(presses.at(1).at(0).value<qint16>(), qint16(13));
        QCOMPARE(presses.at(2).at(0).value<qint16>(), qint16('A'));
    }

    void accessKeyClicks() {
        QWidget window;
        auto* button = new xpcmdbutton(&window);
        button->setCaption(QStringLiteral("&Go"));
        button->resize(80, 24);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QSignalSpy clicks(button, &xpcmdbutton::Click);
        QTest::keyClick(&window, Qt::Key_G, Qt::AltModifier);
        QCOMPARE(clicks.count(), 1);
        button->setEnabled(false);
        QTest::keyClick(&window, Qt::Key_G, Qt::AltModifier);
        QCOMPARE(clicks.count(), 1);
    }

    void storedPropertiesRoundTrip() {
        QWidget form;
        QFont formFont = form.font();
        formFont.setPixelSize(13);
        form.setFont(formFont);

        auto* saved = new xpcmdbutton(&form);
        saved->setObjectName(QStringLiteral("ComUse"));
        PropertyBag fresh;
        saved->writeProperties(fresh);
        QVERIFY(fresh.names().isEmpty());  // a new button differs from no default

        saved->setState(1);
        saved->setCaption(QStringLiteral("应用"));
        saved->setEnabled(false);
        PropertyBag bag;
        saved->writeProperties(bag);
        QCOMPARE(bag.names(), QStringList({"State", "Enabled", "Caption"}));

        auto* loaded = new xpcmdbutton(&form);
        loaded->setObjectName(QStringLiteral("ComUse"));
        loaded->readProperties(bag);
        QCOMPARE(loaded->State(), 1);
        QCOMPARE(loaded->Caption(), QStringLiteral("应用"));
        QVERIFY(!loaded->isEnabled());
        QCOMPARE(loaded->font().pixelSize(), 13);
        loaded->setEnabled(true);
        QCOMPARE(loaded->currentFace(), 4);  // the saved State 1 is the resting face

        auto* blank = new xpcmdbutton(&form);
        blank->setObjectName(QStringLiteral("Command2"));
        blank->readProperties(PropertyBag());
        QCOMPARE(blank->Caption(), QStringLiteral("Command2"));
        QCOMPARE(blank->State(), 0);
        QVERIFY(blank->isEnabled());
    }
};

QTEST_MAIN(XpCmdButtonTest)
#include "XpCmdButtonTest.moc"
