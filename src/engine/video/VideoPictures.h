#pragma once

#include <QImage>
#include <memory>
#include <unordered_map>

#include "engine/player/FrameHooks.h"
#include "engine/video/VideoStream.h"

namespace zd::engine {

class DisplayContext;
class DisplayObject;

// The pictures of the videos placed on a movie's display lists, decoded when drawn: each
// placed video keeps its own decoder, so two placements of one stream at different frames
// each carry on from where they stood.
class VideoPictures {
  public:
    // The picture a placed video shows now (its ratio is the stream's frame number); a null
    // image when it has none (yet).
    QImage picture(const DisplayObject& object, DisplayContext& context);
    // Lets go of the decoders of videos that have left the display lists.
    void trim(const DisplayContext& context);
    // Forgets everything (a new movie).
    void clear();
    std::size_t players() const { return players_.size(); }

  private:
    VideoLibrary library_;
    std::unordered_map<InstanceId, std::unique_ptr<VideoPlayer>> players_;
};

}  // namespace zd::engine
