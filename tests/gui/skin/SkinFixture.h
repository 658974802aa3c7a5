// What the skin and popup-window tests share beyond the common window fixture: clicks and
// hovers at a control's centre, and looks of images and painted areas.
#pragma once

#include <QApplication>
#include <QMouseEvent>
#include <QtTest>

#include "../common/GuiFixture.h"
#include "app/Gradient.h"
#include "controls/ImageControl.h"
#include "controls/PictureBox.h"
#include "controls/Twips.h"
#include "resources/Resources.h"

namespace zd::testing {

class SkinFixture : public GuiFixture {
  public:
    void writeSettings(const QByteArray& text) const {
        QVERIFY(writeFile(QStringLiteral("Settings.Tov"), text));
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
