#pragma once

#include <QThread>
#include <atomic>
#include <memory>

#include "engine/audio/SoundHost.h"

namespace zd::engine {

class AudioWorker;

// Plays a mixer on the desktop's sound output (Qt's audio sink: PulseAudio on Linux) from a
// thread of its own, which alone touches the mixer: it runs the commands, decodes ahead and
// mixes in short passes. With nothing to play, or paused, the thread sleeps (no timer runs
// and the device is corked). Without a sound device everything is accepted and nothing is
// heard.
class AudioOutput final : public SoundHost {
  public:
    AudioOutput();
    ~AudioOutput() override;
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

    void run(std::function<void(Mixer&)> command) override;
    std::uint64_t queuedFrames() const override;
    bool audible() const override;
    void setPaused(bool paused) override;

    // Whether the thread is mixing now (it sleeps while paused or with nothing to play).
    bool active() const;
    // Waits until every command given so far has run on the audio thread (tests).
    void sync();

  private:
    QThread thread_;
    AudioWorker* worker_ = nullptr;  // lives on thread_, deleted there
};

}  // namespace zd::engine
