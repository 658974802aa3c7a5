#include "engine/audio/Mp3Scan.h"

#include <algorithm>
#include <array>

namespace zd::engine {

namespace {

struct FrameHeader {
    int rate = 0;
    int channels = 0;
    std::size_t length = 0;
    int samples = 0;
};

std::optional<FrameHeader> frameAt(std::span<const std::uint8_t> d, std::size_t at) {
    if (at + 4 > d.size() || d[at] != 0xFF || (d[at + 1] & 0xE0) != 0xE0) {
        return std::nullopt;
    }
    const int version = (d[at + 1] >> 3) & 3;  // 3: MPEG 1, 2: MPEG 2, 0: MPEG 2.5
    const int layer = (d[at + 1] >> 1) & 3;    // 1: Layer III
    const int bitrateIndex = d[at + 2] >> 4;
    const int rateIndex = (d[at + 2] >> 2) & 3;
    if (version == 1 || layer != 1 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) {
        return std::nullopt;
    }
    static constexpr std::array<int, 15> kMpeg1{0,   32,  40,  48,  56,  64,  80, 96,
                                                112, 128, 160, 192, 224, 256, 320};
    static constexpr std::array<int, 15> kMpeg2{0,  8,  16, 24,  32,  40,  48, 56,
                                                64, 80, 96, 112, 128, 144, 160};
    static constexpr std::array<int, 3> kRates{44100, 48000, 32000};
    const bool mpeg1 = version == 3;
    const int kbps = mpeg1 ? kMpeg1[bitrateIndex] : kMpeg2[bitrateIndex];
    FrameHeader h;
    h.rate = kRates[rateIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
    h.channels = (d[at + 3] >> 6) == 3 ? 1 : 2;
    h.samples = mpeg1 ? 1152 : 576;
    const int padding = (d[at + 2] >> 1) & 1;
    h.length = static_cast<std::size_t>((mpeg1 ? 144000 : 72000) * kbps / h.rate + padding);
    return h;
}

std::size_t afterId3(std::span<const std::uint8_t> d) {
    if (d.size() < 10 || d[0] != 'I' || d[1] != 'D' || d[2] != '3') {
        return 0;
    }
    std::size_t size = 0;
    for (int i = 6; i < 10; ++i) {
        size = size << 7 | (d[i] & 0x7F);
    }
    const std::size_t footer = (d[5] & 0x10) != 0 ? 10 : 0;
    return 10 + size + footer;
}

}  // namespace

std::optional<Mp3Info> scanMp3(std::span<const std::uint8_t> file) {
    constexpr std::size_t kSearch = 64 * 1024;
    std::size_t at = afterId3(file);
    const std::size_t searchEnd = at + kSearch;
    std::optional<FrameHeader> first;
    for (; at < file.size() && at < searchEnd; ++at) {
        first = frameAt(file, at);
        if (first && at + first->length <= file.size()) {
            const std::size_t next = at + first->length;
            // A lone header in other bytes is chance; a frame followed by another is not.
            if (next == file.size() || frameAt(file, next)) {
                break;
            }
        }
        first.reset();
    }
    if (!first) {
        return std::nullopt;
    }
    Mp3Info info;
    info.rate = first->rate;
    info.channels = first->channels;
    info.begin = at;
    while (const auto h = frameAt(file, at)) {
        if (h->length < 4 || at + h->length > file.size()) {
            break;
        }
        info.samples += static_cast<std::uint64_t>(h->samples);
        ++info.frames;
        at += h->length;
    }
    info.end = at;
    if (info.frames == 0) {
        return std::nullopt;
    }
    return info;
}

std::vector<std::uint8_t> mp3DefineSound(const Mp3Info& info, std::span<const std::uint8_t> file) {
    const int rateCode = info.rate >= 32000 ? 3 : info.rate >= 16000 ? 2 : 1;
    const std::uint64_t count = std::min<std::uint64_t>(info.samples, 0xFFFFFFFFu);
    std::vector<std::uint8_t> body;
    body.reserve(info.end - info.begin + 9);
    body.push_back(0);  // character id
    body.push_back(0);
    body.push_back(
        static_cast<std::uint8_t>(2 << 4 | rateCode << 2 | 1 << 1 | (info.channels == 2 ? 1 : 0)));
    for (int i = 0; i < 4; ++i) {
        body.push_back(static_cast<std::uint8_t>(count >> (8 * i)));
    }
    body.push_back(0);  // no samples to skip at the start
    body.push_back(0);
    body.insert(body.end(), file.begin() + static_cast<std::ptrdiff_t>(info.begin),
                file.begin() + static_cast<std::ptrdiff_t>(info.end));
    return body;
}

}  // namespace zd::engine
