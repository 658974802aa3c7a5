#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace zd::engine {

// An AMF0 value as FLV script tags carry them (names and arguments of onMetaData, onCuePoint
// and the like). Objects and ECMA arrays keep their members in file order.
struct AmfValue {
    enum class Type : std::uint8_t {
        Number,
        Boolean,
        String,
        Object,
        EcmaArray,
        StrictArray,
        Date,
        Null,
        Undefined,
    };
    Type type = Type::Undefined;
    double number = 0;  // Number, Date (ms since 1970)
    bool boolean = false;
    std::string string;
    // Object and EcmaArray: named members; StrictArray: its items (names empty).
    std::vector<std::pair<std::string, AmfValue>> members;
};

// Reads one AMF0 value from data at `at`, moving `at` past it. nullopt when the bytes are
// damaged or nest deeper than a script could use.
std::optional<AmfValue> readAmf0(std::span<const std::uint8_t> data, std::size_t& at);

// One tag of a FLV file, located by offsets (the bytes may still grow).
struct FlvTag {
    enum Type : std::uint8_t { Audio = 8, Video = 9, Script = 18 };
    std::uint8_t type = 0;
    std::uint32_t timestamp = 0;  // ms
    std::size_t offset = 0;       // of the tag's body in the file
    std::size_t size = 0;         // of the body
    // Video: a frame that decodes on its own. Audio and script tags count as key tags.
    bool key = false;
};

// What a video tag holds: the codec (as DefineVideoStream numbers them), the coded frame as
// the decoder takes it, and for H.264 whether it is the decoder's configuration instead.
struct FlvVideoPacket {
    std::uint8_t frameType = 0;  // 1 key, 2 inter, 3 disposable, 4 generated key, 5 command
    std::uint8_t codec = 0;
    bool configuration = false;
    // VP6: the columns and rows of the coded picture (padded to whole blocks) not shown.
    std::uint8_t cropRight = 0;
    std::uint8_t cropBottom = 0;
    std::span<const std::uint8_t> data;
};
std::optional<FlvVideoPacket> parseFlvVideo(std::span<const std::uint8_t> body);

// What an audio tag holds: the SoundFormat (DefineSound's numbering, 10 AAC), rate, size and
// channels of its header byte, and the coded samples (for AAC, configuration says the data
// is the AudioSpecificConfig).
struct FlvAudioPacket {
    std::uint8_t format = 0;
    std::uint8_t rateCode = 0;
    bool sixteenBit = false;
    bool stereo = false;
    bool configuration = false;
    std::span<const std::uint8_t> data;
};
std::optional<FlvAudioPacket> parseFlvAudio(std::span<const std::uint8_t> body);

// A script tag's call: a name (onMetaData, onCuePoint, …) and its arguments.
struct FlvScriptCall {
    std::string name;
    std::vector<AmfValue> args;
};
std::optional<FlvScriptCall> parseFlvScript(std::span<const std::uint8_t> body);

// The tags of a FLV file, indexed as its bytes arrive. A damaged file keeps the tags read
// before the damage: a tag that claims more bytes than there are waits for them, and one
// whose sizes disagree ends the index.
class FlvFile {
  public:
    // Most tags one file may index (a hostile file cannot make the index grow without end).
    static constexpr std::size_t kMaxTags = std::size_t{1} << 20;

    // Indexes the tags of data (the file so far; earlier bytes unchanged). complete: no more
    // bytes will come, so a last tag cut short is taken as far as it goes.
    void update(std::span<const std::uint8_t> data, bool complete);

    // Whether the bytes start as a FLV file.
    bool valid() const { return valid_; }
    bool hasAudio() const { return hasAudio_; }
    bool hasVideo() const { return hasVideo_; }
    // No more tags will be found (the end, or damage).
    bool finished() const { return finished_; }
    const std::vector<FlvTag>& tags() const { return tags_; }
    // The latest timestamp of the tags indexed (ms).
    std::uint32_t lastTimestamp() const { return lastTimestamp_; }

    // The index of the video key frame at or before `ms` where decoding starts to show the
    // frame of that time (the first video tag when none lies before; nullopt: no video).
    std::optional<std::size_t> keyFrameBefore(double ms) const;
    // The timestamp of the key frame a seek to `ms` lands on (0 for a file without video).
    double seekTime(double ms) const;

  private:
    bool started_ = false;
    bool valid_ = false;
    bool hasAudio_ = false;
    bool hasVideo_ = false;
    bool finished_ = false;
    std::size_t next_ = 0;  // offset of the next tag header
    std::uint32_t lastTimestamp_ = 0;
    std::vector<FlvTag> tags_;
};

// The file's sound as one DefineSound body (character id 0) that plays as a whole. MP3,
// uncompressed and Nellymoser packets simply follow one another; ADPCM (each packet starts
// afresh) and AAC are decoded into uncompressed samples. nullopt without sound, or with sound
// coded otherwise (Speex).
std::optional<std::vector<std::uint8_t>> flvSoundTrack(const FlvFile& file,
                                                       std::span<const std::uint8_t> bytes);

}  // namespace zd::engine
