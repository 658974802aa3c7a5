#pragma once

#include <QString>
#include <functional>

// The rules of the screen capture, free of widgets: how much of a window is taken, which
// folder can take the pictures and which numbered file a picture goes to.
namespace zd::capture {

// The upper 8/9 of a window `heightPixels` high, rounded to the nearest whole pixel (halves to
// the even neighbour): 900 gives 800, 10 gives 9.
int capturedHeight(int heightPixels);

// Whether pictures can go to `folder`: a folder that is there and takes new files.
bool isUsableFolder(const QString& folder);

// A counter value in the standard number-to-text form: 8, 8.5, -3.
QString counterText(double value);

struct CaptureName {
    QString path;         // folder + "/" + number + ".bmp"
    QString nextCounter;  // the counter text after this capture
};

// Where the next picture goes: the counter's number (0 when the counter is no number), or the
// first number after it whose file is not `taken`, so no earlier picture is ever replaced; the
// counter then continues after the number used. The folder is used as it stands.
CaptureName nextCaptureName(const QString& folder, const QString& counter,
                            const std::function<bool(const QString& path)>& taken);

}  // namespace zd::capture
