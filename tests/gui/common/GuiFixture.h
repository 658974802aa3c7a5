// What every window test starts from: the faked platform with a scratch application folder, the
// windows discarded after each test, the program's end counted instead of done, and the files
// and play-list entries a test prepares or reads back.
#pragma once

#include <QApplication>
#include <QFile>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "options/Dialog.h"
#include "platform/fake/FakePlatform.h"
#include "program/Program.h"
#include "program/Windows.h"

namespace zd::testing {

class GuiFixture {
  public:
    std::unique_ptr<platform::FakePlatform> fake;
    std::unique_ptr<QTemporaryDir> movies;  // movies a test writes
    int processEnds = 0;

    void setUp() {
        qputenv("ZD_SPLASH_MS", "0");
        fake = std::make_unique<platform::FakePlatform>();
        movies = std::make_unique<QTemporaryDir>();
        processEnds = 0;
        markExitRoutineStarted(false);
        setEndProcessHandler([this] { ++processEnds; });
    }

    void tearDown() {
        discardAllWindows();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        setEndProcessHandler(nullptr);
        fake.reset();
        movies.reset();
    }

    QByteArray fileBytes(const QString& name) const {
        QFile f(fake->file(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    bool writeFile(const QString& name, const QByteArray& bytes) const {
        QFile f(fake->file(name));
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
    }

    // Puts these {name, path} entries into the play list.
    static void setLists(const QStringList& names, const QStringList& paths) {
        std::vector<PlayListEntry> entries;
        for (qsizetype i = 0; i < names.size(); ++i)
            entries.push_back({names.at(i), paths.value(i)});
        dialog().playList().setEntries(std::move(entries));
    }

    // The entries a view of the play list shows.
    static QStringList entries(const PlayListView* list) {
        QStringList out;
        for (int i = 0; i < list->listCount(); ++i)
            out << list->list(i);
        return out;
    }

    // A mouse event delivered to `widget` at `pos` (its own pixels), with `held` the buttons
    // down during the event, as the window system delivers it.
    static void mouse(QWidget* widget, QEvent::Type type, QPoint pos,
                      Qt::MouseButton button = Qt::NoButton, Qt::MouseButtons held = Qt::NoButton) {
        QMouseEvent event(type, QPointF(pos), QPointF(widget->mapToGlobal(pos)), button, held,
                          Qt::NoModifier);
        QApplication::sendEvent(widget, &event);
    }
};

}  // namespace zd::testing
