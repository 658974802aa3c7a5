// The mixer class over the real ALSA device. with-sound.sh runs each suite in the setting it
// needs: NullSinkMixer with a PulseAudio null sink behind ALSA's default device, NoMixerDevice
// with no device at all.
#include <alsa/asoundlib.h>
#include <gtest/gtest.h>

#include <optional>

#include "app/Class1.h"
#include "platform/fake/FakePlatform.h"

using namespace zd;

namespace {

// The faked platform, but the real mixer device.
struct RealMixer {
    platform::FakePlatform fake;
    RealMixer() { platform::setMixerDevice(nullptr); }
};

// The element's volume as another program sees it, read through a mixer handle of its own.
std::optional<long> deviceVolume(const char* name, bool capture) {
    snd_mixer_t* mixer = nullptr;
    if (snd_mixer_open(&mixer, 0) < 0)
        return std::nullopt;
    std::optional<long> volume;
    snd_mixer_selem_id_t* id = nullptr;
    snd_mixer_selem_id_alloca(&id);
    snd_mixer_selem_id_set_name(id, name);
    if (snd_mixer_attach(mixer, "default") == 0 &&
        snd_mixer_selem_register(mixer, nullptr, nullptr) == 0 && snd_mixer_load(mixer) == 0) {
        if (snd_mixer_elem_t* elem = snd_mixer_find_selem(mixer, id)) {
            long value = 0;
            const int rc =
                capture
                    ? snd_mixer_selem_get_capture_volume(elem, SND_MIXER_SCHN_FRONT_LEFT, &value)
                    : snd_mixer_selem_get_playback_volume(elem, SND_MIXER_SCHN_FRONT_LEFT, &value);
            if (rc == 0)
                volume = value;
        }
    }
    snd_mixer_close(mixer);
    return volume;
}

}  // namespace

TEST(NullSinkMixer, OpensReadsTheSpeakerRangeAndSetsTheVolume) {
    RealMixer real;
    Class1 mixer;
    mixer.meOpenMixer();
    ASSERT_EQ(mixer.prMixerErr(), 0);
    EXPECT_TRUE(real.fake.messages.shown.empty());
    // PulseAudio's "Master": 0 to 65536.
    EXPECT_EQ(mixer.prSpeakerMinVolume(), 0);
    EXPECT_EQ(mixer.prSpeakerMaxVolume(), 65536);

    mixer.setPrSpeakerVolume(16384);
    EXPECT_EQ(mixer.prSpeakerVolume(), 16384);
    EXPECT_EQ(deviceVolume("Master", false), std::optional<long>(16384));
    mixer.setPrSpeakerVolume(40000);
    EXPECT_EQ(deviceVolume("Master", false), std::optional<long>(40000));
}

TEST(NullSinkMixer, TheMicrophoneIsTheCaptureVolume) {
    RealMixer real;
    Class1 mixer;
    mixer.meOpenMixer();
    ASSERT_EQ(mixer.prMixerErr(), 0);
    // The null sink's monitor is the default source, behind "Capture".
    EXPECT_EQ(mixer.prMicMinVolume(), 0);
    EXPECT_EQ(mixer.prMicMaxVolume(), 65536);
    mixer.setPrMicVolume(20000);
    EXPECT_EQ(mixer.prMicVolume(), 20000);
    EXPECT_EQ(deviceVolume("Capture", true), std::optional<long>(20000));
}

TEST(NullSinkMixer, AValueTheDeviceRefusesIsStillRemembered) {
    RealMixer real;
    Class1 mixer;
    mixer.meOpenMixer();
    ASSERT_EQ(mixer.prMixerErr(), 0);
    mixer.setPrSpeakerVolume(30000);
    // Outside the range: handed over as it is (not cut to the range), so ALSA leaves the
    // device as it was, yet the class reads back the value written.
    mixer.setPrSpeakerVolume(5000000);
    EXPECT_EQ(mixer.prSpeakerVolume(), 5000000);
    mixer.setPrSpeakerVolume(-1);
    EXPECT_EQ(mixer.prSpeakerVolume(), -1);
    EXPECT_EQ(deviceVolume("Master", false), std::optional<long>(30000));
}

TEST(NoMixerDevice, OpeningShowsTheMessageOnceAndLeavesEveryRangeAtZero) {
    RealMixer real;
    Class1 mixer;
    mixer.meOpenMixer();
    EXPECT_NE(mixer.prMixerErr(), 0);
    ASSERT_EQ(real.fake.messages.shown.size(), 1u);
    EXPECT_EQ(real.fake.messages.shown[0].text, QStringLiteral("Could not open the mixer."));
    EXPECT_EQ(real.fake.messages.shown[0].caption, QStringLiteral("Volume Control"));
    EXPECT_EQ(real.fake.messages.shown[0].style, 16);
    EXPECT_EQ(mixer.prSpeakerMinVolume(), 0);
    EXPECT_EQ(mixer.prSpeakerMaxVolume(), 0);
    EXPECT_EQ(mixer.prMicMinVolume(), 0);
    EXPECT_EQ(mixer.prMicMaxVolume(), 0);
}

TEST(NoMixerDevice, WritingRemembersTheValueWithNothingToSetItOn) {
    RealMixer real;
    Class1 mixer;
    mixer.meOpenMixer();
    mixer.setPrSpeakerVolume(5000);
    mixer.setPrMicVolume(7000);
    EXPECT_EQ(mixer.prSpeakerVolume(), 5000);
    EXPECT_EQ(mixer.prMicVolume(), 7000);
    // Written before any opening: remembered as well.
    Class1 unopened;
    unopened.setPrSpeakerVolume(5000);
    EXPECT_EQ(unopened.prSpeakerVolume(), 5000);
    EXPECT_EQ(real.fake.messages.shown.size(), 1u);
}
