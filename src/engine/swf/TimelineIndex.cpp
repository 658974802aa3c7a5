#include "engine/swf/TimelineIndex.h"

#include "engine/swf/ByteReader.h"
#include "engine/swf/TagCodes.h"
#include "engine/swf/TagWalker.h"

namespace zd::engine {

namespace {
// Sprites may not hold sprites; hostile files that nest them anyway are only followed this far.
constexpr int kMaxSpriteNesting = 4;
}  // namespace

void TimelineIndex::update(std::span<const std::uint8_t> data, std::size_t bound, bool complete) {
    if (state_ != State::Scanning) {
        return;
    }
    TagWalker walker(data, next_);
    while (auto tag = walker.next()) {
        if (tag->end() > bound) {
            state_ = State::Truncated;
            return;
        }
        next_ = tag->end();
        ++tags_;
        if (tag->code == static_cast<std::uint16_t>(TagCode::End)) {
            state_ = State::Ended;
            return;
        }
        indexTag(data, tag->code, tag->bodyOffset, tag->length, tag->end());
    }
    switch (walker.status()) {
        case TagStatus::Malformed:
            state_ = State::Malformed;
            break;
        case TagStatus::NeedMore:
            // A body that would run past the file length never arrives.
            if (complete || (walker.pending().bodyOffset != 0 && walker.pending().end() > bound)) {
                state_ = State::Truncated;
            }
            break;
        case TagStatus::Ok:
            if (complete) {
                state_ = State::Truncated;
            }
            break;
    }
}

void TimelineIndex::indexTag(std::span<const std::uint8_t> data, std::uint16_t code,
                             std::size_t bodyOffset, std::uint32_t length, std::size_t end) {
    switch (static_cast<TagCode>(code)) {
        case TagCode::ShowFrame:
            if (frames_.size() < kMaxIndexedFrames) {
                frames_.push_back({frameBegin_, end});
            }
            ++showFrames_;
            frameBegin_ = end;
            break;
        case TagCode::SetBackgroundColor: {
            ByteReader in(data.subspan(bodyOffset, length));
            const Rgba colour = readRgb(in);
            if (in.ok() && backgrounds_.size() < kMaxBackgroundChanges) {
                backgrounds_.emplace_back(showFrames_, colour);
            }
            break;
        }
        case TagCode::DefineSprite:
            ++sprites_;
            countSprite(data.subspan(bodyOffset, length), 1);
            break;
        default:
            break;
    }
}

void TimelineIndex::countSprite(std::span<const std::uint8_t> body, int depth) {
    if (body.size() < 4) {
        return;
    }
    // Sprite id and frame count come first; the sprite's own tags follow.
    TagWalker walker(body, 4);
    while (auto tag = walker.next()) {
        const auto code = static_cast<TagCode>(tag->code);
        if (code == TagCode::End) {
            break;
        }
        if (code == TagCode::ShowFrame) {
            ++spriteShowFrames_;
        } else if (code == TagCode::DefineSprite && depth < kMaxSpriteNesting) {
            ++sprites_;
            countSprite(walker.body(*tag), depth + 1);
        }
    }
}

std::optional<Rgba> TimelineIndex::backgroundAt(std::size_t frame) const {
    std::optional<Rgba> colour;
    for (const auto& [at, c] : backgrounds_) {
        if (at > frame) {
            break;
        }
        colour = c;
    }
    return colour;
}

}  // namespace zd::engine
