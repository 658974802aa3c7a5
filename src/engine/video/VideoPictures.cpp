#include "engine/video/VideoPictures.h"

#include "engine/player/DisplayTree.h"
#include "engine/video/FlvVideo.h"

namespace zd::engine {

QImage VideoPictures::picture(const DisplayObject& object, DisplayContext& context) {
    if (const auto& attached = object.attachedVideo()) {
        return attached->picture();
    }
    const Character* c = object.character().get();
    const auto* stream = c != nullptr ? c->as<VideoStreamDefinition>() : nullptr;
    if (stream == nullptr) {
        return {};
    }
    const Dictionary& dictionary = context.dictionary();
    library_.update(context.data(), dictionary.firstTag(), dictionary.indexedEnd());
    auto& player = players_[object.id()];
    if (!player || player->stream().id != stream->id) {
        player = std::make_unique<VideoPlayer>(*stream);
    }
    return player->frame(library_, context.data(), object.ratio());
}

void VideoPictures::trim(const DisplayContext& context) {
    std::erase_if(players_,
                  [&context](const auto& entry) { return context.find(entry.first) == nullptr; });
}

void VideoPictures::clear() {
    library_ = VideoLibrary();
    players_.clear();
}

}  // namespace zd::engine
