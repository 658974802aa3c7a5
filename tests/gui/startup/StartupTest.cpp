// The start-up and shut-down of the main window, driven through the real windows offscreen
// with the platform faked.
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>
#include <memory>

#include "../../common/StoredList.h"
#include "app/Class1.h"
#include "app/FlashControl.h"
#include "controls/FlatScrollBar.h"
#include "mainwindow/Form1.h"
#include "options/Dialog.h"
#include "options/ListFiles.h"
#include "platform/ProfileFile.h"
#include "platform/fake/FakePlatform.h"
#include "program/Functions.h"
#include "program/Program.h"
#include "program/Translations.h"
#include "program/Windows.h"

using namespace zd;

class StartupTest : public QObject {
    Q_OBJECT

    std::unique_ptr<platform::FakePlatform> fake;
    int processEnds = 0;

    QByteArray fileBytes(const QString& name) {
        QFile f(fake->file(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void writeFile(const QString& name, const QByteArray& bytes) {
        QFile f(fake->file(name));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }

  private slots:
    void init() {
        qputenv("ZD_SPLASH_MS", "0");
        fake = std::make_unique<platform::FakePlatform>();
        processEnds = 0;
        markExitRoutineStarted(false);
        setEndProcessHandler([this] { ++processEnds; });
    }

    void cleanup() {
        discardAllWindows();
        setEndProcessHandler(nullptr);
        fake.reset();
    }

    void firstStartReadsTheCounterDefaultAndExitWritesIt() {
        QVERIFY(!QFile::exists(fake->file("Settings.Tov")));
        Form1& main = form1();
        QCOMPARE(main.Text3->text(), QStringLiteral("Text3"));
        QuitProgram();
        QCOMPARE(processEnds, 1);
        QVERIFY(loadedForm1() == nullptr);
        QVERIFY(loadedDialog() == nullptr);
        QCOMPARE(fileBytes("Settings.Tov"), QByteArray("[MyApp9]\nText3=Text3\n"));
    }

    void storedCounterIsReadAndWrittenBack() {
        writeFile("Settings.Tov", "[myapp9]\ntext3=7\n[MyApp1]\nText1=12\n");
        QCOMPARE(form1().Text3->text(), QStringLiteral("7"));
        form1().Text3->setText(QStringLiteral("9"));
        QuitProgram();
        QCOMPARE(fileBytes("Settings.Tov"), QByteArray("[myapp9]\ntext3=9\n[MyApp1]\nText1=12\n"));
    }

    void exitRoutineRunsOnce() {
        form1();
        QuitProgram();
        QuitProgram();
        QCOMPARE(processEnds, 1);
    }

    void startingWithoutArgumentAppendsAnEmptyEntryAndSaves() {
        Form1& main = form1();
        QCOMPARE(main.SwFlash->movie(), QString());
        Dialog& options = dialog();
        QCOMPARE(options.List1->listCount(), 1);
        QCOMPARE(options.List2->listCount(), 1);
        QCOMPARE(options.List2->list(0), QString());
        QCOMPARE(zd::testing::storedList(listfiles::pathsFilePath(), "List2"),
                 (QStringList{"", ""}));
        QCOMPARE(options.Text5->text(), QStringLiteral("1"));
        QCOMPARE(options.Text6->text(), QStringLiteral("1"));
    }

    void commandLineMovieJoinsTheKeptList() {
        listfiles::writeListFile(listfiles::namesFilePath(), "List1", {"a.swf", "b.swf"});
        listfiles::writeListFile(listfiles::pathsFilePath(), "List2", {"/m/a.swf", "/m/b.swf"});
        fake->setCommandLine(QStringLiteral("/films/new movie.swf"));
        form1();
        Dialog& options = dialog();
        QCOMPARE(options.List1->listCount(), 3);
        QCOMPARE(options.List1->list(2), QStringLiteral("new movie.swf"));
        QCOMPARE(options.List2->list(2), QStringLiteral("/films/new movie.swf"));
        QCOMPARE(zd::testing::storedList(listfiles::pathsFilePath(), "List2"),
                 (QStringList{"/m/a.swf", "/m/b.swf", "/films/new movie.swf", ""}));
    }

    void quotedPathReachesMovieAndListUnchanged() {
        // A movie that loads: Movie reads back empty once a load has failed.
        QTemporaryDir movies;
        const QString path = movies.filePath(QStringLiteral("x y.swf"));
        QVERIFY(QFile::copy(QStringLiteral(ZD_BIN_DIR "/samples/zephyrdeck-sample.swf"), path));
        const QString quoted = QLatin1Char('"') + path + QLatin1Char('"');
        fake->setCommandLine(quoted);
        Form1& main = form1();
        QCOMPARE(main.SwFlash->movie(), quoted);
        QCOMPARE(dialog().List2->list(dialog().List2->listCount() - 1), quoted);
    }

    void mainWindowIsBorderlessAtTheOriginAtDesignSize() {
        Form1& main = form1();
        QCOMPARE(main.pos(), QPoint(0, 0));
        QCOMPARE(main.size(), QSize(350, 353));  // 5250 x 5295 twips at 15 twips per pixel
        QVERIFY(main.windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(main.RefScaleWidth, 5250);
        QCOMPARE(main.RefScaleHeight, 5295);
    }

    void layoutTagsHoldTheDesignGeometry() {
        Form1& main = form1();
        QCOMPARE(Form1::layoutTag(main.SwFlash), QStringLiteral("480 360 4500 4500 "));
        QCOMPARE(Form1::layoutTag(main.Label1), QStringLiteral("0 3720 375 255 6.75 "));
        QCOMPARE(Form1::layoutTag(main.Text3), QStringLiteral("2040 2880 615 270 9 "));
        QCOMPARE(Form1::layoutTag(main.TmrPlay), QString());
        QVERIFY(!main.ImaListBar2->isVisible());
    }

    void mixerThatCannotOpenShowsItsMessageOnce() {
        fake->mixer.openError = 2;
        Form1& main = form1();
        QCOMPARE(fake->messages.shown.size(), size_t(1));
        QCOMPARE(fake->messages.shown[0].text, QStringLiteral("Could not open the mixer."));
        QCOMPARE(fake->messages.shown[0].caption, QStringLiteral("Volume Control"));
        QCOMPARE(fake->messages.shown[0].style, 16);
        QVERIFY(main.mixer->prMixerErr() != 0);
        QVERIFY(fake->mixer.speakerWrites.empty());
    }

    void volumeBarSpansHalfTheSpeakerRangeAndSetsItAtOnce() {
        fake->mixer.speaker = platform::VolumeRange{0, 40000};
        Form1& main = form1();
        QCOMPARE(main.HScroll1->Max(), 20000);
        QCOMPARE(main.HScroll1->Value(), 20000);
        QCOMPARE(main.HScroll1->SmallChange(), 625);  // a sixty-fourth of the range
        QVERIFY(!fake->mixer.speakerWrites.empty());
        QCOMPARE(fake->mixer.speakerWrites.back(), 40000L);
    }

    void theVolumeStepIsASixtyFourthOfASmallSpeakerRange() {
        // Hardware mixers often have 0..87: a step of 1000 jumped to an end at one click.
        fake->mixer.speaker = platform::VolumeRange{0, 87};
        Form1& main = form1();
        QCOMPARE(main.HScroll1->Max(), 43);
        QCOMPARE(main.HScroll1->SmallChange(), 1);
        QCOMPARE(main.HScroll1->LargeChange(), 1);
        discardAllWindows();
        fake->mixer.speaker = platform::VolumeRange{-6400, 6400};
        QCOMPARE(form1().HScroll1->SmallChange(), 200);
    }

    void widerSpeakerRangeIsCutToTheBar() {
        fake->mixer.speaker = platform::VolumeRange{0, 65536};
        Form1& main = form1();
        QCOMPARE(main.HScroll1->Max(), 32767);
        QCOMPARE(main.HScroll1->SmallChange(), 1000);  // the step meant for this range
        QCOMPARE(fake->mixer.speakerWrites.back(), 65534L);
    }

    void anExitWhileTheSplashShowsEndsTheProgramOnceWithoutWritingWhatItNeverRead() {
        writeFile("Settings.Tov", "[MyApp9]\nText3=7\n");
        fake->setCommandLine(QStringLiteral("/films/x.swf"));
        qputenv("ZD_SPLASH_MS", "5000");
        QElapsedTimer clock;
        clock.start();
        // SIGTERM or the session ending while the splash waits.
        QTimer::singleShot(50, [] { QuitProgram(); });
        form1();
        QVERIFY(clock.elapsed() < 4000);  // the splash does not keep the program
        QCOMPARE(processEnds, 1);
        QVERIFY(!loadedForm1());
        QVERIFY(!loadedDialog());
        QCOMPARE(fileBytes("Settings.Tov"), QByteArray("[MyApp9]\nText3=7\n"));
        QVERIFY(!QFile::exists(fake->file("List2.Tov")));
        // Nothing starts again afterwards.
        QCoreApplication::processEvents();
        QCOMPARE(processEnds, 1);
        QVERIFY(!loadedForm1());
    }

    void anExitWhileTheMixerMessageWaitsEndsTheProgramOnce() {
        writeFile("Settings.Tov", "[MyApp9]\nText3=7\n");
        fake->setCommandLine(QStringLiteral("/films/x.swf"));
        fake->mixer.openError = 2;
        fake->messages.whileShown = [] { QuitProgram(); };
        form1();
        QCOMPARE(fake->messages.shown.size(), size_t(1));
        QCOMPARE(processEnds, 1);
        QVERIFY(!loadedForm1());
        QCOMPARE(fileBytes("Settings.Tov"), QByteArray("[MyApp9]\nText3=7\n"));
        QVERIFY(!fileBytes("List2.Tov").contains("x.swf"));
        QCoreApplication::processEvents();
        QCOMPARE(processEnds, 1);
    }

    void theStandardDialogsSpeakChinese() {
        QTranslator* translator = installQtTranslations(*QCoreApplication::instance());
        QVERIFY2(translator, "Qt's Chinese translations are not installed");
        QMessageBox box(QMessageBox::Warning, QStringLiteral("ZephyrDeck"), QStringLiteral("x"),
                        QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(box.button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
        QCOMPARE(box.button(QMessageBox::Cancel)->text(), QStringLiteral("取消"));
        QFileDialog open;
        open.setOption(QFileDialog::DontUseNativeDialog, true);
        QCOMPARE(open.labelText(QFileDialog::FileType), QStringLiteral("文件类型："));
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }

    void windowManagerCloseRunsTheExitRoutine() {
        Form1& main = form1();
        main.show();
        main.close();
        QCOMPARE(processEnds, 1);
        QVERIFY(fileBytes("Settings.Tov").contains("Text3=Text3"));
    }
};

QTEST_MAIN(StartupTest)
#include "StartupTest.moc"
