#include "engine/audio/AudioOutput.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>
#include <QTimer>
#include <chrono>
#include <mutex>
#include <vector>

namespace zd::engine {

namespace {

constexpr int kBytesPerFrame = 4;  // 16-bit stereo
// The device's buffer: what is mixed runs this far ahead of what is heard, so a sound
// started now is heard within about this time.
constexpr int kBufferMs = 50;
// Mixing passes: often enough to keep that buffer from running dry (every 10 ms cost half as
// much again in CPU as every 20 ms: 1.8 % of a core against 1.2 % for four voices).
constexpr int kTickMs = 20;
// Decoded ahead of the voices before each pass.
constexpr std::size_t kDecodeAheadFrames = Mixer::kRate / 4;
// With nothing left to play, the thread goes to sleep after letting the buffer run out.
constexpr int kIdleTicksBeforeSleep = (kBufferMs * 4) / kTickMs;

}  // namespace

class AudioWorker : public QObject {
  public:
    std::mutex mutex;
    std::vector<std::function<void(Mixer&)>> pending;
    std::atomic<bool> wakeQueued{false};
    std::atomic<std::uint64_t> queued{0};
    std::atomic<std::int64_t> queuedAtNs{0};  // when queued was measured (steady clock)
    std::atomic<bool> audible{true};
    std::atomic<bool> active{false};

    ~AudioWorker() override {
        if (sink_ != nullptr) {
            sink_->stop();
            delete sink_;
        }
    }

    // Everything below runs on the audio thread.
    void runCommands() {
        std::vector<std::function<void(Mixer&)>> commands;
        {
            std::lock_guard lock(mutex);
            commands.swap(pending);
        }
        for (auto& c : commands) {
            c(mixer_);
        }
    }

    void wake() {
        wakeQueued = false;
        runCommands();
        if (paused_) {
            return;
        }
        if (!deviceTried_) {
            openDevice();
        }
        if (sink_ == nullptr) {
            // Nothing is heard: let go of what was started instead of keeping it forever.
            mixer_.stopAll();
            mixer_.prepare(0);
            return;
        }
        if (mixer_.voiceCount() > 0) {
            startMixing();
            tick();
        }
    }

    void setPaused(bool paused) {
        paused_ = paused;
        if (paused) {
            sleep();
        } else {
            wake();
        }
    }

  private:
    void openDevice() {
        deviceTried_ = true;
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        QAudioFormat format;
        format.setSampleRate(Mixer::kRate);
        format.setChannelCount(2);
        format.setSampleFormat(QAudioFormat::Int16);
        if (device.isNull() || !device.isFormatSupported(format)) {
            audible = false;
            return;
        }
        sink_ = new QAudioSink(device, format);
        sink_->setBufferSize(Mixer::kRate * kBytesPerFrame * kBufferMs / 1000);
        io_ = sink_->start();
        if (io_ == nullptr || sink_->error() != QAudio::NoError) {
            dropDevice();
            return;
        }
        QObject::connect(sink_, &QAudioSink::stateChanged, this, [this](QAudio::State) {
            if (sink_ != nullptr &&
                (sink_->error() == QAudio::OpenError || sink_->error() == QAudio::FatalError)) {
                dropDevice();
            }
        });
        buffer_.assign(static_cast<std::size_t>(Mixer::kRate) * 2, 0);  // a second at most
        timer_ = new QTimer(this);
        timer_->setTimerType(Qt::PreciseTimer);
        timer_->setInterval(kTickMs);
        QObject::connect(timer_, &QTimer::timeout, this, [this] { tick(); });
        sink_->suspend();
    }

    void dropDevice() {
        audible = false;
        if (timer_ != nullptr) {
            timer_->stop();
        }
        if (sink_ != nullptr) {
            sink_->disconnect(this);
            sink_->stop();
            sink_->deleteLater();
            sink_ = nullptr;
        }
        io_ = nullptr;
        active = false;
        mixer_.stopAll();
    }

