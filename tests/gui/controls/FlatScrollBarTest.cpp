#include <QSignalSpy>
#include <QTest>

#include "controls/FlatScrollBar.h"

using zd::controls::FlatScrollBar;

namespace {

struct Bar {
    FlatScrollBar bar;
    QSignalSpy changes{&bar, &FlatScrollBar::Change};
    QSignalSpy scrolls{&bar, &FlatScrollBar::Scroll};
    Bar(int width, int height, int max) {
        bar.resize(width, height);
        bar.setMax(max);
        changes.clear();
    }
    void click(const QRect& part) { QTest::mouseClick(&bar, Qt::LeftButton, {}, part.center()); }
};

}  // namespace

class FlatScrollBarTest : public QObject {
    Q_OBJECT
  private slots:
    void programChangesRaiseChangeOnly() {
        Bar b(297, 9, 300);
        QVERIFY(b.bar.setValue(12));
        QCOMPARE(b.bar.Value(), 12);
        QCOMPARE(b.changes.count(), 1);
        QVERIFY(b.bar.setValue(12));  // same value: nothing changed, nothing raised
        QCOMPARE(b.changes.count(), 1);
        QVERIFY(b.bar.setValue(0));
        QCOMPARE(b.changes.count(), 2);
        QCOMPARE(b.scrolls.count(), 0);
    }

    void valuesOutside16BitsOrTheRangeAreRefused() {
        Bar b(297, 9, 32767);
        QVERIFY(b.bar.setValue(32767));
        b.changes.clear();
        QVERIFY(!b.bar.setValue(32768));
        QVERIFY(!b.bar.setValue(40000));
        QCOMPARE(b.bar.Value(), 32767);
        QVERIFY(!b.bar.setMax(32768));
        QVERIFY(!b.bar.setMin(-32769));
        QCOMPARE(b.bar.Max(), 32767);
        QCOMPARE(b.bar.Min(), 0);
        QVERIFY(!b.bar.setValue(-1));  // below Min
        QCOMPARE(b.bar.Value(), 32767);
        QCOMPARE(b.changes.count(), 0);
        QVERIFY(!b.bar.setSmallChange(0));
        QVERIFY(!b.bar.setLargeChange(40000));
        QCOMPARE(b.bar.SmallChange(), 1);

        QVERIFY(b.bar.setMin(-32768));
        QVERIFY(b.bar.setValue(-32768));
        QCOMPARE(b.bar.Value(), -32768);
    }

    void narrowingTheRangePullsTheValueIn() {
        Bar b(297, 9, 300);
        b.bar.setValue(250);
        b.changes.clear();
        QVERIFY(b.bar.setMax(100));
        QCOMPARE(b.bar.Value(), 100);
        QCOMPARE(b.changes.count(), 1);
        QVERIFY(b.bar.setMax(200));  // widening leaves it
        QCOMPARE(b.bar.Value(), 100);
        QCOMPARE(b.changes.count(), 1);
    }

    void arrowsAndTrackStepAndStopAtTheEnds() {
        Bar b(200, 12, 100);
        b.bar.setSmallChange(3);
        b.bar.setLargeChange(25);
        b.bar.setValue(50);
        b.changes.clear();
        b.click(b.bar.rightArrowRect());
        QCOMPARE(b.bar.Value(), 53);
        b.click(b.bar.leftArrowRect());
        b.click(b.bar.leftArrowRect());
        QCOMPARE(b.bar.Value(), 47);
        const QRect track = b.bar.trackRect();
        QTest::mouseClick(&b.bar, Qt::LeftButton, {}, QPoint(track.right() - 1, 6));
        QCOMPARE(b.bar.Value(), 72);
        QTest::mouseClick(&b.bar, Qt::LeftButton, {}, QPoint(track.left() + 1, 6));
        QCOMPARE(b.bar.Value(), 47);
        QCOMPARE(b.changes.count(), 5);
        QCOMPARE(b.scrolls.count(), 0);

        b.bar.setValue(99);
        b.click(b.bar.rightArrowRect());
        b.click(b.bar.rightArrowRect());
        QCOMPARE(b.bar.Value(), 100);
        b.bar.setValue(1);
        b.click(b.bar.leftArrowRect());
        QCOMPARE(b.bar.Value(), 0);
        QCOMPARE(b.scrolls.count(), 0);
    }

