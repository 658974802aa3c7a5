#include <gtest/gtest.h>

#include "MediaFixtures.h"
#include "engine/audio/Mixer.h"
#include "engine/audio/SoundHost.h"

using namespace zd::engine;
using namespace zd::test;

namespace {

// A 44.1 kHz sound with exactly these samples (interleaved when stereo): the mixer's input
// without any resampling between.
std::shared_ptr<EventSound> pcm(const Samples& samples, bool stereo = false) {
    auto s = std::make_shared<SoundSource>();
    s->coding = {3, 3, true, stereo};
    s->data = le16(samples);
    return std::make_shared<EventSound>(s);
}

Samples constant(std::size_t n, std::int16_t v) {
    return Samples(n, v);
}

// Runs the mixer for `frames` frames and returns what came out.
Samples run(Mixer& m, std::size_t frames) {
    Samples out(frames * 2, 123);
    m.prepare(frames);
    m.mix(out.data(), frames);
    return out;
}

std::int16_t left(const Samples& s, std::size_t frame) {
    return s[frame * 2];
}
std::int16_t right(const Samples& s, std::size_t frame) {
    return s[frame * 2 + 1];
}

}  // namespace

TEST(Mixer, SumsVoicesAndClipsAtFullScale) {
    Mixer m;
    const auto loud = pcm(constant(100, 30000));
    const auto quiet = pcm(constant(100, -30000));
    m.play(loud, 1, {});
    m.play(loud, 1, {});
    Samples out = run(m, 10);
    EXPECT_EQ(left(out, 0), 32767) << "two voices past full scale clip, not wrap";
    EXPECT_EQ(right(out, 9), 32767);
    m.stopAll();
    m.play(quiet, 2, {});
    m.play(quiet, 2, {});
    EXPECT_EQ(left(run(m, 10), 0), -32768);
    m.stopAll();
    m.play(loud, 1, {});
    m.play(quiet, 2, {});
    EXPECT_EQ(left(run(m, 10), 0), 0);
    // The movie's volume scales the sum.
    m.stopAll();
    m.setVolume(0.5f);
    m.play(loud, 1, {});
    EXPECT_EQ(left(run(m, 10), 0), 15000);
    m.setVolume(0.0f);
    EXPECT_EQ(left(run(m, 10), 0), 0);
}

TEST(Mixer, InAndOutPointsAndLoops) {
    Samples ramp(1000);
    for (std::size_t i = 0; i < ramp.size(); ++i) {
        ramp[i] = static_cast<std::int16_t>(i + 1);
    }
    const auto sound = pcm(ramp);
    Mixer m;
    SoundInfo info;
    info.inPoint = 100;
    info.outPoint = 199;  // the last sample played
    info.loops = 3;
    m.play(sound, 1, info);
    const Samples out = run(m, 400);
    for (std::size_t pass = 0; pass < 3; ++pass) {
        EXPECT_EQ(left(out, pass * 100), 101) << pass;
        EXPECT_EQ(left(out, pass * 100 + 99), 200) << pass;
    }
    EXPECT_EQ(left(out, 300), 0);
    EXPECT_FALSE(m.isPlaying(1));

    // An out point past the end plays to the end; an in point past it plays nothing; no
    // loop count plays once.
    SoundInfo pastEnd;
    pastEnd.inPoint = 990;
    pastEnd.outPoint = 5000;
    m.play(sound, 2, pastEnd);
    const Samples tail = run(m, 20);
    EXPECT_EQ(left(tail, 9), 1000);
    EXPECT_EQ(left(tail, 10), 0);
    SoundInfo nothing;
    nothing.inPoint = 1000;
    nothing.loops = 65535;
    m.play(sound, 3, nothing);
    EXPECT_EQ(left(run(m, 20), 0), 0);
    EXPECT_EQ(m.voiceCount(), 0u);
    SoundInfo backwards;
    backwards.inPoint = 500;
    backwards.outPoint = 100;
    backwards.loops = 1000;
    m.play(sound, 4, backwards);
    EXPECT_EQ(left(run(m, 20), 0), 0);
    EXPECT_EQ(m.voiceCount(), 0u);
}

