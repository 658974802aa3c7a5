#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "MediaFixtures.h"
#include "engine/audio/MovieSound.h"
#include "engine/audio/SoundHost.h"
#include "engine/swf/MovieData.h"

using namespace zd::engine;
using namespace zd::test;
namespace sw = zd::swfwriter;

namespace {

constexpr sw::SoundFormatSpec kPcm44Mono{3, 3, true, false};

// Sounds 1 (level 1000) and 2 (level 2000, exported as "Beep"), each a tenth of a second;
// button 9 plays sound 2 when pressed. Frame 1 starts sound 1, frame 2 starts "Beep" unless
// it plays, frame 3 stops sound 1, frame 4 starts a sound nobody defined.
Bytes soundMovie() {
    sw::MovieWriter movie(9, {0, 2000, 0, 2000}, 10);
    movie.defineSound(kPcm44Mono, 4410, le16(Samples(4410, 1000)), 1);
    movie.defineSound(kPcm44Mono, 4410, le16(Samples(4410, 2000)), 2);
    movie.exportAssets({{2, "Beep"}});
    movie.defineButtonSound(9, {{{0, {}}, {0, {}}, {2, {}}, {0, {}}}});
    sw::SoundInfoSpec looped;
    looped.loops = 5;
    movie.startSound(1, looped);
    movie.showFrame();
    sw::SoundInfoSpec once;
    once.noMultiple = true;
    movie.startSound2("Beep", once);
    movie.startSound2("Nobody", {});
    movie.showFrame();
    sw::SoundInfoSpec stop;
    stop.stop = true;
    movie.startSound(1, stop);
    movie.showFrame();
    movie.startSound(99, {});
    movie.showFrame();
    return movie.finish();
}

struct Player {
    explicit Player(const Bytes& file) : movie(MovieData::fromBytes(file)) {
        sound.setMovie(movie.get());
    }
    std::unique_ptr<MovieData> movie;
    DirectSoundHost host{true};
    MovieSound sound{host};

    // The left sample heard `frame` frames into the run.
    std::int16_t at(std::size_t frame) const { return host.recording().at(frame * 2); }
};

}  // namespace

TEST(MovieSound, FramesStartAndStopTheirSounds) {
    Player p(soundMovie());
    p.sound.rootFrameShown(0);
    p.host.advance(4410);
    EXPECT_EQ(p.at(100), 1000);
    p.sound.rootFrameShown(1);
    p.host.advance(4410);
    EXPECT_EQ(p.at(4410 + 100), 3000) << "the exported sound joins in";
    p.sound.rootFrameShown(1);  // held: nothing starts again
    p.host.advance(10);
    EXPECT_EQ(p.at(8820 + 5), 1000);
    p.sound.rootFrameShown(2);
    p.sound.rootFrameShown(3);
    p.host.advance(4410);
    EXPECT_EQ(p.at(8830 + 100), 0) << "sound 1 stopped before its loops ran out";

    // Jumping back to the second frame: "Beep" refuses a second voice while one plays.
    Player q(soundMovie());
    q.sound.rootFrameShown(1);
    q.sound.rootFrameShown(0);
    q.sound.rootFrameShown(1);
    q.host.advance(100);
    EXPECT_EQ(q.at(50), 3000);
}

TEST(MovieSound, ButtonSoundsExportsAndUnknownIds) {
    Player p(soundMovie());
    EXPECT_EQ(p.sound.exportedId("Beep"), 2);
    EXPECT_FALSE(p.sound.exportedId("beep"));
    EXPECT_TRUE(p.sound.buttonTransition(9, 2));
    EXPECT_FALSE(p.sound.buttonTransition(9, 0)) << "no sound for that change";
    EXPECT_FALSE(p.sound.buttonTransition(9, 4));
    EXPECT_FALSE(p.sound.buttonTransition(10, 2)) << "a button with no sounds";
    EXPECT_FALSE(p.sound.startSound(99, {}));
    EXPECT_EQ(p.sound.eventSound(99), nullptr);
    p.host.advance(100);
    EXPECT_EQ(p.at(10), 2000);

    // The movie's volume; a new movie silences the old one's sounds.
    p.sound.setVolume(0.5f);
    p.host.advance(100);
    EXPECT_EQ(p.at(150), 1000);
    p.sound.setMovie(nullptr);
    p.host.advance(100);
    EXPECT_EQ(p.at(250), 0);
    p.sound.rootFrameShown(0);
    EXPECT_FALSE(p.sound.buttonTransition(9, 2));
}

