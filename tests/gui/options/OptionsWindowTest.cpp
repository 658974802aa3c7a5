// The options window: its load, tabs, title strip, play, colour and help pages, and the main
// window's options button, driven through the real windows offscreen with the platform faked.
#include <QClipboard>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "OptionsFixture.h"
#include "app/FlashControl.h"
#include "app/Gradient.h"
#include "app/Settings.h"
#include "controls/FlatScrollBar.h"
#include "controls/Slider.h"
#include "controls/xpcheckbox.h"
#include "controls/xpcmdbutton.h"
#include "mainwindow/Form1.h"
#include "options/Dialog.h"
#include "popups/Form2.h"
#include "popups/Form3.h"
#include "program/Functions.h"
#include "resources/Resources.h"

using namespace zd;
using namespace zd::testing;

class OptionsWindowTest : public QObject {
    Q_OBJECT

    OptionsFixture f;
    QTemporaryDir movies;

    // A copy of the bundled sample movie (120 frames).
    QString sampleMovie(const QString& name = QStringLiteral("sample.swf")) {
        const QString path = movies.filePath(name);
        if (!QFile::exists(path))
            QFile::copy(QStringLiteral(ZD_BIN_DIR "/samples/zephyrdeck-sample.swf"), path);
        return path;
    }

    static void click(QWidget* widget, QPoint pos = QPoint(5, 5)) {
        QTest::mouseClick(widget, Qt::LeftButton, {}, pos);
    }

    // What PaintGradient leaves on a picture box of `target`'s size.
    static QImage expectedGradient(QWidget* target, qint32 red, qint32 green, qint32 blue,
                                   bool topDown) {
        PictureBox reference;
        setTwipsGeometry(&reference, twipsGeometry(target));
        PaintGradient(&reference, red, green, blue, topDown);
        return reference.canvas();
    }

