// Files dropped on a window: the drop object attached to and detached from windows, the first
// file delivered once per drop without surrounding blanks, and the main panel and the options
// window's address box taking drops.
#include <QLineEdit>
#include <QSignalSpy>

#include "../../common/StoredList.h"
#include "FloatFixture.h"
#include "app/FlashControl.h"
#include "app/clsEx_Drag.h"
#include "mainwindow/Form1.h"
#include "options/Dialog.h"
#include "options/ListFiles.h"

using namespace zd;
using testing::dropOn;
using testing::FloatFixture;

class DropFilesTest : public QObject {
    Q_OBJECT
    FloatFixture f;

    QString touch(const QString& name) const {
        const QString path = f.movies->filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            qWarning("could not write %s", qPrintable(path));
        return path;
    }

  private slots:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void eachDropDeliversTheFirstFileOnceToTheWindowsOwnObject() {
        QWidget first;
        QWidget second;
        clsEx_Drag one;
        clsEx_Drag two;  // created last: still each window's drops go to its own object
        one.Start_SubClass(&first);
        two.Start_SubClass(&second);
        QSignalSpy toOne(&one, &clsEx_Drag::GetFileName);
        QSignalSpy toTwo(&two, &clsEx_Drag::GetFileName);
        const QString a = touch("a.swf");
        const auto three = f.filesDrag({a, touch("b.swf"), touch("c.swf")});
        QVERIFY(dropOn(&first, three.get()));
        QCOMPARE(toOne.size(), 1);
        QCOMPARE(toOne.at(0).at(0).toString(), a);
        QCOMPARE(toTwo.size(), 0);
        QVERIFY(dropOn(&second, three.get()));
        QCOMPARE(toOne.size(), 1);
        QCOMPARE(toTwo.size(), 1);

        // Dropped text or a web address is no file.
        const auto text = f.textDrag(a);
        QVERIFY(!dropOn(&first, text.get()));
        QMimeData web;
        web.setUrls({QUrl(QStringLiteral("http://127.0.0.1:9/a.swf")), QUrl::fromLocalFile(a)});
        QVERIFY(dropOn(&first, &web));  // the first file among the URLs
        QCOMPARE(toOne.last().at(0).toString(), a);
        QCOMPARE(toOne.size(), 2);
    }

    void blanksAroundTheDroppedNameAreRemoved() {
        QWidget window;
        clsEx_Drag drop;
        drop.Start_SubClass(&window);
        QSignalSpy got(&drop, &clsEx_Drag::GetFileName);
        const QString movie = touch("movie.swf");
        QMimeData padded;
        padded.setUrls({QUrl::fromLocalFile(movie + QStringLiteral("  "))});
        QVERIFY(dropOn(&window, &padded));
        QCOMPARE(got.last().at(0).toString(), movie);
        // A name that really ends in a blank stays the file it names.
        const QString odd = touch(QStringLiteral("odd.swf "));
        QMimeData exact;
        exact.setUrls({QUrl::fromLocalFile(odd)});
        QVERIFY(dropOn(&window, &exact));
        QCOMPARE(got.last().at(0).toString(), odd);
    }

    void detachingGivesEachWindowItsOwnBehaviourBack() {
        QWidget plain;  // took no drops before
        QLineEdit box;  // takes dropped text by itself
        QVERIFY(!plain.acceptDrops());
        QVERIFY(box.acceptDrops());
        auto onPlain = std::make_unique<clsEx_Drag>();
        auto onBox = std::make_unique<clsEx_Drag>();
        onPlain->Start_SubClass(&plain);
        onBox->Start_SubClass(&box);
        QSignalSpy boxFiles(onBox.get(), &clsEx_Drag::GetFileName);
        const QString a = touch("a.swf");
        const auto drag = f.filesDrag({a});
        QVERIFY(dropOn(&box, drag.get()));
        QCOMPARE(boxFiles.size(), 1);
        QCOMPARE(box.text(), QString());  // the object took it, not the box

        // Detaching a window that is not the object's own does nothing.
        onPlain->Stop_SubClass(&box);
        QVERIFY(dropOn(&box, drag.get()));
        QCOMPARE(boxFiles.size(), 2);

        onPlain->Stop_SubClass(&plain);
        QVERIFY(!plain.acceptDrops());
        QVERIFY(!dropOn(&plain, drag.get()));
        onBox.reset();  // the object's end detaches it
        QVERIFY(box.acceptDrops());
        QVERIFY(dropOn(&box, drag.get()));
        QCOMPARE(box.text(), a);  // the box's own drop handling again
        QCOMPARE(boxFiles.size(), 2);
    }

