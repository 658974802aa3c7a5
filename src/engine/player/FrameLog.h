#pragma once

#include <cstdio>
#include <string>

namespace zd::engine {

// One line per frame shown, for measuring the pacing of a real run: the monotonic time in
// milliseconds (with fractions), a blank, the root frame (counted from 0). Written to the file
// ZD_FRAME_LOG names when the program starts; nothing is written without it.
class FrameLog {
  public:
    // The log of this process (opened on first use), or nullptr when none was asked for.
    static FrameLog* instance();

    explicit FrameLog(const std::string& path);
    ~FrameLog();
    FrameLog(const FrameLog&) = delete;
    FrameLog& operator=(const FrameLog&) = delete;

    bool isOpen() const { return file_ != nullptr; }
    void frameShown(int frame);
    void frameShownAt(double monotonicMs, int frame);

    static double monotonicMs();

  private:
    std::FILE* file_ = nullptr;
};

}  // namespace zd::engine