  private slots:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void firstStartShowsDesignValuesAndTicksBothBoxes() {
        Form1& main = form1();
        Dialog& d = dialog();
        QCOMPARE(d.Text1->text(), QStringLiteral("Text1"));
        QCOMPARE(d.Text4->text(), QStringLiteral("Text4"));
        QCOMPARE(d.Text7->text(), QStringLiteral("Text7"));
        QCOMPARE(d.Text8->text(), QStringLiteral("Text8"));
        QCOMPARE(d.TxtPath->text(), QStringLiteral("Text8"));
        QCOMPARE(d.Slider1->Value(), 90);
        QCOMPARE(d.Slider2->Value(), 130);
        QCOMPARE(d.Slider3->Value(), 190);
        QCOMPARE(d.Check1->Value(), 1);
        QCOMPARE(d.Check2->Value(), 1);
        QCOMPARE(main.SwFlash->backgroundColor(), -1);
        QCOMPARE(d.Label1->text(), QStringLiteral(" Red = 90"));
        QCOMPARE(d.Label2->text(), QStringLiteral(" Green = 130"));
        QCOMPARE(d.Label3->text(), QStringLiteral(" Blue = 190"));
        QCOMPARE(d.Picture4->canvas(), expectedGradient(d.Picture4, 140, 180, 240, true));
        QCOMPARE(d.Picture3->canvas(), expectedGradient(d.Picture3, 0, 0, 240, true));
        // Loaded hidden, on the play page, to the right of the screen's edge by width / 2.58.
        QVERIFY(!d.isVisible());
        QVERIFY(!d.Frame1->isHidden());
        QVERIFY(d.Frame2->isHidden() && d.Frame3->isHidden() && d.Frame4->isHidden());
        QCOMPARE(d.leftTwips(), double(static_cast<float>(1024 * 15 / 2.58)));
        QCOMPARE(d.topTwips(), 3315.0);
        QVERIFY(d.windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(d.windowFlags() & Qt::WindowStaysOnTopHint);
        // Loading wrote nothing to the settings.
        QVERIFY(!QFile::exists(f.fake->file("Settings.Tov")));
    }

    void storedSettingsAreShownAndOddOnesLeaveTheDesign_data() {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QList<int>>("sliders");
        QTest::addColumn<int>("check1");
        QTest::addColumn<int>("check2");
        QTest::addColumn<qint32>("background");
        QTest::newRow("saved values")
            << QByteArray(
                   "[MyApp1]\nText1=10\n[MyApp2]\nText2=0\n[MyApp3]\nText3=255\n"
                   "[MyApp4]\nText4=0\n[MyApp5]\nText7=0\n[MyApp8]\nText8=/shots\n")
            << QList<int>{10, 0, 255} << 0 << 0 << 1;
        QTest::newRow("odd values")
            << QByteArray(
                   "[myapp1]\ntext1=abc\n[Myapp2]\nText2=20.5\n[Myapp3]\nText3=300\n"
                   "[Myapp4]\nText4=7\n[Myapp5]\nText7=1\n")
            << QList<int>{90, 20, 190} << 0 << 1 << -1;
    }
    void storedSettingsAreShownAndOddOnesLeaveTheDesign() {
        QFETCH(QByteArray, settings);
        QFETCH(QList<int>, sliders);
        QFETCH(int, check1);
        QFETCH(int, check2);
        QFETCH(qint32, background);
        QVERIFY(f.writeFile("Settings.Tov", settings));
        Form1& main = form1();
        Dialog& d = dialog();
        QCOMPARE((QList<int>{d.Slider1->Value(), d.Slider2->Value(), d.Slider3->Value()}), sliders);
        QCOMPARE(d.Check1->Value(), check1);
        QCOMPARE(d.Check2->Value(), check2);
        QCOMPARE(main.SwFlash->backgroundColor(), background);
        QCOMPARE(d.Label1->text(), QStringLiteral(" Red = %1").arg(sliders[0]));
        QCOMPARE(d.Picture4->canvas(),
                 expectedGradient(d.Picture4, sliders[0] + 50, sliders[1] + 50, sliders[2] + 50,
                                  check1 != 0));
        // The main window painted its skin from the same values.
        QCOMPARE(main.Picture1->canvas(),
                 expectedGradient(main.Picture1, sliders[0] + 50, sliders[1] + 50, sliders[2] + 50,
                                  check1 != 0));
    }

    void tabsSwitchPagesWhenTheButtonGoesDown() {
        form1();
        Dialog& d = dialog();
        d.show();
        const std::pair<controls::xpcmdbutton*, PictureBox*> tabs[] = {{d.Tabutton2, d.Frame2},
                                                                       {d.Tabutton4, d.Frame4},
                                                                       {d.Tabutton3, d.Frame3},
                                                                       {d.Tabutton1, d.Frame1}};
        for (const auto& [tab, page] : tabs) {
            QTest::mousePress(tab, Qt::RightButton, {}, QPoint(5, 5));  // any button, no release
            for (PictureBox* frame : {d.Frame1, d.Frame2, d.Frame3, d.Frame4})
                QCOMPARE(frame->isVisible(), frame == page);
            QTest::mouseRelease(tab, Qt::RightButton, {}, QPoint(5, 5));
        }
    }

    void titleStripDragsTheWindowAndCloseHides() {
        form1();
        Dialog& d = dialog();
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        const QPoint start = d.pos();
        // The pointer goes where the window system would put it; positions reach the strip
        // relative to wherever the window is by then.
        const QPoint grab = d.PicMove2->mapToGlobal(QPoint(20, 8));
        const auto at = [&](QPoint offset) { return d.PicMove2->mapFromGlobal(grab + offset); };
        sendMouse(d.PicMove2, QEvent::MouseButtonPress, at({0, 0}), Qt::LeftButton, Qt::LeftButton);
        // The drag starts with the first move (where a system move would start), then the
        // window follows the pointer.
        sendMouse(d.PicMove2, QEvent::MouseMove, at({5, 2}), Qt::NoButton, Qt::LeftButton);
        QCOMPARE(d.pos(), start);
        sendMouse(d.PicMove2, QEvent::MouseMove, at({50, 20}), Qt::NoButton, Qt::LeftButton);
        sendMouse(d.PicMove2, QEvent::MouseButtonRelease, at({50, 20}), Qt::LeftButton);
        QCOMPARE(d.pos(), start + QPoint(45, 18));
        // Moving without a button held does not drag.
        moveOver(d.PicMove2, QPoint(100, 10));
        QCOMPARE(d.pos(), start + QPoint(45, 18));

        moveOver(d.Image1);
        QVERIFY(samePicture(d.Image1->picture(), res::bitmap(139)));
        moveOver(d.PicMove2);
        QVERIFY(samePicture(d.Image1->picture(), res::bitmap(138)));
        click(d.Image1);
        QVERIFY(!d.isVisible());
        QVERIFY(f.fake->sound.played.isEmpty());
    }

    void frameBoxTakesTypedDigitsOnly() {
        form1();
        Dialog& d = dialog();
        d.show();
        d.TxtFrame->setFocus();
        QTest::keyClicks(d.TxtFrame, QStringLiteral("1a2 -x3"));
        QCOMPARE(d.TxtFrame->text(), QStringLiteral("123"));
        QTest::keyClick(d.TxtFrame, Qt::Key_Backspace);
        QCOMPARE(d.TxtFrame->text(), QStringLiteral("123"));
        QGuiApplication::clipboard()->setText(QStringLiteral("45z"));
        QTest::keyClick(d.TxtFrame, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(d.TxtFrame->text(), QStringLiteral("123"));
        // Deleting works with the Delete key and by typing over a selection.
        QTest::keyClick(d.TxtFrame, Qt::Key_Home);
        QTest::keyClick(d.TxtFrame, Qt::Key_Delete);
        QCOMPARE(d.TxtFrame->text(), QStringLiteral("23"));
        d.TxtFrame->selectAll();
        QTest::keyClicks(d.TxtFrame, QStringLiteral("7"));
        QCOMPARE(d.TxtFrame->text(), QStringLiteral("7"));
    }

    void clickingTheAddressOrFrameBoxSelectsItAll() {
        form1();
        Dialog& d = dialog();
        d.show();
        for (TextBox* box : {d.TxtURL, d.TxtFrame}) {
            box->setText(QStringLiteral("12345"));
            box->deselect();
            click(box, QPoint(10, 5));
            QCOMPARE(box->selectionStart(), 0);
            QCOMPARE(box->selectedText(), QStringLiteral("12345"));
        }
    }

    void goWithAnEmptyFrameBoxOnlyPlaysTheSound() {
        Form1& main = form1();
        Dialog& d = dialog();
        main.SwFlash->setMovie(sampleMovie());
        main.SwFlash->setFrameNum(5);
        main.SwFlash->setPlaying(false);
        main.Scroll->setValue(9);
        click(d.FlatBttn1);
        QCOMPARE(main.SwFlash->frameNum(), std::optional<qint32>(5));
        QVERIFY(!main.SwFlash->playing());
        QCOMPARE(main.Scroll->Value(), 9);
        QCOMPARE(f.fake->sound.played, QStringList{f.sound("ok.wav")});
    }

    void goJumpsToTheFrameKeepingPlayOrHold() {
        Form1& main = form1();
        Dialog& d = dialog();
        main.SwFlash->setMovie(sampleMovie());
        main.SwFlash->setPlaying(false);
        d.TxtFrame->setText(QStringLiteral("30"));
        click(d.FlatBttn1);
        QCOMPARE(main.SwFlash->frameNum(), std::optional<qint32>(30));
        QVERIFY(!main.SwFlash->playing());
        QCOMPARE(main.Scroll->Value(), 30);

        main.Scroll->setValue(0);
        main.SwFlash->setPlaying(true);
        d.TxtFrame->setText(QStringLiteral("10"));
        click(d.FlatBttn1);
        QVERIFY(main.SwFlash->playing());
        QVERIFY(main.SwFlash->frameNum().value_or(-1) >= 10);
        QCOMPARE(main.Scroll->Value(), 0);  // a playing movie moves the bar itself
        QCOMPARE(f.fake->sound.played.size(), 2);

        // No movie: the jump fails, nothing else does.
        main.SwFlash->setMovie(QString());
        d.TxtFrame->setText(QStringLiteral("99999999999"));
        click(d.FlatBttn1);
        QCOMPARE(main.Scroll->Value(), 0);
        QCOMPARE(f.fake->sound.played.size(), 3);
    }

    void goOnTheAddressLoadsItHeld() {
        Form1& main = form1();
        Dialog& d = dialog();
        const QString movie = sampleMovie();
        d.TxtURL->setText(movie);
        click(d.FlatBttn2);
        QCOMPARE(main.SwFlash->movie(), movie);
        QVERIFY(!main.SwFlash->playing());
        QCOMPARE(f.fake->sound.played, QStringList{f.sound("ok.wav")});
    }

    void browseButtonOpensAMovieAndShowsItsPath() {
        Form1& main = form1();
        Dialog& d = dialog();
        const QString movie = sampleMovie(QStringLiteral("chosen.swf"));
        f.fake->dialogs.openFileAnswers.push_back(movie);
        click(d.FlatBttn3);
        QCOMPARE(f.fake->dialogs.openFileRequests.size(), size_t(1));
        QCOMPARE(d.TxtURL->text(), movie);
        QCOMPARE(main.SwFlash->movie(), movie);
        QCOMPARE(f.fake->sound.played.last(), f.sound("menu.wav"));
        // Cancelled: the address box shows the file chosen last time.
        d.TxtURL->clear();
        click(d.FlatBttn3);
        QCOMPARE(f.fake->dialogs.openFileRequests.size(), size_t(2));
        QCOMPARE(d.TxtURL->text(), movie);
    }

    void slidersUpdateLabelPreviewsAndCopyAtOnceButNotTheMainWindow() {
        Form1& main = form1();
        Dialog& d = dialog();
        d.show();
        const QImage mainBefore = main.Picture1->canvas();
        const struct {
            controls::Slider* slider;
            LabelControl* label;
            PictureBox* preview;
            TextBox* copy;
            const char* caption;
        } rows[] = {{d.Slider1, d.Label1, d.Picture1, d.Text1, " Red = "},
                    {d.Slider2, d.Label2, d.Picture2, d.Text2, " Green = "},
                    {d.Slider3, d.Label3, d.Picture3, d.Text3, " Blue = "}};
        int index = 0;
        for (const auto& row : rows) {
            row.slider->setFocus();
            QTest::keyClick(row.slider, Qt::Key_Left);  // a move by the user: Scroll
            const int value = row.slider->Value();
            QCOMPARE(row.label->text(), QLatin1String(row.caption) + QString::number(value));
            QCOMPARE(row.copy->text(), QString::number(value));
            const qint32 part = value + 50;
            QCOMPARE(row.preview->canvas(),
                     expectedGradient(row.preview, index == 0 ? part : 0, index == 1 ? part : 0,
                                      index == 2 ? part : 0, true));
            QCOMPARE(d.Picture4->canvas(),
                     expectedGradient(d.Picture4, d.Slider1->Value() + 50, d.Slider2->Value() + 50,
                                      d.Slider3->Value() + 50, true));
            ++index;
        }
        QCOMPARE(d.Slider1->Value(), 89);
        QCOMPARE(main.Picture1->canvas(), mainBefore);
        QVERIFY(!QFile::exists(f.fake->file("Settings.Tov")));
    }

    void directionBoxClickWorksWithTheValueFromBeforeTheClick() {
        form1();
        Dialog& d = dialog();
        d.show();
        QCOMPARE(d.Check1->Value(), 1);
        click(d.Check1, QPoint(8, 8));
        QCOMPARE(d.Check1->Value(), 0);
        // Previews and the copy still show the state from before the click ...
        QCOMPARE(d.Text4->text(), QStringLiteral("1"));
        QCOMPARE(d.Picture4->canvas(), expectedGradient(d.Picture4, 140, 180, 240, true));
        // ... until the next slider move.
        d.Slider1->setFocus();
        QTest::keyClick(d.Slider1, Qt::Key_Right);
        QCOMPARE(d.Picture4->canvas(), expectedGradient(d.Picture4, 141, 180, 240, false));
        click(d.Check1, QPoint(8, 8));
        QCOMPARE(d.Text4->text(), QStringLiteral("0"));
        QCOMPARE(d.Check1->Value(), 1);
    }

    void previewAndApplyRepaintTheMainWindowOnlyApplySaves() {
        Form1& main = form1();
        Dialog& d = dialog();
        d.show();
        d.Slider1->setValue(200);
        d.Slider2->setValue(0);
        d.Slider3->setValue(100);
        d.Check1->setValue(0);
        const QImage title = expectedGradient(main.Picture1, 250, 50, 150, false);
        const QImage panel = expectedGradient(main.PicMove, 250, 50, 150, false);
        QVERIFY(main.Picture1->canvas() != title);

        click(d.Command1);
        QCOMPARE(main.Picture1->canvas(), title);
        QCOMPARE(main.PicMove->canvas(), panel);
        QCOMPARE(main.canvas(), expectedGradient(&main, 250, 50, 150, false));
        QVERIFY(!QFile::exists(f.fake->file("Settings.Tov")));
        QVERIFY(f.fake->sound.played.isEmpty());

        click(d.ComUse);
        QCOMPARE(settings::read("MyApp1", "Text1"), QStringLiteral("200"));
        QCOMPARE(settings::read("MyApp2", "Text2"), QStringLiteral("0"));
        QCOMPARE(settings::read("MyApp3", "Text3"), QStringLiteral("100"));
        QCOMPARE(settings::read("MyApp4", "Text4"), QStringLiteral("0"));
        QCOMPARE(d.Text1->text(), QStringLiteral("200"));
        QVERIFY(d.isVisible());
        QCOMPARE(f.fake->sound.played, QStringList{f.sound("ok.wav")});
        QVERIFY(f.fileBytes("Settings.Tov").startsWith("[MyApp1]\nText1=200\n"));

        // The next start shows what was applied.
        QuitProgram();
        markExitRoutineStarted(false);
        form1();
        QCOMPARE(dialog().Slider1->Value(), 200);
        QCOMPARE(dialog().Check1->Value(), 0);
    }

    void closeOnTheColourPageSavesNothing() {
        form1();
        Dialog& d = dialog();
        d.show();
        d.Slider2->setFocus();
        QTest::keyClick(d.Slider2, Qt::Key_PageUp);
        click(d.Command2);
        QVERIFY(!d.isVisible());
        QCOMPARE(f.fake->sound.played, QStringList{f.sound("ok.wav")});
        QVERIFY(!QFile::exists(f.fake->file("Settings.Tov")));
        // The change survives the hiding, unsaved.
        QCOMPARE(d.Text2->text(), QString::number(d.Slider2->Value()));
    }

    void playPageOkAppliesAndSavesTheBackground() {
        Form1& main = form1();
        Dialog& d = dialog();
        d.show();
        preferences().setCaptureFolder(QStringLiteral("/home/u/shots"));
        click(d.Check2, QPoint(8, 8));
        QCOMPARE(d.Check2->Value(), 0);
        QCOMPARE(main.SwFlash->backgroundColor(), -1);  // only on "确定"
        click(d.Command2er);
        QCOMPARE(main.SwFlash->backgroundColor(), 1);
        QCOMPARE(d.Text7->text(), QStringLiteral("0"));
        QCOMPARE(settings::read("MyApp5", "Text7"), QStringLiteral("0"));
        QCOMPARE(settings::read("MyApp8", "Text8"), QStringLiteral("/home/u/shots"));
        QVERIFY(!d.isVisible());
        QCOMPARE(f.fake->sound.played, QStringList{f.sound("ok.wav")});

        d.show();
        click(d.Check2, QPoint(8, 8));
        click(d.Command2er);
        QCOMPARE(main.SwFlash->backgroundColor(), -1);
        QCOMPARE(settings::read("MyApp5", "Text7"), QStringLiteral("1"));
    }

    void droppedWebAddressLoadsItAndBringsTheMainWindowUp() {
        Form1& main = form1();
        Dialog& d = dialog();
        const int entries = d.List1->listCount();
        d.show();
        main.show();
        main.setWindowStateValue(Form::kMinimized);
        form3().show();
        const QString address = QStringLiteral("http://127.0.0.1:9/movies/intro.swf");
        QMimeData text;
        text.setData(QStringLiteral("text/plain"), address.toUtf8());
        text.setUrls({QUrl(address)});
        QVERIFY(dropOn(d.Frame1, &text));
        QCOMPARE(main.SwFlash->movie(), address);
        QCOMPARE(d.TxtURL->text(), address);
        QCOMPARE(main.windowStateValue(), int(Form::kNormal));
        QVERIFY(main.isVisible());
        QVERIFY(!form3().isVisible());
        QCOMPARE(d.List1->listCount(), entries);  // text never enters the play list

        // Text dropped on the address box counts as dropped on the page.
        const QString other = sampleMovie();
        QMimeData path;
        path.setText(other);
        QVERIFY(dropOn(d.TxtURL, &path));
        QCOMPARE(main.SwFlash->movie(), other);
        QCOMPARE(d.TxtURL->text(), other);
        QCOMPARE(d.List1->listCount(), entries);
    }

    void onlyTextIsTakenByThePageFilesOnlyByTheAddressBox() {
        Form1& main = form1();
        Dialog& d = dialog();
        QMimeData link;  // an address without a text copy
        link.setUrls({QUrl(QStringLiteral("http://127.0.0.1:9/a.swf"))});
        QVERIFY(!dropOn(d.Frame1, &link));
        QVERIFY(!dropOn(d.TxtURL, &link));
        QCOMPARE(d.TxtURL->text(), QString());

        const QString movie = sampleMovie(QStringLiteral("dropped.swf"));
        QMimeData file;  // as a file manager drags: the file and its name as text
        file.setUrls({QUrl::fromLocalFile(movie)});
        file.setText(movie);
        QVERIFY(!dropOn(d.Frame1, &file));
        QCOMPARE(main.SwFlash->movie(), QString());

        const int entries = d.List1->listCount();
        QVERIFY(dropOn(d.TxtURL, &file));
        QCOMPARE(d.TxtURL->text(), movie);
        QCOMPARE(main.SwFlash->movie(), movie);
        QCOMPARE(d.List1->listCount(), entries + 1);
        QCOMPARE(d.List1->list(entries), QStringLiteral("dropped.swf"));
        QCOMPARE(d.List2->list(entries), movie);
    }

    void hoverFeedback() {
        form1();
        Dialog& d = dialog();
        d.show();
        for (TextBox* box : {d.TxtFrame, d.TxtURL, d.TxtPath}) {
            QVERIFY(!box->hasFrame());
            moveOver(box);
            QVERIFY(box->hasFrame());
        }
        moveOver(d.ImgPath);
        QVERIFY(samePicture(d.ImgPath->picture(), res::bitmap(141)));
        QTest::mousePress(d.ImgPath, Qt::LeftButton, {}, QPoint(3, 3));
        QVERIFY(samePicture(d.ImgPath->picture(), res::bitmap(140)));
        QTest::mouseRelease(d.ImgPath, Qt::LeftButton, {}, QPoint(3, 3));
        QVERIFY(samePicture(d.ImgPath->picture(), res::bitmap(141)));

        QTest::mousePress(d.Tabutton4, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseRelease(d.Tabutton4, Qt::LeftButton, {}, QPoint(5, 5));
        moveOver(d.Label7);
        QCOMPARE(d.Label7->foreColor(), QColor(255, 0, 0));
        QCOMPARE(d.Label7->cursor().pixmap().toImage(), res::handCursor().pixmap().toImage());
        // The other pages leave the capture folder's border alone.
        moveOver(d.Frame4);
        QVERIFY(!d.TxtFrame->hasFrame() && !d.TxtURL->hasFrame());
        QVERIFY(d.TxtPath->hasFrame());
        QCOMPARE(d.Label7->foreColor(), QColor(192, 192, 255));

        moveOver(d.Label7);
        QTest::mousePress(d.Tabutton1, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseRelease(d.Tabutton1, Qt::LeftButton, {}, QPoint(5, 5));
        moveOver(d.Frame1);
        QVERIFY(!d.TxtPath->hasFrame());
        QVERIFY(samePicture(d.ImgPath->picture(), res::bitmap(140)));
        QCOMPARE(d.Label7->foreColor(), QColor(192, 192, 255));
    }

    void folderButtonFillsTheCaptureFolder() {
        form1();
        Dialog& d = dialog();
        f.fake->dialogs.folderAnswers.push_back(QStringLiteral("/home/u/captures"));
        click(d.ImgPath, QPoint(3, 3));
        QCOMPARE(f.fake->dialogs.folderTitles, QStringList{QStringLiteral("抓图将被保存到：")});
        QCOMPARE(d.TxtPath->text(), QStringLiteral("/home/u/captures"));
        QCOMPARE(d.Text8->text(), QStringLiteral("/home/u/captures"));
        // Cancelled: both stay.
        click(d.ImgPath, QPoint(3, 3));
        QCOMPARE(f.fake->dialogs.folderTitles.size(), 2);
        QCOMPARE(d.TxtPath->text(), QStringLiteral("/home/u/captures"));
    }

    void helpButtonOpensTheHelpFile() {
        form1();
        Dialog& d = dialog();
        d.show();
        d.showPage(d.Frame4);
        click(d.buttonhelp);
        QCOMPARE(f.fake->shell.opened.size(), 1);
        QVERIFY(f.fake->shell.opened.first().endsWith(QLatin1String("ZephyrDeck.chm")));
        QVERIFY(d.isVisible());
    }

    void helpPageMailLinkAndClose() {
        form1();
        Dialog& d = dialog();
        d.show();
        d.showPage(d.Frame4);
        QVERIFY(d.Label7->text().endsWith(QLatin1String(kContactAddress)));
        // The whole address is readable in the label's design width.
        QVERIFY(d.Label7->fontMetrics().horizontalAdvance(d.Label7->text()) <= d.Label7->width());
        click(d.Label7);
        QCOMPARE(f.fake->shell.opened,
                 QStringList{QStringLiteral("mailto:") + QLatin1String(kContactAddress)});
        QCOMPARE(f.fake->sound.played, QStringList{f.sound("menu.wav")});
        QVERIFY(d.isVisible());
        click(d.xpcmdbutton1);
        QVERIFY(!d.isVisible());
        QCOMPARE(f.fake->sound.played.last(), f.sound("ok.wav"));
    }

    void advancedButtonSwapsToTheAdvancedWindow() {
        form1();
        Dialog& d = dialog();
        d.show();
        click(d.ComAdvanced);
        QVERIFY(!d.isVisible());
        QVERIFY(loadedForm2() != nullptr);
        QVERIFY(form2().isVisible());
    }

    void optionsButtonShowsTheWindowAndReshowsItInPlace() {
        Form1& main = form1();
        main.show();
        Dialog& d = dialog();
        // Start-up leaves the command line's empty entry at the end of the list.
        QCOMPARE(d.List1->listCount(), 1);
        const QPoint home = d.pos();
        click(main.ImageOption, QPoint(3, 3));
        QVERIFY(d.isVisible());
        QCOMPARE(d.pos(), home);
        QCOMPARE(d.List1->listCount(), 0);  // the empty entry is cleaned away
        QCOMPARE(f.fake->sound.played, QStringList{f.sound("menu.wav")});

        d.move(home + QPoint(40, 30));
        const QPoint moved = d.pos();
        click(main.ImageOption, QPoint(3, 3));
        QVERIFY(d.isVisible());
        QCOMPARE(d.pos(), moved);
        QCOMPARE(f.fake->sound.played.size(), 2);
    }
};

QTEST_MAIN(OptionsWindowTest)
#include "OptionsWindowTest.moc"
