#pragma once

#include <QHash>
#include <QObject>
#include <memory>

#include "platform/Services.h"

class QSoundEffect;

namespace zd::platform {

// Plays wave files through Qt Multimedia; a few effects are kept loaded for reuse.
class QtSoundPlayer final : public SoundPlayer {
  public:
    QtSoundPlayer();
    ~QtSoundPlayer() override;
    void playAsync(const QString& path) override;

  private:
    struct Entry;
    std::vector<std::unique_ptr<Entry>> effects_;  // most recently used last
};

class QtMessageBoxes final : public MessageBoxes {
  public:
    void show(const QString& text, const QString& caption, int style) override;
};

class QtCommonDialogs final : public CommonDialogs {
  public:
    std::optional<OpenFileResult> openFile(QWidget* owner, const OpenFileRequest& request) override;
    std::optional<QColor> chooseColor(QWidget* owner, const QColor& initial) override;
    std::optional<QString> browseForFolder(QWidget* owner, const QString& title) override;
};

class DesktopShell final : public Shell {
  public:
    bool openDocument(const QString& pathOrUrl) override;
    bool hasOpenerFor(const QString& path) override;
    qint32 showFileProperties(const QString& path, QWidget* owner) override;
};

// Reads the screen through Qt's screen grab (the X server's pixels on X11).
class QtScreenCapture final : public ScreenCapture {
  public:
    QImage grabScreenArea(const QRect& area) override;
};

// The window states of Qt's platform window (_NET_WM_STATE on X11).
class QtWindowSystem final : public WindowSystem {
  public:
    void setFullScreen(QWidget* window, bool on) override;
    bool startSystemMove(QWidget* window) override;
};

// ALSA's simple mixer on the default device.
class AlsaMixerDevice final : public MixerDevice {
  public:
    AlsaMixerDevice();
    ~AlsaMixerDevice() override;
    int open() override;
    std::optional<VolumeRange> speakerRange() override;
    std::optional<VolumeRange> microphoneRange() override;
    bool setSpeakerVolume(long value) override;
    bool setMicrophoneVolume(long value) override;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// True when the file starts like a RIFF/WAVE file.
bool looksLikeWaveFile(const QString& path);

}  // namespace zd::platform
