#include "engine/swf/TagWalker.h"

namespace zd::engine {

TagStatus readTagHeader(std::span<const std::uint8_t> data, std::size_t offset, TagInfo& out) {
    if (offset > data.size() || data.size() - offset < 2) {
        return TagStatus::NeedMore;
    }
    const auto codeAndLength = static_cast<std::uint16_t>(data[offset] | data[offset + 1] << 8);
    TagInfo tag;
    tag.offset = offset;
    tag.code = static_cast<std::uint16_t>(codeAndLength >> 6);
    tag.length = codeAndLength & 0x3fu;
    tag.bodyOffset = offset + 2;
    if (tag.length == 0x3f) {
        if (data.size() - offset < 6) {
            return TagStatus::NeedMore;
        }
        const std::uint32_t length =
            std::uint32_t{data[offset + 2]} | std::uint32_t{data[offset + 3]} << 8 |
            std::uint32_t{data[offset + 4]} << 16 | std::uint32_t{data[offset + 5]} << 24;
        if (length > 0x7fffffffu) {  // the long length is signed
            return TagStatus::Malformed;
        }
        tag.length = length;
        tag.bodyOffset = offset + 6;
    }
    out = tag;
    return tag.length > data.size() - tag.bodyOffset ? TagStatus::NeedMore : TagStatus::Ok;
}

std::optional<TagInfo> TagWalker::next() {
    if (status_ != TagStatus::Ok) {
        return std::nullopt;
    }
    if (offset_ >= data_.size()) {
        return std::nullopt;
    }
    TagInfo tag;
    tag.bodyOffset = 0;
    status_ = readTagHeader(data_, offset_, tag);
    if (status_ != TagStatus::Ok) {
        pending_ = tag;
        return std::nullopt;
    }
    offset_ = tag.end();
    return tag;
}

}  // namespace zd::engine