    void startMixing() {
        idleTicks_ = 0;
        if (active) {
            return;
        }
        active = true;
        if (sink_->state() == QAudio::SuspendedState) {
            sink_->resume();
        }
        timer_->start();
    }

    void sleep() {
        if (!active) {
            return;
        }
        active = false;
        if (timer_ != nullptr) {
            timer_->stop();
        }
        if (sink_ != nullptr) {
            sink_->suspend();
        }
    }

    void tick() {
        runCommands();
        if (paused_ || sink_ == nullptr) {
            return;
        }
        mixer_.prepare(kDecodeAheadFrames);
        const qsizetype free = sink_->bytesFree() / kBytesPerFrame;
        const std::size_t frames =
            std::min(static_cast<std::size_t>(free > 0 ? free : 0), buffer_.size() / 2);
        if (frames > 0) {
            mixer_.mix(buffer_.data(), frames);
            const qint64 written = io_->write(reinterpret_cast<const char*>(buffer_.data()),
                                              static_cast<qint64>(frames) * kBytesPerFrame);
            if (written > 0) {
                framesWritten_ += static_cast<std::uint64_t>(written / kBytesPerFrame);
            }
        }
        const auto heard =
            static_cast<std::uint64_t>(sink_->processedUSecs() * Mixer::kRate / 1000000);
        queued = framesWritten_ > heard ? framesWritten_ - heard : 0;
        queuedAtNs = std::chrono::steady_clock::now().time_since_epoch().count();
        if (mixer_.voiceCount() == 0) {
            if (++idleTicks_ >= kIdleTicksBeforeSleep) {
                sleep();
            }
        } else {
            idleTicks_ = 0;
        }
    }

    Mixer mixer_;
    QAudioSink* sink_ = nullptr;
    QIODevice* io_ = nullptr;
    QTimer* timer_ = nullptr;
    std::vector<std::int16_t> buffer_;
    std::uint64_t framesWritten_ = 0;
    int idleTicks_ = 0;
    bool deviceTried_ = false;
    bool paused_ = false;
};

AudioOutput::AudioOutput() {
    thread_.setObjectName(QStringLiteral("zephyrdeck-audio"));
    worker_ = new AudioWorker;
    worker_->moveToThread(&thread_);
    thread_.start();
}

AudioOutput::~AudioOutput() {
    AudioWorker* w = worker_;
    QMetaObject::invokeMethod(
        w, [w] { delete w; }, Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
}

void AudioOutput::run(std::function<void(Mixer&)> command) {
    {
        std::lock_guard lock(worker_->mutex);
        worker_->pending.push_back(std::move(command));
    }
    if (!worker_->wakeQueued.exchange(true)) {
        AudioWorker* w = worker_;
        QMetaObject::invokeMethod(
            w, [w] { w->wake(); }, Qt::QueuedConnection);
    }
}

std::uint64_t AudioOutput::queuedFrames() const {
    const std::uint64_t queued = worker_->queued;
    if (!worker_->active) {
        return queued;  // corked: nothing drains
    }
    // Measured at the last pass; the device has played on since.
    const std::chrono::steady_clock::duration since(
        std::chrono::steady_clock::now().time_since_epoch().count() - worker_->queuedAtNs);
    const double seconds = std::max(0.0, std::chrono::duration<double>(since).count());
    const auto played = static_cast<std::uint64_t>(std::min(seconds, 1e6) * Mixer::kRate);
    return queued > played ? queued - played : 0;
}

bool AudioOutput::audible() const {
    return worker_->audible;
}

void AudioOutput::setPaused(bool paused) {
    AudioWorker* w = worker_;
    QMetaObject::invokeMethod(
        w, [w, paused] { w->setPaused(paused); }, Qt::QueuedConnection);
}

bool AudioOutput::active() const {
    return worker_->active;
}

void AudioOutput::sync() {
    AudioWorker* w = worker_;
    QMetaObject::invokeMethod(
        w, [w] { w->runCommands(); }, Qt::BlockingQueuedConnection);
}

}  // namespace zd::engine
