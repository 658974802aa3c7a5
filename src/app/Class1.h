#pragma once

#include <QtGlobal>

namespace zd {

// The volume control of the sound card's mixer: the speaker (playback) and microphone
// (capture) volumes of the default device. Values are handed to the device as they are and
// remembered even when the device refuses them.
class Class1 {
  public:
    // Opens the mixer and looks up both volume controls; on failure shows "Could not open the
    // mixer." under "Volume Control" and leaves every range at 0.
    void meOpenMixer();

    qint32 prMixerErr() const { return mixerErr_; }
    qint32 prSpeakerMinVolume() const { return speakerMin_; }
    qint32 prSpeakerMaxVolume() const { return speakerMax_; }
    qint32 prSpeakerVolume() const { return speakerVolume_; }
    void setPrSpeakerVolume(qint32 value);
    qint32 prMicMinVolume() const { return micMin_; }
    qint32 prMicMaxVolume() const { return micMax_; }
    qint32 prMicVolume() const { return micVolume_; }
    void setPrMicVolume(qint32 value);

    // The volume bar's step for a speaker range: a sixty-fourth of it, at least 1 and at most
    // 1000 (the step the 0..65535 mixers were given), so one click never jumps to an end.
    static qint32 volumeStep(qint32 minimum, qint32 maximum);

  private:
    bool opened_ = false;
    qint32 mixerErr_ = 0;
    qint32 speakerMin_ = 0;
    qint32 speakerMax_ = 0;
    qint32 speakerVolume_ = 0;
    qint32 micMin_ = 0;
    qint32 micMax_ = 0;
    qint32 micVolume_ = 0;
};

}  // namespace zd
