// The play list page: loading the two files, paired duplicate removal, List2 following List1,
// preview, tool tips, the right-button menu and the page's buttons.
#include <QElapsedTimer>
#include <QMenu>
#include <QTemporaryDir>

#include "../../common/StoredList.h"
#include "OptionsFixture.h"
#include "app/FlashControl.h"
#include "controls/xpcmdbutton.h"
#include "mainwindow/Form1.h"
#include "options/Dialog.h"
#include "options/ListFiles.h"
#include "popups/PopupMenu.h"
#include "program/Functions.h"

using namespace zd;
using namespace zd::testing;

class PlayListTest : public QObject {
    Q_OBJECT

    OptionsFixture f;
    QTemporaryDir movies;

    static void saveLists(const QStringList& names, const QStringList& paths) {
        QVERIFY(listfiles::writeListFile(listfiles::namesFilePath(), "List1", names));
        QVERIFY(listfiles::writeListFile(listfiles::pathsFilePath(), "List2", paths));
    }

    static QStringList entries(const PlayListView* list) {
        QStringList all;
        for (int i = 0; i < list->listCount(); ++i)
            all << list->list(i);
        return all;
    }

    // A copy of the bundled sample movie under `name`.
    QString movie(const QString& name) {
        const QString path = movies.filePath(name);
        if (!QFile::exists(path))
            QFile::copy(QStringLiteral(ZD_BIN_DIR "/samples/zephyrdeck-sample.swf"), path);
        return path;
    }

    // The options window on its list page, as the user sees it.
    static Dialog& listPage() {
        Dialog& d = dialog();
        d.show();
        d.showPage(d.Frame3);
        return d;
    }

    static QPoint rowCentre(Dialog& d, int row) { return d.List1->rowRect(row).center(); }

    static void settle() { QCoreApplication::processEvents(); }

  private slots:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void storedListLoadsWithoutItsEmptyLastEntry() {
        saveLists({"a.swf", "b.swf", "c.swf"}, {"/m/a.swf", "/m/b.swf", "/m/c.swf"});
        f.fake->setCommandLine(QStringLiteral("/films/d.swf"));
        form1();
        Dialog& d = dialog();
        QCOMPARE(entries(d.List1), (QStringList{"a.swf", "b.swf", "c.swf", "d.swf"}));
        QCOMPARE(entries(d.List2),
                 (QStringList{"/m/a.swf", "/m/b.swf", "/m/c.swf", "/films/d.swf"}));
        QVERIFY(d.ComPlay->isEnabled());
        // Without a command-line movie, start-up appends an empty entry that the options
        // button cleans away.
        QuitProgram();
        markExitRoutineStarted(false);
        f.fake->setCommandLine(QString());
        Form1& main = form1();
        QCOMPARE(dialog().List1->listCount(), 5);
        QCOMPARE(dialog().List1->list(4), QString());
        QTest::mouseClick(main.ImageOption, Qt::LeftButton, {}, QPoint(3, 3));
        QCOMPARE(entries(dialog().List1), (QStringList{"a.swf", "b.swf", "c.swf", "d.swf"}));
        QCOMPARE(dialog().List2->listCount(), 4);
    }

    void unusableFilesLoadAnEmptyListAndPlayStaysOff_data() {
        QTest::addColumn<QByteArray>("names");
        QTest::addColumn<QByteArray>("paths");
        QTest::addColumn<bool>("playEnabled");
        QTest::newRow("no files") << QByteArray() << QByteArray() << false;
        QTest::newRow("only the names")
            << QByteArray("[Items]\nItems=1\n[0]\nList1=a.swf\n") << QByteArray() << false;
        QTest::newRow("count beyond 16 bits") << QByteArray("[Items]\nItems=2000000000\n")
                                              << QByteArray("[Items]\nItems=-5\n") << false;
        QTest::newRow("saved empty list") << QByteArray("[Items]\nItems=0\n[0]\nList1=\n")
                                          << QByteArray("[Items]\nItems=0\n[0]\nList2=\n") << true;
    }
    void unusableFilesLoadAnEmptyListAndPlayStaysOff() {
        QFETCH(QByteArray, names);
        QFETCH(QByteArray, paths);
        QFETCH(bool, playEnabled);
        if (!names.isEmpty())
            QVERIFY(f.writeFile("List.Tov", names));
        if (!paths.isEmpty())
            QVERIFY(f.writeFile("List2.Tov", paths));
        form1();
        Dialog& d = dialog();
        // Only the command line's (empty) entry.
        QCOMPARE(entries(d.List1), QStringList{QString()});
        QCOMPARE(entries(d.List2), QStringList{QString()});
        QCOMPARE(d.ComPlay->isEnabled(), playEnabled);
        // Entries added later do not bring the button back.
        d.obj_GetFileName(QStringLiteral("/m/new.swf"));
        settle();
        QCOMPARE(d.List1->listCount(), 2);
        QCOMPARE(d.ComPlay->isEnabled(), playEnabled);
    }

