// The shared routines behind the popup menus and several windows, driven on the real windows.
#include <QtTest>

#include "ControllerFixture.h"
#include "app/Gradient.h"
#include "options/Dialog.h"
#include "platform/AppFolder.h"
#include "popups/Form2.h"
#include "popups/Form3.h"
#include "popups/FrmHelp.h"
#include "program/Functions.h"

using namespace zd;

class SharedRoutinesTest : public QObject {
    Q_OBJECT

    testing::ControllerFixture f;

  private slots:
    void init() {
        f.setUp();
        form1();
    }
    void cleanup() { f.tearDown(); }

    void removeEmptyEntriesTakesOnlyTheFirstOfTwoInARow() {
        f.setLists({"a.swf", "", "", "b.swf"}, {"/a.swf", "", "", "/b.swf"});
        RemoveEmptyEntries();
        QCOMPARE(f.entries(dialog().List1), (QStringList{"a.swf", "", "b.swf"}));
        QCOMPARE(f.entries(dialog().List2), (QStringList{"/a.swf", "", "/b.swf"}));
        QCOMPARE(dialog().List1->listIndex(), 0);
        RemoveEmptyEntries();  // the next pass takes the other
        QCOMPARE(f.entries(dialog().List1), (QStringList{"a.swf", "b.swf"}));
        QCOMPARE(f.entries(dialog().List2), (QStringList{"/a.swf", "/b.swf"}));
    }

    void removeEmptyEntriesAtTheEndAndOnAnEmptyList() {
        // After removing the first, nothing is selected and selecting past the end fails, so
        // the second empty entry is not touched.
        f.setLists({"", ""}, {"", ""});
        RemoveEmptyEntries();
        QCOMPARE(dialog().List1->listCount(), 1);
        QCOMPARE(dialog().List2->listCount(), 1);

        f.setLists({"x.swf", ""}, {"/x.swf", ""});
        RemoveEmptyEntries();
        QCOMPARE(f.entries(dialog().List1), QStringList{"x.swf"});
        QCOMPARE(f.entries(dialog().List2), QStringList{"/x.swf"});

        f.setLists({}, {});
        RemoveEmptyEntries();
        QCOMPARE(dialog().List1->listCount(), 0);
        QCOMPARE(dialog().List1->listIndex(), -1);
    }

    void removeSelectedEntryTakesEachListsOwnSelection() {
        f.setLists({"a.swf", "b.swf", "c.swf"}, {"/a.swf", "/b.swf", "/c.swf"});
        dialog().List1->setListIndex(1);
        dialog().List2->setListIndex(1);
        RemoveSelectedEntry();
        QCOMPARE(f.entries(dialog().List1), (QStringList{"a.swf", "c.swf"}));
        QCOMPARE(f.entries(dialog().List2), (QStringList{"/a.swf", "/c.swf"}));
        QCOMPARE(dialog().List1->listIndex(), -1);
        RemoveSelectedEntry();  // nothing selected: nothing removed
        QCOMPARE(dialog().List1->listCount(), 2);
    }

    void optionsWindowRoutinesCleanTheListOnceOrTwice() {
        const QStringList names{"", "", "", "a.swf"};
        const QStringList paths{"", "", "", "/a.swf"};
        f.setLists(names, paths);
        dialog().hide();
        ShowOptionsWindow();
        QVERIFY(dialog().isVisible());
        QCOMPARE(f.entries(dialog().List1), (QStringList{"", "a.swf"}));  // one pass

        f.setLists(names, paths);
        dialog().hide();
        RaiseOptionsWindow();  // hidden: shown and cleaned, then cleaned again
        QVERIFY(dialog().isVisible());
        QCOMPARE(f.entries(dialog().List1), QStringList{"a.swf"});
        QCOMPARE(f.entries(dialog().List2), QStringList{"/a.swf"});

        f.setLists(names, paths);
        RaiseOptionsWindow();  // visible already: one pass
        QVERIFY(dialog().isVisible());
        QCOMPARE(f.entries(dialog().List1), (QStringList{"", "a.swf"}));
    }

    void mainAndFloatingWindowsSwapPlaces() {
        Form1& main = form1();
        main.show();
        HideMainWindow();
        QVERIFY(main.isHidden());
        QVERIFY(form3().isVisible());

        HideFloatWindow();
        QVERIFY(form3().isHidden());
        HideMainWindow();  // the main window is hidden already: the floating one stays away
        QVERIFY(form3().isHidden());

        ShowFloatWindow();
        QVERIFY(form3().isVisible());
        main.show();
        main.setWindowStateValue(Form::kMinimized);
        ShowMainWindow();
        QVERIFY(main.isVisible());
        QCOMPARE(main.windowStateValue(), int(Form::kNormal));
        QVERIFY(form3().isHidden());
    }

    void showMainWindowDoesNotLoadTheFloatingWindow() {
        ShowMainWindow();
        QVERIFY(form1().isVisible());
        QVERIFY(loadedForm3() == nullptr);
        HideFloatWindow();
        QVERIFY(loadedForm3() == nullptr);
    }

    void aboutShowsWithoutBlockingAndHelpOpensTheHelpFile() {
        ShowAbout();
        QVERIFY(frmHelp().isVisible());
        QVERIFY(!frmHelp().isModal());
        ShowHelp();
        QCOMPARE(f.fake->shell.opened,
                 QStringList{platform::appFile(QStringLiteral("ZephyrDeck.chm"))});
        f.fake->shell.openResult = false;
        ShowHelp();  // a failure is not reported
        QCOMPARE(f.fake->shell.opened.size(), 2);
        QVERIFY(f.fake->messages.shown.empty());
    }

