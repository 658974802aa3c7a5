// What the skin and popup-window tests share: the faked platform with the windows discarded
// after each test, mouse events with the buttons held, and looks of images and painted areas.
#pragma once

#include <QApplication>
#include <QMouseEvent>
#include <QtTest>
#include <memory>

#include "app/FormControls.h"
#include "app/Gradient.h"
#include "app/Program.h"
#include "app/Twips.h"
#include "app/Windows.h"
#include "options/Dialog.h"
#include "platform/fake/FakePlatform.h"
#include "resources/Resources.h"

namespace zd::testing {

class SkinFixture {
  public:
    std::unique_ptr<platform::FakePlatform> fake;
    int processEnds = 0;

    void setUp() {
        qputenv("ZD_SPLASH_MS", "0");
        fake = std::make_unique<platform::FakePlatform>();
        processEnds = 0;
        markExitRoutineStarted(false);
        setEndProcessHandler([this] { ++processEnds; });
    }

    void tearDown() {
        discardAllWindows();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        setEndProcessHandler(nullptr);
        fake.reset();
    }

    void writeSettings(const QByteArray& text) const {
        QFile f(fake->file(QStringLiteral("Settings.Tov")));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
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
    // down during the event.
    static void mouse(QWidget* widget, QEvent::Type type, QPoint pos, Qt::MouseButton button,
                      Qt::MouseButtons held) {
        QMouseEvent event(type, pos, widget->mapToGlobal(pos), button, held, Qt::NoModifier);
        QApplication::sendEvent(widget, &event);
    }
    static QPoint centre(const QWidget* widget) { return widget->rect().center(); }
    static void press(QWidget* widget, Qt::MouseButton button = Qt::LeftButton) {
        mouse(widget, QEvent::MouseButtonPress, centre(widget), button, button);
    }
    static void release(QWidget* widget, Qt::MouseButton button = Qt::LeftButton) {
        mouse(widget, QEvent::MouseButtonRelease, centre(widget), button, Qt::NoButton);
    }
    static void click(QWidget* widget, Qt::MouseButton button = Qt::LeftButton) {
        press(widget, button);
        release(widget, button);
    }
    static void hover(QWidget* widget) {
        mouse(widget, QEvent::MouseMove, centre(widget), Qt::NoButton, Qt::NoButton);
    }
    static void hover(QWidget* widget, QPoint pos, Qt::MouseButtons held = Qt::NoButton) {
        mouse(widget, QEvent::MouseMove, pos, Qt::NoButton, held);
    }

    static bool shows(const ImageControl* image, int bitmapId) {
        return image->picture().toImage() == res::bitmap(bitmapId).toImage();
    }
    static int shownBitmap(const ImageControl* image) {
        for (int id = 102; id <= 141; ++id) {
            if (shows(image, id))
                return id;
        }
        return 0;
    }

    // The colour painted at (x, y) pixels of a picture box's drawing surface.
    static QColor painted(PictureBox* box, int x, int y) { return box->canvas().pixelColor(x, y); }

    // What the gradient painter paints from (red, green, blue) on an area of `area`'s size.
    static QImage gradientLike(const QWidget* area, qint32 red, qint32 green, qint32 blue,
                               bool topDown) {
        PictureBox box;
        setTwipsGeometry(&box, twipsGeometry(area));
        PaintGradient(&box, red, green, blue, topDown);
        return box.canvas();
    }

    // Lets deferred deletions happen, as the event loop would between two user actions.
    static void settle() {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

}  // namespace zd::testing
