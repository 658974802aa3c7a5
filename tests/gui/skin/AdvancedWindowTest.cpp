// The advanced window: its two settings, the slider's marks, the colour dialog, saving, the
// closes that bring the options window back, quitting and dragging by the skin.
#include <QtTest>

#include "SkinFixture.h"
#include "app/Settings.h"
#include "controls/Slider.h"
#include "controls/xpcmdbutton.h"
#include "mainwindow/Form1.h"
#include "options/Dialog.h"
#include "popups/Form2.h"

using namespace zd;

class AdvancedWindowTest : public QObject {
    Q_OBJECT

    testing::SkinFixture f;

  private slots:
    void init() {
        f.setUp();
        form1();
    }
    void cleanup() { f.tearDown(); }

    void loadReadsBothSettingsPlacesTheWindowAndHidesTheOptions() {
        f.writeSettings("[MyApp6]\nlabel1=128\n[MyApp7]\nlabel2=65280\n");
        dialog().show();
        Form2& advanced = form2();
        QVERIFY(!advanced.isVisible());
        QVERIFY(!dialog().isVisible());
        QCOMPARE(advanced.Label1->caption(), QStringLiteral("128"));
        QCOMPARE(advanced.Slider1->Value(), 128);
        QCOMPARE(advanced.Label2->caption(), QStringLiteral("65280"));
        QVERIFY(advanced.Label2->isHidden());
        QCOMPARE(advanced.Label3->backColor(), QColor(0, 255, 0));
        QCOMPARE(advanced.leftTwips(), 1024 * 15 - 3135 - 2400.0);
        QCOMPARE(advanced.topTwips(), 1500.0);
        QCOMPARE(advanced.label6->text(), QString());
    }

    void missingOrUnusableSettingsKeepTheDesignValues() {
        Form2& advanced = form2();
        QCOMPARE(advanced.Label1->caption(), QStringLiteral("label1"));
        QCOMPARE(advanced.Slider1->Value(), 245);
        QCOMPARE(advanced.Label2->caption(), QStringLiteral("label2"));
        const QColor design = advanced.Label3->backColor();
        unloadForm2();
        // Out of the slider's range and not a colour: both conversions are skipped.
        f.writeSettings("[MyApp6]\nlabel1=999\n[MyApp7]\nlabel2=-5\n");
        Form2& again = form2();
        QCOMPARE(again.Slider1->Value(), 245);
        QCOMPARE(again.Label1->caption(), QStringLiteral("999"));
        QCOMPARE(again.Label3->backColor(), design);
    }

    void theSliderShowsTheNumberAndItsMarks() {
        Form2& advanced = form2();
        advanced.show();
        controls::Slider* slider = advanced.Slider1;
        QTest::keyClick(slider, Qt::Key_Home);
        QCOMPARE(advanced.Label1->caption(), QStringLiteral("0"));
        QCOMPARE(advanced.label6->text(), QStringLiteral("全透明"));
        QTest::keyClick(slider, Qt::Key_Right);
        QCOMPARE(advanced.Label1->caption(), QStringLiteral("1"));
        QCOMPARE(advanced.label6->text(), QString());
        QTest::keyClick(slider, Qt::Key_End);
        QCOMPARE(advanced.label6->text(), QStringLiteral("不透明"));
        QTest::keyClick(slider, Qt::Key_PageUp);
        QTest::keyClick(slider, Qt::Key_PageUp);
        QCOMPARE(advanced.Label1->caption(), QStringLiteral("245"));
        QCOMPARE(advanced.label6->text(), QStringLiteral("默认"));
        // A value set by the program is no move of the user's: the texts stay.
        slider->setValue(17);
        QCOMPARE(advanced.Label1->caption(), QStringLiteral("245"));
    }

    void cancellingTheColourDialogChangesNothing() {
        f.writeSettings("[MyApp7]\nlabel2=255\n");
        Form2& advanced = form2();
        QCOMPARE(advanced.Label3->backColor(), QColor(255, 0, 0));
        f.click(advanced.xpcmdbutton1);  // cancelled: the fake's empty queue
        QCOMPARE(f.fake->dialogs.colorRequests, 1);
        QCOMPARE(advanced.CommonDialog1.Flags, 2);
        QCOMPARE(advanced.Label2->caption(), QStringLiteral("255"));
        QCOMPARE(advanced.Label3->backColor(), QColor(255, 0, 0));
        QCOMPARE(preferences().floatingColour(), QColor(255, 0, 0));
        // A choice, then a cancel through the swatch: the choice stays.
        f.fake->dialogs.colorAnswers.push_back(QColor(1, 2, 3));
        f.click(advanced.xpcmdbutton1);
        QCOMPARE(advanced.Label2->caption(), QString::number(1 + 2 * 256 + 3 * 65536));
        f.click(advanced.Label3);
        QCOMPARE(f.fake->dialogs.colorRequests, 3);
        QCOMPARE(advanced.Label3->backColor(), QColor(1, 2, 3));
    }

