#include "engine/audio/Id3.h"

#include <algorithm>
#include <cstddef>

namespace zd::engine {

namespace {

constexpr std::size_t kHeaderSize = 10;
// Frames of one tag we keep: a hostile tag cannot make the list grow without end.
constexpr std::size_t kMaxFrames = 256;

std::uint32_t syncsafe(std::span<const std::uint8_t> d) {
    return std::uint32_t{d[0] & 0x7fu} << 21 | std::uint32_t{d[1] & 0x7fu} << 14 |
           std::uint32_t{d[2] & 0x7fu} << 7 | (d[3] & 0x7fu);
}

std::uint32_t bigEndian(std::span<const std::uint8_t> d) {
    std::uint32_t v = 0;
    for (std::uint8_t b : d) {
        v = v << 8 | b;
    }
    return v;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xc0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3f));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xe0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (c & 0x3f));
    } else {
        out += static_cast<char>(0xf0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3f));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (c & 0x3f));
    }
}

// Decodes text of an encoding (0 Latin-1, 1 UTF-16 with a byte order mark, 2 UTF-16BE,
// 3 UTF-8) up to its terminator; `used` tells how many bytes it took, terminator included.
std::string decodeText(std::span<const std::uint8_t> d, std::uint8_t encoding, std::size_t& used) {
    std::string out;
    if (encoding == 1 || encoding == 2) {
        bool little = false;
        std::size_t i = 0;
        if (encoding == 1 && d.size() >= 2) {
            if (d[0] == 0xff && d[1] == 0xfe) {
                little = true;
                i = 2;
            } else if (d[0] == 0xfe && d[1] == 0xff) {
                i = 2;
            }
        }
        char32_t high = 0;
        for (; i + 1 < d.size(); i += 2) {
            const char32_t unit =
                little ? char32_t{d[i]} | char32_t{d[i + 1]} << 8 : char32_t{d[i]} << 8 | d[i + 1];
            if (unit == 0) {
                used = i + 2;
                return out;
            }
            if (unit >= 0xd800 && unit < 0xdc00) {
                high = unit;
                continue;
            }
            if (unit >= 0xdc00 && unit < 0xe000) {
                if (high != 0) {
                    appendUtf8(out, 0x10000 + ((high - 0xd800) << 10) + (unit - 0xdc00));
                }
                high = 0;
                continue;
            }
            high = 0;
            appendUtf8(out, unit);
        }
        used = d.size();
        return out;
    }
    const auto end = std::find(d.begin(), d.end(), std::uint8_t{0});
    used = static_cast<std::size_t>(end - d.begin()) + (end != d.end() ? 1 : 0);
    if (encoding == 3) {
        out.assign(d.begin(), end);
    } else {
        for (auto it = d.begin(); it != end; ++it) {
            appendUtf8(out, *it);
        }
    }
    return out;
}

std::string frameText(const std::string& id, std::span<const std::uint8_t> body) {
    if (body.empty()) {
        return {};
    }
    const std::uint8_t encoding = body[0];
    std::size_t used = 0;
    if (id == "COMM") {
        // Language, a description, then the comment itself.
        if (body.size() < 4) {
            return {};
        }
        const auto rest = body.subspan(4);
        decodeText(rest, encoding, used);
        return decodeText(rest.subspan(std::min(used, rest.size())), encoding, used);
    }
    return decodeText(body.subspan(1), encoding, used);
}

bool wanted(const std::string& id) {
    return id == "COMM" || (id[0] == 'T' && id != "TXXX");
}

// Version 2.2 frames have three-letter ids; the text ones map to the later names.
std::string laterId(std::string_view id) {
    static constexpr std::pair<std::string_view, std::string_view> kIds[] = {
        {"TT2", "TIT2"}, {"TP1", "TPE1"}, {"TAL", "TALB"}, {"TYE", "TYER"}, {"TRK", "TRCK"},
        {"TCO", "TCON"}, {"COM", "COMM"}, {"TT3", "TIT3"}, {"TP2", "TPE2"}, {"TCM", "TCOM"},
        {"TPA", "TPOS"}, {"TLE", "TLEN"}, {"TOA", "TOPE"}, {"TOT", "TOAL"}, {"TOF", "TOFN"},
        {"TOR", "TORY"}, {"TMT", "TMED"},
    };
    for (const auto& [from, to] : kIds) {
        if (from == id) {
            return std::string(to);
        }
    }
    return {};
}

