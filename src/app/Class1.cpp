#include "app/Class1.h"

#include <QString>
#include <algorithm>
#include <limits>

#include "platform/Services.h"

namespace zd {

namespace {
qint32 to32(long value) {
    return static_cast<qint32>(std::clamp<long>(value, std::numeric_limits<qint32>::min(),
                                                std::numeric_limits<qint32>::max()));
}
}  // namespace

void Class1::meOpenMixer() {
    platform::MixerDevice& device = platform::mixerDevice();
    mixerErr_ = device.open();
    if (mixerErr_ != 0) {
        platform::messageBoxes().show(QStringLiteral("Could not open the mixer."),
                                      QStringLiteral("Volume Control"), 16);
        return;
    }
    opened_ = true;
    if (const auto range = device.speakerRange()) {
        speakerMax_ = to32(range->maximum);
        speakerMin_ = to32(range->minimum);
    }
    if (const auto range = device.microphoneRange()) {
        micMax_ = to32(range->maximum);
        micMin_ = to32(range->minimum);
    }
}

qint32 Class1::volumeStep(qint32 minimum, qint32 maximum) {
    const qint64 range = static_cast<qint64>(maximum) - minimum;
    return static_cast<qint32>(std::clamp<qint64>(range / 64, 1, 1000));
}

void Class1::setPrSpeakerVolume(qint32 value) {
    speakerVolume_ = value;
    if (opened_)
        platform::mixerDevice().setSpeakerVolume(value);
}

void Class1::setPrMicVolume(qint32 value) {
    micVolume_ = value;
    if (opened_)
        platform::mixerDevice().setMicrophoneVolume(value);
}

}  // namespace zd
