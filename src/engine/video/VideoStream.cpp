#include "engine/video/VideoStream.h"

#include <algorithm>

#include "engine/swf/TagCodes.h"
#include "engine/swf/TagWalker.h"

namespace zd::engine {

namespace {

constexpr int kMaxSpriteNesting = 4;

}  // namespace

void VideoLibrary::update(std::span<const std::uint8_t> data, std::size_t firstTag,
                          std::size_t to) {
    if (!started_) {
        next_ = firstTag;
        started_ = true;
    }
    to = std::min(to, data.size());
    if (next_ >= to) {
        return;
    }
    TagWalker walker(data.first(to), next_);
    while (const auto tag = walker.next()) {
        next_ = tag->end();
        const auto code = static_cast<TagCode>(tag->code);
        if (code == TagCode::DefineVideoStream) {
            if (const auto def = parseDefineVideoStream(walker.body(*tag))) {
                streams_.emplace(def->id, *def);
            }
        } else if (code == TagCode::VideoFrame) {
            indexFrame(data, tag->bodyOffset, tag->length);
        } else if (code == TagCode::DefineSprite && tag->length >= 4) {
            indexTags(data, tag->bodyOffset + 4, tag->end(), 1);
        }
    }
}

void VideoLibrary::indexTags(std::span<const std::uint8_t> data, std::size_t begin, std::size_t end,
                             int depth) {
    TagWalker walker(data.first(end), begin);
    while (const auto tag = walker.next()) {
        const auto code = static_cast<TagCode>(tag->code);
        if (code == TagCode::End) {
            break;
        }
        if (code == TagCode::VideoFrame) {
            indexFrame(data, tag->bodyOffset, tag->length);
        } else if (code == TagCode::DefineSprite && tag->length >= 4 && depth < kMaxSpriteNesting) {
            indexTags(data, tag->bodyOffset + 4, tag->end(), depth + 1);
        }
    }
}

void VideoLibrary::indexFrame(std::span<const std::uint8_t> data, std::size_t bodyOffset,
                              std::uint32_t length) {
    const auto frame = parseVideoFrame(data.subspan(bodyOffset, length));
    if (!frame) {
        return;
    }
    // The key flag is read now: the stream's codec is defined before its frames.
    const auto def = streams_.find(frame->streamId);
    const bool key =
        def != streams_.end() && VideoDecoder::isKeyFrame(def->second.codec, frame->data);
    frames_[frame->streamId].emplace(frame->frameNum,
                                     Location{bodyOffset + 4, frame->data.size(), key});
}

const VideoStreamDefinition* VideoLibrary::stream(std::uint16_t id) const {
    const auto it = streams_.find(id);
    return it != streams_.end() ? &it->second : nullptr;
}

const VideoLibrary::Frames* VideoLibrary::frames(std::uint16_t id) const {
    const auto it = frames_.find(id);
    return it != frames_.end() ? &it->second : nullptr;
}

VideoPlayer::VideoPlayer(const VideoStreamDefinition& stream) : stream_(stream) {}

QImage VideoPlayer::cropToStream(QImage image) const {
    // VP6 codes whole 16 x 16 blocks: a picture a little larger than its stream carries the
    // padding on its right and bottom edges, which are not shown.
    const bool vp6 = stream_.codec == static_cast<std::uint8_t>(VideoCodec::Vp6) ||
                     stream_.codec == static_cast<std::uint8_t>(VideoCodec::Vp6Alpha);
    const int w = stream_.width;
    const int h = stream_.height;
    if (vp6 && w > 0 && h > 0 && image.width() >= w && image.height() >= h &&
        image.width() - w < 16 && image.height() - h < 16 && image.size() != QSize(w, h)) {
        return image.copy(0, 0, w, h);
    }
    return image;
}

QImage VideoPlayer::frame(const VideoLibrary& library, std::span<const std::uint8_t> data,
                          int frameNum) {
    if (frameNum < 0 || failed_) {
        return picture_;
    }
    const VideoLibrary::Frames* frames = library.frames(stream_.id);
    if (frames == nullptr) {
        return picture_;
    }
    // The frame to show: the last one the stream has at or before frameNum.
    const auto end = frames->upper_bound(static_cast<std::uint16_t>(std::min(frameNum, 0xffff)));
    if (end == frames->begin()) {
        return picture_;
    }
    const int last = std::prev(end)->first;
    if (last == shown_) {
        return picture_;
    }
    // Start at the last key frame on the way; going forward without one, carry on from the
    // frame shown; going back without one, from the stream's first frame.
    const bool forward = shown_ >= 0 && shown_ < last;
    auto start = std::prev(end);
    while (!start->second.key && start != frames->begin() &&
           (!forward || std::prev(start)->first > shown_)) {
        --start;
    }
    bool reset = start->second.key || !forward;
    if (std::distance(start, end) > kMaxCatchUp) {
        start = std::prev(end, kMaxCatchUp);
        reset = true;
    }
    if (!decoder_) {
        decoder_ = VideoDecoder::create(stream_.codec, stream_.deblocking);
        if (!decoder_) {
            failed_ = true;
            return picture_;
        }
    }
    if (reset) {
        decoder_->reset();
    }
    for (auto it = start; it != end; ++it) {
        const VideoLibrary::Location& at = it->second;
        if (at.offset > data.size() || at.size > data.size() - at.offset) {
            continue;
        }
        QImage image = decoder_->decode(data.subspan(at.offset, at.size));
        ++decoded_;
        if (!image.isNull()) {
            picture_ = cropToStream(std::move(image));
        }
    }
    shown_ = last;
    return picture_;
}

}  // namespace zd::engine
