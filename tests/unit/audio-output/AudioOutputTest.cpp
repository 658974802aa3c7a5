// The sound output on a real sound server. with-pulse.sh runs each suite in the setting it
// needs: NullSinkOutput with a private PulseAudio null sink, NoSoundDevice with none at all.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <cmath>

#include "engine/audio/AudioOutput.h"
#include "engine/audio/MovieSound.h"
#include "swfwriter/SwfWriter.h"

using namespace zd::engine;

namespace {

void ensureApp() {
    if (QCoreApplication::instance() == nullptr) {
        static int argc = 1;
        static char name[] = "unit_audio_output";
        static char* argv[] = {name, nullptr};
        static auto* app = new QCoreApplication(argc, argv);
        (void)app;
    }
}

bool waitFor(const std::function<bool()>& pred, int ms) {
    QDeadlineTimer deadline(ms);
    while (!pred()) {
        if (deadline.hasExpired()) {
            return pred();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(5);
    }
    return true;
}

double cpuSeconds() {
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
           double(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

// A 44.1 kHz mono tone of `seconds` at amplitude 16000.
std::shared_ptr<EventSound> tone(double hz, double seconds) {
    auto s = std::make_shared<SoundSource>();
    s->coding = {3, 3, true, false};
    const auto frames = static_cast<std::size_t>(44100 * seconds);
    for (std::size_t i = 0; i < frames; ++i) {
        const auto v =
            static_cast<std::int16_t>(std::lround(16000 * std::sin(2 * M_PI * hz * i / 44100)));
        s->data.push_back(static_cast<std::uint8_t>(v & 0xff));
        s->data.push_back(static_cast<std::uint8_t>((v >> 8) & 0xff));
    }
    return std::make_shared<EventSound>(s);
}

// Records the null sink's monitor (what the server plays) while it lives.
class Recorder {
  public:
    Recorder() {
        path_ = dir_.filePath("monitor.raw");
        process_.setStandardOutputFile(path_);
        process_.start("parec", {"--device=null.monitor", "--format=s16le", "--rate=44100",
                                 "--channels=1", "--raw"});
        EXPECT_TRUE(process_.waitForStarted(5000));
        QThread::msleep(300);  // let it connect before anything plays
    }
    // Stops recording; the samples heard.
    std::vector<std::int16_t> stop() {
        process_.terminate();
        process_.waitForFinished(5000);
        QFile f(path_);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray b = f.readAll();
        std::vector<std::int16_t> s(std::size_t(b.size()) / 2);
        for (std::size_t i = 0; i < s.size(); ++i) {
            s[i] =
                static_cast<std::int16_t>(std::uint8_t(b[2 * i]) | std::uint8_t(b[2 * i + 1]) << 8);
        }
        return s;
    }

  private:
    QTemporaryDir dir_;
    QString path_;
    QProcess process_;
};

}  // namespace

TEST(NullSinkOutput, PlaysWhatIsMixedThenSleeps) {
    ensureApp();
    Recorder recorder;
    AudioOutput out;
    auto sound = tone(440, 1.0);
    out.run([sound](Mixer& m) { m.play(sound, 1, {}); });
    ASSERT_TRUE(waitFor([&] { return out.active(); }, 3000));
    EXPECT_TRUE(out.audible());
    // While playing, what waits in the device's buffers is about their length (50 ms). A
    // null sink waking from idle may take a second to ask for more: watch for a while.
    std::uint64_t mostQueued = 0;
    for (int i = 0; i < 100 && out.active(); ++i) {
        mostQueued = std::max(mostQueued, out.queuedFrames());
        QThread::msleep(10);
    }
    EXPECT_GT(mostQueued, 0u);
    EXPECT_LT(mostQueued, 44100u / 5);
    // Done playing, the thread goes to sleep on its own: no timer, the device corked.
    ASSERT_TRUE(waitFor([&] { return !out.active(); }, 3000));
    QThread::msleep(200);
    const std::vector<std::int16_t> heard = recorder.stop();

    std::size_t loud = 0;
    double sum = 0;
    int rises = 0;
    bool low = false;
    for (const std::int16_t v : heard) {
        if (std::abs(v) > 2000) {
            ++loud;
        }
        sum += double(v) * v;
        if (v < -4000) {
            low = true;
        } else if (v > 4000 && low) {
            low = false;
            ++rises;
        }
    }
    // One second of 440 Hz at its level: 92 % of its samples are above 2000.
    EXPECT_NEAR(double(loud), 44100 * 0.92, 44100 * 0.08);
    EXPECT_NEAR(rises, 440, 12);
    EXPECT_NEAR(std::sqrt(sum / (44100.0)), 16000 / std::sqrt(2.0), 1500);
}

TEST(NullSinkOutput, PausedOrIdleTheThreadCostsNothing) {
    ensureApp();
    AudioOutput out;
    auto sound = tone(300, 0.5);
    SoundInfo looped;
    looped.loops = 1000;
    out.run([sound, looped](Mixer& m) { m.play(sound, 1, looped); });
    ASSERT_TRUE(waitFor([&] { return out.active(); }, 3000));
    out.setPaused(true);
    ASSERT_TRUE(waitFor([&] { return !out.active(); }, 3000));
    double before = cpuSeconds();
    QThread::msleep(1000);
    EXPECT_LT(cpuSeconds() - before, 0.005) << "paused: no timer, no busy thread";
    out.setPaused(false);
    EXPECT_TRUE(waitFor([&] { return out.active(); }, 3000)) << "playing on";
    out.run([](Mixer& m) { m.stopAll(); });
    ASSERT_TRUE(waitFor([&] { return !out.active(); }, 3000));
    before = cpuSeconds();
    QThread::msleep(1000);
    EXPECT_LT(cpuSeconds() - before, 0.005) << "nothing to play";
}

TEST(NoSoundDevice, EverythingIsAcceptedAndNothingWaitsForSound) {
    ensureApp();
    AudioOutput out;
    auto sound = tone(440, 1.0);
    int ran = 0;
    out.run([&, sound](Mixer& m) {
        m.play(sound, 1, {});
        ++ran;
    });
    out.sync();
    ASSERT_TRUE(waitFor([&] { return !out.audible(); }, 5000));
    EXPECT_EQ(ran, 1);
    EXPECT_FALSE(out.active());
    std::size_t voices = 99;
    out.run([&](Mixer& m) { voices = m.voiceCount(); });
    out.sync();
    EXPECT_EQ(voices, 0u) << "what no one hears is not kept";

    // A movie's stream leads no timeline: the frames keep their own clock.
    zd::swfwriter::MovieWriter writer(8, {0, 2000, 0, 2000}, 10);
    writer.soundStreamHead({3, 3, true, false}, 4410);
    writer.soundStreamBlock(std::vector<std::uint8_t>(8820, 0x10));
    writer.showFrame();
    const std::vector<std::uint8_t> file = writer.finish();
    const auto movie = MovieData::fromBytes(file);
    ASSERT_NE(movie->header(), nullptr);
    MovieSound movieSound(out);
    movieSound.setMovie(movie.get());
    movieSound.rootFrameShown(0);
    EXPECT_FALSE(movieSound.streamFrame(kRootTimeline));
    EXPECT_EQ(movieSound.framesToAdvance(kRootTimeline, 0), 1);
}
