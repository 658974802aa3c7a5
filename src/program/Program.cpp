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
bool& runningStartUp() {
    static bool running = false;
    return running;
}
std::function<void()>& startUpInterruption() {
    static std::function<void()> interrupt;
    return interrupt;
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

bool startingUp() {
    return runningStartUp();
}
void markStartingUp(bool running) {
    runningStartUp() = running;
}
void setStartUpInterruption(std::function<void()> interrupt) {
    startUpInterruption() = std::move(interrupt);
}
void interruptStartUp() {
    if (startUpInterruption())
        startUpInterruption()();
}

}  // namespace zd
