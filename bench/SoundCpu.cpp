// CPU of sound alone: a movie with an empty stage whose first frame starts four MP3 sounds
// looping, played through the sound output for a while, then paused. Prints the share of one
// core the whole process used in each phase. Run: build/bench/SoundCpu [SECONDS]
// The target: under 2 % while playing, 0 % while paused.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
}

#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>

#include "engine/audio/AudioOutput.h"
#include "engine/audio/TimelineSound.h"
#include "engine/player/MovieRunner.h"
#include "swfwriter/SwfWriter.h"

using namespace zd::engine;

namespace {

double cpuSeconds() {
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
           double(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

// Three seconds of a stereo tone as 128 kbit/s MP3 frames (FFmpeg's LAME encoder).
std::vector<std::uint8_t> mp3Tone(double hz) {
    const AVCodec* codec = avcodec_find_encoder_by_name("libmp3lame");
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    ctx->sample_rate = 44100;
    av_channel_layout_default(&ctx->ch_layout, 2);
    ctx->sample_fmt = codec->sample_fmts[0];
    ctx->bit_rate = 128000;
    std::vector<std::uint8_t> out;
    if (avcodec_open2(ctx, codec, nullptr) < 0) {
        avcodec_free_context(&ctx);
        return out;
    }
    AVFrame* frame = av_frame_alloc();
    AVPacket* pkt = av_packet_alloc();
    auto drain = [&] {
        while (avcodec_receive_packet(ctx, pkt) >= 0) {
            out.insert(out.end(), pkt->data, pkt->data + pkt->size);
            av_packet_unref(pkt);
        }
    };
    const int total = 44100 * 3;
    for (int at = 0; at < total; at += ctx->frame_size) {
        av_frame_unref(frame);
        frame->nb_samples = ctx->frame_size;
        frame->format = ctx->sample_fmt;
        av_channel_layout_copy(&frame->ch_layout, &ctx->ch_layout);
        av_frame_get_buffer(frame, 0);
        for (int c = 0; c < 2; ++c) {
            // The encoder takes planar floats or 16-bit samples.
            for (int i = 0; i < ctx->frame_size; ++i) {
                const double v = 0.2 * std::sin(2 * M_PI * hz * (at + i) / 44100.0);
                if (ctx->sample_fmt == AV_SAMPLE_FMT_FLTP) {
                    reinterpret_cast<float*>(frame->extended_data[c])[i] = float(v);
                } else if (ctx->sample_fmt == AV_SAMPLE_FMT_S16P) {
                    reinterpret_cast<std::int16_t*>(frame->extended_data[c])[i] =
                        std::int16_t(v * 32767);
                }
            }
        }
        avcodec_send_frame(ctx, frame);
        drain();
    }
    avcodec_send_frame(ctx, nullptr);
    drain();
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&ctx);
    return out;
}

// CPU seconds of each thread of the process, by thread name.
std::map<std::string, double> threadSeconds() {
    std::map<std::string, double> out;
    const double tick = double(sysconf(_SC_CLK_TCK));
    for (const QString& task :
         QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm("/proc/self/task/" + task + "/comm");
        QFile stat("/proc/self/task/" + task + "/stat");
        if (!comm.open(QIODevice::ReadOnly) || !stat.open(QIODevice::ReadOnly)) {
            continue;
        }
        const QString name = QString::fromUtf8(comm.readAll()).trimmed();
        // Fields after the name in parentheses: utime and stime are the 12th and 13th.
        const QString line = QString::fromUtf8(stat.readAll());
        const QStringList f = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (f.size() > 12) {
            out[name.toStdString()] += (f[11].toDouble() + f[12].toDouble()) / tick;
        }
    }
    return out;
}

void report(const char* phase, double cpuBefore, const QElapsedTimer& wall,
            const std::map<std::string, double>& threadsBefore) {
    const double seconds = wall.elapsed() / 1000.0;
    std::printf("%s: %.2f %% of one core over %.1f s\n", phase,
                100.0 * (cpuSeconds() - cpuBefore) / seconds, seconds);
    for (const auto& [name, after] : threadSeconds()) {
        const auto it = threadsBefore.find(name);
        const double before = it != threadsBefore.end() ? it->second : 0.0;
        std::printf("  thread %-16s %.2f %%\n", name.c_str(), 100.0 * (after - before) / seconds);
    }
}

void wait(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;

    namespace sw = zd::swfwriter;
    sw::MovieWriter movie(8, {0, 11000, 0, 8000}, 24);
    sw::SoundInfoSpec looping;
    looping.loops = 65535;
    for (const double hz : {220.0, 330.0, 440.0, 550.0}) {
        std::vector<std::uint8_t> data{0, 0};  // no latency to skip
        const auto frames = mp3Tone(hz);
        if (frames.empty()) {
            std::fprintf(stderr, "no MP3 encoder\n");
            return 1;
        }
        data.insert(data.end(), frames.begin(), frames.end());
        const auto id = movie.defineSound({2, 3, true, true}, 44100 * 3, data);
        movie.startSound(id, looping);
    }
    movie.showFrame();
    QTemporaryDir dir;
    const QString path = dir.filePath("four-mp3-voices.swf");
    movie.save(path.toStdString(), {});

    AudioOutput output;
    TimelineSound sound(output);
    MovieRunner runner;
    runner.setSoundHooks(&sound);
    runner.setMovie(path);

    wait(2000);  // decoded, device open, playing
    std::printf("sound output %s\n", output.audible() ? "playing" : "unavailable");
    double cpu = cpuSeconds();
    auto threads = threadSeconds();
    QElapsedTimer wall;
    wall.start();
    wait(seconds * 1000);
    report("playing", cpu, wall, threads);

    // Paused as the movie control pauses: the picture and every sound held.
    runner.setPlaying(false);
    sound.setHeld(true);
    wait(1000);
    cpu = cpuSeconds();
    threads = threadSeconds();
    wall.restart();
    wait(seconds * 1000);
    report("paused", cpu, wall, threads);
    return 0;
}
