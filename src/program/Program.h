#pragma once

#include <functional>

namespace zd {

// Ends the process at once (the last step of the exit routine). Tests replace the ending with
// a recorder; the program's own ending leaves the event loop.
void endProcess();
void setEndProcessHandler(std::function<void()> handler);

// True once the exit routine has started; a second request (a signal during the exit, the
// session ending after a menu "退出") does not run it again.
bool exitRoutineStarted();
void markExitRoutineStarted(bool started);

// True while the start-up runs. An exit asked for meanwhile does not unload the windows under
// the running start-up: it ends the waits the start-up is in (the splash, a message), and the
// start-up ends the program at its next step.
bool startingUp();
void markStartingUp(bool running);
void setStartUpInterruption(std::function<void()> interrupt);
void interruptStartUp();

}  // namespace zd