std::vector<Id3Frame> readVersion2(std::span<const std::uint8_t> file) {
    std::vector<Id3Frame> out;
    const int major = file[3];
    const std::uint8_t flags = file[5];
    const std::size_t size = syncsafe(file.subspan(6, 4));
    if (major < 2 || major > 4) {
        return out;
    }
    std::vector<std::uint8_t> tag(
        file.begin() + kHeaderSize,
        file.begin() + kHeaderSize +
            static_cast<std::ptrdiff_t>(std::min(size, file.size() - kHeaderSize)));
    if ((flags & 0x80) != 0 && major < 4) {
        // Unsynchronised: every 0xff 0x00 stands for 0xff.
        std::vector<std::uint8_t> plain;
        plain.reserve(tag.size());
        for (std::size_t i = 0; i < tag.size(); ++i) {
            plain.push_back(tag[i]);
            if (tag[i] == 0xff && i + 1 < tag.size() && tag[i + 1] == 0) {
                ++i;
            }
        }
        tag.swap(plain);
    }
    std::size_t at = 0;
    if ((flags & 0x40) != 0 && major >= 3 && tag.size() >= 4) {
        // An extended header: skipped whole.
        const std::size_t extended = major == 4 ? syncsafe(std::span(tag).subspan(0, 4))
                                                : bigEndian(std::span(tag).subspan(0, 4)) + 4;
        at = extended;
    }
    const std::size_t headerSize = major == 2 ? 6 : 10;
    while (at < tag.size() && tag.size() - at >= headerSize && out.size() < kMaxFrames) {
        const std::span<const std::uint8_t> header(tag.data() + at, headerSize);
        if (header[0] == 0) {
            break;  // padding
        }
        std::string id;
        std::size_t frameSize = 0;
        if (major == 2) {
            id = laterId(std::string_view(reinterpret_cast<const char*>(header.data()), 3));
            frameSize = bigEndian(header.subspan(3, 3));
        } else {
            id.assign(reinterpret_cast<const char*>(header.data()), 4);
            frameSize =
                major == 4 ? syncsafe(header.subspan(4, 4)) : bigEndian(header.subspan(4, 4));
        }
        at += headerSize;
        if (frameSize > tag.size() - at) {
            break;
        }
        const std::span<const std::uint8_t> body(tag.data() + at, frameSize);
        at += frameSize;
        // Compressed or encrypted frames carry nothing we can read.
        const bool packed = major >= 3 && (header[9] & (major == 4 ? 0x0c : 0xc0)) != 0;
        if (!id.empty() && !packed && wanted(id)) {
            out.push_back({id, frameText(id, body)});
        }
    }
    return out;
}

std::string trimmed(std::span<const std::uint8_t> field) {
    std::string out;
    for (std::uint8_t b : field) {
        if (b == 0) {
            break;
        }
        appendUtf8(out, b);
    }
    while (!out.empty() && out.back() == ' ') {
        out.pop_back();
    }
    return out;
}

std::vector<Id3Frame> readVersion1(std::span<const std::uint8_t> t) {
    std::vector<Id3Frame> out;
    out.push_back({"TIT2", trimmed(t.subspan(3, 30))});
    out.push_back({"TPE1", trimmed(t.subspan(33, 30))});
    out.push_back({"TALB", trimmed(t.subspan(63, 30))});
    out.push_back({"TYER", trimmed(t.subspan(93, 4))});
    // Version 1.1 keeps the track number in the comment's last byte, after a zero.
    const bool hasTrack = t[125] == 0 && t[126] != 0;
    out.push_back({"COMM", trimmed(t.subspan(97, hasTrack ? 28 : 30))});
    if (hasTrack) {
        out.push_back({"TRCK", std::to_string(t[126])});
    }
    out.push_back({"TCON", std::to_string(t[127])});
    return out;
}

}  // namespace

std::optional<std::size_t> id3Version2Size(std::span<const std::uint8_t> file) {
    if (file.size() < kHeaderSize || file[0] != 'I' || file[1] != 'D' || file[2] != '3') {
        return std::nullopt;
    }
    // A footer (version 4) repeats the header at the end.
    const bool footer = (file[5] & 0x10) != 0;
    return kHeaderSize + std::size_t{syncsafe(file.subspan(6, 4))} + (footer ? kHeaderSize : 0);
}

std::vector<Id3Frame> readId3(std::span<const std::uint8_t> file) {
    if (file.size() >= kHeaderSize && file[0] == 'I' && file[1] == 'D' && file[2] == '3') {
        return readVersion2(file);
    }
    constexpr std::size_t kVersion1Size = 128;
    if (file.size() >= kVersion1Size) {
        const auto t = file.subspan(file.size() - kVersion1Size);
        if (t[0] == 'T' && t[1] == 'A' && t[2] == 'G') {
            return readVersion1(t);
        }
    }
    return {};
}

}  // namespace zd::engine
