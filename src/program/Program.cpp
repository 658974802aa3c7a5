#include "program/Program.h"

#include <QCoreApplication>

namespace zd {

namespace {
std::function<void()>& handler() {
    static std::function<void()> h;
    return h;
}
bool& started() {
    static bool s = false;
    return s;
}
}  // namespace

void endProcess() {
    if (handler()) {
        handler()();
        return;
    }
    QCoreApplication::exit(0);
}

void setEndProcessHandler(std::function<void()> h) {
    handler() = std::move(h);
}

bool exitRoutineStarted() {
    return started();
}
void markExitRoutineStarted(bool s) {
    started() = s;
}

}  // namespace zd
