#include "engine/video/FlvVideo.h"

#include <vector>

namespace zd::engine {

void FlvVideo::setData(std::string file, bool complete) {
    if (file.size() < data_.size() || file.compare(0, data_.size(), data_) != 0) {
        // Another file: start again.
        clear();
    }
    data_ = std::move(file);
    file_.update(bytes(), complete);
}

void FlvVideo::clear() {
    data_.clear();
    file_ = FlvFile();
    decoder_.reset();
    codec_ = 0;
    shown_.reset();
    picture_ = QImage();
    time_ = 0;
}

bool FlvVideo::openDecoder(std::uint8_t codec, std::span<const std::uint8_t> configuration) {
    decoder_ = VideoDecoder::create(codec, 0, configuration);
    codec_ = codec;
    return decoder_ != nullptr;
}

std::span<const std::uint8_t> FlvVideo::configuration(std::size_t before) const {
    // H.264 configures its decoder from a tag of its own, usually the first.
    const auto& tags = file_.tags();
    std::span<const std::uint8_t> found;
    for (std::size_t i = 0; i < before && i < tags.size(); ++i) {
        if (tags[i].type != FlvTag::Video) {
            continue;
        }
        const auto p = parseFlvVideo(bytes().subspan(tags[i].offset, tags[i].size));
        if (p && p->configuration) {
            found = p->data;
        }
    }
    return found;
}

QImage FlvVideo::picture() {
    const auto& tags = file_.tags();
    // The frame to show: the last video tag at or before the time.
    std::optional<std::size_t> last;
    for (std::size_t i = 0; i < tags.size(); ++i) {
        if (tags[i].timestamp > time_ && tags[i].type == FlvTag::Video) {
            break;
        }
        if (tags[i].type == FlvTag::Video) {
            last = i;
        }
    }
    if (!last || last == shown_) {
        return picture_;
    }
    const bool forward = shown_ && *shown_ < *last;
    std::size_t start = *last;
    if (forward) {
        // Carry on unless a key frame lies on the way.
        start = *shown_ + 1;
        for (std::size_t i = *last + 1; i-- > start;) {
            if (tags[i].type == FlvTag::Video && tags[i].key) {
                start = i;
                break;
            }
        }
    } else if (const auto key = file_.keyFrameBefore(tags[*last].timestamp)) {
        start = std::min(*key, *last);
    }
    std::vector<std::size_t> toDecode;
    for (std::size_t i = start; i <= *last; ++i) {
        if (tags[i].type == FlvTag::Video) {
            toDecode.push_back(i);
        }
    }
    bool reset = !forward || (start != *shown_ + 1);
    if (toDecode.size() > static_cast<std::size_t>(kMaxCatchUp)) {
        toDecode.erase(toDecode.begin(), toDecode.end() - kMaxCatchUp);
        reset = true;
    }
    for (std::size_t i : toDecode) {
        const auto p = parseFlvVideo(bytes().subspan(tags[i].offset, tags[i].size));
        if (!p || p->configuration || p->frameType == 5 || p->data.empty()) {
            continue;
        }
        if (!decoder_ || p->codec != codec_) {
            if (!openDecoder(p->codec,
                             p->codec == 7 ? configuration(i) : std::span<const std::uint8_t>{})) {
                continue;
            }
        } else if (reset) {
            decoder_->reset();
        }
        reset = false;
        QImage image = decoder_->decode(p->data);
        ++decoded_;
        if (!image.isNull()) {
            const int w = image.width() - p->cropRight;
            const int h = image.height() - p->cropBottom;
            picture_ = (p->cropRight != 0 || p->cropBottom != 0) && w > 0 && h > 0
                           ? image.copy(0, 0, w, h)
                           : std::move(image);
        }
    }
    shown_ = last;
    return picture_;
}

}  // namespace zd::engine