    void theLongestListStartsAndEndsAtOnce() {
        // 32,767 entries, the most the files keep (a pairwise duplicate pass took seconds at
        // the start and at the end with this many).
        QStringList names;
        QStringList paths;
        for (int i = 0; i < listfiles::kMaxEntries; ++i) {
            names << QStringLiteral("m%1.swf").arg(i);
            paths << QStringLiteral("/films/m%1.swf").arg(i);
        }
        saveLists(names, paths);
        f.fake->setCommandLine(QStringLiteral("/films/m5.swf"));
        QElapsedTimer clock;
        clock.start();
        form1();
        settle();
        QCOMPARE(dialog().List2->listCount(), listfiles::kMaxEntries);
        QuitProgram();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        // Generous for a sanitizer build; it took tens of seconds before.
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(f.processEnds, 1);
    }

    void aDamagedCountKeepsTheEntriesThatAreThere() {
        QVERIFY(f.writeFile("List.Tov", "[Items]\nItems=three\n[0]\nList1=a.swf\n"));
        QVERIFY(f.writeFile("List2.Tov", "[Items]\nItems=three\n[0]\nList2=/m/a.swf\n"));
        f.fake->setCommandLine(QStringLiteral("/m/b.swf"));
        form1();
        Dialog& d = dialog();
        QCOMPARE(entries(d.List1), (QStringList{"a.swf", "b.swf"}));
        QCOMPARE(entries(d.List2), (QStringList{"/m/a.swf", "/m/b.swf"}));
        QVERIFY(d.ComPlay->isEnabled());
        // Saved again whole, with a count.
        QCOMPARE(f.fileBytes("List2.Tov").count("Items=2"), 1);
    }

    void duplicatesGoByPathAndThePairsHold() {
        // A save can fall between an append and the duplicate pass: stored copies go on load.
        saveLists({"a.swf", "b.swf", "a.swf"}, {"/m/a.swf", "/m/b.swf", "/m/a.swf"});
        f.fake->setCommandLine(QStringLiteral("/m/b.swf"));
        form1();
        Dialog& d = dialog();
        settle();
        QCOMPARE(entries(d.List2), (QStringList{"/m/a.swf", "/m/b.swf"}));
        QCOMPARE(entries(d.List1), (QStringList{"a.swf", "b.swf"}));

        d.obj_GetFileName(QStringLiteral("/m/a.swf"));
        QCOMPARE(d.List1->listCount(), 3);  // saved with the copy ...
        QCOMPARE(zd::testing::storedList(listfiles::pathsFilePath(), "List2").size(), 4);
        settle();  // ... which is gone on the next pass of the event loop
        QCOMPARE(entries(d.List2), (QStringList{"/m/a.swf", "/m/b.swf"}));
        QCOMPARE(entries(d.List1), (QStringList{"a.swf", "b.swf"}));

        // Same name in another folder, and a name differing only in case: all stay, paired.
        d.obj_GetFileName(QStringLiteral("/n/a.swf"));
        d.obj_GetFileName(QStringLiteral("/m/A.swf"));
        d.obj_GetFileName(QStringLiteral("/n/a.swf"));
        settle();
        QCOMPARE(entries(d.List2), (QStringList{"/m/a.swf", "/m/b.swf", "/n/a.swf", "/m/A.swf"}));
        QCOMPARE(entries(d.List1), (QStringList{"a.swf", "b.swf", "a.swf", "A.swf"}));
    }

