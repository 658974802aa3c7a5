#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace zd::engine {

// One tag record: where its header starts, its type and where its body lies.
struct TagInfo {
    std::uint16_t code = 0;
    std::size_t offset = 0;      // of the record header
    std::size_t bodyOffset = 0;  // after the short (2-byte) or long (6-byte) header
    std::uint32_t length = 0;    // of the body

    std::size_t end() const { return bodyOffset + length; }
};

enum class TagStatus {
    Ok,         // a whole tag (or, for a walker, stopped exactly at the end of the data)
    NeedMore,   // the header or the body goes on past the end of the data
    Malformed,  // a long header with a negative length
};

// Reads the record header at offset. NeedMore with the header filled in means only the body
// is short, so the caller can tell where the tag would end.
TagStatus readTagHeader(std::span<const std::uint8_t> data, std::size_t offset, TagInfo& out);

// Walks the tag records of a timeline (the file after its header, or a sprite's body) one at
// a time; never reads outside data.
class TagWalker {
  public:
    explicit TagWalker(std::span<const std::uint8_t> data, std::size_t offset = 0)
        : data_(data), offset_(offset) {}

    // The next whole tag, or nullopt once none is left (status() tells why).
    std::optional<TagInfo> next();
    TagStatus status() const { return status_; }
    // Where the next tag starts.
    std::size_t offset() const { return offset_; }
    // The tag next() stopped on with NeedMore; bodyOffset is 0 when even its header is short.
    const TagInfo& pending() const { return pending_; }
    std::span<const std::uint8_t> body(const TagInfo& tag) const {
        return data_.subspan(tag.bodyOffset, tag.length);
    }

  private:
    std::span<const std::uint8_t> data_;
    std::size_t offset_;
    TagStatus status_ = TagStatus::Ok;
    TagInfo pending_;
};

}  // namespace zd::engine
