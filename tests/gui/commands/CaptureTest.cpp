// The capture button of the full-screen bar: the upper 8/9 of the foreground window as a
// numbered .bmp file in the capture folder, never replacing an earlier one; the folder asked
// for first when none is chosen.
#include <QTemporaryDir>
#include <QtTest>

#include "CommandsFixture.h"
#include "app/Settings.h"

using namespace zd;

class CaptureTest : public QObject {
    Q_OBJECT

    testing::CommandsFixture f;
    std::unique_ptr<QTemporaryDir> folder;

    Form1& fullScreenWithFolder(const QString& counter) {
        Form1& main = f.shownMainWindow();
        dialog().TxtPath->setText(folder->path());
        main.Text3->setText(counter);
        f.enterFullScreen(main);
        return main;
    }

    QString picturePath(const QString& name) const { return folder->filePath(name); }

    static void writeFile(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    static QByteArray contents(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

  private slots:
    void init() {
        f.setUp();
        folder = std::make_unique<QTemporaryDir>();
    }
    void cleanup() {
        folder.reset();
        f.tearDown();
    }

    void aCaptureWritesTheCounterFileAndTheCounterAdvances() {
        Form1& main = fullScreenWithFolder(QStringLiteral("7"));
        f.click(main.ImgCapture);
        // The upper 8/9 of the full-screen window: 768 / 1.125 = 682.67 rows.
        QCOMPARE(f.fake->capture.areas.size(), size_t(1));
        QCOMPARE(f.fake->capture.areas[0], QRect(0, 0, 1024, 683));
        const QImage saved(picturePath(QStringLiteral("7.bmp")), "BMP");
        QCOMPARE(saved.size(), QSize(1024, 683));
        QCOMPARE(saved.pixelColor(512, 300), f.fake->capture.colour);
        QCOMPARE(main.Text3->text(), QStringLiteral("8"));
        QCOMPARE(main.Pic3->picture().size(), QSize(1024, 683));
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(&main));
        f.click(main.ImgCapture);
        QVERIFY(QFile::exists(picturePath(QStringLiteral("8.bmp"))));
        QCOMPARE(main.Text3->text(), QStringLiteral("9"));
        // The unload step keeps the counter for the next start.
        unloadForm1();
        QCOMPARE(settings::read(QStringLiteral("Myapp9"), QStringLiteral("Text3")),
                 QStringLiteral("9"));
    }

    void aWindow900PixelsHighIsCaptured800High() {
        f.fake->setScreen(1600, 900);
        Form1& main = fullScreenWithFolder(QStringLiteral("0"));
        QCOMPARE(main.frameGeometry(), QRect(0, 0, 1600, 900));
        f.click(main.ImgCapture);
        QCOMPARE(f.fake->capture.areas.back(), QRect(0, 0, 1600, 800));
        QCOMPARE(QImage(picturePath(QStringLiteral("0.bmp"))).size(), QSize(1600, 800));
    }

    void anEarlierPictureIsNeverReplaced() {
        writeFile(picturePath(QStringLiteral("7.bmp")), "first");
        writeFile(picturePath(QStringLiteral("8.bmp")), "second");
        Form1& main = fullScreenWithFolder(QStringLiteral("7"));
        f.click(main.ImgCapture);
        QCOMPARE(contents(picturePath(QStringLiteral("7.bmp"))), QByteArray("first"));
        QCOMPARE(contents(picturePath(QStringLiteral("8.bmp"))), QByteArray("second"));
        QCOMPARE(QImage(picturePath(QStringLiteral("9.bmp"))).size(), QSize(1024, 683));
        QCOMPARE(main.Text3->text(), QStringLiteral("10"));
    }

    void aCounterThatIsNoNumberStartsAtTheFirstFreeNumber() {
        // A first start reads the missing counter as its key's name.
        writeFile(picturePath(QStringLiteral("0.bmp")), "kept");
        Form1& main = fullScreenWithFolder(QStringLiteral("Text3"));
        f.click(main.ImgCapture);
        QCOMPARE(contents(picturePath(QStringLiteral("0.bmp"))), QByteArray("kept"));
        QVERIFY(QFile::exists(picturePath(QStringLiteral("1.bmp"))));
        QVERIFY(!QFile::exists(picturePath(QStringLiteral("Text3.bmp"))));
        QCOMPARE(main.Text3->text(), QStringLiteral("2"));
    }

    void withoutAFolderTheFolderIsAskedForFirst() {
        Form1& main = f.shownMainWindow();
        main.Text3->setText(QStringLiteral("7"));
        dialog().TxtPath->setText(QString());
        f.enterFullScreen(main);
        // Cancelled: the options window is up, nothing is captured.
        f.click(main.ImgCapture);
        QVERIFY(dialog().isVisible());
        QCOMPARE(f.fake->dialogs.folderTitles, QStringList{QStringLiteral("抓图将被保存到：")});
        QVERIFY(f.fake->capture.areas.empty());
        QCOMPARE(main.Text3->text(), QStringLiteral("7"));
        // Chosen: kept as the capture folder, and the picture is of the main window.
        f.fake->dialogs.folderAnswers.push_back(folder->path());
        f.click(main.ImgCapture);
        QCOMPARE(dialog().TxtPath->text(), folder->path());
        QCOMPARE(dialog().Text8->text(), folder->path());
        QCOMPARE(f.fake->capture.areas.size(), size_t(1));
        QCOMPARE(f.fake->capture.areas[0], QRect(0, 0, 1024, 683));
        QVERIFY(QFile::exists(picturePath(QStringLiteral("7.bmp"))));
        QCOMPARE(main.Text3->text(), QStringLiteral("8"));
        QCOMPARE(QApplication::activeWindow(), static_cast<QWidget*>(&main));
    }

    void aFolderThatIsNotThereIsAskedForAsAMissingOne() {
        // A first start: the stored folder reads as the key's own name, "Text8".
        Form1& main = f.shownMainWindow();
        QCOMPARE(dialog().TxtPath->text(), QStringLiteral("Text8"));
        main.Text3->setText(QStringLiteral("3"));
        f.enterFullScreen(main);
        f.click(main.ImgCapture);  // cancelled
        QCOMPARE(f.fake->dialogs.folderTitles.size(), 1);
        QVERIFY(f.fake->capture.areas.empty());
        QCOMPARE(main.Text3->text(), QStringLiteral("3"));
        // A folder that went away, or a file where the folder was: asked for again.
        dialog().TxtPath->setText(picturePath(QStringLiteral("gone")));
        f.click(main.ImgCapture);
        writeFile(picturePath(QStringLiteral("a file")), "x");
        dialog().TxtPath->setText(picturePath(QStringLiteral("a file")));
        f.fake->dialogs.folderAnswers.push_back(folder->path());
        f.click(main.ImgCapture);
        QCOMPARE(f.fake->dialogs.folderTitles.size(), 3);
        QCOMPARE(dialog().TxtPath->text(), folder->path());
        QVERIFY(QFile::exists(picturePath(QStringLiteral("3.bmp"))));
        QCOMPARE(main.Text3->text(), QStringLiteral("4"));
    }

    void aPictureThatWasNotWrittenLeavesTheCounter() {
        Form1& main = fullScreenWithFolder(QStringLiteral("3"));
        // Nothing read from the screen: no file, not even an empty one, and no number used.
        f.fake->capture.failing = true;
        f.click(main.ImgCapture);
        QVERIFY(!QFile::exists(picturePath(QStringLiteral("3.bmp"))));
        QCOMPARE(main.Text3->text(), QStringLiteral("3"));
        f.fake->capture.failing = false;
        f.click(main.ImgCapture);
        QVERIFY(QFile::exists(picturePath(QStringLiteral("3.bmp"))));
        QCOMPARE(main.Text3->text(), QStringLiteral("4"));
    }

    void theScreenGrabReadsWhatTheWindowShows() {
        platform::setScreenCapture(nullptr);  // the real grab, of the offscreen screen
        Form1& main = fullScreenWithFolder(QStringLiteral("1"));
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        main.SwFlash->setBackgroundColor(-1);  // white around the (absent) movie
        QCursor::setPos(520, 310);
        QTRY_VERIFY_WITH_TIMEOUT(f.barShown(main), 500);
        QTest::qWait(50);
        const QImage picture = main.CaptureActiveWindow();
        QCOMPARE(picture.size(), QSize(1024, 683));
        const QImage shown =
            main.grab(QRect(0, 0, 1024, 683)).toImage().convertToFormat(picture.format());
        QCOMPARE(picture, shown);
        QCOMPARE(picture.pixelColor(512, 300), QColor(Qt::white));
        // Taken at an offset, the same pixels further in.
        const QImage corner = main.CaptureWindow(&main, true, 1000, 600, 24, 83);
        QCOMPARE(corner, shown.copy(1000, 600, 24, 83));
    }
};

QTEST_MAIN(CaptureTest)
#include "CaptureTest.moc"
