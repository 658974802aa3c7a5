#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

namespace zd::platform {

// Asynchronous sound effects from .wav files. A missing file, a file that is not a wave file or
// no audio device plays nothing; a call never blocks.
class SoundPlayer {
  public:
    virtual ~SoundPlayer() = default;
    virtual void playAsync(const QString& path) = 0;
};

// Message boxes. `style` follows the classic flag values: 16 stop icon, 0x30 warning icon.
class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    virtual void show(const QString& text, const QString& caption, int style) = 0;
};

// The common dialogs: file open, colour choice, folder choice.
struct OpenFileRequest {
    QStringList filters;  // e.g. "Flash文件(*.swf)"
    int filterIndex = 1;  // 1-based: which filter is preselected
    QString initialFile;  // the file chosen last time
};
struct OpenFileResult {
    QString path;       // full path
    QString fileTitle;  // the name without its folder
};
class CommonDialogs {
  public:
    virtual ~CommonDialogs() = default;
    // nullopt when the user cancels.
    virtual std::optional<OpenFileResult> openFile(QWidget* owner,
                                                   const OpenFileRequest& request) = 0;
    // The colour chosen; nullopt when the user cancels.
    virtual std::optional<QColor> chooseColor(QWidget* owner, const QColor& initial) = 0;
    // nullopt when the user cancels.
    virtual std::optional<QString> browseForFolder(QWidget* owner, const QString& title) = 0;
};

// The desktop shell.
class Shell {
  public:
    virtual ~Shell() = default;
    // Opens a document or address with the desktop's opener; false when it could not start.
    virtual bool openDocument(const QString& pathOrUrl) = 0;
    // Whether the desktop names a program for the document's type. The opener would otherwise
    // guess one (often a browser) for a type nothing takes.
    virtual bool hasOpenerFor(const QString& path) = 0;
    // Shows the desktop's file-properties sheet; above 32 on success, 32 or less on failure.
    virtual qint32 showFileProperties(const QString& path, QWidget* owner) = 0;
};

// The sound card's mixer: the speaker (playback) and microphone (capture) volume controls.
struct VolumeRange {
    long minimum = 0;
    long maximum = 0;
};
class MixerDevice {
  public:
    virtual ~MixerDevice() = default;
    // 0 on success, otherwise a non-zero error code.
    virtual int open() = 0;
    virtual std::optional<VolumeRange> speakerRange() = 0;
    virtual std::optional<VolumeRange> microphoneRange() = 0;
    virtual bool setSpeakerVolume(long value) = 0;
    virtual bool setMicrophoneVolume(long value) = 0;
};

// Pictures of what the screen shows.
class ScreenCapture {
  public:
    virtual ~ScreenCapture() = default;
    // The pixels the screen shows in `area` (global pixel coordinates), whatever window lies
    // there; a null image when the screen cannot be read.
    virtual QImage grabScreenArea(const QRect& area) = 0;
};

// What the window system keeps about a top-level window beyond its geometry.
class WindowSystem {
  public:
    virtual ~WindowSystem() = default;
    // Puts `window` into the window system's full-screen state or takes it out again, so a
    // window manager keeps no panel or title bar above it. Its geometry stays the caller's.
    virtual void setFullScreen(QWidget* window, bool on) = 0;
    // Asks the window manager to move `window` with the pointer until the mouse button that is
    // down now is released, as when a caption is grabbed. False where no window manager takes
    // the move (then the caller moves the window itself).
    virtual bool startSystemMove(QWidget* window) = 0;
};

// Screen size in pixels and the screen's own twips per pixel (15 at 96 dpi).
struct ScreenMetrics {
    int widthPixels = 1024;
    int heightPixels = 768;
    double twipsPerPixelX = 15;
    double twipsPerPixelY = 15;
    double widthTwips() const { return widthPixels * twipsPerPixelX; }
    double heightTwips() const { return heightPixels * twipsPerPixelY; }
};

// The services in use. Each starts as the real Linux implementation; tests replace one with
// a fake (passing nullptr restores the real one). The caller keeps ownership of a replacement.
SoundPlayer& soundPlayer();
MessageBoxes& messageBoxes();
CommonDialogs& commonDialogs();
Shell& shell();
MixerDevice& mixerDevice();
ScreenCapture& screenCapture();
WindowSystem& windowSystem();
ScreenMetrics screenMetrics();
// The program's command-line text: all arguments after the program's name joined by single
// blanks, otherwise unchanged.
QString commandLineText();

void setSoundPlayer(SoundPlayer* replacement);
void setMessageBoxes(MessageBoxes* replacement);
void setCommonDialogs(CommonDialogs* replacement);
void setShell(Shell* replacement);
void setMixerDevice(MixerDevice* replacement);
void setScreenCapture(ScreenCapture* replacement);
void setWindowSystem(WindowSystem* replacement);
void setScreenMetrics(std::optional<ScreenMetrics> replacement);
void setCommandLineText(std::optional<QString> replacement);

// Joins arguments the way the program's command line is read.
QString joinArguments(const QStringList& arguments);

// Plays a sound file of the application folder ("sound/menu.wav") asynchronously.
void playAppSound(const QString& relativePath);

}  // namespace zd::platform
