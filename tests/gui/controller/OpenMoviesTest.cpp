// Opening movies from the main window: the file dialog, the open button, a dropped file and the
// saving of both play lists.
#include <sys/resource.h>

#include <QtTest>
#include <csignal>

#include "../../common/StoredList.h"
#include "ControllerFixture.h"
#include "options/Dialog.h"
#include "options/ListFiles.h"
#include "platform/AppFolder.h"
#include "platform/ProfileFile.h"
#include "popups/Form2.h"
#include "popups/PopupMenu.h"
#include "program/Functions.h"

using namespace zd;

class OpenMoviesTest : public QObject {
    Q_OBJECT

    testing::ControllerFixture f;

  private slots:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void openRunsItsStepsAndTheMovieThenPlays() {
        Form1& main = f.shownMainWindow();
        const QString path = f.movie("chosen movie.swf", 30);
        Dialog& options = dialog();
        options.show();
        form6().show();
        main.ImageBegin->hide();
        main.ImagePause->show();
        const QStringList namesBefore = f.entries(options.List1);

        f.fake->dialogs.openFileAnswers.push_back(path);
        main.OpenFiles();
        QCOMPARE(main.SwFlash->movie(), path);
        QCOMPARE(f.entries(options.List1), namesBefore + QStringList{"chosen movie.swf"});
        QCOMPARE(options.List2->list(options.List2->listCount() - 1), path);
        QCOMPARE(options.List1->listCount(), options.List2->listCount());
        QVERIFY(!main.ImageBegin->isHidden());
        QVERIFY(main.ImagePause->isHidden());
        QCOMPARE(f.fake->sound.played, QStringList{path});  // the chosen file itself
        QVERIFY(options.isHidden());
        QVERIFY(form6().isHidden());
        // Both files saved, counts mirrored.
        QCOMPARE(zd::testing::storedList(listfiles::pathsFilePath(), "List2").last(2),
                 (QStringList{path, ""}));
        QCOMPARE(zd::testing::storedList(listfiles::namesFilePath(), "List1").last(2),
                 (QStringList{"chosen movie.swf", ""}));
        QCOMPARE(options.Text5->text(), QString::number(options.List1->listCount()));
        QCOMPARE(options.Text6->text(), QString::number(options.List2->listCount()));
        // The dialog remembers the choice for next time.
        QCOMPARE(form2().CommonDialog1.FileName, path);
        QCOMPARE(form2().CommonDialog1.FileTitle, QStringLiteral("chosen movie.swf"));
        // Playback starts with the movie's ready-state.
        QTRY_VERIFY(main.SwFlash->playing() && main.TmrPlay->enabled());

        main.OpenFiles();  // cancelled, but asked with the last file
        QCOMPARE(f.fake->dialogs.openFileRequests.back().initialFile, path);
    }

    void cancelledOpenChangesNothing() {
        Form1& main = f.shownMainWindow();
        const QString path = f.movie("kept.swf", 30);
        f.fake->dialogs.openFileAnswers.push_back(path);
        main.OpenFiles();
        QTRY_VERIFY(main.TmrPlay->enabled());
        const QByteArray names = f.fileBytes("List.Tov");
        const QByteArray paths = f.fileBytes("List2.Tov");
        const QStringList listed = f.entries(dialog().List2);
        f.fake->sound.played.clear();

        f.fake->dialogs.openFileAnswers.push_back(std::nullopt);
        main.OpenFiles();
        QCOMPARE(main.SwFlash->movie(), path);
        QVERIFY(main.SwFlash->playing());
        QCOMPARE(f.entries(dialog().List2), listed);
        QCOMPARE(dialog().List1->listCount(), listed.size());
        QCOMPARE(f.fileBytes("List.Tov"), names);
        QCOMPARE(f.fileBytes("List2.Tov"), paths);
        QVERIFY(f.fake->sound.played.isEmpty());
        QCOMPARE(form2().CommonDialog1.FileName, path);
    }

    void openButtonOpensThenPlaysTheMenuSound() {
        Form1& main = f.shownMainWindow();
        const QString wave = f.fake->file("effect.wav");
        QFile waveFile(wave);
        QVERIFY(waveFile.open(QIODevice::WriteOnly));
        waveFile.write(QByteArray("RIFF\x24\0\0\0WAVEfmt ", 16));
        waveFile.close();
        f.fake->dialogs.openFileAnswers.push_back(wave);
        f.click(main.ImageOpen);
        QCOMPARE(f.fake->dialogs.openFileRequests.size(), size_t(1));
        // The chosen file is handed to the sound player first (a wave file is heard), then the
        // button's own sound.
        QCOMPARE(f.fake->sound.played,
                 (QStringList{wave, platform::appFile(QStringLiteral("sound/menu.wav"))}));
        // A wave file is no movie: nothing plays, yet the entry is kept.
        QCOMPARE(dialog().List1->list(dialog().List1->listCount() - 1),
                 QStringLiteral("effect.wav"));
        QVERIFY(main.SwFlash->movie().isEmpty());

        f.click(main.ImageOpen);  // cancelled: the button's sound all the same
        QCOMPARE(f.fake->sound.played.size(), 3);
        QCOMPARE(f.fake->sound.played.last(), platform::appFile(QStringLiteral("sound/menu.wav")));
    }

