// Screen capture: the capture button of the full-screen bar saves the picture over the movie as
// a numbered .bmp file in the capture folder.
#include <QApplication>
#include <QFile>
#include <QPixmap>

#include "app/OptionsLink.h"
#include "controls/FocusWait.h"
#include "controls/MouseEventSource.h"
#include "mainwindow/CaptureRules.h"
#include "mainwindow/Form1.h"
#include "platform/Services.h"

namespace zd {

namespace {

// Writes the picture as a new file; an existing file is never replaced and a failed write
// leaves no partial file behind.
bool writeNewBitmapFile(const QImage& picture, const QString& path) {
    if (picture.isNull())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    if (!picture.save(&file, "BMP") || !file.flush()) {
        file.close();
        file.remove();
        return false;
    }
    return true;
}

}  // namespace

void Form1::connectCapture() {
    connect(ImgCapture->events(), &MouseEventSource::click, this, &Form1::ImgCapture_Click);
}

void Form1::ImgCapture_Click() {
    // A folder that is not there or takes no files is asked for as a missing one is (a first
    // start stores the key's own name, "Text8").
    const bool folderAsked = !capture::isUsableFolder(options_.captureFolder());
    if (folderAsked)
        options_.askForCaptureFolder();
    const QString folder = options_.captureFolder();
    if (!capture::isUsableFolder(folder))
        return;  // the choice was cancelled
    if (folderAsked) {
        // The options window shown for the choice is in front now; the picture is of the movie.
        showForm();
        WaitForFocus(PicMove);
    }
    const QImage picture = CaptureActiveWindow();
    Pic3->setPicture(QPixmap::fromImage(picture));
    activateWindow();
    setFocus(Qt::OtherFocusReason);
    const capture::CaptureName name = capture::nextCaptureName(
        folder, Text3->text(), [](const QString& path) { return QFile::exists(path); });
    // The counter counts pictures written: a failed save leaves it for the next one.
    if (writeNewBitmapFile(picture, name.path))
        Text3->setText(name.nextCounter);
}

QImage Form1::CaptureActiveWindow() const {
    // The foreground window, which the capture button's click leaves to be this one; when the
    // window system names none, this one is.
    const QWidget* foreground = QApplication::activeWindow();
    if (!foreground)
        foreground = this;
    const QRect frame = foreground->frameGeometry();
    return CaptureWindow(foreground, false, 0, 0, frame.width(),
                         capture::capturedHeight(frame.height()));
}

QImage Form1::CaptureWindow(const QWidget* window, bool client, int leftSrc, int topSrc,
                            int widthSrc, int heightSrc) const {
    if (!window || widthSrc <= 0 || heightSrc <= 0)
        return {};
    const QPoint origin =
        client ? window->mapToGlobal(QPoint(0, 0)) : window->frameGeometry().topLeft();
    return platform::screenCapture().grabScreenArea(
        QRect(origin + QPoint(leftSrc, topSrc), QSize(widthSrc, heightSrc)));
}

}  // namespace zd