TEST(Mixer, EnvelopeFadesAlongTheSoundsOwnTimeline) {
    Mixer m;
    SoundInfo fadeIn;
    fadeIn.envelope = {{0, 0, 0}, {1000, 32768, 32768}};
    m.play(pcm(constant(2000, 20000)), 1, fadeIn);
    Samples out = run(m, 2000);
    EXPECT_EQ(left(out, 0), 0);
    EXPECT_NEAR(left(out, 250), 5000, 1);
    EXPECT_NEAR(right(out, 500), 10000, 1);
    EXPECT_EQ(left(out, 1000), 20000);
    EXPECT_EQ(left(out, 1999), 20000);

    // Sides apart on a stereo sound; one level for both (their mean) on a mono sound.
    SoundInfo leftOnly;
    leftOnly.envelope = {{0, 32768, 0}};
    Samples both(200);
    std::fill(both.begin(), both.end(), 8000);
    m.play(pcm(both, true), 2, leftOnly);
    out = run(m, 10);
    EXPECT_EQ(left(out, 5), 8000);
    EXPECT_EQ(right(out, 5), 0);
    m.stopAll();
    m.play(pcm(constant(100, 8000)), 3, leftOnly);
    out = run(m, 10);
    EXPECT_EQ(left(out, 5), 4000);
    EXPECT_EQ(right(out, 5), 4000);
    m.stopAll();

    // Positions count from the sound's start (an in point is part of the way) and run on
    // through the loops.
    SoundInfo cut;
    cut.inPoint = 500;
    cut.envelope = {{0, 0, 0}, {1000, 32768, 32768}};
    m.play(pcm(constant(1000, 20000)), 4, cut);
    EXPECT_NEAR(left(run(m, 10), 0), 10000, 1);
    m.stopAll();
    SoundInfo looped;
    looped.loops = 3;
    looped.envelope = {{0, 0, 0}, {300, 32768, 32768}};
    m.play(pcm(constant(100, 30000)), 5, looped);
    out = run(m, 300);
    EXPECT_LT(left(out, 50), 6000);
    EXPECT_NEAR(left(out, 150), 15000, 1);
    EXPECT_GT(left(out, 250), 24000);
}

TEST(Mixer, StopNoMultipleAndTransforms) {
    Mixer m;
    const auto sound = pcm(constant(1000, 1000));
    SoundInfo once;
    once.noMultiple = true;
    EXPECT_TRUE(m.play(sound, 7, once));
    EXPECT_FALSE(m.play(sound, 7, once)) << "a second voice of a sound still playing";
    EXPECT_TRUE(m.play(sound, 7, {})) << "allowed when the record does not forbid it";
    EXPECT_TRUE(m.play(sound, 8, once)) << "another sound";
    EXPECT_EQ(m.voiceCount(), 3u);
    EXPECT_EQ(left(run(m, 1), 0), 3000);
    SoundInfo stop;
    stop.stop = true;
    EXPECT_FALSE(m.play(sound, 7, stop));
    EXPECT_FALSE(m.isPlaying(7));
    EXPECT_TRUE(m.isPlaying(8));
    EXPECT_EQ(left(run(m, 1), 0), 1000);
    m.stop(8);
    EXPECT_EQ(left(run(m, 1), 0), 0);

    // A transform swaps the sides of voices playing and of those started after.
    Samples lr;
    for (int i = 0; i < 100; ++i) {
        lr.push_back(1000);
        lr.push_back(-500);
    }
    const auto stereo = pcm(lr, true);
    m.play(stereo, 9, {});
    SoundTransform swap;
    swap.leftToLeft = 0;
    swap.leftToRight = 1;
    swap.rightToLeft = 1;
    swap.rightToRight = 0;
    m.setTransform(9, swap);
    m.play(stereo, 9, {});
    Samples out = run(m, 2);
    EXPECT_EQ(left(out, 0), -1000);
    EXPECT_EQ(right(out, 0), 2000);
    swap.volume = 0.5f;
    m.setTransform(9, swap);
    out = run(m, 2);
    EXPECT_EQ(left(out, 0), -500);
    EXPECT_EQ(right(out, 0), 1000);
}

TEST(Mixer, ManyVoicesAndAMixThatAllocatesNothing) {
    Mixer m;
    const auto sound = pcm(constant(5000, 10));
    for (int i = 0; i < 300; ++i) {
        m.play(sound, static_cast<SoundKey>(i), {});
    }
    EXPECT_EQ(m.voiceCount(), 300u);
    Samples out(4096 * 2);
    m.prepare(4096);
    {
        AllocationCounter counter;
        m.mix(out.data(), 4096);
        EXPECT_EQ(counter.count(), 0);
    }
    EXPECT_EQ(left(out, 0), 3000);
    // The voices end with their sound and are let go of before the next mix.
    run(m, 2000);
    EXPECT_EQ(m.voiceCount(), 0u);
    m.prepare(0);
    EXPECT_EQ(m.framesMixed(), 6096u);
}

TEST(Mixer, LongSoundsStartAtOnceAndDecodeAheadOfTheVoice) {
    // A 60 s tone: the first pass decodes only a little of it.
    const Samples tone = sine(440, 44100, 44100 * 60);
    auto sound = pcm(tone);
    Mixer m;
    m.play(sound, 1, {});
    Samples out = run(m, 1024);
    EXPECT_LT(sound->framesReady(), 44100u * 10);
    EXPECT_EQ(left(out, 100), tone[100]);
    // A direct host mixes when told and holds when paused.
    DirectSoundHost host(true);
    host.run([&](Mixer& mixer) { mixer.play(sound, 1, {}); });
    host.advance(1000);
    host.setPaused(true);
    host.advance(1000);
    host.setPaused(false);
    host.advance(1000);
    ASSERT_EQ(host.recording().size(), 4000u);
    EXPECT_EQ(host.recording()[2 * 1500], tone[1500]);
}