    void droppedFileGoesThroughTheAddressBoxIntoBothLists() {
        Form1& main = f.shownMainWindow();
        const QString path = f.movie("dropped.swf", 10);
        main.obj_GetFileName(path);
        QCOMPARE(dialog().TxtURL->text(), path);
        QCOMPARE(main.SwFlash->movie(), path);
        QCOMPARE(dialog().List1->list(dialog().List1->listCount() - 1),
                 QStringLiteral("dropped.swf"));
        QCOMPARE(dialog().List2->list(dialog().List2->listCount() - 1), path);
        QCOMPARE(zd::testing::storedList(listfiles::pathsFilePath(), "List2").last(2),
                 (QStringList{path, ""}));
        // The same file again is listed again.
        main.obj_GetFileName(path);
        QCOMPARE(dialog().List2->list(dialog().List2->listCount() - 2), path);
        QCOMPARE(dialog().List2->list(dialog().List2->listCount() - 1), path);
    }

    void savingThreeEntriesWritesSectionsZeroToThreeAndTheCount() {
        form1();
        f.setLists({"a.swf", "b.swf", "c.swf"}, {"/m/a.swf", "/m/b.swf", "http://x.org/c.swf"});
        SaveLists();
        const auto names = platform::ProfileDocument::load(f.fake->file("List.Tov"));
        QCOMPARE(names.value("0", "List1", "?"), QStringLiteral("a.swf"));
        QCOMPARE(names.value("1", "List1", "?"), QStringLiteral("b.swf"));
        QCOMPARE(names.value("2", "List1", "?"), QStringLiteral("c.swf"));
        QVERIFY(names.contains("3", "List1"));
        QCOMPARE(names.value("3", "List1", "?"), QString());
        QCOMPARE(names.value("Items", "Items", "?"), QStringLiteral("3"));
        const auto paths = platform::ProfileDocument::load(f.fake->file("List2.Tov"));
        QCOMPARE(paths.value("2", "List2", "?"), QStringLiteral("http://x.org/c.swf"));
        QCOMPARE(paths.value("3", "List2", "?"), QString());
        QCOMPARE(paths.value("Items", "Items", "?"), QStringLiteral("3"));
        QCOMPARE(dialog().Text5->text(), QStringLiteral("3"));
        QCOMPARE(dialog().Text6->text(), QStringLiteral("3"));

        // A shorter list leaves the old sections; the count tells what is valid.
        f.setLists({"z.swf"}, {"/z.swf"});
        SaveLists();
        QCOMPARE(zd::testing::storedList(listfiles::namesFilePath(), "List1"),
                 (QStringList{"z.swf", ""}));
        QCOMPARE(platform::ProfileDocument::load(f.fake->file("List.Tov")).value("2", "List1", "?"),
                 QStringLiteral("c.swf"));
        QCOMPARE(dialog().Text5->text(), QStringLiteral("1"));
    }

    void aSaveThatFailsHalfWayKeepsThePreviousFiles() {
        form1();
        f.setLists({"a.swf", "b.swf"}, {"/m/a.swf", "/m/b.swf"});
        SaveLists();
        const QByteArray names = f.fileBytes("List.Tov");
        const QByteArray paths = f.fileBytes("List2.Tov");

        QStringList many;
        for (int i = 0; i < 300; ++i)
            many << QStringLiteral("/long/path/to/a/movie/of/the/collection/number-%1.swf").arg(i);
        f.setLists(many, many);
        // A file-size limit makes every write stop part-way, as a full disk would.
        struct rlimit old {};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = old;
        small.rlim_cur = 4096;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        SaveLists();
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, previousHandler);

        QCOMPARE(f.fileBytes("List.Tov"), names);
        QCOMPARE(f.fileBytes("List2.Tov"), paths);
        QCOMPARE(zd::testing::storedList(listfiles::pathsFilePath(), "List2"),
                 (QStringList{"/m/a.swf", "/m/b.swf", ""}));
        QCOMPARE(dialog().Text5->text(), QStringLiteral("300"));
    }
};

QTEST_MAIN(OpenMoviesTest)
#include "OpenMoviesTest.moc"
