#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include "controls/Slider.h"

using zd::controls::Slider;

class SliderTest : public QObject {
    Q_OBJECT

    // The colour sliders of the options window: 0..255, steps 1 and 5, 185 x 17 pixels.
    static void setUpColourSlider(Slider& slider) {
        slider.resize(185, 17);
        slider.setMax(255);
        slider.setSmallChange(1);
        slider.setLargeChange(5);
    }

  private slots:
    void programValuesRaiseNoScroll() {
        Slider slider;
        setUpColourSlider(slider);
        QSignalSpy scrolls(&slider, &Slider::Scroll);
        QSignalSpy changes(&slider, &Slider::Change);
        QVERIFY(slider.setValue(245));
        QCOMPARE(slider.Value(), 245);
        QVERIFY(!slider.setValue(300));
        QVERIFY(!slider.setValue(-1));
        QCOMPARE(slider.Value(), 245);
        QCOMPARE(changes.count(), 1);
        QCOMPARE(scrolls.count(), 0);
    }

    void keysMoveAndRaiseScroll() {
        Slider slider;
        setUpColourSlider(slider);
        slider.setValue(100);
        QSignalSpy scrolls(&slider, &Slider::Scroll);
        QTest::keyClick(&slider, Qt::Key_Right);
        QCOMPARE(slider.Value(), 101);
        QTest::keyClick(&slider, Qt::Key_PageDown);
        QCOMPARE(slider.Value(), 106);
        QTest::keyClick(&slider, Qt::Key_Left);
        QTest::keyClick(&slider, Qt::Key_PageUp);
        QCOMPARE(slider.Value(), 100);
        QCOMPARE(scrolls.count(), 4);
        QTest::keyClick(&slider, Qt::Key_End);
        QCOMPARE(slider.Value(), 255);
        QTest::keyClick(&slider, Qt::Key_Right);  // already at the end: no move, no Scroll
        QCOMPARE(slider.Value(), 255);
        QCOMPARE(scrolls.count(), 5);
        QTest::keyClick(&slider, Qt::Key_Home);
        QCOMPARE(slider.Value(), 0);
        QCOMPARE(scrolls.count(), 6);
    }

    void draggingFollowsThePointer() {
        Slider slider;
        setUpColourSlider(slider);
        QSignalSpy scrolls(&slider, &Slider::Scroll);
        const QRect channel = slider.channelRect();
        const QPoint grip = slider.thumbRect().center();
        QTest::mousePress(&slider, Qt::LeftButton, {}, grip);
        QCOMPARE(scrolls.count(), 0);
        QTest::mouseMove(&slider, QPoint(channel.right(), grip.y()));
        QCOMPARE(slider.Value(), 255);
        QTest::mouseMove(&slider, QPoint(channel.left() + (channel.width() - 1) / 2, grip.y()));
        QVERIFY(qAbs(slider.Value() - 128) <= 2);
        QTest::mouseRelease(&slider, Qt::LeftButton, {}, grip);
        QCOMPARE(scrolls.count(), 2);
        QVERIFY(slider.thumbRect().contains(channel.left() + (channel.width() - 1) / 2, 5));
    }

    void clickingTheChannelPagesTowardsThePointer() {
        Slider slider;
        setUpColourSlider(slider);
        slider.setValue(100);
        QSignalSpy scrolls(&slider, &Slider::Scroll);
        QTest::mouseClick(&slider, Qt::LeftButton, {}, QPoint(slider.width() - 3, 5));
        QCOMPARE(slider.Value(), 105);
        QTest::mouseClick(&slider, Qt::LeftButton, {}, QPoint(2, 5));
        QCOMPARE(slider.Value(), 100);
        QCOMPARE(scrolls.count(), 2);
    }

    void wheelMovesBySmallSteps() {
        Slider slider;
        setUpColourSlider(slider);
        slider.setValue(10);
        QSignalSpy scrolls(&slider, &Slider::Scroll);
        QWheelEvent up(QPointF(20, 5), QPointF(20, 5), QPoint(), QPoint(0, 240), Qt::NoButton,
                       Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(&slider, &up);
        QCOMPARE(slider.Value(), 12);
        QCOMPARE(scrolls.count(), 1);
    }

    void extremeRangesDoNotOverflow() {
        Slider slider;
        slider.resize(150, 21);
        QVERIFY(slider.setMin(INT_MIN));
        QVERIFY(slider.setMax(INT_MAX));
        QVERIFY(slider.setLargeChange(INT_MAX));
        QVERIFY(slider.setValue(INT_MAX - 1));
        QTest::keyClick(&slider, Qt::Key_PageDown);
        QCOMPARE(slider.Value(), INT_MAX);
        QTest::keyClick(&slider, Qt::Key_PageUp);
        QCOMPARE(slider.Value(), 0);
        QVERIFY(!slider.grab().isNull());  // ticks over the whole int range
    }
};

QTEST_MAIN(SliderTest)
#include "SliderTest.moc"