    void holdingAnArrowRepeatsUntilReleased() {
        Bar b(200, 12, 1000);
        QTest::mousePress(&b.bar, Qt::LeftButton, {}, b.bar.rightArrowRect().center());
        QCOMPARE(b.bar.Value(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(b.bar.Value() >= 4, 3000);
        QTest::mouseRelease(&b.bar, Qt::LeftButton, {}, b.bar.rightArrowRect().center());
        const int stopped = b.bar.Value();
        QTest::qWait(200);
        QCOMPARE(b.bar.Value(), stopped);
    }

    void holdingTheTrackStopsAtThePointer() {
        Bar b(300, 12, 100);
        b.bar.setLargeChange(10);
        const QPoint target(b.bar.trackRect().left() + b.bar.trackRect().width() / 2, 6);
        QTest::mousePress(&b.bar, Qt::LeftButton, {}, target);
        QTest::qWait(1200);
        QTest::mouseRelease(&b.bar, Qt::LeftButton, {}, target);
        QVERIFY(b.bar.thumbRect().contains(target));
        QVERIFY(b.bar.Value() >= 40 && b.bar.Value() <= 60);
    }

    void draggingTheThumbRaisesScroll() {
        Bar b(208, 9, 200);
        const QRect thumb = b.bar.thumbRect();
        QCOMPARE(thumb.left(), b.bar.trackRect().left());
        const QPoint grip = thumb.center();
        const int travel = b.bar.trackRect().width() - thumb.width();
        QTest::mousePress(&b.bar, Qt::LeftButton, {}, grip);
        QVERIFY(b.bar.isDragging());
        QCOMPARE(b.scrolls.count(), 0);
        QTest::mouseMove(&b.bar, grip + QPoint(travel / 2, 0));
        QVERIFY(qAbs(b.bar.Value() - 100) <= 2);
        QCOMPARE(b.scrolls.count(), 1);
        QCOMPARE(b.changes.count(), 1);
        QTest::mouseMove(&b.bar, grip + QPoint(travel + 50, 3));  // past the end
        QCOMPARE(b.bar.Value(), 200);
        QCOMPARE(b.scrolls.count(), 2);
        QTest::mouseMove(&b.bar, grip + QPoint(travel + 60, 0));  // no new value: nothing
        QCOMPARE(b.scrolls.count(), 2);
        QTest::mouseMove(&b.bar, grip - QPoint(40, 0));
        QCOMPARE(b.bar.Value(), 0);
        QCOMPARE(b.scrolls.count(), 3);
        QTest::mouseRelease(&b.bar, Qt::LeftButton, {}, grip - QPoint(40, 0));
        QVERIFY(!b.bar.isDragging());

        b.bar.setValue(150);  // the program again: Change only
        QCOMPARE(b.scrolls.count(), 3);
        QCOMPARE(b.changes.count(), 4);
    }

    void reversedRangeRunsRightToLeft() {
        Bar b(200, 12, 0);
        b.bar.setMin(100);
        QCOMPARE(b.bar.Value(), 0);  // pulled into [0, 100]
        QCOMPARE(b.bar.thumbRect().right(), b.bar.trackRect().right());
        b.click(b.bar.leftArrowRect());
        QCOMPARE(b.bar.Value(), 1);  // towards Min
        b.click(b.bar.rightArrowRect());
        b.click(b.bar.rightArrowRect());
        QCOMPARE(b.bar.Value(), 0);
    }

    void worksAtTheVolumeBarsHeight() {
        Bar b(73, 6, 32767);  // 1095 x 90 twips
        QVERIFY(b.bar.leftArrowRect().width() >= 6);
        QVERIFY(b.bar.thumbRect().width() >= 8);
        QVERIFY(b.bar.trackRect().width() > b.bar.thumbRect().width());
        QVERIFY(!b.bar.grab().isNull());
        b.bar.setValue(32767);
        QCOMPARE(b.bar.thumbRect().right(), b.bar.rightArrowRect().left() - 1);
        const QPoint grip = b.bar.thumbRect().center();
        QTest::mousePress(&b.bar, Qt::LeftButton, {}, grip);
        QTest::mouseMove(&b.bar, grip - QPoint(10, 0));
        QTest::mouseRelease(&b.bar, Qt::LeftButton, {}, grip - QPoint(10, 0));
        QVERIFY(b.bar.Value() < 32767);
        QCOMPARE(b.scrolls.count(), 1);
        // Narrower than its arrows: no part overlaps another and nothing is negative.
        b.bar.resize(10, 6);
        QVERIFY(b.bar.trackRect().width() >= 0);
        QVERIFY(b.bar.thumbRect().width() >= 0);
        QVERIFY(!b.bar.grab().isNull());
    }

    void disabledBarIgnoresTheMouse() {
        Bar b(200, 12, 100);
        b.bar.setEnabled(false);
        b.click(b.bar.rightArrowRect());
        QCOMPARE(b.bar.Value(), 0);
        QVERIFY(b.bar.setValue(30));
        QCOMPARE(b.changes.count(), 1);
    }
};

QTEST_MAIN(FlatScrollBarTest)
#include "FlatScrollBarTest.moc"