    void list2FollowsList1sSelectionAndScroll() {
        QStringList names;
        QStringList paths;
        for (int i = 0; i < 40; ++i) {
            names << QStringLiteral("m%1.swf").arg(i);
            paths << QStringLiteral("/m/m%1.swf").arg(i);
        }
        saveLists(names, paths);
        f.fake->setCommandLine(QStringLiteral("/m/m0.swf"));
        form1();
        Dialog& d = listPage();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        // One selection for both views: the paths follow at once.
        d.List1->setListIndex(7);
        QCOMPARE(d.List2->listIndex(), 7);
        QCOMPARE(d.List2->text(), QStringLiteral("/m/m7.swf"));
        d.List1->setTopIndex(20);
        settle();
        QCOMPARE(d.List1->topIndex(), 20);
        QCOMPARE(d.List2->topIndex(), 20);
        // Either view selects for both.
        d.List2->setListIndex(3);
        QCOMPARE(d.List1->listIndex(), 3);
        QCOMPARE(d.List1->text(), QStringLiteral("m3.swf"));
        d.List1->setListIndex(7);
        // Removing the selected pair leaves nothing selected in either box.
        RemoveSelectedEntry();
        settle();
        QCOMPARE(d.List1->listIndex(), -1);
        QCOMPARE(d.List2->listIndex(), -1);
        QCOMPARE(d.List1->listCount(), 39);
        QCOMPARE(d.List2->list(7), QStringLiteral("/m/m8.swf"));
    }

    void pressPreviewsTheEntrySelectedBeforeIt() {
        const QString one = movie(QStringLiteral("one.swf"));
        const QString two = movie(QStringLiteral("two.swf"));
        saveLists({"one.swf", "two.swf"}, {one, two});
        f.fake->setCommandLine(one);
        form1();
        Dialog& d = listPage();
        d.List1->setListIndex(0);
        settle();
        QTest::mousePress(d.List1->viewport(), Qt::LeftButton, {}, rowCentre(d, 1));
        QCOMPARE(d.SFlash2->movie(), one);
        QVERIFY(!d.SFlash2->playing());
        QCOMPARE(d.List1->listIndex(), 1);
        QTest::mouseRelease(d.List1->viewport(), Qt::LeftButton, {}, rowCentre(d, 1));
        settle();
        QTest::mouseClick(d.List1->viewport(), Qt::LeftButton, {}, rowCentre(d, 1));
        QCOMPARE(d.SFlash2->movie(), two);
        QVERIFY(!d.SFlash2->playing());
        QCOMPARE(d.SFlash2->frameNum(), std::optional<qint32>(0));
    }

    void rightButtonSelectsTheRowUnderTheMouseAndOpensTheMenu() {
        saveLists({"a.swf", "b.swf", "c.swf"}, {"/m/a.swf", "/m/b.swf", "/m/c.swf"});
        f.fake->setCommandLine(QStringLiteral("/m/c.swf"));
        form1();
        Dialog& d = listPage();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        d.List1->setListIndex(0);
        settle();
        QWidget* rows = d.List1->viewport();
        const QPoint at = rowCentre(d, 2);
        QTest::mousePress(rows, Qt::RightButton, {}, at);
        QCOMPARE(d.List1->listIndex(), 2);
        QTest::mouseRelease(rows, Qt::RightButton, {}, at);
        PopupMenuForm* menu = loadedForm6();
        QVERIFY(menu);
        QTRY_VERIFY(menu->isVisible());
        QStringList texts;
        for (LabelControl* item : menu->menu) {
            if (item && item->isVisible())
                texts << item->text();
        }
        QCOMPARE(texts, (QStringList{"播放文件", "从列表中删除", "文件属性"}));
        QCOMPARE(menu->pos(), QPoint(toPixelsX(d.leftTwips() + toTwipsX(at.x()) + 300),
                                     toPixelsY(d.topTwips() + toTwipsY(at.y()) + 1000)));
        QCOMPARE(menu->width(), toPixelsX(1950));
        QCOMPARE(f.fake->sound.played.last(), f.sound("menu.wav"));

        // Its remove item takes the pair out, with the recycle sound.
        settle();
        menu->menu_MouseUp(2);
        QCOMPARE(entries(d.List1), (QStringList{"a.swf", "b.swf"}));
        QCOMPARE(entries(d.List2), (QStringList{"/m/a.swf", "/m/b.swf"}));
        QCOMPARE(f.fake->sound.played.last(), f.sound("recycle.wav"));
        QVERIFY(!menu->isVisible());

        // Below the last entry: nothing new is selected; with nothing selected, no menu.
        const QPoint below(at.x(), rowCentre(d, 1).y() + 3 * d.List1->sizeHintForRow(0));
        QTest::mouseClick(rows, Qt::RightButton, {}, below);
        QCOMPARE(d.List1->listIndex(), -1);
        QVERIFY(!menu->isVisible());
        d.List1->setListIndex(1);
        settle();
        QTest::mouseClick(rows, Qt::RightButton, {}, below);
        QCOMPARE(d.List1->listIndex(), 1);
        QTRY_VERIFY(menu->isVisible());
        // A press on the page closes it.
        QTest::mousePress(d.Frame3, Qt::LeftButton, {}, QPoint(2, 2));
        QTRY_VERIFY(!menu->isVisible());
    }

