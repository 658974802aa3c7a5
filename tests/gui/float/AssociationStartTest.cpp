// The .swf association written by the program's start: the desktop entry, the MIME type and the
// default application, with the folder the program runs from.
#include <QDir>

#include "FloatFixture.h"
#include "mainwindow/Form1.h"
#include "platform/AppFolder.h"
#include "platform/DesktopAssociation.h"

using namespace zd;
using testing::FloatFixture;

namespace {

QString textOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString entryFor(const QString& exec) {
    return QStringLiteral(
               "[Desktop Entry]\nType=Application\nName=ZephyrDeck\nComment=ZephyrDeck 影片\n"
               "Exec=%1\nMimeType=application/x-shockwave-flash;\nTerminal=false\n")
        .arg(exec);
}

}  // namespace

class AssociationStartTest : public QObject {
    Q_OBJECT
    FloatFixture f;

  private slots:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void aFirstStartWritesTheEntryTheTypeAndTheDefaultWithTheCurrentFolder() {
        form1();
        const platform::AssociationFiles files = platform::associationFiles();
        QVERIFY(files.desktopEntry.startsWith(f.fake->folder() + "/xdg-data/"));
        QVERIFY(files.mimeApps.startsWith(f.fake->folder() + "/xdg-config/"));
        const QString program = platform::appFolder() + QStringLiteral("/zephyrdeck");
        const QString exec =
            program.contains(' ') ? '"' + program + QStringLiteral("\" %f") : program + " %f";
        QCOMPARE(textOf(files.desktopEntry), entryFor(exec));
        QCOMPARE(textOf(files.mimePackage),
                 QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                "<mime-info "
                                "xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                                "  <mime-type type=\"application/x-shockwave-flash\">\n"
                                "    <comment>ZephyrDeck 影片</comment>\n"
                                "    <glob pattern=\"*.swf\"/>\n"
                                "  </mime-type>\n"
                                "</mime-info>\n"));
        QCOMPARE(textOf(files.mimeApps),
                 QStringLiteral(
                     "[Default Applications]\napplication/x-shockwave-flash=MyPlayer.desktop\n"));
        QVERIFY(f.fake->messages.shown.empty());
    }

    void startingFromAnotherFolderRewritesTheCommand() {
        form1();
        discardAllWindows();
        const QString moved = f.fake->folder() + QStringLiteral("/moved here/bin");
        QVERIFY(QDir().mkpath(moved));
        platform::setAppFolderOverride(moved);
        form1();
        // A blank in the folder's name: the entry starts a link to the moved program.
        const QString link = platform::xdgDataHome() + QStringLiteral("/zephyrdeck/zephyrdeck");
        QCOMPARE(textOf(platform::associationFiles().desktopEntry),
                 entryFor(link + QStringLiteral(" %f")));
        QCOMPARE(QFileInfo(link).symLinkTarget(), moved + QStringLiteral("/zephyrdeck"));
        // Still one default line.
        QCOMPARE(textOf(platform::associationFiles().mimeApps).count("MyPlayer.desktop"), 1);
    }

    void aFolderThatCannotBeWrittenIsPassedOverSilently() {
        // The data folder is a file: neither the entry nor the type can be written.
        QFile blocker(f.fake->folder() + "/xdg-data");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        Form1& main = form1();
        QVERIFY(!QFile::exists(platform::associationFiles().desktopEntry));
        QVERIFY(f.fake->messages.shown.empty());
        // The rest of the start went on: the default application and the command-line entry.
        QVERIFY(textOf(platform::associationFiles().mimeApps).contains("MyPlayer.desktop"));
        QVERIFY(main.Text3->text() == QStringLiteral("Text3"));
    }
};

QTEST_MAIN(AssociationStartTest)
#include "AssociationStartTest.moc"