    void twoObjectsOnOneWindowLeaveItTakingDropsUntilBothAreGone() {
        QWidget window;
        clsEx_Drag first;
        clsEx_Drag second;
        first.Start_SubClass(&window);
        first.Start_SubClass(&window);  // attached already: nothing changes
        second.Start_SubClass(&window);
        QSignalSpy toSecond(&second, &clsEx_Drag::GetFileName);
        QSignalSpy toFirst(&first, &clsEx_Drag::GetFileName);
        first.Stop_SubClass(&window);
        QVERIFY(window.acceptDrops());
        const auto drag = f.filesDrag({touch("a.swf")});
        QVERIFY(dropOn(&window, drag.get()));
        QCOMPARE(toSecond.size(), 1);
        QCOMPARE(toFirst.size(), 0);
        second.Stop_SubClass(&window);
        QVERIFY(!window.acceptDrops());
    }

    void attachingAnotherWindowLetsTheFirstGoAndAGoneWindowIsNoTrouble() {
        QWidget first;
        clsEx_Drag drop;
        drop.Start_SubClass(&first);
        {
            QWidget second;
            drop.Start_SubClass(&second);
            QVERIFY(!first.acceptDrops());
            QCOMPARE(drop.attachedWindow(), &second);
        }
        QVERIFY(drop.attachedWindow() == nullptr);
        const auto drag = f.filesDrag({touch("a.swf")});
        QVERIFY(!dropOn(&first, drag.get()));
    }

    void threeFilesDroppedOnTheMainPanelPlayTheFirstAndListOnlyIt() {
        Form1& main = form1();
        Dialog& options = dialog();
        const QString first = f.movie(QStringLiteral("first.swf"));
        const int before = options.List1->listCount();
        const auto drag = f.filesDrag(
            {first, f.movie(QStringLiteral("second.swf")), f.movie(QStringLiteral("third.swf"))});
        QVERIFY(dropOn(main.PicMove, drag.get()));
        QCOMPARE(main.SwFlash->movie(), first);
        QCOMPARE(options.TxtURL->text(), first);
        QCOMPARE(FloatFixture::entries(options.List1).mid(before),
                 QStringList{QStringLiteral("first.swf")});
        QCOMPARE(FloatFixture::entries(options.List2).mid(before), QStringList{first});
        // Saved: the file's sections end with the one past the last entry, left empty.
        QCOMPARE(zd::testing::storedList(listfiles::pathsFilePath(), "List2").last(2),
                 (QStringList{first, QString()}));
        // Played: the movie becomes ready and the controller starts it.
        QTRY_VERIFY(main.TmrPlay->enabled());
    }

    void theMovieAreaTakesDroppedFilesAsThePanelDoes() {
        Form1& main = form1();
        Dialog& options = dialog();
        const QString first = f.movie(QStringLiteral("on the movie.swf"));
        const int before = options.List1->listCount();
        const auto drag = f.filesDrag({first, f.movie(QStringLiteral("other.swf"))});
        QVERIFY(dropOn(main.SwFlash, drag.get()));
        QCOMPARE(main.SwFlash->movie(), first);
        QCOMPARE(options.TxtURL->text(), first);
        QCOMPARE(FloatFixture::entries(options.List2).mid(before), QStringList{first});
        QCOMPARE(zd::testing::storedList(listfiles::pathsFilePath(), "List2").last(2),
                 (QStringList{first, QString()}));
        // Text is no file: the movie area does not take it.
        const auto text = f.textDrag(first);
        QVERIFY(!dropOn(main.SwFlash, text.get()));
    }

    void theAddressBoxTakesFilesTheRestOfThePlayPageDoesNot() {
        Form1& main = form1();
        Dialog& options = dialog();
        const QString movie = f.movie(QStringLiteral("boxed.swf"));
        const auto drag = f.filesDrag({movie});
        const int before = options.List1->listCount();
        QVERIFY(!dropOn(options.Frame1, drag.get()));
        QCOMPARE(main.SwFlash->movie(), QString());
        QCOMPARE(options.List1->listCount(), before);

        QVERIFY(dropOn(options.TxtURL, drag.get()));
        QCOMPARE(options.TxtURL->text(), movie);
        QCOMPARE(main.SwFlash->movie(), movie);
        QCOMPARE(FloatFixture::entries(options.List1).mid(before),
                 QStringList{QStringLiteral("boxed.swf")});
        QCOMPARE(FloatFixture::entries(options.List2).mid(before), QStringList{movie});
    }
};

QTEST_MAIN(DropFilesTest)
#include "DropFilesTest.moc"
