#include "engine/audio/SoundRecording.h"

#include <QFile>
#include <QSaveFile>
#include <cmath>

namespace zd::engine {

namespace {

void putU16(QByteArray& b, std::uint32_t v) {
    b.append(static_cast<char>(v & 0xff));
    b.append(static_cast<char>((v >> 8) & 0xff));
}

void putU32(QByteArray& b, std::uint32_t v) {
    putU16(b, v & 0xffff);
    putU16(b, v >> 16);
}

}  // namespace

bool writeWave(const QString& path, std::span<const std::int16_t> stereo) {
    // A WAVE file's sizes are 32-bit.
    const std::uint64_t dataBytes = stereo.size() * 2;
    if (dataBytes > 0xffffffffu - 36) {
        return false;
    }
    QByteArray header;
    header.append("RIFF");
    putU32(header, static_cast<std::uint32_t>(36 + dataBytes));
    header.append("WAVEfmt ");
    putU32(header, 16);
    putU16(header, 1);  // integer PCM
    putU16(header, 2);
    putU32(header, Mixer::kRate);
    putU32(header, Mixer::kRate * 4);
    putU16(header, 4);
    putU16(header, 16);
    header.append("data");
    putU32(header, static_cast<std::uint32_t>(dataBytes));

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    file.write(header);
    QByteArray samples;
    samples.reserve(static_cast<qsizetype>(dataBytes));
    for (const std::int16_t s : stereo) {
        putU16(samples, static_cast<std::uint16_t>(s));
    }
    file.write(samples);
    return file.commit();
}

SoundRecording::SoundRecording() {
    timelines_.setLeadsTimelines(false);
}

void SoundRecording::advance(double ms) {
    if (!(ms > 0)) {
        return;
    }
    elapsedMs_ += ms;
    const auto due = static_cast<std::uint64_t>(std::llround(elapsedMs_ * Mixer::kRate / 1000.0));
    if (due > framesMixed_) {
        host_.advance(static_cast<std::size_t>(due - framesMixed_));
        framesMixed_ = due;
    }
}

}  // namespace zd::engine
