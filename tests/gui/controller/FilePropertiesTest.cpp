// The file-properties sheet through the desktop's real call on a private session bus, with a
// stand-in file manager answering it.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include "ControllerFixture.h"
#include "options/Dialog.h"
#include "program/Functions.h"

using namespace zd;

// Answers org.freedesktop.FileManager1.ShowItemProperties and records what it was asked.
class StandInFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

  public:
    QList<QStringList> asked;

  public slots:
    void ShowItemProperties(const QStringList& uris, const QString& startupId) {
        Q_UNUSED(startupId);
        asked.push_back(uris);
    }
};

class FilePropertiesTest : public QObject {
    Q_OBJECT

    testing::ControllerFixture f;
    QProcess bus;
    StandInFileManager fileManager;
    bool registered = false;

    static QString service() { return QStringLiteral("org.freedesktop.FileManager1"); }

  private slots:
    void initTestCase() {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty())
            QSKIP("dbus-daemon is not installed");
        bus.start(daemon, {"--session", "--nofork", "--print-address=1"});
        QVERIFY(bus.waitForStarted());
        QTRY_VERIFY(bus.canReadLine());
        const QByteArray address = bus.readLine().trimmed();
        QVERIFY(!address.isEmpty());
        // Before anything in this process reaches the session bus.
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        QDBusConnection session = QDBusConnection::sessionBus();
        QVERIFY(session.isConnected());
        QVERIFY(session.registerObject(QStringLiteral("/org/freedesktop/FileManager1"),
                                       &fileManager, QDBusConnection::ExportAllSlots));
    }

    void cleanupTestCase() {
        if (bus.state() == QProcess::NotRunning)
            return;
        bus.terminate();
        bus.waitForFinished(3000);
    }

    void init() {
        f.setUp();
        platform::setShell(nullptr);  // the desktop's own shell, not the fake
        form1();
        QVERIFY(QDBusConnection::sessionBus().registerService(service()));
        fileManager.asked.clear();
    }

    void cleanup() {
        QDBusConnection::sessionBus().unregisterService(service());
        f.tearDown();
    }

    void anExistingFileIsShownAndCountsAsSuccess() {
        const QString path = f.movie("with blank.swf", 1);
        QVERIFY(ShowFileProperties(path, nullptr) > 32);
        QCOMPARE(fileManager.asked.size(), 1);
        QCOMPARE(fileManager.asked[0], QStringList{QUrl::fromLocalFile(path).toString()});

        Dialog& options = dialog();
        options.playList().append(QStringLiteral("entry.swf"), path);
        options.playList().select(options.playList().count() - 1);
        ShowEntryProperties();
        QCOMPARE(fileManager.asked.size(), 2);
        QVERIFY(f.fake->messages.shown.empty());
    }

    void aMissingFileOrNoFileManagerIsAFailureWithItsMessage() {
        QVERIFY(ShowFileProperties(QStringLiteral("/no/such/movie.swf"), nullptr) <= 32);
        QVERIFY(ShowFileProperties(QString(), nullptr) <= 32);
        QVERIFY(fileManager.asked.isEmpty());

        QDBusConnection::sessionBus().unregisterService(service());
        const QString path = f.movie("alone.swf", 1);
        QVERIFY(ShowFileProperties(path, nullptr) <= 32);
        Dialog& options = dialog();
        options.playList().append(QStringLiteral("entry.swf"), path);
        options.playList().select(options.playList().count() - 1);
        ShowEntryProperties();
        QCOMPARE(f.fake->messages.shown.size(), size_t(1));
        QCOMPARE(f.fake->messages.shown[0].text, QStringLiteral("Error"));
    }
};

QTEST_MAIN(FilePropertiesTest)
#include "FilePropertiesTest.moc"