    void withoutAProgramForTheCompiledHelpItsPagesOpenInTheBrowser() {
        const QString compiled = platform::appFile(QStringLiteral("ZephyrDeck.chm"));
        f.fake->shell.withoutOpener = {compiled};
        ShowHelp();  // no pages shipped: nothing to open
        QVERIFY(f.fake->shell.opened.isEmpty());

        const QString pages = f.fake->file("help/index.html");
        QVERIFY(QDir().mkpath(QFileInfo(pages).absolutePath()));
        QFile page(pages);
        QVERIFY(page.open(QIODevice::WriteOnly));
        page.close();
        ShowHelp();
        QCOMPARE(f.fake->shell.opened, QStringList{pages});
        // A program named for it that does not start: the pages all the same.
        f.fake->shell.withoutOpener.clear();
        f.fake->shell.openResult = false;
        ShowHelp();
        QCOMPARE(f.fake->shell.opened, (QStringList{pages, compiled, pages}));
        QVERIFY(f.fake->messages.shown.empty());
    }

    void openMovieAndPlaySelectedEntryLoadTheMovie() {
        Form1& main = form1();
        OpenMovie();
        QCOMPARE(f.fake->dialogs.openFileRequests.size(), size_t(1));

        const QString path = f.movie("listed.swf", 10);
        f.setLists({"listed.swf", "other.swf"}, {path, "/nowhere/other.swf"});
        dialog().List2->setListIndex(0);
        PlaySelectedEntry();
        QCOMPARE(main.SwFlash->movie(), path);
        QTRY_VERIFY(main.TmrPlay->enabled());

        // Nothing selected: the movie that plays stays.
        dialog().List2->setListIndex(-1);
        PlaySelectedEntry();
        QCOMPARE(main.SwFlash->movie(), path);
    }

    void entryPropertiesReportOnlyAFailure() {
        f.setLists({"a.swf", "b.swf"}, {"/m/a.swf", "/m/b.swf"});
        dialog().List2->setListIndex(1);
        f.fake->shell.propertiesResult = 33;
        ShowEntryProperties();
        QCOMPARE(f.fake->shell.propertiesShown, QStringList{"/m/b.swf"});
        QVERIFY(f.fake->messages.shown.empty());

        f.fake->shell.propertiesResult = 32;
        ShowEntryProperties();
        QCOMPARE(f.fake->messages.shown.size(), size_t(1));
        QCOMPARE(f.fake->messages.shown[0].text, QStringLiteral("Error"));
        QCOMPARE(f.fake->messages.shown[0].caption, QStringLiteral("ZephyrDeck"));
        QCOMPARE(f.fake->messages.shown[0].style, 0x30);
        QCOMPARE(ShowFileProperties(QStringLiteral("/m/a.swf"), nullptr), 32);
    }

    void captureFolderChoiceFillsBothBoxesAndCancelChangesNothing() {
        Dialog& options = dialog();
        options.TxtPath->setText(QStringLiteral("/old/shots"));
        preferences().setCaptureFolder(QStringLiteral("/old/shots"));
        f.fake->dialogs.folderAnswers.push_back(std::nullopt);
        BrowseCaptureFolder();
        QCOMPARE(f.fake->dialogs.folderTitles, QStringList{QStringLiteral("抓图将被保存到：")});
        QCOMPARE(options.TxtPath->text(), QStringLiteral("/old/shots"));
        QCOMPARE(options.Text8->text(), QStringLiteral("/old/shots"));

        f.fake->dialogs.folderAnswers.push_back(QStringLiteral("/home/me/抓图"));
        BrowseCaptureFolder();
        QCOMPARE(options.TxtPath->text(), QStringLiteral("/home/me/抓图"));
        QCOMPARE(options.Text8->text(), QStringLiteral("/home/me/抓图"));
    }

    void gradientBandsReachThePictureBoxPixels() {
        // 9450 twips high at 15 twips a pixel: bands of 150 twips, 10 pixels each.
        PictureBox box;
        setTwipsGeometry(&box, {0, 0, 1500, 9450});
        QCOMPARE(box.size(), QSize(100, 630));
        qint32 red = 100, green = 150, blue = 250;
        PaintGradient(&box, red, green, blue, true);
        QCOMPARE(red, 0);
        const QImage top = box.grab().toImage();
        for (int band = 0; band < kGradientBands; ++band) {
            const int y = band * 10 + 5;
            const QColor expected(std::max(0, 100 - 4 * band), std::max(0, 150 - 4 * band),
                                  std::max(0, 250 - 4 * band));
            QCOMPARE(top.pixelColor(0, y), expected);
            QCOMPARE(top.pixelColor(99, y), expected);
        }
        QCOMPARE(top.pixelColor(50, 255), QColor(0, 50, 150));  // the 26th band

        red = 100, green = 150, blue = 250;
        PaintGradient(&box, red, green, blue, false);
        const QImage bottom = box.grab().toImage();
        QCOMPARE(bottom.pixelColor(50, 625), QColor(100, 150, 250));
        QCOMPARE(bottom.pixelColor(50, 625 - 250), QColor(0, 50, 150));
        QCOMPARE(bottom.pixelColor(50, 5), QColor(0, 0, 2));
    }
};

QTEST_MAIN(SharedRoutinesTest)
#include "SharedRoutinesTest.moc"
