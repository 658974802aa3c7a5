#pragma once

#include <QColor>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "platform/Services.h"
#include "platform/SystemTray.h"

namespace zd::platform {

class FakeSoundPlayer final : public SoundPlayer {
  public:
    void playAsync(const QString& path) override { played.push_back(path); }
    QStringList played;
};

class FakeMessageBoxes final : public MessageBoxes {
  public:
    struct Shown {
        QString text;
        QString caption;
        int style = 0;
    };
    void show(const QString& text, const QString& caption, int style) override {
        shown.push_back({text, caption, style});
        if (whileShown)
            whileShown();
    }
    std::vector<Shown> shown;
    // Runs while a box is up, as the user's next action would while it waits.
    std::function<void()> whileShown;
};

// Answers queued by the test; an empty queue answers "cancelled".
class FakeCommonDialogs final : public CommonDialogs {
  public:
    std::optional<OpenFileResult> openFile(QWidget*, const OpenFileRequest& request) override;
    std::optional<QColor> chooseColor(QWidget*, const QColor& initial) override;
    std::optional<QString> browseForFolder(QWidget*, const QString& title) override;

    std::deque<std::optional<QString>> openFileAnswers;  // full paths; nullopt = cancel
    std::deque<QColor> colorAnswers;                     // empty = cancelled
    std::deque<std::optional<QString>> folderAnswers;
    std::vector<OpenFileRequest> openFileRequests;
    QStringList folderTitles;
    int colorRequests = 0;
};

class FakeShell final : public Shell {
  public:
    bool openDocument(const QString& pathOrUrl) override {
        opened.push_back(pathOrUrl);
        return openResult;
    }
    bool hasOpenerFor(const QString& path) override { return !withoutOpener.contains(path); }
    qint32 showFileProperties(const QString& path, QWidget*) override {
        propertiesShown.push_back(path);
        return propertiesResult;
    }
    QStringList opened;
    QStringList propertiesShown;
    // Documents no program takes.
    QStringList withoutOpener;
    bool openResult = true;
    qint32 propertiesResult = 42;
};

class FakeMixerDevice final : public MixerDevice {
  public:
    int open() override {
        ++opens;
        return openError;
    }
    std::optional<VolumeRange> speakerRange() override { return speaker; }
    std::optional<VolumeRange> microphoneRange() override { return microphone; }
    bool setSpeakerVolume(long value) override {
        speakerWrites.push_back(value);
        return acceptWrites && speaker.has_value();
    }
    bool setMicrophoneVolume(long value) override {
        microphoneWrites.push_back(value);
        return acceptWrites && microphone.has_value();
    }
    int openError = 0;
    int opens = 0;
    bool acceptWrites = true;
    std::optional<VolumeRange> speaker = VolumeRange{0, 65536};
    std::optional<VolumeRange> microphone;
    std::vector<long> speakerWrites;
    std::vector<long> microphoneWrites;
};

// Answers a screen grab with a picture of the asked size in one colour; records the areas.
class FakeScreenCapture final : public ScreenCapture {
  public:
    QImage grabScreenArea(const QRect& area) override {
        areas.push_back(area);
        if (failing || area.isEmpty())
            return {};
        QImage picture(area.size(), QImage::Format_RGB32);
        picture.fill(colour);
        return picture;
    }
    std::vector<QRect> areas;
    QColor colour = QColor(10, 120, 200);
    bool failing = false;
};

// Records the full-screen requests and the system moves asked for; the window itself is left
// as it is. `windowManager` says whether a window manager takes the moves (offscreen none does).
class FakeWindowSystem final : public WindowSystem {
  public:
    struct Request {
        QWidget* window = nullptr;
        bool on = false;
    };
    void setFullScreen(QWidget* window, bool on) override { requests.push_back({window, on}); }
    bool startSystemMove(QWidget* window) override {
        systemMoves.push_back(window);
        return windowManager;
    }
    std::vector<Request> requests;
    std::vector<QWidget*> systemMoves;
    bool windowManager = false;
};

// A notification area that keeps its icons as records. With `available` false every add fails
// as on a desktop without a tray; `failNext` makes the next request fail with that error.
class FakeSystemTray final : public SystemTray {
  public:
    struct Request {
        Command command;
        TrayIconData data;
    };
    bool notifyIcon(Command command, const TrayIconData& data) override;
    qint32 lastError() const override { return error; }
    // The icon of `window` and `id`, when it is in the tray.
    const TrayIconData* icon(const QWidget* window, quint32 id = 1) const;
    // The desktop reports a mouse message on the icon to its window, as the real tray does.
    void mouse(const QWidget* window, quint32 mouseMessage, quint32 id = 1) const;

    bool available = true;
    qint32 failNext = 0;
    qint32 error = 0;
    std::vector<Request> requests;
    std::vector<TrayIconData> icons;
};

// Installs fakes for every service, a scratch application folder, scratch XDG data and config
// folders, a 1024 x 768 screen at 15 twips per pixel and an empty command line; restores the
// real services and the environment when destroyed.
class FakePlatform {
  public:
    FakePlatform();
    ~FakePlatform();
    FakePlatform(const FakePlatform&) = delete;
    FakePlatform& operator=(const FakePlatform&) = delete;

    QString folder() const { return dir_.path(); }
    QString file(const QString& name) const;
    void setCommandLine(const QString& text);
    void setScreen(int widthPixels, int heightPixels, double twipsPerPixel = 15);

    FakeSoundPlayer sound;
    FakeMessageBoxes messages;
    FakeCommonDialogs dialogs;
    FakeShell shell;
    FakeMixerDevice mixer;
    FakeScreenCapture capture;
    FakeWindowSystem windowSystem;
    FakeSystemTray tray;

  private:
    QTemporaryDir dir_;
    QByteArray savedDataHome_;
    QByteArray savedConfigHome_;
};

}  // namespace zd::platform
