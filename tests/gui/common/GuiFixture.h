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

#include "app/Program.h"
#include "app/Windows.h"
#include "options/Dialog.h"
#include "platform/fake/FakePlatform.h"

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

    // Puts these entries into the play list's names (List1) and paths (List2).
    static void setLists(const QStringList& names, const QStringList& paths) {
        Dialog& options = dialog();
        options.List1->clearList();
        options.List2->clearList();
        for (const QString& name : names)
            options.List1->addItem(name);
        for (const QString& path : paths)
            options.List2->addItem(path);
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
