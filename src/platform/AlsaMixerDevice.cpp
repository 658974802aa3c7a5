#include <alsa/asoundlib.h>

#include <cstdarg>

#include "platform/RealServices.h"

namespace zd::platform {

namespace {

// ALSA reports a missing card on stderr; the program reports it its own way.
void quietAlsaErrors(const char*, int, const char*, int, const char*, ...) {}

snd_mixer_elem_t* findElement(snd_mixer_t* mixer, const char* name, bool capture) {
    snd_mixer_selem_id_t* id = nullptr;
    snd_mixer_selem_id_alloca(&id);
    snd_mixer_selem_id_set_index(id, 0);
    snd_mixer_selem_id_set_name(id, name);
    snd_mixer_elem_t* elem = snd_mixer_find_selem(mixer, id);
    if (!elem)
        return nullptr;
    const bool hasVolume = capture ? snd_mixer_selem_has_capture_volume(elem)
                                   : snd_mixer_selem_has_playback_volume(elem);
    return hasVolume ? elem : nullptr;
}

}  // namespace

struct AlsaMixerDevice::State {
    snd_mixer_t* mixer = nullptr;
    snd_mixer_elem_t* speaker = nullptr;
    snd_mixer_elem_t* microphone = nullptr;
};

AlsaMixerDevice::AlsaMixerDevice() : state_(std::make_unique<State>()) {}

AlsaMixerDevice::~AlsaMixerDevice() {
    if (state_->mixer)
        snd_mixer_close(state_->mixer);
}

int AlsaMixerDevice::open() {
    if (state_->mixer)
        return 0;
    snd_lib_error_set_handler(&quietAlsaErrors);
    snd_mixer_t* mixer = nullptr;
    int rc = snd_mixer_open(&mixer, 0);
    if (rc < 0)
        return -rc;
    if ((rc = snd_mixer_attach(mixer, "default")) < 0 ||
        (rc = snd_mixer_selem_register(mixer, nullptr, nullptr)) < 0 ||
        (rc = snd_mixer_load(mixer)) < 0) {
        snd_mixer_close(mixer);
        return rc == 0 ? 1 : -rc;
    }
    state_->mixer = mixer;
    for (const char* name : {"Master", "Speaker", "PCM"}) {
        if ((state_->speaker = findElement(mixer, name, false)))
            break;
    }
    for (const char* name : {"Capture", "Mic"}) {
        if ((state_->microphone = findElement(mixer, name, true)))
            break;
    }
    return 0;
}

std::optional<VolumeRange> AlsaMixerDevice::speakerRange() {
    if (!state_->speaker)
        return std::nullopt;
    VolumeRange range;
    if (snd_mixer_selem_get_playback_volume_range(state_->speaker, &range.minimum, &range.maximum) <
        0) {
        return std::nullopt;
    }
    return range;
}

std::optional<VolumeRange> AlsaMixerDevice::microphoneRange() {
    if (!state_->microphone)
        return std::nullopt;
    VolumeRange range;
    if (snd_mixer_selem_get_capture_volume_range(state_->microphone, &range.minimum,
                                                 &range.maximum) < 0) {
        return std::nullopt;
    }
    return range;
}

bool AlsaMixerDevice::setSpeakerVolume(long value) {
    return state_->speaker && snd_mixer_selem_set_playback_volume_all(state_->speaker, value) == 0;
}

bool AlsaMixerDevice::setMicrophoneVolume(long value) {
    return state_->microphone &&
           snd_mixer_selem_set_capture_volume_all(state_->microphone, value) == 0;
}

}  // namespace zd::platform