TEST(RenderTool, WavHoldsTheSoundOfTheRun) {
    // A root stream of distinct blocks at 10 frames a second, and an event sound.
    sw::MovieWriter movie(9, {0, 2000, 0, 2000}, 10);
    movie.defineSound(kPcm44Mono, 441, le16(Samples(441, 5000)), 1);
    movie.soundStreamHead(kPcm44Mono, 4410);
    for (int f = 0; f < 6; ++f) {
        if (f == 2) {
            movie.startSound(1, {});
        }
        movie.soundStreamBlock(le16(Samples(4410, static_cast<std::int16_t>(100 * (f + 1)))));
        movie.showFrame();
    }
    QTemporaryDir dir;
    const QString swf = dir.filePath("stream.swf");
    ASSERT_TRUE(movie.save(swf.toStdString(), {}));
    const QString tool = QStringLiteral(ZD_BIN_DIR "/zephyrdeck-render");

    auto render = [&](const QStringList& args) {
        QProcess p;
        p.start(tool, args);
        EXPECT_TRUE(p.waitForFinished(30000));
        return p.exitCode();
    };
    auto samples = [](const QString& path) {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray b = f.readAll();
        EXPECT_GE(b.size(), 44);
        EXPECT_EQ(b.left(4), "RIFF");
        EXPECT_EQ(b.mid(8, 8), "WAVEfmt ");
        auto u32 = [&](int at) {
            return std::uint32_t(std::uint8_t(b[at])) |
                   std::uint32_t(std::uint8_t(b[at + 1])) << 8 |
                   std::uint32_t(std::uint8_t(b[at + 2])) << 16 |
                   std::uint32_t(std::uint8_t(b[at + 3])) << 24;
        };
        EXPECT_EQ(u32(20), 0x00020001u) << "integer PCM, two channels";
        EXPECT_EQ(u32(24), 44100u);
        EXPECT_EQ(u32(32) & 0xffff0000u, 16u << 16) << "16 bits";
        EXPECT_EQ(u32(40), std::uint32_t(b.size() - 44));
        Samples s(std::size_t(b.size() - 44) / 2);
        for (std::size_t i = 0; i < s.size(); ++i) {
            s[i] = static_cast<std::int16_t>(std::uint8_t(b[44 + 2 * i]) |
                                             std::uint8_t(b[45 + 2 * i]) << 8);
        }
        return s;
    };

    const QString wav = dir.filePath("frames.wav");
    ASSERT_EQ(render({"--frames", "4", "--wav", wav, swf}), 0);
    const Samples frames = samples(wav);
    ASSERT_EQ(frames.size(), 4u * 4410 * 2) << "four frame intervals";
    EXPECT_EQ(frames[2 * 10], 100);
    EXPECT_EQ(frames[2 * (4410 + 10) + 1], 200);
    EXPECT_EQ(frames[2 * (2 * 4410 + 10)], 5300) << "the event sound over the stream";
    EXPECT_EQ(frames[2 * (2 * 4410 + 500)], 300);
    EXPECT_EQ(frames[2 * (3 * 4410 + 10)], 400);

    // Ticks of 50 ms: two ticks to a frame.
    const QString ticks = dir.filePath("ticks.wav");
    ASSERT_EQ(render({"--ticks", "5", "--tick-ms", "50", "--wav", ticks, swf}), 0);
    const Samples t = samples(ticks);
    ASSERT_EQ(t.size(), 5u * 2205 * 2);
    EXPECT_EQ(t[2 * (2 * 2205 + 10)], 200);
    EXPECT_EQ(t[2 * (4 * 2205 + 10)], 5300);

    EXPECT_EQ(render({"--wav", swf}), 1) << "--wav needs a file name";
    EXPECT_EQ(render({"--frames", "2", "--wav", dir.filePath("no/such/dir/x.wav"), swf}), 1);
}