    void saveWritesBothKeysAndPlaysTheSound() {
        Form2& advanced = form2();
        advanced.show();
        QTest::keyClick(advanced.Slider1, Qt::Key_Home);
        f.fake->dialogs.colorAnswers.push_back(QColor(0, 0, 255));
        f.click(advanced.xpcmdbutton1);
        f.click(advanced.xpcmdbutton2);
        QCOMPARE(settings::read(QStringLiteral("Myapp6"), QStringLiteral("label1")),
                 QStringLiteral("0"));
        QCOMPARE(settings::read(QStringLiteral("Myapp7"), QStringLiteral("label2")),
                 QStringLiteral("16711680"));
        QFile file(f.fake->file(QStringLiteral("Settings.Tov")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY(text.contains("[MyApp6]\nlabel1=0\n"));
        QVERIFY(text.contains("[MyApp7]\nlabel2=16711680\n"));
        QCOMPARE(f.fake->sound.played, QStringList{f.fake->file("sound/ok.wav")});
        QVERIFY(advanced.isVisible());  // the window stays open
        // The next load reads them back.
        unloadForm2();
        QCOMPARE(form2().Slider1->Value(), 0);
        QCOMPARE(form2().Label3->backColor(), QColor(0, 0, 255));
    }

    void bothClosesBringTheOptionsWindowBack() {
        f.setLists({"a.swf", ""}, {"/a.swf", ""});
        Form2& advanced = form2();
        advanced.show();
        QVERIFY(!dialog().isVisible());
        f.click(advanced.xpcmdbutton3);  // "关闭"
        QVERIFY(loadedForm2() == nullptr);
        QVERIFY(dialog().isVisible());
        QCOMPARE(dialog().List1->listCount(), 1);  // the empty entry went

        form2().show();
        QVERIFY(!dialog().isVisible());
        f.click(loadedForm2()->Image1);
        QVERIFY(loadedForm2() == nullptr);
        QVERIFY(dialog().isVisible());
        f.settle();
    }

    void quitButtonRunsTheExitRoutine() {
        f.click(form2().xpcmdbutton4);
        QCOMPARE(f.processEnds, 1);
        QVERIFY(loadedForm1() == nullptr);
    }

    void closeImageLightsUpUnderTheMouse() {
        Form2& advanced = form2();
        advanced.show();
        QVERIFY(f.shows(advanced.Image1, 138));
        f.hover(advanced.Image1);
        QVERIFY(f.shows(advanced.Image1, 139));
        f.hover(advanced.Picture1, QPoint(100, 100));
        QVERIFY(f.shows(advanced.Image1, 138));
    }

    void theSkinDragsTheWindow() {
        Form2& advanced = form2();
        advanced.show();
        const QPoint start = advanced.pos();
        f.mouse(advanced.Picture1, QEvent::MouseButtonPress, QPoint(50, 50), Qt::LeftButton,
                Qt::LeftButton);
        f.hover(advanced.Picture1, QPoint(60, 70), Qt::LeftButton);
        QCOMPARE(advanced.pos(), start + QPoint(10, 20));
        f.mouse(advanced.Picture1, QEvent::MouseButtonRelease, QPoint(50, 50), Qt::LeftButton,
                Qt::NoButton);
        f.hover(advanced.Picture1, QPoint(90, 90));
        QCOMPARE(advanced.pos(), start + QPoint(10, 20));
        // The right button does not drag.
        f.mouse(advanced.Picture1, QEvent::MouseButtonPress, QPoint(50, 50), Qt::RightButton,
                Qt::RightButton);
        f.hover(advanced.Picture1, QPoint(80, 80), Qt::RightButton);
        QCOMPARE(advanced.pos(), start + QPoint(10, 20));
    }
};

QTEST_MAIN(AdvancedWindowTest)
#include "AdvancedWindowTest.moc"
