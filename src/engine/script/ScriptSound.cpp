// The script host's side of the Sound object: the mix each clip's sounds play under, and the
// exported sounds scripts attach and start, played through the player's sound. Also the
// Video objects showing a stream's pictures.

#include <algorithm>

#include "engine/audio/Mp3Scan.h"
#include "engine/player/DisplayTree.h"
#include "engine/player/StagePlayer.h"
#include "engine/script/ScriptHost.h"
#include "engine/swf/MovieData.h"
#include "engine/swf/SoundTags.h"
#include "engine/swf/TagCodes.h"
#include "engine/swf/TagWalker.h"
#include "engine/video/FlvVideo.h"

namespace zd::script {

using avm1::DisplayId;
using avm1::kNoDisplay;

std::optional<avm1::Host::SoundMix> ScriptHost::soundMix(DisplayId clip) {
    if (clip != kNoDisplay && !exists(clip)) {
        return std::nullopt;
    }
    const auto it = soundMixes_.find(clip);
    return it != soundMixes_.end() ? it->second : SoundMix{};
}

void ScriptHost::setSoundMix(DisplayId clip, const SoundMix& mix) {
    if (clip != kNoDisplay && !exists(clip)) {
        return;
    }
    soundMixes_[clip] = mix;
    if (engine::SoundHooks* sound = player_.soundHooks()) {
        sound->setScriptMix(
            clip, {static_cast<double>(mix.volume), static_cast<double>(mix.leftToLeft),
                   static_cast<double>(mix.leftToRight), static_cast<double>(mix.rightToLeft),
                   static_cast<double>(mix.rightToRight)});
    }
}

std::optional<std::uint16_t> ScriptHost::exportedSound(std::string_view name) {
    const auto& exports = player_.dictionary().exports();
    const auto it = exports.find(std::string(name));
    if (it == exports.end()) {
        return std::nullopt;
    }
    return it->second;
}

std::optional<double> ScriptHost::soundLength(DisplayId clip, std::string_view name) {
    if (clip != kNoDisplay && !exists(clip)) {
        return std::nullopt;
    }
    const auto id = exportedSound(name);
    if (!id) {
        return std::nullopt;
    }
    const auto data = movie_.data();
    const std::size_t from = movie_.header() != nullptr ? movie_.header()->size : data.size();
    const std::size_t to = std::min(movie_.timeline().scannedOffset(), data.size());
    if (from >= to) {
        return std::nullopt;
    }
    engine::TagWalker walker(data.first(to), from);
    while (const auto tag = walker.next()) {
        if (tag->code != static_cast<std::uint16_t>(engine::TagCode::DefineSound)) {
            continue;
        }
        const auto def = engine::parseDefineSound(walker.body(*tag));
        if (def && def->id == *id) {
            const int rate = def->coding.sampleRate();
            return rate > 0 ? 1000.0 * def->sampleCount / rate : 0.0;
        }
    }
    return std::nullopt;
}

bool ScriptHost::startSound(DisplayId clip, std::string_view name, double offset, int loops) {
    // Without sound the movie plays on as if it were heard: the sound starts and ends on
    // time for its scripts.
    engine::SoundHooks* sound = player_.soundHooks();
    if (const auto it = loadedSounds_.find(std::string(name)); it != loadedSounds_.end()) {
        return sound == nullptr || sound->startScriptSoundData(
                                       clip, it->second.id, it->second.defineSound, offset, loops);
    }
    const auto id = exportedSound(name);
    return id && (sound == nullptr || sound->startScriptSound(clip, *id, offset, loops));
}

std::optional<double> ScriptHost::addLoadedSound(std::string_view name, std::string_view bytes) {
    const auto data = std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    const auto mp3 = engine::scanMp3(data);
    if (!mp3) {
        loadedSounds_.erase(std::string(name));
        return std::nullopt;
    }
    LoadedSound loaded;
    loaded.id = nextLoadedSound_++;
    if (nextLoadedSound_ == 0) {
        nextLoadedSound_ = 0x10000;
    }
    loaded.defineSound = engine::mp3DefineSound(*mp3, data);
    loadedSounds_[std::string(name)] = std::move(loaded);
    return 1000.0 * static_cast<double>(mp3->samples) / mp3->rate;
}

std::optional<double> ScriptHost::addSoundBody(std::string_view name,
                                               std::span<const std::uint8_t> body) {
    const auto def = engine::parseDefineSound(body);
    const int rate = def ? def->coding.sampleRate() : 0;
    if (!def || rate <= 0) {
        loadedSounds_.erase(std::string(name));
        return std::nullopt;
    }
    LoadedSound loaded;
    loaded.id = nextLoadedSound_++;
    if (nextLoadedSound_ == 0) {
        nextLoadedSound_ = 0x10000;
    }
    loaded.defineSound.assign(body.begin(), body.end());
    loadedSounds_[std::string(name)] = std::move(loaded);
    return 1000.0 * def->sampleCount / rate;
}

void ScriptHost::stopSound(DisplayId clip, std::string_view name) {
    engine::SoundHooks* sound = player_.soundHooks();
    if (sound == nullptr) {
        return;
    }
    if (name.empty()) {
        sound->stopScriptSounds(clip, std::nullopt);
    } else if (const auto it = loadedSounds_.find(std::string(name)); it != loadedSounds_.end()) {
        sound->stopScriptSounds(clip, it->second.id);
    } else if (const auto id = exportedSound(name)) {
        sound->stopScriptSounds(clip, *id);
    }
}

bool ScriptHost::attachVideo(DisplayId video, std::shared_ptr<engine::FlvVideo> source) {
    engine::DisplayObject* o = find(video);
    if (o == nullptr || o->character() == nullptr ||
        o->character()->kind != engine::Character::Kind::Video) {
        return false;
    }
    const bool showing = o->attachedVideo() != nullptr;
    o->setAttachedVideo(std::move(source));
    if (!showing && o->attachedVideo()) {
        streamVideos_.push_back(video);
    }
    return true;
}

void ScriptHost::clearVideo(DisplayId video) {
    if (engine::DisplayObject* o = find(video); o != nullptr && o->attachedVideo()) {
        o->setAttachedVideo(nullptr);
    }
}

void ScriptHost::stopSounds() {
    if (engine::SoundHooks* sound = player_.soundHooks()) {
        sound->stopAllSounds();
    }
}

}  // namespace zd::script
