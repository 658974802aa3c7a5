#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>

#include "MediaFixtures.h"
#include "engine/audio/Mixer.h"
#include "swfwriter/ActionWriter.h"

using namespace zd::engine;
using namespace zd::test;
namespace sw = zd::swfwriter;
using sw::ActionWriter;
namespace op = sw::op;

namespace {

constexpr sw::SoundFormatSpec kPcm44Mono{3, 3, true, false};
constexpr std::size_t kFrame = 4410;  // samples a frame at 10 frames a second

// s = new Sound(target?); s.<method>(args...) as action records.
void newSound(ActionWriter& a, const std::string& var, const char* target) {
    if (target != nullptr) {
        a.push({std::string_view(var), target}).act(op::GetVariable).push({1, "Sound"});
    } else {
        a.push({std::string_view(var), 0, "Sound"});
    }
    a.act(op::NewObject).act(op::SetVariable);
}

void callOn(ActionWriter& a, const std::string& var, const std::string& method,
            std::initializer_list<sw::PushItem> argsReversed) {
    if (argsReversed.size() > 0) {
        a.push(argsReversed);
    }
    a.push({static_cast<int>(argsReversed.size())}).getVariable(var);
    a.push({std::string_view(method)}).act(op::CallMethod).act(op::Pop);
}

// A movie at 10 frames a second exporting a tenth of a second at level 3000 as "tone".
sw::MovieWriter toneMovie() {
    sw::MovieWriter movie(8, {0, 2000, 0, 2000}, 10);
    movie.defineSound(kPcm44Mono, kFrame, le16(Samples(kFrame, 3000)), 1);
    movie.exportAssets({{1, "tone"}});
    return movie;
}

struct Rendered {
    int status = -1;
    Samples samples;  // interleaved stereo
};

Rendered renderWav(const sw::MovieWriter& movie, int frames) {
    QTemporaryDir dir;
    const QString swf = dir.filePath("movie.swf");
    const QString wav = dir.filePath("out.wav");
    Rendered r;
    if (!movie.save(swf.toStdString(), {})) {
        return r;
    }
    QProcess p;
    p.start(QStringLiteral(ZD_BIN_DIR "/zephyrdeck-render"),
            {"--frames", QString::number(frames), "--wav", wav, swf});
    if (!p.waitForFinished(30000)) {
        return r;
    }
    r.status = p.exitCode();
    QFile f(wav);
    if (!f.open(QIODevice::ReadOnly)) {
        return r;
    }
    const QByteArray b = f.readAll();
    for (qsizetype i = 44; i + 1 < b.size(); i += 2) {
        r.samples.push_back(
            static_cast<std::int16_t>(std::uint8_t(b[i]) | std::uint8_t(b[i + 1]) << 8));
    }
    return r;
}

std::int16_t left(const Rendered& r, std::size_t frame) {
    return r.samples.at(2 * frame);
}
std::int16_t right(const Rendered& r, std::size_t frame) {
    return r.samples.at(2 * frame + 1);
}

}  // namespace

TEST(SoundObject, AttachedSoundPlaysItsLoopsInTheWavUntilStopAllSounds) {
    sw::MovieWriter movie = toneMovie();
    ActionWriter start;
    newSound(start, "s", nullptr);
    callOn(start, "s", "attachSound", {"tone"});
    callOn(start, "s", "start", {3, 0});  // offset 0, three loops
    movie.rawTag(12, start.bytes());
    movie.showFrame();
    movie.showFrame();
    ActionWriter stop;
    stop.push({0, "stopAllSounds"}).act(op::CallFunction).act(op::Pop);
    movie.rawTag(12, stop.bytes());
    movie.showFrame();
    movie.showFrame();

    const Rendered r = renderWav(movie, 4);
    ASSERT_EQ(r.status, 0);
    ASSERT_EQ(r.samples.size(), 4 * kFrame * 2) << "four frame intervals of stereo";
    EXPECT_EQ(left(r, 10), 3000);
    EXPECT_EQ(right(r, 10), 3000);
    EXPECT_EQ(left(r, kFrame + 10), 3000) << "the second loop";
    EXPECT_EQ(left(r, 2 * kFrame + 10), 0) << "stopAllSounds ended the third";
    EXPECT_EQ(left(r, 3 * kFrame + 10), 0);
}

TEST(SoundObject, AClipsVolumeAndPanApplyToTheSoundsItStarts) {
    sw::MovieWriter movie = toneMovie();
    ActionWriter a;
    a.push({1, "mc", 2, "createEmptyMovieClip"}).act(op::CallFunction).act(op::Pop);
    newSound(a, "m", "mc");
    callOn(a, "m", "setVolume", {50});
    callOn(a, "m", "setPan", {-100});  // the right side silent
    callOn(a, "m", "attachSound", {"tone"});
    callOn(a, "m", "start", {});
    // The movie's own Sound starts the same sound a frame later, untouched by the clip's mix.
    movie.rawTag(12, a.bytes());
    movie.showFrame();
    ActionWriter later;
    newSound(later, "g", nullptr);
    callOn(later, "g", "attachSound", {"tone"});
    callOn(later, "g", "start", {});
    movie.rawTag(12, later.bytes());
    movie.showFrame();
    movie.showFrame();

    const Rendered r = renderWav(movie, 3);
    ASSERT_EQ(r.status, 0);
    ASSERT_EQ(r.samples.size(), 3 * kFrame * 2);
    EXPECT_EQ(left(r, 10), 1500);
    EXPECT_EQ(right(r, 10), 0);
    EXPECT_EQ(left(r, kFrame + 10), 3000);
    EXPECT_EQ(right(r, kFrame + 10), 3000);
    EXPECT_EQ(left(r, 2 * kFrame + 10), 0) << "played once";
}

TEST(Mixer, VoicesOfOneSoundStartedInALoopAreBounded) {
    SoundDefinition def;
    def.id = 1;
    def.coding.format = 3;
    def.coding.rateCode = 3;
    const Bytes pcm = le16(Samples(441, 1000));
    def.sampleCount = 441;
    def.data = pcm;
    auto sound = std::make_shared<EventSound>(SoundSource::fromDefinition(def));
    Mixer mixer;
    int started = 0;
    for (int i = 0; i < 10000; ++i) {
        started += mixer.play(sound, 1, SoundInfo{}) ? 1 : 0;
    }
    EXPECT_EQ(started, static_cast<int>(Mixer::kMaxVoices));
    EXPECT_EQ(mixer.voiceCount(), Mixer::kMaxVoices);
    std::vector<std::int16_t> out(2 * 64);
    mixer.prepare(64);
    mixer.mix(out.data(), 64);
    EXPECT_EQ(out[0], 32767) << "clipped, not wrapped";
    // Once they end, new voices start again.
    mixer.stopAll();
    mixer.prepare(64);
    EXPECT_TRUE(mixer.play(sound, 1, SoundInfo{}));
}