    void toolTipShowsTheFullPathOfTheRowUnderTheMouse() {
        saveLists({"a.swf", "b.swf"}, {"/m/a.swf", "/deep/folder/b.swf"});
        f.fake->setCommandLine(QStringLiteral("/m/a.swf"));
        form1();
        Dialog& d = listPage();
        settle();
        moveOver(d.List1->viewport(), rowCentre(d, 1));
        QCOMPARE(d.List1->toolTip(), QStringLiteral("/deep/folder/b.swf"));
        moveOver(d.List1->viewport(), rowCentre(d, 1) + QPoint(0, 4 * d.List1->sizeHintForRow(0)));
        QCOMPARE(d.List1->toolTip(), QString());
    }

    void doubleClickAndPlayLoadTheSelectedEntry() {
        const QString one = movie(QStringLiteral("one.swf"));
        const QString two = movie(QStringLiteral("two.swf"));
        saveLists({"one.swf", "two.swf"}, {one, two});
        f.fake->setCommandLine(one);
        Form1& main = form1();
        Dialog& d = listPage();
        QTest::mouseClick(d.List1->viewport(), Qt::LeftButton, {}, rowCentre(d, 1));
        settle();
        QTest::mouseDClick(d.List1->viewport(), Qt::LeftButton, {}, rowCentre(d, 1));
        QCOMPARE(main.SwFlash->movie(), two);

        d.List1->setListIndex(0);
        settle();
        QTest::mouseClick(d.ComPlay, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(main.SwFlash->movie(), one);
        QVERIFY(f.fake->dialogs.openFileRequests.empty());
    }

    void clearKeepsTheFilesUntilASave() {
        saveLists({"a.swf", "b.swf"}, {"/m/a.swf", "/m/b.swf"});
        f.fake->setCommandLine(QStringLiteral("/m/a.swf"));
        Form1& main = form1();
        Dialog& d = listPage();
        const QByteArray names = f.fileBytes("List.Tov");
        const QByteArray paths = f.fileBytes("List2.Tov");
        main.SwFlash->setMovie(QString());
        QTest::mouseClick(d.ComDelete, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(d.List1->listCount(), 0);
        QCOMPARE(d.List2->listCount(), 0);
        QCOMPARE(d.Text5->text(), QStringLiteral("0"));
        QCOMPARE(d.Text6->text(), QStringLiteral("0"));
        QCOMPARE(f.fake->sound.played, QStringList{f.sound("recycle.wav")});
        QCOMPARE(f.fileBytes("List.Tov"), names);
        QCOMPARE(f.fileBytes("List2.Tov"), paths);

        // Play on the emptied list asks for a file instead (and stays enabled).
        QVERIFY(d.ComPlay->isEnabled());
        QTest::mouseClick(d.ComPlay, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(f.fake->dialogs.openFileRequests.size(), size_t(1));
        QCOMPARE(main.SwFlash->movie(), QString());  // cancelled

        // Leaving without a save: the next start shows the old list.
        QuitProgram();
        markExitRoutineStarted(false);
        form1();
        settle();
        QCOMPARE(entries(dialog().List2), (QStringList{"/m/a.swf", "/m/b.swf"}));
    }

    void okSavesTheListAndCloses() {
        saveLists({"a.swf", "b.swf"}, {"/m/a.swf", "/m/b.swf"});
        f.fake->setCommandLine(QStringLiteral("/m/b.swf"));
        form1();
        Dialog& d = listPage();
        d.List1->setListIndex(0);
        settle();
        RemoveSelectedEntry();
        QTest::mouseClick(d.ComOk, Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(!d.isVisible());
        QCOMPARE(f.fake->sound.played, QStringList{f.sound("ok.wav")});
        QCOMPARE(zd::testing::storedList(listfiles::pathsFilePath(), "List2"),
                 (QStringList{"/m/b.swf", ""}));
        QCOMPARE(zd::testing::storedList(listfiles::namesFilePath(), "List1"),
                 (QStringList{"b.swf", ""}));
        QCOMPARE(d.Text5->text(), QStringLiteral("1"));
    }
};

QTEST_MAIN(PlayListTest)
#include "PlayListTest.moc"
