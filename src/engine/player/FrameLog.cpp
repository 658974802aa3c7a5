#include "engine/player/FrameLog.h"

#include <cstdlib>
#include <ctime>
#include <memory>

namespace zd::engine {

FrameLog* FrameLog::instance() {
    static const std::unique_ptr<FrameLog> log = []() -> std::unique_ptr<FrameLog> {
        const char* path = std::getenv("ZD_FRAME_LOG");
        if (path == nullptr || *path == '\0') {
            return nullptr;
        }
        auto opened = std::make_unique<FrameLog>(path);
        return opened->isOpen() ? std::move(opened) : nullptr;
    }();
    return log.get();
}

FrameLog::FrameLog(const std::string& path) : file_(std::fopen(path.c_str(), "w")) {}

FrameLog::~FrameLog() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

double FrameLog::monotonicMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

void FrameLog::frameShown(int frame) {
    frameShownAt(monotonicMs(), frame);
}

void FrameLog::frameShownAt(double monotonicMs, int frame) {
    if (file_ == nullptr) {
        return;
    }
    std::fprintf(file_, "%.3f %d\n", monotonicMs, frame);
    // Flushed per line: the program is often ended by a signal when measured.
    std::fflush(file_);
}

}  // namespace zd::engine
